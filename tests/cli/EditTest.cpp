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

namespace vorpex {

namespace {

using Lines = std::vector<std::string>;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override {
        writeFileBytes(m_archive,
                       buildArchive({folderNode("DATA", {fileNode("A.TXT", "aaa"),
                                                         folderNode("MAPS", {fileNode("M1", "m1")}),
                                                         fileNode("B.TXT", "bbb")})}));
        m_old = readFileBytes(m_archive);
    }
    Lines list() { return runCli({"list", m_archive}).m_outLines; }
    // Refused: status 1, the reasons said, the archive byte for byte as it was.
    void expectRefused(const CliRun& run, const std::string& reason) {
        EXPECT_EQ(run.m_status, 1);
        EXPECT_NE(std::find(run.m_errLines.begin(), run.m_errLines.end(), reason), run.m_errLines.end())
            << reason;
        EXPECT_EQ(run.m_errLines.back(), kArchiveNotChanged);
        EXPECT_EQ(readFileBytes(m_archive), m_old);
    }
    TempDir m_dir;
    const std::string m_archive = m_dir / "A.DIR";
    std::string m_old;
};

TEST_F(EditTest, AddPutsPathsUnderTheFolderReplacingOrKeeping) {
    std::filesystem::create_directories(m_dir / "src/sub");
    writeFileBytes(m_dir / "src/A.TXT", "new a");
    writeFileBytes(m_dir / "src/sub/C", "c");
    const CliSetup inSrc{.m_dir = m_dir / "src"};
    CliRun run = runCli({"add", "-n", m_archive, "A.TXT", "sub"}, {.m_dir = m_dir.path()});
    EXPECT_EQ(run.m_status,
              1); // no A.TXT in the working folder: a source that cannot be read refuses it all
    run = runCli({"add", "-n", "-C", m_dir / "src", "--to", "DATA", m_archive, "A.TXT", "sub"});
    EXPECT_EQ(run.m_status, 0);
    EXPECT_EQ(run.m_outLines, (Lines{"replace DATA/A.TXT", "add DATA/sub/", "add DATA/sub/C"}));
    EXPECT_EQ(readFileBytes(m_archive), m_old);

    run = runCli({"add", "-k", "--to", "DATA/", m_archive, "A.TXT", "sub"}, inSrc);
    EXPECT_EQ(run.m_status, 0);
    EXPECT_EQ(run.m_errLines, (Lines{kKeptInArchive + std::string("DATA/A.TXT")}));
    EXPECT_EQ(list(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/MAPS/", "DATA/MAPS/M1", "DATA/sub/",
                             "DATA/sub/C"}));
    EXPECT_EQ(runCli({"add", "--to", "DATA", m_archive, "A.TXT"}, inSrc).m_status, 0);
    EXPECT_EQ(runCli({"extract", "-O", m_archive, "DATA/A.TXT"}).m_out, "new a");
    EXPECT_EQ(runCli({"check", m_archive}).m_status, 0);

    // A missing archive is made.
    EXPECT_EQ(runCli({"add", m_dir / "NEW.DIR", "sub"}, inSrc).m_status, 0);
    EXPECT_EQ(runCli({"list", m_dir / "NEW.DIR"}).m_outLines, (Lines{"sub/", "sub/C"}));
}

