#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_strGame);
        std::filesystem::create_directories(m_Dir / "out");
    }
    CTempDir m_Dir;
    const std::string m_strGame = m_Dir / "Game";
    const std::string m_strArchive = m_Dir / "out/game.dir";
};

TEST_F(PackTest, RoundTripIsByteForByteAndReproducible) {
    // Binary and empty files, an empty folder, a non-ASCII name, a name of exactly 32 bytes, names whose
    // byte order differs from their alphabetical order, and folders nested exactly 10 deep.
    std::string binary(300000, '\0'), deep = "Game/Maps", n32(32, 'n');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7919 % 251);
    std::filesystem::create_directories(m_strGame + "/Maps/3/4/5/6/7/8/9/10");
    for (const char* folder : {"/Empty", "/a"})
        std::filesystem::create_directories(m_strGame + folder);
    for (const char* name : {"b.txt", "caf\xc3\xa9.txt", "Maps/m1"})
        WriteFileBytes(m_strGame + "/" + name, name); // distinct contents
    WriteFileBytes(m_strGame + "/A.BIN", binary);
    WriteFileBytes(m_strGame + "/" + n32, "");
    Lines expected = {"Game/",       "Game/A.BIN",  "Game/b.txt", "Game/caf\xc3\xa9.txt",
                      "Game/" + n32, "Game/Empty/", "Game/Maps/", "Game/Maps/m1"};
    for (int level = 3; level <= 10; ++level)
        expected.push_back((deep += "/" + std::to_string(level)) + "/");
    expected.push_back("Game/a/");

    const CCliRun p = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(p.m_nStatus, 0);
    EXPECT_EQ(p.m_ErrLines, Lines{});
    EXPECT_EQ(ListTree(m_Dir / "out"), Lines{"game.dir"});
    EXPECT_EQ(RunCli({"list", m_strArchive}).m_OutLines, expected);
    // A file of a block or more starts on a block boundary (the layout's own test has the rest).
    std::istringstream big(RunCli({"list", "--long", m_strArchive}).m_OutLines.at(1));
    uint64_t size = 0, offset = 0;
    EXPECT_TRUE(big >> size >> offset);
    EXPECT_EQ(size, binary.size());
    EXPECT_EQ(offset % 4096, 0u);
    // Names are stored in the code page: é is E9 in Windows-1252, 82 in CP437.
    EXPECT_NE(ReadFileBytes(m_strArchive).find(std::string("caf\xe9.txt\0", 9)), std::string::npos);
    EXPECT_EQ(RunCli({"pack", "--encoding", "CP437", m_strGame, m_Dir / "437.dir"}).m_nStatus, 0);
    EXPECT_NE(ReadFileBytes(m_Dir / "437.dir").find(std::string("caf\x82.txt\0", 9)), std::string::npos);

    CTempDir back;
    EXPECT_EQ(RunCli({"extract", "-C", back.Path(), m_strArchive}).m_nStatus, 0);
    EXPECT_EQ(Snapshot(back / "Game"), Snapshot(m_strGame));
    EXPECT_EQ(RunCli({"pack", m_strGame + "/", m_Dir / "again.dir"}).m_nStatus, 0);
    EXPECT_EQ(ReadFileBytes(m_Dir / "again.dir"), ReadFileBytes(m_strArchive));

    // An archive written inside the folder is not packed into its next version.
    const std::string inside = m_strGame + "/self.dir";
    ASSERT_EQ(RunCli({"pack", m_strGame, inside}).m_nStatus, 0);
    EXPECT_EQ(RunCli({"pack", m_strGame, inside}).m_nStatus, 0);
    EXPECT_EQ(RunCli({"list", inside}).m_OutLines, expected);
}

TEST(PackRefusalTest, RefusedPackKeepsTheOldArchiveAndLeavesNoTemporary) {
    const std::string deep = "L2/L3/L4/L5/L6/L7/L8/L9/L10/L11", kanji = "\xe6\x97\xa5",
                      past = "Data would lie past 4 GiB, beyond the reach of the archive's offsets: ";
    // The refusal, followed by the culprit's path; the files made below the folder (sparse) and their size.
    for (const auto& [message, culprit, files, size] :
         std::vector<std::tuple<std::string, std::string, Lines, off_t>>{
             {kNameNotEncodable + "WINDOWS-1252: "s, kanji, {kanji}, 1},
             {kFoldersNestTooDeep + "10 levels: "s, deep, {deep + "/f"}, 1},
             {past, "b", {"a", "b", "c"}, off_t(2) << 30}}) {
        CTempDir area;
        std::filesystem::create_directories(area / "out");
        WriteFileBytes(area / "out/game.dir", "old archive");
        for (const std::string& file : files) {
            std::filesystem::create_directories(std::filesystem::path(area / ("Game/" + file)).parent_path());
            WriteFileBytes(area / ("Game/" + file), "");
            ASSERT_EQ(::truncate((area / ("Game/" + file)).c_str(), size), 0);
        }
        const CCliRun r = RunCli({"pack", area / "Game", area / "out/game.dir"});
        EXPECT_EQ(r.m_nStatus, 1) << message;
        EXPECT_EQ(r.m_ErrLines, (Lines{message + area / "Game/" + culprit, kNoArchiveWritten}));
        EXPECT_EQ(Snapshot(area / "out"), Lines{"game.dir=old archive"});
    }
}

