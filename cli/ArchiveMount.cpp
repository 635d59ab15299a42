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

namespace vorpex {

namespace {

// The archive never changes through the mount, so the kernel may keep names and attributes for as long as
// it likes; a day keeps them well past any browsing session.
constexpr double kCacheSeconds = 86400.0;
constexpr unsigned kReadAheadBytes = 1 << 20;

ArchiveMount& self(fuse_req_t req) {
    return *static_cast<ArchiveMount*>(fuse_req_userdata(req));
}

void replyEntry(fuse_req_t req, uint64_t node, const struct stat& st) {
    fuse_entry_param entry = {};
    entry.ino = node;
    entry.attr = st;
    entry.attr_timeout = kCacheSeconds;
    entry.entry_timeout = kCacheSeconds;
    fuse_reply_entry(req, &entry);
}

void onLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    ArchiveMount& mount = self(req);
    if (!mount.isFolder(parent)) {
        fuse_reply_err(req, mount.isFile(parent) ? ENOTDIR : ENOENT);
        return;
    }
    const int64_t item = mount.names(parent).find(name);
    if (item < 0) {
        // A name that is not there stays not there: the kernel may remember that too.
        fuse_entry_param entry = {};
        entry.entry_timeout = kCacheSeconds;
        fuse_reply_entry(req, &entry);
        return;
    }
    struct stat st;
    uint64_t node;
    mount.itemStat(parent, static_cast<uint32_t>(item), st, node);
    replyEntry(req, node, st);
}

void onGetattr(fuse_req_t req, fuse_ino_t node, fuse_file_info*) {
    ArchiveMount& mount = self(req);
    struct stat st;
    if (mount.isFolder(node))
        mount.folderStat(node, st);
    else if (mount.isFile(node))
        mount.fileStat(node, st);
    else {
        fuse_reply_err(req, ENOENT);
        return;
    }
    fuse_reply_attr(req, &st, kCacheSeconds);
}

void onSetattr(fuse_req_t req, fuse_ino_t, struct stat*, int, fuse_file_info*) {
    fuse_reply_err(req, EROFS);
}

void onOpendir(fuse_req_t req, fuse_ino_t node, fuse_file_info* fi) {
    ArchiveMount& mount = self(req);
    if (!mount.isFolder(node)) {
        fuse_reply_err(req, mount.isFile(node) ? ENOTDIR : ENOENT);
        return;
    }
    fi->cache_readdir = 1;
    fi->keep_cache = 1;
    fuse_reply_open(req, fi);
}

// Positions: 0 is ".", 1 is "..", 2 + i the folder's item i. With `plus` (READDIRPLUS) each entry carries its
// attributes, known from the catalogue, so that `ls -l` or `du` over a folder costs no request per entry;
// the kernel asks for plain entries where no program looks at attributes (`find`).
void listFolder(fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, bool plus) {
    ArchiveMount& mount = self(req);
    const ShownNames& names = mount.names(node);
    std::vector<char>& buffer = mount.readBuffer();
    buffer.resize(size);
    size_t used = 0;
    for (uint64_t pos = offset < 0 ? 0 : uint64_t(offset); pos < 2 + uint64_t(names.count()); ++pos) {
        fuse_entry_param entry = {};
        entry.attr_timeout = kCacheSeconds;
        entry.entry_timeout = kCacheSeconds;
        std::string name;
        if (pos < 2) {
            mount.folderStat(node, entry.attr);
            entry.ino = node;
            name = pos == 0 ? "." : "..";
        } else {
            mount.itemStat(node, static_cast<uint32_t>(pos - 2), entry.attr, entry.ino);
            name = names.name(static_cast<uint32_t>(pos - 2));
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

void onOpen(fuse_req_t req, fuse_ino_t node, fuse_file_info* fi) {
    ArchiveMount& mount = self(req);
    if (!mount.isFile(node)) {
        fuse_reply_err(req, mount.isFolder(node) ? EISDIR : ENOENT);
        return;
    }
    if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC)) {
        fuse_reply_err(req, EROFS);
        return;
    }
    // What the kernel kept of this file came from the archive as mounted; once the archive has changed it is
    // dropped, and every read comes here and fails.
    fi->keep_cache = mount.unchanged();
    fuse_reply_open(req, fi);
}

void onRead(fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
    ArchiveMount& mount = self(req);
    const PackEntry& entry = mount.pack().entry(static_cast<uint32_t>(node - mount.firstFileNode()));
    if (offset < 0 || static_cast<uint64_t>(offset) >= entry.size()) {
        fuse_reply_buf(req, nullptr, 0);
        return;
    }
    const size_t want = static_cast<size_t>(std::min<uint64_t>(size, entry.size() - uint64_t(offset)));
    const uint64_t from = uint64_t(entry.offset()) + uint64_t(offset);
    // A short answer would be taken by the kernel for the end of the file (and the file's size cut to it),
    // so bytes the archive does not hold, or no longer holds as it did when mounted, are an error.
    if (!mount.unchanged()) {
        fuse_reply_err(req, EIO);
        return;
    }
    std::vector<char>& buffer = mount.readBuffer();
    buffer.resize(want);
    if (preadAll(mount.pack().fd(), buffer.data(), want, static_cast<off_t>(from)) != ssize_t(want) ||
        !mount.unchanged()) {
        fuse_reply_err(req, EIO);
        return;
    }
    fuse_reply_buf(req, buffer.data(), want);
}

void onStatfs(fuse_req_t req, fuse_ino_t) {
    ArchiveMount& mount = self(req);
    struct statvfs st = {};
    st.f_bsize = 4096;
    st.f_frsize = 4096;
    st.f_blocks = (mount.archiveSize() + 4095) / 4096;
    st.f_files = mount.firstFileNode() - 1 + mount.pack().entryCount();
    st.f_namemax = 255;
    st.f_flag = ST_RDONLY;
    fuse_reply_statfs(req, &st);
}

void onWriteLike(fuse_req_t req) {
    fuse_reply_err(req, EROFS);
}

// libfuse's own lines, in the foreground, as ours: "vorpex-cli: " and the text without its "fuse: ".
void logAsOurs(fuse_log_level, const char* format, va_list args) {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    std::string_view text = std::strncmp(line, "fuse: ", 6) == 0 ? line + 6 : line;
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    ConsoleSink().note(std::string(text));
}

// While it lives, standard error goes to a memory file, so that what libfuse and the fusermount3 it may
// start say about a failed mount reaches the user as the reason in one line of ours, not in theirs.
class StderrCatcher {
public:
    StderrCatcher()
        : m_saved(::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0)),
          m_caught(::memfd_create("vorpex-mount-errors", MFD_CLOEXEC)) {
        if (m_saved.isOpen() && m_caught.isOpen())
            ::dup2(m_caught.get(), STDERR_FILENO);
    }
    ~StderrCatcher() { restore(); }
    StderrCatcher(const StderrCatcher&) = delete;
    StderrCatcher& operator=(const StderrCatcher&) = delete;

    // Puts standard error back and returns the lines caught, each once, without the tool's name, joined by
    // "; "; empty when nothing was said.
    std::string restore() {
        if (!m_saved.isOpen() || !m_caught.isOpen())
            return {};
        ::dup2(m_saved.get(), STDERR_FILENO);
        m_saved.reset(-1);
        std::string text(4096, '\0');
        const ssize_t got = preadAll(m_caught.get(), text.data(), text.size(), 0);
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
    FileDescriptor m_saved;
    FileDescriptor m_caught;
};

} // namespace

ArchiveMount::ArchiveMount(const PackFile& pack, const NameCodec& codec, const NameEscaper& escaper,
                           const struct stat& archive)
    : m_pack(pack), m_codec(codec), m_escaper(escaper), m_archive(archive), m_uid(::getuid()),
      m_gid(::getgid()) {
    m_folders.reserve(pack.folderCount() + 1);
    m_folders.push_back(&pack.top());
    for (size_t i = 0; i < m_folders.size(); ++i) {
        m_firstChild.push_back(static_cast<uint32_t>(m_folders.size() + 1));
        for (const PackFolder* child : m_folders[i]->children())
            m_folders.push_back(child);
    }
    m_names.resize(m_folders.size());
}

ArchiveMount::~ArchiveMount() {
    if (m_session) {
        if (m_mounted)
            fuse_session_unmount(m_session);
        fuse_session_destroy(m_session);
    }
}

bool ArchiveMount::unchanged() {
    struct stat now {};
    m_isChanged = m_isChanged || ::fstat(m_pack.fd(), &now) != 0 || now.st_size != m_archive.st_size ||
                  now.st_mtim.tv_sec != m_archive.st_mtim.tv_sec ||
                  now.st_mtim.tv_nsec != m_archive.st_mtim.tv_nsec;
    return !m_isChanged;
}

bool ArchiveMount::isFile(uint64_t node) const {
    return node >= firstFileNode() && node - firstFileNode() < m_pack.entryCount();
}

void ArchiveMount::folderStat(uint64_t node, struct stat& st) const {
    st = {};
    st.st_ino = node;
    st.st_mode = S_IFDIR | 0555;
    st.st_nlink = 2 + folder(node).children().size();
    st.st_uid = m_uid;
    st.st_gid = m_gid;
    st.st_atim = m_archive.st_atim;
    st.st_mtim = m_archive.st_mtim;
    st.st_ctim = m_archive.st_ctim;
}

void ArchiveMount::fileStat(uint64_t node, struct stat& st) const {
    const PackEntry& entry = m_pack.entry(static_cast<uint32_t>(node - firstFileNode()));
    st = {};
    st.st_ino = node;
    st.st_mode = S_IFREG | 0444;
    st.st_nlink = 1;
    st.st_uid = m_uid;
    st.st_gid = m_gid;
    st.st_size = entry.size();
    // Programs read in pieces of st_blksize (cat, cp): large pieces mean few round trips through the kernel.
    st.st_blksize = 1 << 20;
    st.st_blocks = (entry.size() + 511) / 512;
    st.st_atim = m_archive.st_atim;
    st.st_mtim = m_archive.st_mtim;
    st.st_ctim = m_archive.st_ctim;
}

void ArchiveMount::itemStat(uint64_t folderNode, uint32_t item, struct stat& st, uint64_t& node) const {
    const PackFolder& folder = this->folder(folderNode);
    if (item < folder.files().size()) {
        node = firstFileNode() + folder.files()[item];
        fileStat(node, st);
    } else {
        node = m_firstChild[folderNode - 1] + (item - folder.files().size());
        folderStat(node, st);
    }
}

const ShownNames& ArchiveMount::names(uint64_t folderNode) {
    std::unique_ptr<ShownNames>& names = m_names[folderNode - 1];
    if (!names)
        names = std::make_unique<ShownNames>(m_pack, folder(folderNode), m_codec, m_escaper);
    return *names;
}

void ArchiveMount::widenReadAhead() const {
    // The kernel reads ahead on a FUSE mount by its backing device's setting, 128 KiB unless raised; only
    // root may raise it, and it lasts as long as the mount.
    const MountEntry mounted = findMount(m_point);
    if (mounted.m_type != MountEntry::kOurType)
        return;
    const FileDescriptor setting(
        ::open(("/sys/class/bdi/" + mounted.m_device + "/read_ahead_kb").c_str(), O_WRONLY | O_CLOEXEC));
    const std::string kib = std::to_string(kReadAheadBytes / 1024);
    if (setting.isOpen())
        writeAll(setting.get(), kib.data(), kib.size());
}

bool ArchiveMount::mount(const std::string& dir, std::string& error) {
    static const fuse_lowlevel_ops ops = [] {
        fuse_lowlevel_ops o = {};
        o.lookup = onLookup;
        o.getattr = onGetattr;
        o.setattr = onSetattr;
        o.opendir = onOpendir;
        o.readdir = [](fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
            listFolder(req, node, size, offset, false);
        };
        o.readdirplus = [](fuse_req_t req, fuse_ino_t node, size_t size, off_t offset, fuse_file_info*) {
            listFolder(req, node, size, offset, true);
        };
        o.open = onOpen;
        o.read = onRead;
        o.statfs = onStatfs;
        o.init = [](void* self, fuse_conn_info* conn) {
            // libfuse takes requests of up to 1 MiB (max_pages); reading ahead as far lets the kernel ask for
            // a file 1 MiB at a time instead of its default 128 KiB.
            conn->max_readahead = kReadAheadBytes;
            static_cast<ArchiveMount*>(self)->widenReadAhead();
            conn->want |= conn->capable & FUSE_CAP_READDIRPLUS;
            conn->want &= ~FUSE_CAP_READDIRPLUS_AUTO;
        };
        // The mount is read-only, so the kernel refuses these itself; answer alike should one get through.
        o.mknod = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, dev_t) { onWriteLike(req); };
        o.mkdir = [](fuse_req_t req, fuse_ino_t, const char*, mode_t) { onWriteLike(req); };
        o.unlink = [](fuse_req_t req, fuse_ino_t, const char*) { onWriteLike(req); };
        o.rmdir = [](fuse_req_t req, fuse_ino_t, const char*) { onWriteLike(req); };
        o.rename = [](fuse_req_t req, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned) {
            onWriteLike(req);
        };
        o.create = [](fuse_req_t req, fuse_ino_t, const char*, mode_t, fuse_file_info*) { onWriteLike(req); };
        return o;
    }();
    const char* argv[] = {"vorpex-cli", "-o", "ro,default_permissions,fsname=vorpex,subtype=vorpex"};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(argv));
    // Files are mostly read from start to end: a larger read-ahead on the archive keeps the disk ahead of
    // the kernel's requests, which come up to 1 MiB at a time.
    ::posix_fadvise(m_pack.fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    char point[PATH_MAX];
    m_point = ::realpath(dir.c_str(), point) ? point : dir;
    fuse_set_log_func(logAsOurs);
    StderrCatcher catcher;
    m_session = fuse_session_new(&args, &ops, sizeof ops, this);
    fuse_opt_free_args(&args); // the session keeps what it parsed, not the list
    m_mounted = m_session && fuse_session_mount(m_session, dir.c_str()) == 0;
    const std::string reason = catcher.restore();
    if (!m_mounted)
        error = (m_session ? kCouldNotMountOn + dir : std::string(kCouldNotStartFuse)) +
                (reason.empty() ? "" : ": " + reason);
    return m_mounted;
}

void ArchiveMount::serve() {
    if (fuse_set_signal_handlers(m_session) != 0)
        return;
    fuse_session_loop(m_session);
    fuse_remove_signal_handlers(m_session);
}

} // namespace vorpex
