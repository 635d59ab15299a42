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

namespace vorpex {

namespace {

std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; !s.empty() && end != s.size(); start = end + 1)
        parts.push_back(s.substr(start, (end = std::min(s.find('|', start), s.size())) - start));
    return parts;
}

// Lays out the destination: "N->T" a symbolic link to T, "N=>T" a hard link to T (from the destination),
// "N/" a folder, "N~" a FIFO, "N=BYTES" a file, "N:BYTES" a read-only file. Throws when a step fails.
void prepare(const std::string& dest, const std::vector<std::string>& items) {
    for (const std::string& item : items) {
        const size_t k = item.find_first_of("-=:~");
        const std::string at = dest + "/" + item.substr(0, k),
                          rest = item.substr(std::min(k + 2, item.size()));
        const char kind = k == std::string::npos ? '/' : item.compare(k, 2, "=>") ? item[k] : '>';
        if (kind == '=' || kind == ':')
            writeFileBytes(at, item.substr(k + 1));
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
HostileCase c(std::string name, std::string archive, const std::string& tree,
              const std::string& outcome = {}) {
    HostileCase c;
    c.m_encoding = NameCodec::kDefault;
    c.m_name = std::move(name), c.m_archive = std::move(archive), c.m_tree = split(tree);
    std::vector<std::string> cli, prepare;
    for (std::string item : split(outcome)) {
        const char mark = item[0];
        if (std::string_view("^!@-+").find(mark) != std::string_view::npos) {
            c.m_archiveInDest |= mark == '^';
            (mark == '!'   ? c.m_report
             : mark == '@' ? c.m_encoding
             : mark == '^' ? item
                           : (mark == '-' ? c.m_absent : prepare).emplace_back()) = item.substr(1);
            continue;
        }
        static const std::map<std::string, std::string> kVerbs = {{"skip", kSkippedUnsafeName},
                                                                  {"read", kCouldNotReadFile},
                                                                  {"mkdir", kCouldNotMakeDirectory},
                                                                  {"create", kCouldNotCreateFile}};
        const size_t space = item.find(' '), skip = mark == '>';
        item = kVerbs.at(item.substr(skip, space - skip)) + item.substr(space + 1);
        (skip ? cli : c.m_messages).push_back(item);
    }
    c.m_cliLines = cli.empty() ? c.m_messages : cli;
    for (std::string& t : c.m_tree)
        t = t.ends_with("=*") ? t.substr(0, t.size() - 1) + c.m_archive : t;
    std::sort(c.m_tree.begin(), c.m_tree.end());
    c.m_prepare = [steps = prepare](const std::string& dest) { vorpex::prepare(dest, steps); };
    return c;
}

// A top-level folder D holding the nodes: a bad name is met one level in.
const auto kInD = [](std::vector<Node> nodes) { return buildArchive({folderNode("D", std::move(nodes))}); };
// D at 0 pointing at its list at 88 (the top-level end record at 44), then D's records and end record;
// `data` follows at DataAt(number of records).
constexpr auto kDataAt = [](uint32_t records) { return 88 + (records + 1) * 44; };
constexpr uint8_t kDir = ArchiveRecord::kFolder;
struct Rec {
    std::string m_name;
    uint32_t m_size, m_offset;
    uint8_t m_type = ArchiveRecord::kFile;
};
std::string rawD(const std::vector<Rec>& recs, const std::string& data = {}) {
    RawArchive a;
    a.folder(0, "D", 88).end(44).end(88 + 44 * recs.size());
    for (size_t i = 0; i < recs.size(); ++i)
        a.record(88 + 44 * i, recs[i].m_name, recs[i].m_type, recs[i].m_size, recs[i].m_offset);
    return a.bytes(kDataAt(static_cast<uint32_t>(recs.size())), data).str();
}

} // namespace

std::vector<HostileCase> hostileCases() {
    const std::string full(32, 'N'), made = "BEL\aTAB\tNL\nRED\x1b[31m", osc = "\x1b]0;pwned\a\x1b[2J\x1b[H";
    // Names like the writer's temporaries are the archive's own files, written like any other.
    const std::string temp = ".vorpex-" + std::to_string(getpid()) + "-1.part";
    RawArchive bomb, chain;
    // Nine levels of ten folders, each pointing at the next level's list: 10^9 lists if read naively.
    std::string bombTree = "R/", path = "R/", chainTree, deep;
    bomb.folder(0, "R", 1000).end(44).file(10000, "LEAF", 4, 20000).end(10044).bytes(20000, "leaf");
    for (uint32_t level = 1; level < 10; bomb.end(1000 * level + 440), ++level, path += "A0/")
        for (int i = 0; i < 10; ++i) {
            bomb.folder(1000 * level + 44 * i, "A" + std::to_string(i), 1000 * (level + 1));
            bombTree += "|" + path + "A" + std::to_string(i) + "/";
        }
    // 100,000 folders, each the only record of its parent's list: ten levels are read.
    for (uint32_t i = 0; i < 100000; ++i)
        chain.folder(44ull * i, "L" + std::to_string(i), 44 * (i + 1));
    for (int i = 0; i < 10; ++i)
        chainTree += (i ? "|" : "") + (deep += "L" + std::to_string(i) + "/");
    std::vector<Rec> unknown{{"FIRST", 1, 0}, {"LAST", 1, 0}};
    for (int type = 2; type < 0xFF; ++type)
        unknown.insert(unknown.end() - 1, {"U" + std::to_string(type), 1, 0, static_cast<uint8_t>(type)});
    using R = RawArchive;
    const std::string top = buildArchive({fileNode("LINK", "new")}), inD = kInD({fileNode("OUT", "x")});
    return {
        c("names_dotdot_file", kInD({fileNode("..", "x"), fileNode("OK", "ok")}), "D/|D/OK=ok", "skip .."),
        c("names_dot_file", kInD({fileNode(".", "x")}), "D/", "skip ."),
        c("names_empty", kInD({fileNode("", "x"), folderNode("", {fileNode("IN")})}), "D/", "skip |skip "),
        c("names_dotdot_folder", kInD({folderNode("..", {fileNode("OUT")})}), "D/", "skip ..|-../OUT|-OUT"),
        c("names_top_level_dotdot_chain",
          buildArchive({folderNode("..", {folderNode("..", {fileNode("OUT")})})}), "",
          "skip ..|-../OUT|-../../OUT|-OUT"),
        c("names_climbing_file", kInD({fileNode("../../OUT", "x")}), "D/",
          "skip ../../OUT|>skip ..\\x2F..\\x2FOUT|-../../OUT|-../OUT"),
        c("names_climbing_folder", kInD({folderNode("a/../../UP", {fileNode("F")})}), "D/",
          "skip a/../../UP|>skip a\\x2F..\\x2F..\\x2FUP|-../UP|-../../UP|-a"),
        c("names_absolute_names", buildArchive({folderNode("/tmp/vx-abs", {fileNode("F")})}), "",
          "skip /tmp/vx-abs|>skip \\x2Ftmp\\x2Fvx-abs|-/tmp/vx-abs|-tmp"),
        c("names_backslash_names",
          kInD({fileNode("a\\..\\x", "x"), folderNode("..\\..\\BS", {fileNode("F")})}), "D/",
          "skip a\\..\\x|skip ..\\..\\BS|>skip a\\x5C..\\x5Cx|>skip ..\\x5C..\\x5CBS|-../../BS|-x|-D/x"),
        // 32 bytes and no NUL: the whole field is the name; the folder "NNN.../.." is the same 32 bytes.
        c("names_name_fills_its_field", kInD({fileNode(full + "TAIL", "x"), folderNode(full + "/..")}),
          "D/|D/" + full + "=x", "mkdir " + full),
        c("names_after_the_nul",
          kInD({fileNode({"SHORT\0../../OUT", 15}, "s"), folderNode({"..\0HIDE", 7}, {fileNode("F")})}),
          "D/|D/SHORT=s", "skip ..|-../../OUT|-D/HIDE"),
        // Control characters are legal on disk; the command line shows them escaped, never raw.
        c("names_control_characters", rawD({{made, 2, kDataAt(2)}, {"CR\rDEL\x7f", 5, kDataAt(2)}}, "ok"),
          "D/|D/" + made + "=ok", "read CR\rDEL\x7f|>read CR\\x0DDEL\\x7F"),
        c("names_terminal_escape_sequences", rawD({{osc, 9, 0xFFFFFF00}}), "D/",
          "read " + osc + "|>read \\x1B]0;pwned\\x07\\x1B[2J\\x1B[H"),
        // The bytes Windows-1252 leaves undefined decode to C1 controls: made on disk, escaped when shown.
        c("names_c1_controls", rawD({{"C1\x90", 1, kDataAt(2)}, {"C1\x9D\x81", 9, 0xFFFFFF00}}, "c"),
          "D/|D/C1\xC2\x90=c", "read C1\xC2\x9D\xC2\x81|>read C1\\x9D\\x81"),
        c("names_code_page_names_not_utf8", kInD({fileNode("CAF\xC9", "1"), fileNode("\xA9\xE9\xFC", "2")}),
          "D/|D/CAF\xC3\x89=1|D/\xC2\xA9\xC3\xA9\xC3\xBC=2"),
        c("names_utf8_bytes_read_as_code_page", kInD({fileNode("\xC3\xA9T", "e")}),
          "D/|D/\xC3\x83\xC2\xA9T=e"),
        // Names that only look dangerous are ordinary; "..." is a file first, so no folder of that name.
        c("names_harmless_lookalikes",
          kInD({fileNode("...", "1"), fileNode(" ..", "2"), fileNode(".. ", "3"), fileNode("..a", "4"),
                fileNode("-rf", "5"), fileNode("~", "6"), folderNode("...", {fileNode("IN", "8")})}),
          "D/|D/ ..=2|D/-rf=5|D/...=1|D/.. =3|D/..a=4|D/~=6", "mkdir ..."),
        c("names_like_a_temporary", kInD({fileNode(temp, "t")}), "D/|D/" + temp + "=t"),
        // Within one extraction a file it wrote is never replaced: the second of two names is skipped.
        c("names_same_name_twice", kInD({fileNode("SAME", "first"), fileNode("SAME", "second")}),
          "D/|D/SAME=first", "create SAME"),
        c("names_decoded_alike", kInD({fileNode("X\xFF", "first"), fileNode("X\xFE", "second")}),
          "D/|D/X\xEF\xBF\xBD=first", "@UTF-8|create X\xEF\xBF\xBD"),
        // In another code page harmless bytes may decode to a separator or to "..": UTF-7 spells them so.
        c("names_decoded_to_separators_in_utf7",
          kInD({fileNode("+AC8-etc+AC8-x"), fileNode("OK", "ok"),
                folderNode("+AC4ALg-", {fileNode("ESCAPE")})}),
          "D/|D/OK=ok", "@UTF-7|skip /etc/x|skip ..|>skip \\x2Fetc\\x2Fx|>skip .."),
        c("structure_folder_points_at_its_own_list", rawD({{"SELF", 0, 88, kDir}, {"F", 1, kDataAt(2)}}, "f"),
          "D/|D/F=f|D/SELF/", "!1 list ran into"),
        c("structure_cycle", R().bytes(0, rawD({{"A", 0, 176, kDir}})).folder(176, "B", 88).end(220).str(),
          "D/|D/A/|D/A/B/", "!1 list ran into"),
        c("structure_list_bomb", bomb.str(), bombTree + "|" + path + "LEAF=leaf", "!81 lists ran into"),
        // X's list starts at the next record of the list X stands in: that record is X's, not D's.
        c("structure_list_starts_inside_a_list", rawD({{"X", 0, 132, kDir}, {"B", 1, kDataAt(2)}}, "b"),
          "D/|D/X/|D/X/B=b", "!1 list ran into"),
        c("structure_list_starts_inside_a_record", rawD({{"A", 1, 0}, {"M", 0, 100, kDir}}), "D/|D/A=D|D/M/",
          "!1 list ran into"),
        c("structure_chain_100000_deep", chain.str(), chainTree, "!deeper than 10"),
        // Reading ends where a folder's list lies past the end: the file after it is never read.
        c("structure_folder_offset_past_the_end",
          R().folder(0, "D", ~15u).file(44, "AFTER", 1, 132).end(88).str(), "D/", "!1 list cut short"),
        c("structure_straddling_record", R().folder(0, "D", 88).end(44).file(88, "A", 1, 0).size(152).str(),
          "D/|D/A=D", "!1 list cut short"),
        c("structure_every_unknown_type", rawD(unknown), "D/|D/FIRST=D|D/LAST=D", "!253 records of unknown"),
        c("structure_archive_of_0_bytes", "", ""),
        // A file that ends inside a record is cut short, even where reading ends there at once.
        c("structure_archive_of_43_bytes", R().folder(0, "D", 0).size(43).str(), "", "!1 list cut short"),
        c("structure_archive_of_44_bytes", R().folder(0, "ONE", 44).str(), "ONE/", "!1 list cut short"),
        c("structure_archive_of_45_bytes", R().file(0, "F", 1, 44).bytes(44, "z").str(), "F=z",
          "!1 list cut short"),
        c("sizes_ffffffff", rawD({{"HUGE", ~0u, 0}, {"OK", 2, kDataAt(2)}}, "ok"), "D/|D/OK=ok", "read HUGE"),
        c("sizes_data_one_byte_past_the_end", rawD({{"OVER", 5, kDataAt(1)}}, "abcd"), "D/", "read OVER"),
        // 0xFFFFFF80 + 0x100 is 0x80 in 32 bits, well inside the file; in 64 bits it is past the end.
        c("sizes_wraps_32_bits", rawD({{"WRAP", 0x100, 0xFFFFFF80}}, std::string(300, 'w')), "D/",
          "read WRAP"),
        c("sizes_zero_sizes", rawD({{"EMPTY", 0, 0}, {"EMPTYFAR", 0, ~0u}}), "D/|D/EMPTY=", "read EMPTYFAR"),
        // Data may overlap the records, even be the whole archive.
        c("sizes_data_overlaps_the_records", rawD({{"ALL", kDataAt(1), 0}}), "D/|D/ALL=*"),
        c("destination_symlink_at_a_file", top, "LINK=new", "+LINK->../outside/SENTINEL"),
        c("destination_dangling_symlink_at_a_file", top, "LINK=new", "-../outside/NEW|+LINK->../outside/NEW"),
        c("destination_symlink_to_a_folder_at_a_file", top, "LINK=new", "-../outside/LINK|+LINK->../outside"),
        c("destination_hard_link_at_a_file", top, "LINK=new", "+LINK=>../outside/SENTINEL"),
        c("destination_symlink_at_a_folder", inD, "D", "mkdir D|-../outside/OUT|+D->../outside"),
        c("destination_symlink_to_a_folder_inside", inD, "D|REAL/", "mkdir D|+REAL/|+D->REAL"),
        c("destination_folder_at_a_file", top, "LINK/|LINK/KEEP=mine", "create LINK|+LINK/|+LINK/KEEP=mine"),
        c("destination_file_at_a_folder", inD, "D=mine", "mkdir D|+D=mine"),
        // Opening a FIFO to write would block for ever; the rename replaces it instead.
        c("destination_fifo_at_a_file", top, "LINK=new", "+LINK~"),
        c("destination_fifo_at_a_folder", inD, "D", "mkdir D|+D~"),
        c("destination_read_only_file_at_a_file", top, "LINK=mine", "create LINK|+LINK:mine"),
        c("destination_symlink_to_the_archive", top, "LINK=new", "+LINK->../archive/HOSTILE.DIR"),
        // The archive itself, or through a hard link under another name, is never written; a symbolic
        // link to it is only a link, replaced.
        c("destination_the_archive_itself", buildArchive({fileNode("HOSTILE.DIR", "new")}), "HOSTILE.DIR=*",
          "create HOSTILE.DIR|^"),
        c("destination_hard_link_to_the_archive", top, "LINK=*", "create LINK|+LINK=>../archive/HOSTILE.DIR"),
    };
}

} // namespace vorpex
