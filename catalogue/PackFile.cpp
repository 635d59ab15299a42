#include "catalogue/PackFile.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <functional>
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

namespace vorpex {

namespace {

// Reads records through a few cached, aligned blocks: the lists of a folder and of its parent usually lie
// in different blocks, and going back to the parent's list must not read its block again.
class RecordSource {
public:
    static constexpr size_t kBlock = 64 * 1024;
    static constexpr size_t kSlots = 16;

    RecordSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}

    // The 44 bytes at `pos`, or null when fewer lie before the end of the file (or the read failed).
    // `records`, when given, is how many whole records lie in a row from there in the bytes at hand.
    const unsigned char* get(uint64_t pos, size_t* records = nullptr) {
        if (pos > m_size || m_size - pos < ArchiveRecord::kSize)
            return nullptr;
        const uint64_t index = pos / kBlock;
        const size_t within = static_cast<size_t>(pos % kBlock);
        const unsigned char* first = block(index);
        if (!first)
            return nullptr;
        if (within + ArchiveRecord::kSize <= kBlock) {
            if (records) {
                const uint64_t here = std::min<uint64_t>(kBlock - within, m_size - pos);
                *records = static_cast<size_t>(here / ArchiveRecord::kSize);
            }
            return first + within;
        }
        if (records)
            *records = 1;
        // The record straddles two blocks.
        const size_t head = kBlock - within;
        std::memcpy(m_straddle.data(), first + within, head);
        const unsigned char* second = block(index + 1);
        if (!second)
            return nullptr;
        std::memcpy(m_straddle.data() + head, second, ArchiveRecord::kSize - head);
        return m_straddle.data();
    }

    bool failed() const { return m_failed; }

private:
    struct Slot {
        uint64_t m_block = UINT64_MAX;
        std::unique_ptr<unsigned char[]> m_data;
    };

    const unsigned char* block(uint64_t block) {
        Slot& slot = m_slots[block % kSlots];
        if (slot.m_block == block)
            return slot.m_data.get();
        if (!slot.m_data)
            slot.m_data = std::make_unique<unsigned char[]>(kBlock);
        const uint64_t start = block * kBlock;
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kBlock, m_size - start));
        if (preadAll(m_fd, slot.m_data.get(), want, static_cast<off_t>(start)) !=
            static_cast<ssize_t>(want)) {
            m_failed = true;
            slot.m_block = UINT64_MAX;
            return nullptr;
        }
        slot.m_block = block;
        return slot.m_data.get();
    }

    int m_fd;
    uint64_t m_size;
    std::array<Slot, kSlots> m_slots;
    std::array<unsigned char, ArchiveRecord::kSize> m_straddle{};
    bool m_failed = false;
};

// The byte ranges of the records read so far, so that no record is read twice: a hostile file whose
// folders all share one list, or whose lists start inside one another, costs no more than its size.
// The run being read is kept apart and only entered here when it is left, so reading a list in sequence
// costs no map operation per record.
class ReadRanges {
public:
    // Starts a run at `pos`; false when `pos` lies inside records already read.
    bool start(uint64_t pos) {
        auto next = m_ranges.upper_bound(pos);
        if (next != m_ranges.begin() && std::prev(next)->second > pos) {
            // Any record here overlaps: the run ends before its first record.
            m_runStart = pos;
            m_barrier = pos;
            return false;
        }
        m_runStart = pos;
        m_barrier = next == m_ranges.end() ? UINT64_MAX : next->first;
        return true;
    }
    // True when a record at `pos` would overlap records already read.
    bool overlaps(uint64_t pos) const { return pos + ArchiveRecord::kSize > m_barrier; }
    // How many records from `pos` on can be read before one would overlap records already read.
    uint64_t recordsBeforeBarrier(uint64_t pos) const {
        return m_barrier == UINT64_MAX ? UINT64_MAX : (m_barrier - pos) / ArchiveRecord::kSize;
    }
    // Ends the run at `end` (one past its last byte).
    void close(uint64_t end) {
        if (end <= m_runStart)
            return;
        uint64_t start = m_runStart;
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
        m_runStart = end;
    }

private:
    std::map<uint64_t, uint64_t> m_ranges; // start -> end, disjoint and not touching
    uint64_t m_runStart = 0;
    uint64_t m_barrier = UINT64_MAX;
};

} // namespace

// Builds a catalogue from its archive's records in one depth-first pass: a folder record enters the
// folder's list, each record of a list is read in turn, an end record ends the list and reading goes on
// in the enclosing one after the folder record. Every record is read at most once.
class CatalogueReader {
public:
    CatalogueReader(PackFile& pack, MessageSink& sink)
        : m_pack(pack), m_sink(sink), m_source(pack.m_fd.get(), pack.m_fileSize) {}

