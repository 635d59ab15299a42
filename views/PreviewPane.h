#pragma once

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "jobs/Job.h"
#include "media/MediaTypes.h"

class CEntrySource;
class CHexView;
class CNameCodec;
class CPackEntry;
class CPackFile;
class MediaView;
class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QThreadPool;
class QTimer;

// The preview beside the file list: the selected file as text (decoded with the archive's code page) when
// its bytes look like text, as a picture when Qt reads it (scaled down to fit, with its size in pixels),
// else as hex. Text and hex show only the entry's first CEntryPeek::kMaxBytes, with a note when cut, so any
// entry shows as fast as a small one. A picture is read and decoded on threads of the pane, at the size shown
// and within kPixelBudget, and shows when done unless another entry is shown by then. The pane keeps copies
// of what it shows and its own descriptor on the archive, never a pointer into the catalogue, so neither
// it nor a decode in progress can read a catalogue that has gone. GUI thread only.
class CPreviewPane : public QWidget {
    Q_OBJECT
public:
    enum class EKind { Empty, Text, Image, Hex, Message, Media };
    // Pictures up to this size are read whole to be shown; bigger ones are shown as hex.
    static constexpr uint32_t kImageLimit = 64u << 20;
    // The most pixels a picture is decoded at (64 MiB as 32-bit pixels). A bigger one is decoded scaled
    // down where its format can do so while decoding (JPEG, PNG); any other is refused with a message.
    static constexpr qint64 kPixelBudget = qint64(4096) * 4096;

    explicit CPreviewPane(QWidget* parent = nullptr);
    ~CPreviewPane() override;

    // Shows `entry` of `pack`, names and text decoded with `codec`; a null entry empties the pane.
    void ShowEntry(const CPackFile* pack, const CPackEntry* entry, const CNameCodec* codec);
    void Clear();
    // Shows `entry` decoded as `kind`, whatever it looks like (View, "Preview As...").
    void showAs(const CPackFile* pack, const CPackEntry* entry, const CNameCodec* codec, MediaKind kind);

    EKind Kind() const { return m_eKind; }
    QString Note() const; // the pixel size, the note that the view is cut, or why nothing is shown
    QString Text() const; // the text shown (text kind)
    const QImage& Image() const { return m_Image; } // null while a picture is being decoded
    CHexView* HexView() const { return m_pHex; }
    MediaView* mediaView() const { return m_media; } // the media kind's page

    // True when `data` reads as text: no NUL byte and hardly any control characters.
    static bool LooksLikeText(const QByteArray& data);
    // The size to decode a picture of `full` pixels at to show it in `room`: scaled down to fit, never
    // up, and to at most kPixelBudget pixels.
    static QSize DecodeSize(QSize full, QSize room);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetKind(EKind kind, const QString& note);
    void ShowText(const std::string& utf8);
    void ShowBytes(); // the kept head of the entry, as text or hex
    bool ShowImage(const CPackFile& pack, const CPackEntry& entry, const QByteArray& head);
    bool showMedia(const CPackFile& pack, const CPackEntry& entry, bool whole);
    void Decode(QSize size);
    void OnDecoded();
    void FitImage();
    QSize Room() const; // what the picture may take

    EKind m_eKind = EKind::Empty;
    unsigned m_nSerial = 0; // grows with every change of what is shown
    // Pictures decode on a pool of the pane's own: Qt scales big images on the global pool and waits for it,
    // which must never be behind a decode.
    QThreadPool* m_pPool;
    Job<QImage> m_decode; // the newest decode; cancelled once its picture is no longer shown
    QTimer* m_pRedecode;  // a grown pane decodes the picture again, once the resizing has settled
    // The picture shown: where its bytes lie, its size, and the size it was last asked to be decoded at.
    std::shared_ptr<const CEntrySource> m_pSource;
    QSize m_FullSize;
    QSize m_Asked;
    // The entry's first bytes and what they show as, for a picture Qt turns out not to read after all.
    QByteArray m_Head;
    QString m_strCutNote;
    std::optional<std::string> m_HeadText; // decoded, when the head looks like text
    QImage m_Image;
    QLabel* m_pTitle;
    QStackedWidget* m_pStack;
    QPlainTextEdit* m_pText;
    QLabel* m_pPicture;
    CHexView* m_pHex;
    QLabel* m_pMessage;
    QLabel* m_pNote;
    MediaView* m_media; // pictures, sounds and music of old games, decoded by our own decoders
    std::optional<MediaKind> m_forcedKind; // while showAs() shows an entry
};
