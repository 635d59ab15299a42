#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

class NameCodec;
class NameEscaper;
class PackFile;
class PackFolder;
struct ReadReport;

// Checks an archive for the command line's `check` and the window's Check Archive: counts what the archive
// holds and finds every problem in it, those the reader met and those that only show when the catalogue is
// looked at as a whole (data past the end of the archive, unsafe names, names that occur twice in one
// folder, or that only differ before decoding). Problems are handed out one by one as they are found, so
// checking needs little memory beyond the catalogue's.
class ArchiveChecker {
public:
    ArchiveChecker(const PackFile& pack, const NameCodec& codec, const NameEscaper& escaper)
        : m_pack(pack), m_codec(codec), m_escaper(escaper) {}

    // Fills the counts.
    void count();
    // Hands every problem to `report`, one line each, in the order: the reader's, data past the end,
    // unsafe names, names that clash in one folder; each kind in list order. Fills m_problemCount.
    void check(const std::function<void(const std::string&)>& report);

    uint64_t m_folderCount = 0;
    uint64_t m_fileCount = 0;
    uint64_t m_byteCount = 0;
    uint64_t m_problemCount = 0;
    // Bytes of the archive that neither a record nor an entry's data covers (after count()).
    uint64_t m_unusedBytes = 0;

    // Counts and checks, handing `out` the whole report a line at a time, each ending in a newline: the
    // three counts, every problem, and how many problems there are ("No problems found." when none), then a
    // note of the unused bytes when there are any.
    void report(const std::function<void(const std::string&)>& out);

    // The problems the reader recorded, one line each; every command prints them.
    static std::vector<std::string> readProblems(const ReadReport& report);

private:
    enum Clash : uint8_t { kClashNone, kClashSame, kClashDecoded };
    // The clashes among the items of one folder's list: files (in the catalogue's order of entries)
    // and sub-folders (by row).
    struct FolderClashes {
        const PackFolder* m_folder = nullptr;
        std::vector<uint8_t> m_children;
    };

    void findClashes(const PackFolder& folder, FolderClashes& clashes);
    // The name as it will be made on disk.
    std::string decoded(std::string_view raw) const;
    // True when decoded(raw) is `raw` itself.
    bool decodesAsItself(std::string_view raw) const;
    // An unsafe name as it stands or once decoded.
    bool isUnsafe(std::string_view raw) const;
    // `folder` and every folder below it, without their paths.
    template <class Visitor> void forEachFolder(const PackFolder& folder, Visitor& visit) const;

    const PackFile& m_pack;
    const NameCodec& m_codec;
    const NameEscaper& m_escaper;
    std::vector<uint8_t> m_entryClashes; // by entry index
};

} // namespace vorpex
