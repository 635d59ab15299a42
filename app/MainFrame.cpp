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
#include "app/EditCommands.h"
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

namespace vorpex {

namespace {

// The message pane's label: shows as much of its text as fits, and the whole of it in its tooltip when cut.
class IdleLabel : public QLabel {
public:
    using QLabel::QLabel;
    void setFullText(const QString& text) {
        m_full = text;
        elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    void elide() {
        const QString shown =
            fontMetrics().elidedText(m_full, Qt::ElideRight, std::max(contentsRect().width(), 0));
        setText(shown);
        setToolTip(shown == m_full ? QString() : m_full);
    }
    QString m_full;
};

// Menus highlight their greyed items too, so that their prompts reach the status bar.
class MenuStyle : public QProxyStyle {
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

MainFrame::MainFrame(VorpexDoc* doc, QWidget* parent) : QMainWindow(parent), m_document(doc) {
    ImageList::initResources();
    setObjectName(QStringLiteral("MainFrame"));
    // The caption stays the program's name: no document name is ever added to it.
    setWindowTitle(QStringLiteral("Vorpex"));
    // No icon of its own: the window takes the application's (set at start-up).
    resize(780, 500);
    createPanes();
    createBars();
    buildEntryParts();
    // The layout of the last run, where there was one; the splitter's then wins over the start width.
    m_sized = WindowState::restore(*this, *m_splitter, *m_filesView->header());
}

MainFrame::~MainFrame() = default;

QAction* MainFrame::addCommand(int id, const char* name, const char* text, const char* prompt) {
    auto* action = new QAction(QString::fromLatin1(text), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setData(id);
    // A prompt is "status-bar text\ntooltip".
    const QString both = QString::fromLatin1(prompt);
    const qsizetype cut = both.indexOf(QLatin1Char('\n'));
    action->setStatusTip(cut < 0 ? both : both.left(cut));
    if (cut >= 0)
        action->setToolTip(both.mid(cut + 1));
    m_commands.insert(id, action);
    addAction(action); // keys work whether or not the action is in a menu or shown
    return action;
}

void MainFrame::createPanes() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("Splitter"));
    m_dirView = new DirView(m_splitter);
    // The list shares its side with the find bar, which stands above it while open.
    auto* listSide = new QWidget(m_splitter);
    listSide->setObjectName(QStringLiteral("ListSide"));
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    m_findBar = new FindBar(listSide);
    m_filesView = new FilesView(listSide);
    listLayout->addWidget(m_findBar);
    listLayout->addWidget(m_filesView);
    m_find = new FindController(m_findBar, m_filesView, m_dirView, this);
    m_splitter->addWidget(m_dirView);
    m_splitter->addWidget(listSide);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);
    for (PaneView* pane : {static_cast<PaneView*>(m_dirView), static_cast<PaneView*>(m_filesView)}) {
        connect(pane, &PaneView::activated, this, [this, pane] {
            m_activeView = pane;
            updateExtractCommand();
        });
        connect(pane, &PaneView::selectionUpdated, this, &MainFrame::updateExtractCommand);
    }
    connect(m_dirView, &DirView::folderSelected, m_filesView, &FilesView::showFolder);
    connect(m_filesView, &FilesView::folderOpened, m_dirView, &DirView::selectFolder);
    setActiveView(m_filesView);

