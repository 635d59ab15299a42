#include "app/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/CheckDlg.h"
#include "app/EncodingMenu.h"
#include "app/EntryCommands.h"
#include "app/FindController.h"
#include "app/KeyLocks.h"
#include "app/PreviewAsCommand.h"
#include "app/PreviewController.h"
#include "app/RecentFileList.h"
#include "app/SaveAsCommand.h"
#include "app/StagedFiles.h"
#include "app/VorpexDoc.h"
#include "app/WindowState.h"
#include "catalogue/PackFile.h"
#include "jobs/ExtractCommand.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"
#include "views/DirView.h"
#include "views/FilesView.h"
#include "views/FindBar.h"
#include "views/ImageList.h"
#include "views/PreviewPane.h"

namespace {

// The message pane's label: shows as much of its text as fits, and the whole of it in its tooltip when cut.
class CIdleLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& text) {
        m_strFull = text;
        Elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Elide();
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    void Elide() {
        const QString shown =
            fontMetrics().elidedText(m_strFull, Qt::ElideRight, std::max(contentsRect().width(), 0));
        setText(shown);
        setToolTip(shown == m_strFull ? QString() : m_strFull);
    }
    QString m_strFull;
};

// Menus highlight their greyed items too, so that their prompts reach the status bar.
class CMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

