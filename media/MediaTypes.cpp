#include "media/MediaTypes.h"

#include <cstdio>

#include "platform/MessageTexts.h"

namespace vorpex {

std::string Picture::description() const {
    return std::to_string(m_width) + "x" + std::to_string(m_height) + ", " + std::to_string(m_sourceBits) +
           (m_indexed ? kMediaIndexed : kMediaTrueColour);
}

std::string Sound::description() const {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", m_rate ? double(frameCount()) / m_rate : 0.0);
    const std::string layout = m_channels == 1   ? kMediaMono
                               : m_channels == 2 ? kMediaStereo
                                                 : std::to_string(m_channels);
    return std::to_string(m_rate) + " Hz, " + std::to_string(m_bitsPerSample) + "-bit, " + layout + ", " +
           seconds;
}

} // namespace vorpex
