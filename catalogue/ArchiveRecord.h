#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// The fixed 44-byte directory record of an archive. The file has no header: everything is reached from
// the top-level list, whose first record is the first 44 bytes of the file. A list is a run of consecutive
// records ended by an end record; a folder record's offset is where the folder's own list begins, a file
// record's offset and size say where its data lies. The two 32-bit fields are little-endian.
struct CArchiveRecord {
    static constexpr size_t kSize = 44;
    static constexpr size_t kNameSize = 32;
    static constexpr uint8_t kFile = 0;
    static constexpr uint8_t kFolder = 1;
    static constexpr uint8_t kEnd = 0xFF;
    static constexpr uint64_t kAddressable = uint64_t(1) << 32; // offsets and sizes are 32-bit

    char m_name[kNameSize] = {}; // up to the first NUL; a 32-byte name fills the field without one
    uint8_t m_nType = kEnd;
    uint8_t m_pad[3] = {}; // never read
    uint32_t m_nSize = 0;
    uint32_t m_nOffset = 0;

    std::string_view Name() const {
        const void* nul = std::memchr(m_name, 0, kNameSize);
        return {m_name, nul ? static_cast<size_t>(static_cast<const char*>(nul) - m_name) : kNameSize};
    }

    static CArchiveRecord Parse(const unsigned char* p) {
        CArchiveRecord r;
        std::memcpy(r.m_name, p, kNameSize);
        r.m_nType = p[32];
        std::memcpy(r.m_pad, p + 33, 3);
        r.m_nSize = Le32(p + 36);
        r.m_nOffset = Le32(p + 40);
        return r;
    }

    // Writes the 44 bytes; a name longer than 32 bytes is cut (callers check lengths first).
    void Serialize(unsigned char* out) const {
        std::memcpy(out, m_name, kNameSize);
        out[32] = m_nType;
        std::memcpy(out + 33, m_pad, 3);
        PutLe32(out + 36, m_nSize);
        PutLe32(out + 40, m_nOffset);
    }

    static CArchiveRecord Make(std::string_view name, uint8_t type, uint32_t size, uint32_t offset) {
        CArchiveRecord r;
        if (!name.empty()) // an empty view may hold a null pointer, which memcpy must not get
            std::memcpy(r.m_name, name.data(), name.size() < kNameSize ? name.size() : kNameSize);
        r.m_nType = type;
        r.m_nSize = size;
        r.m_nOffset = offset;
        return r;
    }

    std::string Bytes() const {
        std::string s(kSize, '\0');
        Serialize(reinterpret_cast<unsigned char*>(s.data()));
        return s;
    }

    static uint32_t Le32(const unsigned char* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static void PutLe32(unsigned char* p, uint32_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
    }
};
