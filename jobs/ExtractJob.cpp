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
#include <limits>

CExtractJob::CExtractJob(const CPackFile& pack, const CNameCodec& codec, CMessageSink& uiSink,
                         const char* makeDirMessage, QWidget* pWindow)
    : m_UiSink(uiSink), m_Codec(codec), m_Walk(pack, *this, codec, makeDirMessage), m_pWindow(pWindow) {
    m_pShowFirst = new QTimer(this);
    m_pShowFirst->setSingleShot(true);
    connect(m_pShowFirst, &QTimer::timeout, this, &CExtractJob::ShowFirst);
    m_Walk.Writer().SetReplaceQuestion([this](const CPackEntry& entry) { return AskReplace(entry); });
    connect(m_job.watcher(), &QFutureWatcher<CExtractResult>::progressValueChanged, this,
            &CExtractJob::UpdateProgress);
}

CExtractJob::~CExtractJob() {
    delete m_pProgress;
}

void CExtractJob::Cancel() {
    m_job.cancel();
    // A question waiting for its answer gets Cancel, so the worker can stop.
    std::lock_guard lock(m_questionMutex);
    if (m_question)
        m_question->setAnswer(CEntryWriter::EReplace::Cancel);
}

void CExtractJob::Question::setAnswer(CEntryWriter::EReplace value) {
    {
        std::lock_guard lock(mutex);
        if (!answer)
            answer = value;
    }
    answered.notify_all();
}

CExtractResult CExtractJob::Run(int dirfd, const CSelection& selection) {
    QEventLoop loop;
    m_pLoop = &loop;
    connect(m_job.watcher(), &QFutureWatcher<CExtractResult>::finished, &loop, &QEventLoop::quit);

    m_job.start(
        [this, dirfd, &selection](QPromise<CExtractResult>& promise, const std::atomic<bool>& cancel) {
            m_Walk.SetCancelFlag(&cancel);
            promise.setProgressRange(0, std::numeric_limits<int>::max());
            m_Walk.SetProgressCallback([this, &promise](const CProgress& p) {
                m_nFilesDone.store(p.m_nFilesDone, std::memory_order_relaxed);
                m_nFilesTotal.store(p.m_nFilesTotal, std::memory_order_relaxed);
                m_nBytesDone.store(p.m_nBytesDone, std::memory_order_relaxed);
                m_nBytesTotal.store(p.m_nBytesTotal, std::memory_order_relaxed);
                promise.setProgressValue(++m_reports);
                if (m_fnProgressHook)
                    m_fnProgressHook(p);
            });
            promise.addResult(m_Walk.Extract(dirfd, selection));
        });

    // First the quiet half second: repaint, take the worker's messages, but take no input, so nothing can
    // close the archive under the worker before the modal progress dialog is up.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_bBusyCursor = true;
    QTimer delay;
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kProgressDelayMs);
    bool bQuitting = false;
    if (!m_job.isFinished())
        bQuitting = loop.exec(QEventLoop::ExcludeUserInputEvents) == kQuitting;
    delay.stop();
    m_bBusyCursor = false;
    QApplication::restoreOverrideCursor();

    // Then the progress dialog, modal, until the worker ends; once cancelled, input is held back again for
    // the moment the worker needs to drop the file in hand.
    if (!m_job.isFinished() && !bQuitting) {
        ShowProgress();
        while (!m_job.isFinished() && !bQuitting)
            bQuitting = loop.exec(m_job.isCancelled() ? QEventLoop::ExcludeUserInputEvents
                                                      : QEventLoop::AllEvents) == kQuitting;
    }
    // The application is quitting: event loops return at once, so no message can be shown any more. The
    // worker stops, a question it waits on answered Cancel, and what it posted is dropped.
    if (bQuitting)
        Cancel();
    m_job.wait();
    CExtractResult result;
    if (m_job.watcher()->future().resultCount() > 0)
        result = m_job.result();
    else
        result.m_bCancelled = true;
    delete m_pProgress;
    m_pLoop = nullptr;
    m_pShowFirst->stop();
    if (bQuitting) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        m_FirstMessage.reset();
        m_Gathered.clear();
    } else {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); // the messages still on their way
    }
    ShowFirst(); // when the worker was quicker than the timer
    ShowGathered();
    return result;
}

void CExtractJob::Report(const CMessage& message) {
    postToThread(this, [this, message] { Take(message); });
}

void CExtractJob::Take(const CMessage& message) {
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
    auto question = std::make_shared<Question>();
    {
        std::lock_guard lock(m_questionMutex);
        if (m_job.isCancelled())
            return CEntryWriter::EReplace::Cancel;
        m_question = question;
    }
    postToThread(this, [this, question, &entry] {
        if (!question->answer) // not cancelled meanwhile
            question->setAnswer(WithoutBusyCursor([&] { return ShowReplaceQuestion(entry); }));
    });
    std::unique_lock lock(question->mutex);
    question->answered.wait(lock, [&] { return question->answer.has_value(); });
    const CEntryWriter::EReplace answer = *question->answer;
    lock.unlock();
    std::lock_guard guard(m_questionMutex);
    m_question.reset();
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
}

void CExtractJob::UpdateProgress() {
    if (!m_pProgress || m_job.isCancelled())
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
