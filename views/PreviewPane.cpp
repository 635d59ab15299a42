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

namespace {

constexpr qsizetype kFirstPart = 8 * 1024; // text shown at once; the rest follows when the window is idle
constexpr qsizetype kLongestLine = 4096;   // longer lines are broken: laying out one costs its whole length

QString ForDisplay(const QString& raw) {
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
bool ScalesWhileDecoding(const QByteArray& format, const QByteArray& head) {
    if (format == "png")
        return head.size() > 28 && head[28] == 0; // the interlace method of the header, which comes first
    return format == "jpeg";
}

qint64 Pixels(QSize size) {
    return qint64(size.width()) * size.height();
}

// On the pane's threads: reads the whole entry and decodes it at `size`. Null when it cannot be read or
// decoded, would take more than the pixel budget, or is no longer wanted (`cancel`), which is also checked
// before the work starts.
QImage DecodePicture(const CEntrySource& source, QSize size, const std::atomic<bool>& cancel) {
    if (cancel)
        return {};
    const CEntryPeek whole = source.Read(source.Size());
    if (!whole.IsRead() || cancel)
        return {};
    QByteArray data = QByteArray::fromRawData(whole.m_strData.data(), qsizetype(whole.m_strData.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize full = reader.size();
    if (!full.isValid() || Pixels(size) > CPreviewPane::kPixelBudget ||
        (Pixels(full) > CPreviewPane::kPixelBudget && !ScalesWhileDecoding(reader.format(), data)))
        return {};
    if (size != full)
        reader.setScaledSize(size);
    return reader.read();
}

QLabel* NewLabel(const char* name, const QString& accessible, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(accessible);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return label;
}

} // namespace

CPreviewPane::CPreviewPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewPane"));
    setAccessibleName(tr("Preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pTitle = NewLabel("PreviewTitle", tr("Previewed file"), this);
    m_pTitle->setTextFormat(Qt::PlainText);
    layout->addWidget(m_pTitle);

    m_pStack = new QStackedWidget(this);
    m_pText = new QPlainTextEdit(m_pStack);
    m_pText->setObjectName(QStringLiteral("PreviewText"));
    m_pText->setAccessibleName(tr("Text preview"));
    m_pText->setReadOnly(true);
    m_pText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_pPicture = NewLabel("PreviewImage", tr("Image preview"), m_pStack);
    m_pPicture->setAlignment(Qt::AlignCenter);
    m_pPicture->setMinimumSize(1, 1);
    m_pPicture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored); // the pane sets the size
    m_pPicture->setFocusPolicy(Qt::StrongFocus);
    m_pHex = new CHexView(m_pStack);
    m_pMessage = NewLabel("PreviewMessage", tr("Preview message"), m_pStack);
    m_pMessage->setAlignment(Qt::AlignCenter);
    m_pMessage->setWordWrap(true);
    m_pMessage->setFocusPolicy(Qt::StrongFocus);
    for (QWidget* page : {static_cast<QWidget*>(m_pText), static_cast<QWidget*>(m_pPicture),
                          static_cast<QWidget*>(m_pHex), static_cast<QWidget*>(m_pMessage)})
        m_pStack->addWidget(page);
    layout->addWidget(m_pStack, 1);

    m_pNote = NewLabel("PreviewNote", tr("Preview note"), this);
    m_pNote->setWordWrap(true);
    layout->addWidget(m_pNote);
    setFocusProxy(m_pStack);

    m_pPool = new QThreadPool(this);
    m_pPool->setObjectName(QStringLiteral("PreviewDecoders"));
    m_pPool->setMaxThreadCount(2);
    // What our decoders refuse shows as bytes, with the reason.
    m_media = new MediaView(m_pPool, m_pStack);
    m_pStack->addWidget(m_media);
    connect(m_media, &MediaView::refused, this, [this](const QString& why) {
        m_strCutNote = m_strCutNote.isEmpty() ? why : why + QLatin1Char(' ') + m_strCutNote;
        ShowBytes();
    });
    connect(m_decode.watcher(), &QFutureWatcher<QImage>::finished, this, &CPreviewPane::OnDecoded);
    m_pRedecode = new QTimer(this);
    m_pRedecode->setSingleShot(true);
    m_pRedecode->setInterval(150);
    connect(m_pRedecode, &QTimer::timeout, this, [this] {
        if (!m_pSource)
            return;
        const QSize size = DecodeSize(m_FullSize, Room());
        if (size.width() > m_Asked.width() || size.height() > m_Asked.height())
            Decode(size);
    });
    Clear();
}

// A decode still queued skips its work; one under way is waited for and dropped.
CPreviewPane::~CPreviewPane() = default;

QString CPreviewPane::Note() const {
    return m_eKind == EKind::Message || m_eKind == EKind::Empty ? m_pMessage->text() : m_pNote->text();
}

QString CPreviewPane::Text() const {
    return m_pText->toPlainText();
}

void CPreviewPane::ShowText(const std::string& utf8) {
    if (utf8.size() <= size_t(kFirstPart)) {
        m_pText->setPlainText(ForDisplay(QString::fromStdString(utf8)));
        return;
    }
    // The first screenfuls paint at once, whatever the size of the text: cut after a line's end, else
    // between two characters.
    size_t cut = utf8.rfind('\n', size_t(kFirstPart));
    if (cut == std::string::npos || cut == 0)
        for (cut = size_t(kFirstPart); cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80;)
            --cut;
    m_pText->setPlainText(ForDisplay(QString::fromUtf8(utf8.data(), qsizetype(cut))));
    QTimer::singleShot(0, this, [this, serial = m_nSerial, rest = utf8.substr(cut)] {
        if (serial != m_nSerial)
            return; // another file is shown by now
        QTextCursor end(m_pText->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ForDisplay(QString::fromStdString(rest)));
    });
}

void CPreviewPane::SetKind(EKind kind, const QString& note) {
    ++m_nSerial;
    m_decode.cancel(); // the decode of another picture is of no use now
    m_pSource.reset();
    m_pRedecode->stop();
    if (kind != EKind::Image && kind != EKind::Media) {
        m_Head.clear();
        m_HeadText.reset();
    }
    m_media->clear(); // stops a sound playing
    m_eKind = kind;
    const bool bMessage = kind == EKind::Message || kind == EKind::Empty;
    if (bMessage)
        m_pMessage->setText(note);
    m_pNote->setText(bMessage ? QString() : note);
    m_pNote->setVisible(!bMessage && !note.isEmpty());
    if (kind != EKind::Text)
        m_pText->clear();
    if (kind != EKind::Hex)
        m_pHex->SetData({});
    if (kind != EKind::Image) {
        m_Image = QImage();
        m_pPicture->clear();
    }
    switch (kind) {
    case EKind::Text:
        m_pStack->setCurrentWidget(m_pText);
        break;
    case EKind::Image:
        m_pStack->setCurrentWidget(m_pPicture);
        break;
    case EKind::Hex:
        m_pStack->setCurrentWidget(m_pHex);
        break;
    case EKind::Media:
        m_pStack->setCurrentWidget(m_media);
        break;
    case EKind::Empty:
    case EKind::Message:
        m_pStack->setCurrentWidget(m_pMessage);
        break;
    }
}

void CPreviewPane::Clear() {
    m_pTitle->clear();
    SetKind(EKind::Empty, tr("Select a file to preview it."));
}

bool CPreviewPane::LooksLikeText(const QByteArray& data) {
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

void CPreviewPane::ShowEntry(const CPackFile* pack, const CPackEntry* entry, const CNameCodec* codec) {
    if (!pack || !entry || !codec) {
        Clear();
        return;
    }
    m_pTitle->setText(QString::fromStdString(codec->Decode(entry->GetName())));
    const CEntryPeek peek = CEntryPeek::Read(*pack, *entry);
    if (!peek.IsRead()) {
        SetKind(EKind::Message, QString::fromLatin1(peek.Why()));
        return;
    }
    if (entry->GetSize() == 0) {
        SetKind(EKind::Message, tr("This file is empty."));
        return;
    }
    m_Head = QByteArray::fromStdString(peek.m_strData);
    const QLocale locale;
    m_strCutNote = peek.m_bCut ? tr("Only the first %1 of %2 are shown.")
                                     .arg(locale.formattedDataSize(m_Head.size()),
                                          locale.formattedDataSize(qint64(entry->GetSize())))
                               : QString();
    m_HeadText.reset();
    if (LooksLikeText(m_Head))
        m_HeadText = codec->Decode(peek.m_strData);
    if (!showMedia(*pack, *entry, !peek.m_bCut) && !ShowImage(*pack, *entry, m_Head))
        ShowBytes();
}

void CPreviewPane::showAs(const CPackFile* pack, const CPackEntry* entry, const CNameCodec* codec,
                          MediaKind kind) {
    m_forcedKind = kind;
    ShowEntry(pack, entry, codec);
    m_forcedKind.reset();
}

bool CPreviewPane::showMedia(const CPackFile& pack, const CPackEntry& entry, bool whole) {
    const ByteSpan head(reinterpret_cast<const uint8_t*>(m_Head.constData()), size_t(m_Head.size()));
    const MediaKind kind = m_forcedKind ? *m_forcedKind : recognizeMedia(head, entry.GetName(), whole);
    const MediaCategory category = mediaCategory(kind);
    if (category != MediaCategory::Picture && category != MediaCategory::Sound &&
        category != MediaCategory::Text)
        return false;
    SetKind(EKind::Media, QString());
    m_media->show(std::make_shared<const CEntrySource>(pack, entry), kind, m_pTitle->text());
    return true;
}

void CPreviewPane::ShowBytes() {
    const QByteArray head = std::move(m_Head);
    const std::optional<std::string> text = std::move(m_HeadText);
    SetKind(text ? EKind::Text : EKind::Hex, m_strCutNote);
    if (text)
        ShowText(*text);
    else
        m_pHex->SetData(head);
}

// Only the picture's header is read here; its bytes are read and decoded on the pane's threads.
bool CPreviewPane::ShowImage(const CPackFile& pack, const CPackEntry& entry, const QByteArray& head) {
    QBuffer probe;
    probe.setData(head);
    probe.open(QIODevice::ReadOnly);
    QImageReader sniff(&probe);
    sniff.setDecideFormatFromContent(true);
    if (!sniff.canRead() || entry.GetSize() > kImageLimit)
        return false;
    const QSize full = sniff.size();
    if (!full.isValid())
        return false; // what decoding it would cost is unknown: shown as bytes
    const QString pixels = tr("%1 x %2 pixels").arg(full.width()).arg(full.height());
    if (Pixels(full) > kPixelBudget && !ScalesWhileDecoding(sniff.format(), head)) {
        SetKind(EKind::Message, QString::fromLatin1(kPreviewTooLarge) + pixels + QLatin1Char('.'));
        return true;
    }
    auto source = std::make_shared<const CEntrySource>(pack, entry);
    SetKind(EKind::Image, pixels);
    m_pSource = std::move(source);
    m_FullSize = full;
    Decode(DecodeSize(full, Room()));
    return true;
}

QSize CPreviewPane::DecodeSize(QSize full, QSize room) {
    QSize size = full;
    if (!room.isEmpty() && (full.width() > room.width() || full.height() > room.height()))
        size = full.scaled(room, Qt::KeepAspectRatio);
    if (const qint64 pixels = Pixels(size); pixels > kPixelBudget) {
        const double factor = std::sqrt(double(kPixelBudget) / double(pixels));
        size = QSize(int(size.width() * factor), int(size.height() * factor));
    }
    return size.expandedTo(QSize(1, 1));
}

void CPreviewPane::Decode(QSize size) {
    m_Asked = size;
    m_decode.cancel();
    m_decode.start(
        [source = m_pSource, size](QPromise<QImage>& promise, const std::atomic<bool>& cancel) {
            promise.addResult(DecodePicture(*source, size, cancel));
        },
        m_pPool);
}

// The job follows the newest decode, whose picture is still the one shown unless it was cancelled. A finish
// of the decode it followed before may still come in after it was given the newest.
void CPreviewPane::OnDecoded() {
    if (m_eKind != EKind::Image || !m_decode.isFinished() || !m_decode.hasResult())
        return;
    QImage image = m_decode.result();
    if (!image.isNull()) {
        m_Image = std::move(image);
        FitImage();
    } else if (m_Image.isNull()) {
        ShowBytes(); // said it was a picture but is none: shown as bytes instead
    }
}

QSize CPreviewPane::Room() const {
    return m_pStack->contentsRect().size();
}

void CPreviewPane::FitImage() {
    if (m_Image.isNull())
        return;
    m_pPicture->setPixmap(MediaView::fitted(m_Image, Room()));
}

void CPreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitImage();
    if (m_pSource)
        m_pRedecode->start();
}
