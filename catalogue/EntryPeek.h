#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileDescriptor.h"

namespace vorpex {

class PackEntry;
class PackFile;

// The first bytes of one entry, read for a preview. At most `maxBytes` are read, with pread on the
// archive's descriptor, so that looking at a 4 GiB entry costs what looking at a 1 KiB one does.
// The catalogue is only read: any thread may peek while others extract.
struct EntryPeek {
    static constexpr size_t kMaxBytes = 256 * 1024;

    enum class Status {
        Read,      // m_data holds the entry's first bytes (all of them unless m_cut)
        PastEnd,   // the entry's data runs past the end of the archive: damaged, nothing read
        ReadError, // the archive could not be read
        NotOpen,   // the catalogue has no open archive
    };

    Status m_status = Status::NotOpen;
    std::string m_data;
    bool m_cut = false; // the entry holds more than m_data

    static EntryPeek read(const PackFile& pack, const PackEntry& entry, size_t maxBytes = kMaxBytes);
    // The same from `fd`, an archive of `fileSize` bytes, for the entry at `offset` of `size` bytes.
    static EntryPeek readAt(int fd, uint64_t fileSize, uint64_t offset, uint64_t size, size_t maxBytes);

    bool isRead() const { return m_status == Status::Read; }
    // Why the entry cannot be shown, for the user; empty when it was read.
    const char* why() const;
};

// One entry's bytes, readable on any thread and after the catalogue has gone: it holds a descriptor of its
// own on the archive (a duplicate of the catalogue's) and the entry's place in it.
class EntrySource {
public:
    // Reads nothing (NotOpen) when the catalogue has no open archive or no descriptor was left to duplicate.
    EntrySource(const PackFile& pack, const PackEntry& entry);

    uint64_t size() const { return m_size; }
    EntryPeek read(size_t maxBytes) const;

private:
    FileDescriptor m_fd;
    uint64_t m_fileSize = 0;
    uint64_t m_offset = 0;
    uint64_t m_size = 0;
};

} // namespace vorpex
