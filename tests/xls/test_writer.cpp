// The writer: new, rewritten and edited workbooks survive write -> read and independent readers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <tuple>

#include "core/sheet/workbook.h"
#include "core/xls/xls_file.h"
#include "xls/support_bytes.h"

using namespace gp::xls;
using namespace gp::sheet;
using namespace gptest;
namespace fs = std::filesystem;

namespace {

fs::path shared(const char* rel) { return fs::path(GP_SHARED_DIR) / rel; }

XlsDocument roundTrip(const XlsDocument& doc, const std::string& password = {})
{
    auto bytes = writeXls(doc);
    EXPECT_TRUE(bytes.ok());
    auto back = readXls(bytes.value(), password);
    EXPECT_TRUE(back.ok()) << (back.ok() ? "" : back.error().message);
    return back.ok() ? std::move(back.value()) : XlsDocument{};
}

bool havePythonXlrd() { return std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") == 0; }

// What a Python snippet prints with `book` bound to xlrd's reading of the file ("ERROR: ..." on failure).
std::string runPython(const std::string& code, const Bytes& file)
{
    const fs::path dir = fs::temp_directory_path(), script = dir / "gp_xls_check.py", xls = dir / "gp_xls_check.xls";
    writeBytes(xls, file);
    writeBytes(script,
               latin1("import sys, xlrd\nbook = xlrd.open_workbook(sys.argv[1], formatting_info=True)\n" + code));
    std::FILE* p = popen(("/usr/bin/python3 " + script.string() + " '" + xls.string() + "' 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, n);
    return pclose(p) == 0 ? out : "ERROR: " + out;
}

// The page setup the model keeps, field by field, but the raw SETUP body.
auto layout(const PageSetup& p)
{
    return std::tuple(p.printArea, p.header, p.footer, p.leftMargin, p.rightMargin, p.topMargin, p.bottomMargin,
                      p.headerMargin, p.footerMargin, p.paperSize, p.fitToPages, p.fitWidth, p.fitHeight, p.portrait,
                      p.centerHorizontally, p.centerVertically, p.printGridlines, p.printHeadings, p.copies);
}

size_t formulasAfterFirstSheet(const Workbook& wb)
{
    size_t n = 0;
    for (size_t s = 1; s < wb.sheets.size(); ++s)
        n += wb.sheets[s]->formulas.size();
    return n;
}

std::unique_ptr<Workbook> sampleWorkbook()
{
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Clienti");
    Worksheet& hidden = wb->addSheet("Riservato");
    hidden.visibility = Visibility::Hidden;
    hidden.setValue(0, 0, Value::makeText("segreta"));
    ws.setValue(0, 0, Value::makeText("Codice"));
    ws.setValue(0, 1, Value::makeText("Società Più — € ok"));
    ws.setValue(1, 0, Value::makeText("00184"));
    ws.setValue(1, 1, Value::makeText("12/10/08"));
    for (int c = 2; double v : {1250.5, -5.0, 0.1 + 0.2, 1.23, 1e300})
        ws.setValue(1, c++, Value::makeNumber(v));
    ws.setValue(2, 0, Value::makeBoolean(true));
    ws.setValue(2, 1, Value::makeError(0x07));
    ws.setValue(2, 2, Value::makeText(""));
    uint16_t dateXf = wb->xfWithNumberFormat(15, "dd/mm/yyyy");
    ws.setValue(3, 0, Value::makeNumber(45366));
    ws.setFormat(3, 0, dateXf);
    ws.setFormat(3, 5, dateXf); // a formatted empty cell
    // Long texts that cross CONTINUE records, 8-bit and UTF-16, and many distinct strings.
    std::string longLatin(20000, 'x');
    std::string longWide;
    for (int i = 0; i < 9000; ++i)
        longWide += "€";
    ws.setValue(4, 0, Value::makeText(longLatin));
    ws.setValue(4, 1, Value::makeText(longWide));
    for (int r = 0; r < 3000; ++r)
        ws.setValue(10 + r, 0, Value::makeText("cliente numero " + std::to_string(r) + (r % 3 ? "" : " è")));
    ws.setValue(65535, 255, Value::makeNumber(7)); // the last cell of a sheet
    ws.merged.push_back({0, 0, 1, 3});
    ws.setColumnWidth(1, 30 * 256);
    ws.columns.push_back(ColumnInfo{.firstCol = 7, .lastCol = 7, .hidden = true});
    ws.frozenRows = 1;
    ws.frozenCols = 2;
    PageSetup& ps = ws.pageSetup;
    ps.header = "&CPagina &P di &N";
    ps.footer = "&LStudio & soci";
    ps.leftMargin = 0.5;
    ps.topMargin = 1.25;
    ps.portrait = false;
    ps.fitToPages = true;
    ps.fitWidth = 1;
    ps.fitHeight = 0;
    ps.printGridlines = true;
    ps.centerHorizontally = true;
    ps.printArea = CellRange{0, 40, 0, 4};
    ps.printAreaChanged = true;
    wb->activeSheet = 1; // hidden: a visible sheet must become the active one
    return wb;
}

} // namespace

TEST(XlsWriter, NewWorkbookSurvivesWriteAndRead)
{
    XlsDocument doc;
    doc.workbook = sampleWorkbook();
    XlsDocument back = roundTrip(doc);
    ASSERT_TRUE(back.workbook);
    const Workbook& wb = *back.workbook;
    ASSERT_EQ(wb.sheets.size(), 2u);
    EXPECT_EQ(back.encryption, Encryption::None);
    EXPECT_EQ(wb.activeSheet, 0);
    const Worksheet& ws = *wb.sheets[0];
    EXPECT_EQ(wb.sheets[1]->visibility, Visibility::Hidden);
    EXPECT_EQ(wb.sheets[1]->value(0, 0), Value::makeText("segreta"));
    const Worksheet& orig = *doc.workbook->sheets[0];
    for (int r = 0; r < 3100; ++r)
        for (int c = 0; c < 8; ++c)
            ASSERT_EQ(ws.value(r, c), orig.value(r, c)) << r << "," << c;
    EXPECT_EQ(ws.value(65535, 255), Value::makeNumber(7));
    EXPECT_TRUE(wb.isDateFormat(ws.cell(3, 0).xf));
    EXPECT_TRUE(ws.cell(3, 5).blankFormatted);
    EXPECT_EQ(ws.cell(3, 5).xf, ws.cell(3, 0).xf);
    auto sheetLayout = [](const Worksheet& w) {
        return std::tuple(w.merged, w.columnWidth(1), w.columnHidden(7), w.frozenRows, w.frozenCols);
    };
    EXPECT_EQ(sheetLayout(ws), sheetLayout(orig));
    EXPECT_EQ(layout(ws.pageSetup), layout(orig.pageSetup));
    EXPECT_FALSE(wb.sheets[1]->pageSetup.printArea.has_value());

    // Encrypted: a new salt on every save, the password is needed (reading back with it:
    // XlsTolerant.EachFaultIsReadLikeTheSoundFileAndCounted).
    XlsDocument enc;
    enc.workbook = sampleWorkbook();
    enc.encryption = Encryption::Rc4CryptoApi;
    enc.password = "Tesm4061";
    auto first = writeXls(enc), second = writeXls(enc);
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_NE(first.value(), second.value());
    EXPECT_EQ(readXls(first.value(), "tesm4061").error().code, ErrorCode::WrongPassword);

    if (!havePythonXlrd())
        GTEST_SKIP() << "python3-xlrd not installed: independent check skipped";
    auto bytes = writeXls(doc);
    ASSERT_TRUE(bytes.ok());
    std::string out = runPython(
        "sh = book.sheet_by_index(0)\n"
        "print(repr(sh.cell_value(1, 0)), repr(sh.cell_value(1, 1)), sh.cell_type(1, 0), sh.cell_type(1, 1))\n"
        "print(sh.cell_value(1, 2), sh.cell_value(1, 5), sh.cell_value(65535, 255), sh.cell_type(3, 0))\n"
        "print(len(sh.cell_value(4, 0)), sh.cell_value(4, 1) == '\\u20ac' * 9000, sh.cell_value(2010, 0))\n"
        "print(sh.merged_cells, sh.colinfo_map[1].width, sh.colinfo_map[7].hidden, book.sheet_by_index(1).visibility)\n"
        "print([(n.scope, n.area2d()[1:]) for n in book.name_obj_list if n.name == 'Print_Area'])\n",
        bytes.value());
    EXPECT_EQ(out,
              "'00184' '12/10/08' 1 1\n"
              "1250.5 1.23 7.0 3\n"
              "20000 True cliente numero 2000\n"
              "[(0, 1, 1, 4)] 7680 1 1\n"
              "[(0, (0, 41, 0, 5))]\n");
}

// Rewrites keep formulas, rich-text runs, kept records and layout; a second one changes nothing.
TEST(XlsWriter, RewritesAreFaithfulAndStable)
{
    const auto files = fixtureFiles(true);
    if (files.empty())
        GTEST_SKIP() << "no shared fixtures under " << GP_SHARED_DIR;
    size_t formulasSeen = 0, runsSeen = 0;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        const std::string password = readExpected(path).password.value_or("");
        auto a = readXlsFile(path.string(), password);
        ASSERT_TRUE(a.ok());
        XlsDocument b = roundTrip(a.value(), password);
        ASSERT_TRUE(b.workbook);
        XlsDocument c = roundTrip(b, password);
        ASSERT_TRUE(c.workbook);
        const Workbook& wa = *a->workbook;
        const Workbook& wb = *b.workbook;
        ASSERT_EQ(wa.sheets.size(), wb.sheets.size());
        EXPECT_EQ(wa.formats.size(), wb.formats.size());
        EXPECT_EQ(wa.fonts.size(), wb.fonts.size());
        EXPECT_EQ(wa.numberFormats, wb.numberFormats);
        for (size_t s = 0; s < wa.sheets.size(); ++s) {
            const Worksheet& x = *wa.sheets[s];
            const Worksheet& y = *wb.sheets[s];
            EXPECT_EQ(x.name, y.name);
            EXPECT_EQ(x.kind, y.kind);
            // Missing page-setup records are added once; nothing else is lost or added.
            EXPECT_LE(x.before.size(), y.before.size());
            EXPECT_EQ(y.before.size(), c.workbook->sheets[s]->before.size());
            EXPECT_EQ(x.after.size(), y.after.size());
            EXPECT_EQ(x.frozenRows, y.frozenRows);
            EXPECT_EQ(x.frozenCols, y.frozenCols);
            EXPECT_EQ(layout(x.pageSetup), layout(y.pageSetup));
            EXPECT_EQ(x.pageSetup.rawSetup, y.pageSetup.rawSetup);
            for (size_t r = 0; r < x.rows.size(); ++r)
                for (size_t col = 0; col < x.rows[r].cells.size(); ++col) {
                    const Cell& p = x.rows[r].cells[col];
                    const Cell& q = y.cell(int(r), int(col));
                    ASSERT_EQ(x.value(int(r), int(col)), y.value(int(r), int(col))) << r << "," << col;
                    ASSERT_EQ(p.xf, q.xf);
                    ASSERT_EQ(p.formula != 0, q.formula != 0);
                    if (p.formula) {
                        ++formulasSeen;
                        EXPECT_EQ(x.formulas[p.formula - 1].body, y.formulas[q.formula - 1].body);
                        EXPECT_EQ(x.formulas[p.formula - 1].following.size(),
                                  y.formulas[q.formula - 1].following.size());
                    } else if (p.type == CellType::Text) {
                        EXPECT_EQ(wa.strings[p.str].runs, wb.strings[q.str].runs);
                        EXPECT_EQ(wa.strings[p.str].phonetic, wb.strings[q.str].phonetic);
                        runsSeen += !wa.strings[p.str].runs.empty();
                    }
                }
        }
        // Rewriting our own output again gives the same stream.
        EXPECT_EQ(writeWorkbookStream(*b.workbook), writeWorkbookStream(*c.workbook));
        EXPECT_EQ(b.workbook->globals.size(), c.workbook->globals.size());
    }
    EXPECT_GT(formulasSeen, 50u);
    EXPECT_GT(runsSeen, 0u);
}

TEST(XlsWriter, EditsOfARealWorkbookSurvive)
{
    fs::path path = shared("fixtures/xls/lo74_plain_it.xls");
    if (!fs::exists(path))
        GTEST_SKIP() << "fixture missing: " << path;
    auto doc = readXlsFile(path.string());
    ASSERT_TRUE(doc.ok());
    Workbook& wb = *doc->workbook;
    Worksheet& ws = *wb.sheets[0];
    ASSERT_FALSE(ws.formulas.empty());
    Value total = ws.value(9, 4);
    Value below = ws.value(5, 1);
    ws.deleteRows(4, 1); // formulas become their cached values
    EXPECT_TRUE(ws.formulas.empty());
    ws.setValue(20, 0, Value::makeText("nuovo cliente 00184"));
    ws.setValue(20, 1, Value::makeNumber(42.5));
    ws.frozenRows = 3;
    ws.pageSetup.printArea = CellRange{2, 9, 0, 9};
    ws.pageSetup.printAreaChanged = true;
    ws.pageSetup.valid = true;
    ws.pageSetup.portrait = false;
    ws.pageSetup.footer = "&CPagina &P";
    wb.sheets[1]->pageSetup.printArea = CellRange{0, 3, 0, 2};
    wb.sheets[1]->pageSetup.printAreaChanged = true;

    XlsDocument back = roundTrip(doc.value());
    ASSERT_TRUE(back.workbook);
    const Worksheet& w2 = *back.workbook->sheets[0];
    EXPECT_EQ(w2.value(8, 4), total);
    EXPECT_EQ(w2.value(4, 1), below);
    EXPECT_EQ(w2.value(20, 0), Value::makeText("nuovo cliente 00184"));
    EXPECT_EQ(w2.value(20, 1), Value::makeNumber(42.5));
    EXPECT_TRUE(w2.formulas.empty());
    EXPECT_EQ(w2.frozenRows, 3);
    EXPECT_EQ(layout(w2.pageSetup), layout(ws.pageSetup));
    EXPECT_EQ(back.workbook->sheets[1]->pageSetup.printArea, (CellRange{0, 3, 0, 2}));
    EXPECT_EQ(formulasAfterFirstSheet(*back.workbook), formulasAfterFirstSheet(wb)); // untouched sheets keep theirs

    if (!havePythonXlrd())
        GTEST_SKIP() << "python3-xlrd not installed: independent check skipped";
    auto bytes = writeXls(doc.value());
    ASSERT_TRUE(bytes.ok());
    std::string out = runPython(
        "sh = book.sheet_by_index(0)\n"
        "print(sh.cell_value(20, 0), sh.cell_value(20, 1), '%.17g' % sh.cell_value(8, 4))\n"
        "print(sorted((n.scope, n.area2d()[1:]) for n in book.name_obj_list if n.name == 'Print_Area'))\n",
        bytes.value());
    ASSERT_EQ(total.type, CellType::Number);
    char expect[128];
    std::snprintf(expect, sizeof expect, "nuovo cliente 00184 42.5 %.17g\n", total.number);
    EXPECT_EQ(out.substr(0, out.find('\n') + 1), expect);
    EXPECT_NE(out.find("[(0, (2, 10, 0, 10)), (1, (0, 4, 0, 3))]"), std::string::npos) << out;
}

TEST(XlsWriter, DefaultPasswordWorkbookIsSavedUnderItAgain)
{
    fs::path path = shared("fixtures/xls/poi_50833_velvetsweatshop.xls");
    if (!fs::exists(path))
        GTEST_SKIP() << "fixture missing: " << path;
    auto doc = readXlsFile(path.string(), "qualcosa");
    ASSERT_TRUE(doc.ok());
    doc->password = "qualcosa"; // whatever the caller holds, the default password is used
    auto bytes = writeXls(doc.value());
    ASSERT_TRUE(bytes.ok());
    auto back = readXls(bytes.value());
    ASSERT_TRUE(back.ok()) << back.error().message;
    EXPECT_TRUE(back->defaultPassword);
    EXPECT_EQ(back->encryption, Encryption::Rc4CryptoApi);
}

TEST(XlsReader, BrokenInputGivesAnErrorNeverACrash)
{
    fs::path path = shared("fixtures/xls/lo74_plain_it.xls");
    if (!fs::exists(path))
        GTEST_SKIP() << "fixture missing: " << path;
    // The plaintext stream cut short: the final EOF is missing, so always an error.
    auto doc = readXlsFile(path.string());
    ASSERT_TRUE(doc.ok());
    Bytes stream = writeWorkbookStream(*doc->workbook);
    for (size_t cut = 0; cut < stream.size(); cut += 97) {
        auto r = parseWorkbookStream(std::span<const uint8_t>(stream.data(), cut));
        ASSERT_FALSE(r.ok()) << "cut at " << cut;
        EXPECT_EQ(r.error().code, cut >= 20 ? ErrorCode::Damaged : r.error().code);
    }
    // Random byte flips: an error, or a model that writes and reads back.
    std::mt19937 rng(4061);
    int accepted = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes s = stream;
        int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k)
            s[rng() % s.size()] ^= uint8_t(1 + rng() % 255);
        auto r = parseWorkbookStream(s);
        if (!r.ok())
            continue;
        ++accepted;
        auto again = parseWorkbookStream(writeWorkbookStream(*r.value()));
        ASSERT_TRUE(again.ok()) << "round " << round;
    }
    EXPECT_GT(accepted, 0);
}
