#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

TEST(UsageTest, VersionAndHelp) {
    const CCliResult v = RunCli({"--version"});
    EXPECT_EQ(v.m_nStatus, 0);
    EXPECT_EQ(v.m_strOut, "vorpex-cli 0.3\n");

    const CCliResult h = RunCli({"--help"});
    EXPECT_EQ(h.m_nStatus, 0);
    for (const char* word : {"list", "extract", "check", "pack", "--encoding", "Exit status"})
        EXPECT_NE(h.m_strOut.find(word), std::string::npos) << word;

    for (const char* command : {"list", "extract", "check", "pack"}) {
        const CCliResult a = RunCli({"help", command});
        const CCliResult b = RunCli({command, "--help"});
        EXPECT_EQ(a.m_nStatus, 0);
        EXPECT_EQ(b.m_nStatus, 0);
        EXPECT_EQ(a.m_strOut, b.m_strOut);
        EXPECT_EQ(a.m_strOut.rfind(std::string("Usage: vorpex-cli ") + command, 0), 0u) << a.m_strOut;
    }
    EXPECT_NE(RunCli({"extract", "-h"}).m_strOut.find("-C, --directory DIR"), std::string::npos);
}

TEST(UsageTest, UsageErrorsExitWithTwo) {
    CTempDir dir;
    const std::string archive = dir / "a.dir";
    WriteFileBytes(archive, BuildArchive({Folder("D")}));
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"list"},
        {"list", archive, archive},
        {"list", "--bogus", archive},
        {"list", "--quiet", archive},  // extract's option
        {"check", "-C", "x", archive}, // extract's option
        {"list", "--encoding"},        // value missing
        {"list", "--encoding", "NO-SUCH-CODE-PAGE", archive},
        {"list", "--long=yes", archive},
        {"extract"},
        {"pack", dir.Path()},
        {"help", "frobnicate"},
    };
    for (const auto& args : bad) {
        const CCliResult r = RunCli(args);
        std::string joined;
        for (const std::string& a : args)
            joined += a + " ";
        EXPECT_EQ(r.m_nStatus, 2) << joined;
        EXPECT_EQ(r.m_strOut, "") << joined;
        EXPECT_EQ(r.m_strErr.rfind("vorpex-cli: ", 0), 0u) << joined << r.m_strErr;
    }
    // Options may follow the operands, and "--" ends them.
    EXPECT_EQ(RunCli({"list", archive, "--long", "--encoding=CP437"}).m_nStatus, 0);
    EXPECT_EQ(RunCli({"list", "--", archive}).m_nStatus, 0);
}

} // namespace
