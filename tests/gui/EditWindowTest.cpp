// Editing in the real main window: rename in place, delete, new folder, add by drop, paste and menu, replace,
// cut and copy, undo and redo; the refusals; Save, the unsaved-changes question and the ways a save fails,
// each checked against the archive the program wrote, read back by the catalogue.
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <csignal>
#include <optional>
#include <sys/resource.h>

#include "app/EditCommands.h"
#include "catalogue/EntryPeek.h"
#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"
#include "tests/gui/AppTestSupport.h"

using namespace vorpex;

namespace {

// What an archive file holds, a line per item, depth first: "DATA/" for a folder, "DATA/A.TXT=bytes" for a
// file; each list's folders before its files.
void describe(const PackFile& pack, const PackFolder& folder, const std::string& path, QStringList& lines) {
    for (const PackFolder* child : folder.children()) {
        const std::string below = path + std::string(child->name()) + "/";
        lines << QString::fromLatin1(below.c_str());
        describe(pack, *child, below, lines);
    }
    for (uint32_t index : folder.files()) {
        const PackEntry& entry = pack.entry(index);
        lines << QString::fromLatin1(
            (path + std::string(entry.name()) + "=" + EntryPeek::read(pack, entry).m_data).c_str());
    }
}

QStringList archiveFile(const QString& path) {
    NullSink quiet;
    PackFile pack(QFile::encodeName(path).toStdString(), quiet);
    QStringList lines;
    if (pack.isOpen())
        describe(pack, pack.top(), {}, lines);
    return lines;
}

std::vector<Node> smallArchive() {
    return {folderNode("DATA", {folderNode("SUB", {fileNode("INNER.TXT", "inner")}), fileNode("A.TXT", "aaa"),
                                fileNode("B.TXT", "bbb")}),
            folderNode("OTHER", {fileNode("O.TXT", "o")}), fileNode("TOP.TXT", "top")};
}

const QStringList kSmall = {"DATA/",          "DATA/SUB/",      "DATA/SUB/INNER.TXT=inner",
                            "DATA/A.TXT=aaa", "DATA/B.TXT=bbb", "OTHER/",
                            "OTHER/O.TXT=o",  "TOP.TXT=top"};

} // namespace

