#include "cli/OutputBuffer.h"

#include <cerrno>
#include <cstring>

#include "platform/FileDescriptor.h"

namespace vorpex {

OutputBuffer::OutputBuffer(int fd) : m_fd(fd), m_data(new char[kCapacity]) {}

OutputBuffer::~OutputBuffer() {
    flush();
}

void OutputBuffer::append(std::string_view text) {
    while (!text.empty()) {
        if (m_used == kCapacity && !flush())
            return;
        const size_t n = std::min(text.size(), kCapacity - m_used);
        std::memcpy(m_data.get() + m_used, text.data(), n);
        m_used += n;
        text.remove_prefix(n);
    }
}

void OutputBuffer::append(char c) {
    if (m_used == kCapacity && !flush())
        return;
    m_data[m_used++] = c;
}

bool OutputBuffer::flush() {
    if (!m_error && !writeAll(m_fd, m_data.get(), m_used))
        m_error = errno;
    // After an error the rest is dropped: the caller reports the failure once, at the end.
    m_used = 0;
    return !m_error;
}

} // namespace vorpex
