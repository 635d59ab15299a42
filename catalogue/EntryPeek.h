#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

    bool IsRead() const { return m_eStatus == EStatus::Read; }
    // Why the entry cannot be shown, for the user; empty when it was read.
    const char* Why() const;
};
