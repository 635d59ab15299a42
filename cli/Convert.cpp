#include "cli/Convert.h"

#include "catalogue/EntryPeek.h"
#include "catalogue/PackEntry.h"
#include "media/MediaDecoders.h"
#include "media/MediaEncoders.h"
#include "media/MediaEntry.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

namespace {

// The kinds converted, and to what.
const char* newExtension(MediaKind kind) {
    switch (kind) {
    case MediaKind::Pcx:
    case MediaKind::Tga:
    case MediaKind::Ilbm:
        return "png";
    case MediaKind::Voc:
        return "wav";
    default:
        return nullptr;
    }
}

// The converted file, or why not.
MediaResult<std::string> convert(MediaKind kind, ByteSpan bytes) {
    if (mediaCategory(kind) == MediaCategory::Picture) {
        const MediaResult<Picture> picture = decodePicture(kind, bytes);
        if (!picture.isOk())
            return MediaResult<std::string>::failure(picture.error);
        return {encodePng(picture.value), {}};
    }
    const MediaResult<Sound> sound = decodeSound(kind, bytes);
    if (!sound.isOk())
        return MediaResult<std::string>::failure(sound.error);
    return {encodeWav(sound.value), {}};
}

} // namespace

std::string withExtension(const std::string& name, const char* extension) {
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + '.' + extension;
}

CEntryWriter::Converter mediaConverter(const CPackFile& pack, CMessageSink& sink) {
    return [&pack, &sink](const CPackEntry& entry, std::string& name, std::string& data) {
        // The head tells the kind; only an entry to convert is read whole.
        const CEntryPeek head = CEntryPeek::Read(pack, entry);
        if (!head.IsRead())
            return false;
        const MediaKind kind = recognizeMedia(asBytes(head.m_strData), entry.GetName(), !head.m_bCut);
        const char* extension = newExtension(kind);
        if (!extension)
            return false;
        MediaResult<std::string> converted = readMediaEntry(pack, entry);
        if (converted.isOk())
            converted = convert(kind, asBytes(converted.value));
        if (!converted.isOk() || converted.value.empty()) {
            const std::string why = converted.error.empty() ? kMediaUnsupported : converted.error;
            sink.Report({kNotConverted, name, ": " + why, true});
            return false;
        }
        name = withExtension(name, extension);
        data = std::move(converted.value);
        return true;
    };
}
