#include "catalogue/ShownNames.h"

#include <algorithm>
#include <numeric>

#include "catalogue/NameCodec.h"
#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"

namespace {

std::string Respelled(std::string_view shown) {
    if (shown.empty())
        return "\\x00";
    std::string out;
    for (size_t i = 0; i < shown.size(); ++i)
        out += "\\x2E";
    return out;
}

std::string Numbered(const std::string& name, unsigned number) {
    const size_t dot = name.rfind('.');
    const size_t at = dot == std::string::npos || dot == 0 ? name.size() : dot;
    return name.substr(0, at) + "\\#" + std::to_string(number) + name.substr(at);
}

} // namespace

bool CShownNames::IsUnsafe(std::string_view raw, const CNameCodec& codec, const CNameEscaper& escaper) {
    if (IsUnsafeName(raw))
        return true;
    // Where the code page decodes printable ASCII to itself, only other bytes can turn into a separator or
    // a dot; elsewhere (UTF-7, say) any name may.
    const bool plain = escaper.IsAsciiIdentity() &&
                       std::none_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) || c < 0x20; });
    return !plain && IsUnsafeName(codec.Decode(raw));
}

CShownNames::CShownNames(const CPackFile& pack, const CPackFolder& folder, const CNameCodec& codec,
                         const CNameEscaper& escaper)
    : m_Pack(pack), m_Folder(folder), m_Escaper(escaper) {
    const uint32_t count = static_cast<uint32_t>(folder.GetFiles().size() + folder.GetChildren().size());
    std::vector<std::string> names(count);
    std::vector<unsigned> fixes(count, 0);
    std::vector<bool> renamed(count, false);
    for (uint32_t i = 0; i < count; ++i) {
        const std::string_view bytes = Raw(i);
        names[i] = escaper.Escape(bytes);
        if (IsUnsafe(bytes, codec, escaper))
            fixes[i] |= kUnsafe;
        if (names[i].empty() || names[i] == "." || names[i] == "..") {
            names[i] = Respelled(names[i]);
            renamed[i] = true;
        }
    }

    m_Sorted.resize(count);
    std::iota(m_Sorted.begin(), m_Sorted.end(), 0u);
    auto byName = [&](uint32_t a, uint32_t b) { return names[a] < names[b]; };
    // Stable, so that among equal names the earlier item comes first and keeps its name.
    std::stable_sort(m_Sorted.begin(), m_Sorted.end(), byName);
    bool anyNumbered = false;
    for (uint32_t run = 0; run < count;) {
        uint32_t end = run + 1;
        while (end < count && names[m_Sorted[end]] == names[m_Sorted[run]])
            ++end;
        for (uint32_t k = run + 1; k < end; ++k) {
            const uint32_t item = m_Sorted[k];
            names[item] = Numbered(names[item], k - run + 1);
            fixes[item] |= kDuplicate;
            renamed[item] = true;
            anyNumbered = true;
        }
        run = end;
    }
    if (anyNumbered)
        std::sort(m_Sorted.begin(), m_Sorted.end(), byName);

    for (uint32_t i = 0; i < count; ++i) {
        if (fixes[i] || renamed[i])
            m_Fixed.push_back({i, fixes[i], renamed[i] ? std::move(names[i]) : std::string()});
    }
}

std::string_view CShownNames::Raw(uint32_t item) const {
    const size_t files = m_Folder.GetFiles().size();
    if (item < files)
        return m_Pack.Entry(m_Folder.GetFiles()[item]).GetName();
    return m_Folder.GetChildren()[item - files]->GetName();
}

const CShownNames::CFixed* CShownNames::Fixed(uint32_t item) const {
    const auto it =
        std::lower_bound(m_Fixed.begin(), m_Fixed.end(), item,
                         [](const CFixed& entry, uint32_t value) { return entry.m_nItem < value; });
    return it != m_Fixed.end() && it->m_nItem == item ? &*it : nullptr;
}

std::string CShownNames::Name(uint32_t item) const {
    const CFixed* found = Fixed(item);
    if (found && !found->m_strName.empty())
        return found->m_strName;
    return m_Escaper.Escape(Raw(item));
}

unsigned CShownNames::Fix(uint32_t item) const {
    const CFixed* found = Fixed(item);
    return found ? found->m_nFix : 0;
}

int64_t CShownNames::Find(std::string_view wanted) const {
    const auto it =
        std::lower_bound(m_Sorted.begin(), m_Sorted.end(), wanted,
                         [this](uint32_t item, std::string_view value) { return Name(item) < value; });
    if (it == m_Sorted.end() || Name(*it) != wanted)
        return -1;
    return *it;
}
