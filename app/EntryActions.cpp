#include "app/EntryActions.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QSplitter>

#include "app/LinkStatic.h"
#include "app/MainFrame.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "extract/ExtractJob.h"
#include "platform/MessageTexts.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/PreviewPane.h"
#include "views/PropertiesDlg.h"

namespace {

CMessageSink& SinkOf(const CMainFrame* frame) {
    static CNullSink none;
    return frame->GetMessageSink() ? *frame->GetMessageSink() : none;
}

// The staging folder's paths are absolute and normalised, so the URL names no host.
QUrl UrlOf(const std::string& path) {
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
}

} // namespace

CEntryActions::CEntryActions(CMainFrame* frame, CVorpexDoc* doc)
    : QObject(frame), m_pFrame(frame), m_pDocument(doc) {
    m_fnDrag = [](QWidget* source, QMimeData* data) {
        // The button may have been let go while a large selection was extracted: no drag then.
        if (QGuiApplication::mouseButtons() == Qt::NoButton) {
            delete data;
            return Qt::IgnoreAction;
        }
        auto* drag = new QDrag(source);
        drag->setMimeData(data);
        return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    };
    m_pTree = m_pFrame->GetDirView();
    m_pList = m_pFrame->GetFilesView();
    m_pTreePort = m_pTree->viewport();
    m_pListPort = m_pList->viewport();
    BuildPreview();
    BuildCommands();
    WatchView(m_pFrame->GetDirView());
    WatchView(m_pFrame->GetFilesView());
    m_pFrame->setAcceptDrops(true);
    m_pFrame->installEventFilter(this);
    if (m_pDocument)
        connect(m_pDocument, &CVorpexDoc::CatalogueReplacing, m_pPreview, &CPreviewPane::Clear);
}

CEntryActions::~CEntryActions() = default;

void CEntryActions::BuildPreview() {
    m_pPreview = new CPreviewPane(m_pFrame->GetSplitter());
    m_pFrame->GetSplitter()->addWidget(m_pPreview);
    m_pFrame->GetSplitter()->setStretchFactor(2, 1);
    m_pPreview->setMinimumWidth(120);
    m_pPreview->hide();

    m_pPreviewAction = new QAction(tr("&Preview\tF3"), m_pFrame);
    m_pPreviewAction->setObjectName(QStringLiteral("ID_VIEW_PREVIEW"));
    m_pPreviewAction->setStatusTip(tr("Show or hide the preview of the selected file"));
    m_pPreviewAction->setShortcut(QKeySequence(Qt::Key_F3));
    m_pPreviewAction->setCheckable(true);
    m_pFrame->addAction(m_pPreviewAction);
    // Beside Toolbar and Status Bar, before the options.
    if (QMenu* view = m_pFrame->menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"))) {
        QAction* before = nullptr;
        for (QAction* action : view->actions())
            if (action->isSeparator()) {
                before = action;
                break;
            }
        view->insertAction(before, m_pPreviewAction);
    }
    connect(m_pPreviewAction, &QAction::toggled, this, &CEntryActions::OnTogglePreview);
    m_pPreviewAction->setChecked(QSettings().value(QString::fromLatin1(kPreviewKey), false).toBool());
}

