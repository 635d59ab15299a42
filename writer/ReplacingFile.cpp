#include "writer/ReplacingFile.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <functional>
#include <random>
#include <unistd.h>

#include "platform/UnnamedFile.h"

namespace vorpex {

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

ReplacingFile::ReplacingFile(std::string target) : m_target(std::move(target)) {}

ReplacingFile::~ReplacingFile() {
    discard();
}

void ReplacingFile::setExpected(const struct stat& st) {
    m_expected = st;
    m_hasExpected = true;
}

ReplacingFile::Status ReplacingFile::fail(Status status) {
    m_error = errno;
    return status;
}

// Follows links at the target to the file they lead to, relative ones from the link's folder.
bool ReplacingFile::resolveLink() {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(m_target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(m_target.c_str(), link, sizeof link);
        if (n < 0 || n == ssize_t(sizeof link))
            return false;
        const std::string to(link, size_t(n));
        const size_t slash = m_target.rfind('/');
        m_target = to[0] == '/' || slash == std::string::npos ? to : m_target.substr(0, slash + 1) + to;
    }
    errno = ELOOP;
    return false;
}

ReplacingFile::Status ReplacingFile::check() {
    if (m_target.empty())
        return Status::Refused;
    if (m_followLink && !resolveLink())
        return fail(Status::Failed);
    struct stat st {};
    m_hasOld = ::lstat(m_target.c_str(), &st) == 0;
    if (m_hasOld && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0))
        return Status::Refused;
    m_old = st;
    if (m_hasExpected && !(m_hasOld && sameFile(st, m_expected)))
        return Status::Changed;
    return Status::Ok;
}

ReplacingFile::Status ReplacingFile::open() {
    if (const Status checked = check(); checked != Status::Ok)
        return checked;
    // The file lies beside the target, so that putting it in place stays within one file system.
    const size_t slash = m_target.rfind('/');
    m_base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : m_target.substr(0, slash);
    m_folder.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder.isOpen())
        return fail(Status::Failed);
    // An unnamed file is linked in through /proc, or else with AT_EMPTY_PATH, which needs a privilege only
    // root is sure to have.
    if (m_unnamed && (::access("/proc/self/fd", X_OK) == 0 || ::geteuid() == 0)) {
        m_file.reset(::openat(m_folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (!m_file.isOpen() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return fail(Status::Failed);
    }
    if (!m_file.isOpen() && !makeName([this](const char* name) {
            m_file.reset(
                ::openat(m_folder.get(), name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return m_file.isOpen();
        }))
        return fail(Status::Failed);
    ::fstat(m_file.get(), &m_made);
    return Status::Ok;
}

// Fresh names ".TARGET.XXXXXX" beside the target, until `make` succeeds; m_temporary holds the name made.
bool ReplacingFile::makeName(const std::function<bool(const char*)>& make) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::minstd_rand random(std::random_device{}());
    return makeFreshName(
        m_temporary,
        [&] {
            std::string name = "." + m_base + ".";
            for (int i = 0; i < 6; ++i)
                name += kLetters[random() % (sizeof kLetters - 1)];
            return name;
        },
        make);
}

bool ReplacingFile::isOwn(const struct stat& st) const {
    return (m_file.isOpen() && st.st_dev == m_made.st_dev && st.st_ino == m_made.st_ino) ||
           (m_hasOld && st.st_dev == m_old.st_dev && st.st_ino == m_old.st_ino);
}

ReplacingFile::Status ReplacingFile::commit() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(m_file.get(), m_hasOld ? m_old.st_mode & 07777 : 0666 & ~mask) != 0 ||
        (m_keepOwner && m_hasOld && ::fchown(m_file.get(), m_old.st_uid, m_old.st_gid) != 0) ||
        ::fsync(m_file.get()) != 0)
        return fail(Status::WriteFailed);
    if (m_hasExpected) {
        struct stat now {};
        if (::lstat(m_target.c_str(), &now) != 0 || !sameFile(now, m_expected))
            return Status::Changed;
    }
    const bool unnamed = m_temporary.empty();
    auto link = [this](const char* name) { return linkUnnamed(m_file.get(), m_folder.get(), name); };
    bool placed = unnamed && link(m_base.c_str());
    if (!placed && unnamed && errno != EEXIST)
        return fail(Status::Failed);
    if (!placed && unnamed && !makeName(link))
        return fail(Status::Failed);
    if (!placed && ::renameat(m_folder.get(), m_temporary.c_str(), m_folder.get(), m_base.c_str()) != 0)
        return fail(Status::Failed);
    m_temporary.clear();
    m_committed = true;
    ::fsync(m_folder.get()); // the new name lasts; the file is in place whatever this says
    m_file.reset();
    return Status::Ok;
}

void ReplacingFile::discard() {
    if (!m_committed && !m_temporary.empty())
        ::unlinkat(m_folder.get(), m_temporary.c_str(), 0);
    m_temporary.clear();
    m_file.reset();
}

} // namespace vorpex
