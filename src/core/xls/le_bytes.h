// Little-endian integers and doubles in byte buffers: the one set of helpers of
// the file codec (container, records, encryption), also used by the host where
// it edits the raw bytes a record keeps.
#pragma once

#include <cstdint>
#include <cstring>

namespace gp::xls {

inline uint16_t rd16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t rd64(const uint8_t* p) { return uint64_t(rd32(p)) | (uint64_t(rd32(p + 4)) << 32); }
inline double rdf64(const uint8_t* p)
{
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

inline void wr16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void wr32(uint8_t* p, uint32_t v)
{
    wr16(p, uint16_t(v));
    wr16(p + 2, uint16_t(v >> 16));
}
inline void wr64(uint8_t* p, uint64_t v)
{
    wr32(p, uint32_t(v));
    wr32(p + 4, uint32_t(v >> 32));
}

} // namespace gp::xls
