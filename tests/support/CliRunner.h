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

namespace vorpex {

struct CliRun {
    int m_status = -1; // the exit status; 128 + the signal when it was killed
    std::string m_out;
    std::vector<std::string> m_outLines;
    std::vector<std::string> m_errLines; // each without the "vorpex-cli: " every line must start with
};

// What the child gets besides its arguments: the bytes on its standard input, the directory it starts in,
// and a step run just before exec (to lower a limit or set a variable, say).
struct CliSetup {
    std::string m_input = {};
    std::string m_dir = {};
    std::function<void()> m_inChild = {};
};

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the command line with `args`, keeping standard output and standard error; standard input is a
// pipe carrying `setup.m_input`. A line on standard error without the program's prefix fails the test.
inline CliRun runCli(const std::vector<std::string>& args, const CliSetup& setup = {}) {
    CliRun run;
    TempDir errDir;
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
        if (!setup.m_dir.empty() && chdir(setup.m_dir.c_str()) != 0)
            _exit(125);
        if (setup.m_inChild)
            setup.m_inChild();
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
    writeAll(in[1], setup.m_input.data(), setup.m_input.size());
    close(in[1]);
    signal(SIGPIPE, oldPipe);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.m_out = readFileBytes(outPath);
    run.m_outLines = splitLines(run.m_out);
    for (std::string& line : splitLines(readFileBytes(errPath))) {
        const std::string prefix = "vorpex-cli: ";
        if (line.rfind(prefix, 0) == 0)
            line.erase(0, prefix.size());
        else
            ADD_FAILURE() << "a message without \"" << prefix << "\": " << line;
        run.m_errLines.push_back(line);
    }
    return run;
}

} // namespace vorpex
