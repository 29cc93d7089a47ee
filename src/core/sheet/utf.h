// The program's one UTF-8 / UTF-16 codec.
//
// Decoding UTF-8 is strict: a byte that starts no valid sequence, an overlong
// form, a surrogate or a code point past U+10FFFF each give U+FFFD, so two
// different byte strings (a password, say) never decode to the same text.
// Encoding turns a lone surrogate into U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gp::sheet {

// Appends one code point as UTF-8.
inline void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// Appends n UTF-16 code units, unit i given by unitAt(i), as UTF-8.
template <class UnitAt> void appendUtf16AsUtf8(std::string& out, size_t n, UnitAt unitAt)
{
    for (size_t i = 0; i < n; ++i) {
        char32_t u = char32_t(unitAt(i));
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            char32_t v = char32_t(unitAt(i + 1));
            if (v >= 0xDC00 && v <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? char32_t(0xFFFD) : u);
    }
}

// UTF-8 -> UTF-16 (out is replaced).
void utf8ToUtf16(std::string_view s, std::u16string& out);
std::u16string utf8ToUtf16(std::string_view s);

} // namespace gp::sheet
