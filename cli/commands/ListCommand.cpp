// `vorpex-cli list`: every folder and file of an archive, in the extraction walk's order.
#include <cstring>
#include <unistd.h>

#include "catalogue/ArchiveChecker.h"
#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "cli/ArchiveInput.h"
#include "cli/ArchiveLister.h"
#include "cli/ConsoleSink.h"
#include "cli/OutputBuffer.h"
#include "cli/commands/Commands.h"
#include "platform/MessageTexts.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli list [--long | --null | --json] [--encoding NAME] ARCHIVE\n\n"
    "Prints one line per folder and file, in the order extraction makes them: the top-level files,\n"
    "then each top-level folder; for a folder, its line, its files in archive order, then each\n"
    "sub-folder the same way.\n\n"
    "  -l, --long           put each file's size in bytes and data offset before its path\n"
    "  -0, --null           end each path with NUL instead of a newline; names unescaped\n"
    "      --json           one JSON object per line: \"path\" (as printed above), \"name\"\n"
    "                       (unescaped), \"type\" (\"file\" or \"folder\"), \"size\", \"offset\"\n"
    "                       (null for a folder), \"folder\" (true or false) and \"problems\"\n"
    "                       (data beyond the end, unsafe name, duplicate name)\n"
    "  -e, --encoding NAME  code page of the archive's names (default WINDOWS-1252)\n\n";

int run(const CommandLine& line) {
    if (line.m_operands.size() != 1)
        return usageError("list", "list takes one ARCHIVE");
    ConsoleSink sink;
    const auto pack = openArchive(line.m_operands[0], sink);
    if (!pack)
        return ExitStatus::kFailed;
    const NameCodec codec(line.m_encoding);
    const NameEscaper escaper(codec), plain(codec, false);
    {
        OutputBuffer out(STDOUT_FILENO);
        if (line.m_null)
            ArchiveLister(*pack, plain, out).listEnded('\0');
        else if (line.m_json)
            ArchiveLister(*pack, escaper, out).listJson(plain);
        else
            ArchiveLister(*pack, escaper, out).list(line.m_longForm);
        if (!out.flush())
            sink.print(kCouldNotWriteListing + std::string(std::strerror(out.error())));
    }
    for (const std::string& problem : ArchiveChecker::readProblems(pack->report()))
        sink.print(problem);
    return sink.count() ? ExitStatus::kReported : ExitStatus::kDone;
}

} // namespace

const Command kListCommand = {
    "list",
    "print every folder and file of an archive",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Long, OptionId::Null, OptionId::Json}),
    kHelp,
    HelpTail::CommonAndStatus,
    true,
    run,
};

} // namespace vorpex