    if (!m_document)
        return;
    m_document->m_dirView = m_dirView;
    m_document->m_filesView = m_filesView;
    // The panes let go of a catalogue before it goes; a new one empties the list and rebuilds the tree.
    connect(m_document, &VorpexDoc::catalogueReplacing, this, [this] {
        m_filesView->setCatalogue(nullptr, nullptr);
        m_dirView->setCatalogue(nullptr, nullptr);
        m_find->setCatalogue(nullptr, nullptr);
    });
    connect(m_document, &VorpexDoc::catalogueOpened, this, [this](const PackFile* pack) {
        m_filesView->setCatalogue(pack, &m_document->codec());
        m_dirView->setCatalogue(pack, &m_document->codec());
        m_find->setCatalogue(pack, &m_document->codec());
        command(kIdFileCheck)->setEnabled(pack != nullptr);
    });
}

void MainFrame::createBars() {
    buildMenus();

    m_toolBar = new QToolBar(QStringLiteral("Toolbar"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(QSize(18, 15));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    ImageList buttons;
    buttons.create(QStringLiteral(":/res/toolbar.png"), 18);
    command(kIdFileOpen)->setIcon(buttons.icon(0));
    command(kIdFileExtract)->setIcon(buttons.icon(1));
    command(kIdAppAbout)->setIcon(buttons.icon(2));
    // The pictures belong to the toolbar; the menus show text only.
    for (int id : {kIdFileOpen, kIdFileExtract, kIdAppAbout})
        command(id)->setIconVisibleInMenu(false);
    m_toolBar->addAction(command(kIdFileOpen));
    m_toolBar->addSeparator();
    m_toolBar->addAction(command(kIdFileExtract));
    m_toolBar->addSeparator();
    m_toolBar->addAction(command(kIdAppAbout));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    // The message pane: "Ready" whenever no prompt or message stands over it.
    m_ready = new IdleLabel(m_statusBar);
    m_ready->setObjectName(QStringLiteral("Ready"));
    setIdleText(QString::fromLatin1(kReady));
    m_statusBar->addWidget(m_ready, 1);
    // The status bar hides "Ready" under a message only when the bar is already on screen; a message
    // given before the window shows would otherwise be drawn over it.
    connect(m_statusBar, &QStatusBar::messageChanged, m_ready,
            [this](const QString& message) { m_ready->setVisible(message.isEmpty()); });
    static const char* const kIndicators[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_indicators[i] = new QLabel(m_statusBar);
        m_indicators[i]->setObjectName(QString::fromLatin1(kIndicators[i]));
        m_indicators[i]->setAlignment(Qt::AlignCenter);
        m_indicators[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        m_indicators[i]->setFrameShape(QFrame::Panel);
        m_indicators[i]->setFrameShadow(QFrame::Sunken);
        m_statusBar->addPermanentWidget(m_indicators[i]);
    }
    setStatusBar(m_statusBar);
    // While rows of the list are selected, the message pane tells how many and their size; otherwise its
    // idle text (the archive's summary, or "Ready") comes back.
    connect(m_filesView, &PaneView::selectionUpdated, m_ready, [this] {
        const QString summary = m_filesView->selectionSummary();
        static_cast<IdleLabel*>(m_ready)->setFullText(summary.isEmpty() ? m_idleText : summary);
    });

    QAction* toolbar = command(kIdViewToolbar);
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    connect(toolbar, &QAction::triggered, m_toolBar, &QWidget::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toolbar,
            [this, toolbar] { toolbar->setChecked(!m_toolBar->isHidden()); });
    QAction* statusBar = command(kIdViewStatusBar);
    statusBar->setCheckable(true);
    statusBar->setChecked(true);
    connect(statusBar, &QAction::triggered, m_statusBar, &QWidget::setVisible);

    connect(command(kIdFileExtract), &QAction::triggered, this, &MainFrame::onFileExtract);
    updateExtractCommand();
    connect(command(kIdNextPane), &QAction::triggered, this, &MainFrame::onNextPane);
    connect(command(kIdPrevPane), &QAction::triggered, this, &MainFrame::onPrevPane);
    connect(command(kIdAppExit), &QAction::triggered, this, &QWidget::close);

    if (KeyLocks::isAvailable()) {
        m_indicatorTimer = new QTimer(this);
        connect(m_indicatorTimer, &QTimer::timeout, this, &MainFrame::updateKeyIndicators);
        m_indicatorTimer->start(250);
    }
    updateKeyIndicators();
}

void MainFrame::buildMenus() {
    QAction* open =
        addCommand(kIdFileOpen, "ID_FILE_OPEN", "&Open...\tCtrl+O", "Open an existing document\nOpen");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* extract = addCommand(kIdFileExtract, "ID_FILE_EXTRACT", "&Extract...\tCtrl+E",
                                  "Extract files or a directory\nExtract");
    extract->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E)); // the key its label promises
    QAction* exit = addCommand(kIdAppExit, "ID_APP_EXIT", "E&xit",
                               "Quit the application; prompts to save documents\nExit");
    QAction* undo = addCommand(kIdEditUndo, "ID_EDIT_UNDO", "&Undo\tCtrl+Z", "Undo the last action\nUndo");
    QAction* cut = addCommand(kIdEditCut, "ID_EDIT_CUT", "Cu&t\tCtrl+X",
                              "Cut the selection and put it on the Clipboard\nCut");
    QAction* copy = addCommand(kIdEditCopy, "ID_EDIT_COPY", "&Copy\tCtrl+C",
                               "Copy the selection and put it on the Clipboard\nCopy");
    QAction* paste =
        addCommand(kIdEditPaste, "ID_EDIT_PASTE", "&Paste\tCtrl+V", "Insert Clipboard contents\nPaste");
    undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    cut->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    paste->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    // Nothing handles the Edit commands: they stay disabled, keys included.
    for (QAction* edit : {undo, cut, copy, paste})
        edit->setEnabled(false);
    QAction* toolbar =
        addCommand(kIdViewToolbar, "ID_VIEW_TOOLBAR", "&Toolbar", "Show or hide the toolbar\nToggle ToolBar");
    QAction* statusBar = addCommand(kIdViewStatusBar, "ID_VIEW_STATUS_BAR", "&Status Bar",
                                    "Show or hide the status bar\nToggle StatusBar");
    QAction* options =
        addCommand(kIdViewOptions, "ID_VIEW_OPTIONS", "&Options...", "Show the options dialog\nOptions");
    QAction* about = addCommand(kIdAppAbout, "ID_APP_ABOUT", "&About Vorpex...",
                                "Display program information, version number and copyright\nAbout");

    // Commands reached by keys only.
    addCommand(kIdFileNew, "ID_FILE_NEW", "&New", "Create a new document\nNew")
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    addCommand(kIdFileSave, "ID_FILE_SAVE", "&Save", "Save the active document\nSave")
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(kIdNextPane, "ID_NEXT_PANE", "Next Pane", "Switch to the next window pane\nNext Pane")
        ->setShortcut(QKeySequence(Qt::Key_F6));
    addCommand(kIdPrevPane, "ID_PREV_PANE", "Previous Pane",
               "Switch back to the previous window pane\nPrevious Pane")
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));

    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->addAction(open);
    m_fileMenu->addAction(extract);
    m_fileMenu->addSeparator();
    // Greyed while the recent-file list is empty; the list takes its place otherwise.
    m_recentPlaceholder = new QAction(QStringLiteral("Recent File"), this);
    m_recentPlaceholder->setObjectName(QStringLiteral("RecentFilePlaceholder"));
    m_recentPlaceholder->setStatusTip(QStringLiteral("Open this document"));
    m_recentPlaceholder->setEnabled(false);
    m_fileMenu->addAction(m_recentPlaceholder);
    m_recentSeparator = m_fileMenu->addSeparator();
    m_fileMenu->addAction(exit);

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

