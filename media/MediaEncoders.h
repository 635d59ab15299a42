#pragma once

// Today's formats for what the decoders give: the whole file's bytes, for the caller to write.
#include <string>

#include "media/MediaTypes.h"

namespace vorpex {

// A PNG of 8-bit RGBA (colour type 6), deflated with zlib. An empty string when the picture's pixels do
// not match its size.
std::string encodePng(const Picture& picture);
// A PCM WAV file (8-bit unsigned or 16-bit signed samples). Empty when the sound cannot be one (no rate,
// no channels, more than 4 GiB of samples).
std::string encodeWav(const Sound& sound);

} // namespace vorpex