// Removed data may stay as dead space: check says how much, as a note, and still finds no problem.
TEST_F(EditTest, CheckNotesTheBytesEditsLeftUnused) {
    writeFileBytes(m_archive,
                   buildArchive({folderNode("DATA", {fileNode("BIG", std::string(5000, 'b')),
                                                     fileNode("KEEP", std::string(100000, 'k'))})}));
    CliRun check = runCli({"check", m_archive});
    EXPECT_EQ(check.m_outLines.back(), kNoProblemsFound); // laid out tightly: no note
    ASSERT_EQ(runCli({"remove", m_archive, "DATA/BIG"}).m_status, 0);
    check = runCli({"check", m_archive});
    EXPECT_EQ(check.m_status, 0);
    ASSERT_EQ(check.m_outLines.size(), 5u);
    EXPECT_EQ(check.m_outLines[3], kNoProblemsFound);
    const std::string& note = check.m_outLines[4];
    ASSERT_TRUE(note.starts_with("Note: ")) << note;
    const uint64_t unused = std::stoull(note.substr(6));
    // The removed file's bytes at least, and never more than they and the old list's room.
    EXPECT_GE(unused, 5000u);
    EXPECT_LT(unused, 5000u + 2 * 4096u);
    EXPECT_EQ(runCli({"extract", "-O", m_archive, "DATA/KEEP"}).m_out, std::string(100000, 'k'));

    // Data out of list order, one range inside another: each byte counts once. Records 0-175, data 180-189
    // and 200-219 (holding 205-209 too): 300 - 176 - 30 = 94 unused.
    RawArchive raw;
    raw.file(0, "A", 20, 200).file(44, "B", 10, 180).file(88, "C", 5, 205).end(132).size(300);
    writeFileBytes(m_archive, raw.str());
    check = runCli({"check", m_archive});
    EXPECT_EQ(check.m_status, 0);
    EXPECT_EQ(check.m_outLines.back(), "Note: 94 bytes of the archive are not used by any entry or list.");
}

TEST_F(EditTest, EveryRefusalIsSaidAndChangesNothing) {
    std::filesystem::create_directories(m_dir / "src/MAPS");
    writeFileBytes(m_dir / "src/MAPS/" + std::string(33, 'L'), "");
    const CliSetup inSrc{.m_dir = m_dir / "src"};
    m_old = readFileBytes(m_archive);
    expectRefused(runCli({"add", m_archive, "../x", "/etc/passwd", "MAPS"}, inSrc),
                  kPathNotRelative + std::string("../x"));
    expectRefused(runCli({"add", m_archive, "/etc/passwd"}, inSrc),
                  kPathNotRelative + std::string("/etc/passwd"));
    expectRefused(runCli({"add", "--to", "DATA/MAPS", m_archive, "MAPS"}, inSrc),
                  kNameTooLong + std::string("32 bytes: MAPS/") + std::string(33, 'L'));
    writeFileBytes(m_dir / "src/M1", "");
    ::mkdir((m_dir / "src/M1x").c_str(), 0755);
    expectRefused(runCli({"add", "--to", "DATA", m_archive, "MAPS/../M1"}, inSrc),
                  kPathNotRelative + std::string("MAPS/../M1"));
    expectRefused(runCli({"add", "--to", "DATA/MAPS/M1", m_archive, "M1"}, inSrc),
                  kFileFolderClash + std::string("M1"));
    expectRefused(runCli({"remove", m_archive, "DATA/A.TXT", "DATA/NONE"}),
                  kNotInArchive + std::string("DATA/NONE"));
    for (const std::string name : {"", ".", "..", "a/b", "a\\b"})
        expectRefused(runCli({"rename", m_archive, "DATA/A.TXT", name}), kNameNotAllowed + name);
    expectRefused(runCli({"rename", m_archive, "DATA/A.TXT", "B.TXT"}), kNameTaken + std::string("B.TXT"));
    expectRefused(runCli({"rename", m_archive, "DATA/A.TXT", "\xe6\x97\xa5"}),
                  kNameNotEncodable + std::string("WINDOWS-1252: \xe6\x97\xa5"));
    // Past 4 GiB, from files on disk (sparse: nothing is read before the refusal).
    for (const char* half : {"src/HALF1", "src/HALF2"}) {
        writeFileBytes(m_dir / half, "");
        ASSERT_EQ(::truncate((m_dir / half).c_str(), off_t(1) << 31), 0);
    }
    const CliRun past4GiB = runCli({"add", m_archive, "HALF1", "HALF2"}, inSrc);
    expectRefused(past4GiB, kDataPast4GiB + std::string("HALF2"));
    ::chmod(m_archive.c_str(), 0444);
    const CliRun readOnly = runCli({"rename", m_archive, "DATA/A.TXT", "C.TXT"});
    ::chmod(m_archive.c_str(), 0644);
    expectRefused(readOnly, kArchiveReadOnly + m_archive);

    // Usage and unreadable archives are status 2; a damaged one is refused.
    EXPECT_EQ(runCli({"rename", m_archive, "DATA/A.TXT"}).m_status, 2);
    EXPECT_EQ(runCli({"remove", m_dir / "none", "X"}).m_status, 2);
    EXPECT_EQ(runCli({"remove", m_dir.path(), "X"}).m_status, 2);
    writeFileBytes(m_archive, RawArchive().folder(0, "LOOP", 0).end(44).str());
    m_old = readFileBytes(m_archive);
    const CliRun damaged = runCli({"remove", m_archive, "LOOP"});
    EXPECT_EQ(damaged.m_status, 1);
    EXPECT_EQ(damaged.m_errLines, Lines{kArchiveDamaged + m_archive});
    EXPECT_EQ(readFileBytes(m_archive), m_old);
}

