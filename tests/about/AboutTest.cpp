#include "app/AboutDlg.h"
#include "tests/gui/AppTestSupport.h"

#include <QMenu>
#include <QScopeGuard>
#include <QToolBar>
#include <QtTest>

static constexpr int kOk = CLinkStatic::kOpenSucceeded;

class CAboutTest : public QObject {
    Q_OBJECT

private slots:
    // Help, "&About Vorpex..." and the toolbar's button each show a new modal box over the main window.
    void aboutCommandShowsTextsAndOpensHomePage() {
        UseEmptySettings();
        CTestApp app;
        QVERIFY(app.Start());
        CMainFrame* frame = app.Frame();
        QMenu* help = frame->findChild<QMenu*>(QStringLiteral("HelpMenu"));
        QWidget* button = frame->GetToolBar()->widgetForAction(frame->Command(CMainFrame::ID_APP_ABOUT));
        QVERIFY(help && help->actions().size() == 1 && button);

        int nResult = kOk;
        const auto checkBox = [&](CAboutDlg& box) {
            QVERIFY(box.parentWidget() == frame && box.windowTitle() == QStringLiteral("About Vorpex"));
            QCOMPARE(QApplication::focusWidget()->objectName(), "ok");

            // The box shows the page address; the link opens, and its tooltip shows, the home page above it.
            auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
            const QString page = link->text();
            QCOMPARE(link->LinkURL(), page.left(page.lastIndexOf(QLatin1Char('/')) + 1));
            QVERIFY(link->LinkURL() != page && link->toolTip() == link->LinkURL());
            link->SetOpener([&](const QString& url) { return url == link->LinkURL() ? nResult : 4; });
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(link->IsLinkVisited(), nResult == kOk);
            QTest::keyClick(&box, Qt::Key_Return);
            QCOMPARE(box.result(), int(QDialog::Accepted));
        };
        QVERIFY(WithModal<CAboutDlg>([&] { help->actions()[0]->trigger(); }, checkBox));
        nResult = CLinkStatic::kOpenNoHandler; // the failure must reach the program's messages
        QVERIFY(WithModal<CAboutDlg>([&] { QTest::mouseClick(button, Qt::LeftButton); }, checkBox));
        QCOMPARE(app.m_Messages.Count(), size_t(1));
    }

    // BROWSER's commands are tried in turn without a shell (the fake browser writes a line per argument);
    // otherwise the desktop (opening nothing offscreen), then xdg-open: 2 when missing, 31 for no handler.
    void openLinkRunsNoShellAndMapsOutcomes() {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("the desktop would open the address itself");
        const auto restore = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        QTemporaryDir dir;
        qputenv("PATH", QFile::encodeName(dir.path()));
        const QString xdgOpen = dir.filePath("xdg-open"), browser = dir.filePath("fake browser");
        const std::string args = dir.filePath("args").toStdString();
        QVERIFY(WriteScript(browser, QByteArray("printf '%s\\n' \"$@\" > '") + args.c_str() + "'"));
        const QByteArray fake = "/nonexistent/b:\"" + browser.toUtf8() + "\" --new \"%1\" --ignored";
        const QByteArray none = "/nonexistent/b \"%1\"", ok = "exit 0";
        const std::tuple<QByteArray, QByteArray, int> cases[] = {
            {{}, ok, kOk},         {{}, "exit 3", 31},        {{}, "exit 4", 4},
            {{}, "kill -9 $$", 4}, {{}, "/bin/sleep 4", kOk}, {{}, {}, 2},
            {none, ok, 2},         {fake, "exit 3", kOk}};
        for (const auto& [browserVariable, script, code] : cases) {
            QFile::remove(xdgOpen);
            QVERIFY(script.isEmpty() || WriteScript(xdgOpen, script));
            qputenv("BROWSER", browserVariable);
            if (browserVariable.isEmpty())
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not support.*openUrl"));
            QCOMPARE(CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/a b/;touch x\"y")), code);
        }
        QTRY_VERIFY(ReadFileBytes(args) == "--new\nhttp://www.example.com/a%20b/;touch%20x%22y\n");
    }
};

QTEST_MAIN(CAboutTest)
#include "AboutTest.moc"
