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

namespace vorpex {

ExtractJob::ExtractJob(const PackFile& pack, const NameCodec& codec, MessageSink& uiSink,
                       const char* makeDirMessage, QWidget* pWindow)
    : m_uiSink(uiSink), m_codec(codec), m_walk(pack, *this, codec, makeDirMessage), m_window(pWindow) {
    m_showFirst = new QTimer(this);
    m_showFirst->setSingleShot(true);
    connect(m_showFirst, &QTimer::timeout, this, &ExtractJob::showFirst);
    m_walk.writer().setReplaceQuestion([this](const PackEntry& entry) { return askReplace(entry); });
    connect(m_job.watcher(), &QFutureWatcher<ExtractResult>::progressValueChanged, this,
            &ExtractJob::updateProgress);
}

ExtractJob::~ExtractJob() {
    delete m_progress;
}

void ExtractJob::cancel() {
    m_job.cancel();
    // A question waiting for its answer gets Cancel, so the worker can stop.
    std::lock_guard lock(m_questionMutex);
    if (m_question)
        m_question->setAnswer(EntryWriter::Replace::Cancel);
}

void ExtractJob::Question::setAnswer(EntryWriter::Replace value) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_answer)
            m_answer = value;
    }
    m_answered.notify_all();
}

ExtractResult ExtractJob::run(int dirfd, const Selection& selection) {
    QEventLoop loop;
    m_loop = &loop;
    connect(m_job.watcher(), &QFutureWatcher<ExtractResult>::finished, &loop, &QEventLoop::quit);

    m_job.start([this, dirfd, &selection](QPromise<ExtractResult>& promise, const std::atomic<bool>& cancel) {
        m_walk.setCancelFlag(&cancel);
        promise.setProgressRange(0, std::numeric_limits<int>::max());
        m_walk.setProgressCallback([this, &promise](const Progress& p) {
            m_filesDone.store(p.m_filesDone, std::memory_order_relaxed);
            m_filesTotal.store(p.m_filesTotal, std::memory_order_relaxed);
            m_bytesDone.store(p.m_bytesDone, std::memory_order_relaxed);
            m_bytesTotal.store(p.m_bytesTotal, std::memory_order_relaxed);
            promise.setProgressValue(++m_reports);
            if (m_progressHook)
                m_progressHook(p);
        });
        promise.addResult(m_walk.extract(dirfd, selection));
    });

    // First the quiet half second: repaint, take the worker's messages, but take no input, so nothing can
    // close the archive under the worker before the modal progress dialog is up.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busyCursor = true;
    QTimer delay;
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
    delay.start(kProgressDelayMs);
    bool bQuitting = false;
    if (!m_job.isFinished())
        bQuitting = loop.exec(QEventLoop::ExcludeUserInputEvents) == kQuitting;
    delay.stop();
    m_busyCursor = false;
    QApplication::restoreOverrideCursor();

    // Then the progress dialog, modal, until the worker ends; once cancelled, input is held back again for
    // the moment the worker needs to drop the file in hand.
    if (!m_job.isFinished() && !bQuitting) {
        showProgress();
        while (!m_job.isFinished() && !bQuitting)
            bQuitting = loop.exec(m_job.isCancelled() ? QEventLoop::ExcludeUserInputEvents
                                                      : QEventLoop::AllEvents) == kQuitting;
    }
    // The application is quitting: event loops return at once, so no message can be shown any more. The
    // worker stops, a question it waits on answered Cancel, and what it posted is dropped.
    if (bQuitting)
        cancel();
    m_job.wait();
    ExtractResult result;
    if (m_job.watcher()->future().resultCount() > 0)
        result = m_job.result();
    else
        result.m_cancelled = true;
    delete m_progress;
    m_loop = nullptr;
    m_showFirst->stop();
    if (bQuitting) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        m_firstMessage.reset();
        m_gathered.clear();
    } else {
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall); // the messages still on their way
    }
    showFirst(); // when the worker was quicker than the timer
    showGathered();
    return result;
}

void ExtractJob::report(const Message& message) {
    postToThread(this, [this, message] { take(message); });
}

