// Finding one's way in the real main window: sorting the list, finding names across the archive, the
// code page, and the window kept on screen.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>

#include "app/EncodingMenu.h"
#include "app/FindController.h"
#include "app/WindowState.h"
#include "catalogue/PackFile.h"
#include "tests/gui/AppTestSupport.h"
#include "views/FindBar.h"

using F = CMainFrame;

class FindWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CTestApp m_App;
    std::unique_ptr<QAbstractItemModelTester> m_pListTester;

    CMainFrame* Frame() { return m_App.Frame(); }
    CDirView* Tree() { return m_App.Tree(); }
    CFilesView* List() { return m_App.List(); }
    QStringList Names() {
        QStringList names;
        for (int row = 0; row < List()->model()->rowCount(); ++row)
            names << List()->model()->index(row, 0).data().toString();
        return names;
    }
    void ShowFolder(const QStringList& labels) { Tree()->setCurrentIndex(TreeItem(Tree()->model(), labels)); }
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
    void initTestCase() {
        UseEmptySettings();
        QVERIFY(m_App.Start({WriteArchive(m_Dir, "Maps.dir", MapsArchive())}));
        m_pListTester = std::make_unique<QAbstractItemModelTester>(
            List()->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    void headerClicksSortReverseAndRestore() {
        ShowFolder({"DATA"});
        const QStringList archiveOrder = Names();
        SelectRows({QStringLiteral("MEG")});
        ClickHeader(0);
        QCOMPARE(Names(), QStringList({"DAT", "MAPS", "MAPS2", "ALMOST", "EMPTY", "MEG", "ONE"}));
        QCOMPARE(List()->GetSelection().m_Files.size(), size_t(1)); // the selection follows its row
        QCOMPARE(std::string(List()->GetSelection().m_Files[0]->GetName()), std::string("MEG"));
        ClickHeader(0);
        QCOMPARE(Names(), QStringList({"MAPS2", "MAPS", "DAT", "ONE", "MEG", "EMPTY", "ALMOST"}));
        ClickHeader(0);
        QCOMPARE(Names(), archiveOrder);
        ClickHeader(1); // by bytes: 0, 1023, 1024, 1 MiB, though the first two both show 0KB
        QCOMPARE(Names().mid(3), QStringList({"EMPTY", "ALMOST", "ONE", "MEG"}));
        ShowFolder({"DATA"}); // a sort holds for every folder shown until changed
        QCOMPARE(Names().mid(3), QStringList({"EMPTY", "ALMOST", "ONE", "MEG"}));
        ClickHeader(1);
        ClickHeader(1);
        QCOMPARE(Names(), archiveOrder);
    }

    // While rows are selected the status bar totals them; cleared, the archive's summary comes back.
    void statusBarTotalsTheSelection() {
        ShowFolder({"DATA"});
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
        ShowFolder({"DATA"});
        Frame()->Command(F::ID_EDIT_FIND)->trigger();
        CFindBar* bar = Frame()->GetFindBar();
        QVERIFY(bar->isVisible());
        QTest::keyClicks(bar->Edit(), QStringLiteral("2"));
        QTRY_COMPARE(Rows(List()->model()),
                     QStringList({"MAPS2||File Folder|\\DATA", "M2.MAP|0KB||\\DATA\\MAPS2"}));
        bar->Edit()->setText(QStringLiteral("*.map"));
        QTRY_COMPARE(Names(), QStringList({"M1.MAP", "M2.MAP", "\u20AC.MAP"}));
        // Extract takes matches as any selection.
        SelectRows({QStringLiteral("\u20AC.MAP")});
        QCOMPARE(List()->GetSelection().m_Files.size(), size_t(1));
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
    }

    void encodingRedecodesEverythingAndIsStored() {
        ShowFolder({"OTHER", "MAPS"});
        CEncodingMenu* menu = Frame()->GetEncodingMenu();
        menu->findChild<QAction*>(QStringLiteral("CP437"))->trigger();
        QCOMPARE(Names(), QStringList({"INNER", "\u00C7.MAP"})); // byte 0x80 in code page 437
        QCOMPARE(Tree()->SelectedFolder()->GetPath(), std::string("\\OTHER\\MAPS"));
        QCOMPARE(CEncodingMenu::Stored(), QStringLiteral("CP437"));
        menu->m_fnAskName = [](QWidget*, const QString&) { return QStringLiteral("NO-SUCH-PAGE"); };
        menu->findChild<QAction*>(QStringLiteral("OtherEncoding"))->trigger();
        QCOMPARE(m_App.m_Messages.Texts().back(), std::string("Unknown encoding NO-SUCH-PAGE"));
        QVERIFY(menu->findChild<QAction*>(QStringLiteral("CP437"))->isChecked());
        menu->findChild<QAction*>(QStringLiteral("WINDOWS-1252"))->trigger();
        QCOMPARE(Names(), QStringList({"INNER", "\u20AC.MAP"}));
    }

    // A window once on a monitor now gone comes back whole; one bigger than the screen is brought within it.
    void windowIsKeptOnScreen() {
        const QList<QRect> screens = {QRect(0, 0, 1920, 1080)};
        QCOMPARE(CWindowState::OnScreen(QRect(100, 80, 800, 600), screens), QRect(100, 80, 800, 600));
        const QRect moved = CWindowState::OnScreen(QRect(2500, 100, 800, 600), screens);
        QVERIFY(screens[0].contains(moved) && moved.size() == QSize(800, 600));
        QVERIFY(screens[0].contains(CWindowState::OnScreen(QRect(-100, -50, 3000, 2000), screens)));
    }
};

QTEST_MAIN(FindWindowTest)
#include "FindWindowTest.moc"
