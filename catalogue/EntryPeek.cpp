#include "catalogue/EntryPeek.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"

namespace vorpex {

EntryPeek EntryPeek::read(const PackFile& pack, const PackEntry& entry, size_t maxBytes) {
    if (!pack.isOpen())
        return {};
    const PackFile::DataPlace place = pack.dataOf(entry);
    return readAt(place.m_fd, place.m_end, place.m_offset, entry.size(), maxBytes);
}

EntryPeek EntryPeek::readAt(int fd, uint64_t fileSize, uint64_t offset, uint64_t size, size_t maxBytes) {
    EntryPeek peek;
    if (fd < 0)
        return peek;
    if (offset + size > fileSize) {
        peek.m_status = Status::PastEnd;
        return peek;
    }
    const size_t want = size < maxBytes ? static_cast<size_t>(size) : maxBytes;
    peek.m_cut = want < size;
    peek.m_data.resize(want);
    if (preadAll(fd, peek.m_data.data(), want, static_cast<off_t>(offset)) != static_cast<ssize_t>(want)) {
        // The file shrank under us or the disk failed: show nothing rather than a part of it.
        peek.m_data.clear();
        peek.m_cut = false;
        peek.m_status = Status::ReadError;
        return peek;
    }
    peek.m_status = Status::Read;
    return peek;
}

const char* EntryPeek::why() const {
    switch (m_status) {
    case Status::Read:
        return "";
    case Status::PastEnd:
        return kPreviewPastEnd;
    case Status::ReadError:
        return kPreviewReadError;
    case Status::NotOpen:
        break;
    }
    return kPreviewNotOpen;
}

EntrySource::EntrySource(const PackFile& pack, const PackEntry& entry) : m_size(entry.size()) {
    const PackFile::DataPlace place = pack.dataOf(entry);
    m_fileSize = place.m_end;
    m_offset = place.m_offset;
    if (pack.isOpen() && place.m_fd >= 0)
        m_fd.reset(::fcntl(place.m_fd, F_DUPFD_CLOEXEC, 0));
}

EntryPeek EntrySource::read(size_t maxBytes) const {
    return EntryPeek::readAt(m_fd.get(), m_fileSize, m_offset, m_size, maxBytes);
}

} // namespace vorpex
