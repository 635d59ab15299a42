#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

#include "catalogue/NameCodec.h"
#include "extract/FolderWalk.h"
#include "tests/core/CoreTestUtil.h"

namespace {

const CPackFolder* FindByPath(const CPackFile& pack, const std::string& path) {
    std::vector<const CPackFolder*> stack(pack.GetTop().m_Children.begin(), pack.GetTop().m_Children.end());
    while (!stack.empty()) {
        const CPackFolder* f = stack.back();
        stack.pop_back();
        if (f->GetPath() == path)
            return f;
        stack.insert(stack.end(), f->m_Children.begin(), f->m_Children.end());
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

TEST_F(CWalkFixture, CancelStopsBetweenFilesKeepingWhatWasCompleted) {
    std::vector<CNode> files;
    for (int i = 0; i < 10; ++i)
        files.push_back(File("F" + std::to_string(i), std::string(1000, char('0' + i))));
    COpened a(BuildArchive({Folder("D", files)}));
    std::atomic<bool> cancel{false};
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    walk.SetCancelFlag(&cancel);
    walk.SetProgressCallback([&](const CProgress& p) {
        if (p.m_nFilesDone == 4)
            cancel = true;
    });
    CSelection sel;
    sel.m_Folders.push_back(a.Pack().GetRoot());
    CDestination dest;
    const auto r = walk.Extract(dest.m_nFd, sel);
    EXPECT_TRUE(r.m_bCancelled);
    EXPECT_EQ(r.m_nFilesWritten, 4u);
    EXPECT_EQ(dest.Tree(), (std::vector<std::string>{"D/", "D/F0", "D/F1", "D/F2", "D/F3"}));
}

// A generated tree, extracted whole, comes back byte for byte.
TEST_F(CWalkFixture, RoundTripOfAGeneratedTree) {
    std::mt19937 rng(12345);
    std::vector<std::string> expected;
    auto make = [&](auto& self, const std::string& path, int depth) -> std::vector<CNode> {
        std::vector<CNode> nodes;
        const int files = int(rng() % 5);
        for (int i = 0; i < files; ++i) {
            std::string data(rng() % 70000, '\0');
            for (char& c : data)
                c = char(rng());
            const std::string name = "FILE" + std::to_string(i) + ".BIN";
            expected.push_back(path + name);
            nodes.push_back(File(name, data));
        }
        if (depth < 4) {
            const int folders = int(rng() % 3);
            for (int i = 0; i < folders; ++i) {
                const std::string name = "DIR" + std::to_string(i);
                expected.push_back(path + name + "/");
                nodes.push_back(Folder(name, self(self, path + name + "/", depth + 1)));
            }
        }
        return nodes;
    };
    expected.push_back("TOP/");
    const std::vector<CNode> tree{Folder("TOP", make(make, "TOP/", 1))};
    COpened a(BuildArchive(tree));
    CFolderWalk walk(a.Pack(), a.m_Sink, m_Codec);
    CSelection all;
    all.m_bWholeArchive = true;
    walk.Extract(m_Dest.m_nFd, all);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(m_Dest.Tree(), expected);
    EXPECT_EQ(a.m_Sink.Count(), 0u);
    // Contents: every entry's bytes, straight from the archive, against the file on disk.
    const std::string bytes = ReadFileBytes(a.m_strPath);
    for (const CPackEntry& e : a.Pack().m_Entries) {
        std::string path = e.GetPath().substr(1);
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(ReadFileBytes(m_Dest / (path + "/" + std::string(e.GetName()))),
                  bytes.substr(e.GetOffset(), e.GetSize()));
    }
}


} // namespace
