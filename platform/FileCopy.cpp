#include "platform/FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <sys/sendfile.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace vorpex {

namespace {

// Errors that belong to the destination whichever way the bytes go: no other way can do better.
bool isWriteError(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT || error == EPIPE;
}

} // namespace

FileCopy::FileCopy() = default;
FileCopy::~FileCopy() = default;

FileCopy::Result FileCopy::copy(int in, uint64_t offset, int out, uint64_t size) {
    Result result;
    uint64_t left = size;
    const bool kernel = m_method == Method::Kernel || (m_method == Method::Auto && size >= kKernelFrom);
    if (kernel && left > 0 && copyInKernel(in, offset, out, left, result) != Kernel::Refused)
        return result;
    auto stop = [&](Outcome outcome, int error) {
        result.m_outcome = outcome;
        result.m_error = error;
        return result;
    };
    while (left > 0) {
        if (cancelled())
            return stop(Outcome::Cancelled, 0);
        if (!m_buffer)
            m_buffer = std::make_unique_for_overwrite<char[]>(kPiece); // pread fills what is used
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
        const ssize_t got = preadAll(in, m_buffer.get(), want, static_cast<off_t>(offset));
        if (got < 0)
            return stop(Outcome::ReadFailed, errno);
        if (got == 0)
            return stop(Outcome::InputEnded, 0);
        if (!writeAll(out, m_buffer.get(), static_cast<size_t>(got)))
            return stop(Outcome::WriteFailed, errno);
        offset += static_cast<uint64_t>(got);
        left -= static_cast<uint64_t>(got);
        result.m_moved += static_cast<uint64_t>(got);
        if (m_moved)
            m_moved(static_cast<uint64_t>(got));
    }
    return result;
}

// Copies in the kernel while it can: copy_file_range, then sendfile where that is refused (a pipe, another
// file system). Refused when the rest is to go through the buffer: the kernel refuses both, or an error
// whose side is unclear (EIO) or a copy that stops short, which the buffer's reads and writes tell apart.
FileCopy::Kernel FileCopy::copyInKernel(int in, uint64_t& offset, int out, uint64_t& left, Result& result) {
    bool range = true;
    while (left > 0) {
        if (cancelled()) {
            result.m_outcome = Outcome::Cancelled;
            return Kernel::Failed;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
        ssize_t n;
        for (;;) {
            if (range) {
                loff_t from = static_cast<loff_t>(offset);
                n = ::copy_file_range(in, &from, out, nullptr, want, 0);
            } else {
                off_t from = static_cast<off_t>(offset);
                n = ::sendfile(out, in, &from, want);
            }
            if (n >= 0)
                break;
            if (errno == EINTR)
                continue;
            if (isWriteError(errno)) {
                result.m_outcome = Outcome::WriteFailed;
                result.m_error = errno;
                return Kernel::Failed;
            }
            if (!range)
                break;
            range = false;
        }
        if (n <= 0)
            return Kernel::Refused;
        offset += static_cast<uint64_t>(n);
        left -= static_cast<uint64_t>(n);
        result.m_moved += static_cast<uint64_t>(n);
        if (m_moved)
            m_moved(static_cast<uint64_t>(n));
    }
    return Kernel::Finished;
}

} // namespace vorpex
