// Opening entries, the preview pane, dragging out, properties and the context menu.
#include <QBuffer>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QTimer>

#include "app/EntryActions.h"
#include "catalogue/EntryPeek.h"
#include "catalogue/PackFile.h"
#include "tests/gui/AppTestSupport.h"
#include "views/HexView.h"
#include "views/PreviewPane.h"
#include "views/PropertiesDlg.h"

namespace {

std::string PngBytes() {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

} // namespace

class EntryActionsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_Dir;
    CTestApp m_App;
    QList<QUrl> m_Opened;

    CMainFrame* Frame() { return m_App.Frame(); }
    CEntryActions* Actions() { return Frame()->findChild<CEntryActions*>(); }
    // Shows folder DATA (the first top-level folder) and makes `row` of the list current.
    void ShowData(int row) {
        Frame()->GetDirView()->SelectFolder(Doc()->m_pPackFile->GetTop().GetChildren()[0]);
        m_App.List()->setCurrentIndex(m_App.List()->model()->index(row, 0));
    }
    CVorpexDoc* Doc() { return m_App.m_pApp->GetDocument(); }
    QString Modal(const std::function<void()>& run, const QString& label) {
        QString value;
        QTimer::singleShot(0, [&] {
            if (auto* dlg = qobject_cast<CPropertiesDlg*>(QApplication::activeModalWidget())) {
                value = dlg->Value(label);
                dlg->reject();
            }
        });
        run();
        return value;
    }

private slots:
    void initTestCase() {
        UseEmptySettings();
        // DATA lists SUB, then TEXT.TXT, PIC.PNG, BIN.DAT and BIG.TXT.
        const QString path =
            WriteArchive(m_Dir, "test.dir",
                         {Folder("DATA", {Folder("SUB", {File("INNER.TXT", "inner")}),
                                          File("TEXT.TXT", "caf\xE9\r\nline 2"), File("PIC.PNG", PngBytes()),
                                          File("BIN.DAT", std::string("\x01\x02\x00zz", 5)),
                                          File("BIG.TXT", std::string(CEntryPeek::kMaxBytes + 10, 'x'))})});
        QVERIFY(m_App.Start({path}));
        Actions()->SetOpener([this](const QUrl& url) {
            m_Opened << url;
            return true;
        });
        QVERIFY(QTest::qWaitForWindowExposed(Frame()));
    }

    void openingStagesIntoAPrivateFolderAndNavigates() {
        ShowData(1);
        QTest::keyClick(m_App.List(), Qt::Key_Return);
        QCOMPARE(m_Opened.size(), 1);
        const QString staged = m_Opened[0].toLocalFile();
        QCOMPARE(QFileInfo(staged).fileName(), QStringLiteral("TEXT.TXT"));
        QCOMPARE(ReadFileBytes(staged.toStdString()), std::string("caf\xE9\r\nline 2"));
        // Each opening gets a fresh folder, so the file another program holds is never replaced.
        DoubleClickRow(m_App.List(), 1);
        QCOMPARE(m_Opened.size(), 2);
        QVERIFY(m_Opened[1] != m_Opened[0]);
        QCOMPARE(m_App.m_Messages.Count(), size_t(0));

        // Enter on a folder row opens it; Backspace and Alt+Up go back up, the folder left stays current.
        ShowData(0);
        QTest::keyClick(m_App.List(), Qt::Key_Enter);
        QCOMPARE(Rows(m_App.List()->model()), QStringList{"INNER.TXT|0KB|"});
        QTest::keyClick(m_App.List(), Qt::Key_Backspace);
        QCOMPARE(m_App.List()->currentIndex().data().toString(), QStringLiteral("SUB"));
        QTest::keyClick(m_App.List(), Qt::Key_Up, Qt::AltModifier);
        QCOMPARE(Rows(m_App.List()->model()), QStringList{"DATA||File Folder"});
        QCOMPARE(m_Opened.size(), 2);
    }

    void previewIsOffUntilTurnedOnAndShowsEachKind() {
        CPreviewPane* pane = Actions()->Preview();
        QVERIFY(pane->isHidden());
        QVERIFY(!Actions()->PreviewAction()->isChecked());
        Frame()->activateWindow();
        QTest::keyClick(Frame(), Qt::Key_F3);
        QVERIFY(pane->isVisible());
        QVERIFY(
            QSettings(CVorpexApp::kCompany, CVorpexApp::kAppName).value(CEntryActions::kPreviewKey).toBool());

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

    void dragOutOffersWhatWasExtracted() {
        ShowData(1);
        m_App.List()->selectionModel()->select(m_App.List()->model()->index(0, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        std::vector<std::string>
            dropped; // each offered path, read as a file manager would while the drop happens
        Actions()->SetDragger([&dropped](QWidget*, QMimeData* data) {
            for (const QUrl& url : data->urls()) {
                const QFileInfo info(url.toLocalFile());
                const QString file = info.isDir() ? info.filePath() + "/INNER.TXT" : info.filePath();
                dropped.push_back(ReadFileBytes(file.toStdString()));
            }
            delete data;
            return Qt::CopyAction;
        });
        QWidget* viewport = m_App.List()->viewport();
        const QPoint at = m_App.List()->visualRect(m_App.List()->currentIndex()).center();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 5, 0));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        // The folder row comes with everything below it, the file as itself.
        QCOMPARE(dropped, (std::vector<std::string>{"inner", "caf\xE9\r\nline 2"}));
    }

    void propertiesContextMenuAndCopyPath() {
        ShowData(1);
        QVERIFY(!std::unique_ptr<QMenu>(Actions()->ContextMenu(m_App.List()))->isEmpty());
        Frame()->activateWindow();
        m_App.List()->setFocus();
        QCOMPARE(Modal([&] { QTest::keyClick(m_App.List(), Qt::Key_Return, Qt::AltModifier); }, "Size"),
                 QStringLiteral("12 bytes (0KB)"));
        QCOMPARE(Modal([&] { Actions()->OnProperties(); }, "Path"), QStringLiteral("DATA/TEXT.TXT"));
        Frame()->SetActiveView(m_App.Tree());
        QCOMPARE(Modal([&] { Actions()->OnProperties(); }, "Contains"), QStringLiteral("1 folder, 5 files"));
        Actions()->OnCopyPath();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("DATA/"));
        Frame()->SetActiveView(m_App.List());
    }
    // Dropping archive files on the window opens the first, as File, Open does.
    void droppingArchivesOpensTheFirst() {
        const QString second = WriteArchive(m_Dir, "second.dir", {Folder("OTHER")});
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(second), QUrl::fromLocalFile(m_Dir.filePath("test.dir"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(Frame(), &drop);
        QCOMPARE(Doc()->GetPathName(), second);
        QCOMPARE(m_App.m_pApp->GetRecentFiles()[0], second);
        QVERIFY(Doc()->OnOpenDocument(m_Dir.filePath("test.dir"))); // back to the archive the others use
    }
};

QTEST_MAIN(EntryActionsTest)
#include "EntryActionsTest.moc"
