#include "cli/Interrupts.h"

#include <csignal>

#include "cli/Command.h"

namespace {

// g_nSignal keeps which signal came, for the status the shell expects.
std::atomic<bool> g_bInterrupted{false};
std::atomic<int> g_nSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int signal) {
    g_nSignal.store(signal);
    g_bInterrupted.store(true);
}

} // namespace

void catchInterrupts() {
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        ::sigaction(signal, &sa, nullptr);
}

const std::atomic<bool>& interruptFlag() {
    return g_bInterrupted;
}

bool interrupted() {
    return g_bInterrupted.load();
}

int interruptedStatus() {
    return g_nSignal.load() == SIGPIPE ? ExitStatus::kBrokenPipe : ExitStatus::kInterrupted;
}
