#pragma once

// Writers of the old formats, for the tests and the fuzzers' seeds: every sample file is made here, from
// pixels and samples the test knows, never checked in.
#include <string>
#include <vector>

#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"

namespace vorpex {

// A picture of palette indexes, with runs (for the run-length coders) and changes in every row.
struct IndexedImage {
    uint32_t m_width = 0, m_height = 0;
    std::vector<uint8_t> m_indexes;
    std::vector<Rgb> m_palette;

    static IndexedImage make(uint32_t width, uint32_t height, unsigned colours);
    // What a decoder must give: each index's colour, opaque.
    std::vector<uint8_t> rgba() const;
};
// A true-colour picture with runs and gradients, opaque unless `alpha`.
Picture makeTrueColour(uint32_t width, uint32_t height, bool alpha = false);

// PCX: `bits` x `planes` of 1x1, 1x4, 4x1, 8x1 (palette at the end); 8x3 takes the true-colour picture.
std::string writePcx(const IndexedImage& image, unsigned bits, unsigned planes, bool rle);
std::string writePcx24(const Picture& picture, bool rle);
// TGA: colour-mapped (type 1/9, 8-bit indexes, 24-bit map) or true colour (2/10, 16, 24 or 32 bits).
std::string writeTgaMapped(const IndexedImage& image, bool rle, bool topDown);
std::string writeTgaTrue(const Picture& picture, unsigned bits, bool rle, bool topDown);
// IFF: ILBM with `planes` bit planes (1-8), or PBM, plain or ByteRun1.
std::string writeIlbm(const IndexedImage& image, unsigned planes, bool byteRun, bool pbm);
// The run-length coders alone, for hostile streams.
std::string packPcx(const std::vector<uint8_t>& data);
std::string packByteRun1(const std::vector<uint8_t>& data);

// A WAV file with one "fmt " and one "data" chunk; `dataSize` as stated (by default the data's size).
std::string writeWavFile(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits,
                         uint16_t blockAlign, const std::string& data, int64_t dataSize = -1);

// VOC, block by block.
class VocWriter {
public:
    VocWriter();
    VocWriter& sound(uint8_t divisor, const std::string& samples);
    VocWriter& more(const std::string& samples);
    VocWriter& silence(uint16_t frames, uint8_t divisor);
    VocWriter& newSound(uint32_t rate, uint8_t bits, uint8_t channels, const std::string& samples);
    VocWriter& repeat(uint16_t count);
    VocWriter& repeatEnd();
    VocWriter& block(uint8_t type, const std::string& body);
    std::string end() const { return m_bytes + '\0'; }
    const std::string& unterminated() const { return m_bytes; }

private:
    std::string m_bytes;
};

// A Standard MIDI file from its tracks' raw event bytes (each gets its chunk header).
std::string writeMidi(uint16_t format, uint16_t division, const std::vector<std::string>& tracks);

// A few small files of every kind, the fuzzers' seeds and the random-corruption test's starting points.
struct MediaSample {
    MediaKind m_kind;
    std::string m_bytes;
};
std::vector<MediaSample> mediaSamples();

// Decodes `bytes` as `kind` and checks what comes out: a picture or sound as large as it says and within
// the budget, surviving the PNG or WAV writer; a MIDI summary with lines. Returns the fault, or nothing.
std::string checkDecoded(MediaKind kind, ByteSpan bytes, const MediaBudget& budget);

// Little-endian fields.
std::string le16(unsigned v);
std::string le32(uint32_t v);
std::string be16(unsigned v);
std::string be32(uint32_t v);

} // namespace vorpex
