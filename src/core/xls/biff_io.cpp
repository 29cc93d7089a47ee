#include "core/xls/biff_io.h"

namespace gp::xls::biff {

void appendUtf16(std::string& out, const uint16_t* units, size_t n)
{
    sheet::appendUtf16AsUtf8(out, n, [units](size_t i) { return units[i]; });
}

void appendUtf16Bytes(std::string& out, const uint8_t* le, size_t n)
{
    sheet::appendUtf16AsUtf8(out, n, [le](size_t i) { return rd16(le + 2 * i); });
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

} // namespace gp::xls::biff
