// The Extract and Options dialogs and the folder chooser, driven as a person would drive them.

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "ModalScript.h"
#include "extract/ExtractDlg.h"
#include "extract/FolderDialog.h"
#include "extract/OptionsDlg.h"

namespace {

QLineEdit* Edit(QWidget* w) {
    return w->findChild<QLineEdit*>(QStringLiteral("IDC_FOLDER"));
}

// Shows `dir` in the chooser, optionally highlights `highlight` in it, then presses Select.
CModalScript::Action ChooseShown(const QString& dir, const QString& highlight = {}) {
    return [dir, highlight](QWidget* w) {
        auto* chooser = qobject_cast<QFileDialog*>(w);
        QVERIFY(chooser);
        chooser->setDirectory(dir);
        if (!highlight.isEmpty())
            chooser->selectFile(highlight);
        CModalScript::Click(CModalScript::Child(w, QStringLiteral("Select")));
    };
}

CModalScript::Action Press(const QString& button, const QString& text = QString(), bool setText = false) {
    return [=](QWidget* w) {
        if (setText)
            Edit(w)->setText(text);
        CModalScript::Click(CModalScript::Child(w, button));
    };
}

} // namespace

class CDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { m_strCwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_strCwd); }

    void LayoutOfBothTemplates_data();
    void LayoutOfBothTemplates();
    void OpensWithFolderAndTakesTextUnchecked();
    void CancelAndEscapeKeepFolder();
    void BrowseCancelKeepsText();
    void BrowseSelectReturnsShownFolderAndMovesCurrentDirectory();
    void BrowseThenEditThenOk();
    void ChooserLooksAndOpensOnCurrentDirectory();

private:
    QString m_strCwd;
};

void CDialogsTest::LayoutOfBothTemplates_data() {
    QTest::addColumn<bool>("extract");
    QTest::newRow("Extract") << true;
    QTest::newRow("Options") << false;
}

void CDialogsTest::LayoutOfBothTemplates() {
    QFETCH(bool, extract);
    std::unique_ptr<CFolderPromptDlg> dlg;
    if (extract)
        dlg = std::make_unique<CExtractDlg>(QString());
    else
        dlg = std::make_unique<COptionsDlg>(QString());
    dlg->show();
    QCOMPARE(dlg->windowTitle(), extract ? QStringLiteral("Extract") : QStringLiteral("Options"));
    QCOMPARE(dlg->objectName(), extract ? QStringLiteral("IDD_EXTRACT") : QStringLiteral("IDD_OPTIONS"));

    QWidget* edit = Edit(dlg.get());
    auto* browse = dlg->findChild<QPushButton*>(QStringLiteral("IDC_BROWSE"));
    auto* ok = dlg->findChild<QPushButton*>(QStringLiteral("IDOK"));
    auto* cancel = dlg->findChild<QPushButton*>(QStringLiteral("IDCANCEL"));
    QVERIFY(edit && browse && ok && cancel);
    QCOMPARE(browse->text(), QStringLiteral("Browse..."));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QVERIFY(ok->isDefault());
    QVERIFY(!cancel->isDefault() && !browse->isDefault());

    // The caption: a static text above the edit box, or a group box around the folder row.
    QRect caption;
    if (extract) {
        auto* label = dlg->findChild<QLabel*>();
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Extract to..."));
        caption = label->geometry();
        QVERIFY(caption.bottom() < edit->geometry().top());
        QVERIFY(browse->geometry().top() > edit->geometry().bottom()); // under the edit box, right-aligned
        QVERIFY(qAbs(browse->geometry().right() - edit->geometry().right()) <= 1);
    } else {
        auto* group = dlg->findChild<QGroupBox*>();
        QVERIFY(group);
        QCOMPARE(group->title(), QStringLiteral("Extract Options"));
        QVERIFY(group->geometry().contains(edit->geometry()));
        QVERIFY(group->geometry().contains(browse->geometry()));
        QVERIFY(browse->geometry().left() > edit->geometry().right()); // beside the edit box
        QVERIFY(ok->geometry().top() > group->geometry().bottom());
    }

    // OK then Cancel, side by side on the bottom row, the right edge matching the controls above.
    QCOMPARE(ok->geometry().top(), cancel->geometry().top());
    QCOMPARE(ok->size(), cancel->size());
    QVERIFY(ok->geometry().right() < cancel->geometry().left());
    QVERIFY(ok->geometry().top() > browse->geometry().bottom());
    const QRect client = dlg->rect();
    for (QWidget* w :
         {edit, static_cast<QWidget*>(browse), static_cast<QWidget*>(ok), static_cast<QWidget*>(cancel)})
        QVERIFY2(client.contains(w->geometry()), qPrintable(w->objectName()));
    QVERIFY(client.right() - cancel->geometry().right() < cancel->width() / 2);
    // Dialog units follow the font: the edit box is about one and a half lines high.
    const int line = QFontMetrics(dlg->font()).height();
    QVERIFY(edit->height() >= line && edit->height() <= 2 * line);
    QCOMPARE(dlg->minimumSize(), dlg->maximumSize());

    // Tab order is the templates' order; captions take no focus.
    QCOMPARE(edit->nextInFocusChain(), static_cast<QWidget*>(browse));
    QCOMPARE(browse->nextInFocusChain(), static_cast<QWidget*>(ok));
    QCOMPARE(ok->nextInFocusChain(), static_cast<QWidget*>(cancel));
}

