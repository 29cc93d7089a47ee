// Large buffers (a workbook file, its Workbook stream) are tens of megabytes:
// asking the kernel for huge pages before they are first touched saves
// thousands of page faults when a big register is opened.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace gp::xls {

inline void adviseLargeBuffer(void* data, size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = 2u << 20;
    if (size < 2 * kHuge)
        return;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // a hint: failure is harmless
#else
    (void)data;
    (void)size;
#endif
}

} // namespace gp::xls