TEST_F(PackTest, LinksAndSpecialFilesAreSkippedWithAMessageEvenWithOutputsClosed) {
    WriteFileBytes(m_strGame + "/real", "r");
    ASSERT_EQ(::symlink("real", (m_strGame + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("/", (m_strGame + "/rootlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((m_strGame + "/fifo").c_str(), 0644), 0);
    const CCliRun r = RunCli({"pack", m_strGame, m_strArchive});
    EXPECT_EQ(r.m_nStatus, 1);
    Lines err = r.m_ErrLines;
    std::sort(err.begin(), err.end());
    EXPECT_EQ(err,
              (Lines{kSkippedSpecialFile + m_strGame + "/fifo", kSkippedSymbolicLink + m_strGame + "/link",
                     kSkippedSymbolicLink + m_strGame + "/rootlink"}));
    EXPECT_EQ(RunCli({"list", m_strArchive}).m_OutLines, (Lines{"Game/", "Game/real"}));

    // With standard output and error closed, the archive's file would take descriptor 1 or 2 and receive
    // those messages: packed so, over an old archive, it must be the same archive.
    const std::string closed = m_Dir / "out/closed.dir";
    WriteFileBytes(closed, "the user's old archive\n");
    const auto closeOutputs = [] {
        close(1);
        close(2);
    };
    EXPECT_EQ(RunCli({"pack", m_strGame, closed}, {.m_fnInChild = closeOutputs}).m_nStatus, 1);
    EXPECT_EQ(ReadFileBytes(closed), ReadFileBytes(m_strArchive));
}

TEST_F(PackTest, SkipUnfitPacksTheRestAndCapsTheNamesItPrints) {
    WriteFileBytes(m_strGame + "/ok", "k");
    for (int i = 0; i < 22; ++i)
        WriteFileBytes(m_strGame + "/" + std::string(33, 'n') + std::to_string(i), "");
    for (const Lines& options :
         {Lines{"pack"}, Lines{"pack", "--skip-unfit"}, Lines{"pack", "--skip-unfit", "-v"}}) {
        std::filesystem::remove(m_strArchive);
        Lines args = options;
        args.insert(args.end(), {m_strGame, m_strArchive});
        const CCliRun r = RunCli(args);
        const bool packed = options.size() > 1, verbose = options.size() > 2;
        EXPECT_EQ(r.m_nStatus, 1);
        EXPECT_EQ(std::count_if(r.m_ErrLines.begin(), r.m_ErrLines.end(),
                                [&](const std::string& l) {
                                    return l.rfind(kNameTooLong + "32 bytes: "s + m_strGame, 0) == 0;
                                }),
                  verbose ? 22 : 20);
        EXPECT_EQ(r.m_ErrLines.at(verbose ? 21 : 20),
                  verbose ? r.m_ErrLines.back()
                          : WithCount(packed ? kMoreNamesLeftOut : kMoreNamesRefused, 2));
        EXPECT_EQ(RunCli({"list", m_strArchive}).m_OutLines, packed ? Lines({"Game/", "Game/ok"}) : Lines());
    }
}

TEST_F(PackTest, OnlyAWritableRegularFileIsReplacedAndKeepsItsPermissions) {
    WriteFileBytes(m_strGame + "/f", "data");
    const std::string dir = m_Dir / "out", readOnly = dir + "/ro.dir", link = dir + "/link.dir",
                      fifo = dir + "/fifo.dir", kept = dir + "/kept.dir";
    WriteFileBytes(readOnly, "old");
    WriteFileBytes(kept, "old");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444) + ::chmod(kept.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("kept.dir", link.c_str()) + ::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& archive : {readOnly, link, fifo, dir, std::string()}) {
        const CCliRun r = RunCli({"pack", m_strGame, archive});
        EXPECT_EQ(r.m_nStatus, 2) << archive;
        EXPECT_EQ(r.m_ErrLines, Lines{kCouldNotCreateFile + archive});
    }
    EXPECT_EQ(Snapshot(dir), (Lines{"fifo.dir", "kept.dir=old", "link.dir", "ro.dir=old"}));

    EXPECT_EQ(RunCli({"pack", m_strGame, kept}).m_nStatus, 0);
    EXPECT_EQ(std::filesystem::status(kept).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(RunCli({"pack", m_strGame, m_Dir / "missing/a.dir"}).m_nStatus, 2);
}

} // namespace
