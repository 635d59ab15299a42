#include "catalogue/PackFile.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "platform/FileDescriptor.h"
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
    // `records`, when given, is how many whole records lie in a row from there in the bytes at hand.
    const unsigned char* Get(uint64_t pos, size_t* records = nullptr) {
        if (pos > m_nSize || m_nSize - pos < CArchiveRecord::kSize)
            return nullptr;
        const uint64_t index = pos / kBlock;
        const size_t within = static_cast<size_t>(pos % kBlock);
        const unsigned char* first = Block(index);
        if (!first)
            return nullptr;
        if (within + CArchiveRecord::kSize <= kBlock) {
            if (records) {
                const uint64_t here = std::min<uint64_t>(kBlock - within, m_nSize - pos);
                *records = static_cast<size_t>(here / CArchiveRecord::kSize);
            }
            return first + within;
        }
        if (records)
            *records = 1;
        // The record straddles two blocks.
        const size_t head = kBlock - within;
        std::memcpy(m_straddle.data(), first + within, head);
        const unsigned char* second = Block(index + 1);
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
        if (PreadAll(m_nFd, slot.m_pData.get(), want, static_cast<off_t>(start)) !=
            static_cast<ssize_t>(want)) {
            m_bFailed = true;
            slot.m_nBlock = UINT64_MAX;
            return nullptr;
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
    // How many records from `pos` on can be read before one would overlap records already read.
    uint64_t RecordsBeforeBarrier(uint64_t pos) const {
        return m_nBarrier == UINT64_MAX ? UINT64_MAX : (m_nBarrier - pos) / CArchiveRecord::kSize;
    }
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

} // namespace

// Builds a catalogue from its archive's records in one depth-first pass: a folder record enters the
// folder's list, each record of a list is read in turn, an end record ends the list and reading goes on
// in the enclosing one after the folder record. Every record is read at most once.
class CCatalogueReader {
public:
    CCatalogueReader(CPackFile& pack, CMessageSink& sink)
        : m_Pack(pack), m_Sink(sink), m_Source(pack.m_Fd.Get(), pack.m_nFileSize) {}

    void Run() {
        m_Ranges.Start(0);
        while (ReadRecord()) {
        }
        m_Pack.m_Report.m_bReadError = m_Source.Failed();
        LinkLists();
    }

private:
    // Reads the record at the current position; false once reading ends.
    bool ReadRecord() {
        if (m_Ranges.Overlaps(m_nPos)) {
            // The list runs into records already read: it ends there.
            if (!IsEndAt(m_nPos))
                ++m_Pack.m_Report.m_nRepeated;
            return EndList();
        }
        size_t inRow = 0;
        const unsigned char* p = m_Source.Get(m_nPos, &inRow);
        if (!p) {
            // End of the file (or a failed read) inside a list: any list, the top-level one too, ends with
            // its end record. Only an empty file, which holds no list at all, is an empty archive.
            const uint64_t size = m_Pack.m_nFileSize;
            const bool failed = m_Source.Failed();
            if (m_nDepth > 0 || (size > 0 && !failed)) {
                ++m_Pack.m_Report.m_nListsCut;
                m_Pack.m_Report.m_bEndsInsideRecord = !failed && m_nPos < size;
            }
            return false;
        }
        switch (p[32]) {
        case CArchiveRecord::kFile:
            AddFiles(p, std::min<uint64_t>(inRow, m_Ranges.RecordsBeforeBarrier(m_nPos)));
            return true;
        case CArchiveRecord::kFolder:
            return EnterFolder(CArchiveRecord::Parse(p));
        case CArchiveRecord::kEnd:
            m_nPos += CArchiveRecord::kSize;
            if (m_nDepth == 0) {
                m_Ranges.Close(m_nPos);
                return false;
            }
            return EndList();
        default:
            ++m_Pack.m_Report.m_nUnknownRecords;
            if (m_Pack.m_Report.m_nUnknownRecords == 1)
                m_Sink.Report({kUnknownFileType, {}, {}, false});
            m_nPos += CArchiveRecord::kSize;
            return true;
        }
    }

    // Takes the file record at `p` and those that follow it, up to `most` records in all: file records in a
    // row are the bulk of any archive, and they are taken here without going back through ReadRecord.
    void AddFiles(const unsigned char* p, uint64_t most) {
        // Files of one list usually follow each other: a new run starts only where the folder changes.
        if (m_Runs.empty() || m_Runs[m_Runs.size() - 1].m_pFolder != m_pCurrent)
            m_Runs.emplace_back(CRun{m_pCurrent, static_cast<uint32_t>(m_Pack.m_Entries.size())});
        uint32_t added = 0;
        do {
            m_Pack.m_Entries.emplace_back(m_pCurrent,
                                          *reinterpret_cast<const char(*)[CArchiveRecord::kNameSize]>(p),
                                          CArchiveRecord::Le32(p + 36), CArchiveRecord::Le32(p + 40));
            ++added;
            p += CArchiveRecord::kSize;
        } while (added < most && p[32] == CArchiveRecord::kFile);
        Owner(m_pCurrent).m_nFiles += added; // counted now, listed by LinkLists
        m_nPos += uint64_t(added) * CArchiveRecord::kSize;
    }

    // Makes the folder and goes into its list; false when that would nest too deep.
    bool EnterFolder(const CArchiveRecord& rec) {
        if (m_nDepth == CPackFile::kMaxDepth) {
            // No eleventh level: deeper nesting, or a cycle of folder offsets, ends the reading.
            m_Pack.m_Report.m_bNestingLimit = true;
            return false;
        }
        CPackFolder& folder = m_Pack.m_FolderStore.emplace_back(rec.Name(), m_pCurrent);
        folder.m_nRow = Owner(m_pCurrent).m_nChildren++;
        if (!m_Pack.m_pRoot)
            m_Pack.m_pRoot = &folder;
        m_nPos += CArchiveRecord::kSize;
        m_Ranges.Close(m_nPos);
        const uint64_t target = rec.m_nOffset;
        if (!m_Ranges.Start(target)) {
            // Its list lies in records already read: the folder stays empty.
            if (!IsEndAt(target))
                ++m_Pack.m_Report.m_nRepeated;
            m_Ranges.Start(m_nPos); // when the position was read already, the next record ends this list
            return true;
        }
        m_Resume[m_nDepth++] = m_nPos;
        m_pCurrent = &folder;
        m_nPos = target;
        return true;
    }

    // Ends the list being read and goes back to the enclosing ones; false once the top-level list ended.
    // A list whose resume position lies in records already read ends there too.
    bool EndList() {
        m_Ranges.Close(m_nPos);
        while (m_nDepth > 0) {
            --m_nDepth;
            m_pCurrent = m_pCurrent->m_pParent;
            m_nPos = m_Resume[m_nDepth];
            if (m_Ranges.Start(m_nPos))
                return true;
            if (!IsEndAt(m_nPos))
                ++m_Pack.m_Report.m_nRepeated;
        }
        return false;
    }

    // Peeks at the record at `at` without taking it: only an end record there is a normal end.
    bool IsEndAt(uint64_t at) {
        const unsigned char* p = m_Source.Get(at);
        return p && p[32] == CArchiveRecord::kEnd;
    }

    CPackFolder& Owner(CPackFolder* folder) { return folder ? *folder : m_Pack.m_Top; }

    // Lays out every folder's children and files as runs of two shared arrays, in archive order: the
    // folders were made, and the entries read, in the order their lists hold them.
    void LinkLists() {
        CPackFile& pack = m_Pack;
        pack.m_ChildList.AssignZeros(pack.m_FolderStore.size());
        pack.m_FileList.AssignZeros(pack.m_Entries.size());
        size_t children = 0;
        size_t files = 0;
        auto place = [&](CPackFolder& folder) {
            folder.m_pChildren = pack.m_ChildList.data() + children;
            folder.m_pFiles = pack.m_FileList.data() + files;
            children += folder.m_nChildren;
            files += folder.m_nFiles;
            folder.m_nChildren = folder.m_nFiles = 0;
        };
        place(pack.m_Top);
        for (CPackFolder& folder : pack.m_FolderStore)
            place(folder);
        for (CPackFolder& folder : pack.m_FolderStore) {
            CPackFolder& parent = Owner(folder.m_pParent);
            parent.m_pChildren[parent.m_nChildren++] = &folder;
        }
        for (size_t r = 0; r < m_Runs.size(); ++r) {
            const uint32_t end =
                r + 1 < m_Runs.size() ? m_Runs[r + 1].m_nFirst : static_cast<uint32_t>(pack.m_Entries.size());
            CPackFolder& parent = Owner(m_Runs[r].m_pFolder);
            const uint32_t first = m_Runs[r].m_nFirst;
            std::iota(parent.m_pFiles + parent.m_nFiles, parent.m_pFiles + parent.m_nFiles + (end - first),
                      first);
            parent.m_nFiles += end - first;
        }
    }

    // Entries from `m_nFirst` up to the next run's first, all read from the list of `m_pFolder`.
    struct CRun {
        CPackFolder* m_pFolder;
        uint32_t m_nFirst;
    };

    CPackFile& m_Pack;
    CMessageSink& m_Sink;
    CRecordSource m_Source;
    CReadRanges m_Ranges;
    std::array<uint64_t, CPackFile::kMaxDepth> m_Resume{}; // slot k: where the list of depth k goes on
    unsigned m_nDepth = 0;
    CPackFolder* m_pCurrent = nullptr; // the folder whose list is being read; null for the top-level list
    uint64_t m_nPos = 0;
    CGrowingArray<CRun, false> m_Runs; // a few runs a folder: huge pages would not pay
};

CPackFile::CPackFile(const std::string& path, CMessageSink& sink) : m_strArchivePath(path) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    Open(CFileDescriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), sink);
}

