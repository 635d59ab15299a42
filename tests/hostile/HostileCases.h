#pragma once

#include <functional>
#include <string>
#include <vector>

// One hostile archive and what extracting all of it must come to, through the core and the command line
// alike. Each run gets a fresh base/ holding outside/SENTINEL (byte-identical afterwards, nothing beside
// it), archive/HOSTILE.DIR (dest/HOSTILE.DIR when m_bArchiveInDest) and dest/, laid out by m_fnPrepare.
// The fuzz seed generator and the fuzz replays take the archives too. Plain data, no test framework.
struct CHostileCase {
    std::string m_strName, m_strClass, m_strArchive; // class: "names", "structure", "sizes", "destination"
    // Every path below the destination afterwards: "D/" a folder, "D/F" anything else, "D/F=bytes" a
    // regular file holding exactly those bytes.
    std::vector<std::string> m_Tree;
    // The walk's messages (UTF-8) in order; the command line's lines, names escaped.
    std::vector<std::string> m_Messages, m_CliLines;
    // What the reader records, in this order: "repeated N", "cut N", "unknown N", "nesting".
    std::string m_strReport;
    std::vector<std::string> m_Absent; // paths from the destination (they may climb out) or absolute
    std::function<void(const std::string& dest)> m_fnPrepare;
    std::string m_strEncoding; // the code page, when not the default
    bool m_bArchiveInDest = false;
};

std::vector<CHostileCase> HostileCases();
