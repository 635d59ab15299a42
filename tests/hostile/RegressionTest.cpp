// Faults found by the fuzzers and the hostile suite, one small test each. Some only fail under the
// sanitizers (tools/ci-sanitize.sh), which is where they were found.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileUtil.h"

TEST(Regression, RecordWithAnEmptyNameCopiesNothingFromANullPointer) {
    // An end record is made from an empty name whose data pointer is null: copying zero bytes from it
    // was undefined behaviour.
    const CArchiveRecord r = CArchiveRecord::Make(std::string_view{}, CArchiveRecord::kEnd, 7, 9);
    EXPECT_EQ(r.Name(), "");
    EXPECT_EQ(r.m_nType, CArchiveRecord::kEnd);
    EXPECT_EQ(r.Bytes().size(), CArchiveRecord::kSize);
}

namespace {

// Runs `fn` in a child process; false when it is still running after `seconds` (it is then killed).
bool FinishesWithin(int seconds, const std::function<int()>& fn, int& exitStatus) {
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    for (int waited = 0; waited < seconds * 10; ++waited) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        usleep(100 * 1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return false;
}

} // namespace

TEST(Regression, AFifoGivenAsTheArchiveIsRefusedWithoutBlocking) {
    // Opening a FIFO for reading waits for a writer that never comes: the desktop program froze and the
    // command line hung. Only what can be read by position is an archive.
    CTempDir dir;
    const std::string fifo = dir / "PIPE.DIR";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    int status = -1;
    const bool finished = FinishesWithin(
        5,
        [&] {
            CRecordingSink sink;
            CPackFile pack(fifo, sink);
            return !pack.m_bOpen && sink.Texts() == std::vector<std::string>{"Error opening file."} ? 0 : 1;
        },
        status);
    ASSERT_TRUE(finished) << "opening a FIFO blocked";
    EXPECT_EQ(status, 0) << "a FIFO was taken for an archive";
    if (CliPath()) {
        const CCliRun run = RunCli({"extract", "--quiet", "-C", dir.Path(), fifo});
        EXPECT_EQ(run.m_nStatus, 2);
    }
}
