#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "tests/support/ArchiveBuilder.h"

#include <QMenu>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

static constexpr int kOk = CLinkStatic::kOpenSucceeded;

// True when the widget as it paints itself has a pixel of this colour (a link's underline always has).
static bool Shows(QWidget& widget, const QColor& colour) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
    return std::count(pixels, pixels + image.width() * image.height(), colour.rgb()) > 0;
}

static bool WriteScript(const QString& path, const QByteArray& body) {
    WriteFileBytes(path.toStdString(), "#!/bin/sh\n" + body.toStdString() + "\n");
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Runs `start`, which should show the About box modally, and `inside` on it; false when no such box came up.
static bool WithAboutBox(const std::function<void()>& start, const std::function<void(CAboutDlg&)>& inside) {
    bool bShown = false;
    QTimer timer; // gone on return, so it cannot fire into a finished call
    timer.callOnTimeout([&] {
        if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            bShown = QTest::qWaitForWindowActive(box);
            inside(*box);
            box->reject();
        }
    });
    timer.start(20);
    start();
    return bShown;
}

class CAboutTest : public QObject {
    Q_OBJECT

private slots:
    // Help, "&About Vorpex..." and the toolbar's button each show a new modal box over the main window.
    void aboutCommandShowsTextsAndOpensHomePage() {
        QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        CRecordingSink sink;
        CVorpexApp app;
        app.SetMessageSink(&sink);
        QVERIFY(app.InitInstance({}));
        CMainFrame* frame = app.GetMainWnd();
        QMenu* help = frame->findChild<QMenu*>(QStringLiteral("HelpMenu"));
        QWidget* button = frame->GetToolBar()->widgetForAction(frame->Command(CMainFrame::ID_APP_ABOUT));
        QVERIFY(help && help->actions().size() == 1 && button); // the main window's suite checks the texts

        int nResult = kOk;
        const auto checkBox = [&](CAboutDlg& box) {
            const auto text = [&](const char* name) { return box.findChild<QLabel*>(name)->text(); };
            QVERIFY(box.parentWidget() == frame && box.windowTitle() == QStringLiteral("About Vorpex"));
            QVERIFY(text("copyright").contains("Freeware") && text("credits").contains("icons"));
            QVERIFY(text("blank").isEmpty() && QApplication::focusWidget()->objectName() == "ok");

            // The box shows the page address; the link opens, and its tooltip shows, the home page above it.
            auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
            const QString page = link->text();
            QCOMPARE(link->LinkURL(), page.left(page.lastIndexOf(QLatin1Char('/')) + 1));
            QVERIFY(link->LinkURL() != page && link->toolTip() == link->LinkURL());
            QVERIFY(link->font().underline() && link->cursor().shape() == Qt::PointingHandCursor);
            QCOMPARE(link->CtlColor(), QColor(0, 0, 238)); // a new box each time, so never visited yet
            link->SetOpener([&](const QString& url) { return url == link->LinkURL() ? nResult : 4; });
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(link->IsLinkVisited(), nResult == kOk);
            QTest::keyClick(&box, Qt::Key_Return);
            QCOMPARE(box.result(), int(QDialog::Accepted));
        };
        QVERIFY(WithAboutBox([&] { help->actions()[0]->trigger(); }, checkBox));
        nResult = CLinkStatic::kOpenNoHandler; // the failure must reach the program's messages
        QVERIFY(WithAboutBox([&] { QTest::mouseClick(button, Qt::LeftButton); }, checkBox));
        QCOMPARE(sink.Count(), size_t(1));
    }

    // A failed open takes the visited look away again and says why: a code of the table, and one outside.
    void linkColoursAndFailureTexts() {
        const std::pair<int, const char*> failures[] = {{2, "The specified file was not found."},
                                                        {4, "Unknown Error (4) occurred."}};
        const QColor normal(0, 0, 238), visited(85, 26, 139),
            hover = qApp->palette().color(QPalette::Highlight);
        CLinkStatic link; // with no caption of its own: it shows its target
        link.SetLinkURL(QStringLiteral("http://www.example.com/"));
        link.PreSubclassWindow();
        QVERIFY(hover != normal && hover != visited && Shows(link, normal) && !Shows(link, visited));

        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link.mapToGlobal(QPointF(2, 2)));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&link, &enter);
        QVERIFY(Shows(link, hover) && !Shows(link, normal));
        link.SetOpener([](const QString&) { return CLinkStatic::kOpenSucceeded; });
        QTest::mouseClick(&link, Qt::LeftButton);
        QVERIFY(Shows(link, hover)); // still under the pointer
        QCoreApplication::sendEvent(&link, &leave);
        QVERIFY(Shows(link, visited) && !Shows(link, normal));

        CRecordingSink sink;
        link.SetMessageSink(&sink);
        for (const auto& failure : failures) {
            link.SetLinkVisited(true);
            link.SetOpener([&failure](const QString&) { return failure.first; });
            QTest::mouseClick(&link, Qt::LeftButton);
            QCoreApplication::sendEvent(&link, &leave);
            QVERIFY(Shows(link, normal) && !Shows(link, visited));
            QCOMPARE(sink.Texts().back(), std::string("Unable to open hyperlink:\n\n") + failure.second);
        }
    }

    void buildOpenCommandCutsAtPlaceholder() {
        const std::pair<const char*, const char*> cases[] = {
            {"browser \"%1\"", "browser  http://e/"}, // the blank before the quote stays, one more follows
            {"browser -new \"%1\" -nohome", "browser -new  http://e/"},
            {"browser --url=%1 -x", "browser --url= http://e/"},
            {"browser", "browser http://e/"},
            {"browser %1 \"%1\"", "browser %1  http://e/"}, // the quoted form wins even after a bare one
            {"browser %s", "browser %s http://e/"}};
        for (const auto& [command, expected] : cases)
            QCOMPARE(CLinkStatic::BuildOpenCommand(command, QStringLiteral("http://e/")), QString(expected));
    }

    // Fitted to its text, keeping the edge or middle its alignment names; odd halves truncate toward zero.
    // Columns: alignment, label size minus text size, then the shift and the new size minus text size.
    void linkSizedToTextForEachAlignment() {
        const int cases[][7] = {{Qt::AlignLeft | Qt::AlignTop, 41, 9, 0, 0, 0, 0},
                                {Qt::AlignRight | Qt::AlignTop, -13, -3, -13, 0, 0, 0},
                                {Qt::AlignCenter, 41, -3, 20, -1, 1, -1},
                                {Qt::AlignCenter, -13, 9, -6, 4, -1, 1}};
        for (const auto& c : cases) {
            CLinkStatic link;
            link.setText(QStringLiteral("http://www.example.com/vorpex/index.html"));
            link.setAlignment(Qt::Alignment(c[0]));
            const QFontMetrics metrics(link.font());
            const QSize text(metrics.horizontalAdvance(link.text()), metrics.height());
            link.setGeometry(QRect(QPoint(30, 50), text + QSize(c[1], c[2])));
            link.PreSubclassWindow();
            QCOMPARE(link.geometry(), QRect(QPoint(30 + c[3], 50 + c[4]), text + QSize(c[5], c[6])));
        }
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
