#include "tests/hostile/HostileCases.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/NameCodec.h"
#include "platform/MessageTexts.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; !s.empty() && end != s.size(); start = end + 1)
        parts.push_back(s.substr(start, (end = std::min(s.find('|', start), s.size())) - start));
    return parts;
}

// Lays out the destination: "N->T" a symbolic link to T, "N=>T" a hard link to T (from the destination),
// "N/" a folder, "N~" a FIFO, "N=BYTES" a file, "N:BYTES" a read-only file. Throws when a step fails.
void Prepare(const std::string& dest, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        const size_t k = item.find_first_of("-=:~");
        const std::string at = dest + "/" + item.substr(0, k),
                          rest = item.substr(std::min(k + 2, item.size()));
        const char kind = k == std::string::npos ? '/' : item.compare(k, 2, "=>") ? item[k] : '>';
        if (kind == '=' || kind == ':')
            WriteFileBytes(at, item.substr(k + 1));
        if (kind == '-'   ? symlink(rest.c_str(), at.c_str())
            : kind == '>' ? link((dest + "/" + rest).c_str(), at.c_str())
            : kind == '/' ? mkdir(at.c_str(), 0755)
            : kind == '~' ? mkfifo(at.c_str(), 0644)
                          : chmod(at.c_str(), kind == ':' ? 0444 : 0644))
            throw std::runtime_error(item + ": " + std::strerror(errno));
    }
}

// One case; the tree's paths and the outcome's items are separated by '|'. An item of the outcome is a
// message of the walk ("skip|read|mkdir|create NAME") or, after a mark: '>' the command line's line when
// it differs (escaped), '!' its line for what the reader recorded, '@' the code page, '-' a path that must
// not exist, '+' a step of Prepare, '^' the archive in the destination. Bytes "*" are the archive's.
CHostileCase C(std::string name, std::string archive, const std::string& tree,
               const std::string& outcome = {}) {
    CHostileCase c;
    c.m_strEncoding = CNameCodec::kDefault;
    c.m_strName = std::move(name), c.m_strArchive = std::move(archive), c.m_Tree = Split(tree);
    std::vector<std::string> cli, prepare;
    for (std::string item : Split(outcome)) {
        const char mark = item[0];
        if (std::string_view("^!@-+").find(mark) != std::string_view::npos) {
            c.m_bArchiveInDest |= mark == '^';
            (mark == '!'   ? c.m_strReport
             : mark == '@' ? c.m_strEncoding
             : mark == '^' ? item
                           : (mark == '-' ? c.m_Absent : prepare).emplace_back()) = item.substr(1);
            continue;
        }
        static const std::map<std::string, std::string> kVerbs = {{"skip", kSkippedUnsafeName},
                                                                  {"read", kCouldNotReadFile},
                                                                  {"mkdir", kCouldNotMakeDirectory},
                                                                  {"create", kCouldNotCreateFile}};
        const size_t space = item.find(' '), skip = mark == '>';
        item = kVerbs.at(item.substr(skip, space - skip)) + item.substr(space + 1);
        (skip ? cli : c.m_Messages).push_back(item);
    }
    c.m_CliLines = cli.empty() ? c.m_Messages : cli;
    for (std::string& t : c.m_Tree)
        t = t.ends_with("=*") ? t.substr(0, t.size() - 1) + c.m_strArchive : t;
    std::sort(c.m_Tree.begin(), c.m_Tree.end());
    c.m_fnPrepare = [prepare](const std::string& dest) { Prepare(dest, prepare); };
    return c;
}

// A top-level folder D holding the nodes: a bad name is met one level in.
const auto InD = [](std::vector<CNode> nodes) { return BuildArchive({Folder("D", std::move(nodes))}); };
// D at 0 pointing at its list at 88 (the top-level end record at 44), then D's records and end record;
// `data` follows at DataAt(number of records).
constexpr auto DataAt = [](uint32_t records) { return 88 + (records + 1) * 44; };
constexpr uint8_t kDir = CArchiveRecord::kFolder;
struct CRec {
    std::string m_strName;
    uint32_t m_nSize, m_nOffset;
    uint8_t m_nType = CArchiveRecord::kFile;
};
std::string RawD(const std::vector<CRec>& recs, const std::string& data = {}) {
    CRawArchive a;
    a.Folder(0, "D", 88).End(44).End(88 + 44 * recs.size());
    for (size_t i = 0; i < recs.size(); ++i)
        a.Record(88 + 44 * i, recs[i].m_strName, recs[i].m_nType, recs[i].m_nSize, recs[i].m_nOffset);
    return a.Bytes(DataAt(static_cast<uint32_t>(recs.size())), data).Str();
}

} // namespace

