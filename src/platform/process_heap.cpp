#include "platform/process_heap.h"

#include <cstddef>  // defines __GLIBC__ with the C library, for the test below

#ifdef __GLIBC__
#include <malloc.h>  // mallopt, malloc_trim
#endif

namespace lumigal::platform {

void keepLargeBuffersInHeap() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

void mapLargeBuffers() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
#endif
}

void returnFreeHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace lumigal::platform
