// Every hostile archive of HostileCases.cpp extracted through the core and through the command line;
// faults while extracting; the faults found so far. Random corruption runs in the fuzz replays.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
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
                          const std::string& encoding = CNameCodec::kDefault) {
    const CNameCodec codec(encoding);
    CFolderWalk walk(pack, sink, codec);
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

TEST(HostileArchives, EachComesToItsStatedOutcomeThroughTheCoreAndTheCommandLine) {
    const std::vector<CHostileCase> cases = HostileCases();
    for (const CHostileCase& c : cases) {
        for (const bool cli : {false, true}) {
            SCOPED_TRACE(c.m_strName + (cli ? " through vorpex-cli" : " through the core"));
            CArea area;
            const std::string &dest = area.m_strDest,
                              archive = (c.m_bArchiveInDest ? dest : area.m_strArchives) + "/HOSTILE.DIR";
            WriteFileBytes(archive, c.m_strArchive);
            c.m_fnPrepare(dest);
            if (!cli) {
                CRecordingSink readerSink, sink;
                CPackFile pack(archive, readerSink);
                EXPECT_EQ(pack.GetReport().IsClean(), c.m_strReport.empty());
                EXPECT_EQ(readerSink.Texts(), CLines(pack.GetReport().m_nUnknownRecords ? 1 : 0,
                                                     "Unknown file type encountered."));
                EXPECT_EQ(ExtractAll(pack, dest, sink, c.m_strEncoding).m_nMessages, c.m_Messages.size());
                EXPECT_EQ(sink.Texts(), c.m_Messages);
            } else {
                // The walk's messages, names escaped, then a line for what the reader recorded; list and
                // check too; nothing raw reaches the terminal.
                auto [status, lines] =
                    RunCli({"extract", "--quiet", "--encoding", c.m_strEncoding, "-C", dest, archive});
                const auto list = RunCli({"list", archive}, "", " 2>&1"),
                           check = RunCli({"check", archive}, "", " 2>&1");
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
            EXPECT_EQ(Snapshot(dest), c.m_Tree);
            for (const std::string& p : c.m_Absent)
                EXPECT_EQ(access((p[0] == '/' ? p : dest + "/" + p).c_str(), F_OK), -1) << p;
            area.ExpectNoDamage(CLines(!c.m_bArchiveInDest, "archive/HOSTILE.DIR=" + c.m_strArchive));
        }
    }
    EXPECT_GE(cases.size(), 40u);
    for (const char* cls : {"names", "structure", "sizes", "destination"})
        EXPECT_GE(std::count_if(cases.begin(), cases.end(), [&](auto& c) { return c.m_strClass == cls; }), 5)
            << cls;
}

enum EFault { kDiskFull, kFileTooLarge, kReadOnly, kFailingRead };
const char* const kFaultNames[] = {"DiskFull", "FileTooLarge", "ReadOnlyDestination", "FailingRead"};
const char* const kFaultVerbs[] = {"write", "write", "create", "read"}; // "Could not VERB file BIG"
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
        for (const bool cli : {false, true}) {
            SCOPED_TRACE(std::string(replace ? "replacing" : "new") + (cli ? " through vorpex-cli" : ""));
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
                EXPECT_EQ(ExtractAll(pack, dest, sink).m_nFilesWritten, 0u);
                run.second = sink.Texts();
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            EXPECT_EQ(
                run, std::make_pair(1, CLines{"Could not " + std::string(kFaultVerbs[fault]) + " file BIG"}));
            EXPECT_EQ(Snapshot(dest), CLines(replace, "BIG=the user's old file\n"));
            if (mounted)
                umount2(dest.c_str(), MNT_DETACH);
            area.ExpectNoDamage({"archive/FAULT.DIR=" + ReadFileBytes(archive)});
        }
}
INSTANTIATE_TEST_SUITE_P(Faults, CFault, ::testing::Values(kDiskFull, kFileTooLarge, kReadOnly, kFailingRead),
                         [](const auto& info) { return std::string(kFaultNames[info.param]); });

TEST(Regression, RecordWithAnEmptyNameCopiesNothingFromANullPointer) { // undefined behaviour, once
    EXPECT_EQ(CArchiveRecord::Make(std::string_view{}, CArchiveRecord::kEnd, 7, 9).Bytes().size(), 44u);
}

// Opening a FIFO for reading waits for a writer that never comes: only what can be read by position is
// an archive (the command line exits 2 and says why; 124 would be the time running out).
TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    CTempDir dir;
    ASSERT_EQ(mkfifo((dir / "PIPE.DIR").c_str(), 0644), 0);
    EXPECT_EQ(RunCli({"extract", "-C", dir.Path(), dir / "PIPE.DIR"}, "timeout 5"),
              std::make_pair(2, CLines{"Error opening file. " + dir / "PIPE.DIR"}));
}

} // namespace
