#pragma once

#include <atomic>

namespace vorpex {

// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE during extract and pack, which then stop cleanly: the file in
// hand is abandoned and no temporary stays behind.
void catchInterrupts();
// Turns true when one of those signals came; the flag the copy loops check.
const std::atomic<bool>& interruptFlag();
bool interrupted();
// The status for the signal that came: a reader that went away (SIGPIPE) ends the program with 141, as a
// shell reports a pipeline's writer killed by it; any other stop is 130.
int interruptedStatus();

} // namespace vorpex
