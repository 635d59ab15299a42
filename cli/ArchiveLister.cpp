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

namespace vorpex {

namespace {

unsigned digits(uint64_t value) {
    unsigned n = 1;
    while (value >= 10) {
        value /= 10;
        ++n;
    }
    return n;
}

// Appends `value` right-aligned in `width` columns.
void appendNumber(std::string& line, uint64_t value, unsigned width) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    const size_t len = static_cast<size_t>(result.ptr - buf);
    if (len < width)
        line.append(width - len, ' ');
    line.append(buf, len);
}

constexpr char kHexDigits[] = "0123456789abcdef";

// Appends `text` (UTF-8) to a JSON string, escaped, without the quotes.
void appendJsonChars(std::string& line, std::string_view text) {
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
void appendJsonString(std::string& line, std::string_view text) {
    line += '"';
    appendJsonChars(line, text);
    line += '"';
}

// Appends a raw name of a UTF-8 archive as a JSON string: valid sequences as they are, each byte that is no
// part of one as \\u00XX, so that no byte is lost to a replacement character.
void appendJsonBytes(std::string& line, std::string_view raw) {
    line += '"';
    while (!raw.empty()) {
        size_t n = 0;
        char32_t code;
        if (nextUtf8(raw, n, code)) {
            appendJsonChars(line, raw.substr(0, n));
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
void findDuplicates(const PackFile& pack, const PackFolder& folder, std::vector<CNamed>& buffer,
                    std::unordered_set<const void*>& later) {
    buffer.clear();
    for (uint32_t index : folder.files())
        buffer.emplace_back(pack.entry(index).name(), &pack.entry(index));
    for (const PackFolder* child : folder.children())
        buffer.emplace_back(child->name(), child);
    std::stable_sort(buffer.begin(), buffer.end(),
                     [](const CNamed& a, const CNamed& b) { return a.first < b.first; });
    for (size_t i = 1; i < buffer.size(); ++i)
        if (buffer[i].first == buffer[i - 1].first)
            later.insert(buffer[i].second);
    for (const PackFolder* child : folder.children())
        findDuplicates(pack, *child, buffer, later);
}

} // namespace

void ArchiveLister::listEnded(char end) {
    PathWalk(m_pack, m_escaper)
        .walk([&](std::string_view path, const PackFolder&, const PackFolder*, const PackEntry*) {
            m_out.append(path);
            m_out.append(end);
        });
}

void ArchiveLister::list(bool bLong) {
    PathWalk walk(m_pack, m_escaper);
    if (!bLong)
        return listEnded('\n');

    uint64_t maxSize = 0;
    uint64_t maxOffset = 0;
    for (const PackEntry& entry : m_pack.entries()) {
        maxSize = std::max<uint64_t>(maxSize, entry.size());
        maxOffset = std::max<uint64_t>(maxOffset, entry.offset());
    }
    const unsigned sizeWidth = digits(maxSize);
    const unsigned offsetWidth = digits(maxOffset);
    const std::string folderPad(sizeWidth + 2 + offsetWidth + 2, ' ');
    std::string line;
    walk.walk([&](std::string_view path, const PackFolder&, const PackFolder*, const PackEntry* entry) {
        line.clear();
        if (entry) {
            appendNumber(line, entry->size(), sizeWidth);
            line += "  ";
            appendNumber(line, entry->offset(), offsetWidth);
            line += "  ";
        } else {
            line += folderPad;
        }
        line += path;
        line += '\n';
        m_out.append(line);
    });
}

void ArchiveLister::listJson(const NameEscaper& plain) {
    std::unordered_set<const void*> duplicates;
    std::vector<CNamed> buffer;
    findDuplicates(m_pack, m_pack.top(), buffer, duplicates);
    std::string line, name;
    // In a UTF-8 archive a byte that is no part of a character keeps its value in the name.
    std::string encoding = plain.codec().encoding();
    std::erase(encoding, '-');
    std::transform(encoding.begin(), encoding.end(), encoding.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const bool utf8 = encoding == "utf8";
    PathWalk(m_pack, m_escaper)
        .walk(
            [&](std::string_view path, const PackFolder&, const PackFolder* folder, const PackEntry* entry) {
                const std::string_view raw = entry ? entry->name() : std::string_view(folder->name());
                name.clear();
                plain.append(name, raw);
                line = "{\"path\":";
                appendJsonString(line, path);
                line += ",\"name\":";
                if (utf8)
                    appendJsonBytes(line, raw);
                else
                    appendJsonString(line, name);
                line += entry ? ",\"type\":\"file\",\"size\":"
                              : ",\"type\":\"folder\",\"size\":0,\"offset\":null";
                if (entry) {
                    appendNumber(line, entry->size(), 0);
                    line += ",\"offset\":";
                    appendNumber(line, entry->offset(), 0);
                }
                line += entry ? ",\"folder\":false,\"problems\":[" : ",\"folder\":true,\"problems\":[";
                const size_t empty = line.size();
                auto problem = [&](const char* text) {
                    if (line.size() != empty)
                        line += ',';
                    appendJsonString(line, text);
                };
                if (entry && uint64_t(entry->offset()) + entry->size() > m_pack.fileSize())
                    problem(kDataBeyondEnd);
                if (isUnsafeName(raw) || isUnsafeName(name))
                    problem(kUnsafeName);
                if (duplicates.count(entry ? static_cast<const void*>(entry) : folder))
                    problem(kDuplicateName);
                line += "]}\n";
                m_out.append(line);
            });
}

} // namespace vorpex
