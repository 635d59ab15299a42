#pragma once

#include <cstddef>
#include <sys/types.h>

namespace vorpex {

// Owns one open file descriptor and closes it when it goes; -1 holds nothing.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Hands the descriptor over: the caller closes it.
    int release();
    // Closes what is held (an error from close is ignored: use close() where it matters) and takes `fd`.
    void reset(int fd = -1);
    // Closes what is held; false with errno set when close reports an error (a write that did not reach
    // the file system, on NFS or a full disk).
    bool close();

private:
    int m_fd = -1;
};

// The one policy for interrupted system calls: a call that a signal handler interrupts (EINTR) is made
// again. Stopping on a signal is the caller's business, through its cancel flag, checked between pieces.

// Writes all `size` bytes. False with errno set when a write fails; a write that makes no progress counts
// as a full disk (ENOSPC).
bool writeAll(int fd, const void* data, size_t size);
// Reads `size` bytes at `offset` unless the file ends first. Returns the bytes read (fewer than `size` only
// at the end of the file), or -1 with errno set.
ssize_t preadAll(int fd, void* data, size_t size, off_t offset);

// Opens /dev/null on each of standard input, output and error that is closed, so that no file the
// program opens later takes descriptor 0, 1 or 2 and receives what is meant for the terminal. Called first
// thing in main.
void openStandardDescriptors();
// True when standard input, output or error (`fd` 0, 1 or 2) was closed when OpenStandardDescriptors ran:
// a command whose output goes there fails instead of writing into nothing.
bool wasClosedAtStart(int fd);

} // namespace vorpex
