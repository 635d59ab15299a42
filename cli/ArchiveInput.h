#pragma once

#include <memory>
#include <string>

namespace vorpex {

class ConsoleSink;
class PackFile;

// Opens ARCHIVE for a command: a path, or "-" for standard input (itself when it is a file, else its bytes
// copied into memory, up to the 4 GiB an archive's offsets reach). Null after reporting why it cannot be
// opened. The reader's own messages are summed up by its report, which the command prints.
std::unique_ptr<PackFile> openArchive(const std::string& path, ConsoleSink& sink);

} // namespace vorpex
