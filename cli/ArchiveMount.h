#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "catalogue/ShownNames.h"

struct fuse_session;

namespace vorpex {

class NameCodec;
class NameEscaper;
class PackFile;
class PackFolder;

// An archive served read-only through FUSE (libfuse 3, low-level interface). Node 1 is the whole archive
// (the top-level files and folders), folders follow breadth first, so that each folder's sub-folders have
// consecutive numbers, then every file entry by its index.
// Folders are 0555 and files 0444, owned by the mounting user, with the archive file's times; names are
// those of ShownNames, built for a folder when it is first looked into and kept (four bytes an item).
// File data is read with pread at the entry's offset and answered only whole: bytes the archive does not
// hold (data past its end) read as EIO, and so does everything once the archive file differs in size or
// modification time from what it was when mounted (cut short, written to, or cut and written back), so
// that a read gives the archive's bytes as mounted or an error, never other bytes and never a short count.
// One thread serves every request, so nothing here is shared between threads.
class ArchiveMount {
public:
    // The catalogue, codec and escaper must outlive the mount; `archive` is the archive file's status.
    ArchiveMount(const PackFile& pack, const NameCodec& codec, const NameEscaper& escaper,
                 const struct stat& archive);
    ~ArchiveMount();
    ArchiveMount(const ArchiveMount&) = delete;
    ArchiveMount& operator=(const ArchiveMount&) = delete;

    // Mounts on `dir`; false with `error` set when that fails.
    bool mount(const std::string& dir, std::string& error);
    // Serves requests until the folder is unmounted or SIGINT, SIGTERM or SIGHUP arrives, then unmounts.
    void serve();

    // What the node numbers stand for; public for the low-level callbacks.
    bool isFolder(uint64_t node) const { return node >= 1 && node <= m_folders.size(); }
    bool isFile(uint64_t node) const;
    void folderStat(uint64_t node, struct stat& st) const;
    void fileStat(uint64_t node, struct stat& st) const;
    void itemStat(uint64_t folderNode, uint32_t item, struct stat& st, uint64_t& node) const;
    const ShownNames& names(uint64_t folderNode);
    const PackFolder& folder(uint64_t node) const { return *m_folders[node - 1]; }
    const PackFile& pack() const { return m_pack; }
    uint64_t firstFileNode() const { return m_folders.size() + 1; }
    uint64_t archiveSize() const { return static_cast<uint64_t>(m_archive.st_size); }
    std::vector<char>& readBuffer() { return m_buffer; }
    // Raises the kernel's read-ahead on the mount to the largest request, where it may (as root).
    void widenReadAhead() const;
    // False from the first time the archive file is seen changed since it was mounted, for good.
    bool unchanged();

private:
    const PackFile& m_pack;
    const NameCodec& m_codec;
    const NameEscaper& m_escaper;
    struct stat m_archive;
    uid_t m_uid;
    gid_t m_gid;
    std::vector<const PackFolder*> m_folders; // node - 1; the first is the top pseudo-folder
    std::vector<uint32_t> m_firstChild;       // node - 1: the node of the folder's first sub-folder
    std::vector<std::unique_ptr<ShownNames>> m_names;
    std::vector<char> m_buffer; // one read at a time
    std::string m_point;        // the mount point's absolute path
    fuse_session* m_session = nullptr;
    bool m_mounted = false;
    bool m_isChanged = false;
};

} // namespace vorpex
