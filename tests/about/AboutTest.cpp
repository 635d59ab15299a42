#include "app/AboutDlg.h"
#include "app/LinkStatic.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "platform/MessageSink.h"

#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {

// True when some pixel of the widget as it paints itself now has exactly this colour (a link's underline is
// drawn in its text colour, so a link always has such pixels).
bool Shows(QWidget& widget, const QColor& colour) {
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
    return std::find(pixels, pixels + image.width() * image.height(), colour.rgb()) !=
           pixels + image.width() * image.height();
}

bool WriteScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body + "\n") > 0 &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Runs `start`, which should show the About box modally, and `inside` on the box once it is active; the box
// is closed afterwards unless `inside` closed it. False when no modal About box came up.
bool WithAboutBox(const std::function<void()>& start, const std::function<void(CAboutDlg&)>& inside) {
    bool bShown = false;
    QTimer timer; // gone on return, so it cannot fire into a finished call
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        bShown = box && box->isModal() && QTest::qWaitForWindowActive(box);
        if (bShown)
            inside(*box);
        if (box && box->isVisible())
            box->reject();
    });
    timer.start(50);
    start();
    return bShown;
}

} // namespace

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
        QVERIFY(help && help->actions().size() == 1); // the main window's suite checks its text
        QWidget* button = frame->GetToolBar()->widgetForAction(frame->Command(CMainFrame::ID_APP_ABOUT));
        QVERIFY(button);

        QVERIFY(WithAboutBox(
            [&] { help->actions()[0]->trigger(); },
            [&](CAboutDlg& box) {
                const auto text = [&](const char* name) {
                    return box.findChild<QLabel*>(QLatin1String(name))->text();
                };
                QCOMPARE(box.parentWidget(), frame);
                QCOMPARE(box.windowTitle(), QStringLiteral("About Vorpex"));
                QCOMPARE(text("version"), QStringLiteral("Vorpex Version 0.3 08-18-1998"));
                QCOMPARE(text("updates"),
                         QStringLiteral("For the latest updates and news about Vorpex see:"));
                QVERIFY(text("copyright").contains(QStringLiteral("Freeware")) && text("blank").isEmpty());
                QVERIFY(text("credits").contains(QStringLiteral("icons")));
                QCOMPARE(QApplication::focusWidget(), box.findChild<QPushButton*>(QStringLiteral("ok")));

                // The box shows the page address; the link opens, and its tooltip shows, the home page above
                // it.
                auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
                const QString page = link->text();
                QCOMPARE(QUrl(page).host(), QStringLiteral("www.example.com"));
                QCOMPARE(link->LinkURL(), page.left(page.lastIndexOf(QLatin1Char('/')) + 1));
                QVERIFY(link->LinkURL() != page && link->toolTip() == link->LinkURL());
                QVERIFY(link->font().underline() && link->cursor().shape() == Qt::PointingHandCursor);
                QStringList opened;
                link->SetOpener([&](const QString& url) {
                    opened.append(url);
                    return CLinkStatic::kOpenSucceeded;
                });
                QTest::mouseClick(link, Qt::LeftButton);
                QVERIFY(link->IsLinkVisited() && opened == QStringList{link->LinkURL()});
                QTest::keyClick(&box, Qt::Key_Return);
                QCOMPARE(box.result(), int(QDialog::Accepted));
            }));
        QCOMPARE(sink.Count(), size_t(0));

        // The next box's link starts unvisited; its failures reach the program's messages.
        QVERIFY(WithAboutBox([&] { QTest::mouseClick(button, Qt::LeftButton); },
                             [&](CAboutDlg& box) {
                                 auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
                                 QCOMPARE(link->CtlColor(), QColor(0, 0, 238));
                                 link->SetOpener([](const QString&) { return CLinkStatic::kOpenNoHandler; });
                                 QTest::mouseClick(link, Qt::LeftButton);
                             }));
        QCOMPARE(sink.Texts(),
                 std::vector<std::string>{"Unable to open hyperlink:\n\nThere is no application "
                                          "associated\nwith the given filename extension."});
    }

    void linkColoursForNormalHoverVisitedAndFailedOpen() {
        const QColor normal(0, 0, 238), visited(85, 26, 139),
            hover = QGuiApplication::palette().color(QPalette::Highlight);
        QVERIFY(hover != normal && hover != visited);
        QWidget window;
        window.resize(400, 200);
        CLinkStatic link(&window);
        link.setText(QStringLiteral("http://www.example.com/"));
        link.move(10, 10); // away from where the pointer rests
        link.PreSubclassWindow();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(Shows(link, normal) && !Shows(link, visited));

        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link.mapToGlobal(QPointF(2, 2)));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&link, &enter);
        QVERIFY(Shows(link, hover) && !Shows(link, normal));
        link.SetOpener([](const QString&) { return CLinkStatic::kOpenSucceeded; });
        QTest::mouseClick(&link, Qt::LeftButton);
        QVERIFY(Shows(link, hover)); // still under the pointer
        QCoreApplication::sendEvent(&link, &leave);
        QVERIFY(Shows(link, visited) && !Shows(link, normal));

        // A failed open takes the visited look away again.
        CRecordingSink sink;
        link.SetMessageSink(&sink);
        link.SetOpener([](const QString&) { return CLinkStatic::kOpenNoHandler; });
        QTest::mouseClick(&link, Qt::LeftButton);
        QCoreApplication::sendEvent(&link, &leave);
        QVERIFY(Shows(link, normal) && !Shows(link, visited));
    }

    // Each code goes the whole way: a click whose open fails, then the message.
    void linkErrorTextForEveryCode() {
        const std::pair<int, const char*> cases[] = {
            {0, "The operating system is out\nof memory or resources."},
            {2, "The specified file was not found."},
            {3, "The specified path was not found."},
            {5, "The operating system denied\naccess to the specified file."},
            {8, "There was not enough memory to complete the operation."},
            {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
            {26, "A sharing violation occurred. "},
            {27, "The filename association is\nincomplete or invalid."},
            {28, "The DDE transaction could not\nbe completed because the request timed out."},
            {29, "The DDE transaction failed."},
            {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
                 "processed."},
            {31, "There is no application associated\nwith the given filename extension."},
            {32, "The specified dynamic-link library was not found."},
            {4, "Unknown Error (4) occurred."}};
        CRecordingSink sink;
        CLinkStatic link;
        link.setText(QStringLiteral("http://www.example.com/"));
        link.PreSubclassWindow();
        link.SetMessageSink(&sink);
        for (const auto& c : cases) {
            sink.Clear();
            link.SetOpener([&c](const QString&) { return c.first; });
            QTest::mouseClick(&link, Qt::LeftButton);
            QCOMPARE(sink.Texts(),
                     std::vector<std::string>{std::string("Unable to open hyperlink:\n\n") + c.second});
        }
    }

    void buildOpenCommandCutsAtPlaceholder() {
        const std::pair<const char*, const char*> cases[] = {
            {"browser \"%1\"", "browser  U"}, // the blank before the quote stays, one more follows
            {"browser -new \"%1\" -nohome", "browser -new  U"},
            {"browser --url=%1 -x", "browser --url= U"},
            {"browser", "browser U"},
            {"browser %1 \"%1\"", "browser %1  U"}, // the quoted form wins even after a bare one
            {"browser %s", "browser %s U"}};
        const QString url = QStringLiteral("http://www.example.com/v/");
        for (const auto& [command, expected] : cases)
            QCOMPARE(CLinkStatic::BuildOpenCommand(QString::fromLatin1(command), url),
                     QString::fromLatin1(expected).replace(QLatin1Char('U'), url));
    }

    // The label fits its text, keeping the edge or middle its alignment names; an odd difference's halves
    // truncate toward zero.
    void linkSizedToTextForEachAlignment() {
        const struct {
            int align, widthSlack, heightSlack, leftShift, widthAfter, topShift, heightAfter;
        } cases[] = {{Qt::AlignLeft | Qt::AlignTop, 41, 9, 0, 0, 0, 0},
                     {Qt::AlignRight | Qt::AlignTop, -13, -3, -13, 0, 0, 0},
                     {Qt::AlignHCenter | Qt::AlignTop, 41, 9, 20, 1, 0, 0},
                     {Qt::AlignHCenter | Qt::AlignTop, -13, 9, -6, -1, 0, 0},
                     {Qt::AlignLeft | Qt::AlignVCenter, 41, -3, 0, 0, -1, -1}};
        for (const auto& c : cases) {
            CLinkStatic link;
            link.setText(QStringLiteral("http://www.example.com/vorpex/index.html"));
            link.setAlignment(Qt::Alignment(c.align));
            const QFontMetrics metrics(link.font());
            const int nWidth = metrics.horizontalAdvance(link.text()), nHeight = metrics.height();
            const QRect before(30, 50, nWidth + c.widthSlack, nHeight + c.heightSlack);
            link.setGeometry(before);
            link.PreSubclassWindow();
            QCOMPARE(link.geometry(), QRect(before.left() + c.leftShift, before.top() + c.topShift,
                                            nWidth + c.widthAfter, nHeight + c.heightAfter));
        }
    }

    // BROWSER's commands are tried in turn, without a shell; without BROWSER the desktop, which opens nothing
    // offscreen, then xdg-open, whose outcome maps to the table's codes.
    void openLinkRunsNoShellAndMapsOutcomes() {
        if (QGuiApplication::platformName() != QLatin1String("offscreen"))
            QSKIP("the desktop would open the address itself");
        const auto restore = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        QTemporaryDir dir;
        const QString xdgOpen = dir.filePath("xdg-open"), browser = dir.filePath("fake browser");
        // One line per argument, so that an address split in two or a shell at work would show.
        QVERIFY(WriteScript(browser, "printf '%s\\n' \"$@\" > '" + dir.filePath("args").toUtf8() + "'"));
        const struct {
            QByteArray browsers, xdgOpen;
            int code;
        } cases[] = {{{}, "exit 0", CLinkStatic::kOpenSucceeded},
                     {{}, "exit 3", 31},
                     {{}, "exit 4", 4},
                     {{}, "kill -9 $$", 4},
                     {{}, "/bin/sleep 4", CLinkStatic::kOpenSucceeded},
                     {{}, {}, 2},
                     {"/nonexistent/browser \"%1\"", "exit 0", 2},
                     {"/nonexistent/b:\"" + browser.toUtf8() + "\" --new \"%1\" --ignored", "exit 3",
                      CLinkStatic::kOpenSucceeded}};
        for (const auto& c : cases) {
            QFile::remove(xdgOpen);
            QVERIFY(c.xdgOpen.isEmpty() || WriteScript(xdgOpen, c.xdgOpen));
            qputenv("BROWSER", c.browsers);
            qputenv("PATH", QFile::encodeName(dir.path()));
            if (c.browsers.isEmpty())
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not support.*openUrl"));
            QCOMPARE(CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/a b/;touch x\"y")), c.code);
        }
        QFile args(dir.filePath("args"));
        QTRY_VERIFY(args.size() > 0);
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll(), QByteArray("--new\nhttp://www.example.com/a%20b/;touch%20x%22y\n"));
    }
};

QTEST_MAIN(CAboutTest)
#include "AboutTest.moc"
