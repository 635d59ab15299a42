// What an archive must not get past: memory bounded by the archive's size, running out of memory reported
// rather than aborting, a disk read like a file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

namespace {

// Memory stays within one and a half times the archive plus 64 MiB (the peak resident memory of the largest
// child so far, its output thrown away); with less address space than the catalogue of a million entries
// needs, running out is reported, not an abort. The archives: a file of zeros (a million file records with
// empty names, all in the top-level list) and a million folder records with the same full-length name, all
// pointing at one empty list.
TEST(Limits, MemoryIsBoundedAndRunningOutIsReported) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the sanitizers' own memory would be measured, and their reserve exceeds the limit";
#endif
    constexpr uint32_t kEnd = 1000000 * ArchiveRecord::kSize;
    TempDir dir;
    const std::string zeros = dir / "zeros.dir", folders = dir / "folders.dir";
    writeFileBytes(zeros, "");
    ASSERT_EQ(truncate(zeros.c_str(), kEnd), 0);
    RawArchive raw;
    for (uint32_t at = 0; at < kEnd; at += ArchiveRecord::kSize)
        raw.folder(at, std::string(32, 'F'), kEnd);
    writeFileBytes(folders, raw.end(kEnd).str());
    for (const std::string& archive : {zeros, folders})
        for (const char* command : {"list", "check"}) {
            SCOPED_TRACE(std::string(command) + " " + archive);
            const CliRun measured = runCli(
                {command, archive}, {.m_inChild = [] { dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO); }});
            rusage usage{};
            getrusage(RUSAGE_CHILDREN, &usage);
            EXPECT_LT(measured.m_status, 3);
            EXPECT_LE(uint64_t(usage.ru_maxrss) * 1024,
                      std::filesystem::file_size(archive) * 3 / 2 + (uint64_t(64) << 20));
            if (archive != zeros)
                continue;
            const CliRun run = runCli({command, zeros}, {.m_inChild = [] {
                                          const rlimit limit{32u << 20, 32u << 20};
                                          setrlimit(RLIMIT_AS, &limit);
                                      }});
            EXPECT_EQ(run.m_status, 2);
            ASSERT_EQ(run.m_errLines.size(), 1u);
            EXPECT_NE(run.m_errLines[0].find("out of memory"), std::string::npos) << run.m_errLines[0];
        }
}

// A disk (here a loop device over an archive) reads like the file it holds.
TEST(Limits, ABlockDeviceReadsLikeAFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "setting up a loop device needs root";
    TempDir dir;
    const std::string file = dir / "disk.img";
    std::string bytes = buildArchive(
        {folderNode("DATA", {fileNode("README.TXT", "hello"), folderNode("MAPS", {fileNode("M1")})})});
    bytes.resize((bytes.size() + 511) / 512 * 512, '\0'); // a loop device ends at a whole sector
    writeFileBytes(file, bytes);
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
        const CliRun fromFile = runCli({command, file}), fromDisk = runCli({command, disk});
        EXPECT_EQ(fromDisk.m_status, fromFile.m_status) << command;
        EXPECT_EQ(fromDisk.m_outLines, fromFile.m_outLines) << command;
        EXPECT_GE(fromDisk.m_outLines.size(), 3u) << command;
    }
    EXPECT_EQ(std::system(("losetup --detach '" + disk + "'").c_str()), 0);
}

} // namespace

} // namespace vorpex
