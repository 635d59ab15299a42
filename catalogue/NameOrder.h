#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Comparing names as a reader of a file list expects: without case, and with runs of digits taken as
// numbers, so that MAP2 comes before MAP10. Everything works on UTF-8 (names decoded by a NameCodec).

namespace vorpex {

class NameCodec;

// Appends `utf8` to `out` with upper-case letters made lower case: ASCII, Latin-1 and Latin Extended-A,
// Greek, Cyrillic and the full-width Latin letters of East Asian code pages. Other characters stay.
void appendFolded(std::string& out, std::string_view utf8);
std::string foldName(std::string_view utf8);

// A key for `utf8` such that comparing two keys byte by byte orders the names without case and with
// numbers in natural order ("e1m2" < "E1M10" < "e01m11"). Equal keys for names that differ only in case
// or in leading zeros.
std::string naturalKey(std::string_view utf8);

// One row of a file list, as the sorting sees it. `m_raw` and `m_path` are raw archive bytes.
struct SortRow {
    std::string_view m_raw;
    std::string_view m_path; // the row's folder path, for lists that show one
    uint32_t m_size = 0;
    bool m_folder = false;
};

enum class SortBy { Name, Size, Type, Path };

// The display order of `rows` as row numbers: folder rows before file rows whichever the direction, then by
// the decoded name in natural order, the size in bytes, the kind alone, or the folder path (then the name);
// rows that compare equal keep their order in `rows`, which is the archive's.
std::vector<uint32_t> sortRows(const std::vector<SortRow>& rows, SortBy by, bool descending,
                               const NameCodec& codec);

} // namespace vorpex
