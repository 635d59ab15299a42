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

// Nothing raw reaches the terminal: no control character in any line.
void ExpectNoControlCharacters(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        EXPECT_EQ(
            std::count_if(line.begin(), line.end(), [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; }),
            0)
            << line;
}

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
    ExpectNoControlCharacters(run.m_ErrLines);
    CheckOutcome();
}

// Listing and checking a hostile archive: no crash, the reader's problems reported (exit status 1 when
// there are any), and nothing raw on either stream.
TEST_P(CHostileArchive, ListAndCheck) {
    if (!CliPath())
        GTEST_SKIP() << "this build has no vorpex-cli";
    const CHostileCase& c = GetParam();
    const bool readerProblems = !c.m_CliProblems.empty();
    const std::vector<std::string> before = ListTree(m_Area.m_strDest);
    for (const char* command : {"list", "check"}) {
        const CCliRun run = RunCli({command, m_strArchive});
        if (std::string(command) == "list") {
            EXPECT_EQ(run.m_nStatus, readerProblems ? 1 : 0) << command;
        } else {
            EXPECT_TRUE(run.m_nStatus == 0 || run.m_nStatus == 1) << command << " exited " << run.m_nStatus;
        }
        ExpectNoControlCharacters(run.m_OutLines);
        ExpectNoControlCharacters(run.m_ErrLines);
    }
    EXPECT_EQ(ListTree(m_Area.m_strDest), before) << "listing or checking changed the destination";
    EXPECT_EQ(m_Area.OutsideDamage(c.m_bArchiveInDest ? std::vector<std::string>{}
                                                      : std::vector<std::string>{c.m_strArchiveName}),
              "");
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

namespace {

// In another code page, harmless bytes can decode to a separator or to "..": the decoded name is
// checked too. UTF-7 spells '/' as "+AC8-" and ".." as "+AC4ALg-".
TEST(HostileEncoding, NamesThatDecodeToSeparatorsAreSkipped) {
    CHostileArea area;
    const std::string archive = area.m_strArchiveDir + "/UTF7.DIR";
    WriteFileBytes(archive, BuildArchive({Folder("D", {File("+AC8-etc+AC8-x", "x"), File("OK", "ok"),
                                                       Folder("+AC4ALg-", {File("ESCAPE", "e")})})}));
    const CNameCodec codec("UTF-7");
    ASSERT_TRUE(codec.IsValid());
    CRecordingSink sink;
    CPackFile pack(archive, sink);
    CFolderWalk walk(pack, sink, codec);
    CSelection all;
    all.m_bWholeArchive = true;
    const int dirfd = CFolderWalk::OpenDestination(area.m_strDest);
    walk.Extract(dirfd, all);
    close(dirfd);
    EXPECT_EQ(sink.Texts(),
              (std::vector<std::string>{"Skipped unsafe name /etc/x", "Skipped unsafe name .."}));
    EXPECT_EQ(ListTree(area.m_strDest), (std::vector<std::string>{"D/", "D/OK"}));
    EXPECT_EQ(area.OutsideDamage({"UTF7.DIR"}), "");

    if (!CliPath())
        return;
    CHostileArea cliArea;
    WriteFileBytes(cliArea.m_strArchiveDir + "/UTF7.DIR", ReadFileBytes(archive));
    const CCliRun run = RunCli({"extract", "--quiet", "--encoding", "UTF-7", "-C", cliArea.m_strDest,
                                cliArea.m_strArchiveDir + "/UTF7.DIR"});
    EXPECT_EQ(run.m_nStatus, 1);
    EXPECT_EQ(run.m_ErrLines,
              (std::vector<std::string>{"Skipped unsafe name \\x2Fetc\\x2Fx", "Skipped unsafe name .."}));
    EXPECT_EQ(ListTree(cliArea.m_strDest), (std::vector<std::string>{"D/", "D/OK"}));
    EXPECT_EQ(cliArea.OutsideDamage({"UTF7.DIR"}), "");
}

// What cannot be opened at all is exit status 2, with the reason on standard error and nothing made.
TEST(HostileCommandLine, UnopenableArchivesAndDestinationsExitWithTwo) {
    if (!CliPath())
        GTEST_SKIP() << "this build has no vorpex-cli";
    CHostileArea area;
    const std::string good = area.m_strArchiveDir + "/GOOD.DIR";
    WriteFileBytes(good, BuildArchive({Folder("D", {File("F", "f")})}));
    const std::string folder = area.m_strArchiveDir + "/FOLDER.DIR";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    const std::string missing = area.m_strArchiveDir + "/MISSING.DIR";
    const std::string fileDest = area.m_strArchiveDir + "/NOT_A_FOLDER";
    WriteFileBytes(fileDest, "x");

    struct CCase {
        std::string m_strDest, m_strArchive, m_strLine;
    };
    for (const CCase& c :
         {CCase{area.m_strDest, missing, "Error opening file. " + missing},
          CCase{area.m_strDest, folder, "Error opening file. " + folder},
          CCase{area.m_strDest + "/none", good, "Could not change to directory " + area.m_strDest + "/none"},
          CCase{fileDest, good, "Could not change to directory " + fileDest}}) {
        const CCliRun run = RunCli({"extract", "--quiet", "-C", c.m_strDest, c.m_strArchive});
        EXPECT_EQ(run.m_nStatus, 2) << c.m_strLine;
        EXPECT_EQ(run.m_ErrLines, std::vector<std::string>{c.m_strLine});
    }
    EXPECT_EQ(ListTree(area.m_strDest), std::vector<std::string>{});
    EXPECT_EQ(ReadFileBytes(fileDest), "x");
    EXPECT_EQ(area.OutsideDamage({"FOLDER.DIR/", "GOOD.DIR", "NOT_A_FOLDER"}), "");
}

} // namespace
