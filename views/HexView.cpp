#include "views/HexView.h"

#include <QFontDatabase>
#include <QPainter>
#include <QScrollBar>

namespace vorpex {

HexView::HexView(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("HexView"));
    setAccessibleName(tr("Hex view"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void HexView::setData(QByteArray data) {
    m_data = std::move(data);
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

QString HexView::rowText(int row) const {
    static const char kHex[] = "0123456789abcdef";
    const qsizetype start = qsizetype(row) * kBytesPerRow;
    QString text = QStringLiteral("%1  ").arg(start, 8, 16, QLatin1Char('0'));
    QString chars;
    for (int i = 0; i < kBytesPerRow; ++i) {
        if (start + i < m_data.size()) {
            const auto byte = static_cast<unsigned char>(m_data[start + i]);
            text += QLatin1Char(kHex[byte >> 4]);
            text += QLatin1Char(kHex[byte & 15]);
            chars += byte >= 0x20 && byte < 0x7f ? QLatin1Char(char(byte)) : QLatin1Char('.');
        } else {
            text += QStringLiteral("  ");
        }
        text += QLatin1Char(' ');
        if (i == 7)
            text += QLatin1Char(' '); // a wider gap after the eighth byte
    }
    return text + QLatin1Char('|') + chars + QLatin1Char('|');
}

int HexView::lineHeight() const {
    return fontMetrics().height();
}

void HexView::updateScrollBars() {
    const int lines = viewport()->height() / std::max(lineHeight(), 1);
    verticalScrollBar()->setRange(0, std::max(rowCount() - lines, 0));
    verticalScrollBar()->setPageStep(std::max(lines, 1));
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('0')) * 78;
    horizontalScrollBar()->setRange(0, std::max(width - viewport()->width(), 0));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const int height = lineHeight();
    const int first = verticalScrollBar()->value();
    const int x = 4 - horizontalScrollBar()->value();
    const int ascent = fontMetrics().ascent();
    for (int row = first, y = 0; row < rowCount() && y < viewport()->height(); ++row, y += height)
        painter.drawText(x, y + ascent, rowText(row));
}

} // namespace vorpex
