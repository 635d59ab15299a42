#pragma once

#include <mutex>
#include <string>
#include <vector>

// One message the program reports to the user: a fixed text, usually ending in a blank, with a name or a
// path appended and sometimes a tail after it ("Could not open file X:" and why). The parts are kept apart so
// that each front end can render the name its own way (the command line escapes archive names).
struct CMessage {
    std::string m_strText;
    std::string m_strName; // UTF-8: a decoded archive name or a path on disk
    std::string m_strTail;
    bool m_bArchiveName = false; // m_strName came from an archive record, not from the user or the disk

    std::string Full() const { return m_strText + m_strName + m_strTail; }
};

// Where the core reports what goes wrong. The GUI shows each message in a modal box captioned "Vorpex",
// the command line prints one per line on standard error, tests record them.
// Report() may be called on any thread, one message at a time per reporting operation; called on a worker,
// the GUI's sinks hand the message to the window's thread and return without waiting for the user.
class CMessageSink {
public:
    virtual ~CMessageSink() = default;
    virtual void Report(const CMessage& message) = 0;
};

// Keeps every message, in order; for tests and for callers that decide later what to show.
class CRecordingSink : public CMessageSink {
public:
    void Report(const CMessage& message) override;

    std::vector<CMessage> Messages() const;
    std::vector<std::string> Texts() const; // the full texts, in order
    size_t Count() const;
    void Clear();

private:
    mutable std::mutex m_mutex; // guards m_Messages: a worker thread may report while another reads
    std::vector<CMessage> m_Messages;
};

// Drops every message; for callers that only want the outcome (the reader's report, a result).
class CNullSink : public CMessageSink {
public:
    void Report(const CMessage&) override {}
};
