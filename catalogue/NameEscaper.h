#pragma once

#include <string>
#include <string_view>

namespace vorpex {

class NameCodec;

// Turns archive names into text for a terminal or a script: decoded from the archive's code page to UTF-8,
// with '/', '\' and control characters (C0, DEL and C1) written as \xHH, so that a printed path splits
// into names at its '/' and every line means exactly one thing. The codec must outlive the escaper.
class NameEscaper {
public:
    // With `escape` false, names are only decoded: for output that separates paths otherwise (NUL). A
    // decoded NUL is spelt \x00 all the same.
    explicit NameEscaper(const NameCodec& codec, bool escape = true);

    // Appends the raw archive name `raw`, decoded and escaped, to `out`.
    void append(std::string& out, std::string_view raw) const;
    std::string escape(std::string_view raw) const;

    // Appends a name that is already UTF-8 (a name the core decoded for a message), escaped.
    static void appendDecoded(std::string& out, std::string_view utf8);

    // True when the code page decodes printable ASCII to itself.
    bool isAsciiIdentity() const { return m_asciiIdentity; }
    const NameCodec& codec() const { return m_codec; }

private:
    const NameCodec& m_codec;
    // Then plain ASCII names are copied without decoding, which keeps listing a million entries cheap.
    bool m_asciiIdentity = false;
    bool m_escape;
};

} // namespace vorpex
