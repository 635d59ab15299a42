#include "views/PaneView.h"

#include <QKeyEvent>

void CPaneView::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit Activated();
}

void CPaneView::keyPressEvent(QKeyEvent* event) {
    // The Edit commands do nothing in this program; the item views would otherwise copy on Ctrl+C.
    if (event->matches(QKeySequence::Copy)) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CPaneView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    emit SelectionChanged();
}
