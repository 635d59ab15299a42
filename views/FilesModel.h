#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <vector>

#include "catalogue/NameFinder.h"
#include "views/EntryDrag.h"

class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;

// The contents of one folder as the rows of the file list: first a row for each sub-folder, then a row for
// each of the folder's own files, both in archive order. The rows are read from the folder itself (its
// m_Children and m_Files) whenever the view asks, so showing a folder costs the same for ten rows or a
// hundred thousand. Columns: 0 the name, 1 the size ("12KB", empty for a folder), 2 the type ("File
// Folder" for a folder, empty for a file).
// The model also shows the matches of a search across the archive (ShowMatches): folder matches first, then
// file matches, with a fourth column "In Folder" holding each match's folder path. Either listing can be
// sorted by a column (SetSort); the archive's own order is the default.
// The catalogue and the codec belong to the document; Clear must be called before they go. GUI thread only.
class CFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr const char* kFolderType = "File Folder";

    explicit CFilesModel(QObject* parent = nullptr);

    void ShowFolder(const CPackFile* pack, const CPackFolder* folder, const CNameCodec* codec);
    void Clear();
    // Lists `hits` (folders first) instead of a folder; they must point into `pack`.
    void ShowMatches(const CPackFile* pack, std::vector<CFindHit> hits, const CNameCodec* codec);
    bool IsMatches() const { return m_bMatches; }

    static constexpr int kNoSort = -1;
    // Orders the rows by `column` (kNoSort: the archive's order), folder rows first either way; kept
    // across ShowFolder and ShowMatches until changed. Selections follow their rows.
    void SetSort(int column, Qt::SortOrder order);
    int SortColumn() const { return m_nSortColumn; }
    Qt::SortOrder SortOrder() const { return m_SortOrder; }
    void SetIcons(const QIcon& folder, const QIcon& file);

    const CPackFolder* Shown() const { return m_pFolder; }
    const CNameCodec* Codec() const { return m_pCodec; }
    bool IsFolderRow(int row) const;
    const CPackFolder* FolderAt(int row) const; // null for a file row or no row
    const CPackEntry* EntryAt(int row) const;   // null for a folder row or no row
    // The row that shows `folder` or `entry`; -1 when none does.
    int RowOf(const CPackFolder* folder, const CPackEntry* entry) const;
    // The folder whose list holds the item of `row` (the catalogue's top pseudo-folder for a top-level
    // item); null for no row.
    const CPackFolder* ParentAt(int row) const;
    // The raw name bytes of a row.
    std::string_view RawName(int row) const;
    QString DisplayName(int row) const;

    // The size text of a file: whole kilobytes, rounded down, and "KB".
    static QString SizeText(uint32_t size);

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

private:
    int FolderRows() const;
    int SourceRows() const;
    // The row in folder (or match) order that shown row `row` stands for.
    int Source(int row) const;
    void Sort();

    bool m_bMatches = false;
    std::vector<CFindHit> m_Hits;
    int m_nFolderHits = 0;
    int m_nSortColumn = kNoSort;
    Qt::SortOrder m_SortOrder = Qt::AscendingOrder;
    std::vector<uint32_t> m_Order; // shown row to source row; empty in the archive's order

    const CPackFile* m_pPack = nullptr;
    const CPackFolder* m_pFolder = nullptr;
    const CNameCodec* m_pCodec = nullptr;
    QIcon m_FolderIcon;
    QIcon m_FileIcon;
    EntryStager m_stager;
};
