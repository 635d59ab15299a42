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
class CExtractJob : public QObject, private CMessageSink {
    Q_OBJECT

public:
    static constexpr int kProgressDelayMs = 500;

    // `pack`, `codec`, `uiSink` and `pWindow` must outlive Run(). `pWindow` parents the progress dialog.
    CExtractJob(const CPackFile& pack, const CNameCodec& codec, CMessageSink& uiSink,
                const char* makeDirMessage, QWidget* pWindow);
    ~CExtractJob() override;

    // Extracts `selection` into the directory open at `dirfd` (which stays the caller's) and returns when
    // the worker has ended.
    CExtractResult Run(int dirfd, const CSelection& selection);

    // Called on the worker after every piece and every finished file; tests slow the copy down with it.
    void SetProgressHook(std::function<void(const CProgress&)> fn) { m_fnProgressHook = std::move(fn); }

    void Cancel();

private:
    static constexpr int kQuitting = -1; // what QEventLoop::exec returns once the application quits

    // A replace question on its way to the window's thread; the worker waits until it has an answer.
    struct Question {
        std::mutex mutex;
        std::condition_variable answered;
        std::optional<CEntryWriter::EReplace> answer;
        void setAnswer(CEntryWriter::EReplace value);
    };

    // On the worker: posts the message to the window's thread and goes on.
    void Report(const CMessage& message) override;
    // On the window's thread: the first message is shown from the event loop, the rest wait.
    void Take(const CMessage& message);
    // On the worker: posts the question to the window's thread and waits for the answer, which is Cancel
    // once the job is cancelled.
    CEntryWriter::EReplace AskReplace(const CPackEntry& entry);
    // On the window's thread: the question box.
    CEntryWriter::EReplace ShowReplaceQuestion(const CPackEntry& entry);
    // Lifts the wait cursor of the quiet half second while `show` runs, then puts it back.
    template <class F> auto WithoutBusyCursor(F show);
    void ShowFirst();
    void ShowGathered();
    void ShowProgress();
    void UpdateProgress();

    CMessageSink& m_UiSink;
    const CNameCodec& m_Codec;
    bool m_bBusyCursor = false; // window's thread only
    // The messages, window's thread only: the first until it is shown, then every later one.
    std::optional<CMessage> m_FirstMessage;
    bool m_bFirstTaken = false;
    std::vector<CMessage> m_Gathered;
    QTimer* m_pShowFirst = nullptr;
    CFolderWalk m_Walk;
    std::function<void(const CProgress&)> m_fnProgressHook;
    Job<CExtractResult> m_job;
    std::mutex m_questionMutex; // guards m_question, set by the worker and answered on cancel
    std::shared_ptr<Question> m_question;

    // Written by the worker's progress callback, which then reports through the job; read by the dialog.
    std::atomic<uint64_t> m_nFilesDone{0}, m_nFilesTotal{0}, m_nBytesDone{0}, m_nBytesTotal{0};
    int m_reports = 0; // the worker's: the progress reported, always rising

    QWidget* m_pWindow;
    QEventLoop* m_pLoop = nullptr; // Run()'s loop while it runs
    QPointer<QProgressDialog> m_pProgress;
};
