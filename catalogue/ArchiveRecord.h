#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vorpex {

// The fixed 44-byte directory record of an archive. The file has no header: everything is reached from
// the top-level list, whose first record is the first 44 bytes of the file. A list is a run of consecutive
// records ended by an end record; a folder record's offset is where the folder's own list begins, a file
// record's offset and size say where its data lies. The two 32-bit fields are little-endian.
struct ArchiveRecord {
    static constexpr size_t kSize = 44;
    static constexpr size_t kNameSize = 32;
    static constexpr uint8_t kFile = 0;
    static constexpr uint8_t kFolder = 1;
    static constexpr uint8_t kEnd = 0xFF;
    static constexpr uint64_t kAddressable = uint64_t(1) << 32; // offsets and sizes are 32-bit

    char m_name[kNameSize] = {}; // up to the first NUL; a 32-byte name fills the field without one
    uint8_t m_type = kEnd;
    uint8_t m_pad[3] = {}; // never read
    uint32_t m_size = 0;
    uint32_t m_offset = 0;

    std::string_view name() const {
        const void* nul = std::memchr(m_name, 0, kNameSize);
        return {m_name, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_name) : kNameSize};
    }

    static ArchiveRecord parse(const unsigned char* p) {
        ArchiveRecord r;
        std::memcpy(r.m_name, p, kNameSize);
        r.m_type = p[32];
        std::memcpy(r.m_pad, p + 33, 3);
        r.m_size = le32(p + 36);
        r.m_offset = le32(p + 40);
        return r;
    }

    // Writes the 44 bytes; a name longer than 32 bytes is cut (callers check lengths first).
    void serialize(unsigned char* out) const {
        std::memcpy(out, m_name, kNameSize);
        out[32] = m_type;
        std::memcpy(out + 33, m_pad, 3);
        putLe32(out + 36, m_size);
        putLe32(out + 40, m_offset);
    }

    static ArchiveRecord make(std::string_view name, uint8_t type, uint32_t size, uint32_t offset) {
        ArchiveRecord r;
        if (!name.empty()) // an empty view may hold a null pointer, which memcpy must not get
            std::memcpy(r.m_name, name.data(), name.size() < kNameSize ? name.size() : kNameSize);
        r.m_type = type;
        r.m_size = size;
        r.m_offset = offset;
        return r;
    }

    std::string bytes() const {
        std::string s(kSize, '\0');
        serialize(reinterpret_cast<unsigned char*>(s.data()));
        return s;
    }

    static uint32_t le32(const unsigned char* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static void putLe32(unsigned char* p, uint32_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
    }
};

} // namespace vorpex
