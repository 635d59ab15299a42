#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vorpex {

// What the media decoders read: bytes held by the caller (an entry's peek, a file read into memory). The
// decoders never read past its end, whatever the headers inside claim.
using ByteSpan = std::span<const uint8_t>;

inline ByteSpan asBytes(const std::string& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

// How much a decoder may produce. A header is never trusted: dimensions, counts and loops are checked
// against these limits before anything is allocated, so a 40-byte file cannot ask for gigabytes.
struct MediaBudget {
    uint64_t m_maxPixels = 8192ull * 8192ull; // a picture's width times height
    size_t m_maxBytes = 64u << 20;            // a decoded picture or sound, and the input read for it
};

// What a recogniser makes of an entry. Bmp, Gif and Png are for the caller's own image reader.
enum class MediaKind { Unknown, Pcx, Tga, Ilbm, Bmp, Gif, Png, Palette, Wav, Voc, Midi, RawPcm };

// A decoded picture: RGBA, 8 bits a component, rows top to bottom, no padding.
struct Picture {
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<uint8_t> m_rgba;
    // Where it came from, for display: "PCX", 8 bits a pixel, indexed.
    std::string m_format;
    unsigned m_sourceBits = 0;
    bool m_indexed = false;

    // "320x200, 8-bit indexed" or "640x480, 24-bit true colour".
    std::string description() const;
};

// A decoded sound: interleaved frames, 8-bit unsigned or 16-bit signed little-endian samples, as a WAV file
// or an audio device takes them.
struct Sound {
    uint32_t m_rate = 0;
    uint16_t m_channels = 0;
    uint16_t m_bitsPerSample = 0; // 8 or 16
    std::vector<uint8_t> m_samples;
    std::string m_format; // "WAV", "VOC", ...

    size_t frameSize() const { return size_t(m_channels) * (m_bitsPerSample / 8); }
    size_t frameCount() const { return frameSize() ? m_samples.size() / frameSize() : 0; }
    // "22050 Hz, 8-bit, mono, 1.5 s".
    std::string description() const;
};

// A decoder's answer: the value, or why there is none (a text for the user).
template <class T> struct MediaResult {
    T m_value{};
    std::string m_error;

    static MediaResult failure(std::string why) {
        MediaResult r;
        r.m_error = std::move(why);
        return r;
    }
    bool isOk() const { return m_error.empty(); }
};

} // namespace vorpex
