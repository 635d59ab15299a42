#include "views/DirView.h"

#include <QApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QScopedValueRollback>

#include "catalogue/PackFile.h"

namespace vorpex {

DirView::DirView(QWidget* parent) : PaneView(parent) {
    setObjectName(QStringLiteral("DirView"));
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setSortingEnabled(false);

    m_imageList.add(QStringLiteral(":/res/folder_closed.png"));
    m_imageList.add(QStringLiteral(":/res/folder_open.png"));
    m_imageList.add(QStringLiteral(":/res/archive.png"));
    m_imageList.add(QStringLiteral(":/res/archive_selected.png"));
    m_model.setIcons(m_imageList.iconPair(0, 1), m_imageList.iconPair(2, 3));
    setIconSize(QSize(16, 16));
    setModel(&m_model);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &DirView::onSelChanged);
}

void DirView::setCatalogue(const PackFile* pack, const NameCodec* codec) {
    m_packFile = pack;
    m_codec = codec;
    if (pack)
        fillTree();
    else
        deleteAllItems();
}

void DirView::deleteAllItems() {
    m_model.setPackFile(nullptr, nullptr, {});
    m_selItem = QPersistentModelIndex();
    m_rootItem = QPersistentModelIndex();
    emit selectionUpdated();
}

void DirView::fillTree() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    const QString label =
        m_packFile ? QString::fromStdString(m_packFile->archiveName()).toUpper() : QString();
    m_model.setPackFile(m_packFile, m_codec, label);
    m_rootItem = m_model.topIndex();
    if (m_rootItem.isValid())
        expand(m_rootItem);
    selectionModel()->clearSelection();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    emit selectionUpdated();
}

QModelIndex DirView::selectedItem() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

const PackFolder* DirView::selectedFolder() const {
    return m_model.folder(selectedItem());
}

bool DirView::isTopSelected() const {
    return m_model.isTop(selectedItem());
}

bool DirView::selectFolder(const PackFolder* folder) {
    m_model.reveal(folder);
    const QModelIndex index = m_model.indexOf(folder);
    if (!index.isValid())
        return false;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        expand(up);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    return true;
}

void DirView::verticalScrollbarValueChanged(int value) {
    // Qt's tree fetches a batch on every layout too; the tree grows only where the user scrolls.
    const QScopedValueRollback fetching(m_model.m_fetching, true);
    PaneView::verticalScrollbarValueChanged(value);
}

void DirView::onSelChanged() {
    m_selItem = selectedItem();
    emit folderSelected(m_model.folder(m_selItem));
}

Selection DirView::selection() const {
    Selection selection;
    if (isTopSelected())
        selection.m_wholeArchive = true;
    else if (const PackFolder* folder = selectedFolder())
        selection.m_folders.push_back(folder);
    return selection;
}

bool DirView::hasSelection() const {
    return selectedFolder() != nullptr;
}

// Each level of the branch area is one indentation wide, the item's own level rightmost. The top item has
// none (no lines at the root); below it, a line comes down to each item and goes on to its next sibling, and
// each ancestor with a sibling still to come keeps its line going past.
void DirView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
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

} // namespace vorpex
