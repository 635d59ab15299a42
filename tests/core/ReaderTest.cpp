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

TEST(Reader, ReadsTheExampleArchive) {
    COpened a(BuildArchive(ExampleTree()));
    const CPackFile& pack = a.Pack();
    EXPECT_EQ(a.m_Sink.Count(), 0u);
    EXPECT_TRUE(pack.GetReport().IsClean());
    ASSERT_NE(pack.GetRoot(), nullptr);
    EXPECT_EQ(pack.GetRoot()->GetName(), "DATA");
    ASSERT_EQ(pack.GetRoot()->GetChildren().size(), 1u);
    EXPECT_EQ(pack.GetRoot()->GetChildren()[0]->GetPath(), "\\DATA\\MAPS");
    EXPECT_EQ(EntryPaths(pack), (std::vector<std::string>{"\\DATA\\README.TXT", "\\DATA\\MAPS\\M1.MAP"}));
    // Data follows the seven records in the order of the files.
    EXPECT_EQ(pack.GetEntries()[0].GetOffset(), 7u * CArchiveRecord::kSize);
    EXPECT_EQ(pack.GetEntries()[1].GetOffset(), 7u * CArchiveRecord::kSize + 5);
    EXPECT_EQ(pack.GetEntries()[1].GetSize(), 3u);
}

// Nests `levels` folders, each holding one file named after its level.
std::string Nested(unsigned levels) {
    CNode inner = Folder("L" + std::to_string(levels), {File("F" + std::to_string(levels))});
    for (unsigned i = levels - 1; i >= 1; --i)
        inner = Folder("L" + std::to_string(i), {File("F" + std::to_string(i)), inner});
    return BuildArchive({inner});
}

// Eleven levels are cut by the hostile suite's deep chain; ten are read whole and say nothing.
TEST(Reader, TenLevelsAreReadWhole) {
    COpened ten(Nested(10));
    EXPECT_EQ(ten.Pack().GetEntries().size(), 10u);
    EXPECT_EQ(ten.Pack().GetFolderCount(), 10u);
    EXPECT_TRUE(ten.Pack().GetReport().IsClean());
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
    EXPECT_EQ(pack.GetTop().GetFiles().size(), 2u);
    EXPECT_EQ(EntryPaths(pack),
              (std::vector<std::string>{"\\LOOSE.TXT", "\\FIRST\\A", "\\SECOND\\B", "\\LATE.TXT"}));
}

// A list long enough to cross several of the reader's blocks, broken by a sub-folder: every record is
// read once, in order, and the folder's files are its own whichever side of the sub-folder they lie.
TEST(Reader, LongListsAreReadWholeAcrossReadBlocks) {
    std::vector<CNode> big;
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        if (i == 3000) {
            big.push_back(Folder("SUB", {File("S")}));
            expected.push_back("\\BIG\\SUB\\S");
        }
        big.push_back(File("F" + std::to_string(i)));
        expected.push_back("\\BIG\\F" + std::to_string(i));
    }
    expected.push_back("\\LAST");
    COpened a(BuildArchive({Folder("BIG", big), File("LAST")}));
    const CPackFile& pack = a.Pack();
    EXPECT_TRUE(pack.GetReport().IsClean());
    EXPECT_EQ(EntryPaths(pack), expected);
    const CPackFolder& folder = *pack.GetRoot();
    ASSERT_EQ(folder.GetFiles().size(), 5000u);
    for (size_t i = 0; i < 5000; ++i)
        ASSERT_EQ(pack.Entry(folder.GetFiles()[i]).GetName(), "F" + std::to_string(i));
}

TEST(Reader, UnopenableFileOrClosedArchiveLeavesAnEmptyCatalogue) {
    CRecordingSink sink;
    CTempDir dir; // a folder is no archive either
    for (const std::string& path : {std::string("/nonexistent/vorpex/ARCHIVE.DIR"), dir.Path()}) {
        CPackFile pack(path, sink);
        EXPECT_FALSE(pack.IsOpen());
        EXPECT_EQ(pack.GetArchiveName(), "");
        EXPECT_EQ(pack.GetRoot(), nullptr);
    }
    EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, "Error opening file."));
    COpened a(BuildArchive(ExampleTree()), "a-rather-long-name.dir");
    EXPECT_EQ(a.Pack().GetArchiveName(), "a-rather-long-name.dir");
    for (int twice = 0; twice < 2; ++twice) {
        a.Pack().Close();
        EXPECT_FALSE(a.Pack().IsOpen());
        EXPECT_EQ(a.Pack().GetFd(), -1);
    }
}

} // namespace
