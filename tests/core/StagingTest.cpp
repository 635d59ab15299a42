// Reading an entry's first bytes for a preview, and the private staging folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

#include "catalogue/EntryPeek.h"
#include "catalogue/NameCodec.h"
#include "extract/FolderWalk.h"
#include "extract/StagingArea.h"
#include "platform/FileDescriptor.h"
#include "tests/core/CoreTestUtil.h"

namespace {

// Empty, shorter than the limit, exactly it, one byte more, past the default limit.
TEST(EntryPeek, ReadsTheFirstBytesAndSaysWhenCut) {
    for (const auto& [size, max] : std::vector<std::pair<uint32_t, size_t>>{
             {0, 16}, {15, 16}, {16, 16}, {17, 16}, {CEntryPeek::kMaxBytes + 1, CEntryPeek::kMaxBytes}}) {
        std::string data(size, '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7 + 3);
        COpened opened(BuildArchive({File("A.BIN", data), File("B.TXT", "after")}));
        const CEntryPeek peek = CEntryPeek::Read(opened.Pack(), opened.Pack().Entry(0), max);
        ASSERT_TRUE(peek.IsRead()) << size;
        EXPECT_EQ(peek.m_strData, data.substr(0, max)) << size;
        EXPECT_EQ(peek.m_bCut, size > max) << size;
    }
}

TEST(EntryPeek, DamagedOrClosedArchiveIsNotReadAndSaysWhy) {
    // Data of 100 bytes at offset 88 of a 132-byte file, and a size that wraps 32 bits.
    COpened opened(
        CRawArchive().File(0, "PAST", 100, 88).File(44, "WRAP", 0xFFFFFFFFu, 2).End(88).Size(132).Str());
    for (uint32_t i = 0; i < 2; ++i) {
        const CEntryPeek peek = CEntryPeek::Read(opened.Pack(), opened.Pack().Entry(i));
        EXPECT_EQ(peek.m_eStatus, CEntryPeek::EStatus::PastEnd) << i;
        EXPECT_TRUE(peek.m_strData.empty());
        EXPECT_NE(std::string(peek.Why()).find("beyond the end"), std::string::npos);
    }
    opened.Pack().Close();
    EXPECT_EQ(CEntryPeek::Read(opened.Pack(), opened.Pack().Entry(0)).m_eStatus,
              CEntryPeek::EStatus::NotOpen);
}

// Each test runs in a process of its own: the variables set need no restoring.
class CStagingTest : public ::testing::Test {
protected:
    CTempDir m_Runtime, m_Cache, m_Outside;
};

TEST_F(CStagingTest, PrivateFolderUnderRuntimeElseCacheRemovedWithEverythingButLinkTargets) {
    setenv("XDG_CACHE_HOME", m_Cache.Path().c_str(), 1);
    for (const bool bRuntime : {true, false}) {
        bRuntime ? setenv("XDG_RUNTIME_DIR", m_Runtime.Path().c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
        const std::string base = bRuntime ? m_Runtime.Path() : m_Cache.Path();
        const std::string keep = m_Outside / (bRuntime ? "keep1" : "keep2");
        WriteFileBytes(keep, "sentinel");
        std::string path;
        {
            CStagingArea area;
            ASSERT_TRUE(area.IsValid());
            path = area.Path();
            EXPECT_EQ(path.rfind(base + "/", 0), 0u) << path;
            EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0700));

            std::string one, two;
            const int fd1 = area.NewSlot(one), fd2 = area.NewSlot(two);
            ASSERT_TRUE(fd1 >= 0 && fd2 >= 0 && one != two) << one;
            close(fd1);
            close(fd2);
            mkdir((one + "/deep").c_str(), 0500); // a folder the user cannot write to
            WriteFileBytes(two + "/file", "x");
            ASSERT_EQ(symlink(m_Outside.Path().c_str(), (one + "/link").c_str()), 0);
            ASSERT_EQ(symlink(keep.c_str(), (two + "/filelink").c_str()), 0);
        }
        EXPECT_NE(access(path.c_str(), F_OK), 0) << path;
        EXPECT_EQ(ReadFileBytes(keep), "sentinel");
    }
}

TEST_F(CStagingTest, MadePathsFollowTheSelectionAndSkipWhatWasNotMade) {
    setenv("XDG_RUNTIME_DIR", m_Runtime.Path().c_str(), 1);
    COpened opened(BuildArchive(
        {Folder("D", {File("Z.TXT", "z"), File("..", "bad"), Folder("SUB")}), File("A\xC9.TXT", "e")}));
    const CPackFile& pack = opened.Pack();
    const CNameCodec codec;
    const CPackFolder* d = pack.GetTop().GetChildren()[0];
    CSelection selection;
    selection.m_Folders = {d->GetChildren()[0]};
    selection.m_Files = {&pack.Entry(d->GetFiles()[0]), &pack.Entry(d->GetFiles()[1]),
                         &pack.Entry(pack.GetTop().GetFiles()[0])};

    CStagingArea area;
    CRecordingSink sink;
    // What the walk made in a fresh slot for `s`, as MadePaths gives it, each with the slot cut off.
    const auto made = [&](const CSelection& s) {
        std::string slot;
        const CFileDescriptor fd(area.NewSlot(slot));
        EXPECT_TRUE(fd.IsOpen());
        CFolderWalk(pack, sink, codec).Extract(fd.Get(), s);
        std::vector<std::string> paths = CStagingArea::MadePaths(slot, s, codec);
        for (std::string& p : paths)
            p = p.rfind(slot + "/", 0) == 0 ? p.substr(slot.size() + 1) : "outside the slot: " + p;
        return paths;
    };
    EXPECT_EQ(made(selection), (std::vector<std::string>{"SUB", "Z.TXT", "A\xC3\x89.TXT"}));
    CSelection all;
    all.m_bWholeArchive = true;
    EXPECT_EQ(made(all), (std::vector<std::string>{"A\xC3\x89.TXT", "D"}));
}

} // namespace
