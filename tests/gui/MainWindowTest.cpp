// The real main window: its commands, status bar and panes, and archives opened and browsed in it.
#include <QAbstractItemModelTester>
#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>

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
    // The tree item reached from the top item through `labels`.
    QModelIndex Item(const QStringList& labels) {
        QModelIndex index = Tree()->model()->index(0, 0);
        for (const QString& label : labels)
            index = Tree()->model()->index(int(Rows(Tree()->model(), index).indexOf(label)), 0, index);
        return index;
    }
    void Select(const QStringList& labels) { Tree()->setCurrentIndex(Item(labels)); }
    void DoubleClickRow(int row) {
        const QPoint at = List()->visualRect(List()->model()->index(row, 0)).center();
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, at); // as a real double-click begins
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, at);
    }
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
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        m_pTreeTester = std::make_unique<QAbstractItemModelTester>(Tree()->model(), mode);
        m_pListTester = std::make_unique<QAbstractItemModelTester>(List()->model(), mode);
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    void promptsShowAndReadyReturns() {
        // The status bar shows a command's prompt while it is highlighted, and "Ready" when it goes.
        const QString prompt = Frame()->Command(F::ID_FILE_OPEN)->statusTip();
        QVERIFY(!prompt.isEmpty());
        for (const QString& tip : {prompt, QString()}) {
            QStatusTipEvent event(tip);
            QCoreApplication::sendEvent(Frame(), &event);
            QCOMPARE(Frame()->GetMessageText(), tip.isEmpty() ? QStringLiteral("Ready") : tip);
        }
        QVERIFY(!Frame()->Command(F::ID_FILE_EXTRACT)->isEnabled()); // nothing to extract before an open
    }

    void panesSwitchWithF6() {
        QCOMPARE(Frame()->GetSplitter()->sizes().value(0), 175);
        CPaneView *const tree = Tree(), *const list = List();
        QCOMPARE(Frame()->GetActiveView(), list);
        Frame()->activateWindow();
        QTest::keyClick(Frame(), Qt::Key_F6);
        QCOMPARE(Frame()->GetActiveView(), tree);
        QTest::keyClick(Frame(), Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(Frame()->GetActiveView(), list);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton); // a click makes a pane the active one too
        QCOMPARE(Frame()->GetActiveView(), tree);
    }

    void openedArchiveIsShownAndTheTreeDrivesTheList() {
        QVERIFY(OpenMaps());
        // The top item bears the file name in upper case, open, with nothing selected and the list empty.
        QCOMPARE(Rows(Tree()->model()), QStringList{"MAPS.DIR"});
        QVERIFY(Tree()->isExpanded(Item({})));
        QVERIFY(Tree()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(ListRows(), QStringList());
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("7 folders, 9 files"));
        QCOMPARE(Frame()->windowTitle(), QStringLiteral("Vorpex"));
        // Selected, it lists every top-level folder, then the top-level files; a folder lists itself.
        Select({});
        QCOMPARE(ListRows(), (QStringList{"DATA||File Folder", "OTHER||File Folder", "README|0KB|"}));
        Select({"OTHER", "MAPS"});
        QCOMPARE(ListRows(), (QStringList{"INNER||File Folder", QString::fromUtf8("\u20AC.MAP|0KB|")}));
    }

    void doubleClickSelectsThatVeryFolder() {
        QVERIFY(OpenMaps());
        Select({"OTHER"});
        DoubleClickRow(0);
        QCOMPARE(Tree()->GetSelectedItem(), Item({"OTHER", "MAPS"}));
        QVERIFY(Tree()->isExpanded(Item({"OTHER"})));
        // On a file row, or below the last row, it changes nothing.
        DoubleClickRow(1);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {},
                           QPoint(20, List()->viewport()->height() - 5));
        QCOMPARE(Tree()->GetSelectedItem(), Item({"OTHER", "MAPS"}));
        Select({}); // from the top item down two levels
        DoubleClickRow(0);
        DoubleClickRow(0);
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
        // What cannot be opened (a missing file, a folder) leaves the archive as it was.
        Select({"SECOND"});
        const QString missing = m_Dir.filePath("missing.dir");
        QVERIFY(!OpenFromMenu(missing));
        QVERIFY(!OpenFromMenu(m_Dir.path()));
        QCOMPARE(m_App.m_Messages.Texts(),
                 (std::vector<std::string>{"Cannot open file " + missing.toStdString() + ".",
                                           "Cannot open file " + m_Dir.path().toStdString() + "."}));
        QCOMPARE(ListRows(), QStringList{"DEEPER||File Folder"});
        QVERIFY(!m_App.m_pApp->GetRecentFiles().Files().contains(missing));
        QVERIFY(Frame()->Command(F::ID_FILE_EXTRACT)->isEnabled());
    }

    void damagedArchiveIsToldInStatusBar() {
        // A folder DATA whose list holds a file and a record of unknown type (7), and runs off the end.
        CRawArchive raw;
        raw.Folder(0, "DATA", 88).End(44).File(88, "A.TXT", 1, 0).Record(132, "ODD", 7, 0, 0).Size(176);
        WriteFileBytes(m_Dir.filePath("damaged.dir").toStdString(), raw.Str());
        QVERIFY(OpenFromMenu(m_Dir.filePath("damaged.dir")));
        QCOMPARE(Frame()->GetMessageText(),
                 QStringLiteral("Damaged archive: 1 record of unknown type skipped; 1 list cut short by the "
                                "end of the file (1 folder, 1 file read)."));
        Select({"DATA"});
        QCOMPARE(ListRows(), QStringList{"A.TXT|0KB|"});             // what could be read is shown
        QVERIFY(OpenFromMenu(WriteArchive(m_Dir, "empty.dir", {}))); // an empty file is an empty archive
        QCOMPARE(Rows(Tree()->model()), QStringList());
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("0 folders, 0 files"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
