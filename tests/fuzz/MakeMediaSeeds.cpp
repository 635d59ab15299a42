// Writes the media fuzzers' seeds, a folder for each target, from our own sample writers.
// Usage: make_media_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "tests/media/MediaSamples.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_media_seeds DIR\n");
        return 2;
    }
    std::map<std::string, std::vector<std::string>> seeds;
    const auto small = IndexedImage::make(9, 5, 16), vga = IndexedImage::make(9, 5, 256);
    const Picture rgb = makeTrueColour(9, 5, true);
    for (bool rle : {false, true}) {
        auto& pcx = seeds["fuzz_pcx"];
        pcx.push_back(writePcx(IndexedImage::make(9, 5, 2), 1, 1, rle));
        pcx.push_back(writePcx(small, 1, 4, rle));
        pcx.push_back(writePcx(small, 4, 1, rle));
        pcx.push_back(writePcx(vga, 8, 1, rle));
        pcx.push_back(writePcx24(rgb, rle));
        auto& tga = seeds["fuzz_tga"];
        tga.push_back(writeTgaMapped(vga, rle, rle));
        for (unsigned bits : {16u, 24u, 32u})
            tga.push_back(writeTgaTrue(rgb, bits, rle, !rle));
        auto& ilbm = seeds["fuzz_ilbm"];
        ilbm.push_back(writeIlbm(small, 4, rle, false));
        ilbm.push_back(writeIlbm(vga, 8, rle, true));
    }
    std::string palette;
    for (int i = 0; i < 768; ++i)
        palette += char(i % 64);
    seeds["fuzz_palette"] = {palette};
    const std::string samples = "\x80\x90\xA0\x90\x80\x70\x60\x70";
    seeds["fuzz_wav"] = {writeWavFile(1, 1, 11025, 8, 1, samples), writeWavFile(1, 2, 22050, 16, 4, samples),
                         writeWavFile(0x11, 1, 8000, 4, 8, le16(100) + le16(0) + "\x44\xC0\xF7\x83")};
    seeds["fuzz_voc"] = {VocWriter()
                             .sound(156, samples)
                             .more(samples)
                             .silence(4, 156)
                             .repeat(2)
                             .more(samples)
                             .repeatEnd()
                             .end(),
                         VocWriter().newSound(8000, 16, 2, samples).end(),
                         VocWriter().block(8, le16(0xF000) + std::string{0, 1}).sound(0, samples).end()};
    const std::string conductor =
        std::string("\x00\xFF\x03\x01T\x00\xFF\x51\x03\x07\xA1\x20", 12) + std::string("\x00\xFF\x2F\x00", 4);
    const std::string notes = std::string("\x00\x90\x3C\x40\x60\x3C\x00\x00\xC0\x05\x00\xF0\x01\xF7", 14) +
                              std::string("\x00\xFF\x2F\x00", 4);
    seeds["fuzz_midi"] = {writeMidi(1, 96, {conductor, notes}), writeMidi(0, 0xE728, {notes})};
    for (const auto& [target, files] : seeds) {
        const std::filesystem::path dir = std::filesystem::path(argv[1]) / target;
        std::filesystem::create_directories(dir);
        for (size_t i = 0; i < files.size(); ++i)
            std::ofstream(dir / ("seed-" + std::to_string(i)), std::ios::binary) << files[i];
    }
    return 0;
}
