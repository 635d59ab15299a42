#include "cli/ArchiveLister.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <unordered_set>
#include <vector>

#include "catalogue/NameCodec.h"

#include "catalogue/PathWalk.h"
#include "cli/OutputBuffer.h"
#include "platform/MessageTexts.h"

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

constexpr char kHexDigits[] = "0123456789abcdef";

// Appends `text` (UTF-8) to a JSON string, escaped, without the quotes.
void AppendJsonChars(std::string& line, std::string_view text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += ch;
        } else if (c < 0x20 || c == 0x7F) {
            line += "\\u00";
            line += kHexDigits[c >> 4];
            line += kHexDigits[c & 0xF];
        } else {
            line += ch;
        }
    }
}

// Appends `text` (UTF-8) as a JSON string.
void AppendJsonString(std::string& line, std::string_view text) {
    line += '"';
    AppendJsonChars(line, text);
    line += '"';
}

// Appends a raw name of a UTF-8 archive as a JSON string: valid sequences as they are, each byte that is no
// part of one as \\u00XX, so that no byte is lost to a replacement character.
void AppendJsonBytes(std::string& line, std::string_view raw) {
    line += '"';
    while (!raw.empty()) {
        size_t n = 0;
        char32_t code;
        if (NextUtf8(raw, n, code)) {
            AppendJsonChars(line, raw.substr(0, n));
        } else {
            const auto c = static_cast<unsigned char>(raw[0]);
            line += "\\u00";
            line += kHexDigits[c >> 4];
            line += kHexDigits[c & 0xF];
        }
        raw.remove_prefix(n ? n : 1);
    }
    line += '"';
}

// Adds to `later` every file or folder below `folder` whose raw name an earlier item of the same list bears.
// One buffer, sorted per list, serves every folder.
using CNamed = std::pair<std::string_view, const void*>;
void FindDuplicates(const CPackFile& pack, const CPackFolder& folder, std::vector<CNamed>& buffer,
                    std::unordered_set<const void*>& later) {
    buffer.clear();
    for (uint32_t index : folder.GetFiles())
        buffer.emplace_back(pack.Entry(index).GetName(), &pack.Entry(index));
    for (const CPackFolder* child : folder.GetChildren())
        buffer.emplace_back(child->GetName(), child);
    std::stable_sort(buffer.begin(), buffer.end(),
                     [](const CNamed& a, const CNamed& b) { return a.first < b.first; });
    for (size_t i = 1; i < buffer.size(); ++i)
        if (buffer[i].first == buffer[i - 1].first)
            later.insert(buffer[i].second);
    for (const CPackFolder* child : folder.GetChildren())
        FindDuplicates(pack, *child, buffer, later);
}

} // namespace

void CArchiveLister::ListEnded(char end) {
    CPathWalk(m_Pack, m_Escaper)
        .Walk([&](std::string_view path, const CPackFolder&, const CPackFolder*, const CPackEntry*) {
            m_Out.Append(path);
            m_Out.Append(end);
        });
}

void CArchiveLister::List(bool bLong) {
    CPathWalk walk(m_Pack, m_Escaper);
    if (!bLong)
        return ListEnded('\n');

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

void CArchiveLister::ListJson(const CNameEscaper& plain) {
    std::unordered_set<const void*> duplicates;
    std::vector<CNamed> buffer;
    FindDuplicates(m_Pack, m_Pack.GetTop(), buffer, duplicates);
    std::string line, name;
    // In a UTF-8 archive a byte that is no part of a character keeps its value in the name.
    std::string encoding = plain.Codec().Encoding();
    std::erase(encoding, '-');
    std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const bool utf8 = encoding == "utf8";
    CPathWalk(m_Pack, m_Escaper)
        .Walk([&](std::string_view path, const CPackFolder&, const CPackFolder* folder,
                  const CPackEntry* entry) {
            const std::string_view raw = entry ? entry->GetName() : std::string_view(folder->GetName());
            name.clear();
            plain.Append(name, raw);
            line = "{\"path\":";
            AppendJsonString(line, path);
            line += ",\"name\":";
            if (utf8)
                AppendJsonBytes(line, raw);
            else
                AppendJsonString(line, name);
            line +=
                entry ? ",\"type\":\"file\",\"size\":" : ",\"type\":\"folder\",\"size\":0,\"offset\":null";
            if (entry) {
                AppendNumber(line, entry->GetSize(), 0);
                line += ",\"offset\":";
                AppendNumber(line, entry->GetOffset(), 0);
            }
            line += entry ? ",\"folder\":false,\"problems\":[" : ",\"folder\":true,\"problems\":[";
            const size_t empty = line.size();
            auto problem = [&](const char* text) {
                if (line.size() != empty)
                    line += ',';
                AppendJsonString(line, text);
            };
            if (entry && uint64_t(entry->GetOffset()) + entry->GetSize() > m_Pack.GetFileSize())
                problem(kDataBeyondEnd);
            if (IsUnsafeName(raw) || IsUnsafeName(name))
                problem(kUnsafeName);
            if (duplicates.count(entry ? static_cast<const void*>(entry) : folder))
                problem(kDuplicateName);
            line += "]}\n";
            m_Out.Append(line);
        });
}
