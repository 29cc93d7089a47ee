// Workbooks that other readers open although their writer got something wrong, each fault
// built by hand into a sound stream; the same files are the fuzzer's seeds (tests/fuzz/seeds).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "core/sheet/workbook.h"
#include "core/xls/biff_io.h"
#include "core/xls/crypto.h"
#include "core/xls/xls_file.h"
#include "xls/support_bytes.h"

using namespace gp::xls;
using namespace gp::xls::biff;
using namespace gp::sheet;
using namespace gptest;
namespace fs = std::filesystem;

namespace {

void shorten(Bytes& b, size_t n) { b.resize(std::min(b.size(), n)); }
// The body of the k-th record of a type, of the cell record of a type at (row, col).
Bytes& body(Records& r, uint16_t type, int k = 0) { return r.at(r.find(type, k)).body; }
Bytes& cellBody(Records& r, uint16_t type, int row, int col) { return r.at(r.cell(type, row, col)).body; }

// The sound workbook every case starts from: every kind of cell, formulas, rows, columns, merges.
std::unique_ptr<Workbook> soundWorkbook()
{
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Clienti");
    for (int c = 0; const char* t : {"Codice", "Nome", "Città", "Onorario €"})
        ws.setValue(0, c++, Value::makeText(t));
    for (int r = 1; r <= 6; ++r) {
        ws.setValue(r, 0, Value::makeNumber(r)); // RK
        ws.setValue(r, 1, Value::makeText("Cliente " + std::to_string(r)));
        ws.setValue(r, 2, Value::makeText(r % 2 ? "Roma" : "Società Più"));
        ws.setValue(r, 3, Value::makeNumber(1250.5 * r + 1.0 / 3)); // NUMBER
        ws.setValue(r, 4, Value::makeNumber(r * 10));               // MULRK with the next one
        ws.setValue(r, 5, Value::makeNumber(r * 10 + 0.25));
    }
    for (int c = 0; const Value& v : {Value::makeBoolean(true), Value::makeError(0x07), Value::makeText("ultima riga")})
        ws.setValue(7, c++, v);
    ws.setValue(7, 3, Value::makeNumber(45366));
    ws.setFormat(7, 3, wb->xfWithNumberFormat(15, "dd/mm/yyyy"));
    // Formulas =1: the cached result (the number 1, then a text), the tokens.
    for (bool text : {false, true}) {
        Formula f;
        f.body = Bytes{0, 0, 0, 0, 0, 0, uint8_t(text ? 0xFF : 0xF0), uint8_t(text ? 0xFF : 0x3F)}
            + Bytes{0, 0, 0, 0, 0, 0, 3, 0, 0x1E, 1, 0};
        f.stringResult = text;
        ws.formulas.push_back(f);
        for (int r = 1; r <= 2; ++r) {
            Cell& c = ws.cellRef(r, 6 + int(text));
            c.formula = uint32_t(ws.formulas.size());
            c.type = text ? CellType::Text : CellType::Number;
            c.number = text ? 0 : 1;
            c.str = text ? wb->intern("xy") : 0;
        }
    }
    ws.merged.push_back({8, 8, 0, 3});
    ws.setColumnWidth(1, 30 * 256);
    ws.pageSetup.portrait = false;
    ws.pageSetup.header = "&CPratiche";
    return wb;
}

Bytes soundStream() { return writeWorkbookStream(*soundWorkbook()); }

using Changed = std::map<std::pair<int, int>, Value>; // cells that read otherwise than in the sound stream

// One hand-built fault: its name, the stream, what must be read, the repair it counts.
// What a short record still gives, checked on the workbook read (against the sound one).
using Keeps = std::function<void(const Workbook& got, const Workbook& sound)>;

struct Fault {
    const char* name;
    std::function<Bytes()> build;
    Changed changed;
    const char* repair; // text the repair starts with
    Keeps keeps;
};

// Every cell of both sheets equal, except those listed.
void expectSameCells(const Workbook& sound, const Workbook& got, const Changed& changed)
{
    ASSERT_EQ(sound.sheets.size(), got.sheets.size());
    const Worksheet& a = *sound.sheets[0];
    const Worksheet& b = *got.sheets[0];
    for (int r = 0; r <= std::max(a.lastRow(), b.lastRow()); ++r)
        for (int c = 0; c <= std::max(a.lastCol(), b.lastCol()); ++c) {
            const auto it = changed.find({r, c});
            EXPECT_EQ(b.value(r, c), it == changed.end() ? a.value(r, c) : it->second) << "cell " << r << "," << c;
        }
}

bool hasRepair(const std::vector<Repair>& list, const std::string& prefix)
{
    return std::any_of(list.begin(), list.end(),
                       [&](const Repair& r) { return r.what.rfind(prefix, 0) == 0 && r.count > 0; });
}

std::string repairsText(const std::vector<Repair>& list)
{
    std::string s;
    for (const Repair& r : list)
        s += r.what + " x" + std::to_string(r.count) + "; ";
    return s.empty() ? "(none)" : s;
}

// The sound stream with its string table replaced by hand-built SST + CONTINUE bodies.
Bytes withSst(const std::vector<Bytes>& bodies, const std::vector<std::string>& cellTexts)
{
    auto wb = soundWorkbook();
    Worksheet& ws = *wb->sheets[0];
    for (size_t i = 0; i < cellTexts.size(); ++i)
        ws.setValue(10, int(i), Value::makeText(cellTexts[i]));
    Records r = Records::of(writeWorkbookStream(*wb));
    // The writer puts the strings in the order the cells use them; the hand-built
    // table lists the same texts, in the same order, written otherwise.
    size_t at = r.find(rSST);
    size_t end = at + 1;
    while (r.list[end].type == rCONTINUE)
        ++end;
    if (r.list[end].type == rEXTSST)
        ++end;
    r.list.erase(r.list.begin() + long(at), r.list.begin() + long(end));
    for (size_t i = 0; i < bodies.size(); ++i)
        r.list.insert(r.list.begin() + long(at + i), RawRecord{i ? rCONTINUE : rSST, bodies[i]});
    return r.bytes();
}

// The sound workbook's string table, as the head of an SST body announcing `extra` strings more.
Bytes soundStrings(uint32_t extra)
{
    Records r = Records::of(soundStream());
    const Bytes& sst = r.at(r.find(rSST)).body;
    return u32le(get32(sst, 0) + 1) + u32le(get32(sst, 4) + extra) + Bytes(sst.begin() + 8, sst.end());
}

std::vector<Fault> faults()
{
    std::vector<Fault> f;
    auto add = [&](const char* name, std::function<Bytes()> build, Changed changed, const char* repair,
                   Keeps keeps = {}) {
        f.push_back({name, std::move(build), std::move(changed), repair, std::move(keeps)});
    };
    // A fault made by changing the sound stream's records.
    auto edit = [](std::function<void(Records&)> change) {
        return [change] {
            Records r = Records::of(soundStream());
            change(r);
            return r.bytes();
        };
    };
    add("sst_count_too_high", edit([](Records& r) { put32(body(r, rSST), 4, get32(body(r, rSST), 4) + 7); }), {},
        "string table announces");
    // The table's last string ("ultima riga", used by one cell) loses its tail, then all but
    // the first byte of its character count.
    add("sst_last_string_cut", edit([](Records& r) { body(r, rSST).resize(body(r, rSST).size() - 5); }),
        {{{7, 2}, Value::makeText("ultima")}}, "string cut short");
    add("sst_cut_in_string_header", edit([](Records& r) { body(r, rSST).resize(body(r, rSST).size() - 13); }),
        {{{7, 2}, Value::makeText("")}}, "string cut short");
    // "Società €€" as UTF-16: the record ends after the first byte of the first €.
    add(
        "utf16_char_split",
        [] {
            auto text = utf16(u"Società €€");
            return withSst({soundStrings(1) + u16le(10) + Bytes{1} + Bytes(text.begin(), text.begin() + 17),
                            Bytes{1} + Bytes(text.begin() + 17, text.end())},
                           {"Società €€"});
        },
        {{{10, 0}, Value::makeText("Società €€")}}, "UTF-16 character split");
    auto shortCell = [&](uint16_t type, int row, int col, size_t size) {
        return edit([=](Records& r) { shorten(cellBody(r, type, row, col), size); });
    };
    // A cell record with its value missing keeps its place and format, empty.
    add("short_number", shortCell(rNUMBER, 3, 3, 10), {{{3, 3}, Value()}}, "short NUMBER");
    add("short_labelsst", shortCell(rLABELSST, 2, 1, 6), {{{2, 1}, Value()}}, "short LABELSST");
    add("short_rk", shortCell(rRK, 1, 0, 8), {{{1, 0}, Value()}}, "short RK");
    add("short_boolerr", shortCell(rBOOLERR, 7, 0, 7), {{{7, 0}, Value()}}, "short BOOLERR");
    add("short_mulrk_without_last_column", shortCell(rMULRK, 4, 4, 16), {}, "short MULRK");
    // The number formula's tokens run past its record: the cell keeps its value.
    add("short_formula_tokens",
        edit([](Records& r) { shorten(cellBody(r, rFORMULA, 1, 6), cellBody(r, rFORMULA, 1, 6).size() - 2); }), {},
        "formula cut short", [](const Workbook& w, const Workbook&) {
            EXPECT_EQ(w.sheets[0]->cell(1, 6).formula, 0u);
            EXPECT_NE(w.sheets[0]->cell(2, 6).formula, 0u); // the other one is untouched
        });
    auto shortRecord = [&](uint16_t type, int k, size_t size) {
        return edit([=](Records& r) { shorten(body(r, type, k), size); });
    };
    // The row number is there, the height is not.
    add("short_row", shortRecord(rROW, 2, 6), {}, "short ROW", [](const Workbook& w, const Workbook&) {
        EXPECT_TRUE(w.sheets[0]->rows[2].info.present);
        EXPECT_EQ(w.sheets[0]->rows[2].info.height, 255);
    });
    // Font and number format there, the rest default.
    add("short_xf", shortRecord(rXF, 15, 4), {}, "short XF", [](const Workbook& w, const Workbook& sound) {
        EXPECT_EQ(w.formats[15].numFmtId, sound.formats[15].numFmtId);
        EXPECT_EQ(w.formats[15].vAlign, VAlign::Bottom);
        EXPECT_EQ(w.formats[15].raw.size(), 20u);
    });
    // Height, attributes, colour and weight there, no name; written anew, whole.
    add("short_font", shortRecord(rFONT, 1, 8), {}, "short FONT", [](const Workbook& w, const Workbook& sound) {
        EXPECT_EQ(w.fonts[1].heightTwips, sound.fonts[1].heightTwips);
        EXPECT_EQ(w.fonts[1].name, "Arial");
        EXPECT_TRUE(w.fonts[1].raw.empty());
    });
    // Columns and width there, format default; paper, scale, fit and the orientation flags there.
    add("short_colinfo", shortRecord(rCOLINFO, 0, 6), {}, "short COLINFO",
        [](const Workbook& w, const Workbook&) { EXPECT_EQ(w.sheets[0]->columnWidth(1), 30 * 256); });
    add("short_window1", shortRecord(rWINDOW1, 0, 8), {}, "short WINDOW1");
    add("short_window2", shortRecord(rWINDOW2, 0, 10), {}, "short WINDOW2");
    add("short_setup", shortRecord(rSETUP, 0, 12), {}, "short SETUP", [](const Workbook& w, const Workbook&) {
        EXPECT_FALSE(w.sheets[0]->pageSetup.portrait);
        EXPECT_EQ(w.sheets[0]->pageSetup.copies, 1);
    });
    // MERGECELLS announces three ranges, holds one.
    add("short_mergecells", edit([](Records& r) { put16(body(r, rMERGECELLS), 0, 3); }), {}, "short MERGECELLS",
        [](const Workbook& w, const Workbook& sound) { EXPECT_EQ(w.sheets[0]->merged, sound.sheets[0]->merged); });
    add("short_boundsheet_name", shortRecord(rBOUNDSHEET, 0, 10), {}, "short BOUNDSHEET",
        [](const Workbook& w, const Workbook&) { EXPECT_EQ(w.sheets[0]->name, "Cl"); }); // of "Clienti"
    // Formula results.
    add("formula_string_missing",
        edit([](Records& r) { r.list.erase(r.list.begin() + long(r.cell(rFORMULA, 1, 7)) + 1); }),
        {{{1, 7}, Value::makeText("")}}, "text result of a formula missing");
    // A STRING record after a formula whose result is a number.
    add("formula_string_after_number", edit([](Records& r) {
            r.list.insert(r.list.begin() + long(r.cell(rFORMULA, 1, 6)) + 1,
                          RawRecord{rSTRING, u16le(2) + Bytes{0, 'z', 'z'}});
        }),
        {}, "formula result record without a formula");
    // 40 characters announced, 2 there.
    add("formula_string_cut", edit([](Records& r) { put16(r.at(r.cell(rFORMULA, 2, 7) + 1).body, 0, 40); }), {},
        "formula text result cut short");
    add("formula_result_unknown_kind", edit([](Records& r) {
            std::ranges::copy(Bytes{7, 0, 0, 0, 0, 0, 0xFF, 0xFF}, cellBody(r, rFORMULA, 2, 6).begin() + 6);
        }),
        {{{2, 6}, Value::makeText("")}}, "formula result of an unknown kind");
    add("xf_index_past_the_table", edit([](Records& r) {
            put16(cellBody(r, rNUMBER, 3, 3), 4, 900);
            put16(cellBody(r, rLABELSST, 2, 1), 4, 0xFFFF);
        }),
        {}, "cell format index past the format table", [](const Workbook& w, const Workbook&) {
            for (auto [r, c] : {std::pair{3, 3}, std::pair{2, 1}}) {
                uint16_t x = w.sheets[0]->cell(r, c).xf;
                ASSERT_LT(x, w.formats.size());
                EXPECT_EQ(w.numberFormatOfXf(x), "General");
                EXPECT_FALSE(w.formats[x].isStyle);
            }
        });
    return f;
}

// The stream read as a workbook, with the repairs it needed.
XlsDocument readStream(const Bytes& stream)
{
    XlsDocument doc;
    auto wb = parseWorkbookStream(stream, &doc.repairs);
    EXPECT_TRUE(wb.ok()) << (wb.ok() ? "" : wb.error().reason);
    doc.workbook = wb.ok() ? std::move(wb.value()) : nullptr;
    return doc;
}

// The stream encrypted as the program saves, with its faults kept.
Bytes encrypted(const Bytes& stream, const std::string& password)
{
    Records r = Records::of(stream);
    CryptoApiKey key;
    r.list.insert(r.list.begin() + 1, RawRecord{rFILEPASS, makeCryptoApiFilepass(password, key)});
    Bytes s = r.bytes();
    encryptWorkbookStream(s, key);
    return s;
}

// The file of a stream, encrypted with the password the seeds use or in clear.
Bytes asFile(const Bytes& stream, bool encrypt)
{
    return writeCompoundFile(oneStream(encrypt ? encrypted(stream, "Tesm4061") : stream));
}

} // namespace

