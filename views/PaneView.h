#pragma once

#include <QTreeView>

#include "catalogue/Selection.h"

// What the two panes of the main window share: each is a tree-shaped item view that tells when it gets the
// focus (it is then the active pane, the one Extract works on), hands out what is selected in it as the
// value Extract takes, and leaves the Edit keys alone. GUI thread only.
class CPaneView : public QTreeView {
    Q_OBJECT
public:
    explicit CPaneView(QWidget* parent = nullptr) : QTreeView(parent) {}

    // What Extract takes from this pane now, by identity.
    virtual CSelection GetSelection() const = 0;
    // True when Extract has something to take from this pane.
    virtual bool HasSelection() const = 0;

signals:
    // This pane received the focus: it is now the active pane.
    void Activated();
    // What GetSelection() gives may have changed.
    void SelectionChanged();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
};
