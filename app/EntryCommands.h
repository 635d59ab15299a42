#pragma once

#include <QObject>
#include <QUrl>
#include <functional>

class QAction;
class QMainWindow;
class QMenu;

namespace vorpex {

class DirView;
class FilesView;
class PaneView;
class VorpexDoc;
class StagedFiles;

// What the window does with the entries of its panes beyond browsing and Extract: Open (a file with the
// desktop's program for its type, after staging it; a folder row as a double-click opens it), Copy Path
// and Properties, the context menu of both panes (Open, Extract..., Copy Path, Properties) and the keys
// that go with them (Enter, Alt+Enter, Backspace, Alt+Up). Like Extract they take the active pane's
// selection and are greyed while it has none. Made and owned by the main frame; GUI thread only.
class EntryCommands : public QObject {
    Q_OBJECT
public:
    static constexpr size_t kAskAbove = 16; // opening more files at once asks first

    // What the commands need of the window.
    struct Window {
        QMainWindow* m_frame; // parents the dialogs and takes the keys
        DirView* m_tree;
        FilesView* m_list;
        QAction* m_extract; // the window's Extract command, in the context menu
        QMenu* m_fileMenu;  // Properties joins it after Extract
        std::function<PaneView*()> m_activeView;
        std::function<void(PaneView*)> m_setActiveView;
    };

    // Hands a staged file to a program; false when there is none for it. Tests put their own in place of
    // the default, which runs xdg-open beside the window and reports its failure when it ends.
    using Opener = std::function<bool(const QUrl&)>;

    EntryCommands(Window window, VorpexDoc* doc, StagedFiles* staged);

    void setOpener(Opener opener) { m_opener = std::move(opener); } // empty: the default again
    // Adds the commands of others (editing) to each context menu made.
    void setMenuExtender(std::function<void(QMenu*, PaneView*)> extend) { m_extendMenu = std::move(extend); }
    // The context menu of `view` for its selection, made afresh; the caller owns it.
    QMenu* contextMenu(PaneView* view);

public slots:
    void open();           // the list's selected files with the desktop's programs, or its folder row
    void showProperties(); // of the active pane's current row or folder
    void copyPath();       // paths of the active pane's selection, one per line
    void goToParentFolder();
    // Whether the active pane has a selection.
    void followSelection(bool any);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch(PaneView* view);
    PaneView* activeView() const;
    // Opens a staged file with its program; `entry` names it as the archive shows it.
    void openStaged(const QUrl& url, const QString& entry);
    void reportOpenFailure(const QString& entry, int code);

    Window m_window;
    VorpexDoc* m_document;
    StagedFiles* m_staged;
    QAction* m_openAction;
    QAction* m_copyPathAction;
    QAction* m_propertiesAction;
    Opener m_opener;
    std::function<void(QMenu*, PaneView*)> m_extendMenu;
};

} // namespace vorpex
