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

namespace vorpex {

QString PropertiesDlg::folderPath(const PackFolder& folder, const NameCodec& codec) {
    const NameEscaper escaper(codec);
    QString path;
    for (const PackFolder* f = &folder; f; f = f->parent())
        path.prepend(QString::fromStdString(escaper.escape(f->name())) + QLatin1Char('/'));
    return path;
}

QString PropertiesDlg::entryPath(const PackEntry& entry, const NameCodec& codec) {
    const QString name = QString::fromStdString(NameEscaper(codec).escape(entry.name()));
    return entry.folder() ? folderPath(*entry.folder(), codec) + name : name;
}

QString PropertiesDlg::bytesText(uint64_t bytes) {
    return tr("%1 bytes (%2KB)").arg(QLocale().toString(qulonglong(bytes))).arg(qulonglong(bytes >> 10));
}

PropertiesDlg::PropertiesDlg(const PackFile& pack, const PackFolder* folder, const PackEntry* entry,
                             const NameCodec& codec, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("PropertiesDlg"));
    setWindowTitle(tr("Properties"));
    setAccessibleName(tr("Properties"));
    auto* layout = new QVBoxLayout(this);
    m_form = new QFormLayout;
    layout->addLayout(m_form);

    const QLocale locale;
    if (entry) {
        addLine(tr("Name"), QString::fromStdString(codec.decode(entry->name())));
        addLine(tr("Path"), entryPath(*entry, codec));
        addLine(tr("Size"), bytesText(entry->size()));
        addLine(tr("Data offset"), QStringLiteral("%1 (0x%2)")
                                       .arg(locale.toString(qulonglong(entry->offset())))
                                       .arg(entry->offset(), 0, 16));
        if (const PackFile::DataPlace place = pack.dataOf(*entry);
            place.m_offset + entry->size() > place.m_end)
            addLine(tr("Problem"), tr("Its data lies beyond the end of the archive."));
    } else if (folder) {
        const bool top = folder == &pack.top();
        addLine(tr("Name"), top ? QString::fromStdString(pack.archiveName())
                                : QString::fromStdString(codec.decode(folder->name())));
        addLine(tr("Path"), top ? QStringLiteral("/") : folderPath(*folder, codec));
        const auto [folders, files, bytes] = pack.countBelow(*folder);
        addLine(tr("Contains"),
                (folders == 1 ? tr("%1 folder, ") : tr("%1 folders, "))
                        .arg(locale.toString(qulonglong(folders))) +
                    (files == 1 ? tr("%1 file") : tr("%1 files")).arg(locale.toString(qulonglong(files))));
        addLine(tr("Size"), bytesText(bytes));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void PropertiesDlg::addLine(const QString& label, const QString& value) {
    auto* field = new QLineEdit(value, this);
    field->setReadOnly(true);
    field->setAccessibleName(label);
    field->setObjectName(label);
    field->setCursorPosition(0);
    auto* caption = new QLabel(label + QLatin1Char(':'), this);
    caption->setBuddy(field);
    m_form->addRow(caption, field);
}

QString PropertiesDlg::value(const QString& label) const {
    const auto* field = findChild<QLineEdit*>(label);
    return field ? field->text() : QString();
}

} // namespace vorpex
