// libFuzzer targets for the media decoders, one executable each: VORPEX_FUZZ_MEDIA names the decoder
// (tests/fuzz/CMakeLists.txt builds this file once for each). The invariants: a decoded picture or sound
// is as large as it says and within the budget, and survives the PNG or WAV writer; the recogniser never
// faults. The sanitizers and libFuzzer's limits catch reads outside the input, runaway memory and hangs.
#include "media/MediaDecoders.h"
#include "media/MediaEncoders.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

// Small enough that every input stays quick; large enough for the seeds.
MediaBudget fuzzBudget() {
    MediaBudget budget;
    budget.maxPixels = 1 << 20;
    budget.maxBytes = 8 << 20;
    return budget;
}

void checkPicture(const MediaResult<Picture>& r, const MediaBudget& budget) {
    if (!r.isOk())
        return;
    const Picture& p = r.value;
    Require(p.width > 0 && p.height > 0 && uint64_t(p.width) * p.height <= budget.maxPixels,
            "a picture without pixels or past the budget");
    Require(p.rgba.size() == size_t(p.width) * p.height * 4, "a picture's pixels do not match its size");
    if (p.rgba.size() <= 64 * 1024)
        Require(!encodePng(p).empty(), "a decoded picture cannot be written as PNG");
}

void checkSound(const MediaResult<Sound>& r, const MediaBudget& budget) {
    if (!r.isOk())
        return;
    const Sound& s = r.value;
    Require(s.rate > 0 && (s.channels == 1 || s.channels == 2) &&
                (s.bitsPerSample == 8 || s.bitsPerSample == 16),
            "a sound in a layout the decoders do not give");
    Require(s.samples.size() % s.frameSize() == 0 && s.samples.size() <= budget.maxBytes,
            "a sound with a part frame or past the budget");
    const std::string wav = encodeWav(s);
    const auto again = decodeWav(asBytes(wav), budget);
    Require(again.isOk() && again.value.samples == s.samples,
            "a decoded sound does not survive the WAV writer");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MediaBudget budget = fuzzBudget();
    const ByteSpan bytes(data, size);
    recognizeMedia(bytes, "X.DAT", true);
    const MediaKind kind = MediaKind::VORPEX_FUZZ_MEDIA;
    if (kind == MediaKind::Midi) {
        const auto summary = summarizeMidi(bytes);
        Require(!summary.isOk() || summary.value.find('\n') != std::string::npos, "an empty MIDI summary");
    } else if (mediaCategory(kind) == MediaCategory::Sound)
        checkSound(decodeSound(kind, bytes, budget), budget);
    else
        checkPicture(decodePicture(kind, bytes, budget), budget);
    return 0;
}