    buildFindMenus(m_fileMenu, edit, view);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    help->addAction(about);

    auto* menuStyle = new MenuStyle(style()->name());
    menuStyle->setParent(this);
    for (QMenu* menu : {m_fileMenu, edit, view, help})
        menu->setStyle(menuStyle);
}

void MainFrame::updateRecentFileMenu(const RecentFileList& files) {
    for (QAction* action : m_recentActions) {
        m_fileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    m_recentPlaceholder->setVisible(files.size() == 0);
    for (int i = 0; i < files.size(); ++i) {
        auto* action = new QAction(files.menuText(i), this);
        action->setObjectName(QStringLiteral("ID_FILE_MRU_FILE%1").arg(i + 1));
        action->setData(kIdFileMruFilE1 + i);
        action->setStatusTip(QStringLiteral("Open this document"));
        m_fileMenu->insertAction(m_recentSeparator, action);
        connect(action, &QAction::triggered, this, [this, i] { emit recentFileChosen(i); });
        m_recentActions.push_back(action);
    }
}

void MainFrame::setActiveView(PaneView* view) {
    m_activeView = view;
    updateExtractCommand();
    if (view)
        view->setFocus(Qt::OtherFocusReason);
}

void MainFrame::onNextPane() {
    setActiveView(m_activeView == m_dirView ? static_cast<PaneView*>(m_filesView) : m_dirView);
}

// With two panes, going back is going forward.
void MainFrame::onPrevPane() {
    onNextPane();
}

// One path for both panes: the pane only says what is selected, and is asked after the dialog's OK.
void MainFrame::onFileExtract() {
    PaneView* pane = m_activeView;
    if (!pane || !m_document || !m_document->m_packFile || !m_sink)
        return;
    const ExtractCommand::Context context{m_document->m_packFile.get(), &m_document->codec(), m_sink,
                                          m_extractDir ? m_extractDir() : QString(), this};
    // Matches of a search come from many folders: each goes below its folders' path, so that matches of
    // one name never meet.
    const auto select = [this, pane] {
        Selection selection = pane->selection();
        selection.m_underPaths = pane == m_filesView && m_filesView->isShowingMatches();
        return selection;
    };
    ExtractResult result;
    QString strFolder;
    if (!ExtractCommand::run(pane == m_dirView ? ExtractCommand::From::Tree : ExtractCommand::From::List,
                             context, select, &result, &strFolder))
        return;
    const QString files = result.m_filesWritten == 1 ? QString::fromLatin1(kOneFile)
                                                     : QString::fromLatin1(kFiles).arg(result.m_filesWritten);
    setMessageText(QString::fromLatin1(result.m_cancelled ? kCancelledAfter : kExtractedTo)
                       .arg(files, FilesView::sizeText(result.m_bytesWritten), strFolder));
}

void MainFrame::setMessageText(const QString& text) {
    m_statusBar->showMessage(text);
}

void MainFrame::setIdleText(const QString& text) {
    m_idleText = text;
    static_cast<IdleLabel*>(m_ready)->setFullText(text);
}

QString MainFrame::messageText() const {
    const QString message = m_statusBar->currentMessage();
    return message.isEmpty() ? m_idleText : message;
}

void MainFrame::updateExtractCommand() {
    const bool any = m_activeView && m_activeView->hasSelection();
    if (QAction* extract = command(kIdFileExtract))
        extract->setEnabled(any);
    emit activeSelectionChanged(any);
}

void MainFrame::updateKeyIndicators() {
    bool locks[3] = {false, false, false};
    KeyLocks::read(locks[0], locks[1], locks[2]);
    static const char* const kTexts[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i)
        m_indicators[i]->setText(locks[i] ? QString::fromLatin1(kTexts[i]) : QString());
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The tree starts 175 pixels wide on every start; the list takes the rest.
    if (!m_sized) {
        m_sized = true;
        const int total = m_splitter->width() - m_splitter->handleWidth();
        m_splitter->setSizes({kTreeWidth, std::max(total - kTreeWidth, 1)});
    }
}

// The commands of finding, checking and the code page, each where a user looks for it.
void MainFrame::buildFindMenus(QMenu* file, QMenu* edit, QMenu* view) {
    QAction* check =
        addCommand(kIdFileCheck, "ID_FILE_CHECK", "&Check Archive",
                   "List what is wrong in the archive: unreadable records, unsafe or repeated names\nCheck");
    check->setEnabled(false); // until an archive is open
    file->insertAction(m_recentPlaceholder, check);
    file->insertSeparator(m_recentPlaceholder);
    connect(check, &QAction::triggered, this, &MainFrame::onFileCheck);

    QAction* find = addCommand(kIdEditFind, "ID_EDIT_FIND", "&Find...\tCtrl+F",
                               "Find folders and files by name across the archive\nFind");
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    edit->addSeparator();
    edit->addAction(find);
    connect(find, &QAction::triggered, m_find, &FindController::open);

    m_encodingMenu =
        new EncodingMenu([](const QString& name) { return NameCodec(name.toStdString()).isValid(); }, this);
    view->insertMenu(view->actions().value(2), m_encodingMenu); // after the bars, before Options
    connect(m_encodingMenu, &EncodingMenu::encodingChosen, this, &MainFrame::onEncodingChosen);
    connect(m_encodingMenu, &EncodingMenu::encodingRefused, this, [this](const QString& name) {
        if (m_sink)
            m_sink->report({kUnknownEncoding, name.toStdString(), "", false});
    });
    // The stored code page holds from the start.
    const QString stored = EncodingMenu::stored();
    if (!m_document || !m_document->setEncoding(stored.toStdString()))
        m_encodingMenu->setCurrent(QString::fromLatin1(NameCodec::kDefault));
    else
        m_encodingMenu->setCurrent(stored);
}

void MainFrame::onFileCheck() {
    if (!m_document || !m_document->m_packFile)
        return;
    CheckDlg dlg(*m_document->m_packFile, m_document->codec(), this);
    dlg.exec();
}

void MainFrame::onEncodingChosen(const QString& encoding) {
    if (!m_document)
        return;
    // The tree is rebuilt with the new names; the same folder stays selected.
    const PackFolder* selected = m_dirView->selectedFolder();
    if (!m_document->setEncoding(encoding.toStdString()))
        return;
    if (selected)
        m_dirView->selectFolder(selected);
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // Unsaved edits are never dropped without asking.
    if (m_editCommands && !m_editCommands->maySwitch()) {
        event->ignore();
        return;
    }
    WindowState::save(*this, *m_splitter, *m_filesView->header());
    QMainWindow::closeEvent(event);
}

void MainFrame::setMessageSink(MessageSink* sink) {
    m_sink = sink;
    m_staged->setMessageSink(sink);
}

void MainFrame::buildEntryParts() {
    m_preview = new PreviewController(this, m_splitter, m_filesView, m_document);
    m_staged = std::make_unique<StagedFiles>(m_document, this);
    m_entryCommands =
        new EntryCommands({this, m_dirView, m_filesView, command(kIdFileExtract), m_fileMenu,
                           [this] { return m_activeView; }, [this](PaneView* view) { setActiveView(view); }},
                          m_document, m_staged.get());
    connect(this, &MainFrame::activeSelectionChanged, m_entryCommands, &EntryCommands::followSelection);
    new SaveAsCommand(
        this, m_preview->pane()->mediaView(), m_fileMenu, command(kIdFileExtract), [this] { return m_sink; },
        [this](const QString& text) { setMessageText(text); });
    new PreviewAsCommand(this, m_preview, m_filesView, m_document);
    m_editCommands = new EditCommands(
        {this, m_dirView, m_filesView, m_find, command(kIdEditUndo), command(kIdEditCut),
         command(kIdEditCopy), command(kIdEditPaste), command(kIdFileSave), command(kIdFileCheck), m_fileMenu,
         menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu")), [this] { return m_activeView; },
         [this](const QString& text) { setMessageText(text); },
         [this](const QString& text) { setIdleText(text); }},
        m_document, m_staged.get(), [this] { return m_sink; });
    connect(this, &MainFrame::activeSelectionChanged, m_editCommands, &EditCommands::updateCommands);
    m_entryCommands->setMenuExtender(
        [this](QMenu* menu, PaneView* view) { m_editCommands->addToContextMenu(menu, view); });
    // Rows dragged out are extracted first; a press on a selected row keeps the rest of the selection.
    // Our own rows carry a mark of their own, so that a pane does not take them back as files to add.
    const EntryStager stage = [this](const Selection& selection) {
        QMimeData* data = m_staged->mimeData(selection);
        if (data)
            data->setData(ownDragFormat(), {});
        return data;
    };
    m_dirView->getModel()->setStager(stage);
    m_filesView->getModel()->setStager(stage);
    for (PaneView* pane : {static_cast<PaneView*>(m_dirView), static_cast<PaneView*>(m_filesView)})
        pane->setDragEnabled(true);
    setAcceptDrops(true);
}

QString MainFrame::droppedArchive(const QDropEvent& event) {
    // Our own rows dragged back onto the window are no archive to open.
    if (event.source() || !event.mimeData()->hasUrls())
        return {};
    for (const QUrl& url : event.mimeData()->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}

void MainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedArchive(*event).isEmpty())
        event->acceptProposedAction();
}

void MainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!droppedArchive(*event).isEmpty())
        event->acceptProposedAction();
}

void MainFrame::dropEvent(QDropEvent* event) {
    const QString path = droppedArchive(*event);
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    if (m_openArchive)
        m_openArchive(path);
}

} // namespace vorpex
