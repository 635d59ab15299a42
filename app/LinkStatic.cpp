#include "app/LinkStatic.h"

#include "platform/MessageSink.h"

#include "platform/MessageTexts.h"
#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QUrl>

namespace vorpex {

namespace {

// How long a click waits for xdg-open to say whether it found a handler. It normally hands the address to the
// desktop and ends at once; one still running by then runs the browser itself, which counts as opened.
constexpr int kOpenerWaitMs = 2000;

// xdg-open's exit status when no program on the system can open the address.
constexpr int kXdgNoMethod = 3;

struct OpenError {
    int m_code;
    const char* m_text;
};

// The explanations of the failure codes; the codes are the classic shell-open ones.
constexpr OpenError kOpenErrors[] = {
    {0, "The operating system is out\nof memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied\naccess to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred. "},
    {27, "The filename association is\nincomplete or invalid."},
    {28, "The DDE transaction could not\nbe completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
    {31, kNoAssociatedApplication},
    {32, "The specified dynamic-link library was not found."},
};

// The address as it goes on a command line: percent-encoded, so it holds no blank or quote and stays one
// argument. Empty for an address that is no URL at all.
QString encodedAddress(const QString& url) {
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    return parsed.isValid() ? QString::fromLatin1(parsed.toEncoded()) : QString();
}

// Starts a browser command line without a shell; the browser goes on running on its own.
int runBrowserCommand(const QString& commandLine) {
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return LinkStatic::kOpenNotFound;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments) ? LinkStatic::kOpenSucceeded
                                                       : LinkStatic::kOpenNotFound;
}

int runXdgOpen(const QString& address) {
    // Owned here until it ends within the wait; one still running afterwards deletes itself when it ends, or
    // goes with the application.
    auto* process = new QProcess(QCoreApplication::instance());
    process->start(QStringLiteral("xdg-open"), {address});
    if (!process->waitForStarted()) {
        delete process;
        return LinkStatic::kOpenNotFound;
    }
    if (!process->waitForFinished(kOpenerWaitMs)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return LinkStatic::kOpenSucceeded;
    }
    const int nCode =
        LinkStatic::xdgOpenResult(process->exitStatus() != QProcess::NormalExit, process->exitCode());
    delete process;
    return nCode;
}

} // namespace

LinkStatic::LinkStatic(QWidget* parent)
    : QLabel(parent), m_linkColor(0, 0, 238), m_visitedColor(85, 26, 139),
      m_hoverColor(QGuiApplication::palette().color(QPalette::Highlight)), m_open(&LinkStatic::openLink) {
    // Like a plain static text: the caption as it is, at the top left of the label.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void LinkStatic::preSubclassWindow() {
    if (m_bound)
        return;
    m_bound = true;
    if (m_linkURL.isEmpty())
        m_linkURL = text();
    if (text().isEmpty())
        setText(m_linkURL);
    applyLinkFont();
    fitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_linkURL);
    applyColour(false);
}

void LinkStatic::setLinkUrl(const QString& url) {
    m_linkURL = url;
    if (!m_bound)
        return;
    fitToText();
    setToolTip(m_linkURL);
}

void LinkStatic::setLinkVisited(bool visited) {
    m_linkVisited = visited;
    if (m_bound)
        applyColour(false);
}

void LinkStatic::setLinkUnderline(bool underline) {
    m_linkUnderline = underline;
    if (!m_bound)
        return;
    applyLinkFont();
    update();
}

QColor LinkStatic::ctlColor() const {
    if (m_hover)
        return m_hoverColor;
    return m_linkVisited ? m_visitedColor : m_linkColor;
}

void LinkStatic::setOpener(Opener opener) {
    m_open = opener ? std::move(opener) : Opener(&LinkStatic::openLink);
}

