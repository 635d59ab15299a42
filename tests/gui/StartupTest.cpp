// Start-up: settings, recent files across restarts, the command line; and the message box messages end in.
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <thread>

#include "tests/gui/AppTestSupport.h"

static const std::vector<std::string> kCannotOpen{"Error opening file."};

class StartupTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_Dir;

private slots:
    void init() { UseEmptySettings(); }

    void recentFilesSurviveRestartsAndDropOneThatCannotBeOpened() {
        QSettings(CVorpexApp::kCompany, CVorpexApp::kAppName).setValue("Settings/ExtractDir", "/tmp/x y/");
        QStringList paths;
        for (const char* name : {"a", "b", "c", "d", "e&f", "c"}) // c again: to the front, listed once
            paths << WriteArchive(m_Dir, name, {Folder(name)});
        {
            CTestApp app;
            QVERIFY(app.Start());
            QCOMPARE(app.m_pApp->m_strExtractDir, QStringLiteral("/tmp/x y/"));
            for (const QString& path : paths)
                QVERIFY(app.m_pApp->OpenDocumentFile(path));
            app.Frame()->resize(900, 600); // the window's layout is kept too
            QVERIFY(app.Frame()->close());
        }
        QVERIFY(QFile::remove(paths[1]));
        CTestApp app;
        QVERIFY(app.Start());
        QCOMPARE(app.Frame()->size(), QSize(900, 600));
        QStringList menu; // the recent files as the File menu shows them
        for (QAction* action : app.Frame()->RecentFileActions())
            menu << (app.Frame()->GetFileMenu()->actions().contains(action) ? action->text() : QString());
        QCOMPARE(menu, (QStringList{"&1 " + paths[2], "&2 " + QString(paths[4]).replace("&", "&&"),
                                    "&3 " + paths[3], "&4 " + paths[1]}));
        app.Frame()->RecentFileActions().at(2)->trigger(); // opens that archive and brings it to the front
        QCOMPARE(Rows(app.Tree()->model()), QStringList{"D"});
        app.Frame()->RecentFileActions().at(3)->trigger(); // now gone: a message, and it goes
        QCOMPARE(app.m_Messages.Texts(), kCannotOpen);
        QCOMPARE(app.m_pApp->GetDocument()->GetPathName(), paths[3]);
        QCOMPARE(app.Frame()->RecentFileActions().size(), 3);
        CTestApp next;
        QVERIFY(next.Start());
        QCOMPARE(next.m_pApp->GetRecentFiles().Files(), (QStringList{paths[3], paths[2], paths[4]}));
    }

    void commandLineArchiveThatCannotBeOpenedEndsStartUp() {
        CTestApp failed;
        QVERIFY(!failed.Start({m_Dir.filePath("nowhere.dir")}));
        QCOMPARE(failed.m_Messages.Texts(), kCannotOpen);
        QVERIFY(!failed.Frame() || !failed.Frame()->isVisible());
    }

    // Plain text whatever the name holds.
    void messageBoxFromAWorkerWaitsForOk() {
        CMessageBoxSink sink;
        std::atomic<bool> returned = false;
        QString seen;
        QTimer poll; // closes the box with OK once it is up, noting what it showed
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->windowTitle() + "|" + box->text() + (returned ? "|returned" : "|waiting") +
                       (box->textFormat() == Qt::PlainText ? "|plain" : "|rich");
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(10);
        std::thread worker([&] {
            sink.Report({"Could not make directory ", "<h1>BIG", ".", true});
            returned = true;
        });
        QTRY_VERIFY(returned);
        worker.join();
        QCOMPARE(seen, QStringLiteral("Vorpex|Could not make directory <h1>BIG.|waiting|plain"));
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
