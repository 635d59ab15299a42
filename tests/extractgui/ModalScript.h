#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class QWidget;

// Answers the modal windows that the code under test opens, the way a person would: one action per window
// that becomes the active modal one (a window that becomes active again after a nested one closed counts
// anew), in the order given. Actions must not block: they set texts and queue clicks (Click below).
// A modal window that appears when no action is left is closed and noted as unexpected, so no test can hang
// on a forgotten box.
class CModalScript : public QObject {
    Q_OBJECT

public:
    using Action = std::function<void(QWidget*)>;

    CModalScript();
    CModalScript& Then(Action action);

    int Remaining() const { return static_cast<int>(m_Actions.size()); }
    const QStringList& Unexpected() const { return m_Unexpected; }
    // Titles of the windows acted on, in order.
    const QStringList& Seen() const { return m_Seen; }

    // Clicks `button` from the event loop, after the action that asked for it has returned.
    static void Click(QWidget* button);
    // The child of `w` with that object name (or that text, for buttons without a name); null when none.
    static QWidget* Child(QWidget* w, const QString& nameOrText);

private:
    void Poll();

    std::deque<Action> m_Actions;
    QPointer<QWidget> m_pLast;
    QStringList m_Unexpected;
    QStringList m_Seen;
    QTimer m_Timer;
};
