// Extract and Options end to end in the main window: an archive built by the test helper is opened, panes
// and rows are selected as a user would, commands run from the menu's actions or keys, and every dialog is
// answered by the test.

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "ModalScript.h"
#include "app/MainFrame.h"
#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "platform/MessageSink.h"
#include "tests/support/ArchiveBuilder.h"
#include "views/DirView.h"
#include "views/FilesModel.h"
#include "views/FilesView.h"

namespace {

QLineEdit* Edit(QWidget* w) {
    return w->findChild<QLineEdit*>(QStringLiteral("IDC_FOLDER"));
}

// Notes the text the dialog opened with, types `folder` (unless null) and presses `button`.
CModalScript::Action Answer(QString* pShown, const QString& folder, const char* button = "IDOK") {
    return [=](QWidget* w) {
        if (pShown)
            *pShown = Edit(w)->text();
        if (!folder.isNull())
            Edit(w)->setText(folder);
        CModalScript::Click(CModalScript::Child(w, QString::fromLatin1(button)));
    };
}

std::vector<std::string> Strings(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

const CPackFolder* Child(const CPackFolder* folder, const char* name) {
    for (const CPackFolder* child : folder->m_Children) {
        if (child->GetName() == name)
            return child;
    }
    return nullptr;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

class CCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void TreeExtractsSelectedFolderByIdentity();
    void TreeTopItemExtractsWholeArchive();
    void ListExtractsFoldersThenFilesInListOrder();
    void DestinationProblemsInBothPanes();
    void DefaultDestinationIsNeverStoredByExtract();
    void OptionsStoresAtOnceAndCancelChangesNothing();
    void BrowseInExtractDialog();
    void CtrlERunsExtractOfActivePane();
    void ExtractEnabledOnceAnArchiveIsOpen();

private:
    void Start(const std::vector<CNode>& top);
    void RunExtract(QWidget* pane);
    QAction* ExtractAction() const { return m_pApp->GetMainWnd()->Command(CMainFrame::ID_FILE_EXTRACT); }
    CDirView* Tree() const { return m_pApp->GetMainWnd()->GetDirView(); }
    CFilesView* List() const { return m_pApp->GetMainWnd()->GetFilesView(); }
    const CPackFile& Pack() const { return *m_pApp->GetDocument()->m_pPackFile; }
    std::string Dest(const char* name) const;

    QTemporaryDir m_Settings;
    std::unique_ptr<CTempDir> m_pTemp;
    std::unique_ptr<CVorpexApp> m_pApp;
    CRecordingSink m_Sink;
    QString m_strCwd;
};

void CCommandsTest::initTestCase() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_Settings.path());
}

void CCommandsTest::init() {
    m_strCwd = QDir::currentPath();
    m_pTemp = std::make_unique<CTempDir>();
    m_Sink.Clear();
    QSettings(QStringLiteral("Corvane"), QStringLiteral("Vorpex")).clear();
}

void CCommandsTest::cleanup() {
    m_pApp.reset();
    QDir::setCurrent(m_strCwd);
    m_pTemp.reset();
}

void CCommandsTest::Start(const std::vector<CNode>& top) {
    const std::string path = *m_pTemp / "game.pak";
    WriteFileBytes(path, BuildArchive(top));
    m_pApp = std::make_unique<CVorpexApp>();
    m_pApp->SetMessageSink(&m_Sink);
    QVERIFY(m_pApp->InitInstance({Q(path)}));
    m_pApp->GetMainWnd()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pApp->GetMainWnd()));
}

std::string CCommandsTest::Dest(const char* name) const {
    const std::string dest = *m_pTemp / name;
    QDir().mkpath(Q(dest));
    return dest;
}

void CCommandsTest::RunExtract(QWidget* pane) {
    m_pApp->GetMainWnd()->SetActiveView(pane);
    QVERIFY(ExtractAction()->isEnabled());
    ExtractAction()->trigger();
}

