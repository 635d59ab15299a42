// The tree and list models over real catalogues, each under QAbstractItemModelTester.
#include <QAbstractItemModelTester>
#include <QTest>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "tests/gui/GuiTestSupport.h"
#include "views/FilesModel.h"
#include "views/FolderTreeModel.h"

class ModelTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CNameCodec m_Codec;
    CRecordingSink m_Sink;

    std::unique_ptr<CPackFile> Open(const std::vector<CNode>& top) {
        const QString path = WriteArchive(m_Dir, QStringLiteral("t.dir"), top);
        return std::make_unique<CPackFile>(path.toStdString(), m_Sink);
    }

private slots:
    void treeFollowsTheCatalogue();
    void treeOfEmptyAndFilesOnlyArchives();
    void treeResetKeepsTesterHappy();
    void listRowsFoldersFirstWithSizes();
    void listOfTheWholeArchive();
    void listKeepsSameNamedFoldersApart();
    void namesAreDecodedForDisplay();
};

void ModelTest::treeFollowsTheCatalogue() {
    auto pack = Open({Folder("ALPHA", {Folder("SUB", {Folder("DEEP")}), Folder("SUB2")}), Folder("BETA"),
                      File("TOP.TXT", "x")});
    CFolderTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.SetPackFile(pack.get(), &m_Codec, QStringLiteral("T.DIR"));

    QCOMPARE(model.rowCount(), 1);
    const QModelIndex top = model.TopIndex();
    QCOMPARE(top.data().toString(), QStringLiteral("T.DIR"));
    QVERIFY(model.IsTop(top));
    QCOMPARE(model.Folder(top), &pack->GetTop());
    QCOMPARE(ChildLabels(&model, top), (QStringList{"ALPHA", "BETA"}));

    const QModelIndex alpha = ChildNamed(&model, top, "ALPHA");
    QCOMPARE(ChildLabels(&model, alpha), (QStringList{"SUB", "SUB2"}));
    const QModelIndex sub = ChildNamed(&model, alpha, "SUB");
    const QModelIndex deep = ChildNamed(&model, sub, "DEEP");
    QCOMPARE(model.rowCount(deep), 0);
    // Parents lead back to the top, and every index maps to its folder and back.
    QCOMPARE(deep.parent(), sub);
    QCOMPARE(sub.parent(), alpha);
    QCOMPARE(alpha.parent(), top);
    QVERIFY(!top.parent().isValid());
    for (const QModelIndex& index : {top, alpha, sub, deep})
        QCOMPARE(model.IndexOf(model.Folder(index)), index);
    QCOMPARE(model.Folder(deep)->GetPath(), std::string("\\ALPHA\\SUB\\DEEP"));
}

void ModelTest::treeOfEmptyAndFilesOnlyArchives() {
    CFolderTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto empty = Open({});
    model.SetPackFile(empty.get(), &m_Codec, QStringLiteral("T.DIR"));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.TopIndex().isValid());

    // Top-level files without any folder are still reached through the top item.
    auto files = Open({File("A.TXT", "a"), File("B.TXT", "b")});
    model.SetPackFile(files.get(), &m_Codec, QStringLiteral("T.DIR"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rowCount(model.TopIndex()), 0);

    model.SetPackFile(nullptr, nullptr, {});
    QCOMPARE(model.rowCount(), 0);
}

void ModelTest::treeResetKeepsTesterHappy() {
    CFolderTreeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    auto first = Open({Folder("ONE", {Folder("A"), Folder("B")})});
    model.SetPackFile(first.get(), &m_Codec, QStringLiteral("ONE.DIR"));
    QPersistentModelIndex held = ChildNamed(&model, model.TopIndex(), "ONE");
    QVERIFY(held.isValid());
    auto second = Open({Folder("TWO")});
    model.SetPackFile(second.get(), &m_Codec, QStringLiteral("TWO.DIR"));
    QVERIFY(!held.isValid());
    QCOMPARE(ChildLabels(&model, model.TopIndex()), QStringList{"TWO"});
}

