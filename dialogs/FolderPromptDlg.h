#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

namespace vorpex {

// The small modal dialog that asks for one folder: an edit box, "Browse..." (the folder chooser), "OK" and
// "Cancel". The Extract and Options dialogs are this one class laid out from two templates; they differ in
// nothing else. A dialog lives for one command: created, shown with doModal(), read, discarded.
class FolderPromptDlg : public QDialog {
    Q_OBJECT

public:
    enum class Layout { Extract, Options };

    FolderPromptDlg(Layout layout, const QString& folder, QWidget* pParent = nullptr);

    // Fills the edit box from m_folder and runs the dialog: QDialog::Accepted after OK (m_folder then
    // holds the edit box's text, unchecked), QDialog::Rejected after Cancel, Escape or the close box.
    int exec() override;

    QLineEdit* m_editFolder = nullptr; // IDC_FOLDER; owned by the dialog as its child
    QString m_folder;

public slots:
    // Runs the folder chooser; after Select the edit box shows the chosen folder at once, and the user may
    // still edit it before OK.
    void onBrowse();
    void accept() override;

private:
    QPushButton* m_browse = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace vorpex
