#include "app/EntryCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>

#include "app/LinkStatic.h"
#include "app/StagedFiles.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "platform/MessageTexts.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/PropertiesDlg.h"

namespace vorpex {

EntryCommands::EntryCommands(Window window, VorpexDoc* doc, StagedFiles* staged)
    : QObject(window.m_frame), m_window(std::move(window)), m_document(doc), m_staged(staged) {
    QMainWindow* frame = m_window.m_frame;
    m_openAction = new QAction(tr("&Open\tEnter"), this);
    m_openAction->setObjectName(QStringLiteral("ID_ENTRY_OPEN"));
    m_openAction->setStatusTip(tr("Open the selected file with its program, or the selected folder"));
    connect(m_openAction, &QAction::triggered, this, &EntryCommands::open);
    m_copyPathAction = new QAction(tr("Copy &Path"), this);
    m_copyPathAction->setObjectName(QStringLiteral("ID_ENTRY_COPY_PATH"));
    m_copyPathAction->setStatusTip(tr("Copy the paths inside the archive of the selection"));
    connect(m_copyPathAction, &QAction::triggered, this, &EntryCommands::copyPath);
    m_propertiesAction = new QAction(tr("P&roperties\tAlt+Enter"), frame);
    m_propertiesAction->setObjectName(QStringLiteral("ID_ENTRY_PROPERTIES"));
    m_propertiesAction->setStatusTip(tr("Show the properties of the selected file or folder"));
    m_propertiesAction->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    frame->addAction(m_propertiesAction);
    connect(m_propertiesAction, &QAction::triggered, this, &EntryCommands::showProperties);
    PaneView* active = m_window.m_activeView();
    followSelection(active && active->hasSelection());
    // Properties also joins the File menu, after Extract.
    if (QMenu* file = m_window.m_fileMenu) {
        const QList<QAction*> actions = file->actions();
        const qsizetype at = actions.indexOf(m_window.m_extract);
        file->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr,
                           m_propertiesAction);
    }
    watch(m_window.m_tree);
    watch(m_window.m_list);
}

void EntryCommands::followSelection(bool any) {
    for (QAction* action : {m_openAction, m_copyPathAction, m_propertiesAction})
        action->setEnabled(any);
}

void EntryCommands::watch(PaneView* view) {
    if (view->accessibleName().isEmpty())
        view->setAccessibleName(view == m_window.m_tree ? tr("Folders") : tr("Files"));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
        std::unique_ptr<QMenu> menu(contextMenu(view));
        menu->exec(view->viewport()->mapToGlobal(pos));
    });
    view->installEventFilter(this);
    if (view == m_window.m_list) {
        // A match is shown where it lies (the list's MatchOpened), not opened.
        connect(view, &PaneView::doubleClicked, this, [this](const QModelIndex& index) {
            if (!m_window.m_list->isShowingMatches() && m_window.m_list->getModel()->entryAt(index.row()))
                open();
        });
    }
}

QMenu* EntryCommands::contextMenu(PaneView* view) {
    m_window.m_setActiveView(view);
    auto* menu = new QMenu(m_window.m_frame);
    menu->setObjectName(QStringLiteral("EntryMenu"));
    menu->setAccessibleName(tr("Entry menu"));
    menu->addAction(m_openAction);
    menu->addAction(m_window.m_extract);
    // Save As converts the previewed file of the list.
    if (QAction* saveAs = m_window.m_frame->findChild<QAction*>(QStringLiteral("ID_FILE_SAVE_AS"));
        saveAs && view == m_window.m_list)
        menu->addAction(saveAs);
    menu->addAction(m_copyPathAction);
    if (m_extendMenu)
        m_extendMenu(menu, view);
    menu->addSeparator();
    menu->addAction(m_propertiesAction);
    return menu;
}

PaneView* EntryCommands::activeView() const {
    if (m_window.m_activeView() == m_window.m_tree)
        return m_window.m_tree;
    return m_window.m_list;
}

