#pragma once

#include <vector>

#include "views/FilesModel.h"
#include "views/ImageList.h"
#include "views/PaneView.h"

namespace vorpex {

class NameCodec;
class PackEntry;
class PackFile;
class PackFolder;

// The right pane: a report list of the sub-folders and files of the folder selected in the tree, folder
// rows first; columns "Name", "Size" and "Type". Any number of rows can be selected. A double-click on a
// folder row asks for that very folder to be selected in the tree (FolderOpened). Owned by the main frame's
// splitter; GUI thread only.
class FilesView : public PaneView {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 125;
    static constexpr int kSizeWidth = 60;
    static constexpr int kTypeWidth = 100;

    explicit FilesView(QWidget* parent = nullptr);

    // Takes `pack` (null: nothing) and its names' `codec` for the folders shown from now on, and empties the
    // list. Both stay their owner's and must outlive the view's use of them, which ends with the next call.
    void setCatalogue(const PackFile* pack, const NameCodec* codec);

    FilesModel* getModel() { return &m_model; }
    const FilesModel* getModel() const { return &m_model; }

    // Lists `folder` (the top pseudo-folder lists the top-level folders and files); null empties the list.
    // The name column is then fitted to the widest name, and the size column widened to the widest size.
    void showFolder(const PackFolder* folder);
    void deleteAllItems();
    // Widens the name column to the widest name shown, after names changed (never narrows it); lists of more
    // than kWidenRows rows are left alone.
    void widenNameColumn();
    static constexpr int kWidenRows = 100000;
    // Lists the matches of a search across the archive, with their folders, instead of a folder.
    void showMatches(std::vector<FindHit> hits);
    bool isShowingMatches() const { return m_model.isMatches(); }

    // "3 items, 1.2 MiB" for the selected rows (a folder row with everything below it); empty when none.
    QString selectionSummary() const;
    static QString summaryText(uint64_t items, uint64_t bytes);
    // "5 bytes", "1.2 MiB": a size as the status bar tells it.
    static QString sizeText(uint64_t bytes);
    const PackFolder* shownFolder() const { return m_model.shown(); }

    // The selected rows in list order, by identity: folder rows as folders, file rows as entries.
    void getSelectedRows(std::vector<const PackFolder*>& folders, std::vector<const PackEntry*>& files) const;
    std::vector<int> selectedRowNumbers() const;

    // The selected folder rows, then the selected file rows, each in list order, by identity.
    Selection selection() const override;
    bool hasSelection() const override;

    const PackFile* m_packFile = nullptr; // set through SetCatalogue; not owning

public slots:
    // A double-click on `index`: a folder row asks for its folder in the tree.
    void onLButtonDblClk(const QModelIndex& index);
    // A click on the title of `column`: sorted by it, reversed, then the archive's order again.
    void onHeaderClicked(int column);

signals:
    // The user opened the folder row of `folder` (never null).
    void folderOpened(const PackFolder* folder);
    // Enter or a double-click on `row` while matches are listed.
    void matchOpened(int row);

private:
    void fitNameColumn();
    void fitSizeColumn();
    void showSortIndicator();

    const NameCodec* m_codec = nullptr;
    FilesModel m_model;
    ImageList m_smallImages; // 16 x 16: folder, file
    ImageList m_largeImages; // 32 x 32: folder, file
};

} // namespace vorpex
