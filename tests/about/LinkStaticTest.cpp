#include "app/LinkStatic.h"
#include "platform/MessageSink.h"

#include <QDesktopServices>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QColor kLink(0, 0, 238);
const QColor kVisited(85, 26, 139);

// True when some pixel of the label, as it paints itself now, has exactly this colour (the underline is drawn
// in the text colour, so a link always has such pixels).
bool Shows(QWidget& widget, const QColor& colour) {
    const QImage image = widget.grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
        }
    }
    return false;
}

// Counts the label's paint events, to tell a repaint done at once from one merely scheduled.
class CPaintCounter : public QObject {
public:
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_nPaints;
        return false;
    }
};

void Enter(QWidget& widget) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(&widget, &enter);
}

void Leave(QWidget& widget) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &leave);
}

// Writes an executable shell script.
bool WriteScript(const QString& path, const QByteArray& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CLinkStaticTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bindingTakesCaptionOrTarget();
    void targetSetAfterBindingKeepsCaption();
    void coloursFollowHoverAndVisits();
    void hoverRepaintsAtOnce();
    void clickOpensTargetAndReportsFailure();
    void errorTexts_data();
    void errorTexts();
    void buildOpenCommand_data();
    void buildOpenCommand();
    void fitToText_data();
    void fitToText();
    void browserVariableIsRunWithoutShell();
    void desktopThenXdgOpen_data();
    void desktopThenXdgOpen();
    void desktopHandlerComesFirst();

public slots:
    // Stands in for the desktop's handler of http addresses.
    void OpenUrl(const QUrl& url) { m_Opened.append(url); }

private:
    // A shown link in a window of its own, bound with this caption and, if given, a target set before
    // binding.
    CLinkStatic& MakeLink(const QString& caption, const QString& target = {});

    std::unique_ptr<QWidget> m_pWindow;
    QList<QUrl> m_Opened;
    QByteArray m_savedPath;
    QByteArray m_savedBrowser;
};

void CLinkStaticTest::init() {
    m_pWindow = std::make_unique<QWidget>();
    m_pWindow->resize(400, 200);
    m_Opened.clear();
    m_savedPath = qgetenv("PATH");
    m_savedBrowser = qgetenv("BROWSER");
}

void CLinkStaticTest::cleanup() {
    m_pWindow.reset();
    qputenv("PATH", m_savedPath);
    if (m_savedBrowser.isNull())
        qunsetenv("BROWSER");
    else
        qputenv("BROWSER", m_savedBrowser);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}

CLinkStatic& CLinkStaticTest::MakeLink(const QString& caption, const QString& target) {
    auto* link = new CLinkStatic(m_pWindow.get());
    link->setText(caption);
    link->setGeometry(10, 10, 300, 30);
    if (!target.isEmpty())
        link->SetLinkURL(target);
    link->PreSubclassWindow();
    m_pWindow->show();
    return *link;
}

void CLinkStaticTest::bindingTakesCaptionOrTarget() {
    CLinkStatic& plain = MakeLink(QStringLiteral("http://www.example.com/a/page.html"));
    QCOMPARE(plain.LinkURL(), QStringLiteral("http://www.example.com/a/page.html"));
    QCOMPARE(plain.toolTip(), plain.LinkURL());
    QVERIFY(plain.font().underline());
    QCOMPARE(plain.cursor().shape(), Qt::PointingHandCursor);

    CLinkStatic& targeted =
        MakeLink(QStringLiteral("Vorpex home"), QStringLiteral("http://www.example.com/a/"));
    QCOMPARE(targeted.text(), QStringLiteral("Vorpex home"));
    QCOMPARE(targeted.LinkURL(), QStringLiteral("http://www.example.com/a/"));
    QCOMPARE(targeted.toolTip(), QStringLiteral("http://www.example.com/a/"));

    CLinkStatic& captionless = MakeLink(QString(), QStringLiteral("http://www.example.com/b/"));
    QCOMPARE(captionless.text(), QStringLiteral("http://www.example.com/b/"));
}

