#include <algorithm>
#include <cstring>

#include "media/MediaDecoders.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

bool startsWith(ByteSpan head, const char* text, size_t length, size_t at = 0) {
    return head.size() >= at + length && std::memcmp(head.data() + at, text, length) == 0;
}

MediaKind bySignature(ByteSpan head, bool whole) {
    if (startsWith(head, "\x89PNG\r\n\x1A\n", 8))
        return MediaKind::Png;
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return MediaKind::Gif;
    if (startsWith(head, "BM", 2) && head.size() >= 26)
        return MediaKind::Bmp;
    if (startsWith(head, "FORM", 4) && (startsWith(head, "ILBM", 4, 8) || startsWith(head, "PBM ", 4, 8)))
        return MediaKind::Ilbm;
    if (startsWith(head, "RIFF", 4) && startsWith(head, "WAVE", 4, 8))
        return MediaKind::Wav;
    if (startsWith(head, "Creative Voice File\x1A", 20))
        return MediaKind::Voc;
    if (startsWith(head, "MThd", 4))
        return MediaKind::Midi;
    // PCX has no magic text: its maker byte, a known version, an encoding and a plane depth that exist.
    if (head.size() >= 128 && head[0] == 0x0A && head[1] <= 5 && head[1] != 1 && head[2] <= 1 &&
        (head[3] == 1 || head[3] == 2 || head[3] == 4 || head[3] == 8) && head[64] == 0)
        return MediaKind::Pcx;
    // A TGA of version 2 ends with its signature.
    if (whole && head.size() >= 44 && startsWith(head, "TRUEVISION-XFILE.\0", 18, head.size() - 18))
        return MediaKind::Tga;
    return MediaKind::Unknown;
}

MediaKind byExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return MediaKind::Unknown;
    std::string ext(name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    static const std::pair<const char*, MediaKind> kTable[] = {
        {"pcx", MediaKind::Pcx},     {"tga", MediaKind::Tga},     {"lbm", MediaKind::Ilbm},
        {"ilbm", MediaKind::Ilbm},   {"iff", MediaKind::Ilbm},    {"bbm", MediaKind::Ilbm},
        {"bmp", MediaKind::Bmp},     {"gif", MediaKind::Gif},     {"png", MediaKind::Png},
        {"pal", MediaKind::Palette}, {"act", MediaKind::Palette}, {"wav", MediaKind::Wav},
        {"voc", MediaKind::Voc},     {"mid", MediaKind::Midi},    {"midi", MediaKind::Midi}};
    for (const auto& [e, kind] : kTable)
        if (ext == e)
            return kind;
    return MediaKind::Unknown;
}

} // namespace

MediaKind recognizeMedia(ByteSpan head, std::string_view name, bool whole) {
    const MediaKind kind = bySignature(head, whole);
    return kind != MediaKind::Unknown ? kind : byExtension(name);
}

MediaCategory mediaCategory(MediaKind kind) {
    switch (kind) {
    case MediaKind::Pcx:
    case MediaKind::Tga:
    case MediaKind::Ilbm:
    case MediaKind::Palette:
        return MediaCategory::Picture;
    case MediaKind::Bmp:
    case MediaKind::Gif:
    case MediaKind::Png:
        return MediaCategory::QtPicture;
    case MediaKind::Wav:
    case MediaKind::Voc:
    case MediaKind::RawPcm:
        return MediaCategory::Sound;
    case MediaKind::Midi:
        return MediaCategory::Text;
    case MediaKind::Unknown:
        break;
    }
    return MediaCategory::None;
}

MediaResult<Picture> decodePicture(MediaKind kind, ByteSpan bytes, const MediaBudget& budget) {
    switch (kind) {
    case MediaKind::Pcx:
        return decodePcx(bytes, budget);
    case MediaKind::Tga:
        return decodeTga(bytes, budget);
    case MediaKind::Ilbm:
        return decodeIlbm(bytes, budget);
    case MediaKind::Palette:
        return decodePalette(bytes, budget);
    default:
        return MediaResult<Picture>::failure(kMediaUnsupported);
    }
}

MediaResult<Sound> decodeSound(MediaKind kind, ByteSpan bytes, const MediaBudget& budget) {
    switch (kind) {
    case MediaKind::Wav:
        return decodeWav(bytes, budget);
    case MediaKind::Voc:
        return decodeVoc(bytes, budget);
    case MediaKind::RawPcm:
        return decodeRawPcm(bytes, kRawPcmRate, budget);
    default:
        return MediaResult<Sound>::failure(kMediaUnsupported);
    }
}

} // namespace vorpex
