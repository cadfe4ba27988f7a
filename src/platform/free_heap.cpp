#include "platform/free_heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vemra {

void releaseFreeHeap() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace vemra