void CDialogsTest::OpensWithFolderAndTakesTextUnchecked() {
    for (const QString& typed : {QStringLiteral("/no/such/folder"), QString(), QStringLiteral("rel ative")}) {
        CExtractDlg dlg(QStringLiteral("/srv/games"));
        QString shown;
        CModalScript script;
        script.Then([&](QWidget* w) {
            shown = Edit(w)->text();
            Edit(w)->setText(typed);
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("IDOK")));
        });
        QCOMPARE(dlg.DoModal(), int(QDialog::Accepted));
        QCOMPARE(shown, QStringLiteral("/srv/games"));
        QCOMPARE(dlg.m_strFolder, typed);
        QVERIFY(script.Unexpected().isEmpty());
    }
    // The folder set after construction is the one shown: opening fills the edit box.
    COptionsDlg dlg(QStringLiteral("a"));
    dlg.m_strFolder = QStringLiteral("b");
    QString shown;
    CModalScript script;
    script.Then([&](QWidget* w) {
        shown = Edit(w)->text();
        QTest::keyClick(w, Qt::Key_Return); // Enter presses the default button
    });
    QCOMPARE(dlg.DoModal(), int(QDialog::Accepted));
    QCOMPARE(shown, QStringLiteral("b"));
    QCOMPARE(dlg.m_strFolder, QStringLiteral("b"));
}

void CDialogsTest::CancelAndEscapeKeepFolder() {
    COptionsDlg dlg(QStringLiteral("/keep"));
    CModalScript script;
    script.Then(Press(QStringLiteral("IDCANCEL"), QStringLiteral("/changed"), true));
    QCOMPARE(dlg.DoModal(), int(QDialog::Rejected));
    QCOMPARE(dlg.m_strFolder, QStringLiteral("/keep"));

    CExtractDlg dlg2(QStringLiteral("/keep"));
    script.Then([](QWidget* w) {
        Edit(w)->setText(QStringLiteral("/changed"));
        QTest::keyClick(w, Qt::Key_Escape);
    });
    QCOMPARE(dlg2.DoModal(), int(QDialog::Rejected));
    QCOMPARE(dlg2.m_strFolder, QStringLiteral("/keep"));
    QVERIFY(script.Unexpected().isEmpty());
}

void CDialogsTest::BrowseCancelKeepsText() {
    QTemporaryDir tmp;
    QDir::setCurrent(tmp.path());
    const QString cwd = QDir::currentPath();
    CExtractDlg dlg(QStringLiteral("typed"));
    QString afterBrowse;
    CModalScript script;
    script.Then(Press(QStringLiteral("IDC_BROWSE")))
        .Then([&](QWidget* w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Choose folder"));
            qobject_cast<QFileDialog*>(w)->setDirectory(QStringLiteral("/"));
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("Cancel")));
        })
        .Then([&](QWidget* w) {
            afterBrowse = Edit(w)->text();
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("IDOK")));
        });
    QCOMPARE(dlg.DoModal(), int(QDialog::Accepted));
    QCOMPARE(script.Remaining(), 0);
    QCOMPARE(afterBrowse, QStringLiteral("typed"));
    QCOMPARE(dlg.m_strFolder, QStringLiteral("typed"));
    QCOMPARE(QDir::currentPath(), cwd); // Cancel moves nothing
}

