// Opening archives in the real window and browsing them: tree, list, double-click, status bar.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QStatusBar>
#include <QTest>

#include "app/MainFrame.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

class BrowseTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CTestApp m_App;
    // Both models are checked through every step the tests take.
    std::unique_ptr<QAbstractItemModelTester> m_pTreeTester;
    std::unique_ptr<QAbstractItemModelTester> m_pListTester;

    CDirView* Tree() { return m_App.Tree(); }
    CFilesView* List() { return m_App.List(); }
    QModelIndex TopItem() { return Tree()->model()->index(0, 0); }
    // The tree item reached from the top item through `labels`.
    QModelIndex Item(const QStringList& labels) {
        QModelIndex index = TopItem();
        for (const QString& label : labels)
            index = ChildNamed(Tree()->model(), index, label);
        return index;
    }
    void ClickItem(const QModelIndex& index) {
        QVERIFY(index.isValid());
        Tree()->scrollTo(index);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, Tree()->visualRect(index).center());
    }
    void DoubleClickRow(int row) {
        const QRect rect = List()->visualRect(List()->model()->index(row, 0));
        // A real double-click begins with a plain click.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, rect.center());
    }
    // Opens through File, Open.
    bool OpenFromMenu(const QString& path) {
        m_App.m_pApp->SetOpenFileChooser([path](QWidget*) { return path; });
        m_App.Frame()->Command(CMainFrame::ID_FILE_OPEN)->trigger();
        return m_App.m_pApp->GetDocument()->GetPathName() == path;
    }

private slots:
    void initTestCase();
    void init() { m_App.m_Messages.Clear(); }
    void openTheExample();
    void openEmptyArchive();
    void severalTopLevelFolders();
    void sameNamedFoldersNeverMix();
    void doubleClickSelectsThatVeryFolder();
    void doubleClickOnFileRowChangesNothing();
    void secondArchiveReplacesTheFirst();
    void openFailureChangesNothing();
    void damagedArchiveIsToldInStatusBar();
    void nameColumnFitsTheWidestName();
    void selectedRowsByIdentity();
};

