#include "views/PropertiesDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QVBoxLayout>
#include <vector>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

namespace {

QString EscapedName(std::string_view raw, const CNameCodec& codec) {
    const std::string name = codec.Decode(raw);
    QByteArray bytes;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '/' || c == '\\') {
            static const char kHex[] = "0123456789ABCDEF";
            bytes += "\\x";
            bytes += kHex[byte >> 4];
            bytes += kHex[byte & 15];
        } else {
            bytes += c;
        }
    }
    return QString::fromUtf8(bytes);
}

} // namespace

QString CPropertiesDlg::FolderPath(const CPackFolder& folder, const CNameCodec& codec) {
    QString path;
    for (const CPackFolder* f = &folder; f; f = f->GetParent())
        path.prepend(EscapedName(f->GetName(), codec) + QLatin1Char('/'));
    return path;
}

QString CPropertiesDlg::EntryPath(const CPackEntry& entry, const CNameCodec& codec) {
    const QString name = EscapedName(entry.GetName(), codec);
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
        // The catalogue is a tree (the reader reads no record twice), so the walk ends.
        uint64_t folders = 0, files = 0, bytes = 0;
        std::vector<const CPackFolder*> todo{folder};
        while (!todo.empty()) {
            const CPackFolder* f = todo.back();
            todo.pop_back();
            files += f->GetFiles().size();
            for (uint32_t index : f->GetFiles())
                bytes += pack.Entry(index).GetSize();
            folders += f->GetChildren().size();
            todo.insert(todo.end(), f->GetChildren().begin(), f->GetChildren().end());
        }
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
