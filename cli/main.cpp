#include <csignal>

#include "cli/CliApp.h"
#include "platform/FileDescriptor.h"

int main(int argc, char** argv) {
    OpenStandardDescriptors();
    // A file-size limit (ulimit -f) then makes a write fail with EFBIG, reported like any write error,
    // instead of killing the process halfway through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    return CCliApp(argc, argv).Run();
}
