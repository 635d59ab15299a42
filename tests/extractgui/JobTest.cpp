// The Extract command's engine in the desktop program: destination dialog, destination check, the job on
// a worker thread with its progress dialog, cancel, and the walk's messages crossing back to this thread.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <unistd.h>

#include "ModalScript.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "extract/ExtractCommand.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"

namespace {

// Stands in for the application's message boxes: records, notes the thread, and can keep the "box" open
// for a while, running the event loop as a real box would.
class CBoxSink : public CRecordingSink {
public:
    void Report(const CMessage& message) override {
        if (QThread::currentThread() != qApp->thread())
            m_bOffThread = true;
        else if (QApplication::overrideCursor())
            m_bBusyCursor = true;
        CRecordingSink::Report(message);
        if (m_nHoldMs > 0) {
            QEventLoop loop;
            QTimer::singleShot(m_nHoldMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (m_fnOnReport)
            m_fnOnReport();
    }
    std::atomic<bool> m_bOffThread{false};
    bool m_bBusyCursor = false; // a box was shown under the wait cursor
    int m_nHoldMs = 0;
    std::function<void()> m_fnOnReport;
};

// Answers the Extract dialog: checks what it was opened with, types `folder`, presses OK (or Cancel).
CModalScript::Action AnswerExtract(QString* pShown, const QString& folder, bool ok = true) {
    return [=](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("IDC_FOLDER"));
        if (pShown)
            *pShown = w->windowTitle() + QLatin1Char(':') + edit->text();
        edit->setText(folder);
        CModalScript::Click(CModalScript::Child(w, ok ? QStringLiteral("IDOK") : QStringLiteral("IDCANCEL")));
    };
}

const CPackFolder* FindPath(const CPackFile& pack, std::initializer_list<const char*> path) {
    const CPackFolder* folder = &pack.GetTop();
    for (const char* name : path) {
        const CPackFolder* next = nullptr;
        for (const CPackFolder* child : folder->m_Children) {
            if (child->GetName() == name)
                next = child;
        }
        if (!next)
            return nullptr;
        folder = next;
    }
    return folder;
}

std::vector<std::string> Strings(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

} // namespace

class CJobTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void TreeFolderByIdentityWithPrefilledDestination();
    void WholeArchiveAndListSelection();
    void DestinationsThatCannotBeOpened();
    void RelativeDestinationAndExistingFolders();
    void CancelInDialogDoesNothing();
    void ProgressShowsAndCancelLeavesOnlyCompleteFiles();
    void MessagesCrossToThisThreadInOrderAndWorkerWaits();
    void QuitWhileExtractingStopsTheWorker();

private:
    std::unique_ptr<CPackFile> Open(const std::vector<CNode>& top);
    CExtractCommand::CContext Context(const QString& extractDir = {});

