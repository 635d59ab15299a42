#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CNameCodec;

// Comparing names as a reader of a file list expects: without case, and with runs of digits taken as
// numbers, so that MAP2 comes before MAP10. Everything works on UTF-8 (names decoded by a CNameCodec).

// Appends `utf8` to `out` with upper-case letters made lower case: ASCII, Latin-1 and Latin Extended-A,
// Greek, Cyrillic and the full-width Latin letters of East Asian code pages. Other characters stay.
void AppendFolded(std::string& out, std::string_view utf8);
std::string FoldName(std::string_view utf8);

// A key for `utf8` such that comparing two keys byte by byte orders the names without case and with
// numbers in natural order ("e1m2" < "E1M10" < "e01m11"). Equal keys for names that differ only in case
// or in leading zeros.
std::string NaturalKey(std::string_view utf8);

// One row of a file list, as the sorting sees it. `m_Raw` and `m_Path` are raw archive bytes.
struct CSortRow {
    std::string_view m_Raw;
    std::string_view m_Path; // the row's folder path, for lists that show one
    uint32_t m_nSize = 0;
    bool m_bFolder = false;
};

enum class ESortBy { Name, Size, Type, Path };

// The display order of `rows` as row numbers: folder rows before file rows whichever the direction, then by
// the decoded name in natural order, the size in bytes, the kind alone, or the folder path (then the name);
// rows that compare equal keep their order in `rows`, which is the archive's.
std::vector<uint32_t> SortRows(const std::vector<CSortRow>& rows, ESortBy by, bool descending,
                               const CNameCodec& codec);
