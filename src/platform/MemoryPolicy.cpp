#include "MemoryPolicy.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace MemoryPolicy {

void keepLargeBuffersSeparate()
{
#if defined(M_MMAP_THRESHOLD)
    // Setting the threshold by hand also turns off its automatic raising.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
}

} // namespace MemoryPolicy
