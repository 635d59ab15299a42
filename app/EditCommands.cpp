#include "app/EditCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>
#include <QtConcurrent>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "app/FindController.h"
#include "app/StagedFiles.h"
#include "app/VorpexDoc.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackFile.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "writer/CatalogueSave.h"

namespace vorpex {

namespace {

constexpr const char* kGnomeCopied = "x-special/gnome-copied-files";

QString text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

QAction* makeAction(QObject* parent, const char* name, const char* label, const char* tip,
                    QKeySequence key = {}) {
    auto* action = new QAction(QString::fromLatin1(label), parent);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(QString::fromLatin1(tip));
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}

// The raw names from the top-level list down to `folder`.
std::vector<std::string> pathOf(const PackFolder* folder) {
    std::vector<std::string> path;
    for (; folder; folder = folder->parent())
        path.insert(path.begin(), std::string(folder->name()));
    return path;
}

const PackFolder* folderAt(const PackFile& pack, const std::vector<std::string>& path) {
    const PackFolder* folder = &pack.top();
    for (const std::string& name : path) {
        const PackFolder* next = nullptr;
        for (const PackFolder* child : folder->children())
            if (child->name() == name) {
                next = child;
                break;
            }
        if (!next)
            return folder;
        folder = next;
    }
    return folder;
}

} // namespace

// One file or folder to add from disk, checked before anything changes.
struct EditCommands::Planned {
    std::string m_name; // as the archive stores it
    QString m_path;
    bool m_folder = false;
    bool m_skipped = false; // the user kept the item already there
    uint64_t m_size = 0;
    ListItem m_existing; // a file replaced, or a folder added to
    std::vector<Planned> m_children;
};

EditCommands::EditCommands(Window window, VorpexDoc* doc, StagedFiles* staged,
                           std::function<MessageSink*()> sink)
    : QObject(window.m_frame), m_window(std::move(window)), m_frame(m_window.m_frame), m_document(doc),
      m_staged(staged), m_sink(std::move(sink)) {
    QMainWindow* frame = m_frame;
    m_redo = makeAction(frame, "ID_EDIT_REDO", "&Redo\tCtrl+Shift+Z", "Redo the last action undone",
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    m_delete = makeAction(frame, "ID_EDIT_DELETE", "&Delete\tDel", "Remove the selection from the archive",
                          QKeySequence(Qt::Key_Delete));
    m_rename = makeAction(frame, "ID_EDIT_RENAME", "Re&name\tF2", "Rename the selected item in place",
                          QKeySequence(Qt::Key_F2));
    m_newFolder =
        makeAction(frame, "ID_EDIT_NEW_FOLDER", "Ne&w Folder\tCtrl+Shift+N",
                   "Make a new folder in the current folder", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    m_addFiles =
        makeAction(frame, "ID_EDIT_ADD_FILES", "&Add Files...", "Add files from disk to the current folder");
    m_addFolder = makeAction(frame, "ID_EDIT_ADD_FOLDER", "Add F&older...",
                             "Add a folder from disk to the current folder");
    m_replace = makeAction(frame, "ID_EDIT_REPLACE", "R&eplace...",
                           "Replace the selected file with a file from disk");
    m_saveAs =
        makeAction(frame, "ID_FILE_SAVE_ARCHIVE_AS", "Save &As...", "Save the archive under a new name");
    m_newArchive = makeAction(frame, "ID_FILE_NEW_ARCHIVE", "Ne&w Archive...", "Start a new, empty archive");
    for (QAction* action : {m_redo, m_delete, m_rename, m_newFolder, m_addFiles, m_addFolder, m_replace,
                            m_saveAs, m_newArchive})
        frame->addAction(action);

    // Edit: Redo right after Undo, the new commands after Paste (before Find and whatever follows it).
    QAction* undo = m_window.m_undo;
    if (QMenu* edit = m_window.m_editMenu) {
        const QList<QAction*> items = edit->actions();
        edit->insertAction(items.value(items.indexOf(undo) + 1), m_redo);
        QAction* before = items.value(items.indexOf(m_window.m_paste) + 1);
        edit->insertSeparator(before);
        for (QAction* action : {m_delete, m_rename, m_newFolder})
            edit->insertAction(before, action);
        edit->insertSeparator(before);
        for (QAction* action : {m_addFiles, m_addFolder, m_replace})
            edit->insertAction(before, action);
    }
    // File: Save, Save As and New Archive at the end of the group that holds Open and Extract.
    QAction* save = m_window.m_save;
    save->setText(QStringLiteral("&Save\tCtrl+S"));
    QMenu* file = m_window.m_fileMenu;
    const QList<QAction*> items = file->actions();
    const auto separator =
        std::find_if(items.begin(), items.end(), [](QAction* a) { return a->isSeparator(); });
    for (QAction* action : {save, m_saveAs, m_newArchive})
        file->insertAction(separator == items.end() ? nullptr : *separator, action);

    connect(undo, &QAction::triggered, this, &EditCommands::undo);
    connect(m_redo, &QAction::triggered, this, &EditCommands::redo);
    connect(m_window.m_cut, &QAction::triggered, this, &EditCommands::cut);
    connect(m_window.m_copy, &QAction::triggered, this, &EditCommands::copy);
    connect(m_window.m_paste, &QAction::triggered, this, &EditCommands::paste);
    connect(save, &QAction::triggered, this, &EditCommands::save);
    connect(m_saveAs, &QAction::triggered, this, &EditCommands::saveAs);
    connect(m_newArchive, &QAction::triggered, this, &EditCommands::newArchive);
    connect(m_delete, &QAction::triggered, this, &EditCommands::removeSelection);
    connect(m_rename, &QAction::triggered, this, &EditCommands::rename);
    connect(m_newFolder, &QAction::triggered, this, &EditCommands::newFolder);
    connect(m_addFiles, &QAction::triggered, this, &EditCommands::addFiles);
    connect(m_addFolder, &QAction::triggered, this, &EditCommands::addFolder);
    connect(m_replace, &QAction::triggered, this, &EditCommands::replace);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &EditCommands::updateCommands);
    if (doc) {
        connect(doc, &VorpexDoc::catalogueOpened, this, &EditCommands::updateCommands, Qt::QueuedConnection);
        // A new archive shows its top item while still empty, so that there is somewhere to add to; an
        // archive opened from a file shows an empty tree when it holds nothing, as always.
        connect(doc, &VorpexDoc::catalogueReplacing, this,
                [this] { m_window.m_tree->getModel()->setShowEmptyTop(m_makingNew); });
    }

    // Unsaved changes show in the status bar, before the key indicators.
    m_modified = new QLabel(frame->statusBar());
    m_modified->setObjectName(QStringLiteral("Modified"));
    m_modified->setAlignment(Qt::AlignCenter);
    QStatusBar* bar = frame->statusBar();
    bar->insertPermanentWidget(bar->findChild<QWidget*>(QStringLiteral("CAP")) ? 1 : 0, m_modified);

    const EditHooks hooks{
        [this](const PackFolder* folder, const PackEntry* entry, const QString& name) {
            return renameItem(folder, entry, name);
        },
        [this](const PackFolder* folder, const QList<QUrl>& urls) {
            QStringList paths;
            for (const QUrl& url : urls)
                paths << url.toLocalFile();
            return addPaths(folder, paths);
        },
        [this](const PackFolder* folder, const PackEntry* entry) { return isMarked(folder, entry); }};
    m_window.m_tree->getModel()->setEditHooks(hooks);
    m_window.m_list->getModel()->setEditHooks(hooks);
    for (PaneView* pane :
         {static_cast<PaneView*>(m_window.m_tree), static_cast<PaneView*>(m_window.m_list)}) {
        pane->setDragDropMode(QAbstractItemView::DragDrop);
        pane->setDefaultDropAction(Qt::CopyAction);
        pane->setDropIndicatorShown(true);
    }
    updateCommands();
}

MessageSink* EditCommands::sink() const {
    return m_sink ? m_sink() : nullptr;
}

void EditCommands::report(const QString& message) {
    if (MessageSink* to = sink())
        to->report({message.toStdString(), {}, {}, false});
}

QMessageBox::StandardButton EditCommands::ask(const QString& question, QMessageBox::StandardButtons buttons) {
    if (m_ask)
        return m_ask(question, buttons);
    return QMessageBox::question(m_frame, QStringLiteral("Vorpex"), question, buttons);
}

QStringList EditCommands::choose(Choose what) {
    if (m_choose)
        return m_choose(what);
    switch (what) {
    case Choose::Files:
        return QFileDialog::getOpenFileNames(m_frame, tr("Add Files"));
    case Choose::Folder: {
        const QString folder = QFileDialog::getExistingDirectory(m_frame, tr("Add Folder"));
        return folder.isEmpty() ? QStringList() : QStringList{folder};
    }
    case Choose::Replacement: {
        const QString file = QFileDialog::getOpenFileName(m_frame, tr("Replace"));
        return file.isEmpty() ? QStringList() : QStringList{file};
    }
    case Choose::SaveAs: {
        const QString file = QFileDialog::getSaveFileName(m_frame, tr("Save As"), m_document->pathName());
        return file.isEmpty() ? QStringList() : QStringList{file};
    }
    }
    return {};
}

PackFolder* EditCommands::mutableFolder(const PackFolder* folder) const {
    // The panes see the catalogue read-only; the document owns it, and the edit changes it.
    return const_cast<PackFolder*>(folder);
}

bool EditCommands::isMarked(const PackFolder* folder, const PackEntry* entry) const {
    const CatalogueEdit* edit = m_document ? m_document->currentEdit() : nullptr;
    if (!edit)
        return false;
    if (folder)
        return edit->isNew(*folder) || edit->isRenamed(*folder);
    return entry && (edit->isAdded(*entry) || edit->isRenamed(*entry));
}

void EditCommands::change(const QString& label, const std::function<bool(CatalogueEdit&)>& body,
                          const PackFolder* renamedFolder, const PackEntry* renamedEntry) {
    CatalogueEdit* edit = m_document ? m_document->edit() : nullptr;
    if (!edit)
        return;
    FolderTreeModel* tree = m_window.m_tree->getModel();
    FilesModel* list = m_window.m_list->getModel();
    // No search may read the catalogue while it changes.
    m_window.m_find->setCatalogue(nullptr, nullptr);
    tree->beginChange();
    list->beginChange(renamedFolder, renamedEntry);
    // Undo and Redo move through the edits made; anything else makes a new one.
    if (label.isEmpty()) {
        body(*edit);
    } else {
        edit->begin(label.toStdString());
        if (body(*edit))
            edit->commit();
        else
            edit->abandon();
    }
    tree->endChange();
    list->endChange();
    m_window.m_list->widenNameColumn();
    m_window.m_find->setCatalogue(m_document->m_packFile.get(), &m_document->codec());
    // The folder shown may have gone with the edit: the nearest folder still there takes its place.
    const PackFolder* shown = m_window.m_tree->selectedFolder();
    if (!shown && m_window.m_list->shownFolder()) {
        const PackFolder* folder = m_window.m_list->shownFolder();
        while (folder && folder != &edit->top() && !edit->isAttached(*folder))
            folder = folder->parent() ? folder->parent() : &edit->top();
        m_window.m_tree->selectFolder(folder ? folder : &edit->top());
    }
    // Rows that went took their selection with them without the views saying so: what depends on the
    // selection (the status bar's count, Extract, the edit commands) is told now.
    if (m_window.m_setIdleText)
        m_window.m_setIdleText(m_document->readSummary());
    emit m_window.m_list->selectionUpdated();
    emit m_window.m_tree->selectionUpdated();
    updateCommands();
}

void EditCommands::undo() {
    CatalogueEdit* edit = m_document ? m_document->edit() : nullptr;
    if (!edit || !edit->canUndo())
        return;
    change({}, [](CatalogueEdit& e) {
        e.undo();
        return true;
    });
}

void EditCommands::redo() {
    CatalogueEdit* edit = m_document ? m_document->edit() : nullptr;
    if (!edit || !edit->canRedo())
        return;
    change({}, [](CatalogueEdit& e) {
        e.redo();
        return true;
    });
}

std::vector<ListItem> EditCommands::selectedItems() const {
    std::vector<ListItem> items;
    PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    if (!pack)
        return items;
    PaneView* active = m_window.m_activeView();
    if (active == m_window.m_tree) {
        const PackFolder* folder = m_window.m_tree->selectedFolder();
        if (folder && folder != &pack->top())
            items.push_back({mutableFolder(folder->parent() ? folder->parent() : &pack->top()),
                             mutableFolder(folder), ListItem::kNoEntry});
        return items;
    }
    const FilesModel* model = m_window.m_list->getModel();
    for (int row : m_window.m_list->selectedRowNumbers()) {
        PackFolder* parent = mutableFolder(model->parentAt(row));
        if (const PackFolder* folder = model->folderAt(row))
            items.push_back({parent, mutableFolder(folder), ListItem::kNoEntry});
        else if (parent)
            items.push_back({parent, nullptr, model->entryIndexAt(row)});
    }
    return items;
}

PackFolder* EditCommands::targetFolder() const {
    if (!m_document || !m_document->m_packFile)
        return nullptr;
    if (m_window.m_activeView() == m_window.m_tree)
        return mutableFolder(m_window.m_tree->selectedFolder());
    if (m_window.m_list->isShowingMatches())
        return nullptr;
    return mutableFolder(m_window.m_list->shownFolder());
}

// The name as the archive stores it, checked: a valid name, in the code page, within a record's field,
// and, when `clash` is given, not yet in `parent` (unless it is `self`), a clash being handed back for the
// caller to offer.
std::string EditCommands::encodeName(const QString& name, PackFolder& parent, const ListItem& self,
                                     ListItem* clash) {
    std::string raw;
    const std::string utf8 = name.toStdString();
    if (name.isEmpty() || isUnsafeName(utf8)) {
        report(text(kEditNameNotValid) + name);
        return {};
    }
    if (!m_document->codec().encode(utf8, raw)) {
        report(text(kEditNameNotEncodable).arg(QString::fromStdString(m_document->codec().encoding())) +
               name);
        return {};
    }
    if (raw.size() > CatalogueEdit::kMaxName) {
        report(text(kEditNameTooLong) + name);
        return {};
    }
    if (!CatalogueEdit::isValidName(raw)) {
        report(text(kEditNameNotValid) + name);
        return {};
    }
    if (!clash)
        return raw;
    const ListItem found = m_document->edit()->find(parent, raw);
    if (found.isValid() && !(found.m_folder == self.m_folder && found.m_entry == self.m_entry))
        *clash = found;
    return raw;
}

bool EditCommands::renameItem(const PackFolder* folder, const PackEntry* entry, const QString& name) {
    CatalogueEdit* edit = m_document ? m_document->edit() : nullptr;
    if (!edit || (!folder && !entry))
        return false;
    ListItem self;
    if (folder) {
        self = edit->itemOf(*mutableFolder(folder));
    } else {
        PackFolder& parent = entry->folder() ? *mutableFolder(entry->folder()) : edit->top();
        self = {&parent, nullptr, edit->indexOf(parent, *entry)};
    }
    ListItem clash;
    const std::string raw = encodeName(name, *self.m_parent, self, &clash);
    if (raw.empty())
        return false;
    if (clash.isValid() &&
        ask(text(kEditReplaceItem).arg(name), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    change(
        tr("Rename"),
        [&](CatalogueEdit& e) {
            if (clash.isValid())
                e.remove({clash});
            e.rename(self, raw);
            return true;
        },
        clash.isValid() ? nullptr : folder, clash.isValid() ? nullptr : entry);
    return true;
}

void EditCommands::removeSelection() {
    const std::vector<ListItem> items = selectedItems();
    if (items.empty())
        return;
    change(tr("Delete"), [&](CatalogueEdit& edit) {
        edit.remove(items);
        return true;
    });
}

void EditCommands::rename() {
    PaneView* view = m_window.m_activeView();
    if (!view || !m_document || !m_document->m_packFile)
        return;
    const QModelIndex current = view->currentIndex();
    if (!current.isValid() || !(view->model()->flags(current) & Qt::ItemIsEditable))
        return;
    view->edit(current.siblingAtColumn(0));
}

void EditCommands::newFolder() {
    PackFolder* parent = targetFolder();
    CatalogueEdit* edit = parent ? m_document->edit() : nullptr;
    if (!edit)
        return;
    if (edit->depthBelow(*parent) > PackFile::kMaxDepth) {
        report(text(kEditTooDeep) + QString::fromStdString(m_document->codec().decode(parent->name())));
        return;
    }
    QString name = tr("New Folder");
    std::string raw;
    for (int n = 2; edit->find(*parent, raw = name.toStdString()).isValid(); ++n)
        name = tr("New Folder (%1)").arg(n);
    const bool inTree = m_window.m_activeView() == m_window.m_tree;
    PackFolder* made = nullptr;
    change(tr("New Folder"), [&](CatalogueEdit& e) {
        made = e.makeFolder(*parent, raw);
        return true;
    });
    // The new folder's name is ready to be typed over, where the user is.
    if (inTree) {
        m_window.m_tree->getModel()->reveal(made);
        const QModelIndex index = m_window.m_tree->getModel()->indexOf(made);
        m_window.m_tree->expand(index.parent());
        m_window.m_tree->setCurrentIndex(index);
        m_window.m_tree->edit(index);
    } else {
        FilesView* list = m_window.m_list;
        const int row = list->getModel()->rowOf(made, nullptr);
        if (row >= 0) {
            const QModelIndex index = list->getModel()->index(row, 0);
            list->setCurrentIndex(index);
            list->edit(index);
        }
    }
}

bool EditCommands::plan(PackFolder* folder, const QString& path, Planned& planned, uint32_t depth,
                        uint64_t& bytes, int& replaceAll) {
    const QFileInfo info(path);
    planned.m_path = path;
    if (info.isSymLink() || (!info.isFile() && !info.isDir())) {
        report(text(kEditNotAdded) + path);
        return false;
    }
    planned.m_folder = info.isDir();
    ListItem clash;
    const PackFolder* placeholder = folder ? folder : &m_document->edit()->top();
    planned.m_name = encodeName(info.fileName(), *mutableFolder(placeholder), {}, folder ? &clash : nullptr);
    if (planned.m_name.empty())
        return false;
    if (clash.isValid() && clash.isFolder() != planned.m_folder) {
        report(text(kEditKindClash) + info.fileName());
        return false;
    }
    if (planned.m_folder) {
        if (depth > PackFile::kMaxDepth) {
            report(text(kEditTooDeep) + path);
            return false;
        }
        planned.m_existing = clash;
        if (!clash.isValid())
            bytes += 2 * CatalogueEdit::kRecord;
        const QStringList names = QDir(path).entryList(
            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
        for (const QString& name : names) {
            Planned& child = planned.m_children.emplace_back();
            if (!plan(clash.m_folder, QDir(path).filePath(name), child, depth + 1, bytes, replaceAll))
                return false;
        }
        return true;
    }
    planned.m_size = uint64_t(info.size());
    if (planned.m_size > UINT32_MAX) {
        report(text(kEditPast4GiB) + path);
        return false;
    }
    if (clash.isValid()) {
        QMessageBox::StandardButton answer = replaceAll ? QMessageBox::Yes : QMessageBox::NoButton;
        if (!replaceAll) {
            answer = ask(text(kEditReplaceItem).arg(info.fileName()),
                         QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel);
            if (answer == QMessageBox::YesToAll) {
                replaceAll = 1;
                answer = QMessageBox::Yes;
            }
        }
        if (answer == QMessageBox::Cancel)
            return false;
        planned.m_skipped = answer != QMessageBox::Yes;
        planned.m_existing = clash;
    } else {
        bytes += CatalogueEdit::kRecord;
    }
    if (!planned.m_skipped)
        bytes += planned.m_size;
    return true;
}

bool EditCommands::apply(CatalogueEdit& edit, PackFolder& folder, const Planned& planned) {
    if (planned.m_skipped)
        return true;
    if (planned.m_folder) {
        PackFolder* target = planned.m_existing.isValid() ? planned.m_existing.m_folder
                                                          : edit.makeFolder(folder, planned.m_name);
        for (const Planned& child : planned.m_children)
            if (!apply(edit, *target, child))
                return false;
        return true;
    }
    const FileDescriptor file(::open(QFile::encodeName(planned.m_path).constData(),
                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    uint64_t offset = 0;
    int error = 0;
    if (!file.isOpen())
        error = errno;
    else
        edit.addData(file.get(), planned.m_size, offset, error);
    if (error) {
        m_failure = text(kCouldNotReadFile) + planned.m_path + QStringLiteral(": ") +
                    QString::fromLocal8Bit(std::strerror(error));
        return false;
    }
    if (planned.m_existing.isValid())
        edit.replaceFile(planned.m_existing, offset, uint32_t(planned.m_size));
    else
        edit.addFile(folder, planned.m_name, offset, uint32_t(planned.m_size));
    return true;
}

bool EditCommands::addPaths(const PackFolder* folder, const QStringList& paths) {
    CatalogueEdit* edit = folder && m_document ? m_document->edit() : nullptr;
    if (!edit || paths.isEmpty())
        return false;
    // Everything is checked (and every question asked) before anything changes.
    std::vector<Planned> planned(size_t(paths.size()));
    uint64_t bytes = 0;
    int replaceAll = 0;
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (!plan(mutableFolder(folder), paths[i], planned[size_t(i)], edit->depthBelow(*folder), bytes,
                  replaceAll))
            return false;
    if (edit->archiveSize() + bytes > CatalogueEdit::kMaxArchive) {
        report(text(kEditPast4GiB) + QString::fromStdString(m_document->codec().decode(folder->name())));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    m_failure.clear();
    bool added = false;
    change(tr("Add"), [&](CatalogueEdit& e) {
        for (const Planned& item : planned)
            if (!apply(e, *mutableFolder(folder), item))
                return false;
        added = true;
        return true;
    });
    if (!m_failure.isEmpty())
        report(m_failure);
    return added;
}

void EditCommands::addFiles() {
    if (PackFolder* folder = targetFolder())
        addPaths(folder, choose(Choose::Files));
}

void EditCommands::addFolder() {
    if (PackFolder* folder = targetFolder())
        addPaths(folder, choose(Choose::Folder));
}

void EditCommands::replace() {
    const std::vector<ListItem> items = selectedItems();
    if (items.size() != 1 || items[0].isFolder())
        return;
    const QString path = choose(Choose::Replacement).value(0);
    if (path.isEmpty())
        return;
    Planned planned;
    planned.m_path = path;
    planned.m_size = uint64_t(QFileInfo(path).size());
    planned.m_existing = items[0];
    CatalogueEdit* edit = m_document->edit();
    if (!QFileInfo(path).isFile() || QFileInfo(path).isSymLink()) {
        report(text(kEditNotAdded) + path);
        return;
    }
    const uint64_t old = edit->pack().entry(items[0].m_entry).size();
    if (planned.m_size > UINT32_MAX ||
        edit->archiveSize() - old + planned.m_size > CatalogueEdit::kMaxArchive) {
        report(text(kEditPast4GiB) + path);
        return;
    }
    m_failure.clear();
    change(tr("Replace"), [&](CatalogueEdit& e) { return apply(e, *items[0].m_parent, planned); });
    if (!m_failure.isEmpty())
        report(m_failure);
}

void EditCommands::copy() {
    PaneView* view = m_window.m_activeView();
    if (!view || !view->hasSelection() || !m_staged)
        return;
    QMimeData* data = m_staged->mimeData(view->selection());
    if (!data)
        return;
    // File managers take the files as copied, not cut: the archive keeps its own.
    QByteArray gnome("copy");
    for (const QUrl& url : data->urls())
        gnome += '\n' + url.toEncoded();
    data->setData(QString::fromLatin1(kGnomeCopied), gnome);
    QApplication::clipboard()->setMimeData(data);
}

void EditCommands::cut() {
    const std::vector<ListItem> items = selectedItems();
    if (items.empty())
        return;
    const QMimeData* before = QApplication::clipboard()->mimeData();
    const qint64 stamp = before ? before->data(QString::fromLatin1(kGnomeCopied)).size() : -1;
    copy();
    const QMimeData* after = QApplication::clipboard()->mimeData();
    if (!after || !after->hasUrls() ||
        (after == before && stamp == after->data(QString::fromLatin1(kGnomeCopied)).size()))
        return;
    change(tr("Cut"), [&](CatalogueEdit& edit) {
        edit.remove(items);
        return true;
    });
}

QList<QUrl> EditCommands::clipboardFiles() const {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QList<QUrl> urls;
    if (!data)
        return urls;
    if (data->hasFormat(QString::fromLatin1(kGnomeCopied))) {
        const QList<QByteArray> lines = data->data(QString::fromLatin1(kGnomeCopied)).split('\n');
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (const QUrl url = QUrl::fromEncoded(lines[i].trimmed()); url.isLocalFile())
                urls << url;
        return urls;
    }
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            urls << url;
    return urls;
}

void EditCommands::paste() {
    PackFolder* folder = targetFolder();
    const QList<QUrl> urls = clipboardFiles();
    if (!folder || urls.isEmpty())
        return;
    QStringList paths;
    for (const QUrl& url : urls)
        paths << url.toLocalFile();
    addPaths(folder, paths);
}

bool EditCommands::maySwitch() {
    if (!m_document || !m_document->isModified())
        return true;
    switch (ask(text(kEditSaveChanges).arg(m_document->displayName()),
                QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
    case QMessageBox::Save:
        return save();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

bool EditCommands::save() {
    if (!m_document || !m_document->m_packFile)
        return false;
    if (m_document->isUntitled())
        return saveAs();
    if (!m_document->isModified())
        return true; // nothing to write
    if (!m_document->m_packFile->report().isClean()) {
        if (ask(text(kEditSaveDamaged).arg(m_document->displayName()), QMessageBox::Yes | QMessageBox::No) ==
            QMessageBox::Yes)
            return saveAs();
        return false;
    }
    return saveTo(m_document->pathName());
}

bool EditCommands::saveAs() {
    if (!m_document || !m_document->m_packFile)
        return false;
    const QString path = choose(Choose::SaveAs).value(0);
    return !path.isEmpty() && saveTo(path);
}

bool EditCommands::saveTo(const QString& path) {
    PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    if (!pack)
        return false;
    const std::string target = QFile::encodeName(path).toStdString();
    // Over the archive read, the file must still be the one read; another file the user chose is replaced.
    struct stat st {};
    const struct stat& opened = m_document->openedStat();
    const bool same = !m_document->isUntitled() && ::stat(target.c_str(), &st) == 0 &&
                      st.st_dev == opened.st_dev && st.st_ino == opened.st_ino;
    const std::vector<std::string> selected = pathOf(
        m_window.m_tree->selectedFolder() == &pack->top() ? nullptr : m_window.m_tree->selectedFolder());

    ArchiveEdit writer;
    std::atomic<bool> cancel{false};
    std::atomic<uint64_t> copied{0};
    writer.setCancelCheck([&cancel] { return cancel.load(); });
    writer.setProgress([&copied](uint64_t moved) { copied += moved; });
    ArchiveNode tree = treeOf(*pack);
    // What there is to copy: the edit keeps the count; an archive saved unedited (Save As) sums its entries.
    uint64_t total = 0;
    if (const CatalogueEdit* edit = m_document->currentEdit())
        total = edit->archiveSize();
    else
        for (const PackEntry& entry : pack->entries())
            total += entry.size();
    // Progress in per mille of the data to copy, read from the worker's count a few times a second.
    QProgressDialog progress(tr("Saving %1...").arg(QFileInfo(path).fileName()), tr("Cancel"), 0, 1000,
                             m_frame);
    progress.setWindowTitle(QStringLiteral("Vorpex"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    connect(&progress, &QProgressDialog::canceled, this, [&cancel] { cancel = true; });
    QTimer ticks;
    connect(&ticks, &QTimer::timeout, &progress,
            [&] { progress.setValue(total ? int(std::min<uint64_t>(999, copied * 1000 / total)) : 0); });
    ticks.start(100);
    // The window takes no command while the archive is written from the catalogue's files.
    m_frame->setEnabled(false);
    const auto enable = qScopeGuard([this] { m_frame->setEnabled(true); });
    QFuture<ArchiveEdit::SaveStatus> future = QtConcurrent::run([&] {
        writer.adopt(target, std::move(tree), same ? &opened : nullptr, pack->fd(), pack->fileSize());
        return writer.save();
    });
    QFutureWatcher<ArchiveEdit::SaveStatus> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<ArchiveEdit::SaveStatus>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec();
    progress.reset();
    const ArchiveEdit::SaveStatus status = future.result();
    const QString name = QFileInfo(path).fileName();
    switch (status) {
    case ArchiveEdit::SaveStatus::Saved:
        break;
    case ArchiveEdit::SaveStatus::Cancelled:
        m_window.m_setMessage(tr("Save cancelled."));
        return false;
    case ArchiveEdit::SaveStatus::ReadOnly:
        if (ask(text(kEditSaveReadOnly).arg(name), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            return saveAs();
        return false;
    case ArchiveEdit::SaveStatus::Changed:
        if (ask(text(kEditSaveChanged).arg(name), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
            return saveAs();
        return false;
    case ArchiveEdit::SaveStatus::Refused:
        report(text(kEditSaveRefused) + name + QStringLiteral("\n") + problemTexts(writer.problems()));
        return false;
    case ArchiveEdit::SaveStatus::Failed:
        report(text(kCouldNotSave) + path + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(writer.error() ? writer.error() : EIO)));
        return false;
    }
    // The archive is read again from what was written, and the user stays in the same folder.
    const bool reopened = m_reopen ? m_reopen(path) : m_document->onOpenDocument(path);
    if (reopened && m_document->m_packFile)
        m_window.m_tree->selectFolder(folderAt(*m_document->m_packFile, selected));
    m_window.m_setMessage(tr("Saved %1.").arg(name));
    updateCommands();
    return reopened;
}

// What keeps an archive from being written, a line each, paths as the archive names them.
QString EditCommands::problemTexts(const std::vector<ArchiveEdit::Problem>& problems) const {
    QStringList lines;
    for (const ArchiveEdit::Problem& problem : problems) {
        QStringList names;
        for (const std::string& raw : problem.m_path)
            names << QString::fromStdString(m_document->codec().decode(raw));
        const QString path = names.join(QLatin1Char('/'));
        switch (problem.m_kind) {
        case ArchiveEdit::Problem::Kind::NameTooLong:
            lines << text(kNameTooLong) + QStringLiteral("32 bytes: ") + path;
            break;
        case ArchiveEdit::Problem::Kind::TooDeep:
            lines << text(kFoldersNestTooDeep) + QStringLiteral("10 levels: ") + path;
            break;
        case ArchiveEdit::Problem::Kind::TooManyEntries:
            lines << text(kTooManyInArchive);
            break;
        case ArchiveEdit::Problem::Kind::DataPast4GiB:
            lines << text(kDataPast4GiB) + path;
            break;
        case ArchiveEdit::Problem::Kind::DataPastEnd:
            lines << text(kDataPastEnd) + path;
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void EditCommands::newArchive() {
    if (!m_document || !maySwitch())
        return;
    m_makingNew = true;
    m_document->newArchive();
    m_makingNew = false;
    m_window.m_tree->selectFolder(&m_document->m_packFile->top());
    updateCommands();
}

void EditCommands::addToContextMenu(QMenu* menu, PaneView* view) {
    menu->addSeparator();
    for (QAction* action : {m_window.m_cut, m_window.m_copy, m_window.m_paste})
        menu->addAction(action);
    menu->addAction(m_delete);
    menu->addAction(m_rename);
    menu->addSeparator();
    menu->addAction(m_newFolder);
    menu->addAction(m_addFiles);
    menu->addAction(m_addFolder);
    if (view == m_window.m_list)
        menu->addAction(m_replace);
}

void EditCommands::updateCommands() {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    const CatalogueEdit* edit = m_document ? m_document->currentEdit() : nullptr;
    const bool open = pack && pack->isOpen();
    const std::vector<ListItem> items = open ? selectedItems() : std::vector<ListItem>();
    const bool target = open && targetFolder();
    PaneView* active = m_window.m_activeView();

    QAction* undo = m_window.m_undo;
    const bool canUndo = edit && edit->canUndo();
    undo->setEnabled(canUndo);
    undo->setText(canUndo ? tr("&Undo %1\tCtrl+Z").arg(QString::fromStdString(edit->undoLabel()))
                          : QStringLiteral("&Undo\tCtrl+Z"));
    const bool canRedo = edit && edit->canRedo();
    m_redo->setEnabled(canRedo);
    m_redo->setText(canRedo ? tr("&Redo %1\tCtrl+Shift+Z").arg(QString::fromStdString(edit->redoLabel()))
                            : QStringLiteral("&Redo\tCtrl+Shift+Z"));
    m_window.m_copy->setEnabled(open && active && active->hasSelection());
    m_window.m_cut->setEnabled(!items.empty());
    m_window.m_paste->setEnabled(target && !clipboardFiles().isEmpty());
    m_delete->setEnabled(!items.empty());
    m_rename->setEnabled(items.size() == 1);
    m_replace->setEnabled(items.size() == 1 && !items[0].isFolder() && active == m_window.m_list);
    for (QAction* action : {m_newFolder, m_addFiles, m_addFolder})
        action->setEnabled(target);
    const bool modified = m_document && m_document->isModified();
    m_window.m_save->setEnabled(modified);
    if (m_window.m_check)
        m_window.m_check->setEnabled(open && !modified);
    m_saveAs->setEnabled(open);
    m_modified->setText(modified ? tr("Modified") : QString());
}

} // namespace vorpex
