#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>

#include "extract/FolderWalk.h"
#include "extract/StagingArea.h"

class CDirView;
class CFilesView;
class CMainFrame;
class CPreviewPane;
class CVorpexDoc;
class CPaneView;
class QAction;
class QMenu;
class QMimeData;

// What the window does with entries beyond browsing and Extract: opening a file with the desktop's program
// for its type, the preview pane (View, "Preview", F3, remembered, off at first), dragging rows out to a
// file manager, dropping an archive onto the window, the context menu of both panes (Open, Extract...,
// Copy Path, Properties) and the keys that go with them (Enter, Alt+Enter, Backspace, Alt+Up).
// Files leave the archive only through the extraction job, into a private staging folder of this run that
// goes when this object does. Made and owned by the main frame; GUI thread only.
class CEntryActions : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kPreviewKey = "View/Preview";
    static constexpr size_t kAskAbove = 16; // opening more files at once asks first

    // Hands a staged file to a program; false when there is none for it. Tests put their own in place of
    // the default, which runs xdg-open beside the window and reports its failure when it ends.
    using COpener = std::function<bool(const QUrl&)>;
    // Runs a drag of `data` (owned by the call) from `source`; the default is a QDrag.
    using CDragger = std::function<Qt::DropAction(QWidget* source, QMimeData* data)>;
    // Opens an archive as File, Open does.
    using CArchiveOpener = std::function<bool(const QString&)>;

    CEntryActions(CMainFrame* frame, CVorpexDoc* doc);
    ~CEntryActions() override;

    void SetOpener(COpener opener) { m_fnOpen = std::move(opener); } // empty: the default again
    void SetDragger(CDragger dragger) { m_fnDrag = std::move(dragger); }
    void SetArchiveOpener(CArchiveOpener opener) { m_fnOpenArchive = std::move(opener); }

    CPreviewPane* Preview() const { return m_pPreview; }
    QAction* PreviewAction() const { return m_pPreviewAction; }
    // The context menu of `view` for its selection, made afresh; the caller owns it.
    QMenu* ContextMenu(CPaneView* view);

    // Extracts what `view` has selected into a fresh staging folder, with progress and Cancel as Extract
    // shows them, and returns the mime data of what was made (text/uri-list); null when nothing was.
    QMimeData* StageForDrag(CPaneView* view);

public slots:
    void OnOpen();       // the list's selected files with the desktop's programs, or its folder row
    void OnProperties(); // of the active pane's current row or folder
    void OnCopyPath();   // paths of the active pane's selection, one per line
    void OnParentFolder();
    void OnTogglePreview(bool bOn);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPreview();
    void BuildCommands();
    void WatchView(CPaneView* view);
    void UpdatePreview();
    CPaneView* ActiveView() const;
    // The selection of `view` as the extraction walk takes it.
    CSelection SelectionOf(CPaneView* view) const;
    // Extracts `selection` into a fresh staging folder; what was made there, in selection order.
    std::vector<CStagingArea::CMade> Stage(const CSelection& selection);
    // Opens a staged file with its program; `entry` names it as the archive shows it.
    void OpenStaged(const QUrl& url, const QString& entry);
    void ReportOpenFailure(const QString& entry, int code);
    void StartDrag(CPaneView* view);
    bool DropArchive(QEvent* event);

    CMainFrame* m_pFrame;
    CDirView* m_pTree = nullptr; // the frame's panes, for the event filter
    CFilesView* m_pList = nullptr;
    QWidget* m_pTreePort = nullptr;
    QWidget* m_pListPort = nullptr;
    CVorpexDoc* m_pDocument;
    std::unique_ptr<CStagingArea> m_pStaging; // made on first use
    CPreviewPane* m_pPreview = nullptr;
    QAction* m_pPreviewAction = nullptr;
    QAction* m_pOpenAction = nullptr;
    QAction* m_pCopyPathAction = nullptr;
    QAction* m_pPropertiesAction = nullptr;
    COpener m_fnOpen;
    CDragger m_fnDrag;
    CArchiveOpener m_fnOpenArchive;
    QPointer<CPaneView> m_pPressView; // where a left button went down on a selected row
    QPoint m_PressPos;
};
