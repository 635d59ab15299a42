#pragma once

#include <string>
#include <vector>

struct Command;

// The command-line companion: finds the command its arguments name in the table of commands, reads the
// command's options and runs it, or prints help or the version. Run returns the exit status (ExitStatus).
class CCliApp {
public:
    CCliApp(int argc, char** argv);
    int Run();

    static const char* Version();

private:
    int runCommand(const Command& command);
    int runHelp();
    static void PrintHelp(const Command* command);

    std::vector<std::string> m_Args;
};
