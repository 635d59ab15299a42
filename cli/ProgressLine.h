#pragma once

#include <chrono>
#include <string>

struct CProgress;

// The one-line progress display of a long extraction on a terminal: files and bytes done against the
// totals, the rate and the time left, redrawn in place on standard error at most ten times a second and cut
// to the terminal's width (asked again after SIGWINCH), so that it never wraps. It appears only once the
// extraction has run for a moment, so quick ones print nothing. Used on the extracting thread.
class CProgressLine {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDelay{500};
    static constexpr std::chrono::milliseconds kInterval{100};

    // `enabled` is false when standard error is no terminal or the user asked for quiet.
    CProgressLine(bool enabled, int fd);

    // Marks the start of the extraction: the delay and the rate count from here.
    void Start() { m_Start = Clock::now(); }
    void Update(const CProgress& progress);
    // Erases the line, so that a message or the shell prompt starts on a clean line.
    void Clear();

    // The text of the line, without the control characters that redraw it, at most `width` - 1 columns.
    static std::string Format(const CProgress& progress, double seconds, unsigned width = 80);

private:
    bool m_bEnabled;
    int m_nFd;
    bool m_bShown = false;
    unsigned m_nWidth = 80;
    Clock::time_point m_Start;
    Clock::time_point m_LastDraw;
};
