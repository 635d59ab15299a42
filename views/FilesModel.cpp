#include "views/FilesModel.h"

#include <QFont>
#include <unordered_map>

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PackFile.h"

namespace vorpex {

FilesModel::FilesModel(QObject* parent) : QAbstractTableModel(parent) {}

void FilesModel::showFolder(const PackFile* pack, const PackFolder* folder, const NameCodec* codec) {
    beginResetModel();
    m_pack = pack;
    m_folder = pack ? folder : nullptr;
    m_codec = codec;
    m_matches = false;
    m_hits.clear();
    m_folderHits = 0;
    if (m_sortColumn >= columnCount())
        m_sortColumn = kNoSort; // the folder column is gone with the matches
    sort();
    endResetModel();
}

void FilesModel::showMatches(const PackFile* pack, std::vector<FindHit> hits, const NameCodec* codec) {
    beginResetModel();
    m_pack = pack;
    m_folder = nullptr;
    m_codec = codec;
    m_matches = pack != nullptr;
    m_hits = pack ? std::move(hits) : std::vector<FindHit>();
    m_folderHits = 0;
    while (m_folderHits < static_cast<int>(m_hits.size()) && m_hits[m_folderHits].m_folder)
        ++m_folderHits;
    sort();
    endResetModel();
}

void FilesModel::clear() {
    showFolder(nullptr, nullptr, nullptr);
}

void FilesModel::setIcons(const QIcon& folder, const QIcon& file) {
    m_folderIcon = folder;
    m_fileIcon = file;
}

void FilesModel::setSort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount())
        column = kNoSort;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(before.size());
    for (const QModelIndex& index : before)
        sources.push_back(source(index.row()));
    m_sortColumn = column;
    m_sortOrder = order;
    sort();
    std::vector<int> shown(sourceRows());
    for (int row = 0; row < static_cast<int>(shown.size()); ++row)
        shown[source(row)] = row;
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(shown[sources[i]], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FilesModel::sort() {
    m_order.clear();
    if (m_sortColumn == kNoSort || !m_codec)
        return;
    std::vector<SortRow> rows;
    const int count = sourceRows();
    rows.reserve(count);
    std::vector<std::string> paths; // kept alive for the sort
    if (m_sortColumn == 3)
        paths.reserve(count);
    for (int source = 0; source < count; ++source) {
        SortRow row;
        const PackFolder* folder = source < folderRows()
                                       ? (m_matches ? m_hits[source].m_folder : m_folder->children()[source])
                                       : nullptr;
        const PackEntry* entry = nullptr;
        if (!folder)
            entry =
                m_matches ? m_hits[source].m_entry : &m_pack->entry(m_folder->files()[source - folderRows()]);
        row.m_folder = folder != nullptr;
        row.m_raw = folder ? std::string_view(folder->name()) : entry->name();
        row.m_size = entry ? entry->size() : 0;
        if (m_sortColumn == 3) {
            const PackFolder* parent = folder ? folder->parent() : entry->folder();
            paths.push_back(parent ? parent->path() : std::string());
            row.m_path = paths.back();
        }
        rows.push_back(row);
    }
    static const SortBy kBy[] = {SortBy::Name, SortBy::Size, SortBy::Type, SortBy::Path};
    m_order = sortRows(rows, kBy[m_sortColumn], m_sortOrder == Qt::DescendingOrder, *m_codec);
}

int FilesModel::folderRows() const {
    if (m_matches)
        return m_folderHits;
    return m_folder ? static_cast<int>(m_folder->children().size()) : 0;
}

int FilesModel::sourceRows() const {
    if (m_matches)
        return static_cast<int>(m_hits.size());
    return m_folder ? folderRows() + static_cast<int>(m_folder->files().size()) : 0;
}

int FilesModel::source(int row) const {
    if (row < 0 || row >= sourceRows())
        return -1;
    return m_order.empty() ? row : static_cast<int>(m_order[row]);
}

bool FilesModel::isFolderRow(int row) const {
    const int source = this->source(row);
    return source >= 0 && source < folderRows();
}

const PackFolder* FilesModel::folderAt(int row) const {
    if (!isFolderRow(row))
        return nullptr;
    const int source = this->source(row);
    return m_matches ? m_hits[source].m_folder : m_folder->children()[source];
}

const PackEntry* FilesModel::entryAt(int row) const {
    const int source = this->source(row);
    if (source < folderRows())
        return nullptr;
    return m_matches ? m_hits[source].m_entry : &m_pack->entry(m_folder->files()[source - folderRows()]);
}

uint32_t FilesModel::entryIndexAt(int row) const {
    const int source = this->source(row);
    if (source < folderRows())
        return UINT32_MAX;
    if (!m_matches)
        return m_folder->files()[source - folderRows()];
    // A match knows its entry, not its index: its folder's list does.
    const PackEntry* entry = m_hits[source].m_entry;
    const PackFolder* parent = parentAt(row);
    for (uint32_t index : parent->files())
        if (&m_pack->entry(index) == entry)
            return index;
    return UINT32_MAX;
}

int FilesModel::rowOf(const PackFolder* folder, const PackEntry* entry) const {
    for (int row = 0; row < rowCount(); ++row) {
        if (folder ? folderAt(row) == folder : entryAt(row) == entry)
            return row;
    }
    return -1;
}

const PackFolder* FilesModel::parentAt(int row) const {
    const PackFolder* parent = nullptr;
    if (const PackFolder* folder = folderAt(row))
        parent = folder->parent();
    else if (const PackEntry* entry = entryAt(row))
        parent = entry->folder();
    else
        return nullptr;
    return parent ? parent : &m_pack->top();
}

std::string_view FilesModel::rawName(int row) const {
    if (const PackFolder* folder = folderAt(row))
        return folder->name();
    if (const PackEntry* entry = entryAt(row))
        return entry->name();
    return {};
}

QString FilesModel::displayName(int row) const {
    const std::string_view raw = rawName(row);
    return QString::fromStdString(m_codec ? m_codec->decode(raw) : std::string(raw));
}

QString FilesModel::sizeText(uint32_t size) {
    return QString::number(size >> 10) + QStringLiteral("KB");
}

int FilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : sourceRows();
}

int FilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_matches ? 4 : 3;
}

QVariant FilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const int row = index.row();
    const bool folder = isFolderRow(row);
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return displayName(row);
        case 1:
            return folder ? QString() : sizeText(entryAt(row)->size());
        case 2:
            return folder ? QString::fromLatin1(kFolderType) : QString();
        case 3: {
            // Each name decoded on its own: a code page may give the backslash byte another meaning.
            QString path;
            for (const PackFolder* f = parentAt(row); f && f != &m_pack->top(); f = f->parent())
                path.prepend(QLatin1Char('\\') + QString::fromStdString(m_codec ? m_codec->decode(f->name())
                                                                                : std::string(f->name())));
            return path.isEmpty() ? QStringLiteral("\\") : path;
        }
        }
        return {};
    case Qt::DecorationRole:
        if (index.column() == 0)
            return folder ? m_folderIcon : m_fileIcon;
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 1 ? Qt::AlignRight : Qt::AlignLeft));
    case Qt::EditRole:
        return index.column() == 0 ? QVariant(displayName(row)) : QVariant();
    case Qt::FontRole:
        if (m_hooks.m_marked && m_hooks.m_marked(folderAt(row), entryAt(row))) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant FilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole) {
        static const char* const titles[] = {"Name", "Size", "Type", "In Folder"};
        return QString::fromLatin1(titles[section]);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (section == 1 ? Qt::AlignRight : Qt::AlignLeft));
    return {};
}

Qt::ItemFlags FilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return m_hooks.m_drop ? Qt::ItemIsDropEnabled : Qt::NoItemFlags;
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (m_hooks.m_rename && index.column() == 0)
        flags |= Qt::ItemIsEditable;
    if (m_hooks.m_drop && folderAt(index.row()))
        flags |= Qt::ItemIsDropEnabled;
    return flags;
}

bool FilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || !m_hooks.m_rename)
        return false;
    const QString name = value.toString();
    if (name == displayName(index.row()))
        return false;
    return m_hooks.m_rename(folderAt(index.row()), entryAt(index.row()), name);
}

