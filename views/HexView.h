#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

namespace vorpex {

// Bytes as rows of 16: offset, the bytes in hex, and the same bytes as characters ('.' for the unprintable).
// Only the rows on screen are formatted when painting, so a view of 256 KiB costs what one of 1 KiB does.
// GUI thread only.
class HexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kBytesPerRow = 16;

    explicit HexView(QWidget* parent = nullptr);

    void setData(QByteArray data);
    const QByteArray& data() const { return m_data; }
    int rowCount() const { return static_cast<int>((m_data.size() + kBytesPerRow - 1) / kBytesPerRow); }
    // "00000010  48 65 6c 6c 6f ...  |Hello...|" for row 1.
    QString rowText(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();
    int lineHeight() const;

    QByteArray m_data;
};

} // namespace vorpex
