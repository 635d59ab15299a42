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

// The built command-line companion, when this build has one.
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

// Where a hostile extraction happens: base/outside/SENTINEL (never to change), base/archive/ (the
// archive) and base/dest/ (the destination). Nothing else may appear in base or outside.
struct CHostileArea {
    static constexpr const char* kSentinel = "sentinel: must never change\n";

    CTempDir m_Base;
    std::string m_strDest = m_Base / "dest";
    std::string m_strOutside = m_Base / "outside";
    std::string m_strArchiveDir = m_Base / "archive";

    CHostileArea() {
        for (const std::string& d : {m_strDest, m_strOutside, m_strArchiveDir})
            mkdir(d.c_str(), 0755);
        WriteFileBytes(m_strOutside + "/SENTINEL", kSentinel);
    }
    // Absolute paths stay; others are taken from the destination.
    std::string Resolve(const std::string& path) const {
        return !path.empty() && path[0] == '/' ? path : m_strDest + "/" + path;
    }
    // Empty when all is well outside the destination; otherwise what changed.
    std::string OutsideDamage(const std::vector<std::string>& archiveDir) const {
        std::string damage;
        if (ReadFileBytes(m_strOutside + "/SENTINEL") != kSentinel)
            damage += "the sentinel changed; ";
        struct stat st {};
        if (lstat((m_strOutside + "/SENTINEL").c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            damage += "the sentinel is no longer a file; ";
        if (ListTree(m_strOutside) != std::vector<std::string>{"SENTINEL"})
            damage += "something appeared beside the sentinel; ";
        std::vector<std::string> top;
        for (const std::string& p : ListTree(m_Base.Path()))
            if (p.find('/') == std::string::npos || p.find('/') == p.size() - 1)
                top.push_back(p);
        if (top != std::vector<std::string>{"archive/", "dest/", "outside/"})
            damage += "something appeared beside the destination; ";
        if (ListTree(m_strArchiveDir) != archiveDir)
            damage += "the archive's folder changed; ";
        return damage;
    }
};
