#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

// Runs `args` on an archive of `bytes`; checks the exit status and both streams, line by line.
void ExpectRun(Lines args, const std::string& bytes, int status, const Lines& out, const Lines& err = {}) {
    CTempDir dir;
    WriteFileBytes(dir / "test.dir", bytes);
    args.push_back(dir / "test.dir");
    const CCliRun r = RunCli(args);
    EXPECT_EQ(r.m_nStatus, status) << args[0];
    EXPECT_EQ(r.m_OutLines, out);
    EXPECT_EQ(r.m_ErrLines, err);
}

const std::string kExample =
    BuildArchive({Folder("DATA", {File("README.TXT", "hello"), Folder("MAPS", {File("M1.MAP", "abc")})})});

TEST(UsageTest, HelpAndUsageErrors) {
    for (const std::string command : {"list", "extract", "check", "pack", "mount"}) {
        const CCliRun a = RunCli({"help", command}), b = RunCli({command, "--help"});
        EXPECT_EQ(a.m_nStatus + b.m_nStatus, 0);
        EXPECT_EQ(a.m_OutLines, b.m_OutLines);
        EXPECT_EQ(a.m_OutLines.at(0).rfind("Usage: vorpex-cli " + command, 0), 0u) << a.m_OutLines.at(0);
    }
    // Status 2, nothing on standard output, and a message that names what is wrong (after the '|').
    for (const std::string c :
         {"|no command", "frobnicate|'frobnicate'", "list x y|one ARCHIVE", "list --quiet x|'--quiet'",
          "check -lx a|'-l'", "list --long=1 x|'--long'", "list -0 --json x|--json",
          "extract -O -C d a|--to-stdout", "list --encoding NO-SUCH x|'NO-SUCH'",
          "list --encoding= x|--encoding", "list x -e|'-e'", "pack x|FOLDER",
          // mount and unmount read their options as every command does: -f and -e bundle.
          "mount -fe NO-SUCH a d|'NO-SUCH'", "mount -fx a d|mount takes no option '-x'",
          "unmount --encoding=CP437 d|unmount takes no option '--encoding'", "mount a|ARCHIVE and a DIR"}) {
        std::istringstream words(c.substr(0, c.find('|')));
        const CCliRun r = RunCli(Lines(std::istream_iterator<std::string>(words), {}));
        EXPECT_EQ(r.m_nStatus, 2) << c;
        EXPECT_EQ(r.m_OutLines, Lines{});
        EXPECT_NE(r.m_ErrLines.at(0).find(c.substr(c.find('|') + 1)), std::string::npos)
            << r.m_ErrLines.at(0);
    }
}

TEST(UsageTest, OptionsBundleTakeValuesAfterEqualsAndStopAtDoubleDash) {
    CTempDir dir;
    WriteFileBytes(dir / "-x.dir", BuildArchive({File("\x82", "ab")})); // an e acute in CP437
    const CCliSetup inDir{.m_strDir = dir.Path()};
    for (const Lines& args : {Lines{"list", "-le", "CP437", "--", "-x.dir"},
                              Lines{"list", "--encoding=CP437", "--long", "--", "-x.dir"},
                              Lines{"list", "-l", "./-x.dir", "-eCP437"}}) {
        const CCliRun r = RunCli(args, inDir);
        EXPECT_EQ(r.m_nStatus, 0) << args[2];
        EXPECT_EQ(r.m_OutLines, Lines{"2  88  \xc3\xa9"}) << args[2];
    }
}

TEST(ListTest, WalkOrderLongFormAlignmentAndNamesDecodedWithSeparatorsAndControlsEscaped) {
    // Records interleaved: files before folders in every list.
    ExpectRun({"list"},
              BuildArchive({Folder("A", {Folder("S", {File("s1")}), File("a1"), Folder("R"), File("a2")}),
                            File("T1"), Folder("B"), File("T2")}),
              0, {"T1", "T2", "A/", "A/a1", "A/a2", "A/S/", "A/S/s1", "A/R/", "B/"});

    // Offsets follow from the layout: the lists (44-byte records) first, then the data in reader order.
    ExpectRun({"list", "-l"},
              BuildArchive({File("top", std::string(12345, 'x')), Folder("F", {File("e"), File("s", "ab")})}),
              0, {"12345    264  top", "              F/", "    0  12609  F/e", "    2  12609  F/s"});

    // 0x82 is a low quotation mark in Windows-1252 and an e acute in CP437.
    ExpectRun({"list"},
              BuildArchive({Folder("N", {File("a/b"), File("back\\slash"), File("tab\tx"), File("del\x7f"),
                                         File("x\\x41")}),
                            Folder("caf\xe9", {File("\x82")})}),
              0,
              {"N/", "N/a\\x2Fb", "N/back\\x5Cslash", "N/tab\\x09x", "N/del\\x7F", "N/x\\x5Cx41",
               "caf\xc3\xa9/", "caf\xc3\xa9/\xe2\x80\x9a"});
}

