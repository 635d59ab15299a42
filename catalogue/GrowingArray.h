#pragma once

#include <cstddef>
#include <new>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

// A contiguous array of plain values that grows without copying them: its block is an anonymous mapping
// that doubles with mremap, which moves the old pages instead of copying them. Memory in use stays what
// the values themselves need, whatever capacity the array has reached, and nothing is reserved ahead of
// what has been added.
template <class T> class CGrowingArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    CGrowingArray() = default;
    ~CGrowingArray() { Clear(); }
    CGrowingArray(const CGrowingArray&) = delete;
    CGrowingArray& operator=(const CGrowingArray&) = delete;

    template <class... Args> T& emplace_back(Args&&... args) {
        if (m_nSize == m_nCapacity)
            Grow();
        return *::new (static_cast<void*>(m_pData + m_nSize++)) T(std::forward<Args>(args)...);
    }
    void Clear() {
        if (m_pData)
            munmap(m_pData, m_nCapacity * sizeof(T));
        m_pData = nullptr;
        m_nSize = m_nCapacity = 0;
    }

    size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    const T* data() const { return m_pData; }
    const T& operator[](size_t i) const { return m_pData[i]; }
    const T* begin() const { return m_pData; }
    const T* end() const { return m_pData + m_nSize; }

private:
    static constexpr size_t kFirstBytes = size_t(64) << 10;

    void Grow() {
        const size_t oldBytes = m_nCapacity * sizeof(T);
        const size_t newBytes = oldBytes ? oldBytes * 2 : kFirstBytes;
        void* p = m_pData ? mremap(m_pData, oldBytes, newBytes, MREMAP_MAYMOVE)
                          : mmap(nullptr, newBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        m_pData = static_cast<T*>(p);
        m_nCapacity = newBytes / sizeof(T);
    }

    T* m_pData = nullptr;
    size_t m_nSize = 0;
    size_t m_nCapacity = 0;
};
