// Writes examples/GAME.DIR, the archive of the README's media previews: a title picture (PCX, 320x200, 256
// colours), its palette, and a sound (Creative Voice), all made here with the tests' writers.
// Usage: make_media_sample OUTPUT
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/mediasamples/MediaSamples.h"
#include "tests/support/ArchiveBuilder.h"

using namespace vorpex;

namespace {

// A plasma of 256 colours running from deep blue through red to yellow.
IndexedImage title() {
    IndexedImage image{320, 200, {}, {}};
    for (int i = 0; i < 256; ++i)
        image.m_palette.push_back({uint8_t(std::min(255, i * 2)), uint8_t(std::max(0, i * 2 - 256)),
                                   uint8_t(i < 64 ? 96 + i : std::max(0, 160 - i))});
    for (uint32_t y = 0; y < image.m_height; ++y)
        for (uint32_t x = 0; x < image.m_width; ++x) {
            const double v = std::sin(x / 23.0) + std::sin(y / 17.0) + std::sin((x + y) / 31.0) +
                             std::sin(std::hypot(x - 160.0, y - 100.0) / 13.0);
            image.m_indexes.push_back(uint8_t((v + 4.0) * 31.9));
        }
    return image;
}

// A falling tone that dies away, 1.2 s of 8-bit unsigned samples at 10989 Hz (time constant 165).
std::string sound() {
    std::string samples;
    double phase = 0;
    for (int i = 0; i < 13200; ++i) {
        phase += (880.0 - i * 0.05) / 10989.0;
        const double level = std::exp(-i / 4000.0);
        samples += char(uint8_t(128 + 100 * level * std::sin(2 * M_PI * phase)));
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_media_sample OUTPUT\n");
        return 2;
    }
    const IndexedImage picture = title();
    std::string palette;
    for (const Rgb& rgb : picture.m_palette)
        palette.append(reinterpret_cast<const char*>(rgb.data()), 3);
    const std::string archive =
        buildArchive({folderNode("GFX", {fileNode("TITLE.PCX", writePcx(picture, 8, 1, true)),
                                         fileNode("TITLE.PAL", palette)}),
                      folderNode("SOUNDS", {fileNode("DOOR.VOC", VocWriter().sound(165, sound()).end())})});
    writeFileBytes(argv[1], archive);
    return 0;
}
