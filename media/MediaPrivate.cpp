#include "media/MediaPrivate.h"

#include "platform/MessageTexts.h"

namespace vorpex {

std::string allocatePicture(Picture& picture, uint64_t width, uint64_t height, const MediaBudget& budget) {
    if (width == 0 || height == 0)
        return kMediaDamaged;
    // Both factors fit 32 bits in every format read here, so the product cannot overflow.
    if (width > 0xFFFFFFFFu || height > 0xFFFFFFFFu || width * height > budget.m_maxPixels ||
        width * height > budget.m_maxBytes / 4)
        return kPreviewTooLarge + std::to_string(width) + " x " + std::to_string(height) + " pixels.";
    picture.m_width = uint32_t(width);
    picture.m_height = uint32_t(height);
    picture.m_rgba.assign(width * height * 4, 0);
    for (size_t i = 3; i < picture.m_rgba.size(); i += 4)
        picture.m_rgba[i] = 255;
    return {};
}

bool unpackPcx(ByteReader& in, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        if (in.atEnd())
            return false;
        uint8_t b = in.u8();
        size_t count = 1;
        if (b >= 0xC0) {
            count = b & 0x3F;
            if (in.atEnd())
                return false;
            b = in.u8();
        }
        for (; count > 0 && done < out.size(); --count)
            out[done++] = b;
    }
    return true;
}

bool unpackByteRun1(ByteReader& in, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        if (in.atEnd())
            return false;
        const int n = int8_t(in.u8());
        if (n >= 0) {
            ByteSpan literal = in.take(size_t(n) + 1);
            for (size_t i = 0; i < literal.size() && done < out.size(); ++i)
                out[done++] = literal[i];
            if (literal.size() < size_t(n) + 1 && done < out.size())
                return false;
        } else if (n != -128) {
            if (in.atEnd())
                return false;
            const uint8_t b = in.u8();
            for (int count = 1 - n; count > 0 && done < out.size(); --count)
                out[done++] = b;
        }
    }
    return true;
}

} // namespace vorpex
