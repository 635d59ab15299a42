#define FUSE_USE_VERSION 34
#include "cli/ArchiveMount.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"

namespace {

// The archive never changes through the mount, so the kernel may keep names and attributes for as long as
// it likes; a day keeps them well past any browsing session.
constexpr double kCacheSeconds = 86400.0;

CArchiveMount& Self(fuse_req_t req) {
    return *static_cast<CArchiveMount*>(fuse_req_userdata(req));
}

void ReplyEntry(fuse_req_t req, uint64_t node, const struct stat& st) {
    fuse_entry_param entry = {};
    entry.ino = node;
    entry.attr = st;
    entry.attr_timeout = kCacheSeconds;
    entry.entry_timeout = kCacheSeconds;
    fuse_reply_entry(req, &entry);
}

void OnLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    CArchiveMount& mount = Self(req);
    if (!mount.IsFolder(parent)) {
        fuse_reply_err(req, mount.IsFile(parent) ? ENOTDIR : ENOENT);
        return;
    }
    const int64_t item = mount.Names(parent).Find(name);
    if (item < 0) {
        // A name that is not there stays not there: the kernel may remember that too.
        fuse_entry_param entry = {};
        entry.entry_timeout = kCacheSeconds;
        fuse_reply_entry(req, &entry);
        return;
    }
    struct stat st;
    uint64_t node;
    mount.ItemStat(parent, static_cast<uint32_t>(item), st, node);
    ReplyEntry(req, node, st);
}

void OnGetattr(fuse_req_t req, fuse_ino_t node, fuse_file_info*) {
    CArchiveMount& mount = Self(req);
    struct stat st;
    if (mount.IsFolder(node))
        mount.FolderStat(node, st);
    else if (mount.IsFile(node))
        mount.FileStat(node, st);
    else {
        fuse_reply_err(req, ENOENT);
        return;
    }
    fuse_reply_attr(req, &st, kCacheSeconds);
}

void OnSetattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
    fuse_reply_err(req, EROFS);
}

void OnOpendir(fuse_req_t req, fuse_ino_t node, fuse_file_info* fi) {
    CArchiveMount& mount = Self(req);
    if (!mount.IsFolder(node)) {
        fuse_reply_err(req, mount.IsFile(node) ? ENOTDIR : ENOENT);
        return;
    }
    fi->cache_readdir = 1;
    fi->keep_cache = 1;
    fuse_reply_open(req, fi);
}

// Positions: 0 is ".", 1 is "..", 2 + i the folder's item i. Plain entries only: the kernel asks for
// attributes by name when a program wants them, so that `find` over a million entries makes the kernel
// build no inode for a file it never looks at.
void OnReaddir(fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
    CArchiveMount& mount = Self(req);
    const CShownNames& names = mount.Names(node);
    std::vector<char>& buffer = mount.ReadBuffer();
    buffer.resize(size);
    size_t used = 0;
    for (uint64_t pos = offset < 0 ? 0 : uint64_t(offset); pos < 2 + uint64_t(names.Count()); ++pos) {
        struct stat st;
        uint64_t itemNode = node;
        std::string name;
        if (pos < 2) {
            mount.FolderStat(node, st);
            name = pos == 0 ? "." : "..";
        } else {
            mount.ItemStat(node, static_cast<uint32_t>(pos - 2), st, itemNode);
            name = names.Name(static_cast<uint32_t>(pos - 2));
        }
        const size_t len = fuse_add_direntry(req, buffer.data() + used, size - used, name.c_str(), &st,
                                             static_cast<off_t>(pos + 1));
        if (len > size - used)
            break;
        used += len;
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void OnOpen(fuse_req_t req, fuse_ino_t node, fuse_file_info* fi) {
    CArchiveMount& mount = Self(req);
    if (!mount.IsFile(node)) {
        fuse_reply_err(req, mount.IsFolder(node) ? EISDIR : ENOENT);
        return;
    }
    if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC)) {
        fuse_reply_err(req, EROFS);
        return;
    }
    fi->keep_cache = 1;
    fuse_reply_open(req, fi);
}

