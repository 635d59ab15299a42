#pragma once

#include <string>
#include <string_view>

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"

namespace vorpex {

// Visits every folder and file of a catalogue in the order of the extraction walk, with its printed path:
// the top-level files, then each top-level folder; for a folder, the folder itself, then its files in archive
// order, then each sub-folder the same way. Names are escaped and joined with '/'; a folder's path ends
// with '/'. The visitor is called as visit(path, parent, folder, entry) with exactly one of folder and entry
// set; `parent` is the folder (or the top pseudo-folder) whose list holds the item.
class PathWalk {
public:
    PathWalk(const PackFile& pack, const NameEscaper& escaper) : m_pack(pack), m_escaper(escaper) {}

    template <class Visitor> void walk(Visitor&& visit) const {
        std::string path;
        path.reserve(512);
        walkFolder(m_pack.top(), path, visit);
    }

private:
    template <class Visitor>
    void walkFolder(const PackFolder& folder, std::string& path, Visitor& visit) const {
        const size_t base = path.size();
        for (uint32_t index : folder.files()) {
            const PackEntry& entry = m_pack.entry(index);
            m_escaper.append(path, entry.name());
            visit(std::string_view(path), folder, static_cast<const PackFolder*>(nullptr), &entry);
            path.resize(base);
        }
        // Folders nest at most PackFile::kMaxDepth levels, so the recursion stays shallow.
        for (const PackFolder* child : folder.children()) {
            m_escaper.append(path, child->name());
            path += '/';
            visit(std::string_view(path), folder, child, static_cast<const PackEntry*>(nullptr));
            walkFolder(*child, path, visit);
            path.resize(base);
        }
    }

    const PackFile& m_pack;
    const NameEscaper& m_escaper;
};

} // namespace vorpex
