// `vorpex-cli mount` and `vorpex-cli unmount`: an archive shown as a read-only folder through FUSE.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ArchiveInput.h"
#include "cli/ConsoleSink.h"
#include "cli/MountTable.h"
#include "cli/commands/Commands.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"
#ifdef VORPEX_HAVE_FUSE
#include "cli/ArchiveMount.h"
#endif

namespace vorpex {

namespace {

const char* const kMountHelp =
    "Usage: vorpex-cli mount [--encoding NAME] [-f] ARCHIVE DIR\n"
    "       vorpex-cli unmount DIR\n\n"
    "Shows the archive as a read-only folder at DIR (through FUSE) until it is unmounted with\n"
    "`vorpex-cli unmount DIR` or `fusermount3 -u DIR`. Folders are 0555, files 0444, owned by the\n"
    "mounting user, with the archive file's times. The mount runs in the background once ready; with -f\n"
    "it stays in the foreground and Ctrl-C unmounts. Nothing can be written through it (EROFS); data\n"
    "the archive does not hold, and everything once the archive file has changed while mounted, reads\n"
    "as an I/O error. ARCHIVE - is read from standard input. unmount takes away only a mount of ours.\n\n"
    "Names are those `list` prints (decoded, '/', '\\' and control characters as \\xHH), except where\n"
    "a name cannot be used on disk or is already taken in its folder:\n"
    "  an empty name shows as \\x00, \".\" as \\x2E and \"..\" as \\x2E\\x2E;\n"
    "  a name an earlier item of the folder bears (files before folders, in archive order) gets \\#2,\n"
    "  \\#3, ... before its extension: README.TXT, README\\#2.TXT.\n"
    "`check` reports every such name as unsafe or duplicate.\n\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n"
    "  -f, --foreground     stay in the foreground\n\n"
    "Exit status: 0 mounted (unmounted); 1 mounted, with problems of the archive reported (or not\n"
    "unmounted); 2 usage error, an archive that cannot be opened or a DIR that cannot be mounted on.\n";

// The absolute path of the folder `dir` names, links followed, without asking the file system that may be
// mounted there (its process may have gone): the folder holding it is resolved, its last name followed by
// hand. Empty when the folder holding it cannot be resolved.
std::string resolveMountPoint(std::string dir) {
    for (int hops = 0; hops < 40; ++hops) {
        while (dir.size() > 1 && dir.back() == '/')
            dir.pop_back();
        char target[PATH_MAX];
        const ssize_t n = ::readlink(dir.c_str(), target, sizeof target);
        if (n <= 0 || size_t(n) == sizeof target)
            break;
        const std::string link(target, size_t(n));
        const size_t slash = dir.rfind('/');
        dir = link[0] == '/' || slash == std::string::npos ? link : dir.substr(0, slash + 1) + link;
    }
    const size_t slash = dir.rfind('/');
    const std::string name = slash == std::string::npos ? dir : dir.substr(slash + 1);
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    char resolved[PATH_MAX];
    if (name.empty() || name == "." || name == "..")
        return ::realpath(dir.c_str(), resolved) ? resolved : "";
    if (!::realpath(parent.c_str(), resolved))
        return {};
    return std::string(resolved) + (std::strcmp(resolved, "/") == 0 ? "" : "/") + name;
}

int runUnmount(const CommandLine& line) {
    if (line.m_operands.size() != 1)
        return usageError("unmount", "unmount takes one DIR");
    const std::string& dir = line.m_operands[0];
    ConsoleSink sink;
    // Only a mount of ours is taken away: as root, fusermount3 and the kernel would remove any.
    const std::string point = resolveMountPoint(dir);
    const MountEntry mounted = point.empty() ? MountEntry{} : findMount(point);
    if (mounted.m_type != MountEntry::kOurType || mounted.m_source != MountEntry::kOurSource) {
        sink.print(kNotOurMount + dir);
        return ExitStatus::kReported;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Our own line says what failed; the tool's would not start with our name.
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, STDERR_FILENO);
        ::execlp("fusermount3", "fusermount3", "-u", "--", point.c_str(), static_cast<char*>(nullptr));
        // Without fusermount3 (root, or an unusual system) the kernel is asked directly.
        _exit(::umount2(point.c_str(), UMOUNT_NOFOLLOW) == 0 ? 0 : 1);
    }
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        sink.print(kCouldNotUnmount + dir);
        return ExitStatus::kReported;
    }
    return ExitStatus::kDone;
}

