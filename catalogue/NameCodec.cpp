#include "catalogue/NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace vorpex {

namespace {

// Windows-1252 bytes 0x80-0x9F; the five the code page leaves undefined keep their own value (C1 controls).
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isCp1252Name(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::toupper(ch); });
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    name.erase(std::remove(name.begin(), name.end(), '_'), name.end());
    return name == "WINDOWS1252" || name == "CP1252";
}

// Runs `in` through the converter `cd`, appending to `out`. What cannot be converted becomes U+FFFD when
// `replace` holds (decoding to UTF-8), and otherwise fails the conversion.
bool convert(iconv_t cd, std::string_view text, std::string& out, bool replace) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, static_cast<size_t>(o - buffer));
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            if (!replace)
                return false;
            // A byte the code page cannot decode (or a sequence cut by the end of the name).
            appendUtf8(out, 0xFFFD);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // Whatever state the converter keeps (a shift sequence) is flushed at the end.
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer, static_cast<size_t>(o - buffer));
    return true;
}

// Replaces each byte of `text` that is no part of a well-formed UTF-8 character with U+FFFD, as a byte the
// code page cannot decode: iconv lets some through (code points past U+10FFFF, from UTF-8 itself).
void keepWellFormed(std::string& text) {
    size_t i = 0;
    char32_t c;
    while (i < text.size() && nextUtf8(text, i, c)) {
    }
    if (i == text.size())
        return;
    std::string out(text, 0, i);
    while (i < text.size()) {
        const size_t start = i;
        if (nextUtf8(text, i, c)) {
            out.append(text, start, i - start);
        } else {
            appendUtf8(out, 0xFFFD);
            ++i;
        }
    }
    text = std::move(out);
}

} // namespace

bool nextUtf8(std::string_view s, size_t& i, char32_t& c) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len;
    if (b < 0x80) {
        c = b;
        len = 1;
    } else if ((b & 0xE0) == 0xC0) {
        c = b & 0x1F;
        len = 2;
    } else if ((b & 0xF0) == 0xE0) {
        c = b & 0x0F;
        len = 3;
    } else if ((b & 0xF8) == 0xF0) {
        c = b & 0x07;
        len = 4;
    } else {
        return false;
    }
    if (i + len > s.size())
        return false;
    for (size_t k = 1; k < len; ++k) {
        const auto cb = static_cast<unsigned char>(s[i + k]);
        if ((cb & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (cb & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    i += len;
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

struct NameCodec::Iconv {
    iconv_t m_toUtf8 = reinterpret_cast<iconv_t>(-1);
    iconv_t m_fromUtf8 = reinterpret_cast<iconv_t>(-1);
    ~Iconv() {
        if (m_toUtf8 != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_toUtf8);
        if (m_fromUtf8 != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_fromUtf8);
    }
};

NameCodec::NameCodec(std::string encoding) : m_encoding(std::move(encoding)) {
    if (isCp1252Name(m_encoding)) {
        m_cp1252 = true;
        m_valid = true;
        return;
    }
    m_iconv = std::make_unique<Iconv>();
    m_iconv->m_toUtf8 = iconv_open("UTF-8", m_encoding.c_str());
    m_iconv->m_fromUtf8 = iconv_open(m_encoding.c_str(), "UTF-8");
    m_valid = m_iconv->m_toUtf8 != reinterpret_cast<iconv_t>(-1) &&
              m_iconv->m_fromUtf8 != reinterpret_cast<iconv_t>(-1);
}

NameCodec::~NameCodec() = default;

std::string NameCodec::decode(std::string_view raw) const {
    std::string out;
    out.reserve(raw.size() + 8);
    if (m_cp1252 || !m_valid) {
        for (unsigned char b : raw) {
            if (b < 0x80)
                out += static_cast<char>(b);
            else if (b < 0xA0)
                appendUtf8(out, kCp1252High[b - 0x80]);
            else
                appendUtf8(out, b);
        }
        return out;
    }
    {
        std::lock_guard lock(m_mutex);
        convert(m_iconv->m_toUtf8, raw, out, true);
    }
    keepWellFormed(out);
    return out;
}

bool NameCodec::encode(std::string_view utf8, std::string& raw) const {
    raw.clear();
    if (!m_valid)
        return false;
    if (m_cp1252) {
        for (size_t i = 0; i < utf8.size();) {
            char32_t c;
            if (!nextUtf8(utf8, i, c))
                return false;
            if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
                raw += static_cast<char>(c);
                continue;
            }
            const char16_t* hit = std::find(std::begin(kCp1252High), std::end(kCp1252High), c);
            if (hit == std::end(kCp1252High))
                return false;
            raw += static_cast<char>(0x80 + (hit - std::begin(kCp1252High)));
        }
        return true;
    }
    for (size_t i = 0; i < utf8.size();) {
        char32_t c;
        if (!nextUtf8(utf8, i, c))
            return false;
    }
    std::lock_guard lock(m_mutex);
    return convert(m_iconv->m_fromUtf8, utf8, raw, false);
}

bool isUnsafeName(std::string_view name) {
    return name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
           name.find('\\') != std::string_view::npos || name.find('\0') != std::string_view::npos;
}

} // namespace vorpex
