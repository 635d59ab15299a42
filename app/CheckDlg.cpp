#include "app/CheckDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QVBoxLayout>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameEscaper.h"

CCheckDlg::CCheckDlg(const CPackFile& pack, const CNameCodec& codec, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CheckDlg"));
    setWindowTitle(QStringLiteral("Check Archive"));
    {
        // A million entries take a moment; the cursor says so.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        const CNameEscaper escaper(codec);
        CArchiveChecker checker(pack, codec, escaper);
        std::string report;
        checker.Report([&report](const std::string& lines) { report += lines; });
        m_strReport = QString::fromStdString(report);
    }
    m_pText = new QPlainTextEdit(m_strReport, this);
    m_pText->setObjectName(QStringLiteral("CheckReport"));
    m_pText->setReadOnly(true);
    m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pText);
    layout->addWidget(buttons);
    resize(560, 360);
}
