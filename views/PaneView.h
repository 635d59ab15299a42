#pragma once

#include <QTreeView>
#include <functional>

#include "catalogue/Selection.h"

namespace vorpex {

// What the two panes of the main window share: each is a tree-shaped item view that tells when it gets the
// focus (it is then the active pane, the one Extract works on), hands out what is selected in it as the
// value Extract takes, and leaves the Edit keys alone. GUI thread only.
class PaneView : public QTreeView {
    Q_OBJECT
public:
    explicit PaneView(QWidget* parent = nullptr) : QTreeView(parent) {}

    // What Extract takes from this pane now, by identity.
    virtual Selection selection() const = 0;
    // True when Extract has something to take from this pane.
    virtual bool hasSelection() const = 0;

    // Runs a drag of `data` (owned by the call) from `source`; the default is a QDrag, and none when the
    // button was let go meanwhile. Tests put their own in place of it.
    using Dragger = std::function<Qt::DropAction(QWidget* source, QMimeData* data)>;
    void setDragger(Dragger dragger) { m_dragger = std::move(dragger); } // empty: the default again

signals:
    // This pane received the focus: it is now the active pane.
    void activated();
    // What selection() gives may have changed.
    void selectionUpdated();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    // Asks the model for the selected rows' data (which may take a while: they are extracted first), then
    // drags it.
    void startDrag(Qt::DropActions supportedActions) override;

private:
    Dragger m_dragger;
};

} // namespace vorpex