void CDialogsTest::BrowseSelectReturnsShownFolderAndMovesCurrentDirectory() {
    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).canonicalPath();
    QVERIFY(QDir(root).mkpath(QStringLiteral("shown/highlighted")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("other")));
    QDir::setCurrent(root);

    QString opened1, opened2, afterSelect;
    COptionsDlg dlg(QStringLiteral("typed"));
    CModalScript script;
    script.Then(Press(QStringLiteral("IDC_BROWSE")))
        .Then([&](QWidget* w) {
            opened1 = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
            ChooseShown(root + QStringLiteral("/shown"), QStringLiteral("highlighted"))(w);
        })
        .Then([&](QWidget* w) {
            afterSelect = Edit(w)->text();
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("IDC_BROWSE")));
        })
        .Then([&](QWidget* w) {
            // The next chooser opens where the last one was left.
            opened2 = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
            CModalScript::Click(CModalScript::Child(w, QStringLiteral("Select")));
        })
        .Then(Press(QStringLiteral("IDOK")));
    QCOMPARE(dlg.DoModal(), int(QDialog::Accepted));
    QCOMPARE(opened1, root);
    QCOMPARE(afterSelect, root + QStringLiteral("/shown"));
    QCOMPARE(opened2, root + QStringLiteral("/shown"));
    QCOMPARE(dlg.m_strFolder, root + QStringLiteral("/shown"));
    QCOMPARE(QDir::currentPath(), root + QStringLiteral("/shown"));
    QVERIFY(script.Unexpected().isEmpty());
}

void CDialogsTest::BrowseThenEditThenOk() {
    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).canonicalPath();
    QDir::setCurrent(root);
    CExtractDlg dlg{QString()};
    CModalScript script;
    script.Then(Press(QStringLiteral("IDC_BROWSE")))
        .Then(ChooseShown(root))
        .Then(Press(QStringLiteral("IDOK"), root + QStringLiteral("/edited"), true));
    QCOMPARE(dlg.DoModal(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_strFolder, root + QStringLiteral("/edited"));
}

void CDialogsTest::ChooserLooksAndOpensOnCurrentDirectory() {
    QTemporaryDir tmp;
    const QString root = QDir(tmp.path()).canonicalPath();
    QVERIFY(QDir(root).mkpath(QStringLiteral("sub")));
    QDir::setCurrent(root);
    QString result = QStringLiteral("untouched");
    CFolderDialog chooser(&result);
    QCOMPARE(chooser.windowTitle(), QStringLiteral("Choose folder"));
    QCOMPARE(chooser.directory().absolutePath(), root);
    QCOMPARE(chooser.fileMode(), QFileDialog::Directory);
    QVERIFY(chooser.testOption(QFileDialog::ShowDirsOnly));
    QVERIFY(chooser.testOption(QFileDialog::DontUseNativeDialog));

    CModalScript script;
    script.Then([&](QWidget* w) {
        QVERIFY(CModalScript::Child(w, QStringLiteral("Select")));
        QVERIFY(!w->findChild<QWidget*>(QStringLiteral("fileNameEdit"))->isVisible());
        QVERIFY(!w->findChild<QWidget*>(QStringLiteral("fileTypeCombo"))->isVisible());
        CModalScript::Click(CModalScript::Child(w, QStringLiteral("Cancel")));
    });
    QCOMPARE(chooser.DoModal(), int(QDialog::Rejected));
    QCOMPARE(result, QStringLiteral("untouched"));

    // Select right after opening answers the folder it opened on.
    CFolderDialog again(&result);
    script.Then([](QWidget* w) { CModalScript::Click(CModalScript::Child(w, QStringLiteral("Select"))); });
    QCOMPARE(again.DoModal(), int(QDialog::Accepted));
    QCOMPARE(result, root);
    QVERIFY(script.Unexpected().isEmpty());
}

QTEST_MAIN(CDialogsTest)
#include "DialogsTest.moc"
