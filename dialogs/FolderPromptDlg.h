#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// The small modal dialog that asks for one folder: an edit box, "Browse..." (the folder chooser), "OK" and
// "Cancel". The Extract and Options dialogs are this one class laid out from two templates; they differ in
// nothing else. A dialog lives for one command: created, shown with DoModal(), read, discarded.
class CFolderPromptDlg : public QDialog {
    Q_OBJECT

public:
    enum class ELayout { Extract, Options };

    CFolderPromptDlg(ELayout layout, const QString& folder, QWidget* pParent = nullptr);

    // Fills the edit box from m_strFolder and runs the dialog: QDialog::Accepted after OK (m_strFolder then
    // holds the edit box's text, unchecked), QDialog::Rejected after Cancel, Escape or the close box.
    int DoModal();

    QLineEdit* m_editFolder = nullptr; // IDC_FOLDER; owned by the dialog as its child
    QString m_strFolder;

public slots:
    // Runs the folder chooser; after Select the edit box shows the chosen folder at once, and the user may
    // still edit it before OK.
    void OnBrowse();
    void accept() override;

private:
    QPushButton* m_pBrowse = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};