void CEntryActions::BuildCommands() {
    m_pOpenAction = new QAction(tr("&Open\tEnter"), this);
    m_pOpenAction->setObjectName(QStringLiteral("ID_ENTRY_OPEN"));
    m_pOpenAction->setStatusTip(tr("Open the selected file with its program, or the selected folder"));
    connect(m_pOpenAction, &QAction::triggered, this, &CEntryActions::OnOpen);
    m_pCopyPathAction = new QAction(tr("Copy &Path"), this);
    m_pCopyPathAction->setObjectName(QStringLiteral("ID_ENTRY_COPY_PATH"));
    m_pCopyPathAction->setStatusTip(tr("Copy the paths inside the archive of the selection"));
    connect(m_pCopyPathAction, &QAction::triggered, this, &CEntryActions::OnCopyPath);
    m_pPropertiesAction = new QAction(tr("P&roperties\tAlt+Enter"), m_pFrame);
    m_pPropertiesAction->setObjectName(QStringLiteral("ID_ENTRY_PROPERTIES"));
    m_pPropertiesAction->setStatusTip(tr("Show the properties of the selected file or folder"));
    m_pPropertiesAction->setShortcuts(
        {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    m_pFrame->addAction(m_pPropertiesAction);
    connect(m_pPropertiesAction, &QAction::triggered, this, &CEntryActions::OnProperties);
    // Like Extract, these take the active pane's selection, and are greyed while it has none.
    const auto follow = [this](bool bAny) {
        for (QAction* action : {m_pOpenAction, m_pCopyPathAction, m_pPropertiesAction})
            action->setEnabled(bAny);
    };
    connect(m_pFrame, &CMainFrame::ActiveSelectionChanged, this, follow);
    follow(m_pFrame->GetActiveView() && m_pFrame->GetActiveView()->HasSelection());
    // Properties also joins the File menu, after Extract.
    if (QMenu* file = m_pFrame->GetFileMenu()) {
        const QList<QAction*> actions = file->actions();
        const qsizetype at = actions.indexOf(m_pFrame->Command(CMainFrame::ID_FILE_EXTRACT));
        file->insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr,
                           m_pPropertiesAction);
    }
}

void CEntryActions::WatchView(CPaneView* view) {
    if (!view)
        return;
    if (view->accessibleName().isEmpty())
        view->setAccessibleName(view == m_pFrame->GetDirView() ? tr("Folders") : tr("Files"));
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
        std::unique_ptr<QMenu> menu(ContextMenu(view));
        menu->exec(view->viewport()->mapToGlobal(pos));
    });
    // Dragging must not drop the rest of a selection when the press lands on a selected row.
    view->setDragEnabled(true);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    if (view == m_pFrame->GetFilesView()) {
        // A match is shown where it lies (the list's MatchOpened), not opened.
        connect(view, &CPaneView::doubleClicked, this, [this](const QModelIndex& index) {
            if (!m_pList->IsShowingMatches() && m_pList->GetModel()->EntryAt(index.row()))
                OnOpen();
        });
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this,
                &CEntryActions::UpdatePreview);
        connect(view->model(), &QAbstractItemModel::modelReset, this, &CEntryActions::UpdatePreview);
    }
}

QMenu* CEntryActions::ContextMenu(CPaneView* view) {
    m_pFrame->SetActiveView(view);
    auto* menu = new QMenu(m_pFrame);
    menu->setObjectName(QStringLiteral("EntryMenu"));
    menu->setAccessibleName(tr("Entry menu"));
    menu->addAction(m_pOpenAction);
    menu->addAction(m_pFrame->Command(CMainFrame::ID_FILE_EXTRACT));
    menu->addAction(m_pCopyPathAction);
    menu->addSeparator();
    menu->addAction(m_pPropertiesAction);
    return menu;
}

CPaneView* CEntryActions::ActiveView() const {
    QWidget* active = m_pFrame->GetActiveView();
    if (active == m_pFrame->GetDirView())
        return m_pFrame->GetDirView();
    return m_pFrame->GetFilesView();
}

CSelection CEntryActions::SelectionOf(CPaneView* view) const {
    if (!m_pDocument || !m_pDocument->m_pPackFile || !view)
        return {};
    return view->GetSelection();
}

std::vector<CStagingArea::CMade> CEntryActions::Stage(const CSelection& selection) {
    const CPackFile* pack = m_pDocument ? m_pDocument->m_pPackFile.get() : nullptr;
    if (!pack)
        return {};
    // A refused base is looked at again next time: the user may have mended it meanwhile.
    if (!m_pStaging || !m_pStaging->IsValid())
        m_pStaging = std::make_unique<CStagingArea>();
    if (!m_pStaging->IsValid()) {
        SinkOf(m_pFrame).Report(m_pStaging->Refusal());
        return {};
    }
    CStagingArea::CSlot slot = m_pStaging->NewSlot();
    if (!slot.m_Fd.IsOpen()) {
        SinkOf(m_pFrame).Report({CFolderWalk::kListMakeDir, m_pStaging->Path(), {}, false});
        return {};
    }
    CExtractJob job(*pack, m_pDocument->Codec(), SinkOf(m_pFrame), CFolderWalk::kListMakeDir, m_pFrame);
    if (job.Run(slot.m_Fd.Get(), selection).m_bCancelled) {
        m_pStaging->DropSlot(slot);
        return {};
    }
    return CStagingArea::MadePaths(slot, selection, m_pDocument->Codec());
}

