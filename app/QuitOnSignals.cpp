#include "app/QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Read by the handler, which may run on any thread at any moment: plain values only.
volatile sig_atomic_t g_nWriteFd = -1;
volatile sig_atomic_t g_bSignalled = 0;

// Async-signal-safe: write, signal and raise only.
void OnSignal(int signal) {
    if (g_bSignalled) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    g_bSignalled = 1;
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(g_nWriteFd, &number, 1);
    errno = saved;
}

// Gives the signals `handler`, but not one the program was started ignoring (nohup, a background job's
// SIGINT): that stays ignored.
void Handle(void (*handler)(int)) {
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

CQuitOnSignals::CQuitOnSignals() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep ending the program at once
    m_Read.Reset(fds[0]);
    m_Write.Reset(fds[1]);
    g_nWriteFd = m_Write.Get();
    m_pNotifier = new QSocketNotifier(m_Read.Get(), QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CQuitOnSignals::OnSignalled);
    Handle(&OnSignal);
}

CQuitOnSignals::~CQuitOnSignals() {
    if (m_Write.IsOpen())
        Handle(SIG_DFL);
    g_nWriteFd = -1;
}

void CQuitOnSignals::OnSignalled() {
    unsigned char number = 0;
    if (read(m_Read.Get(), &number, 1) != 1)
        return;
    m_pNotifier->setEnabled(false);
    m_nCaught = number;
    // Leaves every loop, also a modal one or an extraction's, which then winds down as on quitting.
    QCoreApplication::exit(128 + number);
}

void CQuitOnSignals::RaiseCaught() const {
    if (!m_nCaught)
        return;
    std::signal(m_nCaught, SIG_DFL);
    std::raise(m_nCaught);
}
