#pragma once

#include <string>
#include <vector>

namespace vorpex {

struct Command;

// The command-line companion: finds the command its arguments name in the table of commands, reads the
// command's options and runs it, or prints help or the version. Run returns the exit status (ExitStatus).
class CliApp {
public:
    CliApp(int argc, char** argv);
    int run();

    static const char* version();

private:
    int runCommand(const Command& command);
    int runHelp();
    static void printHelp(const Command* command);

    std::vector<std::string> m_args;
};

} // namespace vorpex
