// RK numbers of every kind: decoding each form and sign, the writer's choice, read back bit for bit.
#include <gtest/gtest.h>

#include <bit>

#include "core/sheet/workbook.h"
#include "core/xls/biff_io.h"
#include "core/xls/xls_file.h"
#include "xls/support_bytes.h"

using namespace gp::xls;
using namespace gp::sheet;

namespace {

uint64_t bitsOf(double v) { return std::bit_cast<uint64_t>(v); }
uint32_t intRk(int32_t v, bool x100) { return (uint32_t(v) << 2) | 2u | (x100 ? 1u : 0u); }

} // namespace

// Integers (bit 1) at the ends of 30 bits, and the high half of a double, each with and
// without the division by 100 (bit 0).
TEST(XlsRk, EveryFormAndSignDecodes)
{
    struct R {
        uint32_t rk;
        double value;
    };
    for (auto [rk, value] :
         {R{intRk(123, false), 123.0}, R{intRk(-5, false), -5.0}, R{intRk(0, false), 0.0},
          R{intRk(536870911, false), 536870911.0}, R{intRk(-536870912, false), -536870912.0}, R{intRk(123, true), 1.23},
          R{intRk(-123, true), -1.23}, R{intRk(-536870912, true), -5368709.12}, R{0x3FF00000u, 1.0},
          R{0xBFF00000u, -1.0}, R{0x405EC001u, 1.23}, R{0x3FE00000u, 0.5}, R{0x80000000u, -0.0}, R{0x40240000u, 10.0},
          R{0x40240001u, 0.1}})
        EXPECT_EQ(bitsOf(biff::rkValue(rk)), bitsOf(value)) << std::hex << rk;
}

TEST(XlsRk, WriterPicksAFormThatReadsBackExactly)
{
    // value -> record the writer should use (RK when some form is exact, else NUMBER): the
    // integer form at its ends, 2^29 as a short double, integers / 100, double high halves.
    struct C {
        double value;
        uint16_t record;
    };
    const std::vector<C> cases(
        {C{0, biff::rRK}, C{1, biff::rRK}, C{-1, biff::rRK}, C{536870911, biff::rRK}, C{-536870912, biff::rRK},
         C{536870912, biff::rRK}, C{-536870913, biff::rNUMBER}, C{1.23, biff::rRK}, C{-0.05, biff::rRK},
         C{-5368709.12, biff::rRK}, C{5368709.11, biff::rNUMBER}, C{1234567.89, biff::rNUMBER}, C{0.5, biff::rRK},
         C{-0.0, biff::rRK}, C{1e300, biff::rNUMBER}, C{0.1, biff::rRK}, C{1.0 / 3, biff::rNUMBER},
         C{45366.395833333336, biff::rNUMBER}, C{-2.5e-10, biff::rNUMBER}});
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Numeri");
    for (size_t i = 0; i < cases.size(); ++i)
        ws.setValue(int(i), 0, Value::makeNumber(cases[i].value));
    const std::vector<uint8_t> s = writeWorkbookStream(*wb);

    const gptest::Records records = gptest::Records::of(s);
    auto back = parseWorkbookStream(s);
    ASSERT_TRUE(back.ok());
    const Worksheet& got = *back.value()->sheets[0];
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].value);
        EXPECT_LT(records.cell(cases[i].record, int(i), 0), records.list.size()); // the expected record
        ASSERT_EQ(got.value(int(i), 0).type, CellType::Number);
        EXPECT_EQ(bitsOf(got.value(int(i), 0).number), bitsOf(cases[i].value));
    }
    // Neighbouring RK numbers share a MULRK record and read back the same.
    auto row = newWorkbook();
    Worksheet& r = row->addSheet("Riga");
    for (size_t i = 0; i < cases.size(); ++i)
        r.setValue(0, int(i), Value::makeNumber(cases[i].value));
    auto rowBack = parseWorkbookStream(writeWorkbookStream(*row));
    ASSERT_TRUE(rowBack.ok());
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(bitsOf(rowBack.value()->sheets[0]->value(0, int(i)).number), bitsOf(cases[i].value)) << i;
}
