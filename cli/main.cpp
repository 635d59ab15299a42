#include <csignal>
#include <new>
#include <unistd.h>

#include "cli/CliApp.h"
#include "platform/FileDescriptor.h"

using namespace vorpex;

int main(int argc, char** argv) {
    openStandardDescriptors();
    // A file-size limit (ulimit -f) then makes a write fail with EFBIG, reported like any write error,
    // instead of killing the process halfway through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return CliApp(argc, argv).run();
    } catch (const std::bad_alloc&) {
        static const char kMessage[] = "vorpex-cli: out of memory\n";
        [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        return 2;
    }
}
