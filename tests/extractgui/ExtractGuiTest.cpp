// Extraction in the desktop program, driven as a person would: the Extract and Options dialogs, both Extract
// commands, and the job behind them. Every modal window is answered by the test.

#include <QtTest>
#include <QtWidgets>

#include "catalogue/PackFile.h"
#include "dialogs/FolderDialog.h"
#include "jobs/ExtractCommand.h"
#include "platform/MessageTexts.h"
#include "tests/gui/AppTestSupport.h"
#include "views/FindBar.h"

using namespace vorpex;

namespace {

using Strings = std::vector<std::string>;
using Action = std::function<void(QWidget*)>; // answers one modal window without blocking

// Clicks the child of `w` named `name`, or else its visible button with that text, once the action returns.
void click(QWidget* w, const QString& name) {
    auto* b = w->findChild<QAbstractButton*>(name);
    for (QAbstractButton* each : w->findChildren<QAbstractButton*>())
        b = b ? b : (each->text() == name && each->isVisible() ? each : nullptr);
    QVERIFY(b || !w->close()); // no such button: close the window, so the test fails rather than hangs
    QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

// Answers a folder dialog or the replace question: notes the text it shows, types `text` in the folder
// dialog (unless null), presses `button`.
Action press(const QString& button, const QString& text = QString(), QString* pShown = nullptr) {
    return [=](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("IDC_FOLDER"));
        if (pShown)
            *pShown = edit ? edit->text() : qobject_cast<QMessageBox*>(w)->text();
        if (!text.isNull())
            edit->setText(text);
        click(w, button);
    };
}

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// Clicks the folder `name` in the chooser's list, once the list shows it, then Select.
Action highlight(const QString& name) {
    return [=](QWidget* w) {
        auto* view = w->findChild<QListView*>(QStringLiteral("listView"));
        const auto* model = qobject_cast<QFileSystemModel*>(view->model());
        QModelIndex index;
        QVERIFY(QTest::qWaitFor([&] {
            index = model->index(QDir::current().filePath(name));
            return view->visualRect(index).isValid();
        }));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        click(w, QStringLiteral("Select"));
    };
}

QString statusText(const char* text, uint64_t files, uint64_t bytes, const std::string& folder) {
    return QString::fromLatin1(text).arg(files == 1 ? QString::fromLatin1(kOneFile)
                                                    : QString::fromLatin1(kFiles).arg(files),
                                         FilesView::sizeText(bytes), q(folder));
}

} // namespace

class ExtractGuiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> m_temp;
    TestApp m_app;
    TestSink& m_sink = m_app.m_messages;
    // Each window that becomes the active modal one (again, after a nested one closed) gets the next action.
    // A window that appears when none is left is closed and noted, so no test hangs on a forgotten box.
    QList<Action> m_script;
    QPointer<QWidget> m_last;
    bool m_unexpected = false;
    QTimer m_poll;

    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        // A dialog that opened one of its own (Browse's chooser) waits until that one is gone.
        if (!w || !w->isVisible() || w == m_last || w->findChildren<QDialog*>().size() > 0)
            return;
        m_last = w;
        m_unexpected = m_unexpected || m_script.empty();
        m_script.empty() ? (void)QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection)
                         : m_script.takeFirst()(w);
    }
    void then(std::initializer_list<Action> actions) { m_script << QList<Action>(actions); }
    bool done() const { return m_script.empty() && !m_unexpected; }

    void start(const std::vector<Node>& top) {
        writeFileBytes(*m_temp / "game.pak", buildArchive(top));
        QVERIFY(m_app.start({q(*m_temp / "game.pak")}));
    }
    DirView* tree() const { return m_app.tree(); }
    std::string dest(const char* name) const {
        return QDir().mkpath(q(*m_temp / name)) ? *m_temp / name : "";
    }
    // Extract on `pane`, from the menu or with Ctrl+E.
    void runExtract(PaneView* pane, bool key = false) {
        m_app.frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_app.frame()));
        m_app.frame()->setActiveView(pane);
        if (key)
            QTest::keyClick(pane, Qt::Key_E, Qt::ControlModifier);
        else
            m_app.frame()->command(MainFrame::kIdFileExtract)->trigger();
    }
    // The tree's Extract of `folder` into `dest` (the dialog prefilled with it), each piece copied slowly.
    bool runJob(const char* folder, const std::string& dest, ExtractResult* pResult, int msPerPiece = 50) {
        const VorpexDoc* doc = m_app.m_app->document();
        ExtractCommand::Context context(doc->m_packFile.get(), &doc->codec(), &m_sink, q(dest),
                                        m_app.frame());
        context.m_progressHook = [msPerPiece](const Progress&) { QThread::msleep(msPerPiece); };
        const Selection selection{
            {tree()->getModel()->folder(treeItem(tree()->model(), {folder}))}, {}, false};
        return ExtractCommand::run(
            ExtractCommand::From::Tree, context, [=] { return selection; }, pResult);
    }

