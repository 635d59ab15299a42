// `vorpex-cli mount` end to end: the mounted tree equals an extraction of the same archive, nothing can be
// written through it, and bytes the archive lacks read as I/O errors, even once it is cut while mounted.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <grp.h>
#include <sys/time.h>

#include "bench/core/BenchArchives.h"
#include "platform/MessageTexts.h"
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
    // Replaced by another file: the mount goes on with the file it mounted. Once that file is cut in the
    // middle of CUT, CUT reads as an I/O error, even though it was read whole before.
    const CFileDescriptor mounted(open(area.m_strArchive.c_str(), O_WRONLY));
    WriteFileBytes(area.m_Dir / "other", "not an archive");
    ASSERT_EQ(rename((area.m_Dir / "other").c_str(), area.m_strArchive.c_str()), 0);
    EXPECT_TRUE(ReadAll(d + "CUT", bytes) == 0 && bytes == cut);
    ASSERT_EQ(ftruncate(mounted.Get(), 16384 + 100000), 0);
    EXPECT_EQ(ReadAll(d + "CUT", bytes), EIO);
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Writes `bytes` over the archive in place, after cutting it at `cutAt` (as a tool that truncates does).
void Rewrite(const std::string& path, const std::string& bytes, size_t cutAt) {
    ASSERT_EQ(truncate(path.c_str(), off_t(cutAt)), 0);
    const CFileDescriptor fd(open(path.c_str(), O_WRONLY));
    ASSERT_TRUE(fd.IsOpen() && WriteAll(fd.Get(), bytes.data(), bytes.size()));
}

// Every one of `files` reads as the bytes it had when mounted or fails with EIO, and keeps its size. Its
// pages are dropped first, so that the kernel asks the mount again.
void ExpectMountedBytesOrIoError(const std::string& dir, const Files& files) {
    for (const auto& [name, bytes] : files) {
        const std::string path = dir + "/" + name;
        const CFileDescriptor fd(open(path.c_str(), O_RDONLY));
        posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_DONTNEED);
        std::string got;
        const int error = ReadAll(path, got);
        EXPECT_TRUE(error == EIO || (error == 0 && got == bytes))
            << name << ": " << error << ", " << got.size();
        struct stat st {};
        EXPECT_TRUE(stat(path.c_str(), &st) == 0 && uint64_t(st.st_size) == bytes.size()) << name;
    }
}

TEST(Mount, ArchiveChangedWhileMountedGivesItsBytesAsMountedOrIoErrors) {
    SKIP_WITHOUT_FUSE();
    const auto archive = [](char fill) {
        CRawArchive raw;
        raw.Folder(0, "D", 88).End(44).File(88, "READ", 300000, 4096).File(132, "UNREAD", 5000, 400000);
        return raw.End(176)
            .Bytes(4096, std::string(300000, fill))
            .Bytes(400000, std::string(5000, fill))
            .Str();
    };
    const Files files{{"D/READ", std::string(300000, 'r')}, {"D/UNREAD", std::string(5000, 'r')}};
    CArea area(archive('r'));
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    // READ is read while the archive is as mounted; then the archive is cut (in the middle of READ) and
    // written back with other bytes. Neither file may now read as those, nor come back short.
    std::string bytes;
    ASSERT_TRUE(ReadAll(area.m_strMount + "/D/READ", bytes) == 0 && bytes == files[0].second);
    Rewrite(area.m_strArchive, archive('o'), 4096 + 1000);
    ExpectMountedBytesOrIoError(area.m_strMount, files);
}

TEST(Mount, ReadsTheArchiveFromStandardInput) {
    SKIP_WITHOUT_FUSE();
    CArea area(ReadFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_EQ(RunCli({"extract", "-C", area.m_strOut, area.m_strArchive}).m_nStatus, 0);
    const CMounted mount("-", area.m_strMount, {}, {.m_strInput = ReadFileBytes(area.m_strArchive)});
    ASSERT_TRUE(mount.Ready()) << (mount.m_Run.m_ErrLines.empty() ? "" : mount.m_Run.m_ErrLines[0]);
    EXPECT_EQ(std::system(("diff -r '" + area.m_strOut + "' '" + area.m_strMount + "'").c_str()), 0);
}

TEST(Mount, SaysWhyFuseRefusesInOneLineOfItsOwn) {
    // Tried as a user for whom mounting fails (here /dev/fuse is root's alone; elsewhere fusermount3 finds
    // no write access to DIR): what libfuse or fusermount3 say must come as our line's reason, once.
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to run the command as another user";
    CArea area(ReadFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_TRUE(chmod(area.m_Dir.Path().c_str(), 0755) == 0 && chmod(area.m_strArchive.c_str(), 0644) == 0);
    const CMounted mount(area.m_strArchive, area.m_strMount, {}, {.m_fnInChild = [] {
                             if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                                 _exit(124);
                         }});
    const std::string ours = kCouldNotMountOn + area.m_strMount + ": ";
    EXPECT_EQ(mount.m_Run.m_nStatus, 2);
    ASSERT_EQ(mount.m_Run.m_ErrLines.size(), 1u);
    EXPECT_EQ(mount.m_Run.m_ErrLines[0].rfind(ours, 0), 0u) << mount.m_Run.m_ErrLines[0];
    EXPECT_GT(mount.m_Run.m_ErrLines[0].size(), ours.size());
}

TEST(Unmount, FollowsLinksAndTakesAwayOnlyMountsOfOurs) {
    SKIP_WITHOUT_FUSE();
    CArea area(ReadFileBytes(VORPEX_SAMPLE_PATH));
    const CMounted mounted(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mounted.Ready());
    ASSERT_EQ(symlink("m", (area.m_Dir / "link").c_str()), 0);
    EXPECT_EQ(RunCli({"unmount", area.m_Dir / "link"}).m_nStatus, 0);
    EXPECT_FALSE(IsMountPoint(area.m_strMount));
    // Another file system's mount stays, even for root.
    const std::string other = area.m_Dir / "tmpfs";
    mkdir(other.c_str(), 0755);
    if (mount("none", other.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const CCliRun run = RunCli({"unmount", other});
    const bool stayed = IsMountPoint(other);
    umount2(other.c_str(), MNT_DETACH);
    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(run.m_ErrLines, Lines{kNotOurMount + other});
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
