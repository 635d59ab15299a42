#pragma once

#include <QDialog>

class CNameCodec;
class CPackFile;
class QPlainTextEdit;

// File, "Check Archive": what `vorpex-cli check` prints for the open archive, in one dialog (the counts,
// every problem, and how many there are), from the same checker. Lives for one command; GUI thread only.
class CCheckDlg : public QDialog {
    Q_OBJECT
public:
    // Checks `pack` at once, names decoded with `codec`; both need only last through the constructor.
    CCheckDlg(const CPackFile& pack, const CNameCodec& codec, QWidget* parent = nullptr);

    const QString& Report() const { return m_strReport; }

private:
    QString m_strReport;
    QPlainTextEdit* m_pText;
};