void EntryCommands::open() {
    PaneView* view = activeView();
    if (view == m_window.m_tree) {
        const QModelIndex index = view->currentIndex();
        if (index.isValid())
            m_window.m_tree->setExpanded(index, true);
        return;
    }
    FilesView* list = m_window.m_list;
    Selection selection = list->selection();
    const QModelIndex current = list->currentIndex();
    if (selection.m_files.empty()) {
        // A folder row opens as a double-click opens it.
        if (list->getModel()->folderAt(current.row()))
            list->onLButtonDblClk(current);
        return;
    }
    selection.m_folders.clear();
    if (selection.m_files.size() > kAskAbove &&
        QMessageBox::question(m_window.m_frame, QString::fromLatin1(kCaption),
                              QString::fromLatin1(kOpenManyFiles).arg(selection.m_files.size())) !=
            QMessageBox::Yes)
        return;
    for (const StagingArea::Made& made : m_staged->stage(selection)) {
        const QUrl url = StagedFiles::urlOf(made.m_path);
        openStaged(url, made.m_entry ? PropertiesDlg::entryPath(*made.m_entry, m_document->codec())
                                     : url.fileName());
    }
}

void EntryCommands::openStaged(const QUrl& url, const QString& entry) {
    if (m_opener) {
        if (!m_opener(url))
            reportOpenFailure(entry, LinkStatic::kOpenNoHandler);
        return;
    }
    // xdg-open may run the program itself until it ends, so its verdict is awaited beside the window. One
    // still running when the window goes is ended; the program it started is not.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this,
            [this, process, entry](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                const int code = LinkStatic::xdgOpenResult(status != QProcess::NormalExit, exitCode);
                if (code <= LinkStatic::kOpenLastFailure)
                    reportOpenFailure(entry, code);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process, entry](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // finished() follows
        process->deleteLater();
        reportOpenFailure(entry, LinkStatic::kOpenNoHandler);
    });
    process->start(QStringLiteral("xdg-open"), {url.toLocalFile()});
}

void EntryCommands::reportOpenFailure(const QString& entry, int code) {
    const QString why = code == LinkStatic::kOpenFailed ? QString::fromLatin1(kOpenerFailed)
                                                        : LinkStatic::openErrorText(code);
    m_staged->sink().report({kCouldNotOpenFile, entry.toStdString(), ":\n\n" + why.toStdString(), true});
}

void EntryCommands::showProperties() {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    if (!pack)
        return;
    const PackFolder* folder = nullptr;
    const PackEntry* entry = nullptr;
    PaneView* view = activeView();
    if (view == m_window.m_tree) {
        folder = m_window.m_tree->selectedFolder();
    } else {
        const FilesModel* model = m_window.m_list->getModel();
        int row = view->currentIndex().row();
        if (!view->selectionModel()->isRowSelected(row, {})) {
            const std::vector<int> rows = m_window.m_list->selectedRowNumbers();
            row = rows.empty() ? -1 : rows.front();
        }
        folder = model->folderAt(row);
        entry = model->entryAt(row);
    }
    if (!folder && !entry)
        return;
    PropertiesDlg dlg(*pack, folder, entry, m_document->codec(), m_window.m_frame);
    dlg.exec();
}

void EntryCommands::copyPath() {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    if (!pack)
        return;
    const Selection selection = activeView()->selection();
    QStringList paths;
    if (selection.m_wholeArchive)
        paths << QStringLiteral("/");
    for (const PackFolder* folder : selection.m_folders)
        paths << PropertiesDlg::folderPath(*folder, m_document->codec());
    for (const PackEntry* entry : selection.m_files)
        paths << PropertiesDlg::entryPath(*entry, m_document->codec());
    if (!paths.isEmpty())
        QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void EntryCommands::goToParentFolder() {
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    FilesView* list = m_window.m_list;
    const PackFolder* shown = list->shownFolder();
    if (!pack || !shown || shown == &pack->top())
        return;
    const PackFolder* parent = shown->parent() ? shown->parent() : &pack->top();
    if (!m_window.m_tree->selectFolder(parent))
        return;
    // The folder we came from stays in hand, as file managers do.
    const QModelIndex back = list->model()->index(static_cast<int>(shown->row()), 0);
    list->selectionModel()->setCurrentIndex(back,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool EntryCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != m_window.m_tree && watched != m_window.m_list))
        return false;
    // Keys an editor open in the pane (a name being typed) lets through are the editor's: Enter ends the
    // rename, it opens nothing.
    if (QApplication::focusWidget() && QApplication::focusWidget() != watched)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Backspace && mods == Qt::NoModifier) ||
        (key->key() == Qt::Key_Up && mods == Qt::AltModifier)) {
        goToParentFolder();
        return true;
    }
    if (watched == m_window.m_list && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        mods == Qt::NoModifier && !m_window.m_list->isShowingMatches()) {
        m_window.m_setActiveView(m_window.m_list);
        open();
        return true;
    }
    return false;
}

} // namespace vorpex
