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

namespace vorpex {

namespace {

using Lines = std::vector<std::string>;

// The archive A.DIR, an extraction of it (x/) and the mount point (m/).
struct Area {
    TempDir m_dir;
    std::string m_archive = m_dir / "A.DIR", m_out = m_dir / "x", m_mount = m_dir / "m";
    explicit Area(const std::string& bytes) {
        writeFileBytes(m_archive, bytes);
        mkdir(m_out.c_str(), 0755);
        mkdir(m_mount.c_str(), 0755);
    }
};

TEST(Mount, SampleArchiveEqualsItsExtractionUntilUnmounted) {
    SKIP_WITHOUT_FUSE();
    Area area(readFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_EQ(runCli({"extract", "-C", area.m_out, area.m_archive}).m_status, 0);
    struct stat archive {};
    stat(area.m_archive.c_str(), &archive);
    {
        Mounted mount(area.m_archive, area.m_mount);
        ASSERT_TRUE(mount.ready());
        EXPECT_EQ(std::system(("diff -r '" + area.m_out + "' '" + area.m_mount + "'").c_str()), 0);
        for (const std::string& path : listTree(area.m_mount)) {
            struct stat st {};
            ASSERT_EQ(lstat((area.m_mount + "/" + path).c_str(), &st), 0) << path;
            EXPECT_EQ(st.st_mode, path.back() == '/' ? (S_IFDIR | 0555u) : (S_IFREG | 0444u)) << path;
            EXPECT_EQ(st.st_uid, getuid());
            EXPECT_EQ(st.st_mtim.tv_sec, archive.st_mtim.tv_sec);
        }
        EXPECT_EQ(runCli({"unmount", area.m_mount}).m_status, 0);
        EXPECT_FALSE(isMountPoint(area.m_mount));
    }
    EXPECT_EQ(runCli({"unmount", area.m_mount}).m_status, 1);
    EXPECT_EQ(runCli({"mount", area.m_dir / "missing", area.m_mount}).m_status, 2);
    EXPECT_EQ(runCli({"mount", area.m_archive, area.m_dir / "missing"}).m_status, 2);
}

TEST(Mount, NeverWritesAndReadsBytesTheArchiveLacksAsIoErrors) {
    SKIP_WITHOUT_FUSE();
    const std::string keep(5000, 'k'), cut(300000, 'c');
    RawArchive raw;
    raw.folder(0, "D", 88).end(44).file(88, "KEEP", uint32_t(keep.size()), 4096);
    raw.file(132, "CUT", uint32_t(cut.size()), 16384).file(176, "PAST", 100, 400000).end(220);
    Area area(raw.bytes(4096, keep).bytes(16384, cut).str());
    Mounted mount(area.m_archive, area.m_mount);
    ASSERT_TRUE(mount.ready());
    const std::string d = area.m_mount + "/D/", f = d + "KEEP", n = d + "NEW";
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
    EXPECT_EQ(readAll(d + "PAST", bytes), EIO);
    EXPECT_TRUE(readAll(f, bytes) == 0 && bytes == keep);
    // Replaced by another file: the mount goes on with the file it mounted. Once that file is cut in the
    // middle of CUT, CUT reads as an I/O error, even though it was read whole before.
    const FileDescriptor mounted(open(area.m_archive.c_str(), O_WRONLY));
    writeFileBytes(area.m_dir / "other", "not an archive");
    ASSERT_EQ(rename((area.m_dir / "other").c_str(), area.m_archive.c_str()), 0);
    EXPECT_TRUE(readAll(d + "CUT", bytes) == 0 && bytes == cut);
    ASSERT_EQ(ftruncate(mounted.get(), 16384 + 100000), 0);
    EXPECT_EQ(readAll(d + "CUT", bytes), EIO);
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Writes `bytes` over the archive in place, after cutting it at `cutAt` (as a tool that truncates does).
void rewrite(const std::string& path, const std::string& bytes, size_t cutAt) {
    ASSERT_EQ(truncate(path.c_str(), off_t(cutAt)), 0);
    const FileDescriptor fd(open(path.c_str(), O_WRONLY));
    ASSERT_TRUE(fd.isOpen() && writeAll(fd.get(), bytes.data(), bytes.size()));
}

// Every one of `files` reads as the bytes it had when mounted or fails with EIO, and keeps its size. Its
// pages are dropped first, so that the kernel asks the mount again.
void expectMountedBytesOrIoError(const std::string& dir, const Files& files) {
    for (const auto& [name, bytes] : files) {
        const std::string path = dir + "/" + name;
        const FileDescriptor fd(open(path.c_str(), O_RDONLY));
        posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
        std::string got;
        const int error = readAll(path, got);
        EXPECT_TRUE(error == EIO || (error == 0 && got == bytes))
            << name << ": " << error << ", " << got.size();
        struct stat st {};
        EXPECT_TRUE(stat(path.c_str(), &st) == 0 && uint64_t(st.st_size) == bytes.size()) << name;
    }
}

TEST(Mount, ArchiveChangedWhileMountedGivesItsBytesAsMountedOrIoErrors) {
    SKIP_WITHOUT_FUSE();
    const auto archive = [](char fill) {
        RawArchive raw;
        raw.folder(0, "D", 88).end(44).file(88, "READ", 300000, 4096).file(132, "UNREAD", 5000, 400000);
        return raw.end(176)
            .bytes(4096, std::string(300000, fill))
            .bytes(400000, std::string(5000, fill))
            .str();
    };
    const Files files{{"D/READ", std::string(300000, 'r')}, {"D/UNREAD", std::string(5000, 'r')}};
    Area area(archive('r'));
    Mounted mount(area.m_archive, area.m_mount);
    ASSERT_TRUE(mount.ready());
    // READ is read while the archive is as mounted; then the archive is cut (in the middle of READ) and
    // written back with other bytes. Neither file may now read as those, nor come back short.
    std::string bytes;
    ASSERT_TRUE(readAll(area.m_mount + "/D/READ", bytes) == 0 && bytes == files[0].second);
    rewrite(area.m_archive, archive('o'), 4096 + 1000);
    expectMountedBytesOrIoError(area.m_mount, files);
}

TEST(Mount, ReadsTheArchiveFromStandardInput) {
    SKIP_WITHOUT_FUSE();
    Area area(readFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_EQ(runCli({"extract", "-C", area.m_out, area.m_archive}).m_status, 0);
    const Mounted mount("-", area.m_mount, {}, {.m_input = readFileBytes(area.m_archive)});
    ASSERT_TRUE(mount.ready()) << (mount.m_run.m_errLines.empty() ? "" : mount.m_run.m_errLines[0]);
    EXPECT_EQ(std::system(("diff -r '" + area.m_out + "' '" + area.m_mount + "'").c_str()), 0);
}

TEST(Mount, SaysWhyFuseRefusesInOneLineOfItsOwn) {
    // Tried as a user for whom mounting fails (here /dev/fuse is root's alone; elsewhere fusermount3 finds
    // no write access to DIR): what libfuse or fusermount3 say must come as our line's reason, once.
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to run the command as another user";
    Area area(readFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_TRUE(chmod(area.m_dir.path().c_str(), 0755) == 0 && chmod(area.m_archive.c_str(), 0644) == 0);
    const Mounted mount(area.m_archive, area.m_mount, {}, {.m_inChild = [] {
                            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
                                _exit(124);
                        }});
    const std::string ours = kCouldNotMountOn + area.m_mount + ": ";
    EXPECT_EQ(mount.m_run.m_status, 2);
    ASSERT_EQ(mount.m_run.m_errLines.size(), 1u);
    EXPECT_EQ(mount.m_run.m_errLines[0].rfind(ours, 0), 0u) << mount.m_run.m_errLines[0];
    EXPECT_GT(mount.m_run.m_errLines[0].size(), ours.size());
}

TEST(Unmount, FollowsLinksAndTakesAwayOnlyMountsOfOurs) {
    SKIP_WITHOUT_FUSE();
    Area area(readFileBytes(VORPEX_SAMPLE_PATH));
    const Mounted mounted(area.m_archive, area.m_mount);
    ASSERT_TRUE(mounted.ready());
    ASSERT_EQ(symlink("m", (area.m_dir / "link").c_str()), 0);
    EXPECT_EQ(runCli({"unmount", area.m_dir / "link"}).m_status, 0);
    EXPECT_FALSE(isMountPoint(area.m_mount));
    // Another file system's mount stays, even for root.
    const std::string other = area.m_dir / "tmpfs";
    mkdir(other.c_str(), 0755);
    if (mount("none", other.c_str(), "tmpfs", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const CliRun run = runCli({"unmount", other});
    const bool stayed = isMountPoint(other);
    umount2(other.c_str(), MNT_DETACH);
    EXPECT_EQ(run.m_status, 1);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(run.m_errLines, Lines{kNotOurMount + other});
}

TEST(Mount, MillionEntriesListAsTheCommandLineDoes) {
    SKIP_WITHOUT_FUSE();
    Area area(manyTinyFiles(1000, 1000));
    Mounted mount(area.m_archive, area.m_mount);
    ASSERT_TRUE(mount.ready());
    // Every path below the mount against every line of `list`, then two folders compared byte for byte.
    Lines listed = runCli({"list", area.m_archive}).m_outLines;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed.size(), 1001001u);
    EXPECT_EQ(listTree(area.m_mount), listed);
    ASSERT_EQ(
        runCli({"extract", "-C", area.m_out, area.m_archive, "ROOT/FOLDER0/", "ROOT/FOLDER999/"}).m_status,
        0);
    EXPECT_EQ(std::system(("cd " + area.m_out +
                           " && diff -r FOLDER0 ../m/ROOT/FOLDER0 && diff -r FOLDER999 ../m/ROOT/FOLDER999")
                              .c_str()),
              0);
}

} // namespace

} // namespace vorpex
