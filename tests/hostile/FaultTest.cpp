// Faults while extracting, each for a new file and for the replacement of an existing one: the disk
// fills up, the file grows past the size limit, the destination is mounted read-only, the archive cannot
// be read. Each must leave the old file as it was, no temporary behind, a message naming the file, and a
// non-zero exit from the command line.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileUtil.h"

namespace {

enum class EFault { DiskFull, FileTooLarge, ReadOnlyDestination, FailingRead };

struct CFaultCase {
    EFault m_eFault;
    bool m_bReplace;
};

const char* FaultName(EFault f) {
    switch (f) {
    case EFault::DiskFull:
        return "DiskFull";
    case EFault::FileTooLarge:
        return "FileTooLarge";
    case EFault::ReadOnlyDestination:
        return "ReadOnlyDestination";
    case EFault::FailingRead:
        return "FailingRead";
    }
    return "?";
}

constexpr size_t kBigSize = 2 * 1024 * 1024 + 77; // more than one piece of the copy
constexpr uint64_t kFailFrom = 300 * 1024;        // where the archive stops being readable
constexpr rlim_t kSizeLimit = 128 * 1024;
const std::string kOld = "the user's old file\n";

std::string BigData() {
    std::string s(kBigSize, '\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char>((i * 2654435761u) >> 13);
    return s;
}

// Mounting needs root; a private mount namespace keeps our mounts from leaking out of this process.
// Empty when mounting is possible, else why not.
const std::string& MountUnavailable() {
    static const std::string reason = []() -> std::string {
        if (geteuid() != 0)
            return "mounting a tmpfs or a read-only bind needs root";
        if (unshare(CLONE_NEWNS) != 0)
            return std::string("no private mount namespace: ") + std::strerror(errno);
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return std::string("cannot make mounts private: ") + std::strerror(errno);
        return {};
    }();
    return reason;
}

class CFault : public ::testing::TestWithParam<CFaultCase> {
protected:
    CHostileArea m_Area;
    std::string m_strArchive = m_Area.m_strArchiveDir + "/FAULT.DIR";
    std::string m_strBig = m_Area.m_strDest + "/BIG";
    bool m_bMounted = false;

    void SetUp() override {
        const EFault fault = GetParam().m_eFault;
        if ((fault == EFault::DiskFull || fault == EFault::ReadOnlyDestination) &&
            !MountUnavailable().empty())
            GTEST_SKIP() << MountUnavailable();
        WriteFileBytes(m_strArchive, BuildArchive({File("BIG", BigData())}));
        if (fault == EFault::DiskFull) {
            // Room for the old file, not for the new one.
            ASSERT_EQ(mount("tmpfs", m_Area.m_strDest.c_str(), "tmpfs", 0, "size=256k,mode=0755"), 0)
                << std::strerror(errno);
            m_bMounted = true;
        }
        if (GetParam().m_bReplace)
            WriteFileBytes(m_strBig, kOld);
        if (fault == EFault::ReadOnlyDestination) {
            const char* d = m_Area.m_strDest.c_str();
            ASSERT_EQ(mount(d, d, nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
            m_bMounted = true;
            ASSERT_EQ(mount(nullptr, d, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
                << std::strerror(errno);
        }
    }

    void TearDown() override {
        if (m_bMounted)
            umount2(m_Area.m_strDest.c_str(), MNT_DETACH);
    }

    std::string Expected() const {
        switch (GetParam().m_eFault) {
        case EFault::DiskFull:
        case EFault::FileTooLarge:
            return "Could not write file BIG";
        case EFault::ReadOnlyDestination:
            return "Could not create file BIG";
        case EFault::FailingRead:
            return "Could not read file BIG";
        }
        return {};
    }

    // The old file as it was (or still no file), and nothing else: no temporary.
    void CheckNothingLost() {
        if (GetParam().m_bReplace) {
            EXPECT_EQ(ListTree(m_Area.m_strDest), std::vector<std::string>{"BIG"});
            EXPECT_EQ(ReadFileBytes(m_strBig), kOld);
        } else {
            EXPECT_EQ(ListTree(m_Area.m_strDest), std::vector<std::string>{});
        }
        EXPECT_EQ(m_Area.OutsideDamage({"FAULT.DIR"}), "");
    }
};

// Lowers the file size limit for this process while alive; a write past it then fails with EFBIG
// instead of raising SIGXFSZ.
class CSizeLimit {
public:
    explicit CSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &m_Old);
        m_OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_Old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~CSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_Old);
        std::signal(SIGXFSZ, m_OldHandler);
    }

private:
    rlimit m_Old{};
    void (*m_OldHandler)(int) = nullptr;
};

TEST_P(CFault, Core) {
    CRecordingSink sink;
    const CNameCodec codec;
    CPackFile pack(m_strArchive, sink);
    ASSERT_EQ(pack.m_Entries.size(), 1u);
    if (GetParam().m_eFault == EFault::FailingRead) {
        // The catalogue is read; then the archive loses the end of the entry's data.
        ASSERT_EQ(truncate(m_strArchive.c_str(), static_cast<off_t>(kFailFrom)), 0);
    }
    const int dirfd = CFolderWalk::OpenDestination(m_Area.m_strDest);
    ASSERT_GE(dirfd, 0);
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    CExtractResult result;
    if (GetParam().m_eFault == EFault::FileTooLarge) {
        CSizeLimit limit(kSizeLimit);
        result = walk.Extract(dirfd, all);
    } else {
        result = walk.Extract(dirfd, all);
    }
    close(dirfd);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{Expected()});
    EXPECT_EQ(result.m_nFilesWritten, 0u);
    CheckNothingLost();
}

TEST_P(CFault, CommandLine) {
    if (!CliPath())
        GTEST_SKIP() << "this build has no vorpex-cli";
    const EFault fault = GetParam().m_eFault;
    const CCliRun run = RunCli({"extract", "--quiet", "-C", m_Area.m_strDest, m_strArchive}, [fault] {
        if (fault == EFault::FileTooLarge) {
            std::signal(SIGXFSZ, SIG_IGN); // stays ignored across exec
            rlimit lowered{};
            getrlimit(RLIMIT_FSIZE, &lowered);
            lowered.rlim_cur = kSizeLimit;
            setrlimit(RLIMIT_FSIZE, &lowered);
        }
        if (fault == EFault::FailingRead) {
            setenv("LD_PRELOAD", VORPEX_FAILING_READ_PATH, 1);
            setenv("VORPEX_FAIL_READ_FROM", std::to_string(kFailFrom).c_str(), 1);
            // A sanitizer build wants its runtime first among the loaded libraries; the shim is ahead of it.
            const char* asan = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS",
                   (std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "verify_asan_link_order=0")
                       .c_str(),
                   1);
        }
    });
    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_EQ(run.m_ErrLines, std::vector<std::string>{Expected()});
    CheckNothingLost();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CFault,
    ::testing::Values(CFaultCase{EFault::DiskFull, false}, CFaultCase{EFault::DiskFull, true},
                      CFaultCase{EFault::FileTooLarge, false}, CFaultCase{EFault::FileTooLarge, true},
                      CFaultCase{EFault::ReadOnlyDestination, false},
                      CFaultCase{EFault::ReadOnlyDestination, true}, CFaultCase{EFault::FailingRead, false},
                      CFaultCase{EFault::FailingRead, true}),
    [](const ::testing::TestParamInfo<CFaultCase>& info) {
        return std::string(FaultName(info.param.m_eFault)) + (info.param.m_bReplace ? "_Replacing" : "_New");
    });

// On a read-only destination a folder cannot be made either, and nothing below it is tried.
TEST(FaultReadOnly, FolderIsNotMadeAndNothingBelowIsTried) {
    if (!MountUnavailable().empty())
        GTEST_SKIP() << MountUnavailable();
    CHostileArea area;
    const std::string archive = area.m_strArchiveDir + "/FAULT.DIR";
    WriteFileBytes(archive, BuildArchive({Folder("D", {File("F", "f"), Folder("S", {File("G", "g")})})}));
    const char* d = area.m_strDest.c_str();
    ASSERT_EQ(mount(d, d, nullptr, MS_BIND, nullptr), 0) << std::strerror(errno);
    ASSERT_EQ(mount(nullptr, d, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0)
        << std::strerror(errno);
    CRecordingSink sink;
    const CNameCodec codec;
    CPackFile pack(archive, sink);
    const int dirfd = CFolderWalk::OpenDestination(area.m_strDest);
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    walk.Extract(dirfd, all);
    close(dirfd);
    EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Could not make directory D"});
    if (CliPath()) {
        const CCliRun run = RunCli({"extract", "--quiet", "-C", area.m_strDest, archive});
        EXPECT_EQ(run.m_nStatus, 1);
        EXPECT_EQ(run.m_ErrLines, std::vector<std::string>{"Could not make directory D"});
    }
    umount2(d, MNT_DETACH);
    EXPECT_EQ(ListTree(area.m_strDest), std::vector<std::string>{});
    EXPECT_EQ(area.OutsideDamage({"FAULT.DIR"}), "");
}

} // namespace
