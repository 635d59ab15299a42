#include <algorithm>

#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

constexpr uint16_t kFormatPcm = 1, kFormatImaAdpcm = 0x11, kFormatExtensible = 0xFFFE;

constexpr int kImaSteps[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int kImaIndex[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int m_predictor = 0;
    int m_index = 0;

    int16_t next(unsigned code) {
        const int step = kImaSteps[m_index];
        int diff = step >> 3;
        if (code & 4)
            diff += step;
        if (code & 2)
            diff += step >> 1;
        if (code & 1)
            diff += step >> 2;
        m_predictor = std::clamp(code & 8 ? m_predictor - diff : m_predictor + diff, -32768, 32767);
        m_index = std::clamp(m_index + kImaIndex[code & 7], 0, 88);
        return int16_t(m_predictor);
    }
};

void putSample16(std::vector<uint8_t>& out, size_t at, int16_t v) {
    out[at] = uint8_t(uint16_t(v));
    out[at + 1] = uint8_t(uint16_t(v) >> 8);
}

// IMA ADPCM blocks: per channel a 4-byte header (first sample, step index), then 4-byte groups of eight
// 4-bit codes, taking turns between the channels. A short last block gives the samples it holds.
MediaResult<Sound> decodeIma(Sound sound, ByteSpan data, size_t blockAlign, const MediaBudget& budget) {
    const size_t channels = sound.m_channels;
    if (blockAlign < 4 * channels || blockAlign % (4 * channels) != 0)
        return MediaResult<Sound>::failure(kMediaDamaged);
    const uint64_t framesPerBlock = (blockAlign - 4 * channels) * 2 / channels + 1;
    const uint64_t frames = (data.size() / blockAlign) * framesPerBlock +
                            (data.size() % blockAlign >= 4 * channels
                                 ? ((data.size() % blockAlign) - 4 * channels) / (4 * channels) * 8 + 1
                                 : 0);
    if (!withinBudget(0, frames * channels * 2, budget))
        return MediaResult<Sound>::failure(kMediaSoundTooLong);
    sound.m_samples.assign(frames * channels * 2, 0);
    size_t frame = 0;
    ByteReader in(data);
    while (frame < frames) {
        std::vector<ImaChannel> state(channels);
        for (size_t c = 0; c < channels; ++c) {
            state[c].m_predictor = int16_t(in.le16());
            state[c].m_index = std::min<int>(in.u8(), 88); // never trusted
            in.skip(1);
            putSample16(sound.m_samples, (frame * channels + c) * 2, int16_t(state[c].m_predictor));
        }
        ++frame;
        const size_t groups =
            std::min<uint64_t>((blockAlign - 4 * channels) / (4 * channels), (frames - frame) / 8);
        for (size_t g = 0; g < groups; ++g, frame += 8)
            for (size_t c = 0; c < channels; ++c)
                for (size_t i = 0; i < 4; ++i) {
                    const uint8_t b = in.u8();
                    putSample16(sound.m_samples, ((frame + 2 * i) * channels + c) * 2, state[c].next(b & 15));
                    putSample16(sound.m_samples, ((frame + 2 * i + 1) * channels + c) * 2,
                                state[c].next(b >> 4));
                }
    }
    return {std::move(sound), {}};
}

} // namespace

MediaResult<Sound> decodeWav(ByteSpan bytes, const MediaBudget& budget) {
    ByteReader in(bytes);
    if (!in.matches("RIFF", 4))
        return MediaResult<Sound>::failure(kMediaDamaged);
    in.skip(4);
    if (!in.matches("WAVE", 4))
        return MediaResult<Sound>::failure(in.failed() ? kMediaTruncated : kMediaDamaged);
    Sound sound;
    sound.m_format = "WAV";
    uint16_t format = 0;
    size_t blockAlign = 0;
    bool haveFormat = false;
    while (in.remaining() >= 8) {
        const uint32_t id = in.be32(), size = in.le32();
        ByteSpan body = in.take(size);
        if (size & 1)
            in.skip(1);
        ByteReader chunk(body);
        if (id == 0x666D7420) { // "fmt "
            format = chunk.le16();
            sound.m_channels = chunk.le16();
            sound.m_rate = chunk.le32();
            chunk.skip(4);
            blockAlign = chunk.le16();
            sound.m_bitsPerSample = chunk.le16();
            if (format == kFormatExtensible) {
                chunk.skip(8);
                format = chunk.le16(); // the sub-format's first two bytes
            }
            if (chunk.failed())
                return MediaResult<Sound>::failure(kMediaTruncated);
            haveFormat = true;
        } else if (id == 0x64617461) { // "data"
            if (!haveFormat)
                return MediaResult<Sound>::failure(kMediaDamaged);
            if (sound.m_rate == 0 || sound.m_channels == 0)
                return MediaResult<Sound>::failure(kMediaDamaged);
            if (sound.m_channels > 2)
                return MediaResult<Sound>::failure(kMediaUnsupported);
            if (format == kFormatImaAdpcm && sound.m_bitsPerSample == 4) {
                sound.m_bitsPerSample = 16;
                return decodeIma(std::move(sound), body, blockAlign, budget);
            }
            if (format != kFormatPcm || (sound.m_bitsPerSample != 8 && sound.m_bitsPerSample != 16))
                return MediaResult<Sound>::failure(kMediaUnsupported);
            // A data chunk that claims more than the file holds (a recording cut short, or a stream's
            // placeholder size) gives the whole frames that are there.
            if (!withinBudget(0, body.size(), budget))
                return MediaResult<Sound>::failure(kMediaSoundTooLong);
            const size_t frames = body.size() / sound.frameSize();
            sound.m_samples.assign(body.begin(), body.begin() + ptrdiff_t(frames * sound.frameSize()));
            return {std::move(sound), {}};
        }
    }
    return MediaResult<Sound>::failure(kMediaTruncated);
}

MediaResult<Sound> decodeRawPcm(ByteSpan bytes, uint32_t rate, const MediaBudget& budget) {
    if (rate == 0)
        return MediaResult<Sound>::failure(kMediaDamaged);
    if (!withinBudget(0, bytes.size(), budget))
        return MediaResult<Sound>::failure(kMediaSoundTooLong);
    Sound sound;
    sound.m_format = "PCM";
    sound.m_rate = rate;
    sound.m_channels = 1;
    sound.m_bitsPerSample = 8;
    sound.m_samples.assign(bytes.begin(), bytes.end());
    return {std::move(sound), {}};
}

} // namespace vorpex
