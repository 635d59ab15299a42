#include "platform/FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <sys/sendfile.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace {

// Errors that belong to the destination whichever way the bytes go: no other way can do better.
bool IsWriteError(int error) {
    return error == ENOSPC || error == EFBIG || error == EDQUOT || error == EPIPE;
}

} // namespace

CFileCopy::CFileCopy() = default;
CFileCopy::~CFileCopy() = default;

CFileCopy::CResult CFileCopy::Copy(int in, uint64_t offset, int out, uint64_t size) {
    CResult result;
    uint64_t left = size;
    const bool kernel = m_eMethod == EMethod::Kernel || (m_eMethod == EMethod::Auto && size >= kKernelFrom);
    if (kernel && left > 0 && CopyInKernel(in, offset, out, left, result) != EKernel::Refused)
        return result;
    auto stop = [&](EOutcome outcome, int error) {
        result.m_eOutcome = outcome;
        result.m_nError = error;
        return result;
    };
    while (left > 0) {
        if (Cancelled())
            return stop(EOutcome::Cancelled, 0);
        if (!m_pBuffer)
            m_pBuffer = std::make_unique_for_overwrite<char[]>(kPiece); // pread fills what is used
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kPiece));
        const ssize_t got = PreadAll(in, m_pBuffer.get(), want, static_cast<off_t>(offset));
        if (got < 0)
            return stop(EOutcome::ReadFailed, errno);
        if (got == 0)
            return stop(EOutcome::InputEnded, 0);
        if (!WriteAll(out, m_pBuffer.get(), static_cast<size_t>(got)))
            return stop(EOutcome::WriteFailed, errno);
        offset += static_cast<uint64_t>(got);
        left -= static_cast<uint64_t>(got);
        result.m_nMoved += static_cast<uint64_t>(got);
        if (m_fnMoved)
            m_fnMoved(static_cast<uint64_t>(got));
    }
    return result;
}

// Copies in the kernel while it can: copy_file_range, then sendfile where that is refused (a pipe, another
// file system). Refused when the rest is to go through the buffer: the kernel refuses both, or an error
// whose side is unclear (EIO) or a copy that stops short, which the buffer's reads and writes tell apart.
CFileCopy::EKernel CFileCopy::CopyInKernel(int in, uint64_t& offset, int out, uint64_t& left,
                                           CResult& result) {
    bool range = true;
    while (left > 0) {
        if (Cancelled()) {
            result.m_eOutcome = EOutcome::Cancelled;
            return EKernel::Failed;
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
            if (IsWriteError(errno)) {
                result.m_eOutcome = EOutcome::WriteFailed;
                result.m_nError = errno;
                return EKernel::Failed;
            }
            if (!range)
                break;
            range = false;
        }
        if (n <= 0)
            return EKernel::Refused;
        offset += static_cast<uint64_t>(n);
        left -= static_cast<uint64_t>(n);
        result.m_nMoved += static_cast<uint64_t>(n);
        if (m_fnMoved)
            m_fnMoved(static_cast<uint64_t>(n));
    }
    return EKernel::Finished;
}
