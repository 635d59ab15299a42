#include "views/MediaView.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "catalogue/EntryPeek.h"
#include "media/MediaDecoders.h"
#include "media/MediaEntry.h"
#include "platform/MessageTexts.h"
#include "views/SoundView.h"

std::shared_ptr<DecodedMedia> MediaView::decode(const CEntrySource& source, MediaKind kind) {
    auto media = std::make_shared<DecodedMedia>();
    media->category = mediaCategory(kind);
    const MediaResult<std::string> bytes = readMediaEntry(source);
    if (!bytes.isOk()) {
        media->why = QString::fromStdString(bytes.error);
        return media;
    }
    const ByteSpan span = asBytes(bytes.value);
    std::string why;
    switch (media->category) {
    case MediaCategory::Picture: {
        MediaResult<Picture> picture = decodePicture(kind, span);
        why = picture.error;
        media->picture = std::move(picture.value);
        const Picture& p = media->picture;
        // In the screen's own format here, so that the window's thread only scales it.
        if (why.empty())
            media->image =
                QImage(p.rgba.data(), int(p.width), int(p.height), int(p.width) * 4, QImage::Format_RGBA8888)
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        break;
    }
    case MediaCategory::Sound: {
        MediaResult<Sound> sound = decodeSound(kind, span);
        why = sound.error;
        media->sound = std::move(sound.value);
        break;
    }
    case MediaCategory::Text: {
        const MediaResult<std::string> summary = summarizeMidi(span);
        why = summary.error;
        media->text = QString::fromStdString(summary.value);
        break;
    }
    default:
        why = kMediaUnsupported;
    }
    media->why = QString::fromStdString(why);
    return media;
}

MediaView::MediaView(QThreadPool* pool, QWidget* parent) : QWidget(parent), m_pool(pool) {
    setObjectName(QStringLiteral("MediaView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack);

    m_picturePage = new QWidget(m_stack);
    auto* pictureLayout = new QVBoxLayout(m_picturePage);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    m_picture = new QLabel(m_picturePage);
    m_picture->setObjectName(QStringLiteral("MediaPicture"));
    m_picture->setAccessibleName(tr("Image preview"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(1, 1);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored); // the view sets the size
    m_picture->setFocusPolicy(Qt::StrongFocus);
    pictureLayout->addWidget(m_picture, 1);
    m_caption = new QLabel(m_picturePage);
    m_caption->setObjectName(QStringLiteral("MediaCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pictureLayout->addWidget(m_caption);

    m_sound = new SoundView(m_stack);
    m_text = new QPlainTextEdit(m_stack);
    m_text->setObjectName(QStringLiteral("MediaText"));
    m_text->setAccessibleName(tr("Text preview"));
    m_text->setReadOnly(true);
    for (QWidget* page : {m_picturePage, static_cast<QWidget*>(m_sound), static_cast<QWidget*>(m_text)})
        m_stack->addWidget(page);
    setFocusProxy(m_stack);
    connect(m_decode.watcher(), &QFutureWatcher<std::shared_ptr<DecodedMedia>>::finished, this,
            &MediaView::onDecoded);
}

MediaView::~MediaView() = default;

void MediaView::show(std::shared_ptr<const CEntrySource> source, MediaKind kind, const QString& name) {
    clear();
    m_source = std::move(source);
    m_name = name;
    m_decode.start(
        [source = m_source, kind](QPromise<std::shared_ptr<DecodedMedia>>& promise,
                                  const std::atomic<bool>& cancel) {
            if (!cancel)
                promise.addResult(decode(*source, kind));
        },
        m_pool);
}

void MediaView::clear() {
    m_decode.cancel();
    m_source.reset();
    m_decoded.reset();
    m_sound->clear();
    m_picture->clear();
    m_caption->clear();
    m_text->clear();
    m_stack->setCurrentWidget(m_picturePage);
    m_name.clear();
    emit changed();
}

QString MediaView::caption() const {
    return m_caption->text();
}

// The job follows the newest decode; one it followed before may still finish after another was started.
void MediaView::onDecoded() {
    if (!m_source || !m_decode.isFinished() || !m_decode.hasResult())
        return;
    std::shared_ptr<DecodedMedia> media = m_decode.result();
    m_source.reset();
    if (!media->why.isEmpty()) {
        emit refused(media->why);
        return;
    }
    m_decoded = media;
    switch (media->category) {
    case MediaCategory::Picture:
        m_caption->setText(QString::fromStdString(media->picture.description()));
        m_stack->setCurrentWidget(m_picturePage);
        fitPicture();
        break;
    case MediaCategory::Sound:
        m_sound->setSound(media->sound);
        m_stack->setCurrentWidget(m_sound);
        break;
    default:
        m_text->setPlainText(media->text);
        m_stack->setCurrentWidget(m_text);
        break;
    }
    emit changed();
}

QPixmap MediaView::fitted(const QImage& image, QSize room) {
    const bool shrink = image.width() > room.width() || image.height() > room.height();
    return QPixmap::fromImage(shrink && !room.isEmpty()
                                  ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                  : image);
}

void MediaView::fitPicture() {
    if (m_decoded && !m_decoded->image.isNull())
        m_picture->setPixmap(fitted(m_decoded->image, m_picture->contentsRect().size()));
}

void MediaView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}
