// RK numbers, every kind: the reader's decoding of each form and sign, and the
// writer's choice of form, read back bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "core/sheet/workbook.h"
#include "core/xls/biff_io.h"
#include "core/xls/xls_file.h"

using namespace gp::xls;
using namespace gp::sheet;

namespace {

uint64_t bitsOf(double v)
{
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return b;
}

uint32_t intRk(int32_t v, bool x100) { return (uint32_t(v) << 2) | 2u | (x100 ? 1u : 0u); }

} // namespace

TEST(XlsRk, EveryFormAndSignDecodes)
{
    // Integers (bit 1), with and without the division by 100 (bit 0).
    EXPECT_EQ(biff::rkValue(intRk(123, false)), 123.0);
    EXPECT_EQ(biff::rkValue(intRk(-5, false)), -5.0);
    EXPECT_EQ(biff::rkValue(intRk(0, false)), 0.0);
    EXPECT_EQ(biff::rkValue(intRk(536870911, false)), 536870911.0);   // largest 30-bit integer
    EXPECT_EQ(biff::rkValue(intRk(-536870912, false)), -536870912.0); // smallest
    EXPECT_EQ(biff::rkValue(intRk(123, true)), 1.23);
    EXPECT_EQ(biff::rkValue(intRk(-123, true)), -1.23);
    EXPECT_EQ(biff::rkValue(intRk(-536870912, true)), -5368709.12);
    // The high half of a double, with and without the division by 100.
    EXPECT_EQ(biff::rkValue(0x3FF00000u), 1.0);
    EXPECT_EQ(biff::rkValue(0xBFF00000u), -1.0);
    EXPECT_EQ(biff::rkValue(0x405EC001u), 1.23);
    EXPECT_EQ(biff::rkValue(0x3FE00000u), 0.5);
    EXPECT_EQ(bitsOf(biff::rkValue(0x80000000u)), bitsOf(-0.0));
    EXPECT_EQ(biff::rkValue(0x40240000u), 10.0);
    EXPECT_EQ(biff::rkValue(0x40240001u), 0.1);
}

TEST(XlsRk, WriterPicksAFormThatReadsBackExactly)
{
    // value -> record the writer should use (RK when some form is exact, else NUMBER).
    const std::vector<std::pair<double, uint16_t>> cases = {
        {0, biff::rRK},
        {1, biff::rRK},
        {-1, biff::rRK},
        {536870911, biff::rRK},
        {-536870912, biff::rRK}, // integer form at its ends
        {536870912, biff::rRK},
        {-536870913, biff::rNUMBER}, // 2^29 is a short double; the other is not
        {1.23, biff::rRK},
        {-0.05, biff::rRK},
        {-5368709.12, biff::rRK}, // integer / 100
        {5368709.11, biff::rNUMBER},
        {1234567.89, biff::rNUMBER}, // x 100 is not an exact integer in binary
        {0.5, biff::rRK},
        {-0.0, biff::rRK},
        {1e300, biff::rNUMBER}, // double high half; 1e300 needs all bits
        {0.1, biff::rRK},
        {1.0 / 3, biff::rNUMBER},
        {45366.395833333336, biff::rNUMBER},
        {-2.5e-10, biff::rNUMBER},
    };
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Numeri");
    for (size_t i = 0; i < cases.size(); ++i)
        ws.setValue(int(i), 0, Value::makeNumber(cases[i].first));
    const std::vector<uint8_t> s = writeWorkbookStream(*wb);

    // The record of each row's cell, found in the stream.
    std::map<int, uint16_t> kind;
    for (size_t pos = 0; pos + 4 <= s.size();) {
        uint16_t type = rd16(&s[pos]), n = rd16(&s[pos + 2]);
        if ((type == biff::rRK || type == biff::rNUMBER) && n >= 4)
            kind[rd16(&s[pos + 4])] = type;
        pos += 4 + n;
    }
    auto back = parseWorkbookStream(s);
    ASSERT_TRUE(back.ok());
    const Worksheet& got = *back.value()->sheets[0];
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(kind[int(i)], cases[i].second);
        ASSERT_EQ(got.value(int(i), 0).type, CellType::Number);
        EXPECT_EQ(bitsOf(got.value(int(i), 0).number), bitsOf(cases[i].first));
    }
    // Neighbouring RK numbers share a MULRK record and read back the same.
    auto row = newWorkbook();
    Worksheet& r = row->addSheet("Riga");
    for (size_t i = 0; i < cases.size(); ++i)
        r.setValue(0, int(i), Value::makeNumber(cases[i].first));
    auto rowBack = parseWorkbookStream(writeWorkbookStream(*row));
    ASSERT_TRUE(rowBack.ok());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(bitsOf(rowBack.value()->sheets[0]->value(0, int(i)).number), bitsOf(cases[i].first)) << i;
}
