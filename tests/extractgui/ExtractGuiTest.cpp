// Extraction in the desktop program, driven as a person would: the Extract and Options dialogs, both Extract
// commands, and the job behind them. Every modal window is answered by the test.

#include <QtTest>
#include <QtWidgets>

#include "catalogue/PackFile.h"
#include "jobs/ExtractCommand.h"
#include "dialogs/FolderDialog.h"
#include "platform/MessageTexts.h"
#include "tests/gui/AppTestSupport.h"
#include "views/FindBar.h"

namespace {

using Strings = std::vector<std::string>;
using Action = std::function<void(QWidget*)>; // answers one modal window without blocking

// Clicks the child of `w` named `name`, or else its visible button with that text, once the action returns.
void Click(QWidget* w, const QString& name) {
    auto* b = w->findChild<QAbstractButton*>(name);
    for (QAbstractButton* each : w->findChildren<QAbstractButton*>())
        b = b ? b : (each->text() == name && each->isVisible() ? each : nullptr);
    QVERIFY(b || !w->close()); // no such button: close the window, so the test fails rather than hangs
    QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
}

// Answers a folder dialog or the replace question: notes the text it shows, types `text` in the folder
// dialog (unless null), presses `button`.
Action Press(const QString& button, const QString& text = QString(), QString* pShown = nullptr) {
    return [=](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("IDC_FOLDER"));
        if (pShown)
            *pShown = edit ? edit->text() : qobject_cast<QMessageBox*>(w)->text();
        if (!text.isNull())
            edit->setText(text);
        Click(w, button);
    };
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Clicks the folder `name` in the chooser's list, once the list shows it, then Select.
Action Highlight(const QString& name) {
    return [=](QWidget* w) {
        auto* view = w->findChild<QListView*>(QStringLiteral("listView"));
        const auto* model = qobject_cast<QFileSystemModel*>(view->model());
        QModelIndex index;
        QVERIFY(QTest::qWaitFor([&] {
            index = model->index(QDir::current().filePath(name));
            return view->visualRect(index).isValid();
        }));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        Click(w, QStringLiteral("Select"));
    };
}

QString StatusText(const char* text, uint64_t files, uint64_t bytes, const std::string& folder) {
    return QString::fromLatin1(text).arg(files == 1 ? QString::fromLatin1(kOneFile)
                                                    : QString::fromLatin1(kFiles).arg(files),
                                         CFilesView::SizeText(bytes), Q(folder));
}

} // namespace

class CExtractGuiTest : public QObject {
    Q_OBJECT

    std::unique_ptr<CTempDir> m_pTemp;
    CTestApp m_App;
    CTestSink& m_Sink = m_App.m_Messages;
    // Each window that becomes the active modal one (again, after a nested one closed) gets the next action.
    // A window that appears when none is left is closed and noted, so no test hangs on a forgotten box.
    QList<Action> m_Script;
    QPointer<QWidget> m_pLast;
    bool m_bUnexpected = false;
    QTimer m_Poll;

    void Poll() {
        QWidget* w = QApplication::activeModalWidget();
        // A dialog that opened one of its own (Browse's chooser) waits until that one is gone.
        if (!w || !w->isVisible() || w == m_pLast || w->findChildren<QDialog*>().size() > 0)
            return;
        m_pLast = w;
        m_bUnexpected = m_bUnexpected || m_Script.empty();
        m_Script.empty() ? (void)QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection)
                         : m_Script.takeFirst()(w);
    }
    void Then(std::initializer_list<Action> actions) { m_Script << QList<Action>(actions); }
    bool Done() const { return m_Script.empty() && !m_bUnexpected; }

    void Start(const std::vector<CNode>& top) {
        WriteFileBytes(*m_pTemp / "game.pak", BuildArchive(top));
        QVERIFY(m_App.Start({Q(*m_pTemp / "game.pak")}));
    }
    CDirView* Tree() const { return m_App.Tree(); }
    std::string Dest(const char* name) const {
        return QDir().mkpath(Q(*m_pTemp / name)) ? *m_pTemp / name : "";
    }
    // Extract on `pane`, from the menu or with Ctrl+E.
    void RunExtract(CPaneView* pane, bool key = false) {
        m_App.Frame()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_App.Frame()));
        m_App.Frame()->SetActiveView(pane);
        if (key)
            QTest::keyClick(pane, Qt::Key_E, Qt::ControlModifier);
        else
            m_App.Frame()->Command(CMainFrame::ID_FILE_EXTRACT)->trigger();
    }
    // The tree's Extract of `folder` into `dest` (the dialog prefilled with it), each piece copied slowly.
    bool RunJob(const char* folder, const std::string& dest, CExtractResult* pResult, int msPerPiece = 50) {
        const CVorpexDoc* doc = m_App.m_pApp->GetDocument();
        CExtractCommand::CContext context(doc->m_pPackFile.get(), &doc->Codec(), &m_Sink, Q(dest),
                                          m_App.Frame());
        context.m_fnProgressHook = [msPerPiece](const CProgress&) { QThread::msleep(msPerPiece); };
        const CSelection selection{
            {Tree()->GetModel()->Folder(TreeItem(Tree()->model(), {folder}))}, {}, false};
        return CExtractCommand::Run(
            CExtractCommand::EFrom::Tree, context, [=] { return selection; }, pResult);
    }

