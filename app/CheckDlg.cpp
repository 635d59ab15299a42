#include "app/CheckDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameEscaper.h"

namespace vorpex {

CheckDlg::CheckDlg(const PackFile& pack, const NameCodec& codec, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CheckDlg"));
    setWindowTitle(QStringLiteral("Check Archive"));
    {
        // A million entries take a moment; the cursor says so.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const NameEscaper escaper(codec);
        ArchiveChecker checker(pack, codec, escaper);
        std::string report;
        checker.report([&report](const std::string& lines) { report += lines; });
        m_report = QString::fromStdString(report);
    }
    m_text = new QPlainTextEdit(m_report, this);
    m_text->setObjectName(QStringLiteral("CheckReport"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    resize(560, 360);
}

} // namespace vorpex
