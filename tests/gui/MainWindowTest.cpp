// The real main window: its commands, status bar and panes, and archives opened and browsed in it.
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "app/EntryActions.h"
#include "tests/gui/AppTestSupport.h"

using F = CMainFrame;

class MainWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CTestApp m_App;
    // Both models of the window are checked through every step the tests take.
    std::unique_ptr<QAbstractItemModelTester> m_pTreeTester, m_pListTester;

    CMainFrame* Frame() { return m_App.Frame(); }
    CDirView* Tree() { return m_App.Tree(); }
    CFilesView* List() { return m_App.List(); }
    QStringList ListRows() { return Rows(List()->model()); }
    QModelIndex Item(const QStringList& labels) { return TreeItem(Tree()->model(), labels); }
    void Select(const QStringList& labels) { Tree()->setCurrentIndex(Item(labels)); }
    // Opens through File, Open; true when the window now shows `path`.
    bool OpenFromMenu(const QString& path) {
        m_App.m_pApp->SetOpenFileChooser([path](QWidget*) { return path; });
        Frame()->Command(F::ID_FILE_OPEN)->trigger();
        return m_App.m_pApp->GetDocument()->GetPathName() == path;
    }
    bool OpenMaps() { return OpenFromMenu(WriteArchive(m_Dir, "Maps.dir", MapsArchive())); }

private slots:
    void initTestCase() {
        UseEmptySettings();
        QVERIFY(m_App.Start());
        // A file row double-clicked opens the file: nothing is launched from here.
        Frame()->findChild<CEntryActions*>()->SetOpener([](const QUrl&) { return true; });
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        m_pTreeTester = std::make_unique<QAbstractItemModelTester>(Tree()->model(), mode);
        m_pListTester = std::make_unique<QAbstractItemModelTester>(List()->model(), mode);
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    // Extract follows the active pane's selection: the tree's top item counts, an empty list does not.
    void extractIsEnabledWhileTheActivePaneHasASelection() {
        QVERIFY(OpenMaps());
        QAction* extract = Frame()->Command(F::ID_FILE_EXTRACT);
        Frame()->SetActiveView(Tree());
        QVERIFY(!extract->isEnabled());
        Select({});
        QVERIFY(extract->isEnabled());
        Frame()->SetActiveView(List());
        QVERIFY(!extract->isEnabled());
        List()->setCurrentIndex(List()->model()->index(0, 0));
        QVERIFY(extract->isEnabled());
        Select({"DATA", "MAPS"}); // a new folder listed: nothing selected in it
        QVERIFY(!extract->isEnabled());
    }

    // The tree drives the list; a folder row double-clicked selects that very folder in the tree.
    void openedArchiveIsShownAndEachPaneDrivesTheOther() {
        QVERIFY(OpenMaps());
        QCOMPARE(Rows(Tree()->model()), QStringList{"MAPS.DIR"});
        QCOMPARE(ListRows(), QStringList());
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("7 folders, 9 files"));
        Select({"OTHER"});
        DoubleClickRow(List(), 0);
        QCOMPARE(Tree()->GetSelectedItem(), Item({"OTHER", "MAPS"}));
        QCOMPARE(ListRows(), (QStringList{"INNER||File Folder", QString::fromUtf8("\u20AC.MAP|0KB|")}));
        Select({}); // from the top item down two levels
        DoubleClickRow(List(), 0);
        DoubleClickRow(List(), 0);
        QCOMPARE(Tree()->GetSelectedItem(), Item({"DATA", "MAPS"}));
        QCOMPARE(ListRows(), QStringList{"M1.MAP|0KB|"});
    }

    void secondArchiveReplacesTheFirst() {
        QVERIFY(OpenMaps());
        Select({"DATA"});
        QVERIFY(OpenFromMenu(WriteArchive(m_Dir, "second.dir", {Folder("SECOND", {Folder("DEEPER")})})));
        QCOMPARE(Rows(Tree()->model()), QStringList{"SECOND.DIR"});
        QCOMPARE(Rows(Tree()->model(), Item({})), QStringList{"SECOND"});
        QVERIFY(Tree()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(ListRows(), QStringList());
        // What cannot be opened leaves the archive as it was.
        Select({"SECOND"});
        QVERIFY(!OpenFromMenu(m_Dir.path()));
        QCOMPARE(m_App.m_Messages.Texts(), std::vector<std::string>{"Error opening file."});
        QCOMPARE(ListRows(), QStringList{"DEEPER||File Folder"});
    }

    // Qt highlights no greyed item by itself: their prompts must reach the status bar all the same.
    void greyedItemsShowTheirPrompts() {
        QAction* undo = Frame()->Command(F::ID_EDIT_UNDO);
        QMenu* edit = Frame()->findChild<QMenu*>(QStringLiteral("EditMenu"));
        QVERIFY(!undo->isEnabled());
        edit->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        QTest::mouseMove(edit, edit->actionGeometry(undo).center());
        QTRY_COMPARE(Frame()->GetMessageText(), undo->statusTip());
        edit->hide();
    }

    void damagedArchiveIsToldInStatusBar() {
        // A folder DATA whose list holds a file and a record of unknown type (7), and runs off the end.
        CRawArchive raw;
        raw.Folder(0, "DATA", 88).End(44).File(88, "A.TXT", 1, 0).Record(132, "ODD", 7, 0, 0).Size(176);
        WriteFileBytes(m_Dir.filePath("damaged.dir").toStdString(), raw.Str());
        QVERIFY(OpenFromMenu(m_Dir.filePath("damaged.dir")));
        const QString summary =
            QStringLiteral("Damaged archive: 1 record of unknown type skipped; 1 list cut "
                           "short by the end of the file (1 folder, 1 file read).");
        QCOMPARE(Frame()->GetMessageText(), summary);
        // The summary stays the idle text once a prompt has come and gone.
        for (const QString& tip : {QStringLiteral("a prompt"), QString()}) {
            QStatusTipEvent event(tip);
            QCoreApplication::sendEvent(Frame(), &event);
        }
        QCOMPARE(Frame()->GetMessageText(), summary);
        // Cut short when the bar is too narrow, it is whole in the tooltip.
        auto* idle = Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("Ready"));
        const QSize size = Frame()->size();
        Frame()->resize(300, size.height());
        QTRY_VERIFY(idle->text().size() < summary.size());
        QVERIFY(idle->text().endsWith(QChar(0x2026)) && idle->toolTip() == summary);
        Frame()->resize(1600, size.height());
        QTRY_COMPARE(idle->text(), summary);
        QVERIFY(idle->toolTip().isEmpty());
        Frame()->resize(size);
        Select({"DATA"});
        QCOMPARE(ListRows(), QStringList{"A.TXT|0KB|"});             // what could be read is shown
        QVERIFY(OpenFromMenu(WriteArchive(m_Dir, "empty.dir", {}))); // an empty file is an empty archive
        QCOMPARE(Rows(Tree()->model()), QStringList());
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("0 folders, 0 files"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