CMainFrame::CMainFrame(CVorpexDoc* doc, QWidget* parent) : QMainWindow(parent), m_pDocument(doc) {
    CImageList::InitResources();
    setObjectName(QStringLiteral("MainFrame"));
    // The caption stays the program's name: no document name is ever added to it.
    setWindowTitle(QStringLiteral("Vorpex"));
    // No icon of its own: the window takes the application's (set at start-up).
    resize(780, 500);
    OnCreateClient();
    OnCreate();
    BuildEntryParts();
    // The layout of the last run, where there was one; the splitter's then wins over the start width.
    m_bSized = CWindowState::Restore(*this, *m_wndSplitter, *m_pFilesView->header());
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(int id, const char* name, const char* text, const char* prompt) {
    auto* action = new QAction(QString::fromLatin1(text), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setData(id);
    // A prompt is "status-bar text\ntooltip".
    const QString both = QString::fromLatin1(prompt);
    const qsizetype cut = both.indexOf(QLatin1Char('\n'));
    action->setStatusTip(cut < 0 ? both : both.left(cut));
    if (cut >= 0)
        action->setToolTip(both.mid(cut + 1));
    m_Commands.insert(id, action);
    addAction(action); // keys work whether or not the action is in a menu or shown
    return action;
}

void CMainFrame::OnCreateClient() {
    m_wndSplitter = new QSplitter(Qt::Horizontal, this);
    m_wndSplitter->setObjectName(QStringLiteral("Splitter"));
    m_pDirView = new CDirView(m_wndSplitter);
    // The list shares its side with the find bar, which stands above it while open.
    auto* listSide = new QWidget(m_wndSplitter);
    listSide->setObjectName(QStringLiteral("ListSide"));
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    m_pFindBar = new CFindBar(listSide);
    m_pFilesView = new CFilesView(listSide);
    listLayout->addWidget(m_pFindBar);
    listLayout->addWidget(m_pFilesView);
    m_pFind = new CFindController(m_pFindBar, m_pFilesView, m_pDirView, this);
    m_wndSplitter->addWidget(m_pDirView);
    m_wndSplitter->addWidget(listSide);
    m_wndSplitter->setStretchFactor(0, 0);
    m_wndSplitter->setStretchFactor(1, 1);
    m_wndSplitter->setChildrenCollapsible(false);
    setCentralWidget(m_wndSplitter);
    for (CPaneView* pane : {static_cast<CPaneView*>(m_pDirView), static_cast<CPaneView*>(m_pFilesView)}) {
        connect(pane, &CPaneView::Activated, this, [this, pane] {
            m_pActiveView = pane;
            UpdateExtractCommand();
        });
        connect(pane, &CPaneView::SelectionChanged, this, &CMainFrame::UpdateExtractCommand);
    }
    connect(m_pDirView, &CDirView::FolderSelected, m_pFilesView, &CFilesView::ShowFolder);
    connect(m_pFilesView, &CFilesView::FolderOpened, m_pDirView, &CDirView::SelectFolder);
    SetActiveView(m_pFilesView);

    if (!m_pDocument)
        return;
    m_pDocument->m_pDirView = m_pDirView;
    m_pDocument->m_pFilesView = m_pFilesView;
    // The panes let go of a catalogue before it goes; a new one empties the list and rebuilds the tree.
    connect(m_pDocument, &CVorpexDoc::CatalogueReplacing, this, [this] {
        m_pFilesView->SetCatalogue(nullptr, nullptr);
        m_pDirView->SetCatalogue(nullptr, nullptr);
        m_pFind->SetCatalogue(nullptr, nullptr);
    });
    connect(m_pDocument, &CVorpexDoc::CatalogueOpened, this, [this](const CPackFile* pack) {
        m_pFilesView->SetCatalogue(pack, &m_pDocument->Codec());
        m_pDirView->SetCatalogue(pack, &m_pDocument->Codec());
        m_pFind->SetCatalogue(pack, &m_pDocument->Codec());
        Command(ID_FILE_CHECK)->setEnabled(pack != nullptr);
    });
}

void CMainFrame::OnCreate() {
    BuildMenus();

    m_wndToolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_wndToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_wndToolBar->setIconSize(QSize(18, 15));
    m_wndToolBar->setMovable(true);
    m_wndToolBar->setFloatable(true);
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    CImageList buttons;
    buttons.Create(QStringLiteral(":/res/toolbar.png"), 18);
    Command(ID_FILE_OPEN)->setIcon(buttons.Icon(0));
    Command(ID_FILE_EXTRACT)->setIcon(buttons.Icon(1));
    Command(ID_APP_ABOUT)->setIcon(buttons.Icon(2));
    // The pictures belong to the toolbar; the menus show text only.
    for (int id : {ID_FILE_OPEN, ID_FILE_EXTRACT, ID_APP_ABOUT})
        Command(id)->setIconVisibleInMenu(false);
    m_wndToolBar->addAction(Command(ID_FILE_OPEN));
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(Command(ID_FILE_EXTRACT));
    m_wndToolBar->addSeparator();
    m_wndToolBar->addAction(Command(ID_APP_ABOUT));
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    m_wndStatusBar = new QStatusBar(this);
    m_wndStatusBar->setObjectName(QStringLiteral("StatusBar"));
    // The message pane: "Ready" whenever no prompt or message stands over it.
    m_pReady = new CIdleLabel(m_wndStatusBar);
    m_pReady->setObjectName(QStringLiteral("Ready"));
    SetIdleText(QString::fromLatin1(kReady));
    m_wndStatusBar->addWidget(m_pReady, 1);
    // The status bar hides "Ready" under a message only when the bar is already on screen; a message
    // given before the window shows would otherwise be drawn over it.
    connect(m_wndStatusBar, &QStatusBar::messageChanged, m_pReady,
            [this](const QString& message) { m_pReady->setVisible(message.isEmpty()); });
    static const char* const kIndicators[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_pIndicators[i] = new QLabel(m_wndStatusBar);
        m_pIndicators[i]->setObjectName(QString::fromLatin1(kIndicators[i]));
        m_pIndicators[i]->setAlignment(Qt::AlignCenter);
        m_pIndicators[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        m_pIndicators[i]->setFrameShape(QFrame::Panel);
        m_pIndicators[i]->setFrameShadow(QFrame::Sunken);
        m_wndStatusBar->addPermanentWidget(m_pIndicators[i]);
    }
    setStatusBar(m_wndStatusBar);
    // While rows of the list are selected, the message pane tells how many and their size; otherwise its
    // idle text (the archive's summary, or "Ready") comes back.
    connect(m_pFilesView, &CPaneView::SelectionChanged, m_pReady, [this] {
        const QString summary = m_pFilesView->SelectionSummary();
        static_cast<CIdleLabel*>(m_pReady)->SetFullText(summary.isEmpty() ? m_strIdleText : summary);
    });

    QAction* toolbar = Command(ID_VIEW_TOOLBAR);
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    connect(toolbar, &QAction::triggered, m_wndToolBar, &QWidget::setVisible);
    connect(m_wndToolBar, &QToolBar::visibilityChanged, toolbar,
            [this, toolbar] { toolbar->setChecked(!m_wndToolBar->isHidden()); });
    QAction* statusBar = Command(ID_VIEW_STATUS_BAR);
    statusBar->setCheckable(true);
    statusBar->setChecked(true);
    connect(statusBar, &QAction::triggered, m_wndStatusBar, &QWidget::setVisible);

    connect(Command(ID_FILE_EXTRACT), &QAction::triggered, this, &CMainFrame::OnFileExtract);
    UpdateExtractCommand();
    connect(Command(ID_NEXT_PANE), &QAction::triggered, this, &CMainFrame::OnNextPane);
    connect(Command(ID_PREV_PANE), &QAction::triggered, this, &CMainFrame::OnPrevPane);
    connect(Command(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);

    if (CKeyLocks::IsAvailable()) {
        m_pIndicatorTimer = new QTimer(this);
        connect(m_pIndicatorTimer, &QTimer::timeout, this, &CMainFrame::OnUpdateKeyIndicators);
        m_pIndicatorTimer->start(250);
    }
    OnUpdateKeyIndicators();
}

void CMainFrame::BuildMenus() {
    QAction* open =
        AddCommand(ID_FILE_OPEN, "ID_FILE_OPEN", "&Open...\tCtrl+O", "Open an existing document\nOpen");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* extract = AddCommand(ID_FILE_EXTRACT, "ID_FILE_EXTRACT", "&Extract...\tCtrl+E",
                                  "Extract files or a directory\nExtract");
    extract->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E)); // the key its label promises
    QAction* exit = AddCommand(ID_APP_EXIT, "ID_APP_EXIT", "E&xit",
                               "Quit the application; prompts to save documents\nExit");
    QAction* undo = AddCommand(ID_EDIT_UNDO, "ID_EDIT_UNDO", "&Undo\tCtrl+Z", "Undo the last action\nUndo");
    QAction* cut = AddCommand(ID_EDIT_CUT, "ID_EDIT_CUT", "Cu&t\tCtrl+X",
                              "Cut the selection and put it on the Clipboard\nCut");
    QAction* copy = AddCommand(ID_EDIT_COPY, "ID_EDIT_COPY", "&Copy\tCtrl+C",
                               "Copy the selection and put it on the Clipboard\nCopy");
    QAction* paste =
        AddCommand(ID_EDIT_PASTE, "ID_EDIT_PASTE", "&Paste\tCtrl+V", "Insert Clipboard contents\nPaste");
    undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    cut->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    paste->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    // Nothing handles the Edit commands: they stay disabled, keys included.
    for (QAction* edit : {undo, cut, copy, paste})
        edit->setEnabled(false);
    QAction* toolbar = AddCommand(ID_VIEW_TOOLBAR, "ID_VIEW_TOOLBAR", "&Toolbar",
                                  "Show or hide the toolbar\nToggle ToolBar");
    QAction* statusBar = AddCommand(ID_VIEW_STATUS_BAR, "ID_VIEW_STATUS_BAR", "&Status Bar",
                                    "Show or hide the status bar\nToggle StatusBar");
    QAction* options =
        AddCommand(ID_VIEW_OPTIONS, "ID_VIEW_OPTIONS", "&Options...", "Show the options dialog\nOptions");
    QAction* about = AddCommand(ID_APP_ABOUT, "ID_APP_ABOUT", "&About Vorpex...",
                                "Display program information, version number and copyright\nAbout");

    // Commands reached by keys only.
    AddCommand(ID_FILE_NEW, "ID_FILE_NEW", "&New", "Create a new document\nNew")
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    AddCommand(ID_FILE_SAVE, "ID_FILE_SAVE", "&Save", "Save the active document\nSave")
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddCommand(ID_NEXT_PANE, "ID_NEXT_PANE", "Next Pane", "Switch to the next window pane\nNext Pane")
        ->setShortcut(QKeySequence(Qt::Key_F6));
    AddCommand(ID_PREV_PANE, "ID_PREV_PANE", "Previous Pane",
               "Switch back to the previous window pane\nPrevious Pane")
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));

    m_pFileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_pFileMenu->setObjectName(QStringLiteral("FileMenu"));
    m_pFileMenu->addAction(open);
    m_pFileMenu->addAction(extract);
    m_pFileMenu->addSeparator();
    // Greyed while the recent-file list is empty; the list takes its place otherwise.
    m_pRecentPlaceholder = new QAction(QStringLiteral("Recent File"), this);
    m_pRecentPlaceholder->setObjectName(QStringLiteral("RecentFilePlaceholder"));
    m_pRecentPlaceholder->setStatusTip(QStringLiteral("Open this document"));
    m_pRecentPlaceholder->setEnabled(false);
    m_pFileMenu->addAction(m_pRecentPlaceholder);
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(exit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("EditMenu"));
    edit->addAction(undo);
    edit->addSeparator();
    edit->addAction(cut);
    edit->addAction(copy);
    edit->addAction(paste);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    view->addAction(toolbar);
    view->addAction(statusBar);
    view->addSeparator();
    view->addAction(options);

    BuildFindMenus(m_pFileMenu, edit, view);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addAction(about);

    auto* menuStyle = new CMenuStyle(style()->name());
    menuStyle->setParent(this);
    for (QMenu* menu : {m_pFileMenu, edit, view, help})
        menu->setStyle(menuStyle);
}

