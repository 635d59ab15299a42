// The two panes alone, each given a catalogue read from an archive our helper writes: no application, no
// document, no main frame. What they show, what they hand to Extract and what they tell through signals.
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"

Q_DECLARE_METATYPE(const CPackFolder*)

class ViewsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CNullSink m_Sink;
    CNameCodec m_Codec;
    std::unique_ptr<CPackFile> m_pPack;
    std::unique_ptr<CDirView> m_pTree;
    std::unique_ptr<CFilesView> m_pList;
    std::unique_ptr<QAbstractItemModelTester> m_pTreeTester, m_pListTester;

    // The tree item reached from the top item through `labels`.
    QModelIndex Item(const QStringList& labels) {
        QModelIndex index = m_pTree->model()->index(0, 0);
        for (const QString& label : labels)
            index = m_pTree->model()->index(int(Rows(m_pTree->model(), index).indexOf(label)), 0, index);
        return index;
    }
    const CPackFolder* FolderOf(const QStringList& labels) {
        return m_pTree->GetModel()->Folder(Item(labels));
    }
    QStringList ListRows() { return Rows(m_pList->model()); }
    void DoubleClickRow(int row) {
        const QPoint at = m_pList->visualRect(m_pList->model()->index(row, 0)).center();
        QTest::mouseClick(m_pList->viewport(), Qt::LeftButton, {}, at); // as a real double-click begins
        QTest::mouseDClick(m_pList->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase() {
        qRegisterMetaType<const CPackFolder*>();
        const QString path = WriteArchive(m_Dir, "Maps.dir", MapsArchive());
        m_pPack = std::make_unique<CPackFile>(path.toStdString(), m_Sink);
        m_pTree = std::make_unique<CDirView>();
        m_pList = std::make_unique<CFilesView>();
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        m_pTreeTester = std::make_unique<QAbstractItemModelTester>(m_pTree->model(), mode);
        m_pListTester = std::make_unique<QAbstractItemModelTester>(m_pList->model(), mode);
        m_pList->resize(400, 300);
        m_pList->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pList.get()));
    }

    void treeShowsTheArchiveAndTellsTheSelectedFolder() {
        QSignalSpy selected(m_pTree.get(), &CDirView::FolderSelected);
        m_pTree->SetCatalogue(m_pPack.get(), &m_Codec);
        // The top item bears the file name in upper case, open, with nothing selected.
        QCOMPARE(Rows(m_pTree->model()), QStringList{"MAPS.DIR"});
        QCOMPARE(Rows(m_pTree->model(), Item({})), (QStringList{"DATA", "OTHER"}));
        QVERIFY(m_pTree->isExpanded(Item({})));
        QVERIFY(!m_pTree->HasSelection());

        m_pTree->setCurrentIndex(Item({}));
        QCOMPARE(selected.last().at(0).value<const CPackFolder*>(), &m_pPack->GetTop());
        QVERIFY(m_pTree->HasSelection() && m_pTree->GetSelection().m_bWholeArchive);
        // Two folders named MAPS stay apart: each item tells, and extracts, its own.
        for (const QStringList& labels : {QStringList{"DATA", "MAPS"}, QStringList{"OTHER", "MAPS"}}) {
            QVERIFY(m_pTree->SelectFolder(FolderOf(labels)));
            QCOMPARE(m_pTree->GetSelectedItem(), Item(labels));
            QCOMPARE(selected.last().at(0).value<const CPackFolder*>(), FolderOf(labels));
            const CSelection selection = m_pTree->GetSelection();
            QVERIFY(!selection.m_bWholeArchive && selection.m_Files.empty());
            QCOMPARE(selection.m_Folders, std::vector<const CPackFolder*>{FolderOf(labels)});
        }
        QVERIFY(m_pTree->isExpanded(Item({"OTHER"})));

        m_pTree->SetCatalogue(nullptr, nullptr);
        QCOMPARE(Rows(m_pTree->model()), QStringList());
        QVERIFY(!m_pTree->HasSelection());
    }

    void listShowsThatVeryFolderWithSizesInKB() {
        m_pTree->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pList->SetCatalogue(m_pPack.get(), &m_Codec);
        const std::pair<QStringList, QStringList> cases[] = {
            {{"DATA", "MAPS"}, {"M1.MAP|0KB|"}},
            {{"DATA", "MAPS2"}, {"M2.MAP|0KB|"}},
            {{"DATA", "DAT"}, {"DAT.TXT|0KB|"}},
            // Folders first; names decoded from Windows-1252 for display.
            {{"OTHER", "MAPS"}, {"INNER||File Folder", QString::fromUtf8("\u20AC.MAP|0KB|")}},
            {{"DATA"},
             {"MAPS||File Folder", "MAPS2||File Folder", "DAT||File Folder", "EMPTY|0KB|", "ALMOST|0KB|",
              "ONE|1KB|", "MEG|1024KB|"}},
            // The top pseudo-folder: the top-level folders, then the top-level files.
            {{}, {"DATA||File Folder", "OTHER||File Folder", "README|0KB|"}},
        };
        for (const auto& [labels, rows] : cases) {
            m_pList->ShowFolder(FolderOf(labels));
            QCOMPARE(ListRows(), rows);
        }
        m_pList->SetCatalogue(m_pPack.get(), &m_Codec); // a catalogue given again starts empty
        QCOMPARE(ListRows(), QStringList());
    }

    void listHandsOutFoldersThenFilesAndOpensFolderRows() {
        m_pTree->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pList->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pList->ShowFolder(FolderOf({"DATA"}));
        QVERIFY(!m_pList->HasSelection());
        for (int row : {6, 2, 3, 0})
            m_pList->selectionModel()->select(m_pList->model()->index(row, 0),
                                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(m_pList->HasSelection());
        const CSelection selection = m_pList->GetSelection();
        QCOMPARE(selection.m_Folders,
                 (std::vector<const CPackFolder*>{FolderOf({"DATA", "MAPS"}), FolderOf({"DATA", "DAT"})}));
        QCOMPARE(selection.m_Files.size(), size_t(2));
        QCOMPARE(selection.m_Files[0]->GetName(), "EMPTY");
        QCOMPARE(selection.m_Files[1]->GetName(), "MEG");

        // A double-click on a folder row asks for that folder; on a file row or below the rows, for nothing.
        QSignalSpy opened(m_pList.get(), &CFilesView::FolderOpened);
        DoubleClickRow(3);
        QTest::mouseDClick(m_pList->viewport(), Qt::LeftButton, {},
                           QPoint(20, m_pList->viewport()->height() - 5));
        QVERIFY(opened.isEmpty());
        DoubleClickRow(1);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).value<const CPackFolder*>(), FolderOf({"DATA", "MAPS2"}));
    }
};

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
