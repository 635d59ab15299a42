#pragma once

#include "platform/MessageSink.h"

namespace vorpex {

// Shows each message in a modal box captioned "Vorpex" with an OK button and returns when it is closed. The
// text is plain, whatever it holds; one of kMaxLines lines or more shows its first line above a scrolling
// list of the others.
// May be called from any thread: a worker's message is posted to the GUI thread, which shows it, and the
// worker goes on at once.
class MessageBoxSink : public MessageSink {
public:
    static constexpr int kMaxLines = 12;

    void report(const Message& message) override;

private:
    static void show(const Message& message);
};

} // namespace vorpex
