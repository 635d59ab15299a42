#include "cli/OutputBuffer.h"

#include <cerrno>
#include <cstring>

#include "platform/FileDescriptor.h"

COutputBuffer::COutputBuffer(int fd) : m_nFd(fd), m_pData(new char[kCapacity]) {}

COutputBuffer::~COutputBuffer() {
    Flush();
}

void COutputBuffer::Append(std::string_view text) {
    while (!text.empty()) {
        if (m_nUsed == kCapacity && !Flush())
            return;
        const size_t n = std::min(text.size(), kCapacity - m_nUsed);
        std::memcpy(m_pData.get() + m_nUsed, text.data(), n);
        m_nUsed += n;
        text.remove_prefix(n);
    }
}

void COutputBuffer::Append(char c) {
    if (m_nUsed == kCapacity && !Flush())
        return;
    m_pData[m_nUsed++] = c;
}

bool COutputBuffer::Flush() {
    if (!m_nError && !WriteAll(m_nFd, m_pData.get(), m_nUsed))
        m_nError = errno;
    // After an error the rest is dropped: the caller reports the failure once, at the end.
    m_nUsed = 0;
    return !m_nError;
}
