// The two panes alone, each given a catalogue read from an archive our helper writes: no application, no
// document, no main frame.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QScrollBar>

#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/FolderTreeModel.h"

// A catalogue read from an archive our helper writes, shown in a tree of its own.
struct CShownArchive {
    QTemporaryDir m_Dir;
    CNullSink m_Sink;
    CNameCodec m_Codec;
    CPackFile m_Pack;
    CDirView m_Tree;
    explicit CShownArchive(const std::vector<CNode>& top)
        : m_Pack(WriteArchive(m_Dir, "Maps.dir", top).toStdString(), m_Sink) {
        m_Tree.SetCatalogue(&m_Pack, &m_Codec);
    }
    ~CShownArchive() { m_Tree.SetCatalogue(nullptr, nullptr); }
};

class ViewsTest : public QObject {
    Q_OBJECT

private slots:
    // Dotted lines join the items of one list: past the first of DATA's sub-folders, not past the last.
    void treeDrawsBranchLines() {
        CShownArchive shown(MapsArchive());
        CDirView& tree = shown.m_Tree;
        tree.resize(300, 300);
        tree.show();
        tree.expand(TreeItem(tree.model(), {"DATA"}));
        const QImage image = tree.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRgb line = tree.palette().color(QPalette::Dark).rgb();
        const auto linePixels = [&](const QModelIndex& item, int fromTop, int toTop) {
            const QRect rect = tree.visualRect(item);
            const int x = rect.left() - tree.indentation() + tree.indentation() / 2;
            int n = 0;
            for (int y = rect.top() + fromTop; y < rect.top() + toTop; ++y)
                n += image.pixel(x, y) == line;
            return n;
        };
        const QModelIndex first = TreeItem(tree.model(), {"DATA", "MAPS"});
        const QModelIndex last = TreeItem(tree.model(), {"DATA", "DAT"});
        const int height = tree.visualRect(first).height();
        QVERIFY(linePixels(first, height / 2 + 2, height) > 0); // goes on to the next sibling
        QVERIFY(linePixels(last, 0, height / 2) > 0);
        QCOMPARE(linePixels(last, height / 2 + 2, height), 0); // ends at the last one
    }

    // A drag hands the stager what Extract would take of the dragged rows: the tree's top item is the whole
    // archive, a folder itself; the list's rows, every column of them, come folders first, each once.
    void dragHandsTheStagerWhatExtractWouldTake() {
        CShownArchive shown(MapsArchive());
        CFolderTreeModel* tree = shown.m_Tree.GetModel();
        CFilesView list;
        list.SetCatalogue(&shown.m_Pack, &shown.m_Codec);
        const CPackFolder* data = tree->Folder(TreeItem(tree, {"DATA"}));
        list.ShowFolder(data);
        QVERIFY(!tree->mimeData({TreeItem(tree, {})})); // no stager yet: nothing to drag
        QStringList staged;
        const EntryStager stager = [&](const CSelection& selection) {
            QStringList names(selection.m_bWholeArchive ? "*" : "");
            for (const CPackFolder* folder : selection.m_Folders)
                names << QString::fromLatin1(folder->GetName());
            for (const CPackEntry* entry : selection.m_Files)
                names << QString::fromLatin1(entry->GetName());
            staged << names.join(' ');
            return new QMimeData;
        };
        tree->setStager(stager);
        list.GetModel()->setStager(stager);
        delete tree->mimeData({TreeItem(tree, {})});
        delete tree->mimeData({TreeItem(tree, {"DATA"})});
        QAbstractItemModel* rows = list.model();
        delete rows->mimeData({rows->index(5, 2), rows->index(1, 0), rows->index(5, 0), rows->index(3, 1)});
        QCOMPARE(staged, QStringList({"*", " DATA", " MAPS2 EMPTY ONE"}));
        list.SetCatalogue(nullptr, nullptr);
    }

    // More top-level folders than a batch: the tree holds one batch of rows until the view scrolls to the
    // end or a folder past it is asked for, and then shows the rows in between.
    void treeShowsAHugeListABatchAtATime() {
        const int count = int(CFolderTreeModel::kBatch) + 100;
        std::vector<CNode> top;
        for (int i = 0; i < count; ++i)
            top.push_back(Folder(QStringLiteral("F%1").arg(i, 5, 10, QLatin1Char('0')).toStdString()));
        CShownArchive shown(top);
        CDirView& tree = shown.m_Tree;
        tree.resize(200, 300);
        tree.show();
        const QModelIndex topItem = TreeItem(tree.model(), {});
        QCOMPARE(tree.model()->rowCount(topItem), int(CFolderTreeModel::kBatch));
        tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum());
        QCOMPARE(tree.model()->rowCount(topItem), count);

        tree.SetCatalogue(&shown.m_Pack, &shown.m_Codec); // anew: one batch again
        QCOMPARE(tree.model()->rowCount(topItem), int(CFolderTreeModel::kBatch));
        QVERIFY(tree.SelectFolder(shown.m_Pack.GetTop().GetChildren()[count - 1]));
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("F%1").arg(count - 1));
        QCOMPARE(tree.SelectedFolder(), shown.m_Pack.GetTop().GetChildren()[count - 1]);
        QAbstractItemModelTester(tree.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void listShowsThatVeryFolderWithSizesInKB() {
        CShownArchive shown(MapsArchive());
        CDirView& tree = shown.m_Tree;
        CFilesView list;
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        QAbstractItemModelTester treeTester(tree.model(), mode), listTester(list.model(), mode);
        list.SetCatalogue(&shown.m_Pack, &shown.m_Codec);
        // The top item bears the file name in upper case, open.
        QCOMPARE(Rows(tree.model()), QStringList{"MAPS.DIR"});
        QVERIFY(tree.isExpanded(TreeItem(tree.model(), {})));
        const std::pair<QStringList, QStringList> cases[] = {
            {{"DATA", "MAPS2"}, {"M2.MAP|0KB|"}},
            {{"DATA"},
             {"MAPS||File Folder", "MAPS2||File Folder", "DAT||File Folder", "EMPTY|0KB|", "ALMOST|0KB|",
              "ONE|1KB|", "MEG|1024KB|"}},
            // The top pseudo-folder: the top-level folders, then the top-level files.
            {{}, {"DATA||File Folder", "OTHER||File Folder", "README|0KB|"}},
        };
        for (const auto& [labels, rows] : cases) {
            list.ShowFolder(tree.GetModel()->Folder(TreeItem(tree.model(), labels)));
            QCOMPARE(Rows(list.model()), rows);
        }
        list.SetCatalogue(&shown.m_Pack, &shown.m_Codec); // a catalogue given again starts empty
        QCOMPARE(Rows(list.model()), QStringList());

        // The biggest size there is, without overflow.
        const std::string path = shown.m_Dir.filePath("big.dir").toStdString();
        WriteFileBytes(
            path, CRawArchive().Folder(0, "BIG", 88).End(44).File(88, "HUGE", 0xFFFFFFFF, 0).End(132).Str());
        CPackFile big(path, shown.m_Sink);
        list.SetCatalogue(&big, &shown.m_Codec);
        list.ShowFolder(big.GetTop().GetChildren()[0]);
        QCOMPARE(Rows(list.model()), QStringList{"HUGE|4194303KB|"});
        // The size column widens so the biggest size shows whole, never below its 60 pixels.
        const int text = list.fontMetrics().horizontalAdvance(QStringLiteral("4194303KB"));
        QVERIFY(list.header()->sectionSize(1) > std::max(text, CFilesView::kSizeWidth));
        list.SetCatalogue(nullptr, nullptr);
    }
};

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
