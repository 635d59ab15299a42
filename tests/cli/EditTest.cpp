#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

namespace {

using Lines = std::vector<std::string>;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileBytes(m_archive,
                       BuildArchive({Folder("DATA", {File("A.TXT", "aaa"), Folder("MAPS", {File("M1", "m1")}),
                                                     File("B.TXT", "bbb")})}));
        m_old = ReadFileBytes(m_archive);
    }
    Lines List() { return RunCli({"list", m_archive}).m_OutLines; }
    // Refused: status 1, the reasons said, the archive byte for byte as it was.
    void ExpectRefused(const CCliRun& run, const std::string& reason) {
        EXPECT_EQ(run.m_nStatus, 1);
        EXPECT_NE(std::find(run.m_ErrLines.begin(), run.m_ErrLines.end(), reason), run.m_ErrLines.end())
            << reason;
        EXPECT_EQ(run.m_ErrLines.back(), kArchiveNotChanged);
        EXPECT_EQ(ReadFileBytes(m_archive), m_old);
    }
    CTempDir m_dir;
    const std::string m_archive = m_dir / "A.DIR";
    std::string m_old;
};

TEST_F(EditTest, AddPutsPathsUnderTheFolderReplacingOrKeeping) {
    std::filesystem::create_directories(m_dir / "src/sub");
    WriteFileBytes(m_dir / "src/A.TXT", "new a");
    WriteFileBytes(m_dir / "src/sub/C", "c");
    const CCliSetup inSrc{.m_strDir = m_dir / "src"};
    CCliRun run = RunCli({"add", "-n", m_archive, "A.TXT", "sub"}, {.m_strDir = m_dir.Path()});
    EXPECT_EQ(run.m_nStatus,
              1); // no A.TXT in the working folder: a source that cannot be read refuses it all
    run = RunCli({"add", "-n", "-C", m_dir / "src", "--to", "DATA", m_archive, "A.TXT", "sub"});
    EXPECT_EQ(run.m_nStatus, 0);
    EXPECT_EQ(run.m_OutLines, (Lines{"replace DATA/A.TXT", "add DATA/sub/", "add DATA/sub/C"}));
    EXPECT_EQ(ReadFileBytes(m_archive), m_old);

    run = RunCli({"add", "-k", "--to", "DATA/", m_archive, "A.TXT", "sub"}, inSrc);
    EXPECT_EQ(run.m_nStatus, 0);
    EXPECT_EQ(run.m_ErrLines, (Lines{kKeptInArchive + std::string("DATA/A.TXT")}));
    EXPECT_EQ(List(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/MAPS/", "DATA/MAPS/M1", "DATA/sub/",
                             "DATA/sub/C"}));
    EXPECT_EQ(RunCli({"add", "--to", "DATA", m_archive, "A.TXT"}, inSrc).m_nStatus, 0);
    EXPECT_EQ(RunCli({"extract", "-O", m_archive, "DATA/A.TXT"}).m_strOut, "new a");
    EXPECT_EQ(RunCli({"check", m_archive}).m_nStatus, 0);

    // A missing archive is made.
    EXPECT_EQ(RunCli({"add", m_dir / "NEW.DIR", "sub"}, inSrc).m_nStatus, 0);
    EXPECT_EQ(RunCli({"list", m_dir / "NEW.DIR"}).m_OutLines, (Lines{"sub/", "sub/C"}));
}

