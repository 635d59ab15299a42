#include "views/PreviewPane.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextCursor>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "catalogue/EntryPeek.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "platform/MessageTexts.h"
#include "views/HexView.h"
#include "views/MediaView.h"

namespace vorpex {

namespace {

constexpr qsizetype kFirstPart = 8 * 1024; // text shown at once; the rest follows when the window is idle
constexpr qsizetype kLongestLine = 4096;   // longer lines are broken: laying out one costs its whole length

QString forDisplay(const QString& raw) {
    QString text;
    text.reserve(raw.size() + raw.size() / kLongestLine);
    qsizetype run = 0;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c == QLatin1Char('\r') && i + 1 < raw.size() && raw[i + 1] == QLatin1Char('\n'))
            continue;
        if (c == QLatin1Char('\n')) {
            run = 0;
        } else if (++run > kLongestLine) {
            text += QLatin1Char('\n');
            run = 1;
        }
        text += c;
    }
    return text;
}

// True when Qt's reader of `format` decodes the picture whose first bytes are `head` straight at a smaller
// size, so that memory follows the size asked for: JPEG, and PNG unless interlaced (its seven passes are
// put together at full size). Other formats decode whole and scale afterwards.
bool scalesWhileDecoding(const QByteArray& format, const QByteArray& head) {
    if (format == "png")
        return head.size() > 28 && head[28] == 0; // the interlace method of the header, which comes first
    return format == "jpeg";
}

qint64 pixelCount(QSize size) {
    return qint64(size.width()) * size.height();
}

