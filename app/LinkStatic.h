#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

#include <functional>

namespace vorpex {

class MessageSink;

// A static text that works as a web link: drawn underlined in the link colour, in the highlight colour while
// the pointer is over it, with a pointing hand and a tooltip showing the target; a click opens the target in
// the user's browser and turns the link visited, or beeps and says why it could not.
//
// The owner places the label and gives it its caption and font first, then binds it with preSubclassWindow(),
// the way a dialog binds a control of its layout. Before binding the target and the flags may be set, and are
// only stored; from binding on the label is sized to its caption and keeps its tooltip up to date.
//
// GUI thread only.
class LinkStatic : public QLabel {
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

    explicit LinkStatic(QWidget* parent = nullptr);

    // Binds the label: a label without a target links to its caption, a label without a caption shows its
    // target; then it gets its underlined font, its size, its hand cursor and its tooltip.
    void preSubclassWindow();

    void setLinkUrl(const QString& url);
    void setLinkVisited(bool visited);
    void setLinkUnderline(bool underline);

    QString linkUrl() const { return m_linkURL; }
    bool isLinkVisited() const { return m_linkVisited; }

    // The colour the caption is drawn in now.
    QColor ctlColor() const;

    void setOpener(Opener opener);
    // Where failures are reported; not owned, must outlive the label. Null: a message box over the label.
    void setMessageSink(MessageSink* sink) { m_sink = sink; }

    // Opens an address in the user's browser: with the commands of the environment variable BROWSER if set
    // (a colon-separated list, tried in turn), otherwise with the desktop's handler for the address, then
    // with the xdg-open program, whose verdict it waits for up to two seconds. Runs no shell.
    static int openLink(const QString& url);

    // The command line that opens an address with a browser command: the command up to a "%1" placeholder
    // (quoted or not; what follows it is dropped, the whole command if it has none), one blank, the address.
    static QString buildOpenCommand(const QString& command, const QString& url);

    // The result code of an xdg-open that ended: crashed, or with `nExitCode`.
    static int xdgOpenResult(bool bCrashed, int nExitCode);
    // What a failure's result code means, from the table of the classic shell-open codes.
    static QString openErrorText(int code);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Resizes the label to the extent of its caption, keeping its left edge, its right edge or its centre as
    // its horizontal alignment says, and its top or (when centred vertically) its middle.
    void fitToText();
    void onClicked();
    // "Unable to open hyperlink:" with the explanation of a failure's result code.
    static QString openErrorMessage(int code);
    void reportOpenError(int code);
    // Keeps the label's font, with or without underline as the flag says.
    void applyLinkFont();
    // Takes up the colour of the current state; repaints now or later.
    void applyColour(bool repaintNow);

    const QColor m_linkColor;
    const QColor m_visitedColor;
    const QColor m_hoverColor; // the highlight colour when the label was made
    bool m_hover = false;
    bool m_linkVisited = false;
    bool m_linkUnderline = true;
    bool m_bound = false;
    QString m_linkURL;
    Opener m_open;
    MessageSink* m_sink = nullptr;
};

} // namespace vorpex
