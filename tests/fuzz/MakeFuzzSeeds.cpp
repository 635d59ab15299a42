// Writes the fuzzers' seed corpus and dictionary, so that neither is an opaque binary in the repository.
// Usage: make_fuzz_seeds CORPUS_DIR DICTIONARY_FILE
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/ArchiveRecord.h"
#include "tests/support/ArchiveBuilder.h"
#ifdef VORPEX_HAVE_HOSTILE_CASES
#include "tests/hostile/HostileCases.h"
#endif

namespace {

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    CArchiveRecord::PutLe32(reinterpret_cast<unsigned char*>(s.data()), v);
    return s;
}

// The names the extraction target's destination already holds, and names that must never reach the disk.
const std::vector<std::string> kNames = {"LINK", "FILELINK", "RELLINK", "HARD", "FIFO", "RO",
                                         "..",   ".",        "",        "a/b",  "a\\b", "../x"};

std::vector<std::pair<std::string, std::string>> Seeds() {
    std::vector<std::pair<std::string, std::string>> seeds;
    seeds.emplace_back("example", BuildArchive({Folder("DATA", {File("README.TXT", "hello"),
                                                                Folder("MAPS", {File("M1.MAP", "abc")})})}));
    seeds.emplace_back("empty", "");

    // Every special name as a file and as a folder, at the top and one level down.
    std::vector<CNode> top, inner;
    for (const std::string& n : kNames) {
        top.push_back(File(n, "data of " + n));
        inner.push_back(Folder(n, {File("IN", "x")}));
    }
    top.push_back(Folder("D", inner));
    seeds.emplace_back("names", BuildArchive(top));
    seeds.emplace_back("folders-over-links", BuildArchive({Folder("LINK", {File("ESCAPE", "1")}),
                                                           Folder("RELLINK", {File("ESCAPE", "2")}),
                                                           Folder("FIFO"), Folder("RO", {File("X")})}));

    // Ten levels, and eleven.
    CNode deep = File("BOTTOM", "b");
    for (int level = 11; level >= 1; --level)
        deep = Folder("L" + std::to_string(level), {deep, File("F" + std::to_string(level), "f")});
    seeds.emplace_back("eleven-levels", BuildArchive({deep}));

    // A folder whose list is the top-level list, two folders sharing one list, lists inside lists.
    seeds.emplace_back("cycle", CRawArchive().Folder(0, "A", 0).End(44).Str());
    seeds.emplace_back("shared", CRawArchive()
                                     .Folder(0, "R", 88)
                                     .End(44)
                                     .Folder(88, "X", 176)
                                     .Folder(132, "Y", 176)
                                     .File(176, "F", 3, 264)
                                     .End(220)
                                     .Bytes(264, "abc")
                                     .Str());
    seeds.emplace_back("unknown-types", CRawArchive()
                                            .Folder(0, "R", 88)
                                            .End(44)
                                            .Record(88, "Q", 2, 0, 0)
                                            .Record(132, "Q", 0x7F, 0, 0)
                                            .File(176, "F", 1, 0)
                                            .Str());
    seeds.emplace_back("sizes", CRawArchive()
                                    .Folder(0, "R", 88)
                                    .End(44)
                                    .File(88, "HUGE", 0xFFFFFFFF, 0)
                                    .File(132, "WRAP", 0x100, 0xFFFFFF80)
                                    .File(176, "OVER", 300, 0)
                                    .File(220, "ZERO", 0, 0xFFFFFFFF)
                                    .End(264)
                                    .Str());
#ifdef VORPEX_HAVE_HOSTILE_CASES
    for (const CHostileCase& c : HostileCases())
        seeds.emplace_back("hostile-" + c.m_strName, c.m_strArchive);
#endif
    return seeds;
}

std::string DictEscape(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        char buf[5];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR DICTIONARY_FILE\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    for (const auto& [name, bytes] : Seeds())
        WriteFileBytes((dir / name).string(), bytes);

    std::vector<std::string> dict;
    for (uint8_t type : {CArchiveRecord::kFile, CArchiveRecord::kFolder, CArchiveRecord::kEnd, uint8_t(2)})
        dict.push_back(std::string(1, static_cast<char>(type)));
    for (uint32_t v : {0u, 44u, 88u, 132u, 176u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFD4u, 0xFFFFFFFFu})
        dict.push_back(Le32(v));
    for (const std::string& n : kNames)
        if (!n.empty())
            dict.push_back(n);
    dict.push_back(CArchiveRecord::Make({}, CArchiveRecord::kEnd, 0, 0).Bytes());
    dict.push_back(std::string(32, 'N')); // a name filling its field, without a NUL
    std::FILE* f = std::fopen(argv[2], "w");
    if (!f)
        return 1;
    for (size_t i = 0; i < dict.size(); ++i)
        std::fprintf(f, "t%zu=%s\n", i, DictEscape(dict[i]).c_str());
    return std::fclose(f) == 0 ? 0 : 1;
}
