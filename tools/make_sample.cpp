// Writes the sample archive shipped as examples/SAMPLE.DIR: a few folders and files, some nested three
// levels deep, text and binary data. Usage: make_sample OUTPUT
#include <cstdio>
#include <string>

#include "tests/support/ArchiveBuilder.h"

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

    const std::string archive = BuildArchive({Folder(
        "DATA",
        {File("README.TXT", "Vorpex sample archive.\r\nEverything in it was made by tools/make_sample.\r\n"),
         File("VERSION.TXT", "0.3\r\n"),
         Folder("MAPS", {File("E1M1.MAP", map), File("E1M2.MAP", map.substr(0, 1500)),
                         Folder("SECRET", {File("HIDDEN.MAP", map.substr(100, 900)),
                                           Folder("DEEP", {File("NOTE.TXT", "Three levels down.\r\n")})})}),
         Folder("SOUNDS", {File("DOOR.WAV", sound), File("STEP.WAV", sound.substr(0, 2048))}),
         Folder("GFX", {File("PALETTE.PAL", palette), File("TITLE.TXT", "VORPEX\r\n"), Folder("EMPTY")})})});
    WriteFileBytes(argv[1], archive);
    return 0;
}
