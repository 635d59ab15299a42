// Every hostile archive of HostileCases.cpp extracted through the core and through the command line;
// faults while extracting; the faults found so far. Random corruption runs in the fuzz replays.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"
#include "tests/support/CliRunner.h"

// A case is shown by its name, not its bytes.
void PrintTo(const CHostileCase& c, std::ostream* os) {
    *os << c.m_strName;
}

namespace {

using CLines = std::vector<std::string>;
const std::string kSentinel = "sentinel: must never change\n";
const auto kPrintable = [](unsigned char ch) { return ch >= 0x20 && ch != 0x7F; };

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
    const CFileDescriptor dirfd(CFolderWalk::OpenDestination(dest));
    EXPECT_TRUE(dirfd.IsOpen() && codec.IsValid());
    return walk.Extract(dirfd.Get(), all);
}

// The exit status and standard error of vorpex-cli run with `args`; `inChild` runs in it before exec.
std::pair<int, CLines> Cli(const CLines& args, const std::function<void()>& inChild = {}) {
    const CCliRun run = RunCli(args, {.m_fnInChild = inChild});
    return {run.m_nStatus, run.m_ErrLines};
}

// Preloads the fault shim, set by `variable`, into vorpex-cli; for a child about to exec it. A sanitizer
// build wants its own runtime loaded first.
void PreloadShim(const char* variable, const std::string& value) {
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("LD_PRELOAD", VORPEX_FAILING_READ_PATH, 1);
    setenv(variable, value.c_str(), 1);
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
}

// Lays out a fresh area for `c`; returns the archive's path.
std::string LayOut(const CHostileCase& c, const CArea& area) {
    const std::string archive = (c.m_bArchiveInDest ? area.m_strDest : area.m_strArchives) + "/HOSTILE.DIR";
    WriteFileBytes(archive, c.m_strArchive);
    c.m_fnPrepare(area.m_strDest);
    return archive;
}

// Nothing outside the destination changed, no forbidden path exists and, if `exact`, the stated tree.
void ExpectOutcome(const CHostileCase& c, const CArea& area, bool exact) {
    if (exact) {
        EXPECT_EQ(Snapshot(area.m_strDest), c.m_Tree);
    }
    for (const std::string& p : c.m_Absent)
        EXPECT_EQ(access((p[0] == '/' ? p : area.m_strDest + "/" + p).c_str(), F_OK), -1) << p;
    area.ExpectNoDamage(CLines(!c.m_bArchiveInDest, "archive/HOSTILE.DIR=" + c.m_strArchive));
}

void ExpectPrintable(const CLines& lines) {
    for (const std::string& line : lines)
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), kPrintable)) << line;
}

// Each hostile archive is a named case, run through the core and through vorpex-cli:
// --gtest_filter='*/names_dotdot_file' runs one.
class CHostileArchive : public ::testing::TestWithParam<CHostileCase> {};

TEST_P(CHostileArchive, ThroughTheCore) {
    const CHostileCase& c = GetParam();
    CArea area;
    CRecordingSink readerSink, sink;
    CPackFile pack(LayOut(c, area), readerSink);
    EXPECT_EQ(pack.GetReport().IsClean(), c.m_strReport.empty());
    EXPECT_EQ(ExtractAll(pack, area.m_strDest, sink, c.m_strEncoding).m_nMessages, c.m_Messages.size());
    EXPECT_EQ(sink.Texts(), c.m_Messages);
    ExpectOutcome(c, area, true);
}

