#pragma once

#include <QFileDialog>
#include <QString>

namespace vorpex {

// The folder chooser behind the Browse buttons: a file dialog that lists folders only, titled
// "Choose folder", with "Select" and "Cancel". It opens on the process's current directory; Select returns
// the full path of the folder highlighted in the list, or of the folder being shown when none is, and makes
// it the current directory, so the next chooser opens there and a relative destination typed later is taken
// from there. This is the one place the desktop program changes its working directory, and it does so on the
// user-interface thread while no extraction runs (extractions are modal).
class FolderDialog : public QFileDialog {
    Q_OBJECT

public:
    // `pstrFolder` receives the chosen folder after Select and is left alone otherwise; the caller owns it
    // and it must outlive the dialog.
    explicit FolderDialog(QString* pstrFolder, QWidget* pParent = nullptr);

    // QDialog::Accepted after Select, QDialog::Rejected after Cancel, Escape or the close box.

    QString* m_folder;

public slots:
    void accept() override;

private:
    // The full path of the folder highlighted in the list; empty when none is.
    QString highlighted() const;
};

} // namespace vorpex
