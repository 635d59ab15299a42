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
    if (line.operands.size() != 1)
        return usageError("list", "list takes one ARCHIVE");
    CConsoleSink sink;
    const auto pack = openArchive(line.operands[0], sink);
    if (!pack)
        return ExitStatus::kFailed;
    const CNameCodec codec(line.encoding);
    const CNameEscaper escaper(codec), plain(codec, false);
    {
        COutputBuffer out(STDOUT_FILENO);
        if (line.null)
            CArchiveLister(*pack, plain, out).ListEnded('\0');
        else if (line.json)
            CArchiveLister(*pack, escaper, out).ListJson(plain);
        else
            CArchiveLister(*pack, escaper, out).List(line.longForm);
        if (!out.Flush())
            sink.Print(kCouldNotWriteListing + std::string(std::strerror(out.Error())));
    }
    for (const std::string& problem : CArchiveChecker::ReadProblems(pack->GetReport()))
        sink.Print(problem);
    return sink.Count() ? ExitStatus::kReported : ExitStatus::kDone;
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
