// `vorpex-cli pack`: an archive built from a folder.
#include "catalogue/NameCodec.h"
#include "cli/ArchivePacker.h"
#include "cli/ConsoleSink.h"
#include "cli/Interrupts.h"
#include "cli/commands/Commands.h"

namespace vorpex {

namespace {

const char* const kHelp =
    "Usage: vorpex-cli pack [--skip-unfit] [--verbose] [--encoding NAME] FOLDER ARCHIVE\n\n"
    "Builds an archive holding one top-level folder named after FOLDER, with its files and\n"
    "sub-folders. In every list the files come first, then the folders, each sorted by name (byte\n"
    "order), so the output is reproducible. Names are encoded to the code page. Symbolic links and\n"
    "special files are skipped with a message. Refuses, writing nothing, names longer than 32 bytes\n"
    "once encoded or not encodable and folders nested deeper than 10 levels (FOLDER counts as one),\n"
    "naming the first 20, and data that would lie past 4 GiB. The archive is written to a temporary\n"
    "file and renamed into place when complete; only a regular file you may write to is replaced,\n"
    "and it keeps its permissions.\n\n"
    "      --skip-unfit     leave out the names the archive cannot hold, name each, pack the rest\n"
    "  -v, --verbose        name every refused name, not only the first 20\n"
    "  -e, --encoding NAME  code page of the names (default WINDOWS-1252)\n\n";

int run(const CommandLine& line) {
    if (line.m_operands.size() != 2)
        return usageError("pack", "pack takes a FOLDER and an ARCHIVE");
    catchInterrupts();
    ConsoleSink sink;
    const NameCodec codec(line.m_encoding);
    ArchivePacker packer(codec, sink, &interruptFlag());
    packer.setSkipUnfit(line.m_skipUnfit);
    packer.setVerbose(line.m_verbose);
    const ArchivePacker::Result result = packer.pack(line.m_operands[0], line.m_operands[1]);
    if (interrupted())
        return interruptedStatus();
    if (result == ArchivePacker::Result::NotOpened)
        return ExitStatus::kFailed;
    return sink.count() ? ExitStatus::kReported : ExitStatus::kDone;
}

} // namespace

const Command kPackCommand = {
    "pack",
    "build an archive from a folder",
    optionSet({OptionId::Help, OptionId::Encoding, OptionId::Verbose, OptionId::SkipUnfit}),
    kHelp,
    HelpTail::Status,
    false,
    run,
};

} // namespace vorpex
