#pragma once

#include <QImage>
#include <QWidget>
#include <string>

class CHexView;
class CNameCodec;
class CPackEntry;
class CPackFile;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;

// The preview beside the file list: the selected file as text (decoded with the archive's code page) when
// its bytes look like text, as a picture when Qt reads it (scaled down to fit, with its size in pixels),
// else as hex. Text and hex show only the entry's first CEntryPeek::kMaxBytes, with a note when cut, so any
// entry shows as fast as a small one. The pane keeps copies of what it shows, never a pointer into the
// catalogue, so it cannot read a catalogue that has gone. GUI thread only.
class CPreviewPane : public QWidget {
    Q_OBJECT
public:
    enum class EKind { Empty, Text, Image, Hex, Message };
    // Pictures up to this size are read whole to be shown; bigger ones are shown as hex.
    static constexpr uint32_t kImageLimit = 64u << 20;

    explicit CPreviewPane(QWidget* parent = nullptr);

    // Shows `entry` of `pack`, names and text decoded with `codec`; a null entry empties the pane.
    void ShowEntry(const CPackFile* pack, const CPackEntry* entry, const CNameCodec* codec);
    void Clear();

    EKind Kind() const { return m_eKind; }
    QString Title() const;
    QString Note() const; // the pixel size, the note that the view is cut, or why nothing is shown
    QString Text() const; // the text shown (text kind)
    const QImage& Image() const { return m_Image; }
    CHexView* HexView() const { return m_pHex; }

    // True when `data` reads as text: no NUL byte and hardly any control characters.
    static bool LooksLikeText(const QByteArray& data);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetKind(EKind kind, const QString& note);
    void ShowText(const std::string& utf8);
    bool ShowImage(const CPackFile& pack, const CPackEntry& entry, const QByteArray& head);
    void FitImage();

    EKind m_eKind = EKind::Empty;
    unsigned m_nSerial = 0; // grows with every change of what is shown
    QImage m_Image;
    QLabel* m_pTitle;
    QStackedWidget* m_pStack;
    QPlainTextEdit* m_pText;
    QLabel* m_pPicture;
    CHexView* m_pHex;
    QLabel* m_pMessage;
    QLabel* m_pNote;
};