private slots:
    void initTestCase() {
        connect(&m_poll, &QTimer::timeout, this, &ExtractGuiTest::poll);
        m_poll.start(5);
    }
    void init() {
        m_temp = std::make_unique<TempDir>();
        m_sink.clear();
        m_sink.m_whileOpen = nullptr;
        m_script.clear();
        m_unexpected = false;
        useEmptySettings();
    }
    void cleanup() { m_app.m_app.reset(); }

    // Two folders named X: each pane extracts the one selected in it. The tree's top item is everything.
    void eachPaneExtractsExactlyItsSelectionAlsoWithCtrlE() {
        start({fileNode("LOOSE.TXT"), folderNode("A", {folderNode("X", {fileNode("A.TXT")})}),
               folderNode("B", {folderNode("X", {fileNode("B.TXT"), folderNode("BS")}),
                                folderNode("XX", {fileNode("XX")})})});
        then({press("IDOK", q(dest("tree"))), press("IDOK", q(dest("list"))), press("IDOK", q(dest("all")))});
        m_app.select({"B", "X"});
        runExtract(tree(), true);
        m_app.select({"A"});
        m_app.list()->setCurrentIndex(m_app.list()->model()->index(0, 0));
        runExtract(m_app.list(), true);
        m_app.select({});
        runExtract(tree());
        QVERIFY(done());
        QCOMPARE(listTree(*m_temp / "tree"), Strings({"X/", "X/B.TXT", "X/BS/"}));
        QCOMPARE(listTree(*m_temp / "list"), Strings({"X/", "X/A.TXT"}));
        QCOMPARE(listTree(*m_temp / "all"), Strings({"A/", "A/X/", "A/X/A.TXT", "B/", "B/X/", "B/X/B.TXT",
                                                     "B/X/BS/", "B/XX/", "B/XX/XX", "LOOSE.TXT"}));
        QCOMPARE(m_sink.count(), size_t(0));
    }

    void destinationMessagesAndTheStoredDefault() {
        start({folderNode("DATA", {fileNode("D", "d")})});
        m_app.select({"DATA"});
        m_app.list()->selectAll();
        const std::string missing = *m_temp / "missing", file = *m_temp / "game.pak";
        then({press("IDOK", q(missing)), press("IDOK", q(missing)), press("IDOK", q(file)),
              press("IDOK", "")});
        for (int i = 0; i < 4; ++i)
            runExtract(i % 2 ? static_cast<PaneView*>(m_app.list()) : tree());
        QCOMPARE(m_sink.texts(),
                 Strings({kCouldNotChangeToDirectory + missing, kCouldNotCreateDirectory + missing,
                          kCouldNotChangeToDirectory + file, kCouldNotCreateDirectory}));
        QCOMPARE(listTree(m_temp->path()), Strings({"game.pak"}));

        // A relative destination is taken from the current directory; Cancel writes and shows nothing.
        const auto restore = qScopeGuard([cwd = QDir::currentPath()] { QDir::setCurrent(cwd); });
        QDir::setCurrent(q(dest("base/rel") + "/.."));
        then({press("IDOK", "rel"), press("IDCANCEL", "rel")});
        runExtract(tree());
        runExtract(m_app.list());
        QCOMPARE(listTree(*m_temp / "base"), Strings({"rel/", "rel/DATA/", "rel/DATA/D"}));
        QCOMPARE(m_sink.count(), size_t(4)); // no more than the four above

        // Options stores the default at once, Extract starts from it and never stores.
        QSettings settings(VorpexApp::kCompany, VorpexApp::kAppName);
        auto options = [&](const Action& answer) { // the stored default after Options
            then({answer});
            m_app.frame()->command(MainFrame::kIdViewOptions)->trigger();
            return settings.value("Settings/ExtractDir");
        };
        const std::string dest = this->dest("default");
        QVERIFY(!options(press("IDCANCEL", "/typed")).isValid()); // Cancel writes nothing, not even ""
        QCOMPARE(options(press("IDOK", q(dest))), QVariant(q(dest)));
        QString shown1, shown2;
        // Neither OK on another folder nor Cancel in the Extract dialog stores anything.
        then({press("IDOK", q(this->dest("other")), &shown1), press("IDCANCEL", "/x", &shown2)});
        runExtract(m_app.list());
        runExtract(tree());
        QCOMPARE(QStringList({shown1, shown2, settings.value("Settings/ExtractDir").toString(),
                              m_app.m_app->m_extractDir}),
                 QStringList(4, q(dest)));
        QCOMPARE(listTree(*m_temp / "other"), Strings({"D"}));
        QVERIFY(done());
    }

    // Matches of a search from many folders land below their folders' paths, where names cannot meet; the
    // status bar then tells what was written, and where.
    void findMatchesExtractUnderTheirFoldersAndTheStatusBarTells() {
        start({fileNode("X.PNG", "t"),
               folderNode("A", {fileNode("X.PNG", "a"), folderNode("S", {fileNode("X.PNG", "s")})}),
               folderNode("B", {fileNode("X.PNG", "bb"), fileNode("Y.TXT", "y")})});
        m_app.select({});
        m_app.frame()->command(MainFrame::kIdEditFind)->trigger();
        m_app.frame()->findBar()->edit()->setText(QStringLiteral("*.png"));
        QTRY_COMPARE(m_app.list()->model()->rowCount(), 4);
        m_app.list()->selectAll();
        const std::string dest = this->dest("found");
        then({press("IDOK", q(dest))});
        runExtract(m_app.list());
        QVERIFY(done());
        QCOMPARE(snapshot(dest),
                 Strings({"A/", "A/S/", "A/S/X.PNG=s", "A/X.PNG=a", "B/", "B/X.PNG=bb", "X.PNG=t"}));
        QCOMPARE(m_sink.count(), size_t(0));
        QCOMPARE(m_app.frame()->messageText(), statusText(kExtractedTo, 4, 5, dest));
    }

    // Files that stood in the destination are replaced only as the user answers, asked file by file, the
    // "All" answers holding for the rest; Cancel keeps what was written before it, as the status bar tells.
    void replacingAFileIsAskedFirst() {
        start({folderNode("D", {fileNode("N", "n"), fileNode("A", "a"), fileNode("B", "b"),
                                fileNode("C", "c"), fileNode("E", "e")})});
        m_app.select({"D"});
        m_app.list()->selectAll();
        std::vector<std::string> dests;
        for (const char* name : {"answered", "skipped", "cancelled"}) {
            dests.push_back(dest(name));
            for (const char* file : {"A", "B", "C", "E"})
                writeFileBytes(dests.back() + "/" + file, "old");
        }
        QString question;
        then({press("IDOK", q(dests[0])), press(kReplace, {}, &question), press(kSkip), press(kReplaceAll),
              press("IDOK", q(dests[1])), press(kSkipAll), press("IDOK", q(dests[2])), press(kReplace),
              press(kCancelText)});
        for (int run = 0; run < 3; ++run)
            runExtract(m_app.list());
        QVERIFY(done());
        QCOMPARE(question, QString::fromLatin1(kReplaceExistingFile).arg("D/A"));
        QCOMPARE(snapshot(dests[0]), Strings({"A=a", "B=old", "C=c", "E=e", "N=n"}));
        QCOMPARE(snapshot(dests[1]), Strings({"A=old", "B=old", "C=old", "E=old", "N=n"}));
        QCOMPARE(snapshot(dests[2]), Strings({"A=a", "B=old", "C=old", "E=old", "N=n"}));
        QCOMPARE(m_app.frame()->messageText(), statusText(kCancelledAfter, 2, 2, dests[2]));
        QCOMPARE(m_sink.count(), size_t(0));
    }

    // Select answers the folder highlighted in the list, else the folder shown.
    void chooserSelectsTheHighlightedFolderElseTheOneShown() {
        const std::string base = dest("base"), sub = dest("base/sub");
        const auto restore = qScopeGuard([cwd = QDir::currentPath()] { QDir::setCurrent(cwd); });
        QStringList chosen;
        for (const Action& answer : {highlight(QStringLiteral("sub")), press("Select")}) {
            QDir::setCurrent(q(base));
            QString folder;
            then({answer});
            FolderDialog(&folder).exec();
            chosen << folder << QDir::currentPath();
        }
        QVERIFY(done());
        QCOMPARE(chosen, QStringList({q(sub), q(sub), q(base), q(base)}));
    }

    void progressWindowCancelsTheJob() {
        // Ten files of three pieces each, slowed down to about a second and a half in all.
        const size_t size = 3 * EntryWriter::kChunk - 100;
        std::vector<Node> files;
        for (int i = 0; i < 10; ++i)
            files.push_back(fileNode("F" + std::to_string(i), std::string(size, 'f')));
        start({folderNode("BIG", files)});
        QString label;
        // The window stays responsive: the progress dialog is answered and its Cancel pressed meanwhile.
        then({press("IDOK"), [&](QWidget* w) {
                  QTimer::singleShot(300, w, [&label, w] {
                      label = w->findChild<QLabel*>()->text();
                      click(w, "Cancel");
                  });
              }});
        ExtractResult result;
        const std::string dest = this->dest("out");
        QVERIFY(runJob("BIG", dest, &result) && done() && result.m_cancelled);
        QVERIFY2(label.contains(" of 10 files"), qPrintable(label));
        // Only what was written whole is left: no temporary of the file in hand.
        const size_t left = listTree(dest).size();
        QVERIFY(left >= 2 && left < 11);
        QCOMPARE(result.m_filesWritten, uint64_t(left - 1));
    }

    // The first message shows at once, on this thread, while the extraction goes on behind it; the others
    // come together at the end, counted, in order. Quitting while the first is open stops the worker and
    // shows nothing more.
    void firstMessageAtOnceTheRestTogetherAtTheEndAndQuitStops() {
        std::vector<Node> files = {fileNode("..", "x"), fileNode("ONE", "1"), fileNode("a\\b", "y"),
                                   fileNode(".", "z")};
        for (int i = 0; i < 5; ++i)
            files.push_back(fileNode("F" + std::to_string(i), std::string(EntryWriter::kChunk, 'f')));
        start({folderNode("DATA", files)});
        for (const bool quit : {false, true}) {
            m_sink.clear();
            const std::string dest = this->dest(quit ? "quit" : "all");
            Strings whileOpen; // what the worker had written by the time the first box was closed
            bool offThread = false;
            m_sink.m_whileOpen = [&] {
                offThread = offThread || QThread::currentThread() != qApp->thread();
                if (m_sink.count() > 1)
                    return;
                if (quit)
                    QCoreApplication::quit();
                else
                    (void)QTest::qWaitFor([&] { return listTree(dest).size() == 7; }, 10000);
                whileOpen = listTree(dest);
            };
            then({press("IDOK")});
            ExtractResult result;
            // Inside the application's own event loop, which is what quitting ends.
            QTimer::singleShot(0, [&] {
                runJob("DATA", dest, &result, quit ? 50 : 0); // quick enough to need no progress dialog
                QCoreApplication::exit(0);
            });
            QCoreApplication::exec();
            QVERIFY(!offThread && !QApplication::overrideCursor());
            QVERIFY(done());
            QCOMPARE(result.m_cancelled, quit);
            if (quit) {
                QCOMPARE(m_sink.texts(), Strings{kSkippedUnsafeName + std::string("..")});
                QVERIFY(listTree(dest).size() < 7);
            } else {
                QCOMPARE(whileOpen.size(), size_t(7)); // DATA/, ONE and the five big files
                QCOMPARE(m_sink.texts(),
                         Strings({kSkippedUnsafeName + std::string(".."),
                                  QString::fromLatin1(kMoreMessages).arg(2).toStdString() + "\n" +
                                      kSkippedUnsafeName + "a\\b\n" + kSkippedUnsafeName + "."}));
            }
        }
    }
};

QTEST_MAIN(ExtractGuiTest)
#include "ExtractGuiTest.moc"
