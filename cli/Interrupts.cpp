#include "cli/Interrupts.h"

#include <csignal>

#include "cli/Command.h"

namespace vorpex {

namespace {

// g_signal keeps which signal came, for the status the shell expects.
std::atomic<bool> g_interrupted{false};
std::atomic<int> g_signal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void onInterrupt(int signal) {
    g_signal.store(signal);
    g_interrupted.store(true);
}

} // namespace

void catchInterrupts() {
    struct sigaction sa = {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        ::sigaction(signal, &sa, nullptr);
}

const std::atomic<bool>& interruptFlag() {
    return g_interrupted;
}

bool interrupted() {
    return g_interrupted.load();
}

int interruptedStatus() {
    return g_signal.load() == SIGPIPE ? ExitStatus::kBrokenPipe : ExitStatus::kInterrupted;
}

} // namespace vorpex
