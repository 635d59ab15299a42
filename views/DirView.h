#pragma once

#include <QPersistentModelIndex>

#include "views/FolderTreeModel.h"
#include "views/ImageList.h"
#include "views/PaneView.h"

namespace vorpex {

class NameCodec;
class PackFile;
class PackFolder;

// The left pane: the open archive's folders as a tree under one top item that bears the archive's file
// name in upper case and stands for the whole archive. Selecting an item lists that very folder in the file
// list (FolderSelected). Owned by the main frame's splitter; GUI thread only.
class DirView : public PaneView {
    Q_OBJECT
public:
    explicit DirView(QWidget* parent = nullptr);

    FolderTreeModel* getModel() { return &m_model; }

    // Shows `pack` (null: nothing), its names decoded with `codec`; both stay their owner's and must outlive
    // the view's use of them, which ends with the next call. Rebuilds the tree.
    void setCatalogue(const PackFile* pack, const NameCodec* codec);

    // Rebuilds the whole tree from m_packFile: top item expanded, nothing selected.
    void fillTree();
    // Empties the tree (before the catalogue it shows goes away).
    void deleteAllItems();

    QModelIndex selectedItem() const;
    // The folder of the selected item: the catalogue's top pseudo-folder when the top item is selected,
    // null when nothing is.
    const PackFolder* selectedFolder() const;
    bool isTopSelected() const;
    // Selects the item of `folder` (its parents opened, the item scrolled into view); the list follows.
    // False when the tree does not show that folder.
    bool selectFolder(const PackFolder* folder);

    // The selected folder itself, with everything below it; the top item stands for the whole archive.
    Selection selection() const override;
    bool hasSelection() const override;

    const PackFile* m_packFile = nullptr; // set through SetCatalogue; not owning

signals:
    // The selected folder is now `folder`: the top pseudo-folder for the top item, null for no item.
    void folderSelected(const PackFolder* folder);

protected:
    // The dotted lines that join each item to its parent and siblings.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    // Scrolled to the end of the rows shown: the next batch of the open folder there.
    void verticalScrollbarValueChanged(int value) override;

private slots:
    void onSelChanged();

private:
    const NameCodec* m_codec = nullptr;
    FolderTreeModel m_model;
    ImageList m_imageList; // 0, 1: folder closed and open; 2, 3: the archive
    QPersistentModelIndex m_selItem;
    QPersistentModelIndex m_rootItem;
};

} // namespace vorpex