void CLinkStaticTest::targetSetAfterBindingKeepsCaption() {
    CLinkStatic link(nullptr);
    link.SetLinkUnderline(false);
    link.setText(QStringLiteral("http://www.example.com/a/page.html"));
    link.PreSubclassWindow();
    QVERIFY(!link.font().underline());

    link.SetLinkURL(QStringLiteral("http://www.example.com/a/"));
    QCOMPARE(link.text(), QStringLiteral("http://www.example.com/a/page.html"));
    QCOMPARE(link.toolTip(), QStringLiteral("http://www.example.com/a/"));

    link.SetLinkUnderline(true);
    QVERIFY(link.font().underline());
}

void CLinkStaticTest::coloursFollowHoverAndVisits() {
    CLinkStatic& link = MakeLink(QStringLiteral("http://www.example.com/"));
    const QColor hover = QGuiApplication::palette().color(QPalette::Highlight);
    QVERIFY(hover != kLink && hover != kVisited);
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));

    QVERIFY(Shows(link, kLink));
    QVERIFY(!Shows(link, kVisited));

    Enter(link);
    QVERIFY(link.IsHover());
    QVERIFY(Shows(link, hover));
    QVERIFY(!Shows(link, kLink));

    link.SetOpener([](const QString&) { return CLinkStatic::kOpenSucceeded; });
    QTest::mouseClick(&link, Qt::LeftButton);
    QVERIFY(link.IsLinkVisited());
    QVERIFY(Shows(link, hover)); // still under the pointer
    Leave(link);
    QVERIFY(Shows(link, kVisited));
    QVERIFY(!Shows(link, kLink));

    // A failed open takes the visited look away again.
    CRecordingSink sink;
    link.SetMessageSink(&sink);
    link.SetOpener([](const QString&) { return CLinkStatic::kOpenNoHandler; });
    Enter(link);
    QTest::mouseClick(&link, Qt::LeftButton);
    Leave(link);
    QVERIFY(!link.IsLinkVisited());
    QVERIFY(Shows(link, kLink));
    QVERIFY(!Shows(link, kVisited));
    QCOMPARE(sink.Count(), size_t(1));
}

void CLinkStaticTest::hoverRepaintsAtOnce() {
    CLinkStatic& link = MakeLink(QStringLiteral("http://www.example.com/"));
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    QCoreApplication::processEvents();
    CPaintCounter counter;
    link.installEventFilter(&counter);

    Enter(link);
    QCOMPARE(counter.m_nPaints, 1);
    Enter(link); // already hovering: nothing to repaint
    QCOMPARE(counter.m_nPaints, 1);
    Leave(link);
    QCOMPARE(counter.m_nPaints, 2);
    QVERIFY(!link.IsHover());
    link.removeEventFilter(&counter);
}

void CLinkStaticTest::clickOpensTargetAndReportsFailure() {
    CLinkStatic& link = MakeLink(QStringLiteral("http://www.example.com/a/page.html"));
    link.SetLinkURL(QStringLiteral("http://www.example.com/a/"));
    CRecordingSink sink;
    link.SetMessageSink(&sink);
    QStringList opened;
    int nResult = CLinkStatic::kOpenSucceeded;
    link.SetOpener([&](const QString& url) {
        opened.append(url);
        return nResult;
    });

    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(opened, QStringList{QStringLiteral("http://www.example.com/a/")});
    QVERIFY(link.IsLinkVisited());
    QCOMPARE(sink.Count(), size_t(0));

    // A click elsewhere is no click on the link.
    QTest::mouseClick(m_pWindow.get(), Qt::LeftButton, {}, QPoint(350, 150));
    QCOMPARE(opened.size(), 1);

    nResult = CLinkStatic::kOpenLastFailure; // 32 is a failure
    QTest::mouseClick(&link, Qt::LeftButton);
    QVERIFY(!link.IsLinkVisited());
    QCOMPARE(sink.Texts(), std::vector<std::string>{"Unable to open hyperlink:\n\n"
                                                    "The specified dynamic-link library was not found."});
}

