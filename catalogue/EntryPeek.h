#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileDescriptor.h"

class CPackEntry;
class CPackFile;

// The first bytes of one entry, read for a preview. At most `maxBytes` are read, with pread on the
// archive's descriptor, so that looking at a 4 GiB entry costs what looking at a 1 KiB one does.
// The catalogue is only read: any thread may peek while others extract.
struct CEntryPeek {
    static constexpr size_t kMaxBytes = 256 * 1024;

    enum class EStatus {
        Read,      // m_strData holds the entry's first bytes (all of them unless m_bCut)
        PastEnd,   // the entry's data runs past the end of the archive: damaged, nothing read
        ReadError, // the archive could not be read
        NotOpen,   // the catalogue has no open archive
    };

    EStatus m_eStatus = EStatus::NotOpen;
    std::string m_strData;
    bool m_bCut = false; // the entry holds more than m_strData

    static CEntryPeek Read(const CPackFile& pack, const CPackEntry& entry, size_t maxBytes = kMaxBytes);
    // The same from `fd`, an archive of `fileSize` bytes, for the entry at `offset` of `size` bytes.
    static CEntryPeek ReadAt(int fd, uint64_t fileSize, uint64_t offset, uint64_t size, size_t maxBytes);

    bool IsRead() const { return m_eStatus == EStatus::Read; }
    // Why the entry cannot be shown, for the user; empty when it was read.
    const char* Why() const;
};

// One entry's bytes, readable on any thread and after the catalogue has gone: it holds a descriptor of its
// own on the archive (a duplicate of the catalogue's) and the entry's place in it.
class CEntrySource {
public:
    // Reads nothing (NotOpen) when the catalogue has no open archive or no descriptor was left to duplicate.
    CEntrySource(const CPackFile& pack, const CPackEntry& entry);

    uint64_t Size() const { return m_nSize; }
    CEntryPeek Read(size_t maxBytes) const;

private:
    CFileDescriptor m_Fd;
    uint64_t m_nFileSize = 0;
    uint64_t m_nOffset = 0;
    uint64_t m_nSize = 0;
};