// On the pane's threads: reads the whole entry and decodes it at `size`. Null when it cannot be read or
// decoded, would take more than the pixel budget, or is no longer wanted (`cancel`), which is also checked
// before the work starts.
QImage decodePicture(const EntrySource& source, QSize size, const std::atomic<bool>& cancel) {
    if (cancel)
        return {};
    const EntryPeek whole = source.read(source.size());
    if (!whole.isRead() || cancel)
        return {};
    QByteArray data = QByteArray::fromRawData(whole.m_data.data(), qsizetype(whole.m_data.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize full = reader.size();
    if (!full.isValid() || pixelCount(size) > PreviewPane::kPixelBudget ||
        (pixelCount(full) > PreviewPane::kPixelBudget && !scalesWhileDecoding(reader.format(), data)))
        return {};
    if (size != full)
        reader.setScaledSize(size);
    return reader.read();
}

QLabel* newLabel(const char* name, const QString& accessible, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(accessible);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

} // namespace

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewPane"));
    setAccessibleName(tr("Preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_title = newLabel("PreviewTitle", tr("Previewed file"), this);
    m_title->setTextFormat(Qt::PlainText);
    layout->addWidget(m_title);

    m_stack = new QStackedWidget(this);
    m_text = new QPlainTextEdit(m_stack);
    m_text->setObjectName(QStringLiteral("PreviewText"));
    m_text->setAccessibleName(tr("Text preview"));
    m_text->setReadOnly(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_picture = newLabel("PreviewImage", tr("Image preview"), m_stack);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(1, 1);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored); // the pane sets the size
    m_picture->setFocusPolicy(Qt::StrongFocus);
    m_hex = new HexView(m_stack);
    m_message = newLabel("PreviewMessage", tr("Preview message"), m_stack);
    m_message->setAlignment(Qt::AlignCenter);
    m_message->setWordWrap(true);
    m_message->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* page : {static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_picture),
                          static_cast<QWidget*>(m_hex), static_cast<QWidget*>(m_message)})
        m_stack->addWidget(page);
    layout->addWidget(m_stack, 1);

    m_note = newLabel("PreviewNote", tr("Preview note"), this);
    m_note->setWordWrap(true);
    layout->addWidget(m_note);
    setFocusProxy(m_stack);

    m_pool = new QThreadPool(this);
    m_pool->setObjectName(QStringLiteral("PreviewDecoders"));
    m_pool->setMaxThreadCount(2);
    // What our decoders refuse shows as bytes, with the reason.
    m_media = new MediaView(m_pool, m_stack);
    m_stack->addWidget(m_media);
    connect(m_media, &MediaView::refused, this, [this](const QString& why) {
        m_cutNote = m_cutNote.isEmpty() ? why : why + QLatin1Char(' ') + m_cutNote;
        showBytes();
    });
    connect(m_decode.watcher(), &QFutureWatcher<QImage>::finished, this, &PreviewPane::onDecoded);
    m_redecode = new QTimer(this);
    m_redecode->setSingleShot(true);
    m_redecode->setInterval(150);
    connect(m_redecode, &QTimer::timeout, this, [this] {
        if (!m_source)
            return;
        const QSize size = decodeSize(m_fullSize, room());
        if (size.width() > m_asked.width() || size.height() > m_asked.height())
            decode(size);
    });
    clear();
}

// A decode still queued skips its work; one under way is waited for and dropped.
PreviewPane::~PreviewPane() = default;

QString PreviewPane::note() const {
    return m_kind == Kind::Message || m_kind == Kind::Empty ? m_message->text() : m_note->text();
}

QString PreviewPane::text() const {
    return m_text->toPlainText();
}

void PreviewPane::showText(const std::string& utf8) {
    if (utf8.size() <= size_t(kFirstPart)) {
        m_text->setPlainText(forDisplay(QString::fromStdString(utf8)));
        return;
    }
    // The first screenfuls paint at once, whatever the size of the text: cut after a line's end, else
    // between two characters.
    size_t cut = utf8.rfind('\n', size_t(kFirstPart));
    if (cut == std::string::npos || cut == 0)
        for (cut = size_t(kFirstPart); cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80;)
            --cut;
    m_text->setPlainText(forDisplay(QString::fromUtf8(utf8.data(), qsizetype(cut))));
    QTimer::singleShot(0, this, [this, serial = m_serial, rest = utf8.substr(cut)] {
        if (serial != m_serial)
            return; // another file is shown by now
        QTextCursor end(m_text->document());
        end.movePosition(QTextCursor::End);
        end.insertText(forDisplay(QString::fromStdString(rest)));
    });
}

void PreviewPane::setKind(Kind kind, const QString& note) {
    ++m_serial;
    m_decode.cancel(); // the decode of another picture is of no use now
    m_source.reset();
    m_redecode->stop();
    if (kind != Kind::Image && kind != Kind::Media) {
        m_head.clear();
        m_headText.reset();
    }
    m_media->clear(); // stops a sound playing
    m_kind = kind;
    const bool bMessage = kind == Kind::Message || kind == Kind::Empty;
    if (bMessage)
        m_message->setText(note);
    m_note->setText(bMessage ? QString() : note);
    m_note->setVisible(!bMessage && !note.isEmpty());
    if (kind != Kind::Text)
        m_text->clear();
    if (kind != Kind::Hex)
        m_hex->setData({});
    if (kind != Kind::Image) {
        m_image = QImage();
        m_picture->clear();
    }
    switch (kind) {
    case Kind::Text:
        m_stack->setCurrentWidget(m_text);
        break;
    case Kind::Image:
        m_stack->setCurrentWidget(m_picture);
        break;
    case Kind::Hex:
        m_stack->setCurrentWidget(m_hex);
        break;
    case Kind::Media:
        m_stack->setCurrentWidget(m_media);
        break;
    case Kind::Empty:
    case Kind::Message:
        m_stack->setCurrentWidget(m_message);
        break;
    }
}

void PreviewPane::clear() {
    m_title->clear();
    setKind(Kind::Empty, tr("Select a file to preview it."));
}

bool PreviewPane::looksLikeText(const QByteArray& data) {
    qsizetype controls = 0;
    for (const char c : data) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            return false;
        // Tabs, line and page ends, and the old end-of-file mark are at home in text.
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' && byte != 0x1a)
            ++controls;
    }
    return controls * 100 <= data.size();
}

void PreviewPane::showEntry(const PackFile* pack, const PackEntry* entry, const NameCodec* codec) {
    if (!pack || !entry || !codec) {
        clear();
        return;
    }
    m_title->setText(QString::fromStdString(codec->decode(entry->name())));
    const EntryPeek peek = EntryPeek::read(*pack, *entry);
    if (!peek.isRead()) {
        setKind(Kind::Message, QString::fromLatin1(peek.why()));
        return;
    }
    if (entry->size() == 0) {
        setKind(Kind::Message, tr("This file is empty."));
        return;
    }
    m_head = QByteArray::fromStdString(peek.m_data);
    const QLocale locale;
    m_cutNote = peek.m_cut ? tr("Only the first %1 of %2 are shown.")
                                 .arg(locale.formattedDataSize(m_head.size()),
                                      locale.formattedDataSize(qint64(entry->size())))
                           : QString();
    m_headText.reset();
    if (looksLikeText(m_head))
        m_headText = codec->decode(peek.m_data);
    if (!showMedia(*pack, *entry, !peek.m_cut) && !showImage(*pack, *entry, m_head))
        showBytes();
}

