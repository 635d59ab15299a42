#pragma once

#include <vector>

#include "views/FilesModel.h"
#include "views/ImageList.h"
#include "views/PaneView.h"

class CNameCodec;
class CPackEntry;
class CPackFile;
class CPackFolder;

// The right pane: a report list of the sub-folders and files of the folder selected in the tree, folder
// rows first; columns "Name", "Size" and "Type". Any number of rows can be selected. A double-click on a
// folder row asks for that very folder to be selected in the tree (FolderOpened). Owned by the main frame's
// splitter; GUI thread only.
class CFilesView : public CPaneView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 125;
    static constexpr int kSizeWidth = 60;
    static constexpr int kTypeWidth = 100;

    explicit CFilesView(QWidget* parent = nullptr);

    // Takes `pack` (null: nothing) and its names' `codec` for the folders shown from now on, and empties the
    // list. Both stay their owner's and must outlive the view's use of them, which ends with the next call.
    void SetCatalogue(const CPackFile* pack, const CNameCodec* codec);

    CFilesModel* GetModel() { return &m_Model; }
    const CFilesModel* GetModel() const { return &m_Model; }

    // Lists `folder` (the top pseudo-folder lists the top-level folders and files); null empties the list.
    // The name column is then fitted to the widest name, and the size column widened to the widest size.
    void ShowFolder(const CPackFolder* folder);
    void DeleteAllItems();
    // Lists the matches of a search across the archive, with their folders, instead of a folder.
    void ShowMatches(std::vector<CFindHit> hits);
    bool IsShowingMatches() const { return m_Model.IsMatches(); }

    // "3 items, 1.2 MiB" for the selected rows (a folder row with everything below it); empty when none.
    QString SelectionSummary() const;
    static QString SummaryText(uint64_t items, uint64_t bytes);
    // "5 bytes", "1.2 MiB": a size as the status bar tells it.
    static QString SizeText(uint64_t bytes);
    const CPackFolder* ShownFolder() const { return m_Model.Shown(); }

    // The selected rows in list order, by identity: folder rows as folders, file rows as entries.
    void GetSelectedRows(std::vector<const CPackFolder*>& folders,
                         std::vector<const CPackEntry*>& files) const;
    std::vector<int> GetSelectedRowNumbers() const;

    // The selected folder rows, then the selected file rows, each in list order, by identity.
    CSelection GetSelection() const override;
    bool HasSelection() const override;

    const CPackFile* m_pPackFile = nullptr; // set through SetCatalogue; not owning

public slots:
    // A double-click on `index`: a folder row asks for its folder in the tree.
    void OnLButtonDblClk(const QModelIndex& index);
    // A click on the title of `column`: sorted by it, reversed, then the archive's order again.
    void OnHeaderClicked(int column);

signals:
    // The user opened the folder row of `folder` (never null).
    void FolderOpened(const CPackFolder* folder);
    // Enter or a double-click on `row` while matches are listed.
    void MatchOpened(int row);

private:
    void FitNameColumn();
    void FitSizeColumn();
    void ShowSortIndicator();

    const CNameCodec* m_pCodec = nullptr;
    CFilesModel m_Model;
    CImageList m_smallImages; // 16 x 16: folder, file
    CImageList m_largeImages; // 32 x 32: folder, file
};