void ExtractJob::take(const Message& message) {
    if (m_firstTaken) {
        m_gathered.push_back(message);
        return;
    }
    m_firstTaken = true;
    m_firstMessage = message;
    m_showFirst->start(0);
}

template <class F> auto ExtractJob::withoutBusyCursor(F show) {
    const bool busy = m_busyCursor;
    if (busy)
        QApplication::restoreOverrideCursor();
    const auto restore = qScopeGuard([busy] {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    });
    return show();
}

void ExtractJob::showFirst() {
    if (!m_firstMessage)
        return;
    const Message message = std::move(*m_firstMessage);
    m_firstMessage.reset();
    withoutBusyCursor([&] { m_uiSink.report(message); });
}

EntryWriter::Replace ExtractJob::askReplace(const PackEntry& entry) {
    auto question = std::make_shared<Question>();
    {
        std::lock_guard lock(m_questionMutex);
        if (m_job.isCancelled())
            return EntryWriter::Replace::Cancel;
        m_question = question;
    }
    postToThread(this, [this, question, &entry] {
        if (!question->m_answer) // not cancelled meanwhile
            question->setAnswer(withoutBusyCursor([&] { return showReplaceQuestion(entry); }));
    });
    std::unique_lock lock(question->m_mutex);
    question->m_answered.wait(lock, [&] { return question->m_answer.has_value(); });
    const EntryWriter::Replace answer = *question->m_answer;
    lock.unlock();
    std::lock_guard guard(m_questionMutex);
    m_question.reset();
    return answer;
}

EntryWriter::Replace ExtractJob::showReplaceQuestion(const PackEntry& entry) {
    using E = EntryWriter::Replace;
    // The entry's path as the list and Copy Path show it; names are plain text, never markup.
    const NameEscaper escaper(m_codec);
    std::string path = escaper.escape(entry.name());
    for (const PackFolder* folder = entry.folder(); folder; folder = folder->parent())
        path = escaper.escape(folder->name()) + "/" + path;
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

void ExtractJob::showGathered() {
    if (m_gathered.empty())
        return;
    Message all;
    all.m_text = m_gathered.size() == 1
                     ? std::string(kOneMoreMessage)
                     : QString::fromLatin1(kMoreMessages).arg(m_gathered.size()).toStdString();
    for (const Message& message : m_gathered)
        all.m_text += "\n" + message.full();
    m_gathered.clear();
    m_uiSink.report(all);
}

void ExtractJob::showProgress() {
    m_progress = new QProgressDialog(m_window);
    m_progress->setObjectName(QStringLiteral("ExtractProgress"));
    m_progress->setWindowTitle(tr("Extract"));
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setMinimumDuration(0);
    m_progress->setRange(0, 1000);
    m_progress->setCancelButtonText(tr("Cancel"));
    m_progress->setMinimumWidth(360);
    connect(m_progress, &QProgressDialog::canceled, this, [this] {
        cancel();
        if (m_loop)
            m_loop->quit();
    });
    updateProgress();
    m_progress->show();
}

void ExtractJob::updateProgress() {
    if (!m_progress || m_job.isCancelled())
        return;
    const uint64_t files = m_filesDone.load(std::memory_order_relaxed);
    const uint64_t filesTotal = m_filesTotal.load(std::memory_order_relaxed);
    const uint64_t bytes = m_bytesDone.load(std::memory_order_relaxed);
    const uint64_t bytesTotal = m_bytesTotal.load(std::memory_order_relaxed);
    const QLocale locale;
    m_progress->setLabelText(
        tr("Extracting: %1 of %2 files, %3 of %4")
            .arg(locale.toString(qulonglong(files)), locale.toString(qulonglong(filesTotal)),
                 locale.formattedDataSize(qint64(bytes)), locale.formattedDataSize(qint64(bytesTotal))));
    int permille = 0;
    if (bytesTotal)
        permille = int(bytes * 1000 / bytesTotal);
    else if (filesTotal)
        permille = int(files * 1000 / filesTotal);
    m_progress->setValue(permille);
}

} // namespace vorpex
