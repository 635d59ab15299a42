// `vorpex-cli mount` end to end: the mounted tree equals an extraction of the same archive, nothing can be
// written through it, and bytes the archive lacks read as I/O errors, even once it is cut while mounted.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/time.h>

#include "bench/core/BenchArchives.h"
#include "tests/mount/MountSupport.h"

namespace {

// A scratch area holding the archive, an extraction of it (x/) and the mount point (m/).
struct CArea {
    CTempDir m_Dir;
    std::string m_strArchive = m_Dir / "A.DIR", m_strExtracted = m_Dir / "x", m_strMount = m_Dir / "m";
    explicit CArea(const std::string& bytes) {
        WriteFileBytes(m_strArchive, bytes);
        mkdir(m_strExtracted.c_str(), 0755);
        mkdir(m_strMount.c_str(), 0755);
    }
};

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Mount, SampleArchiveEqualsItsExtractionUntilUnmounted) {
    SKIP_WITHOUT_FUSE();
    CArea area(ReadFileBytes(VORPEX_SAMPLE_PATH));
    ASSERT_EQ(RunCli({"extract", "-C", area.m_strExtracted, area.m_strArchive}).m_nStatus, 0);
    struct stat archive {};
    stat(area.m_strArchive.c_str(), &archive);
    {
        CMounted mount(area.m_strArchive, area.m_strMount);
        ASSERT_TRUE(mount.Ready()) << (mount.m_Run.m_ErrLines.empty() ? "" : mount.m_Run.m_ErrLines[0]);
        EXPECT_EQ(mount.m_Run.m_nStatus, 0);
        EXPECT_EQ(Shell("diff -r '" + area.m_strExtracted + "' '" + area.m_strMount + "'"), 0);
        const std::vector<std::string> tree = ListTree(area.m_strMount);
        EXPECT_EQ(tree, ListTree(area.m_strExtracted));
        for (const std::string& path : tree) {
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

TEST(Mount, NothingCanBeWritten) {
    SKIP_WITHOUT_FUSE();
    CArea area(BuildArchive({Folder("D", {File("F", "data"), Folder("E")})}));
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    const std::string d = area.m_strMount + "/D", f = d + "/F", e = d + "/E";
    const std::vector<std::pair<const char*, std::function<int()>>> writes{
        {"open for writing", [&] { return open(f.c_str(), O_WRONLY); }},
        {"open for reading and writing", [&] { return open(f.c_str(), O_RDWR); }},
        {"create", [&] { return open((d + "/NEW").c_str(), O_WRONLY | O_CREAT, 0644); }},
        {"truncate", [&] { return truncate(f.c_str(), 0); }},
        {"rename", [&] { return rename(f.c_str(), (d + "/G").c_str()); }},
        {"chmod", [&] { return chmod(f.c_str(), 0666); }},
        {"chown", [&] { return chown(f.c_str(), 1, 1); }},
        {"utimes", [&] { return utimes(f.c_str(), nullptr); }},
        {"mkdir", [&] { return mkdir((d + "/NEW").c_str(), 0755); }},
        {"unlink", [&] { return unlink(f.c_str()); }},
        {"rmdir", [&] { return rmdir(e.c_str()); }},
        {"symlink", [&] { return symlink("F", (d + "/L").c_str()); }},
        {"link", [&] { return link(f.c_str(), (d + "/L").c_str()); }},
    };
    for (const auto& [what, call] : writes) {
        errno = 0;
        EXPECT_EQ(call(), -1) << what;
        EXPECT_EQ(errno, EROFS) << what;
    }
    std::string bytes;
    EXPECT_EQ(ReadAll(f, bytes), 0);
    EXPECT_EQ(bytes, "data");
}

TEST(Mount, BytesTheArchiveLacksReadAsIoErrors) {
    SKIP_WITHOUT_FUSE();
    // KEEP and CUT lie inside the archive, PAST beyond its end.
    const std::string keep(5000, 'k'), cut(300000, 'c');
    CRawArchive raw;
    raw.Folder(0, "D", 88).End(44);
    raw.File(88, "KEEP", uint32_t(keep.size()), 4096)
        .File(132, "CUT", uint32_t(cut.size()), 16384)
        .File(176, "PAST", 100, 400000)
        .End(220);
    raw.Bytes(4096, keep).Bytes(16384, cut);
    CArea area(raw.Str());
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    const std::string d = area.m_strMount + "/D/";
    std::string bytes;
    EXPECT_EQ(ReadAll(d + "PAST", bytes), EIO);
    EXPECT_EQ(ReadAll(d + "KEEP", bytes), 0);
    EXPECT_EQ(bytes, keep);

    // Cut the archive in the middle of CUT (not read yet, so nothing of it is cached), then replace it.
    ASSERT_EQ(truncate(area.m_strArchive.c_str(), 16384 + 100000), 0);
    EXPECT_EQ(ReadAll(d + "CUT", bytes), EIO);
    WriteFileBytes(area.m_Dir / "other", "not an archive");
    ASSERT_EQ(rename((area.m_Dir / "other").c_str(), area.m_strArchive.c_str()), 0);
    EXPECT_EQ(ReadAll(d + "CUT", bytes), EIO);
    EXPECT_EQ(ReadAll(d + "KEEP", bytes), 0);
    EXPECT_EQ(bytes, keep);
    EXPECT_EQ(FolderNames(d).size(), 3u);
}

TEST(Mount, MillionEntriesListAsTheCommandLineDoes) {
    SKIP_WITHOUT_FUSE();
    CArea area(ManyTinyFiles(1000, 1000));
    CMounted mount(area.m_strArchive, area.m_strMount);
    ASSERT_TRUE(mount.Ready());
    // Every path, as find prints it below the mount, against every line of `list`.
    CTempDir out;
    ASSERT_EQ(Shell("cd '" + area.m_strMount + "' && find . -mindepth 1 -printf '%P%y\\n' | sort > '" +
                    out / "found" + "'"),
              0);
    ASSERT_EQ(Shell("'" + std::string(CliPath()) + "' list '" + area.m_strArchive +
                    "' | sed -e 's|/$|d|;t' -e 's|$|f|' | sort > '" + out / "listed" + "'"),
              0);
    const std::string found = ReadFileBytes(out / "found");
    EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), 1001001);
    EXPECT_TRUE(found == ReadFileBytes(out / "listed"));
    // Two folders, the first and the last, extracted and compared byte for byte.
    ASSERT_EQ(
        RunCli({"extract", "-C", area.m_strExtracted, area.m_strArchive, "ROOT/FOLDER0/", "ROOT/FOLDER999/"})
            .m_nStatus,
        0);
    for (const char* folder : {"FOLDER0", "FOLDER999"})
        EXPECT_EQ(Shell("diff -r '" + area.m_strExtracted + "/" + folder + "' '" + area.m_strMount +
                        "/ROOT/" + folder + "'"),
                  0)
            << folder;
}

} // namespace