class EditWindowTest : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir, m_runtime;
    TestApp m_app;
    QStringList m_asked; // the questions the window asked, in order
    QList<QMessageBox::StandardButton> m_answers;
    QStringList m_chosen; // what the next file dialog answers
    QString m_path;       // the archive opened

    MainFrame* frame() { return m_app.frame(); }
    DirView* tree() { return m_app.tree(); }
    FilesView* list() { return m_app.list(); }
    EditCommands* edits() { return frame()->editCommands(); }
    QStringList names() {
        return rows(list()->model()).replaceInStrings(QRegularExpression("\\|.*"), QString());
    }
    QStringList treeRows(const QStringList& labels) {
        return rows(tree()->model(), treeItem(tree()->model(), labels));
    }
    QAction* action(const char* name) { return frame()->findChild<QAction*>(QString::fromLatin1(name)); }
    QAction* undo() { return frame()->command(MainFrame::kIdEditUndo); }
    QString indicator() {
        return frame()->statusBar()->findChild<QLabel*>(QStringLiteral("Modified"))->text();
    }
    QString file(const QString& name, const QByteArray& bytes) {
        QFile out(m_dir->filePath(name));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return {};
        return out.fileName();
    }
    bool open(const std::vector<Node>& top, const QString& name = QStringLiteral("game.dir")) {
        m_path = writeArchive(*m_dir, name, top);
        m_app.m_app->setOpenFileChooser([this](QWidget*) { return m_path; });
        frame()->command(MainFrame::kIdFileOpen)->trigger();
        return m_app.m_app->document()->pathName() == m_path;
    }
    void selectRow(const QString& name) {
        const int row = int(names().indexOf(name));
        frame()->setActiveView(list());
        list()->setCurrentIndex(list()->model()->index(row, 0));
        list()->selectionModel()->select(list()->model()->index(row, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Types `name` over the editor the view has open, and Enter.
    bool typeName(QAbstractItemView* view, const QString& name) {
        QPointer<QLineEdit> editor = view->viewport()->findChild<QLineEdit*>();
        if (!editor || !editor->isVisible())
            return false;
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        // The view commits the name once the editor has had the key.
        // The editor is gone (deleted later) once the name is committed.
        for (int i = 0; i < 200 && editor; ++i)
            QTest::qWait(10);
        return !editor;
    }
    void dropOn(QAbstractItemView* view, const QPoint& at, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &drop);
    }
    bool isBold(const QAbstractItemModel* model, const QModelIndex& index) {
        return model->data(index, Qt::FontRole).value<QFont>().bold();
    }

private slots:
    void init() {
        freshFolders(m_dir, m_runtime);
        m_asked.clear();
        m_answers.clear();
        m_chosen.clear();
        QVERIFY(m_app.start());
        frame()->activateWindow();
        edits()->setAsker([this](const QString& text, QMessageBox::StandardButtons) {
            m_asked << text;
            return m_answers.isEmpty() ? QMessageBox::Cancel : m_answers.takeFirst();
        });
        edits()->setChooser([this](EditCommands::Choose) { return std::exchange(m_chosen, {}); });
        QVERIFY(QTest::qWaitForWindowExposed(frame()));
    }
    void cleanup() {
        QVERIFY(!QApplication::activeModalWidget());
        m_answers = {QMessageBox::Discard};
        m_app.m_app.reset();
    }

    // Browsing, extracting and closing write nothing and ask nothing; Undo and Save stay greyed.
    void aRunWithoutEditsWritesAndAsksNothing() {
        QVERIFY(open(smallArchive()));
        const QFileInfo before(m_path);
        m_app.select({"DATA"});
        selectRow("A.TXT");
        frame()->command(MainFrame::kIdFileSave)->trigger();
        QTest::keyClick(list(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!undo()->isEnabled());
        QVERIFY(!frame()->command(MainFrame::kIdFileSave)->isEnabled());
        QCOMPARE(indicator(), QString());
        QVERIFY(frame()->close());
        QCOMPARE(m_asked, QStringList());
        QCOMPARE(QFileInfo(m_path).lastModified(), before.lastModified());
        QCOMPARE(archiveFile(m_path), kSmall);
    }

    // F2 edits the name in place; the row is marked, the menu names the edit, and Undo and Redo take it back
    // and forth. The tree renames in place too.
    void renameInPlaceWithUndoAndRedo() {
        QVERIFY(open(smallArchive()));
        m_app.select({"DATA"});
        selectRow("A.TXT");
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("RENAMED.TXT")));
        QCOMPARE(names(), QStringList({"SUB", "RENAMED.TXT", "B.TXT"}));
        QVERIFY(isBold(list()->model(), list()->model()->index(1, 0)));
        QVERIFY(!isBold(list()->model(), list()->model()->index(2, 0)));
        QCOMPARE(list()->currentIndex().row(), 1); // the user's place stays
        QCOMPARE(undo()->text(), QStringLiteral("&Undo Rename\tCtrl+Z"));
        QCOMPARE(indicator(), QStringLiteral("Modified"));
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));
        QVERIFY(!isBold(list()->model(), list()->model()->index(1, 0)));
        QCOMPARE(indicator(), QString()); // back where it was saved
        QCOMPARE(action("ID_EDIT_REDO")->text(), QStringLiteral("&Redo Rename\tCtrl+Shift+Z"));
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(names(), QStringList({"SUB", "RENAMED.TXT", "B.TXT"}));

        // The tree's folder, in the tree; the list's folder rows follow.
        m_app.select({"DATA", "SUB"});
        frame()->setActiveView(tree());
        QTest::keyClick(tree(), Qt::Key_F2);
        QVERIFY(typeName(tree(), QStringLiteral("MAPS")));
        QCOMPARE(treeRows({"DATA"}), QStringList({"MAPS"}));
        QCOMPARE(tree()->currentIndex().data().toString(), QStringLiteral("MAPS"));
        QVERIFY(isBold(tree()->model(), tree()->currentIndex()));

        QVERIFY(edits()->save());
        QCOMPARE(archiveFile(m_path),
                 QStringList({"DATA/", "DATA/MAPS/", "DATA/MAPS/INNER.TXT=inner", "DATA/RENAMED.TXT=aaa",
                              "DATA/B.TXT=bbb", "OTHER/", "OTHER/O.TXT=o", "TOP.TXT=top"}));
        QCOMPARE(tree()->currentIndex().data().toString(), QStringLiteral("MAPS")); // still there after Save
        QCOMPARE(indicator(), QString());
        QVERIFY(frame()->close());
        QCOMPARE(m_asked, QStringList());
    }

    // Del removes rows and folders with all below; the tree keeps what is open, and Undo puts each item
    // back in its place. New Folder makes a folder named to be typed over.
    void deleteAndNewFolderKeepThePlace() {
        QVERIFY(open(smallArchive()));
        tree()->expand(treeItem(tree()->model(), {"OTHER"}));
        m_app.select({"DATA"});
        list()->selectionModel()->select(list()->model()->index(0, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list()->selectionModel()->select(list()->model()->index(2, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        frame()->setActiveView(list());
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(names(), QStringList({"A.TXT"}));
        // The rows went with their selection: the status bar's count and Extract follow.
        QCOMPARE(frame()->statusBar()->findChild<QLabel*>(QStringLiteral("Ready"))->text(),
                 QStringLiteral("2 folders, 3 files")); // SUB and INNER.TXT went, and B.TXT
        QVERIFY(!frame()->command(MainFrame::kIdFileExtract)->isEnabled());
        QCOMPARE(treeRows({"DATA"}), QStringList());
        QVERIFY(tree()->isExpanded(treeItem(tree()->model(), {"OTHER"})));
        QCOMPARE(undo()->text(), QStringLiteral("&Undo Delete\tCtrl+Z"));
        undo()->trigger();
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));
        QCOMPARE(treeRows({"DATA"}), QStringList({"SUB"}));

        // Deleting the folder the list shows: the list goes to its parent.
        m_app.select({"DATA", "SUB"});
        frame()->setActiveView(tree());
        QTest::keyClick(tree(), Qt::Key_Delete);
        QCOMPARE(treeRows({"DATA"}), QStringList());
        QCOMPARE(tree()->selectedFolder()->name(), std::string_view("DATA"));

        m_app.select({"OTHER"});
        frame()->setActiveView(list());
        QTest::keyClick(list(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(typeName(list(), QStringLiteral("NEW")));
        QCOMPARE(names(), QStringList({"NEW", "O.TXT"}));
        QCOMPARE(treeRows({"OTHER"}), QStringList({"NEW"}));
        QVERIFY(edits()->save());
        QCOMPARE(archiveFile(m_path), QStringList({"DATA/", "DATA/A.TXT=aaa", "DATA/B.TXT=bbb", "OTHER/",
                                                   "OTHER/NEW/", "OTHER/O.TXT=o", "TOP.TXT=top"}));
    }

    // In a long list the scroll position and the selection stay where they were.
    void editsKeepTheScrollPositionAndSelection() {
        std::vector<Node> files;
        for (int i = 0; i < 300; ++i)
            files.push_back(fileNode("F" + std::to_string(1000 + i), "x"));
        QVERIFY(open({folderNode("MANY", files)}));
        m_app.select({"MANY"});
        list()->scrollTo(list()->model()->index(200, 0), QAbstractItemView::PositionAtTop);
        const int scrolled = list()->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        selectRow("F1210");
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(list()->verticalScrollBar()->value(), scrolled);
        list()->selectionModel()->select(list()->model()->index(205, 0),
                                         QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list()->setCurrentIndex(list()->model()->index(205, 0));
        QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier); // F1210 comes back above the selection
        QCOMPARE(list()->verticalScrollBar()->value(), scrolled);
        QCOMPARE(list()->currentIndex().data().toString(), QStringLiteral("F1205"));
        QCOMPARE(list()->selectionModel()->selectedRows().value(0).data().toString(),
                 QStringLiteral("F1205"));
        QCOMPARE(names().value(210), QStringLiteral("F1210"));
    }

    // The commands on an archive of 100,000 entries, saved and read back.
    void commandsWorkOnAHundredThousandEntries() {
        std::vector<Node> top;
        for (int f = 0; f < 10; ++f) {
            std::vector<Node> files;
            for (int i = 0; i < 10000; ++i)
                files.push_back(fileNode("F" + std::to_string(i), std::to_string(f)));
            top.push_back(folderNode("D" + std::to_string(f), files));
        }
        QVERIFY(open(top, QStringLiteral("big.dir")));
        m_app.select({"D5"});
        selectRow("F5000");
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("RENAMED")));
        selectRow("F9999");
        QTest::keyClick(list(), Qt::Key_Delete);
        QTest::keyClick(list(), Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(typeName(list(), QStringLiteral("NEW")));
        QVERIFY(edits()->addPaths(list()->shownFolder(), {file(QStringLiteral("ADDED"), "added")}));
        m_chosen = {file(QStringLiteral("other"), "replaced")};
        selectRow("F0");
        action("ID_EDIT_REPLACE")->trigger();
        undo()->trigger(); // the replace
        QCOMPARE(list()->model()->rowCount(), 10001);
        QVERIFY(edits()->save());
        const QStringList saved = archiveFile(m_path);
        QCOMPARE(saved.size(), 10 + 100000 + 1);
        QVERIFY(saved.contains(QStringLiteral("D5/NEW/")));
        QVERIFY(saved.contains(QStringLiteral("D5/RENAMED=5")));
        QVERIFY(saved.contains(QStringLiteral("D5/ADDED=added")));
        QVERIFY(saved.contains(QStringLiteral("D5/F0=5")));
        QVERIFY(!saved.contains(QStringLiteral("D5/F9999=5")));
        QVERIFY(saved.contains(QStringLiteral("D4/F9999=4")));
    }

    // Each edit is checked when made; a refused one changes nothing and says what and why.
    void refusalsSayWhyAndChangeNothing() {
        QVERIFY(open(smallArchive()));
        m_app.select({"DATA"});
        selectRow("A.TXT");
        m_app.m_messages.clear();
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QString(33, QLatin1Char('X'))));
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("\u65e5\u672c.TXT")));
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("a/b")));
        QCOMPARE(m_app.m_messages.texts(),
                 std::vector<std::string>({kEditNameTooLong + std::string(33, 'X'),
                                           QString::fromLatin1(kEditNameNotEncodable)
                                                   .arg(QStringLiteral("WINDOWS-1252"))
                                                   .toStdString() +
                                               "\u65e5\u672c.TXT",
                                           kEditNameNotValid + std::string("a/b")}));
        // A name already in the folder: the user is asked, and No keeps both as they are.
        m_answers = {QMessageBox::No};
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("B.TXT")));
        QCOMPARE(m_asked, QStringList({QString::fromLatin1(kEditReplaceItem).arg("B.TXT")}));
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));
        QVERIFY(!undo()->isEnabled());
        // Yes replaces it, as one edit.
        m_answers = {QMessageBox::Yes};
        QTest::keyClick(list(), Qt::Key_F2);
        QVERIFY(typeName(list(), QStringLiteral("B.TXT")));
        QCOMPARE(names(), QStringList({"SUB", "B.TXT"}));
        undo()->trigger();
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));

        // Ten levels deep, no folder may go below.
        std::vector<Node> deep = {folderNode("L10")};
        for (int level = 9; level >= 1; --level)
            deep = {folderNode("L" + std::to_string(level), deep)};
        QVERIFY(open(deep, QStringLiteral("deep.dir")));
        QStringList path;
        for (int level = 1; level <= 10; ++level)
            path << QStringLiteral("L%1").arg(level);
        m_app.select(path);
        frame()->setActiveView(tree());
        m_app.m_messages.clear();
        action("ID_EDIT_NEW_FOLDER")->trigger();
        QCOMPARE(m_app.m_messages.texts(), std::vector<std::string>({kEditTooDeep + std::string("L10")}));
        QCOMPARE(treeRows(path), QStringList());
        // Nor may a folder from disk that would make an eleventh level.
        QDir(m_dir->path()).mkpath(QStringLiteral("disk/inner"));
        path.removeLast();
        m_app.select(path);
        m_app.m_messages.clear();
        QVERIFY(!edits()->addPaths(tree()->selectedFolder(), {m_dir->filePath("disk")}));
        QCOMPARE(m_app.m_messages.count(), size_t(1));
        QCOMPARE(treeRows(path), QStringList({"L10"}));
        QVERIFY(!undo()->isEnabled());

        // Past 4 GiB: one file too big for a record, or files that together would push the archive past
        // its limit; both refused before a byte is copied (the files are sparse).
        const auto sparse = [this](const QString& name, qint64 size) {
            QFile out(m_dir->filePath(name));
            return out.open(QIODevice::WriteOnly) && out.resize(size) ? out.fileName() : QString();
        };
        const QString huge = sparse(QStringLiteral("HUGE"), (qint64(1) << 32) + 1);
        const QString half1 = sparse(QStringLiteral("HALF1"), qint64(1) << 31);
        const QString half2 = sparse(QStringLiteral("HALF2"), qint64(1) << 31);
        m_app.m_messages.clear();
        QVERIFY(!edits()->addPaths(tree()->selectedFolder(), {huge}));
        QVERIFY(!edits()->addPaths(tree()->selectedFolder(), {half1, half2}));
        QCOMPARE(m_app.m_messages.count(), size_t(2));
        for (const std::string& text : m_app.m_messages.texts())
            QVERIFY2(text.starts_with(kEditPast4GiB), text.c_str());
        QVERIFY(!undo()->isEnabled());
    }

    // Files dropped from a file manager go into the folder they are dropped on, or the one the list shows;
    // Paste takes files copied in a file manager; a name already there is asked about.
    void addByDropPasteAndMenuThenSave() {
        QVERIFY(open(smallArchive()));
        const QString one = file(QStringLiteral("ONE.BIN"), QByteArray("one"));
        const QString two = file(QStringLiteral("A.TXT"), QByteArray("new a"));
        QDir(m_dir->path()).mkpath(QStringLiteral("pack/deeper"));
        file(QStringLiteral("pack/P.TXT"), "p");
        file(QStringLiteral("pack/deeper/D.TXT"), "d");

        m_app.select({"DATA"});
        const QRect bRow = list()->visualRect(list()->model()->index(2, 0));
        dropOn(list(), bRow.center(), {one});
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT", "ONE.BIN"}));
        QVERIFY(isBold(list()->model(), list()->model()->index(3, 0)));
        // On a folder of the tree: into that folder, a folder from disk with all below it.
        dropOn(tree(), tree()->visualRect(treeItem(tree()->model(), {"OTHER"})).center(),
               {m_dir->filePath("pack")});
        QCOMPARE(treeRows({"OTHER"}), QStringList({"pack"}));
        QCOMPARE(undo()->text(), QStringLiteral("&Undo Add\tCtrl+Z"));

        // Paste, as a file manager copies: the name is taken, Yes replaces it in its place.
        auto* copied = new QMimeData;
        copied->setData(QStringLiteral("x-special/gnome-copied-files"),
                        "copy\n" + QUrl::fromLocalFile(two).toEncoded());
        QApplication::clipboard()->setMimeData(copied);
        QTRY_VERIFY(frame()->command(MainFrame::kIdEditPaste)->isEnabled());
        m_answers = {QMessageBox::Yes};
        frame()->setActiveView(list());
        QTest::keyClick(list(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_asked, QStringList({QString::fromLatin1(kEditReplaceItem).arg("A.TXT")}));
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT", "ONE.BIN"}));

        // Add Files... from the menu's chooser; a link is refused with the reason.
        QFile::link(one, m_dir->filePath("link.bin"));
        m_chosen = {m_dir->filePath("link.bin")};
        m_app.m_messages.clear();
        action("ID_EDIT_ADD_FILES")->trigger();
        QCOMPARE(m_app.m_messages.texts(),
                 std::vector<std::string>({kEditNotAdded + m_dir->filePath("link.bin").toStdString()}));

        // What is added is what the file held when added, whatever becomes of it before Save.
        file(QStringLiteral("ONE.BIN"), QByteArray("changed since"));
        QTest::keyClick(list(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(
            archiveFile(m_path),
            QStringList({"DATA/", "DATA/SUB/", "DATA/SUB/INNER.TXT=inner", "DATA/A.TXT=new a",
                         "DATA/B.TXT=bbb", "DATA/ONE.BIN=one", "OTHER/", "OTHER/pack/", "OTHER/pack/deeper/",
                         "OTHER/pack/deeper/D.TXT=d", "OTHER/pack/P.TXT=p", "OTHER/O.TXT=o", "TOP.TXT=top"}));
    }

    // Replace takes a file from disk in the row's place; Copy puts the entries on the clipboard as files,
    // and Cut does that and removes them, one edit for Undo.
    void replaceCopyAndCut() {
        QVERIFY(open(smallArchive()));
        m_app.select({"DATA"});
        selectRow("B.TXT");
        m_chosen = {file(QStringLiteral("new.bin"), QByteArray("replaced"))};
        action("ID_EDIT_REPLACE")->trigger();
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));
        QCOMPARE(rows(list()->model())[2], QStringLiteral("B.TXT|0KB|"));
        QCOMPARE(undo()->text(), QStringLiteral("&Undo Replace\tCtrl+Z"));

        selectRow("A.TXT");
        QTest::keyClick(list(), Qt::Key_C, Qt::ControlModifier);
        const QList<QUrl> urls = QApplication::clipboard()->mimeData()->urls();
        QCOMPARE(urls.size(), 1);
        QFile staged(urls[0].toLocalFile());
        QVERIFY(staged.open(QIODevice::ReadOnly));
        QCOMPARE(staged.readAll(), QByteArray("aaa"));
        QVERIFY(
            QApplication::clipboard()->mimeData()->data("x-special/gnome-copied-files").startsWith("copy\n"));

        selectRow("B.TXT");
        QTest::keyClick(list(), Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(names(), QStringList({"SUB", "A.TXT"}));
        QFile cut(QApplication::clipboard()->mimeData()->urls().value(0).toLocalFile());
        QVERIFY(cut.open(QIODevice::ReadOnly));
        QCOMPARE(cut.readAll(), QByteArray("replaced")); // the entry as edited
        QCOMPARE(undo()->text(), QStringLiteral("&Undo Cut\tCtrl+Z"));
        undo()->trigger();
        QCOMPARE(names(), QStringList({"SUB", "A.TXT", "B.TXT"}));
        QVERIFY(edits()->save());
        QCOMPARE(archiveFile(m_path)[4], QStringLiteral("DATA/B.TXT=replaced"));
    }

    // Open, a dropped archive and the close box ask before unsaved edits go: Cancel stays, Discard drops
    // them, Save writes them first.
    void unsavedEditsAreNeverLostWithoutAsking() {
        QVERIFY(open(smallArchive()));
        const QString first = m_path;
        const QString other = writeArchive(*m_dir, QStringLiteral("other.dir"), {fileNode("X", "x")});
        m_app.select({"DATA"});
        selectRow("A.TXT");
        QTest::keyClick(list(), Qt::Key_Delete);
        const QString question = QString::fromLatin1(kEditSaveChanges).arg(QStringLiteral("game.dir"));

        m_answers = {QMessageBox::Cancel};
        m_app.m_app->setOpenFileChooser([&](QWidget*) { return other; });
        frame()->command(MainFrame::kIdFileOpen)->trigger();
        QCOMPARE(m_asked, QStringList{question});
        QCOMPARE(m_app.m_app->document()->pathName(), first);
        QCOMPARE(names(), QStringList({"SUB", "B.TXT"}));
        QVERIFY(!frame()->close()); // Cancel again (no answer left)
        QCOMPARE(m_asked.size(), 2);

        m_answers = {QMessageBox::Save};
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(frame(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(frame(), &drop);
        QCOMPARE(m_app.m_app->document()->pathName(), other);
        QCOMPARE(archiveFile(first),
                 QStringList({"DATA/", "DATA/SUB/", "DATA/SUB/INNER.TXT=inner", "DATA/B.TXT=bbb", "OTHER/",
                              "OTHER/O.TXT=o", "TOP.TXT=top"}));

        edits()->addPaths(&m_app.m_app->document()->m_packFile->top(), {file(QStringLiteral("Y"), "y")});
        m_answers = {QMessageBox::Discard};
        QVERIFY(frame()->close());
        QCOMPARE(archiveFile(other), QStringList({"X=x"}));
    }

    // With an archive open, an archive dropped on the status bar (or the toolbar) opens, as on the window;
    // dropped on the panes, it would be added.
    void anArchiveDroppedOnTheBarsOpens() {
        QVERIFY(open(smallArchive()));
        const QString other = writeArchive(*m_dir, QStringLiteral("other.dir"), {fileNode("X", "x")});
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(frame()->statusBar(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(frame()->statusBar(), &drop);
        QCOMPARE(m_app.m_app->document()->pathName(), other);
        QCOMPARE(m_asked, QStringList()); // nothing was edited: nothing to ask
    }

    // A save that cannot be made leaves the archive as it was and says why: read-only (Save As offered),
    // changed by another program since it was opened, or the disk full.
    void failedSavesLeaveTheArchiveAsItWas() {
        QVERIFY(open(smallArchive()));
        m_app.select({"DATA"});
        selectRow("A.TXT");
        QTest::keyClick(list(), Qt::Key_Delete);

        // Check Archive checks the archive as read: not while edits of it are unsaved.
        QVERIFY(!frame()->command(MainFrame::kIdFileCheck)->isEnabled());
        QFile::setPermissions(m_path, QFileDevice::ReadOwner);
        m_answers = {QMessageBox::Yes};
        m_chosen = {m_dir->filePath("copy.dir")};
        QVERIFY(edits()->save());
        QCOMPARE(m_asked, QStringList{QString::fromLatin1(kEditSaveReadOnly).arg("game.dir")});
        QCOMPARE(archiveFile(m_path), kSmall);
        QCOMPARE(archiveFile(m_dir->filePath("copy.dir")).size(), kSmall.size() - 1);
        QCOMPARE(m_app.m_app->document()->pathName(), m_dir->filePath("copy.dir"));

        // Changed on disk since it was opened: not overwritten.
        selectRow("B.TXT");
        QTest::keyClick(list(), Qt::Key_Delete);
        const std::string changed = buildArchive({fileNode("CHANGED", "by another program")});
        writeFileBytes(m_dir->filePath("copy.dir").toStdString(), changed);
        m_asked.clear();
        m_answers = {QMessageBox::No};
        QVERIFY(!edits()->save());
        QCOMPARE(m_asked, QStringList{QString::fromLatin1(kEditSaveChanged).arg("copy.dir")});
        QCOMPARE(readFileBytes(m_dir->filePath("copy.dir").toStdString()), changed);

        // The disk full (a file-size limit stands in for it): the old archive stays whole.
        m_answers = {QMessageBox::Discard};
        QVERIFY(open(smallArchive(), QStringLiteral("full.dir")));
        m_app.select({"DATA"});
        QVERIFY(edits()->addPaths(tree()->selectedFolder(),
                                  {file(QStringLiteral("BIG.BIN"), QByteArray(256 * 1024, 'z'))}));
        const std::string before = readFileBytes(m_path.toStdString());
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        m_app.m_messages.clear();
        const bool saved64 = edits()->save();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!saved64);
        QCOMPARE(m_app.m_messages.count(), size_t(1));
        QVERIFY(m_app.m_messages.texts()[0].starts_with(kCouldNotSave + m_path.toStdString() + ": "));
        QCOMPARE(readFileBytes(m_path.toStdString()), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".full")),
                 QStringList());
        QCOMPARE(indicator(), QStringLiteral("Modified")); // the edits are still there to save elsewhere

        // A damaged archive: saving over it would lose what could not be read, so Save offers Save As.
        RawArchive raw;
        raw.folder(0, "DATA", 88).end(44).file(88, "A.TXT", 1, 0).record(132, "ODD", 7, 0, 0).size(176);
        writeFileBytes(m_dir->filePath("damaged.dir").toStdString(), raw.str());
        m_path = m_dir->filePath("damaged.dir");
        m_answers = {QMessageBox::Discard};
        m_app.m_app->setOpenFileChooser([this](QWidget*) { return m_path; });
        frame()->command(MainFrame::kIdFileOpen)->trigger();
        m_app.select({"DATA"});
        selectRow("A.TXT");
        QTest::keyClick(list(), Qt::Key_Delete);
        m_asked.clear();
        m_answers = {QMessageBox::No};
        QVERIFY(!edits()->save());
        QCOMPARE(m_asked, QStringList{QString::fromLatin1(kEditSaveDamaged).arg("damaged.dir")});
        QCOMPARE(readFileBytes(m_path.toStdString()), raw.str());
    }

    // New Archive starts empty and unsaved; Save asks where, and the archive is what was put in it.
    void newArchiveIsSavedWhereTheUserSays() {
        QVERIFY(open(smallArchive()));
        action("ID_FILE_NEW_ARCHIVE")->trigger();
        QCOMPARE(rows(tree()->model()), QStringList({"UNTITLED"}));
        QCOMPARE(names(), QStringList());
        frame()->setActiveView(tree());
        action("ID_EDIT_NEW_FOLDER")->trigger();
        QVERIFY(typeName(tree(), QStringLiteral("MAPS")));
        m_app.select({"MAPS"});
        QVERIFY(edits()->addPaths(tree()->selectedFolder(), {file(QStringLiteral("M.MAP"), "map")}));
        m_chosen = {m_dir->filePath("new.dir")};
        QTest::keyClick(list(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(archiveFile(m_dir->filePath("new.dir")), QStringList({"MAPS/", "MAPS/M.MAP=map"}));
        QCOMPARE(m_app.m_app->document()->pathName(), m_dir->filePath("new.dir"));
        QCOMPARE(m_asked, QStringList());
        // An empty archive opened from a file still shows an empty tree.
        QVERIFY(open({}, QStringLiteral("empty.dir")));
        QCOMPARE(rows(tree()->model()), QStringList());
    }
};

QTEST_MAIN(EditWindowTest)
#include "EditWindowTest.moc"