private slots:
    void initTestCase() {
        connect(&m_Poll, &QTimer::timeout, this, &CExtractGuiTest::Poll);
        m_Poll.start(5);
    }
    void init() {
        m_pTemp = std::make_unique<CTempDir>();
        m_Sink.Clear();
        m_Sink.m_fnWhileOpen = nullptr;
        m_Script.clear();
        m_bUnexpected = false;
        UseEmptySettings();
    }
    void cleanup() { m_App.m_pApp.reset(); }

    // Two folders named X: each pane extracts the one selected in it. The tree's top item is everything.
    void EachPaneExtractsExactlyItsSelectionAlsoWithCtrlE() {
        Start({File("LOOSE.TXT"), Folder("A", {Folder("X", {File("A.TXT")})}),
               Folder("B", {Folder("X", {File("B.TXT"), Folder("BS")}), Folder("XX", {File("XX")})})});
        Then({Press("IDOK", Q(Dest("tree"))), Press("IDOK", Q(Dest("list"))), Press("IDOK", Q(Dest("all")))});
        m_App.Select({"B", "X"});
        RunExtract(Tree(), true);
        m_App.Select({"A"});
        m_App.List()->setCurrentIndex(m_App.List()->model()->index(0, 0));
        RunExtract(m_App.List(), true);
        m_App.Select({});
        RunExtract(Tree());
        QVERIFY(Done());
        QCOMPARE(ListTree(*m_pTemp / "tree"), Strings({"X/", "X/B.TXT", "X/BS/"}));
        QCOMPARE(ListTree(*m_pTemp / "list"), Strings({"X/", "X/A.TXT"}));
        QCOMPARE(ListTree(*m_pTemp / "all"), Strings({"A/", "A/X/", "A/X/A.TXT", "B/", "B/X/", "B/X/B.TXT",
                                                      "B/X/BS/", "B/XX/", "B/XX/XX", "LOOSE.TXT"}));
        QCOMPARE(m_Sink.Count(), size_t(0));
    }

    void DestinationMessagesAndTheStoredDefault() {
        Start({Folder("DATA", {File("D", "d")})});
        m_App.Select({"DATA"});
        m_App.List()->selectAll();
        const std::string missing = *m_pTemp / "missing", file = *m_pTemp / "game.pak";
        Then({Press("IDOK", Q(missing)), Press("IDOK", Q(missing)), Press("IDOK", Q(file)),
              Press("IDOK", "")});
        for (int i = 0; i < 4; ++i)
            RunExtract(i % 2 ? static_cast<CPaneView*>(m_App.List()) : Tree());
        QCOMPARE(m_Sink.Texts(),
                 Strings({kCouldNotChangeToDirectory + missing, kCouldNotCreateDirectory + missing,
                          kCouldNotChangeToDirectory + file, kCouldNotCreateDirectory}));
        QCOMPARE(ListTree(m_pTemp->Path()), Strings({"game.pak"}));

        // A relative destination is taken from the current directory; Cancel writes and shows nothing.
        const auto restore = qScopeGuard([cwd = QDir::currentPath()] { QDir::setCurrent(cwd); });
        QDir::setCurrent(Q(Dest("base/rel") + "/.."));
        Then({Press("IDOK", "rel"), Press("IDCANCEL", "rel")});
        RunExtract(Tree());
        RunExtract(m_App.List());
        QCOMPARE(ListTree(*m_pTemp / "base"), Strings({"rel/", "rel/DATA/", "rel/DATA/D"}));
        QCOMPARE(m_Sink.Count(), size_t(4)); // no more than the four above

        // Options stores the default at once, Extract starts from it and never stores.
        QSettings settings(CVorpexApp::kCompany, CVorpexApp::kAppName);
        auto options = [&](const Action& answer) { // the stored default after Options
            Then({answer});
            m_App.Frame()->Command(CMainFrame::ID_VIEW_OPTIONS)->trigger();
            return settings.value("Settings/ExtractDir");
        };
        const std::string dest = Dest("default");
        QVERIFY(!options(Press("IDCANCEL", "/typed")).isValid()); // Cancel writes nothing, not even ""
        QCOMPARE(options(Press("IDOK", Q(dest))), QVariant(Q(dest)));
        QString shown1, shown2;
        // Neither OK on another folder nor Cancel in the Extract dialog stores anything.
        Then({Press("IDOK", Q(Dest("other")), &shown1), Press("IDCANCEL", "/x", &shown2)});
        RunExtract(m_App.List());
        RunExtract(Tree());
        QCOMPARE(QStringList({shown1, shown2, settings.value("Settings/ExtractDir").toString(),
                              m_App.m_pApp->m_strExtractDir}),
                 QStringList(4, Q(dest)));
        QCOMPARE(ListTree(*m_pTemp / "other"), Strings({"D"}));
        QVERIFY(Done());
    }

    // Matches of a search from many folders land below their folders' paths, where names cannot meet; the
    // status bar then tells what was written, and where.
    void FindMatchesExtractUnderTheirFoldersAndTheStatusBarTells() {
        Start({File("X.PNG", "t"), Folder("A", {File("X.PNG", "a"), Folder("S", {File("X.PNG", "s")})}),
               Folder("B", {File("X.PNG", "bb"), File("Y.TXT", "y")})});
        m_App.Select({});
        m_App.Frame()->Command(CMainFrame::ID_EDIT_FIND)->trigger();
        m_App.Frame()->GetFindBar()->Edit()->setText(QStringLiteral("*.png"));
        QTRY_COMPARE(m_App.List()->model()->rowCount(), 4);
        m_App.List()->selectAll();
        const std::string dest = Dest("found");
        Then({Press("IDOK", Q(dest))});
        RunExtract(m_App.List());
        QVERIFY(Done());
        QCOMPARE(Snapshot(dest),
                 Strings({"A/", "A/S/", "A/S/X.PNG=s", "A/X.PNG=a", "B/", "B/X.PNG=bb", "X.PNG=t"}));
        QCOMPARE(m_Sink.Count(), size_t(0));
        QCOMPARE(m_App.Frame()->GetMessageText(), StatusText(kExtractedTo, 4, 5, dest));
    }

    // Files that stood in the destination are replaced only as the user answers, asked file by file, the
    // "All" answers holding for the rest; Cancel keeps what was written before it, as the status bar tells.
    void ReplacingAFileIsAskedFirst() {
        Start(
            {Folder("D", {File("N", "n"), File("A", "a"), File("B", "b"), File("C", "c"), File("E", "e")})});
        m_App.Select({"D"});
        m_App.List()->selectAll();
        std::vector<std::string> dests;
        for (const char* name : {"answered", "skipped", "cancelled"}) {
            dests.push_back(Dest(name));
            for (const char* file : {"A", "B", "C", "E"})
                WriteFileBytes(dests.back() + "/" + file, "old");
        }
        QString question;
        Then({Press("IDOK", Q(dests[0])), Press(kReplace, {}, &question), Press(kSkip), Press(kReplaceAll),
              Press("IDOK", Q(dests[1])), Press(kSkipAll), Press("IDOK", Q(dests[2])), Press(kReplace),
              Press(kCancelText)});
        for (int run = 0; run < 3; ++run)
            RunExtract(m_App.List());
        QVERIFY(Done());
        QCOMPARE(question, QString::fromLatin1(kReplaceExistingFile).arg("D/A"));
        QCOMPARE(Snapshot(dests[0]), Strings({"A=a", "B=old", "C=c", "E=e", "N=n"}));
        QCOMPARE(Snapshot(dests[1]), Strings({"A=old", "B=old", "C=old", "E=old", "N=n"}));
        QCOMPARE(Snapshot(dests[2]), Strings({"A=a", "B=old", "C=old", "E=old", "N=n"}));
        QCOMPARE(m_App.Frame()->GetMessageText(), StatusText(kCancelledAfter, 2, 2, dests[2]));
        QCOMPARE(m_Sink.Count(), size_t(0));
    }

    // Select answers the folder highlighted in the list, else the folder shown.
    void ChooserSelectsTheHighlightedFolderElseTheOneShown() {
        const std::string base = Dest("base"), sub = Dest("base/sub");
        const auto restore = qScopeGuard([cwd = QDir::currentPath()] { QDir::setCurrent(cwd); });
        QStringList chosen;
        for (const Action& answer : {Highlight(QStringLiteral("sub")), Press("Select")}) {
            QDir::setCurrent(Q(base));
            QString folder;
            Then({answer});
            CFolderDialog(&folder).DoModal();
            chosen << folder << QDir::currentPath();
        }
        QVERIFY(Done());
        QCOMPARE(chosen, QStringList({Q(sub), Q(sub), Q(base), Q(base)}));
    }

    void ProgressWindowCancelsTheJob() {
        // Ten files of three pieces each, slowed down to about a second and a half in all.
        const size_t size = 3 * CEntryWriter::kChunk - 100;
        std::vector<CNode> files;
        for (int i = 0; i < 10; ++i)
            files.push_back(File("F" + std::to_string(i), std::string(size, 'f')));
        Start({Folder("BIG", files)});
        QString label;
        // The window stays responsive: the progress dialog is answered and its Cancel pressed meanwhile.
        Then({Press("IDOK"), [&](QWidget* w) {
                  QTimer::singleShot(300, w, [&label, w] {
                      label = w->findChild<QLabel*>()->text();
                      Click(w, "Cancel");
                  });
              }});
        CExtractResult result;
        const std::string dest = Dest("out");
        QVERIFY(RunJob("BIG", dest, &result) && Done() && result.m_bCancelled);
        QVERIFY2(label.contains(" of 10 files"), qPrintable(label));
        // Only what was written whole is left: no temporary of the file in hand.
        const size_t left = ListTree(dest).size();
        QVERIFY(left >= 2 && left < 11);
        QCOMPARE(result.m_nFilesWritten, uint64_t(left - 1));
    }

    // The first message shows at once, on this thread, while the extraction goes on behind it; the others
    // come together at the end, counted, in order. Quitting while the first is open stops the worker and
    // shows nothing more.
    void FirstMessageAtOnceTheRestTogetherAtTheEndAndQuitStops() {
        std::vector<CNode> files = {File("..", "x"), File("ONE", "1"), File("a\\b", "y"), File(".", "z")};
        for (int i = 0; i < 5; ++i)
            files.push_back(File("F" + std::to_string(i), std::string(CEntryWriter::kChunk, 'f')));
        Start({Folder("DATA", files)});
        for (const bool quit : {false, true}) {
            m_Sink.Clear();
            const std::string dest = Dest(quit ? "quit" : "all");
            Strings whileOpen; // what the worker had written by the time the first box was closed
            bool offThread = false;
            m_Sink.m_fnWhileOpen = [&] {
                offThread = offThread || QThread::currentThread() != qApp->thread();
                if (m_Sink.Count() > 1)
                    return;
                if (quit)
                    QCoreApplication::quit();
                else
                    (void)QTest::qWaitFor([&] { return ListTree(dest).size() == 7; }, 10000);
                whileOpen = ListTree(dest);
            };
            Then({Press("IDOK")});
            CExtractResult result;
            // Inside the application's own event loop, which is what quitting ends.
            QTimer::singleShot(0, [&] {
                RunJob("DATA", dest, &result, quit ? 50 : 0); // quick enough to need no progress dialog
                QCoreApplication::exit(0);
            });
            QCoreApplication::exec();
            QVERIFY(!offThread && !QApplication::overrideCursor());
            QVERIFY(Done());
            QCOMPARE(result.m_bCancelled, quit);
            if (quit) {
                QCOMPARE(m_Sink.Texts(), Strings{kSkippedUnsafeName + std::string("..")});
                QVERIFY(ListTree(dest).size() < 7);
            } else {
                QCOMPARE(whileOpen.size(), size_t(7)); // DATA/, ONE and the five big files
                QCOMPARE(m_Sink.Texts(),
                         Strings({kSkippedUnsafeName + std::string(".."),
                                  QString::fromLatin1(kMoreMessages).arg(2).toStdString() + "\n" +
                                      kSkippedUnsafeName + "a\\b\n" + kSkippedUnsafeName + "."}));
            }
        }
    }
};

QTEST_MAIN(CExtractGuiTest)
#include "ExtractGuiTest.moc"
