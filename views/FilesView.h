#pragma once

#include <QTreeView>
#include <vector>

#include "views/FilesModel.h"
#include "views/ImageList.h"

class CPackEntry;
class CPackFile;
class CPackFolder;
class CVorpexDoc;

// The right pane: a report list of the sub-folders and files of the folder selected in the tree, folder
// rows first; columns "Name", "Size" and "Type". Any number of rows can be selected. A double-click on a
// folder row selects that very folder in the tree. Owned by the main frame's splitter; GUI thread only.
class CFilesView : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 125;
    static constexpr int kSizeWidth = 60;
    static constexpr int kTypeWidth = 100;

    // Registers itself with `doc` (m_pFilesView).
    explicit CFilesView(CVorpexDoc* doc, QWidget* parent = nullptr);

    CVorpexDoc* GetDocument() const { return m_pDocument; }
    CFilesModel* GetModel() { return &m_Model; }
    const CFilesModel* GetModel() const { return &m_Model; }

    // Lists `folder` (the top pseudo-folder lists the top-level folders and files); null empties the list.
    // The name column is then fitted to the widest name.
    void ShowFolder(const CPackFolder* folder);
    void DeleteAllItems();
    const CPackFolder* ShownFolder() const { return m_Model.Shown(); }

    // The selected rows in list order, by identity: folder rows as folders, file rows as entries.
    void GetSelectedRows(std::vector<const CPackFolder*>& folders,
                         std::vector<const CPackEntry*>& files) const;
    std::vector<int> GetSelectedRowNumbers() const;

    CPackFile* m_pPackFile = nullptr; // set by the document; not owning

public slots:
    // The Extract command while this pane is active.
    void OnExtract();
    // A double-click on `index`: a folder row selects its folder in the tree.
    void OnLButtonDblClk(const QModelIndex& index);

signals:
    // This pane received the focus: it is now the active pane.
    void Activated();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FitNameColumn();

    CVorpexDoc* m_pDocument;
    CFilesModel m_Model;
    CImageList m_smallImages; // 16 x 16: folder, file
    CImageList m_largeImages; // 32 x 32: folder, file
};
