// Files that are not workbooks, and the reference reader's conventions our dump follows (the
// dumps themselves are compared with the independent readers' in xls_roundtrip_check).
#include <gtest/gtest.h>

#include "core/xls/xls_dump.h"
#include "core/xls/xls_file.h"
#include "xls/support_bytes.h"

using namespace gp::xls;

TEST(XlsFixtures, FilesThatAreNotWorkbooksGiveTheRightError)
{
    auto missing = readXlsFile("/nonexistent/dir/x.xls");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, ErrorCode::FileMissing);
    // Plain text; a compound file holding only an Excel 5.0/95 "Book" stream, and one with neither stream.
    struct F {
        std::vector<uint8_t> bytes;
        ErrorCode code;
    };
    const std::vector<uint8_t> zeros(100, 0);
    for (const auto& [bytes, code] :
         {F{{'h', 'e', 'l', 'l', 'o'}, ErrorCode::NotSpreadsheet},
          F{writeCompoundFile(gptest::oneStream(zeros, u"Book")), ErrorCode::OldFormat},
          F{writeCompoundFile(gptest::oneStream(zeros, u"WordDocument")), ErrorCode::NotSpreadsheet}}) {
        auto r = readXls(bytes);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error().code, code);
    }
}

TEST(XlsDump, DatesFollowTheReferenceReader)
{
    struct D {
        double serial;
        bool date1904;
        std::optional<std::string> iso; // nullopt: not a date for the reference reader
    };
    // 60 is the day that never was; seconds round into the next day.
    for (const auto& [serial, date1904, iso] :
         {D{45306, false, "2024-01-15"}, D{61, false, "1900-03-01"}, D{60, false, {}}, D{1, false, {}},
          D{0, false, "00:00:00"}, D{0.5, false, "12:00:00"}, D{45306.75, false, "2024-01-15T18:00:00"},
          D{45306.9999999, false, "2024-01-16"}, D{0, true, "00:00:00"}, D{1, true, "1904-01-02"}, D{-1, false, {}},
          D{2958465, false, "9999-12-31"}, D{2958466, false, {}}, D{2957004, true, {}}})
        EXPECT_EQ(dumpIsoDate(serial, date1904), iso) << serial << (date1904 ? " (1904)" : "");

    auto wb = gp::sheet::newWorkbook();
    // FORMAT records of the file; the one for a built-in id wins over the built-in meaning.
    for (auto [id, format] :
         {std::pair{164, "dd/mm/yyyy"}, std::pair{165, "[$-410]#,##0.00"}, std::pair{166, "0.00E+00"},
          std::pair{167, "\"giorno\" 0"}, std::pair{168, "[h]:mm"}, std::pair{14, "0.00"}})
        wb->numberFormats[uint16_t(id)] = format;
    for (uint16_t id : {164, 168, 22, 50})
        EXPECT_TRUE(dumpIsDateFormat(*wb, id)) << id;
    for (uint16_t id : {165, 166, 167, 14, 49})
        EXPECT_FALSE(dumpIsDateFormat(*wb, id)) << id;
    EXPECT_EQ(dumpNumberFormat(*wb, 4), "#,##0.00");
    EXPECT_EQ(dumpNumberFormat(*wb, 14), "0.00");
    EXPECT_EQ(dumpNumberFormat(*wb, 60), std::nullopt);
}

TEST(XlsDump, NumbersAreWrittenLikePythonFloats)
{
    for (auto [v, text] : {std::pair{1.0, "1.0"}, std::pair{-5.0, "-5.0"}, std::pair{1.23, "1.23"},
                           std::pair{20960.510000000002, "20960.510000000002"}, std::pair{1e16, "1e+16"},
                           std::pair{123456789012345.0, "123456789012345.0"}, std::pair{0.0001, "0.0001"},
                           std::pair{0.00001, "1e-05"}, std::pair{1.5e-300, "1.5e-300"}})
        EXPECT_EQ(jsonNumber(v), text);
    for (double v : {0.1, 1.0 / 3, 2.5e10, -7.25e-7, 6.02214076e23})
        EXPECT_EQ(std::stod(jsonNumber(v)), v);
}
