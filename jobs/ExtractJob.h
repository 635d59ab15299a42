#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "extract/FolderWalk.h"
#include "jobs/UiThreadSink.h"

class QEventLoop;
class QProgressDialog;
class QTimer;
class QWidget;

// Runs one extraction (the folder walk) on a worker thread while the user-interface thread keeps its event
// loop going. For the first half second the window only repaints (a wait cursor shows); after that a modal
// progress dialog shows files and bytes done and offers Cancel, which abandons the file in hand (its
// temporary removed) and stops; what was completed stays. The walk's first message reaches `uiSink` on the
// user-interface thread as soon as it arises, and the extraction goes on while it is shown; the messages
// after it are gathered and reach `uiSink` together, as one message, when the extraction has ended: the
// count first, then their texts one per line, in order. So a thousand failures cost two boxes, not a
// thousand. Before a file that stood in the destination is replaced, the user is asked (Replace, Replace
// All, Skip, Skip All, Cancel); the worker waits for the answer.
//
// Threads: Run() and everything else here is called on the user-interface thread, except the walk, the
// progress callback and the progress hook, which run on the worker. They share only the atomics below
// (written by one side, read by the other, no other lock), the forwarding sink and the replace question,
// both of which block the worker while the user-interface thread takes the call. The walk and the catalogue
// are used by the worker alone until it ends; the catalogue is read-only, and the modal dialog keeps the user
// from closing it meanwhile.
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

    void Cancel() { m_bCancel.store(true); }

signals:
    void WorkerDone();

private:
    static constexpr int kQuitting = -1; // what QEventLoop::exec returns once the application quits

    // The forwarding sink's target, on the user-interface thread: the box gets the ordinary pointer even
    // during the quiet half second.
    void Report(const CMessage& message) override;
    // On the worker: hands the question to the user-interface thread and waits for the answer, which is
    // Cancel when the question could not be asked (the application quitting).
    CEntryWriter::EReplace AskReplace(const CPackEntry& entry);
    // On the user-interface thread: the question box.
    CEntryWriter::EReplace ShowReplaceQuestion(const CPackEntry& entry);
    // Lifts the wait cursor of the quiet half second while `show` runs, then puts it back.
    template <class F> auto WithoutBusyCursor(F show);
    void ShowFirst();
    void ShowGathered();
    void Abandon();
    void ShowProgress();
    void UpdateProgress();

    CMessageSink& m_UiSink;
    const CNameCodec& m_Codec;
    CUiThreadSink m_Sink;
    bool m_bBusyCursor = false; // user-interface thread only
    // The messages, user-interface thread only: the first until it is shown, then every later one.
    std::optional<CMessage> m_FirstMessage;
    bool m_bFirstTaken = false;
    std::vector<CMessage> m_Gathered;
    QTimer* m_pShowFirst = nullptr;
    CFolderWalk m_Walk;
    std::function<void(const CProgress&)> m_fnProgressHook;

    // Shared with the worker: the cancel flag is written here and read by the copy loop; the counts are
    // written by the worker's progress callback and read by the progress dialog's timer.
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bDone{false};
    std::atomic<uint64_t> m_nFilesDone{0}, m_nFilesTotal{0}, m_nBytesDone{0}, m_nBytesTotal{0};

    QWidget* m_pWindow;
    QEventLoop* m_pLoop = nullptr; // Run()'s loop while it runs
    QPointer<QProgressDialog> m_pProgress;
    QTimer* m_pTicker = nullptr;
};
