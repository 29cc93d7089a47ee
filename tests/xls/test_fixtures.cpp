// The reference workbooks read by our engine equal what independent readers see.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/xls/xls_dump.h"
#include "core/xls/xls_file.h"
#include "xls/support_json.h"

using namespace gp::xls;
using gptest::Json;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> fixtures()
{
    std::vector<fs::path> out;
    for (const char* sub : {"fixtures/xls", "fixtures/practice"}) {
        fs::path dir = fs::path(GP_SHARED_DIR) / sub;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() == ".xls" && fs::exists(fs::path(e.path()).replace_extension(".expected.json")))
                out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<uint8_t> fileBytes(const fs::path& p)
{
    std::string s = gptest::readFile(p.string());
    return {s.begin(), s.end()};
}

std::string passwordOf(const Json& expected) { return expected["password"].isNull() ? "" : expected["password"].str; }

} // namespace

TEST(XlsFixtures, EveryReferenceWorkbookReadsAsTheIndependentReadersSawIt)
{
    auto files = fixtures();
    if (files.empty())
        GTEST_SKIP() << "no shared fixtures under " << GP_SHARED_DIR;
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        Json expected = gptest::parseJsonFile(fs::path(path).replace_extension(".expected.json").string());
        auto doc = readXlsFile(path.string(), passwordOf(expected));
        ASSERT_TRUE(doc.ok()) << doc.error().message;
        Json ours = gptest::parseJson(dumpJson(doc.value(), path.filename().string()));
        EXPECT_EQ(ours["encryption"].str, expected["encryption"].str);
        auto errs = gptest::compareDumps(expected, ours);
        for (size_t i = 0; i < errs.size() && i < 10; ++i)
            ADD_FAILURE() << errs[i];
        EXPECT_TRUE(errs.empty()) << errs.size() << " differences";
    }
}

TEST(XlsFixtures, PasswordsAreCheckedExactly)
{
    auto files = fixtures();
    if (files.empty())
        GTEST_SKIP() << "no shared fixtures under " << GP_SHARED_DIR;
    int encrypted = 0;
    for (const auto& path : files) {
        Json expected = gptest::parseJsonFile(fs::path(path).replace_extension(".expected.json").string());
        std::string pw = passwordOf(expected);
        if (pw.empty() || pw == "VelvetSweatshop")
            continue;
        SCOPED_TRACE(path.filename().string());
        ++encrypted;
        auto bytes = fileBytes(path);
        auto wrong = readXls(bytes, "x" + pw);
        ASSERT_FALSE(wrong.ok());
        EXPECT_EQ(wrong.error().code, ErrorCode::WrongPassword);
        std::string upper = pw;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        if (upper != pw) {
            auto caseChanged = readXls(bytes, upper);
            ASSERT_FALSE(caseChanged.ok());
            EXPECT_EQ(caseChanged.error().code, ErrorCode::WrongPassword);
        }
        auto none = readXls(bytes, "");
        ASSERT_FALSE(none.ok());
        EXPECT_EQ(none.error().code, ErrorCode::WrongPassword);
        auto right = readXls(bytes, pw);
        ASSERT_TRUE(right.ok());
        EXPECT_FALSE(right->defaultPassword);
        EXPECT_EQ(right->password, pw);
    }
    EXPECT_GE(encrypted, 5);
}

TEST(XlsFixtures, DefaultPasswordOpensWithoutAsking)
{
    fs::path p = fs::path(GP_SHARED_DIR) / "fixtures/xls/poi_50833_velvetsweatshop.xls";
    if (!fs::exists(p))
        GTEST_SKIP() << "fixture missing: " << p;
    auto doc = readXlsFile(p.string(), "whatever the user typed");
    ASSERT_TRUE(doc.ok()) << doc.error().message;
    EXPECT_TRUE(doc->defaultPassword);
    EXPECT_EQ(doc->password, "VelvetSweatshop");
    EXPECT_EQ(doc->workbook->encryption, gp::sheet::Encryption::Rc4);
}

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
    CompoundFile cf;
    cf.root.type = 5;
    cf.root.name = u"Root Entry";
    CfbEntry book;
    book.name = u"Book";
    book.data = std::vector<uint8_t>(100, 0);
    cf.root.children.push_back(book);
    auto old = readXls(writeCompoundFile(cf));
    ASSERT_FALSE(old.ok());
    EXPECT_EQ(old.error().code, ErrorCode::OldFormat);
    cf.root.children[0].name = u"WordDocument";
    auto other = readXls(writeCompoundFile(cf));
    ASSERT_FALSE(other.ok());
    EXPECT_EQ(other.error().code, ErrorCode::NotSpreadsheet);
}

TEST(XlsDump, DatesFollowTheReferenceReader)
{
    EXPECT_EQ(dumpIsoDate(45306, false), "2024-01-15");
    EXPECT_EQ(dumpIsoDate(61, false), "1900-03-01");
    EXPECT_EQ(dumpIsoDate(60, false), std::nullopt);  // the day that never was
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