void CLinkStaticTest::errorTexts_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0 << "The operating system is out\nof memory or resources.";
    QTest::newRow("2") << 2 << "The specified file was not found.";
    QTest::newRow("3") << 3 << "The specified path was not found.";
    QTest::newRow("5") << 5 << "The operating system denied\naccess to the specified file.";
    QTest::newRow("8") << 8 << "There was not enough memory to complete the operation.";
    QTest::newRow("11") << 11 << "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    QTest::newRow("26") << 26 << "A sharing violation occurred. ";
    QTest::newRow("27") << 27 << "The filename association is\nincomplete or invalid.";
    QTest::newRow("28") << 28 << "The DDE transaction could not\nbe completed because the request timed out.";
    QTest::newRow("29") << 29 << "The DDE transaction failed.";
    QTest::newRow("30") << 30
                        << "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
                           "being processed.";
    QTest::newRow("31") << 31 << "There is no application associated\nwith the given filename extension.";
    QTest::newRow("32") << 32 << "The specified dynamic-link library was not found.";
    QTest::newRow("4 unknown") << 4 << "Unknown Error (4) occurred.";
}

// Each code goes the whole way: a click whose open fails, then the message.
void CLinkStaticTest::errorTexts() {
    QFETCH(int, code);
    QFETCH(QString, text);
    CLinkStatic& link = MakeLink(QStringLiteral("http://www.example.com/"));
    CRecordingSink sink;
    link.SetMessageSink(&sink);
    link.SetOpener([code](const QString&) { return code; });
    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(sink.Count(), size_t(1));
    QCOMPARE(QString::fromStdString(sink.Texts().front()),
             QStringLiteral("Unable to open hyperlink:\n\n") + text);
}

void CLinkStaticTest::buildOpenCommand_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    // The blank before a quoted placeholder stays, and one more comes before the address.
    QTest::newRow("quoted") << "browser \"%1\""
                            << "browser  U";
    QTest::newRow("quoted with arguments after") << "browser -new \"%1\" -nohome"
                                                 << "browser -new  U";
    QTest::newRow("bare") << "browser %1 -x"
                          << "browser  U";
    QTest::newRow("glued bare") << "browser --url=%1"
                                << "browser --url= U";
    QTest::newRow("no placeholder") << "browser"
                                    << "browser U";
    // The quoted form wins even when a bare one comes first.
    QTest::newRow("quoted after bare") << "browser %1 \"%1\""
                                       << "browser %1  U";
    QTest::newRow("placeholder first") << "\"%1\" browser"
                                       << " U";
    QTest::newRow("other placeholder kept") << "browser %s"
                                            << "browser %s U";
}

void CLinkStaticTest::buildOpenCommand() {
    QFETCH(QString, command);
    QFETCH(QString, expected);
    expected.replace(QLatin1Char('U'), QStringLiteral("http://www.example.com/v/"));
    QCOMPARE(CLinkStatic::BuildOpenCommand(command, QStringLiteral("http://www.example.com/v/")), expected);
}

void CLinkStaticTest::fitToText_data() {
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("widthSlack");  // label width minus text width
    QTest::addColumn<int>("heightSlack"); // label height minus text height
    QTest::addColumn<int>("leftShift");   // where the left edge goes
    QTest::addColumn<int>("widthAfter");  // minus text width
    QTest::addColumn<int>("topShift");
    QTest::addColumn<int>("heightAfter"); // minus text height
    const int top = Qt::AlignTop;
    const int vcentre = Qt::AlignVCenter;
    // Left-aligned keeps the left edge, right-aligned the right edge.
    QTest::newRow("left") << (int(Qt::AlignLeft) | top) << 41 << 9 << 0 << 0 << 0 << 0;
    QTest::newRow("right") << (int(Qt::AlignRight) | top) << 41 << 9 << 41 << 0 << 0 << 0;
    QTest::newRow("right, text wider") << (int(Qt::AlignRight) | top) << -13 << -3 << -13 << 0 << 0 << 0;
    // Centred: halves truncated toward zero, so an odd slack leaves one pixel more, an odd shortfall one
    // less.
    QTest::newRow("centre, odd") << (int(Qt::AlignHCenter) | top) << 41 << 9 << 20 << 1 << 0 << 0;
    QTest::newRow("centre, text wider") << (int(Qt::AlignHCenter) | top) << -13 << 9 << -6 << -1 << 0 << 0;
    QTest::newRow("vertical centre, odd") << (int(Qt::AlignLeft) | vcentre) << 41 << 9 << 0 << 0 << 4 << 1;
    QTest::newRow("vertical centre, text taller")
        << (int(Qt::AlignLeft) | vcentre) << 41 << -3 << 0 << 0 << -1 << -1;
}

