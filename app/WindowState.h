#pragma once

#include <QList>
#include <QRect>

class QHeaderView;
class QMainWindow;
class QSplitter;

namespace vorpex {

// The main window's layout kept between runs in the program's settings, under "window/": its geometry
// (size, position, maximised), the splitter between the panes and the list's column widths. Nothing else:
// the toolbar starts docked at the top and shown on every run. GUI thread only.
class WindowState {
public:
    static void save(const QMainWindow& window, const QSplitter& splitter, const QHeaderView& columns);
    // Puts back what Save stored, the window whole on a screen; what was never stored keeps the window's
    // defaults. True when the splitter's sizes came back.
    static bool restore(QMainWindow& window, QSplitter& splitter, QHeaderView& columns);
    // `frame` as it may be shown on `screens` (their available areas): whole on the screen it shares most
    // with (the first when none), moved and, where it is bigger than that screen, shrunk.
    static QRect onScreen(const QRect& frame, const QList<QRect>& screens);
};

} // namespace vorpex
