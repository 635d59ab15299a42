#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vorpex {

class NameCodec;
class PackFile;

// File, "Check Archive": what `vorpex-cli check` prints for the open archive, in one dialog (the counts,
// every problem, and how many there are), from the same checker. Lives for one command; GUI thread only.
class CheckDlg : public QDialog {
    Q_OBJECT
public:
    // Checks `pack` at once, names decoded with `codec`; both need only last through the constructor.
    CheckDlg(const PackFile& pack, const NameCodec& codec, QWidget* parent = nullptr);

    const QString& report() const { return m_report; }

private:
    QString m_report;
    QPlainTextEdit* m_text;
};

} // namespace vorpex
