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

static const std::vector<std::string> kCannotOpen{kErrorOpeningFile};

static std::string Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

// A window geometry as QWidget::saveGeometry stores it (version 3), of a window at `rect`, not maximised.
static QByteArray StoredGeometry(qint32 x1, qint32 y1, qint32 x2, qint32 y2) {
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
    std::optional<QTemporaryDir> m_Dir, m_Runtime;
    CTestApp m_App;
    // Both models of the window are checked through every step the tests take.
    std::unique_ptr<QAbstractItemModelTester> m_pTreeTester, m_pListTester;
    QList<QUrl> m_Opened; // what the window asked the desktop to open

    bool StartApp() {
        m_App.m_Messages.Clear();
        if (!m_App.Start())
            return false;
        RecordOpened();
        const auto mode = QAbstractItemModelTester::FailureReportingMode::QtTest;
        m_pTreeTester = std::make_unique<QAbstractItemModelTester>(Tree()->model(), mode);
        m_pListTester = std::make_unique<QAbstractItemModelTester>(List()->model(), mode);
        return QTest::qWaitForWindowExposed(Frame());
    }
    void StopApp() {
        m_pTreeTester.reset();
        m_pListTester.reset();
        m_App.m_pApp.reset();
    }
    // Closes the window as the user would and starts the program again on the settings it left; `between`
    // runs while no program is running.
    bool Restart(const std::function<void()>& between = {}) {
        const bool closed = Frame()->close();
        StopApp();
        if (between)
            between();
        return closed && StartApp();
    }

    CMainFrame* Frame() { return m_App.Frame(); }
    CDirView* Tree() { return m_App.Tree(); }
    CFilesView* List() { return m_App.List(); }
    QStringList ListRows() { return Rows(List()->model()); }
    void Select(const QStringList& labels) { m_App.Select(labels); }
    // Opens through File, Open; true when the window now shows `path`.
    bool OpenFromMenu(const QString& path) {
        m_App.m_pApp->SetOpenFileChooser([path](QWidget*) { return path; });
        Frame()->Command(CMainFrame::ID_FILE_OPEN)->trigger();
        return m_App.m_pApp->GetDocument()->GetPathName() == path;
    }
    bool OpenMaps() { return OpenFromMenu(WriteArchive(*m_Dir, "Maps.dir", MapsArchive())); }
    // DATA lists SUB, then TEXT.TXT, PIC.PNG, BIN.DAT and BIG.TXT.
    bool OpenEntries() {
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        return OpenFromMenu(WriteArchive(
            *m_Dir, "test.dir",
            {Folder("DATA", {Folder("SUB", {File("INNER.TXT", "inner")}),
                             File("TEXT.TXT", "caf\xE9\r\nline 2"), File("PIC.PNG", Encoded(image, "PNG")),
                             File("BIN.DAT", std::string("\x01\x02\x00zz", 5)),
                             File("BIG.TXT", std::string(CEntryPeek::kMaxBytes + 10, 'x'))})}));
    }
    EntryCommands* Actions() { return Frame()->entryCommands(); }
    // Nothing is launched from here: what the window hands to a program is kept in m_Opened.
    void RecordOpened() {
        Actions()->setOpener([this](const QUrl& url) {
            m_Opened << url;
            return true;
        });
    }
    // Shows folder DATA and makes `row` of the list current.
    void ShowData(int row) {
        Select({"DATA"});
        List()->setCurrentIndex(List()->model()->index(row, 0));
    }
    QString PropertiesValue(const std::function<void()>& run, const QString& label) {
        QString value;
        WithModal<CPropertiesDlg>(run, [&](CPropertiesDlg& dlg) { value = dlg.Value(label); });
        return value;
    }
    QStringList Names() { return ListRows().replaceInStrings(QRegularExpression("\\|.*"), QString()); }
    void ClickHeader(int column) {
        QHeaderView* header = List()->header();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    void SelectRows(const QStringList& names) {
        List()->clearSelection();
        for (const QString& name : names)
            List()->selectionModel()->select(List()->model()->index(int(Names().indexOf(name)), 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

private slots:
    void init() {
        m_Dir.emplace();
        m_Runtime.emplace();
        qputenv("XDG_RUNTIME_DIR", "/" + QFile::encodeName(m_Runtime->path()));
        UseEmptySettings();
        m_Opened.clear();
        QVERIFY(StartApp());
    }
    // No box is left open, and with the program gone so is every file it staged: no private folder is left in
    // the runtime folder.
    void cleanup() {
        QVERIFY(!QApplication::activeModalWidget());
        StopApp();
        QCOMPARE(QDir(m_Runtime->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
    }

    void openingStagesTheEntryOrSaysWhyNotAndFolderRowsNavigate() {
        QVERIFY(OpenEntries());
        ShowData(1);
        QTest::keyClick(List(), Qt::Key_Return);
        QCOMPARE(m_Opened.size(), 1);
        // XDG_RUNTIME_DIR is given as `//tmp/...`, which in a URL would name the host "tmp".
        QVERIFY2(m_Opened[0].host().isEmpty(), qPrintable(m_Opened[0].toString()));
        const QString staged = m_Opened[0].toLocalFile();
        QCOMPARE(QFileInfo(staged).fileName(), QStringLiteral("TEXT.TXT"));
        QCOMPARE(ReadFileBytes(staged.toStdString()), std::string("caf\xE9\r\nline 2"));
        // Each opening gets a fresh folder, so the file another program holds is never replaced.
        DoubleClickRow(List(), 1);
        QCOMPARE(m_Opened.size(), 2);
        QVERIFY(m_Opened[1] != m_Opened[0]);
        QCOMPARE(m_App.m_Messages.Count(), size_t(0));

        // A file no program takes is named as the archive shows it, with the reason; so is one whose program
        // fails. The default opener is xdg-open, here a stand-in that ends as xdg-open does.
        const std::string failed = std::string(kCouldNotOpenFile) + "DATA/TEXT.TXT:\n\n";
        QTemporaryDir bin;
        const auto restore = qScopeGuard([path = qgetenv("PATH")] { qputenv("PATH", path); });
        qputenv("PATH", QFile::encodeName(bin.path()) + ":" + qgetenv("PATH"));
        Actions()->setOpener({});
        for (const auto& [status, text] :
             {std::pair{3, failed + kNoAssociatedApplication}, {4, failed + kOpenerFailed}}) {
            QVERIFY(WriteScript(bin.filePath("xdg-open"),
                                "test -f \"$1\" && exit " + QByteArray::number(status)));
            m_App.m_Messages.Clear();
            QTest::keyClick(List(), Qt::Key_Return);
            QTRY_COMPARE(m_App.m_Messages.Texts(), std::vector<std::string>{text});
        }
        RecordOpened();

        // Enter on a folder row opens it; Backspace and Alt+Up go back up, the folder left stays current.
        ShowData(0);
        QTest::keyClick(List(), Qt::Key_Enter);
        QCOMPARE(Rows(List()->model()), QStringList{"INNER.TXT|0KB|"});
        QTest::keyClick(List(), Qt::Key_Backspace);
        QCOMPARE(List()->currentIndex().data().toString(), QStringLiteral("SUB"));
        QTest::keyClick(List(), Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(Rows(List()->model()), QStringList{"DATA||File Folder"});
        QCOMPARE(m_Opened.size(), 2);
    }

    void previewIsOffUntilTurnedOnAndShowsEachKind() {
        QVERIFY(OpenEntries());
        CPreviewPane* pane = Frame()->preview()->pane();
        QVERIFY(pane->isHidden());
        QVERIFY(!Frame()->preview()->action()->isChecked());
        Frame()->activateWindow();
        QTest::keyClick(Frame(), Qt::Key_F3);
        QVERIFY(pane->isVisible());
        QVERIFY(QSettings().value(PreviewController::kPreviewKey).toBool());

        ShowData(1);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Text);
        QCOMPARE(pane->Text(), QStringLiteral("caf\u00e9\nline 2"));
        ShowData(2);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Image);
        QCOMPARE(pane->Note(), QStringLiteral("3 x 2 pixels"));
        ShowData(3);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Hex);
        QVERIFY(pane->HexView()->RowText(0).startsWith(QStringLiteral("00000000  01 02 00 7a 7a")));
        QVERIFY(pane->HexView()->RowText(0).endsWith(QStringLiteral("|...zz|")));
        ShowData(4);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Text);
        QTRY_COMPARE(pane->Text().count(QLatin1Char('x')), qsizetype(CEntryPeek::kMaxBytes));
        QVERIFY(pane->Note().startsWith(QStringLiteral("Only the first")));
        ShowData(0); // a folder row
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Empty);

        QTest::keyClick(Frame(), Qt::Key_F3);
        QVERIFY(pane->isHidden());
    }

    // Pictures are read and decoded on a pool of threads, at the size shown and within the pixel budget: the
    // window answers keys meanwhile, and a picture decoded for a row left behind is not shown.
    void previewDecodesPicturesBesideTheWindow() {
        QImage wide(3000, 1000, QImage::Format_Mono), huge(5700, 5700, QImage::Format_Mono);
        wide.fill(1);
        huge.fill(0);
        QVERIFY(OpenFromMenu(
            WriteArchive(*m_Dir, "pictures.dir",
                         {File("WIDE.PNG", Encoded(wide, "PNG")), File("TEXT.TXT", "text"),
                          File("HUGE.BMP", Encoded(huge, "BMP")), File("HUGE.PNG", Encoded(huge, "PNG"))})));
        Select({});
        Frame()->preview()->action()->setChecked(true);
        CPreviewPane* pane = Frame()->preview()->pane();
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
        List()->setFocus();
        List()->setCurrentIndex(List()->model()->index(0, 0));
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Image);
        QCOMPARE(pane->Note(), QStringLiteral("3000 x 1000 pixels"));
        QVERIFY(pane->Image().isNull());
        QTest::keyClick(List(), Qt::Key_Down);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Text);
        held.release(pool->maxThreadCount());
        pool->waitForDone();
        QTest::qWait(20);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Text);

        QTest::keyClick(List(), Qt::Key_Up);
        QTRY_VERIFY(showsAt(pane->Image()));
        QVERIFY(pane->Image().width() < wide.width());
        // Past the budget, a BMP would be decoded whole: it is refused. A PNG decodes at the size shown.
        QTest::keyClick(List(), Qt::Key_End);
        QTest::keyClick(List(), Qt::Key_Up);
        QCOMPARE(pane->Kind(), CPreviewPane::EKind::Message);
        QCOMPARE(pane->Note(), kPreviewTooLarge + QStringLiteral("5700 x 5700 pixels."));
        QTest::keyClick(List(), Qt::Key_Down);
        QTRY_VERIFY(showsAt(pane->Image()));
        QVERIFY(CPreviewPane::DecodeSize(huge.size(), {}).width() <= 4096);
    }

    void dragOutOffersWhatWasExtracted() {
        QVERIFY(OpenEntries());
        ShowData(1);
        List()->selectionModel()->select(List()->model()->index(0, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // Each offered path, read as a file manager would while the drop happens.
        std::vector<std::string> dropped;
        List()->setDragger([&dropped](QWidget*, QMimeData* data) {
            for (const QUrl& url : data->urls()) {
                const QFileInfo info(url.toLocalFile());
                const QString file = info.isDir() ? info.filePath() + "/INNER.TXT" : info.filePath();
                dropped.push_back(ReadFileBytes(file.toStdString()));
            }
            delete data;
            return Qt::CopyAction;
        });
        QWidget* viewport = List()->viewport();
        const QPoint at = List()->visualRect(List()->currentIndex()).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(1, 0)); // the view takes up the drag, then starts it
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 5, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        // The folder row comes with everything below it, the file as itself.
        QCOMPARE(dropped, (std::vector<std::string>{"inner", "caf\xE9\r\nline 2"}));
    }

    // A context menu over no row leaves Properties (menu and Alt+Enter) to follow the selection.
    void propertiesContextMenuAndCopyPath() {
        QVERIFY(OpenEntries());
        Select({"DATA"});
        QAction* properties = Frame()->findChild<QAction*>(QStringLiteral("ID_ENTRY_PROPERTIES"));
        QVERIFY(!std::unique_ptr<QMenu>(Actions()->contextMenu(List()))->isEmpty());
        QVERIFY(!properties->isEnabled());
        List()->setCurrentIndex(List()->model()->index(1, 0));
        QVERIFY(properties->isEnabled());
        Frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Frame()));
        QCOMPARE(PropertiesValue([&] { QTest::keyClick(List(), Qt::Key_Return, Qt::AltModifier); }, "Size"),
                 QStringLiteral("12 bytes (0KB)"));
        QCOMPARE(PropertiesValue([&] { Actions()->showProperties(); }, "Path"),
                 QStringLiteral("DATA/TEXT.TXT"));
        Frame()->SetActiveView(Tree());
        QCOMPARE(PropertiesValue([&] { Actions()->showProperties(); }, "Contains"),
                 QStringLiteral("1 folder, 5 files"));
        Actions()->copyPath();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("DATA/"));
    }

    // Extract follows the active pane's selection; the tree drives the list, and a folder row double-clicked
    // selects that very folder in the tree.
    void openedArchiveIsShownEachPaneDrivesTheOtherAndExtractFollowsTheActivePane() {
        QVERIFY(OpenMaps());
        // The tree's top item counts as a selection, an empty list does not.
        QAction* extract = Frame()->Command(CMainFrame::ID_FILE_EXTRACT);
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
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("7 folders, 9 files"));
        Select({"OTHER"});
        DoubleClickRow(List(), 0);
        QCOMPARE(Tree()->GetSelectedItem(), TreeItem(Tree()->model(), {"OTHER", "MAPS"}));
        QCOMPARE(ListRows(), (QStringList{"INNER||File Folder", QString::fromUtf8("\u20AC.MAP|0KB|")}));
        Select({}); // from the top item down two levels
        DoubleClickRow(List(), 0);
        DoubleClickRow(List(), 0);
        QCOMPARE(Tree()->GetSelectedItem(), TreeItem(Tree()->model(), {"DATA", "MAPS"}));
        QCOMPARE(ListRows(), QStringList{"M1.MAP|0KB|"});
    }

    void anotherArchiveOpenedOrDroppedReplacesTheFirst() {
        QVERIFY(OpenMaps());
        Select({"DATA"});
        QVERIFY(OpenFromMenu(WriteArchive(*m_Dir, "second.dir", {Folder("SECOND", {Folder("DEEPER")})})));
        QCOMPARE(Rows(Tree()->model()), QStringList{"SECOND.DIR"});
        QCOMPARE(Rows(Tree()->model(), TreeItem(Tree()->model(), {})), QStringList{"SECOND"});
        QVERIFY(Tree()->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(ListRows(), QStringList());
        // What cannot be opened leaves the archive as it was.
        Select({"SECOND"});
        QVERIFY(!OpenFromMenu(m_Dir->path()));
        QCOMPARE(m_App.m_Messages.Texts(), kCannotOpen);
        QCOMPARE(ListRows(), QStringList{"DEEPER||File Folder"});

        // Dropping archive files on the window opens the first, as File, Open does.
        const QString maps = m_Dir->filePath("Maps.dir");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(maps), QUrl::fromLocalFile(m_Dir->filePath("second.dir"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Frame(), &drop);
        QCOMPARE(m_App.m_pApp->GetDocument()->GetPathName(), maps);
        QCOMPARE(m_App.m_pApp->GetRecentFiles()[0], maps);
    }

    void damagedArchiveIsToldInStatusBarUnderThePrompts() {
        // A folder DATA whose list holds a file and a record of unknown type (7), and runs off the end.
        CRawArchive raw;
        raw.Folder(0, "DATA", 88).End(44).File(88, "A.TXT", 1, 0).Record(132, "ODD", 7, 0, 0).Size(176);
        WriteFileBytes(m_Dir->filePath("damaged.dir").toStdString(), raw.Str());
        QVERIFY(OpenFromMenu(m_Dir->filePath("damaged.dir")));
        const QString summary =
            QStringLiteral("Damaged archive: 1 record of unknown type skipped; 1 list cut "
                           "short by the end of the file (1 folder, 1 file read).");
        QCOMPARE(Frame()->GetMessageText(), summary);
        // Qt highlights no greyed item by itself: their prompts must reach the status bar all the same. The
        // summary stays the idle text once a prompt has come and gone.
        QAction* undo = Frame()->Command(CMainFrame::ID_EDIT_UNDO);
        QMenu* edit = Frame()->findChild<QMenu*>(QStringLiteral("EditMenu"));
        QVERIFY(!undo->isEnabled());
        edit->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        QTest::mouseMove(edit, edit->actionGeometry(undo).center());
        QTRY_COMPARE(Frame()->GetMessageText(), undo->statusTip());
        edit->hide();
        QTRY_COMPARE(Frame()->GetMessageText(), summary);
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
        QCOMPARE(ListRows(), QStringList{"A.TXT|0KB|"}); // what could be read is shown
        // A file that ends inside a record (a short text, say) still opens, with what little could be read.
        WriteFileBytes(m_Dir->filePath("text.dir").toStdString(), "Not an archive, 30 bytes long.");
        QVERIFY(OpenFromMenu(m_Dir->filePath("text.dir")));
        QCOMPARE(Frame()->GetMessageText(),
                 QStringLiteral("Damaged archive: 1 list%1 (0 folders, 0 files read).")
                     .arg(QString::fromLatin1(kListsCutInsideRecord)));
        QVERIFY(OpenFromMenu(WriteArchive(*m_Dir, "empty.dir", {}))); // an empty file is an empty archive
        QCOMPARE(Rows(Tree()->model()), QStringList());
        QCOMPARE(Frame()->GetMessageText(), QStringLiteral("0 folders, 0 files"));
    }

    void headerClicksSortAndStatusBarTotalsTheSelection() {
        QVERIFY(OpenMaps());
        Select({"DATA"});
        const QStringList archiveOrder = Names();
        SelectRows({QStringLiteral("MEG")});
        ClickHeader(0);
        const QStringList byName = {"DAT", "MAPS", "MAPS2", "ALMOST", "EMPTY", "MEG", "ONE"};
        QCOMPARE(Names(), byName);
        QCOMPARE(List()->GetSelection().m_Files.size(), size_t(1)); // the selection follows its row
        QCOMPARE(std::string(List()->GetSelection().m_Files[0]->GetName()), std::string("MEG"));
        Select({"DATA", "MAPS"}); // a sort holds for every folder shown until changed
        Select({"DATA"});
        QCOMPARE(Names(), byName);
        ClickHeader(0);
        QCOMPARE(Names(), QStringList({"MAPS2", "MAPS", "DAT", "ONE", "MEG", "EMPTY", "ALMOST"}));
        ClickHeader(0);
        QCOMPARE(Names(), archiveOrder);
        ClickHeader(1); // by bytes, not by the text shown: ALMOST and EMPTY both show 0KB
        ClickHeader(1);
        QCOMPARE(Names().mid(3), QStringList({"MEG", "ONE", "ALMOST", "EMPTY"}));
        ClickHeader(1);
        QCOMPARE(Names(), archiveOrder);

        // While rows are selected the status bar totals them; cleared, the archive's summary comes back.
        List()->clearSelection();
        auto pane = [this] { return Frame()->findChild<QLabel*>(QStringLiteral("Ready"))->text(); };
        const QString idle = pane();
        QVERIFY2(idle.contains(QStringLiteral("files")), qPrintable(idle));
        SelectRows({QStringLiteral("ONE"), QStringLiteral("MEG")});
        QCOMPARE(pane(), QStringLiteral("2 items, 1.0 MiB"));
        SelectRows({QStringLiteral("MAPS")}); // a folder counts what lies below it
        QCOMPARE(pane(), QStringLiteral("1 item, 1 byte"));
        List()->clearSelection();
        QCOMPARE(pane(), idle);
    }

    void findListsMatchesAndShowsThemWhereTheyLie() {
        QVERIFY(OpenMaps());
        Select({"DATA"});
        Frame()->Command(CMainFrame::ID_EDIT_FIND)->trigger();
        CFindBar* bar = Frame()->GetFindBar();
        QVERIFY(bar->isVisible());
        QTest::keyClicks(bar->Edit(), QStringLiteral("2"));
        QTRY_COMPARE(Rows(List()->model()),
                     QStringList({"MAPS2||File Folder|\\DATA", "M2.MAP|0KB||\\DATA\\MAPS2"}));
        bar->Edit()->setText(QStringLiteral("*.map"));
        QTRY_COMPARE(Names(), QStringList({"M1.MAP", "M2.MAP", "\u20AC.MAP"}));
        List()->setCurrentIndex(List()->model()->index(2, 0));
        QTest::keyClick(bar->Edit(), Qt::Key_Return);
        QCOMPARE(Tree()->SelectedFolder()->GetPath(), std::string("\\OTHER\\MAPS"));
        QCOMPARE(Names(), QStringList({"INNER", "\u20AC.MAP"}));
        QCOMPARE(List()->GetSelectedRowNumbers(), std::vector<int>{1});
        // Typing again lists matches again; Esc closes the bar and the tree's folder comes back.
        bar->Edit()->setText(QStringLiteral("maps"));
        QTRY_COMPARE(Names(), QStringList({"MAPS", "MAPS2", "MAPS"}));
        QTest::keyClick(List(), Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QCOMPARE(Names(), QStringList({"INNER", "\u20AC.MAP"}));
        // In the list itself, a double-click or Enter on a match shows it where it lies and launches nothing.
        for (const std::string where : {"\\DATA\\MAPS2", "\\DATA\\MAPS"}) {
            Frame()->Command(CMainFrame::ID_EDIT_FIND)->trigger();
            bar->Edit()->clear();
            bar->Edit()->setText(QStringLiteral("*.map"));
            QTRY_COMPARE(Names(), QStringList({"M1.MAP", "M2.MAP", "\u20AC.MAP"}));
            if (where.ends_with('2')) {
                DoubleClickRow(List(), 1);
            } else {
                List()->setCurrentIndex(List()->model()->index(0, 0));
                QTest::keyClick(List(), Qt::Key_Return);
            }
            QCOMPARE(Tree()->SelectedFolder()->GetPath(), where);
        }
        QVERIFY(m_Opened.isEmpty());
    }

    void encodingRedecodesEverythingAndIsStored() {
        QVERIFY(OpenMaps());
        Select({"OTHER", "MAPS"});
        CEncodingMenu* menu = Frame()->GetEncodingMenu();
        menu->findChild<QAction*>(QStringLiteral("CP437"))->trigger();
        QCOMPARE(Names(), QStringList({"INNER", "\u00C7.MAP"})); // byte 0x80 in code page 437
        QCOMPARE(Tree()->SelectedFolder()->GetPath(), std::string("\\OTHER\\MAPS"));
        QCOMPARE(CEncodingMenu::Stored(), QStringLiteral("CP437"));
        menu->m_fnAskName = [](QWidget*, const QString&) { return QStringLiteral("NO-SUCH-PAGE"); };
        menu->findChild<QAction*>(QStringLiteral("OtherEncoding"))->trigger();
        QCOMPARE(m_App.m_Messages.Texts().back(), kUnknownEncoding + std::string("NO-SUCH-PAGE"));
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("CP437"))->isChecked());
        menu->findChild<QAction*>(QStringLiteral("WINDOWS-1252"))->trigger();
        QCOMPARE(Names(), QStringList({"INNER", "\u20AC.MAP"}));
    }

    void recentFilesSurviveRestartsAndDropOneThatCannotBeOpened() {
        QStringList paths;
        for (const char* name : {"a", "b", "c", "d", "e&f", "c"}) // c again: to the front, listed once
            paths << WriteArchive(*m_Dir, name, {Folder(name)});
        QVERIFY(Restart([] { QSettings().setValue("Settings/ExtractDir", "/tmp/x y/"); }));
        QCOMPARE(m_App.m_pApp->m_strExtractDir, QStringLiteral("/tmp/x y/"));
        for (const QString& path : paths)
            QVERIFY(m_App.m_pApp->OpenDocumentFile(path));
        Frame()->resize(700, 450); // the window's layout is kept too
        QVERIFY(Restart([&] { QVERIFY(QFile::remove(paths[1])); }));
        QCOMPARE(Frame()->size(), QSize(700, 450));
        QStringList menu; // the recent files as the File menu shows them
        for (QAction* action : Frame()->RecentFileActions())
            menu << (Frame()->GetFileMenu()->actions().contains(action) ? action->text() : QString());
        QCOMPARE(menu, (QStringList{"&1 " + paths[2], "&2 " + QString(paths[4]).replace("&", "&&"),
                                    "&3 " + paths[3], "&4 " + paths[1]}));
        Frame()->RecentFileActions().at(2)->trigger(); // opens that archive and brings it to the front
        Frame()->RecentFileActions().at(3)->trigger(); // now gone: a message, and it goes
        QCOMPARE(m_App.m_Messages.Texts(), kCannotOpen);
        QCOMPARE(Frame()->RecentFileActions().size(), 3);
        QVERIFY(Restart());
        QCOMPARE(m_App.m_pApp->GetRecentFiles().Files(), (QStringList{paths[3], paths[2], paths[4]}));
    }

    // Only the size, place, maximised state, split and columns are kept: the toolbar comes back docked at the
    // top and shown. A stored rectangle that is tiny, far off or huge gives a window whole on a screen.
    void layoutKeepsGeometrySplitAndColumnsOnly() {
        Frame()->addToolBar(Qt::LeftToolBarArea, Frame()->GetToolBar());
        Frame()->Command(CMainFrame::ID_VIEW_TOOLBAR)->trigger();
        QVERIFY(Frame()->GetToolBar()->isHidden());
        List()->header()->resizeSection(0, 210);
        Frame()->showMaximized();
        QVERIFY(Restart());
        QToolBar* bar = Frame()->GetToolBar();
        QVERIFY(!bar->isHidden() && Frame()->Command(CMainFrame::ID_VIEW_TOOLBAR)->isChecked());
        QCOMPARE(Frame()->toolBarArea(bar), Qt::TopToolBarArea);
        QCOMPARE(List()->header()->sectionSize(0), 210);
        QVERIFY(Frame()->windowState() & Qt::WindowMaximized);

        const qint32 far = 2000000000;
        for (const QByteArray& stored :
             {StoredGeometry(5000, 5000, 5000, 5000), StoredGeometry(-far, -far, far, far),
              StoredGeometry(far, -far, far + 10, -far + 10), StoredGeometry(-far, far - 5, 100, far)}) {
            QVERIFY(Restart([&] { QSettings().setValue("window/geometry", stored); }));
            QVERIFY2(Frame()->screen()->availableGeometry().contains(Frame()->frameGeometry()),
                     qPrintable(QDebug::toString(Frame()->frameGeometry())));
        }
        // On a screen bigger than this one: a window that fits stays as it was, one on a monitor now gone
        // moves whole onto the screen.
        const QList<QRect> screens = {QRect(0, 0, 1920, 1080)};
        QCOMPARE(CWindowState::OnScreen(QRect(100, 80, 800, 600), screens), QRect(100, 80, 800, 600));
        const QRect moved = CWindowState::OnScreen(QRect(2500, 100, 800, 600), screens);
        QVERIFY(screens[0].contains(moved) && moved.size() == QSize(800, 600));
    }

    void commandLineArchiveThatCannotBeOpenedEndsStartUp() {
        CTestApp failed;
        QVERIFY(!failed.Start({m_Dir->filePath("nowhere.dir")}));
        QCOMPARE(failed.m_Messages.Texts(), kCannotOpen);
        QVERIFY(!failed.Frame() || !failed.Frame()->isVisible());
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
        CMessageBoxSink sink;
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
            sink.Report({kCouldNotMakeDirectory, "<h1>BIG", ".", true});
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
