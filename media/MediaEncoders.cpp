#include "media/MediaEncoders.h"

#include <zlib.h>

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
    const size_t rowBytes = size_t(picture.width) * 4;
    if (picture.width == 0 || picture.height == 0 || picture.rgba.size() != rowBytes * picture.height ||
        picture.width > 0x7FFFFFFF || picture.height > 0x7FFFFFFF)
        return {};
    // Each row starts with its filter type, 0: the pixels as they are.
    std::string raw;
    raw.reserve((rowBytes + 1) * picture.height);
    for (uint32_t y = 0; y < picture.height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(picture.rgba.data() + y * rowBytes), rowBytes);
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
    putBe32(header, picture.width);
    putBe32(header, picture.height);
    header += std::string("\x08\x06\x00\x00\x00", 5); // 8 bits, RGBA, deflate, adaptive filters, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", {});
    return png;
}

std::string encodeWav(const Sound& sound) {
    const size_t frame = sound.frameSize();
    if (sound.rate == 0 || frame == 0 || (sound.bitsPerSample != 8 && sound.bitsPerSample != 16) ||
        sound.samples.size() > 0xFFFFFFFFu - 44)
        return {};
    const auto data = uint32_t(sound.samples.size() - sound.samples.size() % frame);
    std::string wav = "RIFF";
    putLe(wav, 36 + data + (data & 1), 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2); // PCM
    putLe(wav, sound.channels, 2);
    putLe(wav, sound.rate, 4);
    putLe(wav, uint32_t(sound.rate * frame), 4);
    putLe(wav, uint32_t(frame), 2);
    putLe(wav, sound.bitsPerSample, 2);
    wav += "data";
    putLe(wav, data, 4);
    wav.append(reinterpret_cast<const char*>(sound.samples.data()), data);
    if (data & 1)
        wav += '\0';
    return wav;
}
