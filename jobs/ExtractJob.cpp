#include "jobs/ExtractJob.h"

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"
#include <QApplication>
#include <QEventLoop>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <chrono>
#include <thread>

CExtractJob::CExtractJob(const CPackFile& pack, const CNameCodec& codec, CMessageSink& uiSink,
                         const char* makeDirMessage, QWidget* pWindow)
    : m_UiSink(uiSink), m_Codec(codec), m_Sink(*this, this), m_Walk(pack, m_Sink, codec, makeDirMessage),
      m_pWindow(pWindow) {
    m_Walk.SetCancelFlag(&m_bCancel);
    m_pShowFirst = new QTimer(this);
    m_pShowFirst->setSingleShot(true);
    connect(m_pShowFirst, &QTimer::timeout, this, &CExtractJob::ShowFirst);
    m_Walk.SetProgressCallback([this](const CProgress& p) {
        m_nFilesDone.store(p.m_nFilesDone, std::memory_order_relaxed);
        m_nFilesTotal.store(p.m_nFilesTotal, std::memory_order_relaxed);
        m_nBytesDone.store(p.m_nBytesDone, std::memory_order_relaxed);
        m_nBytesTotal.store(p.m_nBytesTotal, std::memory_order_relaxed);
        if (m_fnProgressHook)
            m_fnProgressHook(p);
    });
    m_Walk.Writer().SetReplaceQuestion([this](const CPackEntry& entry) { return AskReplace(entry); });
}

CExtractJob::~CExtractJob() {
    delete m_pProgress;
}

CExtractResult CExtractJob::Run(int dirfd, const CSelection& selection) {
    CExtractResult result;
    QEventLoop loop;
    m_pLoop = &loop;
    connect(this, &CExtractJob::WorkerDone, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    std::thread worker([this, dirfd, &selection, &result] {
        result = m_Walk.Extract(dirfd, selection);
        m_bDone.store(true);
        emit WorkerDone(); // queued: reaches the loop on the user-interface thread
    });

    // First the quiet half second: repaint, answer the worker's messages, but take no input, so nothing can
    // close the archive under the worker before the modal progress dialog is up.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_bBusyCursor = true;
    QTimer delay;
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kProgressDelayMs);
    bool bQuitting = false;
    if (!m_bDone.load())
        bQuitting = loop.exec(QEventLoop::ExcludeUserInputEvents) == kQuitting;
    delay.stop();
    m_bBusyCursor = false;
    QApplication::restoreOverrideCursor();

    // Then the progress dialog, modal, until the worker ends; once cancelled, input is held back again for
    // the moment the worker needs to drop the file in hand.
    if (!m_bDone.load() && !bQuitting) {
        ShowProgress();
        while (!m_bDone.load() && !bQuitting)
            bQuitting = loop.exec(m_bCancel.load() ? QEventLoop::ExcludeUserInputEvents
                                                   : QEventLoop::AllEvents) == kQuitting;
    }
    if (bQuitting)
        Abandon();

    // The worker has said it is done; all that is left for it is to return.
    worker.join();
    if (m_pTicker)
        m_pTicker->stop();
    delete m_pProgress;
    m_pLoop = nullptr;
    m_pShowFirst->stop();
    if (bQuitting) {
        m_FirstMessage.reset();
        m_Gathered.clear();
    }
    ShowFirst(); // when the worker was quicker than the timer
    ShowGathered();
    return result;
}

// Returns at once, so the worker goes on: the first message is shown from the event loop, the rest wait.
void CExtractJob::Report(const CMessage& message) {
    if (m_bFirstTaken) {
        m_Gathered.push_back(message);
        return;
    }
    m_bFirstTaken = true;
    m_FirstMessage = message;
    m_pShowFirst->start(0);
}

