// Record numbers, RK numbers, text conversions and the output buffer shared by
// the BIFF8 reader and writer. Internal to the xls layer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/sheet/utf.h"
#include "core/xls/le_bytes.h"

namespace gp::xls::biff {

// Record numbers.
enum : uint16_t {
    rFORMULA = 0x0006,
    rEOF = 0x000A,
    rCALCCOUNT = 0x000C,
    rCALCMODE = 0x000D,
    rPRECISION = 0x000E,
    rREFMODE = 0x000F,
    rDELTA = 0x0010,
    rITERATION = 0x0011,
    rPROTECT = 0x0012,
    rPASSWORD = 0x0013,
    rHEADER = 0x0014,
    rFOOTER = 0x0015,
    rEXTERNSHEET = 0x0017,
    rNAME = 0x0018,
    rWINDOWPROTECT = 0x0019,
    rNOTE = 0x001C,
    rSELECTION = 0x001D,
    rDATEMODE = 0x0022,
    rLEFTMARGIN = 0x0026,
    rRIGHTMARGIN = 0x0027,
    rTOPMARGIN = 0x0028,
    rBOTTOMMARGIN = 0x0029,
    rPRINTHEADERS = 0x002A,
    rPRINTGRIDLINES = 0x002B,
    rFILEPASS = 0x002F,
    rFONT = 0x0031,
    rCONTINUE = 0x003C,
    rWINDOW1 = 0x003D,
    rBACKUP = 0x0040,
    rPANE = 0x0041,
    rCODEPAGE = 0x0042,
    rPLS = 0x004D,
    rDEFCOLWIDTH = 0x0055,
    rWRITEACCESS = 0x005C,
    rOBJ = 0x005D,
    rSAVERECALC = 0x005F,
    rOBJPROTECT = 0x0063,
    rCOLINFO = 0x007D,
    rGUTS = 0x0080,
    rWSBOOL = 0x0081,
    rGRIDSET = 0x0082,
    rHCENTER = 0x0083,
    rVCENTER = 0x0084,
    rBOUNDSHEET = 0x0085,
    rCOUNTRY = 0x008C,
    rHIDEOBJ = 0x008D,
    rSORT = 0x0090,
    rPALETTE = 0x0092,
    rSCL = 0x00A0,
    rSETUP = 0x00A1,
    rMULRK = 0x00BD,
    rMULBLANK = 0x00BE,
    rMMS = 0x00C1,
    rRSTRING = 0x00D6,
    rDBCELL = 0x00D7,
    rBOOKBOOL = 0x00DA,
    rSCENPROTECT = 0x00DD,
    rXF = 0x00E0,
    rINTERFACEHDR = 0x00E1,
    rINTERFACEEND = 0x00E2,
    rMERGECELLS = 0x00E5,
    rBKHIM = 0x00E9,
    rMSODRAWINGGROUP = 0x00EB,
    rMSODRAWING = 0x00EC,
    rMSODRAWINGSELECTION = 0x00ED,
    rSST = 0x00FC,
    rLABELSST = 0x00FD,
    rEXTSST = 0x00FF,
    rTABID = 0x013D,
    rUSESELFS = 0x0160,
    rDSF = 0x0161,
    rSUPBOOK = 0x01AE,
    rPROT4REV = 0x01AF,
    rTXO = 0x01B6,
    rREFRESHALL = 0x01B7,
    rHLINK = 0x01B8,
    rPROT4REVPASS = 0x01BC,
    rRECALCID = 0x01C1,
    rDIMENSIONS = 0x0200,
    rBLANK = 0x0201,
    rNUMBER = 0x0203,
    rLABEL = 0x0204,
    rBOOLERR = 0x0205,
    rSTRING = 0x0207,
    rROW = 0x0208,
    rINDEX = 0x020B,
    rARRAY = 0x0221,
    rDEFAULTROWHEIGHT = 0x0225,
    rTABLE = 0x0236,
    rWINDOW2 = 0x023E,
    rRK = 0x027E,
    rSTYLE = 0x0293,
    rFORMAT = 0x041E,
    rSHRFMLA = 0x04BC,
    rBOF = 0x0809,
    rPLV = 0x088B,
    rHFPICTURE = 0x089C,
};

constexpr size_t kMaxBody = 8224;

// Value of an RK number (a packed integer or the high half of a double, maybe /100).
inline double rkValue(uint32_t rk)
{
    double v;
    if (rk & 2) {
        v = double(int32_t(rk) >> 2);
    } else {
        uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    if (rk & 1)
        v /= 100;
    return v;
}

// Appends one UTF-16 code unit sequence (units) to UTF-8 text, through the
// program's codec (core/sheet/utf.h); lone surrogates become U+FFFD.
void appendUtf16(std::string& out, const uint16_t* units, size_t n);
void appendUtf16Bytes(std::string& out, const uint8_t* le, size_t n); // n units, little-endian bytes
void appendLatin1(std::string& out, const uint8_t* p, size_t n);

// Growing output buffer with record framing.
class Out {
public:
    std::vector<uint8_t> buf;

    size_t size() const { return buf.size(); }
    uint8_t* grow(size_t n)
    {
        size_t o = buf.size();
        if (buf.capacity() - o < n)
            buf.reserve(std::max(buf.capacity() * 2, o + n + 4096));
        buf.resize(o + n);
        return buf.data() + o;
    }
    void u8(uint8_t v) { buf.push_back(v); }
    void u16(uint16_t v) { wr16(grow(2), v); }
    void u32(uint32_t v) { wr32(grow(4), v); }
    void f64(double v) { std::memcpy(grow(8), &v, 8); }
    void bytes(const uint8_t* p, size_t n)
    {
        if (n)
            std::memcpy(grow(n), p, n);
    }
    void bytes(const std::vector<uint8_t>& v) { buf.insert(buf.end(), v.begin(), v.end()); }

    // A whole record (body must fit in one record).
    void record(uint16_t type, const uint8_t* body, size_t n)
    {
        u16(type);
        u16(uint16_t(n));
        bytes(body, n);
    }
    void record(uint16_t type, const std::vector<uint8_t>& body) { record(type, body.data(), body.size()); }
    // Starts a record whose size is patched by end().
    size_t begin(uint16_t type)
    {
        u16(type);
        u16(0);
        return buf.size();
    }
    void end(size_t start) { wr16(&buf[start - 2], uint16_t(buf.size() - start)); }
};

} // namespace gp::xls::biff
