// Files that are not workbooks, and the reference reader's conventions that
// our dump follows (xls_roundtrip_check compares the dumps of every reference
// workbook with what the independent readers saw).
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

    std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    auto notCfb = readXls(text);
    ASSERT_FALSE(notCfb.ok());
    EXPECT_EQ(notCfb.error().code, ErrorCode::NotSpreadsheet);

    // A compound file holding only an Excel 5.0/95 "Book" stream, and one with neither stream.
    auto old = readXls(writeCompoundFile(gptest::oneStream(std::vector<uint8_t>(100, 0), u"Book")));
    ASSERT_FALSE(old.ok());
    EXPECT_EQ(old.error().code, ErrorCode::OldFormat);
    auto other = readXls(writeCompoundFile(gptest::oneStream(std::vector<uint8_t>(100, 0), u"WordDocument")));
    ASSERT_FALSE(other.ok());
    EXPECT_EQ(other.error().code, ErrorCode::NotSpreadsheet);
}

TEST(XlsDump, DatesFollowTheReferenceReader)
{
    EXPECT_EQ(dumpIsoDate(45306, false), "2024-01-15");
    EXPECT_EQ(dumpIsoDate(61, false), "1900-03-01");
    EXPECT_EQ(dumpIsoDate(60, false), std::nullopt); // the day that never was
    EXPECT_EQ(dumpIsoDate(1, false), std::nullopt);
    EXPECT_EQ(dumpIsoDate(0, false), "00:00:00");
    EXPECT_EQ(dumpIsoDate(0.5, false), "12:00:00");
    EXPECT_EQ(dumpIsoDate(45306.75, false), "2024-01-15T18:00:00");
    EXPECT_EQ(dumpIsoDate(45306.9999999, false), "2024-01-16"); // seconds round into the next day
    EXPECT_EQ(dumpIsoDate(0, true), "00:00:00");
    EXPECT_EQ(dumpIsoDate(1, true), "1904-01-02");
    EXPECT_EQ(dumpIsoDate(-1, false), std::nullopt);
    EXPECT_EQ(dumpIsoDate(2958465, false), "9999-12-31");
    EXPECT_EQ(dumpIsoDate(2958466, false), std::nullopt);
    EXPECT_EQ(dumpIsoDate(2957004, true), std::nullopt);

    auto wb = gp::sheet::newWorkbook();
    wb->numberFormats[164] = "dd/mm/yyyy";
    wb->numberFormats[165] = "[$-410]#,##0.00";
    wb->numberFormats[166] = "0.00E+00";
    wb->numberFormats[167] = "\"giorno\" 0";
    wb->numberFormats[168] = "[h]:mm";
    wb->numberFormats[14] = "0.00"; // a record for a built-in id wins over the built-in meaning
    EXPECT_TRUE(dumpIsDateFormat(*wb, 164));
    EXPECT_FALSE(dumpIsDateFormat(*wb, 165));
    EXPECT_FALSE(dumpIsDateFormat(*wb, 166));
    EXPECT_FALSE(dumpIsDateFormat(*wb, 167));
    EXPECT_TRUE(dumpIsDateFormat(*wb, 168));
    EXPECT_FALSE(dumpIsDateFormat(*wb, 14));
    EXPECT_TRUE(dumpIsDateFormat(*wb, 22));
    EXPECT_TRUE(dumpIsDateFormat(*wb, 50));
    EXPECT_FALSE(dumpIsDateFormat(*wb, 49));
    EXPECT_EQ(dumpNumberFormat(*wb, 4), "#,##0.00");
    EXPECT_EQ(dumpNumberFormat(*wb, 14), "0.00");
    EXPECT_EQ(dumpNumberFormat(*wb, 60), std::nullopt);
}

TEST(XlsDump, NumbersAreWrittenLikePythonFloats)
{
    EXPECT_EQ(jsonNumber(1), "1.0");
    EXPECT_EQ(jsonNumber(-5), "-5.0");
    EXPECT_EQ(jsonNumber(1.23), "1.23");
    EXPECT_EQ(jsonNumber(20960.510000000002), "20960.510000000002");
    EXPECT_EQ(jsonNumber(1e16), "1e+16");
    EXPECT_EQ(jsonNumber(123456789012345.0), "123456789012345.0");
    EXPECT_EQ(jsonNumber(0.0001), "0.0001");
    EXPECT_EQ(jsonNumber(0.00001), "1e-05");
    EXPECT_EQ(jsonNumber(1.5e-300), "1.5e-300");
    for (double v : {0.1, 1.0 / 3, 2.5e10, -7.25e-7, 6.02214076e23})
        EXPECT_EQ(std::stod(jsonNumber(v)), v);
}