template <class F> auto CExtractJob::WithoutBusyCursor(F show) {
    const bool bBusy = m_bBusyCursor;
    if (bBusy)
        QApplication::restoreOverrideCursor();
    const auto restore = qScopeGuard([bBusy] {
        if (bBusy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    });
    return show();
}

void CExtractJob::ShowFirst() {
    if (!m_FirstMessage)
        return;
    const CMessage message = std::move(*m_FirstMessage);
    m_FirstMessage.reset();
    WithoutBusyCursor([&] { m_UiSink.Report(message); });
}

CEntryWriter::EReplace CExtractJob::AskReplace(const CPackEntry& entry) {
    CEntryWriter::EReplace answer = CEntryWriter::EReplace::Cancel;
    // Dropping the call (Abandon) releases the worker with the answer above.
    QMetaObject::invokeMethod(
        this, [&] { answer = WithoutBusyCursor([&] { return ShowReplaceQuestion(entry); }); },
        Qt::BlockingQueuedConnection);
    return answer;
}

CEntryWriter::EReplace CExtractJob::ShowReplaceQuestion(const CPackEntry& entry) {
    using E = CEntryWriter::EReplace;
    // The entry's path as the list and Copy Path show it; names are plain text, never markup.
    const CNameEscaper escaper(m_Codec);
    std::string path = escaper.Escape(entry.GetName());
    for (const CPackFolder* folder = entry.GetFolder(); folder; folder = folder->GetParent())
        path = escaper.Escape(folder->GetName()) + "/" + path;
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kCaption),
                    QString::fromLatin1(kReplaceExistingFile).arg(QString::fromStdString(path)),
                    QMessageBox::NoButton, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("ReplaceQuestion"));
    box.setTextFormat(Qt::PlainText);
    const std::pair<const char*, E> answers[] = {
        {kReplace, E::Replace}, {kReplaceAll, E::ReplaceAll}, {kSkip, E::Skip}, {kSkipAll, E::SkipAll}};
    std::vector<std::pair<QAbstractButton*, E>> buttons;
    for (const auto& [text, answer] : answers)
        buttons.emplace_back(
            box.addButton(QString::fromLatin1(text), answer == E::Replace || answer == E::ReplaceAll
                                                         ? QMessageBox::YesRole
                                                         : QMessageBox::NoRole),
            answer);
    // Escape, the close box and a quitting application all answer Cancel; Enter keeps the file.
    box.setEscapeButton(box.addButton(QString::fromLatin1(kCancelText), QMessageBox::RejectRole));
    box.setDefaultButton(static_cast<QPushButton*>(buttons[2].first));
    box.exec();
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button)
            return answer;
    return E::Cancel;
}

void CExtractJob::ShowGathered() {
    if (m_Gathered.empty())
        return;
    CMessage all;
    all.m_strText = m_Gathered.size() == 1
                        ? std::string(kOneMoreMessage)
                        : QString::fromLatin1(kMoreMessages).arg(m_Gathered.size()).toStdString();
    for (const CMessage& message : m_Gathered)
        all.m_strText += "\n" + message.Full();
    m_Gathered.clear();
    m_UiSink.Report(all);
}

void CExtractJob::Abandon() {
    // The application is quitting: event loops return at once, so no message can be shown any more. Stop the
    // worker, and drop each message it waits to have handed over, which releases it.
    Cancel();
    while (!m_bDone.load()) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CExtractJob::ShowProgress() {
    m_pProgress = new QProgressDialog(m_pWindow);
    m_pProgress->setObjectName(QStringLiteral("ExtractProgress"));
    m_pProgress->setWindowTitle(tr("Extract"));
    m_pProgress->setWindowModality(Qt::ApplicationModal);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    m_pProgress->setMinimumDuration(0);
    m_pProgress->setRange(0, 1000);
    m_pProgress->setCancelButtonText(tr("Cancel"));
    m_pProgress->setMinimumWidth(360);
    connect(m_pProgress, &QProgressDialog::canceled, this, [this] {
        Cancel();
        if (m_pLoop)
            m_pLoop->quit();
    });
    UpdateProgress();
    m_pProgress->show();

    m_pTicker = new QTimer(this);
    connect(m_pTicker, &QTimer::timeout, this, &CExtractJob::UpdateProgress);
    m_pTicker->start(100);
}

void CExtractJob::UpdateProgress() {
    if (!m_pProgress || m_bCancel.load())
        return;
    const uint64_t files = m_nFilesDone.load(std::memory_order_relaxed);
    const uint64_t filesTotal = m_nFilesTotal.load(std::memory_order_relaxed);
    const uint64_t bytes = m_nBytesDone.load(std::memory_order_relaxed);
    const uint64_t bytesTotal = m_nBytesTotal.load(std::memory_order_relaxed);
    const QLocale locale;
    m_pProgress->setLabelText(
        tr("Extracting: %1 of %2 files, %3 of %4")
            .arg(locale.toString(qulonglong(files)), locale.toString(qulonglong(filesTotal)),
                 locale.formattedDataSize(qint64(bytes)), locale.formattedDataSize(qint64(bytesTotal))));
    int permille = 0;
    if (bytesTotal)
        permille = int(bytes * 1000 / bytesTotal);
    else if (filesTotal)
        permille = int(files * 1000 / filesTotal);
    m_pProgress->setValue(permille);
}
