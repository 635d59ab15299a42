#include "tests/hostile/HostileCases.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

// Set-up helpers for the destination; they throw, so that a test framework reports the failed step.
void Must(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error(what + ": " + std::strerror(errno));
}
void Symlink(const std::string& target, const std::string& path) {
    Must(symlink(target.c_str(), path.c_str()) == 0, "symlink " + path);
}
void HardLink(const std::string& existing, const std::string& path) {
    Must(link(existing.c_str(), path.c_str()) == 0, "link " + path);
}
void Fifo(const std::string& path) {
    Must(mkfifo(path.c_str(), 0644) == 0, "mkfifo " + path);
}
void Dir(const std::string& path) {
    Must(mkdir(path.c_str(), 0755) == 0, "mkdir " + path);
}
void FileWith(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
    WriteFileBytes(path, bytes);
    Must(chmod(path.c_str(), mode) == 0, "chmod " + path);
}
std::string Absolute(const std::string& path) {
    char buf[PATH_MAX];
    Must(realpath(path.c_str(), buf) != nullptr, "realpath " + path);
    return buf;
}

// A top-level folder D holding the given nodes: the usual wrapper, so that a bad name is met one level in.
std::string InD(std::vector<CNode> nodes) {
    return BuildArchive({Folder("D", std::move(nodes))});
}

// Raw layout of D's list: D at 0 pointing at 88, the top-level end record at 44, D's records from 88 on,
// then D's end record; data may follow from DataAt(records).
constexpr uint32_t kDList = 88;
constexpr uint32_t DataAt(uint32_t records) {
    return kDList + (records + 1) * 44;
}
struct CRec {
    std::string m_strName;
    uint8_t m_nType;
    uint32_t m_nSize;
    uint32_t m_nOffset;
};
std::string RawD(const std::vector<CRec>& recs, const std::string& data = {}) {
    CRawArchive a;
    a.Folder(0, "D", kDList).End(44);
    uint64_t pos = kDList;
    for (const CRec& r : recs) {
        a.Record(pos, r.m_strName, r.m_nType, r.m_nSize, r.m_nOffset);
        pos += 44;
    }
    a.End(pos);
    if (!data.empty())
        a.Bytes(DataAt(static_cast<uint32_t>(recs.size())), data);
    return a.Str();
}
CRec FileRec(std::string name, uint32_t size, uint32_t offset) {
    return {std::move(name), CArchiveRecord::kFile, size, offset};
}