// Each fault, in clear and encrypted: the cells as in the sound file, the repair counted, the
// fields a short record has kept; saved again, it reads back the same with nothing to mend.
TEST(XlsTolerant, EachFaultIsReadLikeTheSoundFileAndCounted)
{
    auto sound = parseWorkbookStream(soundStream());
    ASSERT_TRUE(sound.ok());
    for (const Fault& f : faults()) {
        SCOPED_TRACE(f.name);
        Bytes s = f.build();
        ASSERT_NE(s, soundStream()) << "the fault changed nothing";
        for (bool enc : {false, true}) {
            SCOPED_TRACE(enc ? "encrypted" : "clear");
            auto doc = readXls(asFile(s, enc), "Tesm4061");
            ASSERT_TRUE(doc.ok()) << doc.error().reason;
            EXPECT_EQ(doc->encryption, enc ? Encryption::Rc4CryptoApi : Encryption::None);
            expectSameCells(*sound.value(), *doc->workbook, f.changed);
            EXPECT_TRUE(hasRepair(doc->repairs, f.repair)) << repairsText(doc->repairs);
            if (f.keeps)
                f.keeps(*doc->workbook, *sound.value());
            auto saved = writeXls(doc.value());
            ASSERT_TRUE(saved.ok());
            auto again = readXls(saved.value(), "Tesm4061");
            ASSERT_TRUE(again.ok());
            EXPECT_EQ(again->encryption, doc->encryption);
            EXPECT_TRUE(again->repairs.empty()) << repairsText(again->repairs);
            expectSameCells(*doc->workbook, *again->workbook, {});
        }
    }
}

