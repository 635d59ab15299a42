// Writes the fuzzers' seed corpus (every hostile archive of the suite and a few valid ones) and their
// dictionary, so that neither is an opaque binary in the repository.
// Usage: make_fuzz_seeds CORPUS_DIR DICTIONARY_FILE
#include <cstdio>
#include <filesystem>

#include "catalogue/ArchiveRecord.h"
#include "tests/hostile/HostileCases.h"
#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR DICTIONARY_FILE\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    const auto seed = [&](const std::string& name, const std::string& bytes) {
        writeFileBytes(std::string(argv[1]) + "/" + name, bytes);
    };
    for (const HostileCase& c : hostileCases())
        seed("hostile-" + c.m_name, c.m_archive);
    seed("example", buildArchive({folderNode("DATA", {fileNode("README.TXT", "hello"),
                                                      folderNode("MAPS", {fileNode("M", "abc")})})}));
    // The names the extraction target's destination holds, and names that must never reach the disk, as
    // files and folders at the top and one level down.
    const std::vector<std::string> names = {"LINK", "FILELINK", "RELLINK", "HARD", "FIFO", "RO",
                                            "..",   ".",        "a/b",     "a\\b", "../x"};
    std::vector<Node> top, inner;
    for (const std::string& n : names) {
        top.push_back(fileNode(n, "data of " + n));
        inner.push_back(folderNode(n, {fileNode("IN", "x")}));
    }
    top.push_back(folderNode("D", inner));
    seed("names", buildArchive(top));
    Node deep = fileNode("BOTTOM", "b"); // eleven levels
    for (int level = 11; level >= 1; --level)
        deep = folderNode("L" + std::to_string(level), {deep, fileNode("F" + std::to_string(level), "f")});
    seed("eleven-levels", buildArchive({deep}));

    std::vector<std::string> dict = names;
    for (uint8_t type : {ArchiveRecord::kFile, ArchiveRecord::kFolder, ArchiveRecord::kEnd, uint8_t(2)})
        dict.push_back(std::string(1, static_cast<char>(type)));
    for (uint32_t v : {0u, 44u, 88u, 132u, 176u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFD4u, 0xFFFFFFFFu}) {
        dict.emplace_back(4, '\0');
        ArchiveRecord::putLe32(reinterpret_cast<unsigned char*>(dict.back().data()), v);
    }
    dict.push_back(ArchiveRecord::make({}, ArchiveRecord::kEnd, 0, 0).bytes());
    dict.push_back(std::string(32, 'N')); // a name filling its field, without a NUL
    std::FILE* f = std::fopen(argv[2], "w");
    for (size_t i = 0; f && i < dict.size(); ++i) {
        std::fprintf(f, "t%zu=\"", i);
        for (unsigned char c : dict[i])
            std::fprintf(f, c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? "%c" : "\\x%02X", c);
        std::fprintf(f, "\"\n");
    }
    return f && std::fclose(f) == 0 ? 0 : 1;
}
