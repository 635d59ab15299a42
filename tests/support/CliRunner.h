#pragma once

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/ArchiveBuilder.h"

// Runs the built command-line companion in a child process, for end-to-end tests.
// Its path comes from the build (VORPEX_CLI_PATH).
inline const char* CliPath() {
#ifdef VORPEX_CLI_PATH
    return VORPEX_CLI_PATH;
#else
    return nullptr;
#endif
}

struct CCliRun {
    int m_nStatus = -1; // the exit status; 128 + the signal when it was killed
    std::vector<std::string> m_OutLines;
    std::vector<std::string> m_ErrLines;
};

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Runs the command line with `args`, keeping standard output and standard error. `inChild`
// runs in the child just before exec (to lower a limit, say).
inline CCliRun RunCli(const std::vector<std::string>& args, const std::function<void()>& inChild = {}) {
    CCliRun run;
    CTempDir errDir;
    const std::string errPath = errDir / "stderr", outPath = errDir / "stdout";
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = open("/dev/null", O_RDWR);
        if (err < 0 || out < 0 || null < 0)
            _exit(126);
        dup2(null, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (inChild)
            inChild();
        std::vector<char*> argv{const_cast<char*>(CliPath())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(CliPath(), argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.m_nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.m_OutLines = SplitLines(ReadFileBytes(outPath));
    run.m_ErrLines = SplitLines(ReadFileBytes(errPath));
    return run;
}
