// The two panes alone, each given a catalogue read from an archive our helper writes: no application, no
// document, no main frame. What they show, what they hand to Extract and what they tell through signals.
#include <QAbstractItemModelTester>
#include <QHeaderView>
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
        // Of two folders named MAPS, the item tells, and hands to Extract, its own.
        QVERIFY(m_pTree->SelectFolder(FolderOf({"OTHER", "MAPS"})));
        QCOMPARE(selected.last().at(0).value<const CPackFolder*>(), FolderOf({"OTHER", "MAPS"}));
        QCOMPARE(m_pTree->GetSelection().m_Folders,
                 std::vector<const CPackFolder*>{FolderOf({"OTHER", "MAPS"})});

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
        QCOMPARE(m_pList->header()->sectionSize(1), CFilesView::kSizeWidth); // small sizes: as made
        m_pList->SetCatalogue(m_pPack.get(), &m_Codec); // a catalogue given again starts empty
        QCOMPARE(ListRows(), QStringList());

        // The biggest size there is shows whole: the column widens to it.
        CRawArchive raw;
        raw.Folder(0, "BIG", 88).End(44).File(88, "HUGE", 0xFFFFFFFF, 0).End(132);
        const QString path = m_Dir.filePath("big.dir");
        WriteFileBytes(path.toStdString(), raw.Str());
        CPackFile big(path.toStdString(), m_Sink);
        m_pList->SetCatalogue(&big, &m_Codec);
        m_pList->ShowFolder(big.GetTop().GetChildren()[0]);
        QCOMPARE(ListRows(), QStringList{"HUGE|4194303KB|"});
        const int text = m_pList->fontMetrics().horizontalAdvance(QStringLiteral("4194303KB"));
        QVERIFY(m_pList->header()->sectionSize(1) > std::max(text, CFilesView::kSizeWidth));
        m_pList->SetCatalogue(nullptr, nullptr);
    }

    // Dotted lines run from DATA down past its first child to the next, and end at its last child.
    void treeDrawsBranchLines() {
        m_pTree->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pTree->resize(300, 300);
        m_pTree->show();
        m_pTree->expand(Item({"DATA"}));
        const QImage image = m_pTree->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb line = m_pTree->palette().color(QPalette::Dark).rgb();
        const auto linePixels = [&](const QModelIndex& item, int fromTop, int toTop) {
            const QRect rect = m_pTree->visualRect(item);
            const int x = rect.left() - m_pTree->indentation() + m_pTree->indentation() / 2;
            int n = 0;
            for (int y = rect.top() + fromTop; y < rect.top() + toTop; ++y)
                n += image.pixel(x, y) == line;
            return n;
        };
        const QModelIndex first = Item({"DATA", "MAPS"}), last = Item({"DATA", "DAT"});
        const int height = m_pTree->visualRect(first).height();
        QVERIFY(linePixels(first, height / 2 + 2, height) > 0); // goes on to the next sibling
        QVERIFY(linePixels(last, 0, height / 2) > 0);
        QCOMPARE(linePixels(last, height / 2 + 2, height), 0); // ends at the last one
        m_pTree->hide();
    }

    void listOpensFolderRows() {
        m_pTree->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pList->SetCatalogue(m_pPack.get(), &m_Codec);
        m_pList->ShowFolder(FolderOf({"DATA"}));
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