void ModelTest::listRowsFoldersFirstWithSizes() {
    auto pack = Open(
        {Folder("DATA", {File("EMPTY.BIN", ""), Folder("SUB1"), File("ALMOST.BIN", std::string(1023, 'a')),
                         File("ONE.BIN", std::string(1024, 'b')), Folder("SUB2"),
                         File("MEG.BIN", std::string(1048576, 'c'))})});
    CFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const CPackFolder* data = pack->GetTop().m_Children.at(0);
    model.ShowFolder(pack.get(), data, &m_Codec);

    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.columnCount(), 3);
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << model.index(row, 0).data().toString() + "|" + model.index(row, 1).data().toString() + "|" +
                    model.index(row, 2).data().toString();
    QCOMPARE(rows, (QStringList{"SUB1||File Folder", "SUB2||File Folder", "EMPTY.BIN|0KB|", "ALMOST.BIN|0KB|",
                                "ONE.BIN|1KB|", "MEG.BIN|1024KB|"}));
    QCOMPARE(model.FolderAt(1), data->m_Children[1]);
    QCOMPARE(model.EntryAt(1), nullptr);
    QCOMPARE(model.EntryAt(5)->GetSize(), 1048576u);
    QCOMPARE(model.FolderAt(5), nullptr);
    QVERIFY(model.index(2, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    QVERIFY(model.index(2, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Size"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Type"));
    QCOMPARE(CFilesModel::SizeText(0xFFFFFFFFu), QStringLiteral("4194303KB"));

    model.Clear();
    QCOMPARE(model.rowCount(), 0);
}

void ModelTest::listOfTheWholeArchive() {
    auto pack =
        Open({Folder("ONE", {File("IN.TXT", "i")}), File("TOP1.TXT", "t"), Folder("TWO"), File("TOP2.TXT")});
    CFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.ShowFolder(pack.get(), &pack->GetTop(), &m_Codec);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.DisplayName(0), QStringLiteral("ONE"));
    QCOMPARE(model.DisplayName(1), QStringLiteral("TWO"));
    QCOMPARE(model.DisplayName(2), QStringLiteral("TOP1.TXT"));
    QCOMPARE(model.DisplayName(3), QStringLiteral("TOP2.TXT"));
}

void ModelTest::listKeepsSameNamedFoldersApart() {
    // MAPS twice, MAPS2 beside one of them and DATA1 below DATA: names that contain one another.
    auto pack =
        Open({Folder("DATA", {Folder("MAPS", {File("M1.MAP", "1")}), Folder("MAPS2", {File("M2.MAP", "2")}),
                              Folder("DATA1", {File("D1.TXT", "d")}), File("DATA.TXT", "x")}),
              Folder("OTHER", {Folder("MAPS", {File("OTHER.MAP", "o"), Folder("INNER")})})});
    CFilesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const CPackFolder* data = pack->GetTop().m_Children[0];
    const CPackFolder* other = pack->GetTop().m_Children[1];

    const auto names = [&model] {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.DisplayName(row);
        return out;
    };
    model.ShowFolder(pack.get(), data->m_Children[0], &m_Codec);
    QCOMPARE(names(), QStringList{"M1.MAP"});
    model.ShowFolder(pack.get(), data->m_Children[1], &m_Codec);
    QCOMPARE(names(), QStringList{"M2.MAP"});
    model.ShowFolder(pack.get(), other->m_Children[0], &m_Codec);
    QCOMPARE(names(), (QStringList{"INNER", "OTHER.MAP"}));
    model.ShowFolder(pack.get(), data, &m_Codec);
    QCOMPARE(names(), (QStringList{"MAPS", "MAPS2", "DATA1", "DATA.TXT"}));
}

void ModelTest::namesAreDecodedForDisplay() {
    // 0xC9 is É and 0x80 the euro sign in Windows-1252.
    auto pack = Open({Folder("CAF\xC9", {File("\x80.TXT", "e")})});
    CFolderTreeModel tree;
    tree.SetPackFile(pack.get(), &m_Codec, QStringLiteral("T.DIR"));
    QCOMPARE(ChildLabels(&tree, tree.TopIndex()), QStringList{QString::fromUtf8("CAF\u00C9")});
    CFilesModel list;
    list.ShowFolder(pack.get(), pack->GetTop().m_Children[0], &m_Codec);
    QCOMPARE(list.DisplayName(0), QString::fromUtf8("\u20AC.TXT"));
    QCOMPARE(list.RawName(0), std::string_view("\x80.TXT"));
}

QTEST_MAIN(ModelTest)
#include "ModelTest.moc"
