#include "media/MediaEncoders.h"

#include <zlib.h>

namespace vorpex {

namespace {

void putBe32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(v >> shift);
}

void putLe(std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += char(v >> (8 * i));
}

void putChunk(std::string& out, const char* type, const std::string& data) {
    putBe32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.append(type, 4);
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    putBe32(out, uint32_t(crc32(crc32(0, nullptr, 0), bytes, uInt(out.size() - start))));
}

} // namespace

std::string encodePng(const Picture& picture) {
    const size_t rowBytes = size_t(picture.m_width) * 4;
    if (picture.m_width == 0 || picture.m_height == 0 ||
        picture.m_rgba.size() != rowBytes * picture.m_height || picture.m_width > 0x7FFFFFFF ||
        picture.m_height > 0x7FFFFFFF)
        return {};
    // Each row starts with its filter type, 0: the pixels as they are.
    std::string raw;
    raw.reserve((rowBytes + 1) * picture.m_height);
    for (uint32_t y = 0; y < picture.m_height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(picture.m_rgba.data() + y * rowBytes), rowBytes);
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string png("\x89PNG\r\n\x1A\n", 8);
    std::string header;
    putBe32(header, picture.m_width);
    putBe32(header, picture.m_height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, adaptive filters, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}

std::string encodeWav(const Sound& sound) {
    const size_t frame = sound.frameSize();
    if (sound.m_rate == 0 || frame == 0 || (sound.m_bitsPerSample != 8 && sound.m_bitsPerSample != 16) ||
        sound.m_samples.size() > 0xFFFFFFFFu - 44)
        return {};
    const auto data = uint32_t(sound.m_samples.size() - sound.m_samples.size() % frame);
    std::string wav = "RIFF";
    putLe(wav, 36 + data + (data & 1), 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2); // PCM
    putLe(wav, sound.m_channels, 2);
    putLe(wav, sound.m_rate, 4);
    putLe(wav, uint32_t(sound.m_rate * frame), 4);
    putLe(wav, uint32_t(frame), 2);
    putLe(wav, sound.m_bitsPerSample, 2);
    wav += "data";
    putLe(wav, data, 4);
    wav.append(reinterpret_cast<const char*>(sound.m_samples.data()), data);
    if (data & 1)
        wav += '\0';
    return wav;
}

} // namespace vorpex