void AddNameCases(std::vector<CHostileCase>& cases) {
    {
        CHostileCase c{"dotdot_file", "names", InD({File("..", "x"), File("OK", "ok")})};
        c.m_Tree = {"D/", "D/OK"};
        c.m_Contents = {{"D/OK", "ok"}};
        c.m_Messages = {"Skipped unsafe name .."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"dot_file", "names", InD({File(".", "x")})};
        c.m_Tree = {"D/"};
        c.m_Messages = {"Skipped unsafe name ."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"empty_name", "names",
                       InD({File("", "x"), Folder("", {File("IN", "i")}), File("OK", "ok")})};
        c.m_Tree = {"D/", "D/OK"};
        c.m_Messages = {"Skipped unsafe name ", "Skipped unsafe name "};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"dotdot_folder", "names", InD({File("OK"), Folder("..", {File("ESCAPE", "x")})})};
        c.m_Tree = {"D/", "D/OK"};
        c.m_Absent = {"../ESCAPE", "ESCAPE"};
        c.m_Messages = {"Skipped unsafe name .."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"dot_folder", "names", InD({Folder(".", {File("INTO_D", "x"), Folder("SUB")})})};
        c.m_Tree = {"D/"};
        c.m_Messages = {"Skipped unsafe name ."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"top_level_dotdot_chain", "names",
                       BuildArchive({Folder("..", {Folder("..", {File("vx-escape", "x")})})})};
        c.m_Absent = {"../vx-escape", "../../vx-escape", "vx-escape"};
        c.m_Messages = {"Skipped unsafe name .."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"climbing_file_name", "names", InD({File("../../vx-climb", "x")})};
        c.m_Tree = {"D/"};
        c.m_Absent = {"../../vx-climb", "../vx-climb"};
        c.m_Messages = {"Skipped unsafe name ../../vx-climb"};
        c.m_CliLines = {"Skipped unsafe name ..\\x2F..\\x2Fvx-climb"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"climbing_folder_name", "names", InD({Folder("a/../../vx-up", {File("F", "x")})})};
        c.m_Tree = {"D/"};
        c.m_Absent = {"../vx-up", "../../vx-up", "a"};
        c.m_Messages = {"Skipped unsafe name a/../../vx-up"};
        c.m_CliLines = {"Skipped unsafe name a\\x2F..\\x2F..\\x2Fvx-up"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{
            "absolute_names", "names",
            BuildArchive({File("/tmp/vorpex-hostile-abs", "x"),
                          Folder("/tmp/vorpex-hostile-absdir", {File("F", "x")}), File("KEPT", "k")})};
        c.m_Tree = {"KEPT"};
        c.m_Absent = {"/tmp/vorpex-hostile-abs", "/tmp/vorpex-hostile-absdir", "tmp"};
        c.m_Messages = {"Skipped unsafe name /tmp/vorpex-hostile-abs",
                        "Skipped unsafe name /tmp/vorpex-hostile-absdir"};
        c.m_CliLines = {"Skipped unsafe name \\x2Ftmp\\x2Fvorpex-hostile-abs",
                        "Skipped unsafe name \\x2Ftmp\\x2Fvorpex-hostile-absdir"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"backslash_names", "names",
                       InD({File("a\\..\\x", "x"), Folder("..\\..\\vx-bs", {File("F", "x")})})};
        c.m_Tree = {"D/"};
        c.m_Absent = {"../../vx-bs", "x", "D/x"};
        c.m_Messages = {"Skipped unsafe name a\\..\\x", "Skipped unsafe name ..\\..\\vx-bs"};
        c.m_CliLines = {"Skipped unsafe name a\\x5C..\\x5Cx", "Skipped unsafe name ..\\x5C..\\x5Cvx-bs"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // 32 bytes and no NUL: the whole field is the name, nothing of the type byte after it.
        const std::string full(32, 'N');
        CHostileCase c{"name_fills_its_field", "names",
                       InD({File(full + "TAIL", "x"), Folder(full + "/..")})};
        c.m_Tree = {"D/", "D/" + full};
        c.m_Contents = {{"D/" + full, "x"}};
        c.m_Messages = {"Could not make directory " + full}; // the folder's name is the same 32 bytes
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // What follows the NUL is not part of the name, whatever it says.
        CHostileCase c{"bytes_after_the_nul", "names",
                       InD({File(std::string("SHORT\0../../vx-nul", 18), "s"),
                            Folder(std::string("..\0HIDDEN", 9), {File("F", "x")})})};
        c.m_Tree = {"D/", "D/SHORT"};
        c.m_Contents = {{"D/SHORT", "s"}};
        c.m_Absent = {"../../vx-nul", "D/HIDDEN"};
        c.m_Messages = {"Skipped unsafe name .."};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Control characters are legal in names on disk; the command line shows them escaped, never raw.
        const std::string made = "BEL\aTAB\tNL\nRED\x1b[31m";
        const std::string lost = "CR\rDEL\x7f";
        CHostileCase c{"control_characters", "names",
                       RawD({FileRec(made, 2, DataAt(2)), FileRec(lost, 5, DataAt(2))}, "ok")};
        c.m_Tree = {"D/", "D/" + made};
        c.m_Contents = {{"D/" + made, "ok"}};
        c.m_Messages = {"Could not read file " + lost};
        c.m_CliLines = {"Could not read file CR\\x0DDEL\\x7F"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // A name that would retitle the terminal and clear the screen if printed raw.
        const std::string osc = "\x1b]0;pwned\a\x1b[2J\x1b[H";
        CHostileCase c{"terminal_escape_sequences", "names", RawD({FileRec(osc, 9, 0xFFFFFF00)})};
        c.m_Tree = {"D/"};
        c.m_Messages = {"Could not read file " + osc};
        c.m_CliLines = {"Could not read file \\x1B]0;pwned\\x07\\x1B[2J\\x1B[H"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // The five bytes Windows-1252 leaves undefined decode to C1 controls: made on disk, escaped when
        // shown.
        CHostileCase c{"c1_controls", "names",
                       RawD({FileRec("C1\x90", 1, DataAt(2)), FileRec("C1\x9D\x81", 9, 0xFFFFFF00)}, "c")};
        c.m_Tree = {"D/", "D/C1\xC2\x90"};
        c.m_Contents = {{"D/C1\xC2\x90", "c"}};
        c.m_Messages = {"Could not read file C1\xC2\x9D\xC2\x81"};
        c.m_CliLines = {"Could not read file C1\\x9D\\x81"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Valid in the code page, not UTF-8: decoded, so the names on disk are UTF-8.
        CHostileCase c{"code_page_names_not_utf8", "names",
                       InD({File("CAF\xC9", "1"), File("\xA9\xE9\xFC", "2")})};
        c.m_Tree = {"D/", "D/CAF\xC3\x89", "D/\xC2\xA9\xC3\xA9\xC3\xBC"};
        c.m_Contents = {{"D/CAF\xC3\x89", "1"}, {"D/\xC2\xA9\xC3\xA9\xC3\xBC", "2"}};
        cases.push_back(c);
    }
    {
        // And back: UTF-8 bytes in a record are code-page characters, each decoded on its own.
        CHostileCase c{"utf8_bytes_read_as_code_page", "names", InD({File("\xC3\xA9T\xC3\xA9", "e")})};
        c.m_Tree = {"D/", "D/\xC3\x83\xC2\xA9T\xC3\x83\xC2\xA9"};
        c.m_Contents = {{"D/\xC3\x83\xC2\xA9T\xC3\x83\xC2\xA9", "e"}};
        cases.push_back(c);
    }
    {
        // Names that only look dangerous are ordinary names and must not be refused.
        CHostileCase c{
            "names_that_only_look_dangerous", "names",
            InD({File("...", "1"), File(" ..", "2"), File(".. ", "3"), File("..a", "4"), File("-rf", "5"),
                 File("~", "6"), File("*", "7"), Folder("...", {File("IN", "8")})})};
        c.m_Tree = {"D/", "D/ ..", "D/*", "D/-rf", "D/...", "D/.. ", "D/..a", "D/~"};
        // "..." is a file first, so the folder of that name cannot be made.
        c.m_Messages = {"Could not make directory ..."};
        c.m_Contents = {{"D/...", "1"}, {"D/ ..", "2"}, {"D/.. ", "3"}, {"D/~", "6"}};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Names that look like the writer's temporaries are the archive's own files, written like any other.
        // In this process the first file goes through temporary 0 and the next would use this very name.
        const std::string temp = ".vorpex-" + std::to_string(getpid()) + "-1.part";
        CHostileCase c{"names_like_a_temporary", "names", InD({File(temp, "t"), File("NEXT", "n")})};
        c.m_Tree = {"D/", "D/" + temp, "D/NEXT"};
        c.m_Contents = {{"D/" + temp, "t"}, {"D/NEXT", "n"}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"same_name_twice_in_one_folder", "names",
                       InD({File("SAME", "first"), File("SAME", "second")})};
        c.m_Tree = {"D/", "D/SAME"};
        c.m_Contents = {{"D/SAME", "second"}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"top_level_file_climbing", "names",
                       BuildArchive({File("../vx-top", "x"), File("TOPFILE", "t")})};
        c.m_Tree = {"TOPFILE"};
        c.m_Absent = {"../vx-top"};
        c.m_Messages = {"Skipped unsafe name ../vx-top"};
        c.m_CliLines = {"Skipped unsafe name ..\\x2Fvx-top"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
}

void AddStructureCases(std::vector<CHostileCase>& cases) {
    {
        // The only folder's list is the top-level list it stands in.
        CHostileCase c{"folder_points_at_the_top_list", "structure",
                       CRawArchive().Folder(0, "A", 0).End(44).Str()};
        c.m_Tree = {"A/"};
        c.m_nFolders = 1;
        c.m_nRepeated = 1;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"folder_points_at_its_own_list", "structure",
                       CRawArchive()
                           .Folder(0, "D", 88)
                           .End(44)
                           .Folder(88, "SELF", 88)
                           .File(132, "F", 1, 220)
                           .End(176)
                           .Bytes(220, "f")
                           .Str()};
        c.m_Tree = {"D/", "D/F", "D/SELF/"};
        c.m_nFolders = 2;
        c.m_nEntries = 1;
        c.m_nRepeated = 1;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"two_folder_cycle", "structure",
                       CRawArchive()
                           .Folder(0, "D", 88)
                           .End(44)
                           .Folder(88, "A", 176)
                           .End(132)
                           .Folder(176, "B", 88)
                           .End(220)
                           .Str()};
        c.m_Tree = {"D/", "D/A/", "D/A/B/"};
        c.m_nFolders = 3;
        c.m_nRepeated = 1;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Five folders share one list: it is read once, for the first.
        CRawArchive a;
        a.Folder(0, "D", 88).End(44);
        for (int i = 0; i < 5; ++i)
            a.Folder(88 + 44 * i, "X" + std::to_string(i + 1), 400);
        a.End(308).File(400, "F", 1, 488).End(444).Bytes(488, "f");
        CHostileCase c{"folders_share_one_list", "structure", a.Str()};
        c.m_Tree = {"D/", "D/X1/", "D/X1/F", "D/X2/", "D/X3/", "D/X4/", "D/X5/"};
        c.m_nFolders = 6;
        c.m_nEntries = 1;
        c.m_nRepeated = 4;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Nine levels of ten folders, each level's folders all pointing at the next level's list: read
        // naively that is 10^9 lists; each list is read once.
        CRawArchive a;
        a.Folder(0, "R", 1000).End(44);
        CHostileCase c{"shared_list_bomb", "structure", {}};
        c.m_Tree = {"R/"};
        std::string chain = "R/";
        for (int level = 1; level <= 10; ++level) {
            const uint32_t list = 1000u * level;
            if (level == 10) {
                a.File(list, "LEAF", 4, 20000).End(list + 44).Bytes(20000, "leaf");
                c.m_Tree.push_back(chain + "LEAF");
                break;
            }
            for (int i = 0; i < 10; ++i) {
                a.Folder(list + 44 * i, "A" + std::to_string(i), list + 1000);
                c.m_Tree.push_back(chain + "A" + std::to_string(i) + "/");
            }
            a.End(list + 440);
            chain += "A0/";
        }
        c.m_strArchive = a.Str();
        c.m_nFolders = 91;
        c.m_nEntries = 1;
        c.m_nRepeated = 81;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // X's list starts at the next record of the list X stands in: that record is X's, not D's.
        CHostileCase c{"list_starts_inside_a_list", "structure",
                       CRawArchive()
                           .Folder(0, "D", 88)
                           .End(44)
                           .Folder(88, "X", 132)
                           .File(132, "B", 1, 220)
                           .End(176)
                           .Bytes(220, "b")
                           .Str()};
        c.m_Tree = {"D/", "D/X/", "D/X/B"};
        c.m_nFolders = 2;
        c.m_nEntries = 1;
        c.m_nRepeated = 1;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // M's list would start in the middle of a record already read.
        CHostileCase c{"list_starts_inside_a_record", "structure",
                       RawD({FileRec("A", 1, 0), {"M", CArchiveRecord::kFolder, 0, kDList + 12}})};
        c.m_Tree = {"D/", "D/A", "D/M/"};
        c.m_Contents = {{"D/A", "D"}};
        c.m_nRepeated = 1;
        c.m_CliProblems = {"already read"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // 100,000 folders, each the only record of its parent's list: ten levels are read, then reading
        // stops.
        CRawArchive a;
        for (uint32_t i = 0; i < 100000; ++i)
            a.Folder(44ull * i, "L" + std::to_string(i), 44 * (i + 1));
        CHostileCase c{"chain_100000_deep", "structure", a.Str()};
        std::string path;
        for (int i = 0; i < 10; ++i) {
            path += "L" + std::to_string(i) + "/";
            c.m_Tree.push_back(path);
        }
        c.m_nFolders = 10;
        c.m_bNestingLimit = true;
        c.m_CliProblems = {"deeper than 10"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Reading ends where a folder's list lies past the end: the file after it is never read.
        CHostileCase c{
            "folder_offset_past_the_end", "structure",
            CRawArchive().Folder(0, "D", 0xFFFFFFF0).File(44, "AFTER", 1, 132).End(88).Bytes(132, "a").Str()};
        c.m_Tree = {"D/"};
        c.m_nEntries = 0;
        c.m_nListsCut = 1;
        c.m_CliProblems = {"cut short"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"record_straddles_the_end", "structure",
                       CRawArchive()
                           .Folder(0, "D", 88)
                           .End(44)
                           .File(88, "A", 1, 0)
                           .Bytes(132, std::string(20, '\x01'))
                           .Str()};
        c.m_Tree = {"D/", "D/A"};
        c.m_Contents = {{"D/A", "D"}};
        c.m_nListsCut = 1;
        c.m_CliProblems = {"cut short"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Every type byte the format does not know, between two files: one message, both files.
        std::vector<CRec> recs{FileRec("FIRST", 1, 0)};
        for (int type = 2; type < 0xFF; ++type)
            recs.push_back({"U" + std::to_string(type), static_cast<uint8_t>(type), 1, 0});
        recs.push_back(FileRec("LAST", 1, 0));
        CHostileCase c{"every_unknown_type", "structure", RawD(recs)};
        c.m_Tree = {"D/", "D/FIRST", "D/LAST"};
        c.m_ReaderMessages = {"Unknown file type encountered."};
        c.m_nUnknown = 253;
        c.m_nEntries = 2;
        c.m_CliProblems = {"253 records of unknown type"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"archive_of_0_bytes", "structure", ""};
        c.m_nFolders = 0;
        c.m_nEntries = 0;
        cases.push_back(c);
    }
    {
        CHostileCase c{"archive_of_43_bytes", "structure", CRawArchive().Folder(0, "D", 0).Size(43).Str()};
        c.m_nFolders = 0;
        cases.push_back(c);
    }
    {
        CHostileCase c{"archive_of_44_bytes", "structure", CRawArchive().Folder(0, "ONE", 44).Str()};
        c.m_Tree = {"ONE/"};
        c.m_nListsCut = 1;
        c.m_CliProblems = {"cut short"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"archive_of_45_bytes", "structure",
                       CRawArchive().File(0, "F", 1, 44).Bytes(44, "z").Str()};
        c.m_Tree = {"F"};
        c.m_Contents = {{"F", "z"}};
        c.m_nEntries = 1;
        cases.push_back(c);
    }
}

void AddSizeCases(std::vector<CHostileCase>& cases) {
    {
        CHostileCase c{"size_ffffffff", "sizes",
                       RawD({FileRec("HUGE", 0xFFFFFFFF, 0), FileRec("OK", 2, DataAt(2))}, "ok")};
        c.m_Tree = {"D/", "D/OK"};
        c.m_Contents = {{"D/OK", "ok"}};
        c.m_Messages = {"Could not read file HUGE"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"data_one_byte_past_the_end", "sizes", RawD({FileRec("OVER", 5, DataAt(1))}, "abcd")};
        c.m_Tree = {"D/"};
        c.m_Messages = {"Could not read file OVER"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // 0xFFFFFF80 + 0x100 is 0x80 in 32 bits, well inside the file; in 64 bits it is past the end.
        CHostileCase c{"offset_plus_size_wraps", "sizes",
                       RawD({FileRec("WRAP", 0x100, 0xFFFFFF80)}, std::string(300, 'w'))};
        c.m_Tree = {"D/"};
        c.m_Messages = {"Could not read file WRAP"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Data may overlap the records, even be the whole archive.
        CHostileCase c{"data_overlaps_the_records", "sizes", {}};
        c.m_strArchive = RawD({FileRec("WHOLE", DataAt(2), 0), FileRec("OWNREC", 44, kDList + 44)});
        c.m_Tree = {"D/", "D/OWNREC", "D/WHOLE"};
        c.m_Contents = {{"D/WHOLE", c.m_strArchive}, {"D/OWNREC", c.m_strArchive.substr(kDList + 44, 44)}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"zero_sizes", "sizes",
                       RawD({FileRec("EMPTY", 0, 0), FileRec("EMPTYFAR", 0, 0xFFFFFFFF)})};
        c.m_Tree = {"D/", "D/EMPTY"};
        c.m_Contents = {{"D/EMPTY", ""}};
        c.m_Messages = {"Could not read file EMPTYFAR"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
}

void AddDestinationCases(std::vector<CHostileCase>& cases) {
    const std::string top = BuildArchive({File("LINK", "new")});
    {
        CHostileCase c{"symlink_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../outside/SENTINEL", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"absolute_symlink_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) {
            Symlink(Absolute(d + "/../outside/SENTINEL"), d + "/LINK");
        };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"dangling_symlink_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../outside/CREATED", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        c.m_Absent = {"../outside/CREATED"};
        cases.push_back(c);
    }
    {
        CHostileCase c{"symlink_to_a_folder_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../outside", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        c.m_Absent = {"../outside/LINK"};
        cases.push_back(c);
    }
    {
        CHostileCase c{"hard_link_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { HardLink(d + "/../outside/SENTINEL", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        cases.push_back(c);
    }
    const std::string folderD = BuildArchive({Folder("D", {File("ESCAPE", "x")})});
    {
        CHostileCase c{"symlink_at_a_folder", "destination", folderD};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../outside", d + "/D"); };
        c.m_Tree = {"D"};
        c.m_Absent = {"../outside/ESCAPE"};
        c.m_Messages = {"Could not make directory D"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"dangling_symlink_at_a_folder", "destination", folderD};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../outside/NEWDIR", d + "/D"); };
        c.m_Tree = {"D"};
        c.m_Absent = {"../outside/NEWDIR"};
        c.m_Messages = {"Could not make directory D"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"symlink_to_a_folder_inside", "destination", folderD};
        c.m_fnPrepare = [](const std::string& d) {
            Dir(d + "/REAL");
            Symlink("REAL", d + "/D");
        };
        c.m_Tree = {"D", "REAL/"};
        c.m_Messages = {"Could not make directory D"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"folder_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) {
            Dir(d + "/LINK");
            FileWith(d + "/LINK/KEEP", "keep");
        };
        c.m_Tree = {"LINK/", "LINK/KEEP"};
        c.m_Contents = {{"LINK/KEEP", "keep"}};
        c.m_Messages = {"Could not create file LINK"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"file_at_a_folder", "destination", folderD};
        c.m_fnPrepare = [](const std::string& d) { FileWith(d + "/D", "mine"); };
        c.m_Tree = {"D"};
        c.m_Contents = {{"D", "mine"}};
        c.m_Messages = {"Could not make directory D"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Opening a FIFO to write would block for ever; it is replaced by the rename instead.
        CHostileCase c{"fifo_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { Fifo(d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        cases.push_back(c);
    }
    {
        CHostileCase c{"fifo_at_a_folder", "destination", folderD};
        c.m_fnPrepare = [](const std::string& d) { Fifo(d + "/D"); };
        c.m_Tree = {"D"};
        c.m_Messages = {"Could not make directory D"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        CHostileCase c{"read_only_file_at_a_file", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { FileWith(d + "/LINK", "mine", 0444); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "mine"}};
        c.m_Messages = {"Could not create file LINK"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // Extracting into the archive's own folder an entry that bears the archive's name.
        CHostileCase c{"the_archive_itself", "destination",
                       BuildArchive({File("HOSTILE.DIR", "overwritten")})};
        c.m_bArchiveInDest = true;
        c.m_Tree = {"HOSTILE.DIR"};
        c.m_Contents = {{"HOSTILE.DIR", c.m_strArchive}};
        c.m_Messages = {"Could not create file HOSTILE.DIR"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // The archive under another name, through a hard link: still the archive.
        CHostileCase c{"hard_link_to_the_archive", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { HardLink(d + "/../archive/HOSTILE.DIR", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", top}};
        c.m_Messages = {"Could not create file LINK"};
        c.m_nExitStatus = 1;
        cases.push_back(c);
    }
    {
        // A symbolic link to the archive is only a link: replaced, and the archive is untouched.
        CHostileCase c{"symlink_to_the_archive", "destination", top};
        c.m_fnPrepare = [](const std::string& d) { Symlink("../archive/HOSTILE.DIR", d + "/LINK"); };
        c.m_Tree = {"LINK"};
        c.m_Contents = {{"LINK", "new"}};
        cases.push_back(c);
    }
}

} // namespace

std::vector<CHostileCase> HostileCases() {
    std::vector<CHostileCase> cases;
    AddNameCases(cases);
    AddStructureCases(cases);
    AddSizeCases(cases);
    AddDestinationCases(cases);
    return cases;
}
