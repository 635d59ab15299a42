#pragma once

#include <memory>
#include <string_view>

namespace vorpex {

// Buffered output to a file descriptor (standard output for listings), written with write(2) in large
// pieces: a listing of a million paths costs a few dozen system calls. Remembers the first write error.
class OutputBuffer {
public:
    static constexpr size_t kCapacity = 1 << 18;

    explicit OutputBuffer(int fd);
    ~OutputBuffer(); // flushes
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    void append(std::string_view text);
    void append(char c);
    // Writes out what is buffered; false once any write has failed.
    bool flush();
    bool failed() const { return m_error != 0; }
    int error() const { return m_error; } // errno of the first failed write

private:
    int m_fd;
    std::unique_ptr<char[]> m_data;
    size_t m_used = 0;
    int m_error = 0;
};

} // namespace vorpex
