#define FUSE_USE_VERSION 34
#include "cli/ArchiveMount.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "cli/MountTable.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace {

// The archive never changes through the mount, so the kernel may keep names and attributes for as long as
// it likes; a day keeps them well past any browsing session.
constexpr double kCacheSeconds = 86400.0;
constexpr unsigned kReadAheadBytes = 1 << 20;

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

// Positions: 0 is ".", 1 is "..", 2 + i the folder's item i. With `plus` (READDIRPLUS) each entry carries its
// attributes, known from the catalogue, so that `ls -l` or `du` over a folder costs no request per entry;
// the kernel asks for plain entries where no program looks at attributes (`find`).
void ListFolder(fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, bool plus) {
    CArchiveMount& mount = Self(req);
    const CShownNames& names = mount.Names(node);
    std::vector<char>& buffer = mount.ReadBuffer();
    buffer.resize(size);
    size_t used = 0;
    for (uint64_t pos = offset < 0 ? 0 : uint64_t(offset); pos < 2 + uint64_t(names.Count()); ++pos) {
        fuse_entry_param entry = {};
        entry.attr_timeout = kCacheSeconds;
        entry.entry_timeout = kCacheSeconds;
        std::string name;
        if (pos < 2) {
            mount.FolderStat(node, entry.attr);
            entry.ino = node;
            name = pos == 0 ? "." : "..";
        } else {
            mount.ItemStat(node, static_cast<uint32_t>(pos - 2), entry.attr, entry.ino);
            name = names.Name(static_cast<uint32_t>(pos - 2));
        }
        char* const at = buffer.data() + used;
        const off_t next = static_cast<off_t>(pos + 1);
        const size_t len = plus ? fuse_add_direntry_plus(req, at, size - used, name.c_str(), &entry, next)
                                : fuse_add_direntry(req, at, size - used, name.c_str(), &entry.attr, next);
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
    // What the kernel kept of this file came from the archive as mounted; once the archive has changed it is
    // dropped, and every read comes here and fails.
    fi->keep_cache = mount.Unchanged();
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
    // A short answer would be taken by the kernel for the end of the file (and the file's size cut to it),
    // so bytes the archive does not hold, or no longer holds as it did when mounted, are an error.
    if (!mount.Unchanged()) {
        fuse_reply_err(req, EIO);
        return;
    }
    std::vector<char>& buffer = mount.ReadBuffer();
    buffer.resize(want);
    if (PreadAll(mount.Pack().GetFd(), buffer.data(), want, static_cast<off_t>(from)) != ssize_t(want) ||
        !mount.Unchanged()) {
        fuse_reply_err(req, EIO);
        return;
    }
    fuse_reply_buf(req, buffer.data(), want);
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

// libfuse's own lines, in the foreground, as ours: "vorpex-cli: " and the text without its "fuse: ".
void LogAsOurs(fuse_log_level, const char* format, va_list args) {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    std::string_view text = std::strncmp(line, "fuse: ", 6) == 0 ? line + 6 : line;
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    CConsoleSink().Note(std::string(text));
}

// While it lives, standard error goes to a memory file, so that what libfuse and the fusermount3 it may
// start say about a failed mount reaches the user as the reason in one line of ours, not in theirs.
class CStderrCatcher {
public:
    CStderrCatcher()
        : m_Saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)),
          m_Caught(::memfd_create("vorpex-mount-errors", MFD_CLOEXEC)) {
        if (m_Saved.IsOpen() && m_Caught.IsOpen())
            ::dup2(m_Caught.Get(), STDERR_FILENO);
    }
    ~CStderrCatcher() { Restore(); }
    CStderrCatcher(const CStderrCatcher&) = delete;
    CStderrCatcher& operator=(const CStderrCatcher&) = delete;

    // Puts standard error back and returns the lines caught, each once, without the tool's name, joined by
    // "; "; empty when nothing was said.
    std::string Restore() {
        if (!m_Saved.IsOpen() || !m_Caught.IsOpen())
            return {};
        ::dup2(m_Saved.Get(), STDERR_FILENO);
        m_Saved.Reset(-1);
        std::string text(4096, '\0');
        const ssize_t got = PreadAll(m_Caught.Get(), text.data(), text.size(), 0);
        text.resize(got > 0 ? size_t(got) : 0);
        std::vector<std::string> lines;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end;
            std::string line = text.substr(start, end - start);
            start = end + 1;
            for (const char* tool : {"vorpex-cli: ", "fusermount3: ", "fusermount: ", "fuse: "})
                if (line.rfind(tool, 0) == 0)
                    line.erase(0, std::strlen(tool));
            if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
                lines.push_back(line);
        }
        std::string reason;
        for (const std::string& line : lines)
            reason += (reason.empty() ? "" : "; ") + line;
        return reason;
    }

