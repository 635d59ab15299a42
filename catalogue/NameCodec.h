#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace vorpex {

// Turns the raw 8-bit names of an archive into UTF-8 (for display and for the names of files and folders
// made on disk) and back (for packing). Windows-1252 by default, with the five bytes it leaves undefined
// mapped to the C1 controls of the same value so that every name survives a round trip; any other code page
// goes through iconv. Safe to use from several threads.
class NameCodec {
public:
    static constexpr const char* kDefault = "WINDOWS-1252";

    explicit NameCodec(std::string encoding = kDefault);
    ~NameCodec();
    NameCodec(const NameCodec&) = delete;
    NameCodec& operator=(const NameCodec&) = delete;

    bool isValid() const { return m_valid; } // false when iconv knows no such encoding
    const std::string& encoding() const { return m_encoding; }

    // Always well-formed UTF-8: bytes the code page cannot decode become U+FFFD.
    std::string decode(std::string_view raw) const;
    // False when some character has no code in the code page (or the text is not UTF-8).
    bool encode(std::string_view utf8, std::string& raw) const;

private:
    std::string m_encoding;
    bool m_valid = false;
    bool m_cp1252 = false;
    struct Iconv;
    std::unique_ptr<Iconv> m_iconv;
    mutable std::mutex m_mutex; // iconv descriptors keep state: one conversion at a time
};

// True for a name that must never be used on disk: empty, ".", "..", or holding '/', '\' or a NUL.
// Checked on the raw name and again on its decoded form.
bool isUnsafeName(std::string_view name);

// Reads the UTF-8 character at `i` of `s` into `c` and moves `i` past it; false, `i` unmoved, on a malformed
// sequence (overlong forms, surrogates and code points past U+10FFFF included).
bool nextUtf8(std::string_view s, size_t& i, char32_t& c);

// Appends the code point `c` to `out` in UTF-8.
void appendUtf8(std::string& out, char32_t c);

} // namespace vorpex
