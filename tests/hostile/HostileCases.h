#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vorpex {

// One hostile archive and what extracting all of it must come to, through the core and the command line
// alike, in a fresh base/ holding outside/SENTINEL (never to change, nothing beside it), archive/HOSTILE.DIR
// (dest/HOSTILE.DIR when m_archiveInDest) and dest/, laid out by m_prepare. The fuzz seeds and the fuzz
// replays take the archives too. A name's first word is its class: names, structure, sizes, destination.
struct HostileCase {
    std::string m_name, m_archive, m_encoding;
    // m_tree: every path below the destination afterwards, sorted: "D/" a folder, "D/F=bytes" a regular
    // file and its bytes, "D/F" anything else (a link, a FIFO). m_messages: the walk's, in order;
    // m_cliLines: the command line's, names escaped. m_absent: paths from the destination (they may climb
    // out) or absolute that must not exist.
    std::vector<std::string> m_tree, m_messages, m_cliLines, m_absent;
    std::string m_report; // part of the command line's last line, for what the reader recorded
    std::function<void(const std::string& dest)> m_prepare;
    bool m_archiveInDest = false;
};

std::vector<HostileCase> hostileCases();

} // namespace vorpex
