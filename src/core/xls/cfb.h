// Compound File Binary container (the "OLE2" file that holds the Workbook stream).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/xls/errors.h"

namespace gp::xls {

struct CfbEntry {
    std::u16string name;
    uint8_t type = 2; // 1 storage, 2 stream, 5 root
    std::array<uint8_t, 16> clsid{};
    uint32_t stateBits = 0;
    uint64_t created = 0, modified = 0; // FILETIME
    std::vector<uint8_t> data;          // streams only
    std::vector<CfbEntry> children;     // storages only
};

struct CompoundFile {
    CfbEntry root; // type 5, name "Root Entry"
};

// Reads any valid v3/v4 compound file. Never trusts a size or a chain: a
// damaged file gives ErrorCode::Damaged (or NotSpreadsheet without the signature).
Result<CompoundFile> readCompoundFile(std::span<const uint8_t> bytes);

// Writes a v3 file (512-byte sectors); streams shorter than 4096 bytes go into
// the mini stream. Children are written in the order given (the directory tree
// is built sorted as the format requires).
std::vector<uint8_t> writeCompoundFile(const CompoundFile& file);

// Child of a storage by name, compared without regard to letter case; nullptr if none.
const CfbEntry* findChild(const CfbEntry& storage, std::u16string_view name);
CfbEntry* findChild(CfbEntry& storage, std::u16string_view name);

} // namespace gp::xls
