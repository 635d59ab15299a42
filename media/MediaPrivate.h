#pragma once

// What the decoders share; not for callers of the library.
#include <algorithm>
#include <array>
#include <string>

#include "media/ByteReader.h"
#include "media/MediaTypes.h"

namespace vorpex {

using Rgb = std::array<uint8_t, 3>;

// Sizes `picture` for `width` x `height` (every pixel opaque black), or says why not: no pixels, or more
// than the budget allows. Nothing is allocated when it refuses.
std::string allocatePicture(Picture& picture, uint64_t width, uint64_t height, const MediaBudget& budget);

// Whether `bytes` more output stay within the budget when `used` are already held.
inline bool withinBudget(size_t used, uint64_t bytes, const MediaBudget& budget) {
    return bytes <= budget.m_maxBytes && used <= budget.m_maxBytes - bytes;
}

inline void putPixel(Picture& picture, size_t index, Rgb rgb, uint8_t alpha = 255) {
    uint8_t* p = &picture.m_rgba[index * 4];
    p[0] = rgb[0];
    p[1] = rgb[1];
    p[2] = rgb[2];
    p[3] = alpha;
}

// Unpacks run-length coded `in` into `out` until `out` is full. Runs that go past its end are cut there.
// Returns false when `in` ends first. PCX's code: a byte of 0xC0 and up repeats the next byte its low six
// bits times. ByteRun1 (IFF): n in 0..127 copies n + 1 bytes, -1..-127 repeats the next byte 1 - n times.
bool unpackPcx(ByteReader& in, std::span<uint8_t> out);
bool unpackByteRun1(ByteReader& in, std::span<uint8_t> out);

} // namespace vorpex
