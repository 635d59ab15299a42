#include <gtest/gtest.h>

#include <filesystem>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

using namespace std::string_literals;

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

struct CCase {
    Lines m_Args, m_Tree, m_Err; // the arguments after the archive; what is made; what is said
};

// Extracts `archive` with each case's arguments into a fresh folder.
void ExpectExtractions(const std::string& archive, const std::vector<CCase>& cases) {
    for (const CCase& c : cases) {
        CTempDir dest;
        Lines args = {"extract", "-C", dest.Path(), archive};
        args.insert(args.end(), c.m_Args.begin(), c.m_Args.end());
        const CCliRun r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, c.m_Err.empty() ? 0 : 1) << c.m_Args.back();
        EXPECT_EQ(r.m_ErrLines, c.m_Err) << c.m_Args.back();
        EXPECT_EQ(ListTree(dest.Path()), c.m_Tree) << c.m_Args.back();
    }
}

TEST_F(ExtractTest, IntoTheCurrentDirectoryByDefaultNeverIntoOneMissingOrEmpty) {
    const std::string archive =
        Archive({Folder("A", {File("a1", "one"), Folder("S", {File("s1", "deep")})}), File("T", "top")});
    CTempDir current;
    const CCliRun here = RunCli({"extract", "--quiet", archive}, {.m_strDir = current.Path()});
    EXPECT_EQ(here.m_nStatus, 0);
    EXPECT_EQ(Snapshot(current.Path()), (Lines{"A/", "A/S/", "A/S/s1=deep", "A/a1=one", "T=top"}));

    // The destination is never created; an empty one (an unset variable in a script) is not the current one.
    for (const std::string& dir : {m_Dir / "missing", std::string()}) {
        const CCliRun r = RunCli({"extract", "-C", dir, archive}, {.m_strDir = current.Path()});
        EXPECT_EQ(r.m_nStatus, 2);
        EXPECT_EQ(r.m_ErrLines, Lines{kCouldNotChangeToDirectory + dir});
    }
    EXPECT_EQ(ListTree(m_Dir.Path()), Lines{"test.dir"});
}

TEST_F(ExtractTest, ItemsUnderTheirOwnNamesFirstOfSamePathTakenMissingOnesReported) {
    const std::string archive = Archive({Folder("D", {File("first", "1"), Folder("S", {File("s1", "deep")})}),
                                         Folder("X", {File("in-folder", "f")}),
                                         Folder("D", {File("second", "2"), File("only-here", "3")}),
                                         File("X", "a file"), Folder("caf\xe9", {File("tab\there", "t")})});
    ExpectExtractions(
        archive,
        {CCase{{"D"}, {"D/", "D/S/", "D/S/s1", "D/first"}, {}},
         CCase{{"D/S/", "missing/x", "D/only-here", "D/first/", "X"},
               {"S/", "S/s1", "X", "only-here"},
               {kNotInArchive + "missing/x"s, kNotInArchive + "D/first/"s}}, // a folder's path names no file
         CCase{{"X/"}, {"X/", "X/in-folder"}, {}},                 // "X" alone is the file: files come first
         CCase{{"caf\xc3\xa9/tab\\x09here"}, {"tab\there"}, {}}}); // matched by its printed form
}

const std::vector<CNode> kGame = {Folder("DATA", {File("README.TXT", "r"), File("V.TXT", "v"),
                                                  Folder("MAPS", {File("E1.MAP", "1"), File("E2.MAP", "2"),
                                                                  Folder("SECRET", {File("NOTE.TXT", "n")})}),
                                                  Folder("SOUNDS", {File("DOOR.WAV", "d")})})};

