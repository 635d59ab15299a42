#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

namespace vorpex {

// A contiguous array of plain values that grows without copying them: its block is an anonymous mapping
// that doubles with mremap, which moves the old pages instead of copying them. Memory in use stays what
// the values themselves need (rounded up to whole pages, huge ones for a large array), whatever capacity
// the array has reached.
//
// Large blocks ask for huge pages: a catalogue of a million entries is tens of megabytes filled once,
// front to back, and with 4 KiB pages faulting the pages in costs more than reading the records
// (bench_catalogue's BM_Fill* compare both).
template <class T, bool HugePages = true> class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    GrowingArray() = default;
    ~GrowingArray() { clear(); }
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;

    template <class... Args> T& emplace_back(Args&&... args) {
        if (m_size == m_capacity)
            grow();
        return *::new (static_cast<void*>(m_data + m_size++)) T(std::forward<Args>(args)...);
    }
    // Replaces the contents with `n` zero-filled values, in one block.
    void assignZeros(size_t n) {
        clear();
        if (n == 0)
            return;
        // A large block is whole huge pages: a tail of small pages would fault in 4 KiB at a time.
        const size_t unit = HugePages && n * sizeof(T) >= kHuge ? kHuge : kPage;
        const size_t bytes = (n * sizeof(T) + unit - 1) / unit * unit;
        m_data = reinterpret_cast<T*>(map(bytes));
        if (HugePages && bytes >= kHuge)
            madvise(m_data, bytes, MADV_HUGEPAGE);
        m_byteCount = bytes;
        m_capacity = m_size = n;
    }
    void clear() {
        if (m_data)
            munmap(m_data, m_byteCount);
        m_data = nullptr;
        m_size = m_capacity = m_byteCount = 0;
    }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    const T& operator[](size_t i) const { return m_data[i]; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }

private:
    static constexpr size_t kFirstBytes = HugePages ? size_t(2) << 20 : size_t(64) << 10;
    static constexpr size_t kHuge = size_t(2) << 20;
    static constexpr size_t kPage = 4096;

    // A fresh mapping of `bytes`, on a huge-page boundary when it is large enough to hold huge pages.
    static char* map(size_t bytes) {
        const size_t slack = HugePages && bytes >= kHuge ? kHuge : 0;
        void* p = mmap(nullptr, bytes + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        char* start = static_cast<char*>(p);
        if (slack) {
            char* aligned =
                reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1));
            if (aligned > start)
                munmap(start, static_cast<size_t>(aligned - start));
            if (aligned + bytes < start + bytes + slack)
                munmap(aligned + bytes, static_cast<size_t>(start + bytes + slack - (aligned + bytes)));
            start = aligned;
        }
        return start;
    }

    void grow() {
        const size_t bytes = m_byteCount ? m_byteCount * 2 : kFirstBytes;
        char* block = map(bytes);
        // The old pages move into the new block (replacing its untouched pages); nothing is copied.
        if (m_data &&
            mremap(m_data, m_byteCount, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, block) == MAP_FAILED) {
            munmap(block, bytes);
            throw std::bad_alloc();
        }
        // Asked after the move: the moved pages bring their old mapping's settings along.
        if (HugePages && bytes >= kHuge)
            madvise(block, bytes, MADV_HUGEPAGE);
        m_data = reinterpret_cast<T*>(block);
        m_byteCount = bytes;
        m_capacity = bytes / sizeof(T);
    }

    T* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
    size_t m_byteCount = 0; // of the mapping
};

} // namespace vorpex
