#include "views/PreviewPane.h"

#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "catalogue/EntryPeek.h"
#include "catalogue/NameCodec.h"
#include "catalogue/PackEntry.h"
#include "views/HexView.h"

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
    Clear();
}

QString CPreviewPane::Title() const {
    return m_pTitle->text();
}

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
    const QByteArray head = QByteArray::fromStdString(peek.m_strData);
    if (ShowImage(*pack, *entry, head))
        return;

    const QLocale locale;
    const QString cut = peek.m_bCut ? tr("Only the first %1 of %2 are shown.")
                                          .arg(locale.formattedDataSize(head.size()),
                                               locale.formattedDataSize(qint64(entry->GetSize())))
                                    : QString();
    if (LooksLikeText(head)) {
        SetKind(EKind::Text, cut);
        ShowText(codec->Decode(peek.m_strData));
    } else {
        SetKind(EKind::Hex, cut);
        m_pHex->SetData(head);
    }
}

bool CPreviewPane::ShowImage(const CPackFile& pack, const CPackEntry& entry, const QByteArray& head) {
    QByteArray data = head;
    QBuffer probe(&data);
    probe.open(QIODevice::ReadOnly);
    QImageReader sniff(&probe);
    sniff.setDecideFormatFromContent(true);
    if (!sniff.canRead() || entry.GetSize() > kImageLimit)
        return false;
    if (data.size() < qsizetype(entry.GetSize())) {
        const CEntryPeek whole = CEntryPeek::Read(pack, entry, entry.GetSize());
        if (!whole.IsRead())
            return false;
        data = QByteArray::fromStdString(whole.m_strData);
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull())
        return false; // said it was a picture but is none: shown as bytes instead
    SetKind(EKind::Image, tr("%1 x %2 pixels").arg(image.width()).arg(image.height()));
    m_Image = std::move(image);
    FitImage();
    return true;
}

void CPreviewPane::FitImage() {
    if (m_Image.isNull())
        return;
    const QSize room = m_pPicture->contentsRect().size();
    const bool bShrink = m_Image.width() > room.width() || m_Image.height() > room.height();
    m_pPicture->setPixmap(QPixmap::fromImage(
        bShrink && !room.isEmpty() ? m_Image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                   : m_Image));
}

void CPreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitImage();
}
