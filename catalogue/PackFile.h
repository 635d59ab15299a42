#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/GrowingArray.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFolder.h"
#include "platform/FileDescriptor.h"

namespace vorpex {

class MessageSink;

// What went wrong while reading, kept so that the GUI and the command line can tell the user.
struct ReadReport {
    uint64_t m_unknownRecords = 0;   // records of an unknown type, skipped
    uint64_t m_listsCut = 0;         // lists cut short by the end of the file (an empty file aside)
    bool m_endsInsideRecord = false; // ...where the file ends inside a record: a piece of 1 to 43 bytes
    uint64_t m_repeated = 0;         // lists that ran into records already read, folders whose list lay there
    bool m_nestingLimit = false;     // a folder more than 10 levels deep (or a cycle) ended the reading
    bool m_readError = false;        // the file could not be read to its end

    bool isClean() const {
        return !m_unknownRecords && !m_listsCut && !m_repeated && !m_nestingLimit && !m_readError;
    }
};

// What lies below a folder, the folder itself not counted: sub-folders at every depth, their files and
// the files' bytes.
struct FolderTotals {
    uint64_t m_folderCount = 0;
    uint64_t m_fileCount = 0;
    uint64_t m_byteCount = 0;
};

// One opened archive: its folder tree, its flat list of file entries in archive order, and the archive's
// descriptor, kept open for the entry writer. Built completely by the constructor (the reader) and
// read-only afterwards, so any number of threads may read it at once.
class PackFile {
public:
    static constexpr unsigned kMaxDepth = 10; // folders nest at most 10 levels, the top-level folder first

    // Reads the archive at `path`. A file that cannot be opened shows "Error opening file." and leaves the
    // catalogue empty and not open; records of unknown types show "Unknown file type encountered." once.
    PackFile(const std::string& path, MessageSink& sink);
    // Reads the archive from an open descriptor (a memfd, for instance), which the catalogue takes over.
    PackFile(FileDescriptor fd, const std::string& path, MessageSink& sink);
    virtual ~PackFile();
    PackFile(const PackFile&) = delete;
    PackFile& operator=(const PackFile&) = delete;

    // Closes the archive; a second call does nothing.
    void close();

    bool isOpen() const { return m_open; }
    // The archive, open for reading until Close; -1 when not open.
    int fd() const { return m_fd.get(); }
    // How far the archive can be read: a file's size, or a disk's.
    uint64_t fileSize() const { return m_fileSize; }
    // Every file record, in reader order.
    std::span<const PackEntry> entries() const { return {m_entries.data(), m_entries.size()}; }
    size_t entryCount() const { return m_entries.size(); }
    // Entry `index`: one read from the archive, or one added by an edit (indexes from entryCount() on).
    const PackEntry& entry(uint32_t index) const {
        return index < m_entries.size() ? m_entries[index] : m_added[index - m_entries.size()];
    }
    const ReadReport& report() const { return m_report; }
    // The first top-level folder, or null.
    const PackFolder* root() const { return m_root; }
    // The pseudo-folder standing for the whole archive: top-level folders as children, top-level files
    // as files. It is no folder of the archive and has no name.
    const PackFolder& top() const { return m_top; }
    // The file name after the last '/' or '\' of the archive's path.
    std::string archiveName() const;
    size_t folderCount() const { return m_folderStore.size(); }
    // Everything below `folder` (a folder of this catalogue, or its top).
    FolderTotals countBelow(const PackFolder& folder) const;
    // True when (dev, ino) is the archive file itself, which extraction must never replace.
    bool isArchive(uint64_t dev, uint64_t ino) const { return m_open && dev == m_dev && ino == m_ino; }

    // Where an entry's bytes lie: in the archive, or, for a file added by an edit and not yet saved, in the
    // edit's own file of added data. `m_end` is how far that file reaches.
    struct DataPlace {
        int m_fd = -1;
        uint64_t m_offset = 0;
        uint64_t m_end = 0;
    };
    DataPlace dataOf(const PackEntry& entry) const;
    // True once an edit has changed the catalogue: folders' lists then no longer match the archive's, and
    // entries() holds what was read, removed entries included.
    bool isEdited() const { return m_edited; }

private:
    friend class CatalogueReader;
    friend class CatalogueEdit;

    // Takes over `fd` and reads the catalogue; the one way a catalogue comes to be, or fails to.
    void open(FileDescriptor fd, MessageSink& sink);

    bool m_open = false;
    std::string m_archivePath;
    FileDescriptor m_fd; // the archive, open for reading until Close
    uint64_t m_fileSize = 0;
    GrowingArray<PackEntry> m_entries; // every file record, in reader order
    PackFolder* m_root = nullptr;      // the first top-level folder, or null
    ReadReport m_report;

    PackFolder m_top;
    std::deque<PackFolder> m_folderStore;        // owns every folder; a deque keeps their addresses
    GrowingArray<const PackFolder*> m_childList; // every folder's children, one run per folder
    GrowingArray<uint32_t> m_fileList;           // every folder's file indexes, one run per folder
    uint64_t m_dev = 0;
    uint64_t m_ino = 0;

    // Left alone until an edit (CatalogueEdit) changes the catalogue.
    bool m_edited = false;
    std::deque<PackEntry> m_added; // entries added by edits; a deque keeps their addresses
    int m_addedFd = -1;            // the edit's file of added data (owned by the edit)
    uint64_t m_addedEnd = 0;
};

} // namespace vorpex
