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
        if ((total += uint64_t(n)) > CArchiveRecord::kAddressable)
            return kStdinPast4GiB;
        if (!WriteAll(memory, buffer.get(), size_t(n)))
            return std::strerror(errno);
    }
}

// An archive given as "-": standard input itself when it is a file, else its bytes copied into memory (a
// memfd). Holds nothing after reporting why not.
CFileDescriptor readStandardInput(CConsoleSink& sink) {
    if (WasClosedAtStart(STDIN_FILENO)) {
        // Not the empty archive /dev/null would make of it.
        sink.Print(kCouldNotReadStdin + std::string(std::strerror(EBADF)));
        return {};
    }
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode))
        return CFileDescriptor(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    CFileDescriptor memory(::memfd_create("vorpex-stdin", MFD_CLOEXEC));
    const char* failure = memory.IsOpen() ? copyStandardInput(memory.Get()) : std::strerror(errno);
    if (!failure)
        return memory;
    sink.Print(kCouldNotReadStdin + std::string(failure));
    return {};
}

} // namespace

std::unique_ptr<CPackFile> openArchive(const std::string& path, CConsoleSink& sink) {
    CNullSink readerSink;
    std::unique_ptr<CPackFile> pack;
    try {
        if (path == "-") {
            CFileDescriptor fd = readStandardInput(sink);
            if (!fd.IsOpen())
                return nullptr;
            pack = std::make_unique<CPackFile>(std::move(fd), path, readerSink);
        } else {
            pack = std::make_unique<CPackFile>(path, readerSink);
        }
    } catch (const std::bad_alloc&) {
        sink.Print(std::string(kErrorOpeningFile) + " " + path + " (out of memory)");
        return nullptr;
    }
    if (!pack->IsOpen()) {
        sink.Print(std::string(kErrorOpeningFile) + " " + path);
        return nullptr;
    }
    return pack;
}