void CMainFrame::UpdateRecentFileMenu(const CRecentFileList& files) {
    for (QAction* action : m_RecentActions) {
        m_pFileMenu->removeAction(action);
        action->deleteLater();
    }
    m_RecentActions.clear();
    m_pRecentPlaceholder->setVisible(files.GetSize() == 0);
    for (int i = 0; i < files.GetSize(); ++i) {
        auto* action = new QAction(files.MenuText(i), this);
        action->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        action->setData(ID_FILE_MRU_FILE1 + i);
        action->setStatusTip(QStringLiteral("Open this document"));
        m_pFileMenu->insertAction(m_pRecentSeparator, action);
        connect(action, &QAction::triggered, this, [this, i] { emit RecentFileChosen(i); });
        m_RecentActions.push_back(action);
    }
}

void CMainFrame::SetActiveView(CPaneView* view) {
    m_pActiveView = view;
    UpdateExtractCommand();
    if (view)
        view->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::OnNextPane() {
    SetActiveView(m_pActiveView == m_pDirView ? static_cast<CPaneView*>(m_pFilesView) : m_pDirView);
}

// With two panes, going back is going forward.
void CMainFrame::OnPrevPane() {
    OnNextPane();
}

// One path for both panes: the pane only says what is selected, and is asked after the dialog's OK.
void CMainFrame::OnFileExtract() {
    CPaneView* pane = m_pActiveView;
    if (!pane || !m_pDocument || !m_pDocument->m_pPackFile || !m_pSink)
        return;
    const CExtractCommand::CContext context{m_pDocument->m_pPackFile.get(), &m_pDocument->Codec(), m_pSink,
                                            m_fnExtractDir ? m_fnExtractDir() : QString(), this};
    // Matches of a search come from many folders: each goes below its folders' path, so that matches of
    // one name never meet.
    const auto select = [this, pane] {
        CSelection selection = pane->GetSelection();
        selection.m_bUnderPaths = pane == m_pFilesView && m_pFilesView->IsShowingMatches();
        return selection;
    };
    CExtractResult result;
    QString strFolder;
    if (!CExtractCommand::Run(pane == m_pDirView ? CExtractCommand::EFrom::Tree
                                                 : CExtractCommand::EFrom::List,
                              context, select, &result, &strFolder))
        return;
    const QString files = result.m_nFilesWritten == 1
                              ? QString::fromLatin1(kOneFile)
                              : QString::fromLatin1(kFiles).arg(result.m_nFilesWritten);
    SetMessageText(QString::fromLatin1(result.m_bCancelled ? kCancelledAfter : kExtractedTo)
                       .arg(files, CFilesView::SizeText(result.m_nBytesWritten), strFolder));
}

void CMainFrame::SetMessageText(const QString& text) {
    m_wndStatusBar->showMessage(text);
}

void CMainFrame::SetIdleText(const QString& text) {
    m_strIdleText = text;
    static_cast<CIdleLabel*>(m_pReady)->SetFullText(text);
}

QString CMainFrame::GetMessageText() const {
    const QString message = m_wndStatusBar->currentMessage();
    return message.isEmpty() ? m_strIdleText : message;
}

void CMainFrame::UpdateExtractCommand() {
    const bool bAny = m_pActiveView && m_pActiveView->HasSelection();
    if (QAction* extract = Command(ID_FILE_EXTRACT))
        extract->setEnabled(bAny);
    emit ActiveSelectionChanged(bAny);
}

void CMainFrame::OnUpdateKeyIndicators() {
    bool locks[3] = {false, false, false};
    CKeyLocks::Read(locks[0], locks[1], locks[2]);
    static const char* const kTexts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i)
        m_pIndicators[i]->setText(locks[i] ? QString::fromLatin1(kTexts[i]) : QString());
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The tree starts 175 pixels wide on every start; the list takes the rest.
    if (!m_bSized) {
        m_bSized = true;
        const int total = m_wndSplitter->width() - m_wndSplitter->handleWidth();
        m_wndSplitter->setSizes({kTreeWidth, std::max(total - kTreeWidth, 1)});
    }
}

