#include "app/QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vorpex {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Read by the handler, which may run on any thread at any moment: plain values only.
volatile sig_atomic_t g_writeFd = -1;
volatile sig_atomic_t g_signalled = 0;

// Async-signal-safe: write, signal and raise only.
void onSignal(int signal) {
    if (g_signalled) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_signalled = 1;
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(g_writeFd, &number, 1);
    errno = saved;
}

// Gives the signals `handler`, but not one the program was started ignoring (nohup, a background job's
// SIGINT): that stays ignored.
void handle(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        struct sigaction old = {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

} // namespace

QuitOnSignals::QuitOnSignals() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep ending the program at once
    m_read.reset(fds[0]);
    m_write.reset(fds[1]);
    g_writeFd = m_write.get();
    m_notifier = new QSocketNotifier(m_read.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignals::onSignalled);
    handle(&onSignal);
}

QuitOnSignals::~QuitOnSignals() {
    if (m_write.isOpen())
        handle(SIG_DFL);
    g_writeFd = -1;
}

void QuitOnSignals::onSignalled() {
    unsigned char number = 0;
    if (read(m_read.get(), &number, 1) != 1)
        return;
    m_notifier->setEnabled(false);
    m_caughtCount = number;
    // Leaves every loop, also a modal one or an extraction's, which then winds down as on quitting.
    QCoreApplication::exit(128 + number);
}

void QuitOnSignals::raiseCaught() const {
    if (!m_caughtCount)
        return;
    std::signal(m_caughtCount, SIG_DFL);
    std::raise(m_caughtCount);
}

} // namespace vorpex
