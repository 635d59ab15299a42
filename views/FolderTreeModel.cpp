#include "views/FolderTreeModel.h"

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

CFolderTreeModel::CFolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void CFolderTreeModel::SetPackFile(const CPackFile* pack, const CNameCodec* codec, const QString& topLabel) {
    beginResetModel();
    m_pPack = pack;
    m_pCodec = codec;
    m_strTopLabel = topLabel;
    m_Shown.clear();
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
    const CPackFolder* parent = folder->GetParent() ? folder->GetParent() : Top();
    if (folder->GetRow() >= Shown(parent))
        return {};
    return createIndex(static_cast<int>(folder->GetRow()), 0, folder);
}

QModelIndex CFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? TopIndex() : QModelIndex();
    const CPackFolder* folder = Folder(parent);
    if (!folder || parent.column() != 0 || static_cast<uint32_t>(row) >= Shown(folder))
        return {};
    return createIndex(row, 0, folder->GetChildren()[row]);
}

QModelIndex CFolderTreeModel::parent(const QModelIndex& child) const {
    const CPackFolder* folder = Folder(child);
    if (!folder || folder == Top())
        return {};
    // A top-level folder has no parent folder: it hangs under the top item.
    const CPackFolder* up = folder->GetParent();
    return up ? createIndex(static_cast<int>(up->GetRow()), 0, up) : TopIndex();
}

int CFolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return HasTop() ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const CPackFolder* folder = Folder(parent);
    return folder ? static_cast<int>(Shown(folder)) : 0;
}

uint32_t CFolderTreeModel::Shown(const CPackFolder* folder) const {
    const auto all = static_cast<uint32_t>(folder->GetChildren().size());
    const auto found = m_Shown.constFind(folder);
    return std::min(all, found == m_Shown.constEnd() ? kBatch : *found);
}

void CFolderTreeModel::ShowUpTo(const CPackFolder* folder, uint32_t count) {
    const uint32_t shown = Shown(folder);
    count = std::min(count, static_cast<uint32_t>(folder->GetChildren().size()));
    if (count <= shown)
        return;
    beginInsertRows(IndexOf(folder), static_cast<int>(shown), static_cast<int>(count) - 1);
    m_Shown.insert(folder, count);
    endInsertRows();
}

bool CFolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    const CPackFolder* folder = parent.column() == 0 ? Folder(parent) : nullptr;
    return m_bFetching && folder && Shown(folder) < folder->GetChildren().size();
}

void CFolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (const CPackFolder* folder = parent.column() == 0 ? Folder(parent) : nullptr)
        ShowUpTo(folder, Shown(folder) + kBatch);
}

void CFolderTreeModel::Reveal(const CPackFolder* folder) {
    if (!folder || !HasTop() || folder == Top())
        return;
    const CPackFolder* parent = folder->GetParent() ? folder->GetParent() : Top();
    Reveal(parent);
    // Whole batches, so the rows shown stay those the view would have fetched.
    const uint32_t want = (folder->GetRow() / kBatch + 1) * kBatch;
    if (Shown(parent) < want)
        ShowUpTo(parent, want);
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
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                           : Qt::NoItemFlags;
}

// The tree drags one folder with everything below it; the top item is the whole archive.
QMimeData* CFolderTreeModel::mimeData(const QModelIndexList& indexes) const {
    const QModelIndex index = indexes.value(0);
    const CPackFolder* folder = Folder(index);
    if (!m_stager || !folder)
        return nullptr;
    CSelection selection;
    if (IsTop(index))
        selection.m_bWholeArchive = true;
    else
        selection.m_Folders.push_back(folder);
    return m_stager(selection);
}