// The commands of finding, checking and the code page, each where a user looks for it.
void CMainFrame::BuildFindMenus(QMenu* file, QMenu* edit, QMenu* view) {
    QAction* check =
        AddCommand(ID_FILE_CHECK, "ID_FILE_CHECK", "&Check Archive",
                   "List what is wrong in the archive: unreadable records, unsafe or repeated names\nCheck");
    check->setEnabled(false); // until an archive is open
    file->insertAction(m_pRecentPlaceholder, check);
    file->insertSeparator(m_pRecentPlaceholder);
    connect(check, &QAction::triggered, this, &CMainFrame::OnFileCheck);

    QAction* find = AddCommand(ID_EDIT_FIND, "ID_EDIT_FIND", "&Find...\tCtrl+F",
                               "Find folders and files by name across the archive\nFind");
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    edit->addSeparator();
    edit->addAction(find);
    connect(find, &QAction::triggered, m_pFind, &CFindController::Open);

    m_pEncodingMenu =
        new CEncodingMenu([](const QString& name) { return CNameCodec(name.toStdString()).IsValid(); }, this);
    view->insertMenu(view->actions().value(2), m_pEncodingMenu); // after the bars, before Options
    connect(m_pEncodingMenu, &CEncodingMenu::EncodingChosen, this, &CMainFrame::OnEncodingChosen);
    connect(m_pEncodingMenu, &CEncodingMenu::EncodingRefused, this, [this](const QString& name) {
        if (m_pSink)
            m_pSink->Report({kUnknownEncoding, name.toStdString(), "", false});
    });
    // The stored code page holds from the start.
    const QString stored = CEncodingMenu::Stored();
    if (!m_pDocument || !m_pDocument->SetEncoding(stored.toStdString()))
        m_pEncodingMenu->SetCurrent(QString::fromLatin1(CNameCodec::kDefault));
    else
        m_pEncodingMenu->SetCurrent(stored);
}