    void run() {
        m_ranges.start(0);
        while (readRecord()) {
        }
        m_pack.m_report.m_readError = m_source.failed();
        linkLists();
    }

private:
    // Reads the record at the current position; false once reading ends.
    bool readRecord() {
        if (m_ranges.overlaps(m_pos)) {
            // The list runs into records already read: it ends there.
            if (!isEndAt(m_pos))
                ++m_pack.m_report.m_repeated;
            return endList();
        }
        size_t inRow = 0;
        const unsigned char* p = m_source.get(m_pos, &inRow);
        if (!p) {
            // End of the file (or a failed read) inside a list: any list, the top-level one too, ends with
            // its end record. Only an empty file, which holds no list at all, is an empty archive.
            const uint64_t size = m_pack.m_fileSize;
            const bool failed = m_source.failed();
            if (m_depth > 0 || (size > 0 && !failed)) {
                ++m_pack.m_report.m_listsCut;
                m_pack.m_report.m_endsInsideRecord = !failed && m_pos < size;
            }
            return false;
        }
        switch (p[32]) {
        case ArchiveRecord::kFile:
            addFiles(p, std::min<uint64_t>(inRow, m_ranges.recordsBeforeBarrier(m_pos)));
            return true;
        case ArchiveRecord::kFolder:
            return enterFolder(ArchiveRecord::parse(p));
        case ArchiveRecord::kEnd:
            m_pos += ArchiveRecord::kSize;
            if (m_depth == 0) {
                m_ranges.close(m_pos);
                return false;
            }
            return endList();
        default:
            ++m_pack.m_report.m_unknownRecords;
            if (m_pack.m_report.m_unknownRecords == 1)
                m_sink.report({kUnknownFileType, {}, {}, false});
            m_pos += ArchiveRecord::kSize;
            return true;
        }
    }

    // Takes the file record at `p` and those that follow it, up to `most` records in all: file records in a
    // row are the bulk of any archive, and they are taken here without going back through ReadRecord.
    void addFiles(const unsigned char* p, uint64_t most) {
        // Files of one list usually follow each other: a new run starts only where the folder changes.
        if (m_runs.empty() || m_runs[m_runs.size() - 1].m_folder != m_current)
            m_runs.emplace_back(Run{m_current, static_cast<uint32_t>(m_pack.m_entries.size())});
        uint32_t added = 0;
        do {
            m_pack.m_entries.emplace_back(m_current,
                                          *reinterpret_cast<const char(*)[ArchiveRecord::kNameSize]>(p),
                                          ArchiveRecord::le32(p + 36), ArchiveRecord::le32(p + 40));
            ++added;
            p += ArchiveRecord::kSize;
        } while (added < most && p[32] == ArchiveRecord::kFile);
        owner(m_current).m_fileCount += added; // counted now, listed by LinkLists
        m_pos += uint64_t(added) * ArchiveRecord::kSize;
    }

    // Makes the folder and goes into its list; false when that would nest too deep.
    bool enterFolder(const ArchiveRecord& rec) {
        if (m_depth == PackFile::kMaxDepth) {
            // No eleventh level: deeper nesting, or a cycle of folder offsets, ends the reading.
            m_pack.m_report.m_nestingLimit = true;
            return false;
        }
        PackFolder& folder = m_pack.m_folderStore.emplace_back(rec.name(), m_current);
        folder.m_row = owner(m_current).m_childCount++;
        if (!m_pack.m_root)
            m_pack.m_root = &folder;
        m_pos += ArchiveRecord::kSize;
        m_ranges.close(m_pos);
        const uint64_t target = rec.m_offset;
        if (!m_ranges.start(target)) {
            // Its list lies in records already read: the folder stays empty.
            if (!isEndAt(target))
                ++m_pack.m_report.m_repeated;
            m_ranges.start(m_pos); // when the position was read already, the next record ends this list
            return true;
        }
        m_resume[m_depth++] = m_pos;
        m_current = &folder;
        m_pos = target;
        return true;
    }

    // Ends the list being read and goes back to the enclosing ones; false once the top-level list ended.
    // A list whose resume position lies in records already read ends there too.
    bool endList() {
        m_ranges.close(m_pos);
        while (m_depth > 0) {
            --m_depth;
            m_current = m_current->m_parent;
            m_pos = m_resume[m_depth];
            if (m_ranges.start(m_pos))
                return true;
            if (!isEndAt(m_pos))
                ++m_pack.m_report.m_repeated;
        }
        return false;
    }

    // Peeks at the record at `at` without taking it: only an end record there is a normal end.
    bool isEndAt(uint64_t at) {
        const unsigned char* p = m_source.get(at);
        return p && p[32] == ArchiveRecord::kEnd;
    }

    PackFolder& owner(PackFolder* folder) { return folder ? *folder : m_pack.m_top; }

