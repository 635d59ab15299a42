#pragma once

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/FileDescriptor.h"
#include "tests/support/ArchiveBuilder.h"

// Runs the built command-line companion in a child process, for end-to-end tests.
// Its path comes from the build (VORPEX_CLI_PATH).

struct CCliRun {
    int m_nStatus = -1; // the exit status; 128 + the signal when it was killed
    std::string m_strOut;
    std::vector<std::string> m_OutLines;
    std::vector<std::string> m_ErrLines; // each without the "vorpex-cli: " every line must start with
};

// What the child gets besides its arguments: the bytes on its standard input, the directory it starts in,
// and a step run just before exec (to lower a limit or set a variable, say).
struct CCliSetup {
    std::string m_strInput = {};
    std::string m_strDir = {};
    std::function<void()> m_fnInChild = {};
};

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the command line with `args`, keeping standard output and standard error; standard input is a
// pipe carrying `setup.m_strInput`. A line on standard error without the program's prefix fails the test.
inline CCliRun RunCli(const std::vector<std::string>& args, const CCliSetup& setup = {}) {
    CCliRun run;
    CTempDir errDir;
    const std::string errPath = errDir / "stderr", outPath = errDir / "stdout";
    int in[2];
    if (pipe(in) != 0)
        return run;
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (err < 0 || out < 0)
            _exit(126);
        dup2(in[0], STDIN_FILENO);
        close(in[0]);
        close(in[1]);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (!setup.m_strDir.empty() && chdir(setup.m_strDir.c_str()) != 0)
            _exit(125);
        if (setup.m_fnInChild)
            setup.m_fnInChild();
        std::vector<char*> argv{const_cast<char*>(VORPEX_CLI_PATH)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(VORPEX_CLI_PATH, argv.data());
        _exit(127);
    }
    close(in[0]);
    // A child that stops reading early closes the pipe: the rest of the input is dropped.
    const auto oldPipe = signal(SIGPIPE, SIG_IGN);
    WriteAll(in[1], setup.m_strInput.data(), setup.m_strInput.size());
    close(in[1]);
    signal(SIGPIPE, oldPipe);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.m_strOut = ReadFileBytes(outPath);
    run.m_OutLines = SplitLines(run.m_strOut);
    for (std::string& line : SplitLines(ReadFileBytes(errPath))) {
        const std::string prefix = "vorpex-cli: ";
        if (line.rfind(prefix, 0) == 0)
            line.erase(0, prefix.size());
        else
            ADD_FAILURE() << "a message without \"" << prefix << "\": " << line;
        run.m_ErrLines.push_back(line);
    }
    return run;
}
