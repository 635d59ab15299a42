#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

// Where a file's bytes come from when the archive is written. Nothing is read before then, so a
// description of a whole tree costs its names, not its data.
class DataSource {
public:
    enum class Kind { Bytes, File, Range };

    // Bytes in memory, not copied: the caller keeps them alive until the archive is written.
    static DataSource bytes(std::string_view bytes) {
        DataSource s(Kind::Bytes);
        s.m_bytes = bytes;
        return s;
    }
    // A file below the writer's source folder ("a/b/name"), opened when its turn comes; no link on the way is
    // followed, and the file must still be a regular file of the size described.
    static DataSource file(std::string path) {
        DataSource s(Kind::File);
        s.m_path = std::move(path);
        return s;
    }
    // Bytes from `offset` of a descriptor the caller keeps open until the archive is written: a range of an
    // existing archive, or a file opened beforehand.
    static DataSource range(int fd, uint64_t offset) {
        DataSource s(Kind::Range);
        s.m_fd = fd;
        s.m_offset = offset;
        return s;
    }

    DataSource() = default;
    Kind kind() const { return m_kind; }
    std::string_view bytes() const { return m_bytes; }
    const std::string& path() const { return m_path; }
    int fd() const { return m_fd; }
    uint64_t offset() const { return m_offset; }

private:
    explicit DataSource(Kind kind) : m_kind(kind) {}

    Kind m_kind = Kind::Bytes;
    std::string_view m_bytes;
    std::string m_path;
    int m_fd = -1;
    uint64_t m_offset = 0;
};

// One record of the archive to be written: a folder with its list, or a file with its source. The root node
// of a tree stands for the top-level list and has no record of its own.
struct ArchiveNode {
    static constexpr uint64_t kAnywhere = UINT64_MAX;

    std::string m_name; // the record's name field as stored (up to 32 bytes; the reader stops at a NUL)
    bool m_folder = false;
    uint64_t m_size = 0; // a file's
    DataSource m_source; // a file's
    // A file whose data is to stay where it lies in the archive it comes from (an edited archive keeps what
    // it does not change in place, so that unchanged data can share the old file's blocks); kAnywhere else.
    uint64_t m_keepAt = kAnywhere;
    std::vector<ArchiveNode> m_children; // a folder's, in list order
    uint64_t m_offset = 0;               // set by the layout: where a file's data or a folder's list begins

    static ArchiveNode folder(std::string name, std::vector<ArchiveNode> children = {}) {
        ArchiveNode n;
        n.m_name = std::move(name);
        n.m_folder = true;
        n.m_children = std::move(children);
        return n;
    }
    static ArchiveNode file(std::string name, uint64_t size, DataSource source) {
        ArchiveNode n;
        n.m_name = std::move(name);
        n.m_size = size;
        n.m_source = std::move(source);
        return n;
    }
};

} // namespace vorpex
