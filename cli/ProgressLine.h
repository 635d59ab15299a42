#pragma once

#include <chrono>
#include <string>

struct CProgress;

// The one-line progress display of a long extraction on a terminal: files and bytes done against the
// totals, the rate and the time left, redrawn in place on standard error a few times a second. It appears
// only once the extraction has run for a moment, so quick ones print nothing. Used on the extracting thread.
class CProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDelay{500};
    static constexpr std::chrono::milliseconds kInterval{200};

    // `enabled` is false when standard error is no terminal or the user asked for quiet.
    CProgressLine(bool enabled, int fd);

    void Update(const CProgress& progress);
    // Erases the line, so that a message or the shell prompt starts on a clean line.
    void Clear();

    // The text of the line, without the control characters that redraw it.
    static std::string Format(const CProgress& progress, double seconds);

private:
    bool m_bEnabled;
    int m_nFd;
    bool m_bShown = false;
    Clock::time_point m_Start;
    Clock::time_point m_LastDraw;
};
