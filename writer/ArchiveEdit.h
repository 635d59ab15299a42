#pragma once

#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "platform/FileDescriptor.h"
#include "writer/ArchiveNode.h"
#include "writer/ArchiveWriter.h"

namespace vorpex {

// An archive opened for changing: its records read into a tree in list order, every name field kept whole,
// changed in memory, then saved all at once. Nothing reaches the disk before save(), which first finds
// every reason the result cannot be written, and then writes the whole new archive beside the old one and
// puts it in place only when complete and synced (ReplacingFile). What is not changed keeps its bytes, its
// name field and its place in its list; unchanged data keeps its place in the file, moved by whole blocks
// of the file system at most, so that copy_file_range can share it where the file system shares extents.
class ArchiveEdit {
public:
    enum class OpenStatus {
        Opened,
        Missing,    // nothing at the path: an empty archive, made by save()
        NotOpened,  // error() says why
        NotRegular, // a folder, a FIFO, a device...
        Damaged,    // records the reader would skip or cut: such an archive is not changed
    };
    struct Problem {
        enum class Kind { NameTooLong, TooDeep, TooManyEntries, DataPast4GiB, DataPastEnd };
        Kind m_kind;
        std::vector<std::string> m_path; // raw names from the top-level list down
    };
    enum class SaveStatus {
        Saved,
        Refused,  // problems() says why; nothing written
        ReadOnly, // the archive may not be replaced (its mode, or not a regular file)
        Changed,  // another program changed the archive since it was read
        Failed,   // error(); `failed` names the file in hand when it was a source
        Cancelled,
    };

    ArchiveEdit() = default;
    ArchiveEdit(const ArchiveEdit&) = delete;
    ArchiveEdit& operator=(const ArchiveEdit&) = delete;

    OpenStatus open(const std::string& path);
    // Starts from `root`, to be saved at `path` without reading anything there: `expected` is the file that
    // stands there (as it was when the caller read it; save() refuses one changed since), null for none.
    // Data kept from the archive the caller read (`keptFd`, `keptSize` bytes) must lie within it.
    void adopt(const std::string& path, ArchiveNode root, const struct stat* expected, int keptFd,
               uint64_t keptSize);
    ArchiveNode& root() { return m_root; }
    int error() const { return m_error; }
    const std::vector<Problem>& problems() const { return m_problems; }
    // The source of a file that failed to be read, when that stopped the save.
    const ArchiveNode* failed() const { return m_failed; }
    // The raw names from the top-level list down to `item`.
    std::vector<std::string> pathOf(const ArchiveNode* item) const;

    // A record's name as the reader takes it: up to the first NUL.
    static std::string_view nameOf(const ArchiveNode& node);
    // The first item of `folder` named `name`, or null.
    static ArchiveNode* child(ArchiveNode& folder, std::string_view name);

    // The sub-folder `name` of `folder`, made at the end of its list when missing; null when a file bears
    // the name.
    ArchiveNode* makeFolder(ArchiveNode& folder, std::string_view name);
    // Puts a file read from `source` under `name`: a file already there takes the new data in its place,
    // else the file goes to the end of the list. Null when a folder bears the name.
    ArchiveNode* putFile(ArchiveNode& folder, std::string_view name, uint64_t size, DataSource source);
    // Gives the file `file` new data, in its place.
    void replace(ArchiveNode& file, uint64_t size, DataSource source);
    // Takes out every item in `items`, folders with everything below them.
    void remove(const std::set<const ArchiveNode*>& items);
    void rename(ArchiveNode& item, std::string_view name);
    bool isChanged() const { return m_changed; }

    // Everything that keeps the edited tree from being written; empty when save() may go ahead.
    const std::vector<Problem>& check();
    // Where source files are read from (DataSource::file), kept open by the caller while saving.
    void setSourceFolder(int fd) { m_sourceFolder = fd; }
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Told the bytes of file data copied while saving, piece by piece.
    void setProgress(std::function<void(uint64_t)> moved) { m_progress = std::move(moved); }
    SaveStatus save();
    // The new archive's size, after save().
    uint64_t savedSize() const { return m_savedSize; }

private:
    bool readList(uint64_t pos, ArchiveNode& folder, unsigned depth);
    LayoutOptions layoutOptions() const;
    void collectProblems(const ArchiveLayout& layout);
    void checkKeptData(const ArchiveNode& folder, std::vector<std::string>& path);

    std::string m_path;
    FileDescriptor m_fd;
    struct stat m_stat {};
    bool m_exists = false;
    bool m_changed = false;
    ArchiveNode m_root = ArchiveNode::folder({});
    std::vector<std::pair<uint64_t, uint64_t>> m_lists; // where each list lay: start, end
    uint64_t m_records = 0;
    std::vector<Problem> m_problems;
    int m_error = 0;
    int m_keptFd = -1; // the archive that data kept in place comes from, and its size
    uint64_t m_keptSize = 0;
    int m_sourceFolder = AT_FDCWD;
    std::function<bool()> m_cancelled;
    std::function<void(uint64_t)> m_progress;
    const ArchiveNode* m_failed = nullptr;
    uint64_t m_savedSize = 0;
};

} // namespace vorpex
