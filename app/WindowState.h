#pragma once

#include <QList>
#include <QRect>

class QHeaderView;
class QMainWindow;
class QSplitter;

// The main window's layout kept between runs in the program's settings, under "window/": its geometry
// (size, position, maximised), its own state (the toolbar and any docked pane), the splitter between the
// panes and the list's column widths. GUI thread only.
class CWindowState {
public:
    static void Save(const QMainWindow& window, const QSplitter& splitter, const QHeaderView& columns);
    // Puts back what Save stored; what was never stored keeps the window's defaults. True when the
    // splitter's sizes came back.
    static bool Restore(QMainWindow& window, QSplitter& splitter, QHeaderView& columns);
    // `frame` as it may be shown on `screens` (their available areas): unchanged when it lies mostly on one
    // of them, otherwise fitted into the first (a monitor has gone since it was stored).
    static QRect OnScreen(const QRect& frame, const QList<QRect>& screens);
};