TEST_F(ExtractTest, PatternsExclusionsFullPathsAndToStdout) {
    const std::string archive = Archive(kGame);
    const Lines maps = {"MAPS/", "MAPS/E1.MAP", "MAPS/E2.MAP", "MAPS/SECRET/", "MAPS/SECRET/NOTE.TXT"};
    ExpectExtractions(archive,
                      {CCase{{"DATA/*.TXT"}, {"NOTE.TXT", "README.TXT", "V.TXT"}, {}}, // '*' spans '/'
                       CCase{{"--no-wildcards-match-slash", "DATA/*.TXT"}, {"README.TXT", "V.TXT"}, {}},
                       CCase{{"DATA/M*"}, maps, {}}, // the folder brings everything below it, each once
                       CCase{{"DATA/[R-T]*/D??R.WAV", "*.NOPE"}, {"DOOR.WAV"}, {kNotInArchive + "*.NOPE"s}},
                       CCase{{"--exclude", "*.MAP", "--exclude=SOUNDS", "DATA"},
                             {"DATA/", "DATA/MAPS/", "DATA/MAPS/SECRET/", "DATA/MAPS/SECRET/NOTE.TXT",
                              "DATA/README.TXT", "DATA/V.TXT"},
                             {}},
                       CCase{{"-p", "DATA/MAPS/SECRET/NOTE.TXT", "DATA/MAPS/E1.MAP", "DATA/SOUNDS/"},
                             {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/SECRET/",
                              "DATA/MAPS/SECRET/NOTE.TXT", "DATA/SOUNDS/", "DATA/SOUNDS/DOOR.WAV"},
                             {}},
                       CCase{{"--full-paths", "--exclude", "DATA/MAPS/SECRET", "DATA/MAPS/*"},
                             {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/E2.MAP"},
                             {}}});

    // To standard output: the entries one after the other in walk order, nothing made.
    CTempDir here;
    const CCliSetup inHere{.m_strDir = here.Path()};
    const CCliRun all = RunCli({"extract", "-O", archive, "DATA/README.TXT", "DATA/MAPS"}, inHere);
    EXPECT_EQ(all.m_nStatus, 0);
    EXPECT_EQ(all.m_strOut, "12nr"); // folders first, as extraction makes them
    EXPECT_EQ(RunCli({"extract", "--to-stdout", "--exclude", "E2.MAP", archive}, inHere).m_strOut, "rv1nd");
    EXPECT_EQ(ListTree(here.Path()), Lines{});
}

// Links in the destination are the hostile suite's; here, what each policy does with a folder and a file.
TEST_F(ExtractTest, ExistingFoldersAndFilesByPolicy) {
    const std::string archive =
        Archive({Folder("D", {File("new", "N"), File("old", "A"), Folder("S", {File("s", "S")})})});
    const auto merged = [](std::string old) {
        return Lines{"D/", "D/S/", "D/S/s=S", "D/new=N", "D/old=" + old};
    };
    for (const auto& [options, tree, err] : std::vector<std::tuple<Lines, Lines, Lines>>{
             {{}, {"D/", "D/old=mine"}, {kCouldNotMakeDirectory + "D"s}},
             {{"-k"}, merged("mine"), {}},
             {{"--keep-old-files", "-v"}, merged("mine"), {kKeptExistingFile + "old"s}},
             {{"--overwrite"}, merged("A"), {}}}) {
        CTempDir dest;
        std::filesystem::create_directories(dest / "D");
        WriteFileBytes(dest / "D/old", "mine");
        Lines args = {"extract", "-C", dest.Path(), archive};
        args.insert(args.end(), options.begin(), options.end());
        const CCliRun r = RunCli(args);
        EXPECT_EQ(r.m_nStatus, options.empty() ? 1 : 0); // keeping a file is no failure
        EXPECT_EQ(r.m_ErrLines, err);
        EXPECT_EQ(Snapshot(dest.Path()), tree) << (options.empty() ? "default" : options[0]);
    }

    // What one extraction made is never merged into or kept for another item of the same name.
    const std::string twins = Archive({Folder("D", {File("a", "1")}), Folder("D", {File("a", "2")})});
    for (const char* policy : {"-k", "--overwrite"}) {
        CTempDir dest;
        const CCliRun r = RunCli({"extract", policy, "-C", dest.Path(), twins});
        EXPECT_EQ(r.m_ErrLines, Lines{kCouldNotMakeDirectory + "D"s}) << policy;
        EXPECT_EQ(ReadFileBytes(dest / "D/a"), "1");
    }
}

} // namespace
