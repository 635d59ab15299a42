#include <gtest/gtest.h>

#include <filesystem>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

class ExtractTest : public ::testing::Test {
protected:
    std::string archive(const std::vector<Node>& top) {
        writeFileBytes(m_dir / "test.dir", buildArchive(top));
        return m_dir / "test.dir";
    }
    TempDir m_dir;
};

struct Case {
    Lines m_args, m_tree, m_err; // the arguments after the archive; what is made; what is said
};

// Extracts `archive` with each case's arguments into a fresh folder.
void expectExtractions(const std::string& archive, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        TempDir dest;
        Lines args = {"extract", "-C", dest.path(), archive};
        args.insert(args.end(), c.m_args.begin(), c.m_args.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.m_status, c.m_err.empty() ? 0 : 1) << c.m_args.back();
        EXPECT_EQ(r.m_errLines, c.m_err) << c.m_args.back();
        EXPECT_EQ(listTree(dest.path()), c.m_tree) << c.m_args.back();
    }
}

TEST_F(ExtractTest, IntoTheCurrentDirectoryByDefaultNeverIntoOneMissingOrEmpty) {
    const std::string archive =
        this->archive({folderNode("A", {fileNode("a1", "one"), folderNode("S", {fileNode("s1", "deep")})}),
                       fileNode("T", "top")});
    TempDir current;
    const CliRun here = runCli({"extract", "--quiet", archive}, {.m_dir = current.path()});
    EXPECT_EQ(here.m_status, 0);
    EXPECT_EQ(snapshot(current.path()), (Lines{"A/", "A/S/", "A/S/s1=deep", "A/a1=one", "T=top"}));

    // The destination is never created; an empty one (an unset variable in a script) is not the current one.
    for (const std::string& dir : {m_dir / "missing", std::string()}) {
        const CliRun r = runCli({"extract", "-C", dir, archive}, {.m_dir = current.path()});
        EXPECT_EQ(r.m_status, 2);
        EXPECT_EQ(r.m_errLines, Lines{kCouldNotChangeToDirectory + dir});
    }
    EXPECT_EQ(listTree(m_dir.path()), Lines{"test.dir"});
}

TEST_F(ExtractTest, ItemsUnderTheirOwnNamesFirstOfSamePathTakenMissingOnesReported) {
    const std::string archive =
        this->archive({folderNode("D", {fileNode("first", "1"), folderNode("S", {fileNode("s1", "deep")})}),
                       folderNode("X", {fileNode("in-folder", "f")}),
                       folderNode("D", {fileNode("second", "2"), fileNode("only-here", "3")}),
                       fileNode("X", "a file"), folderNode("caf\xe9", {fileNode("tab\there", "t")})});
    expectExtractions(
        archive,
        {Case{{"D"}, {"D/", "D/S/", "D/S/s1", "D/first"}, {}},
         Case{{"D/S/", "missing/x", "D/only-here", "D/first/", "X"},
              {"S/", "S/s1", "X", "only-here"},
              {kNotInArchive + "missing/x"s, kNotInArchive + "D/first/"s}}, // a folder's path names no file
         Case{{"X/"}, {"X/", "X/in-folder"}, {}},                 // "X" alone is the file: files come first
         Case{{"caf\xc3\xa9/tab\\x09here"}, {"tab\there"}, {}}}); // matched by its printed form
}

const std::vector<Node> kGame = {
    folderNode("DATA", {fileNode("README.TXT", "r"), fileNode("V.TXT", "v"),
                        folderNode("MAPS", {fileNode("E1.MAP", "1"), fileNode("E2.MAP", "2"),
                                            folderNode("SECRET", {fileNode("NOTE.TXT", "n")})}),
                        folderNode("SOUNDS", {fileNode("DOOR.WAV", "d")})})};