const PackFolder* FilesModel::dropFolder(const QModelIndex& parent) const {
    if (!m_hooks.m_drop || m_matches)
        return nullptr;
    if (parent.isValid())
        if (const PackFolder* folder = folderAt(parent.row()))
            return folder;
    return m_folder;
}

bool FilesModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                 const QModelIndex& parent) const {
    return dropFolder(parent) && !droppedFiles(data).isEmpty();
}

bool FilesModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                              const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    return m_hooks.m_drop(dropFolder(parent), droppedFiles(data));
}

const void* FilesModel::identity(int row) const {
    if (const PackFolder* folder = folderAt(row))
        return folder;
    return entryAt(row);
}

void FilesModel::beginChange(const PackFolder* renamedFolder, const PackEntry* renamedEntry) {
    // A name changed in place moves no row unless the rows are sorted: its row's text is all that changes.
    m_renaming = (renamedFolder || renamedEntry) && m_order.empty() && !m_matches && m_folder;
    m_renamedFolder = renamedFolder;
    m_renamedEntry = renamedEntry;
    if (m_renaming)
        return;
    emit layoutAboutToBeChanged();
    m_before = persistentIndexList();
    m_items.clear();
    m_items.reserve(size_t(m_before.size()));
    for (const QModelIndex& index : m_before)
        m_items.push_back({identity(index.row()), folderAt(index.row()) != nullptr});
}

void FilesModel::endChange() {
    if (std::exchange(m_renaming, false)) {
        int row = -1;
        const auto children = m_folder->children();
        if (const PackFolder* folder = m_renamedFolder;
            folder && folder->row() < children.size() && children[folder->row()] == folder)
            row = int(folder->row());
        const auto files = m_folder->files();
        for (size_t at = 0; m_renamedEntry && row < 0 && at < files.size(); ++at)
            if (&m_pack->entry(files[at]) == m_renamedEntry)
                row = folderRows() + int(at);
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        return;
    }
    const QModelIndexList before = std::exchange(m_before, {});
    const std::vector<std::pair<const void*, bool>> items = std::exchange(m_items, {});
    sort();
    std::unordered_map<const void*, int> rows;
    std::vector<const void*> files; // the items that were file rows
    for (const auto& [item, folder] : items)
        if (item && rows.emplace(item, -1).second && !folder)
            files.push_back(item);
    if (!rows.empty() && !m_matches && m_order.empty() && m_folder) {
        // In the archive's order a folder row is its folder's place in the list; a file row is found in
        // one pass over the folder's files, comparing entries' addresses.
        const auto children = m_folder->children();
        for (const auto& [item, isFolder] : items)
            if (const auto* folder = static_cast<const PackFolder*>(item);
                isFolder && folder->row() < children.size() && children[folder->row()] == folder)
                rows[item] = int(folder->row());
        const auto entries = m_folder->files();
        const int first = folderRows();
        for (size_t at = 0; at < entries.size() && !files.empty(); ++at) {
            const void* entry = &m_pack->entry(entries[at]);
            if (const auto found = std::find(files.begin(), files.end(), entry); found != files.end()) {
                rows[entry] = first + int(at);
                files.erase(found);
            }
        }
    } else if (!rows.empty()) {
        // One pass over the rows finds every item still shown.
        for (int row = 0, count = rowCount(); row < count; ++row)
            if (auto found = rows.find(identity(row)); found != rows.end())
                found->second = row;
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row = items[size_t(i)].first ? rows[items[size_t(i)].first] : -1;
        after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

// The folder rows, then the file rows, each in the order shown, as the list's selection gives them.
QMimeData* FilesModel::mimeData(const QModelIndexList& indexes) const {
    if (!m_stager)
        return nullptr;
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.model() == this)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    Selection selection;
    for (int row : rows) {
        if (const PackFolder* folder = folderAt(row))
            selection.m_folders.push_back(folder);
        else if (const PackEntry* entry = entryAt(row))
            selection.m_files.push_back(entry);
    }
    if (selection.m_folders.empty() && selection.m_files.empty())
        return nullptr;
    return m_stager(selection);
}

} // namespace vorpex
