#include "views/DirView.h"

#include <QApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include "catalogue/PackFile.h"

CDirView::CDirView(QWidget* parent) : CPaneView(parent) {
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
}

void CDirView::SetCatalogue(const CPackFile* pack, const CNameCodec* codec) {
    m_pPackFile = pack;
    m_pCodec = codec;
    if (pack)
        FillTree();
    else
        DeleteAllItems();
}

void CDirView::DeleteAllItems() {
    m_Model.SetPackFile(nullptr, nullptr, {});
    m_selItem = QPersistentModelIndex();
    m_rootItem = QPersistentModelIndex();
    emit SelectionChanged();
}

void CDirView::FillTree() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QString label =
        m_pPackFile ? QString::fromStdString(m_pPackFile->GetArchiveName()).toUpper() : QString();
    m_Model.SetPackFile(m_pPackFile, m_pCodec, label);
    m_rootItem = m_Model.TopIndex();
    if (m_rootItem.isValid())
        expand(m_rootItem);
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    emit SelectionChanged();
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
    m_Model.Reveal(folder);
    const QModelIndex index = m_Model.IndexOf(folder);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    return true;
}

void CDirView::verticalScrollbarValueChanged(int value) {
    // Qt's tree fetches a batch on every layout too; the tree grows only where the user scrolls.
    const QScopedValueRollback fetching(m_Model.m_bFetching, true);
    CPaneView::verticalScrollbarValueChanged(value);
}

void CDirView::OnSelChanged() {
    m_selItem = GetSelectedItem();
    emit FolderSelected(m_Model.Folder(m_selItem));
}

CSelection CDirView::GetSelection() const {
    CSelection selection;
    if (IsTopSelected())
        selection.m_bWholeArchive = true;
    else if (const CPackFolder* folder = SelectedFolder())
        selection.m_Folders.push_back(folder);
    return selection;
}

bool CDirView::HasSelection() const {
    return SelectedFolder() != nullptr;
}

// Each level of the branch area is one indentation wide, the item's own level rightmost. The top item has
// none (no lines at the root); below it, a line comes down to each item and goes on to its next sibling, and
// each ancestor with a sibling still to come keeps its line going past.
void CDirView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    const auto hasNext = [](const QModelIndex& item) { return item.sibling(item.row() + 1, 0).isValid(); };
    const int indent = indentation();
    const int midY = rect.center().y();
    int x = rect.right() + 1 - indent + indent / 2;
    painter->save();
    QPen pen(palette().color(QPalette::Dark));
    pen.setStyle(Qt::DotLine);
    painter->setPen(pen);
    if (index.parent().isValid()) {
        painter->drawLine(x, rect.top(), x, hasNext(index) ? rect.bottom() : midY);
        painter->drawLine(x, midY, x + indent / 2, midY);
        for (QModelIndex up = index.parent(); up.parent().isValid(); up = up.parent()) {
            x -= indent;
            if (hasNext(up))
                painter->drawLine(x, rect.top(), x, rect.bottom());
        }
    }
    painter->restore();
    QTreeView::drawBranches(painter, rect, index); // the expand buttons, over the lines
}
