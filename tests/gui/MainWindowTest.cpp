// The main window as the user meets it: caption, menus, keys, toolbar, status bar, panes.
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/MainFrame.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CTestApp m_App;

    CMainFrame* Frame() { return m_App.Frame(); }
    QAction* Command(int id) { return Frame()->Command(id); }

private slots:
    void initTestCase();
    void menusHaveTheirItemsInOrder();
    void keysAndPrompts();
    void editItemsDoNothingAndCtrlEIsExtract();
    void toolbarButtons();
    void startLayoutAndActivePane();
    void panesSwitchWithF6();
    void statusBarShowsReadyAndPrompts();
    void viewMenuHidesAndShowsBars();
    void captionStaysVorpex();
    void newKeepsTheArchiveShown();
    void exitClosesTheWindow();
};

static QStringList MenuItems(QMenu* menu) {
    QStringList items;
    for (QAction* action : menu->actions())
        if (action->isVisible())
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

void MainWindowTest::initTestCase() {
    UseTemporarySettings();
    ClearSettings();
    QVERIFY(m_App.Start());
    QVERIFY(QTest::qWaitForWindowExposed(Frame()));
}

void MainWindowTest::menusHaveTheirItemsInOrder() {
    const QList<QAction*> menus = Frame()->menuBar()->actions();
    QStringList titles;
    for (QAction* menu : menus)
        titles << menu->text();
    QCOMPARE(titles, (QStringList{"&File", "&Edit", "&View", "&Help"}));
    QCOMPARE(MenuItems(menus[0]->menu()),
             (QStringList{"&Open...\tCtrl+O", "&Extract...\tCtrl+E", "-", "Recent File", "-", "E&xit"}));
    QCOMPARE(MenuItems(menus[1]->menu()),
             (QStringList{"&Undo\tCtrl+Z", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"}));
    QCOMPARE(MenuItems(menus[2]->menu()), (QStringList{"&Toolbar", "&Status Bar", "-", "&Options..."}));
    QCOMPARE(MenuItems(menus[3]->menu()), QStringList{"&About Vorpex..."});
    QVERIFY(!Frame()->findChild<QAction*>("RecentFilePlaceholder")->isEnabled());
}

void MainWindowTest::keysAndPrompts() {
    struct {
        int id;
        QList<QKeySequence> keys;
        const char* prompt;
        const char* tip;
    } const expected[] = {
        {CMainFrame::ID_FILE_NEW, {QKeySequence("Ctrl+N")}, "Create a new document", "New"},
        {CMainFrame::ID_FILE_OPEN, {QKeySequence("Ctrl+O")}, "Open an existing document", "Open"},
        {CMainFrame::ID_FILE_SAVE, {QKeySequence("Ctrl+S")}, "Save the active document", "Save"},
        {CMainFrame::ID_FILE_EXTRACT, {QKeySequence("Ctrl+E")}, "Extract files or a directory", "Extract"},
        {CMainFrame::ID_APP_EXIT, {}, "Quit the application; prompts to save documents", "Exit"},
        {CMainFrame::ID_EDIT_UNDO,
         {QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")},
         "Undo the last action",
         "Undo"},
        {CMainFrame::ID_EDIT_CUT,
         {QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")},
         "Cut the selection and put it on the Clipboard",
         "Cut"},
        {CMainFrame::ID_EDIT_COPY,
         {QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")},
         "Copy the selection and put it on the Clipboard",
         "Copy"},
        {CMainFrame::ID_EDIT_PASTE,
         {QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")},
         "Insert Clipboard contents",
         "Paste"},
        {CMainFrame::ID_VIEW_TOOLBAR, {}, "Show or hide the toolbar", "Toggle ToolBar"},
        {CMainFrame::ID_VIEW_STATUS_BAR, {}, "Show or hide the status bar", "Toggle StatusBar"},
        {CMainFrame::ID_VIEW_OPTIONS, {}, "Show the options dialog", "Options"},
        {CMainFrame::ID_APP_ABOUT, {}, "Display program information, version number and copyright", "About"},
        {CMainFrame::ID_NEXT_PANE, {QKeySequence("F6")}, "Switch to the next window pane", "Next Pane"},
        {CMainFrame::ID_PREV_PANE,
         {QKeySequence("Shift+F6")},
         "Switch back to the previous window pane",
         "Previous Pane"},
    };
    for (const auto& e : expected) {
        QAction* action = Command(e.id);
        QVERIFY2(action, qPrintable(QString::number(e.id)));
        QCOMPARE(action->shortcuts(), e.keys);
        QCOMPARE(action->statusTip(), QString::fromLatin1(e.prompt));
        QCOMPARE(action->toolTip(), QString::fromLatin1(e.tip));
    }
}

void MainWindowTest::editItemsDoNothingAndCtrlEIsExtract() {
    for (int id : {CMainFrame::ID_EDIT_UNDO, CMainFrame::ID_EDIT_CUT, CMainFrame::ID_EDIT_COPY,
                   CMainFrame::ID_EDIT_PASTE}) {
        QVERIFY(!Command(id)->isEnabled());
        QSignalSpy spy(Command(id), &QAction::triggered);
        for (const QKeySequence& key : Command(id)->shortcuts())
            QTest::keySequence(Frame(), key);
        QCOMPARE(spy.count(), 0);
    }
    // The Extract item shows Ctrl+E, and that key is Extract's alone (it runs it: tests/extractgui).
    for (QAction* action : Frame()->findChildren<QAction*>())
        QCOMPARE(action->shortcuts().contains(QKeySequence("Ctrl+E")),
                 action == Command(CMainFrame::ID_FILE_EXTRACT));
}

void MainWindowTest::toolbarButtons() {
    QToolBar* bar = Frame()->GetToolBar();
    QStringList items;
    for (QAction* action : bar->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->toolTip());
    QCOMPARE(items, (QStringList{"Open", "-", "Extract", "-", "About"}));
    QCOMPARE(bar->iconSize(), QSize(18, 15));
    for (QAction* action : bar->actions())
        if (!action->isSeparator())
            QCOMPARE(action->icon().pixmap(18, 15).size(), QSize(18, 15));
    QVERIFY(bar->isMovable() && bar->isFloatable());
    QVERIFY(!Frame()->windowIcon().isNull());
    QCOMPARE(Frame()->windowIcon().availableSizes().value(0), QSize(32, 32));

    // The buttons run the commands of their menu items.
    QSignalSpy open(Command(CMainFrame::ID_FILE_OPEN), &QAction::triggered);
    m_App.m_pApp->SetOpenFileChooser([](QWidget*) { return QString(); });
    auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(Command(CMainFrame::ID_FILE_OPEN)));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(open.count(), 1);
}

void MainWindowTest::startLayoutAndActivePane() {
    QSplitter* splitter = Frame()->GetSplitter();
    QCOMPARE(splitter->count(), 2);
    QCOMPARE(splitter->widget(0), static_cast<QWidget*>(m_App.Tree()));
    QCOMPARE(splitter->widget(1), static_cast<QWidget*>(m_App.List()));
    QCOMPARE(splitter->sizes().value(0), CMainFrame::kTreeWidth);
    QCOMPARE(Frame()->GetActiveView(), static_cast<QWidget*>(m_App.List()));
    QCOMPARE(m_App.List()->header()->sectionSize(0), CFilesView::kNameWidth);
    QCOMPARE(m_App.List()->header()->sectionSize(1), CFilesView::kSizeWidth);
    QCOMPARE(m_App.List()->header()->sectionSize(2), CFilesView::kTypeWidth);
    QCOMPARE(m_App.List()->selectionMode(), QAbstractItemView::ExtendedSelection);
}

void MainWindowTest::panesSwitchWithF6() {
    Frame()->activateWindow();
    Frame()->SetActiveView(m_App.List());
    QTest::keyClick(Frame(), Qt::Key_F6);
    QCOMPARE(Frame()->GetActiveView(), static_cast<QWidget*>(m_App.Tree()));
    QTest::keyClick(Frame(), Qt::Key_F6);
    QCOMPARE(Frame()->GetActiveView(), static_cast<QWidget*>(m_App.List()));
    QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(Frame()->GetActiveView(), static_cast<QWidget*>(m_App.Tree()));
    // A click into a pane makes it the active one too.
    QTest::mouseClick(m_App.List()->viewport(), Qt::LeftButton);
    QCOMPARE(Frame()->GetActiveView(), static_cast<QWidget*>(m_App.List()));
}

void MainWindowTest::statusBarShowsReadyAndPrompts() {
    Frame()->statusBar()->clearMessage();
    QCOMPARE(Frame()->GetMessageText(), QStringLiteral("Ready"));
    // A highlighted command shows its prompt; when it goes, "Ready" comes back.
    QStatusTipEvent tip(Command(CMainFrame::ID_FILE_OPEN)->statusTip());
    QCoreApplication::sendEvent(Frame(), &tip);
    QCOMPARE(Frame()->GetMessageText(), QStringLiteral("Open an existing document"));
    QVERIFY(!Frame()->statusBar()->findChild<QLabel*>("Ready")->isVisible());
    QStatusTipEvent none{QString()};
    QCoreApplication::sendEvent(Frame(), &none);
    QCOMPARE(Frame()->GetMessageText(), QStringLiteral("Ready"));
    QVERIFY(Frame()->statusBar()->findChild<QLabel*>("Ready")->isVisible());
    // The three lock indicators stand after the message pane (lit only where the window system tells).
    for (const char* name : {"CAP", "NUM", "SCRL"}) {
        auto* indicator = Frame()->statusBar()->findChild<QLabel*>(name);
        QVERIFY(indicator);
        QVERIFY(indicator->text().isEmpty() || indicator->text() == QLatin1String(name));
    }
}

void MainWindowTest::viewMenuHidesAndShowsBars() {
    QAction* toolbar = Command(CMainFrame::ID_VIEW_TOOLBAR);
    QAction* status = Command(CMainFrame::ID_VIEW_STATUS_BAR);
    QVERIFY(toolbar->isChecked() && status->isChecked());
    const int paneHeight = Frame()->GetSplitter()->height();
    toolbar->trigger();
    status->trigger();
    QVERIFY(Frame()->GetToolBar()->isHidden());
    QVERIFY(Frame()->statusBar()->isHidden());
    QVERIFY(!toolbar->isChecked() && !status->isChecked());
    QTRY_VERIFY(Frame()->GetSplitter()->height() > paneHeight);
    toolbar->trigger();
    status->trigger();
    QVERIFY(!Frame()->GetToolBar()->isHidden());
    QVERIFY(!Frame()->statusBar()->isHidden());
    QVERIFY(toolbar->isChecked() && status->isChecked());
    QTRY_COMPARE(Frame()->GetSplitter()->height(), paneHeight);
}

void MainWindowTest::captionStaysVorpex() {
    QCOMPARE(Frame()->windowTitle(), QStringLiteral("Vorpex"));
    const QString path = WriteArchive(m_Dir, "caption.dir", {Folder("DATA")});
    QVERIFY(m_App.m_pApp->OpenDocumentFile(path));
    QCOMPARE(Frame()->windowTitle(), QStringLiteral("Vorpex"));
}

void MainWindowTest::newKeepsTheArchiveShown() {
    const QString path = WriteArchive(m_Dir, "keep.dir", {Folder("KEEP")});
    QVERIFY(m_App.m_pApp->OpenDocumentFile(path));
    Frame()->activateWindow();
    QTest::keySequence(Frame(), QKeySequence("Ctrl+N"));
    QTest::keySequence(Frame(), QKeySequence("Ctrl+S"));
    QCOMPARE(m_App.Tree()->model()->index(0, 0).data().toString(), QStringLiteral("KEEP.DIR"));
    QVERIFY(m_App.m_pApp->GetDocument()->m_pPackFile->m_bOpen);
    QCOMPARE(m_App.m_Messages.Count(), size_t(0));
}

void MainWindowTest::exitClosesTheWindow() {
    QVERIFY(Frame()->isVisible());
    Command(CMainFrame::ID_APP_EXIT)->trigger();
    QVERIFY(!Frame()->isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