TEST_F(ExtractTest, PatternsExclusionsFullPathsAndToStdout) {
    const std::string archive = this->archive(kGame);
    const Lines maps = {"MAPS/", "MAPS/E1.MAP", "MAPS/E2.MAP", "MAPS/SECRET/", "MAPS/SECRET/NOTE.TXT"};
    expectExtractions(archive,
                      {Case{{"DATA/*.TXT"}, {"NOTE.TXT", "README.TXT", "V.TXT"}, {}}, // '*' spans '/'
                       Case{{"--no-wildcards-match-slash", "DATA/*.TXT"}, {"README.TXT", "V.TXT"}, {}},
                       Case{{"DATA/M*"}, maps, {}}, // the folder brings everything below it, each once
                       Case{{"DATA/[R-T]*/D??R.WAV", "*.NOPE"}, {"DOOR.WAV"}, {kNotInArchive + "*.NOPE"s}},
                       Case{{"--exclude", "*.MAP", "--exclude=SOUNDS", "DATA"},
                            {"DATA/", "DATA/MAPS/", "DATA/MAPS/SECRET/", "DATA/MAPS/SECRET/NOTE.TXT",
                             "DATA/README.TXT", "DATA/V.TXT"},
                            {}},
                       Case{{"-p", "DATA/MAPS/SECRET/NOTE.TXT", "DATA/MAPS/E1.MAP", "DATA/SOUNDS/"},
                            {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/SECRET/",
                             "DATA/MAPS/SECRET/NOTE.TXT", "DATA/SOUNDS/", "DATA/SOUNDS/DOOR.WAV"},
                            {}},
                       Case{{"--full-paths", "--exclude", "DATA/MAPS/SECRET", "DATA/MAPS/*"},
                            {"DATA/", "DATA/MAPS/", "DATA/MAPS/E1.MAP", "DATA/MAPS/E2.MAP"},
                            {}}});

    // To standard output: the entries one after the other in walk order, nothing made.
    TempDir here;
    const CliSetup inHere{.m_dir = here.path()};
    const CliRun all = runCli({"extract", "-O", archive, "DATA/README.TXT", "DATA/MAPS"}, inHere);
    EXPECT_EQ(all.m_status, 0);
    EXPECT_EQ(all.m_out, "12nr"); // folders first, as extraction makes them
    EXPECT_EQ(runCli({"extract", "--to-stdout", "--exclude", "E2.MAP", archive}, inHere).m_out, "rv1nd");
    EXPECT_EQ(listTree(here.path()), Lines{});
}

// Links in the destination are the hostile suite's; here, what each policy does with a folder and a file.
TEST_F(ExtractTest, ExistingFoldersAndFilesByPolicy) {
    const std::string archive = this->archive({folderNode(
        "D", {fileNode("new", "N"), fileNode("old", "A"), folderNode("S", {fileNode("s", "S")})})});
    const auto merged = [](std::string old) {
        return Lines{"D/", "D/S/", "D/S/s=S", "D/new=N", "D/old=" + old};
    };
    for (const auto& [options, tree, err] : std::vector<std::tuple<Lines, Lines, Lines>>{
             {{}, {"D/", "D/old=mine"}, {kCouldNotMakeDirectory + "D"s}},
             {{"-k"}, merged("mine"), {}},
             {{"--keep-old-files", "-v"}, merged("mine"), {kKeptExistingFile + "old"s}},
             {{"--overwrite"}, merged("A"), {}}}) {
        TempDir dest;
        std::filesystem::create_directories(dest / "D");
        writeFileBytes(dest / "D/old", "mine");
        Lines args = {"extract", "-C", dest.path(), archive};
        args.insert(args.end(), options.begin(), options.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.m_status, options.empty() ? 1 : 0); // keeping a file is no failure
        EXPECT_EQ(r.m_errLines, err);
        EXPECT_EQ(snapshot(dest.path()), tree) << (options.empty() ? "default" : options[0]);
    }

    // What one extraction made is never merged into or kept for another item of the same name.
    const std::string twins =
        this->archive({folderNode("D", {fileNode("a", "1")}), folderNode("D", {fileNode("a", "2")})});
    for (const char* policy : {"-k", "--overwrite"}) {
        TempDir dest;
        const CliRun r = runCli({"extract", policy, "-C", dest.path(), twins});
        EXPECT_EQ(r.m_errLines, Lines{kCouldNotMakeDirectory + "D"s}) << policy;
        EXPECT_EQ(readFileBytes(dest / "D/a"), "1");
    }
}

} // namespace

} // namespace vorpex
