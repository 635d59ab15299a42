#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include "views/EntryDrag.h"

class CNameCodec;
class CPackFile;
class CPackFolder;

// The folder tree of one catalogue as a Qt model, read straight from the catalogue: no item is copied.
// One top item stands for the whole archive (the catalogue's top pseudo-folder); below it hang the
// top-level folders and below each folder its sub-folders, in archive order. Every index carries the
// folder it shows as its internal pointer, so folders that share a name stay apart.
// A folder with more sub-folders than a batch shows them a batch at a time, the next when the view scrolls to
// the end of those shown (Qt's fetchMore, while the view sets m_bFetching), so a list of a million folders
// costs the view one batch of rows until the user goes through it. The catalogue and the codec belong to the
// document; SetPackFile must be called (with null) before they go. GUI thread only.
class CFolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit CFolderTreeModel(QObject* parent = nullptr);

    // Shows `pack` under a top item labelled `topLabel`; null shows an empty tree.
    void SetPackFile(const CPackFile* pack, const CNameCodec* codec, const QString& topLabel);
    // Icons: the folder (closed, and open while selected) and the archive.
    void SetIcons(const QIcon& folder, const QIcon& archive);

    const CPackFile* PackFile() const { return m_pPack; }
    // The folder shown by `index`: the catalogue's top pseudo-folder for the top item, null for no item.
    const CPackFolder* Folder(const QModelIndex& index) const;
    bool IsTop(const QModelIndex& index) const;
    // The index that shows `folder` (the top item for the top pseudo-folder); invalid when not shown.
    QModelIndex IndexOf(const CPackFolder* folder) const;
    QModelIndex TopIndex() const;
    // Fetches whatever batches `folder` and its enclosing folders need to be shown, so IndexOf finds it.
    void Reveal(const CPackFolder* folder);

    static constexpr uint32_t kBatch = 16384; // sub-folders shown at a time
    bool m_bFetching = false;                 // set by the view while the user's scrolling may fetch

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Dragging rows out: the rows' selection goes to `stager` (none: nothing is dragged).
    void setStager(EntryStager stager) { m_stager = std::move(stager); }
    QStringList mimeTypes() const override { return entryMimeTypes(); }
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::MoveAction; }
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    bool HasTop() const;
    const CPackFolder* Top() const;
    // How many of `folder`'s sub-folders are shown.
    uint32_t Shown(const CPackFolder* folder) const;
    // Shows `folder`'s sub-folders up to `count` of them.
    void ShowUpTo(const CPackFolder* folder, uint32_t count);

    const CPackFile* m_pPack = nullptr;
    const CNameCodec* m_pCodec = nullptr;
    QString m_strTopLabel;
    QIcon m_FolderIcon;
    QIcon m_ArchiveIcon;
    EntryStager m_stager;
    QHash<const CPackFolder*, uint32_t> m_Shown; // folders with more than a batch shown; others show a batch
};
