#pragma once

#include <QPersistentModelIndex>
#include <QTreeView>

#include "views/FolderTreeModel.h"
#include "views/ImageList.h"

class CPackFile;
class CPackFolder;
class CVorpexDoc;

// The left pane: the open archive's folders as a tree under one top item that bears the archive's file
// name in upper case and stands for the whole archive. Selecting an item lists that very folder in the file
// list. Owned by the main frame's splitter; GUI thread only.
class CDirView : public QTreeView {
    Q_OBJECT
public:
    // Registers itself with `doc` (m_pDirView).
    explicit CDirView(CVorpexDoc* doc, QWidget* parent = nullptr);

    CVorpexDoc* GetDocument() const { return m_pDocument; }
    CFolderTreeModel* GetModel() { return &m_Model; }

    // Rebuilds the whole tree from m_pPackFile: top item expanded, nothing selected.
    void FillTree();
    // Empties the tree (before the catalogue it shows goes away).
    void DeleteAllItems();

    QModelIndex GetRootItem() const { return m_Model.TopIndex(); }
    QModelIndex GetSelectedItem() const;
    // The folder of the selected item: the catalogue's top pseudo-folder when the top item is selected,
    // null when nothing is.
    const CPackFolder* SelectedFolder() const;
    bool IsTopSelected() const;
    // Selects the item of `folder` (its parents opened, the item scrolled into view); the list follows.
    // False when the tree does not show that folder.
    bool SelectFolder(const CPackFolder* folder);

    CPackFile* m_pPackFile = nullptr; // set by the document; not owning

public slots:
    // The Extract command while this pane is active.
    void OnExtract();

signals:
    // This pane received the focus: it is now the active pane.
    void Activated();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void OnSelChanged();

private:
    CVorpexDoc* m_pDocument;
    CFolderTreeModel m_Model;
    CImageList m_ImageList; // 0, 1: folder closed and open; 2, 3: the archive
    QPersistentModelIndex m_selItem;
    QPersistentModelIndex m_rootItem;
};
