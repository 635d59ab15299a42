#include <algorithm>
#include <cstdio>
#include <map>

#include "media/MediaDecoders.h"
#include "media/MediaPrivate.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

constexpr size_t kMaxName = 64;

// A variable-length quantity: seven bits a byte, at most four bytes.
uint32_t readVarLength(ByteReader& in) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const uint8_t b = in.u8();
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80))
            break;
    }
    return v;
}

struct Track {
    uint64_t m_events = 0;
    uint64_t m_ticks = 0;
    std::string m_name;
    bool m_cut = false;
};

// Reads one track's events; tempo changes go into `tempos` (tick -> microseconds a quarter note).
Track readTrack(ByteSpan data, bool cut, std::map<uint64_t, uint32_t>& tempos) {
    Track track;
    track.m_cut = cut;
    ByteReader in(data);
    uint8_t status = 0;
    while (!in.atEnd()) {
        track.m_ticks += readVarLength(in);
        uint8_t b = in.u8();
        if (in.failed())
            break;
        if (b < 0x80) { // running status: the byte is data of the last status
            if (status == 0)
                break;
            in.seek(in.pos() - 1);
            b = status;
        }
        ++track.m_events;
        if (b == 0xFF) {
            const uint8_t type = in.u8();
            ByteSpan meta = in.take(readVarLength(in));
            if (type == 0x2F)
                return track;
            if (type == 0x51 && meta.size() == 3)
                tempos[track.m_ticks] = uint32_t(meta[0]) << 16 | uint32_t(meta[1]) << 8 | meta[2];
            if (type == 0x03 && track.m_name.empty())
                for (size_t i = 0; i < meta.size() && i < kMaxName; ++i)
                    track.m_name += meta[i] >= 0x20 && meta[i] < 0x7F ? char(meta[i]) : '?';
        } else if (b == 0xF0 || b == 0xF7) {
            in.take(readVarLength(in));
        } else if (b >= 0x80 && b < 0xF0) {
            status = b;
            in.skip((b & 0xF0) == 0xC0 || (b & 0xF0) == 0xD0 ? 1 : 2);
        } else {
            break; // a system message has no place in a file
        }
    }
    track.m_cut = true; // no end-of-track event
    return track;
}

std::string clockText(double seconds) {
    char text[32];
    const auto whole = uint64_t(seconds + 0.5);
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(whole / 60),
                  static_cast<unsigned long long>(whole % 60));
    return text;
}

} // namespace

MediaResult<std::string> summarizeMidi(ByteSpan bytes) {
    ByteReader in(bytes);
    if (!in.matches("MThd", 4))
        return MediaResult<std::string>::failure(kMediaNotMidi);
    const uint32_t headerSize = in.be32();
    const uint16_t format = in.be16(), trackCount = in.be16(), division = in.be16();
    if (in.failed())
        return MediaResult<std::string>::failure(kMediaTruncated);
    if (headerSize < 6 || division == 0)
        return MediaResult<std::string>::failure(kMediaDamaged);
    in.seek(8 + size_t(headerSize));

    std::map<uint64_t, uint32_t> tempos;
    std::vector<Track> tracks;
    while (in.remaining() >= 8 && tracks.size() < trackCount) {
        const uint32_t id = in.be32(), size = in.be32();
        ByteSpan data = in.take(size);
        if (id == 0x4D54726B) // "MTrk"; other chunks are skipped, as the format asks
            tracks.push_back(readTrack(data, data.size() < size, tempos));
    }

    // The length: the longest track, through the tempo map (a quarter note is 500,000 us until the first
    // change). Format 2 holds independent patterns; their tempo maps are not merged, the estimate is rough.
    uint64_t endTick = 0;
    for (const Track& t : tracks)
        endTick = std::max(endTick, t.m_ticks);
    double seconds = 0;
    const bool smpte = division & 0x8000;
    if (smpte) {
        const unsigned fps = 256 - (division >> 8), perFrame = division & 0xFF;
        seconds = fps && perFrame ? double(endTick) / (fps * perFrame) : 0;
    } else {
        uint64_t tick = 0;
        uint32_t tempo = 500000;
        for (auto it = tempos.begin(); it != tempos.end() && it->first < endTick; ++it) {
            seconds += double(it->first - tick) * tempo / 1e6 / division;
            tick = it->first;
            tempo = it->second;
        }
        seconds += double(endTick - tick) * tempo / 1e6 / division;
    }

    std::string text = kMidiHeading + std::to_string(format) + "\n";
    text += kMidiTracks + std::to_string(tracks.size()) + "\n";
    text += smpte ? kMidiSmpte + std::to_string(256 - (division >> 8)) + "\n"
                  : kMidiDivision + std::to_string(division) + "\n";
    if (!smpte) {
        char bpm[32];
        const uint32_t first = tempos.empty() || tempos.begin()->first > 0 ? 500000 : tempos.begin()->second;
        std::snprintf(bpm, sizeof bpm, "%.1f BPM", first ? 60e6 / first : 0.0);
        text += kMidiTempo + std::string(bpm);
        if (tempos.size() > 1)
            text += " (" + std::to_string(tempos.size()) + kMidiTempoChanges + ")";
        text += "\n";
    }
    text += kMidiLength + clockText(seconds) + "\n";
    for (size_t i = 0; i < tracks.size(); ++i) {
        text += kMidiTrack + std::to_string(i + 1) + ": " + std::to_string(tracks[i].m_events) + kMidiEvents;
        if (!tracks[i].m_name.empty())
            text += ", \"" + tracks[i].m_name + "\"";
        if (tracks[i].m_cut)
            text += kMidiTrackCut;
        text += "\n";
    }
    return {std::move(text), {}};
}

} // namespace vorpex
