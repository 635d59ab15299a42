#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CPackFolder;

// One file record of an archive: a plain value, copied freely. The name is kept inline as the raw bytes of
// the record (at most 32), so a catalogue of a million entries costs one allocation, not a million.
class CPackEntry {
public:
    static constexpr size_t kMaxName = 32;

    uint32_t m_nOffset = 0;           // position of the data from the start of the archive
    uint32_t m_nSize = 0;             // length of the data in bytes
    CPackFolder* m_pFolder = nullptr; // the folder whose list held the record; null in the top-level list
    uint8_t m_nNameLen = 0;
    char m_szName[kMaxName] = {}; // raw bytes, not NUL-terminated when the name fills it

    CPackEntry() = default;
    CPackEntry(CPackFolder* folder, std::string_view name, uint32_t size, uint32_t offset)
        : m_nOffset(offset), m_nSize(size), m_pFolder(folder) {
        m_nNameLen = static_cast<uint8_t>(name.size() < kMaxName ? name.size() : kMaxName);
        std::memcpy(m_szName, name.data(), m_nNameLen);
    }

    uint32_t GetOffset() const { return m_nOffset; }
    uint32_t GetSize() const { return m_nSize; }
    std::string_view GetName() const { return {m_szName, m_nNameLen}; }
    const CPackFolder* GetFolder() const { return m_pFolder; }

    // The folder path of the file: a backslash before each folder name from the top down ("\DATA\MAPS"),
    // empty for a file of the top-level list. Raw bytes, like the names.
    std::string GetPath() const;
};
