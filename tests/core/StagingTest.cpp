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

namespace vorpex {

namespace {

// Empty, shorter than the limit, exactly it, one byte more, past the default limit.
TEST(EntryPeek, ReadsTheFirstBytesAndSaysWhenCut) {
    for (const auto& [size, max] : std::vector<std::pair<uint32_t, size_t>>{
             {0, 16}, {15, 16}, {16, 16}, {17, 16}, {EntryPeek::kMaxBytes + 1, EntryPeek::kMaxBytes}}) {
        std::string data(size, '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>(i * 7 + 3);
        Opened opened(buildArchive({fileNode("A.BIN", data), fileNode("B.TXT", "after")}));
        const EntryPeek peek = EntryPeek::read(opened.pack(), opened.pack().entry(0), max);
        ASSERT_TRUE(peek.isRead()) << size;
        EXPECT_EQ(peek.m_data, data.substr(0, max)) << size;
        EXPECT_EQ(peek.m_cut, size > max) << size;
    }
}

TEST(EntryPeek, DamagedOrClosedArchiveIsNotReadAndSaysWhy) {
    // Data of 100 bytes at offset 88 of a 132-byte file, and a size that wraps 32 bits.
    Opened opened(
        RawArchive().file(0, "PAST", 100, 88).file(44, "WRAP", 0xFFFFFFFFu, 2).end(88).size(132).str());
    for (uint32_t i = 0; i < 2; ++i) {
        const EntryPeek peek = EntryPeek::read(opened.pack(), opened.pack().entry(i));
        EXPECT_EQ(peek.m_status, EntryPeek::Status::PastEnd) << i;
        EXPECT_TRUE(peek.m_data.empty());
        EXPECT_NE(std::string(peek.why()).find("beyond the end"), std::string::npos);
    }
    opened.pack().close();
    EXPECT_EQ(EntryPeek::read(opened.pack(), opened.pack().entry(0)).m_status, EntryPeek::Status::NotOpen);
}

// Each test runs in a process of its own: the variables set need no restoring.
class StagingTest : public ::testing::Test {
protected:
    TempDir m_runtime, m_cache, m_outside;
};

TEST_F(StagingTest, PrivateFolderUnderRuntimeElseCacheRemovedWithEverythingButLinkTargets) {
    setenv("XDG_CACHE_HOME", m_cache.path().c_str(), 1);
    for (const bool bRuntime : {true, false}) {
        bRuntime ? setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
        const std::string base = bRuntime ? m_runtime.path() : m_cache.path();
        const std::string keep = m_outside / (bRuntime ? "keep1" : "keep2");
        writeFileBytes(keep, "sentinel");
        std::string path;
        {
            StagingArea area;
            ASSERT_TRUE(area.isValid());
            path = area.path();
            EXPECT_EQ(path.rfind(base + "/", 0), 0u) << path;
            EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0700));

            const StagingArea::Slot slot1 = area.newSlot(), slot2 = area.newSlot();
            const std::string one = slot1.m_path, two = slot2.m_path;
            ASSERT_TRUE(slot1.m_fd.isOpen() && slot2.m_fd.isOpen() && one != two) << one;
            mkdir((one + "/deep").c_str(), 0500); // a folder the user cannot write to
            writeFileBytes(two + "/file", "x");
            ASSERT_EQ(symlink(m_outside.path().c_str(), (one + "/link").c_str()), 0);
            ASSERT_EQ(symlink(keep.c_str(), (two + "/filelink").c_str()), 0);
        }
        EXPECT_NE(access(path.c_str(), F_OK), 0) << path;
        EXPECT_EQ(readFileBytes(keep), "sentinel");
    }
}

TEST_F(StagingTest, MadePathsFollowTheSelectionAndSkipWhatWasNotMade) {
    setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1);
    Opened opened(
        buildArchive({folderNode("D", {fileNode("Z.TXT", "z"), fileNode("..", "bad"), folderNode("SUB")}),
                      fileNode("A\xC9.TXT", "e")}));
    const PackFile& pack = opened.pack();
    const NameCodec codec;
    const PackFolder* d = pack.top().children()[0];
    Selection selection;
    selection.m_folders = {d->children()[0]};
    selection.m_files = {&pack.entry(d->files()[0]), &pack.entry(d->files()[1]),
                         &pack.entry(pack.top().files()[0])};

