#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/CliRunner.h"

namespace {

using Lines = std::vector<std::string>;

class ExtractTest : public ::testing::Test {
protected:
    std::string Archive(const std::vector<CNode>& top) {
        WriteFileBytes(m_Dir / "test.dir", BuildArchive(top));
        return m_Dir / "test.dir";
    }
    CTempDir m_Dir;
};

TEST_F(ExtractTest, WholeArchiveIntoAnExistingDirectoryOrTheCurrentOne) {
    const std::string archive =
        Archive({Folder("A", {File("a1", "one"), Folder("S", {File("s1", "deep")}), File("a2", "")}),
                 File("T", "top"), Folder("B", {File("b1", std::string(70000, 'b'))})});
    CTempDir viaOption, current;
    const CCliRun r = RunCli({"extract", "-C", viaOption.Path(), archive});
    EXPECT_EQ(r.m_nStatus, 0);
    EXPECT_EQ(r.m_OutLines.size() + r.m_ErrLines.size(), 0u);
    // In the child: a failed change of directory throws, and the run ends with a signal.
    const CCliRun here =
        RunCli({"extract", "--quiet", archive}, [&] { std::filesystem::current_path(current.Path()); });
    EXPECT_EQ(here.m_nStatus, 0);
    for (const CTempDir* dest : {&viaOption, &current}) {
        EXPECT_EQ(ListTree(dest->Path()), (Lines{"A/", "A/S/", "A/S/s1", "A/a1", "A/a2", "B/", "B/b1", "T"}));
        EXPECT_EQ(ReadFileBytes(*dest / "A/S/s1"), "deep");
        EXPECT_EQ(ReadFileBytes(*dest / "B/b1"), std::string(70000, 'b'));
        EXPECT_EQ(ReadFileBytes(*dest / "T"), "top");
    }

    // The destination must exist: it is never created.
    const std::string missing = m_Dir / "missing";
    const CCliRun m = RunCli({"extract", "-C", missing, archive});
    EXPECT_EQ(m.m_nStatus, 2);
    EXPECT_EQ(m.m_ErrLines, Lines{"Could not change to directory " + missing});
    EXPECT_EQ(ListTree(m_Dir.Path()), Lines{"test.dir"});
}

TEST_F(ExtractTest, ItemsUnderTheirOwnNamesFirstOfSamePathTakenMissingOnesReported) {
    const std::string archive = Archive({Folder("D", {File("first", "1"), Folder("S", {File("s1", "deep")})}),
                                         Folder("X", {File("in-folder", "f")}),
                                         Folder("D", {File("second", "2"), File("only-here", "3")}),
                                         File("X", "a file"), Folder("caf\xe9", {File("tab\there", "t")})});
    struct CCase {
        Lines m_Items, m_Tree, m_Err;
    };
    for (const CCase& c :
         {CCase{{"D"}, {"D/", "D/S/", "D/S/s1", "D/first"}, {}},
          CCase{{"D/S/", "missing/x", "D/only-here", "D/first/", "X"},
                {"S/", "S/s1", "X", "only-here"},
                {"Not in archive: missing/x", "Not in archive: D/first/"}}, // a folder's path names no file
          CCase{{"X/"}, {"X/", "X/in-folder"}, {}}, // "X" alone is the file: files come first
          CCase{{"caf\xc3\xa9/tab\\x09here"}, {"tab\there"}, {}}}) { // matched by its printed form
        CTempDir dest;
        Lines args = {"extract", "-C", dest.Path(), archive};
        args.insert(args.end(), c.m_Items.begin(), c.m_Items.end());
        const CCliRun r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, c.m_Err.empty() ? 0 : 1) << c.m_Items[0];
        EXPECT_EQ(r.m_ErrLines, c.m_Err);
        EXPECT_EQ(ListTree(dest.Path()), c.m_Tree);
    }
}

} // namespace
