// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#ifdef __linux__
#include <sys/mman.h>
#endif

// Memory for state that every frame touches, one entry per identifier: with thousands of
// identifiers it spans megabytes, and in pages of 4 KB nearly every frame's state would miss the
// processor's cache of addresses as well as its data cache, and fetching it ahead could stall on
// that. So blocks of 2 MB and more are aligned to 2 MB and asked of the kernel in huge pages
// (given where the system allows it, plain pages otherwise).
template<typename T> class HugePageAllocator
{
public:
    using value_type = T;
    static constexpr size_t HugeBytes = size_t(2) << 20;

    HugePageAllocator() = default;
    template<typename U> explicit HugePageAllocator(const HugePageAllocator<U> &) {}

    T *allocate(size_t n)
    {
        if (n > max_size())
            throw std::bad_alloc();
        const size_t bytes = std::max<size_t>(1, n * sizeof(T));
        const bool huge = bytes >= HugeBytes;
        const size_t align = huge ? HugeBytes : std::max(alignof(T), sizeof(void *));
        const size_t size = huge ? (bytes + HugeBytes - 1) / HugeBytes * HugeBytes : bytes;
        void *p = nullptr;
        if (posix_memalign(&p, align, size) != 0)
            throw std::bad_alloc();
#ifdef __linux__
        if (huge)
            madvise(p, size, MADV_HUGEPAGE);
#endif
        return static_cast<T *>(p);
    }
    void deallocate(T *p, size_t)
    {
        std::free(p);
    }
    size_t max_size() const
    {
        return size_t(-1) / 2 / sizeof(T);
    }

    template<typename U> bool operator==(const HugePageAllocator<U> &) const
    {
        return true;
    }
    template<typename U> bool operator!=(const HugePageAllocator<U> &) const
    {
        return false;
    }
};
