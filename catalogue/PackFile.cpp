#include "catalogue/PackFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/EntryWriter.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

namespace {

// Reads records through a few cached, aligned blocks: the lists of a folder and of its parent usually lie
// in different blocks, and going back to the parent's list must not read its block again.
class CRecordSource {
public:
    static constexpr size_t kBlock = 64 * 1024;
    static constexpr size_t kSlots = 16;

    CRecordSource(int fd, uint64_t size) : m_nFd(fd), m_nSize(size) {}

    // The 44 bytes at `pos`, or null when fewer lie before the end of the file (or the read failed).
    const unsigned char* Get(uint64_t pos) {
        if (pos > m_nSize || m_nSize - pos < CArchiveRecord::kSize)
            return nullptr;
        const uint64_t block = pos / kBlock;
        const size_t within = static_cast<size_t>(pos % kBlock);
        const unsigned char* first = Block(block);
        if (!first)
            return nullptr;
        if (within + CArchiveRecord::kSize <= kBlock)
            return first + within;
        // The record straddles two blocks.
        const size_t head = kBlock - within;
        std::memcpy(m_straddle.data(), first + within, head);
        const unsigned char* second = Block(block + 1);
        if (!second)
            return nullptr;
        std::memcpy(m_straddle.data() + head, second, CArchiveRecord::kSize - head);
        return m_straddle.data();
    }

    bool Failed() const { return m_bFailed; }

private:
    struct Slot {
        uint64_t m_nBlock = UINT64_MAX;
        std::unique_ptr<unsigned char[]> m_pData;
    };

    const unsigned char* Block(uint64_t block) {
        Slot& slot = m_slots[block % kSlots];
        if (slot.m_nBlock == block)
            return slot.m_pData.get();
        if (!slot.m_pData)
            slot.m_pData = std::make_unique<unsigned char[]>(kBlock);
        const uint64_t start = block * kBlock;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, m_nSize - start));
        size_t got = 0;
        while (got < want) {
            const ssize_t n =
                pread(m_nFd, slot.m_pData.get() + got, want - got, static_cast<off_t>(start + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_bFailed = true;
                slot.m_nBlock = UINT64_MAX;
                return nullptr;
            }
            got += static_cast<size_t>(n);
        }
        slot.m_nBlock = block;
        return slot.m_pData.get();
    }

    int m_nFd;
    uint64_t m_nSize;
    std::array<Slot, kSlots> m_slots;
    std::array<unsigned char, CArchiveRecord::kSize> m_straddle{};
    bool m_bFailed = false;
};

// The byte ranges of the records read so far, so that no record is read twice: a hostile file whose
// folders all share one list, or whose lists start inside one another, costs no more than its size.
// The run being read is kept apart and only entered here when it is left, so reading a list in sequence
// costs no map operation per record.
class CReadRanges {
public:
    // Starts a run at `pos`; false when `pos` lies inside records already read.
    bool Start(uint64_t pos) {
        auto next = m_ranges.upper_bound(pos);
        if (next != m_ranges.begin() && std::prev(next)->second > pos) {
            // Any record here overlaps: the run ends before its first record.
            m_nRunStart = pos;
            m_nBarrier = pos;
            return false;
        }
        m_nRunStart = pos;
        m_nBarrier = next == m_ranges.end() ? UINT64_MAX : next->first;
        return true;
    }
    // True when a record at `pos` would overlap records already read.
    bool Overlaps(uint64_t pos) const { return pos + CArchiveRecord::kSize > m_nBarrier; }
    // Ends the run at `end` (one past its last byte).
    void Close(uint64_t end) {
        if (end <= m_nRunStart)
            return;
        uint64_t start = m_nRunStart;
        auto next = m_ranges.lower_bound(start);
        if (next != m_ranges.begin() && std::prev(next)->second == start) {
            --next;
            start = next->first;
            next = m_ranges.erase(next);
        }
        if (next != m_ranges.end() && next->first == end) {
            end = next->second;
            m_ranges.erase(next);
        }
        m_ranges.emplace(start, end);
        m_nRunStart = end;
    }

private:
    std::map<uint64_t, uint64_t> m_ranges; // start -> end, disjoint and not touching
    uint64_t m_nRunStart = 0;
    uint64_t m_nBarrier = UINT64_MAX;
};

// Equal with the letters A-Z taken as a-z and no other folding, whatever the process's locale.
bool EqualsFoldingAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

CPackFile::CPackFile(const std::string& path, CMessageSink& sink) : m_strArchivePath(path) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer. Only what can be read by position
    // (a file or a disk) is read as an archive.
    m_nFd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (m_nFd >= 0 && (fstat(m_nFd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)))) {
        close(m_nFd);
        m_nFd = -1;
    }
    if (m_nFd < 0) {
        sink.Report({kErrorOpeningFile, {}, {}, false});
        m_strArchivePath.clear();
        return;
    }
    Read(sink);
}

CPackFile::CPackFile(int fd, const std::string& path, CMessageSink& sink) : m_strArchivePath(path) {
    m_nFd = fd;
    if (m_nFd < 0) {
        sink.Report({kErrorOpeningFile, {}, {}, false});
        m_strArchivePath.clear();
        return;
    }
    Read(sink);
}

CPackFile::~CPackFile() {
    Close();
}

void CPackFile::Close() {
    if (m_nFd >= 0) {
        close(m_nFd);
        m_nFd = -1;
    }
    if (m_bOpen) {
        m_bOpen = false;
        m_strArchivePath.clear();
    }
}

