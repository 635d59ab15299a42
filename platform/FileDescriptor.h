#pragma once

#include <cstddef>
#include <sys/types.h>

// Owns one open file descriptor and closes it when it goes; -1 holds nothing.
class CFileDescriptor {
public:
    CFileDescriptor() = default;
    explicit CFileDescriptor(int fd) : m_nFd(fd) {}
    ~CFileDescriptor() { Reset(); }
    CFileDescriptor(CFileDescriptor&& other) noexcept : m_nFd(other.Release()) {}
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept;
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    int Get() const { return m_nFd; }
    bool IsOpen() const { return m_nFd >= 0; }
    // Hands the descriptor over: the caller closes it.
    int Release();
    // Closes what is held (an error from close is ignored: use Close() where it matters) and takes `fd`.
    void Reset(int fd = -1);
    // Closes what is held; false with errno set when close reports an error (a write that did not reach
    // the file system, on NFS or a full disk).
    bool Close();

private:
    int m_nFd = -1;
};

// The one policy for interrupted system calls: a call that a signal handler interrupts (EINTR) is made
// again. Stopping on a signal is the caller's business, through its cancel flag, checked between pieces.

// Writes all `size` bytes. False with errno set when a write fails; a write that makes no progress counts
// as a full disk (ENOSPC).
bool WriteAll(int fd, const void* data, size_t size);
// Reads `size` bytes at `offset` unless the file ends first. Returns the bytes read (fewer than `size` only
// at the end of the file), or -1 with errno set.
ssize_t PreadAll(int fd, void* data, size_t size, off_t offset);

// Opens /dev/null on each of standard input, output and error that is closed, so that no file the
// program opens later takes descriptor 0, 1 or 2 and receives what is meant for the terminal. Called first
// thing in main.
void OpenStandardDescriptors();
// True when standard input, output or error (`fd` 0, 1 or 2) was closed when OpenStandardDescriptors ran:
// a command whose output goes there fails instead of writing into nothing.
bool WasClosedAtStart(int fd);
