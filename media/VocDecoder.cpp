#include <algorithm>

#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

enum Block : uint8_t {
    kEnd = 0,
    kSound = 1,
    kContinue = 2,
    kSilence = 3,
    kMarker = 4,
    kText = 5,
    kRepeat = 6,
    kRepeatEnd = 7,
    kExtended = 8,
    kNewSound = 9
};
constexpr uint16_t kEndless = 0xFFFF;

// The sound's format is set by its first sound block; a later block in another layout is not supported.
bool setFormat(Sound& sound, bool& haveFormat, uint32_t rate, uint16_t channels, uint16_t bits) {
    if (!haveFormat) {
        sound.m_rate = rate;
        sound.m_channels = channels;
        sound.m_bitsPerSample = bits;
        haveFormat = true;
    }
    return sound.m_channels == channels && sound.m_bitsPerSample == bits;
}

} // namespace

MediaResult<Sound> decodeVoc(ByteSpan bytes, const MediaBudget& budget) {
    ByteReader in(bytes);
    if (!in.matches("Creative Voice File\x1A", 20))
        return MediaResult<Sound>::failure(kMediaDamaged);
    const uint16_t headerSize = in.le16();
    if (in.failed())
        return MediaResult<Sound>::failure(kMediaTruncated);
    in.seek(headerSize);
    if (in.failed() || headerSize < 22)
        return MediaResult<Sound>::failure(kMediaDamaged);

    MediaResult<Sound> result;
    Sound& sound = result.m_value;
    sound.m_format = "VOC";
    bool haveFormat = false;
    // Block 8 gives the rate and channels of the block 1 that follows it.
    uint32_t extendedRate = 0;
    uint16_t extendedChannels = 0;
    // A repeat plays the output its first pass made again, so a loop costs its output, never its blocks.
    size_t loopStart = 0;
    uint32_t loopCount = 0;
    bool inLoop = false;
    const auto append = [&](ByteSpan data) {
        const size_t frame = sound.frameSize();
        const size_t usable = data.size() - data.size() % frame;
        if (!withinBudget(sound.m_samples.size(), usable, budget))
            return false;
        sound.m_samples.insert(sound.m_samples.end(), data.begin(), data.begin() + ptrdiff_t(usable));
        return true;
    };
    while (!in.atEnd()) {
        const uint8_t type = in.u8();
        if (type == kEnd)
            break;
        const uint32_t size = in.le24();
        ByteReader block(in.take(size)); // a block that claims more than the file holds is cut there
        bool fits = true;
        switch (type) {
        case kSound: {
            const unsigned divisor = block.u8(), codec = block.u8();
            if (block.failed())
                return MediaResult<Sound>::failure(kMediaTruncated);
            if (codec != 0)
                return MediaResult<Sound>::failure(kMediaUnsupported);
            uint32_t blockRate = 1000000u / (256u - divisor);
            uint16_t channels = 1;
            if (extendedChannels) {
                blockRate = extendedRate;
                channels = extendedChannels;
                extendedChannels = 0;
            }
            if (!setFormat(sound, haveFormat, blockRate, channels, 8))
                return MediaResult<Sound>::failure(kMediaUnsupported);
            fits = append(block.take(block.remaining()));
            break;
        }
        case kContinue:
            if (!haveFormat)
                return MediaResult<Sound>::failure(kMediaDamaged);
            fits = append(block.take(block.remaining()));
            break;
        case kSilence: {
            const size_t frames = size_t(block.le16()) + 1;
            const unsigned divisor = block.u8();
            if (block.failed())
                return MediaResult<Sound>::failure(kMediaTruncated);
            setFormat(sound, haveFormat, 1000000u / (256u - divisor), 1, 8);
            const size_t silenceBytes = frames * sound.frameSize();
            fits = withinBudget(sound.m_samples.size(), silenceBytes, budget);
            if (fits)
                sound.m_samples.resize(sound.m_samples.size() + silenceBytes,
                                       sound.m_bitsPerSample == 8 ? 0x80 : 0);
            break;
        }
        case kExtended: {
            const uint16_t timeConstant = block.le16();
            block.skip(1); // packing
            const uint16_t mode = block.u8();
            if (block.failed())
                return MediaResult<Sound>::failure(kMediaTruncated);
            extendedChannels = mode + 1;
            // The time constant is 65536 - 256000000 / (channels * rate).
            extendedRate = uint32_t(256000000u / (uint32_t(65536 - timeConstant) * extendedChannels));
            if (extendedRate == 0 || extendedChannels > 2)
                return MediaResult<Sound>::failure(kMediaDamaged);
            break;
        }
        case kNewSound: {
            const uint32_t blockRate = block.le32();
            const uint16_t bits = block.u8(), channels = block.u8(), codec = block.le16();
            block.skip(4);
            if (block.failed())
                return MediaResult<Sound>::failure(kMediaTruncated);
            if (blockRate == 0 || channels == 0)
                return MediaResult<Sound>::failure(kMediaDamaged);
            if (!((codec == 0 && bits == 8) || (codec == 4 && bits == 16)) || channels > 2 ||
                !setFormat(sound, haveFormat, blockRate, channels, bits))
                return MediaResult<Sound>::failure(kMediaUnsupported);
            fits = append(block.take(block.remaining()));
            break;
        }
        case kRepeat: {
            const uint16_t count = block.le16();
            // Endless repeats are played once: a preview has to end.
            loopCount = count == kEndless ? 0 : count;
            loopStart = sound.m_samples.size();
            inLoop = !block.failed();
            break;
        }
        case kRepeatEnd:
            if (inLoop) {
                const size_t length = sound.m_samples.size() - loopStart;
                for (uint32_t i = 0; i < loopCount && length > 0 && fits; ++i) {
                    fits = withinBudget(sound.m_samples.size(), length, budget);
                    if (fits) {
                        const size_t end = sound.m_samples.size();
                        sound.m_samples.resize(end + length);
                        std::copy_n(sound.m_samples.begin() + ptrdiff_t(loopStart), length,
                                    sound.m_samples.begin() + ptrdiff_t(end));
                    }
                }
                inLoop = false;
            }
            break;
        default: // markers, text and blocks of later versions carry no sound
            break;
        }
        if (!fits)
            return MediaResult<Sound>::failure(kMediaSoundTooLong);
    }
    if (!haveFormat)
        return MediaResult<Sound>::failure(kMediaTruncated);
    return result;
}

} // namespace vorpex
