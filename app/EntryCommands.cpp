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

EntryCommands::EntryCommands(Window window, CVorpexDoc* doc, StagedFiles* staged)
    : QObject(window.frame), m_window(std::move(window)), m_document(doc), m_staged(staged) {
    QMainWindow* frame = m_window.frame;
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
    CPaneView* active = m_window.activeView();
    followSelection(active && active->HasSelection());
    // Properties also joins the File menu, after Extract.
    if (QMenu* file = m_window.fileMenu) {
        const QList<QAction*> actions = file->actions();
        const qsizetype at = actions.indexOf(m_window.extract);
        file->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr,
                           m_propertiesAction);
    }
    watch(m_window.tree);
    watch(m_window.list);
}

void EntryCommands::followSelection(bool any) {
    for (QAction* action : {m_openAction, m_copyPathAction, m_propertiesAction})
        action->setEnabled(any);
}

void EntryCommands::watch(CPaneView* view) {
    if (view->accessibleName().isEmpty())
        view->setAccessibleName(view == m_window.tree ? tr("Folders") : tr("Files"));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
        std::unique_ptr<QMenu> menu(contextMenu(view));
        menu->exec(view->viewport()->mapToGlobal(pos));
    });
    view->installEventFilter(this);
    if (view == m_window.list) {
        // A match is shown where it lies (the list's MatchOpened), not opened.
        connect(view, &CPaneView::doubleClicked, this, [this](const QModelIndex& index) {
            if (!m_window.list->IsShowingMatches() && m_window.list->GetModel()->EntryAt(index.row()))
                open();
        });
    }
}

QMenu* EntryCommands::contextMenu(CPaneView* view) {
    m_window.setActiveView(view);
    auto* menu = new QMenu(m_window.frame);
    menu->setObjectName(QStringLiteral("EntryMenu"));
    menu->setAccessibleName(tr("Entry menu"));
    menu->addAction(m_openAction);
    menu->addAction(m_window.extract);
    // Save As converts the previewed file of the list.
    if (QAction* saveAs = m_window.frame->findChild<QAction*>(QStringLiteral("ID_FILE_SAVE_AS"));
        saveAs && view == m_window.list)
        menu->addAction(saveAs);
    menu->addAction(m_copyPathAction);
    menu->addSeparator();
    menu->addAction(m_propertiesAction);
    return menu;
}

CPaneView* EntryCommands::activeView() const {
    if (m_window.activeView() == m_window.tree)
        return m_window.tree;
    return m_window.list;
}

void EntryCommands::open() {
    CPaneView* view = activeView();
    if (view == m_window.tree) {
        const QModelIndex index = view->currentIndex();
        if (index.isValid())
            m_window.tree->setExpanded(index, true);
        return;
    }
    CFilesView* list = m_window.list;
    CSelection selection = list->GetSelection();
    const QModelIndex current = list->currentIndex();
    if (selection.m_Files.empty()) {
        // A folder row opens as a double-click opens it.
        if (list->GetModel()->FolderAt(current.row()))
            list->OnLButtonDblClk(current);
        return;
    }
    selection.m_Folders.clear();
    if (selection.m_Files.size() > kAskAbove &&
        QMessageBox::question(m_window.frame, QString::fromLatin1(kCaption),
                              QString::fromLatin1(kOpenManyFiles).arg(selection.m_Files.size())) !=
            QMessageBox::Yes)
        return;
    for (const CStagingArea::CMade& made : m_staged->stage(selection)) {
        const QUrl url = StagedFiles::urlOf(made.m_strPath);
        openStaged(url, made.m_pEntry ? CPropertiesDlg::EntryPath(*made.m_pEntry, m_document->Codec())
                                      : url.fileName());
    }
}

void EntryCommands::openStaged(const QUrl& url, const QString& entry) {
    if (m_opener) {
        if (!m_opener(url))
            reportOpenFailure(entry, CLinkStatic::kOpenNoHandler);
        return;
    }
    // xdg-open may run the program itself until it ends, so its verdict is awaited beside the window. One
    // still running when the window goes is ended; the program it started is not.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this,
            [this, process, entry](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                const int code = CLinkStatic::XdgOpenResult(status != QProcess::NormalExit, exitCode);
                if (code <= CLinkStatic::kOpenLastFailure)
                    reportOpenFailure(entry, code);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process, entry](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // finished() follows
        process->deleteLater();
        reportOpenFailure(entry, CLinkStatic::kOpenNoHandler);
    });
    process->start(QStringLiteral("xdg-open"), {url.toLocalFile()});
}

void EntryCommands::reportOpenFailure(const QString& entry, int code) {
    const QString why = code == CLinkStatic::kOpenFailed ? QString::fromLatin1(kOpenerFailed)
                                                         : CLinkStatic::OpenErrorText(code);
    m_staged->sink().Report({kCouldNotOpenFile, entry.toStdString(), ":\n\n" + why.toStdString(), true});
}

void EntryCommands::showProperties() {
    const CPackFile* pack = m_document ? m_document->m_pPackFile.get() : nullptr;
    if (!pack)
        return;
    const CPackFolder* folder = nullptr;
    const CPackEntry* entry = nullptr;
    CPaneView* view = activeView();
    if (view == m_window.tree) {
        folder = m_window.tree->SelectedFolder();
    } else {
        const CFilesModel* model = m_window.list->GetModel();
        int row = view->currentIndex().row();
        if (!view->selectionModel()->isRowSelected(row, {})) {
            const std::vector<int> rows = m_window.list->GetSelectedRowNumbers();
            row = rows.empty() ? -1 : rows.front();
        }
        folder = model->FolderAt(row);
        entry = model->EntryAt(row);
    }
    if (!folder && !entry)
        return;
    CPropertiesDlg dlg(*pack, folder, entry, m_document->Codec(), m_window.frame);
    dlg.exec();
}

void EntryCommands::copyPath() {
    const CPackFile* pack = m_document ? m_document->m_pPackFile.get() : nullptr;
    if (!pack)
        return;
    const CSelection selection = activeView()->GetSelection();
    QStringList paths;
    if (selection.m_bWholeArchive)
        paths << QStringLiteral("/");
    for (const CPackFolder* folder : selection.m_Folders)
        paths << CPropertiesDlg::FolderPath(*folder, m_document->Codec());
    for (const CPackEntry* entry : selection.m_Files)
        paths << CPropertiesDlg::EntryPath(*entry, m_document->Codec());
    if (!paths.isEmpty())
        QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void EntryCommands::goToParentFolder() {
    const CPackFile* pack = m_document ? m_document->m_pPackFile.get() : nullptr;
    CFilesView* list = m_window.list;
    const CPackFolder* shown = list->ShownFolder();
    if (!pack || !shown || shown == &pack->GetTop())
        return;
    const CPackFolder* parent = shown->GetParent() ? shown->GetParent() : &pack->GetTop();
    if (!m_window.tree->SelectFolder(parent))
        return;
    // The folder we came from stays in hand, as file managers do.
    const QModelIndex back = list->model()->index(static_cast<int>(shown->GetRow()), 0);
    list->selectionModel()->setCurrentIndex(back,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool EntryCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != m_window.tree && watched != m_window.list))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Backspace && mods == Qt::NoModifier) ||
        (key->key() == Qt::Key_Up && mods == Qt::AltModifier)) {
        goToParentFolder();
        return true;
    }
    if (watched == m_window.list && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        mods == Qt::NoModifier && !m_window.list->IsShowingMatches()) {
        m_window.setActiveView(m_window.list);
        open();
        return true;
    }
    return false;
}
