#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>

class CDirView;
class CEncodingMenu;
class EntryCommands;
class CFilesView;
class CFindBar;
class CFindController;
class CMessageSink;
class CPaneView;
class PreviewController;
class CRecentFileList;
class CVorpexDoc;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;
class StagedFiles;

// The program's one window: menu, toolbar, status bar, and a splitter with the folder tree on the left
// (175 pixels wide at every start) and the file list on the right, which is the active pane at start.
// Its caption is "Vorpex" whatever is open. The frame is the one place that wires the document and the
// panes: it hands each pane the catalogue the document announces and passes the tree's selection to the list
// and the list's opened folder to the tree. It runs its own commands (panes, bars, Extract on the active
// pane's selection, Exit); the application connects to the others through Command(). GUI thread only.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The program's command identifiers.
    enum ECommand {
        ID_FILE_NEW = 57600,
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE = 57603,
        ID_FILE_MRU_FILE1 = 57616,
        ID_EDIT_COPY = 57634,
        ID_EDIT_CUT = 57635,
        ID_EDIT_PASTE = 57637,
        ID_EDIT_UNDO = 57643,
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_NEXT_PANE = 57680,
        ID_PREV_PANE = 57681,
        ID_VIEW_TOOLBAR = 59392,
        ID_VIEW_STATUS_BAR = 59393,
        ID_FILE_EXTRACT = 32776,
        ID_VIEW_OPTIONS = 32779,
        ID_FILE_CHECK = 32780,
        ID_EDIT_FIND = 57636,
    };
    static constexpr int kTreeWidth = 175;
    static constexpr const char* kReady = "Ready";

    explicit CMainFrame(CVorpexDoc* doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CDirView* GetDirView() const { return m_pDirView; }
    CFilesView* GetFilesView() const { return m_pFilesView; }
    QToolBar* GetToolBar() const { return m_wndToolBar; }
    // The action of command `id` (menu item, toolbar button or key); null for an unknown id.
    QAction* Command(int id) const { return m_Commands.value(id); }
    QMenu* GetFileMenu() const { return m_pFileMenu; }
    CFindBar* GetFindBar() const { return m_pFindBar; }
    CEncodingMenu* GetEncodingMenu() const { return m_pEncodingMenu; }

    // Where Extract reports (not owned; null reports nothing), and where its dialog starts, asked each time.
    void SetMessageSink(CMessageSink* sink);
    void SetExtractDirSource(std::function<QString()> fn) { m_fnExtractDir = std::move(fn); }
    // Opens an archive dropped on the window; true when it opened.
    void SetArchiveOpener(std::function<bool(const QString&)> fn) { m_fnOpenArchive = std::move(fn); }
    // Opening entries, Copy Path, Properties, the context menu; the preview pane.
    EntryCommands* entryCommands() const { return m_entryCommands; }
    PreviewController* preview() const { return m_preview; }

    // Makes `view` the pane that receives Extract (the list at start, then whichever pane last had the
    // focus).
    void SetActiveView(CPaneView* view);

    // Shows `text` in the message pane until the next prompt replaces it.
    void SetMessageText(const QString& text);
    // What the message pane shows whenever no prompt or message stands over it ("Ready" until set): cut
    // short with "..." when the pane is too narrow, the whole text then in its tooltip.
    void SetIdleText(const QString& text);
    // What the message pane says now: a prompt, a message, or the idle text (whole).
    QString GetMessageText() const;

    // Shows the recent-file list in the File menu (the greyed "Recent File" when it is empty).
    void UpdateRecentFileMenu(const CRecentFileList& files);
    const QList<QAction*>& RecentFileActions() const { return m_RecentActions; }

signals:
    // The user chose entry `index` of the recent-file list.
    void RecentFileChosen(int index);
    // Whether the active pane has a selection, told whenever the pane or its selection may have changed.
    void ActiveSelectionChanged(bool bAny);

public slots:
    void OnFileExtract();
    void OnNextPane();
    void OnPrevPane();
    void OnUpdateKeyIndicators();
    // File, "Check Archive": the checker's report on the open archive.
    void OnFileCheck();
    // View, Encoding: names shown (and made on disk) in `encoding` from now on.
    void OnEncodingChosen(const QString& encoding);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // An archive dropped onto the window opens as File, Open opens it (of several, the first).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddCommand(int id, const char* name, const char* text, const char* prompt);
    void OnCreate();       // menus, toolbar, status bar
    void OnCreateClient(); // the splitter and both panes
    void BuildMenus();
    // Extract is enabled while the active pane has a selection; ActiveSelectionChanged tells the others.
    void UpdateExtractCommand();
    void BuildFindMenus(QMenu* file, QMenu* edit, QMenu* view);
    // Wires opening, dragging out and the preview of entries.
    void BuildEntryParts();
    // The local file a drop from outside the program offers; empty when none.
    static QString DroppedArchive(const QDropEvent& event);

    CVorpexDoc* m_pDocument;
    QSplitter* m_wndSplitter = nullptr;
    QStatusBar* m_wndStatusBar = nullptr;
    QToolBar* m_wndToolBar = nullptr;
    CDirView* m_pDirView = nullptr;
    CFilesView* m_pFilesView = nullptr;
    CPaneView* m_pActiveView = nullptr;
    CMessageSink* m_pSink = nullptr;
    std::function<QString()> m_fnExtractDir;
    std::function<bool(const QString&)> m_fnOpenArchive;
    std::unique_ptr<StagedFiles> m_staged;
    EntryCommands* m_entryCommands = nullptr; // children of the frame
    PreviewController* m_preview = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;
    QAction* m_pRecentSeparator = nullptr; // the recent files stand just before it
    QList<QAction*> m_RecentActions;
    QLabel* m_pReady = nullptr; // the idle text, elided to the pane's width
    QString m_strIdleText;
    QLabel* m_pIndicators[3] = {};
    QTimer* m_pIndicatorTimer = nullptr;
    QHash<int, QAction*> m_Commands;
    bool m_bSized = false;
    CFindBar* m_pFindBar = nullptr; // above the list
    CFindController* m_pFind = nullptr;
    CEncodingMenu* m_pEncodingMenu = nullptr;
};
