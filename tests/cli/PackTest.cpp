#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using Lines = std::vector<std::string>;

void MakeDir(const std::string& path) {
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
}

std::string Binary(size_t size, unsigned seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        data[i] = static_cast<char>(seed >> 16);
    }
    return data;
}

class PackTest : public ::testing::Test {
protected:
    // A tree with binary and empty files, an empty folder, a non-ASCII name and names whose byte order
    // differs from their alphabetical order.
    void MakeGame() {
        MakeDir(m_strGame);
        WriteFileBytes(m_strGame + "/b.txt", "text\n");
        WriteFileBytes(m_strGame + "/A.BIN", Binary(300000, 1));
        WriteFileBytes(m_strGame + "/empty", "");
        WriteFileBytes(m_strGame + "/caf\xc3\xa9.txt", "accent");
        MakeDir(m_strGame + "/Maps");
        WriteFileBytes(m_strGame + "/Maps/m1", Binary(4097, 2));
        MakeDir(m_strGame + "/Maps/Deep");
        WriteFileBytes(m_strGame + "/Maps/Deep/x", "x");
        MakeDir(m_strGame + "/Empty");
        MakeDir(m_strGame + "/a");
        WriteFileBytes(m_strGame + "/a/1", "1");
    }
    // Nothing but `names` in the output folder: no archive, no temporary.
    void ExpectOutputFolder(const Lines& names) { EXPECT_EQ(ListTree(m_strOut), names); }

    CTempDir m_Dir;
    const std::string m_strGame = m_Dir / "Game";
    const std::string m_strOut = m_Dir / "out";
    const std::string m_strArchive = m_strOut + "/game.dir";

    void SetUp() override { MakeDir(m_strOut); }
};

TEST_F(PackTest, RoundTripIsByteForByteAndReproducible) {
    MakeGame();
    const CCliResult p = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(p.m_nStatus, 0) << p.m_strErr;
    EXPECT_EQ(p.m_strErr, "");
    ExpectOutputFolder({"game.dir"});

    const CCliResult l = RunCli({"list", m_strArchive});
    EXPECT_EQ(l.m_nStatus, 0);
    EXPECT_EQ(l.OutLines(), (Lines{"Game/", "Game/A.BIN", "Game/b.txt", "Game/caf\xc3\xa9.txt", "Game/empty",
                                   "Game/Empty/", "Game/Maps/", "Game/Maps/m1", "Game/Maps/Deep/",
                                   "Game/Maps/Deep/x", "Game/a/", "Game/a/1"}));
    // Names are stored in the code page: é is the one byte E9 in Windows-1252.
    EXPECT_NE(ReadFileBytes(m_strArchive).find(std::string("caf\xe9.txt\0", 9)), std::string::npos);
    EXPECT_EQ(RunCli({"check", m_strArchive}).m_nStatus, 0);

    CTempDir back;
    const CCliResult x = RunCli({"extract", "-C", back.Path(), m_strArchive});
    EXPECT_EQ(x.m_nStatus, 0) << x.m_strErr;
    const Lines tree = ListTree(m_strGame);
    ASSERT_EQ(ListTree(back / "Game"), tree);
    for (const std::string& path : tree) {
        if (path.back() != '/') {
            EXPECT_EQ(ReadFileBytes(back / ("Game/" + path)), ReadFileBytes(m_strGame + "/" + path)) << path;
        }
    }

    const std::string again = m_Dir / "again.dir";
    EXPECT_EQ(RunCli({"pack", m_strGame + "/", again}).m_nStatus, 0);
    EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(m_strArchive));
}

TEST_F(PackTest, DotNamesTheFolderAfterItself) {
    MakeGame();
    const CCliResult p = RunCli({"pack", ".", m_strArchive}, m_strGame);
    EXPECT_EQ(p.m_nStatus, 0) << p.m_strErr;
    EXPECT_EQ(RunCli({"list", m_strArchive}).OutLines().at(0), "Game/");
}

TEST_F(PackTest, ArchiveInsideTheFolderIsNotPackedIntoItself) {
    MakeGame();
    const std::string inside = m_strGame + "/self.dir";
    ASSERT_EQ(RunCli({"pack", m_strGame, inside}).m_nStatus, 0);
    const CCliResult again = RunCli({"pack", m_strGame, inside});
    EXPECT_EQ(again.m_nStatus, 0) << again.m_strErr;
    const Lines listed = RunCli({"list", inside}).OutLines();
    EXPECT_EQ(listed.size(), 12u);
    for (const std::string& line : listed)
        EXPECT_EQ(line.find("self.dir"), std::string::npos) << line;
}

