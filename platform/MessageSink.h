#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace vorpex {

// One message the program reports to the user: a fixed text, usually ending in a blank, with a name or a
// path appended and sometimes a tail after it ("Could not open file X:" and why). The parts are kept apart so
// that each front end can render the name its own way (the command line escapes archive names).
struct Message {
    std::string m_text;
    std::string m_name; // UTF-8: a decoded archive name or a path on disk
    std::string m_tail;
    bool m_archiveName = false; // m_name came from an archive record, not from the user or the disk

    std::string full() const { return m_text + m_name + m_tail; }
};

// Where the core reports what goes wrong. The GUI shows each message in a modal box captioned "Vorpex",
// the command line prints one per line on standard error, tests record them.
// report() may be called on any thread, one message at a time per reporting operation; called on a worker,
// the GUI's sinks hand the message to the window's thread and return without waiting for the user.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void report(const Message& message) = 0;
};

// Keeps every message, in order; for tests and for callers that decide later what to show.
class RecordingSink : public MessageSink {
public:
    void report(const Message& message) override;

    std::vector<Message> messages() const;
    std::vector<std::string> texts() const; // the full texts, in order
    size_t count() const;
    void clear();

private:
    mutable std::mutex m_mutex; // guards m_messages: a worker thread may report while another reads
    std::vector<Message> m_messages;
};

// Drops every message; for callers that only want the outcome (the reader's report, a result).
class NullSink : public MessageSink {
public:
    void report(const Message&) override {}
};

} // namespace vorpex
