#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "catalogue/ShownNames.h"

class CNameCodec;
class CNameEscaper;
class CPackFile;
class CPackFolder;
struct fuse_session;

// An archive served read-only through FUSE (libfuse 3, low-level interface). Node 1 is the whole archive
// (the top-level files and folders), folders follow breadth first, so that each folder's sub-folders have
// consecutive numbers, then every file entry by its index.
// Folders are 0555 and files 0444, owned by the mounting user, with the archive file's times; names are
// those of CShownNames, built for a folder when it is first looked into and kept (four bytes an item).
// File data is read with pread at the entry's offset and answered only whole: bytes the archive does not
// hold (data past its end) read as EIO, and so does everything once the archive file differs in size or
// modification time from what it was when mounted (cut short, written to, or cut and written back), so
// that a read gives the archive's bytes as mounted or an error, never other bytes and never a short count.
// One thread serves every request, so nothing here is shared between threads.
class CArchiveMount {
public:
    // The catalogue, codec and escaper must outlive the mount; `archive` is the archive file's status.
    CArchiveMount(const CPackFile& pack, const CNameCodec& codec, const CNameEscaper& escaper,
                  const struct stat& archive);
    ~CArchiveMount();
    CArchiveMount(const CArchiveMount&) = delete;
    CArchiveMount& operator=(const CArchiveMount&) = delete;

    // Mounts on `dir`; false with `error` set when that fails.
    bool Mount(const std::string& dir, std::string& error);
    // Serves requests until the folder is unmounted or SIGINT, SIGTERM or SIGHUP arrives, then unmounts.
    void Serve();

    // What the node numbers stand for; public for the low-level callbacks.
    bool IsFolder(uint64_t node) const { return node >= 1 && node <= m_Folders.size(); }
    bool IsFile(uint64_t node) const;
    void FolderStat(uint64_t node, struct stat& st) const;
    void FileStat(uint64_t node, struct stat& st) const;
    void ItemStat(uint64_t folderNode, uint32_t item, struct stat& st, uint64_t& node) const;
    const CShownNames& Names(uint64_t folderNode);
    const CPackFolder& Folder(uint64_t node) const { return *m_Folders[node - 1]; }
    const CPackFile& Pack() const { return m_Pack; }
    uint64_t FirstFileNode() const { return m_Folders.size() + 1; }
    uint64_t ArchiveSize() const { return static_cast<uint64_t>(m_Archive.st_size); }
    std::vector<char>& ReadBuffer() { return m_Buffer; }
    // Raises the kernel's read-ahead on the mount to the largest request, where it may (as root).
    void WidenReadAhead() const;
    // False from the first time the archive file is seen changed since it was mounted, for good.
    bool Unchanged();

private:
    const CPackFile& m_Pack;
    const CNameCodec& m_Codec;
    const CNameEscaper& m_Escaper;
    struct stat m_Archive;
    uid_t m_nUid;
    gid_t m_nGid;
    std::vector<const CPackFolder*> m_Folders; // node - 1; the first is the top pseudo-folder
    std::vector<uint32_t> m_FirstChild;        // node - 1: the node of the folder's first sub-folder
    std::vector<std::unique_ptr<CShownNames>> m_Names;
    std::vector<char> m_Buffer; // one read at a time
    std::string m_strPoint;     // the mount point's absolute path
    fuse_session* m_pSession = nullptr;
    bool m_bMounted = false;
    bool m_bChanged = false;
};
