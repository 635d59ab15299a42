#include "platform/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vorpex {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other)
        reset(other.release());
    return *this;
}

int FileDescriptor::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void FileDescriptor::reset(int fd) {
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd);
    m_fd = fd;
}

bool FileDescriptor::close() {
    // Linux releases the descriptor even when close fails, EINTR included: it is never closed twice.
    return !isOpen() || ::close(release()) == 0;
}

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

ssize_t preadAll(int fd, void* data, size_t size, off_t offset) {
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, p + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

namespace {
bool g_closedAtStart[3] = {}; // set once, by OpenStandardDescriptors, before any thread starts
} // namespace

void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            g_closedAtStart[fd] = true;
            // The lowest free number is `fd` itself; should /dev/null be missing, nothing is lost by going
            // on. Programs started from here find it usable as before; this program asks WasClosedAtStart
            // before it reads or writes there, so that output going nowhere is never taken for done.
            const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (null >= 0 && null != fd)
                ::close(null);
        }
}

bool wasClosedAtStart(int fd) {
    return fd >= 0 && fd <= 2 && g_closedAtStart[fd];
}

} // namespace vorpex
