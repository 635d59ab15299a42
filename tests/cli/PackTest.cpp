#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

using namespace std::string_literals;

namespace {

using Lines = std::vector<std::string>;

class PackTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_game);
        std::filesystem::create_directories(m_dir / "out");
    }
    TempDir m_dir;
    const std::string m_game = m_dir / "Game";
    const std::string m_archive = m_dir / "out/game.dir";
};

TEST_F(PackTest, RoundTripIsByteForByteAndReproducible) {
    // Binary and empty files, an empty folder, a non-ASCII name, a name of exactly 32 bytes, names whose
    // byte order differs from their alphabetical order, and folders nested exactly 10 deep.
    std::string binary(300000, '\0'), deep = "Game/Maps", n32(32, 'n');
    for (size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7919 % 251);
    std::filesystem::create_directories(m_game + "/Maps/3/4/5/6/7/8/9/10");
    for (const char* folder : {"/Empty", "/a"})
        std::filesystem::create_directories(m_game + folder);
    for (const char* name : {"b.txt", "caf\xc3\xa9.txt", "Maps/m1"})
        writeFileBytes(m_game + "/" + name, name); // distinct contents
    writeFileBytes(m_game + "/A.BIN", binary);
    writeFileBytes(m_game + "/" + n32, "");
    Lines expected = {"Game/",       "Game/A.BIN",  "Game/b.txt", "Game/caf\xc3\xa9.txt",
                      "Game/" + n32, "Game/Empty/", "Game/Maps/", "Game/Maps/m1"};
    for (int level = 3; level <= 10; ++level)
        expected.push_back((deep += "/" + std::to_string(level)) + "/");
    expected.push_back("Game/a/");

    const CliRun p = runCli({"pack", m_game, m_archive});
    EXPECT_EQ(p.m_status, 0);
    EXPECT_EQ(p.m_errLines, Lines{});
    EXPECT_EQ(listTree(m_dir / "out"), Lines{"game.dir"});
    EXPECT_EQ(runCli({"list", m_archive}).m_outLines, expected);
    // A file of a block or more starts on a block boundary (the layout's own test has the rest).
    std::istringstream big(runCli({"list", "--long", m_archive}).m_outLines.at(1));
    uint64_t size = 0, offset = 0;
    EXPECT_TRUE(big >> size >> offset);
    EXPECT_EQ(size, binary.size());
    EXPECT_EQ(offset % 4096, 0u);
    // Names are stored in the code page: é is E9 in Windows-1252, 82 in CP437.
    EXPECT_NE(readFileBytes(m_archive).find(std::string("caf\xe9.txt\0", 9)), std::string::npos);
    EXPECT_EQ(runCli({"pack", "--encoding", "CP437", m_game, m_dir / "437.dir"}).m_status, 0);
    EXPECT_NE(readFileBytes(m_dir / "437.dir").find(std::string("caf\x82.txt\0", 9)), std::string::npos);

    TempDir back;
    EXPECT_EQ(runCli({"extract", "-C", back.path(), m_archive}).m_status, 0);
    EXPECT_EQ(snapshot(back / "Game"), snapshot(m_game));
    EXPECT_EQ(runCli({"pack", m_game + "/", m_dir / "again.dir"}).m_status, 0);
    EXPECT_EQ(readFileBytes(m_dir / "again.dir"), readFileBytes(m_archive));

    // An archive written inside the folder is not packed into its next version.
    const std::string inside = m_game + "/self.dir";
    ASSERT_EQ(runCli({"pack", m_game, inside}).m_status, 0);
    EXPECT_EQ(runCli({"pack", m_game, inside}).m_status, 0);
    EXPECT_EQ(runCli({"list", inside}).m_outLines, expected);
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
        TempDir area;
        std::filesystem::create_directories(area / "out");
        writeFileBytes(area / "out/game.dir", "old archive");
        for (const std::string& file : files) {
            std::filesystem::create_directories(std::filesystem::path(area / ("Game/" + file)).parent_path());
            writeFileBytes(area / ("Game/" + file), "");
            ASSERT_EQ(::truncate((area / ("Game/" + file)).c_str(), size), 0);
        }
        const CliRun r = runCli({"pack", area / "Game", area / "out/game.dir"});
        EXPECT_EQ(r.m_status, 1) << message;
        EXPECT_EQ(r.m_errLines, (Lines{message + area / "Game/" + culprit, kNoArchiveWritten}));
        EXPECT_EQ(snapshot(area / "out"), Lines{"game.dir=old archive"});
    }
}

