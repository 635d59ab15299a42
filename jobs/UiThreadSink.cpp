#include "jobs/UiThreadSink.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

void CUiThreadSink::Report(const CMessage& message) {
    if (QThread::currentThread() == m_pContext->thread()) {
        m_UiSink.Report(message);
        return;
    }
    // Blocks this thread until the user-interface thread has run the call; that thread must therefore never
    // wait for this one without running its event loop.
    QMetaObject::invokeMethod(
        m_pContext, [this, &message] { m_UiSink.Report(message); }, Qt::BlockingQueuedConnection);
}
