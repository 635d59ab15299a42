#include "catalogue/ShownNames.h"

#include <algorithm>
#include <numeric>

#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"

namespace vorpex {

namespace {

std::string respelled(std::string_view shown) {
    if (shown.empty())
        return "\\x00";
    std::string out;
    for (size_t i = 0; i < shown.size(); ++i)
        out += "\\x2E";
    return out;
}

std::string numbered(const std::string& name, unsigned number) {
    const size_t dot = name.rfind('.');
    const size_t at = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, at) + "\\#" + std::to_string(number) + name.substr(at);
}

} // namespace

bool ShownNames::isUnsafe(std::string_view raw, const NameCodec& codec, const NameEscaper& escaper) {
    if (isUnsafeName(raw))
        return true;
    // Where the code page decodes printable ASCII to itself, only other bytes can turn into a separator or
    // a dot; elsewhere (UTF-7, say) any name may.
    const bool plain = escaper.isAsciiIdentity() &&
                       std::none_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) || c < 0x20; });
    return !plain && isUnsafeName(codec.decode(raw));
}

ShownNames::ShownNames(const PackFile& pack, const PackFolder& folder, const NameCodec& codec,
                       const NameEscaper& escaper)
    : m_pack(pack), m_folder(folder), m_escaper(escaper) {
    const uint32_t count = static_cast<uint32_t>(folder.files().size() + folder.children().size());
    std::vector<std::string> names(count);
    std::vector<unsigned> fixes(count, 0);
    std::vector<bool> renamed(count, false);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string_view bytes = raw(i);
        names[i] = escaper.escape(bytes);
        if (isUnsafe(bytes, codec, escaper))
            fixes[i] |= kUnsafe;
        if (names[i].empty() || names[i] == "." || names[i] == "..") {
            names[i] = respelled(names[i]);
            renamed[i] = true;
        }
    }

    m_sorted.resize(count);
    std::iota(m_sorted.begin(), m_sorted.end(), 0u);
    auto byName = [&](uint32_t a, uint32_t b) { return names[a] < names[b]; };
    // Stable, so that among equal names the earlier item comes first and keeps its name.
    std::stable_sort(m_sorted.begin(), m_sorted.end(), byName);
    bool anyNumbered = false;
    for (uint32_t run = 0; run < count;) {
        uint32_t end = run + 1;
        while (end < count && names[m_sorted[end]] == names[m_sorted[run]])
            ++end;
        for (uint32_t k = run + 1; k < end; ++k) {
            const uint32_t item = m_sorted[k];
            names[item] = numbered(names[item], k - run + 1);
            fixes[item] |= kDuplicate;
            renamed[item] = true;
            anyNumbered = true;
        }
        run = end;
    }
    if (anyNumbered)
        std::sort(m_sorted.begin(), m_sorted.end(), byName);

    for (uint32_t i = 0; i < count; ++i) {
        if (fixes[i] || renamed[i])
            m_fixed.push_back({i, fixes[i], renamed[i] ? std::move(names[i]) : std::string()});
    }
}

std::string_view ShownNames::raw(uint32_t item) const {
    const size_t files = m_folder.files().size();
    if (item < files)
        return m_pack.entry(m_folder.files()[item]).name();
    return m_folder.children()[item - files]->name();
}

const ShownNames::Fixed* ShownNames::fixed(uint32_t item) const {
    const auto it = std::lower_bound(m_fixed.begin(), m_fixed.end(), item,
                                     [](const Fixed& entry, uint32_t value) { return entry.m_item < value; });
    return it != m_fixed.end() && it->m_item == item ? &*it : nullptr;
}

std::string ShownNames::name(uint32_t item) const {
    const Fixed* found = fixed(item);
    if (found && !found->m_name.empty())
        return found->m_name;
    return m_escaper.escape(raw(item));
}

unsigned ShownNames::fix(uint32_t item) const {
    const Fixed* found = fixed(item);
    return found ? found->m_fix : 0;
}

int64_t ShownNames::find(std::string_view wanted) const {
    const auto it =
        std::lower_bound(m_sorted.begin(), m_sorted.end(), wanted,
                         [this](uint32_t item, std::string_view value) { return name(item) < value; });
    if (it == m_sorted.end() || name(*it) != wanted)
        return -1;
    return *it;
}

} // namespace vorpex
