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

class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QThreadPool;
class QTimer;

namespace vorpex {

class EntrySource;
class HexView;
class NameCodec;
class PackEntry;
class PackFile;
class MediaView;

// The preview beside the file list: the selected file as text (decoded with the archive's code page) when
// its bytes look like text, as a picture when Qt reads it (scaled down to fit, with its size in pixels),
// else as hex. Text and hex show only the entry's first EntryPeek::kMaxBytes, with a note when cut, so any
// entry shows as fast as a small one. A picture is read and decoded on threads of the pane, at the size shown
// and within kPixelBudget, and shows when done unless another entry is shown by then. The pane keeps copies
// of what it shows and its own descriptor on the archive, never a pointer into the catalogue, so neither
// it nor a decode in progress can read a catalogue that has gone. GUI thread only.
class PreviewPane : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Empty, Text, Image, Hex, Message, Media };
    // Pictures up to this size are read whole to be shown; bigger ones are shown as hex.
    static constexpr uint32_t kImageLimit = 64u << 20;
    // The most pixels a picture is decoded at (64 MiB as 32-bit pixels). A bigger one is decoded scaled
    // down where its format can do so while decoding (JPEG, PNG); any other is refused with a message.
    static constexpr qint64 kPixelBudget = qint64(4096) * 4096;

    explicit PreviewPane(QWidget* parent = nullptr);
    ~PreviewPane() override;

    // Shows `entry` of `pack`, names and text decoded with `codec`; a null entry empties the pane.
    void showEntry(const PackFile* pack, const PackEntry* entry, const NameCodec* codec);
    void clear();
    // Shows `entry` decoded as `kind`, whatever it looks like (View, "Preview As...").
    void showAs(const PackFile* pack, const PackEntry* entry, const NameCodec* codec, MediaKind kind);

    Kind kind() const { return m_kind; }
    QString note() const; // the pixel size, the note that the view is cut, or why nothing is shown
    QString text() const; // the text shown (text kind)
    const QImage& image() const { return m_image; } // null while a picture is being decoded
    HexView* hexView() const { return m_hex; }
    MediaView* mediaView() const { return m_media; } // the media kind's page

    // True when `data` reads as text: no NUL byte and hardly any control characters.
    static bool looksLikeText(const QByteArray& data);
    // The size to decode a picture of `full` pixels at to show it in `room`: scaled down to fit, never
    // up, and to at most kPixelBudget pixels.
    static QSize decodeSize(QSize full, QSize room);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setKind(Kind kind, const QString& note);
    void showText(const std::string& utf8);
    void showBytes(); // the kept head of the entry, as text or hex
    bool showImage(const PackFile& pack, const PackEntry& entry, const QByteArray& head);
    bool showMedia(const PackFile& pack, const PackEntry& entry, bool whole);
    void decode(QSize size);
    void onDecoded();
    void fitImage();
    QSize room() const; // what the picture may take

    Kind m_kind = Kind::Empty;
    unsigned m_serial = 0; // grows with every change of what is shown
    // Pictures decode on a pool of the pane's own: Qt scales big images on the global pool and waits for it,
    // which must never be behind a decode.
    QThreadPool* m_pool;
    Job<QImage> m_decode; // the newest decode; cancelled once its picture is no longer shown
    QTimer* m_redecode;   // a grown pane decodes the picture again, once the resizing has settled
    // The picture shown: where its bytes lie, its size, and the size it was last asked to be decoded at.
    std::shared_ptr<const EntrySource> m_source;
    QSize m_fullSize;
    QSize m_asked;
    // The entry's first bytes and what they show as, for a picture Qt turns out not to read after all.
    QByteArray m_head;
    QString m_cutNote;
    std::optional<std::string> m_headText; // decoded, when the head looks like text
    QImage m_image;
    QLabel* m_title;
    QStackedWidget* m_stack;
    QPlainTextEdit* m_text;
    QLabel* m_picture;
    HexView* m_hex;
    QLabel* m_message;
    QLabel* m_note;
    MediaView* m_media; // pictures, sounds and music of old games, decoded by our own decoders
    std::optional<MediaKind> m_forcedKind; // while showAs() shows an entry
};

} // namespace vorpex
