#include "RecognitionThreads.h"

#include <cstdlib>
#include <unistd.h>

void RecognitionThreads::limitAndRestart(char **argv)
{
    if (std::getenv("OMP_THREAD_LIMIT") != nullptr)
        return;
    if (setenv("OMP_THREAD_LIMIT", "1", 0) != 0)
        return;
    execv("/proc/self/exe", argv);
}