void CCommandsTest::TreeExtractsSelectedFolderByIdentity() {
    Start({Folder("DATA", {Folder("A", {Folder("X", {File("A.TXT", "a"), Folder("ASUB")})}),
                           Folder("B", {Folder("X", {File("B.TXT", "b"), Folder("BSUB", {File("S", "s")})})}),
                           Folder("XX", {File("XX.TXT", "xx")})})});
    const CPackFolder* data = Child(&Pack().GetTop(), "DATA");
    const CPackFolder* bx = Child(Child(data, "B"), "X");
    QVERIFY(Tree()->SelectFolder(bx));
    const std::string dest = Dest("out");

    CModalScript script;
    script.Then(Answer(nullptr, Q(dest)));
    RunExtract(Tree());
    QCOMPARE(script.Remaining(), 0);
    QCOMPARE(ListTree(dest), Strings({"X/", "X/B.TXT", "X/BSUB/", "X/BSUB/S"}));
    QCOMPARE(m_Sink.Count(), size_t(0));

    // The list's row for the other X, selected there, extracts that one.
    QVERIFY(Tree()->SelectFolder(Child(data, "A")));
    const std::string dest2 = Dest("out2");
    List()->selectionModel()->select(List()->model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    script.Then(Answer(nullptr, Q(dest2)));
    RunExtract(List());
    QCOMPARE(ListTree(dest2), Strings({"X/", "X/A.TXT", "X/ASUB/"}));
    QVERIFY(script.Unexpected().isEmpty());
}

void CCommandsTest::TreeTopItemExtractsWholeArchive() {
    Start({File("LOOSE.TXT", "l"), Folder("DATA", {File("D", "d"), Folder("MAPS", {File("M", "m")})}),
           Folder("SND", {})});
    Tree()->selectionModel()->setCurrentIndex(Tree()->GetRootItem(), QItemSelectionModel::ClearAndSelect);
    QVERIFY(Tree()->IsTopSelected());
    const std::string dest = Dest("all");
    CModalScript script;
    script.Then(Answer(nullptr, Q(dest)));
    RunExtract(Tree());
    QCOMPARE(ListTree(dest), Strings({"DATA/", "DATA/D", "DATA/MAPS/", "DATA/MAPS/M", "LOOSE.TXT", "SND/"}));
    QCOMPARE(m_Sink.Count(), size_t(0));
}

void CCommandsTest::ListExtractsFoldersThenFilesInListOrder() {
    // Rows that fail tell the order through their messages: two folders already in the destination and
    // two files whose names are unsafe, between rows that extract.
    Start(
        {Folder("DATA", {File("..", "x"), File("GOOD.TXT", "g"), File("a/b", "y"), Folder("ONE", {File("1")}),
                         Folder("NEW", {File("N", "n")}), Folder("TWO", {File("2")})})});
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    const std::string dest = Dest("out");
    QVERIFY(QDir().mkdir(Q(dest + "/ONE")));
    QVERIFY(QDir().mkdir(Q(dest + "/TWO")));

    // Selected from the last row up, so that only the list's order can give the right sequence.
    QAbstractItemModel* model = List()->model();
    QCOMPARE(model->rowCount(), 6);
    std::vector<std::string> expectedFolders, expectedFiles;
    for (int row = model->rowCount() - 1; row >= 0; --row)
        List()->selectionModel()->select(model->index(row, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    for (int row = 0; row < model->rowCount(); ++row) {
        const std::string name = model->index(row, 0).data().toString().toStdString();
        const bool folder = model->index(row, 2).data().toString() == QStringLiteral("File Folder");
        if (folder && name != "NEW")
            expectedFolders.push_back("Could not create directory " + name);
        else if (!folder && name != "GOOD.TXT")
            expectedFiles.push_back("Skipped unsafe name " + name);
    }
    std::vector<std::string> expected = expectedFolders;
    expected.insert(expected.end(), expectedFiles.begin(), expectedFiles.end());
    QCOMPARE(expected.size(), size_t(4));

    CModalScript script;
    script.Then(Answer(nullptr, Q(dest)));
    RunExtract(List());
    QCOMPARE(m_Sink.Texts(), expected);
    QCOMPARE(ListTree(dest), Strings({"GOOD.TXT", "NEW/", "NEW/N", "ONE/", "TWO/"}));
}

void CCommandsTest::DestinationProblemsInBothPanes() {
    Start({Folder("DATA", {File("D", "d")})});
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    List()->selectAll();
    const std::string missing = *m_pTemp / "missing";
    const std::string file = *m_pTemp / "game.pak";

    CModalScript script;
    script.Then(Answer(nullptr, Q(missing)))
        .Then(Answer(nullptr, Q(missing)))
        .Then(Answer(nullptr, Q(file)))
        .Then(Answer(nullptr, QString(""), "IDOK"));
    RunExtract(Tree());
    RunExtract(List());
    RunExtract(Tree());
    RunExtract(List());
    QCOMPARE(m_Sink.Texts(), (std::vector<std::string>{"Could not change to directory " + missing,
                                                       "Could not create directory " + missing,
                                                       "Could not change to directory " + file,
                                                       "Could not create directory "}));
    QCOMPARE(ListTree(m_pTemp->Path()), Strings({"game.pak"})); // nothing made, not even the destination

    // A relative destination is taken from the current directory; a folder already there is reported.
    const std::string base = Dest("base");
    Dest("base/rel/DATA");
    QDir::setCurrent(Q(base));
    m_Sink.Clear();
    script.Then(Answer(nullptr, QStringLiteral("rel"))).Then(Answer(nullptr, QStringLiteral("rel")));
    RunExtract(Tree());
    RunExtract(List());
    QCOMPARE(m_Sink.Texts(), Strings({"Could not make directory DATA"}));
    QCOMPARE(ListTree(base), Strings({"rel/", "rel/D", "rel/DATA/"}));
    QVERIFY(script.Unexpected().isEmpty());
}

void CCommandsTest::DefaultDestinationIsNeverStoredByExtract() {
    const std::string stored = *m_pTemp / "stored";
    QSettings(QStringLiteral("Corvane"), QStringLiteral("Vorpex")).setValue("Settings/ExtractDir", Q(stored));
    Start({Folder("DATA", {File("D", "d")})});
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    const std::string other = Dest("other");

    QString shown1, shown2;
    CModalScript script;
    script.Then(Answer(&shown1, Q(other))).Then(Answer(&shown2, QString(), "IDCANCEL"));
    RunExtract(Tree());
    RunExtract(Tree());
    QCOMPARE(shown1, Q(stored));
    QCOMPARE(shown2, Q(stored));
    QCOMPARE(m_pApp->m_strExtractDir, Q(stored));
    QCOMPARE(QSettings(QStringLiteral("Corvane"), QStringLiteral("Vorpex"))
                 .value("Settings/ExtractDir")
                 .toString(),
             Q(stored));
    QCOMPARE(ListTree(other), Strings({"DATA/", "DATA/D"}));
    QCOMPARE(m_Sink.Count(), size_t(0)); // Cancel showed nothing
}

void CCommandsTest::OptionsStoresAtOnceAndCancelChangesNothing() {
    Start({Folder("DATA", {File("D", "d")})});
    QAction* options = m_pApp->GetMainWnd()->Command(CMainFrame::ID_VIEW_OPTIONS);
    auto stored = [] {
        return QSettings(QStringLiteral("Corvane"), QStringLiteral("Vorpex")).value("Settings/ExtractDir");
    };

    QString shown;
    CModalScript script;
    script.Then(Answer(&shown, QStringLiteral("/typed"), "IDCANCEL"));
    options->trigger();
    QCOMPARE(shown, QString());
    QVERIFY(!stored().isValid()); // Cancel writes nothing, not even the empty text

    // OK with the text unchanged (empty) writes it all the same.
    script.Then(Answer(nullptr, QString()));
    options->trigger();
    QVERIFY(stored().isValid());
    QCOMPARE(stored().toString(), QString());

    const std::string dest = Dest("new default");
    script.Then(Answer(nullptr, Q(dest)));
    options->trigger();
    QCOMPARE(stored().toString(), Q(dest));
    QCOMPARE(m_pApp->m_strExtractDir, Q(dest));

    // The very next Extract dialog starts from it.
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    script.Then(Answer(&shown, QString()));
    RunExtract(Tree());
    QCOMPARE(shown, Q(dest));
    QCOMPARE(ListTree(dest), Strings({"DATA/", "DATA/D"}));
    QVERIFY(script.Unexpected().isEmpty());
}

void CCommandsTest::BrowseInExtractDialog() {
    Start({Folder("DATA", {File("D", "d")})});
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    const QString chosen = QDir(Q(Dest("chosen"))).canonicalPath();
    QDir::setCurrent(Q(m_pTemp->Path()));

    CModalScript script;
    script.Then(Answer(nullptr, QStringLiteral("typed"), "IDC_BROWSE"))
        .Then([&](QWidget* w) {
            qobject_cast<QFileDialog*>(w)->setDirectory(chosen);
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("Select")));
        })
        .Then(Answer(nullptr, QString()));
    RunExtract(Tree());
    QCOMPARE(script.Remaining(), 0);
    QCOMPARE(ListTree(chosen.toStdString()), Strings({"DATA/", "DATA/D"}));
    QCOMPARE(QDir::currentPath(), chosen); // the chooser left the working directory there
}

void CCommandsTest::CtrlERunsExtractOfActivePane() {
    Start({Folder("DATA", {File("D", "d"), Folder("SUB", {File("S", "s")})})});
    QVERIFY(ExtractAction()->isEnabled());
    QVERIFY(Tree()->SelectFolder(Child(&Pack().GetTop(), "DATA")));
    List()->selectAll();
    const std::string fromTree = Dest("tree");
    const std::string fromList = Dest("list");

    CModalScript script;
    script.Then(Answer(nullptr, Q(fromTree))).Then(Answer(nullptr, Q(fromList)));
    for (QWidget* pane : {static_cast<QWidget*>(Tree()), static_cast<QWidget*>(List())}) {
        m_pApp->GetMainWnd()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pApp->GetMainWnd()));
        m_pApp->GetMainWnd()->SetActiveView(pane);
        QTest::keyClick(pane, Qt::Key_E, Qt::ControlModifier);
    }
    QCOMPARE(script.Remaining(), 0);
    QCOMPARE(ListTree(fromTree), Strings({"DATA/", "DATA/D", "DATA/SUB/", "DATA/SUB/S"}));
    QCOMPARE(ListTree(fromList), Strings({"D", "SUB/", "SUB/S"}));
}

