#pragma once

class COutputBuffer;
class CNameEscaper;
class CPackFile;

// The `list` command's output: one line per folder and file, in the extraction walk's order. The long form
// puts each file's size in bytes and data offset before its path, in right-aligned columns (blank on
// folder lines, so that the paths line up).
class CArchiveLister {
public:
    CArchiveLister(const CPackFile& pack, const CNameEscaper& escaper, COutputBuffer& out)
        : m_Pack(pack), m_Escaper(escaper), m_Out(out) {}

    void List(bool bLong);
    // One path per folder and file, each ended by `end` (a NUL with an unescaping escaper).
    void ListEnded(char end);
    // One JSON object per line and item: its path as `List` prints it, its name, type, size, data
    // offset (null for a folder) and the problems found on it.
    void ListJson(const CNameEscaper& plain);

private:
    const CPackFile& m_Pack;
    const CNameEscaper& m_Escaper;
    COutputBuffer& m_Out;
};