QMimeData* CEntryActions::StageForDrag(CPaneView* view) {
    const std::vector<CStagingArea::CMade> made = Stage(SelectionOf(view));
    if (made.empty())
        return nullptr;
    QList<QUrl> urls;
    for (const CStagingArea::CMade& item : made)
        urls << UrlOf(item.m_strPath);
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

void CEntryActions::StartDrag(CPaneView* view) {
    m_pPressView = nullptr;
    if (QMimeData* data = StageForDrag(view))
        m_fnDrag(view, data);
}

void CEntryActions::OnOpen() {
    CPaneView* view = ActiveView();
    if (view == m_pFrame->GetDirView()) {
        const QModelIndex index = view->currentIndex();
        if (index.isValid())
            static_cast<CDirView*>(view)->setExpanded(index, true);
        return;
    }
    CFilesView* list = m_pFrame->GetFilesView();
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
        QMessageBox::question(m_pFrame, QString::fromLatin1(kCaption),
                              QString::fromLatin1(kOpenManyFiles).arg(selection.m_Files.size())) !=
            QMessageBox::Yes)
        return;
    for (const CStagingArea::CMade& made : Stage(selection)) {
        const QUrl url = UrlOf(made.m_strPath);
        OpenStaged(url, made.m_pEntry ? CPropertiesDlg::EntryPath(*made.m_pEntry, m_pDocument->Codec())
                                      : url.fileName());
    }
}

void CEntryActions::OpenStaged(const QUrl& url, const QString& entry) {
    if (m_fnOpen) {
        if (!m_fnOpen(url))
            ReportOpenFailure(entry, CLinkStatic::kOpenNoHandler);
        return;
    }
    // xdg-open may run the program itself until it ends, so its verdict is awaited beside the window. One
    // still running when the window goes is ended; the program it started is not.
    auto* process = new QProcess(this);
    connect(process, &QProcess::finished, this,
            [this, process, entry](int nExitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                const int code = CLinkStatic::XdgOpenResult(status != QProcess::NormalExit, nExitCode);
                if (code <= CLinkStatic::kOpenLastFailure)
                    ReportOpenFailure(entry, code);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process, entry](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // finished() follows
        process->deleteLater();
        ReportOpenFailure(entry, CLinkStatic::kOpenNoHandler);
    });
    process->start(QStringLiteral("xdg-open"), {url.toLocalFile()});
}

void CEntryActions::ReportOpenFailure(const QString& entry, int code) {
    const QString why = code == CLinkStatic::kOpenFailed ? QString::fromLatin1(kOpenerFailed)
                                                         : CLinkStatic::OpenErrorText(code);
    SinkOf(m_pFrame).Report({kCouldNotOpenFile, entry.toStdString(), ":\n\n" + why.toStdString(), true});
}

void CEntryActions::OnProperties() {
    const CPackFile* pack = m_pDocument ? m_pDocument->m_pPackFile.get() : nullptr;
    if (!pack)
        return;
    const CPackFolder* folder = nullptr;
    const CPackEntry* entry = nullptr;
    CPaneView* view = ActiveView();
    if (view == m_pFrame->GetDirView()) {
        folder = m_pFrame->GetDirView()->SelectedFolder();
    } else {
        const CFilesModel* model = m_pFrame->GetFilesView()->GetModel();
        int row = view->currentIndex().row();
        if (!view->selectionModel()->isRowSelected(row, {})) {
            const std::vector<int> rows = m_pFrame->GetFilesView()->GetSelectedRowNumbers();
            row = rows.empty() ? -1 : rows.front();
        }
        folder = model->FolderAt(row);
        entry = model->EntryAt(row);
    }
    if (!folder && !entry)
        return;
    CPropertiesDlg dlg(*pack, folder, entry, m_pDocument->Codec(), m_pFrame);
    dlg.exec();
}

