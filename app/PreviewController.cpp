#include "app/PreviewController.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>

#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "views/FilesView.h"
#include "views/PreviewPane.h"

namespace vorpex {

PreviewController::PreviewController(QMainWindow* frame, QSplitter* splitter, FilesView* list, VorpexDoc* doc)
    : QObject(frame), m_splitter(splitter), m_list(list), m_document(doc) {
    m_pane = new PreviewPane(splitter);
    splitter->addWidget(m_pane);
    splitter->setStretchFactor(2, 1);
    m_pane->setMinimumWidth(120);
    m_pane->hide();

    m_action = new QAction(tr("&Preview\tF3"), frame);
    m_action->setObjectName(QStringLiteral("ID_VIEW_PREVIEW"));
    m_action->setStatusTip(tr("Show or hide the preview of the selected file"));
    m_action->setShortcut(QKeySequence(Qt::Key_F3));
    m_action->setCheckable(true);
    frame->addAction(m_action);
    // Beside Toolbar and Status Bar, before the options.
    if (QMenu* view = frame->menuBar()->findChild<QMenu*>(QStringLiteral("ViewMenu"))) {
        QAction* before = nullptr;
        for (QAction* action : view->actions())
            if (action->isSeparator()) {
                before = action;
                break;
            }
        view->insertAction(before, m_action);
    }
    connect(m_action, &QAction::toggled, this, &PreviewController::setShown);
    m_action->setChecked(QSettings().value(QString::fromLatin1(kPreviewKey), false).toBool());

    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this, &PreviewController::update);
    connect(list->model(), &QAbstractItemModel::modelReset, this, &PreviewController::update);
    if (m_document)
        connect(m_document, &VorpexDoc::catalogueReplacing, m_pane, &PreviewPane::clear);
}

void PreviewController::setShown(bool shown) {
    QSettings().setValue(QString::fromLatin1(kPreviewKey), shown);
    if (shown != m_pane->isHidden())
        return;
    m_pane->setVisible(shown);
    if (shown) {
        // The preview takes part of the list's room.
        QList<int> sizes = m_splitter->sizes();
        if (sizes.size() == 3 && sizes[1] > 0) {
            sizes[2] = sizes[1] * 2 / 5;
            sizes[1] -= sizes[2];
            m_splitter->setSizes(sizes);
        }
        update();
    }
}

void PreviewController::update() {
    if (m_pane->isHidden())
        return;
    const PackFile* pack = m_document ? m_document->m_packFile.get() : nullptr;
    const PackEntry* entry = m_list->getModel()->entryAt(m_list->currentIndex().row());
    m_pane->showEntry(pack, entry, m_document ? &m_document->codec() : nullptr);
}

} // namespace vorpex
