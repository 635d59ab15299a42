#pragma once

#include <QObject>

#include "platform/FileDescriptor.h"

class QSocketNotifier;

namespace vorpex {

// Ends the program the normal way on SIGTERM, SIGHUP and SIGINT, so that what it leaves on disk (the
// private folder of opened and dragged files) goes as it does when the window is closed. The handler only
// writes the signal's number to a pipe; the event loop reads it and leaves every running loop. After the
// teardown raiseCaught() ends the process by that signal, as whoever sent it expects. A second signal
// while the first is in hand ends the program at once; a signal the program was started ignoring stays
// ignored. One at a time, made on the GUI thread after the application object; the signals get their
// default handling back when it goes.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    QuitOnSignals();
    ~QuitOnSignals() override;

    // The signal that asked the program to end; 0 while none has.
    int caught() const { return m_caughtCount; }
    // Ends the process by the signal caught, if any; returns when none was.
    void raiseCaught() const;

private:
    void onSignalled();

    FileDescriptor m_read, m_write;
    QSocketNotifier* m_notifier = nullptr;
    int m_caughtCount = 0;
};

} // namespace vorpex