void PreviewPane::showAs(const PackFile* pack, const PackEntry* entry, const NameCodec* codec,
                         MediaKind kind) {
    m_forcedKind = kind;
    showEntry(pack, entry, codec);
    m_forcedKind.reset();
}

bool PreviewPane::showMedia(const PackFile& pack, const PackEntry& entry, bool whole) {
    const ByteSpan head(reinterpret_cast<const uint8_t*>(m_head.constData()), size_t(m_head.size()));
    const MediaKind kind = m_forcedKind ? *m_forcedKind : recognizeMedia(head, entry.name(), whole);
    const MediaCategory category = mediaCategory(kind);
    if (category != MediaCategory::Picture && category != MediaCategory::Sound &&
        category != MediaCategory::Text)
        return false;
    setKind(Kind::Media, QString());
    m_media->show(std::make_shared<const EntrySource>(pack, entry), kind, m_title->text());
    return true;
}

void PreviewPane::showBytes() {
    const QByteArray head = std::move(m_head);
    const std::optional<std::string> text = std::move(m_headText);
    setKind(text ? Kind::Text : Kind::Hex, m_cutNote);
    if (text)
        showText(*text);
    else
        m_hex->setData(head);
}

// Only the picture's header is read here; its bytes are read and decoded on the pane's threads.
bool PreviewPane::showImage(const PackFile& pack, const PackEntry& entry, const QByteArray& head) {
    QBuffer probe;
    probe.setData(head);
    probe.open(QIODevice::ReadOnly);
    QImageReader sniff(&probe);
    sniff.setDecideFormatFromContent(true);
    if (!sniff.canRead() || entry.size() > kImageLimit)
        return false;
    const QSize full = sniff.size();
    if (!full.isValid())
        return false; // what decoding it would cost is unknown: shown as bytes
    const QString pixels = tr("%1 x %2 pixels").arg(full.width()).arg(full.height());
    if (pixelCount(full) > kPixelBudget && !scalesWhileDecoding(sniff.format(), head)) {
        setKind(Kind::Message, QString::fromLatin1(kPreviewTooLarge) + pixels + QLatin1Char('.'));
        return true;
    }
    auto source = std::make_shared<const EntrySource>(pack, entry);
    setKind(Kind::Image, pixels);
    m_source = std::move(source);
    m_fullSize = full;
    decode(decodeSize(full, room()));
    return true;
}

QSize PreviewPane::decodeSize(QSize full, QSize room) {
    QSize size = full;
    if (!room.isEmpty() && (full.width() > room.width() || full.height() > room.height()))
        size = full.scaled(room, Qt::KeepAspectRatio);
    if (const qint64 pixels = pixelCount(size); pixels > kPixelBudget) {
        const double factor = std::sqrt(double(kPixelBudget) / double(pixels));
        size = QSize(int(size.width() * factor), int(size.height() * factor));
    }
    return size.expandedTo(QSize(1, 1));
}

void PreviewPane::decode(QSize size) {
    m_asked = size;
    m_decode.cancel();
    m_decode.start(
        [source = m_source, size](QPromise<QImage>& promise, const std::atomic<bool>& cancel) {
            promise.addResult(decodePicture(*source, size, cancel));
        },
        m_pool);
}

// The job follows the newest decode, whose picture is still the one shown unless it was cancelled. A finish
// of the decode it followed before may still come in after it was given the newest.
void PreviewPane::onDecoded() {
    if (m_kind != Kind::Image || !m_decode.isFinished() || !m_decode.hasResult())
        return;
    QImage image = m_decode.result();
    if (!image.isNull()) {
        m_image = std::move(image);
        fitImage();
    } else if (m_image.isNull()) {
        showBytes(); // said it was a picture but is none: shown as bytes instead
    }
}

QSize PreviewPane::room() const {
    return m_stack->contentsRect().size();
}

void PreviewPane::fitImage() {
    if (m_image.isNull())
        return;
    m_picture->setPixmap(MediaView::fitted(m_image, room()));
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitImage();
    if (m_source)
        m_redecode->start();
}

} // namespace vorpex