TEST_F(PackTest, RefusesLongAndUnencodableNamesWithoutLeavingOutput) {
    MakeGame();
    WriteFileBytes(m_strArchive, "old archive");
    WriteFileBytes(m_strGame + "/Maps/" + std::string(33, 'n'), "x");
    const CCliResult r = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(),
              (Lines{"Name longer than 32 bytes: " + m_strGame + "/Maps/" + std::string(33, 'n'),
                     "No archive written."}));
    ExpectOutputFolder({"game.dir"});
    EXPECT_EQ(ReadFileBytes(m_strArchive), "old archive");

    // 32 bytes fit; a name Windows-1252 has no code for does not.
    ::unlink((m_strGame + "/Maps/" + std::string(33, 'n')).c_str());
    WriteFileBytes(m_strGame + "/Maps/" + std::string(32, 'n'), "x");
    WriteFileBytes(m_strGame + "/\xe6\x97\xa5\xe6\x9c\xac", "x");
    const CCliResult u = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(u.m_nStatus, 1);
    EXPECT_EQ(u.ErrLines(),
              (Lines{"Name cannot be encoded in WINDOWS-1252: " + m_strGame + "/\xe6\x97\xa5\xe6\x9c\xac",
                     "No archive written."}));
    ExpectOutputFolder({"game.dir"});

    // The same name fits another code page.
    const CCliResult sjis = RunCli({"pack", "--encoding", "SHIFT_JIS", m_strGame, m_strArchive});
    EXPECT_EQ(sjis.m_nStatus, 1) << "café has no code in Shift JIS either";
    ::unlink((m_strGame + "/caf\xc3\xa9.txt").c_str());
    const CCliResult ok = RunCli({"pack", "--encoding", "SHIFT_JIS", m_strGame, m_strArchive});
    EXPECT_EQ(ok.m_nStatus, 0) << ok.m_strErr;
    const Lines listed = RunCli({"list", "--encoding", "SHIFT_JIS", m_strArchive}).OutLines();
    EXPECT_NE(std::find(listed.begin(), listed.end(), "Game/\xe6\x97\xa5\xe6\x9c\xac"), listed.end());
}

TEST_F(PackTest, NestingLimitCountsTheFolderAsOne) {
    std::string path = m_strGame;
    MakeDir(path);
    for (int level = 2; level <= 10; ++level) {
        path += "/L" + std::to_string(level);
        MakeDir(path);
    }
    WriteFileBytes(path + "/f", "deep");
    const CCliResult ten = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(ten.m_nStatus, 0) << ten.m_strErr;
    EXPECT_EQ(RunCli({"list", m_strArchive}).OutLines().size(), 11u);
    EXPECT_EQ(RunCli({"check", m_strArchive}).m_nStatus, 0);

    ::unlink(m_strArchive.c_str());
    MakeDir(path + "/L11");
    const CCliResult eleven = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(eleven.m_nStatus, 1);
    EXPECT_EQ(eleven.ErrLines(),
              (Lines{"Folders nest deeper than 10 levels: " + path + "/L11", "No archive written."}));
    ExpectOutputFolder({});
}

TEST_F(PackTest, RefusesDataPastFourGiB) {
    MakeDir(m_strGame);
    // Sparse files: nothing is read, the layout alone is refused.
    for (const char* name : {"a", "b", "c"}) {
        const int fd = ::open((m_strGame + "/" + name).c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(2) << 30), 0);
        ::close(fd);
    }
    const CCliResult r = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(r.m_nStatus, 1);
    ASSERT_EQ(r.ErrLines().size(), 2u) << r.m_strErr;
    EXPECT_EQ(r.ErrLines()[0],
              "Data would lie past 4 GiB, beyond the reach of the archive's offsets: " + m_strGame + "/c");
    ExpectOutputFolder({});
}

TEST_F(PackTest, LinksAndSpecialFilesAreSkippedWithAMessage) {
    MakeDir(m_strGame);
    WriteFileBytes(m_strGame + "/real", "r");
    ASSERT_EQ(::symlink("real", (m_strGame + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("/", (m_strGame + "/rootlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((m_strGame + "/fifo").c_str(), 0644), 0);
    const CCliResult r = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(r.m_nStatus, 1);
    Lines err = r.ErrLines();
    std::sort(err.begin(), err.end());
    EXPECT_EQ(err, (Lines{"Skipped special file " + m_strGame + "/fifo",
                          "Skipped symbolic link " + m_strGame + "/link",
                          "Skipped symbolic link " + m_strGame + "/rootlink"}));
    EXPECT_EQ(RunCli({"list", m_strArchive}).OutLines(), (Lines{"Game/", "Game/real"}));
}

TEST_F(PackTest, FolderOrArchiveThatCannotBeOpened) {
    const CCliResult r = RunCli({"pack", m_Dir / "none", m_strArchive});
    EXPECT_EQ(r.m_nStatus, 2);
    EXPECT_EQ(r.ErrLines().size(), 1u);
    ExpectOutputFolder({});

    MakeGame();
    const CCliResult a = RunCli({"pack", m_strGame, m_Dir / "no/such/folder/game.dir"});
    EXPECT_EQ(a.m_nStatus, 2);
    EXPECT_EQ(a.ErrLines().size(), 1u);
}

} // namespace
