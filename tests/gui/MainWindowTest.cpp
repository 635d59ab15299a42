// The real main window: opening entries, the preview pane, dragging out, properties and the context menu; its
// commands, status bar and panes; archives opened and browsed in it, the list sorted, names found across the
// archive, the code page; the window kept on screen. Start-up: settings, recent files across restarts, the
// command line; and the message box messages end in.
#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSemaphore>
#include <QStatusBar>
#include <QThreadPool>
#include <QToolBar>
#include <optional>
#include <thread>

#include "app/EncodingMenu.h"
#include "app/EntryCommands.h"
#include "app/PreviewController.h"
#include "app/WindowState.h"
#include "catalogue/EntryPeek.h"
#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"
#include "tests/gui/AppTestSupport.h"
#include "views/FindBar.h"
#include "views/HexView.h"
#include "views/PreviewPane.h"
#include "views/PropertiesDlg.h"

using namespace vorpex;

static const std::vector<std::string> kCannotOpen{kErrorOpeningFile};

static std::string encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// A window geometry as QWidget::saveGeometry stores it (version 3), of a window at `rect`, not maximised.
static QByteArray storedGeometry(qint32 x1, qint32 y1, qint32 x2, qint32 y2) {
    QByteArray blob;
    QDataStream out(&blob, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_0);
    out << quint32(0x1D9D0CB) << quint16(3) << quint16(0) << x1 << y1 << x2 << y2 << x1 << y1 << x2 << y2
        << qint32(0) << quint8(0) << quint8(0) << qint32(800) << x1 << y1 << x2 << y2;
    return blob;
}

class MainWindowTest : public QObject {
    Q_OBJECT

    // Each test starts on a fresh window, empty settings, its own folder and an empty runtime folder (where
    // the private folder goes), so that nothing one test leaves behind reaches the next.
    std::optional<QTemporaryDir> m_dir, m_runtime;
    TestApp m_app;
    // Both models of the window are checked through every step the tests take.
    std::unique_ptr<QAbstractItemModelTester> m_treeTester, m_listTester;
    QList<QUrl> m_opened; // what the window asked the desktop to open

    bool startApp() {
        m_app.m_messages.clear();
        if (!m_app.start())
            return false;
        recordOpened();
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        m_treeTester = std::make_unique<QAbstractItemModelTester>(tree()->model(), mode);
        m_listTester = std::make_unique<QAbstractItemModelTester>(list()->model(), mode);
        return QTest::qWaitForWindowExposed(frame());
    }
    void stopApp() {
        m_treeTester.reset();
        m_listTester.reset();
        m_app.m_app.reset();
    }
    // Closes the window as the user would and starts the program again on the settings it left; `between`
    // runs while no program is running.
    bool restart(const std::function<void()>& between = {}) {
        const bool closed = frame()->close();
        stopApp();
        if (between)
            between();
        return closed && startApp();
    }

