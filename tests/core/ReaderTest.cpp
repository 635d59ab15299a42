#include <gtest/gtest.h>

#include "platform/MessageTexts.h"
#include "tests/core/CoreTestUtil.h"

namespace {

std::vector<std::string> EntryPaths(const CPackFile& pack) {
    std::vector<std::string> out;
    for (const CPackEntry& e : pack.GetEntries())
        out.push_back(e.GetPath() + "\\" + std::string(e.GetName()));
    return out;
}

// Loose files and every folder of the top-level list are kept, the first folder being the root.
TEST(Reader, EverythingInTheTopLevelListIsKeptInArchiveOrder) {
    COpened a(BuildArchive({File("LOOSE.TXT", "x"),
                            Folder("DATA", {File("README.TXT"), Folder("MAPS", {File("M1.MAP")})}),
                            Folder("SECOND", {File("B")}), File("LATE.TXT", "y")}));
    const CPackFile& pack = a.Pack();
    ASSERT_EQ(pack.GetTop().GetChildren().size(), 2u);
    EXPECT_EQ(pack.GetRoot(), pack.GetTop().GetChildren()[0]);
    EXPECT_EQ(EntryPaths(pack),
              (std::vector<std::string>{"\\LOOSE.TXT", "\\DATA\\README.TXT", "\\DATA\\MAPS\\M1.MAP",
                                        "\\SECOND\\B", "\\LATE.TXT"}));
}

TEST(Reader, EmptyFoldersMayShareOneEndRecord) {
    CRawArchive raw;
    raw.Folder(0, "ROOT", 88).End(44).Folder(88, "E1", 176).Folder(132, "E2", 176).End(176);
    COpened a(raw.Str());
    EXPECT_TRUE(a.Pack().GetReport().IsClean());
    EXPECT_EQ(a.Pack().GetRoot()->GetChildren().size(), 2u);
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
    EXPECT_EQ(sink.Texts(), std::vector<std::string>(2, kErrorOpeningFile));
    COpened a(BuildArchive({File("F")}), "a-rather-long-name.dir");
    EXPECT_EQ(a.Pack().GetArchiveName(), "a-rather-long-name.dir");
    for (int twice = 0; twice < 2; ++twice) {
        a.Pack().Close();
        EXPECT_FALSE(a.Pack().IsOpen());
        EXPECT_EQ(a.Pack().GetFd(), -1);
    }
}

} // namespace
