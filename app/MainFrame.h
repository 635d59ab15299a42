#pragma once

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>

class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;

namespace vorpex {

class DirView;
class EditCommands;
class EncodingMenu;
class EntryCommands;
class FilesView;
class FindBar;
class FindController;
class MessageSink;
class PaneView;
class PreviewController;
class RecentFileList;
class VorpexDoc;
class StagedFiles;

// The program's one window: menu, toolbar, status bar, and a splitter with the folder tree on the left
// (175 pixels wide at every start) and the file list on the right, which is the active pane at start.
// Its caption is "Vorpex" whatever is open. The frame is the one place that wires the document and the
// panes: it hands each pane the catalogue the document announces and passes the tree's selection to the list
// and the list's opened folder to the tree. It runs its own commands (panes, bars, Extract on the active
// pane's selection, Exit); the application connects to the others through Command(). GUI thread only.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The program's command identifiers.
    enum Command {
        kIdFileNew = 57600,
        kIdFileOpen = 57601,
        kIdFileSave = 57603,
        kIdFileMruFilE1 = 57616,
        kIdEditCopy = 57634,
        kIdEditCut = 57635,
        kIdEditPaste = 57637,
        kIdEditUndo = 57643,
        kIdAppAbout = 57664,
        kIdAppExit = 57665,
        kIdNextPane = 57680,
        kIdPrevPane = 57681,
        kIdViewToolbar = 59392,
        kIdViewStatusBar = 59393,
        kIdFileExtract = 32776,
        kIdViewOptions = 32779,
        kIdFileCheck = 32780,
        kIdEditFind = 57636,
    };
    static constexpr int kTreeWidth = 175;
    static constexpr const char* kReady = "Ready";

    explicit MainFrame(VorpexDoc* doc, QWidget* parent = nullptr);
    ~MainFrame() override;

    DirView* dirView() const { return m_dirView; }
    FilesView* filesView() const { return m_filesView; }
    QToolBar* toolBar() const { return m_toolBar; }
    // The action of command `id` (menu item, toolbar button or key); null for an unknown id.
    QAction* command(int id) const { return m_commands.value(id); }
    QMenu* fileMenu() const { return m_fileMenu; }
    FindBar* findBar() const { return m_findBar; }
    EncodingMenu* encodingMenu() const { return m_encodingMenu; }

    // Where Extract reports (not owned; null reports nothing), and where its dialog starts, asked each time.
    void setMessageSink(MessageSink* sink);
    void setExtractDirSource(std::function<QString()> fn) { m_extractDir = std::move(fn); }
    // Opens an archive dropped on the window; true when it opened.
    void setArchiveOpener(std::function<bool(const QString&)> fn) { m_openArchive = std::move(fn); }
    // Opening entries, Copy Path, Properties, the context menu; the preview pane.
    EntryCommands* entryCommands() const { return m_entryCommands; }
    PreviewController* preview() const { return m_preview; }
    // Changing the archive: the edit commands, Save, Save As and New Archive.
    EditCommands* editCommands() const { return m_editCommands; }
    FindController* findController() const { return m_find; }
    PaneView* activeView() const { return m_activeView; }

    // Makes `view` the pane that receives Extract (the list at start, then whichever pane last had the
    // focus).
    void setActiveView(PaneView* view);

    // Shows `text` in the message pane until the next prompt replaces it.
    void setMessageText(const QString& text);
    // What the message pane shows whenever no prompt or message stands over it ("Ready" until set): cut
    // short with "..." when the pane is too narrow, the whole text then in its tooltip.
    void setIdleText(const QString& text);
    // What the message pane says now: a prompt, a message, or the idle text (whole).
    QString messageText() const;

    // Shows the recent-file list in the File menu (the greyed "Recent File" when it is empty).
    void updateRecentFileMenu(const RecentFileList& files);
    const QList<QAction*>& recentFileActions() const { return m_recentActions; }

signals:
    // The user chose entry `index` of the recent-file list.
    void recentFileChosen(int index);
    // Whether the active pane has a selection, told whenever the pane or its selection may have changed.
    void activeSelectionChanged(bool any);

public slots:
    void onFileExtract();
    void onNextPane();
    void onPrevPane();
    void updateKeyIndicators();
    // File, "Check Archive": the checker's report on the open archive.
    void onFileCheck();
    // View, Encoding: names shown (and made on disk) in `encoding` from now on.
    void onEncodingChosen(const QString& encoding);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // An archive dropped onto the window opens as File, Open opens it (of several, the first).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* addCommand(int id, const char* name, const char* text, const char* prompt);
    void createBars();  // menus, toolbar, status bar
    void createPanes(); // the splitter and both panes
    void buildMenus();
    // Extract is enabled while the active pane has a selection; ActiveSelectionChanged tells the others.
    void updateExtractCommand();
    void buildFindMenus(QMenu* file, QMenu* edit, QMenu* view);
    // Wires opening, dragging out and the preview of entries.
    void buildEntryParts();
    // The local file a drop from outside the program offers; empty when none.
    static QString droppedArchive(const QDropEvent& event);

    VorpexDoc* m_document;
    QSplitter* m_splitter = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    DirView* m_dirView = nullptr;
    FilesView* m_filesView = nullptr;
    PaneView* m_activeView = nullptr;
    MessageSink* m_sink = nullptr;
    std::function<QString()> m_extractDir;
    std::function<bool(const QString&)> m_openArchive;
    std::unique_ptr<StagedFiles> m_staged;
    EntryCommands* m_entryCommands = nullptr; // children of the frame
    PreviewController* m_preview = nullptr;
    EditCommands* m_editCommands = nullptr;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentPlaceholder = nullptr;
    QAction* m_recentSeparator = nullptr; // the recent files stand just before it
    QList<QAction*> m_recentActions;
    QLabel* m_ready = nullptr; // the idle text, elided to the pane's width
    QString m_idleText;
    QLabel* m_indicators[3] = {};
    QTimer* m_indicatorTimer = nullptr;
    QHash<int, QAction*> m_commands;
    bool m_sized = false;
    FindBar* m_findBar = nullptr; // above the list
    FindController* m_find = nullptr;
    EncodingMenu* m_encodingMenu = nullptr;
};

} // namespace vorpex
