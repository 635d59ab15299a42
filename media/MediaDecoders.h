#pragma once

// The decoders of the pictures, palettes, sounds and music of old games, with no user interface. Each takes
// the whole file as bytes (see MediaEntry.h to read an entry with a cap) and returns the decoded value or
// the reason, a text for the user. None reads outside `bytes`, allocates past `budget` or loops without
// consuming input.
#include <string_view>

#include "media/MediaTypes.h"

namespace vorpex {

// Pictures. PCX: 1, 4 (planar or packed), 8 bits indexed and 24 bits, run-length coded or not.
MediaResult<Picture> decodePcx(ByteSpan bytes, const MediaBudget& budget = {});
// Truevision TGA: colour-mapped, true colour (15/16/24/32 bits) and grey, plain or run-length coded.
MediaResult<Picture> decodeTga(ByteSpan bytes, const MediaBudget& budget = {});
// Deluxe Paint's IFF: ILBM (1-8 bit planes, extra half-brite, 24 bits) and PBM (chunky 8 bits), plain
// or ByteRun1.
MediaResult<Picture> decodeIlbm(ByteSpan bytes, const MediaBudget& budget = {});
// A raw palette of 256 RGB triples (768 bytes), shown as a 16x16 grid of 16-pixel swatches. Components
// that all stay below 64 are taken as 6-bit VGA values.
MediaResult<Picture> decodePalette(ByteSpan bytes, const MediaBudget& budget = {});
inline constexpr unsigned kSwatchSize = 16;

// Sounds. WAV: PCM 8/16 bits and IMA ADPCM, mono or stereo, any rate.
MediaResult<Sound> decodeWav(ByteSpan bytes, const MediaBudget& budget = {});
// Creative Voice: 8-bit unsigned PCM (blocks 1, 2, 8 and 9), 16-bit PCM (block 9), silence and repeats.
MediaResult<Sound> decodeVoc(ByteSpan bytes, const MediaBudget& budget = {});
// Headerless 8-bit unsigned mono PCM, only when the user asks for it.
inline constexpr uint32_t kRawPcmRate = 11025;
MediaResult<Sound> decodeRawPcm(ByteSpan bytes, uint32_t rate = kRawPcmRate, const MediaBudget& budget = {});

// A Standard MIDI File's format, tracks, tempo and length, as lines of text.
MediaResult<std::string> summarizeMidi(ByteSpan bytes);

// What an entry holds: its content's signature first, then its name's extension, as file managers do.
// `head` is the entry's first bytes, all of them when `whole` (a TGA's footer is at its end). RawPcm is
// never guessed.
MediaKind recognizeMedia(ByteSpan head, std::string_view name, bool whole = true);

enum class MediaCategory { None, Picture, QtPicture, Sound, Text };
MediaCategory mediaCategory(MediaKind kind);
// The decoder for a kind of picture or sound; other kinds give kMediaUnsupported.
MediaResult<Picture> decodePicture(MediaKind kind, ByteSpan bytes, const MediaBudget& budget = {});
MediaResult<Sound> decodeSound(MediaKind kind, ByteSpan bytes, const MediaBudget& budget = {});

} // namespace vorpex
