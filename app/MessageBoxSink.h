#pragma once

#include "platform/MessageSink.h"

// Shows each message in a modal box captioned "Vorpex" with an OK button and returns when it is closed.
// May be called from any thread: a worker's message is shown by the GUI thread while the worker waits.
class CMessageBoxSink : public CMessageSink {
public:
    static constexpr const char* kCaption = "Vorpex";

    void Report(const CMessage& message) override;

private:
    static void Show(const CMessage& message);
};
