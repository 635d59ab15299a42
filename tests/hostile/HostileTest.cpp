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

namespace vorpex {

// A case is shown by its name, not its bytes.
void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.m_name;
}

namespace {

using CLines = std::vector<std::string>;
const std::string kSentinel = "sentinel: must never change\n";
const auto kPrintable = [](unsigned char ch) { return ch >= 0x20 && ch != 0x7F; };

// base/outside/SENTINEL, base/archive/ and base/dest/: nothing but the destination may change.
struct Area {
    TempDir m_base;
    std::string m_dest = m_base / "dest", m_archives = m_base / "archive";
    Area() {
        for (const char* d : {"dest", "archive", "outside"})
            mkdir((m_base / d).c_str(), 0755);
        writeFileBytes(m_base / "outside/SENTINEL", kSentinel);
    }
    void expectNoDamage(const CLines& archives) const { // archives: "archive/NAME=bytes"
        CLines expected{"archive/", "dest/", "outside/", "outside/SENTINEL=" + kSentinel}, found;
        expected.insert(expected.begin() + 1, archives.begin(), archives.end());
        for (const std::string& p : snapshot(m_base.path()))
            if (p.rfind("dest/", 0) != 0 || p == "dest/")
                found.push_back(p);
        EXPECT_EQ(found, expected);
    }
};

ExtractResult extractAll(const PackFile& pack, const std::string& dest, MessageSink& sink,
                         const std::string& encoding = NameCodec::kDefault, bool unnamedFiles = true) {
    const NameCodec codec(encoding);
    FolderWalk walk(pack, sink, codec);
    walk.writer().setUnnamedFiles(unnamedFiles);
    Selection all;
    all.m_wholeArchive = true;
    const FileDescriptor dirfd(FolderWalk::openDestination(dest));
    EXPECT_TRUE(dirfd.isOpen() && codec.isValid());
    return walk.extract(dirfd.get(), all);
}

// The exit status and standard error of vorpex-cli run with `args`; `inChild` runs in it before exec.
std::pair<int, CLines> cli(const CLines& args, const std::function<void()>& inChild = {}) {
    const CliRun run = runCli(args, {.m_inChild = inChild});
    return {run.m_status, run.m_errLines};
}

// Preloads the fault shim, set by `variable`, into vorpex-cli; for a child about to exec it. A sanitizer
// build wants its own runtime loaded first.
void preloadShim(const char* variable, const std::string& value) {
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("LD_PRELOAD", VORPEX_FAILING_READ_PATH, 1);
    setenv(variable, value.c_str(), 1);
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
}

// Lays out a fresh area for `c`; returns the archive's path.
std::string layOut(const HostileCase& c, const Area& area) {
    const std::string archive = (c.m_archiveInDest ? area.m_dest : area.m_archives) + "/HOSTILE.DIR";
    writeFileBytes(archive, c.m_archive);
    c.m_prepare(area.m_dest);
    return archive;
}

// Nothing outside the destination changed, no forbidden path exists and, if `exact`, the stated tree.
void expectOutcome(const HostileCase& c, const Area& area, bool exact) {
    if (exact) {
        EXPECT_EQ(snapshot(area.m_dest), c.m_tree);
    }
    for (const std::string& p : c.m_absent)
        EXPECT_EQ(access((p[0] == '/' ? p : area.m_dest + "/" + p).c_str(), F_OK), -1) << p;
    area.expectNoDamage(CLines(!c.m_archiveInDest, "archive/HOSTILE.DIR=" + c.m_archive));
}

void expectPrintable(const CLines& lines) {
    for (const std::string& line : lines)
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), kPrintable)) << line;
}

// Each hostile archive is a named case, run through the core and through vorpex-cli:
// --gtest_filter='*/names_dotdot_file' runs one.
class HostileArchive : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileArchive, ThroughTheCore) {
    const HostileCase& c = GetParam();
    Area area;
    RecordingSink readerSink, sink;
    PackFile pack(layOut(c, area), readerSink);
    EXPECT_EQ(pack.report().isClean(), c.m_report.empty());
    EXPECT_EQ(extractAll(pack, area.m_dest, sink, c.m_encoding).m_messageCount, c.m_messages.size());
    EXPECT_EQ(sink.texts(), c.m_messages);
    expectOutcome(c, area, true);
}

