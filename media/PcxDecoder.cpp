#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kPaletteSize = 769; // 0x0C, then 256 RGB triples, at the file's end

Rgb headerColour(ByteSpan bytes, unsigned index) {
    const size_t at = 16 + 3 * (index & 15);
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
}

} // namespace

MediaResult<Picture> decodePcx(ByteSpan bytes, const MediaBudget& budget) {
    ByteReader in(bytes);
    const uint8_t maker = in.u8();
    in.skip(1); // version
    const uint8_t encoding = in.u8();
    const unsigned bits = in.u8();
    const uint16_t xMin = in.le16(), yMin = in.le16(), xMax = in.le16(), yMax = in.le16();
    in.seek(65);
    const unsigned planes = in.u8();
    const size_t lineBytes = in.le16();
    if (bytes.size() < kHeaderSize || in.failed())
        return MediaResult<Picture>::failure(kMediaTruncated);
    if (maker != 0x0A || encoding > 1 || xMax < xMin || yMax < yMin)
        return MediaResult<Picture>::failure(kMediaDamaged);
    const unsigned depth = bits * planes;
    const bool supported = (bits == 1 && (planes == 1 || planes == 4)) || (bits == 4 && planes == 1) ||
                           (bits == 8 && (planes == 1 || planes == 3));
    if (!supported)
        return MediaResult<Picture>::failure(kMediaUnsupported);
    const uint64_t width = uint64_t(xMax) - xMin + 1, height = uint64_t(yMax) - yMin + 1;

    MediaResult<Picture> result;
    Picture& picture = result.m_value;
    picture.m_format = "PCX";
    picture.m_sourceBits = depth;
    picture.m_indexed = depth <= 8;
    if (std::string why = allocatePicture(picture, width, height, budget); !why.empty())
        return MediaResult<Picture>::failure(why);
    if (lineBytes * 8 < width * bits)
        return MediaResult<Picture>::failure(kMediaDamaged);

    // The 256 colours follow the pixels; the run-length data must stop before them.
    ByteSpan data = bytes.subspan(kHeaderSize);
    std::array<Rgb, 256> palette{};
    if (depth == 8) {
        if (bytes.size() < kHeaderSize + kPaletteSize || bytes[bytes.size() - kPaletteSize] != 0x0C)
            return MediaResult<Picture>::failure(kMediaNoPalette);
        ByteSpan colours = bytes.last(768);
        for (size_t i = 0; i < 256; ++i)
            palette[i] = {colours[3 * i], colours[3 * i + 1], colours[3 * i + 2]};
        data = data.first(data.size() - kPaletteSize);
    } else if (depth == 1) {
        palette[1] = {255, 255, 255};
    } else {
        for (unsigned i = 0; i < 16; ++i)
            palette[i] = headerColour(bytes, i);
    }

    // The scan line holds each plane's bytes in turn; runs may cross from one line into the next, so the
    // whole picture is unpacked at once (no larger than its pixels, unless the line length lies).
    const size_t scanBytes = lineBytes * planes;
    if (!withinBudget(picture.m_rgba.size(), uint64_t(scanBytes) * height, budget))
        return MediaResult<Picture>::failure(kMediaDamaged);
    std::vector<uint8_t> lines(scanBytes * height);
    ByteReader pixels(data);
    if (encoding == 1 ? !unpackPcx(pixels, lines) : pixels.remaining() < lines.size())
        return MediaResult<Picture>::failure(kMediaTruncated);
    if (encoding == 0)
        std::copy_n(data.begin(), lines.size(), lines.begin());
    for (uint32_t y = 0; y < picture.m_height; ++y) {
        const uint8_t* line = &lines[y * scanBytes];
        const size_t row = size_t(y) * picture.m_width;
        for (uint32_t x = 0; x < picture.m_width; ++x) {
            if (depth == 24) {
                putPixel(picture, row + x, {line[x], line[lineBytes + x], line[2 * lineBytes + x]});
                continue;
            }
            unsigned index = 0;
            if (bits == 8)
                index = line[x];
            else if (bits == 4)
                index = (line[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            else
                for (unsigned p = 0; p < planes; ++p)
                    index |= ((line[p * lineBytes + x / 8] >> (7 - x % 8)) & 1u) << p;
            putPixel(picture, row + x, palette[index]);
        }
    }
    return result;
}

} // namespace vorpex
