#include "cli/ProgressLine.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

#include "extract/EntryWriter.h"
#include "platform/FileDescriptor.h"

namespace vorpex {

namespace {

void writeAll(int fd, const std::string& text) {
    vorpex::writeAll(fd, text.data(), text.size()); // a progress line is not worth an error
}

std::string bytes(double bytes) {
    char buf[32];
    if (bytes >= 1024.0 * 1024 * 1024)
        std::snprintf(buf, sizeof buf, "%.2f GiB", bytes / (1024.0 * 1024 * 1024));
    else
        std::snprintf(buf, sizeof buf, "%.1f MiB", bytes / (1024.0 * 1024));
    return buf;
}

// Set by SIGWINCH: the terminal's width is asked again before the next redraw.
std::atomic<bool> g_resized{true};

extern "C" void onResize(int) {
    g_resized.store(true);
}

unsigned terminalWidth(int fd, unsigned old) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return old;
}

} // namespace

ProgressLine::ProgressLine(bool enabled, int fd) : m_enabled(enabled), m_fd(fd), m_start(Clock::now()) {
    if (!enabled)
        return;
    struct sigaction sa = {};
    sa.sa_handler = onResize;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGWINCH, &sa, nullptr);
}

std::string ProgressLine::format(const Progress& p, double seconds, unsigned width) {
    char buf[160];
    const double rate = seconds > 0 ? static_cast<double>(p.m_bytesDone) / seconds : 0;
    std::string left = "--:--";
    if (rate > 0 && p.m_bytesTotal >= p.m_bytesDone) {
        const auto secs =
            static_cast<unsigned long long>(static_cast<double>(p.m_bytesTotal - p.m_bytesDone) / rate);
        char t[32];
        if (secs >= 3600)
            std::snprintf(t, sizeof t, "%llu:%02llu:%02llu", secs / 3600, secs / 60 % 60, secs % 60);
        else
            std::snprintf(t, sizeof t, "%llu:%02llu", secs / 60, secs % 60);
        left = t;
    }
    std::snprintf(buf, sizeof buf, "%llu/%llu files, %s/%s, %s/s, %s left",
                  static_cast<unsigned long long>(p.m_filesDone),
                  static_cast<unsigned long long>(p.m_filesTotal),
                  bytes(static_cast<double>(p.m_bytesDone)).c_str(),
                  bytes(static_cast<double>(p.m_bytesTotal)).c_str(), bytes(rate).c_str(), left.c_str());
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

void ProgressLine::update(const Progress& progress) {
    if (!m_enabled)
        return;
    const Clock::time_point now = Clock::now();
    if (now - m_start < kDelay || (m_shown && now - m_lastDraw < kInterval))
        return;
    m_lastDraw = now;
    m_shown = true;
    if (g_resized.exchange(false))
        m_width = terminalWidth(m_fd, m_width);
    const double seconds = std::chrono::duration<double>(now - m_start).count();
    writeAll(m_fd, "\r" + format(progress, seconds, m_width) + "\x1b[K");
}

void ProgressLine::clear() {
    if (!m_shown)
        return;
    writeAll(m_fd, "\r\x1b[K");
    m_shown = false;
    m_lastDraw = {};
}

} // namespace vorpex
