#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// One hostile archive and everything its extraction (of the whole archive) must come to. The suite runs
// each case through the core and through the command line, each time in a fresh folder laid out as
//
//   base/outside/SENTINEL   must stay byte-identical; nothing may appear beside it
//   base/archive/NAME       the archive (or base/dest/NAME when m_bArchiveInDest)
//   base/dest/              the destination, prepared by m_fnPrepare
//
// The fuzz seed generator takes the archives too. No test framework here: plain data.
struct CHostileCase {
    CHostileCase(std::string name, std::string cls, std::string archive)
        : m_strName(std::move(name)), m_strClass(std::move(cls)), m_strArchive(std::move(archive)) {}

    std::string m_strName;  // a test name: letters, digits and underscores
    std::string m_strClass; // "names", "structure", "sizes" or "destination"
    std::string m_strArchive;
    std::string m_strArchiveName = "HOSTILE.DIR";
    bool m_bArchiveInDest = false;
    // Lays out the destination before extracting: links, FIFOs, existing files and folders.
    std::function<void(const std::string& dest)> m_fnPrepare;

    // Every path below the destination afterwards, as ListTree gives them ("D/", "D/F").
    std::vector<std::string> m_Tree;
    // Files whose bytes are checked afterwards, relative to the destination.
    std::vector<std::pair<std::string, std::string>> m_Contents;
    // Paths (relative to the destination, so "../../x" climbs out) that must not exist afterwards.
    std::vector<std::string> m_Absent;

    // The reader's own messages, and what it records.
    std::vector<std::string> m_ReaderMessages;
    uint64_t m_nUnknown = 0, m_nListsCut = 0, m_nRepeated = 0;
    bool m_bNestingLimit = false;
    // Expected sizes of the catalogue; -1 leaves them unchecked.
    int64_t m_nFolders = -1, m_nEntries = -1;

    // The walk's messages (UTF-8, as the core reports them), in order.
    std::vector<std::string> m_Messages;
    // The command line's standard error: the same messages with names escaped (when empty, the messages
    // themselves), followed by one line per problem the reader recorded, each containing the given text.
    std::vector<std::string> m_CliLines;
    std::vector<std::string> m_CliProblems;
    int m_nExitStatus = 0;
};

std::vector<CHostileCase> HostileCases();
