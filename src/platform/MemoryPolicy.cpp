#include "MemoryPolicy.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace MemoryPolicy {

void releaseFreedMemory()
{
#if defined(M_TRIM_THRESHOLD)
    malloc_trim(0);
#endif
}

} // namespace MemoryPolicy
