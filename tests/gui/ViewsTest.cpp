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

using namespace vorpex;

// A catalogue read from an archive our helper writes, shown in a tree of its own.
struct ShownArchive {
    QTemporaryDir m_dir;
    NullSink m_sink;
    NameCodec m_codec;
    PackFile m_pack;
    DirView m_tree;
    explicit ShownArchive(const std::vector<Node>& top)
        : m_pack(writeArchive(m_dir, "Maps.dir", top).toStdString(), m_sink) {
        m_tree.setCatalogue(&m_pack, &m_codec);
    }
    ~ShownArchive() { m_tree.setCatalogue(nullptr, nullptr); }
};

class ViewsTest : public QObject {
    Q_OBJECT

private slots:
    // Dotted lines join the items of one list: past the first of DATA's sub-folders, not past the last.
    void treeDrawsBranchLines() {
        ShownArchive shown(mapsArchive());
        DirView& tree = shown.m_tree;
        tree.resize(300, 300);
        tree.show();
        tree.expand(treeItem(tree.model(), {"DATA"}));
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
        const QModelIndex first = treeItem(tree.model(), {"DATA", "MAPS"});
        const QModelIndex last = treeItem(tree.model(), {"DATA", "DAT"});
        const int height = tree.visualRect(first).height();
        QVERIFY(linePixels(first, height / 2 + 2, height) > 0); // goes on to the next sibling
        QVERIFY(linePixels(last, 0, height / 2) > 0);
        QCOMPARE(linePixels(last, height / 2 + 2, height), 0); // ends at the last one
    }

    // A drag hands the stager what Extract would take of the dragged rows: the tree's top item is the whole
    // archive, a folder itself; the list's rows, every column of them, come folders first, each once.
    void dragHandsTheStagerWhatExtractWouldTake() {
        ShownArchive shown(mapsArchive());
        FolderTreeModel* tree = shown.m_tree.getModel();
        FilesView list;
        list.setCatalogue(&shown.m_pack, &shown.m_codec);
        const PackFolder* data = tree->folder(treeItem(tree, {"DATA"}));
        list.showFolder(data);
        QVERIFY(!tree->mimeData({treeItem(tree, {})})); // no stager yet: nothing to drag
        QStringList staged;
        const EntryStager stager = [&](const Selection& selection) {
            QStringList names(selection.m_wholeArchive ? "*" : "");
            for (const PackFolder* folder : selection.m_folders)
                names << QString::fromLatin1(folder->name());
            for (const PackEntry* entry : selection.m_files)
                names << QString::fromLatin1(entry->name());
            staged << names.join(' ');
            return new QMimeData;
        };
        tree->setStager(stager);
        list.getModel()->setStager(stager);
        delete tree->mimeData({treeItem(tree, {})});
        delete tree->mimeData({treeItem(tree, {"DATA"})});
        QAbstractItemModel* rows = list.model();
        delete rows->mimeData({rows->index(5, 2), rows->index(1, 0), rows->index(5, 0), rows->index(3, 1)});
        QCOMPARE(staged, QStringList({"*", " DATA", " MAPS2 EMPTY ONE"}));
        list.setCatalogue(nullptr, nullptr);
    }

    // More top-level folders than a batch: the tree holds one batch of rows until the view scrolls to the
    // end or a folder past it is asked for, and then shows the rows in between.
    void treeShowsAHugeListABatchAtATime() {
        const int count = int(FolderTreeModel::kBatch) + 100;
        std::vector<Node> top;
        for (int i = 0; i < count; ++i)
            top.push_back(folderNode(QStringLiteral("F%1").arg(i, 5, 10, QLatin1Char('0')).toStdString()));
        ShownArchive shown(top);
        DirView& tree = shown.m_tree;
        tree.resize(200, 300);
        tree.show();
        const QModelIndex topItem = treeItem(tree.model(), {});
        QCOMPARE(tree.model()->rowCount(topItem), int(FolderTreeModel::kBatch));
        tree.verticalScrollBar()->setValue(tree.verticalScrollBar()->maximum());
        QCOMPARE(tree.model()->rowCount(topItem), count);

        tree.setCatalogue(&shown.m_pack, &shown.m_codec); // anew: one batch again
        QCOMPARE(tree.model()->rowCount(topItem), int(FolderTreeModel::kBatch));
        QVERIFY(tree.selectFolder(shown.m_pack.top().children()[count - 1]));
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("F%1").arg(count - 1));
        QCOMPARE(tree.selectedFolder(), shown.m_pack.top().children()[count - 1]);
        QAbstractItemModelTester(tree.model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void listShowsThatVeryFolderWithSizesInKB() {
        ShownArchive shown(mapsArchive());
        DirView& tree = shown.m_tree;
        FilesView list;
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        QAbstractItemModelTester treeTester(tree.model(), mode), listTester(list.model(), mode);
        list.setCatalogue(&shown.m_pack, &shown.m_codec);
        // The top item bears the file name in upper case, open.
        QCOMPARE(rows(tree.model()), QStringList{"MAPS.DIR"});
        QVERIFY(tree.isExpanded(treeItem(tree.model(), {})));
        const std::pair<QStringList, QStringList> cases[] = {
            {{"DATA", "MAPS2"}, {"M2.MAP|0KB|"}},
            {{"DATA"},
             {"MAPS||File Folder", "MAPS2||File Folder", "DAT||File Folder", "EMPTY|0KB|", "ALMOST|0KB|",
              "ONE|1KB|", "MEG|1024KB|"}},
            // The top pseudo-folder: the top-level folders, then the top-level files.
            {{}, {"DATA||File Folder", "OTHER||File Folder", "README|0KB|"}},
        };
        for (const auto& [labels, expected] : cases) {
            list.showFolder(tree.getModel()->folder(treeItem(tree.model(), labels)));
            QCOMPARE(rows(list.model()), expected);
        }
        list.setCatalogue(&shown.m_pack, &shown.m_codec); // a catalogue given again starts empty
        QCOMPARE(rows(list.model()), QStringList());

        // The biggest size there is, without overflow.
        const std::string path = shown.m_dir.filePath("big.dir").toStdString();
        writeFileBytes(
            path, RawArchive().folder(0, "BIG", 88).end(44).file(88, "HUGE", 0xFFFFFFFF, 0).end(132).str());
        PackFile big(path, shown.m_sink);
        list.setCatalogue(&big, &shown.m_codec);
        list.showFolder(big.top().children()[0]);
        QCOMPARE(rows(list.model()), QStringList{"HUGE|4194303KB|"});
        // The size column widens so the biggest size shows whole, never below its 60 pixels.
        const int text = list.fontMetrics().horizontalAdvance(QStringLiteral("4194303KB"));
        QVERIFY(list.header()->sectionSize(1) > std::max(text, FilesView::kSizeWidth));
        list.setCatalogue(nullptr, nullptr);
    }
};

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
