#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

class CMessageSink;

// A static text that works as a web link: drawn underlined in the link colour, in the highlight colour while
// the pointer is over it, with a pointing hand and a tooltip showing the target; a click opens the target in
// the user's browser and turns the link visited, or beeps and says why it could not.
//
// The owner places the label and gives it its caption and font first, then binds it with PreSubclassWindow(),
// the way a dialog binds a control of its layout. Before binding the target and the flags may be set, and are
// only stored; from binding on the label is sized to its caption and keeps its tooltip up to date.
//
// GUI thread only.
class CLinkStatic : public QLabel {
    Q_OBJECT

public:
    // Result codes of opening an address: above kOpenLastFailure the address was handed over to a browser;
    // the failures that the program can explain are codes up to 32, others are shown as unknown.
    static constexpr int kOpenLastFailure = 32;
    static constexpr int kOpenSucceeded = 33;
    static constexpr int kOpenNotFound = 2;   // the browser or opener program could not be started
    static constexpr int kOpenNoHandler = 31; // nothing on the desktop handles the address
    static constexpr int kOpenFailed = 4;     // the opener ran and failed; outside the table on purpose

    // Opens an address and returns a result code as above. Replaceable so that tests never start a browser.
    using Opener = std::function<int(const QString& url)>;

    explicit CLinkStatic(QWidget* parent = nullptr);

    // Binds the label: a label without a target links to its caption, a label without a caption shows its
    // target; then it gets its underlined font, its size, its hand cursor and its tooltip.
    void PreSubclassWindow();

    void SetLinkURL(const QString& url);
    void SetLinkVisited(bool visited);
    void SetLinkUnderline(bool underline);

    QString LinkURL() const { return m_strLinkURL; }
    bool IsLinkVisited() const { return m_bLinkVisited; }

    // The colour the caption is drawn in now.
    QColor CtlColor() const;

    void SetOpener(Opener opener);
    // Where failures are reported; not owned, must outlive the label. Null: a message box over the label.
    void SetMessageSink(CMessageSink* sink) { m_pSink = sink; }

    // Opens an address in the user's browser: with the commands of the environment variable BROWSER if set
    // (a colon-separated list, tried in turn), otherwise with the desktop's handler for the address, then
    // with the xdg-open program, whose verdict it waits for up to two seconds. Runs no shell.
    static int OpenLink(const QString& url);

    // The command line that opens an address with a browser command: the command up to a "%1" placeholder
    // (quoted or not; what follows it is dropped, the whole command if it has none), one blank, the address.
    static QString BuildOpenCommand(const QString& command, const QString& url);

    // The result code of an xdg-open that ended: crashed, or with `nExitCode`.
    static int XdgOpenResult(bool bCrashed, int nExitCode);
    // What a failure's result code means, from the table of the classic shell-open codes.
    static QString OpenErrorText(int code);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Resizes the label to the extent of its caption, keeping its left edge, its right edge or its centre as
    // its horizontal alignment says, and its top or (when centred vertically) its middle.
    void FitToText();
    void OnClicked();
    // "Unable to open hyperlink:" with the explanation of a failure's result code.
    static QString OpenErrorMessage(int code);
    void ReportOpenError(int code);
    // Keeps the label's font, with or without underline as the flag says.
    void ApplyLinkFont();
    // Takes up the colour of the current state; repaints now or later.
    void ApplyColour(bool bRepaintNow);

    const QColor m_clrLink;
    const QColor m_clrVisited;
    const QColor m_clrHover; // the highlight colour when the label was made
    bool m_bHover = false;
    bool m_bLinkVisited = false;
    bool m_bLinkUnderline = true;
    bool m_bBound = false;
    QString m_strLinkURL;
    Opener m_fnOpen;
    CMessageSink* m_pSink = nullptr;
};
