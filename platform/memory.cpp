#include "memory.h"

#include <cstdint>
#include <cstdlib> // defines __GLIBC__ where the C library is glibc

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace platform
{

#if defined(__linux__) && defined(__GLIBC__)

void growHeapInLargePages()
{
    constexpr std::size_t step = std::size_t(64) << 20;
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    // Each extension of the heap takes this much more than it needs, and keeps it when freed.
    if (mallopt(M_TOP_PAD, int(step)) == 0)
        return;
    // Blocks small enough to come from the heap, until the heap has grown by the step.
    constexpr int maxBlocks = 64;
    void *blocks[maxBlocks];
    const void *const end = sbrk(0);
    int taken = 0;
    while (taken < maxBlocks && sbrk(0) == end)
        blocks[taken++] = std::malloc(std::size_t(64) << 10);
    while (taken > 0)
        std::free(blocks[--taken]);
    const auto newEnd = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t start = (newEnd - step + hugePage - 1) & ~(hugePage - 1);
    if (newEnd > start && newEnd != reinterpret_cast<std::uintptr_t>(end))
        madvise(reinterpret_cast<void *>(start), newEnd - start, MADV_HUGEPAGE);
}

#else

void growHeapInLargePages() {}

#endif

} // namespace platform
