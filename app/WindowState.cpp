#include "app/WindowState.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>

#include "app/VorpexApp.h"

void CWindowState::Save(const QMainWindow& window, const QSplitter& splitter, const QHeaderView& columns) {
    QSettings settings = CVorpexApp::Settings();
    settings.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
    settings.setValue(QStringLiteral("window/state"), window.saveState());
    settings.setValue(QStringLiteral("window/splitter"), splitter.saveState());
    QList<QVariant> widths;
    for (int i = 0; i < columns.count(); ++i)
        widths.push_back(columns.sectionSize(i));
    settings.setValue(QStringLiteral("window/columns"), widths);
}

bool CWindowState::Restore(QMainWindow& window, QSplitter& splitter, QHeaderView& columns) {
    const QSettings settings = CVorpexApp::Settings();
    if (window.restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray()) &&
        !window.isMaximized()) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.push_back(screen->availableGeometry());
        const QRect fitted = OnScreen(window.frameGeometry(), screens);
        if (fitted != window.frameGeometry()) {
            window.move(fitted.topLeft());
            window.resize(window.size().boundedTo(fitted.size()));
        }
    }
    window.restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    const QList<QVariant> widths = settings.value(QStringLiteral("window/columns")).toList();
    for (int i = 0; i < widths.size() && i < columns.count(); ++i) {
        if (const int width = widths[i].toInt(); width > 0)
            columns.resizeSection(i, width);
    }
    return splitter.restoreState(settings.value(QStringLiteral("window/splitter")).toByteArray());
}

QRect CWindowState::OnScreen(const QRect& frame, const QList<QRect>& screens) {
    for (const QRect& screen : screens) {
        const QRect shared = screen.intersected(frame);
        // Enough of the window to grab its caption and see what it is.
        if (shared.width() >= std::min(frame.width(), 100) &&
            shared.height() >= std::min(frame.height(), 50) && shared.top() <= frame.top() + 10)
            return frame;
    }
    if (screens.isEmpty())
        return frame;
    const QRect& first = screens.front();
    QRect fitted(first.topLeft(), frame.size().boundedTo(first.size()));
    fitted.moveCenter(first.center());
    return fitted;
}
