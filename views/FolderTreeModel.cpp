#include "views/FolderTreeModel.h"

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

CFolderTreeModel::CFolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void CFolderTreeModel::SetPackFile(const CPackFile* pack, const CNameCodec* codec, const QString& topLabel) {
    beginResetModel();
    m_pPack = pack;
    m_pCodec = codec;
    m_strTopLabel = topLabel;
    endResetModel();
}

void CFolderTreeModel::SetIcons(const QIcon& folder, const QIcon& archive) {
    m_FolderIcon = folder;
    m_ArchiveIcon = archive;
}

const CPackFolder* CFolderTreeModel::Top() const {
    return m_pPack ? &m_pPack->GetTop() : nullptr;
}

// An archive with nothing in it (or one that could not be read) shows an empty tree; one with top-level
// files but no folder still gets its top item, which is how those files are reached.
bool CFolderTreeModel::HasTop() const {
    return m_pPack && (!m_pPack->GetTop().GetChildren().empty() || !m_pPack->GetTop().GetFiles().empty());
}

const CPackFolder* CFolderTreeModel::Folder(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<const CPackFolder*>(index.constInternalPointer());
}

bool CFolderTreeModel::IsTop(const QModelIndex& index) const {
    return index.isValid() && Folder(index) == Top();
}

QModelIndex CFolderTreeModel::TopIndex() const {
    return HasTop() ? createIndex(0, 0, Top()) : QModelIndex();
}

QModelIndex CFolderTreeModel::IndexOf(const CPackFolder* folder) const {
    if (!folder || !HasTop())
        return {};
    if (folder == Top())
        return TopIndex();
    return createIndex(static_cast<int>(folder->GetRow()), 0, folder);
}

QModelIndex CFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? TopIndex() : QModelIndex();
    const CPackFolder* folder = Folder(parent);
    if (!folder || parent.column() != 0 || static_cast<size_t>(row) >= folder->GetChildren().size())
        return {};
    return createIndex(row, 0, folder->GetChildren()[row]);
}

QModelIndex CFolderTreeModel::parent(const QModelIndex& child) const {
    const CPackFolder* folder = Folder(child);
    if (!folder || folder == Top())
        return {};
    // A top-level folder has no parent folder: it hangs under the top item.
    return folder->GetParent() ? IndexOf(folder->GetParent()) : TopIndex();
}

int CFolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return HasTop() ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const CPackFolder* folder = Folder(parent);
    return folder ? static_cast<int>(folder->GetChildren().size()) : 0;
}

int CFolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CFolderTreeModel::data(const QModelIndex& index, int role) const {
    const CPackFolder* folder = Folder(index);
    if (!folder)
        return {};
    const bool top = folder == Top();
    switch (role) {
    case Qt::DisplayRole:
        if (top)
            return m_strTopLabel;
        return QString::fromStdString(m_pCodec ? m_pCodec->Decode(folder->GetName())
                                               : std::string(folder->GetName()));
    case Qt::DecorationRole:
        return top ? m_ArchiveIcon : m_FolderIcon;
    default:
        return {};
    }
}

Qt::ItemFlags CFolderTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