void CLinkStaticTest::fitToText() {
    QFETCH(int, align);
    QFETCH(int, widthSlack);
    QFETCH(int, heightSlack);
    QFETCH(int, leftShift);
    QFETCH(int, widthAfter);
    QFETCH(int, topShift);
    QFETCH(int, heightAfter);

    auto* link = new CLinkStatic(m_pWindow.get());
    link->setText(QStringLiteral("http://www.example.com/vorpex/index.html"));
    link->setAlignment(Qt::Alignment(align));
    QFont underlined = link->font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const int nTextWidth = metrics.horizontalAdvance(link->text());
    const int nTextHeight = metrics.height();
    QVERIFY(nTextWidth > 40 && nTextHeight > 4);
    const QRect before(30, 50, nTextWidth + widthSlack, nTextHeight + heightSlack);
    link->setGeometry(before);
    link->PreSubclassWindow();

    const QRect after = link->geometry();
    QCOMPARE(after.left(), before.left() + leftShift);
    QCOMPARE(after.width(), nTextWidth + widthAfter);
    QCOMPARE(after.top(), before.top() + topShift);
    QCOMPARE(after.height(), nTextHeight + heightAfter);
}

void CLinkStaticTest::browserVariableIsRunWithoutShell() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("fake browser"));
    const QString record = dir.filePath(QStringLiteral("args"));
    // One line per argument, so that an address split in two or a shell at work would show.
    QVERIFY(WriteScript(script, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record.toUtf8() +
                                    ".tmp'; mv '" + record.toUtf8() + ".tmp' '" + record.toUtf8() + "'"));

    qputenv("BROWSER", ("/nonexistent/browser:\"" + script + "\" --new \"%1\" --ignored").toUtf8());
    const int nCode = CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/a b/;touch x\"y"));
    QCOMPARE(nCode, CLinkStatic::kOpenSucceeded);
    QTRY_VERIFY(QFile::exists(record));
    QCOMPARE(ReadAll(record), QByteArray("--new\nhttp://www.example.com/a%20b/;touch%20x%22y\n"));

    qputenv("BROWSER", "/nonexistent/browser \"%1\"");
    QCOMPARE(CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/")), CLinkStatic::kOpenNotFound);
}

void CLinkStaticTest::desktopThenXdgOpen_data() {
    QTest::addColumn<QByteArray>("script"); // empty: no xdg-open at all
    QTest::addColumn<int>("code");
    QTest::newRow("opened") << QByteArray("exit 0") << int(CLinkStatic::kOpenSucceeded);
    QTest::newRow("no handler") << QByteArray("exit 3") << int(CLinkStatic::kOpenNoHandler);
    QTest::newRow("failed") << QByteArray("exit 4") << int(CLinkStatic::kOpenFailed);
    QTest::newRow("crashed") << QByteArray("kill -9 $$") << int(CLinkStatic::kOpenFailed);
    QTest::newRow("still running") << QByteArray("/bin/sleep 4") << int(CLinkStatic::kOpenSucceeded);
    QTest::newRow("missing") << QByteArray() << int(CLinkStatic::kOpenNotFound);
}

void CLinkStaticTest::desktopThenXdgOpen() {
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("the desktop would open the address itself");
    QFETCH(QByteArray, script);
    QFETCH(int, code);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!script.isEmpty())
        QVERIFY(WriteScript(dir.filePath(QStringLiteral("xdg-open")), script));
    qunsetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(dir.path()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("does not support.*openUrl")));
    QCOMPARE(CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/")), code);
}

void CLinkStaticTest::desktopHandlerComesFirst() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(WriteScript(dir.filePath(QStringLiteral("xdg-open")), "exit 3"));
    qunsetenv("BROWSER");
    qputenv("PATH", QFile::encodeName(dir.path()));
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "OpenUrl");
    QCOMPARE(CLinkStatic::OpenLink(QStringLiteral("http://www.example.com/vorpex/")),
             CLinkStatic::kOpenSucceeded);
    QCOMPARE(m_Opened, QList<QUrl>{QUrl(QStringLiteral("http://www.example.com/vorpex/"))});
}

QTEST_MAIN(CLinkStaticTest)
#include "LinkStaticTest.moc"
