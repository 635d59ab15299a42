#include "catalogue/NameOrder.h"

#include <algorithm>

#include "catalogue/NameCodec.h"

namespace vorpex {

namespace {

char32_t foldChar(char32_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178)
            return 0xFF;
        // Pairs of capital and small letters: even-odd below U+0138 and from U+014A, odd-even between.
        const bool oddCapitals = (c >= 0x139 && c <= 0x148) || c >= 0x179;
        if (c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c % 2 == (oddCapitals ? 1u : 0u)) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 32;
    if (c >= 0x410 && c <= 0x42F)
        return c + 32;
    if (c >= 0x400 && c <= 0x40F)
        return c + 80;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 32;
    return c;
}

// Reads the character at `i` of valid UTF-8 and moves past it; a stray byte stands for itself.
char32_t nextChar(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const int len = b < 0xC0 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (len == 1 || i + len > s.size()) {
        ++i;
        return b;
    }
    char32_t c = b & (0x7F >> len);
    for (int k = 1; k < len; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += len;
    return c;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

void appendFolded(std::string& out, std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b);
            ++i;
            continue;
        }
        const size_t start = i;
        const char32_t c = nextChar(utf8, i);
        const char32_t folded = foldChar(c);
        if (folded == c)
            out.append(utf8.substr(start, i - start));
        else
            appendUtf8(out, folded);
    }
}

std::string foldName(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    appendFolded(out, utf8);
    return out;
}

std::string naturalKey(std::string_view utf8) {
    const std::string folded = foldName(utf8);
    std::string key;
    key.reserve(folded.size() + 8);
    for (size_t i = 0; i < folded.size();) {
        if (!isDigit(folded[i])) {
            key += folded[i++];
            continue;
        }
        // A run of digits becomes '0', its length without leading zeros, then those digits: a shorter
        // number sorts first, numbers of one length digit by digit, and the run sorts against other
        // characters as a digit does. Names hold at most 32 bytes, so the length fits in one byte.
        while (i < folded.size() && folded[i] == '0')
            ++i;
        size_t end = i;
        while (end < folded.size() && isDigit(folded[end]))
            ++end;
        key += '0';
        key += static_cast<char>('0' + std::min<size_t>(end - i, 0x4F));
        key.append(folded, i, end - i);
        i = end;
    }
    return key;
}

std::vector<uint32_t> sortRows(const std::vector<SortRow>& rows, SortBy by, bool descending,
                               const NameCodec& codec) {
    // Keys live in one buffer and the sort moves small records that hold everything a comparison needs,
    // so it touches no row and allocates nothing per name.
    struct Keyed {
        std::string_view m_name;
        std::string_view m_path;
        uint32_t m_size;
        uint32_t m_row;
        bool m_folder;
    };
    const bool names = by != SortBy::Type;
    const bool paths = by == SortBy::Path;
    std::string buffer;
    std::vector<std::pair<size_t, size_t>> spans; // name then path, as offsets into buffer
    spans.reserve(rows.size() * 2);
    for (const SortRow& row : rows) {
        for (int k = 0; k < 2; ++k) {
            const size_t start = buffer.size();
            if (k == 0 ? names : paths)
                buffer += naturalKey(codec.decode(k == 0 ? row.m_raw : row.m_path));
            spans.emplace_back(start, buffer.size() - start);
        }
    }
    std::vector<Keyed> keyed;
    keyed.reserve(rows.size());
    for (uint32_t i = 0; i < rows.size(); ++i) {
        const std::string_view all(buffer);
        keyed.push_back({all.substr(spans[2 * i].first, spans[2 * i].second),
                         all.substr(spans[2 * i + 1].first, spans[2 * i + 1].second), rows[i].m_size, i,
                         rows[i].m_folder});
    }
    auto compare = [by](const Keyed& a, const Keyed& b) -> int {
        switch (by) {
        case SortBy::Name:
            return a.m_name.compare(b.m_name);
        case SortBy::Size:
            if (a.m_size != b.m_size)
                return a.m_size < b.m_size ? -1 : 1;
            return a.m_name.compare(b.m_name);
        case SortBy::Path:
            if (int c = a.m_path.compare(b.m_path))
                return c;
            return a.m_name.compare(b.m_name);
        case SortBy::Type:
            break;
        }
        return 0;
    };
    // Folders first in both directions; the key alone is reversed.
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.m_folder != b.m_folder)
            return a.m_folder;
        const int c = compare(a, b);
        return descending ? c > 0 : c < 0;
    });
    std::vector<uint32_t> order;
    order.reserve(keyed.size());
    for (const Keyed& k : keyed)
        order.push_back(k.m_row);
    return order;
}

} // namespace vorpex
