#include "foundation/HeapPages.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace kanvio {

bool UseLargePagesForHeap(size_t bytes) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLargePage = uintptr_t(2) << 20;
    constexpr size_t kMostFromHeap = size_t(32) << 20; // the allocator's limit
    const int pad = static_cast<int>(std::min<size_t>(bytes, std::numeric_limits<int>::max()));
    // The heap must exist before its end can be read. (Through a volatile pointer, so that
    // the compiler cannot drop an allocation that is freed at once.)
    void* volatile first = std::malloc(1);
    std::free(first);
    if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(kMostFromHeap)) == 0 ||
        mallopt(M_TRIM_THRESHOLD, pad) == 0 || mallopt(M_TOP_PAD, pad) == 0) {
        return false;
    }
    auto* const start = static_cast<char*>(sbrk(0));
    // An allocation larger than what is left at the heap's top grows it by the pad.
    void* volatile grow = std::malloc(size_t(1) << 20);
    std::free(grow);
    auto* const end = static_cast<char*>(sbrk(0));
    auto* const from = reinterpret_cast<char*>(
        (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1));
    if (start == reinterpret_cast<char*>(-1) || end <= from + kLargePage) {
        return false; // the heap is not where this allocator grows (a sanitizer's, say)
    }
    return madvise(from, static_cast<size_t>(end - from), MADV_HUGEPAGE) == 0;
#else
    (void)bytes;
    return false;
#endif
}

} // namespace kanvio
