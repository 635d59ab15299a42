// Every hostile archive of HostileCases.cpp, extracted whole through the core and through the command
// line, each time into a fresh destination, checked against its stated outcome.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/FolderWalk.h"
#include "platform/MessageSink.h"
#include "tests/hostile/HostileCases.h"
#include "tests/hostile/HostileUtil.h"

// gtest prints a failing parameter; its name says enough.
void PrintTo(const CHostileCase& c, std::ostream* os) {
    *os << c.m_strClass << "/" << c.m_strName;
}

namespace {

class CHostileArchive : public ::testing::TestWithParam<CHostileCase> {
protected:
    CHostileArea m_Area;
    std::string m_strArchive;

    void SetUp() override {
        const CHostileCase& c = GetParam();
        m_strArchive =
            (c.m_bArchiveInDest ? m_Area.m_strDest : m_Area.m_strArchiveDir) + "/" + c.m_strArchiveName;
        WriteFileBytes(m_strArchive, c.m_strArchive);
        if (c.m_fnPrepare)
            c.m_fnPrepare(m_Area.m_strDest);
    }

    // What must hold after the extraction, whoever ran it.
    void CheckOutcome() {
        const CHostileCase& c = GetParam();
        std::vector<std::string> expected = c.m_Tree;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListTree(m_Area.m_strDest), expected);
        for (const auto& [path, bytes] : c.m_Contents) {
            struct stat st {};
            ASSERT_EQ(lstat((m_Area.m_strDest + "/" + path).c_str(), &st), 0) << path;
            EXPECT_TRUE(S_ISREG(st.st_mode)) << path << " is no regular file";
            EXPECT_EQ(ReadFileBytes(m_Area.m_strDest + "/" + path), bytes) << path;
        }
        for (const std::string& path : c.m_Absent) {
            struct stat st {};
            EXPECT_NE(lstat(m_Area.Resolve(path).c_str(), &st), 0) << path << " was created";
        }
        const std::vector<std::string> archiveDir =
            c.m_bArchiveInDest ? std::vector<std::string>{} : std::vector<std::string>{c.m_strArchiveName};
        EXPECT_EQ(m_Area.OutsideDamage(archiveDir), "");
        EXPECT_EQ(ReadFileBytes(m_strArchive), c.m_strArchive) << "the archive changed";
    }
};

TEST_P(CHostileArchive, Core) {
    const CHostileCase& c = GetParam();
    CRecordingSink readerSink;
    CPackFile pack(m_strArchive, readerSink);
    ASSERT_TRUE(pack.m_bOpen);
    EXPECT_EQ(readerSink.Texts(), c.m_ReaderMessages);
    EXPECT_EQ(pack.m_Report.m_nUnknownRecords, c.m_nUnknown);
    EXPECT_EQ(pack.m_Report.m_nListsCut, c.m_nListsCut);
    EXPECT_EQ(pack.m_Report.m_nRepeated, c.m_nRepeated);
    EXPECT_EQ(pack.m_Report.m_bNestingLimit, c.m_bNestingLimit);
    EXPECT_FALSE(pack.m_Report.m_bReadError);
    if (c.m_nFolders >= 0) {
        EXPECT_EQ(static_cast<int64_t>(pack.GetFolderCount()), c.m_nFolders);
    }
    if (c.m_nEntries >= 0) {
        EXPECT_EQ(static_cast<int64_t>(pack.m_Entries.size()), c.m_nEntries);
    }

    CRecordingSink sink;
    const CNameCodec codec;
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    const int dirfd = CFolderWalk::OpenDestination(m_Area.m_strDest);
    ASSERT_GE(dirfd, 0);
    const CExtractResult result = walk.Extract(dirfd, all);
    close(dirfd);
    EXPECT_EQ(sink.Texts(), c.m_Messages);
    EXPECT_EQ(result.m_nMessages, c.m_Messages.size());
    CheckOutcome();
}

TEST_P(CHostileArchive, CommandLine) {
    if (!CliPath())
        GTEST_SKIP() << "this build has no vorpex-cli";
    const CHostileCase& c = GetParam();
    const CCliRun run = RunCli({"extract", "--quiet", "-C", m_Area.m_strDest, m_strArchive});
    EXPECT_EQ(run.m_nStatus, c.m_nExitStatus);

    // The walk's messages come first, names escaped; then one line per problem the reader recorded.
    const std::vector<std::string>& lines = c.m_CliLines.empty() ? c.m_Messages : c.m_CliLines;
    ASSERT_EQ(run.m_ErrLines.size(), lines.size() + c.m_CliProblems.size())
        << ::testing::PrintToString(run.m_ErrLines);
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(run.m_ErrLines[i], lines[i]);
    for (size_t i = 0; i < c.m_CliProblems.size(); ++i)
        EXPECT_NE(run.m_ErrLines[lines.size() + i].find(c.m_CliProblems[i]), std::string::npos)
            << run.m_ErrLines[lines.size() + i];
    // Nothing raw reaches the terminal: no control character in any line.
    for (const std::string& line : run.m_ErrLines)
        EXPECT_EQ(
            std::count_if(line.begin(), line.end(), [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }),
            0)
            << line;
    CheckOutcome();
}

// At least 40 archives, across the four classes.
TEST(HostileSuite, CoversEveryClass) {
    const std::vector<CHostileCase> cases = HostileCases();
    EXPECT_GE(cases.size(), 40u);
    for (const char* cls : {"names", "structure", "sizes", "destination"})
        EXPECT_GE(std::count_if(cases.begin(), cases.end(),
                                [&](const CHostileCase& c) { return c.m_strClass == cls; }),
                  5)
            << cls;
}

INSTANTIATE_TEST_SUITE_P(Archives, CHostileArchive, ::testing::ValuesIn(HostileCases()),
                         [](const ::testing::TestParamInfo<CHostileCase>& info) {
                             return info.param.m_strClass + "_" + info.param.m_strName;
                         });

} // namespace
