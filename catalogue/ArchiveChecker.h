#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CNameCodec;
class CNameEscaper;
class CPackFile;
class CPackFolder;
struct CReadReport;

// Checks an archive for the command line's `check` and the window's Check Archive: counts what the archive
// holds and finds every problem in it, those the reader met and those that only show when the catalogue is
// looked at as a whole (data past the end of the archive, unsafe names, names that occur twice in one
// folder, or that only differ before decoding). Problems are handed out one by one as they are found, so
// checking needs little memory beyond the catalogue's.
class CArchiveChecker {
public:
    CArchiveChecker(const CPackFile& pack, const CNameCodec& codec, const CNameEscaper& escaper)
        : m_Pack(pack), m_Codec(codec), m_Escaper(escaper) {}

    // Fills the counts.
    void Count();
    // Hands every problem to `report`, one line each, in the order: the reader's, data past the end,
    // unsafe names, names that clash in one folder; each kind in list order. Fills m_nProblems.
    void Check(const std::function<void(const std::string&)>& report);

    uint64_t m_nFolders = 0;
    uint64_t m_nFiles = 0;
    uint64_t m_nBytes = 0;
    uint64_t m_nProblems = 0;

    // Counts and checks, handing `out` the whole report a line at a time, each ending in a newline: the
    // three counts, every problem, and how many problems there are ("No problems found." when none).
    void Report(const std::function<void(const std::string&)>& out);

    // The problems the reader recorded, one line each; every command prints them.
    static std::vector<std::string> ReadProblems(const CReadReport& report);

private:
    enum EClash : uint8_t { kClashNone, kClashSame, kClashDecoded };
    // The clashes among the items of one folder's list: files (in the catalogue's order of entries)
    // and sub-folders (by row).
    struct CFolderClashes {
        const CPackFolder* m_pFolder = nullptr;
        std::vector<uint8_t> m_Children;
    };

    void FindClashes(const CPackFolder& folder, CFolderClashes& clashes);
    // The name as it will be made on disk.
    std::string Decoded(std::string_view raw) const;
    // True when Decoded(raw) is `raw` itself.
    bool DecodesAsItself(std::string_view raw) const;
    // An unsafe name as it stands or once decoded.
    bool IsUnsafe(std::string_view raw) const;
    // `folder` and every folder below it, without their paths.
    template <class Visitor> void ForEachFolder(const CPackFolder& folder, Visitor& visit) const;

    const CPackFile& m_Pack;
    const CNameCodec& m_Codec;
    const CNameEscaper& m_Escaper;
    std::vector<uint8_t> m_EntryClashes; // by entry index
};
