#include "app/AboutDlg.h"
#include "tests/gui/AppTestSupport.h"

#include <QMenu>
#include <QScopeGuard>
#include <QToolBar>
#include <QtTest>

using namespace vorpex;

static constexpr int kOk = LinkStatic::kOpenSucceeded;

class AboutTest : public QObject {
    Q_OBJECT

private slots:
    // Help, "&About Vorpex..." and the toolbar's button each show a new modal box over the main window.
    void aboutCommandShowsTextsAndOpensHomePage() {
        useEmptySettings();
        TestApp app;
        QVERIFY(app.start());
        MainFrame* frame = app.frame();
        QMenu* help = frame->findChild<QMenu*>(QStringLiteral("HelpMenu"));
        QWidget* button = frame->toolBar()->widgetForAction(frame->command(MainFrame::kIdAppAbout));
        QVERIFY(help && help->actions().size() == 1 && button);

        int nResult = kOk;
        const auto checkBox = [&](AboutDlg& box) {
            QVERIFY(box.parentWidget() == frame && box.windowTitle() == QStringLiteral("About Vorpex"));
            QCOMPARE(QApplication::focusWidget()->objectName(), "ok");

            // The box shows the page address; the link opens, and its tooltip shows, the home page above it.
            auto* link = box.findChild<LinkStatic*>(QStringLiteral("link"));
            const QString page = link->text();
            QCOMPARE(link->linkUrl(), page.left(page.lastIndexOf(QLatin1Char('/')) + 1));
            QVERIFY(link->linkUrl() != page && link->toolTip() == link->linkUrl());
            link->setOpener([&](const QString& url) { return url == link->linkUrl() ? nResult : 4; });
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(link->isLinkVisited(), nResult == kOk);
            QTest::keyClick(&box, Qt::Key_Return);
            QCOMPARE(box.result(), int(QDialog::Accepted));
        };
        QVERIFY(withModal<AboutDlg>([&] { help->actions()[0]->trigger(); }, checkBox));
        nResult = LinkStatic::kOpenNoHandler; // the failure must reach the program's messages
        QVERIFY(withModal<AboutDlg>([&] { QTest::mouseClick(button, Qt::LeftButton); }, checkBox));
        QCOMPARE(app.m_messages.count(), size_t(1));
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
        QVERIFY(writeScript(browser, QByteArray("printf '%s\\n' \"$@\" > '") + args.c_str() + "'"));
        const QByteArray fake = "/nonexistent/b:\"" + browser.toUtf8() + "\" --new \"%1\" --ignored";
        const QByteArray none = "/nonexistent/b \"%1\"", ok = "exit 0";
        const std::tuple<QByteArray, QByteArray, int> cases[] = {
            {{}, ok, kOk},         {{}, "exit 3", 31},        {{}, "exit 4", 4},
            {{}, "kill -9 $$", 4}, {{}, "/bin/sleep 4", kOk}, {{}, {}, 2},
            {none, ok, 2},         {fake, "exit 3", kOk}};
        for (const auto& [browserVariable, script, code] : cases) {
            QFile::remove(xdgOpen);
            QVERIFY(script.isEmpty() || writeScript(xdgOpen, script));
            qputenv("BROWSER", browserVariable);
            if (browserVariable.isEmpty())
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not support.*openUrl"));
            QCOMPARE(LinkStatic::openLink(QStringLiteral("http://www.example.com/a b/;touch x\"y")), code);
        }
        QTRY_VERIFY(readFileBytes(args) == "--new\nhttp://www.example.com/a%20b/;touch%20x%22y\n");
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
