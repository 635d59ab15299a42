#include "views/PaneView.h"

#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>

namespace vorpex {

void PaneView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit activated();
}

void PaneView::keyPressEvent(QKeyEvent* event) {
    // Copy is the window's command (the entries as files); the item views would otherwise copy the text.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void PaneView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    emit selectionUpdated();
}

void PaneView::startDrag(Qt::DropActions supportedActions) {
    QMimeData* data = model() ? model()->mimeData(selectedIndexes()) : nullptr;
    if (!data)
        return;
    if (m_dragger) {
        m_dragger(this, data);
        return;
    }
    // The button may have been let go while a large selection was extracted: no drag then.
    if (QGuiApplication::mouseButtons() == Qt::NoButton) {
        delete data;
        return;
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(supportedActions, Qt::CopyAction);
}

} // namespace vorpex
