#include "views/FolderTreeModel.h"

#include <QFont>
#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"

namespace vorpex {

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void FolderTreeModel::setPackFile(const PackFile* pack, const NameCodec* codec, const QString& topLabel) {
    beginResetModel();
    m_pack = pack;
    m_codec = codec;
    m_topLabel = topLabel;
    m_shown.clear();
    endResetModel();
}

void FolderTreeModel::setIcons(const QIcon& folder, const QIcon& archive) {
    m_folderIcon = folder;
    m_archiveIcon = archive;
}

const PackFolder* FolderTreeModel::top() const {
    return m_pack ? &m_pack->top() : nullptr;
}

// An archive with nothing in it (or one that could not be read) shows an empty tree; one with top-level
// files but no folder still gets its top item, which is how those files are reached.
bool FolderTreeModel::hasTop() const {
    return m_pack && (m_showEmptyTop || !m_pack->top().children().empty() || !m_pack->top().files().empty());
}

const PackFolder* FolderTreeModel::folder(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<const PackFolder*>(index.constInternalPointer());
}

bool FolderTreeModel::isTop(const QModelIndex& index) const {
    return index.isValid() && folder(index) == top();
}

QModelIndex FolderTreeModel::topIndex() const {
    return hasTop() ? createIndex(0, 0, top()) : QModelIndex();
}

QModelIndex FolderTreeModel::indexOf(const PackFolder* folder) const {
    if (!folder || !hasTop())
        return {};
    if (folder == top())
        return topIndex();
    const PackFolder* parent = folder->parent() ? folder->parent() : top();
    if (folder->row() >= shown(parent))
        return {};
    return createIndex(static_cast<int>(folder->row()), 0, folder);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? topIndex() : QModelIndex();
    const PackFolder* folder = this->folder(parent);
    if (!folder || parent.column() != 0 || static_cast<uint32_t>(row) >= shown(folder))
        return {};
    return createIndex(row, 0, folder->children()[row]);
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const PackFolder* folder = this->folder(child);
    if (!folder || folder == top())
        return {};
    // A top-level folder has no parent folder: it hangs under the top item.
    const PackFolder* up = folder->parent();
    return up ? createIndex(static_cast<int>(up->row()), 0, up) : topIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return hasTop() ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    const PackFolder* folder = this->folder(parent);
    return folder ? static_cast<int>(shown(folder)) : 0;
}

uint32_t FolderTreeModel::shown(const PackFolder* folder) const {
    const auto all = static_cast<uint32_t>(folder->children().size());
    const auto found = m_shown.constFind(folder);
    return std::min(all, found == m_shown.constEnd() ? kBatch : *found);
}

void FolderTreeModel::showUpTo(const PackFolder* folder, uint32_t count) {
    const uint32_t shown = this->shown(folder);
    count = std::min(count, static_cast<uint32_t>(folder->children().size()));
    if (count <= shown)
        return;
    beginInsertRows(indexOf(folder), static_cast<int>(shown), static_cast<int>(count) - 1);
    m_shown.insert(folder, count);
    endInsertRows();
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
    const PackFolder* folder = parent.column() == 0 ? this->folder(parent) : nullptr;
    return m_fetching && folder && shown(folder) < folder->children().size();
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
    if (const PackFolder* folder = parent.column() == 0 ? this->folder(parent) : nullptr)
        showUpTo(folder, shown(folder) + kBatch);
}

void FolderTreeModel::reveal(const PackFolder* folder) {
    if (!folder || !hasTop() || folder == top())
        return;
    const PackFolder* parent = folder->parent() ? folder->parent() : top();
    reveal(parent);
    // Whole batches, so the rows shown stay those the view would have fetched.
    const uint32_t want = (folder->row() / kBatch + 1) * kBatch;
    if (shown(parent) < want)
        showUpTo(parent, want);
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    const PackFolder* folder = this->folder(index);
    if (!folder)
        return {};
    const bool top = folder == this->top();
    switch (role) {
    case Qt::DisplayRole:
        if (top)
            return m_topLabel;
        return QString::fromStdString(m_codec ? m_codec->decode(folder->name())
                                              : std::string(folder->name()));
    case Qt::DecorationRole:
        return top ? m_archiveIcon : m_folderIcon;
    case Qt::EditRole:
        return top ? QVariant() : data(index, Qt::DisplayRole);
    case Qt::FontRole:
        if (!top && m_hooks.m_marked && m_hooks.m_marked(folder, nullptr)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (m_hooks.m_rename && !isTop(index))
        flags |= Qt::ItemIsEditable;
    if (m_hooks.m_drop)
        flags |= Qt::ItemIsDropEnabled;
    return flags;
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const PackFolder* folder = this->folder(index);
    if (role != Qt::EditRole || !folder || isTop(index) || !m_hooks.m_rename ||
        value.toString() == data(index, Qt::DisplayRole).toString())
        return false;
    return m_hooks.m_rename(folder, nullptr, value.toString());
}

bool FolderTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                      const QModelIndex& parent) const {
    return m_hooks.m_drop && folder(parent) && !droppedFiles(data).isEmpty();
}

bool FolderTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                   const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    return m_hooks.m_drop(folder(parent), droppedFiles(data));
}

bool FolderTreeModel::isAttached(const PackFolder* folder) const {
    while (folder != top()) {
        const PackFolder* parent = folder->parent() ? folder->parent() : top();
        const auto children = parent->children();
        if (folder->row() >= children.size() || children[folder->row()] != folder)
            return false;
        folder = parent;
    }
    return true;
}

void FolderTreeModel::beginChange() {
    emit layoutAboutToBeChanged();
    m_before = persistentIndexList();
}

// Indexes carry their folders: each finds its new row, or goes with its folder.
void FolderTreeModel::endChange() {
    const QModelIndexList before = std::exchange(m_before, {});
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const PackFolder* folder = this->folder(index);
        after.push_back(folder && hasTop() && isAttached(folder) ? indexOf(folder) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

// The tree drags one folder with everything below it; the top item is the whole archive.
QMimeData* FolderTreeModel::mimeData(const QModelIndexList& indexes) const {
    const QModelIndex index = indexes.value(0);
    const PackFolder* folder = this->folder(index);
    if (!m_stager || !folder)
        return nullptr;
    Selection selection;
    if (isTop(index))
        selection.m_wholeArchive = true;
    else
        selection.m_folders.push_back(folder);
    return m_stager(selection);
}

} // namespace vorpex
