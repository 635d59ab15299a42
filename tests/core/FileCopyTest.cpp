#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <unistd.h>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

using EMethod = CFileCopy::EMethod;
using EOutcome = CFileCopy::EOutcome;

// A source file of 2.5 pieces that starts off a block boundary, and destinations of every kind the copy
// meets: a file (copy_file_range), a pipe (copy_file_range refuses, sendfile takes it) and a file opened
// for appending (the kernel refuses both: the buffer takes it).
struct CFileCopyTest : ::testing::Test {
    CTempDir m_Dir;
    std::string m_strData;
    CFileDescriptor m_In;
    static constexpr uint64_t kSkip = 777;

    void SetUp() override {
        m_strData.resize(CFileCopy::kPiece * 5 / 2 + kSkip);
        for (size_t i = 0; i < m_strData.size(); ++i)
            m_strData[i] = static_cast<char>(i * 131 + i / 4099);
        WriteFileBytes(m_Dir / "in", m_strData);
        m_In.Reset(open((m_Dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
    }
    std::string Expected() const { return m_strData.substr(kSkip); }
    CFileDescriptor OpenOut(const char* name, int flags) const {
        return CFileDescriptor(open((m_Dir / name).c_str(), O_WRONLY | O_CREAT | flags | O_CLOEXEC, 0600));
    }
};

// Byte strings of megabytes compared without printing them.
::testing::AssertionResult Same(const std::string& got, const std::string& expected) {
    if (got == expected)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure() << got.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << (diff.first - got.begin());
}

// Copies through a pipe, between "head" and "tail", while a thread drains it; what came through goes to
// `got`.
CFileCopy::CResult CopyToPipe(CFileCopy& copy, int in, uint64_t offset, uint64_t size, std::string& got) {
    int ends[2];
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    CFileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    auto drained = std::async(std::launch::async, [fd = readEnd.Get()] {
        std::string bytes;
        char piece[65536];
        for (ssize_t n; (n = read(fd, piece, sizeof piece)) > 0;)
            bytes.append(piece, size_t(n));
        return bytes;
    });
    EXPECT_TRUE(WriteAll(writeEnd.Get(), "head", 4));
    const CFileCopy::CResult result = copy.Copy(in, offset, writeEnd.Get(), size);
    EXPECT_TRUE(WriteAll(writeEnd.Get(), "tail", 4));
    writeEnd.Close();
    got = drained.get();
    return result;
}

// To a file, a file opened for appending and a pipe, each way: the bytes go at the destination's own
// position, which moves on with them; a cancel stops between pieces, what was moved being all there is.
TEST_F(CFileCopyTest, EveryWayWritesExactBytesAtTheDestinationsPositionAndCancelStopsBetweenPieces) {
    for (const EMethod method : {EMethod::Auto, EMethod::Buffer, EMethod::Kernel})
        for (const int way : {0, 1, 2}) { // a file, appending, a pipe
            SCOPED_TRACE(std::to_string(int(method)) + " way " + std::to_string(way));
            CFileCopy copy;
            copy.SetMethod(method);
            bool cancel = false;
            uint64_t told = 0, first = 0; // a piece is at most kPiece bytes, or what a pipe takes at once
            copy.SetCancelCheck([&] { return cancel && first > 0; });
            copy.SetProgress([&](uint64_t moved) { told += moved, first = first ? first : moved; });
            std::string got;
            const auto run = [&](uint64_t offset, uint64_t size) {
                if (way == 2)
                    return CopyToPipe(copy, m_In.Get(), offset, size, got);
                CFileDescriptor out = OpenOut("out", way == 0 ? O_TRUNC : O_TRUNC | O_APPEND);
                EXPECT_TRUE(WriteAll(out.Get(), "head", 4));
                const CFileCopy::CResult result = copy.Copy(m_In.Get(), offset, out.Get(), size);
                EXPECT_TRUE(WriteAll(out.Get(), "tail", 4));
                got = ReadFileBytes(m_Dir / "out");
                return result;
            };
            CFileCopy::CResult result = run(kSkip, Expected().size());
            EXPECT_TRUE(result.Ok());
            EXPECT_EQ(result.m_nMoved, Expected().size());
            EXPECT_EQ(told, Expected().size());
            EXPECT_TRUE(Same(got, "head" + Expected() + "tail"));
            // Small copies and empty ones.
            EXPECT_TRUE(run(5, 100).Ok());
            EXPECT_EQ(got, "head" + m_strData.substr(5, 100) + "tail");
            EXPECT_TRUE(run(5, 0).Ok());
            EXPECT_EQ(got, "headtail");

            cancel = true, first = 0;
            result = run(0, m_strData.size());
            EXPECT_EQ(result.m_eOutcome, EOutcome::Cancelled);
            EXPECT_GT(first, 0u);
            EXPECT_LE(first, CFileCopy::kPiece);
            EXPECT_EQ(result.m_nMoved, first);
            EXPECT_TRUE(Same(got, "head" + m_strData.substr(0, first) + "tail"));
        }
}

TEST_F(CFileCopyTest, FailuresAreToldApartWhicheverWayTheBytesGo) {
    CFileDescriptor full(open("/dev/full", O_WRONLY | O_CLOEXEC));
    CFileDescriptor writeOnly = OpenOut("wo", 0);
    for (const EMethod method : {EMethod::Buffer, EMethod::Kernel}) {
        SCOPED_TRACE(int(method));
        CFileCopy copy;
        copy.SetMethod(method);
        // The source ends before the size asked for: what there was is written.
        CFileDescriptor out = OpenOut("out", O_TRUNC);
        CFileCopy::CResult result = copy.Copy(m_In.Get(), kSkip, out.Get(), m_strData.size());
        EXPECT_EQ(result.m_eOutcome, EOutcome::InputEnded);
        EXPECT_EQ(result.m_nMoved, Expected().size());
        EXPECT_TRUE(Same(ReadFileBytes(m_Dir / "out"), Expected()));
        if (full.IsOpen()) {
            result = copy.Copy(m_In.Get(), 0, full.Get(), m_strData.size());
            EXPECT_EQ(result.m_eOutcome, EOutcome::WriteFailed);
            EXPECT_EQ(result.m_nError, ENOSPC);
        }
        // A source that cannot be read.
        result = copy.Copy(writeOnly.Get(), 0, out.Get(), m_strData.size());
        EXPECT_EQ(result.m_eOutcome, EOutcome::ReadFailed);
        EXPECT_EQ(result.m_nError, EBADF);
    }
}

} // namespace