void OnRead(fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
    CArchiveMount& mount = Self(req);
    const CPackEntry& entry = mount.Pack().Entry(static_cast<uint32_t>(node - mount.FirstFileNode()));
    if (offset < 0 || static_cast<uint64_t>(offset) >= entry.GetSize()) {
        fuse_reply_buf(req, nullptr, 0);
        return;
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, entry.GetSize() - uint64_t(offset)));
    const uint64_t from = uint64_t(entry.GetOffset()) + uint64_t(offset);
    // Bytes the archive does not hold (past its end, or cut away while mounted) are an error, not zeros
    // and not the end of the file.
    struct stat st {};
    if (::fstat(mount.Pack().GetFd(), &st) != 0 || from + want > static_cast<uint64_t>(st.st_size)) {
        fuse_reply_err(req, EIO);
        return;
    }
    // The kernel is handed the archive's descriptor and position: libfuse splices the bytes from the page
    // cache into the reply where it can, with no copy through this process.
    fuse_bufvec data = FUSE_BUFVEC_INIT(want);
    data.buf[0].flags = static_cast<fuse_buf_flags>(FUSE_BUF_IS_FD | FUSE_BUF_FD_SEEK | FUSE_BUF_FD_RETRY);
    data.buf[0].fd = mount.Pack().GetFd();
    data.buf[0].pos = static_cast<off_t>(from);
    fuse_reply_data(req, &data, FUSE_BUF_SPLICE_MOVE);
}

void OnStatfs(fuse_req_t req, fuse_ino_t) {
    CArchiveMount& mount = Self(req);
    struct statvfs st = {};
    st.f_bsize = 4096;
    st.f_frsize = 4096;
    st.f_blocks = (mount.ArchiveSize() + 4095) / 4096;
    st.f_files = mount.FirstFileNode() - 1 + mount.Pack().GetEntryCount();
    st.f_namemax = 255;
    st.f_flag = ST_RDONLY;
    fuse_reply_statfs(req, &st);
}

void OnWriteLike(fuse_req_t req) {
    fuse_reply_err(req, EROFS);
}

} // namespace

CArchiveMount::CArchiveMount(const CPackFile& pack, const CNameCodec& codec, const CNameEscaper& escaper,
                             const struct stat& archive)
    : m_Pack(pack), m_Codec(codec), m_Escaper(escaper), m_Archive(archive), m_nUid(::getuid()),
      m_nGid(::getgid()) {
    m_Folders.reserve(pack.GetFolderCount() + 1);
    m_Folders.push_back(&pack.GetTop());
    for (size_t i = 0; i < m_Folders.size(); ++i) {
        m_FirstChild.push_back(static_cast<uint32_t>(m_Folders.size() + 1));
        for (const CPackFolder* child : m_Folders[i]->GetChildren())
            m_Folders.push_back(child);
    }
    m_Names.resize(m_Folders.size());
}

CArchiveMount::~CArchiveMount() {
    if (m_pSession) {
        if (m_bMounted)
            fuse_session_unmount(m_pSession);
        fuse_session_destroy(m_pSession);
    }
}

bool CArchiveMount::IsFile(uint64_t node) const {
    return node >= FirstFileNode() && node - FirstFileNode() < m_Pack.GetEntryCount();
}

void CArchiveMount::FolderStat(uint64_t node, struct stat& st) const {
    st = {};
    st.st_ino = node;
    st.st_mode = S_IFDIR | 0555;
    st.st_nlink = 2 + Folder(node).GetChildren().size();
    st.st_uid = m_nUid;
    st.st_gid = m_nGid;
    st.st_atim = m_Archive.st_atim;
    st.st_mtim = m_Archive.st_mtim;
    st.st_ctim = m_Archive.st_ctim;
}