    // Lays out every folder's children and files as runs of two shared arrays, in archive order: the
    // folders were made, and the entries read, in the order their lists hold them.
    void linkLists() {
        PackFile& pack = m_pack;
        pack.m_childList.assignZeros(pack.m_folderStore.size());
        pack.m_fileList.assignZeros(pack.m_entries.size());
        size_t children = 0;
        size_t files = 0;
        auto place = [&](PackFolder& folder) {
            folder.m_children = pack.m_childList.data() + children;
            folder.m_files = pack.m_fileList.data() + files;
            children += folder.m_childCount;
            files += folder.m_fileCount;
            folder.m_childCount = folder.m_fileCount = 0;
        };
        place(pack.m_top);
        for (PackFolder& folder : pack.m_folderStore)
            place(folder);
        for (PackFolder& folder : pack.m_folderStore) {
            PackFolder& parent = owner(folder.m_parent);
            parent.m_children[parent.m_childCount++] = &folder;
        }
        for (size_t r = 0; r < m_runs.size(); ++r) {
            const uint32_t end =
                r + 1 < m_runs.size() ? m_runs[r + 1].m_first : static_cast<uint32_t>(pack.m_entries.size());
            PackFolder& parent = owner(m_runs[r].m_folder);
            const uint32_t first = m_runs[r].m_first;
            std::iota(parent.m_files + parent.m_fileCount,
                      parent.m_files + parent.m_fileCount + (end - first), first);
            parent.m_fileCount += end - first;
        }
    }

    // Entries from `m_first` up to the next run's first, all read from the list of `m_folder`.
    struct Run {
        PackFolder* m_folder;
        uint32_t m_first;
    };

    PackFile& m_pack;
    MessageSink& m_sink;
    RecordSource m_source;
    ReadRanges m_ranges;
    std::array<uint64_t, PackFile::kMaxDepth> m_resume{}; // slot k: where the list of depth k goes on
    unsigned m_depth = 0;
    PackFolder* m_current = nullptr; // the folder whose list is being read; null for the top-level list
    uint64_t m_pos = 0;
    GrowingArray<Run, false> m_runs; // a few runs a folder: huge pages would not pay
};

PackFile::PackFile(const std::string& path, MessageSink& sink) : m_archivePath(path) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    open(FileDescriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), sink);
}

PackFile::PackFile(FileDescriptor fd, const std::string& path, MessageSink& sink) : m_archivePath(path) {
    open(std::move(fd), sink);
}

void PackFile::open(FileDescriptor fd, MessageSink& sink) {
    // Held from here on, so that the descriptor is closed whatever ends the reading (out of memory too).
    m_fd = std::move(fd);
    // Only what can be read by position (a file or a disk) is read as an archive.
    struct stat st {};
    if (!m_fd.isOpen() || fstat(m_fd.get(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        m_fd.reset();
        sink.report({kErrorOpeningFile, {}, {}, false});
        m_archivePath.clear();
        return;
    }
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    if (S_ISREG(st.st_mode)) {
        m_fileSize = static_cast<uint64_t>(st.st_size);
    } else {
        // A disk's st_size is 0: its size is where reading can go.
        const off_t end = lseek(m_fd.get(), 0, SEEK_END);
        m_fileSize = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    CatalogueReader(*this, sink).run();
    m_open = true;
}

PackFile::~PackFile() {
    close();
}

void PackFile::close() {
    m_fd.reset();
    if (m_open) {
        m_open = false;
        m_archivePath.clear();
    }
}

FolderTotals PackFile::countBelow(const PackFolder& folder) const {
    // The catalogue is a tree at most ten levels deep (the reader reads no record twice).
    FolderTotals totals;
    totals.m_folderCount = folder.children().size();
    totals.m_fileCount = folder.files().size();
    for (uint32_t index : folder.files())
        totals.m_byteCount += entry(index).size();
    for (const PackFolder* child : folder.children()) {
        const FolderTotals below = countBelow(*child);
        totals.m_folderCount += below.m_folderCount;
        totals.m_fileCount += below.m_fileCount;
        totals.m_byteCount += below.m_byteCount;
    }
    return totals;
}

PackFile::DataPlace PackFile::dataOf(const PackEntry& entry) const {
    // Entries read lie in one array; any other is one an edit added (std::less orders any two pointers).
    const std::less<const PackEntry*> before;
    const bool added = !m_added.empty() && (before(&entry, m_entries.data()) ||
                                            !before(&entry, m_entries.data() + m_entries.size()));
    if (added)
        return {m_addedFd, entry.offset(), m_addedEnd};
    return {m_fd.get(), entry.offset(), m_fileSize};
}

std::string PackFile::archiveName() const {
    const size_t slash = m_archivePath.find_last_of("/\\");
    return slash == std::string::npos ? m_archivePath : m_archivePath.substr(slash + 1);
}

} // namespace vorpex
