#include "cli/ItemFinder.h"

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"
#include "catalogue/PathWalk.h"

#include <fnmatch.h>

namespace vorpex {

ItemFinder::Found ItemFinder::find(std::string_view item) const {
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
    return search(m_pack.top(), names, 0, folderOnly);
}

ItemFinder::Found ItemFinder::search(const PackFolder& folder, const std::vector<std::string_view>& names,
                                     size_t level, bool folderOnly) const {
    const std::string_view name = names[level];
    const bool last = level + 1 == names.size();
    // In list order a folder's files come before its sub-folders, and each sub-folder's whole subtree
    // before the next sub-folder.
    if (last && !folderOnly) {
        for (uint32_t index : folder.files()) {
            const PackEntry& entry = m_pack.entry(index);
            if (m_escaper.escape(entry.name()) == name)
                return {nullptr, &entry};
        }
    }
    for (const PackFolder* child : folder.children()) {
        if (m_escaper.escape(child->name()) != name)
            continue;
        if (last)
            return {child, nullptr};
        if (Found found = search(*child, names, level + 1, folderOnly))
            return found;
    }
    return {};
}

bool ItemFinder::isPattern(std::string_view item) {
    return item.find_first_of("*?[") != std::string_view::npos;
}

bool ItemFinder::matches(const std::string& pattern, std::string_view path, bool folder, int flags,
                         bool lastName) {
    // Called for every item of the archive and every pattern: the copy that fnmatch needs reuses its room.
    thread_local std::string text;
    text.assign(path);
    if (fnmatch(pattern.c_str(), text.c_str(), flags) == 0)
        return true;
    if (folder) {
        text.pop_back();
        if (fnmatch(pattern.c_str(), text.c_str(), flags) == 0)
            return true;
    }
    const size_t slash = text.rfind('/');
    return lastName && slash != std::string::npos &&
           fnmatch(pattern.c_str(), text.c_str() + slash + 1, flags) == 0;
}

void ItemFinder::match(const std::string& pattern, int flags,
                       const std::function<void(const Found&)>& found) const {
    std::string taken; // the path of the last folder matched, below which nothing more is
    PathWalk(m_pack, m_escaper)
        .walk(
            [&](std::string_view path, const PackFolder&, const PackFolder* folder, const PackEntry* entry) {
                if (!taken.empty() && path.substr(0, taken.size()) == taken)
                    return;
                if (!matches(pattern, path, folder != nullptr, flags))
                    return;
                if (folder)
                    taken = path;
                found({folder, entry});
            });
}

} // namespace vorpex
