#pragma once

#include <QFutureWatcher>
#include <QMetaObject>
#include <QObject>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <functional>
#include <memory>

namespace vorpex {

// The one way the window runs long work (an extraction, a search, a picture's decoding): the work runs on
// a pool thread (QtConcurrent::run with a QPromise, which takes its result and its progress), sees a cancel
// through the flag the core's loops read, and its end reaches the window's thread through the watcher's
// finished signal. Nothing the work hands the window ever waits for the window: messages go through
// postToThread, a queued call. Started, cancelled and waited for on the window's thread only.
template <class T> class Job {
public:
    using Work = std::function<void(QPromise<T>& promise, const std::atomic<bool>& cancel)>;

    Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;
    // A job still running is cancelled and waited for.
    ~Job() {
        cancel();
        wait();
    }

    // Starts `work` on `pool` (Qt's own when null); the watcher follows the new work from now on, so a
    // job started anew is no longer heard of (cancel it first when it should stop).
    void start(Work work, QThreadPool* pool = nullptr) {
        m_cancel = std::make_shared<std::atomic<bool>>(false);
        m_watcher.setFuture(QtConcurrent::run(
            pool ? pool : QThreadPool::globalInstance(),
            [work = std::move(work), cancel = m_cancel](QPromise<T>& promise) { work(promise, *cancel); }));
    }
    // Asks the work to stop. What it made until then stays its result (an extraction's counts).
    void cancel() {
        if (m_cancel)
            m_cancel->store(true);
    }
    bool isCancelled() const { return m_cancel && m_cancel->load(); }
    bool isFinished() const { return m_watcher.future().isFinished(); }
    void wait() { m_watcher.future().waitForFinished(); }
    // True when the work ended with a result and was not cancelled.
    bool hasResult() const { return !isCancelled() && m_watcher.future().resultCount() > 0; }
    T result() const { return m_watcher.future().result(); }

    // finished() when the work ends, progressValueChanged() as it reports, on the watcher's thread.
    QFutureWatcher<T>* watcher() { return &m_watcher; }

private:
    QFutureWatcher<T> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;
};

// Runs `call` on the thread of `context` from any thread, without waiting for it; calls posted from one
// thread run in the order posted. A call still waiting when `context` goes is dropped.
template <class F> void postToThread(QObject* context, F call) {
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

} // namespace vorpex