void CCommandsTest::ExtractEnabledOnceAnArchiveIsOpen() {
    const std::string path = *m_pTemp / "game.pak";
    WriteFileBytes(path, BuildArchive({Folder("DATA", {File("D", "d")})}));
    m_pApp = std::make_unique<CVorpexApp>();
    m_pApp->SetMessageSink(&m_Sink);
    QVERIFY(m_pApp->InitInstance({}));
    QVERIFY(!ExtractAction()->isEnabled());
    CModalScript script; // no dialog may open: a stray one is noted and closed
    QTest::keyClick(m_pApp->GetMainWnd(), Qt::Key_E, Qt::ControlModifier);
    m_pApp->GetMainWnd()->OnFileExtract();
    QTest::qWait(50);
    QVERIFY(script.Unexpected().isEmpty());

    QVERIFY(m_pApp->OpenDocumentFile(Q(path)));
    QVERIFY(ExtractAction()->isEnabled());
    // A file that cannot be opened leaves the archive open and Extract with it.
    QVERIFY(!m_pApp->OpenDocumentFile(Q(*m_pTemp / "missing.pak")));
    QVERIFY(ExtractAction()->isEnabled());
    QCOMPARE(m_Sink.Count(), size_t(1));
}

QTEST_MAIN(CCommandsTest)
#include "CommandsTest.moc"
