// Every hostile archive of HostileCases.cpp extracted through the core and through the command line;
// faults while extracting; the faults found so far. Random corruption runs in the fuzz replays.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <map>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

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

// base/outside/SENTINEL, base/archive/ and base/dest/: nothing but the destination may change.
struct CArea {
    CTempDir m_Base;
    std::string m_strDest = m_Base / "dest", m_strArchives = m_Base / "archive";
    CArea() {
        for (const char* d : {"dest", "archive", "outside"})
            mkdir((m_Base / d).c_str(), 0755);
        WriteFileBytes(m_Base / "outside/SENTINEL", kSentinel);
    }
    void ExpectNoDamage(const std::string& archive) const {
        struct stat st {};
        EXPECT_TRUE(lstat((m_Base / "outside/SENTINEL").c_str(), &st) == 0 && S_ISREG(st.st_mode));
        EXPECT_EQ(ReadFileBytes(m_Base / "outside/SENTINEL"), kSentinel);
        CLines expected{"archive/", "dest/", "outside/", "outside/SENTINEL"}, found;
        if (!archive.empty())
            expected.insert(expected.begin() + 1, "archive/" + archive);
        for (const std::string& p : ListTree(m_Base.Path()))
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

struct CCliRun {
    int m_nStatus;
    CLines m_Out, m_Err;
};
// Runs vorpex-cli through the shell; `env` ("NAME=value ...") goes before the command.
CCliRun RunCli(const CLines& args, const std::string& env = {}) {
    CTempDir io;
    std::string command = env + " '" VORPEX_CLI_PATH "'";
    for (const std::string& a : args)
        command += " '" + a + "'";
    const int status = std::system((command + " </dev/null >" + io / "out" + " 2>" + io / "err").c_str());
    CCliRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}, {}};
    for (auto [name, lines] : {std::pair{"out", &run.m_Out}, {"err", &run.m_Err}}) {
        std::istringstream in(ReadFileBytes(io / name));
        for (std::string line; std::getline(in, line);)
            lines->push_back(line);
    }
    return run;
}

// What the reader recorded, in the notation of HostileCases.h.
std::string ReportOf(const CReadReport& r) {
    std::string s;
    for (const auto& [n, what] : {std::pair{r.m_nRepeated, " repeated "},
                                  {r.m_nListsCut, " cut "},
                                  {r.m_nUnknownRecords, " unknown "},
                                  {r.m_bNestingLimit, " nesting"}})
        s += n ? what + (what[1] == 'n' && what[2] == 'e' ? "" : std::to_string(n)) : "";
    return s.empty() ? s : s.substr(1);
}

TEST(HostileArchives, EachComesToItsStatedOutcomeThroughTheCoreAndTheCommandLine) {
    const std::vector<CHostileCase> cases = HostileCases();
    std::map<std::string, int> perClass;
    for (const CHostileCase& c : cases) {
        ++perClass[c.m_strClass];
        for (const bool cli : {false, true}) {
            SCOPED_TRACE(c.m_strClass + "/" + c.m_strName +
                         (cli ? " through vorpex-cli" : " through the core"));
            CArea area;
            const std::string archive =
                (c.m_bArchiveInDest ? area.m_strDest : area.m_strArchives) + "/HOSTILE.DIR";
            WriteFileBytes(archive, c.m_strArchive);
            if (c.m_fnPrepare)
                c.m_fnPrepare(area.m_strDest);
            const std::string encoding = c.m_strEncoding.empty() ? CNameCodec::kDefault : c.m_strEncoding;
            if (!cli) {
                CRecordingSink readerSink, sink;
                CPackFile pack(archive, readerSink);
                EXPECT_EQ(ReportOf(pack.m_Report), c.m_strReport);
                EXPECT_EQ(readerSink.Texts(),
                          CLines(pack.m_Report.m_nUnknownRecords ? 1 : 0, "Unknown file type encountered."));
                EXPECT_EQ(ExtractAll(pack, area.m_strDest, sink, encoding).m_nMessages, c.m_Messages.size());
                EXPECT_EQ(sink.Texts(), c.m_Messages);
            } else {
                // The walk's messages, names escaped, then a line for each kind of problem the reader
                // recorded (their wording is the cli suite's); list and check too; nothing raw is printed.
                const CCliRun run =
                    RunCli({"extract", "--quiet", "--encoding", encoding, "-C", area.m_strDest, archive});
                EXPECT_EQ(run.m_nStatus, c.m_Messages.empty() && c.m_strReport.empty() ? 0 : 1);
                CLines lines = run.m_Err;
                lines.resize(lines.size() - (c.m_strReport.empty() || lines.empty() ? 0 : 1));
                EXPECT_EQ(lines, c.m_CliLines);
                const CCliRun list = RunCli({"list", archive}), check = RunCli({"check", archive});
                EXPECT_EQ(list.m_nStatus, c.m_strReport.empty() ? 0 : 1);
                EXPECT_TRUE(check.m_nStatus == 0 || check.m_nStatus == 1) << check.m_nStatus;
                for (const CLines* l :
                     {&run.m_Out, &run.m_Err, &list.m_Out, &list.m_Err, &check.m_Out, &check.m_Err})
                    for (const std::string& line : *l)
                        EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](unsigned char ch) {
                            return ch < 0x20 || ch == 0x7F;
                        })) << line;
            }
            CLines tree;
            for (const std::string& t : c.m_Tree) {
                const size_t eq = t.find('=');
                const std::string path = area.m_strDest + "/" + tree.emplace_back(t.substr(0, eq));
                struct stat st {};
                if (eq == std::string::npos)
                    continue;
                EXPECT_TRUE(lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                    << tree.back() << " is no file";
                EXPECT_EQ(S_ISREG(st.st_mode) ? ReadFileBytes(path) : "", t.substr(eq + 1)) << tree.back();
            }
            std::sort(tree.begin(), tree.end());
            EXPECT_EQ(ListTree(area.m_strDest), tree);
            for (const std::string& p : c.m_Absent)
                EXPECT_EQ(access((p[0] == '/' ? p : area.m_strDest + "/" + p).c_str(), F_OK), -1) << p;
            area.ExpectNoDamage(c.m_bArchiveInDest ? "" : "HOSTILE.DIR");
            EXPECT_EQ(ReadFileBytes(archive), c.m_strArchive) << "the archive changed";
        }
    }
    EXPECT_GE(cases.size(), 40u);
    for (const char* cls : {"names", "structure", "sizes", "destination"})
        EXPECT_GE(perClass[cls], 5) << cls;
}

