#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/FolderWalk.h"
#include "tests/core/CoreTestUtil.h"

namespace {

struct CWalkFixture : ::testing::Test {
    CNameCodec m_Codec;
    CDestination m_Dest;
};

// Two folders X, one folder MAPS beside MAPS2 and OLDMAPS, a folder SELF holding SELF: only the one chosen.
TEST_F(CWalkFixture, FoldersAreTakenByIdentityNotByName) {
    COpened a(BuildArchive(
        {Folder("DATA", {Folder("A", {Folder("X", {File("FROM_A", "a")})}),
                         Folder("B", {Folder("X", {File("FROM_B", "b")})}), Folder("MAPS", {File("M", "1")}),
                         Folder("MAPS2", {File("M2", "2")}),
                         Folder("SELF", {File("OUTER", "o"), Folder("SELF", {File("INNER", "i")})})})}));
    const auto& data = a.Pack().GetRoot()->GetChildren();
    using V = std::vector<std::string>;
    for (const auto& [folder, tree] :
         {std::pair<const CPackFolder*, V>{data[1]->GetChildren()[0], {"X/", "X/FROM_B=b"}},
          {data[2], {"MAPS/", "MAPS/M=1"}},
          {data[4], {"SELF/", "SELF/OUTER=o", "SELF/SELF/", "SELF/SELF/INNER=i"}}}) {
        CDestination dest;
        CFolderWalk(a.Pack(), a.m_Sink, m_Codec).ExtractFolder(dest.m_nFd, *folder);
        EXPECT_EQ(dest.Tree(), tree) << folder->GetPath();
    }
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

TEST_F(CWalkFixture, AnExistingFolderIsSkippedWithEverythingBelow) {
    COpened a(BuildArchive({Folder("D", {File("NEW", "n"), Folder("S", {File("DEEP", "d")})})}));
    ASSERT_EQ(mkdir((m_Dest / "D").c_str(), 0755), 0);
    CSelection selection;
    selection.m_Folders.push_back(a.Pack().GetRoot());
    CFolderWalk(a.Pack(), a.m_Sink, m_Codec, CFolderWalk::kListMakeDir).Extract(m_Dest.m_nFd, selection);
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{kCouldNotCreateDirectory + std::string("D")});
    EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>{"D/"});
}

// Files come before sub-folders whatever the records' order: a file and a sub-folder of the same name, the
// file written first, so the folder cannot be made and what it holds is skipped. Then the counts and the
// progress, which ends full.
TEST_F(CWalkFixture, WholeArchiveWritesFilesFirstCountsWhatItMakesAndEndsWithFullProgress) {
    COpened a(
        BuildArchive({File("LOOSE", "l"), Folder("D", {Folder("CLASH", {File("IN")}), File("CLASH", "file")}),
                      Folder("TWO", {Folder("EMPTY")})}));
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    CProgress last;
    walk.SetProgressCallback([&](const CProgress& p) { last = p; });
    CSelection all;
    all.m_bWholeArchive = true;
    const auto result = walk.Extract(m_Dest.m_nFd, all);
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{kCouldNotMakeDirectory + std::string("CLASH")});
    EXPECT_EQ(m_Dest.Tree(),
              (std::vector<std::string>{"D/", "D/CLASH=file", "LOOSE=l", "TWO/", "TWO/EMPTY/"}));
    EXPECT_EQ(std::make_tuple(result.m_nFilesWritten, result.m_nFoldersMade, result.m_nMessages),
              std::make_tuple(uint64_t(2), uint64_t(3), 1u));
    EXPECT_EQ(std::make_tuple(last.m_nFilesDone, last.m_nFilesTotal, last.m_nBytesDone, last.m_nBytesTotal),
              std::make_tuple(3ul, 3ul, 5ul, 5ul));
}

// Items from many folders go below their folders' paths: a chosen folder and a file inside it (which comes
// with the folder, once), a loose file, a path that stands on disk already (entered) and one that a file
// blocks (said once, its item counted as dealt with).
TEST_F(CWalkFixture, UnderPathsTakesEachItemOnceBelowItsFolders) {
    COpened a(BuildArchive({File("X", "top"), Folder("A", {File("X", "a"), Folder("S", {File("X", "as")})}),
                            Folder("F", {File("X", "f")})}));
    const CPackFolder& top = a.Pack().GetTop();
    const CPackFolder *fa = top.GetChildren()[0], *ff = top.GetChildren()[1], *s = fa->GetChildren()[0];
    auto file = [&](const CPackFolder* folder) { return &a.Pack().Entry(folder->GetFiles()[0]); };
    CSelection chosen{{s}, {file(ff), file(&top), file(s), file(fa)}, false, true};
    ASSERT_EQ(mkdir((m_Dest / "A").c_str(), 0755), 0);
    WriteFileBytes(m_Dest / "F", "blocker");
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    CProgress last;
    walk.SetProgressCallback([&](const CProgress& p) { last = p; });
    const CExtractResult result = walk.Extract(m_Dest.m_nFd, chosen);
    EXPECT_EQ(m_Dest.Tree(),
              (std::vector<std::string>{"A/", "A/S/", "A/S/X=as", "A/X=a", "F=blocker", "X=top"}));
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{kCouldNotMakeDirectory + std::string("F")});
    EXPECT_EQ(std::make_tuple(result.m_nFilesWritten, result.m_nBytesWritten, last.m_nFilesDone,
                              last.m_nFilesTotal),
              std::make_tuple(3ul, 6ul, 4ul, 4ul));
}

} // namespace
