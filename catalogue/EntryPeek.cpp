#include "catalogue/EntryPeek.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"

CEntryPeek CEntryPeek::Read(const CPackFile& pack, const CPackEntry& entry, size_t maxBytes) {
    if (!pack.IsOpen())
        return {};
    return ReadAt(pack.GetFd(), pack.GetFileSize(), entry.GetOffset(), entry.GetSize(), maxBytes);
}

CEntryPeek CEntryPeek::ReadAt(int fd, uint64_t fileSize, uint64_t offset, uint64_t size, size_t maxBytes) {
    CEntryPeek peek;
    if (fd < 0)
        return peek;
    if (offset + size > fileSize) {
        peek.m_eStatus = EStatus::PastEnd;
        return peek;
    }
    const size_t want = size < maxBytes ? static_cast<size_t>(size) : maxBytes;
    peek.m_bCut = want < size;
    peek.m_strData.resize(want);
    if (PreadAll(fd, peek.m_strData.data(), want, static_cast<off_t>(offset)) != static_cast<ssize_t>(want)) {
        // The file shrank under us or the disk failed: show nothing rather than a part of it.
        peek.m_strData.clear();
        peek.m_bCut = false;
        peek.m_eStatus = EStatus::ReadError;
        return peek;
    }
    peek.m_eStatus = EStatus::Read;
    return peek;
}

const char* CEntryPeek::Why() const {
    switch (m_eStatus) {
    case EStatus::Read:
        return "";
    case EStatus::PastEnd:
        return kPreviewPastEnd;
    case EStatus::ReadError:
        return kPreviewReadError;
    case EStatus::NotOpen:
        break;
    }
    return kPreviewNotOpen;
}

CEntrySource::CEntrySource(const CPackFile& pack, const CPackEntry& entry)
    : m_nFileSize(pack.GetFileSize()), m_nOffset(entry.GetOffset()), m_nSize(entry.GetSize()) {
    if (pack.IsOpen() && pack.GetFd() >= 0)
        m_Fd.Reset(::fcntl(pack.GetFd(), F_DUPFD_CLOEXEC, 0));
}

CEntryPeek CEntrySource::Read(size_t maxBytes) const {
    return CEntryPeek::ReadAt(m_Fd.Get(), m_nFileSize, m_nOffset, m_nSize, maxBytes);
}
