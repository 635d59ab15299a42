#pragma once

#include <string>
#include <string_view>

#include "catalogue/NameEscaper.h"
#include "catalogue/PackFile.h"

// Visits every folder and file of a catalogue in the order of the extraction walk, with its printed path:
// the top-level files, then each top-level folder; for a folder, the folder itself, then its files in archive
// order, then each sub-folder the same way. Names are escaped and joined with '/'; a folder's path ends
// with '/'. The visitor is called as visit(path, parent, folder, entry) with exactly one of folder and entry
// set; `parent` is the folder (or the top pseudo-folder) whose list holds the item.
class CPathWalk {
public:
    CPathWalk(const CPackFile& pack, const CNameEscaper& escaper) : m_Pack(pack), m_Escaper(escaper) {}

    template <class Visitor> void Walk(Visitor&& visit) const {
        std::string path;
        path.reserve(512);
        WalkFolder(m_Pack.GetTop(), path, visit);
    }

private:
    template <class Visitor>
    void WalkFolder(const CPackFolder& folder, std::string& path, Visitor& visit) const {
        const size_t base = path.size();
        for (uint32_t index : folder.GetFiles()) {
            const CPackEntry& entry = m_Pack.Entry(index);
            m_Escaper.Append(path, entry.GetName());
            visit(std::string_view(path), folder, static_cast<const CPackFolder*>(nullptr), &entry);
            path.resize(base);
        }
        // Folders nest at most CPackFile::kMaxDepth levels, so the recursion stays shallow.
        for (const CPackFolder* child : folder.GetChildren()) {
            m_Escaper.Append(path, child->GetName());
            path += '/';
            visit(std::string_view(path), folder, child, static_cast<const CPackEntry*>(nullptr));
            WalkFolder(*child, path, visit);
            path.resize(base);
        }
    }

    const CPackFile& m_Pack;
    const CNameEscaper& m_Escaper;
};
