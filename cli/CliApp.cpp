#include "cli/CliApp.h"

#include <cstring>
#include <unistd.h>

#include "VorpexVersion.h"
#include "catalogue/NameCodec.h"
#include "cli/Command.h"
#include "cli/OptionParser.h"
#include "cli/OutputBuffer.h"
#include "cli/commands/Commands.h"

namespace vorpex {

namespace {

const Command* const kCommands[] = {&kListCommand,  &kExtractCommand, &kCheckCommand,  &kPackCommand,
                                    &kAddCommand,   &kRemoveCommand,  &kRenameCommand, &kUpdateCommand,
                                    &kMountCommand, &kUnmountCommand};

const Command* findCommand(const std::string& name) {
    for (const Command* command : kCommands)
        if (name == command->m_name)
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

CliApp::CliApp(int argc, char** argv) : m_args(argv + 1, argv + argc) {}

const char* CliApp::version() {
    return VORPEX_VERSION;
}

// A command's own help and what follows it, or without a command the program's.
void CliApp::printHelp(const Command* command) {
    OutputBuffer out(STDOUT_FILENO);
    if (!command) {
        out.append(std::string("vorpex-cli ") + version() +
                   ": list, extract, check and pack archives of the game-data format Vorpex opens.\n\n");
        out.append(kUsage);
        out.append("\nCommands:\n");
        for (const Command* row : kCommands)
            out.append("  " + std::string(row->m_name).append(9 - std::strlen(row->m_name), ' ') +
                       row->m_summary + "\n");
        out.append("\n");
        out.append(kCommon);
        out.append("\n");
        out.append(kStatus);
        return;
    }
    out.append(command->m_help);
    if (command->m_helpTail == HelpTail::CommonAndStatus)
        out.append(kCommon);
    if (command->m_helpTail != HelpTail::None) {
        out.append("\n");
        out.append(kStatus);
    }
}

// `help [COMMAND]`.
int CliApp::runHelp() {
    if (m_args.size() > 2)
        return usageError("", "help takes at most one command");
    const Command* topic = m_args.size() == 2 ? findCommand(m_args[1]) : nullptr;
    if (m_args.size() == 2 && !topic)
        return usageError("", "unknown command '" + m_args[1] + "'");
    printHelp(topic);
    return ExitStatus::kDone;
}

int CliApp::runCommand(const Command& command) {
    CommandLine line;
    if (!parseOptions(command, m_args, line))
        return ExitStatus::kFailed;
    if ((line.m_help || command.m_printsToStdout || line.m_toStdout) && outputClosed())
        return ExitStatus::kFailed;
    if (line.m_help) {
        printHelp(&command);
        return ExitStatus::kDone;
    }
    if (!NameCodec(line.m_encoding).isValid())
        return usageError(command.m_name, "unknown encoding '" + line.m_encoding + "'");
    return command.m_run(line);
}

int CliApp::run() {
    if (m_args.empty())
        return usageError("", "no command given");
    const std::string& name = m_args[0];
    const bool help = name == "--help" || name == "-h", version = name == "--version" || name == "-V";
    if ((help || version || name == "help") && outputClosed())
        return ExitStatus::kFailed;
    if (help) {
        printHelp(nullptr);
        return ExitStatus::kDone;
    }
    if (version) {
        OutputBuffer(STDOUT_FILENO).append(std::string("vorpex-cli ") + CliApp::version() + "\n");
        return ExitStatus::kDone;
    }
    if (name == "help")
        return runHelp();
    if (const Command* command = findCommand(name))
        return runCommand(*command);
    return usageError("", "unknown command '" + name + "'");
}

} // namespace vorpex
