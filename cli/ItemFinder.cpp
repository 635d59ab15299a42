#include "cli/ItemFinder.h"

#include "catalogue/PackFile.h"
#include "cli/NameEscaper.h"

CItemFinder::CFound CItemFinder::Find(std::string_view item) const {
    bool folderOnly = false;
    if (!item.empty() && item.back() == '/') {
        folderOnly = true;
        item.remove_suffix(1);
    }
    std::vector<std::string_view> names;
    for (;;) {
        const size_t slash = item.find('/');
        names.push_back(item.substr(0, slash));
        if (slash == std::string_view::npos)
            break;
        item.remove_prefix(slash + 1);
    }
    return Search(m_Pack.GetTop(), names, 0, folderOnly);
}

CItemFinder::CFound CItemFinder::Search(const CPackFolder& folder, const std::vector<std::string_view>& names,
                                        size_t level, bool folderOnly) const {
    const std::string_view name = names[level];
    const bool last = level + 1 == names.size();
    // In list order a folder's files come before its sub-folders, and each sub-folder's whole subtree
    // before the next sub-folder.
    if (last && !folderOnly) {
        for (uint32_t index : folder.GetFiles()) {
            const CPackEntry& entry = m_Pack.Entry(index);
            if (m_Escaper.Escape(entry.GetName()) == name)
                return {nullptr, &entry};
        }
    }
    for (const CPackFolder* child : folder.GetChildren()) {
        if (m_Escaper.Escape(child->GetName()) != name)
            continue;
        if (last)
            return {child, nullptr};
        if (CFound found = Search(*child, names, level + 1, folderOnly))
            return found;
    }
    return {};
}
