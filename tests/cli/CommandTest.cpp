#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "platform/MessageTexts.h"
#include "tests/support/CliRunner.h"

namespace vorpex {

namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

// Runs `args` on an archive of `bytes`; checks the exit status and both streams, line by line.
void expectRun(Lines args, const std::string& bytes, int status, const Lines& out, const Lines& err = {}) {
    TempDir dir;
    writeFileBytes(dir / "test.dir", bytes);
    args.push_back(dir / "test.dir");
    const CliRun r = runCli(args);
    EXPECT_EQ(r.m_status, status) << args[0];
    EXPECT_EQ(r.m_outLines, out);
    EXPECT_EQ(r.m_errLines, err);
}

const std::string kExample = buildArchive(
    {folderNode("DATA", {fileNode("README.TXT", "hello"), folderNode("MAPS", {fileNode("M1.MAP", "abc")})})});

TEST(UsageTest, HelpAndUsageErrors) {
    for (const std::string command : {"list", "extract", "check", "pack", "mount"}) {
        const CliRun a = runCli({"help", command}), b = runCli({command, "--help"});
        EXPECT_EQ(a.m_status + b.m_status, 0);
        EXPECT_EQ(a.m_outLines, b.m_outLines);
        EXPECT_EQ(a.m_outLines.at(0).rfind("Usage: vorpex-cli " + command, 0), 0u) << a.m_outLines.at(0);
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
        const CliRun r = runCli(Lines(std::istream_iterator<std::string>(words), {}));
        EXPECT_EQ(r.m_status, 2) << c;
        EXPECT_EQ(r.m_outLines, Lines{});
        EXPECT_NE(r.m_errLines.at(0).find(c.substr(c.find('|') + 1)), std::string::npos)
            << r.m_errLines.at(0);
    }
}

TEST(UsageTest, OptionsBundleTakeValuesAfterEqualsAndStopAtDoubleDash) {
    TempDir dir;
    writeFileBytes(dir / "-x.dir", buildArchive({fileNode("\x82", "ab")})); // an e acute in CP437
    const CliSetup inDir{.m_dir = dir.path()};
    for (const Lines& args : {Lines{"list", "-le", "CP437", "--", "-x.dir"},
                              Lines{"list", "--encoding=CP437", "--long", "--", "-x.dir"},
                              Lines{"list", "-l", "./-x.dir", "-eCP437"}}) {
        const CliRun r = runCli(args, inDir);
        EXPECT_EQ(r.m_status, 0) << args[2];
        EXPECT_EQ(r.m_outLines, Lines{"2  88  \xc3\xa9"}) << args[2];
    }
}

TEST(ListTest, WalkOrderLongFormAlignmentAndNamesDecodedWithSeparatorsAndControlsEscaped) {
    // Records interleaved: files before folders in every list.
    expectRun({"list"},
              buildArchive({folderNode("A", {folderNode("S", {fileNode("s1")}), fileNode("a1"),
                                             folderNode("R"), fileNode("a2")}),
                            fileNode("T1"), folderNode("B"), fileNode("T2")}),
              0, {"T1", "T2", "A/", "A/a1", "A/a2", "A/S/", "A/S/s1", "A/R/", "B/"});

    // Offsets follow from the layout: the lists (44-byte records) first, then the data in reader order.
    expectRun({"list", "-l"},
              buildArchive({fileNode("top", std::string(12345, 'x')),
                            folderNode("F", {fileNode("e"), fileNode("s", "ab")})}),
              0, {"12345    264  top", "              F/", "    0  12609  F/e", "    2  12609  F/s"});

    // 0x82 is a low quotation mark in Windows-1252 and an e acute in CP437.
    expectRun({"list"},
              buildArchive({folderNode("N", {fileNode("a/b"), fileNode("back\\slash"), fileNode("tab\tx"),
                                             fileNode("del\x7f"), fileNode("x\\x41")}),
                            folderNode("caf\xe9", {fileNode("\x82")})}),
              0,
              {"N/", "N/a\\x2Fb", "N/back\\x5Cslash", "N/tab\\x09x", "N/del\\x7F", "N/x\\x5Cx41",
               "caf\xc3\xa9/", "caf\xc3\xa9/\xe2\x80\x9a"});
}

// Two records of unknown type, a name with a backslash, a folder named "..", a name twice in one folder
// and data past the end.
std::string problemArchive() {
    RawArchive raw;
    raw.folder(0, "D", 132).file(44, "a\\b", 0, 0).end(88).record(132, "?", 7, 0, 0);
    raw.record(176, "?", 8, 0, 0).file(220, "twice", 3, 600).file(264, "twice", 3, 600);
    raw.file(308, "past", 10, 598).folder(352, "..", 440).end(396).file(440, "", 0, 0);
    return raw.end(484).bytes(600, "abc").str();
}

TEST(ListTest, NullJsonAndCheckKeepNamesExactAndNameEveryProblem) {
    TempDir dir;
    writeFileBytes(dir / "p.dir", problemArchive());
    const CliRun null = runCli({"list", "-0", dir / "p.dir"});
    EXPECT_EQ(null.m_out, "a\\b\0D/\0D/twice\0D/twice\0D/past\0D/../\0D/../\0"s);
    EXPECT_EQ(null.m_status, 1);
    const std::string file = R"("type":"file","size":)",
                      folder = R"("type":"folder","size":0,"offset":null,"folder":true)";
    const auto problem = [](const char* text) { return R"(,"problems":[")" + std::string(text) + R"("]})"; };
    const CliRun json = runCli({"list", "--json", dir / "p.dir"});
    EXPECT_EQ(json.m_outLines, (Lines{R"({"path":"a\\x5Cb","name":"a\\b",)" + file +
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
    writeFileBytes(dir / "u.dir", buildArchive({fileNode("X\xFFY", "x"), fileNode("caf\xC3\xA9", "y")}));
    const Lines utf8 = runCli({"list", "--json", "-e", "utf-8", dir / "u.dir"}).m_outLines;
    ASSERT_EQ(utf8.size(), 2u);
    EXPECT_NE(utf8[0].find(R"("name":"X\u00ffY")"), std::string::npos) << utf8[0];
    EXPECT_NE(utf8[1].find("\"name\":\"caf\xC3\xA9\""), std::string::npos) << utf8[1];
    // What the reader met follows the listing, on standard error.
    for (const CliRun* r : {&null, &json})
        EXPECT_EQ(r->m_errLines, Lines{kUnknownRecordsSkipped + "2 records of unknown type skipped"s});
    // check counts, then names every kind of problem on standard output.
    expectRun({"check"}, kExample, 0, {"Folders: 2", "Files: 2", "Bytes: 8", kNoProblemsFound});
    expectRun({"check"}, problemArchive(), 1,
              {"Folders: 2", "Files: 5", "Bytes: 16",
               kUnknownRecordsSkipped + "2 records of unknown type skipped"s, kDataBeyondEnd + ": D/past"s,
               kUnsafeName + ": a\\x5Cb"s, kUnsafeName + ": D/../"s, kUnsafeName + ": D/../"s + kEmptyName,
               kDuplicateName + ": D/twice"s, "6 problems found."});
}

// Machine-readable output stays well-formed whatever the code page decodes: a code point past U+10FFFF
// (which iconv lets through from UTF-8) is bytes that are no part of a character, and a decoded U+0000
// (UTF-7's +AAA-) is spelt \x00 in a NUL-separated listing, which check names as unsafe.
TEST(ListTest, DecodedNamesKeepJsonWellFormedAndNulsOutOfNullListings) {
    TempDir dir;
    writeFileBytes(dir / "u.dir", buildArchive({fileNode("A\xF4\x90\x80\x80", "x")}));
    const CliRun json = runCli({"list", "--json", "-e", "UTF-8", dir / "u.dir"});
    const std::string replaced = "\xEF\xBF\xBD"; // U+FFFD
    EXPECT_EQ(json.m_outLines, Lines{R"({"path":"A)" + replaced + replaced + replaced + replaced +
                                     R"(","name":"A\u00f4\u0090\u0080\u0080","type":"file","size":1,)"
                                     R"("offset":88,"folder":false,"problems":[]})"});
    writeFileBytes(dir / "n.dir",
                   buildArchive({folderNode("D", {fileNode("a+AAA-b", "x"), fileNode("c", "y")})}));
    const CliRun null = runCli({"list", "-0", "-e", "UTF-7", dir / "n.dir"});
    EXPECT_EQ(null.m_out, "D/\0D/a\\x00b\0D/c\0"s);
    const CliRun check = runCli({"check", "-e", "UTF-7", dir / "n.dir"});
    EXPECT_EQ(check.m_status, 1);
    EXPECT_EQ(check.m_outLines.at(3), kUnsafeName + ": D/a\\x00b"s);
}

// A file that ends inside a record, or a list (the top-level one too) without its end record, is damaged;
// only an empty file is an empty archive.
TEST(ListTest, CheckNamesAnArchiveCutShort) {
    const std::string text = "This is a text file: 30 bytes.";
    expectRun({"check"}, text, 1,
              {"Folders: 0", "Files: 0", "Bytes: 0", "1 list"s + kListsCutInsideRecord, "1 problem found."});
    // Two files whose data lies in their own records, and no end record.
    RawArchive raw;
    raw.file(0, "F", 1, 0).file(44, "G", 2, 0);
    expectRun({"check"}, raw.str(), 1,
              {"Folders: 0", "Files: 2", "Bytes: 3", "1 list"s + kListsCutShort, "1 problem found."});
    expectRun({"check"}, "", 0, {"Folders: 0", "Files: 0", "Bytes: 0", kNoProblemsFound});
}

// A command whose output goes to a descriptor that was closed at start-up fails with one message, though
// the program keeps the number taken (by /dev/null) so that nothing it opens lands there.
TEST(ListTest, OutputToAStandardDescriptorClosedAtStartFailsAndAnArchiveFromStandardInputWorks) {
    TempDir dir;
    writeFileBytes(dir / "a.dir", kExample);
    const auto closing = [](int fd) { return CliSetup{.m_inChild = [fd] { close(fd); }}; };
    const std::string badFd = std::strerror(EBADF);
    for (const Lines& args :
         {Lines{"list", dir / "a.dir"}, Lines{"list", "--json", dir / "a.dir"}, Lines{"check", dir / "a.dir"},
          Lines{"extract", "-O", dir / "a.dir"}, Lines{"--version"}}) {
        const CliRun r = runCli(args, closing(STDOUT_FILENO));
        EXPECT_EQ(r.m_status, 2) << args[0];
        EXPECT_EQ(r.m_errLines, Lines{kCouldNotWriteStdout + badFd}) << args[0];
    }
    const CliRun in = runCli({"list", "-"}, closing(STDIN_FILENO));
    EXPECT_EQ(in.m_status, 2);
    EXPECT_EQ(in.m_errLines, Lines{kCouldNotReadStdin + badFd});
    // Extraction to disk writes nothing to standard output.
    EXPECT_EQ(runCli({"extract", "-C", dir.path(), dir / "a.dir"}, closing(STDOUT_FILENO)).m_status, 0);

    // The archive from standard input, with every command.
    for (const char* command : {"list", "check"}) {
        const CliRun fromFile = runCli({command, dir / "a.dir"}), piped = runCli({command, "-"}, {kExample});
        EXPECT_EQ(piped.m_outLines, fromFile.m_outLines) << command;
        EXPECT_EQ(piped.m_status, 0);
    }
    const CliRun extract = runCli({"extract", "-C", dir.path(), "-", "DATA/MAPS"}, {kExample});
    EXPECT_EQ(extract.m_status, 0);
    EXPECT_EQ(readFileBytes(dir / "MAPS/M1.MAP"), "abc");
}

} // namespace

} // namespace vorpex
