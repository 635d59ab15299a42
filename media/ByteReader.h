#pragma once

#include <cstdint>

#include "media/MediaTypes.h"

namespace vorpex {

// Bounds-checked reading of a byte span: a read past the end gives zeros and sets failed(), so a decoder
// checks once after a header instead of before every field.
class ByteReader {
public:
    explicit ByteReader(ByteSpan bytes, size_t pos = 0) : m_bytes(bytes), m_pos(pos) {}

    size_t pos() const { return m_pos; }
    size_t size() const { return m_bytes.size(); }
    size_t remaining() const { return m_pos < m_bytes.size() ? m_bytes.size() - m_pos : 0; }
    bool failed() const { return m_failed; }
    bool atEnd() const { return remaining() == 0; }

    void seek(size_t pos) {
        m_failed |= pos > m_bytes.size();
        m_pos = pos > m_bytes.size() ? m_bytes.size() : pos;
    }
    void skip(size_t count) { seek(count > remaining() ? m_bytes.size() + 1 : m_pos + count); }
    // Up to `count` bytes from here, fewer at the end; moves past them.
    ByteSpan take(size_t count) {
        const size_t n = count < remaining() ? count : remaining();
        ByteSpan part = m_bytes.subspan(m_pos, n);
        m_pos += n;
        return part;
    }

    uint8_t u8() { return need(1) ? m_bytes[m_pos++] : 0; }
    uint16_t le16() { return uint16_t(le(2)); }
    uint32_t le24() { return uint32_t(le(3)); }
    uint32_t le32() { return uint32_t(le(4)); }
    uint16_t be16() { return uint16_t(be(2)); }
    uint32_t be32() { return uint32_t(be(4)); }
    bool matches(const char* text, size_t length) {
        if (!need(length))
            return false;
        for (size_t i = 0; i < length; ++i)
            if (m_bytes[m_pos + i] != uint8_t(text[i]))
                return false;
        m_pos += length;
        return true;
    }

private:
    bool need(size_t count) {
        if (remaining() >= count)
            return true;
        m_failed = true;
        m_pos = m_bytes.size();
        return false;
    }
    uint64_t le(unsigned count) { return number(count, false); }
    uint64_t be(unsigned count) { return number(count, true); }
    uint64_t number(unsigned count, bool bigEndian) {
        if (!need(count))
            return 0;
        uint64_t v = 0;
        for (unsigned i = 0; i < count; ++i)
            v |= uint64_t(m_bytes[m_pos + i]) << (8 * (bigEndian ? count - 1 - i : i));
        m_pos += count;
        return v;
    }

    ByteSpan m_bytes;
    size_t m_pos;
    bool m_failed = false;
};

} // namespace vorpex
