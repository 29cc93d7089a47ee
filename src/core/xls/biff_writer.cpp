// Writing the model as a plaintext BIFF8 Workbook stream.
//
// A workbook read from a file is written back with the records the model does
// not own (Workbook::globals, Worksheet::before / after) in their order; the
// model's own blocks (fonts, formats, XFs, sheet list, strings, cells, column
// widths, merged ranges, panes, page setup) are generated in their place. A new
// workbook (no kept records) gets the standard record sequence.
#include <cmath>
#include <cstring>
#include <limits>

#include "core/xls/biff_io.h"
#include "core/xls/xls_file.h"

namespace gp::xls {

using namespace gp::sheet;
using namespace gp::xls::biff;

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

std::vector<uint8_t> u16Body(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

bool allNarrow(const std::u16string& u)
{
    for (char16_t c : u)
        if (c > 0xFF)
            return false;
    return true;
}

void putChars(Out& out, const char16_t* u, size_t n, bool narrow)
{
    if (narrow) {
        uint8_t* p = out.grow(n);
        for (size_t i = 0; i < n; ++i)
            p[i] = uint8_t(u[i]);
    } else {
        uint8_t* p = out.grow(2 * n);
        for (size_t i = 0; i < n; ++i)
            wr16(p + 2 * i, uint16_t(u[i]));
    }
}

// XLUnicodeString (16-bit count) or ShortXLUnicodeString, truncated to maxUnits.
void putXlString(Out& out, std::string_view text, bool shortCount, size_t maxUnits)
{
    std::u16string u;
    sheet::utf8ToUtf16(text, u);
    if (u.size() > maxUnits)
        u.resize(maxUnits);
    bool narrow = allNarrow(u);
    if (shortCount)
        out.u8(uint8_t(u.size()));
    else
        out.u16(uint16_t(u.size()));
    out.u8(narrow ? 0 : 1);
    putChars(out, u.data(), u.size(), narrow);
}

std::vector<uint8_t> xlStringBody(std::string_view text, size_t maxUnits)
{
    Out o;
    putXlString(o, text, false, maxUnits);
    return std::move(o.buf);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, 8) == 0; }

bool toRk(double v, uint32_t& rk)
{
    if (!std::isfinite(v))
        return false;
    if (v >= -536870912.0 && v < 536870912.0 && v == std::floor(v) && !(v == 0 && std::signbit(v))) {
        rk = (uint32_t(int32_t(v)) << 2) | 2;
        return true;
    }
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    if ((bits & 0x3FFFFFFFFull) == 0) {
        rk = uint32_t(bits >> 32) & ~3u;
        return sameBits(rkValue(rk), v);
    }
    double v100 = v * 100;
    if (v100 >= -536870912.0 && v100 < 536870912.0 && v100 == std::floor(v100)) {
        rk = (uint32_t(int32_t(v100)) << 2) | 3;
        if (sameBits(rkValue(rk), v))
            return true;
    }
    return false;
}

uint16_t fileFontIndex(uint16_t modelIndex) { return modelIndex >= 4 ? uint16_t(modelIndex + 1) : modelIndex; }

bool isPageSetupRecord(uint16_t t)
{
    switch (t) {
    case rHEADER:
    case rFOOTER:
    case rHCENTER:
    case rVCENTER:
    case rLEFTMARGIN:
    case rRIGHTMARGIN:
    case rTOPMARGIN:
    case rBOTTOMMARGIN:
    case rSETUP: return true;
    default: return false;
    }
}

bool storedCell(const Cell& c) { return c.type != CellType::Empty || c.blankFormatted || c.formula != 0; }

class Writer {
public:
    Writer(const Workbook& wb, size_t filepassSize) : wb_(wb), filepassSize_(filepassSize) {}
    std::vector<uint8_t> run();

private:
    const Workbook& wb_;
    size_t filepassSize_;
    Out out_;
    std::vector<uint32_t> sstIndex_; // pool index -> SST index
    std::vector<uint32_t> sstOrder_; // pool indexes in SST order
    uint32_t cstTotal_ = 0;
    std::vector<size_t> plyPos_; // where each BOUNDSHEET8's lbPlyPos goes
    int active_ = 0;
    std::u16string units_;

