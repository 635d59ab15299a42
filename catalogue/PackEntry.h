#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vorpex {

class PackFolder;

// One file record of an archive: a plain value of 48 bytes, copied freely. The name is kept inline as the
// record's raw 32-byte field, so a catalogue of a million entries costs one allocation, not a million, and
// the reader copies the field without looking into it.
class PackEntry {
public:
    static constexpr size_t kMaxName = 32;

    uint32_t m_offset = 0;                // position of the data from the start of the archive
    uint32_t m_size = 0;                  // length of the data in bytes
    const PackFolder* m_folder = nullptr; // the folder whose list held the record; null in the top-level list
    char m_name[kMaxName];                // the name up to the first NUL; a 32-byte name fills it without one

    PackEntry() { std::memset(m_name, 0, kMaxName); }
    PackEntry(const PackFolder* folder, std::string_view name, uint32_t size, uint32_t offset)
        : m_offset(offset), m_size(size), m_folder(folder) {
        std::memset(m_name, 0, kMaxName);
        if (!name.empty())
            std::memcpy(m_name, name.data(), name.size() < kMaxName ? name.size() : kMaxName);
    }
    // From a record's whole name field; bytes after its first NUL are kept but never part of the name.
    PackEntry(const PackFolder* folder, const char (&field)[kMaxName], uint32_t size, uint32_t offset)
        : m_offset(offset), m_size(size), m_folder(folder) {
        std::memcpy(m_name, field, kMaxName);
    }

    uint32_t offset() const { return m_offset; }
    uint32_t size() const { return m_size; }
    std::string_view name() const {
        const void* nul = std::memchr(m_name, 0, kMaxName);
        return {m_name, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_name) : kMaxName};
    }
    const PackFolder* folder() const { return m_folder; }

    // The folder path of the file: a backslash before each folder name from the top down ("\DATA\MAPS"),
    // empty for a file of the top-level list. Raw bytes, like the names.
    std::string path() const;
};

} // namespace vorpex
