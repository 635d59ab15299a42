#pragma once

namespace vorpex {

class OutputBuffer;
class NameEscaper;
class PackFile;

// The `list` command's output: one line per folder and file, in the extraction walk's order. The long form
// puts each file's size in bytes and data offset before its path, in right-aligned columns (blank on
// folder lines, so that the paths line up).
class ArchiveLister {
public:
    ArchiveLister(const PackFile& pack, const NameEscaper& escaper, OutputBuffer& out)
        : m_pack(pack), m_escaper(escaper), m_out(out) {}

    void list(bool bLong);
    // One path per folder and file, each ended by `end` (a NUL with an unescaping escaper).
    void listEnded(char end);
    // One JSON object per line and item: its path as `list` prints it, its name, type, size, data
    // offset (null for a folder) and the problems found on it.
    void listJson(const NameEscaper& plain);

private:
    const PackFile& m_pack;
    const NameEscaper& m_escaper;
    OutputBuffer& m_out;
};

} // namespace vorpex