void CEntryActions::OnCopyPath() {
    const CPackFile* pack = m_pDocument ? m_pDocument->m_pPackFile.get() : nullptr;
    if (!pack)
        return;
    const CSelection selection = SelectionOf(ActiveView());
    QStringList paths;
    if (selection.m_bWholeArchive)
        paths << QStringLiteral("/");
    for (const CPackFolder* folder : selection.m_Folders)
        paths << CPropertiesDlg::FolderPath(*folder, m_pDocument->Codec());
    for (const CPackEntry* entry : selection.m_Files)
        paths << CPropertiesDlg::EntryPath(*entry, m_pDocument->Codec());
    if (!paths.isEmpty())
        QApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void CEntryActions::OnParentFolder() {
    const CPackFile* pack = m_pDocument ? m_pDocument->m_pPackFile.get() : nullptr;
    CFilesView* list = m_pFrame->GetFilesView();
    const CPackFolder* shown = list->ShownFolder();
    if (!pack || !shown || shown == &pack->GetTop())
        return;
    const CPackFolder* parent = shown->GetParent() ? shown->GetParent() : &pack->GetTop();
    if (!m_pFrame->GetDirView()->SelectFolder(parent))
        return;
    // The folder we came from stays in hand, as file managers do.
    const QModelIndex back = list->model()->index(static_cast<int>(shown->GetRow()), 0);
    list->selectionModel()->setCurrentIndex(back,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CEntryActions::OnTogglePreview(bool bOn) {
    QSettings().setValue(QString::fromLatin1(kPreviewKey), bOn);
    if (bOn != m_pPreview->isHidden())
        return;
    m_pPreview->setVisible(bOn);
    if (bOn) {
        // The preview takes part of the list's room.
        QList<int> sizes = m_pFrame->GetSplitter()->sizes();
        if (sizes.size() == 3 && sizes[1] > 0) {
            sizes[2] = sizes[1] * 2 / 5;
            sizes[1] -= sizes[2];
            m_pFrame->GetSplitter()->setSizes(sizes);
        }
        UpdatePreview();
    }
}

void CEntryActions::UpdatePreview() {
    if (m_pPreview->isHidden())
        return;
    CFilesView* list = m_pFrame->GetFilesView();
    const CPackFile* pack = m_pDocument ? m_pDocument->m_pPackFile.get() : nullptr;
    const CPackEntry* entry = list->GetModel()->EntryAt(list->currentIndex().row());
    m_pPreview->ShowEntry(pack, entry, m_pDocument ? &m_pDocument->Codec() : nullptr);
}

bool CEntryActions::DropArchive(QEvent* event) {
    auto* drop = static_cast<QDropEvent*>(event);
    // Our own rows dragged back onto the window are no archive to open.
    if (drop->source() || !drop->mimeData()->hasUrls())
        return false;
    QString path;
    for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) {
            path = url.toLocalFile();
            break;
        }
    if (path.isEmpty())
        return false;
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop && m_fnOpenArchive)
        m_fnOpenArchive(path);
    return true;
}

bool CEntryActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pFrame) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
            event->type() == QEvent::Drop)
            return DropArchive(event);
        return false;
    }
    // The panes' own pointers: while the window is torn down its panes still send events here.
    CDirView* tree = m_pTree;
    CFilesView* list = m_pList;
    if (event->type() == QEvent::KeyPress && (watched == tree || watched == list)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Backspace && mods == Qt::NoModifier) ||
            (key->key() == Qt::Key_Up && mods == Qt::AltModifier)) {
            OnParentFolder();
            return true;
        }
        if (watched == list && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            mods == Qt::NoModifier && !list->IsShowingMatches()) {
            m_pFrame->SetActiveView(list);
            OnOpen();
            return true;
        }
        return false;
    }
    // Dragging rows out: a left press on a row, then a move past the drag distance.
    CPaneView* view = watched == m_pTreePort   ? static_cast<CPaneView*>(tree)
                      : watched == m_pListPort ? static_cast<CPaneView*>(list)
                                               : nullptr;
    if (!view)
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_pPressView =
            mouse->button() == Qt::LeftButton && view->indexAt(mouse->position().toPoint()).isValid()
                ? view
                : nullptr;
        m_PressPos = mouse->position().toPoint();
    } else if (event->type() == QEvent::MouseMove && m_pPressView == view) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!(mouse->buttons() & Qt::LeftButton)) {
            m_pPressView = nullptr;
            return false;
        }
        if ((mouse->position().toPoint() - m_PressPos).manhattanLength() < QApplication::startDragDistance())
            return false;
        const QModelIndex index = view->indexAt(m_PressPos);
        if (!view->selectionModel()->isSelected(index))
            return false;
        StartDrag(view);
        return true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_pPressView = nullptr;
    }
    return false;
}
