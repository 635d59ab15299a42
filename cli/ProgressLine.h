#pragma once

#include <chrono>
#include <string>

namespace vorpex {

struct Progress;

// The one-line progress display of a long extraction on a terminal: files and bytes done against the
// totals, the rate and the time left, redrawn in place on standard error at most ten times a second and cut
// to the terminal's width (asked again after SIGWINCH), so that it never wraps. It appears only once the
// extraction has run for a moment, so quick ones print nothing. Used on the extracting thread.
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDelay{500};
    static constexpr std::chrono::milliseconds kInterval{100};

    // `enabled` is false when standard error is no terminal or the user asked for quiet.
    ProgressLine(bool enabled, int fd);

    // Marks the start of the extraction: the delay and the rate count from here.
    void start() { m_start = Clock::now(); }
    void update(const Progress& progress);
    // Erases the line, so that a message or the shell prompt starts on a clean line.
    void clear();

    // The text of the line, without the control characters that redraw it, at most `width` - 1 columns.
    static std::string format(const Progress& progress, double seconds, unsigned width = 80);

private:
    bool m_enabled;
    int m_fd;
    bool m_shown = false;
    unsigned m_width = 80;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
};

} // namespace vorpex
