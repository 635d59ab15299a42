#include "views/FilesModel.h"

#include <algorithm>

#include "catalogue/NameCodec.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PackFile.h"

CFilesModel::CFilesModel(QObject* parent) : QAbstractTableModel(parent) {}

void CFilesModel::ShowFolder(const CPackFile* pack, const CPackFolder* folder, const CNameCodec* codec) {
    beginResetModel();
    m_pPack = pack;
    m_pFolder = pack ? folder : nullptr;
    m_pCodec = codec;
    m_bMatches = false;
    m_Hits.clear();
    m_nFolderHits = 0;
    if (m_nSortColumn >= columnCount())
        m_nSortColumn = kNoSort; // the folder column is gone with the matches
    Sort();
    endResetModel();
}

void CFilesModel::ShowMatches(const CPackFile* pack, std::vector<CFindHit> hits, const CNameCodec* codec) {
    beginResetModel();
    m_pPack = pack;
    m_pFolder = nullptr;
    m_pCodec = codec;
    m_bMatches = pack != nullptr;
    m_Hits = pack ? std::move(hits) : std::vector<CFindHit>();
    m_nFolderHits = 0;
    while (m_nFolderHits < static_cast<int>(m_Hits.size()) && m_Hits[m_nFolderHits].m_pFolder)
        ++m_nFolderHits;
    Sort();
    endResetModel();
}

void CFilesModel::Clear() {
    ShowFolder(nullptr, nullptr, nullptr);
}

void CFilesModel::SetIcons(const QIcon& folder, const QIcon& file) {
    m_FolderIcon = folder;
    m_FileIcon = file;
}

void CFilesModel::SetSort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount())
        column = kNoSort;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(before.size());
    for (const QModelIndex& index : before)
        sources.push_back(Source(index.row()));
    m_nSortColumn = column;
    m_SortOrder = order;
    Sort();
    std::vector<int> shown(SourceRows());
    for (int row = 0; row < static_cast<int>(shown.size()); ++row)
        shown[Source(row)] = row;
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(shown[sources[i]], before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CFilesModel::Sort() {
    m_Order.clear();
    if (m_nSortColumn == kNoSort || !m_pCodec)
        return;
    std::vector<CSortRow> rows;
    const int count = SourceRows();
    rows.reserve(count);
    std::vector<std::string> paths; // kept alive for the sort
    if (m_nSortColumn == 3)
        paths.reserve(count);
    for (int source = 0; source < count; ++source) {
        CSortRow row;
        const CPackFolder* folder =
            source < FolderRows() ? (m_bMatches ? m_Hits[source].m_pFolder : m_pFolder->GetChildren()[source])
                                  : nullptr;
        const CPackEntry* entry = nullptr;
        if (!folder)
            entry = m_bMatches ? m_Hits[source].m_pEntry
                               : &m_pPack->Entry(m_pFolder->GetFiles()[source - FolderRows()]);
        row.m_bFolder = folder != nullptr;
        row.m_Raw = folder ? std::string_view(folder->GetName()) : entry->GetName();
        row.m_nSize = entry ? entry->GetSize() : 0;
        if (m_nSortColumn == 3) {
            const CPackFolder* parent = folder ? folder->GetParent() : entry->GetFolder();
            paths.push_back(parent ? parent->GetPath() : std::string());
            row.m_Path = paths.back();
        }
        rows.push_back(row);
    }
    static const ESortBy kBy[] = {ESortBy::Name, ESortBy::Size, ESortBy::Type, ESortBy::Path};
    m_Order = SortRows(rows, kBy[m_nSortColumn], m_SortOrder == Qt::DescendingOrder, *m_pCodec);
}

int CFilesModel::FolderRows() const {
    if (m_bMatches)
        return m_nFolderHits;
    return m_pFolder ? static_cast<int>(m_pFolder->GetChildren().size()) : 0;
}

int CFilesModel::SourceRows() const {
    if (m_bMatches)
        return static_cast<int>(m_Hits.size());
    return m_pFolder ? FolderRows() + static_cast<int>(m_pFolder->GetFiles().size()) : 0;
}

int CFilesModel::Source(int row) const {
    if (row < 0 || row >= SourceRows())
        return -1;
    return m_Order.empty() ? row : static_cast<int>(m_Order[row]);
}

bool CFilesModel::IsFolderRow(int row) const {
    const int source = Source(row);
    return source >= 0 && source < FolderRows();
}

const CPackFolder* CFilesModel::FolderAt(int row) const {
    if (!IsFolderRow(row))
        return nullptr;
    const int source = Source(row);
    return m_bMatches ? m_Hits[source].m_pFolder : m_pFolder->GetChildren()[source];
}

const CPackEntry* CFilesModel::EntryAt(int row) const {
    const int source = Source(row);
    if (source < FolderRows())
        return nullptr;
    return m_bMatches ? m_Hits[source].m_pEntry
                      : &m_pPack->Entry(m_pFolder->GetFiles()[source - FolderRows()]);
}

int CFilesModel::RowOf(const CPackFolder* folder, const CPackEntry* entry) const {
    for (int row = 0; row < rowCount(); ++row) {
        if (folder ? FolderAt(row) == folder : EntryAt(row) == entry)
            return row;
    }
    return -1;
}

const CPackFolder* CFilesModel::ParentAt(int row) const {
    const CPackFolder* parent = nullptr;
    if (const CPackFolder* folder = FolderAt(row))
        parent = folder->GetParent();
    else if (const CPackEntry* entry = EntryAt(row))
        parent = entry->GetFolder();
    else
        return nullptr;
    return parent ? parent : &m_pPack->GetTop();
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
    return parent.isValid() ? 0 : SourceRows();
}

int CFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_bMatches ? 4 : 3;
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
        case 3: {
            // Each name decoded on its own: a code page may give the backslash byte another meaning.
            QString path;
            for (const CPackFolder* f = ParentAt(row); f && f != &m_pPack->GetTop(); f = f->GetParent())
                path.prepend(QLatin1Char('\\') + QString::fromStdString(m_pCodec
                                                                            ? m_pCodec->Decode(f->GetName())
                                                                            : std::string(f->GetName())));
            return path.isEmpty() ? QStringLiteral("\\") : path;
        }
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

Qt::ItemFlags CFilesModel::flags(const QModelIndex& index) const {
    return index.isValid()
               ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled
               : Qt::NoItemFlags;
}

// The folder rows, then the file rows, each in the order shown, as the list's selection gives them.
QMimeData* CFilesModel::mimeData(const QModelIndexList& indexes) const {
    if (!m_stager)
        return nullptr;
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.model() == this)
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    CSelection selection;
    for (int row : rows) {
        if (const CPackFolder* folder = FolderAt(row))
            selection.m_Folders.push_back(folder);
        else if (const CPackEntry* entry = EntryAt(row))
            selection.m_Files.push_back(entry);
    }
    if (selection.m_Folders.empty() && selection.m_Files.empty())
        return nullptr;
    return m_stager(selection);
}
