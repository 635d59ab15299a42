#include "catalogue/NameFinder.h"

#include <algorithm>
#include <cstring>

#include "catalogue/NameCodec.h"
#include "catalogue/NameOrder.h"
#include "catalogue/PackFile.h"

namespace vorpex {

NameFinder::NameFinder(const PackFile& pack, const NameCodec& codec) : m_pack(pack) {
    m_starts.reserve(pack.folderCount() + pack.entryCount());
    m_names.reserve((pack.folderCount() + pack.entryCount()) * 14);
    for (const PackFolder* folder : pack.top().children())
        addFolder(*folder, codec);
    if (!pack.isEdited()) {
        for (const PackEntry& entry : pack.entries())
            addName(entry.name(), codec);
        return;
    }
    m_walked = true;
    // Edits took entries out of their folders and added others: the files are those the folders list now.
    const auto addFiles = [&](const PackFolder& folder) {
        for (uint32_t index : folder.files()) {
            m_edited.push_back(&pack.entry(index));
            addName(m_edited.back()->name(), codec);
        }
    };
    addFiles(pack.top());
    for (const PackFolder* folder : m_folders)
        addFiles(*folder);
}

void NameFinder::addFolder(const PackFolder& folder, const NameCodec& codec) {
    m_folders.push_back(&folder);
    addName(folder.name(), codec);
    // The reader stops at PackFile::kMaxDepth levels, so the recursion stays shallow.
    for (const PackFolder* child : folder.children())
        addFolder(*child, codec);
}

void NameFinder::addName(std::string_view raw, const NameCodec& codec) {
    m_starts.push_back(static_cast<uint32_t>(m_names.size()));
    appendFolded(m_names, codec.decode(raw));
    m_names += '\0';
}

std::string_view NameFinder::name(uint32_t item) const {
    const size_t start = m_starts[item];
    const size_t end = item + 1 < m_starts.size() ? m_starts[item + 1] - 1 : m_names.size() - 1;
    return std::string_view(m_names).substr(start, end - start);
}

FindHit NameFinder::hit(uint32_t item) const {
    if (item < m_folders.size())
        return {m_folders[item], nullptr};
    const size_t file = item - m_folders.size();
    return {nullptr, m_walked ? m_edited[file] : &m_pack.entry(static_cast<uint32_t>(file))};
}

bool NameFinder::matchWildcards(std::string_view pattern, std::string_view name) {
    // The classic greedy match: on a mismatch, go back to the last `*` and let it take one more character.
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    auto charLength = [](std::string_view s, size_t i) {
        size_t k = i + 1;
        while (k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80)
            ++k;
        return k - i;
    };
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += charLength(name, n);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool NameFinder::find(std::string_view pattern, std::vector<FindHit>& hits,
                      const std::atomic<bool>* cancel) const {
    hits.clear();
    if (pattern.empty() || m_starts.empty())
        return true;
    const std::string folded = foldName(pattern);
    const bool wildcards = folded.find_first_of("*?") != std::string::npos;

    // With wildcards, candidates are the names holding the longest run of the pattern without them.
    std::string_view literal;
    for (size_t i = 0; i < folded.size();) {
        const size_t end = std::min(folded.find_first_of("*?", i), folded.size());
        if (end - i > literal.size())
            literal = std::string_view(folded).substr(i, end - i);
        i = end + 1;
    }
    constexpr uint32_t kCancelStride = 1 << 16;
    if (wildcards) {
        // Name by name: a wildcard pattern's longest literal run is often in most names ("file*.dat"),
        // where one memmem per name would cost more than this.
        for (uint32_t item = 0; item < m_starts.size(); ++item) {
            if (item % kCancelStride == 0 && cancel && cancel->load(std::memory_order_relaxed))
                return false;
            const std::string_view shown = name(item);
            if ((literal.empty() || shown.find(literal) != std::string_view::npos) &&
                matchWildcards(folded, shown))
                hits.push_back(hit(item));
        }
        return true;
    }
    // A plain part: one memmem over the whole buffer finds the names holding it.
    const char* const begin = m_names.data();
    const char* const end = begin + m_names.size();
    const char* at = begin;
    uint32_t checked = 0;
    uint32_t item = 0;
    while (at < end) {
        const void* found = memmem(at, static_cast<size_t>(end - at), literal.data(), literal.size());
        if (!found)
            break;
        const auto offset = static_cast<uint32_t>(static_cast<const char*>(found) - begin);
        // Hits come in ascending order, so the walk to the name holding this one is linear in all.
        while (item + 1 < m_starts.size() && m_starts[item + 1] <= offset)
            ++item;
        hits.push_back(hit(item));
        if (++checked % kCancelStride == 0 && cancel && cancel->load(std::memory_order_relaxed))
            return false;
        // On to the next name: one hit per name is enough.
        at = begin + m_starts[item] + name(item).size() + 1;
    }
    return true;
}

} // namespace vorpex
