#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vorpex {

// What vorpex-cli's exit status says: 0 when everything asked for was done and nothing was reported, 1 when
// anything was reported, 2 for a usage error, an archive that cannot be opened or a destination that cannot
// be entered; 130 and 141 when extract or pack stopped on a signal (141: the reader of the output went away).
struct ExitStatus {
    static constexpr int kDone = 0;
    static constexpr int kReported = 1;
    static constexpr int kFailed = 2;
    static constexpr int kInterrupted = 130;
    static constexpr int kBrokenPipe = 141;
};

// Every option of every command; a command's row says which of them it takes.
enum class OptionId {
    Help,
    Encoding,
    Long,
    Null,
    Json,
    Directory,
    Quiet,
    FullPaths,
    KeepOld,
    Overwrite,
    ToStdout,
    Exclude,
    NoWildcardsMatchSlash,
    Verbose,
    SkipUnfit,
    Foreground,
    Convert,
    // add, remove, rename, update
    DryRun,
    To,
    Delete,
};

constexpr unsigned optionSet(std::initializer_list<OptionId> ids) {
    unsigned set = 0;
    for (const OptionId id : ids)
        set |= 1u << static_cast<unsigned>(id);
    return set;
}

// The command line once parsed: the values of the options given (those a command does not take stay as
// they start) and the operands in their order.
struct CommandLine {
    // What to do with something that already stands where extraction puts a folder or a file.
    enum class Existing { Default, Keep, Overwrite };

    std::string m_encoding;
    std::optional<std::string> m_directory;
    std::vector<std::string> m_excludes;
    Existing m_existing = Existing::Default;
    bool m_longForm = false;
    bool m_null = false;
    bool m_json = false;
    bool m_quiet = false;
    bool m_verbose = false;
    bool m_fullPaths = false;
    bool m_toStdout = false;
    bool m_convert = false;      // extract --convert
    bool m_slashLiteral = false; // --no-wildcards-match-slash
    bool m_skipUnfit = false;
    bool m_foreground = false;
    bool m_help = false;
    // add, remove, rename, update
    bool m_dryRun = false;
    bool m_deleteMissing = false;
    std::optional<std::string> m_toFolder;
    std::vector<std::string> m_operands;
};

// What follows a command's own help text: the notes on paths and names, and the exit statuses.
enum class HelpTail { None, Status, CommonAndStatus };

// One command of vorpex-cli: its name and what it does, the options it takes, its help and what runs it.
// `run` returns the exit status; it is called with options the parser accepted and a code page that exists.
struct Command {
    const char* m_name;
    const char* m_summary; // its line in the program's help
    unsigned m_options;    // optionSet(...)
    const char* m_help;
    HelpTail m_helpTail;
    bool m_printsToStdout; // fails at once when standard output was closed at start-up
    int (*m_run)(const CommandLine& line);
};

// Says what is wrong with the command line and where help is (for `command`, or the program when empty);
// returns ExitStatus::kFailed.
int usageError(const std::string& command, const std::string& message);
// True, after saying so, when standard output was closed at start-up: what a command prints there would be
// lost, so it does nothing and fails.
bool outputClosed();

} // namespace vorpex
