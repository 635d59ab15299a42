#pragma once

#include <functional>
#include <string>
#include <vector>

// One hostile archive and what extracting all of it must come to, through the core and the command line
// alike, in a fresh base/ holding outside/SENTINEL (never to change, nothing beside it), archive/HOSTILE.DIR
// (dest/HOSTILE.DIR when m_bArchiveInDest) and dest/, laid out by m_fnPrepare. The fuzz seeds and the fuzz
// replays take the archives too. A name's first word is its class: names, structure, sizes, destination.
struct CHostileCase {
    std::string m_strName, m_strArchive, m_strEncoding;
    // m_Tree: every path below the destination afterwards, sorted: "D/" a folder, "D/F=bytes" a regular
    // file and its bytes, "D/F" anything else (a link, a FIFO). m_Messages: the walk's, in order;
    // m_CliLines: the command line's, names escaped. m_Absent: paths from the destination (they may climb
    // out) or absolute that must not exist.
    std::vector<std::string> m_Tree, m_Messages, m_CliLines, m_Absent;
    std::string m_strReport; // part of the command line's last line, for what the reader recorded
    std::function<void(const std::string& dest)> m_fnPrepare;
    bool m_bArchiveInDest = false;
};

std::vector<CHostileCase> HostileCases();