void CMainFrame::OnFileCheck() {
    if (!m_pDocument || !m_pDocument->m_pPackFile)
        return;
    CCheckDlg dlg(*m_pDocument->m_pPackFile, m_pDocument->Codec(), this);
    dlg.exec();
}

void CMainFrame::OnEncodingChosen(const QString& encoding) {
    if (!m_pDocument)
        return;
    // The tree is rebuilt with the new names; the same folder stays selected.
    const CPackFolder* selected = m_pDirView->SelectedFolder();
    if (!m_pDocument->SetEncoding(encoding.toStdString()))
        return;
    if (selected)
        m_pDirView->SelectFolder(selected);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    CWindowState::Save(*this, *m_wndSplitter, *m_pFilesView->header());
    QMainWindow::closeEvent(event);
}

void CMainFrame::SetMessageSink(CMessageSink* sink) {
    m_pSink = sink;
    m_staged->setMessageSink(sink);
}

void CMainFrame::BuildEntryParts() {
    m_preview = new PreviewController(this, m_wndSplitter, m_pFilesView, m_pDocument);
    m_staged = std::make_unique<StagedFiles>(m_pDocument, this);
    m_entryCommands = new EntryCommands({this, m_pDirView, m_pFilesView, Command(ID_FILE_EXTRACT),
                                         m_pFileMenu, [this] { return m_pActiveView; },
                                         [this](CPaneView* view) { SetActiveView(view); }},
                                        m_pDocument, m_staged.get());
    connect(this, &CMainFrame::ActiveSelectionChanged, m_entryCommands, &EntryCommands::followSelection);
    new SaveAsCommand(
        this, m_preview->pane()->mediaView(), m_pFileMenu, Command(ID_FILE_EXTRACT),
        [this] { return m_pSink; }, [this](const QString& text) { SetMessageText(text); });
    new PreviewAsCommand(this, m_preview, m_pFilesView, m_pDocument);
    // Rows dragged out are extracted first; a press on a selected row keeps the rest of the selection.
    const EntryStager stage = [this](const CSelection& selection) { return m_staged->mimeData(selection); };
    m_pDirView->GetModel()->setStager(stage);
    m_pFilesView->GetModel()->setStager(stage);
    for (CPaneView* pane : {static_cast<CPaneView*>(m_pDirView), static_cast<CPaneView*>(m_pFilesView)})
        pane->setDragEnabled(true);
    setAcceptDrops(true);
}

QString CMainFrame::DroppedArchive(const QDropEvent& event) {
    // Our own rows dragged back onto the window are no archive to open.
    if (event.source() || !event.mimeData()->hasUrls())
        return {};
    for (const QUrl& url : event.mimeData()->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedArchive(*event).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedArchive(*event).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString path = DroppedArchive(*event);
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (m_fnOpenArchive)
        m_fnOpenArchive(path);
}
