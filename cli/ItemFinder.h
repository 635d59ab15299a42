#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CNameEscaper;
class CPackEntry;
class CPackFile;
class CPackFolder;

// Finds an item of the archive by the path that `list` prints for it (a folder's trailing '/' optional).
// Escaped names hold no '/', so the path splits into names unambiguously. Where several items share the
// path, the first in `list` order is taken.
class CItemFinder {
public:
    struct CFound {
        const CPackFolder* m_pFolder = nullptr;
        const CPackEntry* m_pEntry = nullptr;
        explicit operator bool() const { return m_pFolder || m_pEntry; }
    };

    CItemFinder(const CPackFile& pack, const CNameEscaper& escaper) : m_Pack(pack), m_Escaper(escaper) {}

    CFound Find(std::string_view item) const;

    // True when `item` holds a wildcard ('*', '?' or '[') and is matched as a pattern.
    static bool IsPattern(std::string_view item);
    // True when `path` (a printed path; a folder's without its '/' too) matches `pattern` (fnmatch with
    // `flags`), or, with `lastName`, when the path's last name does.
    static bool Matches(const std::string& pattern, std::string_view path, bool folder, int flags,
                        bool lastName = false);
    // Calls `found` with every folder and file whose path matches `pattern`, in `list` order; below a
    // folder that matches nothing more is matched, since the folder brings everything below it.
    void Match(const std::string& pattern, int flags, const std::function<void(const CFound&)>& found) const;

private:
    CFound Search(const CPackFolder& folder, const std::vector<std::string_view>& names, size_t level,
                  bool folderOnly) const;

    const CPackFile& m_Pack;
    const CNameEscaper& m_Escaper;
};
