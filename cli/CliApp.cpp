#include "cli/CliApp.h"

#include <cstring>
#include <unistd.h>

#include "VorpexVersion.h"
#include "catalogue/NameCodec.h"
#include "cli/Command.h"
#include "cli/OptionParser.h"
#include "cli/OutputBuffer.h"
#include "cli/commands/Commands.h"

namespace {

const Command* const kCommands[] = {&kListCommand,  &kExtractCommand, &kCheckCommand,  &kPackCommand,
                                    &kAddCommand,   &kRemoveCommand,  &kRenameCommand, &kUpdateCommand,
                                    &kMountCommand, &kUnmountCommand};

const Command* findCommand(const std::string& name) {
    for (const Command* command : kCommands)
        if (name == command->name)
            return command;
    return nullptr;
}

const char* const kUsage =
    "Usage:\n"
    "  vorpex-cli list    [--long | --null | --json] [--encoding NAME] ARCHIVE\n"
    "  vorpex-cli extract [-C DIR] [-p] [-k | --overwrite] [-O] [--exclude PATTERN]...\n"
    "                     [--no-wildcards-match-slash] [--encoding NAME] [--quiet] [--verbose]\n"
    "                     ARCHIVE [ITEM...]\n"
    "  vorpex-cli check   [--encoding NAME] ARCHIVE\n"
    "  vorpex-cli pack    [--skip-unfit] [--verbose] [--encoding NAME] FOLDER ARCHIVE\n"
    "  vorpex-cli add     [-C DIR] [--to FOLDER] [-k] [-n] [-v] [--encoding NAME] ARCHIVE PATH...\n"
    "  vorpex-cli remove  [-n] [-v] [--encoding NAME] ARCHIVE ITEM...\n"
    "  vorpex-cli rename  [-n] [--encoding NAME] ARCHIVE ITEM NEWNAME\n"
    "  vorpex-cli update  [--delete] [-n] [-v] [--encoding NAME] ARCHIVE FOLDER\n"
    "  vorpex-cli mount   [--encoding NAME] [-f] ARCHIVE DIR\n"
    "  vorpex-cli unmount DIR\n"
    "  vorpex-cli --help | --version\n"
    "  vorpex-cli help [COMMAND] | COMMAND --help\n";

const char* const kCommon =
    "Paths inside an archive join names with '/'; a folder's path ends with '/'. Names are decoded from the\n"
    "archive's code page (--encoding, default WINDOWS-1252; any name iconv knows) to UTF-8; in a name, '/',\n"
    "'\\' and control characters are shown as \\xHH, so every printed line is unambiguous. ARCHIVE '-' is\n"
    "read from standard input (at most 4 GiB). Short options bundle (-le CP437); '--' ends the options.\n"
    "Messages go to standard error, each after \"vorpex-cli: \".\n";

const char* const kStatus =
    "Exit status:\n"
    "  0  everything asked for was done and nothing was reported\n"
    "  1  something was reported: a problem the reader recorded, an ITEM not in the\n"
    "     archive, a message of the extraction, a skipped file or a refusal of pack;\n"
    "     for add, remove, rename and update, a refusal, the archive left as it was\n"
    "  2  usage error, an archive that cannot be opened (\"Error opening file.\"), a DIR\n"
    "     that cannot be entered (\"Could not change to directory \"), or output to a standard\n"
    "     output that was closed; for pack, a FOLDER that cannot be opened or an ARCHIVE that\n"
    "     cannot be created\n"
    "  130  interrupted (extract and pack stop cleanly)\n"
    "  141  the reader of the output went away (SIGPIPE); extract and pack stop as cleanly\n";

} // namespace

CCliApp::CCliApp(int argc, char** argv) : m_Args(argv + 1, argv + argc) {}

const char* CCliApp::Version() {
    return VORPEX_VERSION;
}

// A command's own help and what follows it, or without a command the program's.
void CCliApp::PrintHelp(const Command* command) {
    COutputBuffer out(STDOUT_FILENO);
    if (!command) {
        out.Append(std::string("vorpex-cli ") + Version() +
                   ": list, extract, check and pack archives of the game-data format Vorpex opens.\n\n");
        out.Append(kUsage);
        out.Append("\nCommands:\n");
        for (const Command* row : kCommands)
            out.Append("  " + std::string(row->name).append(9 - std::strlen(row->name), ' ') + row->summary +
                       "\n");
        out.Append("\n");
        out.Append(kCommon);
        out.Append("\n");
        out.Append(kStatus);
        return;
    }
    out.Append(command->help);
    if (command->helpTail == HelpTail::CommonAndStatus)
        out.Append(kCommon);
    if (command->helpTail != HelpTail::None) {
        out.Append("\n");
        out.Append(kStatus);
    }
}

// `help [COMMAND]`.
int CCliApp::runHelp() {
    if (m_Args.size() > 2)
        return usageError("", "help takes at most one command");
    const Command* topic = m_Args.size() == 2 ? findCommand(m_Args[1]) : nullptr;
    if (m_Args.size() == 2 && !topic)
        return usageError("", "unknown command '" + m_Args[1] + "'");
    PrintHelp(topic);
    return ExitStatus::kDone;
}

int CCliApp::runCommand(const Command& command) {
    CommandLine line;
    if (!parseOptions(command, m_Args, line))
        return ExitStatus::kFailed;
    if ((line.help || command.printsToStdout || line.toStdout) && outputClosed())
        return ExitStatus::kFailed;
    if (line.help) {
        PrintHelp(&command);
        return ExitStatus::kDone;
    }
    if (!CNameCodec(line.encoding).IsValid())
        return usageError(command.name, "unknown encoding '" + line.encoding + "'");
    return command.run(line);
}

int CCliApp::Run() {
    if (m_Args.empty())
        return usageError("", "no command given");
    const std::string& name = m_Args[0];
    const bool help = name == "--help" || name == "-h", version = name == "--version" || name == "-V";
    if ((help || version || name == "help") && outputClosed())
        return ExitStatus::kFailed;
    if (help) {
        PrintHelp(nullptr);
        return ExitStatus::kDone;
    }
    if (version) {
        COutputBuffer(STDOUT_FILENO).Append(std::string("vorpex-cli ") + Version() + "\n");
        return ExitStatus::kDone;
    }
    if (name == "help")
        return runHelp();
    if (const Command* command = findCommand(name))
        return runCommand(*command);
    return usageError("", "unknown command '" + name + "'");
}
