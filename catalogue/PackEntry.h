#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

class CPackFolder;

// One file record of an archive: a plain value of 48 bytes, copied freely. The name is kept inline as the
// record's raw 32-byte field, so a catalogue of a million entries costs one allocation, not a million, and
// the reader copies the field without looking into it.
class CPackEntry {
public:
    static constexpr size_t kMaxName = 32;

    uint32_t m_nOffset = 0; // position of the data from the start of the archive
    uint32_t m_nSize = 0;   // length of the data in bytes
    const CPackFolder* m_pFolder =
        nullptr;             // the folder whose list held the record; null in the top-level list
    char m_szName[kMaxName]; // the name up to the first NUL; a 32-byte name fills it without one

    CPackEntry() { std::memset(m_szName, 0, kMaxName); }
    CPackEntry(const CPackFolder* folder, std::string_view name, uint32_t size, uint32_t offset)
        : m_nOffset(offset), m_nSize(size), m_pFolder(folder) {
        std::memset(m_szName, 0, kMaxName);
        if (!name.empty())
            std::memcpy(m_szName, name.data(), name.size() < kMaxName ? name.size() : kMaxName);
    }
    // From a record's whole name field; bytes after its first NUL are kept but never part of the name.
    CPackEntry(const CPackFolder* folder, const char (&field)[kMaxName], uint32_t size, uint32_t offset)
        : m_nOffset(offset), m_nSize(size), m_pFolder(folder) {
        std::memcpy(m_szName, field, kMaxName);
    }

    uint32_t GetOffset() const { return m_nOffset; }
    uint32_t GetSize() const { return m_nSize; }
    std::string_view GetName() const {
        const void* nul = std::memchr(m_szName, 0, kMaxName);
        return {m_szName, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_szName) : kMaxName};
    }
    const CPackFolder* GetFolder() const { return m_pFolder; }

    // The folder path of the file: a backslash before each folder name from the top down ("\DATA\MAPS"),
    // empty for a file of the top-level list. Raw bytes, like the names.
    std::string GetPath() const;
};
