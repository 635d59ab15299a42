#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using Lines = std::vector<std::string>;

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkdir(m_strDest.c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(m_strOutside.c_str(), 0755), 0);
    }
    std::string Archive(const std::string& bytes) {
        WriteFileBytes(m_strArchive, bytes);
        return m_strArchive;
    }
    std::string Sample() {
        return Archive(BuildArchive({
            Folder("A", {File("a1", "one"), Folder("S", {File("s1", "deep")}), File("a2", "")}),
            File("T", "top"),
            Folder("B", {File("b1", std::string(70000, 'b'))}),
        }));
    }

    CTempDir m_Dir;
    const std::string m_strArchive = m_Dir / "test.dir";
    const std::string m_strDest = m_Dir / "dest";
    const std::string m_strOutside = m_Dir / "outside";
};

TEST_F(ExtractTest, WholeArchiveIntoDirectoryAndIntoCurrentDirectory) {
    const std::string archive = Sample();
    const Lines tree = {"A/", "A/S/", "A/S/s1", "A/a1", "A/a2", "B/", "B/b1", "T"};
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_strOut, "");
    EXPECT_EQ(r.m_strErr, "");
    EXPECT_EQ(ListTree(m_strDest), tree);
    EXPECT_EQ(ReadFileBytes(m_strDest + "/A/S/s1"), "deep");
    EXPECT_EQ(ReadFileBytes(m_strDest + "/B/b1"), std::string(70000, 'b'));
    EXPECT_EQ(ReadFileBytes(m_strDest + "/A/a2"), "");
    EXPECT_EQ(ReadFileBytes(m_strDest + "/T"), "top");

    const CCliResult here = RunCli({"extract", "--quiet", archive}, m_strOutside);
    EXPECT_EQ(here.m_nStatus, 0) << here.m_strErr;
    EXPECT_EQ(ListTree(m_strOutside), tree);
}

TEST_F(ExtractTest, ItemsUnderTheirOwnNamesAndMissingItemsReported) {
    const CCliResult r =
        RunCli({"extract", "-C", m_strDest, Sample(), "A/S", "B/", "missing/x", "A/a1", "T"});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(), (Lines{"Not in archive: missing/x"}));
    EXPECT_EQ(ListTree(m_strDest), (Lines{"B/", "B/b1", "S/", "S/s1", "T", "a1"}));
    EXPECT_EQ(ReadFileBytes(m_strDest + "/a1"), "one");

    // A folder's path with its trailing '/' names no file.
    CTempDir other;
    const CCliResult f = RunCli({"extract", "-C", other.Path(), m_strArchive, "T/"});
    EXPECT_EQ(f.m_nStatus, 1);
    EXPECT_EQ(f.ErrLines(), (Lines{"Not in archive: T/"}));
    EXPECT_EQ(ListTree(other.Path()), Lines{});
}

TEST_F(ExtractTest, SamePathTakesTheFirstInListOrder) {
    const std::string archive = Archive(BuildArchive({
        Folder("D", {File("first", "1")}),
        Folder("X", {File("in-folder", "f")}),
        Folder("D", {File("second", "2"), File("only-here", "3")}),
        File("X", "a file"),
    }));
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive, "D"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(ListTree(m_strDest), (Lines{"D/", "D/first"}));

    // Deeper items are looked for in every folder of that path, in list order.
    CTempDir deeper;
    const CCliResult d = RunCli({"extract", "-C", deeper.Path(), archive, "D/only-here"});
    EXPECT_EQ(d.m_nStatus, 0) << d.m_strErr;
    EXPECT_EQ(ListTree(deeper.Path()), Lines{"only-here"});

    // Top-level files come before folders in list order; the trailing '/' picks the folder.
    CTempDir file, folder;
    EXPECT_EQ(RunCli({"extract", "-C", file.Path(), archive, "X"}).m_nStatus, 0);
    EXPECT_EQ(ListTree(file.Path()), Lines{"X"});
    EXPECT_EQ(ReadFileBytes(file / "X"), "a file");
    EXPECT_EQ(RunCli({"extract", "-C", folder.Path(), archive, "X/"}).m_nStatus, 0);
    EXPECT_EQ(ListTree(folder.Path()), (Lines{"X/", "X/in-folder"}));
}

TEST_F(ExtractTest, ItemsAreMatchedByTheirPrintedForm) {
    const std::string archive = Archive(BuildArchive({Folder("caf\xe9", {File("tab\there", "t")})}));
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive, "caf\xc3\xa9/tab\\x09here"});
    EXPECT_EQ(r.m_nStatus, 0) << r.m_strErr;
    EXPECT_EQ(ListTree(m_strDest), Lines{"tab\there"});
    EXPECT_EQ(RunCli({"extract", "-C", m_strDest, archive, "caf\xc3\xa9/"}).m_nStatus, 0);
    EXPECT_EQ(ReadFileBytes(m_strDest + "/caf\xc3\xa9/tab\there"), "t");
}

