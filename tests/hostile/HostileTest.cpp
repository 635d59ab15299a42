// Every hostile archive of HostileCases.cpp extracted through the core and through the command line;
// faults while extracting; the faults found so far. Random corruption runs in the fuzz replays.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using CLines = std::vector<std::string>;
const std::string kSentinel = "sentinel: must never change\n";
const auto kPrintable = [](unsigned char ch) { return ch >= 0x20 && ch != 0x7F; };

// Every path below `root` as ListTree gives it, each regular file followed by "=" and its bytes; sorted.
CLines Snapshot(const std::string& root) {
    CLines paths = ListTree(root);
    for (std::string& p : paths) {
        struct stat st {};
        if (lstat((root + "/" + p).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            p += "=" + ReadFileBytes(root + "/" + p);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// base/outside/SENTINEL, base/archive/ and base/dest/: nothing but the destination may change.
struct CArea {
    CTempDir m_Base;
    std::string m_strDest = m_Base / "dest", m_strArchives = m_Base / "archive";
    CArea() {
        for (const char* d : {"dest", "archive", "outside"})
            mkdir((m_Base / d).c_str(), 0755);
        WriteFileBytes(m_Base / "outside/SENTINEL", kSentinel);
    }
    void ExpectNoDamage(const CLines& archives) const { // archives: "archive/NAME=bytes"
        CLines expected{"archive/", "dest/", "outside/", "outside/SENTINEL=" + kSentinel}, found;
        expected.insert(expected.begin() + 1, archives.begin(), archives.end());
        for (const std::string& p : Snapshot(m_Base.Path()))
            if (p.rfind("dest/", 0) != 0 || p == "dest/")
                found.push_back(p);
        EXPECT_EQ(found, expected);
    }
};

CExtractResult ExtractAll(const CPackFile& pack, const std::string& dest, CMessageSink& sink,
                          const std::string& encoding = CNameCodec::kDefault, bool unnamedFiles = true) {
    const CNameCodec codec(encoding);
    CFolderWalk walk(pack, sink, codec);
    walk.Writer().SetUnnamedFiles(unnamedFiles);
    CSelection all;
    all.m_bWholeArchive = true;
    const int dirfd = CFolderWalk::OpenDestination(dest);
    EXPECT_TRUE(dirfd >= 0 && codec.IsValid());
    const CExtractResult result = walk.Extract(dirfd, all);
    close(dirfd);
    return result;
}

// Runs vorpex-cli through the shell, `env` ("NAME=value ...") before it and `redirect` after: by default
// what is read is its standard error. Returns the exit status and the lines read.
std::pair<int, CLines> RunCli(const CLines& args, const std::string& env = {},
                              const std::string& redirect = " 2>&1 >/dev/null") {
    std::string command = env + " '" VORPEX_CLI_PATH "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    FILE* out = popen((command + " </dev/null" + redirect).c_str(), "r");
    CLines lines;
    char* line = nullptr;
    for (size_t size = 0; getline(&line, &size, out) > 0;)
        lines.emplace_back(line, std::strcspn(line, "\n"));
    free(line);
    const int status = pclose(out);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, lines};
}

// Each hostile archive is a named case, run through the core and through vorpex-cli:
// --gtest_filter='*/names_dotdot_file' runs one.
class CHostileArchive : public ::testing::TestWithParam<CHostileCase> {
protected:
    CArea m_Area;
    std::string m_strArchive;
    void SetUp() override {
        const CHostileCase& c = GetParam();
        m_strArchive = (c.m_bArchiveInDest ? m_Area.m_strDest : m_Area.m_strArchives) + "/HOSTILE.DIR";
        WriteFileBytes(m_strArchive, c.m_strArchive);
        c.m_fnPrepare(m_Area.m_strDest);
    }
    void TearDown() override {
        const CHostileCase& c = GetParam();
        const std::string& dest = m_Area.m_strDest;
        EXPECT_EQ(Snapshot(dest), c.m_Tree);
        for (const std::string& p : c.m_Absent)
            EXPECT_EQ(access((p[0] == '/' ? p : dest + "/" + p).c_str(), F_OK), -1) << p;
        m_Area.ExpectNoDamage(CLines(!c.m_bArchiveInDest, "archive/HOSTILE.DIR=" + c.m_strArchive));
    }
};

TEST_P(CHostileArchive, ThroughTheCore) {
    const CHostileCase& c = GetParam();
    CRecordingSink readerSink, sink;
    CPackFile pack(m_strArchive, readerSink);
    EXPECT_EQ(pack.GetReport().IsClean(), c.m_strReport.empty());
    EXPECT_EQ(readerSink.Texts(), CLines(pack.GetReport().m_nUnknownRecords ? 1 : 0, kUnknownFileType));
    EXPECT_EQ(ExtractAll(pack, m_Area.m_strDest, sink, c.m_strEncoding).m_nMessages, c.m_Messages.size());
    EXPECT_EQ(sink.Texts(), c.m_Messages);
}

TEST_P(CHostileArchive, ThroughTheCommandLine) {
    // The walk's messages, names escaped, then a line for what the reader recorded; list and check too;
    // nothing raw reaches the terminal.
    const CHostileCase& c = GetParam();
    auto [status, lines] =
        RunCli({"extract", "--quiet", "--encoding", c.m_strEncoding, "-C", m_Area.m_strDest, m_strArchive});
    const auto list = RunCli({"list", m_strArchive}, "", " 2>&1"),
               check = RunCli({"check", m_strArchive}, "", " 2>&1");
    for (const CLines& l : {lines, list.second, check.second})
        for (const std::string& line : l)
            EXPECT_TRUE(std::all_of(line.begin(), line.end(), kPrintable)) << line;
    EXPECT_EQ(status, c.m_Messages.empty() && c.m_strReport.empty() ? 0 : 1);
    EXPECT_EQ(list.first, c.m_strReport.empty() ? 0 : 1);
    EXPECT_TRUE(check.first == 0 || check.first == 1) << check.first;
    if (!c.m_strReport.empty() && !lines.empty()) {
        EXPECT_NE(lines.back().find(c.m_strReport), std::string::npos) << lines.back();
        lines.pop_back();
    }
    EXPECT_EQ(lines, c.m_CliLines);
}

INSTANTIATE_TEST_SUITE_P(Hostile, CHostileArchive, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return info.param.m_strName; });

enum EFault { kDiskFull, kFileTooLarge, kReadOnly, kFailingRead };
const char* const kFaultNames[] = {"DiskFull", "FileTooLarge", "ReadOnlyDestination", "FailingRead"};
const char* const kFaultTexts[] = {kCouldNotWriteFile, kCouldNotWriteFile, kCouldNotCreateFile,
                                   kCouldNotReadFile};
class CFault : public ::testing::TestWithParam<EFault> {};

// Each fault for a new file and for a replacement: the old file intact, no temporary behind, a message
// naming the file, exit status 1 from the command line.
TEST_P(CFault, KeepsTheOldFileLeavesNoTemporaryAndNamesTheFile) {
    const EFault fault = GetParam();
    const bool mounted = fault == kDiskFull || fault == kReadOnly;
    // Mounting needs root; a private mount namespace keeps the mounts inside this process.
    static const bool canMount = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
                                 mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (mounted && !canMount)
        GTEST_SKIP() << "mounting a tmpfs or a read-only bind needs root and a private mount namespace";
    constexpr off_t kFailFrom = 300 * 1024;           // the archive cannot be read from here on
    const std::string big(2 * 1024 * 1024 + 77, 'b'); // more than one piece of the copy
    for (const bool replace : {false, true})
        for (const int way : {0, 1, 2}) { // the core, the core with named temporaries, vorpex-cli
            const bool cli = way == 2;
            SCOPED_TRACE(std::string(replace ? "replacing" : "new") + " way " + std::to_string(way));
            CArea area;
            const std::string archive = area.m_strArchives + "/FAULT.DIR", dest = area.m_strDest;
            WriteFileBytes(archive, BuildArchive({File("BIG", big)}));
            // A tmpfs with room for the old file, not for the new one; a read-only bind of the destination.
            ASSERT_TRUE(fault != kDiskFull ||
                        mount("tmpfs", dest.c_str(), "tmpfs", 0, "size=256k,mode=0755") == 0);
            if (replace)
                WriteFileBytes(dest + "/BIG", "the user's old file\n");
            ASSERT_TRUE(
                fault != kReadOnly ||
                (mount(dest.c_str(), dest.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                 mount(nullptr, dest.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0));
            // Past the limit a write fails with EFBIG while SIGXFSZ is ignored; vorpex-cli inherits both.
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const rlimit lowered{fault == kFileTooLarge ? 128 * 1024 : old.rlim_cur, old.rlim_max};
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &lowered);
            std::pair<int, CLines> run{1, {}};
            if (cli) {
                // The shim fails reads from kFailFrom on; a sanitizer build wants its runtime loaded first.
                const char* asan = getenv("ASAN_OPTIONS");
                const std::string shim = "LD_PRELOAD=" VORPEX_FAILING_READ_PATH " VORPEX_FAIL_READ_FROM=" +
                                         std::to_string(kFailFrom) + " ASAN_OPTIONS='" + (asan ? asan : "");
                run = RunCli({"extract", "--quiet", "-C", dest, archive},
                             fault == kFailingRead ? shim + ":verify_asan_link_order=0'" : "");
            } else {
                CRecordingSink sink;
                CPackFile pack(archive, sink);
                ASSERT_EQ(pack.GetEntries().size(), 1u);
                // The catalogue is read; then the entry's data is lost.
                ASSERT_TRUE(fault != kFailingRead || truncate(archive.c_str(), kFailFrom) == 0);
                EXPECT_EQ(ExtractAll(pack, dest, sink, CNameCodec::kDefault, way == 0).m_nFilesWritten, 0u);
                run.second = sink.Texts();
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            EXPECT_EQ(run, std::make_pair(1, CLines{kFaultTexts[fault] + std::string("BIG")}));
            EXPECT_EQ(Snapshot(dest), CLines(replace, "BIG=the user's old file\n"));
            if (mounted)
                umount2(dest.c_str(), MNT_DETACH);
            area.ExpectNoDamage({"archive/FAULT.DIR=" + ReadFileBytes(archive)});
        }
}
INSTANTIATE_TEST_SUITE_P(Faults, CFault, ::testing::Values(kDiskFull, kFileTooLarge, kReadOnly, kFailingRead),
                         [](const auto& info) { return std::string(kFaultNames[info.param]); });

// Starts vorpex-cli with `args`, standard input and output on /dev/null, `env` ("NAME=value") added to its
// environment and `inChild` run just before exec; returns its process id.
pid_t StartCli(const CLines& args, const CLines& env = {}, const std::function<void()>& inChild = {}) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    for (const std::string& e : env)
        putenv(const_cast<char*>(e.c_str()));
    if (inChild)
        inChild();
    std::vector<char*> argv{const_cast<char*>(VORPEX_CLI_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(VORPEX_CLI_PATH, argv.data());
    _exit(127);
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Waits until process `pid` holds a file below `dir` open with at least `bytes` in it, that is, until it
// is in mid-file; false after 20 seconds.
bool WaitUntilWriting(pid_t pid, const std::string& dir, off_t bytes) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
    for (int round = 0; round < 4000; ++round, usleep(5000))
        for (int fd = 3; fd < 64; ++fd) {
            char target[4096];
            const ssize_t n = readlink((fds + std::to_string(fd)).c_str(), target, sizeof target - 1);
            struct stat st {};
            if (n > 0 && std::string_view(target, size_t(n)).starts_with(dir + "/") &&
                stat((fds + std::to_string(fd)).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                st.st_size >= bytes)
                return true;
        }
    return false;
}

// A signal in mid-file, extracting a new file, replacing one, and packing an archive over an old one: the
// catchable signals stop cleanly with the status the shell expects (141 for a broken pipe, else 130);
// nothing is left under the real name but a complete file or the old one, and no temporary stays behind.
// SIGKILL cannot be caught: still nothing incomplete under the real name.
class CInterrupt : public ::testing::TestWithParam<int> {};

TEST_P(CInterrupt, InMidFileLeavesNothingIncompleteUnderARealName) {
    const int signal = GetParam();
    const std::string big(8 * 1024 * 1024 + 5, 'b'), old = "the user's old file\n";
    const CLines slow{"LD_PRELOAD=" VORPEX_FAILING_READ_PATH, "VORPEX_SLOW_IO_MS=100",
                      "ASAN_OPTIONS=" + std::string(getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "") +
                          ":verify_asan_link_order=0"};
    for (const char* what : {"new", "replacing", "pack"}) {
        SCOPED_TRACE(what);
        CArea area;
        const std::string archive = area.m_strArchives + "/BIG.DIR", dest = area.m_strDest;
        const bool pack = what == std::string("pack");
        CLines args{"extract", "--quiet", "-C", dest, archive}, expected;
        if (pack) {
            // Packing dest/ (one big file) over an old archive, which must stay as it was.
            WriteFileBytes(dest + "/BIG", big);
            WriteFileBytes(archive, old);
            args = {"pack", dest, archive};
            expected = {"BIG=" + big};
        } else {
            WriteFileBytes(archive, BuildArchive({File("BIG", big)}));
            if (what == std::string("replacing"))
                WriteFileBytes(dest + "/BIG", old), expected = {"BIG=" + old};
        }
        const pid_t pid = StartCli(args, slow);
        ASSERT_TRUE(WaitUntilWriting(pid, pack ? area.m_strArchives : dest, 1 << 20));
        kill(pid, signal);
        const int status = WaitFor(pid);
        if (signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status));
            // The packer's named temporary may stay; the archive is the old one.
            if (pack)
                EXPECT_EQ(ReadFileBytes(archive), old);
            else
                EXPECT_EQ(Snapshot(dest), expected);
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (signal == SIGPIPE ? 141 : 130)) << status;
        EXPECT_EQ(Snapshot(dest), expected);
        area.ExpectNoDamage({"archive/BIG.DIR=" + (pack ? old : ReadFileBytes(archive))});
    }
}
INSTANTIATE_TEST_SUITE_P(Signals, CInterrupt, ::testing::Values(SIGHUP, SIGQUIT, SIGPIPE, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// With standard output and error closed, the archive's file would take descriptor 1 or 2 and receive the
// program's own messages: the packed archive must be the same as one packed with both open.
TEST(StandardDescriptors, ClosedOnesReceiveNothingMeantForTheTerminal) {
    CArea area;
    const std::string folder = area.m_strDest + "/F", archive = area.m_strArchives + "/OUT.DIR";
    mkdir(folder.c_str(), 0755);
    WriteFileBytes(folder + "/A", "abc");
    symlink("A", (folder + "/LINK").c_str()); // reported as skipped: a message to write
    ASSERT_EQ(WaitFor(StartCli({"pack", folder, area.m_strArchives + "/REF.DIR"})), 1 << 8);
    WriteFileBytes(archive, "the user's old archive\n");
    const int status = WaitFor(StartCli({"pack", folder, archive}, {}, [] {
        close(1);
        close(2);
    }));
    EXPECT_EQ(status, 1 << 8); // exit status 1: the link was reported
    EXPECT_EQ(ReadFileBytes(archive), ReadFileBytes(area.m_strArchives + "/REF.DIR"));
}

// A destination that may be written into and searched but not listed (mode -wx) takes an extraction,
// as it does a copy. As root the command runs as nobody, for whom the mode counts.
TEST(Destination, WritableAndSearchableButNotListable) {
    CArea area;
    const std::string archive = area.m_strArchives + "/A.DIR", dest = area.m_strDest;
    WriteFileBytes(archive, BuildArchive({Folder("D", {File("F", "data")})}));
    const bool root = geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chmod(area.m_Base.Path().c_str(), 0711) | chmod(area.m_strArchives.c_str(), 0755) |
                  chmod(archive.c_str(), 0644) | chmod(dest.c_str(), 0300) |
                  (root ? chown(dest.c_str(), kNobody, kNobody) : 0),
              0);
    const int status = WaitFor(StartCli({"extract", "-C", dest, archive}, {}, [root] {
        if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
    }));
    chmod(dest.c_str(), 0755);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Snapshot(dest), (CLines{"D/", "D/F=data"}));
}

// Two ITEMs of one name into one DIR: the first replaces the file that stood there before, the second is
// skipped with a message instead of silently replacing the first.
TEST(Destination, ASecondItemOfTheSameNameNeverReplacesTheFirst) {
    CArea area;
    const std::string archive = area.m_strArchives + "/A.DIR", dest = area.m_strDest;
    WriteFileBytes(archive,
                   BuildArchive({Folder("A", {File("F", "from A")}), Folder("B", {File("F", "from B")})}));
    WriteFileBytes(dest + "/F", "old");
    EXPECT_EQ(RunCli({"extract", "-C", dest, archive, "A/F", "B/F"}),
              std::make_pair(1, CLines{kCouldNotCreateFile + std::string("F")}));
    EXPECT_EQ(Snapshot(dest), CLines{"F=from A"});
}

TEST(Regression, RecordWithAnEmptyNameCopiesNothingFromANullPointer) { // undefined behaviour, once
    EXPECT_EQ(CArchiveRecord::Make(std::string_view{}, CArchiveRecord::kEnd, 7, 9).Bytes().size(), 44u);
}

// Opening a FIFO for reading waits for a writer that never comes: only what can be read by position is
// an archive (the command line exits 2 and says why; 124 would be the time running out).
TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    CTempDir dir;
    ASSERT_EQ(mkfifo((dir / "PIPE.DIR").c_str(), 0644), 0);
    EXPECT_EQ(RunCli({"extract", "-C", dir.Path(), dir / "PIPE.DIR"}, "timeout 5"),
              std::make_pair(2, CLines{std::string(kErrorOpeningFile) + " " + dir / "PIPE.DIR"}));
}

} // namespace
