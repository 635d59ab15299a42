#include <algorithm>
#include <gtest/gtest.h>

#include "catalogue/ArchiveRecord.h"
#include "tests/core/CoreTestUtil.h"

namespace {

std::vector<std::string> EntryPaths(const CPackFile& pack) {
    std::vector<std::string> out;
    for (const CPackEntry& e : pack.GetEntries())
        out.push_back(e.GetPath() + "\\" + std::string(e.GetName()));
    return out;
}

TEST(Reader, ReadsTheExampleArchiveLikeItsTrace) {
    const std::string bytes = BuildArchive(ExampleTree());
    COpened a(bytes);
    CPackFile& pack = a.Pack();
    EXPECT_TRUE(pack.IsOpen());
    EXPECT_EQ(a.m_Sink.Count(), 0u);
    EXPECT_TRUE(pack.GetReport().IsClean());
    ASSERT_NE(pack.GetRoot(), nullptr);
    EXPECT_EQ(pack.GetRoot()->GetName(), "DATA");
    ASSERT_EQ(pack.GetRoot()->GetChildren().size(), 1u);
    const CPackFolder* maps = pack.GetRoot()->GetChildren()[0];
    EXPECT_EQ(maps->GetName(), "MAPS");
    EXPECT_EQ(maps->GetParent(), pack.GetRoot());
    EXPECT_EQ(maps->GetPath(), "\\DATA\\MAPS");

    ASSERT_EQ(pack.GetEntries().size(), 2u);
    const CPackEntry& readme = pack.GetEntries()[0];
    EXPECT_EQ(readme.GetName(), "README.TXT");
    EXPECT_EQ(readme.GetPath(), "\\DATA");
    EXPECT_EQ(readme.GetSize(), 5u);
    EXPECT_EQ(readme.GetOffset(), 308u);
    const CPackEntry& m1 = pack.GetEntries()[1];
    EXPECT_EQ(m1.GetPath(), "\\DATA\\MAPS");
    EXPECT_EQ(m1.GetOffset(), 313u);
    // Each folder links its own files, and each file its folder.
    EXPECT_TRUE(std::ranges::equal(pack.GetRoot()->GetFiles(), std::vector<uint32_t>{0}));
    EXPECT_TRUE(std::ranges::equal(maps->GetFiles(), std::vector<uint32_t>{1}));
    EXPECT_EQ(m1.GetFolder(), maps);
}

TEST(Reader, MissingTopEndRecordReadsTheSame) {
    // Two files whose data is the name bytes of the first record: the top-level list ends with the file.
    CRawArchive without;
    without.File(0, "A.TXT", 5, 0).File(44, "B.TXT", 2, 1);
    CRawArchive with = without;
    with.End(88);
    COpened a(with.Str());
    COpened b(without.Str());
    EXPECT_EQ(EntryPaths(a.Pack()), (std::vector<std::string>{"\\A.TXT", "\\B.TXT"}));
    EXPECT_EQ(EntryPaths(a.Pack()), EntryPaths(b.Pack()));
    EXPECT_TRUE(b.Pack().GetReport().IsClean());
}

TEST(Reader, UnknownRecordsAreSkippedCountedAndShownOnce) {
    CRawArchive raw;
    raw.Folder(0, "D", 88).End(44);
    raw.File(88, "ONE", 0, 0).Record(132, "??", 7, 0, 0).Record(176, "??", 2, 0, 0).Folder(220, "SUB", 352);
    raw.File(264, "TWO", 0, 0).End(308).End(352);
    COpened a(raw.Str());
    EXPECT_EQ(a.m_Sink.Texts(), std::vector<std::string>{"Unknown file type encountered."});
    EXPECT_EQ(a.Pack().GetReport().m_nUnknownRecords, 2u);
    EXPECT_EQ(EntryPaths(a.Pack()), (std::vector<std::string>{"\\D\\ONE", "\\D\\TWO"}));
    ASSERT_EQ(a.Pack().GetRoot()->GetChildren().size(), 1u);
    EXPECT_EQ(a.Pack().GetRoot()->GetChildren()[0]->GetName(), "SUB");
}

// Nests `levels` folders, each holding one file named after its level.
std::string Nested(unsigned levels) {
    CNode inner = Folder("L" + std::to_string(levels), {File("F" + std::to_string(levels))});
    for (unsigned i = levels - 1; i >= 1; --i)
        inner = Folder("L" + std::to_string(i), {File("F" + std::to_string(i)), inner});
    return BuildArchive({inner});
}

TEST(Reader, TenLevelsAreReadAndTheEleventhEndsTheReading) {
    COpened ten(Nested(10));
    EXPECT_EQ(ten.Pack().GetEntries().size(), 10u);
    EXPECT_EQ(ten.Pack().GetFolderCount(), 10u);
    EXPECT_FALSE(ten.Pack().GetReport().m_bNestingLimit);

    COpened eleven(Nested(11));
    EXPECT_TRUE(eleven.Pack().GetReport().m_bNestingLimit);
    EXPECT_EQ(eleven.Pack().GetFolderCount(), 10u);
    EXPECT_EQ(eleven.Pack().GetEntries().size(), 10u); // F1..F10: F11 lies below the limit
    EXPECT_EQ(eleven.m_Sink.Count(), 0u);
}

TEST(Reader, ListsSharedByManyFoldersAreReadOnce) {
    // A thousand folders sharing one list of a thousand files: read once, not a million times.
    CRawArchive shared;
    const uint32_t listPos = 1001 * 44;
    for (uint32_t i = 0; i < 1000; ++i)
        shared.Folder(i * 44, "F" + std::to_string(i), listPos)
            .File(listPos + i * 44, "E" + std::to_string(i), 0, 0);
    shared.End(1000 * 44).End(listPos + 1000 * 44);
    COpened c(shared.Str());
    EXPECT_EQ(c.Pack().GetFolderCount(), 1000u);
    EXPECT_EQ(c.Pack().GetEntries().size(), 1000u);
    EXPECT_EQ(c.Pack().GetReport().m_nRepeated, 999u);
}

TEST(Reader, EmptyFoldersMayShareOneEndRecord) {
    CRawArchive raw;
    raw.Folder(0, "ROOT", 88).End(44).Folder(88, "E1", 176).Folder(132, "E2", 176).End(176);
    COpened a(raw.Str());
    EXPECT_TRUE(a.Pack().GetReport().IsClean());
    EXPECT_EQ(a.Pack().GetRoot()->GetChildren().size(), 2u);
}

TEST(Reader, EverythingInTheTopLevelListIsKept) {
    COpened a(BuildArchive({File("LOOSE.TXT", "x"), Folder("FIRST", {File("A")}),
                            Folder("SECOND", {File("B")}), File("LATE.TXT", "y")}));
    const CPackFile& pack = a.Pack();
    ASSERT_EQ(pack.GetTop().GetChildren().size(), 2u);
    EXPECT_EQ(pack.GetRoot(), pack.GetTop().GetChildren()[0]);
    EXPECT_EQ(pack.GetTop().GetChildren()[1]->GetName(), "SECOND");
    EXPECT_EQ(pack.GetTop().GetChildren()[1]->GetRow(), 1u);
    EXPECT_EQ(pack.GetTop().GetFiles().size(), 2u);
    EXPECT_EQ(EntryPaths(pack),
              (std::vector<std::string>{"\\LOOSE.TXT", "\\FIRST\\A", "\\SECOND\\B", "\\LATE.TXT"}));
    EXPECT_EQ(pack.GetEntries()[0].GetPath(), "");
}

TEST(Reader, UnopenableFileLeavesAnEmptyCatalogue) {
    CRecordingSink sink;
    CPackFile pack("/nonexistent/vorpex/ARCHIVE.DIR", sink);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Error opening file."});
    EXPECT_FALSE(pack.IsOpen());
    EXPECT_TRUE(pack.GetArchivePath().empty());
    EXPECT_EQ(pack.GetRoot(), nullptr);
    CTempDir dir; // a folder is no archive either
    CPackFile folder(dir.Path(), sink);
    EXPECT_FALSE(folder.IsOpen());
}

TEST(Reader, ArchiveNameAndClose) {
    COpened a(BuildArchive(ExampleTree()), "a-rather-long-name.dir");
    EXPECT_EQ(a.Pack().GetArchiveName(), "a-rather-long-name.dir");
    a.Pack().Close();
    EXPECT_FALSE(a.Pack().IsOpen());
    EXPECT_EQ(a.Pack().GetFd(), -1);
    a.Pack().Close();
    EXPECT_FALSE(a.Pack().IsOpen());
    CRecordingSink sink;
    CPackFile bad("C:\\GAMES\\DATA.DIR", sink);
    EXPECT_EQ(bad.GetArchiveName(), ""); // not opened: the path was emptied
}

} // namespace