void BrowseTest::initTestCase() {
    UseTemporarySettings();
    ClearSettings();
    QVERIFY(m_App.Start());
    m_pTreeTester = std::make_unique<QAbstractItemModelTester>(
        Tree()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_pListTester = std::make_unique<QAbstractItemModelTester>(
        List()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_App.Frame()->resize(800, 600);
    QVERIFY(QTest::qWaitForWindowExposed(m_App.Frame()));
}

void BrowseTest::openTheExample() {
    const QString sample = QStringLiteral(VORPEX_SOURCE_DIR "/examples/SAMPLE.DIR");
    if (!QFile::exists(sample))
        QSKIP("examples/SAMPLE.DIR is not there");
    QVERIFY(OpenFromMenu(sample));
    QCOMPARE(m_App.m_Messages.Count(), size_t(0));
    const CPackFile& pack = *m_App.m_pApp->GetDocument()->m_pPackFile;

    // The top item bears the file name, expanded, with nothing selected; the list is empty.
    QCOMPARE(TopItem().data().toString(), QStringLiteral("SAMPLE.DIR"));
    QVERIFY(Tree()->isExpanded(TopItem()));
    QVERIFY(Tree()->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(List()->model()->rowCount(), 0);
    QCOMPARE(Tree()->model()->rowCount(TopItem()), int(pack.GetTop().m_Children.size()));
    QCOMPARE(m_App.Frame()->GetMessageText(),
             QStringLiteral("%1 folders, %2 files").arg(pack.GetFolderCount()).arg(pack.m_Entries.size()));

    // Selecting DATA lists its sub-folders, then its files, with the same sizes as the catalogue's.
    ClickItem(Item({"DATA"}));
    const CPackFolder* data = pack.GetTop().m_Children.at(0);
    QCOMPARE(Tree()->SelectedFolder(), data);
    QCOMPARE(List()->model()->rowCount(), int(data->m_Children.size() + data->m_Files.size()));
    for (int row = 0; row < int(data->m_Children.size()); ++row)
        QCOMPARE(ListRow(List(), row),
                 (QStringList{QString::fromStdString(data->m_Children[row]->GetName()), "", "File Folder"}));
    for (size_t i = 0; i < data->m_Files.size(); ++i) {
        const CPackEntry& entry = pack.Entry(data->m_Files[i]);
        QCOMPARE(ListRow(List(), int(data->m_Children.size() + i)),
                 (QStringList{QString::fromStdString(std::string(entry.GetName())),
                              QString::number(entry.GetSize() / 1024) + "KB", ""}));
    }
}

void BrowseTest::openEmptyArchive() {
    const QString path = m_Dir.filePath("empty.dir");
    WriteFileBytes(path.toStdString(), "");
    QVERIFY(OpenFromMenu(path));
    QCOMPARE(Tree()->model()->rowCount(), 0);
    QCOMPARE(List()->model()->rowCount(), 0);
    QVERIFY(Tree()->SelectedFolder() == nullptr);
    QCOMPARE(m_App.m_pApp->GetRecentFiles()[0], path);
}

void BrowseTest::severalTopLevelFolders() {
    const QString path = WriteArchive(
        m_Dir, "Several.dir",
        {Folder("ONE", {Folder("A")}), File("README", "r"), Folder("TWO"), Folder("THREE", {File("T")})});
    QVERIFY(OpenFromMenu(path));
    // The label is upper case whatever the file is called.
    QCOMPARE(TopItem().data().toString(), QStringLiteral("SEVERAL.DIR"));
    QCOMPARE(ChildLabels(Tree()->model(), TopItem()), (QStringList{"ONE", "TWO", "THREE"}));
    QVERIFY(!Tree()->isExpanded(Item({"ONE"})));
    // The top item lists the whole archive: every top-level folder, then the top-level files.
    ClickItem(TopItem());
    QVERIFY(Tree()->IsTopSelected());
    QCOMPARE(ListRows(List()),
             (QStringList{"ONE||File Folder", "TWO||File Folder", "THREE||File Folder", "README|0KB|"}));
    ClickItem(Item({"THREE"}));
    QCOMPARE(ListRows(List()), QStringList{"T|0KB|"});
    ClickItem(Item({"TWO"}));
    QCOMPARE(List()->model()->rowCount(), 0);
}

void BrowseTest::sameNamedFoldersNeverMix() {
    const QString path = WriteArchive(
        m_Dir, "same.dir",
        {Folder("DATA", {Folder("MAPS", {File("M1.MAP", "1")}), Folder("MAPS2", {File("M2.MAP", "2")}),
                         Folder("DAT", {File("DAT.TXT", "d")}), File("ROOT.TXT", std::string(2048, 'r'))}),
         Folder("OTHER", {Folder("MAPS", {Folder("INNER"), File("O.MAP", "o")})})});
    QVERIFY(OpenFromMenu(path));
    ClickItem(Item({"DATA", "MAPS"}));
    QCOMPARE(ListRows(List()), QStringList{"M1.MAP|0KB|"});
    ClickItem(Item({"DATA", "MAPS2"}));
    QCOMPARE(ListRows(List()), QStringList{"M2.MAP|0KB|"});
    ClickItem(Item({"DATA", "DAT"}));
    QCOMPARE(ListRows(List()), QStringList{"DAT.TXT|0KB|"});
    ClickItem(Item({"OTHER", "MAPS"}));
    QCOMPARE(ListRows(List()), (QStringList{"INNER||File Folder", "O.MAP|0KB|"}));
    ClickItem(Item({"DATA"}));
    QCOMPARE(ListRows(List()),
             (QStringList{"MAPS||File Folder", "MAPS2||File Folder", "DAT||File Folder", "ROOT.TXT|2KB|"}));
    // Keys move the selection too, and the list follows.
    Tree()->collapse(Item({"DATA"}));
    Tree()->setFocus();
    QTest::keyClick(Tree(), Qt::Key_Down);
    QCOMPARE(Tree()->GetSelectedItem(), Item({"OTHER"}));
    QCOMPARE(ListRows(List()), QStringList{"MAPS||File Folder"});
}

void BrowseTest::doubleClickSelectsThatVeryFolder() {
    const QString path = WriteArchive(m_Dir, "dbl.dir",
                                      {Folder("DATA", {Folder("MAPS", {File("FIRST.MAP", "1")})}),
                                       Folder("OTHER", {Folder("MAPS", {File("SECOND.MAP", "2")})})});
    QVERIFY(OpenFromMenu(path));
    ClickItem(Item({"OTHER"}));
    QCOMPARE(ListRows(List()), QStringList{"MAPS||File Folder"});
    DoubleClickRow(0);
    QCOMPARE(Tree()->GetSelectedItem(), Item({"OTHER", "MAPS"}));
    QVERIFY(Tree()->isExpanded(Item({"OTHER"})));
    QCOMPARE(ListRows(List()), QStringList{"SECOND.MAP|0KB|"});
    // From the top item down two levels.
    ClickItem(TopItem());
    DoubleClickRow(0);
    QCOMPARE(Tree()->GetSelectedItem(), Item({"DATA"}));
    DoubleClickRow(0);
    QCOMPARE(Tree()->GetSelectedItem(), Item({"DATA", "MAPS"}));
    QCOMPARE(ListRows(List()), QStringList{"FIRST.MAP|0KB|"});
}

void BrowseTest::doubleClickOnFileRowChangesNothing() {
    const QString path =
        WriteArchive(m_Dir, "file.dir", {Folder("DATA", {Folder("SUB"), File("F.TXT", "f")})});
    QVERIFY(OpenFromMenu(path));
    ClickItem(Item({"DATA"}));
    const QStringList before = ListRows(List());
    DoubleClickRow(1);
    QCOMPARE(Tree()->GetSelectedItem(), Item({"DATA"}));
    QCOMPARE(ListRows(List()), before);
    // Below the last row.
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, QPoint(20, List()->viewport()->height() - 5));
    QCOMPARE(Tree()->GetSelectedItem(), Item({"DATA"}));
    QCOMPARE(ListRows(List()), before);
}

void BrowseTest::secondArchiveReplacesTheFirst() {
    const QString first = WriteArchive(m_Dir, "first.dir", {Folder("FIRST", {File("ONE.TXT", "1")})});
    const QString second = WriteArchive(m_Dir, "second.dir", {Folder("SECOND", {Folder("DEEPER")})});
    QVERIFY(OpenFromMenu(first));
    ClickItem(Item({"FIRST"}));
    QCOMPARE(List()->model()->rowCount(), 1);
    const CPackFile* old = m_App.m_pApp->GetDocument()->m_pPackFile.get();
    QVERIFY(old->m_bOpen);

    std::vector<const CPackFile*> replaced;
    QObject receiver;
    connect(m_App.m_pApp->GetDocument(), &CVorpexDoc::CatalogueReplacing, &receiver,
            [&replaced](const CPackFile* pack) { replaced.push_back(pack); });
    QVERIFY(OpenFromMenu(second));
    QCOMPARE(replaced, std::vector<const CPackFile*>{old});
    const CPackFile* now = m_App.m_pApp->GetDocument()->m_pPackFile.get();
    QCOMPARE(Tree()->m_pPackFile, now);
    QCOMPARE(List()->m_pPackFile, now);
    QCOMPARE(Tree()->model()->rowCount(), 1);
    QCOMPARE(TopItem().data().toString(), QStringLiteral("SECOND.DIR"));
    QCOMPARE(ChildLabels(Tree()->model(), TopItem()), QStringList{"SECOND"});
    QVERIFY(Tree()->isExpanded(TopItem()));
    QVERIFY(Tree()->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(List()->model()->rowCount(), 0);
    ClickItem(Item({"SECOND"}));
    QCOMPARE(ListRows(List()), QStringList{"DEEPER||File Folder"});
}

void BrowseTest::openFailureChangesNothing() {
    const QString good = WriteArchive(m_Dir, "stay.dir", {Folder("STAY")});
    QVERIFY(OpenFromMenu(good));
    ClickItem(Item({"STAY"}));
    const CPackFile* before = m_App.m_pApp->GetDocument()->m_pPackFile.get();
    const QString missing = m_Dir.filePath("missing.dir");
    QVERIFY(!OpenFromMenu(missing));
    QVERIFY(!OpenFromMenu(m_Dir.path())); // a folder is no archive file
    QCOMPARE(m_App.m_Messages.Texts(),
             (std::vector<std::string>{"Cannot open file " + missing.toStdString() + ".",
                                       "Cannot open file " + m_Dir.path().toStdString() + "."}));
    QCOMPARE(m_App.m_pApp->GetDocument()->m_pPackFile.get(), before);
    QCOMPARE(TopItem().data().toString(), QStringLiteral("STAY.DIR"));
    QCOMPARE(Tree()->GetSelectedItem(), Item({"STAY"}));
    QVERIFY(!m_App.m_pApp->GetRecentFiles().Files().contains(missing));
}

void BrowseTest::damagedArchiveIsToldInStatusBar() {
    // A folder DATA whose list holds a file, a record of unknown type (7) and no end record.
    CRawArchive raw;
    raw.Folder(0, "DATA", 88).End(44).File(88, "A.TXT", 1, 0).Record(132, "ODD", 7, 0, 0).Size(176);
    const QString path = m_Dir.filePath("damaged.dir");
    WriteFileBytes(path.toStdString(), raw.Str());
    QVERIFY(OpenFromMenu(path));
    const CReadReport& report = m_App.m_pApp->GetDocument()->m_pPackFile->m_Report;
    QVERIFY(!report.IsClean());
    const QString text = m_App.Frame()->GetMessageText();
    QVERIFY2(text.startsWith("Damaged archive: "), qPrintable(text));
    if (report.m_nUnknownRecords)
        QVERIFY2(text.contains("1 record of unknown type skipped"), qPrintable(text));
    if (report.m_nListsCut)
        QVERIFY2(text.contains("cut short"), qPrintable(text));
    QVERIFY(!m_App.m_Messages.Texts().empty()); // the reader said so in a box as well
    // What could be read is shown.
    QCOMPARE(ChildLabels(Tree()->model(), TopItem()), QStringList{"DATA"});
}

void BrowseTest::nameColumnFitsTheWidestName() {
    const std::string longName(32, 'W');
    const QString path = WriteArchive(
        m_Dir, "wide.dir", {Folder("DATA", {File("I.TXT", "i"), File(longName, "w")}), Folder("NARROW")});
    QVERIFY(OpenFromMenu(path));
    ClickItem(Item({"DATA"}));
    const int wide = List()->header()->sectionSize(0);
    const QFontMetrics metrics(List()->font());
    QVERIFY(wide >= metrics.horizontalAdvance(QString::fromStdString(longName)) + 16);
    QVERIFY(wide <= metrics.horizontalAdvance(QString::fromStdString(longName)) + 60);
    // An empty list keeps room for the column's title.
    ClickItem(Item({"NARROW"}));
    QVERIFY(List()->header()->sectionSize(0) < wide);
    QVERIFY(List()->header()->sectionSize(0) >= metrics.horizontalAdvance("Name"));
}

void BrowseTest::selectedRowsByIdentity() {
    const QString path =
        WriteArchive(m_Dir, "sel.dir",
                     {Folder("DATA", {Folder("A"), Folder("B"), File("X.TXT", "x"), File("Y.TXT", "y")})});
    QVERIFY(OpenFromMenu(path));
    ClickItem(Item({"DATA"}));
    const CPackFolder* data = m_App.m_pApp->GetDocument()->m_pPackFile->GetTop().m_Children[0];
    // Rows 3 and 1 then 2, picked out of order with Ctrl; the answer comes in list order.
    auto* sel = List()->selectionModel();
    const auto pick = [&](int row) {
        sel->select(List()->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    pick(3);
    pick(1);
    pick(2);
    std::vector<const CPackFolder*> folders;
    std::vector<const CPackEntry*> files;
    List()->GetSelectedRows(folders, files);
    QCOMPARE(folders, std::vector<const CPackFolder*>{data->m_Children[1]});
    const CPackFile& pack = *m_App.m_pApp->GetDocument()->m_pPackFile;
    QCOMPARE(files,
             (std::vector<const CPackEntry*>{&pack.Entry(data->m_Files[0]), &pack.Entry(data->m_Files[1])}));
    // Shift-click extends the selection over several rows.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {},
                      List()->visualRect(List()->model()->index(0, 0)).center());
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      List()->visualRect(List()->model()->index(2, 0)).center());
    QCOMPARE(List()->GetSelectedRowNumbers(), (std::vector<int>{0, 1, 2}));
}

QTEST_MAIN(BrowseTest)
#include "BrowseTest.moc"
