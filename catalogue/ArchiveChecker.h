#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

class CNameCodec;
class CNameEscaper;
class CPackFile;
class CPackFolder;
struct CReadReport;

// Checks an archive for the command line's `check` and the window's Check Archive: counts what the archive
// holds and finds every problem in it, those the reader met and those that only show when the catalogue is
// looked at as a whole (data past the end of the archive, unsafe names, names that occur twice in one
// folder).
class CArchiveChecker {
public:
    CArchiveChecker(const CPackFile& pack, const CNameCodec& codec, const CNameEscaper& escaper)
        : m_Pack(pack), m_Codec(codec), m_Escaper(escaper) {}

    // Fills the counts and the problems, in the order: the reader's, data past the end, unsafe names,
    // duplicate names; each kind in list order.
    void Check();

    uint64_t m_nFolders = 0;
    uint64_t m_nFiles = 0;
    uint64_t m_nBytes = 0;
    std::vector<std::string> m_Problems;

    // What Check found as the lines of a report, each ending in a newline: the three counts, every problem,
    // and a last line saying how many problems there are ("No problems found." when none).
    std::string Report() const;

    // The problems the reader recorded, one line each; every command prints them.
    static std::vector<std::string> ReadProblems(const CReadReport& report);

private:
    // Adds to `later` every file or folder whose name an earlier item of the same folder's list bears.
    void FindDuplicates(const CPackFolder& folder, std::unordered_set<const void*>& later) const;

    const CPackFile& m_Pack;
    const CNameCodec& m_Codec;
    const CNameEscaper& m_Escaper;
};
