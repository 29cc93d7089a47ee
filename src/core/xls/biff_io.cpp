#include "core/xls/biff_io.h"

namespace gp::xls::biff {

namespace {
inline void putCodePoint(std::string& out, uint32_t cp)
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

template <class Get>
void utf16ToUtf8(std::string& out, size_t n, Get get)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = get(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t v = get(i + 1);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                putCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        putCodePoint(out, u);
    }
}
} // namespace

void appendUtf16(std::string& out, const uint16_t* units, size_t n)
{
    utf16ToUtf8(out, n, [units](size_t i) { return uint32_t(units[i]); });
}

void appendUtf16Bytes(std::string& out, const uint8_t* le, size_t n)
{
    utf16ToUtf8(out, n, [le](size_t i) { return uint32_t(rd16(le + 2 * i)); });
}

void appendLatin1(std::string& out, const uint8_t* p, size_t n)
{
    size_t i = 0;
    // Plain ASCII runs are copied in one go.
    while (i < n) {
        size_t j = i;
        while (j < n && p[j] < 0x80)
            ++j;
        out.append(reinterpret_cast<const char*>(p + i), j - i);
        if (j < n) {
            out.push_back(char(0xC0 | (p[j] >> 6)));
            out.push_back(char(0x80 | (p[j] & 0x3F)));
            ++j;
        }
        i = j;
    }
}

void utf8ToUnits(std::string_view s, std::u16string& out)
{
    out.clear();
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    size_t n = s.size(), i = 0;
    while (i < n) {
        uint8_t c = p[i];
        if (c < 0x80) {
            out.push_back(char16_t(c));
            ++i;
            continue;
        }
        uint32_t cp = 0;
        int extra = 0;
        if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
        else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
        else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
        else { out.push_back(u'\uFFFD'); ++i; continue; }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            (extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000)) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        i += size_t(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
}

} // namespace gp::xls::biff