// Two records of unknown type, a name with a backslash, a folder named "..", a name twice in one folder
// and data past the end.
std::string ProblemArchive() {
    CRawArchive raw;
    raw.Folder(0, "D", 132).File(44, "a\\b", 0, 0).End(88).Record(132, "?", 7, 0, 0);
    raw.Record(176, "?", 8, 0, 0).File(220, "twice", 3, 600).File(264, "twice", 3, 600);
    raw.File(308, "past", 10, 598).Folder(352, "..", 440).End(396).File(440, "", 0, 0);
    return raw.End(484).Bytes(600, "abc").Str();
}

TEST(ListTest, NullJsonAndCheckKeepNamesExactAndNameEveryProblem) {
    CTempDir dir;
    WriteFileBytes(dir / "p.dir", ProblemArchive());
    const CCliRun null = RunCli({"list", "-0", dir / "p.dir"});
    EXPECT_EQ(null.m_strOut, "a\\b\0D/\0D/twice\0D/twice\0D/past\0D/../\0D/../\0"s);
    EXPECT_EQ(null.m_nStatus, 1);
    const std::string file = R"("type":"file","size":)",
                      folder = R"("type":"folder","size":0,"offset":null,"folder":true)";
    const auto problem = [](const char* text) { return R"(,"problems":[")" + std::string(text) + R"("]})"; };
    const CCliRun json = RunCli({"list", "--json", dir / "p.dir"});
    EXPECT_EQ(json.m_OutLines, (Lines{R"({"path":"a\\x5Cb","name":"a\\b",)" + file +
                                          R"(0,"offset":0,"folder":false)" + problem(kUnsafeName),
                                      R"({"path":"D/","name":"D",)" + folder + R"(,"problems":[]})",
                                      R"({"path":"D/twice","name":"twice",)" + file +
                                          R"(3,"offset":600,"folder":false,"problems":[]})",
                                      R"({"path":"D/twice","name":"twice",)" + file +
                                          R"(3,"offset":600,"folder":false)" + problem(kDuplicateName),
                                      R"({"path":"D/past","name":"past",)" + file +
                                          R"(10,"offset":598,"folder":false)" + problem(kDataBeyondEnd),
                                      R"({"path":"D/../","name":"..",)" + folder + problem(kUnsafeName),
                                      R"({"path":"D/../","name":"",)" + file +
                                          R"(0,"offset":0,"folder":false)" + problem(kUnsafeName)}));
    // In a UTF-8 archive a byte that is no part of a character keeps its value in the name, the JSON way.
    WriteFileBytes(dir / "u.dir", BuildArchive({File("X\xFFY", "x"), File("caf\xC3\xA9", "y")}));
    const Lines utf8 = RunCli({"list", "--json", "-e", "utf-8", dir / "u.dir"}).m_OutLines;
    ASSERT_EQ(utf8.size(), 2u);
    EXPECT_NE(utf8[0].find(R"("name":"X\u00ffY")"), std::string::npos) << utf8[0];
    EXPECT_NE(utf8[1].find("\"name\":\"caf\xC3\xA9\""), std::string::npos) << utf8[1];
    // What the reader met follows the listing, on standard error.
    for (const CCliRun* r : {&null, &json})
        EXPECT_EQ(r->m_ErrLines, Lines{kUnknownRecordsSkipped + "2 records of unknown type skipped"s});
    // check counts, then names every kind of problem on standard output.
    ExpectRun({"check"}, kExample, 0, {"Folders: 2", "Files: 2", "Bytes: 8", kNoProblemsFound});
    ExpectRun({"check"}, ProblemArchive(), 1,
              {"Folders: 2", "Files: 5", "Bytes: 16",
               kUnknownRecordsSkipped + "2 records of unknown type skipped"s, kDataBeyondEnd + ": D/past"s,
               kUnsafeName + ": a\\x5Cb"s, kUnsafeName + ": D/../"s, kUnsafeName + ": D/../"s + kEmptyName,
               kDuplicateName + ": D/twice"s, "6 problems found."});
}

