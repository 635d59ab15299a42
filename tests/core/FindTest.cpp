#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/NameFinder.h"
#include "catalogue/NameOrder.h"
#include "tests/core/CoreTestUtil.h"

namespace vorpex {

namespace {

// Each list is in the order a reader expects; every pair must compare that way by key.
TEST(NameOrder, NaturalKeysOrderWithoutCaseAndNumbersAsNumbers) {
    const std::vector<std::vector<std::string>> orders = {
        {"e1m2.map", "E1M10.MAP", "e2m1.map"},
        {"a", "A1", "a01b", "a2", "a10", "b"},
        {"file.txt", "FILE1.TXT", "file9.txt", "file99", "FILE100"},
        {"x0", "x00001", "x2", "x999999999999999999999999"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89 2", "\xD0\xB4\xD0\xB0"}, // été, ÉTÉ 2, да
    };
    for (const auto& names : orders) {
        for (size_t i = 1; i < names.size(); ++i)
            EXPECT_LT(naturalKey(names[i - 1]), naturalKey(names[i])) << names[i - 1] << " / " << names[i];
    }
    EXPECT_EQ(naturalKey("MAP007"), naturalKey("map7"));
    EXPECT_EQ(foldName("\xC3\x89\xC5\xB8\xD0\x96\xEF\xBC\xA1Z"), "\xC3\xA9\xC3\xBF\xD0\xB6\xEF\xBD\x81z");
}

TEST(NameOrder, SortRowsKeepsFoldersFirstAndTiesInArchiveOrder) {
    const NameCodec codec;
    const std::vector<SortRow> rows = {
        {"b10", "", 5, false}, {"B2", "", 700, false}, {"ZDIR", "", 0, true},
        {"a", "", 5, false},   {"ADIR", "", 0, true},  {"c", "", 1 << 20, false},
    };
    using V = std::vector<uint32_t>;
    EXPECT_EQ(sortRows(rows, SortBy::Name, false, codec), (V{4, 2, 3, 1, 0, 5}));
    EXPECT_EQ(sortRows(rows, SortBy::Name, true, codec), (V{2, 4, 5, 0, 1, 3}));
    EXPECT_EQ(sortRows(rows, SortBy::Size, false, codec), (V{4, 2, 3, 0, 1, 5}));
    EXPECT_EQ(sortRows(rows, SortBy::Size, true, codec), (V{2, 4, 5, 1, 0, 3}));
    EXPECT_EQ(sortRows(rows, SortBy::Type, true, codec), (V{2, 4, 0, 1, 3, 5}));
}

TEST(NameFinder, FindsFoldersAndFilesByPartOrWildcards) {
    Opened archive(buildArchive({
        fileNode("TOP.TXT"),
        folderNode("DATA",
                   {fileNode("README.TXT"), fileNode("CAF\xC9.WAV"),
                    folderNode("MAPS", {fileNode("E1M1.MAP"), fileNode("E1M10.MAP"), folderNode("MAPS2")})}),
        folderNode("SOUNDS", {fileNode("DOOR.WAV"), fileNode("readme.txt")}),
    }));
    const NameCodec codec;
    const NameFinder finder(archive.pack(), codec);
    EXPECT_EQ(finder.count(), 4u + 7u);
    auto find = [&](const std::string& pattern) {
        std::vector<FindHit> hits;
        EXPECT_TRUE(finder.find(pattern, hits));
        std::vector<std::string> names;
        for (const FindHit& hit : hits)
            names.push_back(hit.m_folder ? hit.m_folder->path() + "\\"
                                         : hit.m_entry->path() + "|" + std::string(hit.m_entry->name()));
        return names;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(find("readme"), (V{"\\DATA|README.TXT", "\\SOUNDS|readme.txt"}));
    EXPECT_EQ(find("MaP"), (V{"\\DATA\\MAPS\\", "\\DATA\\MAPS\\MAPS2\\", "\\DATA\\MAPS|E1M1.MAP",
                              "\\DATA\\MAPS|E1M10.MAP"}));
    EXPECT_EQ(find("caf\xC3\xA9"), (V{"\\DATA|CAF\xC9.WAV"})); // typed in UTF-8, lower case
    EXPECT_EQ(find("*.wav"), (V{"\\DATA|CAF\xC9.WAV", "\\SOUNDS|DOOR.WAV"}));
    EXPECT_EQ(find("????.?a?"), (V{"\\DATA|CAF\xC9.WAV", "\\DATA\\MAPS|E1M1.MAP", "\\SOUNDS|DOOR.WAV"}));
    EXPECT_EQ(find("*").size(), finder.count());
    EXPECT_TRUE(find("").empty());
    EXPECT_TRUE(find("xyz").empty());

    std::vector<FindHit> hits;
    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(finder.find("*", hits, &cancelled));
}

TEST(NameFinder, WildcardsMatchWholeNames) {
    using Case = std::tuple<const char*, const char*, bool>; // a pattern, a name, whether they match
    const Case cases[] = {
        {"a*b*c", "axxbyyc", true}, {"a*b*c", "axxbyycd", false}, {"*a", "banana", true},
        {"?", "\xC3\xA9", true},    {"??", "\xC3\xA9", false},    {"*?*", "", false},
        {"a**", "a", true},         {"*ab", "aab", true},         {"a?c*", "abcabc", true},
    };
    for (const auto& [pattern, name, match] : cases)
        EXPECT_EQ(NameFinder::matchWildcards(pattern, name), match) << pattern << " " << name;
}

} // namespace

} // namespace vorpex
