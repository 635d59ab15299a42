#pragma once

#include <QObject>
#include <vector>

#include "views/FindRunner.h"

namespace vorpex {

class DirView;
class FilesView;
class FindBar;
class NameCodec;
class PackFile;
class PackFolder;

// Edit, "Find...": ties the find bar to the file list. Typing searches the whole archive on a worker
// (FindRunner) and the list shows the matches; Enter or a double-click on a match shows it where it lies,
// its folder selected in the tree and its row in the list; Esc closes the bar and the list shows the
// tree's folder again. The bar, the list and the tree belong to the main frame. GUI thread only.
class FindController : public QObject {
    Q_OBJECT
public:
    FindController(FindBar* bar, FilesView* list, DirView* tree, QObject* parent = nullptr);

    // The catalogue searched from now on (null: none, the bar closes); waits for a search in progress to
    // let go of the previous one. An open bar searches the new one again.
    void setCatalogue(const PackFile* pack, const NameCodec* codec);
    // Opens the bar; the list keeps showing what it shows until something is typed.
    void open();
    // Shows the match of the list's `row` where it lies.
    void showMatch(int row);

protected:
    // Esc in the list closes an open bar too.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTextChanged(const QString& text);
    void onFound(const QString& pattern, std::vector<FindHit> hits);
    void onAccepted();
    void onMoveToResults();
    void restoreList();

    FindBar* m_bar;
    FilesView* m_list;
    DirView* m_tree;
    const PackFile* m_pack = nullptr;
    FindRunner m_runner;
};

} // namespace vorpex
