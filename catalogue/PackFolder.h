#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A folder of the catalogue. The catalogue (CPackFile) owns every folder; the pointers here are links.
// Each folder knows its own files, in archive order, so listing or extracting a folder costs time in its
// own size, never in the archive's.
class CPackFolder {
public:
    CPackFolder() = default;
    CPackFolder(std::string name, CPackFolder* parent) : m_pParent(parent), m_strName(std::move(name)) {}

    CPackFolder* m_pParent = nullptr;     // the enclosing folder; null for a top-level folder
    std::string m_strName;                // raw bytes of the record's name
    std::vector<CPackFolder*> m_Children; // sub-folders, in archive order
    std::vector<uint32_t> m_Files;        // indexes into CPackFile::m_Entries, in archive order
    uint32_t m_nRow = 0;                  // index of this folder in its parent's m_Children (or the top list)
    uint32_t m_nDepth = 1;                // 1 for a top-level folder

    const std::string& GetName() const { return m_strName; }
    const CPackFolder* GetParent() const { return m_pParent; }
    std::span<const CPackFolder* const> GetChildren() const { return {m_Children.data(), m_Children.size()}; }
    std::span<const uint32_t> GetFiles() const { return m_Files; }
    uint32_t GetRow() const { return m_nRow; }
    uint32_t GetDepth() const { return m_nDepth; }

    // "\DATA\MAPS" for MAPS inside the top-level folder DATA.
    std::string GetPath() const;
};