#ifdef VORPEX_HAVE_FUSE
// Puts /dev/null on standard input, output and error, as a daemon does.
void detachStandardDescriptors() {
    FileDescriptor null(::open("/dev/null", O_RDWR));
    if (!null.isOpen())
        return;
    ::dup2(null.get(), STDIN_FILENO);
    ::dup2(null.get(), STDOUT_FILENO);
    ::dup2(null.get(), STDERR_FILENO);
    if (null.get() <= STDERR_FILENO)
        null.release(); // it is one of the three now
}

// The child of a mount in the background: mounts, tells the parent through `ready` ('y' or 'n') and
// serves until unmounted.
int serveInBackground(ArchiveMount& mount, const std::string& dir, FileDescriptor ready, ConsoleSink& sink) {
    ::setsid();
    std::string error;
    const bool mounted = mount.mount(dir, error);
    if (!mounted)
        sink.print(error);
    // Like any daemon, it keeps no folder busy (the archive and the mount point are open already).
    if (mounted && ::chdir("/") != 0)
        sink.print(kCouldNotLeaveFolder + std::string(std::strerror(errno)));
    detachStandardDescriptors();
    const char answer = mounted ? 'y' : 'n';
    while (::write(ready.get(), &answer, 1) < 0 && errno == EINTR) {
    }
    ready.reset();
    if (mounted)
        mount.serve();
    return mounted ? ExitStatus::kDone : ExitStatus::kFailed;
}

// In the background: the child mounts and tells the parent through a pipe, so that the command returns only
// once the folder is ready, with `status` when it is.
int mountInBackground(ArchiveMount& mount, const std::string& dir, int status, ConsoleSink& sink) {
    int ends[2];
    if (::pipe(ends) != 0) {
        sink.print(kCouldNotStartMount + std::string(std::strerror(errno)));
        return ExitStatus::kFailed;
    }
    FileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        sink.print(kCouldNotStartMount + std::string(std::strerror(errno)));
        return ExitStatus::kFailed;
    }
    if (pid == 0) {
        readEnd.reset();
        return serveInBackground(mount, dir, std::move(writeEnd), sink);
    }
    writeEnd.reset();
    char result = 0;
    ssize_t got;
    while ((got = ::read(readEnd.get(), &result, 1)) < 0 && errno == EINTR) {
    }
    return got == 1 && result == 'y' ? status : ExitStatus::kFailed;
}

int mountArchive(const std::string& archive, const std::string& dir, const std::string& encoding,
                 bool foreground) {
    ConsoleSink sink;
    const std::unique_ptr<PackFile> opened = openArchive(archive, sink);
    struct stat st;
    if (!opened || ::fstat(opened->fd(), &st) != 0) {
        if (opened)
            sink.print(std::string(kErrorOpeningFile) + " " + archive);
        return ExitStatus::kFailed;
    }
    const PackFile& pack = *opened;
    // Said here rather than by libfuse, whose words would not start with our name.
    struct stat mountPoint {};
    const bool exists = ::stat(dir.c_str(), &mountPoint) == 0;
    if (!exists || !S_ISDIR(mountPoint.st_mode)) {
        sink.print(kCouldNotMountOn + dir + ": " + std::strerror(exists ? ENOTDIR : errno));
        return ExitStatus::kFailed;
    }
    const std::vector<std::string> problems = ArchiveChecker::readProblems(pack.report());
    for (const std::string& problem : problems)
        sink.print(problem);
    const int status = problems.empty() ? ExitStatus::kDone : ExitStatus::kReported;
    const NameCodec codec(encoding);
    const NameEscaper escaper(codec);
    ArchiveMount mount(pack, codec, escaper, st);
    if (!foreground)
        return mountInBackground(mount, dir, status, sink);
    std::string error;
    if (!mount.mount(dir, error)) {
        sink.print(error);
        return ExitStatus::kFailed;
    }
    mount.serve();
    return status;
}
#endif

int runMount(const CommandLine& line) {
    if (line.m_operands.size() != 2)
        return usageError("mount", "mount takes an ARCHIVE and a DIR");
#ifdef VORPEX_HAVE_FUSE
    return mountArchive(line.m_operands[0], line.m_operands[1], line.m_encoding, line.m_foreground);
#else
    ConsoleSink().Note("built without FUSE: mount needs libfuse 3 (CMake option VORPEX_FUSE)");
    return ExitStatus::kFailed;
#endif
}

} // namespace

const Command kMountCommand = {
    "mount",
    "show an archive as a read-only folder (FUSE)",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Foreground}),
    kMountHelp,
    HelpTail::None,
    false,
    runMount,
};

const Command kUnmountCommand = {
    "unmount",  "end what mount began", optionSet({OptionId::Help}), kMountHelp, HelpTail::None, false,
    runUnmount,
};

} // namespace vorpex
