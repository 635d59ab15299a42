#pragma once

#include <QObject>
#include <vector>

#include "views/FindRunner.h"

class CDirView;
class CFilesView;
class CFindBar;
class CNameCodec;
class CPackFile;
class CPackFolder;

// Edit, "Find...": ties the find bar to the file list. Typing searches the whole archive on a worker
// (CFindRunner) and the list shows the matches; Enter or a double-click on a match shows it where it lies,
// its folder selected in the tree and its row in the list; Esc closes the bar and the list shows the
// tree's folder again. The bar, the list and the tree belong to the main frame. GUI thread only.
class CFindController : public QObject {
    Q_OBJECT
public:
    CFindController(CFindBar* bar, CFilesView* list, CDirView* tree, QObject* parent = nullptr);

    // The catalogue searched from now on (null: none, the bar closes); waits for a search in progress to
    // let go of the previous one. An open bar searches the new one again.
    void SetCatalogue(const CPackFile* pack, const CNameCodec* codec);
    // Opens the bar; the list keeps showing what it shows until something is typed.
    void Open();
    // Shows the match of the list's `row` where it lies.
    void ShowMatch(int row);

protected:
    // Esc in the list closes an open bar too.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextChanged(const QString& text);
    void OnFound(const QString& pattern, std::vector<CFindHit> hits);
    void OnAccepted();
    void OnMoveToResults();
    void RestoreList();

    CFindBar* m_pBar;
    CFilesView* m_pList;
    CDirView* m_pTree;
    const CPackFile* m_pPack = nullptr;
    CFindRunner m_Runner;
};
