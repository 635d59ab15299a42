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

namespace vorpex {

std::shared_ptr<DecodedMedia> MediaView::decode(const EntrySource& source, MediaKind kind) {
    auto media = std::make_shared<DecodedMedia>();
    media->m_category = mediaCategory(kind);
    const MediaResult<std::string> bytes = readMediaEntry(source);
    if (!bytes.isOk()) {
        media->m_why = QString::fromStdString(bytes.m_error);
        return media;
    }
    const ByteSpan span = asBytes(bytes.m_value);
    std::string why;
    switch (media->m_category) {
    case MediaCategory::Picture: {
        MediaResult<Picture> picture = decodePicture(kind, span);
        why = picture.m_error;
        media->m_picture = std::move(picture.m_value);
        const Picture& p = media->m_picture;
        // In the screen's own format here, so that the window's thread only scales it.
        if (why.empty())
            media->m_image = QImage(p.m_rgba.data(), int(p.m_width), int(p.m_height), int(p.m_width) * 4,
                                    QImage::Format_RGBA8888)
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        break;
    }
    case MediaCategory::Sound: {
        MediaResult<Sound> sound = decodeSound(kind, span);
        why = sound.m_error;
        media->m_sound = std::move(sound.m_value);
        break;
    }
    case MediaCategory::Text: {
        const MediaResult<std::string> summary = summarizeMidi(span);
        why = summary.m_error;
        media->m_text = QString::fromStdString(summary.m_value);
        break;
    }
    default:
        why = kMediaUnsupported;
    }
    media->m_why = QString::fromStdString(why);
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

void MediaView::show(std::shared_ptr<const EntrySource> source, MediaKind kind, const QString& name) {
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
    if (!media->m_why.isEmpty()) {
        emit refused(media->m_why);
        return;
    }
    m_decoded = media;
    switch (media->m_category) {
    case MediaCategory::Picture:
        m_caption->setText(QString::fromStdString(media->m_picture.description()));
        m_stack->setCurrentWidget(m_picturePage);
        fitPicture();
        break;
    case MediaCategory::Sound:
        m_sound->setSound(media->m_sound);
        m_stack->setCurrentWidget(m_sound);
        break;
    default:
        m_text->setPlainText(media->m_text);
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
    if (m_decoded && !m_decoded->m_image.isNull())
        m_picture->setPixmap(fitted(m_decoded->m_image, m_picture->contentsRect().size()));
}

void MediaView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPicture();
}

} // namespace vorpex