TEST_F(EditTest, EveryRefusalIsSaidAndChangesNothing) {
    std::filesystem::create_directories(m_dir / "src/MAPS");
    WriteFileBytes(m_dir / "src/MAPS/" + std::string(33, 'L'), "");
    const CCliSetup inSrc{.m_strDir = m_dir / "src"};
    m_old = ReadFileBytes(m_archive);
    ExpectRefused(RunCli({"add", m_archive, "../x", "/etc/passwd", "MAPS"}, inSrc),
                  kPathNotRelative + std::string("../x"));
    ExpectRefused(RunCli({"add", m_archive, "/etc/passwd"}, inSrc),
                  kPathNotRelative + std::string("/etc/passwd"));
    ExpectRefused(RunCli({"add", "--to", "DATA/MAPS", m_archive, "MAPS"}, inSrc),
                  kNameTooLong + std::string("32 bytes: MAPS/") + std::string(33, 'L'));
    WriteFileBytes(m_dir / "src/M1", "");
    ::mkdir((m_dir / "src/M1x").c_str(), 0755);
    ExpectRefused(RunCli({"add", "--to", "DATA", m_archive, "MAPS/../M1"}, inSrc),
                  kPathNotRelative + std::string("MAPS/../M1"));
    ExpectRefused(RunCli({"add", "--to", "DATA/MAPS/M1", m_archive, "M1"}, inSrc),
                  kFileFolderClash + std::string("M1"));
    ExpectRefused(RunCli({"remove", m_archive, "DATA/A.TXT", "DATA/NONE"}),
                  kNotInArchive + std::string("DATA/NONE"));
    for (const std::string name : {"", ".", "..", "a/b", "a\\b"})
        ExpectRefused(RunCli({"rename", m_archive, "DATA/A.TXT", name}), kNameNotAllowed + name);
    ExpectRefused(RunCli({"rename", m_archive, "DATA/A.TXT", "B.TXT"}), kNameTaken + std::string("B.TXT"));
    ExpectRefused(RunCli({"rename", m_archive, "DATA/A.TXT", "\xe6\x97\xa5"}),
                  kNameNotEncodable + std::string("WINDOWS-1252: \xe6\x97\xa5"));
    ::chmod(m_archive.c_str(), 0444);
    const CCliRun readOnly = RunCli({"rename", m_archive, "DATA/A.TXT", "C.TXT"});
    ::chmod(m_archive.c_str(), 0644);
    ExpectRefused(readOnly, kArchiveReadOnly + m_archive);

    // Usage and unreadable archives are status 2; a damaged one is refused.
    EXPECT_EQ(RunCli({"rename", m_archive, "DATA/A.TXT"}).m_nStatus, 2);
    EXPECT_EQ(RunCli({"remove", m_dir / "none", "X"}).m_nStatus, 2);
    EXPECT_EQ(RunCli({"remove", m_dir.Path(), "X"}).m_nStatus, 2);
    WriteFileBytes(m_archive, CRawArchive().Folder(0, "LOOP", 0).End(44).Str());
    m_old = ReadFileBytes(m_archive);
    const CCliRun damaged = RunCli({"remove", m_archive, "LOOP"});
    EXPECT_EQ(damaged.m_nStatus, 1);
    EXPECT_EQ(damaged.m_ErrLines, Lines{kArchiveDamaged + m_archive});
    EXPECT_EQ(ReadFileBytes(m_archive), m_old);
}

// The modder's round trip: extract, change a few files, update; then nothing more to do.
TEST_F(EditTest, UpdateMakesTheArchiveMatchItsExtractedFolder) {
    const std::string out = m_dir / "out";
    ::mkdir(out.c_str(), 0755);
    ASSERT_EQ(RunCli({"extract", "-C", out, m_archive}).m_nStatus, 0);
    EXPECT_EQ(RunCli({"update", "-v", m_archive, out}).m_OutLines, Lines{});
    WriteFileBytes(out + "/DATA/A.TXT", "aaA");
    WriteFileBytes(out + "/DATA/NEW", "n");
    std::filesystem::remove_all(out + "/DATA/MAPS");
    CCliRun run = RunCli({"update", "-n", "--delete", m_archive, out});
    EXPECT_EQ(run.m_OutLines, (Lines{"replace DATA/A.TXT", "add DATA/NEW", "remove DATA/MAPS/"}));
    EXPECT_EQ(ReadFileBytes(m_archive), m_old);
    EXPECT_EQ(RunCli({"update", m_archive, out}).m_nStatus, 0);
    EXPECT_EQ(List(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/NEW", "DATA/MAPS/", "DATA/MAPS/M1"}));
    EXPECT_EQ(RunCli({"update", "--delete", m_archive, out}).m_nStatus, 0);
    EXPECT_EQ(List(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/NEW"}));
    struct stat before {
    }, after{};
    ::stat(m_archive.c_str(), &before);
    EXPECT_EQ(RunCli({"update", "--delete", m_archive, out}).m_nStatus, 0);
    ::stat(m_archive.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    const std::string again = m_dir / "again";
    ::mkdir(again.c_str(), 0755);
    RunCli({"extract", "-C", again, m_archive});
    EXPECT_EQ(Snapshot(again), Snapshot(out));
}

// A save killed at any moment leaves the old archive or the new one, and nothing beside it.
TEST_F(EditTest, KilledMidSaveLeavesOldOrNewAndNoStrayFile) {
    std::string big(48 << 20, '\0');
    for (size_t i = 0; i < big.size(); i += 4096)
        big[i] = char(i / 4096);
    WriteFileBytes(m_dir / "BIG", big);
    const Lines oldList = List();
    auto start = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            ::chdir(m_dir.Path().c_str());
            execl(VORPEX_CLI_PATH, VORPEX_CLI_PATH, "add", "--to", "DATA", m_archive.c_str(), "BIG", nullptr);
            _exit(127);
        }
        return pid;
    };
    auto time = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(start(), &status, 0);
    const auto whole = std::chrono::steady_clock::now() - time;
    const Lines newList = List();
    const std::string newBytes = ReadFileBytes(m_archive);
    int killed = 0;
    for (int step = 1; step <= 8; ++step) {
        WriteFileBytes(m_archive, m_old);
        const pid_t pid = start();
        std::this_thread::sleep_for(whole * step / 9);
        ::kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        killed += WIFSIGNALED(status);
        const std::string now = ReadFileBytes(m_archive);
        EXPECT_TRUE(now == m_old || now == newBytes) << "killed at step " << step;
        EXPECT_EQ(ListTree(m_dir.Path()), (Lines{"A.DIR", "BIG"}));
    }
    EXPECT_GT(killed, 0);
    EXPECT_NE(oldList, newList);
}

} // namespace
