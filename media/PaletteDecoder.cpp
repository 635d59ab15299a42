#include <algorithm>

#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

MediaResult<Picture> decodePalette(ByteSpan bytes, const MediaBudget& budget) {
    // 768 bytes, or 772 for Photoshop's colour table, whose last four bytes give a count and a transparent
    // index that a swatch grid need not show.
    if (bytes.size() != 768 && bytes.size() != 772)
        return MediaResult<Picture>::failure(kMediaNotPalette);
    ByteSpan colours = bytes.first(768);
    const bool sixBit = std::all_of(colours.begin(), colours.end(), [](uint8_t v) { return v < 64; });
    MediaResult<Picture> result;
    Picture& picture = result.m_value;
    picture.m_format = "Palette";
    picture.m_sourceBits = sixBit ? 6 : 8;
    picture.m_indexed = true;
    if (std::string why = allocatePicture(picture, 16 * kSwatchSize, 16 * kSwatchSize, budget); !why.empty())
        return MediaResult<Picture>::failure(why);
    const auto scale = [&](uint8_t v) { return sixBit ? uint8_t((v * 255 + 31) / 63) : v; };
    for (uint32_t y = 0; y < picture.m_height; ++y)
        for (uint32_t x = 0; x < picture.m_width; ++x) {
            const size_t index = (y / kSwatchSize) * 16 + x / kSwatchSize;
            putPixel(
                picture, size_t(y) * picture.m_width + x,
                {scale(colours[3 * index]), scale(colours[3 * index + 1]), scale(colours[3 * index + 2])});
        }
    return result;
}

} // namespace vorpex
