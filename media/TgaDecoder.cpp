#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

struct Colour {
    Rgb m_rgb{};
    uint8_t m_alpha = 255;
};

// One stored colour of `bits` (15, 16, 24 or 32) bits; `alphaBits` says whether 16 and 32 carry alpha.
Colour readColour(ByteReader& in, unsigned bits, unsigned alphaBits) {
    Colour c;
    if (bits == 15 || bits == 16) {
        const uint16_t v = in.le16();
        const auto five = [](unsigned x) { return uint8_t((x & 31) * 255 / 31); };
        c.m_rgb = {five(v >> 10), five(v >> 5), five(v)};
        if (bits == 16 && alphaBits > 0 && !(v & 0x8000))
            c.m_alpha = 0;
        return c;
    }
    const uint8_t b = in.u8(), g = in.u8(), r = in.u8();
    c.m_rgb = {r, g, b};
    if (bits == 32) {
        const uint8_t a = in.u8();
        if (alphaBits > 0)
            c.m_alpha = a;
    }
    return c;
}

} // namespace

MediaResult<Picture> decodeTga(ByteSpan bytes, const MediaBudget& budget) {
    ByteReader in(bytes);
    const unsigned idLength = in.u8(), mapType = in.u8(), imageType = in.u8();
    const unsigned mapFirst = in.le16(), mapLength = in.le16(), mapBits = in.u8();
    in.skip(4); // origin
    const unsigned width = in.le16(), height = in.le16(), bits = in.u8(), descriptor = in.u8();
    if (in.failed())
        return MediaResult<Picture>::failure(kMediaTruncated);
    const unsigned base = imageType & 7;
    const bool rle = imageType & 8;
    const bool trueBits = bits == 15 || bits == 16 || bits == 24 || bits == 32;
    const bool mapped = base == 1, grey = base == 3;
    if ((imageType & ~0xBu) != 0 || base == 0 || mapType > 1 || (mapped && mapType != 1))
        return MediaResult<Picture>::failure(kMediaDamaged);
    if ((mapped && bits != 8 && bits != 16) || (grey && bits != 8) || (base == 2 && !trueBits) ||
        (mapType == 1 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32))
        return MediaResult<Picture>::failure(kMediaUnsupported);

    MediaResult<Picture> result;
    Picture& picture = result.m_value;
    picture.m_format = "TGA";
    picture.m_sourceBits = bits;
    picture.m_indexed = mapped;
    const unsigned alphaBits = descriptor & 15;
    in.skip(idLength);
    // A colour map may come with any kind of picture; only a colour-mapped one uses it.
    std::vector<Colour> map;
    if (mapType == 1) {
        if (in.remaining() < size_t(mapLength) * ((mapBits + 7) / 8))
            return MediaResult<Picture>::failure(kMediaTruncated);
        map.reserve(mapLength);
        for (unsigned i = 0; i < mapLength; ++i)
            map.push_back(readColour(in, mapBits, alphaBits));
    }
    if (std::string why = allocatePicture(picture, width, height, budget); !why.empty())
        return MediaResult<Picture>::failure(why);

    const auto pixel = [&](ByteReader& from) -> Colour {
        if (grey) {
            const uint8_t v = from.u8();
            return {{v, v, v}, 255};
        }
        if (!mapped)
            return readColour(from, bits, alphaBits);
        const unsigned index = bits == 8 ? from.u8() : from.le16();
        // An index outside the map is black, as if the map had been longer.
        return index >= mapFirst && index - mapFirst < map.size() ? map[index - mapFirst] : Colour{{}, 255};
    };
    const bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
    const size_t total = size_t(width) * height;
    size_t done = 0;
    const auto store = [&](const Colour& c) {
        const size_t row = done / width, column = done % width;
        const size_t y = topDown ? row : height - 1 - row, x = rightToLeft ? width - 1 - column : column;
        putPixel(picture, y * width + x, c.m_rgb, c.m_alpha);
        ++done;
    };
    while (done < total) {
        // A packet runs across rows, as the format allows, and is cut at the picture's end.
        size_t count = 1;
        bool repeat = false;
        if (rle) {
            const uint8_t head = in.u8();
            count = (head & 0x7F) + 1u;
            repeat = head & 0x80;
        }
        if (repeat) {
            const Colour c = pixel(in);
            for (; count > 0 && done < total; --count)
                store(c);
        } else {
            for (; count > 0 && done < total; --count)
                store(pixel(in));
        }
        if (in.failed())
            return MediaResult<Picture>::failure(kMediaTruncated);
    }
    return result;
}

} // namespace vorpex