private:
    CFileDescriptor m_Saved;
    CFileDescriptor m_Caught;
};

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

bool CArchiveMount::Unchanged() {
    struct stat now {};
    m_bChanged = m_bChanged || ::fstat(m_Pack.GetFd(), &now) != 0 || now.st_size != m_Archive.st_size ||
                 now.st_mtim.tv_sec != m_Archive.st_mtim.tv_sec ||
                 now.st_mtim.tv_nsec != m_Archive.st_mtim.tv_nsec;
    return !m_bChanged;
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

void CArchiveMount::WidenReadAhead() const {
    // The kernel reads ahead on a FUSE mount by its backing device's setting, 128 KiB unless raised; only
    // root may raise it, and it lasts as long as the mount.
    const CMountEntry mounted = FindMount(m_strPoint);
    if (mounted.m_strType != CMountEntry::kOurType)
        return;
    const CFileDescriptor setting(
        ::open(("/sys/class/bdi/" + mounted.m_strDevice + "/read_ahead_kb").c_str(), O_WRONLY | O_CLOEXEC));
    const std::string kib = std::to_string(kReadAheadBytes / 1024);
    if (setting.IsOpen())
        WriteAll(setting.Get(), kib.data(), kib.size());
}

bool CArchiveMount::Mount(const std::string& dir, std::string& error) {
    static const fuse_lowlevel_ops ops = [] {
        fuse_lowlevel_ops o = {};
        o.lookup = OnLookup;
        o.getattr = OnGetattr;
        o.setattr = OnSetattr;
        o.opendir = OnOpendir;
        o.readdir = [](fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
            ListFolder(req, node, size, offset, false);
        };
        o.readdirplus = [](fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
            ListFolder(req, node, size, offset, true);
        };
        o.open = OnOpen;
        o.read = OnRead;
        o.statfs = OnStatfs;
        o.init = [](void* self, fuse_conn_info* conn) {
            // libfuse takes requests of up to 1 MiB (max_pages); reading ahead as far lets the kernel ask for
            // a file 1 MiB at a time instead of its default 128 KiB.
            conn->max_readahead = kReadAheadBytes;
            static_cast<CArchiveMount*>(self)->WidenReadAhead();
            conn->want |= conn->capable & FUSE_CAP_READDIRPLUS;
            conn->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
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
    // the kernel's requests, which come up to 1 MiB at a time.
    ::posix_fadvise(m_Pack.GetFd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    char point[PATH_MAX];
    m_strPoint = ::realpath(dir.c_str(), point) ? point : dir;
    fuse_set_log_func(LogAsOurs);
    CStderrCatcher catcher;
    m_pSession = fuse_session_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args); // the session keeps what it parsed, not the list
    m_bMounted = m_pSession && fuse_session_mount(m_pSession, dir.c_str()) == 0;
    const std::string reason = catcher.Restore();
    if (!m_bMounted)
        error = (m_pSession ? kCouldNotMountOn + dir : std::string(kCouldNotStartFuse)) +
                (reason.empty() ? "" : ": " + reason);
    return m_bMounted;
}

void CArchiveMount::Serve() {
    if (fuse_set_signal_handlers(m_pSession) != 0)
        return;
    fuse_session_loop(m_pSession);
    fuse_remove_signal_handlers(m_pSession);
}
