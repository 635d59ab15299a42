#include "cli/Convert.h"

#include "catalogue/EntryPeek.h"
#include "catalogue/PackEntry.h"
#include "media/MediaDecoders.h"
#include "media/MediaEncoders.h"
#include "media/MediaEntry.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

namespace vorpex {

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
            return MediaResult<std::string>::failure(picture.m_error);
        return {encodePng(picture.m_value), {}};
    }
    const MediaResult<Sound> sound = decodeSound(kind, bytes);
    if (!sound.isOk())
        return MediaResult<std::string>::failure(sound.m_error);
    return {encodeWav(sound.m_value), {}};
}

} // namespace

std::string withExtension(const std::string& name, const char* extension) {
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + '.' + extension;
}

EntryWriter::Converter mediaConverter(const PackFile& pack, MessageSink& sink) {
    return [&pack, &sink](const PackEntry& entry, std::string& name, std::string& data) {
        // The head tells the kind; only an entry to convert is read whole.
        const EntryPeek head = EntryPeek::read(pack, entry);
        if (!head.isRead())
            return false;
        const MediaKind kind = recognizeMedia(asBytes(head.m_data), entry.name(), !head.m_cut);
        const char* extension = newExtension(kind);
        if (!extension)
            return false;
        MediaResult<std::string> converted = readMediaEntry(pack, entry);
        if (converted.isOk())
            converted = convert(kind, asBytes(converted.m_value));
        if (!converted.isOk() || converted.m_value.empty()) {
            const std::string why = converted.m_error.empty() ? kMediaUnsupported : converted.m_error;
            sink.report({kNotConverted, name, ": " + why, true});
            return false;
        }
        name = withExtension(name, extension);
        data = std::move(converted.m_value);
        return true;
    };
}

} // namespace vorpex
