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

class CMessageSink;

// What went wrong while reading, kept so that the GUI and the command line can tell the user.
struct CReadReport {
    uint64_t m_nUnknownRecords = 0;   // records of an unknown type, skipped
    uint64_t m_nListsCut = 0;         // lists cut short by the end of the file (an empty file aside)
    bool m_bEndsInsideRecord = false; // ...where the file ends inside a record: a piece of 1 to 43 bytes
    uint64_t m_nRepeated = 0;     // lists that ran into records already read, folders whose list lay there
    bool m_bNestingLimit = false; // a folder more than 10 levels deep (or a cycle) ended the reading
    bool m_bReadError = false;    // the file could not be read to its end

    bool IsClean() const {
        return !m_nUnknownRecords && !m_nListsCut && !m_nRepeated && !m_bNestingLimit && !m_bReadError;
    }
};

// What lies below a folder, the folder itself not counted: sub-folders at every depth, their files and
// the files' bytes.
struct CFolderTotals {
    uint64_t m_nFolders = 0;
    uint64_t m_nFiles = 0;
    uint64_t m_nBytes = 0;
};

// One opened archive: its folder tree, its flat list of file entries in archive order, and the archive's
// descriptor, kept open for the entry writer. Built completely by the constructor (the reader) and
// read-only afterwards, so any number of threads may read it at once.
class CPackFile {
public:
    static constexpr unsigned kMaxDepth = 10; // folders nest at most 10 levels, the top-level folder first

    // Reads the archive at `path`. A file that cannot be opened shows "Error opening file." and leaves the
    // catalogue empty and not open; records of unknown types show "Unknown file type encountered." once.
    CPackFile(const std::string& path, CMessageSink& sink);
    // Reads the archive from an open descriptor (a memfd, for instance), which the catalogue takes over.
    CPackFile(CFileDescriptor fd, const std::string& path, CMessageSink& sink);
    virtual ~CPackFile();
    CPackFile(const CPackFile&) = delete;
    CPackFile& operator=(const CPackFile&) = delete;

    // Closes the archive; a second call does nothing.
    void Close();

    bool IsOpen() const { return m_bOpen; }
    // The archive, open for reading until Close; -1 when not open.
    int GetFd() const { return m_Fd.Get(); }
    // How far the archive can be read: a file's size, or a disk's.
    uint64_t GetFileSize() const { return m_nFileSize; }
    // Every file record, in reader order.
    std::span<const CPackEntry> GetEntries() const { return {m_Entries.data(), m_Entries.size()}; }
    size_t GetEntryCount() const { return m_Entries.size(); }
    const CPackEntry& Entry(uint32_t index) const { return m_Entries[index]; }
    const CReadReport& GetReport() const { return m_Report; }
    // The first top-level folder, or null.
    const CPackFolder* GetRoot() const { return m_pRoot; }
    // The pseudo-folder standing for the whole archive: top-level folders as children, top-level files
    // as files. It is no folder of the archive and has no name.
    const CPackFolder& GetTop() const { return m_Top; }
    // The file name after the last '/' or '\' of the archive's path.
    std::string GetArchiveName() const;
    size_t GetFolderCount() const { return m_FolderStore.size(); }
    // Everything below `folder` (a folder of this catalogue, or its top).
    CFolderTotals CountBelow(const CPackFolder& folder) const;
    // True when (dev, ino) is the archive file itself, which extraction must never replace.
    bool IsArchive(uint64_t dev, uint64_t ino) const { return m_bOpen && dev == m_nDev && ino == m_nIno; }

private:
    friend class CCatalogueReader;

    // Takes over `fd` and reads the catalogue; the one way a catalogue comes to be, or fails to.
    void Open(CFileDescriptor fd, CMessageSink& sink);

    bool m_bOpen = false;
    std::string m_strArchivePath;
    CFileDescriptor m_Fd; // the archive, open for reading until Close
    uint64_t m_nFileSize = 0;
    CGrowingArray<CPackEntry> m_Entries; // every file record, in reader order
    CPackFolder* m_pRoot = nullptr;      // the first top-level folder, or null
    CReadReport m_Report;

    CPackFolder m_Top;
    std::deque<CPackFolder> m_FolderStore;         // owns every folder; a deque keeps their addresses
    CGrowingArray<const CPackFolder*> m_ChildList; // every folder's children, one run per folder
    CGrowingArray<uint32_t> m_FileList;            // every folder's file indexes, one run per folder
    uint64_t m_nDev = 0;
    uint64_t m_nIno = 0;
};