std::string CPackFile::GetArchiveName() const {
    const size_t slash = m_strArchivePath.find_last_of("/\\");
    return slash == std::string::npos ? m_strArchivePath : m_strArchivePath.substr(slash + 1);
}

CPackFolder* CPackFile::NewFolder(std::string_view name, CPackFolder* parent) {
    CPackFolder& folder = m_FolderStore.emplace_back(std::string(name), parent);
    CPackFolder& owner = parent ? *parent : m_Top;
    folder.m_nRow = static_cast<uint32_t>(owner.m_Children.size());
    folder.m_nDepth = parent ? parent->m_nDepth + 1 : 1;
    owner.m_Children.push_back(&folder);
    if (!m_pRoot)
        m_pRoot = &folder;
    return &folder;
}

void CPackFile::Read(CMessageSink& sink) {
    struct stat st {};
    if (fstat(m_nFd, &st) == 0) {
        m_nFileSize = static_cast<uint64_t>(st.st_size);
        m_nDev = st.st_dev;
        m_nIno = st.st_ino;
    }

    // A file holds at most one record per 44 bytes: reserving for that (within reason) saves the copies
    // of a growing list; what a data-heavy archive leaves unused is given back at the end.
    m_Entries.reserve(static_cast<size_t>(std::min<uint64_t>(m_nFileSize / CArchiveRecord::kSize, 1u << 22)));

    CRecordSource source(m_nFd, m_nFileSize);
    CReadRanges ranges;

    // resume[k]: where the list of depth k goes on once the folder it entered has ended.
    std::array<uint64_t, kMaxDepth> resume{};
    unsigned depth = 0;
    CPackFolder* current = nullptr;
    uint64_t pos = 0;
    ranges.Start(0);

    // Peeks at the record at `pos` without taking it: only an end record there is a normal end.
    auto isEndAt = [&](uint64_t at) {
        const unsigned char* p = source.Get(at);
        return p && p[32] == CArchiveRecord::kEnd;
    };

    // Ends the list being read and goes back to the enclosing ones; false once the top-level list ended.
    // A list whose resume position lies in records already read ends there too.
    auto endList = [&]() {
        ranges.Close(pos);
        while (depth > 0) {
            --depth;
            current = current->m_pParent;
            pos = resume[depth];
            if (ranges.Start(pos))
                return true;
            if (!isEndAt(pos))
                ++m_Report.m_nRepeated;
        }
        return false;
    };

    bool unknownShown = false;
    for (;;) {
        if (ranges.Overlaps(pos)) {
            // The list runs into records already read: it ends there.
            if (!isEndAt(pos))
                ++m_Report.m_nRepeated;
            if (!endList())
                break;
            continue;
        }
        const unsigned char* p = source.Get(pos);
        if (!p) {
            // End of the file (or a failed read) inside a list; the top-level list may end with the file.
            if (depth > 0)
                ++m_Report.m_nListsCut;
            break;
        }
        const uint8_t type = p[32];
        if (type == CArchiveRecord::kFile) {
            const uint32_t index = static_cast<uint32_t>(m_Entries.size());
            m_Entries.emplace_back(current, *reinterpret_cast<const char(*)[CArchiveRecord::kNameSize]>(p),
                                   CArchiveRecord::Le32(p + 36), CArchiveRecord::Le32(p + 40));
            (current ? current->m_Files : m_Top.m_Files).push_back(index);
            pos += CArchiveRecord::kSize;
        } else if (type == CArchiveRecord::kFolder) {
            if (depth == kMaxDepth) {
                // No eleventh level: deeper nesting, or a cycle of folder offsets, ends the reading.
                m_Report.m_bNestingLimit = true;
                break;
            }
            const CArchiveRecord rec = CArchiveRecord::Parse(p);
            CPackFolder* folder = NewFolder(rec.Name(), current);
            pos += CArchiveRecord::kSize;
            ranges.Close(pos);
            const uint64_t target = rec.m_nOffset;
            if (!ranges.Start(target)) {
                // Its list lies in records already read: the folder stays empty.
                if (!isEndAt(target))
                    ++m_Report.m_nRepeated;
                ranges.Start(pos); // when `pos` was read already, the next turn ends this list
                continue;
            }
            resume[depth++] = pos;
            current = folder;
            pos = target;
        } else if (type == CArchiveRecord::kEnd) {
            pos += CArchiveRecord::kSize;
            if (depth == 0) {
                ranges.Close(pos);
                break;
            }
            if (!endList())
                break;
        } else {
            ++m_Report.m_nUnknownRecords;
            if (!unknownShown) {
                sink.Report({kUnknownFileType, {}, {}, false});
                unknownShown = true;
            }
            pos += CArchiveRecord::kSize;
        }
    }
    if (m_Entries.capacity() - m_Entries.size() > m_Entries.size() + 4096)
        m_Entries.shrink_to_fit();
    m_Report.m_bReadError = source.Failed();
    m_bOpen = true;
}

bool CPackFile::ExtractFile(std::string_view name, int dirfd, CMessageSink& sink,
                            const CNameCodec& codec) const {
    for (const CPackEntry& entry : m_Entries) {
        if (EqualsFoldingAscii(entry.GetName(), name)) {
            CEntryWriter writer(*this, sink, codec);
            writer.AddToTotals(1, entry.GetSize());
            return writer.WriteEntry(dirfd, entry) == CEntryWriter::EResult::Written;
        }
    }
    sink.Report({kCouldNotFindFile, std::string(name), ".", false});
    return false;
}
