#pragma once

#include <memory>
#include <string_view>

// Buffered output to a file descriptor (standard output for listings), written with write(2) in large
// pieces: a listing of a million paths costs a few dozen system calls. Remembers the first write error.
class COutputBuffer {
public:
    static constexpr size_t kCapacity = 1 << 18;

    explicit COutputBuffer(int fd);
    ~COutputBuffer(); // flushes
    COutputBuffer(const COutputBuffer&) = delete;
    COutputBuffer& operator=(const COutputBuffer&) = delete;

    void Append(std::string_view text);
    void Append(char c);
    // Writes out what is buffered; false once any write has failed.
    bool Flush();
    bool Failed() const { return m_nError != 0; }
    int Error() const { return m_nError; } // errno of the first failed write

private:
    int m_nFd;
    std::unique_ptr<char[]> m_pData;
    size_t m_nUsed = 0;
    int m_nError = 0;
};
