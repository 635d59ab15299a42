#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "writer/ArchiveLayout.h"

namespace vorpex {

// Writes a laid-out tree: its lists, then every file's data from its source, zeros in the gaps. Data moves
// in pieces (FileCopy: copy_file_range first), so memory stays flat whatever the sizes, except for an
// archive written into memory. The writer stops at the first failure; its result says what and where.
// One writer serves one thread.
class ArchiveWriter {
public:
    enum class Status {
        Written,
        DoesNotFit, // the layout found problems: nothing written
        Cancelled,
        FolderNotOpened, // a folder on the way to a source file (folder, error)
        FileNotOpened,   // a source file (error)
        SourceChanged,   // a source is no longer a regular file of the size described, or ended early
        ReadFailed,      // reading a source failed (error)
        WriteFailed,     // writing the archive failed (error)
    };
    struct Result {
        Status m_status = Status::Written;
        int m_error = 0;                     // errno of a failure
        const ArchiveNode* m_node = nullptr; // the file in hand
        std::string m_folder;                // FolderNotOpened: its path below the source folder
        bool ok() const { return m_status == Status::Written; }
    };

    ArchiveWriter();

    // The folder that DataSource::file paths start from (the working directory by default); the caller keeps
    // it open while writing.
    void setSourceFolder(int fd) { m_sourceFolder = fd; }
    // Asked before every file and every piece of data: true stops the writing (Cancelled).
    void setCancelCheck(std::function<bool()> cancelled);
    // Told the bytes of every piece of file data copied (not the lists, not data held in memory).
    void setProgress(std::function<void(uint64_t)> moved) { m_copy.setProgress(std::move(moved)); }

    // Appends the archive to `fd`, from its file position, which is taken as the archive's start.
    Result write(const ArchiveLayout& layout, int fd);
    // Appends the archive to `out`.
    Result write(const ArchiveLayout& layout, std::string& out);

private:
    class Output;
    Result writeTo(const ArchiveLayout& layout, Output& out);
    bool writeLists(const ArchiveNode& folder, Output& out, std::string& records);
    Result writeData(const ArchiveNode& file, Output& out);
    static size_t keptRunEnd(const std::vector<const ArchiveNode*>& files, size_t first);
    Result writeKeptRun(const ArchiveNode& first, const ArchiveNode& last, Output& out);
    FileDescriptor openSource(const ArchiveNode& file, Result& result);

    int m_sourceFolder;
    std::function<bool()> m_cancelled;
    FileCopy m_copy;
    uint64_t m_written = 0; // the archive's bytes so far
    // The folders of the last source file's path, kept open: a folder's files come together.
    std::vector<std::pair<std::string, FileDescriptor>> m_openFolders;
};

} // namespace vorpex