std::vector<CHostileCase> HostileCases() {
    const std::string full(32, 'N'), made = "BEL\aTAB\tNL\nRED\x1b[31m", osc = "\x1b]0;pwned\a\x1b[2J\x1b[H";
    // Names like the writer's temporaries are the archive's own files, written like any other.
    const std::string temp = ".vorpex-" + std::to_string(getpid()) + "-1.part";
    CRawArchive bomb, chain;
    // Nine levels of ten folders, each pointing at the next level's list: 10^9 lists if read naively.
    std::string bombTree = "R/", path = "R/", chainTree, deep;
    bomb.Folder(0, "R", 1000).End(44).File(10000, "LEAF", 4, 20000).End(10044).Bytes(20000, "leaf");
    for (uint32_t level = 1; level < 10; bomb.End(1000 * level + 440), ++level, path += "A0/")
        for (int i = 0; i < 10; ++i) {
            bomb.Folder(1000 * level + 44 * i, "A" + std::to_string(i), 1000 * (level + 1));
            bombTree += "|" + path + "A" + std::to_string(i) + "/";
        }
    // 100,000 folders, each the only record of its parent's list: ten levels are read.
    for (uint32_t i = 0; i < 100000; ++i)
        chain.Folder(44ull * i, "L" + std::to_string(i), 44 * (i + 1));
    for (int i = 0; i < 10; ++i)
        chainTree += (i ? "|" : "") + (deep += "L" + std::to_string(i) + "/");
    std::vector<CRec> unknown{{"FIRST", 1, 0}, {"LAST", 1, 0}};
    for (int type = 2; type < 0xFF; ++type)
        unknown.insert(unknown.end() - 1, {"U" + std::to_string(type), 1, 0, static_cast<uint8_t>(type)});
    using R = CRawArchive;
    const std::string top = BuildArchive({File("LINK", "new")}), inD = InD({File("OUT", "x")});
    return {
        C("names_dotdot_file", InD({File("..", "x"), File("OK", "ok")}), "D/|D/OK=ok", "skip .."),
        C("names_dot_file", InD({File(".", "x")}), "D/", "skip ."),
        C("names_empty", InD({File("", "x"), Folder("", {File("IN")})}), "D/", "skip |skip "),
        C("names_dotdot_folder", InD({Folder("..", {File("OUT")})}), "D/", "skip ..|-../OUT|-OUT"),
        C("names_top_level_dotdot_chain", BuildArchive({Folder("..", {Folder("..", {File("OUT")})})}), "",
          "skip ..|-../OUT|-../../OUT|-OUT"),
        C("names_climbing_file", InD({File("../../OUT", "x")}), "D/",
          "skip ../../OUT|>skip ..\\x2F..\\x2FOUT|-../../OUT|-../OUT"),
        C("names_climbing_folder", InD({Folder("a/../../UP", {File("F")})}), "D/",
          "skip a/../../UP|>skip a\\x2F..\\x2F..\\x2FUP|-../UP|-../../UP|-a"),
        C("names_absolute_names", BuildArchive({Folder("/tmp/vx-abs", {File("F")})}), "",
          "skip /tmp/vx-abs|>skip \\x2Ftmp\\x2Fvx-abs|-/tmp/vx-abs|-tmp"),
        C("names_backslash_names", InD({File("a\\..\\x", "x"), Folder("..\\..\\BS", {File("F")})}), "D/",
          "skip a\\..\\x|skip ..\\..\\BS|>skip a\\x5C..\\x5Cx|>skip ..\\x5C..\\x5CBS|-../../BS|-x|-D/x"),
        // 32 bytes and no NUL: the whole field is the name; the folder "NNN.../.." is the same 32 bytes.
        C("names_name_fills_its_field", InD({File(full + "TAIL", "x"), Folder(full + "/..")}),
          "D/|D/" + full + "=x", "mkdir " + full),
        C("names_after_the_nul",
          InD({File({"SHORT\0../../OUT", 15}, "s"), Folder({"..\0HIDE", 7}, {File("F")})}), "D/|D/SHORT=s",
          "skip ..|-../../OUT|-D/HIDE"),
        // Control characters are legal on disk; the command line shows them escaped, never raw.
        C("names_control_characters", RawD({{made, 2, DataAt(2)}, {"CR\rDEL\x7f", 5, DataAt(2)}}, "ok"),
          "D/|D/" + made + "=ok", "read CR\rDEL\x7f|>read CR\\x0DDEL\\x7F"),
        C("names_terminal_escape_sequences", RawD({{osc, 9, 0xFFFFFF00}}), "D/",
          "read " + osc + "|>read \\x1B]0;pwned\\x07\\x1B[2J\\x1B[H"),
        // The bytes Windows-1252 leaves undefined decode to C1 controls: made on disk, escaped when shown.
        C("names_c1_controls", RawD({{"C1\x90", 1, DataAt(2)}, {"C1\x9D\x81", 9, 0xFFFFFF00}}, "c"),
          "D/|D/C1\xC2\x90=c", "read C1\xC2\x9D\xC2\x81|>read C1\\x9D\\x81"),
        C("names_code_page_names_not_utf8", InD({File("CAF\xC9", "1"), File("\xA9\xE9\xFC", "2")}),
          "D/|D/CAF\xC3\x89=1|D/\xC2\xA9\xC3\xA9\xC3\xBC=2"),
        C("names_utf8_bytes_read_as_code_page", InD({File("\xC3\xA9T", "e")}), "D/|D/\xC3\x83\xC2\xA9T=e"),
        // Names that only look dangerous are ordinary; "..." is a file first, so no folder of that name.
        C("names_harmless_lookalikes",
          InD({File("...", "1"), File(" ..", "2"), File(".. ", "3"), File("..a", "4"), File("-rf", "5"),
               File("~", "6"), Folder("...", {File("IN", "8")})}),
          "D/|D/ ..=2|D/-rf=5|D/...=1|D/.. =3|D/..a=4|D/~=6", "mkdir ..."),
        C("names_like_a_temporary", InD({File(temp, "t")}), "D/|D/" + temp + "=t"),
        // Within one extraction a file it wrote is never replaced: the second of two names is skipped.
        C("names_same_name_twice", InD({File("SAME", "first"), File("SAME", "second")}), "D/|D/SAME=first",
          "create SAME"),
        C("names_decoded_alike", InD({File("X\xFF", "first"), File("X\xFE", "second")}),
          "D/|D/X\xEF\xBF\xBD=first", "@UTF-8|create X\xEF\xBF\xBD"),
        // In another code page harmless bytes may decode to a separator or to "..": UTF-7 spells them so.
        C("names_decoded_to_separators_in_utf7",
          InD({File("+AC8-etc+AC8-x"), File("OK", "ok"), Folder("+AC4ALg-", {File("ESCAPE")})}), "D/|D/OK=ok",
          "@UTF-7|skip /etc/x|skip ..|>skip \\x2Fetc\\x2Fx|>skip .."),
        C("structure_folder_points_at_its_own_list", RawD({{"SELF", 0, 88, kDir}, {"F", 1, DataAt(2)}}, "f"),
          "D/|D/F=f|D/SELF/", "!1 list ran into"),
        C("structure_cycle", R().Bytes(0, RawD({{"A", 0, 176, kDir}})).Folder(176, "B", 88).End(220).Str(),
          "D/|D/A/|D/A/B/", "!1 list ran into"),
        C("structure_list_bomb", bomb.Str(), bombTree + "|" + path + "LEAF=leaf", "!81 lists ran into"),
        // X's list starts at the next record of the list X stands in: that record is X's, not D's.
        C("structure_list_starts_inside_a_list", RawD({{"X", 0, 132, kDir}, {"B", 1, DataAt(2)}}, "b"),
          "D/|D/X/|D/X/B=b", "!1 list ran into"),
        C("structure_list_starts_inside_a_record", RawD({{"A", 1, 0}, {"M", 0, 100, kDir}}), "D/|D/A=D|D/M/",
          "!1 list ran into"),
        C("structure_chain_100000_deep", chain.Str(), chainTree, "!deeper than 10"),
        // Reading ends where a folder's list lies past the end: the file after it is never read.
        C("structure_folder_offset_past_the_end",
          R().Folder(0, "D", ~15u).File(44, "AFTER", 1, 132).End(88).Str(), "D/", "!1 list cut short"),
        C("structure_straddling_record", R().Folder(0, "D", 88).End(44).File(88, "A", 1, 0).Size(152).Str(),
          "D/|D/A=D", "!1 list cut short"),
        C("structure_every_unknown_type", RawD(unknown), "D/|D/FIRST=D|D/LAST=D", "!253 records of unknown"),
        C("structure_archive_of_0_bytes", "", ""),
        // A file that ends inside a record is cut short, even where reading ends there at once.
        C("structure_archive_of_43_bytes", R().Folder(0, "D", 0).Size(43).Str(), "", "!1 list cut short"),
        C("structure_archive_of_44_bytes", R().Folder(0, "ONE", 44).Str(), "ONE/", "!1 list cut short"),
        C("structure_archive_of_45_bytes", R().File(0, "F", 1, 44).Bytes(44, "z").Str(), "F=z",
          "!1 list cut short"),
        C("sizes_ffffffff", RawD({{"HUGE", ~0u, 0}, {"OK", 2, DataAt(2)}}, "ok"), "D/|D/OK=ok", "read HUGE"),
        C("sizes_data_one_byte_past_the_end", RawD({{"OVER", 5, DataAt(1)}}, "abcd"), "D/", "read OVER"),
        // 0xFFFFFF80 + 0x100 is 0x80 in 32 bits, well inside the file; in 64 bits it is past the end.
        C("sizes_wraps_32_bits", RawD({{"WRAP", 0x100, 0xFFFFFF80}}, std::string(300, 'w')), "D/",
          "read WRAP"),
        C("sizes_zero_sizes", RawD({{"EMPTY", 0, 0}, {"EMPTYFAR", 0, ~0u}}), "D/|D/EMPTY=", "read EMPTYFAR"),
        // Data may overlap the records, even be the whole archive.
        C("sizes_data_overlaps_the_records", RawD({{"ALL", DataAt(1), 0}}), "D/|D/ALL=*"),
        C("destination_symlink_at_a_file", top, "LINK=new", "+LINK->../outside/SENTINEL"),
        C("destination_dangling_symlink_at_a_file", top, "LINK=new", "-../outside/NEW|+LINK->../outside/NEW"),
        C("destination_symlink_to_a_folder_at_a_file", top, "LINK=new", "-../outside/LINK|+LINK->../outside"),
        C("destination_hard_link_at_a_file", top, "LINK=new", "+LINK=>../outside/SENTINEL"),
        C("destination_symlink_at_a_folder", inD, "D", "mkdir D|-../outside/OUT|+D->../outside"),
        C("destination_symlink_to_a_folder_inside", inD, "D|REAL/", "mkdir D|+REAL/|+D->REAL"),
        C("destination_folder_at_a_file", top, "LINK/|LINK/KEEP=mine", "create LINK|+LINK/|+LINK/KEEP=mine"),
        C("destination_file_at_a_folder", inD, "D=mine", "mkdir D|+D=mine"),
        // Opening a FIFO to write would block for ever; the rename replaces it instead.
        C("destination_fifo_at_a_file", top, "LINK=new", "+LINK~"),
        C("destination_fifo_at_a_folder", inD, "D", "mkdir D|+D~"),
        C("destination_read_only_file_at_a_file", top, "LINK=mine", "create LINK|+LINK:mine"),
        C("destination_symlink_to_the_archive", top, "LINK=new", "+LINK->../archive/HOSTILE.DIR"),
        // The archive itself, or through a hard link under another name, is never written; a symbolic
        // link to it is only a link, replaced.
        C("destination_the_archive_itself", BuildArchive({File("HOSTILE.DIR", "new")}), "HOSTILE.DIR=*",
          "create HOSTILE.DIR|^"),
        C("destination_hard_link_to_the_archive", top, "LINK=*", "create LINK|+LINK=>../archive/HOSTILE.DIR"),
    };
}
