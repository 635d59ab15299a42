#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

// An allocator that asks for huge pages for large blocks. A catalogue of a million entries is tens of
// megabytes filled once, front to back: with 4 KiB pages, faulting the pages in costs more than reading
// the records themselves.
template <class T> class CHugePageAllocator {
public:
    using value_type = T;
    static constexpr size_t kHuge = size_t(2) << 20;

    CHugePageAllocator() = default;
    template <class U> CHugePageAllocator(const CHugePageAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kHuge)
            return static_cast<T*>(::operator new(bytes));
        void* p = std::aligned_alloc(kHuge, (bytes + kHuge - 1) / kHuge * kHuge);
        if (!p)
            throw std::bad_alloc();
        madvise(p, bytes, MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n * sizeof(T) < kHuge)
            ::operator delete(p);
        else
            std::free(p);
    }
    template <class U> bool operator==(const CHugePageAllocator<U>&) const noexcept { return true; }
};
