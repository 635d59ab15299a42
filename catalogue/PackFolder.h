#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace vorpex {

// A folder of the catalogue. The catalogue (PackFile) owns every folder and sets them up while it reads;
// everyone else sees them read-only. Each folder knows its own files, in archive order, so listing or
// extracting a folder costs time in its own size, never in the archive's. The lists of children and files
// lie in two arrays shared by the whole catalogue, so a folder costs the same small amount whatever it holds.
class PackFolder {
public:
    static constexpr size_t kMaxName = 32;

    PackFolder() { std::memset(m_name, 0, kMaxName); }
    PackFolder(std::string_view name, PackFolder* parent) : m_parent(parent) {
        std::memset(m_name, 0, kMaxName);
        if (!name.empty())
            std::memcpy(m_name, name.data(), name.size() < kMaxName ? name.size() : kMaxName);
        m_depth = parent ? parent->m_depth + 1 : 1;
    }

    // Raw bytes of the record's name.
    std::string_view name() const {
        const void* nul = std::memchr(m_name, 0, kMaxName);
        return {m_name, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_name) : kMaxName};
    }
    // The enclosing folder; null for a top-level folder.
    const PackFolder* parent() const { return m_parent; }
    // Sub-folders, in archive order.
    std::span<const PackFolder* const> children() const { return {m_children, m_childCount}; }
    // Indexes of the folder's files into the catalogue's entries, in archive order.
    std::span<const uint32_t> files() const { return {m_files, m_fileCount}; }
    // Index of this folder among its parent's children (or the top-level folders).
    uint32_t row() const { return m_row; }
    // 1 for a top-level folder.
    uint32_t depth() const { return m_depth; }

    // "\DATA\MAPS" for MAPS inside the top-level folder DATA.
    std::string path() const;

private:
    friend class PackFile;
    friend class CatalogueReader;
    friend class CatalogueEdit;

    PackFolder* m_parent = nullptr;
    const PackFolder** m_children = nullptr; // within the catalogue's array of children
    uint32_t* m_files = nullptr;             // within the catalogue's array of file indexes
    uint32_t m_childCount = 0;
    uint32_t m_fileCount = 0;
    uint32_t m_row = 0;
    uint32_t m_depth = 1;
    char m_name[kMaxName]; // the name up to the first NUL; a 32-byte name fills it without one
};

} // namespace vorpex
