// libFuzzer targets for the media decoders, one executable each: VORPEX_FUZZ_MEDIA names the decoder
// (tests/fuzz/CMakeLists.txt builds this file once for each). The invariants are checkDecoded()'s; the
// recogniser must never fault either. The sanitizers and libFuzzer's limits catch reads outside the input,
// runaway memory and hangs.
#include "tests/fuzz/FuzzInput.h"
#include "tools/mediasamples/MediaSamples.h"

using namespace vorpex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Small enough that every input stays quick; large enough for the seeds.
    static const MediaBudget budget{1 << 20, 8 << 20};
    const ByteSpan bytes(data, size);
    recognizeMedia(bytes, "X.DAT", true);
    const std::string fault = checkDecoded(MediaKind::VORPEX_FUZZ_MEDIA, bytes, budget);
    require(fault.empty(), fault);
    return 0;
}
