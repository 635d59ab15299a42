#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <vector>

#include "catalogue/NameFinder.h"
#include "views/EditHooks.h"
#include "views/EntryDrag.h"

namespace vorpex {

class NameCodec;
class PackEntry;
class PackFile;
class PackFolder;

// The contents of one folder as the rows of the file list: first a row for each sub-folder, then a row for
// each of the folder's own files, both in archive order. The rows are read from the folder itself (its
// m_children and m_files) whenever the view asks, so showing a folder costs the same for ten rows or a
// hundred thousand. Columns: 0 the name, 1 the size ("12KB", empty for a folder), 2 the type ("File
// Folder" for a folder, empty for a file).
// The model also shows the matches of a search across the archive (ShowMatches): folder matches first, then
// file matches, with a fourth column "In Folder" holding each match's folder path. Either listing can be
// sorted by a column (SetSort); the archive's own order is the default.
// The catalogue and the codec belong to the document; Clear must be called before they go. GUI thread only.
class FilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr const char* kFolderType = "File Folder";

    explicit FilesModel(QObject* parent = nullptr);

    void showFolder(const PackFile* pack, const PackFolder* folder, const NameCodec* codec);
    void clear();
    // Lists `hits` (folders first) instead of a folder; they must point into `pack`.
    void showMatches(const PackFile* pack, std::vector<FindHit> hits, const NameCodec* codec);
    bool isMatches() const { return m_matches; }

    static constexpr int kNoSort = -1;
    // Orders the rows by `column` (kNoSort: the archive's order), folder rows first either way; kept
    // across ShowFolder and ShowMatches until changed. Selections follow their rows.
    void setSort(int column, Qt::SortOrder order);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void setIcons(const QIcon& folder, const QIcon& file);

    const PackFolder* shown() const { return m_folder; }
    const NameCodec* codec() const { return m_codec; }
    bool isFolderRow(int row) const;
    const PackFolder* folderAt(int row) const; // null for a file row or no row
    const PackEntry* entryAt(int row) const;   // null for a folder row or no row
    // The catalogue's index of a file row's entry; UINT32_MAX for a folder row or no row.
    uint32_t entryIndexAt(int row) const;
    // The row that shows `folder` or `entry`; -1 when none does.
    int rowOf(const PackFolder* folder, const PackEntry* entry) const;
    // The folder whose list holds the item of `row` (the catalogue's top pseudo-folder for a top-level
    // item); null for no row.
    const PackFolder* parentAt(int row) const;
    // The raw name bytes of a row.
    std::string_view rawName(int row) const;
    QString displayName(int row) const;

    // The size text of a file: whole kilobytes, rounded down, and "KB".
    static QString sizeText(uint32_t size);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Dragging rows out: the rows' selection goes to `stager` (none: nothing is dragged).
    void setStager(EntryStager stager) { m_stager = std::move(stager); }
    QStringList mimeTypes() const override { return entryMimeTypes(); }
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }

    // Editing: names typed in place, files dropped in, changed rows marked (bold). Empty hooks: read only.
    void setEditHooks(EditHooks hooks) { m_hooks = std::move(hooks); }
    // Around a change of the catalogue's lists: the rows are read again (and sorted again), and selections
    // and the current row follow their items; a removed item's go.
    // A change that renames one item (`folder` or `entry`) and nothing else moves no row in the archive's
    // order: only that row is told.
    void beginChange(const PackFolder* renamedFolder = nullptr, const PackEntry* renamedEntry = nullptr);
    void endChange();
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    int folderRows() const;
    int sourceRows() const;
    // The row in folder (or match) order that shown row `row` stands for.
    int source(int row) const;
    void sort();
    // The folder or entry a row shows, by address.
    const void* identity(int row) const;
    // Where files dropped on `parent` (a folder row, or anywhere else in the list) go; null for none.
    const PackFolder* dropFolder(const QModelIndex& parent) const;

    bool m_matches = false;
    std::vector<FindHit> m_hits;
    int m_folderHits = 0;
    int m_sortColumn = kNoSort;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::vector<uint32_t> m_order; // shown row to source row; empty in the archive's order

    const PackFile* m_pack = nullptr;
    const PackFolder* m_folder = nullptr;
    const NameCodec* m_codec = nullptr;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
    EntryStager m_stager;
    EditHooks m_hooks;
    bool m_renaming = false; // between beginChange and endChange: one item renamed (these), or...
    const PackFolder* m_renamedFolder = nullptr;
    const PackEntry* m_renamedEntry = nullptr;
    QModelIndexList m_before;                          // ...the persistent indexes...
    std::vector<std::pair<const void*, bool>> m_items; // ...and the items they showed (true: a folder)
};

} // namespace vorpex