// The option byte at the start of each CONTINUE gives the width of the characters that follow.
TEST(XlsTolerant, SharedStringsSplitOverContinueWithTheWidthChanging)
{
    const std::string latinThenWide = "abcdé€€";  // 8-bit part, then UTF-16
    const std::string wideThenLatin = "€€xyzè";   // UTF-16 part, then 8-bit
    const std::string afterHeader = "tutto dopo"; // the record ends right after the string's header
    auto head = soundStrings(3);
    auto first = head + u16le(7) + Bytes{0} + latin1("abcd\xE9");
    auto second = Bytes{1} + utf16(u"€€") + u16le(6) + Bytes{1} + utf16(u"€€");
    auto third = Bytes{0} + latin1("xyz\xE8") + u16le(10) + Bytes{0};
    auto fourth = Bytes{0} + latin1("tutto dopo");
    XlsDocument doc = readStream(withSst({first, second, third, fourth}, {latinThenWide, wideThenLatin, afterHeader}));
    ASSERT_TRUE(doc.workbook);
    const Worksheet& ws = *doc.workbook->sheets[0];
    for (int c = 0; const std::string& text : {latinThenWide, wideThenLatin, afterHeader})
        EXPECT_EQ(ws.value(10, c++), Value::makeText(text));
    EXPECT_EQ(ws.value(7, 2), Value::makeText("ultima riga"));    // the strings before are untouched
    EXPECT_TRUE(doc.repairs.empty()) << repairsText(doc.repairs); // all of this is sound
}

