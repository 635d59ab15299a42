#include "cli/ProgressLine.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

#include "extract/EntryWriter.h"
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

// Set by SIGWINCH: the terminal's width is asked again before the next redraw.
std::atomic<bool> g_bResized{true};

extern "C" void OnResize(int) {
    g_bResized.store(true);
}

unsigned TerminalWidth(int fd, unsigned old) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return old;
}

} // namespace

CProgressLine::CProgressLine(bool enabled, int fd) : m_bEnabled(enabled), m_nFd(fd), m_Start(Clock::now()) {
    if (!enabled)
        return;
    struct sigaction sa = {};
    sa.sa_handler = OnResize;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGWINCH, &sa, nullptr);
}

std::string CProgressLine::Format(const CProgress& p, double seconds, unsigned width) {
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
    // The text is ASCII: one byte a column. The last column stays free, so the cursor never wraps.
    // Fields that do not fit are dropped from the end, whole where one still fits.
    std::string line = buf;
    if (line.size() >= width) {
        const bool atField = line.compare(width > 1 ? width - 1 : 0, 2, ", ") == 0;
        line.resize(width > 1 ? width - 1 : 0);
        const size_t comma = line.rfind(", ");
        if (!atField && comma != std::string::npos)
            line.resize(comma);
    }
    return line;
}

void CProgressLine::Update(const CProgress& progress) {
    if (!m_bEnabled)
        return;
    const Clock::time_point now = Clock::now();
    if (now - m_Start < kDelay || (m_bShown && now - m_LastDraw < kInterval))
        return;
    m_LastDraw = now;
    m_bShown = true;
    if (g_bResized.exchange(false))
        m_nWidth = TerminalWidth(m_nFd, m_nWidth);
    const double seconds = std::chrono::duration<double>(now - m_Start).count();
    WriteAll(m_nFd, "\r" + Format(progress, seconds, m_nWidth) + "\x1b[K");
}

void CProgressLine::Clear() {
    if (!m_bShown)
        return;
    WriteAll(m_nFd, "\r\x1b[K");
    m_bShown = false;
    m_LastDraw = {};
}
