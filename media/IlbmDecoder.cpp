#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

constexpr uint32_t kCamgHam = 0x800, kCamgHalfBrite = 0x80;

struct Header {
    unsigned m_width = 0, m_height = 0, m_planes = 0, m_masking = 0, m_compression = 0, m_transparent = 0;
};

} // namespace

MediaResult<Picture> decodeIlbm(ByteSpan bytes, const MediaBudget& budget) {
    ByteReader in(bytes);
    if (!in.matches("FORM", 4))
        return MediaResult<Picture>::failure(kMediaDamaged);
    const uint32_t formSize = in.be32();
    const bool chunky = in.matches("PBM ", 4);
    if (!chunky && !in.matches("ILBM", 4))
        return MediaResult<Picture>::failure(in.failed() ? kMediaTruncated : kMediaUnsupported);
    // The form may claim more than there is; the chunks are read only as far as the bytes go.
    ByteReader form(bytes.first(std::min<uint64_t>(bytes.size(), uint64_t(formSize) + 8)), in.pos());

    Header h;
    bool haveHeader = false;
    uint32_t camg = 0;
    std::vector<Rgb> colours;
    ByteSpan body;
    bool haveBody = false;
    while (form.remaining() >= 8) {
        const uint32_t id = form.be32(), size = form.be32();
        ByteReader chunk(form.take(size));
        if (size & 1)
            form.skip(1);
        if (id == 0x424D4844) { // BMHD
            h.m_width = chunk.be16();
            h.m_height = chunk.be16();
            chunk.skip(4);
            h.m_planes = chunk.u8();
            h.m_masking = chunk.u8();
            h.m_compression = chunk.u8();
            chunk.skip(1);
            h.m_transparent = chunk.be16();
            haveHeader = !chunk.failed();
        } else if (id == 0x434D4150) { // CMAP
            while (chunk.remaining() >= 3 && colours.size() < 256)
                colours.push_back({chunk.u8(), chunk.u8(), chunk.u8()});
        } else if (id == 0x43414D47) { // CAMG
            camg = chunk.be32();
        } else if (id == 0x424F4459) { // BODY
            body = chunk.take(chunk.remaining());
            haveBody = true;
            break;
        }
    }
    if (!haveHeader || !haveBody)
        return MediaResult<Picture>::failure(kMediaTruncated);
    const bool trueColour = !chunky && h.m_planes == 24;
    if (h.m_compression > 1 || (chunky && h.m_planes != 8) || h.m_planes == 0 ||
        (h.m_planes > 8 && !trueColour) || (camg & kCamgHam))
        return MediaResult<Picture>::failure(kMediaUnsupported);

    MediaResult<Picture> result;
    Picture& picture = result.m_value;
    picture.m_format = chunky ? "PBM" : "ILBM";
    picture.m_sourceBits = h.m_planes;
    picture.m_indexed = !trueColour;
    if (std::string why = allocatePicture(picture, h.m_width, h.m_height, budget); !why.empty())
        return MediaResult<Picture>::failure(why);
    // Missing colours are black; extra half-brite adds the 32 colours at half their brightness.
    colours.resize(256);
    if ((camg & kCamgHalfBrite) && h.m_planes == 6)
        for (size_t i = 0; i < 32; ++i)
            colours[32 + i] = {uint8_t(colours[i][0] / 2), uint8_t(colours[i][1] / 2),
                               uint8_t(colours[i][2] / 2)};

    // A row holds each plane's row (16-bit aligned), then the mask's when there is one; PBM's row is
    // the pixels, padded to an even length.
    const bool hasMask = !chunky && h.m_masking == 1;
    const size_t planeRow = chunky ? (h.m_width + 1u) & ~1u : ((h.m_width + 15u) / 16u) * 2u;
    const size_t rowBytes = planeRow * (chunky ? 1 : h.m_planes + hasMask);
    if (!withinBudget(picture.m_rgba.size(), uint64_t(rowBytes) * h.m_height, budget))
        return MediaResult<Picture>::failure(kMediaDamaged);
    std::vector<uint8_t> rows(rowBytes * h.m_height);
    ByteReader data(body);
    if (h.m_compression == 1 ? !unpackByteRun1(data, rows) : data.remaining() < rows.size())
        return MediaResult<Picture>::failure(kMediaTruncated);
    if (h.m_compression == 0)
        std::copy_n(body.begin(), rows.size(), rows.begin());
    for (unsigned y = 0; y < h.m_height; ++y) {
        const uint8_t* row = &rows[y * rowBytes];
        for (unsigned x = 0; x < h.m_width; ++x) {
            const size_t at = size_t(y) * h.m_width + x;
            const auto bit = [&](unsigned plane) {
                return (row[plane * planeRow + x / 8] >> (7 - x % 8)) & 1u;
            };
            uint32_t value = 0;
            if (chunky)
                value = row[x];
            else
                for (unsigned p = 0; p < h.m_planes; ++p)
                    value |= bit(p) << p;
            const bool clear = hasMask ? !bit(h.m_planes) : (h.m_masking == 2 && value == h.m_transparent);
            const uint8_t alpha = clear ? 0 : 255;
            if (trueColour)
                putPixel(picture, at, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16)}, alpha);
            else
                putPixel(picture, at, colours[value], alpha);
        }
    }
    return result;
}

} // namespace vorpex
