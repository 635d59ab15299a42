#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/CatalogueEdit.h"
#include "writer/ArchiveEdit.h"

class QAction;
class QLabel;
class QMainWindow;
class QMenu;

namespace vorpex {

class DirView;
class FilesView;
class FindController;
class MessageSink;
class PackEntry;
class PackFolder;
class PaneView;
class StagedFiles;
class VorpexDoc;

// Changing the open archive from the window: Delete, Rename in place, New Folder, Add Files..., Add
// Folder..., Replace..., files dropped or pasted in, Cut and Copy out to the clipboard, Undo and Redo of
// every edit, and Save, Save As... and New Archive.... Every edit is checked when it is made and shows at
// once in both panes, which keep the user's place; what it added or renamed is marked, and the status bar
// says the archive has unsaved changes. Nothing reaches the disk before Save, which writes the whole new
// archive beside the old one and puts it in place only when complete. Unsaved edits are never dropped
// without asking (MaySwitch). Made and owned by the main frame; GUI thread only.
class EditCommands : public QObject {
    Q_OBJECT
public:
    enum class Choose { Files, Folder, Replacement, SaveAs };
    // Asks the user for files, a folder or where to save (empty: cancelled). Tests put their own answers in
    // place of the standard file dialogs.
    using Chooser = std::function<QStringList(Choose what)>;
    // Asks the user a question; returns the button chosen. Tests answer in place of the message box.
    using Asker =
        std::function<QMessageBox::StandardButton(const QString& text, QMessageBox::StandardButtons)>;

    // What the commands need of the window: its panes and finder, the commands it already has (the Edit
    // menu's, Save and Extract), its menus, and its status bar.
    struct Window {
        QMainWindow* m_frame;
        DirView* m_tree;
        FilesView* m_list;
        FindController* m_find;
        QAction* m_undo;
        QAction* m_cut;
        QAction* m_copy;
        QAction* m_paste;
        QAction* m_save;
        QAction* m_check; // checks the archive as read: greyed while edits are unsaved
        QMenu* m_fileMenu;
        QMenu* m_editMenu;
        std::function<PaneView*()> m_activeView;
        std::function<void(const QString&)> m_setMessage;
        std::function<void(const QString&)> m_setIdleText; // the status bar's text when no prompt shows
    };

    EditCommands(Window window, VorpexDoc* doc, StagedFiles* staged, std::function<MessageSink*()> sink);

    void setChooser(Chooser chooser) { m_choose = std::move(chooser); }
    void setAsker(Asker asker) { m_ask = std::move(asker); }
    // Reopens the saved archive (through the application, so that the recent files follow); the document's
    // own open by default.
    void setReopener(std::function<bool(const QString&)> reopen) { m_reopen = std::move(reopen); }

    // Unsaved edits: asks "Save changes to NAME?" and saves, discards or cancels. True when the archive
    // may now be closed or replaced.
    bool maySwitch();
    // The context menu's edit commands, for `view`.
    void addToContextMenu(QMenu* menu, PaneView* view);

    // Adds the local files and folders `paths` to `folder`, as one edit. False when nothing was added.
    bool addPaths(const PackFolder* folder, const QStringList& paths);
    // Saves to `path`: over the archive read (checked unchanged since), or to another file. True when saved.
    bool saveTo(const QString& path);

public slots:
    void undo();
    void redo();
    void removeSelection();
    void rename();
    void newFolder();
    void addFiles();
    void addFolder();
    void replace();
    void copy();
    void cut();
    void paste();
    bool save();
    bool saveAs();
    void newArchive();
    // Brings the commands' states up to date: the selection, the clipboard or the archive changed.
    void updateCommands();

private:
    struct Planned;
    // Runs `change` as one edit labelled `label`, with both panes and the finder told before and after.
    // `change` returns false to have its changes taken back. An empty label runs it outside any edit (Undo,
    // Redo).
    // A change that only renames `renamedFolder` or `renamedEntry` says so: the list then tells only its row.
    void change(const QString& label, const std::function<bool(CatalogueEdit&)>& change,
                const PackFolder* renamedFolder = nullptr, const PackEntry* renamedEntry = nullptr);
    MessageSink* sink() const;
    // The items the active pane has selected, by list.
    std::vector<ListItem> selectedItems() const;
    // Where new items go: the tree's selected folder when the tree is active, else the folder the list shows.
    PackFolder* targetFolder() const;
    PackFolder* mutableFolder(const PackFolder* folder) const;
    // A name typed by the user, as the archive stores it; empty after a message saying why it cannot be.
    std::string encodeName(const QString& name, PackFolder& parent, const ListItem& self, ListItem* clash);
    bool renameItem(const PackFolder* folder, const PackEntry* entry, const QString& name);
    bool plan(PackFolder* folder, const QString& path, Planned& planned, uint32_t depth, uint64_t& bytes,
              int& replaceAll);
    bool apply(CatalogueEdit& edit, PackFolder& folder, const Planned& planned);
    bool isMarked(const PackFolder* folder, const PackEntry* entry) const;
    void report(const QString& text);
    QMessageBox::StandardButton ask(const QString& text, QMessageBox::StandardButtons buttons);
    QStringList choose(Choose what);
    QList<QUrl> clipboardFiles() const;
    QString problemTexts(const std::vector<ArchiveEdit::Problem>& problems) const;

    Window m_window;
    QMainWindow* m_frame;
    VorpexDoc* m_document;
    StagedFiles* m_staged;
    std::function<MessageSink*()> m_sink;
    Chooser m_choose;
    Asker m_ask;
    std::function<bool(const QString&)> m_reopen;
    QAction* m_redo;
    QAction* m_delete;
    QAction* m_rename;
    QAction* m_newFolder;
    QAction* m_addFiles;
    QAction* m_addFolder;
    QAction* m_replace;
    QAction* m_saveAs;
    QAction* m_newArchive;
    QLabel* m_modified;
    QString m_failure;        // why the edit under way failed
    bool m_makingNew = false; // New Archive is replacing the catalogue
};

} // namespace vorpex
