#include "cli/ArchiveLister.h"

#include <charconv>
#include <string>

#include "cli/OutputBuffer.h"
#include "cli/PathWalk.h"

namespace {

unsigned Digits(uint64_t value) {
    unsigned n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

// Appends `value` right-aligned in `width` columns.
void AppendNumber(std::string& line, uint64_t value, unsigned width) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    const size_t len = static_cast<size_t>(result.ptr - buf);
    if (len < width)
        line.append(width - len, ' ');
    line.append(buf, len);
}

} // namespace

void CArchiveLister::List(bool bLong) {
    CPathWalk walk(m_Pack, m_Escaper);
    if (!bLong) {
        walk.Walk([this](std::string_view path, const CPackFolder&, const CPackFolder*, const CPackEntry*) {
            m_Out.Append(path);
            m_Out.Append('\n');
        });
        return;
    }

    uint64_t maxSize = 0;
    uint64_t maxOffset = 0;
    for (const CPackEntry& entry : m_Pack.GetEntries()) {
        maxSize = std::max<uint64_t>(maxSize, entry.GetSize());
        maxOffset = std::max<uint64_t>(maxOffset, entry.GetOffset());
    }
    const unsigned sizeWidth = Digits(maxSize);
    const unsigned offsetWidth = Digits(maxOffset);
    const std::string folderPad(sizeWidth + 2 + offsetWidth + 2, ' ');
    std::string line;
    walk.Walk([&](std::string_view path, const CPackFolder&, const CPackFolder*, const CPackEntry* entry) {
        line.clear();
        if (entry) {
            AppendNumber(line, entry->GetSize(), sizeWidth);
            line += "  ";
            AppendNumber(line, entry->GetOffset(), offsetWidth);
            line += "  ";
        } else {
            line += folderPad;
        }
        line += path;
        line += '\n';
        m_Out.Append(line);
    });
}
