#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>

#include "views/EditHooks.h"
#include "views/EntryDrag.h"

namespace vorpex {

class NameCodec;
class PackFile;
class PackFolder;

// The folder tree of one catalogue as a Qt model, read straight from the catalogue: no item is copied.
// One top item stands for the whole archive (the catalogue's top pseudo-folder); below it hang the
// top-level folders and below each folder its sub-folders, in archive order. Every index carries the
// folder it shows as its internal pointer, so folders that share a name stay apart.
// A folder with more sub-folders than a batch shows them a batch at a time, the next when the view scrolls to
// the end of those shown (Qt's fetchMore, while the view sets m_fetching), so a list of a million folders
// costs the view one batch of rows until the user goes through it. The catalogue and the codec belong to the
// document; SetPackFile must be called (with null) before they go. GUI thread only.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit FolderTreeModel(QObject* parent = nullptr);

    // Shows `pack` under a top item labelled `topLabel`; null shows an empty tree.
    void setPackFile(const PackFile* pack, const NameCodec* codec, const QString& topLabel);
    // Icons: the folder (closed, and open while selected) and the archive.
    void setIcons(const QIcon& folder, const QIcon& archive);

    const PackFile* packFile() const { return m_pack; }
    // The folder shown by `index`: the catalogue's top pseudo-folder for the top item, null for no item.
    const PackFolder* folder(const QModelIndex& index) const;
    bool isTop(const QModelIndex& index) const;
    // The index that shows `folder` (the top item for the top pseudo-folder); invalid when not shown.
    QModelIndex indexOf(const PackFolder* folder) const;
    QModelIndex topIndex() const;
    // Fetches whatever batches `folder` and its enclosing folders need to be shown, so IndexOf finds it.
    void reveal(const PackFolder* folder);

    static constexpr uint32_t kBatch = 16384; // sub-folders shown at a time
    bool m_fetching = false;                  // set by the view while the user's scrolling may fetch

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
    // Editing: names typed in place, files dropped on a folder, changed folders marked (bold).
    void setEditHooks(EditHooks hooks) { m_hooks = std::move(hooks); }
    // Shows the top item even while the archive is empty (a new archive being filled).
    void setShowEmptyTop(bool show) { m_showEmptyTop = show; }
    // Around a change of the catalogue's lists: expanded and selected folders stay so where they still are.
    void beginChange();
    void endChange();
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    bool hasTop() const;
    const PackFolder* top() const;
    // How many of `folder`'s sub-folders are shown.
    uint32_t shown(const PackFolder* folder) const;
    // Shows `folder`'s sub-folders up to `count` of them.
    void showUpTo(const PackFolder* folder, uint32_t count);

    const PackFile* m_pack = nullptr;
    const NameCodec* m_codec = nullptr;
    QString m_topLabel;
    QIcon m_folderIcon;
    QIcon m_archiveIcon;
    EntryStager m_stager;
    QHash<const PackFolder*, uint32_t> m_shown; // folders with more than a batch shown; others show a batch
    EditHooks m_hooks;
    bool m_showEmptyTop = false;
    QModelIndexList m_before; // between beginChange and endChange
    // True while `folder` hangs in the tree, every folder above it in its parent's list.
    bool isAttached(const PackFolder* folder) const;
};

} // namespace vorpex