// Machine-readable output stays well-formed whatever the code page decodes: a code point past U+10FFFF
// (which iconv lets through from UTF-8) is bytes that are no part of a character, and a decoded U+0000
// (UTF-7's +AAA-) is spelt \x00 in a NUL-separated listing, which check names as unsafe.
TEST(ListTest, DecodedNamesKeepJsonWellFormedAndNulsOutOfNullListings) {
    CTempDir dir;
    WriteFileBytes(dir / "u.dir", BuildArchive({File("A\xF4\x90\x80\x80", "x")}));
    const CCliRun json = RunCli({"list", "--json", "-e", "UTF-8", dir / "u.dir"});
    const std::string replaced = "\xEF\xBF\xBD"; // U+FFFD
    EXPECT_EQ(json.m_OutLines, Lines{R"({"path":"A)" + replaced + replaced + replaced + replaced +
                                     R"(","name":"A\u00f4\u0090\u0080\u0080","type":"file","size":1,)"
                                     R"("offset":88,"folder":false,"problems":[]})"});
    WriteFileBytes(dir / "n.dir", BuildArchive({Folder("D", {File("a+AAA-b", "x"), File("c", "y")})}));
    const CCliRun null = RunCli({"list", "-0", "-e", "UTF-7", dir / "n.dir"});
    EXPECT_EQ(null.m_strOut, "D/\0D/a\\x00b\0D/c\0"s);
    const CCliRun check = RunCli({"check", "-e", "UTF-7", dir / "n.dir"});
    EXPECT_EQ(check.m_nStatus, 1);
    EXPECT_EQ(check.m_OutLines.at(3), kUnsafeName + ": D/a\\x00b"s);
}

// A file that ends inside a record, or a list (the top-level one too) without its end record, is damaged;
// only an empty file is an empty archive.
TEST(ListTest, CheckNamesAnArchiveCutShort) {
    const std::string text = "This is a text file: 30 bytes.";
    ExpectRun({"check"}, text, 1,
              {"Folders: 0", "Files: 0", "Bytes: 0", "1 list"s + kListsCutInsideRecord, "1 problem found."});
    // Two files whose data lies in their own records, and no end record.
    CRawArchive raw;
    raw.File(0, "F", 1, 0).File(44, "G", 2, 0);
    ExpectRun({"check"}, raw.Str(), 1,
              {"Folders: 0", "Files: 2", "Bytes: 3", "1 list"s + kListsCutShort, "1 problem found."});
    ExpectRun({"check"}, "", 0, {"Folders: 0", "Files: 0", "Bytes: 0", kNoProblemsFound});
}

// A command whose output goes to a descriptor that was closed at start-up fails with one message, though
// the program keeps the number taken (by /dev/null) so that nothing it opens lands there.
TEST(ListTest, OutputToAStandardDescriptorClosedAtStartFailsAndAnArchiveFromStandardInputWorks) {
    CTempDir dir;
    WriteFileBytes(dir / "a.dir", kExample);
    const auto closing = [](int fd) { return CCliSetup{.m_fnInChild = [fd] { close(fd); }}; };
    const std::string badFd = std::strerror(EBADF);
    for (const Lines& args :
         {Lines{"list", dir / "a.dir"}, Lines{"list", "--json", dir / "a.dir"}, Lines{"check", dir / "a.dir"},
          Lines{"extract", "-O", dir / "a.dir"}, Lines{"--version"}}) {
        const CCliRun r = RunCli(args, closing(STDOUT_FILENO));
        EXPECT_EQ(r.m_nStatus, 2) << args[0];
        EXPECT_EQ(r.m_ErrLines, Lines{kCouldNotWriteStdout + badFd}) << args[0];
    }
    const CCliRun in = RunCli({"list", "-"}, closing(STDIN_FILENO));
    EXPECT_EQ(in.m_nStatus, 2);
    EXPECT_EQ(in.m_ErrLines, Lines{kCouldNotReadStdin + badFd});
    // Extraction to disk writes nothing to standard output.
    EXPECT_EQ(RunCli({"extract", "-C", dir.Path(), dir / "a.dir"}, closing(STDOUT_FILENO)).m_nStatus, 0);

    // The archive from standard input, with every command.
    for (const char* command : {"list", "check"}) {
        const CCliRun fromFile = RunCli({command, dir / "a.dir"}), piped = RunCli({command, "-"}, {kExample});
        EXPECT_EQ(piped.m_OutLines, fromFile.m_OutLines) << command;
        EXPECT_EQ(piped.m_nStatus, 0);
    }
    const CCliRun extract = RunCli({"extract", "-C", dir.Path(), "-", "DATA/MAPS"}, {kExample});
    EXPECT_EQ(extract.m_nStatus, 0);
    EXPECT_EQ(ReadFileBytes(dir / "MAPS/M1.MAP"), "abc");
}

} // namespace
