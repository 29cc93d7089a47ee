// What the engine tests build by hand (fields, records, a one-stream file) and read of the fixtures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/sheet/workbook.h"
#include "core/xls/cfb.h"

namespace gptest {

using Bytes = std::vector<uint8_t>;

uint16_t get16(const Bytes& b, size_t at);
uint32_t get32(const Bytes& b, size_t at);
void put16(Bytes& b, size_t at, uint16_t v);
void put32(Bytes& b, size_t at, uint32_t v);
Bytes u16le(uint16_t v);
Bytes u32le(uint32_t v);
Bytes operator+(Bytes a, const Bytes& b);
Bytes latin1(const std::string& s);
Bytes utf16(const std::u16string& s);
// n bytes of a fixed pseudo-random pattern.
Bytes pattern(size_t n, uint32_t seed);
// Appends one BIFF record.
void record(Bytes& s, uint16_t type, const Bytes& body);
// A BIFF8 BOF body of the given substream type (5 globals, 0x10 sheet).
Bytes bofBody(uint16_t type);

// A Workbook stream as a list of records, to be changed and put back together.
struct Records {
    std::vector<gp::sheet::RawRecord> list;

    static Records of(const Bytes& s);
    // Index of the k-th record of a type (list.size() when there is none).
    size_t find(uint16_t type, int k = 0) const;
    // The first cell record of a type at (row, col).
    size_t cell(uint16_t type, int row, int col) const;
    gp::sheet::RawRecord& at(size_t i) { return list.at(i); }
    // The stream, every BOUNDSHEET pointing at its sheet's BOF again.
    Bytes bytes() const;
};

Bytes readBytes(const std::filesystem::path& p);
void writeBytes(const std::filesystem::path& p, const Bytes& bytes);

// A compound file holding one stream.
gp::xls::CompoundFile oneStream(Bytes data, std::u16string name = u"Workbook");

// The workbooks of fixtures/xls (and fixtures/practice) that have an expected dump, in name order.
std::vector<std::filesystem::path> fixtureFiles(bool practice = false);

// The fields of an expected dump (NAME.expected.json) the tests use.
struct Expected {
    std::string encryption;
    std::optional<std::string> password;
    std::vector<std::string> sheetNames;
    std::optional<std::string> firstText;
};
Expected readExpected(const std::filesystem::path& workbook);

} // namespace gptest