void CArchiveMount::FileStat(uint64_t node, struct stat& st) const {
    const CPackEntry& entry = m_Pack.Entry(static_cast<uint32_t>(node - FirstFileNode()));
    st = {};
    st.st_ino = node;
    st.st_mode = S_IFREG | 0444;
    st.st_nlink = 1;
    st.st_uid = m_nUid;
    st.st_gid = m_nGid;
    st.st_size = entry.GetSize();
    // Programs read in pieces of st_blksize (cat, cp): large pieces mean few round trips through the kernel.
    st.st_blksize = 1 << 20;
    st.st_blocks = (entry.GetSize() + 511) / 512;
    st.st_atim = m_Archive.st_atim;
    st.st_mtim = m_Archive.st_mtim;
    st.st_ctim = m_Archive.st_ctim;
}

void CArchiveMount::ItemStat(uint64_t folderNode, uint32_t item, struct stat& st, uint64_t& node) const {
    const CPackFolder& folder = Folder(folderNode);
    if (item < folder.GetFiles().size()) {
        node = FirstFileNode() + folder.GetFiles()[item];
        FileStat(node, st);
    } else {
        node = m_FirstChild[folderNode - 1] + (item - folder.GetFiles().size());
        FolderStat(node, st);
    }
}

const CShownNames& CArchiveMount::Names(uint64_t folderNode) {
    std::unique_ptr<CShownNames>& names = m_Names[folderNode - 1];
    if (!names)
        names = std::make_unique<CShownNames>(m_Pack, Folder(folderNode), m_Codec, m_Escaper);
    return *names;
}

bool CArchiveMount::Mount(const std::string& dir, std::string& error) {
    static const fuse_lowlevel_ops ops = [] {
        fuse_lowlevel_ops o = {};
        o.lookup = OnLookup;
        o.getattr = OnGetattr;
        o.setattr = OnSetattr;
        o.opendir = OnOpendir;
        o.readdir = OnReaddir;
        o.open = OnOpen;
        o.read = OnRead;
        o.statfs = OnStatfs;
        o.init = [](void*, fuse_conn_info* conn) {
            conn->want &= ~FUSE_CAP_READDIRPLUS;
            conn->want |= conn->capable & (FUSE_CAP_SPLICE_WRITE | FUSE_CAP_SPLICE_MOVE);
        };
        // The mount is read-only, so the kernel refuses these itself; answer alike should one get through.
        o.mknod = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, dev_t) { OnWriteLike(req); };
        o.mkdir = [](fuse_req_t req, fuse_ino_t, const char*, mode_t) { OnWriteLike(req); };
        o.unlink = [](fuse_req_t req, fuse_ino_t, const char*) { OnWriteLike(req); };
        o.rmdir = [](fuse_req_t req, fuse_ino_t, const char*) { OnWriteLike(req); };
        o.rename = [](fuse_req_t req, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned) {
            OnWriteLike(req);
        };
        o.create = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, fuse_file_info*) { OnWriteLike(req); };
        return o;
    }();
    const char* argv[] = {"vorpex-cli", "-o", "ro,default_permissions,fsname=vorpex,subtype=vorpex"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    // Files are mostly read from start to end: a larger read-ahead on the archive keeps the disk ahead of
    // the kernel's requests, which come a few hundred KiB at a time.
    ::posix_fadvise(m_Pack.GetFd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    m_pSession = fuse_session_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args); // the session keeps what it parsed, not the list
    if (!m_pSession) {
        error = kCouldNotStartFuse;
        return false;
    }
    if (fuse_session_mount(m_pSession, dir.c_str()) != 0) {
        error = kCouldNotMountOn + dir;
        return false;
    }
    m_bMounted = true;
    return true;
}

void CArchiveMount::Serve() {
    if (fuse_set_signal_handlers(m_pSession) != 0)
        return;
    fuse_session_loop(m_pSession);
    fuse_remove_signal_handlers(m_pSession);
}
