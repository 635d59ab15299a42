#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using Lines = std::vector<std::string>;

class CheckTest : public ::testing::Test {
protected:
    std::string Archive(const std::string& bytes) {
        WriteFileBytes(m_strArchive, bytes);
        return m_strArchive;
    }
    CTempDir m_Dir;
    const std::string m_strArchive = m_Dir / "test.dir";
};

TEST_F(CheckTest, CleanArchiveGivesCountsAndStatusZero) {
    const CCliResult r = RunCli(
        {"check", Archive(BuildArchive(
                      {Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1.MAP", "abc")})}),
                       File("TOP", "1234567")}))});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.OutLines(), (Lines{"Folders: 2", "Files: 3", "Bytes: 15", "No problems found."}));
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(CheckTest, EveryKindOfProblemOnStandardOutput) {
    CRawArchive raw;
    raw.Folder(0, "D", 132)
        .File(44, "a\\b", 0, 0) // unsafe, at the top
        .End(88)
        .Record(132, "?", 7, 0, 0)
        .Record(176, "?", 8, 0, 0)
        .File(220, "twice", 3, 600)
        .File(264, "twice", 3, 600)
        .File(308, "past", 10, 598)
        .Folder(352, "..", 440)
        .End(396)
        .File(440, "in-dotdot", 0, 0)
        .End(484)
        .Bytes(600, "abc");
    const CCliResult r = RunCli({"check", Archive(raw.Str())});
    EXPECT_EQ(r.m_nStatus, 1);
    EXPECT_EQ(r.OutLines(), (Lines{
                                "Folders: 2",
                                "Files: 5",
                                "Bytes: 16",
                                "Unknown file type encountered: 2 records of unknown type skipped",
                                "Data beyond the end of the archive: D/past",
                                "Unsafe name: a\\x5Cb",
                                "Unsafe name: D/../",
                                "Duplicate name in one folder: D/twice",
                                "5 problems found.",
                            }));
    EXPECT_EQ(r.m_strErr, "");
}

TEST_F(CheckTest, EmptyNameIsNamedAsSuch) {
    CRawArchive raw;
    raw.Folder(0, "D", 88).End(44).File(88, "", 0, 0).File(132, "", 0, 0).End(176);
    const CCliResult r = RunCli({"check", Archive(raw.Str())});
    EXPECT_EQ(r.m_nStatus, 1);
    const Lines lines = r.OutLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Unsafe name: D/ (empty name)"), lines.end())
        << r.m_strOut;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Duplicate name in one folder: D/"), lines.end())
        << r.m_strOut;
}

TEST_F(CheckTest, CutListsNestingLimitAndCycles) {
    CRawArchive cut;
    cut.Folder(0, "D", 88).End(44).File(88, "f", 0, 0).Size(140);
    const CCliResult c = RunCli({"check", Archive(cut.Str())});
    EXPECT_EQ(c.m_nStatus, 1);
    EXPECT_EQ(c.OutLines(), (Lines{"Folders: 1", "Files: 1", "Bytes: 0",
                                   "1 list cut short by the end of the file", "1 problem found."}));

    CNode deep = Folder("L11", {File("lost")});
    for (int level = 10; level >= 1; --level)
        deep = Folder("L" + std::to_string(level), {deep});
    const CCliResult d = RunCli({"check", Archive(BuildArchive({deep}))});
    EXPECT_EQ(d.m_nStatus, 1);
    EXPECT_EQ(d.OutLines().at(0), "Folders: 10");
    EXPECT_EQ(d.OutLines().at(3),
              "Folders nested deeper than 10 levels (or a cycle of folder offsets): reading stopped there");

    // A folder whose list is the top-level list: reading it again would loop.
    CRawArchive cycle;
    cycle.Folder(0, "D", 88).End(44).Folder(88, "loop", 0).End(132);
    const CCliResult y = RunCli({"check", Archive(cycle.Str())});
    EXPECT_EQ(y.m_nStatus, 1);
    EXPECT_GE(y.OutLines().size(), 5u) << y.m_strOut;
    EXPECT_EQ(y.OutLines().back().find("found."), y.OutLines().back().size() - 6) << y.m_strOut;
}

TEST_F(CheckTest, ArchiveThatCannotBeOpened) {
    const CCliResult r = RunCli({"check", m_Dir / "none.dir"});
    EXPECT_EQ(r.m_nStatus, 2);
    EXPECT_EQ(r.ErrLines(), (Lines{"Error opening file. " + m_Dir / "none.dir"}));
}

} // namespace
