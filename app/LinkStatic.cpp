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

namespace {

// How long a click waits for xdg-open to say whether it found a handler. It normally hands the address to the
// desktop and ends at once; one still running by then runs the browser itself, which counts as opened.
constexpr int kOpenerWaitMs = 2000;

// xdg-open's exit status when no program on the system can open the address.
constexpr int kXdgNoMethod = 3;

struct COpenError {
    int m_nCode;
    const char* m_pszText;
};

// The explanations of the failure codes; the codes are the classic shell-open ones.
constexpr COpenError kOpenErrors[] = {
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
QString EncodedAddress(const QString& url) {
    const QUrl parsed(url.trimmed(), QUrl::TolerantMode);
    return parsed.isValid() ? QString::fromLatin1(parsed.toEncoded()) : QString();
}

// Starts a browser command line without a shell; the browser goes on running on its own.
int RunBrowserCommand(const QString& commandLine) {
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return CLinkStatic::kOpenNotFound;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments) ? CLinkStatic::kOpenSucceeded
                                                       : CLinkStatic::kOpenNotFound;
}

int RunXdgOpen(const QString& address) {
    // Owned here until it ends within the wait; one still running afterwards deletes itself when it ends, or
    // goes with the application.
    auto* process = new QProcess(QCoreApplication::instance());
    process->start(QStringLiteral("xdg-open"), {address});
    if (!process->waitForStarted()) {
        delete process;
        return CLinkStatic::kOpenNotFound;
    }
    if (!process->waitForFinished(kOpenerWaitMs)) {
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        return CLinkStatic::kOpenSucceeded;
    }
    const int nCode =
        CLinkStatic::XdgOpenResult(process->exitStatus() != QProcess::NormalExit, process->exitCode());
    delete process;
    return nCode;
}

} // namespace

CLinkStatic::CLinkStatic(QWidget* parent)
    : QLabel(parent), m_clrLink(0, 0, 238), m_clrVisited(85, 26, 139),
      m_clrHover(QGuiApplication::palette().color(QPalette::Highlight)), m_fnOpen(&CLinkStatic::OpenLink) {
    // Like a plain static text: the caption as it is, at the top left of the label.
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void CLinkStatic::PreSubclassWindow() {
    if (m_bBound)
        return;
    m_bBound = true;
    if (m_strLinkURL.isEmpty())
        m_strLinkURL = text();
    if (text().isEmpty())
        setText(m_strLinkURL);
    ApplyLinkFont();
    FitToText();
    setCursor(Qt::PointingHandCursor);
    setToolTip(m_strLinkURL);
    ApplyColour(false);
}

void CLinkStatic::SetLinkURL(const QString& url) {
    m_strLinkURL = url;
    if (!m_bBound)
        return;
    FitToText();
    setToolTip(m_strLinkURL);
}

void CLinkStatic::SetLinkVisited(bool visited) {
    m_bLinkVisited = visited;
    if (m_bBound)
        ApplyColour(false);
}

void CLinkStatic::SetLinkUnderline(bool underline) {
    m_bLinkUnderline = underline;
    if (!m_bBound)
        return;
    ApplyLinkFont();
    update();
}

QColor CLinkStatic::CtlColor() const {
    if (m_bHover)
        return m_clrHover;
    return m_bLinkVisited ? m_clrVisited : m_clrLink;
}

void CLinkStatic::SetOpener(Opener opener) {
    m_fnOpen = opener ? std::move(opener) : Opener(&CLinkStatic::OpenLink);
}

void CLinkStatic::FitToText() {
    if (!m_bBound)
        return;
    const QFontMetrics metrics(font());
    const int nTextWidth = metrics.horizontalAdvance(text());
    const int nTextHeight = metrics.height();

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
        const int nShrink = (nBottom - nTop - nTextHeight) / 2;
        nTop += nShrink;
        nBottom -= nShrink;
    } else {
        nBottom = nTop + nTextHeight;
    }

    if (align & Qt::AlignHCenter) {
        const int nShrink = (nRight - nLeft - nTextWidth) / 2;
        nLeft += nShrink;
        nRight -= nShrink;
    } else if (align & Qt::AlignRight) {
        nLeft = nRight - nTextWidth;
    } else {
        nRight = nLeft + nTextWidth;
    }
    setGeometry(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

QString CLinkStatic::BuildOpenCommand(const QString& command, const QString& url) {
    qsizetype nCut = command.indexOf(QStringLiteral("\"%1\""));
    if (nCut < 0)
        nCut = command.indexOf(QStringLiteral("%1"));
    return (nCut < 0 ? command : command.left(nCut)) + QLatin1Char(' ') + url;
}

int CLinkStatic::OpenLink(const QString& url) {
    const QString address = EncodedAddress(url);
    if (address.isEmpty())
        return kOpenFailed;

    // BROWSER holds one or more browser commands separated by colons, to be tried in turn.
    const QString browsers = qEnvironmentVariable("BROWSER").trimmed();
    if (!browsers.isEmpty()) {
        int nCode = kOpenNotFound;
        for (const QString& command : browsers.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            nCode = RunBrowserCommand(BuildOpenCommand(command.trimmed(), address));
            if (nCode > kOpenLastFailure)
                break;
        }
        return nCode;
    }
    if (QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode)))
        return kOpenSucceeded;
    return RunXdgOpen(address);
}

int CLinkStatic::XdgOpenResult(bool bCrashed, int nExitCode) {
    if (bCrashed)
        return kOpenFailed;
    if (nExitCode == 0)
        return kOpenSucceeded;
    return nExitCode == kXdgNoMethod ? kOpenNoHandler : kOpenFailed;
}

QString CLinkStatic::OpenErrorText(int code) {
    for (const COpenError& error : kOpenErrors) {
        if (error.m_nCode == code)
            return QString::fromLatin1(error.m_pszText);
    }
    return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
}

QString CLinkStatic::OpenErrorMessage(int code) {
    return QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code);
}

void CLinkStatic::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    if (m_bBound && !m_bHover) {
        m_bHover = true;
        ApplyColour(true);
    }
}

void CLinkStatic::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    if (m_bHover) {
        m_bHover = false;
        ApplyColour(true);
    }
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    // The release comes here only after a press on the label; releasing elsewhere is no click.
    if (m_bBound && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OnClicked();
}

void CLinkStatic::OnClicked() {
    const int nCode = m_fnOpen(m_strLinkURL);
    if (nCode > kOpenLastFailure) {
        SetLinkVisited(true);
        return;
    }
    SetLinkVisited(false);
    QApplication::beep();
    ReportOpenError(nCode);
}

void CLinkStatic::ReportOpenError(int code) {
    const QString message = OpenErrorMessage(code);
    if (m_pSink) {
        CMessage report;
        report.m_strText = message.toStdString();
        m_pSink->Report(report);
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kCaption), message, QMessageBox::Ok, window());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void CLinkStatic::ApplyLinkFont() {
    QFont linkFont = font();
    linkFont.setUnderline(m_bLinkUnderline);
    setFont(linkFont);
}

void CLinkStatic::ApplyColour(bool bRepaintNow) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, CtlColor());
    setPalette(colours);
    if (bRepaintNow)
        repaint();
    else
        update();
}