    StagingArea area;
    RecordingSink sink;
    // What the walk made in a fresh slot for `s`, as MadePaths gives it, each with the slot cut off.
    const auto made = [&](const Selection& s) {
        const StagingArea::Slot slot = area.newSlot();
        EXPECT_TRUE(slot.m_fd.isOpen());
        FolderWalk(pack, sink, codec).extract(slot.m_fd.get(), s);
        std::vector<std::string> paths;
        for (const StagingArea::Made& m : StagingArea::madePaths(slot, s, codec))
            paths.push_back(m.m_path.rfind(slot.m_path + "/", 0) == 0
                                ? m.m_path.substr(slot.m_path.size() + 1)
                                : "outside the slot: " + m.m_path);
        return paths;
    };
    EXPECT_EQ(made(selection), (std::vector<std::string>{"SUB", "Z.TXT", "A\xC3\x89.TXT"}));
    Selection all;
    all.m_wholeArchive = true;
    EXPECT_EQ(made(all), (std::vector<std::string>{"A\xC3\x89.TXT", "D"}));
}

// Another user who may write to the base could put a link in place of the private folder: only a real
// folder of this user that no one else may write to is taken, the runtime folder first, else the cache
// folder; with neither, nothing is made anywhere and the refusal says why.
TEST_F(StagingTest, BaseIsARealFolderOfTheUserThatNoOneElseMayWrite) {
    setenv("XDG_CACHE_HOME", m_cache.path().c_str(), 1);
    const std::string link = m_outside / "link";
    ASSERT_EQ(symlink(m_runtime.path().c_str(), link.c_str()), 0);
    // The runtime folder given, its mode and owner, and why it is refused.
    std::vector<std::tuple<std::string, mode_t, uid_t, const char*>> cases{
        {m_runtime.path(), 0777, geteuid(), kBaseShared},
        {m_runtime.path(), 0720, geteuid(), kBaseShared},
        {link, 0700, geteuid(), kBaseIsLink}};
    if (geteuid() == 0) // only root can give a folder away
        cases.push_back({m_runtime.path(), 0700, 65534, kBaseNotOwned});
    for (const auto& [runtime, mode, owner, why] : cases) {
        chmod(m_runtime.path().c_str(), mode);
        ASSERT_EQ(chown(m_runtime.path().c_str(), owner, getegid()), 0);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        EXPECT_EQ(StagingArea().path().rfind(m_cache.path() + "/vorpex-", 0), 0u) << runtime;
        chmod(m_cache.path().c_str(), 0777);
        const StagingArea refused;
        EXPECT_FALSE(refused.isValid()) << refused.path();
        EXPECT_EQ(refused.refusal().full(),
                  kNoPrivateFolder + runtime + why + "; " + m_cache.path() + kBaseShared);
        chmod(m_cache.path().c_str(), 0700);
        ASSERT_EQ(chown(m_runtime.path().c_str(), geteuid(), getegid()), 0);
        EXPECT_EQ(listTree(m_runtime.path()), std::vector<std::string>{}) << runtime;
    }
    // No runtime folder, no cache folder, and no falling back to a folder everyone shares.
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    const StagingArea none;
    EXPECT_FALSE(none.isValid());
    EXPECT_EQ(none.refusal().full(), std::string(kNoPrivateFolder) + kNoBaseFolder);
}

// The path handed to other programs is normalised: one starting `//` would name a host in a URL. Below the
// base everything goes through descriptors, so a link put in place of the private folder is not followed.
TEST_F(StagingTest, PathIsNormalisedAndNothingBelowTheBaseFollowsALink) {
    setenv("XDG_RUNTIME_DIR", ("/" + m_runtime.path() + "/./").c_str(), 1);
    StagingArea area;
    ASSERT_TRUE(area.isValid());
    const std::string base = std::filesystem::canonical(m_runtime.path());
    EXPECT_EQ(area.path().rfind(base + "/vorpex-", 0), 0u) << area.path();
    EXPECT_EQ(area.path().find("//"), std::string::npos) << area.path();

    const std::string moved = m_runtime / "moved";
    ASSERT_EQ(rename(area.path().c_str(), moved.c_str()), 0);
    ASSERT_EQ(symlink(m_outside.path().c_str(), area.path().c_str()), 0);
    const StagingArea::Slot slot = area.newSlot();
    ASSERT_TRUE(slot.m_fd.isOpen());
    EXPECT_EQ(listTree(m_outside.path()), std::vector<std::string>{});
    EXPECT_EQ(listTree(moved), std::vector<std::string>{"1/"});
}

} // namespace

} // namespace vorpex
