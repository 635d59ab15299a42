#include "app/WindowState.h"

#include <QDataStream>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <algorithm>

namespace vorpex {

namespace {

constexpr qint64 kFar = 1 << 20; // beyond any desktop

// The window's rectangles as QWidget::saveGeometry stores them.
struct StoredGeometry {
    QRect m_client; // the window without its frame, when not maximised
    // The frame the window manager drew around it, or, where that is not known, room for a usual one.
    QMargins m_frame{4, 24, 4, 4};
    bool m_maximized = false;
};

// A stored rectangle, however far off or big, as one that QRect holds without overflow; at least 1 x 1.
QRect tame(qint32 x1, qint32 y1, qint32 x2, qint32 y2) {
    const auto clamp = [](qint64 value, qint64 low) { return int(std::clamp(value, low, kFar)); };
    return QRect(clamp(x1, -kFar), clamp(y1, -kFar), clamp(qint64(x2) - x1 + 1, 1),
                 clamp(qint64(y2) - y1 + 1, 1));
}

// Reads what saveGeometry wrote (versions 1 to 3); false when `blob` holds something else or is cut short.
bool readGeometry(const QByteArray& blob, StoredGeometry& stored) {
    QDataStream in(blob);
    in.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0, minor = 0;
    in >> magic >> major >> minor;
    if (magic != 0x1D9D0CB || major < 1 || major > 3)
        return false;
    qint32 frame[4] = {}, normal[4] = {}, client[4] = {}, screen = 0, screenWidth = 0;
    quint8 maximized = 0, fullScreen = 0;
    for (qint32* rect : {frame, normal})
        for (int side = 0; side < 4; ++side)
            in >> rect[side];
    in >> screen >> maximized >> fullScreen;
    if (major >= 2)
        in >> screenWidth;
    if (major >= 3)
        for (qint32& side : client)
            in >> side;
    if (in.status() != QDataStream::Ok)
        return false;
    stored.m_client = tame(normal[0], normal[1], normal[2], normal[3]);
    stored.m_maximized = maximized != 0;
    if (major >= 3 && !maximized) {
        // The frame as it was, within reason: the window manager draws it again.
        const auto margin = [](qint64 outer, qint64 inner) {
            return int(std::clamp<qint64>(inner - outer, 0, 64));
        };
        const QMargins drawn(margin(frame[0], client[0]), margin(frame[1], client[1]),
                             margin(client[2], frame[2]), margin(client[3], frame[3]));
        if (!drawn.isNull())
            stored.m_frame = drawn;
    }
    return true;
}

void restoreGeometry(QMainWindow& window, const QByteArray& blob) {
    StoredGeometry stored;
    if (!readGeometry(blob, stored))
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    // Judged at the size the window will have: never below its minimum, which the style's sizes set.
    window.ensurePolished();
    if (window.layout())
        window.layout()->invalidate();
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
    const QRect client(stored.m_client.topLeft(), stored.m_client.size().expandedTo(least));
    const QRect frame = WindowState::onScreen(client.marginsAdded(stored.m_frame), screens);
    window.setGeometry(frame.marginsRemoved(stored.m_frame));
    if (stored.m_maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

} // namespace

void WindowState::save(const QMainWindow& window, const QSplitter& splitter, const QHeaderView& columns) {
    QSettings settings;
    settings.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
    settings.remove(QStringLiteral("window/state")); // kept by earlier versions: the toolbar's place
    settings.setValue(QStringLiteral("window/splitter"), splitter.saveState());
    QList<QVariant> widths;
    for (int i = 0; i < columns.count(); ++i)
        widths.push_back(columns.sectionSize(i));
    settings.setValue(QStringLiteral("window/columns"), widths);
}

bool WindowState::restore(QMainWindow& window, QSplitter& splitter, QHeaderView& columns) {
    const QSettings settings;
    restoreGeometry(window, settings.value(QStringLiteral("window/geometry")).toByteArray());
    const QList<QVariant> widths = settings.value(QStringLiteral("window/columns")).toList();
    for (int i = 0; i < widths.size() && i < columns.count(); ++i) {
        if (const int width = widths[i].toInt(); width > 0)
            columns.resizeSection(i, width);
    }
    return splitter.restoreState(settings.value(QStringLiteral("window/splitter")).toByteArray());
}

QRect WindowState::onScreen(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty())
        return frame;
    const auto shared = [&frame](const QRect& screen) {
        const QRect common = screen.intersected(frame);
        return qint64(common.width()) * common.height();
    };
    const QRect& screen =
        *std::max_element(screens.begin(), screens.end(),
                          [&](const QRect& a, const QRect& b) { return shared(a) < shared(b); });
    QRect fitted(frame.topLeft(), frame.size().boundedTo(screen.size()));
    fitted.moveLeft(std::clamp(fitted.left(), screen.left(), screen.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), screen.top(), screen.bottom() - fitted.height() + 1));
    return fitted;
}

} // namespace vorpex