CPackFile::CPackFile(CFileDescriptor fd, const std::string& path, CMessageSink& sink)
    : m_strArchivePath(path) {
    Open(std::move(fd), sink);
}

void CPackFile::Open(CFileDescriptor fd, CMessageSink& sink) {
    // Held from here on, so that the descriptor is closed whatever ends the reading (out of memory too).
    m_Fd = std::move(fd);
    // Only what can be read by position (a file or a disk) is read as an archive.
    struct stat st {};
    if (!m_Fd.IsOpen() || fstat(m_Fd.Get(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        m_Fd.Reset();
        sink.Report({kErrorOpeningFile, {}, {}, false});
        m_strArchivePath.clear();
        return;
    }
    m_nDev = st.st_dev;
    m_nIno = st.st_ino;
    if (S_ISREG(st.st_mode)) {
        m_nFileSize = static_cast<uint64_t>(st.st_size);
    } else {
        // A disk's st_size is 0: its size is where reading can go.
        const off_t end = lseek(m_Fd.Get(), 0, SEEK_END);
        m_nFileSize = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    CCatalogueReader(*this, sink).Run();
    m_bOpen = true;
}

CPackFile::~CPackFile() {
    Close();
}

void CPackFile::Close() {
    m_Fd.Reset();
    if (m_bOpen) {
        m_bOpen = false;
        m_strArchivePath.clear();
    }
}

CFolderTotals CPackFile::CountBelow(const CPackFolder& folder) const {
    // The catalogue is a tree at most ten levels deep (the reader reads no record twice).
    CFolderTotals totals;
    totals.m_nFolders = folder.GetChildren().size();
    totals.m_nFiles = folder.GetFiles().size();
    for (uint32_t index : folder.GetFiles())
        totals.m_nBytes += m_Entries[index].GetSize();
    for (const CPackFolder* child : folder.GetChildren()) {
        const CFolderTotals below = CountBelow(*child);
        totals.m_nFolders += below.m_nFolders;
        totals.m_nFiles += below.m_nFiles;
        totals.m_nBytes += below.m_nBytes;
    }
    return totals;
}

std::string CPackFile::GetArchiveName() const {
    const size_t slash = m_strArchivePath.find_last_of("/\\");
    return slash == std::string::npos ? m_strArchivePath : m_strArchivePath.substr(slash + 1);
}