TEST_F(ExtractTest, ExistingFolderIsReportedAndLeftAlone) {
    const std::string archive = Sample();
    ASSERT_EQ(::mkdir((m_strDest + "/A").c_str(), 0755), 0);
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(), (Lines{"Could not make directory A"}));
    EXPECT_EQ(ListTree(m_strDest), (Lines{"A/", "B/", "B/b1", "T"}));
}

TEST_F(ExtractTest, DestinationThatCannotBeEntered) {
    const std::string archive = Sample();
    const std::string missing = m_Dir / "missing";
    const CCliResult r = RunCli({"extract", "-C", missing, archive});
    EXPECT_EQ(r.m_nStatus, 2);
    EXPECT_EQ(r.ErrLines(), (Lines{"Could not change to directory " + missing}));
    struct stat st;
    EXPECT_NE(::stat(missing.c_str(), &st), 0) << "the destination must never be created";

    const std::string file = m_Dir / "plain";
    WriteFileBytes(file, "x");
    EXPECT_EQ(RunCli({"extract", "-C", file, archive}).m_nStatus, 2);

    const CCliResult bad = RunCli({"extract", "-C", m_strDest, m_Dir / "none.dir"});
    EXPECT_EQ(bad.m_nStatus, 2);
    EXPECT_EQ(bad.ErrLines(), (Lines{"Error opening file. " + m_Dir / "none.dir"}));
}

TEST_F(ExtractTest, UnsafeNamesAreSkippedAndNothingLandsOutside) {
    const std::string archive = Archive(BuildArchive({
        Folder("..", {File("evil", "x")}),
        Folder("D", {File("..", "x"), File("ok", "fine"), File("a\\b", "x")}),
        File("x/y", "x"),
        File(".", "x"),
    }));
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive});
    EXPECT_EQ(r.m_nStatus, 1);
    Lines err = r.ErrLines();
    std::sort(err.begin(), err.end());
    EXPECT_EQ(err, (Lines{"Skipped unsafe name .", "Skipped unsafe name ..", "Skipped unsafe name ..",
                          "Skipped unsafe name a\\x5Cb", "Skipped unsafe name x\\x2Fy"}));
    EXPECT_EQ(ListTree(m_strDest), (Lines{"D/", "D/ok"}));
    EXPECT_EQ(ListTree(m_Dir.Path()), (Lines{"dest/", "dest/D/", "dest/D/ok", "outside/", "test.dir"}));
}

TEST_F(ExtractTest, LinksInTheDestinationAreNeverFollowed) {
    const std::string archive =
        Archive(BuildArchive({Folder("DATA", {File("f", "archive")}), File("top", "new")}));
    ASSERT_EQ(::symlink(m_strOutside.c_str(), (m_strDest + "/DATA").c_str()), 0);
    WriteFileBytes(m_strOutside + "/target", "keep");
    ASSERT_EQ(::symlink((m_strOutside + "/target").c_str(), (m_strDest + "/top").c_str()), 0);

    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(), (Lines{"Could not make directory DATA"}));
    EXPECT_EQ(ListTree(m_strOutside), Lines{"target"});
    EXPECT_EQ(ReadFileBytes(m_strOutside + "/target"), "keep");
    // The link at a file's place is replaced by the file.
    struct stat st;
    ASSERT_EQ(::lstat((m_strDest + "/top").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadFileBytes(m_strDest + "/top"), "new");
}

TEST_F(ExtractTest, DataPastTheEndAndReaderProblemsMakeStatusOne) {
    CRawArchive raw;
    raw.Folder(0, "D", 88)
        .End(44)
        .File(88, "good", 2, 176)
        .File(132, "cut", 100, 176)
        .End(176)
        .Bytes(176, "ok");
    const CCliResult r = RunCli({"extract", "-C", m_strDest, Archive(raw.Str())});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(), (Lines{"Could not read file cut"}));
    EXPECT_EQ(ListTree(m_strDest), (Lines{"D/", "D/good"}));

    CRawArchive unknown;
    unknown.Folder(0, "D", 88)
        .End(44)
        .Record(88, "?", 9, 0, 0)
        .File(132, "f", 2, 220)
        .End(176)
        .Bytes(220, "ok");
    CTempDir other;
    const CCliResult u = RunCli({"extract", "-C", other.Path(), Archive(unknown.Str())});
    EXPECT_EQ(u.m_nStatus, 1);
    EXPECT_EQ(u.ErrLines(), (Lines{"Unknown file type encountered: 1 record of unknown type skipped"}));
    EXPECT_EQ(ListTree(other.Path()), (Lines{"D/", "D/f"}));
}

TEST_F(ExtractTest, FileSizeLimitGivesAWriteErrorNotASignal) {
    const std::string archive =
        Archive(BuildArchive({Folder("D", {File("small", "s"), File("big", std::string(64 * 1024, 'z'))})}));
    const CCliResult r = RunCli({"extract", "-C", m_strDest, archive}, {}, 4096);
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.ErrLines(), (Lines{"Could not write file big"}));
    EXPECT_EQ(ListTree(m_strDest), (Lines{"D/", "D/small"})) << "no partial file or temporary stays";
}

} // namespace