// The modder's round trip: extract, change a few files, update; then nothing more to do.
TEST_F(EditTest, UpdateMakesTheArchiveMatchItsExtractedFolder) {
    const std::string out = m_dir / "out";
    ::mkdir(out.c_str(), 0755);
    ASSERT_EQ(runCli({"extract", "-C", out, m_archive}).m_status, 0);
    EXPECT_EQ(runCli({"update", "-v", m_archive, out}).m_outLines, Lines{});
    writeFileBytes(out + "/DATA/A.TXT", "aaA");
    writeFileBytes(out + "/DATA/NEW", "n");
    std::filesystem::remove_all(out + "/DATA/MAPS");
    CliRun run = runCli({"update", "-n", "--delete", m_archive, out});
    EXPECT_EQ(run.m_outLines, (Lines{"replace DATA/A.TXT", "add DATA/NEW", "remove DATA/MAPS/"}));
    EXPECT_EQ(readFileBytes(m_archive), m_old);
    EXPECT_EQ(runCli({"update", m_archive, out}).m_status, 0);
    EXPECT_EQ(list(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/NEW", "DATA/MAPS/", "DATA/MAPS/M1"}));
    EXPECT_EQ(runCli({"update", "--delete", m_archive, out}).m_status, 0);
    EXPECT_EQ(list(), (Lines{"DATA/", "DATA/A.TXT", "DATA/B.TXT", "DATA/NEW"}));
    struct stat before {
    }, after{};
    ::stat(m_archive.c_str(), &before);
    EXPECT_EQ(runCli({"update", "--delete", m_archive, out}).m_status, 0);
    ::stat(m_archive.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    const std::string again = m_dir / "again";
    ::mkdir(again.c_str(), 0755);
    runCli({"extract", "-C", again, m_archive});
    EXPECT_EQ(snapshot(again), snapshot(out));
}

// A save killed at any moment leaves the old archive or the new one, and nothing beside it.
TEST_F(EditTest, KilledMidSaveLeavesOldOrNewAndNoStrayFile) {
    std::string big(48 << 20, '\0');
    for (size_t i = 0; i < big.size(); i += 4096)
        big[i] = char(i / 4096);
    writeFileBytes(m_dir / "BIG", big);
    const Lines oldList = list();
    auto start = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            ::chdir(m_dir.path().c_str());
            execl(VORPEX_CLI_PATH, VORPEX_CLI_PATH, "add", "--to", "DATA", m_archive.c_str(), "BIG", nullptr);
            _exit(127);
        }
        return pid;
    };
    auto time = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(start(), &status, 0);
    const auto whole = std::chrono::steady_clock::now() - time;
    const Lines newList = list();
    const std::string newBytes = readFileBytes(m_archive);
    int killed = 0;
    for (int step = 1; step <= 8; ++step) {
        writeFileBytes(m_archive, m_old);
        const pid_t pid = start();
        std::this_thread::sleep_for(whole * step / 9);
        ::kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        killed += WIFSIGNALED(status);
        const std::string now = readFileBytes(m_archive);
        EXPECT_TRUE(now == m_old || now == newBytes) << "killed at step " << step;
        EXPECT_EQ(listTree(m_dir.path()), (Lines{"A.DIR", "BIG"}));
    }
    EXPECT_GT(killed, 0);
    EXPECT_NE(oldList, newList);
}

} // namespace

} // namespace vorpex
