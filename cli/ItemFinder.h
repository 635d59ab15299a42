#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vorpex {

class NameEscaper;
class PackEntry;
class PackFile;
class PackFolder;

// Finds an item of the archive by the path that `list` prints for it (a folder's trailing '/' optional).
// Escaped names hold no '/', so the path splits into names unambiguously. Where several items share the
// path, the first in `list` order is taken.
class ItemFinder {
public:
    struct Found {
        const PackFolder* m_folder = nullptr;
        const PackEntry* m_entry = nullptr;
        explicit operator bool() const { return m_folder || m_entry; }
    };

    ItemFinder(const PackFile& pack, const NameEscaper& escaper) : m_pack(pack), m_escaper(escaper) {}

    Found find(std::string_view item) const;

    // True when `item` holds a wildcard ('*', '?' or '[') and is matched as a pattern.
    static bool isPattern(std::string_view item);
    // True when `path` (a printed path; a folder's without its '/' too) matches `pattern` (fnmatch with
    // `flags`), or, with `lastName`, when the path's last name does.
    static bool matches(const std::string& pattern, std::string_view path, bool folder, int flags,
                        bool lastName = false);
    // Calls `found` with every folder and file whose path matches `pattern`, in `list` order; below a
    // folder that matches nothing more is matched, since the folder brings everything below it.
    void match(const std::string& pattern, int flags, const std::function<void(const Found&)>& found) const;

private:
    Found search(const PackFolder& folder, const std::vector<std::string_view>& names, size_t level,
                 bool folderOnly) const;

    const PackFile& m_pack;
    const NameEscaper& m_escaper;
};

} // namespace vorpex