TEST(XlsTolerant, VersionComesFromTheFirstBofWhateverTheStreamName)
{
    auto sound = parseWorkbookStream(soundStream());
    ASSERT_TRUE(sound.ok());
    for (const char16_t* name : {u"Workbook", u"WORKBOOK", u"Book", u"BOOK", u"book"}) {
        SCOPED_TRACE(std::string(name, name + std::char_traits<char16_t>::length(name)));
        auto doc = readXls(writeCompoundFile(oneStream(soundStream(), name)));
        ASSERT_TRUE(doc.ok()) << doc.error().message;
        expectSameCells(*sound.value(), *doc->workbook, {});
        // Saved as a workbook of this format: the stream is "Workbook".
        auto back = readCompoundFile(writeXls(doc.value()).value());
        ASSERT_TRUE(back.ok());
        ASSERT_EQ(back->root.children.size(), 1u);
        EXPECT_EQ(back->root.children[0].name, u"Workbook");
    }
    // An Excel 5.0/95 workbook stays refused, under either name.
    Bytes biff5 = {0x09, 0x08, 8, 0, 0x00, 0x05, 0x05, 0x00, 0, 0, 0, 0, 0x0A, 0, 0, 0};
    for (const char16_t* name : {u"Book", u"Workbook"}) {
        auto old = readXls(writeCompoundFile(oneStream(biff5, name)));
        ASSERT_FALSE(old.ok());
        EXPECT_EQ(old.error().code, ErrorCode::OldFormat);
        EXPECT_EQ(old.error().message,
                  "La cartella di lavoro è nel formato di Excel 5.0/95, non supportato: salvarla come Excel 97-2003");
    }
}

