// What an archive must not get past: memory bounded by the archive's size, running out of memory reported
// rather than aborting, a disk read like a file, names of one folder that clash once decoded.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "tests/support/CliRunner.h"

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

constexpr uint64_t kRecords = 1000000;

// A file of zeros: a million file records with empty names, all in the top-level list.
void WriteZeros(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(ftruncate(fd, kRecords * CArchiveRecord::kSize), 0);
    close(fd);
}

// A million folder records with the same full-length name, all pointing at one empty list.
void WriteSharedFolders(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    const std::string folder = CArchiveRecord::Make(std::string(32, 'F'), CArchiveRecord::kFolder, 0,
                                                    static_cast<uint32_t>(kRecords * CArchiveRecord::kSize))
                                   .Bytes();
    for (uint64_t i = 0; i < kRecords; ++i)
        std::fwrite(folder.data(), 1, folder.size(), f);
    const std::string end = CArchiveRecord::Make("", CArchiveRecord::kEnd, 0, 0).Bytes();
    std::fwrite(end.data(), 1, end.size(), f);
    std::fclose(f);
}

// Runs vorpex-cli with `args` and no output; returns its exit status and its peak resident memory.
std::pair<int, uint64_t> RunMeasured(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(CliPath())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(CliPath(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            static_cast<uint64_t>(usage.ru_maxrss) * 1024};
}

TEST(Limits, MemoryStaysWithinOneAndAHalfTimesTheArchivePlus64MiB) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers' own memory would be measured too";
    CTempDir dir;
    const std::string zeros = dir / "zeros.dir", folders = dir / "folders.dir";
    WriteZeros(zeros);
    WriteSharedFolders(folders);
    for (const std::string& archive : {zeros, folders}) {
        struct stat st {};
        ASSERT_EQ(stat(archive.c_str(), &st), 0);
        const uint64_t bound = static_cast<uint64_t>(st.st_size) * 3 / 2 + (uint64_t(64) << 20);
        for (const char* command : {"list", "check"}) {
            const auto [status, peak] = RunMeasured({command, archive});
            SCOPED_TRACE(std::string(command) + " " + archive);
            EXPECT_LT(status, 3);
            EXPECT_LE(peak, bound);
        }
    }
}

TEST(Limits, RunningOutOfMemoryIsReportedNotAborted) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
    CTempDir dir;
    const std::string zeros = dir / "zeros.dir";
    WriteZeros(zeros);
    for (const char* command : {"list", "check"}) {
        // Less address space than the catalogue of a million entries needs.
        const CCliRun run = RunCli({command, zeros}, {.m_fnInChild = [] {
                                       const rlimit limit{32u << 20, 32u << 20};
                                       setrlimit(RLIMIT_AS, &limit);
                                   }});
        EXPECT_EQ(run.m_nStatus, 2) << command;
        ASSERT_EQ(run.m_ErrLines.size(), 1u) << command;
        EXPECT_NE(run.m_ErrLines[0].find("out of memory"), std::string::npos) << run.m_ErrLines[0];
    }
}

// A disk (here a loop device over an archive) reads like the file it holds.
TEST(Limits, ABlockDeviceReadsLikeAFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "setting up a loop device needs root";
    CTempDir dir;
    const std::string file = dir / "disk.img";
    std::string bytes =
        BuildArchive({Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1")})})});
    bytes.resize((bytes.size() + 511) / 512 * 512, '\0'); // a loop device ends at a whole sector
    WriteFileBytes(file, bytes);
    FILE* setup = popen(("losetup --find --show --read-only '" + file + "' 2>/dev/null").c_str(), "r");
    char device[128] = {};
    const bool attached = setup && std::fgets(device, sizeof device, setup) && device[0] == '/';
    if (setup)
        pclose(setup);
    if (!attached)
        GTEST_SKIP() << "no loop device could be set up here";
    std::string disk(device);
    disk.erase(disk.find_last_not_of('\n') + 1);
    for (const char* command : {"list", "check"}) {
        const CCliRun fromFile = RunCli({command, file}), fromDisk = RunCli({command, disk});
        EXPECT_EQ(fromDisk.m_nStatus, fromFile.m_nStatus) << command;
        EXPECT_EQ(fromDisk.m_OutLines, fromFile.m_OutLines) << command;
        EXPECT_GE(fromDisk.m_OutLines.size(), 3u) << command;
    }
    EXPECT_EQ(std::system(("losetup --detach '" + disk + "'").c_str()), 0);
}

// Names of one folder that differ in their bytes but not once decoded would make one file on disk.
TEST(Limits, CheckReportsNamesThatClashOnceDecoded) {
    CTempDir dir;
    const std::string archive = dir / "clash.dir";
    WriteFileBytes(archive,
                   BuildArchive({Folder("D", {File("A\x80"), File("A\x81"), File("B"), File("B")})}));
    struct CCase {
        const char* m_szEncoding;
        size_t m_nDecodedAlike; // the bytes 0x80 and 0x81 decode alike in ASCII only
    };
    for (const CCase& c : {CCase{"WINDOWS-1252", 0}, CCase{"ascii", 1}}) {
        const CCliRun run = RunCli({"check", "--encoding", c.m_szEncoding, archive});
        size_t decoded = 0, duplicate = 0;
        for (const std::string& line : run.m_OutLines) {
            decoded += line.rfind("Duplicate name in one folder after decoding: D/A", 0) == 0;
            duplicate += line == "Duplicate name in one folder: D/B";
        }
        EXPECT_EQ(run.m_nStatus, 1) << c.m_szEncoding;
        EXPECT_EQ(decoded, c.m_nDecodedAlike) << c.m_szEncoding;
        EXPECT_EQ(duplicate, 1u) << c.m_szEncoding;
    }
}

} // namespace
