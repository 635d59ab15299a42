// Start-up: settings, the recent-file list across restarts, the archive named on the command line.
#include <QMenu>
#include <QSettings>
#include <QTest>

#include "app/MainFrame.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

class StartupTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;

    static QStringList RecentMenu(const CTestApp& app) {
        QStringList items;
        for (QAction* action : app.Frame()->GetFileMenu()->actions())
            if (action->isVisible() && !action->isSeparator())
                items << action->text();
        return items;
    }

private slots:
    void initTestCase() { UseTemporarySettings(); }
    void init() { ClearSettings(); }
    void extractDirIsReadFromSettings();
    void recentFilesSurviveARestart();
    void vanishedRecentFileIsRemovedWithAMessage();
    void commandLineOpensBeforeTheWindowShows();
    void commandLineFailureEndsStartUp();
    void commandLineDamagedArchiveStillStarts();
};

void StartupTest::extractDirIsReadFromSettings() {
    {
        CTestApp app;
        QVERIFY(app.Start());
        QCOMPARE(app.m_pApp->m_strExtractDir, QString());
    }
    QSettings(QString::fromLatin1(CVorpexApp::kCompany), QString::fromLatin1(CVorpexApp::kAppName))
        .setValue("Settings/ExtractDir", "/tmp/out dir/");
    CTestApp app;
    QVERIFY(app.Start());
    QCOMPARE(app.m_pApp->m_strExtractDir, QStringLiteral("/tmp/out dir/"));
    QCOMPARE(app.m_pApp->GetProfileString("Settings", "ExtractDir"), QStringLiteral("/tmp/out dir/"));
}

void StartupTest::recentFilesSurviveARestart() {
    QStringList paths;
    for (const char* name : {"a.dir", "b.dir", "c.dir", "d.dir", "e&f.dir"})
        paths << WriteArchive(m_Dir, name, {Folder(name)});
    {
        CTestApp app;
        QVERIFY(app.Start());
        QCOMPARE(RecentMenu(app),
                 (QStringList{"&Open...\tCtrl+O", "&Extract...\tCtrl+E", "Recent File", "E&xit"}));
        for (const QString& path : paths)
            QVERIFY(app.m_pApp->OpenDocumentFile(path));
        // Opening one again brings it to the front without a second mention.
        QVERIFY(app.m_pApp->OpenDocumentFile(paths[2]));
    }
    CTestApp app;
    QVERIFY(app.Start());
    QCOMPARE(app.m_pApp->GetRecentFiles().Files(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));
    QCOMPARE(RecentMenu(app), (QStringList{"&Open...\tCtrl+O", "&Extract...\tCtrl+E", "&1 " + paths[2],
                                           "&2 " + QString(paths[4]).replace("&", "&&"), "&3 " + paths[3],
                                           "&4 " + paths[1], "E&xit"}));
    // Choosing an entry opens that archive.
    app.Frame()->RecentFileActions().at(3)->trigger();
    QCOMPARE(app.m_pApp->GetDocument()->GetPathName(), paths[1]);
    QCOMPARE(app.Tree()->model()->index(0, 0).data().toString(), QStringLiteral("B.DIR"));
    QCOMPARE(app.m_pApp->GetRecentFiles()[0], paths[1]);
    QCOMPARE(app.Frame()->RecentFileActions().at(0)->statusTip(), QStringLiteral("Open this document"));
}

void StartupTest::vanishedRecentFileIsRemovedWithAMessage() {
    const QString kept = WriteArchive(m_Dir, "kept.dir", {Folder("KEPT")});
    const QString gone = WriteArchive(m_Dir, "gone.dir", {Folder("GONE")});
    {
        CTestApp app;
        QVERIFY(app.Start());
        QVERIFY(app.m_pApp->OpenDocumentFile(kept));
        QVERIFY(app.m_pApp->OpenDocumentFile(gone));
    }
    QVERIFY(QFile::remove(gone));
    CTestApp app;
    QVERIFY(app.Start());
    QVERIFY(app.m_pApp->OpenDocumentFile(kept));
    QCOMPARE(app.m_pApp->GetRecentFiles().Files(), (QStringList{kept, gone}));
    app.Frame()->RecentFileActions().at(1)->trigger();
    QCOMPARE(app.m_Messages.Texts(),
             std::vector<std::string>{"Cannot open file " + gone.toStdString() + "."});
    QCOMPARE(app.m_pApp->GetRecentFiles().Files(), QStringList{kept});
    QCOMPARE(app.Frame()->RecentFileActions().size(), 1);
    // The archive that was open stays open.
    QCOMPARE(app.m_pApp->GetDocument()->GetPathName(), kept);
    // And the next run no longer lists it.
    CTestApp next;
    QVERIFY(next.Start());
    QCOMPARE(next.m_pApp->GetRecentFiles().Files(), QStringList{kept});
}

// Notes whether the main window was on screen when each message came.
class CVisibilitySink : public CMessageSink {
public:
    void Report(const CMessage&) override {
        CMainFrame* frame = CVorpexApp::Instance() ? CVorpexApp::Instance()->GetMainWnd() : nullptr;
        m_Visible.push_back(frame && frame->isVisible());
    }
    std::vector<bool> m_Visible;
};

void StartupTest::commandLineOpensBeforeTheWindowShows() {
    const QString path = WriteArchive(m_Dir, "cmd.dir", {Folder("CMD", {File("X.TXT", "x")})});
    {
        CTestApp app;
        QVERIFY(app.Start({path}));
        QVERIFY(app.Frame()->isVisible());
        QVERIFY(app.m_pApp->GetDocument()->m_pPackFile->m_bOpen);
        QCOMPARE(app.Tree()->model()->index(0, 0).data().toString(), QStringLiteral("CMD.DIR"));
        QCOMPARE(app.Frame()->GetMessageText(), QStringLiteral("1 folder, 1 file"));
        QCOMPARE(app.m_pApp->GetRecentFiles()[0], path);
        QCOMPARE(app.m_Messages.Count(), size_t(0));
    }
    // The reader's complaint about a damaged archive comes while the window is not yet shown.
    CRawArchive raw;
    raw.Record(0, "ODD", 7, 0, 0).End(44);
    const QString damaged = m_Dir.filePath("odd.dir");
    WriteFileBytes(damaged.toStdString(), raw.Str());
    CVisibilitySink sink;
    CVorpexApp app;
    app.SetMessageSink(&sink);
    QVERIFY(app.InitInstance({damaged}));
    QCOMPARE(sink.m_Visible, std::vector<bool>{false});
    QVERIFY(app.GetMainWnd()->isVisible());
}

void StartupTest::commandLineFailureEndsStartUp() {
    const QString missing = m_Dir.filePath("nowhere.dir");
    CTestApp app;
    QVERIFY(!app.Start({missing}));
    QCOMPARE(app.m_Messages.Texts(),
             std::vector<std::string>{"Cannot open file " + missing.toStdString() + "."});
    QVERIFY(!app.Frame() || !app.Frame()->isVisible());
    QCOMPARE(app.m_pApp->GetRecentFiles().GetSize(), 0);
}

void StartupTest::commandLineDamagedArchiveStillStarts() {
    // Not an archive at all: the reader complains, and the program starts with what it could read.
    const QString path = m_Dir.filePath("text.dir");
    WriteFileBytes(path.toStdString(), std::string(100, 'z'));
    CTestApp app;
    QVERIFY(app.Start({path}));
    QVERIFY(app.Frame()->isVisible());
    QVERIFY(app.m_Messages.Count() >= 1);
    QCOMPARE(app.m_pApp->GetDocument()->GetPathName(), path);
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
