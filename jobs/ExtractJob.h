#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "extract/FolderWalk.h"
#include "jobs/Job.h"
#include "platform/MessageSink.h"

class QEventLoop;
class QProgressDialog;
class QTimer;
class QWidget;

namespace vorpex {

// Runs one extraction (the folder walk) as a job beside the window while the window's thread keeps its
// event loop going. For the first half second the window only repaints (a wait cursor shows); after that a
// modal progress dialog shows files and bytes done and offers Cancel, which abandons the file in hand (its
// temporary removed) and stops; what was completed stays. The walk's first message reaches `uiSink` on the
// window's thread as soon as it arises, and the extraction goes on while it is shown; the messages after it
// are gathered and reach `uiSink` together, as one message, when the extraction has ended: the count first,
// then their texts one per line, in order. So a thousand failures cost two boxes, not a thousand. Before a
// file that stood in the destination is replaced, the user is asked (Replace, Replace All, Skip, Skip All,
// Cancel); the worker waits for the answer, and a cancel (the application quitting included) answers Cancel.
//
// Threads: Run() and everything else here is called on the window's thread, except the walk, the progress
// callback and the progress hook, which run on the worker. The worker posts its messages (never waiting for
// them), reports progress through the job's promise (the counts in the atomics below) and waits only for the
// answer to a replace question. The walk and the catalogue are used by the worker alone until it ends; the
// catalogue is read-only, and the modal dialog keeps the user from closing it meanwhile.
class ExtractJob : public QObject, private MessageSink {
    Q_OBJECT

public:
    static constexpr int kProgressDelayMs = 500;

    // `pack`, `codec`, `uiSink` and `pWindow` must outlive Run(). `pWindow` parents the progress dialog.
    ExtractJob(const PackFile& pack, const NameCodec& codec, MessageSink& uiSink, const char* makeDirMessage,
               QWidget* pWindow);
    ~ExtractJob() override;

    // Extracts `selection` into the directory open at `dirfd` (which stays the caller's) and returns when
    // the worker has ended.
    ExtractResult run(int dirfd, const Selection& selection);

    // Called on the worker after every piece and every finished file; tests slow the copy down with it.
    void setProgressHook(std::function<void(const Progress&)> fn) { m_progressHook = std::move(fn); }

    void cancel();

private:
    static constexpr int kQuitting = -1; // what QEventLoop::exec returns once the application quits

    // A replace question on its way to the window's thread; the worker waits until it has an answer.
    struct Question {
        std::mutex m_mutex;
        std::condition_variable m_answered;
        std::optional<EntryWriter::Replace> m_answer;
        void setAnswer(EntryWriter::Replace value);
    };

    // On the worker: posts the message to the window's thread and goes on.
    void report(const Message& message) override;
    // On the window's thread: the first message is shown from the event loop, the rest wait.
    void take(const Message& message);
    // On the worker: posts the question to the window's thread and waits for the answer, which is Cancel
    // once the job is cancelled.
    EntryWriter::Replace askReplace(const PackEntry& entry);
    // On the window's thread: the question box.
    EntryWriter::Replace showReplaceQuestion(const PackEntry& entry);
    // Lifts the wait cursor of the quiet half second while `show` runs, then puts it back.
    template <class F> auto withoutBusyCursor(F show);
    void showFirst();
    void showGathered();
    void showProgress();
    void updateProgress();

    MessageSink& m_uiSink;
    const NameCodec& m_codec;
    bool m_busyCursor = false; // window's thread only
    // The messages, window's thread only: the first until it is shown, then every later one.
    std::optional<Message> m_firstMessage;
    bool m_firstTaken = false;
    std::vector<Message> m_gathered;
    QTimer* m_showFirst = nullptr;
    FolderWalk m_walk;
    std::function<void(const Progress&)> m_progressHook;
    Job<ExtractResult> m_job;
    std::mutex m_questionMutex; // guards m_question, set by the worker and answered on cancel
    std::shared_ptr<Question> m_question;

    // Written by the worker's progress callback, which then reports through the job; read by the dialog.
    std::atomic<uint64_t> m_filesDone{0}, m_filesTotal{0}, m_bytesDone{0}, m_bytesTotal{0};
    int m_reports = 0; // the worker's: the progress reported, always rising

    QWidget* m_window;
    QEventLoop* m_loop = nullptr; // Run()'s loop while it runs
    QPointer<QProgressDialog> m_progress;
};

} // namespace vorpex
