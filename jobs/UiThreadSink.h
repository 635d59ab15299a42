#pragma once

#include "platform/MessageSink.h"

class QObject;

// Hands messages reported on a worker thread to a sink that must run on the user-interface thread (the
// application's message boxes) and waits until that sink is done with each one, so the worker goes on only
// after the user has closed the box, and the messages appear one at a time, in the order reported.
// Reports made on the user-interface thread itself go straight through.
class CUiThreadSink : public CMessageSink {
public:
    // `uiSink` is used on the thread of `context` only; both must outlive every Report.
    CUiThreadSink(CMessageSink& uiSink, QObject* context) : m_UiSink(uiSink), m_pContext(context) {}

    void Report(const CMessage& message) override;

private:
    CMessageSink& m_UiSink;
    QObject* m_pContext;
};