// With the default policy and with either other (merge and keep, merge and replace) every safety rule
// holds; the walk's messages come out with names escaped, then a line for what the reader recorded;
// nothing raw reaches the terminal. Where the destination starts empty, or by default, the stated outcome.
TEST_P(HostileArchive, ThroughTheCommandLine) {
    const HostileCase& c = GetParam();
    for (const std::string policy : {"", "--keep-old-files", "--overwrite"}) {
        SCOPED_TRACE(policy);
        Area area;
        const std::string archive = layOut(c, area);
        const bool exact = policy.empty() || listTree(area.m_dest).empty();
        CLines args{"extract", "--quiet", "--encoding", c.m_encoding, "-C", area.m_dest, archive};
        if (!policy.empty())
            args.insert(args.begin() + 1, policy);
        auto [status, lines] = cli(args);
        expectPrintable(lines);
        if (policy.empty()) {
            const CliRun list = runCli({"list", archive}), check = runCli({"check", archive});
            for (const CLines& l : {list.m_outLines, list.m_errLines, check.m_outLines, check.m_errLines})
                expectPrintable(l);
            EXPECT_EQ(list.m_status, c.m_report.empty() ? 0 : 1);
            EXPECT_TRUE(check.m_status == 0 || check.m_status == 1) << check.m_status;
        }
        if (exact) {
            EXPECT_EQ(status, c.m_messages.empty() && c.m_report.empty() ? 0 : 1);
            if (!c.m_report.empty() && !lines.empty()) {
                EXPECT_NE(lines.back().find(c.m_report), std::string::npos) << lines.back();
                lines.pop_back();
            }
            EXPECT_EQ(lines, c.m_cliLines);
        } else {
            EXPECT_TRUE(status == 0 || status == 1) << status;
        }
        expectOutcome(c, area, exact);
    }
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileArchive, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return info.param.m_name; });

enum FaultKind { kDiskFull, kFileTooLarge, kReadOnly, kFailingRead };
const char* const kFaultNames[] = {"DiskFull", "FileTooLarge", "ReadOnlyDestination", "FailingRead"};
const char* const kFaultTexts[] = {kCouldNotWriteFile, kCouldNotWriteFile, kCouldNotCreateFile,
                                   kCouldNotReadFile};
class Fault : public ::testing::TestWithParam<FaultKind> {};

// Each fault for a new file and for a replacement: the old file intact, no temporary behind, a message
// naming the file, exit status 1 from the command line.
TEST_P(Fault, KeepsTheOldFileLeavesNoTemporaryAndNamesTheFile) {
    const FaultKind fault = GetParam();
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
            Area area;
            const std::string archive = area.m_archives + "/FAULT.DIR", dest = area.m_dest;
            writeFileBytes(archive, buildArchive({fileNode("BIG", big)}));
            // A tmpfs with room for the old file, not for the new one; a read-only bind of the destination.
            ASSERT_TRUE(fault != kDiskFull ||
                        mount("tmpfs", dest.c_str(), "tmpfs", 0, "size=256k,mode=0755") == 0);
            if (replace)
                writeFileBytes(dest + "/BIG", "the user's old file\n");
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
                run = vorpex::cli({"extract", "--quiet", "-C", dest, archive}, [fault] {
                    if (fault == kFailingRead)
                        preloadShim("VORPEX_FAIL_READ_FROM", std::to_string(kFailFrom));
                });
            } else {
                RecordingSink sink;
                PackFile pack(archive, sink);
                ASSERT_EQ(pack.entries().size(), 1u);
                // The catalogue is read; then the entry's data is lost.
                ASSERT_TRUE(fault != kFailingRead || truncate(archive.c_str(), kFailFrom) == 0);
                EXPECT_EQ(extractAll(pack, dest, sink, NameCodec::kDefault, way == 0).m_filesWritten, 0u);
                run.second = sink.texts();
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            EXPECT_EQ(run, std::make_pair(1, CLines{kFaultTexts[fault] + std::string("BIG")}));
            EXPECT_EQ(snapshot(dest), CLines(replace, "BIG=the user's old file\n"));
            if (mounted)
                umount2(dest.c_str(), MNT_DETACH);
            area.expectNoDamage({"archive/FAULT.DIR=" + readFileBytes(archive)});
        }
}
INSTANTIATE_TEST_SUITE_P(Faults, Fault, ::testing::Values(kDiskFull, kFileTooLarge, kReadOnly, kFailingRead),
                         [](const auto& info) { return std::string(kFaultNames[info.param]); });