// Mounting needs root; a private mount namespace keeps the mounts inside this process.
std::string MountUnavailable() {
    static const std::string reason = []() -> std::string {
        if (geteuid() != 0)
            return "mounting a tmpfs or a read-only bind needs root";
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("no private mount namespace: ") + std::strerror(errno);
        return {};
    }();
    return reason;
}

enum EFault { kDiskFull, kFileTooLarge, kReadOnly, kFailingRead };
class CFault : public ::testing::TestWithParam<EFault> {};

// Each fault for a new file and for a replacement: the old file intact, no temporary behind, a message
// naming the file, exit status 1 from the command line.
TEST_P(CFault, KeepsTheOldFileLeavesNoTemporaryAndNamesTheFile) {
    const EFault fault = GetParam();
    const bool mounted = fault == kDiskFull || fault == kReadOnly;
    if (mounted && !MountUnavailable().empty())
        GTEST_SKIP() << MountUnavailable();
    const std::string expected[] = {"Could not write file BIG", "Could not write file BIG",
                                    "Could not create file BIG", "Could not read file BIG"};
    constexpr off_t kFailFrom = 300 * 1024;      // the archive cannot be read from here on
    std::string big(2 * 1024 * 1024 + 77, '\0'); // more than one piece of the copy
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 13);
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
            // Past the size limit a write fails with EFBIG while SIGXFSZ is ignored; the command line
            // inherits both.
            rlimit old{}, lowered{};
            getrlimit(RLIMIT_FSIZE, &old);
            lowered = {fault == kFileTooLarge ? 128 * 1024 : old.rlim_cur, old.rlim_max};
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &lowered);
            CLines messages;
            if (cli) {
                // The shim fails reads from kFailFrom on; a sanitizer build wants its runtime loaded first.
                const char* asan = getenv("ASAN_OPTIONS");
                const CCliRun run = RunCli(
                    {"extract", "--quiet", "-C", dest, archive},
                    fault != kFailingRead ? ""
                                          : "LD_PRELOAD=" VORPEX_FAILING_READ_PATH " VORPEX_FAIL_READ_FROM=" +
                                                std::to_string(kFailFrom) + " ASAN_OPTIONS='" +
                                                (asan ? asan : "") + ":verify_asan_link_order=0'");
                EXPECT_EQ(run.m_nStatus, 1);
                messages = run.m_Err;
            } else {
                CRecordingSink sink;
                CPackFile pack(archive, sink);
                ASSERT_EQ(pack.m_Entries.size(), 1u);
                // The catalogue is read; then the entry's data is lost.
                ASSERT_TRUE(fault != kFailingRead || truncate(archive.c_str(), kFailFrom) == 0);
                EXPECT_EQ(ExtractAll(pack, dest, sink).m_nFilesWritten, 0u);
                messages = sink.Texts();
            }
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
            EXPECT_EQ(messages, CLines{expected[fault]});
            EXPECT_EQ(ListTree(dest), CLines(replace ? 1 : 0, "BIG"));
            EXPECT_EQ(replace ? ReadFileBytes(dest + "/BIG") : "", replace ? "the user's old file\n" : "");
            if (mounted)
                umount2(dest.c_str(), MNT_DETACH);
            area.ExpectNoDamage("FAULT.DIR");
        }
}
const char* const kFaultNames[] = {"DiskFull", "FileTooLarge", "ReadOnlyDestination", "FailingRead"};
INSTANTIATE_TEST_SUITE_P(Faults, CFault, ::testing::Values(kDiskFull, kFileTooLarge, kReadOnly, kFailingRead),
                         [](const auto& info) { return std::string(kFaultNames[info.param]); });

TEST(Regression, RecordWithAnEmptyNameCopiesNothingFromANullPointer) { // undefined behaviour, once
    EXPECT_EQ(CArchiveRecord::Make(std::string_view{}, CArchiveRecord::kEnd, 7, 9).Bytes().size(), 44u);
}

// Opening a FIFO for reading waits for a writer that never comes: only what can be read by position is
// an archive.
TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    CTempDir dir;
    ASSERT_EQ(mkfifo((dir / "PIPE.DIR").c_str(), 0644), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(5);
        CRecordingSink sink;
        CPackFile pack(dir / "PIPE.DIR", sink);
        _exit(!pack.m_bOpen && sink.Texts() == CLines{"Error opening file."} ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "blocked, or took a FIFO for an archive";
    EXPECT_EQ(RunCli({"extract", "--quiet", "-C", dir.Path(), dir / "PIPE.DIR"}).m_nStatus, 2);
}

} // namespace
