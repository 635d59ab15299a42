#pragma once

#include <string>
#include <vector>

// What one run of vorpex-cli left behind.
struct CCliResult {
    int m_nStatus = -1; // the exit status, or 128 + the signal that ended the process
    std::string m_strOut;
    std::string m_strErr;

    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
};

// Runs the built vorpex-cli with `args`, in `cwd` (when given), with standard input closed and both
// outputs captured; `fileSizeLimit`, when not zero, is the child's RLIMIT_FSIZE in bytes.
CCliResult RunCli(const std::vector<std::string>& args, const std::string& cwd = {},
                  unsigned long fileSizeLimit = 0);

std::vector<std::string> SplitLines(const std::string& text);
