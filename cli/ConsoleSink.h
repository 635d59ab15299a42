#pragma once

#include <string>

#include "platform/MessageSink.h"

namespace vorpex {

class ProgressLine;

// Prints the core's messages, one per line after "vorpex-cli: ", on standard error (or another descriptor):
// the text, the name
// (escaped when it came from the archive) and the tail. Counts them, since any message makes the exit
// status 1. Erases the progress line first, when there is one. Used on one thread at a time.
class ConsoleSink : public MessageSink {
public:
    explicit ConsoleSink(int fd = 2) : m_fd(fd) {}

    void report(const Message& message) override;
    // A message of the command line's own ("Not in archive: X"), printed and counted the same way.
    void print(const std::string& line);
    // A line asked for (--verbose), printed the same way but not counted.
    void note(const std::string& line);

    void setProgressLine(ProgressLine* line) { m_progress = line; }
    unsigned count() const { return m_count; }

    static std::string render(const Message& message);

private:
    int m_fd;
    ProgressLine* m_progress = nullptr;
    unsigned m_count = 0;
};

} // namespace vorpex
