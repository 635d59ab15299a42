#include "catalogue/EntryPeek.h"

#include <cerrno>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

CEntryPeek CEntryPeek::Read(const CPackFile& pack, const CPackEntry& entry, size_t maxBytes) {
    CEntryPeek peek;
    if (!pack.IsOpen() || pack.GetFd() < 0)
        return peek;
    const uint64_t offset = entry.GetOffset();
    const uint64_t size = entry.GetSize();
    if (offset + size > pack.GetFileSize()) {
        peek.m_eStatus = EStatus::PastEnd;
        return peek;
    }
    const size_t want = size < maxBytes ? static_cast<size_t>(size) : maxBytes;
    peek.m_bCut = want < size;
    peek.m_strData.resize(want);
    if (PreadAll(pack.GetFd(), peek.m_strData.data(), want, static_cast<off_t>(offset)) !=
        static_cast<ssize_t>(want)) {
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
