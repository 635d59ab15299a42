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

TEST_F(ExtractTest, IntoTheCurrentDirectoryByDefaultNeverIntoOneMissingOrEmpty) {
    const std::string archive =
        Archive({Folder("A", {File("a1", "one"), Folder("S", {File("s1", "deep")})}), File("T", "top")});
    CTempDir current;
    const CCliRun here = RunCli({"extract", "--quiet", archive}, {.m_strDir = current.Path()});
    EXPECT_EQ(here.m_nStatus, 0);
    EXPECT_EQ(ListTree(current.Path()), (Lines{"A/", "A/S/", "A/S/s1", "A/a1", "T"}));
    EXPECT_EQ(ReadFileBytes(current / "A/S/s1"), "deep");

    // The destination is never created; an empty one (an unset variable in a script) is not the current one.
    for (const std::string& dir : {m_Dir / "missing", std::string()}) {
        const CCliRun r = RunCli({"extract", "-C", dir, archive}, {.m_strDir = current.Path()});
        EXPECT_EQ(r.m_nStatus, 2);
        EXPECT_EQ(r.m_ErrLines, Lines{"Could not change to directory " + dir});
    }
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

const std::vector<CNode> kGame = {Folder("DATA", {File("README.TXT", "r"), File("V.TXT", "v"),
                                                  Folder("MAPS", {File("E1.MAP", "1"), File("E2.MAP", "2"),
                                                                  Folder("SECRET", {File("NOTE.TXT", "n")})}),
                                                  Folder("SOUNDS", {File("DOOR.WAV", "d")})})};

TEST_F(ExtractTest, PatternsExclusionsAndFullPaths) {
    const std::string archive = Archive(kGame);
    struct CCase {
        Lines m_Args, m_Tree, m_Err;
    };
    const Lines maps = {"MAPS/", "MAPS/E1.MAP", "MAPS/E2.MAP", "MAPS/SECRET/", "MAPS/SECRET/NOTE.TXT"};
    for (const CCase& c :
         {CCase{{"DATA/*.TXT"}, {"NOTE.TXT", "README.TXT", "V.TXT"}, {}}, // '*' spans '/'
          CCase{{"--no-wildcards-match-slash", "DATA/*.TXT"}, {"README.TXT", "V.TXT"}, {}},
          CCase{{"DATA/M*"}, maps, {}}, // the folder brings everything below it, each once
          CCase{{"DATA/[R-T]*/D??R.WAV", "*.NOPE"}, {"DOOR.WAV"}, {"Not in archive: *.NOPE"}},
          CCase{{"--exclude", "*.MAP", "--exclude=SOUNDS", "DATA"},
                {"DATA/", "DATA/MAPS/", "DATA/MAPS/SECRET/", "DATA/MAPS/SECRET/NOTE.TXT", "DATA/README.TXT",
                 "DATA/V.TXT"},
                {}},
          CCase{{"-p", "DATA/MAPS/SECRET/NOTE.TXT", "DATA/MAPS/E1.MAP", "DATA/SOUNDS/"},
                {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/SECRET/", "DATA/MAPS/SECRET/NOTE.TXT",
                 "DATA/SOUNDS/", "DATA/SOUNDS/DOOR.WAV"},
                {}},
          CCase{{"--full-paths", "--exclude", "DATA/MAPS/SECRET", "DATA/MAPS/*"},
                {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/E2.MAP"},
                {}}}) {
        CTempDir dest;
        Lines args = {"extract", "-C", dest.Path(), archive};
        args.insert(args.end(), c.m_Args.begin(), c.m_Args.end());
        const CCliRun r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, c.m_Err.empty() ? 0 : 1) << c.m_Args.back();
        EXPECT_EQ(r.m_ErrLines, c.m_Err);
        EXPECT_EQ(ListTree(dest.Path()), c.m_Tree) << c.m_Args.back();
    }
}

TEST_F(ExtractTest, ToStdoutConcatenatesInWalkOrderAndMakesNothing) {
    const std::string archive = Archive(kGame);
    CTempDir here;
    const CCliSetup inHere{.m_strDir = here.Path()};
    const CCliRun all = RunCli({"extract", "-O", archive, "DATA/README.TXT", "DATA/MAPS"}, inHere);
    EXPECT_EQ(all.m_nStatus, 0);
    EXPECT_EQ(all.m_strOut, "12nr"); // folders first, as extraction makes them
    EXPECT_EQ(RunCli({"extract", "--to-stdout", "--exclude", "E2.MAP", archive}, inHere).m_strOut, "rv1nd");
    EXPECT_EQ(ListTree(here.Path()), Lines{});
}

TEST_F(ExtractTest, ExistingFoldersAndFilesByPolicyNoLinkFollowed) {
    const std::string archive =
        Archive({Folder("D", {File("new", "N"), File("old", "A"), Folder("S", {File("s", "S")})}),
                 Folder("L", {File("x", "X")})});
    struct CCase {
        Lines m_Options, m_Tree, m_Err;
    };
    const std::string link = "L", makeL = "Could not make directory L";
    for (const CCase& c :
         {CCase{{}, {"D/", "D/old=mine", link}, {"Could not make directory D", makeL}},
          CCase{{"-k"}, {"D/", "D/S/", "D/S/s=S", "D/new=N", "D/old=mine", link}, {makeL}},
          CCase{{"--keep-old-files", "-v"},
                {"D/", "D/S/", "D/S/s=S", "D/new=N", "D/old=mine", link},
                {"Kept existing file old", makeL}},
          CCase{{"--overwrite"}, {"D/", "D/S/", "D/S/s=S", "D/new=N", "D/old=A", link}, {makeL}}}) {
        CTempDir area;
        std::filesystem::create_directories(area / "dest/D");
        std::filesystem::create_directories(area / "outside");
        WriteFileBytes(area / "dest/D/old", "mine");
        ASSERT_EQ(::symlink((area / "outside").c_str(), (area / "dest/L").c_str()), 0);
        Lines args = {"extract", "-C", area / "dest", archive};
        args.insert(args.end(), c.m_Options.begin(), c.m_Options.end());
        const CCliRun r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, 1);
        EXPECT_EQ(r.m_ErrLines, c.m_Err);
        Lines tree = ListTree(area / "dest");
        for (std::string& path : tree)
            if (path.back() != '/' && path != link)
                path += "=" + ReadFileBytes(area / ("dest/" + path));
        EXPECT_EQ(tree, c.m_Tree) << (c.m_Options.empty() ? "default" : c.m_Options[0]);
        EXPECT_EQ(ListTree(area / "outside"), Lines{});
    }

    // What one extraction made is never merged into or kept for another item of the same name.
    const std::string twins = Archive({Folder("D", {File("a", "1")}), Folder("D", {File("a", "2")})});
    for (const char* policy : {"-k", "--overwrite"}) {
        CTempDir dest;
        const CCliRun r = RunCli({"extract", policy, "-C", dest.Path(), twins});
        EXPECT_EQ(r.m_ErrLines, Lines{"Could not make directory D"}) << policy;
        EXPECT_EQ(ReadFileBytes(dest / "D/a"), "1");
    }
}

} // namespace
