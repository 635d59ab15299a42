#include "views/PropertiesDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>

#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"

QString CPropertiesDlg::FolderPath(const CPackFolder& folder, const CNameCodec& codec) {
    const CNameEscaper escaper(codec);
    QString path;
    for (const CPackFolder* f = &folder; f; f = f->GetParent())
        path.prepend(QString::fromStdString(escaper.Escape(f->GetName())) + QLatin1Char('/'));
    return path;
}

QString CPropertiesDlg::EntryPath(const CPackEntry& entry, const CNameCodec& codec) {
    const QString name = QString::fromStdString(CNameEscaper(codec).Escape(entry.GetName()));
    return entry.GetFolder() ? FolderPath(*entry.GetFolder(), codec) + name : name;
}

QString CPropertiesDlg::BytesText(uint64_t bytes) {
    return tr("%1 bytes (%2KB)").arg(QLocale().toString(qulonglong(bytes))).arg(qulonglong(bytes >> 10));
}

CPropertiesDlg::CPropertiesDlg(const CPackFile& pack, const CPackFolder* folder, const CPackEntry* entry,
                               const CNameCodec& codec, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PropertiesDlg"));
    setWindowTitle(tr("Properties"));
    setAccessibleName(tr("Properties"));
    auto* layout = new QVBoxLayout(this);
    m_pForm = new QFormLayout;
    layout->addLayout(m_pForm);

    const QLocale locale;
    if (entry) {
        AddLine(tr("Name"), QString::fromStdString(codec.Decode(entry->GetName())));
        AddLine(tr("Path"), EntryPath(*entry, codec));
        AddLine(tr("Size"), BytesText(entry->GetSize()));
        AddLine(tr("Data offset"), QStringLiteral("%1 (0x%2)")
                                       .arg(locale.toString(qulonglong(entry->GetOffset())))
                                       .arg(entry->GetOffset(), 0, 16));
        if (uint64_t(entry->GetOffset()) + entry->GetSize() > pack.GetFileSize())
            AddLine(tr("Problem"), tr("Its data lies beyond the end of the archive."));
    } else if (folder) {
        const bool bTop = folder == &pack.GetTop();
        AddLine(tr("Name"), bTop ? QString::fromStdString(pack.GetArchiveName())
                                 : QString::fromStdString(codec.Decode(folder->GetName())));
        AddLine(tr("Path"), bTop ? QStringLiteral("/") : FolderPath(*folder, codec));
        const auto [folders, files, bytes] = pack.CountBelow(*folder);
        AddLine(tr("Contains"),
                (folders == 1 ? tr("%1 folder, ") : tr("%1 folders, "))
                        .arg(locale.toString(qulonglong(folders))) +
                    (files == 1 ? tr("%1 file") : tr("%1 files")).arg(locale.toString(qulonglong(files))));
        AddLine(tr("Size"), BytesText(bytes));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void CPropertiesDlg::AddLine(const QString& label, const QString& value) {
    auto* field = new QLineEdit(value, this);
    field->setReadOnly(true);
    field->setAccessibleName(label);
    field->setObjectName(label);
    field->setCursorPosition(0);
    auto* caption = new QLabel(label + QLatin1Char(':'), this);
    caption->setBuddy(field);
    m_pForm->addRow(caption, field);
}

QString CPropertiesDlg::Value(const QString& label) const {
    const auto* field = findChild<QLineEdit*>(label);
    return field ? field->text() : QString();
}