void LinkStatic::fitToText() {
    if (!m_bound)
        return;
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(text());
    const int textHeight = metrics.height();

    // Edges as right and bottom exclusive, in the parent's coordinates. The halved differences truncate
    // toward zero, so an odd difference leaves the label one pixel larger (or, for a text larger than the
    // label, one pixel smaller) than the text.
    const QRect rect = geometry();
    int nLeft = rect.x();
    int nTop = rect.y();
    int nRight = nLeft + rect.width();
    int nBottom = nTop + rect.height();
    const Qt::Alignment align = alignment();

    if (align & Qt::AlignVCenter) {
        const int shrink = (nBottom - nTop - textHeight) / 2;
        nTop += shrink;
        nBottom -= shrink;
    } else {
        nBottom = nTop + textHeight;
    }

    if (align & Qt::AlignHCenter) {
        const int shrink = (nRight - nLeft - textWidth) / 2;
        nLeft += shrink;
        nRight -= shrink;
    } else if (align & Qt::AlignRight) {
        nLeft = nRight - textWidth;
    } else {
        nRight = nLeft + textWidth;
    }
    setGeometry(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

QString LinkStatic::buildOpenCommand(const QString& command, const QString& url) {
    qsizetype nCut = command.indexOf(QStringLiteral("\"%1\""));
    if (nCut < 0)
        nCut = command.indexOf(QStringLiteral("%1"));
    return (nCut < 0 ? command : command.left(nCut)) + QLatin1Char(' ') + url;
}

int LinkStatic::openLink(const QString& url) {
    const QString address = encodedAddress(url);
    if (address.isEmpty())
        return kOpenFailed;

    // BROWSER holds one or more browser commands separated by colons, to be tried in turn.
    const QString browsers = qEnvironmentVariable("BROWSER").trimmed();
    if (!browsers.isEmpty()) {
        int nCode = kOpenNotFound;
        for (const QString& command : browsers.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            nCode = runBrowserCommand(buildOpenCommand(command.trimmed(), address));
            if (nCode > kOpenLastFailure)
                break;
        }
        return nCode;
    }
    if (QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode)))
        return kOpenSucceeded;
    return runXdgOpen(address);
}

int LinkStatic::xdgOpenResult(bool bCrashed, int nExitCode) {
    if (bCrashed)
        return kOpenFailed;
    if (nExitCode == 0)
        return kOpenSucceeded;
    return nExitCode == kXdgNoMethod ? kOpenNoHandler : kOpenFailed;
}

QString LinkStatic::openErrorText(int code) {
    for (const OpenError& error : kOpenErrors) {
        if (error.m_code == code)
            return QString::fromLatin1(error.m_text);
    }
    return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
}

QString LinkStatic::openErrorMessage(int code) {
    return QStringLiteral("Unable to open hyperlink:\n\n") + openErrorText(code);
}

void LinkStatic::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    if (m_bound && !m_hover) {
        m_hover = true;
        applyColour(true);
    }
}

void LinkStatic::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (m_hover) {
        m_hover = false;
        applyColour(true);
    }
}

void LinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    // The release comes here only after a press on the label; releasing elsewhere is no click.
    if (m_bound && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        onClicked();
}

void LinkStatic::onClicked() {
    const int nCode = m_open(m_linkURL);
    if (nCode > kOpenLastFailure) {
        setLinkVisited(true);
        return;
    }
    setLinkVisited(false);
    QApplication::beep();
    reportOpenError(nCode);
}

void LinkStatic::reportOpenError(int code) {
    const QString message = openErrorMessage(code);
    if (m_sink) {
        Message report;
        report.m_text = message.toStdString();
        m_sink->report(report);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kCaption), message, QMessageBox::Ok, window());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void LinkStatic::applyLinkFont() {
    QFont linkFont = font();
    linkFont.setUnderline(m_linkUnderline);
    setFont(linkFont);
}

void LinkStatic::applyColour(bool repaintNow) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ctlColor());
    setPalette(colours);
    if (repaintNow)
        repaint();
    else
        update();
}

} // namespace vorpex
