#include "extract/FolderDialog.h"

#include <QDir>

CFolderDialog::CFolderDialog(QString* pstrFolder, QWidget* pParent)
    : QFileDialog(pParent, tr("Choose folder"), QDir::currentPath()), m_pstrFolder(pstrFolder) {
    setObjectName(QStringLiteral("CFolderDialog"));
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
    setLabelText(QFileDialog::Accept, tr("Select"));
    setLabelText(QFileDialog::Reject, tr("Cancel"));
    // The answer is the folder shown, so a file-name box would only mislead, and there is no type to pick.
    for (const char* name : {"fileNameEdit", "fileNameLabel", "fileTypeCombo", "fileTypeLabel"}) {
        if (QWidget* w = findChild<QWidget*>(QString::fromLatin1(name)))
            w->hide();
    }
}

void CFolderDialog::accept() {
    // Not QFileDialog::accept: that would answer with the highlighted folder.
    QString strShown = directory().absolutePath();
    if (QDir::setCurrent(strShown))
        strShown = QDir::currentPath();
    *m_pstrFolder = strShown;
    QDialog::accept();
}