// A signal in mid-file, extracting a new file, replacing one, and packing an archive over an old one: the
// catchable signals stop cleanly with the status the shell expects (141 for a broken pipe, else 130);
// nothing is left under the real name but a complete file or the old one, and no temporary stays behind.
// SIGKILL cannot be caught: still nothing incomplete under the real name.
class Interrupt : public ::testing::TestWithParam<int> {};

TEST_P(Interrupt, InMidFileLeavesNothingIncompleteUnderARealName) {
    const int signal = GetParam();
    const std::string big(8 * 1024 * 1024 + 5, 'b'), old = "the user's old file\n";
    for (const char* what : {"new", "replacing", "pack"}) {
        SCOPED_TRACE(what);
        Area area;
        const std::string archive = area.m_archives + "/BIG.DIR", dest = area.m_dest;
        const bool pack = what == std::string("pack");
        CLines args{"extract", "--quiet", "-C", dest, archive}, expected, said{kInterruptedText};
        if (pack) {
            // Packing dest/ (one big file) over an old archive, which must stay as it was.
            writeFileBytes(dest + "/BIG", big);
            writeFileBytes(archive, old);
            args = {"pack", dest, archive};
            expected = {"BIG=" + big};
            said.push_back(kNoArchiveWritten);
        } else {
            writeFileBytes(archive, buildArchive({fileNode("BIG", big)}));
            if (what == std::string("replacing"))
                writeFileBytes(dest + "/BIG", old), expected = {"BIG=" + old};
        }
        const CliRun run =
            runCli(args, {.m_inChild = [signal] { preloadShim("VORPEX_SIGNAL", std::to_string(signal)); }});
        if (signal == SIGKILL) {
            EXPECT_EQ(run.m_status, 128 + SIGKILL);
            // The packer's named temporary may stay; the archive is the old one.
            if (pack)
                EXPECT_EQ(readFileBytes(archive), old);
            else
                EXPECT_EQ(snapshot(dest), expected);
            continue;
        }
        // Killed by SIGPIPE would be 141 too, without a word.
        EXPECT_EQ(std::make_pair(run.m_status, run.m_errLines),
                  std::make_pair(signal == SIGPIPE ? 141 : 130, said));
        EXPECT_EQ(snapshot(dest), expected);
        area.expectNoDamage({"archive/BIG.DIR=" + (pack ? old : readFileBytes(archive))});
    }
}
INSTANTIATE_TEST_SUITE_P(Signals, Interrupt, ::testing::Values(SIGHUP, SIGQUIT, SIGPIPE, SIGKILL),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A destination that may be written into and searched but not listed (mode -wx) takes an extraction,
// as it does a copy. As root the command runs as nobody, for whom the mode counts.
TEST(Destination, WritableAndSearchableButNotListable) {
    Area area;
    const std::string archive = area.m_archives + "/A.DIR", dest = area.m_dest;
    writeFileBytes(archive, buildArchive({folderNode("D", {fileNode("F", "data")})}));
    const bool root = geteuid() == 0;
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chmod(area.m_base.path().c_str(), 0711) | chmod(area.m_archives.c_str(), 0755) |
                  chmod(archive.c_str(), 0644) | chmod(dest.c_str(), 0300) |
                  (root ? chown(dest.c_str(), kNobody, kNobody) : 0),
              0);
    const auto asNobody = [root] {
        if (root && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(126);
    };
    EXPECT_EQ(cli({"extract", "-C", dest, archive}, asNobody).first, 0);
    chmod(dest.c_str(), 0755);
    EXPECT_EQ(snapshot(dest), (CLines{"D/", "D/F=data"}));
}

// Opening a FIFO for reading waits for a writer that never comes: only what can be read by position is
// an archive (the command line exits 2 and says why; 142 would be the time running out).
TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "PIPE.DIR").c_str(), 0644), 0);
    EXPECT_EQ(cli({"extract", "-C", dir.path(), dir / "PIPE.DIR"}, [] { alarm(5); }),
              std::make_pair(2, CLines{std::string(kErrorOpeningFile) + " " + dir / "PIPE.DIR"}));
}

} // namespace

} // namespace vorpex
