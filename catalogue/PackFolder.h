#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

// A folder of the catalogue. The catalogue (CPackFile) owns every folder and sets them up while it reads;
// everyone else sees them read-only. Each folder knows its own files, in archive order, so listing or
// extracting a folder costs time in its own size, never in the archive's. The lists of children and files
// lie in two arrays shared by the whole catalogue, so a folder costs the same small amount whatever it holds.
class CPackFolder {
public:
    static constexpr size_t kMaxName = 32;

    CPackFolder() { std::memset(m_szName, 0, kMaxName); }
    CPackFolder(std::string_view name, CPackFolder* parent) : m_pParent(parent) {
        std::memset(m_szName, 0, kMaxName);
        if (!name.empty())
            std::memcpy(m_szName, name.data(), name.size() < kMaxName ? name.size() : kMaxName);
        m_nDepth = parent ? parent->m_nDepth + 1 : 1;
    }

    // Raw bytes of the record's name.
    std::string_view GetName() const {
        const void* nul = std::memchr(m_szName, 0, kMaxName);
        return {m_szName, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_szName) : kMaxName};
    }
    // The enclosing folder; null for a top-level folder.
    const CPackFolder* GetParent() const { return m_pParent; }
    // Sub-folders, in archive order.
    std::span<const CPackFolder* const> GetChildren() const { return {m_pChildren, m_nChildren}; }
    // Indexes of the folder's files into the catalogue's entries, in archive order.
    std::span<const uint32_t> GetFiles() const { return {m_pFiles, m_nFiles}; }
    // Index of this folder among its parent's children (or the top-level folders).
    uint32_t GetRow() const { return m_nRow; }
    // 1 for a top-level folder.
    uint32_t GetDepth() const { return m_nDepth; }

    // "\DATA\MAPS" for MAPS inside the top-level folder DATA.
    std::string GetPath() const;

private:
    friend class CPackFile;
    friend class CCatalogueReader;

    CPackFolder* m_pParent = nullptr;
    const CPackFolder** m_pChildren = nullptr; // within the catalogue's array of children
    uint32_t* m_pFiles = nullptr;              // within the catalogue's array of file indexes
    uint32_t m_nChildren = 0;
    uint32_t m_nFiles = 0;
    uint32_t m_nRow = 0;
    uint32_t m_nDepth = 1;
    char m_szName[kMaxName]; // the name up to the first NUL; a 32-byte name fills it without one
};