TEST_F(PackTest, LinksAndSpecialFilesAreSkippedWithAMessageEvenWithOutputsClosed) {
    writeFileBytes(m_game + "/real", "r");
    ASSERT_EQ(::symlink("real", (m_game + "/link").c_str()), 0);
    ASSERT_EQ(::symlink("/", (m_game + "/rootlink").c_str()), 0);
    ASSERT_EQ(::mkfifo((m_game + "/fifo").c_str(), 0644), 0);
    const CliRun r = runCli({"pack", m_game, m_archive});
    EXPECT_EQ(r.m_status, 1);
    Lines err = r.m_errLines;
    std::sort(err.begin(), err.end());
    EXPECT_EQ(err, (Lines{kSkippedSpecialFile + m_game + "/fifo", kSkippedSymbolicLink + m_game + "/link",
                          kSkippedSymbolicLink + m_game + "/rootlink"}));
    EXPECT_EQ(runCli({"list", m_archive}).m_outLines, (Lines{"Game/", "Game/real"}));

    // With standard output and error closed, the archive's file would take descriptor 1 or 2 and receive
    // those messages: packed so, over an old archive, it must be the same archive.
    const std::string closed = m_dir / "out/closed.dir";
    writeFileBytes(closed, "the user's old archive\n");
    const auto closeOutputs = [] {
        close(1);
        close(2);
    };
    EXPECT_EQ(runCli({"pack", m_game, closed}, {.m_inChild = closeOutputs}).m_status, 1);
    EXPECT_EQ(readFileBytes(closed), readFileBytes(m_archive));
}

TEST_F(PackTest, SkipUnfitPacksTheRestAndCapsTheNamesItPrints) {
    writeFileBytes(m_game + "/ok", "k");
    for (int i = 0; i < 22; ++i)
        writeFileBytes(m_game + "/" + std::string(33, 'n') + std::to_string(i), "");
    for (const Lines& options :
         {Lines{"pack"}, Lines{"pack", "--skip-unfit"}, Lines{"pack", "--skip-unfit", "-v"}}) {
        std::filesystem::remove(m_archive);
        Lines args = options;
        args.insert(args.end(), {m_game, m_archive});
        const CliRun r = runCli(args);
        const bool packed = options.size() > 1, verbose = options.size() > 2;
        EXPECT_EQ(r.m_status, 1);
        EXPECT_EQ(std::count_if(r.m_errLines.begin(), r.m_errLines.end(),
                                [&](const std::string& l) {
                                    return l.rfind(kNameTooLong + "32 bytes: "s + m_game, 0) == 0;
                                }),
                  verbose ? 22 : 20);
        EXPECT_EQ(r.m_errLines.at(verbose ? 21 : 20),
                  verbose ? r.m_errLines.back()
                          : withCount(packed ? kMoreNamesLeftOut : kMoreNamesRefused, 2));
        EXPECT_EQ(runCli({"list", m_archive}).m_outLines, packed ? Lines({"Game/", "Game/ok"}) : Lines());
    }
}

TEST_F(PackTest, OnlyAWritableRegularFileIsReplacedAndKeepsItsPermissions) {
    writeFileBytes(m_game + "/f", "data");
    const std::string dir = m_dir / "out", readOnly = dir + "/ro.dir", link = dir + "/link.dir",
                      fifo = dir + "/fifo.dir", kept = dir + "/kept.dir";
    writeFileBytes(readOnly, "old");
    writeFileBytes(kept, "old");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444) + ::chmod(kept.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("kept.dir", link.c_str()) + ::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& archive : {readOnly, link, fifo, dir, std::string()}) {
        const CliRun r = runCli({"pack", m_game, archive});
        EXPECT_EQ(r.m_status, 2) << archive;
        EXPECT_EQ(r.m_errLines, Lines{kCouldNotCreateFile + archive});
    }
    EXPECT_EQ(snapshot(dir), (Lines{"fifo.dir", "kept.dir=old", "link.dir", "ro.dir=old"}));

    EXPECT_EQ(runCli({"pack", m_game, kept}).m_status, 0);
    EXPECT_EQ(std::filesystem::status(kept).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(runCli({"pack", m_game, m_dir / "missing/a.dir"}).m_status, 2);
}

} // namespace

} // namespace vorpex
