#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "jobs/Job.h"
#include "media/MediaDecoders.h"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;
class QThreadPool;

namespace vorpex {

class EntrySource;
class SoundView;

// What an entry decoded to for the preview: a picture, a sound, a MIDI file's summary, or why not.
struct DecodedMedia {
    MediaCategory m_category = MediaCategory::None;
    Picture m_picture;
    QImage m_image; // the picture, for the screen
    Sound m_sound;
    QString m_text;
    QString m_why; // set when the decoder refused the entry
};

// The preview's page for the formats of old games that Qt does not read: pictures and palettes scaled to
// fit with their size and colour depth, sounds to play, a MIDI file's tracks, tempo and length. The entry is
// read and decoded on the pane's threads; what it decodes to shows when done, unless another entry is
// shown by then. An entry the decoder refuses is announced by refused(), for the pane to show its bytes.
// GUI thread only.
class MediaView : public QWidget {
    Q_OBJECT
public:
    MediaView(QThreadPool* pool, QWidget* parent = nullptr);
    ~MediaView() override;

    // Starts decoding `source` (the entry `name`) as `kind`; the page stays empty until it is done.
    void show(std::shared_ptr<const EntrySource> source, MediaKind kind, const QString& name);
    // Stops the playing and forgets the entry.
    void clear();

    // What is shown, once decoded; null while decoding, or when it was refused.
    const DecodedMedia* decoded() const { return m_decoded.get(); }
    bool isDecoding() const { return m_source != nullptr; }
    QString caption() const;
    QString name() const { return m_name; }
    SoundView* soundView() const { return m_sound; }

    // `image` scaled down to fit `room`, never up: the pixels of a small picture stay sharp.
    static QPixmap fitted(const QImage& image, QSize room);
    // Reads and decodes `source` as `kind`, on any thread.
    static std::shared_ptr<DecodedMedia> decode(const EntrySource& source, MediaKind kind);

signals:
    void refused(const QString& why);
    // A picture, sound or summary is shown, or the page was emptied.
    void changed();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void onDecoded();
    void fitPicture();

    QThreadPool* m_pool;
    Job<std::shared_ptr<DecodedMedia>> m_decode;
    std::shared_ptr<const EntrySource> m_source; // while decoding
    std::shared_ptr<const DecodedMedia> m_decoded;
    QString m_name;
    QStackedWidget* m_stack;
    QWidget* m_picturePage;
    QLabel* m_picture;
    QLabel* m_caption;
    SoundView* m_sound;
    QPlainTextEdit* m_text;
};

} // namespace vorpex
