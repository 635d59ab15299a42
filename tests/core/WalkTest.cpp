#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/FolderWalk.h"
#include "tests/core/CoreTestUtil.h"

namespace vorpex {

namespace {

struct WalkFixture : ::testing::Test {
    NameCodec m_codec;
    Destination m_dest;
};

// Two folders X, one folder MAPS beside MAPS2 and OLDMAPS, a folder SELF holding SELF: only the one chosen.
TEST_F(WalkFixture, FoldersAreTakenByIdentityNotByName) {
    Opened a(buildArchive({folderNode(
        "DATA",
        {folderNode("A", {folderNode("X", {fileNode("FROM_A", "a")})}),
         folderNode("B", {folderNode("X", {fileNode("FROM_B", "b")})}),
         folderNode("MAPS", {fileNode("M", "1")}), folderNode("MAPS2", {fileNode("M2", "2")}),
         folderNode("SELF", {fileNode("OUTER", "o"), folderNode("SELF", {fileNode("INNER", "i")})})})}));
    const auto& data = a.pack().root()->children();
    using V = std::vector<std::string>;
    for (const auto& [folder, tree] :
         {std::pair<const PackFolder*, V>{data[1]->children()[0], {"X/", "X/FROM_B=b"}},
          {data[2], {"MAPS/", "MAPS/M=1"}},
          {data[4], {"SELF/", "SELF/OUTER=o", "SELF/SELF/", "SELF/SELF/INNER=i"}}}) {
        Destination dest;
        FolderWalk(a.pack(), a.m_sink, m_codec).extractFolder(dest.m_fd, *folder);
        EXPECT_EQ(dest.tree(), tree) << folder->path();
    }
    EXPECT_EQ(a.m_sink.count(), 0u);
}

TEST_F(WalkFixture, AnExistingFolderIsSkippedWithEverythingBelow) {
    Opened a(
        buildArchive({folderNode("D", {fileNode("NEW", "n"), folderNode("S", {fileNode("DEEP", "d")})})}));
    ASSERT_EQ(mkdir((m_dest / "D").c_str(), 0755), 0);
    Selection selection;
    selection.m_folders.push_back(a.pack().root());
    FolderWalk(a.pack(), a.m_sink, m_codec, FolderWalk::kListMakeDir).extract(m_dest.m_fd, selection);
    EXPECT_EQ(a.m_sink.texts(), std::vector<std::string>{kCouldNotCreateDirectory + std::string("D")});
    EXPECT_EQ(m_dest.tree(), std::vector<std::string>{"D/"});
}

// Files come before sub-folders whatever the records' order: a file and a sub-folder of the same name, the
// file written first, so the folder cannot be made and what it holds is skipped. Then the counts and the
// progress, which ends full.
TEST_F(WalkFixture, WholeArchiveWritesFilesFirstCountsWhatItMakesAndEndsWithFullProgress) {
    Opened a(
        buildArchive({fileNode("LOOSE", "l"),
                      folderNode("D", {folderNode("CLASH", {fileNode("IN")}), fileNode("CLASH", "file")}),
                      folderNode("TWO", {folderNode("EMPTY")})}));
    FolderWalk walk(a.pack(), a.m_sink, m_codec);
    Progress last;
    walk.setProgressCallback([&](const Progress& p) { last = p; });
    Selection all;
    all.m_wholeArchive = true;
    const auto result = walk.extract(m_dest.m_fd, all);
    EXPECT_EQ(a.m_sink.texts(), std::vector<std::string>{kCouldNotMakeDirectory + std::string("CLASH")});
    EXPECT_EQ(m_dest.tree(),
              (std::vector<std::string>{"D/", "D/CLASH=file", "LOOSE=l", "TWO/", "TWO/EMPTY/"}));
    EXPECT_EQ(std::make_tuple(result.m_filesWritten, result.m_foldersMade, result.m_messageCount),
              std::make_tuple(uint64_t(2), uint64_t(3), 1u));
    EXPECT_EQ(std::make_tuple(last.m_filesDone, last.m_filesTotal, last.m_bytesDone, last.m_bytesTotal),
              std::make_tuple(3ul, 3ul, 5ul, 5ul));
}

// Items from many folders go below their folders' paths: a chosen folder and a file inside it (which comes
// with the folder, once), a loose file, a path that stands on disk already (entered) and one that a file
// blocks (said once, its item counted as dealt with).
TEST_F(WalkFixture, UnderPathsTakesEachItemOnceBelowItsFolders) {
    Opened a(buildArchive({fileNode("X", "top"),
                           folderNode("A", {fileNode("X", "a"), folderNode("S", {fileNode("X", "as")})}),
                           folderNode("F", {fileNode("X", "f")})}));
    const PackFolder& top = a.pack().top();
    const PackFolder *fa = top.children()[0], *ff = top.children()[1], *s = fa->children()[0];
    auto file = [&](const PackFolder* folder) { return &a.pack().entry(folder->files()[0]); };
    Selection chosen{{s}, {file(ff), file(&top), file(s), file(fa)}, false, true};
    ASSERT_EQ(mkdir((m_dest / "A").c_str(), 0755), 0);
    writeFileBytes(m_dest / "F", "blocker");
    FolderWalk walk(a.pack(), a.m_sink, m_codec);
    Progress last;
    walk.setProgressCallback([&](const Progress& p) { last = p; });
    const ExtractResult result = walk.extract(m_dest.m_fd, chosen);
    EXPECT_EQ(m_dest.tree(),
              (std::vector<std::string>{"A/", "A/S/", "A/S/X=as", "A/X=a", "F=blocker", "X=top"}));
    EXPECT_EQ(a.m_sink.texts(), std::vector<std::string>{kCouldNotMakeDirectory + std::string("F")});
    EXPECT_EQ(
        std::make_tuple(result.m_filesWritten, result.m_bytesWritten, last.m_filesDone, last.m_filesTotal),
        std::make_tuple(3ul, 6ul, 4ul, 4ul));
}

} // namespace

} // namespace vorpex