TEST(XlsTolerant, DamageKeepsItsReasonAndTheMessageStays)
{
    Records r = Records::of(soundStream());
    Bytes cutShort = Records{{r.list.begin(), r.list.begin() + long(r.find(rROW)) + 1}}.bytes();
    cutShort.resize(cutShort.size() - 3); // the ROW record's body ends early: the stream ends
    auto bad = parseWorkbookStream(cutShort);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().code, ErrorCode::Damaged);
    EXPECT_EQ(bad.error().message, "Il file è danneggiato o incompleto");
    EXPECT_NE(bad.error().reason.find("record body past the end"), std::string::npos) << bad.error().reason;
    EXPECT_NE(bad.error().reason.find("record 0x0208"), std::string::npos) << bad.error().reason;

    // A text cell pointing past the string table is damage, not something to mend.
    Records missing = Records::of(soundStream());
    put32(missing.at(missing.cell(rLABELSST, 2, 1)).body, 6, 5000);
    auto m = parseWorkbookStream(missing.bytes());
    ASSERT_FALSE(m.ok());
    EXPECT_NE(m.error().reason.find("missing string"), std::string::npos) << m.error().reason;
}

// The fuzzer's seeds are these faults (GP_WRITE_FUZZ_SEEDS=tests/fuzz/seeds renews them).
TEST(XlsTolerant, FuzzSeedsAreTheseFaults)
{
    const char* renew = std::getenv("GP_WRITE_FUZZ_SEEDS");
    const fs::path seeds = renew ? fs::path(renew) : fs::path(GP_SOURCE_DIR) / "tests" / "fuzz" / "seeds";
    if (renew)
        fs::create_directories(seeds);
    for (const Fault& f : faults())
        for (bool enc : {false, true}) {
            const fs::path p = seeds / (std::string(f.name) + (enc ? "_cifrato" : "") + ".xls");
            SCOPED_TRACE(p.string());
            if (renew)
                writeBytes(p, asFile(f.build(), enc));
            auto doc = readXlsFile(p.string(), "Tesm4061");
            ASSERT_TRUE(doc.ok()) << doc.error().message;
            EXPECT_TRUE(hasRepair(doc->repairs, f.repair)) << repairsText(doc->repairs);
        }
}

