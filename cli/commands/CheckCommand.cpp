// `vorpex-cli check`: an archive's counts and every problem found in it.
#include <cstring>
#include <unistd.h>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ArchiveInput.h"
#include "cli/ConsoleSink.h"
#include "cli/OutputBuffer.h"
#include "cli/commands/Commands.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli check [--encoding NAME] ARCHIVE\n\n"
    "Prints the numbers of folders and files and the total bytes, then every problem found: records\n"
    "of unknown type, lists cut by the end of the file, the nesting limit or a cycle, file data\n"
    "lying beyond the end of the archive, unsafe names and names that occur twice in one folder.\n\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

int run(const CommandLine& line) {
    if (line.m_operands.size() != 1)
        return usageError("check", "check takes one ARCHIVE");
    ConsoleSink sink;
    const auto pack = openArchive(line.m_operands[0], sink);
    if (!pack)
        return ExitStatus::kFailed;
    const NameCodec codec(line.m_encoding);
    const NameEscaper escaper(codec);
    ArchiveChecker checker(*pack, codec, escaper);
    OutputBuffer out(STDOUT_FILENO);
    checker.report([&out](const std::string& lines) { out.append(lines); });
    if (!out.flush()) {
        sink.print(kCouldNotWriteReport + std::string(std::strerror(out.error())));
        return ExitStatus::kReported;
    }
    return checker.m_problemCount == 0 ? ExitStatus::kDone : ExitStatus::kReported;
}

} // namespace

const Command kCheckCommand = {
    "check",
    "count an archive's contents and find its problems",
    optionSet({OptionId::Help, OptionId::Encoding}),
    kHelp,
    HelpTail::CommonAndStatus,
    true,
    run,
};

} // namespace vorpex
