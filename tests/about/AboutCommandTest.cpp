#include "app/AboutDlg.h"
#include "app/LinkStatic.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "platform/MessageSink.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include <functional>

class CAboutCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void helpMenuShowsTheBox();
    void toolbarButtonShowsTheBox();

private:
    // Runs `start`, which should show a modal About box, and `inside` on that box once it is up; the box is
    // closed afterwards whatever happens. False when no About box came up.
    bool WithAboutBox(const std::function<void()>& start, const std::function<void(CAboutDlg&)>& inside);

    QTemporaryDir m_settingsDir;
    CRecordingSink m_sink;
    std::unique_ptr<CVorpexApp> m_pApp;
};

void CAboutCommandTest::initTestCase() {
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
}

void CAboutCommandTest::init() {
    m_sink.Clear();
    m_pApp = std::make_unique<CVorpexApp>();
    m_pApp->SetMessageSink(&m_sink);
    QVERIFY(m_pApp->InitInstance({}));
    QVERIFY(QTest::qWaitForWindowExposed(m_pApp->GetMainWnd()));
}

void CAboutCommandTest::cleanup() {
    m_pApp.reset();
}

bool CAboutCommandTest::WithAboutBox(const std::function<void()>& start,
                                     const std::function<void(CAboutDlg&)>& inside) {
    bool bShown = false;
    bool bModal = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll.stop();
        if (auto* box = qobject_cast<CAboutDlg*>(modal)) {
            bShown = true;
            bModal = box->isModal();
            inside(*box);
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    poll.start();
    start();
    return bShown && bModal;
}

void CAboutCommandTest::helpMenuShowsTheBox() {
    auto* help = m_pApp->GetMainWnd()->findChild<QMenu*>(QStringLiteral("HelpMenu"));
    QVERIFY(help);
    QAction* about = nullptr;
    for (QAction* action : help->actions()) {
        if (action->text() == QStringLiteral("&About Vorpex..."))
            about = action;
    }
    QVERIFY(about);

    // The link's failures reach the program's messages.
    QString title;
    QVERIFY(WithAboutBox([&] { about->trigger(); },
                         [&](CAboutDlg& box) {
                             title = box.windowTitle();
                             auto* link = box.findChild<CLinkStatic*>(QStringLiteral("link"));
                             link->SetOpener([](const QString&) { return CLinkStatic::kOpenNoHandler; });
                             QTest::mouseClick(link, Qt::LeftButton);
                         }));
    QCOMPARE(title, QStringLiteral("About Vorpex"));
    QCOMPARE(m_sink.Texts(), std::vector<std::string>{"Unable to open hyperlink:\n\nThere is no application "
                                                      "associated\nwith the given filename extension."});
}

void CAboutCommandTest::toolbarButtonShowsTheBox() {
    CMainFrame* frame = m_pApp->GetMainWnd();
    QWidget* button = frame->GetToolBar()->widgetForAction(frame->Command(CMainFrame::ID_APP_ABOUT));
    QVERIFY(button);
    QWidget* parent = nullptr;
    QVERIFY(WithAboutBox([&] { QTest::mouseClick(button, Qt::LeftButton); },
                         [&](CAboutDlg& box) { parent = box.parentWidget(); }));
    QCOMPARE(parent, static_cast<QWidget*>(frame));
    QCOMPARE(m_sink.Count(), size_t(0));
}

QTEST_MAIN(CAboutCommandTest)
#include "AboutCommandTest.moc"
