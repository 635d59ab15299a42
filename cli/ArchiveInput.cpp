#include "cli/ArchiveInput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/ArchiveRecord.h"
#include "catalogue/PackFile.h"
#include "cli/ConsoleSink.h"
#include "cli/Interrupts.h"
#include "platform/FileDescriptor.h"
#include "platform/MessageSink.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

// Copies standard input into `memory` to its end. Null, or why not.
const char* copyStandardInput(int memory) {
    const std::unique_ptr<char[]> buffer(new char[1 << 20]);
    uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.get(), 1 << 20);
        if (n < 0 && errno == EINTR && !interrupted())
            continue;
        if (n < 0)
            return std::strerror(errno);
        if (n == 0)
            return nullptr;
        if ((total += uint64_t(n)) > ArchiveRecord::kAddressable)
            return kStdinPast4GiB;
        if (!writeAll(memory, buffer.get(), size_t(n)))
            return std::strerror(errno);
    }
}

// An archive given as "-": standard input itself when it is a file, else its bytes copied into memory (a
// memfd). Holds nothing after reporting why not.
FileDescriptor readStandardInput(ConsoleSink& sink) {
    if (wasClosedAtStart(STDIN_FILENO)) {
        // Not the empty archive /dev/null would make of it.
        sink.print(kCouldNotReadStdin + std::string(std::strerror(EBADF)));
        return {};
    }
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        return FileDescriptor(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    FileDescriptor memory(::memfd_create("vorpex-stdin", MFD_CLOEXEC));
    const char* failure = memory.isOpen() ? copyStandardInput(memory.get()) : std::strerror(errno);
    if (!failure)
        return memory;
    sink.print(kCouldNotReadStdin + std::string(failure));
    return {};
}

} // namespace

std::unique_ptr<PackFile> openArchive(const std::string& path, ConsoleSink& sink) {
    NullSink readerSink;
    std::unique_ptr<PackFile> pack;
    try {
        if (path == "-") {
            FileDescriptor fd = readStandardInput(sink);
            if (!fd.isOpen())
                return nullptr;
            pack = std::make_unique<PackFile>(std::move(fd), path, readerSink);
        } else {
            pack = std::make_unique<PackFile>(path, readerSink);
        }
    } catch (const std::bad_alloc&) {
        sink.print(std::string(kErrorOpeningFile) + " " + path + " (out of memory)");
        return nullptr;
    }
    if (!pack->isOpen()) {
        sink.print(std::string(kErrorOpeningFile) + " " + path);
        return nullptr;
    }
    return pack;
}

} // namespace vorpex
