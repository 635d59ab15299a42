#pragma once

#include <string>

#include "platform/MessageSink.h"

class CProgressLine;

// Prints the core's messages, one per line after "vorpex-cli: ", on standard error (or another descriptor):
// the text, the name
// (escaped when it came from the archive) and the tail. Counts them, since any message makes the exit
// status 1. Erases the progress line first, when there is one. Used on one thread at a time.
class CConsoleSink : public CMessageSink {
public:
    explicit CConsoleSink(int fd = 2) : m_nFd(fd) {}

    void Report(const CMessage& message) override;
    // A message of the command line's own ("Not in archive: X"), printed and counted the same way.
    void Print(const std::string& line);
    // A line asked for (--verbose), printed the same way but not counted.
    void Note(const std::string& line);

    void SetProgressLine(CProgressLine* line) { m_pProgress = line; }
    unsigned Count() const { return m_nCount; }

    static std::string Render(const CMessage& message);

private:
    int m_nFd;
    CProgressLine* m_pProgress = nullptr;
    unsigned m_nCount = 0;
};
