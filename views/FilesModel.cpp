#include "views/FilesModel.h"

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

CFilesModel::CFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFilesModel::ShowFolder(const CPackFile* pack, const CPackFolder* folder, const CNameCodec* codec) {
    beginResetModel();
    m_pPack = pack;
    m_pFolder = pack ? folder : nullptr;
    m_pCodec = codec;
    endResetModel();
}

void CFilesModel::Clear() {
    ShowFolder(nullptr, nullptr, nullptr);
}

void CFilesModel::SetIcons(const QIcon& folder, const QIcon& file) {
    m_FolderIcon = folder;
    m_FileIcon = file;
}

int CFilesModel::FolderRows() const {
    return m_pFolder ? static_cast<int>(m_pFolder->GetChildren().size()) : 0;
}

bool CFilesModel::IsFolderRow(int row) const {
    return row >= 0 && row < FolderRows();
}

const CPackFolder* CFilesModel::FolderAt(int row) const {
    return IsFolderRow(row) ? m_pFolder->GetChildren()[row] : nullptr;
}

const CPackEntry* CFilesModel::EntryAt(int row) const {
    if (!m_pFolder || row < FolderRows() || row >= rowCount())
        return nullptr;
    return &m_pPack->Entry(m_pFolder->GetFiles()[row - FolderRows()]);
}

std::string_view CFilesModel::RawName(int row) const {
    if (const CPackFolder* folder = FolderAt(row))
        return folder->GetName();
    if (const CPackEntry* entry = EntryAt(row))
        return entry->GetName();
    return {};
}

QString CFilesModel::DisplayName(int row) const {
    const std::string_view raw = RawName(row);
    return QString::fromStdString(m_pCodec ? m_pCodec->Decode(raw) : std::string(raw));
}

QString CFilesModel::SizeText(uint32_t size) {
    return QString::number(size >> 10) + QStringLiteral("KB");
}

int CFilesModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_pFolder)
        return 0;
    return FolderRows() + static_cast<int>(m_pFolder->GetFiles().size());
}

int CFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant CFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const bool folder = IsFolderRow(row);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return DisplayName(row);
        case 1:
            return folder ? QString() : SizeText(EntryAt(row)->GetSize());
        case 2:
            return folder ? QString::fromLatin1(kFolderType) : QString();
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == 0)
            return folder ? m_FolderIcon : m_FileIcon;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 1 ? Qt::AlignRight : Qt::AlignLeft));
    default:
        return {};
    }
}

QVariant CFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section > 2)
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const titles[] = {"Name", "Size", "Type"};
        return QString::fromLatin1(titles[section]);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (section == 1 ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags CFilesModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}
