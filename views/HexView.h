#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>

// Bytes as rows of 16: offset, the bytes in hex, and the same bytes as characters ('.' for the unprintable).
// Only the rows on screen are formatted when painting, so a view of 256 KiB costs what one of 1 KiB does.
// GUI thread only.
class CHexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kBytesPerRow = 16;

    explicit CHexView(QWidget* parent = nullptr);

    void SetData(QByteArray data);
    const QByteArray& Data() const { return m_Data; }
    int RowCount() const { return static_cast<int>((m_Data.size() + kBytesPerRow - 1) / kBytesPerRow); }
    // "00000010  48 65 6c 6c 6f ...  |Hello...|" for row 1.
    QString RowText(int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdateScrollBars();
    int LineHeight() const;

    QByteArray m_Data;
};