// With the default policy and with either other (merge and keep, merge and replace) every safety rule
// holds; the walk's messages come out with names escaped, then a line for what the reader recorded;
// nothing raw reaches the terminal. Where the destination starts empty, or by default, the stated outcome.
TEST_P(CHostileArchive, ThroughTheCommandLine) {
    const CHostileCase& c = GetParam();
    for (const std::string policy : {"", "--keep-old-files", "--overwrite"}) {
        SCOPED_TRACE(policy);
        CArea area;
        const std::string archive = LayOut(c, area);
        const bool exact = policy.empty() || ListTree(area.m_strDest).empty();
        CLines args{"extract", "--quiet", "--encoding", c.m_strEncoding, "-C", area.m_strDest, archive};
        if (!policy.empty())
            args.insert(args.begin() + 1, policy);
        auto [status, lines] = Cli(args);
        ExpectPrintable(lines);
        if (policy.empty()) {
            const CCliRun list = RunCli({"list", archive}), check = RunCli({"check", archive});
            for (const CLines& l : {list.m_OutLines, list.m_ErrLines, check.m_OutLines, check.m_ErrLines})
                ExpectPrintable(l);
            EXPECT_EQ(list.m_nStatus, c.m_strReport.empty() ? 0 : 1);
            EXPECT_TRUE(check.m_nStatus == 0 || check.m_nStatus == 1) << check.m_nStatus;
        }
        if (exact) {
            EXPECT_EQ(status, c.m_Messages.empty() && c.m_strReport.empty() ? 0 : 1);
            if (!c.m_strReport.empty() && !lines.empty()) {
                EXPECT_NE(lines.back().find(c.m_strReport), std::string::npos) << lines.back();
                lines.pop_back();
            }
            EXPECT_EQ(lines, c.m_CliLines);
        } else {
            EXPECT_TRUE(status == 0 || status == 1) << status;
        }
        ExpectOutcome(c, area, exact);
    }
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
                // The shim fails reads from kFailFrom on.
                run = Cli({"extract", "--quiet", "-C", dest, archive}, [fault] {
                    if (fault == kFailingRead)
                        PreloadShim("VORPEX_FAIL_READ_FROM", std::to_string(kFailFrom));
                });
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

// A signal in mid-file, extracting a new file, replacing one, and packing an archive over an old one: the
// catchable signals stop cleanly with the status the shell expects (141 for a broken pipe, else 130);
// nothing is left under the real name but a complete file or the old one, and no temporary stays behind.
// SIGKILL cannot be caught: still nothing incomplete under the real name.
class CInterrupt : public ::testing::TestWithParam<int> {};

TEST_P(CInterrupt, InMidFileLeavesNothingIncompleteUnderARealName) {
    const int signal = GetParam();
    const std::string big(8 * 1024 * 1024 + 5, 'b'), old = "the user's old file\n";
    for (const char* what : {"new", "replacing", "pack"}) {
        SCOPED_TRACE(what);
        CArea area;
        const std::string archive = area.m_strArchives + "/BIG.DIR", dest = area.m_strDest;
        const bool pack = what == std::string("pack");
        CLines args{"extract", "--quiet", "-C", dest, archive}, expected, said{kInterruptedText};
        if (pack) {
            // Packing dest/ (one big file) over an old archive, which must stay as it was.
            WriteFileBytes(dest + "/BIG", big);
            WriteFileBytes(archive, old);
            args = {"pack", dest, archive};
            expected = {"BIG=" + big};
            said.push_back(kNoArchiveWritten);
        } else {
            WriteFileBytes(archive, BuildArchive({File("BIG", big)}));
            if (what == std::string("replacing"))
                WriteFileBytes(dest + "/BIG", old), expected = {"BIG=" + old};
        }
        const CCliRun run =
            RunCli(args, {.m_fnInChild = [signal] { PreloadShim("VORPEX_SIGNAL", std::to_string(signal)); }});
        if (signal == SIGKILL) {
            EXPECT_EQ(run.m_nStatus, 128 + SIGKILL);
            // The packer's named temporary may stay; the archive is the old one.
            if (pack)
                EXPECT_EQ(ReadFileBytes(archive), old);
            else
                EXPECT_EQ(Snapshot(dest), expected);
            continue;
        }
        // Killed by SIGPIPE would be 141 too, without a word.
        EXPECT_EQ(std::make_pair(run.m_nStatus, run.m_ErrLines),
                  std::make_pair(signal == SIGPIPE ? 141 : 130, said));
        EXPECT_EQ(Snapshot(dest), expected);
        area.ExpectNoDamage({"archive/BIG.DIR=" + (pack ? old : ReadFileBytes(archive))});
    }
}
INSTANTIATE_TEST_SUITE_P(Signals, CInterrupt, ::testing::Values(SIGHUP, SIGQUIT, SIGPIPE, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

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
    const auto asNobody = [root] {
        if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
    };
    EXPECT_EQ(Cli({"extract", "-C", dest, archive}, asNobody).first, 0);
    chmod(dest.c_str(), 0755);
    EXPECT_EQ(Snapshot(dest), (CLines{"D/", "D/F=data"}));
}

// Opening a FIFO for reading waits for a writer that never comes: only what can be read by position is
// an archive (the command line exits 2 and says why; 142 would be the time running out).
TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    CTempDir dir;
    ASSERT_EQ(mkfifo((dir / "PIPE.DIR").c_str(), 0644), 0);
    EXPECT_EQ(Cli({"extract", "-C", dir.Path(), dir / "PIPE.DIR"}, [] { alarm(5); }),
              std::make_pair(2, CLines{std::string(kErrorOpeningFile) + " " + dir / "PIPE.DIR"}));
}

} // namespace
