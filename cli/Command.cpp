#include "cli/Command.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "cli/ConsoleSink.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

namespace vorpex {

int usageError(const std::string& command, const std::string& message) {
    ConsoleSink sink;
    sink.note(message);
    sink.note("Try 'vorpex-cli " + (command.empty() ? std::string() : command + " ") + "--help'.");
    return ExitStatus::kFailed;
}

bool outputClosed() {
    if (!wasClosedAtStart(STDOUT_FILENO))
        return false;
    ConsoleSink().note(kCouldNotWriteStdout + std::string(std::strerror(EBADF)));
    return true;
}

} // namespace vorpex
