#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <future>
#include <unistd.h>

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"
#include "tests/support/ArchiveBuilder.h"

namespace vorpex {

namespace {

using Method = FileCopy::Method;
using Outcome = FileCopy::Outcome;

// A source file of 2.5 pieces that starts off a block boundary, and destinations of every kind the copy
// meets: a file (copy_file_range), a pipe (copy_file_range refuses, sendfile takes it) and a file opened
// for appending (the kernel refuses both: the buffer takes it).
struct FileCopyTest : ::testing::Test {
    TempDir m_dir;
    std::string m_data;
    FileDescriptor m_in;
    static constexpr uint64_t kSkip = 777;

    void SetUp() override {
        m_data.resize(FileCopy::kPiece * 5 / 2 + kSkip);
        for (size_t i = 0; i < m_data.size(); ++i)
            m_data[i] = static_cast<char>(i * 131 + i / 4099);
        writeFileBytes(m_dir / "in", m_data);
        m_in.reset(open((m_dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
    }
    std::string expected() const { return m_data.substr(kSkip); }
    FileDescriptor openOut(const char* name, int flags) const {
        return FileDescriptor(open((m_dir / name).c_str(), O_WRONLY | O_CREAT | flags | O_CLOEXEC, 0600));
    }
};

// Byte strings of megabytes compared without printing them.
::testing::AssertionResult same(const std::string& got, const std::string& expected) {
    if (got == expected)
        return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure() << got.size() << " bytes instead of " << expected.size()
                                         << ", first difference at " << (diff.first - got.begin());
}

// Copies through a pipe, between "head" and "tail", while a thread drains it; what came through goes to
// `got`.
FileCopy::Result copyToPipe(FileCopy& copy, int in, uint64_t offset, uint64_t size, std::string& got) {
    int ends[2];
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    FileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    auto drained = std::async(std::launch::async, [fd = readEnd.get()] {
        std::string bytes;
        char piece[65536];
        for (ssize_t n; (n = read(fd, piece, sizeof piece)) > 0;)
            bytes.append(piece, size_t(n));
        return bytes;
    });
    EXPECT_TRUE(writeAll(writeEnd.get(), "head", 4));
    const FileCopy::Result result = copy.copy(in, offset, writeEnd.get(), size);
    EXPECT_TRUE(writeAll(writeEnd.get(), "tail", 4));
    writeEnd.close();
    got = drained.get();
    return result;
}

// To a file, a file opened for appending and a pipe, each way: the bytes go at the destination's own
// position, which moves on with them; a cancel stops between pieces, what was moved being all there is.
TEST_F(FileCopyTest, EveryWayWritesExactBytesAtTheDestinationsPositionAndCancelStopsBetweenPieces) {
    for (const Method method : {Method::Auto, Method::Buffer, Method::Kernel})
        for (const int way : {0, 1, 2}) { // a file, appending, a pipe
            SCOPED_TRACE(std::to_string(int(method)) + " way " + std::to_string(way));
            FileCopy copy;
            copy.setMethod(method);
            bool cancel = false;
            uint64_t told = 0, first = 0; // a piece is at most kPiece bytes, or what a pipe takes at once
            copy.setCancelCheck([&] { return cancel && first > 0; });
            copy.setProgress([&](uint64_t moved) { told += moved, first = first ? first : moved; });
            std::string got;
            const auto run = [&](uint64_t offset, uint64_t size) {
                if (way == 2)
                    return copyToPipe(copy, m_in.get(), offset, size, got);
                FileDescriptor out = openOut("out", way == 0 ? O_TRUNC : O_TRUNC | O_APPEND);
                EXPECT_TRUE(writeAll(out.get(), "head", 4));
                const FileCopy::Result result = copy.copy(m_in.get(), offset, out.get(), size);
                EXPECT_TRUE(writeAll(out.get(), "tail", 4));
                got = readFileBytes(m_dir / "out");
                return result;
            };
            FileCopy::Result result = run(kSkip, expected().size());
            EXPECT_TRUE(result.ok());
            EXPECT_EQ(result.m_moved, expected().size());
            EXPECT_EQ(told, expected().size());
            EXPECT_TRUE(same(got, "head" + expected() + "tail"));
            // Small copies and empty ones.
            EXPECT_TRUE(run(5, 100).ok());
            EXPECT_EQ(got, "head" + m_data.substr(5, 100) + "tail");
            EXPECT_TRUE(run(5, 0).ok());
            EXPECT_EQ(got, "headtail");

            cancel = true, first = 0;
            result = run(0, m_data.size());
            EXPECT_EQ(result.m_outcome, Outcome::Cancelled);
            EXPECT_GT(first, 0u);
            EXPECT_LE(first, FileCopy::kPiece);
            EXPECT_EQ(result.m_moved, first);
            EXPECT_TRUE(same(got, "head" + m_data.substr(0, first) + "tail"));
        }
}

TEST_F(FileCopyTest, FailuresAreToldApartWhicheverWayTheBytesGo) {
    FileDescriptor full(open("/dev/full", O_WRONLY | O_CLOEXEC));
    FileDescriptor writeOnly = openOut("wo", 0);
    for (const Method method : {Method::Buffer, Method::Kernel}) {
        SCOPED_TRACE(int(method));
        FileCopy copy;
        copy.setMethod(method);
        // The source ends before the size asked for: what there was is written.
        FileDescriptor out = openOut("out", O_TRUNC);
        FileCopy::Result result = copy.copy(m_in.get(), kSkip, out.get(), m_data.size());
        EXPECT_EQ(result.m_outcome, Outcome::InputEnded);
        EXPECT_EQ(result.m_moved, expected().size());
        EXPECT_TRUE(same(readFileBytes(m_dir / "out"), expected()));
        if (full.isOpen()) {
            result = copy.copy(m_in.get(), 0, full.get(), m_data.size());
            EXPECT_EQ(result.m_outcome, Outcome::WriteFailed);
            EXPECT_EQ(result.m_error, ENOSPC);
        }
        // A source that cannot be read.
        result = copy.copy(writeOnly.get(), 0, out.get(), m_data.size());
        EXPECT_EQ(result.m_outcome, Outcome::ReadFailed);
        EXPECT_EQ(result.m_error, EBADF);
    }
}

} // namespace

} // namespace vorpex
