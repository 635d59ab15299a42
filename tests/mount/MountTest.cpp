// `vorpex-cli mount` end to end: the mounted tree equals an extraction of the same archive, nothing can be
// written through it, and bytes the archive lacks read as I/O errors, even once it is cut while mounted.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/time.h>

#include "bench/core/BenchArchives.h"
#include "tests/mount/MountSupport.h"

namespace {

using Lines = std::vector<std::string>;

// The archive A.DIR, an extraction of it (x/) and the mount point (m/).
struct CArea {
    CTempDir m_Dir;
    std::string m_strArchive = m_Dir / "A.DIR", m_strOut = m_Dir / "x", m_strMount = m_Dir / "m";
    explicit CArea(const std::string& bytes) {
        WriteFileBytes(m_strArchive, bytes);
        mkdir(m_strOut.c_str(), 0755);
        mkdir(m_strMount.c_str(), 0755);
    }
};

TEST(Mount, SampleArchiveEqualsItsExtractionUntilUnmounted) {
    SKIP_WITHOUT_FUSE();
    CArea area(ReadFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_EQ(RunCli({"extract", "-C", area.m_strOut, area.m_strArchive}).m_nStatus, 0);
    struct stat archive {};
    stat(area.m_strArchive.c_str(), &archive);
    {
        CMounted mount(area.m_strArchive, area.m_strMount);
        ASSERT_TRUE(mount.Ready());
        EXPECT_EQ(std::system(("diff -r '" + area.m_strOut + "' '" + area.m_strMount + "'").c_str()), 0);
        for (const std::string& path : ListTree(area.m_strMount)) {
            struct stat st {};
            ASSERT_EQ(lstat((area.m_strMount + "/" + path).c_str(), &st), 0) << path;
            EXPECT_EQ(st.st_mode, path.back() == '/' ? (S_IFDIR | 0555u) : (S_IFREG | 0444u)) << path;
            EXPECT_EQ(st.st_uid, getuid());
            EXPECT_EQ(st.st_mtim.tv_sec, archive.st_mtim.tv_sec);
        }
        EXPECT_EQ(RunCli({"unmount", area.m_strMount}).m_nStatus, 0);
        EXPECT_FALSE(IsMountPoint(area.m_strMount));
    }
    EXPECT_EQ(RunCli({"unmount", area.m_strMount}).m_nStatus, 1);
    EXPECT_EQ(RunCli({"mount", area.m_Dir / "missing", area.m_strMount}).m_nStatus, 2);
    EXPECT_EQ(RunCli({"mount", area.m_strArchive, area.m_Dir / "missing"}).m_nStatus, 2);
}

TEST(Mount, NeverWritesAndReadsBytesTheArchiveLacksAsIoErrors) {
    SKIP_WITHOUT_FUSE();
    const std::string keep(5000, 'k'), cut(300000, 'c');
    CRawArchive raw;
    raw.Folder(0, "D", 88).End(44).File(88, "KEEP", uint32_t(keep.size()), 4096);
    raw.File(132, "CUT", uint32_t(cut.size()), 16384).File(176, "PAST", 100, 400000).End(220);
    CArea area(raw.Bytes(4096, keep).Bytes(16384, cut).Str());
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    const std::string d = area.m_strMount + "/D/", f = d + "KEEP", n = d + "NEW";
    const std::vector<std::function<int()>> writes{
        [&] { return open(f.c_str(), O_WRONLY); }, [&] { return open(n.c_str(), O_CREAT, 0644); },
        [&] { return truncate(f.c_str(), 0); },    [&] { return rename(f.c_str(), n.c_str()); },
        [&] { return chmod(f.c_str(), 0666); },    [&] { return utimes(f.c_str(), nullptr); },
        [&] { return mkdir(n.c_str(), 0755); },    [&] { return unlink(f.c_str()); }};
    for (size_t i = 0; i < writes.size(); ++i) {
        errno = 0;
        EXPECT_TRUE(writes[i]() == -1 && errno == EROFS) << "write " << i;
    }
    std::string bytes;
    EXPECT_EQ(ReadAll(d + "PAST", bytes), EIO);
    EXPECT_TRUE(ReadAll(f, bytes) == 0 && bytes == keep);
    // Cut in the middle of CUT (never read, so nothing of it is cached), then replaced by another file.
    ASSERT_EQ(truncate(area.m_strArchive.c_str(), 16384 + 100000), 0);
    EXPECT_EQ(ReadAll(d + "CUT", bytes), EIO);
    WriteFileBytes(area.m_Dir / "other", "not an archive");
    ASSERT_EQ(rename((area.m_Dir / "other").c_str(), area.m_strArchive.c_str()), 0);
    EXPECT_EQ(ReadAll(d + "CUT", bytes), EIO);
    EXPECT_TRUE(ReadAll(f, bytes) == 0 && bytes == keep);
}

TEST(Mount, MillionEntriesListAsTheCommandLineDoes) {
    SKIP_WITHOUT_FUSE();
    CArea area(ManyTinyFiles(1000, 1000));
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    // Every path below the mount against every line of `list`, then two folders compared byte for byte.
    Lines listed = RunCli({"list", area.m_strArchive}).m_OutLines;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed.size(), 1001001u);
    EXPECT_EQ(ListTree(area.m_strMount), listed);
    ASSERT_EQ(RunCli({"extract", "-C", area.m_strOut, area.m_strArchive, "ROOT/FOLDER0/", "ROOT/FOLDER999/"})
                  .m_nStatus,
              0);
    EXPECT_EQ(std::system(("cd " + area.m_strOut +
                           " && diff -r FOLDER0 ../m/ROOT/FOLDER0 && diff -r FOLDER999 ../m/ROOT/FOLDER999")
                              .c_str()),
              0);
}

} // namespace
