#include "catalogue/NameEscaper.h"

#include "catalogue/NameCodec.h"

namespace vorpex {

namespace {

void appendHex(std::string& out, unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += '\\';
    out += 'x';
    out += kDigits[(value >> 4) & 0xF];
    out += kDigits[value & 0xF];
}

bool isPlain(unsigned char c) {
    return c >= 0x20 && c < 0x7F && c != '/' && c != '\\';
}

} // namespace

NameEscaper::NameEscaper(const NameCodec& codec, bool escape) : m_codec(codec), m_escape(escape) {
    std::string ascii;
    for (int c = 0x20; c < 0x7F; ++c)
        ascii += static_cast<char>(c);
    m_asciiIdentity = codec.decode(ascii) == ascii;
}

void NameEscaper::append(std::string& out, std::string_view raw) const {
    if (m_asciiIdentity) {
        bool plain = true;
        for (unsigned char c : raw) {
            if (!isPlain(c)) {
                plain = false;
                break;
            }
        }
        if (plain) {
            out.append(raw);
            return;
        }
    }
    if (m_escape) {
        appendDecoded(out, m_codec.decode(raw));
        return;
    }
    // A code page may decode some bytes to U+0000 (UTF-7 does): it never becomes part of a name, which a
    // NUL ends where names are separated by NULs. It is spelt \x00, as an escaped name spells it.
    const std::string decoded = m_codec.decode(raw);
    for (const char c : decoded) {
        if (c == '\0')
            appendHex(out, 0);
        else
            out += c;
    }
}

std::string NameEscaper::escape(std::string_view raw) const {
    std::string out;
    append(out, raw);
    return out;
}

void NameEscaper::appendDecoded(std::string& out, std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\') {
            appendHex(out, c);
        } else if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // U+0080..U+009F, the C1 controls, are two bytes in UTF-8: C2 80..C2 9F.
            appendHex(out, static_cast<unsigned char>(utf8[i + 1]));
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
}

} // namespace vorpex
