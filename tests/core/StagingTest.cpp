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

            const CStagingArea::CSlot slot1 = area.NewSlot(), slot2 = area.NewSlot();
            const std::string one = slot1.m_strPath, two = slot2.m_strPath;
            ASSERT_TRUE(slot1.m_Fd.IsOpen() && slot2.m_Fd.IsOpen() && one != two) << one;
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
        const CStagingArea::CSlot slot = area.NewSlot();
        EXPECT_TRUE(slot.m_Fd.IsOpen());
        CFolderWalk(pack, sink, codec).Extract(slot.m_Fd.Get(), s);
        std::vector<std::string> paths;
        for (const CStagingArea::CMade& m : CStagingArea::MadePaths(slot, s, codec))
            paths.push_back(m.m_strPath.rfind(slot.m_strPath + "/", 0) == 0
                                ? m.m_strPath.substr(slot.m_strPath.size() + 1)
                                : "outside the slot: " + m.m_strPath);
        return paths;
    };
    EXPECT_EQ(made(selection), (std::vector<std::string>{"SUB", "Z.TXT", "A\xC3\x89.TXT"}));
    CSelection all;
    all.m_bWholeArchive = true;
    EXPECT_EQ(made(all), (std::vector<std::string>{"A\xC3\x89.TXT", "D"}));
}

// Another user who may write to the base could put a link in place of the private folder: only a real
// folder of this user that no one else may write to is taken, the runtime folder first, else the cache
// folder; with neither, nothing is made anywhere and the refusal says why.
TEST_F(CStagingTest, BaseIsARealFolderOfTheUserThatNoOneElseMayWrite) {
    setenv("XDG_CACHE_HOME", m_Cache.Path().c_str(), 1);
    const std::string link = m_Outside / "link";
    ASSERT_EQ(symlink(m_Runtime.Path().c_str(), link.c_str()), 0);
    // The runtime folder given, its mode and owner, and why it is refused.
    std::vector<std::tuple<std::string, mode_t, uid_t, const char*>> cases{
        {m_Runtime.Path(), 0777, geteuid(), kBaseShared},
        {m_Runtime.Path(), 0720, geteuid(), kBaseShared},
        {link, 0700, geteuid(), kBaseIsLink}};
    if (geteuid() == 0) // only root can give a folder away
        cases.push_back({m_Runtime.Path(), 0700, 65534, kBaseNotOwned});
    for (const auto& [runtime, mode, owner, why] : cases) {
        chmod(m_Runtime.Path().c_str(), mode);
        ASSERT_EQ(chown(m_Runtime.Path().c_str(), owner, getegid()), 0);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        EXPECT_EQ(CStagingArea().Path().rfind(m_Cache.Path() + "/vorpex-", 0), 0u) << runtime;
        chmod(m_Cache.Path().c_str(), 0777);
        const CStagingArea refused;
        EXPECT_FALSE(refused.IsValid()) << refused.Path();
        EXPECT_EQ(refused.Refusal().Full(),
                  kNoPrivateFolder + runtime + why + "; " + m_Cache.Path() + kBaseShared);
        chmod(m_Cache.Path().c_str(), 0700);
        ASSERT_EQ(chown(m_Runtime.Path().c_str(), geteuid(), getegid()), 0);
        EXPECT_EQ(ListTree(m_Runtime.Path()), std::vector<std::string>{}) << runtime;
    }
    // No runtime folder, no cache folder, and no falling back to a folder everyone shares.
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    const CStagingArea none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(none.Refusal().Full(), std::string(kNoPrivateFolder) + kNoBaseFolder);
}

// The path handed to other programs is normalised: one starting `//` would name a host in a URL. Below the
// base everything goes through descriptors, so a link put in place of the private folder is not followed.
TEST_F(CStagingTest, PathIsNormalisedAndNothingBelowTheBaseFollowsALink) {
    setenv("XDG_RUNTIME_DIR", ("/" + m_Runtime.Path() + "/./").c_str(), 1);
    CStagingArea area;
    ASSERT_TRUE(area.IsValid());
    const std::string base = std::filesystem::canonical(m_Runtime.Path());
    EXPECT_EQ(area.Path().rfind(base + "/vorpex-", 0), 0u) << area.Path();
    EXPECT_EQ(area.Path().find("//"), std::string::npos) << area.Path();

    const std::string moved = m_Runtime / "moved";
    ASSERT_EQ(rename(area.Path().c_str(), moved.c_str()), 0);
    ASSERT_EQ(symlink(m_Outside.Path().c_str(), area.Path().c_str()), 0);
    const CStagingArea::CSlot slot = area.NewSlot();
    ASSERT_TRUE(slot.m_Fd.IsOpen());
    EXPECT_EQ(ListTree(m_Outside.Path()), std::vector<std::string>{});
    EXPECT_EQ(ListTree(moved), std::vector<std::string>{"1/"});
}

} // namespace
