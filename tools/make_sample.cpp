// Writes the sample archive shipped as examples/SAMPLE.DIR: a few folders and files, some nested three
// levels deep, text and binary data. Usage: make_sample OUTPUT
#include <cstdio>
#include <string>

#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT\n");
        return 2;
    }
    std::string palette;
    for (int i = 0; i < 256; ++i) {
        palette += static_cast<char>(i);
        palette += static_cast<char>(255 - i);
        palette += static_cast<char>((i * 7) & 0xFF);
    }
    std::string map(4096, '\0');
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = static_cast<char>((i * 31 + i / 64) & 0xFF);
    std::string sound(70000, '\0');
    for (size_t i = 0; i < sound.size(); ++i)
        sound[i] = static_cast<char>(128 + ((i % 100) < 50 ? 40 : -40));

    const std::string archive = buildArchive({folderNode(
        "DATA",
        {fileNode("README.TXT",
                  "Vorpex sample archive.\r\nEverything in it was made by tools/make_sample.\r\n"),
         fileNode("VERSION.TXT", "0.3\r\n"),
         folderNode(
             "MAPS",
             {fileNode("E1M1.MAP", map), fileNode("E1M2.MAP", map.substr(0, 1500)),
              folderNode("SECRET", {fileNode("HIDDEN.MAP", map.substr(100, 900)),
                                    folderNode("DEEP", {fileNode("NOTE.TXT", "Three levels down.\r\n")})})}),
         folderNode("SOUNDS", {fileNode("DOOR.WAV", sound), fileNode("STEP.WAV", sound.substr(0, 2048))}),
         folderNode("GFX", {fileNode("PALETTE.PAL", palette), fileNode("TITLE.TXT", "VORPEX\r\n"),
                            folderNode("EMPTY")})})});
    writeFileBytes(argv[1], archive);
    return 0;
}
