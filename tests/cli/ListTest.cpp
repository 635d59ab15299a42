#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using Lines = std::vector<std::string>;

class ListTest : public ::testing::Test {
protected:
    std::string Archive(const std::string& bytes) {
        const std::string path = m_Dir / "test.dir";
        WriteFileBytes(path, bytes);
        return path;
    }
    CTempDir m_Dir;
};

TEST_F(ListTest, ExampleArchiveInWalkOrder) {
    const std::string path = Archive(BuildArchive(
        {Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1.MAP", "abc")})})}));
    const CCliResult r = RunCli({"list", path});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.OutLines(), (Lines{"DATA/", "DATA/README.TXT", "DATA/MAPS/", "DATA/MAPS/M1.MAP"}));
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(ListTest, TopLevelFilesFirstThenFoldersEachWithFilesBeforeSubFolders) {
    // Records deliberately interleaved: folders before files in every list.
    const std::string path = Archive(BuildArchive({
        Folder("A", {Folder("S", {File("s1")}), File("a1"), Folder("R"), File("a2")}),
        File("T1"),
        Folder("B"),
        File("T2"),
    }));
    const CCliResult r = RunCli({"list", path});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.OutLines(), (Lines{"T1", "T2", "A/", "A/a1", "A/a2", "A/S/", "A/S/s1", "A/R/", "B/"}));
}

TEST_F(ListTest, NamesAreDecodedAndEscaped) {
    const std::string path = Archive(BuildArchive({Folder("N",
                                                          {
                                                              File("a/b"),
                                                              File("back\\slash"),
                                                              File("tab\tx"),
                                                              File("del\x7f"),
                                                              File("c1\x81"),
                                                              File("caf\xe9"),
                                                              File("\x80 euro"),
                                                              File("x\\x41"),
                                                          }),
                                                   Folder("sl/ash", {File("f")})}));
    const CCliResult r = RunCli({"list", path});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.OutLines(),
              (Lines{"N/", "N/a\\x2Fb", "N/back\\x5Cslash", "N/tab\\x09x", "N/del\\x7F", "N/c1\\x81",
                     "N/caf\xc3\xa9", "N/\xe2\x82\xac euro", "N/x\\x5Cx41", "sl\\x2Fash/", "sl\\x2Fash/f"}));
}

TEST_F(ListTest, EncodingOptionChoosesTheCodePage) {
    const std::string path = Archive(BuildArchive({Folder("D", {File("\x82t\x82")})}));
    const CCliResult cp437 = RunCli({"list", "--encoding", "CP437", path});
    EXPECT_EQ(cp437.m_nStatus, 0);
    EXPECT_EQ(cp437.OutLines(), (Lines{"D/", "D/\xc3\xa9t\xc3\xa9"}));
    // In Windows-1252, 0x82 is a low quotation mark.
    const CCliResult cp1252 = RunCli({"list", path});
    EXPECT_EQ(cp1252.OutLines(), (Lines{"D/", "D/\xe2\x80\x9at\xe2\x80\x9a"}));
}

TEST_F(ListTest, LongFormAlignsSizesOffsetsAndPaths) {
    const std::string path = Archive(BuildArchive(
        {Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1.MAP", "abc")})})}));
    const CCliResult r = RunCli({"list", "--long", path});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.OutLines(), (Lines{"        DATA/", "5  308  DATA/README.TXT", "        DATA/MAPS/",
                                   "3  313  DATA/MAPS/M1.MAP"}));

    const std::string big(12345, 'x');
    const std::string mixed =
        Archive(BuildArchive({File("top", big), Folder("F", {File("e"), File("s", "ab")})}));
    const CCliResult m = RunCli({"list", "-l", mixed});
    ASSERT_EQ(m.OutLines().size(), 4u);
    for (const std::string& line : m.OutLines()) {
        // Every path starts in the same column: after 5 + 2 + 5 + 2 columns.
        EXPECT_EQ(line[13], ' ') << line;
        EXPECT_NE(line[14], ' ') << line;
    }
    EXPECT_EQ(m.OutLines()[0], "12345    264  top");
    EXPECT_EQ(m.OutLines()[1], "              F/");
    EXPECT_EQ(m.OutLines()[3], "    2  12609  F/s");
}

TEST_F(ListTest, ReaderProblemsFollowTheListingOnStandardError) {
    CRawArchive raw;
    raw.Folder(0, "D", 88)
        .End(44)
        .File(88, "f1", 0, 0)
        .Record(132, "junk", 7, 0, 0)
        .File(176, "f2", 0, 0)
        .End(220);
    const CCliResult r = RunCli({"list", Archive(raw.Str())});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.OutLines(), (Lines{"D/", "D/f1", "D/f2"}));
    EXPECT_EQ(r.ErrLines(), (Lines{"Unknown file type encountered: 1 record of unknown type skipped"}));

    // A folder's list cut short by the end of the file.
    CRawArchive cut;
    cut.Folder(0, "D", 88).End(44).File(88, "f1", 0, 0).Size(150);
    const CCliResult c = RunCli({"list", Archive(cut.Str())});
    EXPECT_EQ(c.m_nStatus, 1);
    EXPECT_EQ(c.OutLines(), (Lines{"D/", "D/f1"}));
    EXPECT_EQ(c.ErrLines(), (Lines{"1 list cut short by the end of the file"}));
}

TEST_F(ListTest, EmptyArchiveListsNothing) {
    const CCliResult r = RunCli({"list", Archive("")});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_strOut, "");
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(ListTest, ArchiveThatCannotBeOpened) {
    const std::string missing = m_Dir / "missing.dir";
    const CCliResult r = RunCli({"list", missing});
    EXPECT_EQ(r.m_nStatus, 2);
    EXPECT_EQ(r.m_strOut, "");
    EXPECT_EQ(r.ErrLines(), (Lines{"Error opening file. " + missing}));
}

} // namespace