    MainFrame* frame() { return m_app.frame(); }
    DirView* tree() { return m_app.tree(); }
    FilesView* list() { return m_app.list(); }
    QStringList listRows() { return rows(list()->model()); }
    void select(const QStringList& labels) { m_app.select(labels); }
    // Opens through File, Open; true when the window now shows `path`.
    bool openFromMenu(const QString& path) {
        m_app.m_app->setOpenFileChooser([path](QWidget*) { return path; });
        frame()->command(MainFrame::kIdFileOpen)->trigger();
        return m_app.m_app->document()->pathName() == path;
    }
    bool openMaps() { return openFromMenu(writeArchive(*m_dir, "Maps.dir", mapsArchive())); }
    // DATA lists SUB, then TEXT.TXT, PIC.PNG, BIN.DAT and BIG.TXT.
    bool openEntries() {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        return openFromMenu(writeArchive(
            *m_dir, "test.dir",
            {folderNode("DATA", {folderNode("SUB", {fileNode("INNER.TXT", "inner")}),
                                 fileNode("TEXT.TXT", "caf\xE9\r\nline 2"),
                                 fileNode("PIC.PNG", encoded(image, "PNG")),
                                 fileNode("BIN.DAT", std::string("\x01\x02\x00zz", 5)),
                                 fileNode("BIG.TXT", std::string(EntryPeek::kMaxBytes + 10, 'x'))})}));
    }
    EntryCommands* actions() { return frame()->entryCommands(); }
    // Nothing is launched from here: what the window hands to a program is kept in m_opened.
    void recordOpened() {
        actions()->setOpener([this](const QUrl& url) {
            m_opened << url;
            return true;
        });
    }
    // Shows folder DATA and makes `row` of the list current.
    void showData(int row) {
        select({"DATA"});
        list()->setCurrentIndex(list()->model()->index(row, 0));
    }
    QString propertiesValue(const std::function<void()>& run, const QString& label) {
        QString value;
        withModal<PropertiesDlg>(run, [&](PropertiesDlg& dlg) { value = dlg.value(label); });
        return value;
    }
    QStringList names() { return listRows().replaceInStrings(QRegularExpression("\\|.*"), QString()); }
    void clickHeader(int column) {
        QHeaderView* header = list()->header();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    void selectRows(const QStringList& names) {
        list()->clearSelection();
        for (const QString& name : names)
            list()->selectionModel()->select(list()->model()->index(int(this->names().indexOf(name)), 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void init() {
        freshFolders(m_dir, m_runtime);
        m_opened.clear();
        QVERIFY(startApp());
    }
    // No box is left open, and with the program gone so is every file it staged: no private folder is left in
    // the runtime folder.
    void cleanup() {
        QVERIFY(!QApplication::activeModalWidget());
        stopApp();
        QCOMPARE(QDir(m_runtime->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void openingStagesTheEntryOrSaysWhyNotAndFolderRowsNavigate() {
        QVERIFY(openEntries());
        showData(1);
        QTest::keyClick(list(), Qt::Key_Return);
        QCOMPARE(m_opened.size(), 1);
        // XDG_RUNTIME_DIR is given as `//tmp/...`, which in a URL would name the host "tmp".
        QVERIFY2(m_opened[0].host().isEmpty(), qPrintable(m_opened[0].toString()));
        const QString staged = m_opened[0].toLocalFile();
        QCOMPARE(QFileInfo(staged).fileName(), QStringLiteral("TEXT.TXT"));
        QCOMPARE(readFileBytes(staged.toStdString()), std::string("caf\xE9\r\nline 2"));
        // Each opening gets a fresh folder, so the file another program holds is never replaced.
        doubleClickRow(list(), 1);
        QCOMPARE(m_opened.size(), 2);
        QVERIFY(m_opened[1] != m_opened[0]);
        QCOMPARE(m_app.m_messages.count(), size_t(0));

        // A file no program takes is named as the archive shows it, with the reason; so is one whose program
        // fails. The default opener is xdg-open, here a stand-in that ends as xdg-open does.
        const std::string failed = std::string(kCouldNotOpenFile) + "DATA/TEXT.TXT:\n\n";
        QTemporaryDir bin;
        const auto restore = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + qgetenv("PATH"));
        actions()->setOpener({});
        for (const auto& [status, text] :
             {std::pair{3, failed + kNoAssociatedApplication}, {4, failed + kOpenerFailed}}) {
            QVERIFY(writeScript(bin.filePath("xdg-open"),
                                "test -f \"$1\" && exit " + QByteArray::number(status)));
            m_app.m_messages.clear();
            QTest::keyClick(list(), Qt::Key_Return);
            QTRY_COMPARE(m_app.m_messages.texts(), std::vector<std::string>{text});
        }
        recordOpened();

        // Enter on a folder row opens it; Backspace and Alt+Up go back up, the folder left stays current.
        showData(0);
        QTest::keyClick(list(), Qt::Key_Enter);
        QCOMPARE(rows(list()->model()), QStringList{"INNER.TXT|0KB|"});
        QTest::keyClick(list(), Qt::Key_Backspace);
        QCOMPARE(list()->currentIndex().data().toString(), QStringLiteral("SUB"));
        QTest::keyClick(list(), Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(rows(list()->model()), QStringList{"DATA||File Folder"});
        QCOMPARE(m_opened.size(), 2);
    }

    void previewIsOffUntilTurnedOnAndShowsEachKind() {
        QVERIFY(openEntries());
        PreviewPane* pane = frame()->preview()->pane();
        QVERIFY(pane->isHidden());
        QVERIFY(!frame()->preview()->action()->isChecked());
        frame()->activateWindow();
        QTest::keyClick(frame(), Qt::Key_F3);
        QVERIFY(pane->isVisible());
        QVERIFY(QSettings().value(PreviewController::kPreviewKey).toBool());

        showData(1);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Text);
        QCOMPARE(pane->text(), QStringLiteral("caf\u00e9\nline 2"));
        showData(2);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Image);
        QCOMPARE(pane->note(), QStringLiteral("3 x 2 pixels"));
        showData(3);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Hex);
        QVERIFY(pane->hexView()->rowText(0).startsWith(QStringLiteral("00000000  01 02 00 7a 7a")));
        QVERIFY(pane->hexView()->rowText(0).endsWith(QStringLiteral("|...zz|")));
        showData(4);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Text);
        QTRY_COMPARE(pane->text().count(QLatin1Char('x')), qsizetype(EntryPeek::kMaxBytes));
        QVERIFY(pane->note().startsWith(QStringLiteral("Only the first")));
        showData(0); // a folder row
        QCOMPARE(pane->kind(), PreviewPane::Kind::Empty);

        QTest::keyClick(frame(), Qt::Key_F3);
        QVERIFY(pane->isHidden());
    }

    // Pictures are read and decoded on a pool of threads, at the size shown and within the pixel budget: the
    // window answers keys meanwhile, and a picture decoded for a row left behind is not shown.
    void previewDecodesPicturesBesideTheWindow() {
        QImage wide(3000, 1000, QImage::Format_Mono), huge(5700, 5700, QImage::Format_Mono);
        wide.fill(1);
        huge.fill(0);
        QVERIFY(openFromMenu(writeArchive(
            *m_dir, "pictures.dir",
            {fileNode("WIDE.PNG", encoded(wide, "PNG")), fileNode("TEXT.TXT", "text"),
             fileNode("HUGE.BMP", encoded(huge, "BMP")), fileNode("HUGE.PNG", encoded(huge, "PNG"))})));
        select({});
        frame()->preview()->action()->setChecked(true);
        PreviewPane* pane = frame()->preview()->pane();
        const auto room = [pane] { return pane->findChild<QLabel*>(QStringLiteral("PreviewImage"))->size(); };
        const auto showsAt = [&](const QImage& image) {
            return !image.isNull() && QRect({}, room()).contains(QRect({}, image.size()));
        };

        // While every worker of its pool is held, no picture can be decoded.
        QThreadPool* pool = pane->findChild<QThreadPool*>();
        QVERIFY(pool);
        QSemaphore held;
        const auto release = qScopeGuard([&] {
            held.release(pool->maxThreadCount());
            pool->waitForDone();
        });
        for (int i = 0; i < pool->maxThreadCount(); ++i)
            pool->start([&held] { held.acquire(); });
        list()->setFocus();
        list()->setCurrentIndex(list()->model()->index(0, 0));
        QCOMPARE(pane->kind(), PreviewPane::Kind::Image);
        QCOMPARE(pane->note(), QStringLiteral("3000 x 1000 pixels"));
        QVERIFY(pane->image().isNull());
        QTest::keyClick(list(), Qt::Key_Down);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Text);
        held.release(pool->maxThreadCount());
        pool->waitForDone();
        QTest::qWait(20);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Text);

        QTest::keyClick(list(), Qt::Key_Up);
        QTRY_VERIFY(showsAt(pane->image()));
        QVERIFY(pane->image().width() < wide.width());
        // Past the budget, a BMP would be decoded whole: it is refused. A PNG decodes at the size shown.
        QTest::keyClick(list(), Qt::Key_End);
        QTest::keyClick(list(), Qt::Key_Up);
        QCOMPARE(pane->kind(), PreviewPane::Kind::Message);
        QCOMPARE(pane->note(), kPreviewTooLarge + QStringLiteral("5700 x 5700 pixels."));
        QTest::keyClick(list(), Qt::Key_Down);
        QTRY_VERIFY(showsAt(pane->image()));
        QVERIFY(PreviewPane::decodeSize(huge.size(), {}).width() <= 4096);
    }

    void dragOutOffersWhatWasExtracted() {
        QVERIFY(openEntries());
        showData(1);
        list()->selectionModel()->select(list()->model()->index(0, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Each offered path, read as a file manager would while the drop happens.
        std::vector<std::string> dropped;
        list()->setDragger([&dropped](QWidget*, QMimeData* data) {
            for (const QUrl& url : data->urls()) {
                const QFileInfo info(url.toLocalFile());
                const QString file = info.isDir() ? info.filePath() + "/INNER.TXT" : info.filePath();
                dropped.push_back(readFileBytes(file.toStdString()));
            }
            delete data;
            return Qt::CopyAction;
        });
        QWidget* viewport = list()->viewport();
        const QPoint at = list()->visualRect(list()->currentIndex()).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(1, 0)); // the view takes up the drag, then starts it
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 5, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        // The folder row comes with everything below it, the file as itself.
        QCOMPARE(dropped, (std::vector<std::string>{"inner", "caf\xE9\r\nline 2"}));
    }

    // A context menu over no row leaves Properties (menu and Alt+Enter) to follow the selection.
    void propertiesContextMenuAndCopyPath() {
        QVERIFY(openEntries());
        select({"DATA"});
        QAction* properties = frame()->findChild<QAction*>(QStringLiteral("ID_ENTRY_PROPERTIES"));
        QVERIFY(!std::unique_ptr<QMenu>(actions()->contextMenu(list()))->isEmpty());
        QVERIFY(!properties->isEnabled());
        list()->setCurrentIndex(list()->model()->index(1, 0));
        QVERIFY(properties->isEnabled());
        frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame()));
        QCOMPARE(propertiesValue([&] { QTest::keyClick(list(), Qt::Key_Return, Qt::AltModifier); }, "Size"),
                 QStringLiteral("12 bytes (0KB)"));
        QCOMPARE(propertiesValue([&] { actions()->showProperties(); }, "Path"),
                 QStringLiteral("DATA/TEXT.TXT"));
        frame()->setActiveView(tree());
        QCOMPARE(propertiesValue([&] { actions()->showProperties(); }, "Contains"),
                 QStringLiteral("1 folder, 5 files"));
        actions()->copyPath();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("DATA/"));
    }

    // Extract follows the active pane's selection; the tree drives the list, and a folder row double-clicked
    // selects that very folder in the tree.
    void openedArchiveIsShownEachPaneDrivesTheOtherAndExtractFollowsTheActivePane() {
        QVERIFY(openMaps());
        // The tree's top item counts as a selection, an empty list does not.
        QAction* extract = frame()->command(MainFrame::kIdFileExtract);
        frame()->setActiveView(tree());
        QVERIFY(!extract->isEnabled());
        select({});
        QVERIFY(extract->isEnabled());
        frame()->setActiveView(list());
        QVERIFY(!extract->isEnabled());
        list()->setCurrentIndex(list()->model()->index(0, 0));
        QVERIFY(extract->isEnabled());
        select({"DATA", "MAPS"}); // a new folder listed: nothing selected in it
        QVERIFY(!extract->isEnabled());
        QCOMPARE(frame()->messageText(), QStringLiteral("7 folders, 9 files"));
        select({"OTHER"});
        doubleClickRow(list(), 0);
        QCOMPARE(tree()->selectedItem(), treeItem(tree()->model(), {"OTHER", "MAPS"}));
        QCOMPARE(listRows(), (QStringList{"INNER||File Folder", QString::fromUtf8("\u20AC.MAP|0KB|")}));
        select({}); // from the top item down two levels
        doubleClickRow(list(), 0);
        doubleClickRow(list(), 0);
        QCOMPARE(tree()->selectedItem(), treeItem(tree()->model(), {"DATA", "MAPS"}));
        QCOMPARE(listRows(), QStringList{"M1.MAP|0KB|"});
    }

    void anotherArchiveOpenedOrDroppedReplacesTheFirst() {
        QVERIFY(openMaps());
        select({"DATA"});
        QVERIFY(
            openFromMenu(writeArchive(*m_dir, "second.dir", {folderNode("SECOND", {folderNode("DEEPER")})})));
        QCOMPARE(rows(tree()->model()), QStringList{"SECOND.DIR"});
        QCOMPARE(rows(tree()->model(), treeItem(tree()->model(), {})), QStringList{"SECOND"});
        QVERIFY(tree()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(listRows(), QStringList());
        // What cannot be opened leaves the archive as it was.
        select({"SECOND"});
        QVERIFY(!openFromMenu(m_dir->path()));
        QCOMPARE(m_app.m_messages.texts(), kCannotOpen);
        QCOMPARE(listRows(), QStringList{"DEEPER||File Folder"});

        // Dropping archive files on the window opens the first, as File, Open does.
        const QString maps = m_dir->filePath("Maps.dir");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(maps), QUrl::fromLocalFile(m_dir->filePath("second.dir"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(frame(), &drop);
        QCOMPARE(m_app.m_app->document()->pathName(), maps);
        QCOMPARE(m_app.m_app->recentFiles()[0], maps);
    }

    void damagedArchiveIsToldInStatusBarUnderThePrompts() {
        // A folder DATA whose list holds a file and a record of unknown type (7), and runs off the end.
        RawArchive raw;
        raw.folder(0, "DATA", 88).end(44).file(88, "A.TXT", 1, 0).record(132, "ODD", 7, 0, 0).size(176);
        writeFileBytes(m_dir->filePath("damaged.dir").toStdString(), raw.str());
        QVERIFY(openFromMenu(m_dir->filePath("damaged.dir")));
        const QString summary =
            QStringLiteral("Damaged archive: 1 record of unknown type skipped; 1 list cut "
                           "short by the end of the file (1 folder, 1 file read).");
        QCOMPARE(frame()->messageText(), summary);
        // Qt highlights no greyed item by itself: their prompts must reach the status bar all the same. The
        // summary stays the idle text once a prompt has come and gone.
        QAction* undo = frame()->command(MainFrame::kIdEditUndo);
        QMenu* edit = frame()->findChild<QMenu*>(QStringLiteral("EditMenu"));
        QVERIFY(!undo->isEnabled());
        edit->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        QTest::mouseMove(edit, edit->actionGeometry(undo).center());
        QTRY_COMPARE(frame()->messageText(), undo->statusTip());
        edit->hide();
        QTRY_COMPARE(frame()->messageText(), summary);
        // Cut short when the bar is too narrow, it is whole in the tooltip.
        auto* idle = frame()->statusBar()->findChild<QLabel*>(QStringLiteral("Ready"));
        const QSize size = frame()->size();
        frame()->resize(300, size.height());
        QTRY_VERIFY(idle->text().size() < summary.size());
        QVERIFY(idle->text().endsWith(QChar(0x2026)) && idle->toolTip() == summary);
        frame()->resize(1600, size.height());
        QTRY_COMPARE(idle->text(), summary);
        QVERIFY(idle->toolTip().isEmpty());
        frame()->resize(size);
        select({"DATA"});
        QCOMPARE(listRows(), QStringList{"A.TXT|0KB|"}); // what could be read is shown
        // A file that ends inside a record (a short text, say) still opens, with what little could be read.
        writeFileBytes(m_dir->filePath("text.dir").toStdString(), "Not an archive, 30 bytes long.");
        QVERIFY(openFromMenu(m_dir->filePath("text.dir")));
        QCOMPARE(frame()->messageText(),
                 QStringLiteral("Damaged archive: 1 list%1 (0 folders, 0 files read).")
                     .arg(QString::fromLatin1(kListsCutInsideRecord)));
        QVERIFY(openFromMenu(writeArchive(*m_dir, "empty.dir", {}))); // an empty file is an empty archive
        QCOMPARE(rows(tree()->model()), QStringList());
        QCOMPARE(frame()->messageText(), QStringLiteral("0 folders, 0 files"));
    }

    void headerClicksSortAndStatusBarTotalsTheSelection() {
        QVERIFY(openMaps());
        select({"DATA"});
        const QStringList archiveOrder = names();
        selectRows({QStringLiteral("MEG")});
        clickHeader(0);
        const QStringList byName = {"DAT", "MAPS", "MAPS2", "ALMOST", "EMPTY", "MEG", "ONE"};
        QCOMPARE(names(), byName);
        QCOMPARE(list()->selection().m_files.size(), size_t(1)); // the selection follows its row
        QCOMPARE(std::string(list()->selection().m_files[0]->name()), std::string("MEG"));
        select({"DATA", "MAPS"}); // a sort holds for every folder shown until changed
        select({"DATA"});
        QCOMPARE(names(), byName);
        clickHeader(0);
        QCOMPARE(names(), QStringList({"MAPS2", "MAPS", "DAT", "ONE", "MEG", "EMPTY", "ALMOST"}));
        clickHeader(0);
        QCOMPARE(names(), archiveOrder);
        clickHeader(1); // by bytes, not by the text shown: ALMOST and EMPTY both show 0KB
        clickHeader(1);
        QCOMPARE(names().mid(3), QStringList({"MEG", "ONE", "ALMOST", "EMPTY"}));
        clickHeader(1);
        QCOMPARE(names(), archiveOrder);

        // While rows are selected the status bar totals them; cleared, the archive's summary comes back.
        list()->clearSelection();
        auto pane = [this] { return frame()->findChild<QLabel*>(QStringLiteral("Ready"))->text(); };
        const QString idle = pane();
        QVERIFY2(idle.contains(QStringLiteral("files")), qPrintable(idle));
        selectRows({QStringLiteral("ONE"), QStringLiteral("MEG")});
        QCOMPARE(pane(), QStringLiteral("2 items, 1.0 MiB"));
        selectRows({QStringLiteral("MAPS")}); // a folder counts what lies below it
        QCOMPARE(pane(), QStringLiteral("1 item, 1 byte"));
        list()->clearSelection();
        QCOMPARE(pane(), idle);
    }

    void findListsMatchesAndShowsThemWhereTheyLie() {
        QVERIFY(openMaps());
        select({"DATA"});
        frame()->command(MainFrame::kIdEditFind)->trigger();
        FindBar* bar = frame()->findBar();
        QVERIFY(bar->isVisible());
        QTest::keyClicks(bar->edit(), QStringLiteral("2"));
        QTRY_COMPARE(rows(list()->model()),
                     QStringList({"MAPS2||File Folder|\\DATA", "M2.MAP|0KB||\\DATA\\MAPS2"}));
        bar->edit()->setText(QStringLiteral("*.map"));
        QTRY_COMPARE(names(), QStringList({"M1.MAP", "M2.MAP", "\u20AC.MAP"}));
        list()->setCurrentIndex(list()->model()->index(2, 0));
        QTest::keyClick(bar->edit(), Qt::Key_Return);
        QCOMPARE(tree()->selectedFolder()->path(), std::string("\\OTHER\\MAPS"));
        QCOMPARE(names(), QStringList({"INNER", "\u20AC.MAP"}));
        QCOMPARE(list()->selectedRowNumbers(), std::vector<int>{1});
        // Typing again lists matches again; Esc closes the bar and the tree's folder comes back.
        bar->edit()->setText(QStringLiteral("maps"));
        QTRY_COMPARE(names(), QStringList({"MAPS", "MAPS2", "MAPS"}));
        QTest::keyClick(list(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QCOMPARE(names(), QStringList({"INNER", "\u20AC.MAP"}));
        // In the list itself, a double-click or Enter on a match shows it where it lies and launches nothing.
        for (const std::string where : {"\\DATA\\MAPS2", "\\DATA\\MAPS"}) {
            frame()->command(MainFrame::kIdEditFind)->trigger();
            bar->edit()->clear();
            bar->edit()->setText(QStringLiteral("*.map"));
            QTRY_COMPARE(names(), QStringList({"M1.MAP", "M2.MAP", "\u20AC.MAP"}));
            if (where.ends_with('2')) {
                doubleClickRow(list(), 1);
            } else {
                list()->setCurrentIndex(list()->model()->index(0, 0));
                QTest::keyClick(list(), Qt::Key_Return);
            }
            QCOMPARE(tree()->selectedFolder()->path(), where);
        }
        QVERIFY(m_opened.isEmpty());
    }

    void encodingRedecodesEverythingAndIsStored() {
        QVERIFY(openMaps());
        select({"OTHER", "MAPS"});
        EncodingMenu* menu = frame()->encodingMenu();
        menu->findChild<QAction*>(QStringLiteral("CP437"))->trigger();
        QCOMPARE(names(), QStringList({"INNER", "\u00C7.MAP"})); // byte 0x80 in code page 437
        QCOMPARE(tree()->selectedFolder()->path(), std::string("\\OTHER\\MAPS"));
        QCOMPARE(EncodingMenu::stored(), QStringLiteral("CP437"));
        menu->m_askName = [](QWidget*, const QString&) { return QStringLiteral("NO-SUCH-PAGE"); };
        menu->findChild<QAction*>(QStringLiteral("OtherEncoding"))->trigger();
        QCOMPARE(m_app.m_messages.texts().back(), kUnknownEncoding + std::string("NO-SUCH-PAGE"));
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("CP437"))->isChecked());
        menu->findChild<QAction*>(QStringLiteral("WINDOWS-1252"))->trigger();
        QCOMPARE(names(), QStringList({"INNER", "\u20AC.MAP"}));
    }

    void recentFilesSurviveRestartsAndDropOneThatCannotBeOpened() {
        QStringList paths;
        for (const char* name : {"a", "b", "c", "d", "e&f", "c"}) // c again: to the front, listed once
            paths << writeArchive(*m_dir, name, {folderNode(name)});
        QVERIFY(restart([] { QSettings().setValue("Settings/ExtractDir", "/tmp/x y/"); }));
        QCOMPARE(m_app.m_app->m_extractDir, QStringLiteral("/tmp/x y/"));
        for (const QString& path : paths)
            QVERIFY(m_app.m_app->openDocumentFile(path));
        frame()->resize(700, 450); // the window's layout is kept too
        QVERIFY(restart([&] { QVERIFY(QFile::remove(paths[1])); }));
        QCOMPARE(frame()->size(), QSize(700, 450));
        QStringList menu; // the recent files as the File menu shows them
        for (QAction* action : frame()->recentFileActions())
            menu << (frame()->fileMenu()->actions().contains(action) ? action->text() : QString());
        QCOMPARE(menu, (QStringList{"&1 " + paths[2], "&2 " + QString(paths[4]).replace("&", "&&"),
                                    "&3 " + paths[3], "&4 " + paths[1]}));
        frame()->recentFileActions().at(2)->trigger(); // opens that archive and brings it to the front
        frame()->recentFileActions().at(3)->trigger(); // now gone: a message, and it goes
        QCOMPARE(m_app.m_messages.texts(), kCannotOpen);
        QCOMPARE(frame()->recentFileActions().size(), 3);
        QVERIFY(restart());
        QCOMPARE(m_app.m_app->recentFiles().files(), (QStringList{paths[3], paths[2], paths[4]}));
    }

    // Only the size, place, maximised state, split and columns are kept: the toolbar comes back docked at the
    // top and shown. A stored rectangle that is tiny, far off or huge gives a window whole on a screen.
    void layoutKeepsGeometrySplitAndColumnsOnly() {
        frame()->addToolBar(Qt::LeftToolBarArea, frame()->toolBar());
        frame()->command(MainFrame::kIdViewToolbar)->trigger();
        QVERIFY(frame()->toolBar()->isHidden());
        list()->header()->resizeSection(0, 210);
        frame()->showMaximized();
        QVERIFY(restart());
        QToolBar* bar = frame()->toolBar();
        QVERIFY(!bar->isHidden() && frame()->command(MainFrame::kIdViewToolbar)->isChecked());
        QCOMPARE(frame()->toolBarArea(bar), Qt::TopToolBarArea);
        QCOMPARE(list()->header()->sectionSize(0), 210);
        QVERIFY(frame()->windowState() & Qt::WindowMaximized);

        const qint32 far = 2000000000;
        for (const QByteArray& stored :
             {storedGeometry(5000, 5000, 5000, 5000), storedGeometry(-far, -far, far, far),
              storedGeometry(far, -far, far + 10, -far + 10), storedGeometry(-far, far - 5, 100, far)}) {
            QVERIFY(restart([&] { QSettings().setValue("window/geometry", stored); }));
            QVERIFY2(frame()->screen()->availableGeometry().contains(frame()->frameGeometry()),
                     qPrintable(QDebug::toString(frame()->frameGeometry())));
        }
        // On a screen bigger than this one: a window that fits stays as it was, one on a monitor now gone
        // moves whole onto the screen.
        const QList<QRect> screens = {QRect(0, 0, 1920, 1080)};
        QCOMPARE(WindowState::onScreen(QRect(100, 80, 800, 600), screens), QRect(100, 80, 800, 600));
        const QRect moved = WindowState::onScreen(QRect(2500, 100, 800, 600), screens);
        QVERIFY(screens[0].contains(moved) && moved.size() == QSize(800, 600));
    }

    void commandLineArchiveThatCannotBeOpenedEndsStartUp() {
        TestApp failed;
        QVERIFY(!failed.start({m_dir->filePath("nowhere.dir")}));
        QCOMPARE(failed.m_messages.texts(), kCannotOpen);
        QVERIFY(!failed.frame() || !failed.frame()->isVisible());
    }

    // Over ssh there is no display: the program answers --help and --version, and refuses a second
    // ARCHIVE, without one.
    void helpAndVersionNeedNoDisplay() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        for (const auto& [args, status, start] :
             std::vector<std::tuple<QStringList, int, QString>>{{{"--help"}, 0, "Usage: "},
                                                                {{"--version"}, 0, "Vorpex "},
                                                                {{"a.dir", "b.dir"}, 2, "vorpex: "}}) {
            QProcess vorpex;
            vorpex.setProcessEnvironment(env);
            vorpex.start(QStringLiteral(VORPEX_PATH), args);
            QVERIFY(vorpex.waitForFinished(30000));
            QCOMPARE(vorpex.exitStatus(), QProcess::NormalExit);
            QCOMPARE(vorpex.exitCode(), status);
            const QByteArray said = status ? vorpex.readAllStandardError() : vorpex.readAllStandardOutput();
            QVERIFY2(QString::fromLocal8Bit(said).startsWith(start), said.constData());
        }
    }

    // The worker goes on at once; the box comes up on the window's thread, plain text whatever the name
    // holds.
    void messageBoxFromAWorkerDoesNotHoldItUp() {
        MessageBoxSink sink;
        std::atomic<bool> returned = false;
        QString seen;
        QTimer poll; // closes the box with OK once it is up, noting what it showed
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->windowTitle() + "|" + box->text() + (returned ? "|returned" : "|waiting") +
                       (box->textFormat() == Qt::PlainText ? "|plain" : "|rich");
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(10);
        std::thread worker([&] {
            sink.report({kCouldNotMakeDirectory, "<h1>BIG", ".", true});
            returned = true;
        });
        QTRY_VERIFY(returned);
        worker.join();
        QTRY_VERIFY(!seen.isEmpty());
        QCOMPARE(seen, QStringLiteral("%1|%2<h1>BIG.|returned|plain").arg(kCaption, kCouldNotMakeDirectory));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
