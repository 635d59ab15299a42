#include "views/DirView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScopeGuard>

#include "app/VorpexApp.h"
#include "app/VorpexDoc.h"
#include "catalogue/PackFile.h"
#include "extract/ExtractCommand.h"
#include "views/FilesView.h"

CDirView::CDirView(CVorpexDoc* doc, QWidget* parent) : QTreeView(parent), m_pDocument(doc) {
    setObjectName(QStringLiteral("DirView"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setSortingEnabled(false);

    m_ImageList.Add(QStringLiteral(":/res/folder_closed.png"));
    m_ImageList.Add(QStringLiteral(":/res/folder_open.png"));
    m_ImageList.Add(QStringLiteral(":/res/archive.png"));
    m_ImageList.Add(QStringLiteral(":/res/archive_selected.png"));
    m_Model.SetIcons(m_ImageList.IconPair(0, 1), m_ImageList.IconPair(2, 3));
    setIconSize(QSize(16, 16));
    setModel(&m_Model);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CDirView::OnSelChanged);

    if (m_pDocument)
        m_pDocument->m_pDirView = this;
}

void CDirView::DeleteAllItems() {
    m_Model.SetPackFile(nullptr, nullptr, {});
    m_selItem = QPersistentModelIndex();
    m_rootItem = QPersistentModelIndex();
}

void CDirView::FillTree() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QString label =
        m_pPackFile ? QString::fromStdString(m_pPackFile->GetArchiveName()).toUpper() : QString();
    m_Model.SetPackFile(m_pPackFile, m_pDocument ? &m_pDocument->Codec() : nullptr, label);
    m_rootItem = m_Model.TopIndex();
    if (m_rootItem.isValid())
        expand(m_rootItem);
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

QModelIndex CDirView::GetSelectedItem() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

const CPackFolder* CDirView::SelectedFolder() const {
    return m_Model.Folder(GetSelectedItem());
}

bool CDirView::IsTopSelected() const {
    return m_Model.IsTop(GetSelectedItem());
}

bool CDirView::SelectFolder(const CPackFolder* folder) {
    const QModelIndex index = m_Model.IndexOf(folder);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    return true;
}

void CDirView::OnSelChanged() {
    m_selItem = GetSelectedItem();
    CFilesView* list = m_pDocument ? m_pDocument->m_pFilesView : nullptr;
    if (list)
        list->ShowFolder(m_Model.Folder(m_selItem));
}

void CDirView::OnExtract() {
    const CVorpexApp* app = CVorpexApp::Instance();
    if (!app || !m_pDocument || !m_pPackFile)
        return;
    const CExtractCommand::CContext context{m_pPackFile, &m_pDocument->Codec(), &app->GetMessageSink(),
                                            app->m_strExtractDir, window()};
    // The selected folder itself, with everything below it; the top item stands for the whole archive.
    CExtractCommand::Run(CExtractCommand::EFrom::Tree, context, [this] {
        CSelection selection;
        if (IsTopSelected())
            selection.m_bWholeArchive = true;
        else if (const CPackFolder* folder = SelectedFolder())
            selection.m_Folders.push_back(folder);
        return selection;
    });
}

void CDirView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit Activated();
}

void CDirView::keyPressEvent(QKeyEvent* event) {
    // The Edit commands do nothing in this program, here neither.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}