    std::unique_ptr<CTempDir> m_pTemp;
    std::unique_ptr<CPackFile> m_pPack;
    CNameCodec m_Codec;
    CBoxSink m_Sink;
    QString m_strCwd;
};

void CJobTest::init() {
    m_strCwd = QDir::currentPath();
    m_pTemp = std::make_unique<CTempDir>();
    m_Sink.Clear();
    m_Sink.m_nHoldMs = 0;
    m_Sink.m_fnOnReport = nullptr;
    m_Sink.m_bOffThread = false;
    m_Sink.m_bBusyCursor = false;
}

void CJobTest::cleanup() {
    m_pPack.reset();
    QDir::setCurrent(m_strCwd);
    m_pTemp.reset();
}

std::unique_ptr<CPackFile> CJobTest::Open(const std::vector<CNode>& top) {
    const std::string path = *m_pTemp / "test.pak";
    WriteFileBytes(path, BuildArchive(top));
    CRecordingSink readSink;
    auto pack = std::make_unique<CPackFile>(path, readSink);
    if (readSink.Count() != 0)
        qWarning("reader: %s", readSink.Texts().front().c_str());
    return pack;
}

CExtractCommand::CContext CJobTest::Context(const QString& extractDir) {
    return CExtractCommand::CContext(m_pPack.get(), &m_Codec, &m_Sink, extractDir, nullptr);
}

void CJobTest::TreeFolderByIdentityWithPrefilledDestination() {
    // Two folders named X: extracting the second takes its own files and sub-folders only.
    m_pPack = Open(
        {Folder("DATA", {Folder("A", {Folder("X", {File("A.TXT", "a"), Folder("DEEP")})}),
                         Folder("B", {Folder("X", {File("B.TXT", "bb"), Folder("SUB", {File("S", "s")})})}),
                         Folder("XX", {File("XX.TXT", "xx")})})});
    const std::string dest = *m_pTemp / "out";
    QVERIFY(QDir().mkdir(QString::fromStdString(dest)));
    const CPackFolder* bx = FindPath(*m_pPack, {"DATA", "B", "X"});
    QVERIFY(bx);

    QString shown;
    CModalScript script;
    script.Then(AnswerExtract(&shown, QString::fromStdString(dest)));
    CExtractResult result;
    QVERIFY(CExtractCommand::Run(
        CExtractCommand::EFrom::Tree, Context(QStringLiteral("/default/dir")),
        [&] {
            return CSelection{{bx}, {}, false};
        },
        &result));
    QCOMPARE(shown, QStringLiteral("Extract:/default/dir"));
    QCOMPARE(ListTree(dest), Strings({"X/", "X/B.TXT", "X/SUB/", "X/SUB/S"}));
    QCOMPARE(ReadFileBytes(dest + "/X/B.TXT"), std::string("bb"));
    QCOMPARE(m_Sink.Count(), size_t(0));
    QCOMPARE(result.m_nFilesWritten, uint64_t(2));
    QVERIFY(!result.m_bCancelled);
    QVERIFY(script.Unexpected().isEmpty());
}

void CJobTest::WholeArchiveAndListSelection() {
    m_pPack =
        Open({File("TOP.TXT", "top"), Folder("DATA", {File("D.TXT", "d"), Folder("MAPS", {File("M", "m")})}),
              Folder("SOUND", {File("S.WAV", "s")})});
    const std::string whole = *m_pTemp / "whole";
    const std::string picked = *m_pTemp / "picked";
    QVERIFY(QDir().mkdir(QString::fromStdString(whole)));
    QVERIFY(QDir().mkdir(QString::fromStdString(picked)));

    CModalScript script;
    script.Then(AnswerExtract(nullptr, QString::fromStdString(whole)))
        .Then(AnswerExtract(nullptr, QString::fromStdString(picked)));
    QVERIFY(CExtractCommand::Run(CExtractCommand::EFrom::Tree, Context(), [] {
        return CSelection{{}, {}, true};
    }));
    QCOMPARE(ListTree(whole), Strings({"DATA/", "DATA/D.TXT", "DATA/MAPS/", "DATA/MAPS/M", "SOUND/",
                                       "SOUND/S.WAV", "TOP.TXT"}));

    const CPackFolder* maps = FindPath(*m_pPack, {"DATA", "MAPS"});
    const CPackFolder* data = FindPath(*m_pPack, {"DATA"});
    const CPackEntry& dtxt = m_pPack->Entry(data->m_Files.at(0));
    QVERIFY(CExtractCommand::Run(CExtractCommand::EFrom::List, Context(), [&] {
        return CSelection{{maps}, {&dtxt}, false};
    }));
    QCOMPARE(ListTree(picked), Strings({"D.TXT", "MAPS/", "MAPS/M"}));
    QCOMPARE(m_Sink.Count(), size_t(0));
}

void CJobTest::DestinationsThatCannotBeOpened() {
    m_pPack = Open({Folder("DATA", {File("D.TXT", "d")})});
    const std::string file = *m_pTemp / "plain.txt";
    WriteFileBytes(file, "x");
    const CPackFolder* data = FindPath(*m_pPack, {"DATA"});
    const QString missing = QString::fromStdString(*m_pTemp / "missing");

    struct Case {
        CExtractCommand::EFrom from;
        QString dest;
        std::string message;
    };
    const std::vector<Case> cases = {
        {CExtractCommand::EFrom::Tree, missing, "Could not change to directory " + missing.toStdString()},
        {CExtractCommand::EFrom::List, missing, "Could not create directory " + missing.toStdString()},
        {CExtractCommand::EFrom::Tree, QString::fromStdString(file), "Could not change to directory " + file},
        {CExtractCommand::EFrom::List, QString(), "Could not create directory "},
    };
    for (const Case& c : cases) {
        m_Sink.Clear();
        CModalScript script;
        script.Then(AnswerExtract(nullptr, c.dest));
        QVERIFY(!CExtractCommand::Run(c.from, Context(), [&] { return CSelection{{data}, {}, false}; }));
        QCOMPARE(m_Sink.Texts(), std::vector<std::string>{c.message});
    }
    // Never created, nothing written anywhere.
    QCOMPARE(ListTree(m_pTemp->Path()), Strings({"plain.txt", "test.pak"}));
}

void CJobTest::RelativeDestinationAndExistingFolders() {
    m_pPack = Open({Folder("DATA", {File("D.TXT", "new")}), Folder("MORE", {File("M.TXT", "m")})});
    const std::string base = *m_pTemp / "base";
    QVERIFY(QDir().mkpath(QString::fromStdString(base + "/rel/DATA")));
    WriteFileBytes(base + "/rel/DATA/OLD.TXT", "old");
    QDir::setCurrent(QString::fromStdString(base));
    const CPackFolder* data = FindPath(*m_pPack, {"DATA"});
    const CPackFolder* more = FindPath(*m_pPack, {"MORE"});

    // The folder already there is reported and left alone; the next one is made.
    CModalScript script;
    script.Then(AnswerExtract(nullptr, QStringLiteral("rel")))
        .Then(AnswerExtract(nullptr, QStringLiteral("rel")));
    QVERIFY(CExtractCommand::Run(CExtractCommand::EFrom::List, Context(), [&] {
        return CSelection{{data, more}, {}, false};
    }));
    QCOMPARE(m_Sink.Texts(), Strings({"Could not create directory DATA"}));
    QCOMPARE(ListTree(base + "/rel"), Strings({"DATA/", "DATA/OLD.TXT", "MORE/", "MORE/M.TXT"}));

    m_Sink.Clear();
    QVERIFY(CExtractCommand::Run(CExtractCommand::EFrom::Tree, Context(), [&] {
        return CSelection{{data}, {}, false};
    }));
    QCOMPARE(m_Sink.Texts(), Strings({"Could not make directory DATA"}));
    QCOMPARE(QDir::currentPath().toStdString(), base); // the command never moves the working directory
}

void CJobTest::CancelInDialogDoesNothing() {
    m_pPack = Open({Folder("DATA", {File("D.TXT", "d")})});
    const std::string dest = *m_pTemp / "out";
    QVERIFY(QDir().mkdir(QString::fromStdString(dest)));
    bool asked = false;
    CModalScript script;
    script.Then(AnswerExtract(nullptr, QString::fromStdString(dest), false));
    QVERIFY(!CExtractCommand::Run(CExtractCommand::EFrom::List, Context(QString::fromStdString(dest)), [&] {
        asked = true;
        return CSelection{{FindPath(*m_pPack, {"DATA"})}, {}, false};
    }));
    QVERIFY(!asked);
    QCOMPARE(ListTree(dest), std::vector<std::string>{});
    QCOMPARE(m_Sink.Count(), size_t(0));
}

void CJobTest::ProgressShowsAndCancelLeavesOnlyCompleteFiles() {
    // Ten files of three pieces each, slowed down to about a second and a half in all.
    const size_t size = 3 * CEntryWriter::kChunk - 100;
    std::vector<CNode> files;
    for (int i = 0; i < 10; ++i)
        files.push_back(File("F" + std::to_string(i), std::string(size, char('a' + i))));
    m_pPack = Open({Folder("BIG", files)});
    const std::string dest = *m_pTemp / "out";
    QVERIFY(QDir().mkdir(QString::fromStdString(dest)));

    int ticks = 0; // the user-interface thread keeps running while the worker copies
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    QString label;
    QElapsedTimer clock;
    qint64 shownAfter = -1;
    CModalScript script;
    script.Then(AnswerExtract(nullptr, QString::fromStdString(dest))).Then([&](QWidget* w) {
        auto* progress = qobject_cast<QProgressDialog*>(w);
        QVERIFY(progress);
        shownAfter = clock.elapsed();
        // Let it run a little, then press Cancel.
        QTimer::singleShot(300, progress, [&label, progress] {
            label = progress->findChild<QLabel*>()->text();
            CModalScript::Click(progress->findChild<QPushButton*>());
        });
    });

    CExtractCommand::CContext context = Context();
    context.m_fnProgressHook = [](const CProgress&) { QThread::msleep(50); };
    CExtractResult result;
    QVERIFY(CExtractCommand::Run(
        CExtractCommand::EFrom::Tree, context,
        [&] {
            clock.start();
            return CSelection{{FindPath(*m_pPack, {"BIG"})}, {}, false};
        },
        &result));
    QVERIFY(script.Unexpected().isEmpty());
    QCOMPARE(script.Remaining(), 0);
    QVERIFY2(shownAfter >= 400 && shownAfter < 3000, qPrintable(QString::number(shownAfter)));
    QVERIFY(result.m_bCancelled);
    QVERIFY(ticks > 10);
    QVERIFY2(label.contains(QStringLiteral(" of 10 files")), qPrintable(label));

    // Whatever is there is complete; the file in hand was dropped with its temporary.
    const std::vector<std::string> left = ListTree(dest);
    QVERIFY(left.size() >= 2 && left.size() < 11);
    QCOMPARE(left.front(), std::string("BIG/"));
    for (size_t i = 1; i < left.size(); ++i) {
        QCOMPARE(left[i], "BIG/F" + std::to_string(i - 1));
        QVERIFY(ReadFileBytes(dest + "/" + left[i]) == std::string(size, char('a' + i - 1)));
    }
    QCOMPARE(result.m_nFilesWritten, uint64_t(left.size() - 1));
    QCOMPARE(m_Sink.Count(), size_t(0));
}

void CJobTest::MessagesCrossToThisThreadInOrderAndWorkerWaits() {
    // Unsafe names and folders already there, between files that do get written.
    m_pPack = Open({Folder("DATA", {File("ONE", "1"), File("..", "x"), Folder("SUB", {File("TWO", "2")}),
                                    Folder("KEEP", {File("K", "k")}), File("a\\b", "y"), Folder("LAST")})});
    const std::string dest = *m_pTemp / "out";
    QVERIFY(QDir().mkdir(QString::fromStdString(dest)));

    // While the first box is open the worker must not go on.
    std::vector<std::string> seenOnDisk;
    m_Sink.m_nHoldMs = 200;
    m_Sink.m_fnOnReport = [&] {
        if (seenOnDisk.empty())
            seenOnDisk = ListTree(dest);
    };
    CModalScript script;
    script.Then(AnswerExtract(nullptr, QString::fromStdString(dest)));
    QVERIFY(CExtractCommand::Run(CExtractCommand::EFrom::Tree, Context(), [&] {
        return CSelection{{FindPath(*m_pPack, {"DATA"})}, {}, false};
    }));
    QVERIFY(!m_Sink.m_bOffThread);
    QVERIFY(!m_Sink.m_bBusyCursor);
    QVERIFY(!QApplication::overrideCursor());
    const std::vector<std::string> texts = m_Sink.Texts();
    QCOMPARE(texts.size(), size_t(2));
    QVERIFY(texts[0].rfind("Skipped unsafe name ", 0) == 0);
    QVERIFY(texts[1].rfind("Skipped unsafe name ", 0) == 0);
    QVERIFY(texts[1].find('b') != std::string::npos);
    QCOMPARE(seenOnDisk, Strings({"DATA/", "DATA/ONE"}));
    QCOMPARE(ListTree(dest), Strings({"DATA/", "DATA/KEEP/", "DATA/KEEP/K", "DATA/LAST/", "DATA/ONE",
                                      "DATA/SUB/", "DATA/SUB/TWO"}));
}

void CJobTest::QuitWhileExtractingStopsTheWorker() {
    // The application quits while the first box is open; the worker has a second message and more files.
    std::vector<CNode> files = {File("..", "x"), File("a\\b", "y")};
    for (int i = 0; i < 5; ++i)
        files.push_back(File("F" + std::to_string(i), std::string(CEntryWriter::kChunk, 'f')));
    m_pPack = Open({Folder("DATA", files)});
    const std::string dest = *m_pTemp / "out";
    QVERIFY(QDir().mkdir(QString::fromStdString(dest)));

    m_Sink.m_fnOnReport = [] { QCoreApplication::quit(); };
    CExtractCommand::CContext context = Context();
    context.m_fnProgressHook = [](const CProgress&) { QThread::msleep(50); };
    CModalScript script;
    script.Then(AnswerExtract(nullptr, QString::fromStdString(dest)));
    CExtractResult result;
    QElapsedTimer clock;
    bool ran = false;
    // Inside the application's own event loop, which is what quitting ends.
    QTimer::singleShot(0, [&] {
        clock.start();
        ran = CExtractCommand::Run(
            CExtractCommand::EFrom::Tree, context,
            [&] {
                return CSelection{{FindPath(*m_pPack, {"DATA"})}, {}, false};
            },
            &result);
        QCoreApplication::exit(0);
    });
    QCoreApplication::exec();
    QVERIFY(ran);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(result.m_bCancelled);
    QCOMPARE(m_Sink.Count(), size_t(1));
    QVERIFY(result.m_nFilesWritten < 5);
}

QTEST_MAIN(CJobTest)
#include "JobTest.moc"
