// Writes the media fuzzers' seeds, a folder for each target, from our own sample writers.
// Usage: make_media_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "tools/mediasamples/MediaSamples.h"

using namespace vorpex;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_media_seeds DIR\n");
        return 2;
    }
    const std::map<MediaKind, std::string> targets = {
        {MediaKind::Pcx, "fuzz_pcx"},         {MediaKind::Tga, "fuzz_tga"}, {MediaKind::Ilbm, "fuzz_ilbm"},
        {MediaKind::Palette, "fuzz_palette"}, {MediaKind::Wav, "fuzz_wav"}, {MediaKind::Voc, "fuzz_voc"},
        {MediaKind::Midi, "fuzz_midi"}};
    int n = 0;
    for (const MediaSample& sample : mediaSamples()) {
        const std::filesystem::path dir = std::filesystem::path(argv[1]) / targets.at(sample.m_kind);
        std::filesystem::create_directories(dir);
        std::ofstream(dir / ("seed-" + std::to_string(n++)), std::ios::binary) << sample.m_bytes;
    }
    return 0;
}
