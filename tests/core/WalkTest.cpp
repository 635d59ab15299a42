#include <gtest/gtest.h>

#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/FolderWalk.h"
#include "tests/core/CoreTestUtil.h"

namespace {

const CPackFolder* FindByPath(const CPackFile& pack, const std::string& path) {
    std::vector<const CPackFolder*> stack(pack.GetTop().GetChildren().begin(),
                                          pack.GetTop().GetChildren().end());
    while (!stack.empty()) {
        const CPackFolder* f = stack.back();
        stack.pop_back();
        if (f->GetPath() == path)
            return f;
        stack.insert(stack.end(), f->GetChildren().begin(), f->GetChildren().end());
    }
    return nullptr;
}

struct CWalkFixture : ::testing::Test {
    CNameCodec m_Codec;
    CDestination m_Dest;

    CExtractResult ExtractFolder(COpened& a, const std::string& path,
                                 const char* makeDir = CFolderWalk::kTreeMakeDir) {
        const CPackFolder* folder = FindByPath(a.Pack(), path);
        EXPECT_NE(folder, nullptr) << path;
        CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec, makeDir);
        CSelection selection;
        selection.m_Folders.push_back(folder);
        return walk.Extract(m_Dest.m_nFd, selection);
    }
};

TEST_F(CWalkFixture, FoldersAreTakenByIdentityNotByName) {
    COpened a(BuildArchive(
        {Folder("DATA", {Folder("A", {Folder("X", {File("FROM_A", "a"), Folder("UNDER_A")})}),
                         Folder("B", {Folder("X", {File("FROM_B", "b")})}), Folder("MAPS", {File("M", "1")}),
                         Folder("MAPS2", {File("M2", "2")}), Folder("OLDMAPS", {File("OLD", "3")}),
                         Folder("SOUND", {Folder("MAPS", {File("SM", "4")})}),
                         Folder("SELF", {File("OUTER", "o"), Folder("SELF", {File("INNER", "i")})})})}));
    ExtractFolder(a, "\\DATA\\B\\X");
    EXPECT_EQ(m_Dest.Tree(), (std::vector<std::string>{"X/", "X/FROM_B"}));
    EXPECT_EQ(ReadFileBytes(m_Dest / "X/FROM_B"), "b");

    CDestination maps;
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    walk.ExtractFolder(maps.m_nFd, *FindByPath(a.Pack(), "\\DATA\\MAPS"));
    EXPECT_EQ(maps.Tree(), (std::vector<std::string>{"MAPS/", "MAPS/M"}));

    CDestination self;
    walk.ExtractFolder(self.m_nFd, *FindByPath(a.Pack(), "\\DATA\\SELF"));
    EXPECT_EQ(self.Tree(),
              (std::vector<std::string>{"SELF/", "SELF/OUTER", "SELF/SELF/", "SELF/SELF/INNER"}));
    EXPECT_EQ(a.m_Sink.Count(), 0u);
}

TEST_F(CWalkFixture, FilesComeBeforeSubFoldersInArchiveOrder) {
    // A file and a sub-folder of the same name: the file is written first, so the folder cannot be made.
    COpened a(
        BuildArchive({Folder("D", {Folder("CLASH", {File("IN")}), File("CLASH", "file"), File("Z", "z")})}));
    const auto result = ExtractFolder(a, "\\D");
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not make directory CLASH"});
    EXPECT_EQ(ReadFileBytes(m_Dest / "D/CLASH"), "file");
    EXPECT_EQ(m_Dest.Tree(), (std::vector<std::string>{"D/", "D/CLASH", "D/Z"}));
    EXPECT_EQ(result.m_nMessages, 1u);
    EXPECT_EQ(result.m_nFilesWritten, 2u);
}

TEST_F(CWalkFixture, AnExistingFolderIsSkippedWithEverythingBelow) {
    COpened a(BuildArchive({Folder("D", {File("NEW", "n"), Folder("S", {File("DEEP", "d")})})}));
    ASSERT_EQ(mkdir((m_Dest / "D").c_str(), 0755), 0);
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec, CFolderWalk::kListMakeDir);
    CProgress last;
    walk.SetProgressCallback([&](const CProgress& p) { last = p; });
    CSelection selection;
    selection.m_Folders.push_back(a.Pack().GetRoot());
    walk.Extract(m_Dest.m_nFd, selection);
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Could not create directory D"});
    EXPECT_EQ(last.m_nFilesDone, 2u); // the skipped files count as dealt with
    EXPECT_EQ(last.m_nBytesDone, last.m_nBytesTotal);
    EXPECT_EQ(m_Dest.Tree(), std::vector<std::string>{"D/"});
}

TEST_F(CWalkFixture, WholeArchiveWritesEveryTopLevelFolderAndFile) {
    COpened a(BuildArchive(
        {File("LOOSE", "l"), Folder("ONE", {File("A", "a")}), Folder("TWO", {Folder("EMPTY")})}));
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    std::vector<CProgress> ticks;
    walk.SetProgressCallback([&](const CProgress& p) { ticks.push_back(p); });
    CSelection all;
    all.m_bWholeArchive = true;
    const auto result = walk.Extract(m_Dest.m_nFd, all);
    EXPECT_EQ(m_Dest.Tree(), (std::vector<std::string>{"LOOSE", "ONE/", "ONE/A", "TWO/", "TWO/EMPTY/"}));
    EXPECT_EQ(result.m_nFilesWritten, 2u);
    EXPECT_EQ(result.m_nFoldersMade, 3u);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.back().m_nFilesDone, 2u);
    EXPECT_EQ(ticks.back().m_nFilesTotal, 2u);
    EXPECT_EQ(ticks.back().m_nBytesDone, ticks.back().m_nBytesTotal);
    EXPECT_EQ(ticks.back().m_nBytesTotal, 2u);
}

} // namespace
