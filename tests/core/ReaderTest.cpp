#include <gtest/gtest.h>

#include "platform/MessageTexts.h"
#include "tests/core/CoreTestUtil.h"

namespace vorpex {

namespace {

std::vector<std::string> entryPaths(const PackFile& pack) {
    std::vector<std::string> out;
    for (const PackEntry& e : pack.entries())
        out.push_back(e.path() + "\\" + std::string(e.name()));
    return out;
}

// Loose files and every folder of the top-level list are kept, the first folder being the root.
TEST(Reader, EverythingInTheTopLevelListIsKeptInArchiveOrder) {
    Opened a(
        buildArchive({fileNode("LOOSE.TXT", "x"),
                      folderNode("DATA", {fileNode("README.TXT"), folderNode("MAPS", {fileNode("M1.MAP")})}),
                      folderNode("SECOND", {fileNode("B")}), fileNode("LATE.TXT", "y")}));
    const PackFile& pack = a.pack();
    ASSERT_EQ(pack.top().children().size(), 2u);
    EXPECT_EQ(pack.root(), pack.top().children()[0]);
    EXPECT_EQ(entryPaths(pack),
              (std::vector<std::string>{"\\LOOSE.TXT", "\\DATA\\README.TXT", "\\DATA\\MAPS\\M1.MAP",
                                        "\\SECOND\\B", "\\LATE.TXT"}));
}

TEST(Reader, EmptyFoldersMayShareOneEndRecord) {
    RawArchive raw;
    raw.folder(0, "ROOT", 88).end(44).folder(88, "E1", 176).folder(132, "E2", 176).end(176);
    Opened a(raw.str());
    EXPECT_TRUE(a.pack().report().isClean());
    EXPECT_EQ(a.pack().root()->children().size(), 2u);
}

// A list long enough to cross several of the reader's blocks, broken by a sub-folder: every record is
// read once, in order, and the folder's files are its own whichever side of the sub-folder they lie.
TEST(Reader, LongListsAreReadWholeAcrossReadBlocks) {
    std::vector<Node> big;
    std::vector<std::string> expected;
    for (int i = 0; i < 5000; ++i) {
        if (i == 3000) {
            big.push_back(folderNode("SUB", {fileNode("S")}));
            expected.push_back("\\BIG\\SUB\\S");
        }
        big.push_back(fileNode("F" + std::to_string(i)));
        expected.push_back("\\BIG\\F" + std::to_string(i));
    }
    expected.push_back("\\LAST");
    Opened a(buildArchive({folderNode("BIG", big), fileNode("LAST")}));
    const PackFile& pack = a.pack();
    EXPECT_TRUE(pack.report().isClean());
    EXPECT_EQ(entryPaths(pack), expected);
    const PackFolder& folder = *pack.root();
    ASSERT_EQ(folder.files().size(), 5000u);
    for (size_t i = 0; i < 5000; ++i)
        ASSERT_EQ(pack.entry(folder.files()[i]).name(), "F" + std::to_string(i));
}

TEST(Reader, UnopenableFileOrClosedArchiveLeavesAnEmptyCatalogue) {
    RecordingSink sink;
    TempDir dir; // a folder is no archive either
    for (const std::string& path : {std::string("/nonexistent/vorpex/ARCHIVE.DIR"), dir.path()}) {
        PackFile pack(path, sink);
        EXPECT_FALSE(pack.isOpen());
        EXPECT_EQ(pack.archiveName(), "");
        EXPECT_EQ(pack.root(), nullptr);
    }
    EXPECT_EQ(sink.texts(), std::vector<std::string>(2, kErrorOpeningFile));
    Opened a(buildArchive({fileNode("F")}), "a-rather-long-name.dir");
    EXPECT_EQ(a.pack().archiveName(), "a-rather-long-name.dir");
    for (int twice = 0; twice < 2; ++twice) {
        a.pack().close();
        EXPECT_FALSE(a.pack().isOpen());
        EXPECT_EQ(a.pack().fd(), -1);
    }
}

} // namespace

} // namespace vorpex