    std::vector<RawRecord> globalsList();
    void applyPrintAreas(std::vector<RawRecord>& g);
    void collectStrings();
    void writeGlobals(const std::vector<RawRecord>& g);
    void writeFormatting();
    Font parsedFont(const Font& f) const;
    void writeSst();
    void writeSheet(const Worksheet& ws, size_t index);
    void writeSheetPreamble(const Worksheet& ws);
    void writePageSetup(const Worksheet& ws, const std::vector<const RawRecord*>& pls);
    void writeColumns(const Worksheet& ws);
    void writeCells(const Worksheet& ws);
    void writeRowCells(const Worksheet& ws, int r);
    void writeWindow(const Worksheet& ws, const RawRecord* raw, size_t index);
    void writePane(const Worksheet& ws);
    void writeMerges(const Worksheet& ws);
    void writeContinuedString(uint16_t type, std::string_view text);
    void raw(const RawRecord& r) { out_.record(r.type, r.body); }
};

// ---------------------------------------------------------------- globals

std::vector<RawRecord> Writer::globalsList()
{
    if (!wb_.globals.empty())
        return wb_.globals;
    // A new workbook: the standard sequence, with the model's blocks as markers.
    std::vector<RawRecord> g;
    auto add = [&g](uint16_t type, std::vector<uint8_t> body = {}) { g.push_back(RawRecord{type, std::move(body)}); };
    add(rINTERFACEHDR, u16Body(1200));
    add(rMMS, {0, 0});
    add(rINTERFACEEND);
    {
        Out o;
        putXlString(o, "Gestione Pratiche", false, 100);
        while (o.size() < 112)
            o.u8(' ');
        add(rWRITEACCESS, std::move(o.buf));
    }
    add(rCODEPAGE, u16Body(1200));
    add(rDSF, u16Body(0));
    add(rTABID);
    add(rWINDOWPROTECT, u16Body(0));
    add(rPROTECT, u16Body(0));
    add(rPASSWORD, u16Body(0));
    add(rPROT4REV, u16Body(0));
    add(rPROT4REVPASS, u16Body(0));
    {
        Out o;
        for (uint16_t v : {0, 0, 0x4000, 0x2000, 0x0038, 0, 0, 1, 600})
            o.u16(v);
        add(rWINDOW1, std::move(o.buf));
    }
    add(rBACKUP, u16Body(0));
    add(rHIDEOBJ, u16Body(0));
    add(rDATEMODE, u16Body(0));
    add(rPRECISION, u16Body(1));
    add(rREFRESHALL, u16Body(0));
    add(rBOOKBOOL, u16Body(0));
    add(Workbook::FormattingBlock);
    add(rSTYLE, {0x00, 0x80, 0x00, 0xFF});
    add(rUSESELFS, u16Body(0));
    add(Workbook::SheetsBlock);
    add(rCOUNTRY, {39, 0, 39, 0});
    add(Workbook::StringsBlock);
    return g;
}

// Index of the first record of one of `types` at or after `from` (g.size() if none).
size_t findFirst(const std::vector<RawRecord>& g, std::initializer_list<uint16_t> types, size_t from = 0)
{
    for (size_t i = from; i < g.size(); ++i)
        for (uint16_t t : types)
            if (g[i].type == t)
                return i;
    return g.size();
}

bool isSelfSupbook(const RawRecord& r)
{
    return r.type == rSUPBOOK && r.body.size() == 4 && rd16(&r.body[2]) == 0x0401;
}

bool isPrintAreaName(const RawRecord& r, size_t& sheet)
{
    if (r.type != rNAME || r.body.size() < 16)
        return false;
    const uint8_t* p = r.body.data();
    if (!(rd16(p) & 0x20) || p[3] != 1)
        return false;
    size_t w = (p[14] & 1) ? 2 : 1;
    if (r.body.size() < 15 + w)
        return false;
    uint16_t ch = w == 2 ? rd16(p + 15) : p[15];
    uint16_t itab = rd16(p + 8);
    if (ch != 0x06 || itab == 0)
        return false;
    sheet = itab - 1;
    return true;
}

// The EXTERNSHEET entry pointing at one sheet of this workbook (added when missing);
// kNone when the records cannot take one more entry.
uint32_t ensureXti(std::vector<RawRecord>& g, size_t sheet, size_t nsheets)
{
    size_t ext = findFirst(g, {rEXTERNSHEET});
    // The "this workbook" SUPBOOK and its position among the SUPBOOKs.
    uint32_t selfIdx = kNone, count = 0;
    size_t lastSupbook = g.size();
    for (size_t i = 0; i < g.size(); ++i)
        if (g[i].type == rSUPBOOK) {
            if (selfIdx == kNone && isSelfSupbook(g[i]))
                selfIdx = count;
            ++count;
            lastSupbook = i;
        }
    if (ext == g.size()) {
        size_t at = lastSupbook != g.size()
            ? lastSupbook + 1
            : findFirst(g, {rNAME, rRECALCID, rMSODRAWINGGROUP, Workbook::StringsBlock});
        // Records belonging to the last SUPBOOK (EXTERNNAME, XCT, CRN) stay with it.
        while (lastSupbook != g.size() && at < g.size()
               && (g[at].type == 0x0023 || g[at].type == 0x0059 || g[at].type == 0x005A || g[at].type == rCONTINUE))
            ++at;
        if (at > g.size())
            at = g.size();
        std::vector<RawRecord> ins;
        if (selfIdx == kNone) {
            Out o;
            o.u16(uint16_t(nsheets));
            o.u16(0x0401);
            ins.push_back(RawRecord{rSUPBOOK, std::move(o.buf)});
            selfIdx = count;
        }
        ins.push_back(RawRecord{rEXTERNSHEET, u16Body(0)});
        g.insert(g.begin() + at, ins.begin(), ins.end());
        ext = at + ins.size() - 1;
    } else if (selfIdx == kNone) {
        Out o;
        o.u16(uint16_t(nsheets));
        o.u16(0x0401);
        g.insert(g.begin() + ext, RawRecord{rSUPBOOK, std::move(o.buf)});
        selfIdx = count;
        ++ext;
    }
    RawRecord& es = g[ext];
    if (es.body.size() < 2 || (ext + 1 < g.size() && g[ext + 1].type == rCONTINUE))
        return kNone;
    uint16_t n = rd16(es.body.data());
    if (es.body.size() < 2 + size_t(n) * 6)
        return kNone;
    for (uint16_t i = 0; i < n; ++i) {
        const uint8_t* p = es.body.data() + 2 + 6 * i;
        if (rd16(p) == selfIdx && rd16(p + 2) == sheet && rd16(p + 4) == sheet)
            return i;
    }
    if (es.body.size() + 6 > kMaxBody || n == 0xFFFF)
        return kNone;
    es.body.resize(2 + size_t(n) * 6);
    Out o;
    o.u16(uint16_t(selfIdx));
    o.u16(uint16_t(sheet));
    o.u16(uint16_t(sheet));
    es.body.insert(es.body.end(), o.buf.begin(), o.buf.end());
    wr16(es.body.data(), uint16_t(n + 1));
    return n;
}

std::vector<uint8_t> printAreaNameBody(uint16_t grbit, size_t sheet, uint32_t ixti, const CellRange& a)
{
    Out o;
    o.u16(grbit | 0x0020);
    o.u8(0);   // chKey
    o.u8(1);   // cch
    o.u16(11); // cce
    o.u16(0);
    o.u16(uint16_t(sheet + 1));
    o.u32(0);
    o.u8(0);    // 8-bit name
    o.u8(0x06); // Print_Area
    o.u8(0x3B);
    o.u16(uint16_t(ixti));
    o.u16(uint16_t(a.firstRow));
    o.u16(uint16_t(a.lastRow));
    o.u16(uint16_t(a.firstCol));
    o.u16(uint16_t(a.lastCol));
    return std::move(o.buf);
}

// The model's blocks must have a place even when the file lacked them.
void ensureBlocks(std::vector<RawRecord>& g)
{
    auto has = [&g](uint16_t t) { return findFirst(g, {t}) != g.size(); };
    if (!has(Workbook::FormattingBlock))
        g.insert(g.begin()
                     + findFirst(g,
                                 {rSTYLE, rUSESELFS, rBOUNDSHEET, Workbook::SheetsBlock, rCOUNTRY, rSUPBOOK,
                                  rEXTERNSHEET, rNAME, Workbook::StringsBlock}),
                 RawRecord{Workbook::FormattingBlock, {}});
    if (!has(Workbook::SheetsBlock))
        g.insert(g.begin()
                     + findFirst(
                         g,
                         {rCOUNTRY, rSUPBOOK, rEXTERNSHEET, rNAME, rRECALCID, rMSODRAWINGGROUP, Workbook::StringsBlock},
                         findFirst(g, {Workbook::FormattingBlock}) + 1),
                 RawRecord{Workbook::SheetsBlock, {}});
    if (!has(Workbook::StringsBlock))
        g.insert(g.begin()
                     + findFirst(g, {0x0801, 0x080B, 0x0865, 0x0863, 0x0867, 0x0876, 0x0896, 0x089B, 0x088C},
                                 findFirst(g, {Workbook::SheetsBlock}) + 1),
                 RawRecord{Workbook::StringsBlock, {}});
}

void Writer::applyPrintAreas(std::vector<RawRecord>& g)
{
    const size_t nsheets = wb_.sheets.size();
    for (size_t s = 0; s < nsheets; ++s) {
        const PageSetup& ps = wb_.sheets[s]->pageSetup;
        size_t found = g.size();
        for (size_t i = 0; i < g.size(); ++i) {
            size_t sh;
            if (isPrintAreaName(g[i], sh) && sh == s) {
                found = i;
                break;
            }
        }
        if (!ps.printArea) {
            // Removing a name shifts the index of those after it: only the last one may go.
            if (ps.printAreaChanged && found != g.size() && findFirst(g, {rNAME}, found + 1) == g.size())
                g.erase(g.begin() + found);
            continue;
        }
        CellRange a = *ps.printArea;
        a.firstRow = std::clamp(a.firstRow, 0, kMaxRows - 1);
        a.lastRow = std::clamp(a.lastRow, a.firstRow, kMaxRows - 1);
        a.firstCol = std::clamp(a.firstCol, 0, kMaxCols - 1);
        a.lastCol = std::clamp(a.lastCol, a.firstCol, kMaxCols - 1);
        if (found != g.size() && !ps.printAreaChanged)
            continue; // kept as the file had it
        uint32_t ixti = ensureXti(g, s, nsheets);
        if (ixti == kNone)
            continue;
        // ensureXti may have inserted records: look for the name again.
        found = g.size();
        for (size_t i = 0; i < g.size(); ++i) {
            size_t sh;
            if (isPrintAreaName(g[i], sh) && sh == s) {
                found = i;
                break;
            }
        }
        if (found != g.size()) {
            uint16_t grbit = rd16(g[found].body.data());
            g[found].body = printAreaNameBody(grbit, s, ixti, a);
            if (found + 1 < g.size() && g[found + 1].type == rCONTINUE)
                g.erase(g.begin() + found + 1);
        } else {
            // A new name goes after the last one (indexes of the others stay), or after EXTERNSHEET.
            size_t at = g.size();
            for (size_t i = g.size(); i-- > 0;)
                if (g[i].type == rNAME || g[i].type == rEXTERNSHEET) {
                    at = i + 1;
                    while (at < g.size() && g[at].type == rCONTINUE)
                        ++at;
                    break;
                }
            g.insert(g.begin() + at, RawRecord{rNAME, printAreaNameBody(0, s, ixti, a)});
        }
    }
}

void Writer::collectStrings()
{
    sstIndex_.assign(wb_.strings.size(), kNone);
    for (const auto& ws : wb_.sheets) {
        if (ws->kind != 0 && !ws->before.empty() && ws->before[0].type == rBOF)
            continue;
        for (const Row& row : ws->rows)
            for (const Cell& c : row.cells) {
                if (c.type != CellType::Text || (c.formula != 0 && c.formula <= ws->formulas.size()))
                    continue;
                if (c.str >= wb_.strings.size())
                    continue;
                ++cstTotal_;
                if (sstIndex_[c.str] == kNone) {
                    sstIndex_[c.str] = uint32_t(sstOrder_.size());
                    sstOrder_.push_back(c.str);
                }
            }
    }
}

Font Writer::parsedFont(const Font& f) const
{
    Font p;
    if (f.raw.size() < 16)
        return p;
    const uint8_t* b = f.raw.data();
    p.heightTwips = rd16(b);
    uint16_t grbit = rd16(b + 2);
    p.italic = grbit & 0x02;
    p.strikeOut = grbit & 0x08;
    p.colorIndex = rd16(b + 4);
    p.bold = rd16(b + 6) >= 700;
    p.underline = b[10] != 0;
    size_t cch = b[14];
    size_t w = (b[15] & 1) ? 2 : 1;
    if (f.raw.size() >= 16 + cch * w) {
        p.name.clear();
        if (w == 2)
            appendUtf16Bytes(p.name, b + 16, cch);
        else
            appendLatin1(p.name, b + 16, cch);
    }
    return p;
}

void Writer::writeFormatting()
{
    // Fonts in model order: the fifth record is file index 5 (index 4 does not exist).
    std::vector<Font> fonts = wb_.fonts;
    if (fonts.empty())
        fonts.push_back(Font{});
    for (const Font& f : fonts) {
        Font p = parsedFont(f);
        if (f.raw.size() >= 16 && p.name == f.name && p.heightTwips == f.heightTwips && p.bold == f.bold
            && p.italic == f.italic && p.underline == f.underline && p.strikeOut == f.strikeOut
            && p.colorIndex == f.colorIndex) {
            out_.record(rFONT, f.raw);
            continue;
        }
        size_t start = out_.begin(rFONT);
        uint16_t grbit = f.raw.size() >= 4 ? uint16_t(rd16(&f.raw[2]) & ~0x0Au) : 0;
        grbit |= (f.italic ? 0x02 : 0) | (f.strikeOut ? 0x08 : 0);
        out_.u16(f.heightTwips);
        out_.u16(grbit);
        out_.u16(f.colorIndex);
        out_.u16(f.bold ? 700 : 400);
        out_.u16(f.raw.size() >= 10 ? rd16(&f.raw[8]) : 0);
        uint8_t uls = f.raw.size() >= 11 ? f.raw[10] : 0;
        out_.u8(f.underline ? (uls ? uls : 1) : 0);
        out_.u8(f.raw.size() >= 12 ? f.raw[11] : 0);
        out_.u8(f.raw.size() >= 13 ? f.raw[12] : 0);
        out_.u8(0);
        putXlString(out_, f.name, true, 255);
        out_.end(start);
    }
    // Number formats: the file's order first, then any others.
    std::vector<uint16_t> ids;
    for (uint16_t id : wb_.numberFormatOrder)
        if (wb_.numberFormats.count(id) && std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    std::vector<uint16_t> rest;
    for (const auto& [id, s] : wb_.numberFormats)
        if (std::find(ids.begin(), ids.end(), id) == ids.end())
            rest.push_back(id);
    std::sort(rest.begin(), rest.end());
    ids.insert(ids.end(), rest.begin(), rest.end());
    for (uint16_t id : ids) {
        size_t start = out_.begin(rFORMAT);
        out_.u16(id);
        putXlString(out_, wb_.numberFormats.at(id), false, 255);
        out_.end(start);
    }
    // Cell formats: the file's bodies with the modelled fields brought up to date.
    for (const CellFormat& f : wb_.formats) {
        uint8_t b[20] = {};
        if (f.raw.size() >= 20) {
            std::memcpy(b, f.raw.data(), 20);
        } else if (f.isStyle) {
            const uint8_t style[20] = {0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
            std::memcpy(b, style, 20);
        } else {
            const uint8_t cell[20] = {0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
            std::memcpy(b, cell, 20);
            b[9] = uint8_t((f.numFmtId ? 0x04 : 0) | (f.fontIndex ? 0x08 : 0)
                           | ((f.hAlign != HAlign::General || f.vAlign != VAlign::Bottom || f.wrap) ? 0x10 : 0));
        }
        wr16(b, fileFontIndex(f.fontIndex));
        wr16(b + 2, f.numFmtId);
        b[6] = uint8_t((b[6] & 0x80) | (uint8_t(f.hAlign) & 7) | (f.wrap ? 0x08 : 0) | ((uint8_t(f.vAlign) & 7) << 4));
        out_.record(rXF, b, 20);
    }
}

void Writer::writeSst()
{
    const size_t n = sstOrder_.size();
    const size_t dsst = std::max<size_t>(8, (n + 127) / 128);
    struct Bucket {
        uint32_t ib;
        uint16_t cb;
    };
    std::vector<Bucket> buckets;
    buckets.reserve(n / dsst + 1);

    size_t recStart = out_.begin(rSST); // body start of the current SST/CONTINUE record
    out_.u32(cstTotal_);
    out_.u32(uint32_t(n));
    auto room = [&]() { return kMaxBody - (out_.size() - recStart); };
    auto flush = [&]() {
        out_.end(recStart);
        recStart = out_.begin(rCONTINUE);
    };
    for (size_t i = 0; i < n; ++i) {
        const SharedString& s = wb_.strings[sstOrder_[i]];
        sheet::utf8ToUtf16(s.text, units_);
        size_t cch = std::min<size_t>(units_.size(), 0xFFFF);
        bool narrow = allNarrow(units_);
        size_t w = narrow ? 1 : 2;
        size_t runs = std::min<size_t>(s.runs.size() / 4, 0xFFFF);
        size_t header = 3 + (runs ? 2 : 0) + (s.phonetic.empty() ? 0 : 4);
        if (room() < header + (cch ? w : 0))
            flush();
        if (i % dsst == 0)
            buckets.push_back({uint32_t(out_.size()), uint16_t(out_.size() - recStart + 4)});
        out_.u16(uint16_t(cch));
        out_.u8(uint8_t((narrow ? 0 : 1) | (runs ? 0x08 : 0) | (s.phonetic.empty() ? 0 : 0x04)));
        if (runs)
            out_.u16(uint16_t(runs));
        if (!s.phonetic.empty())
            out_.u32(uint32_t(s.phonetic.size()));
        size_t done = 0;
        while (done < cch) {
            size_t k = std::min(cch - done, room() / w);
            if (k == 0) {
                flush();
                out_.u8(narrow ? 0 : 1);
                continue;
            }
            putChars(out_, units_.data() + done, k, narrow);
            done += k;
        }
        // Formatting runs: whole 4-byte runs per record; the phonetic block in any pieces.
        for (size_t r = 0; r < runs; ++r) {
            if (room() < 4)
                flush();
            out_.bytes(s.runs.data() + 4 * r, 4);
        }
        size_t pdone = 0;
        while (pdone < s.phonetic.size()) {
            if (room() == 0)
                flush();
            size_t k = std::min(s.phonetic.size() - pdone, room());
            out_.bytes(s.phonetic.data() + pdone, k);
            pdone += k;
        }
    }
    out_.end(recStart);
    size_t start = out_.begin(rEXTSST);
    out_.u16(uint16_t(dsst));
    for (const Bucket& b : buckets) {
        out_.u32(b.ib);
        out_.u16(b.cb);
        out_.u16(0);
    }
    out_.end(start);
}

void Writer::writeGlobals(const std::vector<RawRecord>& g)
{
    const uint8_t bof[16] = {0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0, 0, 0};
    out_.record(rBOF, bof, 16);
    if (filepassSize_) {
        out_.u16(rFILEPASS);
        out_.u16(uint16_t(filepassSize_));
        out_.grow(filepassSize_);
    }
    const size_t nsheets = wb_.sheets.size();
    bool wroteRecalc = false;
    for (size_t i = 0; i < g.size(); ++i) {
        const RawRecord& r = g[i];
        if (wb_.modified && !wroteRecalc && (r.type == rMSODRAWINGGROUP || r.type == Workbook::StringsBlock)
            && findFirst(g, {rRECALCID}) == g.size()) {
            const uint8_t recalc[8] = {0xC1, 0x01, 0, 0, 0, 0, 0, 0};
            out_.record(rRECALCID, recalc, 8);
            wroteRecalc = true;
        }
        switch (r.type) {
        case Workbook::FormattingBlock: writeFormatting(); break;
        case Workbook::SheetsBlock:
            for (const auto& ws : wb_.sheets) {
                size_t start = out_.begin(rBOUNDSHEET);
                plyPos_.push_back(out_.size());
                out_.u32(0);
                out_.u8(uint8_t(ws->visibility));
                out_.u8(ws->kind);
                putXlString(out_, ws->name, true, 31);
                out_.end(start);
            }
            break;
        case Workbook::StringsBlock: writeSst(); break;
        case rBOF:
        case rEOF:
        case rFILEPASS:
        case rSST:
        case rEXTSST:
        case rINDEX: break;
        case rCONTINUE:
            // CONTINUE records of the generated blocks are not kept; others follow their record.
            if (i > 0 && g[i - 1].type >= Workbook::FormattingBlock)
                break;
            raw(r);
            break;
        case rWINDOW1: {
            std::vector<uint8_t> b = r.body;
            if (b.size() >= 16) {
                wr16(&b[10], uint16_t(active_));
                if (rd16(&b[12]) >= nsheets || rd16(&b[12]) > active_)
                    wr16(&b[12], 0);
                wr16(&b[14], 1);
            }
            out_.record(rWINDOW1, b);
            break;
        }
        case rDATEMODE: out_.record(rDATEMODE, u16Body(wb_.date1904 ? 1 : 0)); break;
        case rTABID:
            if (r.body.size() == 2 * nsheets) {
                raw(r);
            } else {
                size_t start = out_.begin(rTABID);
                for (size_t s = 0; s < nsheets && s < kMaxBody / 2; ++s)
                    out_.u16(uint16_t(s + 1));
                out_.end(start);
            }
            break;
        case rRECALCID: {
            std::vector<uint8_t> b = r.body;
            if (wb_.modified && b.size() >= 8)
                wr32(&b[4], 0);
            out_.record(rRECALCID, b);
            wroteRecalc = true;
            break;
        }
        case rSUPBOOK:
            if (isSelfSupbook(r)) {
                std::vector<uint8_t> b = r.body;
                wr16(&b[0], uint16_t(nsheets));
                out_.record(rSUPBOOK, b);
            } else {
                raw(r);
            }
            break;
        default: raw(r); break;
        }
    }
    if (wb_.modified && !wroteRecalc) {
        const uint8_t recalc[8] = {0xC1, 0x01, 0, 0, 0, 0, 0, 0};
        out_.record(rRECALCID, recalc, 8);
    }
    out_.record(rEOF, nullptr, 0);
}

// ---------------------------------------------------------------- sheets

void Writer::writeSheetPreamble(const Worksheet& ws)
{
    out_.record(rCALCMODE, u16Body(1));
    out_.record(rCALCCOUNT, u16Body(100));
    out_.record(rREFMODE, u16Body(1));
    out_.record(rITERATION, u16Body(0));
    Out d;
    d.f64(0.001);
    out_.record(rDELTA, d.buf);
    out_.record(rSAVERECALC, u16Body(1));
    out_.record(rPRINTHEADERS, u16Body(ws.pageSetup.printHeadings));
    out_.record(rPRINTGRIDLINES, u16Body(ws.pageSetup.printGridlines));
    out_.record(rGRIDSET, u16Body(1));
    const uint8_t guts[8] = {};
    out_.record(rGUTS, guts, 8);
    Out h;
    h.u16(ws.defaultRowFlags);
    h.u16(ws.defaultRowHeight);
    out_.record(rDEFAULTROWHEIGHT, h.buf);
    out_.record(rWSBOOL, u16Body(uint16_t(0x04C1 | (ws.pageSetup.fitToPages ? 0x0100 : 0))));
}

void Writer::writePageSetup(const Worksheet& ws, const std::vector<const RawRecord*>& pls)
{
    const PageSetup& ps = ws.pageSetup;
    for (uint16_t t : {rHEADER, rFOOTER}) {
        const std::string& s = t == rHEADER ? ps.header : ps.footer;
        if (s.empty())
            out_.record(t, nullptr, 0);
        else
            out_.record(t, xlStringBody(s, 255));
    }
    out_.record(rHCENTER, u16Body(ps.centerHorizontally));
    out_.record(rVCENTER, u16Body(ps.centerVertically));
    const double margins[4] = {ps.leftMargin, ps.rightMargin, ps.topMargin, ps.bottomMargin};
    for (int i = 0; i < 4; ++i) {
        Out o;
        o.f64(margins[i]);
        out_.record(uint16_t(rLEFTMARGIN + i), o.buf);
    }
    for (const RawRecord* r : pls)
        raw(*r);
    uint8_t b[34] = {};
    if (ps.rawSetup.size() == 34) {
        std::memcpy(b, ps.rawSetup.data(), 34);
    } else {
        wr16(b + 0, 9);
        wr16(b + 2, 100);
        wr16(b + 4, 1);
        wr16(b + 10, 0x02);
        wr16(b + 12, 600);
        wr16(b + 14, 600);
        wr16(b + 32, 1);
    }
    uint16_t grbit = rd16(b + 10);
    if (ps.valid) {
        wr16(b + 0, ps.paperSize);
        wr16(b + 2, ps.zoom);
        grbit = uint16_t((grbit & ~0x06u) | (ps.portrait ? 0x02 : 0));
        wr16(b + 32, ps.copies);
        if (rd16(b + 12) == 0 && ps.rawSetup.size() != 34) {
            wr16(b + 12, 600);
            wr16(b + 14, 600);
        }
    }
    wr16(b + 10, grbit);
    wr16(b + 6, ps.fitWidth);
    wr16(b + 8, ps.fitHeight);
    std::memcpy(b + 16, &ps.headerMargin, 8);
    std::memcpy(b + 24, &ps.footerMargin, 8);
    out_.record(rSETUP, b, 34);
}

void Writer::writeColumns(const Worksheet& ws)
{
    out_.record(rDEFCOLWIDTH, u16Body(ws.defaultColWidth));
    for (const ColumnInfo& ci : ws.columns) {
        if (ci.firstCol < 0 || ci.firstCol > ci.lastCol || ci.firstCol >= kMaxCols)
            continue;
        size_t start = out_.begin(rCOLINFO);
        out_.u16(uint16_t(ci.firstCol));
        out_.u16(uint16_t(std::min(ci.lastCol, kMaxCols - 1)));
        out_.u16(ci.width);
        out_.u16(ci.xf);
        out_.u16(uint16_t((ci.flags & ~1u) | (ci.hidden ? 1 : 0)));
        out_.u16(0);
        out_.end(start);
    }
}

void Writer::writeContinuedString(uint16_t type, std::string_view text)
{
    sheet::utf8ToUtf16(text, units_);
    size_t cch = std::min<size_t>(units_.size(), 0xFFFF);
    bool narrow = allNarrow(units_);
    size_t w = narrow ? 1 : 2;
    size_t rec = out_.begin(type);
    out_.u16(uint16_t(cch));
    out_.u8(narrow ? 0 : 1);
    size_t done = 0;
    while (done < cch) {
        size_t k = std::min(cch - done, (kMaxBody - (out_.size() - rec)) / w);
        if (k == 0) {
            out_.end(rec);
            rec = out_.begin(rCONTINUE);
            out_.u8(narrow ? 0 : 1);
            continue;
        }
        putChars(out_, units_.data() + done, k, narrow);
        done += k;
    }
    out_.end(rec);
}

void Writer::writeRowCells(const Worksheet& ws, int r)
{
    const auto& cells = ws.rows[r].cells;
    const int n = int(std::min<size_t>(cells.size(), kMaxCols));
    int c = 0;
    while (c < n) {
        const Cell& cell = cells[c];
        if (cell.formula != 0 && cell.formula <= ws.formulas.size()
            && ws.formulas[cell.formula - 1].body.size() + 6 <= kMaxBody) {
            const Formula& f = ws.formulas[cell.formula - 1];
            size_t start = out_.begin(rFORMULA);
            out_.u16(uint16_t(r));
            out_.u16(uint16_t(c));
            out_.u16(cell.xf);
            out_.bytes(f.body);
            out_.end(start);
            for (const RawRecord& fr : f.following)
                raw(fr);
            if (f.stringResult && cell.type == CellType::Text)
                writeContinuedString(rSTRING,
                                     cell.str < wb_.strings.size() ? wb_.strings[cell.str].text : std::string());
            ++c;
            continue;
        }
        switch (cell.type) {
        case CellType::Number: {
            uint32_t rk;
            if (toRk(cell.number, rk)) {
                // Neighbouring RK numbers share one MULRK record.
                int e = c + 1;
                uint32_t rk2;
                while (e < n && cells[e].type == CellType::Number && cells[e].formula == 0
                       && toRk(cells[e].number, rk2))
                    ++e;
                if (e - c >= 2) {
                    size_t start = out_.begin(rMULRK);
                    out_.u16(uint16_t(r));
                    out_.u16(uint16_t(c));
                    for (int k = c; k < e; ++k) {
                        toRk(cells[k].number, rk2);
                        out_.u16(cells[k].xf);
                        out_.u32(rk2);
                    }
                    out_.u16(uint16_t(e - 1));
                    out_.end(start);
                    c = e;
                    continue;
                }
                uint8_t* p = out_.grow(14);
                wr16(p, rRK);
                wr16(p + 2, 10);
                wr16(p + 4, uint16_t(r));
                wr16(p + 6, uint16_t(c));
                wr16(p + 8, cell.xf);
                wr32(p + 10, rk);
            } else {
                uint8_t* p = out_.grow(18);
                wr16(p, rNUMBER);
                wr16(p + 2, 14);
                wr16(p + 4, uint16_t(r));
                wr16(p + 6, uint16_t(c));
                wr16(p + 8, cell.xf);
                std::memcpy(p + 10, &cell.number, 8);
            }
            break;
        }
        case CellType::Text: {
            if (cell.str >= sstIndex_.size() || sstIndex_[cell.str] == kNone)
                break;
            uint8_t* p = out_.grow(14);
            wr16(p, rLABELSST);
            wr16(p + 2, 10);
            wr16(p + 4, uint16_t(r));
            wr16(p + 6, uint16_t(c));
            wr16(p + 8, cell.xf);
            wr32(p + 10, sstIndex_[cell.str]);
            break;
        }
        case CellType::Boolean:
        case CellType::Error: {
            uint8_t* p = out_.grow(12);
            wr16(p, rBOOLERR);
            wr16(p + 2, 8);
            wr16(p + 4, uint16_t(r));
            wr16(p + 6, uint16_t(c));
            wr16(p + 8, cell.xf);
            p[10] = cell.type == CellType::Boolean ? (cell.small ? 1 : 0) : cell.small;
            p[11] = cell.type == CellType::Error ? 1 : 0;
            break;
        }
        case CellType::Empty:
            if (cell.blankFormatted) {
                int e = c + 1;
                while (e < n && cells[e].type == CellType::Empty && cells[e].blankFormatted && cells[e].formula == 0)
                    ++e;
                if (e - c >= 2) {
                    size_t start = out_.begin(rMULBLANK);
                    out_.u16(uint16_t(r));
                    out_.u16(uint16_t(c));
                    for (int k = c; k < e; ++k)
                        out_.u16(cells[k].xf);
                    out_.u16(uint16_t(e - 1));
                    out_.end(start);
                    c = e;
                    continue;
                }
                uint8_t* p = out_.grow(10);
                wr16(p, rBLANK);
                wr16(p + 2, 6);
                wr16(p + 4, uint16_t(r));
                wr16(p + 6, uint16_t(c));
                wr16(p + 8, cell.xf);
            }
            break;
        }
        ++c;
    }
}

void Writer::writeCells(const Worksheet& ws)
{
    const int nrows = int(std::min<size_t>(ws.rows.size(), kMaxRows));
    // Extent of the stored cells, and which rows are written at all.
    int rMin = -1, rMax = -1, cMin = kMaxCols, cMax = -1;
    std::vector<std::pair<int, int>> span(nrows, {-1, -1}); // first / last stored column per row
    for (int r = 0; r < nrows; ++r) {
        const auto& cells = ws.rows[r].cells;
        int n = int(std::min<size_t>(cells.size(), kMaxCols));
        int first = -1, last = -1;
        for (int c = 0; c < n; ++c)
            if (storedCell(cells[c])) {
                if (first < 0)
                    first = c;
                last = c;
            }
        span[r] = {first, last};
        if (first >= 0) {
            if (rMin < 0)
                rMin = r;
            rMax = r;
            cMin = std::min(cMin, first);
            cMax = std::max(cMax, last);
        }
    }
    size_t start = out_.begin(rDIMENSIONS);
    if (rMin >= 0) {
        out_.u32(uint32_t(rMin));
        out_.u32(uint32_t(rMax + 1));
        out_.u16(uint16_t(cMin));
        out_.u16(uint16_t(cMax + 1));
    } else {
        out_.u32(0);
        out_.u32(0);
        out_.u16(0);
        out_.u16(0);
    }
    out_.u16(0);
    out_.end(start);

    for (int block = 0; block < nrows; block += 32) {
        int end = std::min(nrows, block + 32);
        bool any = false;
        for (int r = block; r < end; ++r) {
            const RowInfo& ri = ws.rows[r].info;
            if (!ri.present && span[r].first < 0)
                continue;
            any = true;
            uint8_t* p = out_.grow(20);
            wr16(p, rROW);
            wr16(p + 2, 16);
            wr16(p + 4, uint16_t(r));
            wr16(p + 6, uint16_t(span[r].first < 0 ? 0 : span[r].first));
            wr16(p + 8, uint16_t(span[r].first < 0 ? 0 : span[r].second + 1));
            wr16(p + 10, ri.present ? uint16_t(ri.height & 0x7FFF) : ws.defaultRowHeight);
            wr16(p + 12, 0);
            wr16(p + 14, 0);
            wr16(p + 16, uint16_t((ri.present ? ri.flags : 0) | 0x0100));
            wr16(p + 18, uint16_t(ri.present ? (ri.xf & 0x0FFF) : 15));
        }
        if (!any)
            continue;
        for (int r = block; r < end; ++r)
            if (span[r].first >= 0)
                writeRowCells(ws, r);
    }
}

void Writer::writeWindow(const Worksheet& ws, const RawRecord* raw, size_t index)
{
    uint8_t b[18] = {0xB6, 0x04, 0, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    size_t n = 18;
    if (raw && raw->body.size() >= 2) {
        n = std::min<size_t>(raw->body.size(), 18);
        std::memcpy(b, raw->body.data(), n);
    }
    uint16_t grbit = rd16(b);
    grbit &= ~uint16_t(0x0008 | 0x0100 | 0x0200 | 0x0400);
    if (int(index) == active_)
        grbit |= 0x0600;
    if (ws.frozenRows > 0 || ws.frozenCols > 0)
        grbit |= 0x0108;
    wr16(b, grbit);
    out_.record(rWINDOW2, b, n);
}

void Writer::writePane(const Worksheet& ws)
{
    if (ws.frozenRows <= 0 && ws.frozenCols <= 0)
        return;
    int rows = std::min(ws.frozenRows, kMaxRows - 1), cols = std::min(ws.frozenCols, kMaxCols - 1);
    Out o;
    o.u16(uint16_t(cols));
    o.u16(uint16_t(rows));
    o.u16(uint16_t(rows));
    o.u16(uint16_t(cols));
    o.u8(rows > 0 && cols > 0 ? 0 : (rows > 0 ? 2 : 1));
    o.u8(0);
    out_.record(rPANE, o.buf);
}

void Writer::writeMerges(const Worksheet& ws)
{
    std::vector<CellRange> m;
    for (const CellRange& r : ws.merged)
        if (r.firstRow >= 0 && r.firstRow <= r.lastRow && r.lastRow < kMaxRows && r.firstCol >= 0
            && r.firstCol <= r.lastCol && r.lastCol < kMaxCols)
            m.push_back(r);
    for (size_t i = 0; i < m.size(); i += 1026) {
        size_t k = std::min<size_t>(1026, m.size() - i);
        size_t start = out_.begin(rMERGECELLS);
        out_.u16(uint16_t(k));
        for (size_t j = i; j < i + k; ++j) {
            out_.u16(uint16_t(m[j].firstRow));
            out_.u16(uint16_t(m[j].lastRow));
            out_.u16(uint16_t(m[j].firstCol));
            out_.u16(uint16_t(m[j].lastCol));
        }
        out_.end(start);
    }
}

void Writer::writeSheet(const Worksheet& ws, size_t index)
{
    if (!ws.before.empty() && ws.before[0].type == rBOF) {
        // A chart, macro or module sheet kept as read.
        for (const RawRecord& r : ws.before)
            raw(r);
        out_.record(rEOF, nullptr, 0);
        return;
    }
    const uint8_t bof[16] = {0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0, 0, 0};
    out_.record(rBOF, bof, 16);
    const bool frozen = ws.frozenRows > 0 || ws.frozenCols > 0;

    if (ws.before.empty()) {
        writeSheetPreamble(ws);
        writePageSetup(ws, {});
        writeColumns(ws);
    } else {
        std::vector<const RawRecord*> pls;
        bool havePH = false, havePG = false, haveWs = false;
        for (size_t i = 0; i < ws.before.size(); ++i) {
            uint16_t t = ws.before[i].type;
            if (t == rPLS) {
                pls.push_back(&ws.before[i]);
                while (i + 1 < ws.before.size() && ws.before[i + 1].type == rCONTINUE)
                    pls.push_back(&ws.before[++i]);
            }
            havePH |= t == rPRINTHEADERS;
            havePG |= t == rPRINTGRIDLINES;
            haveWs |= t == rWSBOOL;
        }
        bool wroteSetup = false, wroteColumns = false;
        auto setupGroup = [&]() {
            if (wroteSetup)
                return;
            if (!havePH)
                out_.record(rPRINTHEADERS, u16Body(ws.pageSetup.printHeadings));
            if (!havePG)
                out_.record(rPRINTGRIDLINES, u16Body(ws.pageSetup.printGridlines));
            if (!haveWs)
                out_.record(rWSBOOL, u16Body(uint16_t(0x04C1 | (ws.pageSetup.fitToPages ? 0x0100 : 0))));
            writePageSetup(ws, pls);
            wroteSetup = true;
        };
        for (size_t i = 0; i < ws.before.size(); ++i) {
            const RawRecord& r = ws.before[i];
            if (r.type == rPLS) {
                while (i + 1 < ws.before.size() && ws.before[i + 1].type == rCONTINUE)
                    ++i;
                setupGroup();
                continue;
            }
            if (isPageSetupRecord(r.type)) {
                setupGroup();
                continue;
            }
            switch (r.type) {
            case rPRINTHEADERS: out_.record(rPRINTHEADERS, u16Body(ws.pageSetup.printHeadings)); break;
            case rPRINTGRIDLINES: out_.record(rPRINTGRIDLINES, u16Body(ws.pageSetup.printGridlines)); break;
            case rWSBOOL: {
                uint16_t v = r.body.size() >= 2 ? rd16(r.body.data()) : 0x04C1;
                v = uint16_t((v & ~0x0100u) | (ws.pageSetup.fitToPages ? 0x0100 : 0));
                out_.record(rWSBOOL, u16Body(v));
                break;
            }
            case rDEFAULTROWHEIGHT: {
                Out h;
                h.u16(ws.defaultRowFlags);
                h.u16(ws.defaultRowHeight);
                out_.record(rDEFAULTROWHEIGHT, h.buf);
                break;
            }
            case rSORT:
                setupGroup();
                if (!wroteColumns) {
                    writeColumns(ws);
                    wroteColumns = true;
                }
                raw(r);
                break;
            case rDIMENSIONS:
            case rCOLINFO:
            case rDEFCOLWIDTH:
            case rINDEX:
            case rEOF:
            case rBOF:
            case rWINDOW2:
            case rPANE:
            case rMERGECELLS: break;
            default: raw(r); break;
            }
        }
        setupGroup();
        if (!wroteColumns)
            writeColumns(ws);
    }

    writeCells(ws);

    // After the cells: the window settings with the model's pane, then the merged ranges.
    bool wroteWindow = false, wroteMerges = false, inWindow = false;
    auto finishWindow = [&]() {
        if (inWindow) {
            writePane(ws);
            inWindow = false;
        }
    };
    for (size_t i = 0; i < ws.after.size(); ++i) {
        const RawRecord& r = ws.after[i];
        if (inWindow && r.type != rPLV && r.type != rSCL)
            finishWindow();
        if (wroteWindow && !wroteMerges && r.type != rSELECTION && r.type != rPLV && r.type != rSCL
            && r.type != rPANE) {
            writeMerges(ws);
            wroteMerges = true;
        }
        switch (r.type) {
        case rWINDOW2:
            if (wroteWindow)
                break;
            writeWindow(ws, &r, index);
            wroteWindow = true;
            inWindow = true;
            break;
        case rPANE:
        case rMERGECELLS:
        case rDIMENSIONS:
        case rINDEX:
        case rDBCELL:
        case rEOF:
        case rBOF: break;
        case rSELECTION:
            // Without a frozen pane only the top-left pane exists.
            if (!frozen && !r.body.empty() && r.body[0] != 3)
                break;
            raw(r);
            break;
        default: raw(r); break;
        }
    }
    finishWindow();
    if (!wroteWindow) {
        writeWindow(ws, nullptr, index);
        writePane(ws);
    }
    if (!wroteMerges)
        writeMerges(ws);
    out_.record(rEOF, nullptr, 0);
}

std::vector<uint8_t> Writer::run()
{
    const size_t nsheets = wb_.sheets.size();
    active_ = 0;
    auto usable = [&](int i) {
        return i >= 0 && size_t(i) < nsheets && wb_.sheets[i]->visibility == Visibility::Visible;
    };
    if (usable(wb_.activeSheet)) {
        active_ = wb_.activeSheet;
    } else {
        for (size_t i = 0; i < nsheets; ++i)
            if (usable(int(i))) {
                active_ = int(i);
                break;
            }
    }
    std::vector<RawRecord> g = globalsList();
    ensureBlocks(g);
    applyPrintAreas(g);
    collectStrings();
    // A rough size guess keeps the buffer from being copied too often.
    size_t cells = 0;
    for (const auto& ws : wb_.sheets)
        for (const Row& r : ws->rows)
            cells += r.cells.size();
    out_.buf.reserve(cells * 12 + sstOrder_.size() * 16 + 65536);
    writeGlobals(g);
    for (size_t i = 0; i < nsheets; ++i) {
        wr32(&out_.buf[plyPos_[i]], uint32_t(out_.size()));
        writeSheet(*wb_.sheets[i], i);
    }
    return std::move(out_.buf);
}

} // namespace

std::vector<uint8_t> writeWorkbookStream(const Workbook& wb, size_t filepassSize)
{
    Writer w(wb, filepassSize);
    return w.run();
}

} // namespace gp::xls
