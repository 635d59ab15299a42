#include "dialogs/FolderDialog.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>

CFolderDialog::CFolderDialog(QString* pstrFolder, QWidget* pParent)
    : QFileDialog(pParent, tr("Choose folder"), QDir::currentPath()), m_pstrFolder(pstrFolder) {
    setObjectName(QStringLiteral("CFolderDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setLabelText(QFileDialog::Accept, tr("Select"));
    setLabelText(QFileDialog::Reject, tr("Cancel"));
    // The answer is a folder of the list, or the one shown, so a file-name box would only mislead, and there
    // is no type to pick.
    for (const char* name : {"fileNameEdit", "fileNameLabel", "fileTypeCombo", "fileTypeLabel"}) {
        if (QWidget* w = findChild<QWidget*>(QString::fromLatin1(name)))
            w->hide();
    }
}

QString CFolderDialog::Highlighted() const {
    // The list and the detail view share one selection; whichever is shown holds it.
    for (const char* name : {"listView", "treeView"}) {
        const auto* view = findChild<QAbstractItemView*>(QString::fromLatin1(name));
        if (!view || !view->isVisible() || !view->selectionModel())
            continue;
        for (const QModelIndex& row : view->selectionModel()->selectedRows())
            if (row.parent() == view->rootIndex()) // in the folder shown, not one left behind
                return row.data(QFileSystemModel::FilePathRole).toString();
    }
    return {};
}

void CFolderDialog::accept() {
    // Not QFileDialog::accept, which goes by the hidden file-name box.
    QString strChosen = Highlighted();
    if (strChosen.isEmpty() || !QFileInfo(strChosen).isDir())
        strChosen = directory().absolutePath();
    if (QDir::setCurrent(strChosen))
        strChosen = QDir::currentPath();
    *m_pstrFolder = strChosen;
    QDialog::accept();
}
