#include "cli/Command.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "cli/ConsoleSink.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageTexts.h"

int usageError(const std::string& command, const std::string& message) {
    CConsoleSink sink;
    sink.Note(message);
    sink.Note("Try 'vorpex-cli " + (command.empty() ? std::string() : command + " ") + "--help'.");
    return ExitStatus::kFailed;
}

bool outputClosed() {
    if (!WasClosedAtStart(STDOUT_FILENO))
        return false;
    CConsoleSink().Note(kCouldNotWriteStdout + std::string(std::strerror(EBADF)));
    return true;
}
