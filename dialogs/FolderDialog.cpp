#include "dialogs/FolderDialog.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>

namespace vorpex {

FolderDialog::FolderDialog(QString* pstrFolder, QWidget* pParent)
    : QFileDialog(pParent, tr("Choose folder"), QDir::currentPath()), m_folder(pstrFolder) {
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

QString FolderDialog::highlighted() const {
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

void FolderDialog::accept() {
    // Not QFileDialog::accept, which goes by the hidden file-name box.
    QString chosen = highlighted();
    if (chosen.isEmpty() || !QFileInfo(chosen).isDir())
        chosen = directory().absolutePath();
    if (QDir::setCurrent(chosen))
        chosen = QDir::currentPath();
    *m_folder = chosen;
    QDialog::accept();
}

} // namespace vorpex
