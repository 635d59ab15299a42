#include "cli/ProgressLine.h"

#include <cstdio>
#include <unistd.h>

#include "catalogue/EntryWriter.h"
#include "platform/FileDescriptor.h"

namespace {

void WriteAll(int fd, const std::string& text) {
    ::WriteAll(fd, text.data(), text.size()); // a progress line is not worth an error
}

std::string Bytes(double bytes) {
    char buf[32];
    if (bytes >= 1024.0 * 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.2f GiB", bytes / (1024.0 * 1024 * 1024));
    else
        std::snprintf(buf, sizeof buf, "%.1f MiB", bytes / (1024.0 * 1024));
    return buf;
}

} // namespace

CProgressLine::CProgressLine(bool enabled, int fd) : m_bEnabled(enabled), m_nFd(fd), m_Start(Clock::now()) {}

std::string CProgressLine::Format(const CProgress& p, double seconds) {
    char buf[160];
    const double rate = seconds > 0 ? static_cast<double>(p.m_nBytesDone) / seconds : 0;
    std::string left = "--:--";
    if (rate > 0 && p.m_nBytesTotal >= p.m_nBytesDone) {
        const auto secs =
            static_cast<unsigned long long>(static_cast<double>(p.m_nBytesTotal - p.m_nBytesDone) / rate);
        char t[32];
        if (secs >= 3600)
            std::snprintf(t, sizeof t, "%llu:%02llu:%02llu", secs / 3600, secs / 60 % 60, secs % 60);
        else
            std::snprintf(t, sizeof t, "%llu:%02llu", secs / 60, secs % 60);
        left = t;
    }
    std::snprintf(buf, sizeof buf, "%llu/%llu files, %s/%s, %s/s, %s left",
                  static_cast<unsigned long long>(p.m_nFilesDone),
                  static_cast<unsigned long long>(p.m_nFilesTotal),
                  Bytes(static_cast<double>(p.m_nBytesDone)).c_str(),
                  Bytes(static_cast<double>(p.m_nBytesTotal)).c_str(), Bytes(rate).c_str(), left.c_str());
    return buf;
}

void CProgressLine::Update(const CProgress& progress) {
    if (!m_bEnabled)
        return;
    const Clock::time_point now = Clock::now();
    if (now - m_Start < kDelay || (m_bShown && now - m_LastDraw < kInterval))
        return;
    m_LastDraw = now;
    m_bShown = true;
    const double seconds = std::chrono::duration<double>(now - m_Start).count();
    WriteAll(m_nFd, "\r" + Format(progress, seconds) + "\x1b[K");
}

void CProgressLine::Clear() {
    if (!m_bShown)
        return;
    WriteAll(m_nFd, "\r\x1b[K");
    m_bShown = false;
    m_LastDraw = {};
}