// A format index past the table means General even when XF 15 is not: a format is added.
TEST(XlsTolerant, FormatIndexPastTheTableIsGeneralEvenWhenXf15IsNot)
{
    Records r = Records::of(soundStream());
    put16(r.at(r.find(rXF, 15)).body, 2, 14); // XF 15 shows dates
    put16(r.at(r.cell(rNUMBER, 3, 3)).body, 4, 900);
    XlsDocument doc = readStream(r.bytes());
    ASSERT_TRUE(doc.workbook);
    const Workbook& wb = *doc.workbook;
    uint16_t xf = wb.sheets[0]->cell(3, 3).xf;
    ASSERT_LT(xf, wb.formats.size());
    EXPECT_EQ(wb.numberFormatOfXf(xf), "General");
    EXPECT_TRUE(wb.isDateFormat(wb.sheets[0]->cell(4, 3).xf)); // the cells that use XF 15 keep it
    EXPECT_TRUE(hasRepair(doc.repairs, "cell format index past the format table")) << repairsText(doc.repairs);
    XlsDocument again = readStream(writeWorkbookStream(wb));
    ASSERT_TRUE(again.workbook);
    EXPECT_EQ(again.workbook->numberFormatOfXf(again.workbook->sheets[0]->cell(3, 3).xf), "General");
    EXPECT_TRUE(again.repairs.empty()) << repairsText(again.repairs);
}
