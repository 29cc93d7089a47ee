// Reading a plaintext BIFF8 Workbook stream into the in-memory model.
//
// Every length read from the stream is checked against the bytes that are
// actually there; a broken stream gives ErrorCode::Damaged, never a crash.
// The cell loop is the hot path of opening a large register: texts go through
// the string pool by index and rows are stored in place, so no cell costs a
// heap allocation of its own.
#include <algorithm>
#include <cmath>

#include "core/xls/biff_io.h"
#include "core/xls/xls_file.h"

namespace gp::xls {

using namespace gp::sheet;
using namespace gp::xls::biff;

namespace {

struct Damaged {
    const char* what;
};

[[noreturn]] void fail(const char* what) { throw Damaged{what}; }

struct Rec {
    uint16_t type = 0;
    uint32_t size = 0;
    size_t pos = 0; // offset of the record header
    const uint8_t* body = nullptr;
};

class Stream {
public:
    explicit Stream(std::span<const uint8_t> s) : p_(s.data()), n_(s.size()) {}
    size_t size() const { return n_; }
    bool atEnd(size_t pos) const { return pos + 4 > n_; }
    Rec at(size_t pos) const
    {
        if (pos > n_ || n_ - pos < 4)
            fail("record header past the end");
        Rec r;
        r.type = rd16(p_ + pos);
        r.size = rd16(p_ + pos + 2);
        r.pos = pos;
        if (n_ - pos - 4 < r.size)
            fail("record body past the end");
        r.body = p_ + pos + 4;
        return r;
    }
    size_t next(const Rec& r) const { return r.pos + 4 + r.size; }

private:
    const uint8_t* p_;
    size_t n_;
};

// Reads data that may continue into CONTINUE records (SST, STRING): a list of
// body segments. Characters that cross a boundary are preceded, in the next
// segment, by an option byte giving their width.
class SegReader {
public:
    struct Seg {
        const uint8_t* p;
        size_t n;
    };
    std::vector<Seg> segs;
    size_t si = 0, off = 0;

    size_t remainingInSeg() const { return si < segs.size() ? segs[si].n - off : 0; }
    bool nextSeg()
    {
        while (si < segs.size() && off >= segs[si].n) {
            ++si;
            off = 0;
            if (si < segs.size() && segs[si].n > 0)
                return true;
        }
        return si < segs.size();
    }
    void bytes(uint8_t* dst, size_t n)
    {
        while (n > 0) {
            if (remainingInSeg() == 0 && !nextSeg())
                fail("string past the end of its records");
            size_t k = std::min(n, remainingInSeg());
            if (dst) {
                std::memcpy(dst, segs[si].p + off, k);
                dst += k;
            }
            off += k;
            n -= k;
        }
    }
    uint8_t u8()
    {
        uint8_t b;
        bytes(&b, 1);
        return b;
    }
    uint16_t u16()
    {
        uint8_t b[2];
        bytes(b, 2);
        return rd16(b);
    }
    uint32_t u32()
    {
        uint8_t b[4];
        bytes(b, 4);
        return rd32(b);
    }
    // `cch` characters, starting with width `high`; appends UTF-8 to out.
    void chars(size_t cch, bool high, std::string& out, std::vector<uint16_t>& scratch)
    {
        // Fast path: the whole string lies in the current segment.
        size_t w = high ? 2 : 1;
        if (remainingInSeg() >= cch * w) {
            const uint8_t* p = segs[si].p + off;
            if (high)
                appendUtf16Bytes(out, p, cch);
            else
                appendLatin1(out, p, cch);
            off += cch * w;
            return;
        }
        scratch.clear();
        bool first = true;
        while (cch > 0) {
            if (remainingInSeg() == 0) {
                if (!nextSeg())
                    fail("string past the end of its records");
                if (!first) {
                    high = (segs[si].p[off] & 1) != 0;
                    ++off;
                    continue;
                }
            }
            first = false;
            w = high ? 2 : 1;
            size_t avail = remainingInSeg() / w;
            if (avail == 0)
                fail("character split across records");
            size_t k = std::min(avail, cch);
            const uint8_t* p = segs[si].p + off;
            for (size_t i = 0; i < k; ++i)
                scratch.push_back(high ? rd16(p + 2 * i) : p[i]);
            off += k * w;
            cch -= k;
        }
        appendUtf16(out, scratch.data(), scratch.size());
    }
};

// Plain bounded reader over one record body.
struct Body {
    const uint8_t* p;
    size_t n;
    size_t off = 0;
    void need(size_t k) const
    {
        if (n < off || n - off < k)
            fail("record too short");
    }
    uint8_t u8() { need(1); return p[off++]; }
    uint16_t u16() { need(2); uint16_t v = rd16(p + off); off += 2; return v; }
    uint32_t u32() { need(4); uint32_t v = rd32(p + off); off += 4; return v; }
    // Characters (count known, flags byte read by the caller).
    std::string chars(size_t cch, uint8_t flags)
    {
        size_t w = (flags & 1) ? 2 : 1;
        need(cch * w);
        std::string s;
        if (w == 2)
            appendUtf16Bytes(s, p + off, cch);
        else
            appendLatin1(s, p + off, cch);
        off += cch * w;
        return s;
    }
    // XLUnicodeString (16-bit count) or ShortXLUnicodeString (8-bit count).
    std::string xlString(bool shortCount)
    {
        size_t cch = shortCount ? u8() : u16();
        uint8_t flags = u8();
        size_t runs = 0, ext = 0;
        if (flags & 0x08)
            runs = u16();
        if (flags & 0x04)
            ext = u32();
        std::string s = chars(cch, flags);
        need(runs * 4);
        off += runs * 4;
        need(ext);
        off += ext;
        return s;
    }
};

bool isCellRecord(uint16_t t)
{
    switch (t) {
    case rLABELSST: case rLABEL: case rRSTRING: case rNUMBER: case rRK: case rMULRK:
    case rBLANK: case rMULBLANK: case rBOOLERR: case rFORMULA: case rROW:
        return true;
    default:
        return false;
    }
}

bool isDrawingRecord(uint16_t t)
{
    return t == rMSODRAWING || t == rOBJ || t == rTXO || t == rNOTE || t == rMSODRAWINGSELECTION;
}

class Reader {
public:
    explicit Reader(std::span<const uint8_t> s) : st_(s), budget_(std::max<size_t>(size_t(1) << 22, s.size() * 64)) {}

    std::unique_ptr<Workbook> run();

private:
    Stream st_;
    std::unique_ptr<Workbook> wb_;
    size_t budget_; // cells and rows the model may hold for this stream
    size_t used_ = 0;
    std::vector<uint16_t> scratch_;
    struct SheetPos {
        uint32_t offset;
    };
    std::vector<SheetPos> sheetPos_;

    void readGlobals();
    void readSst(size_t& pos, const Rec& first);
    void readSheet(Worksheet& ws, size_t pos);
    void readRawSheet(Worksheet& ws, size_t pos);
    void readPrintAreas();
    Cell& put(Worksheet& ws, uint32_t r, uint32_t c, uint32_t colHint);
    void charge(size_t n)
    {
        used_ += n;
        if (used_ > budget_)
            fail("more cells than the file can hold");
    }
    uint32_t addString(std::string s)
    {
        wb_->strings.push_back(SharedString{std::move(s), {}, {}});
        return uint32_t(wb_->strings.size() - 1);
    }
};

std::unique_ptr<Workbook> Reader::run()
{
    wb_ = std::make_unique<Workbook>();
    readGlobals();
    if (wb_->formats.empty())
        fail("no cell formats");
    for (size_t i = 0; i < wb_->sheets.size(); ++i) {
        Worksheet& ws = *wb_->sheets[i];
        size_t pos = sheetPos_[i].offset;
        Rec bof = st_.at(pos);
        if (bof.type != rBOF || bof.size < 4)
            fail("sheet offset does not point at a BOF record");
        uint16_t dt = rd16(bof.body + 2);
        if (ws.kind == 0 && dt == 0x0010)
            readSheet(ws, pos);
        else
            readRawSheet(ws, pos);
    }
    readPrintAreas();
    // Cells may only refer to formats that exist.
    const size_t nxf = wb_->formats.size();
    uint16_t fallback = uint16_t(nxf > 15 ? 15 : 0);
    for (auto& ws : wb_->sheets) {
        for (auto& row : ws->rows) {
            if (row.info.xf >= nxf)
                row.info.xf = fallback;
            for (auto& c : row.cells)
                if (c.xf >= nxf)
                    c.xf = fallback;
        }
        for (auto& ci : ws->columns)
            if (ci.xf >= nxf)
                ci.xf = fallback;
    }
    if (wb_->activeSheet < 0 || size_t(wb_->activeSheet) >= wb_->sheets.size())
        wb_->activeSheet = 0;
    wb_->modified = false;
    return std::move(wb_);
}

void Reader::readGlobals()
{
    Workbook& wb = *wb_;
    Rec bof = st_.at(0);
    if (bof.type != rBOF || bof.size < 4)
        fail("no BOF record at the start");
    uint16_t version = rd16(bof.body);
    if (version != 0x0600)
        throw Error(makeError(version < 0x0600 ? ErrorCode::OldFormat : ErrorCode::Damaged));
    if (rd16(bof.body + 2) != 0x0005)
        fail("the first substream is not the workbook globals");

    bool haveFormatting = false, haveSheets = false, haveStrings = false;
    bool keptLast = false; // whether the previous record went into `globals` (for CONTINUE)
    size_t pos = st_.next(bof);
    for (;;) {
        Rec r = st_.at(pos);
        size_t nextPos = st_.next(r);
        Body b{r.body, r.size};
        bool keep = false;
        switch (r.type) {
        case rEOF:
            return;
        case rBOF:
            fail("substream inside the workbook globals");
        case rFILEPASS:
        case rEXTSST:
        case rINDEX:
            break;
        case rBOUNDSHEET: {
            if (!haveSheets) {
                wb.globals.push_back(RawRecord{Workbook::SheetsBlock, {}});
                haveSheets = true;
            }
            uint32_t off = b.u32();
            uint8_t state = b.u8();
            uint8_t dt = b.u8();
            auto ws = std::make_unique<Worksheet>(&wb);
            ws->name = b.xlString(true);
            ws->visibility = Visibility(std::min<int>(state & 3, 2));
            ws->kind = dt;
            wb.sheets.push_back(std::move(ws));
            sheetPos_.push_back({off});
            if (wb.sheets.size() > 65535)
                fail("too many sheets");
            break;
        }
        case rFONT: case rFORMAT: case rXF: {
            if (!haveFormatting) {
                wb.globals.push_back(RawRecord{Workbook::FormattingBlock, {}});
                haveFormatting = true;
            }
            if (r.type == rFONT) {
                Font f;
                f.heightTwips = b.u16();
                uint16_t grbit = b.u16();
                f.colorIndex = b.u16();
                uint16_t bls = b.u16();
                b.u16(); // sss
                uint8_t uls = b.u8();
                b.u8(); b.u8(); b.u8();
                f.name = b.xlString(true);
                f.italic = grbit & 0x02;
                f.strikeOut = grbit & 0x08;
                f.bold = bls >= 700;
                f.underline = uls != 0;
                f.raw.assign(r.body, r.body + r.size);
                wb.fonts.push_back(std::move(f));
            } else if (r.type == rFORMAT) {
                uint16_t id = b.u16();
                std::string s = b.xlString(false);
                if (wb.numberFormats.find(id) == wb.numberFormats.end())
                    wb.numberFormatOrder.push_back(id);
                wb.numberFormats[id] = std::move(s);
            } else {
                b.need(20);
                CellFormat f;
                uint16_t ifnt = rd16(r.body);
                f.fontIndex = ifnt >= 5 ? uint16_t(ifnt - 1) : ifnt;
                f.numFmtId = rd16(r.body + 2);
                f.isStyle = (rd16(r.body + 4) & 0x0004) != 0;
                uint8_t al = r.body[6];
                f.hAlign = HAlign(al & 7);
                f.wrap = (al & 0x08) != 0;
                uint8_t va = (al >> 4) & 7;
                f.vAlign = va <= 4 ? VAlign(va) : VAlign::Bottom;
                f.raw.assign(r.body, r.body + 20);
                wb.formats.push_back(std::move(f));
                if (wb.formats.size() > 65535)
                    fail("too many cell formats");
            }
            break;
        }
        case rSST:
            if (haveStrings)
                fail("two string tables");
            wb.globals.push_back(RawRecord{Workbook::StringsBlock, {}});
            haveStrings = true;
            readSst(nextPos, r);
            break;
        case rCONTINUE:
            keep = keptLast;
            break;
        case rDATEMODE:
            wb.date1904 = b.u16() == 1;
            keep = true;
            break;
        case rCODEPAGE:
            wb.codepage = b.u16();
            keep = true;
            break;
        case rWINDOW1:
            if (r.size >= 12)
                wb.activeSheet = rd16(r.body + 10);
            keep = true;
            break;
        default:
            keep = true;
            break;
        }
        if (keep)
            wb.globals.push_back(RawRecord{r.type, std::vector<uint8_t>(r.body, r.body + r.size)});
        keptLast = keep;
        pos = nextPos;
    }
}

void Reader::readSst(size_t& pos, const Rec& first)
{
    SegReader sr;
    sr.segs.push_back({first.body, first.size});
    size_t total = first.size;
    while (!st_.atEnd(pos)) {
        Rec c = st_.at(pos);
        if (c.type != rCONTINUE)
            break;
        sr.segs.push_back({c.body, c.size});
        total += c.size;
        pos = st_.next(c);
    }
    sr.u32(); // cstTotal
    uint32_t unique = sr.u32();
    auto& pool = wb_->strings;
    // Each string needs at least 3 bytes: never reserve more than the data can hold.
    pool.reserve(std::min<size_t>(unique, total / 3));
    for (uint32_t i = 0; i < unique; ++i) {
        uint16_t cch = sr.u16();
        uint8_t flags = sr.u8();
        uint16_t runs = (flags & 0x08) ? sr.u16() : 0;
        uint32_t ext = (flags & 0x04) ? sr.u32() : 0;
        SharedString s;
        s.text.reserve(cch);
        sr.chars(cch, flags & 1, s.text, scratch_);
        if (runs) {
            s.runs.resize(size_t(runs) * 4);
            sr.bytes(s.runs.data(), s.runs.size());
        }
        if (ext) {
            if (ext > total)
                fail("phonetic block larger than the string table");
            s.phonetic.resize(ext);
            sr.bytes(s.phonetic.data(), ext);
        }
        pool.push_back(std::move(s));
    }
}

Cell& Reader::put(Worksheet& ws, uint32_t r, uint32_t c, uint32_t colHint)
{
    if (r >= uint32_t(kMaxRows) || c >= uint32_t(kMaxCols))
        fail("cell outside the sheet");
    auto& rows = ws.rows;
    if (r >= rows.size()) {
        charge(r + 1 - rows.size());
        rows.resize(r + 1);
    }
    auto& cells = rows[r].cells;
    if (c >= cells.size()) {
        if (cells.capacity() == 0 && colHint > c + 1 && colHint <= 64)
            cells.reserve(colHint);
        charge(c + 1 - cells.size());
        cells.resize(c + 1);
    }
    return cells[c];
}

void Reader::readSheet(Worksheet& ws, size_t pos)
{
    Rec bof = st_.at(pos);
    pos = st_.next(bof);
    bool inCells = false;
    bool keptLast = false;
    uint32_t colHint = 0;
    int depth = 1;
    // The formula cell whose SHRFMLA / ARRAY / TABLE / STRING records may follow.
    int fRow = -1, fCol = -1;
    bool wantString = false;
    bool window2Frozen = false;
    int paneX = 0, paneY = 0;
    bool havePane = false;
    PageSetup& ps = ws.pageSetup;

    for (;;) {
        Rec r = st_.at(pos);
        pos = st_.next(r);
        if (r.type == rBOF) {
            ++depth;
            if (depth > 64)
                fail("substreams nested too deeply");
            continue;
        }
        if (r.type == rEOF) {
            if (--depth == 0)
                break;
            continue;
        }
        if (depth > 1)
            continue; // charts and other embedded substreams are not kept
        Body b{r.body, r.size};
        bool keep = false;
        bool formulaTail = false;
        switch (r.type) {
        case rLABELSST: {
            b.need(10);
            uint32_t isst = rd32(r.body + 6);
            if (isst >= wb_->strings.size())
                fail("text cell refers to a missing string");
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.type = CellType::Text;
            c.str = isst;
            break;
        }
        case rLABEL: case rRSTRING: {
            b.need(6);
            b.off = 6;
            std::string s = b.xlString(false);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.type = CellType::Text;
            c.str = addString(std::move(s));
            break;
        }
        case rNUMBER: {
            b.need(14);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.type = CellType::Number;
            c.number = rdf64(r.body + 6);
            break;
        }
        case rRK: {
            b.need(10);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.type = CellType::Number;
            c.number = rkValue(rd32(r.body + 6));
            break;
        }
        case rMULRK: {
            b.need(6);
            uint32_t row = rd16(r.body), col = rd16(r.body + 2);
            size_t n = (r.size - 6) / 6;
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* p = r.body + 4 + 6 * i;
                Cell& c = put(ws, row, uint32_t(col + i), colHint);
                c.xf = rd16(p);
                c.type = CellType::Number;
                c.number = rkValue(rd32(p + 2));
            }
            break;
        }
        case rBLANK: {
            b.need(6);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.blankFormatted = true;
            break;
        }
        case rMULBLANK: {
            b.need(6);
            uint32_t row = rd16(r.body), col = rd16(r.body + 2);
            size_t n = (r.size - 6) / 2;
            for (size_t i = 0; i < n; ++i) {
                Cell& c = put(ws, row, uint32_t(col + i), colHint);
                c.xf = rd16(r.body + 4 + 2 * i);
                c.blankFormatted = true;
            }
            break;
        }
        case rBOOLERR: {
            b.need(8);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = rd16(r.body + 4);
            c.type = r.body[7] ? CellType::Error : CellType::Boolean;
            c.small = r.body[7] ? r.body[6] : (r.body[6] ? 1 : 0);
            break;
        }
        case rFORMULA: {
            b.need(22);
            uint32_t row = rd16(r.body), col = rd16(r.body + 2);
            Cell& c = put(ws, row, col, colHint);
            c.xf = rd16(r.body + 4);
            const uint8_t* v = r.body + 6;
            Formula f;
            f.body.assign(r.body + 6, r.body + r.size);
            wantString = false;
            if (v[6] == 0xFF && v[7] == 0xFF) {
                switch (v[0]) {
                case 0:
                    c.type = CellType::Text;
                    c.str = addString({});
                    f.stringResult = true;
                    wantString = true;
                    break;
                case 1:
                    c.type = CellType::Boolean;
                    c.small = v[2] ? 1 : 0;
                    break;
                case 2:
                    c.type = CellType::Error;
                    c.small = v[2];
                    break;
                default:
                    c.type = CellType::Text;
                    c.str = addString({});
                    break;
                }
            } else {
                c.type = CellType::Number;
                c.number = rdf64(v);
            }
            ws.formulas.push_back(std::move(f));
            c.formula = uint32_t(ws.formulas.size());
            fRow = int(row);
            fCol = int(col);
            formulaTail = true;
            break;
        }
        case rSHRFMLA: case rARRAY: case rTABLE:
            if (fRow >= 0) {
                Cell& c = ws.rows[fRow].cells[fCol];
                ws.formulas[c.formula - 1].following.push_back(
                    RawRecord{r.type, std::vector<uint8_t>(r.body, r.body + r.size)});
                formulaTail = true;
            }
            break;
        case rSTRING:
            if (fRow >= 0 && wantString) {
                SegReader sr;
                sr.segs.push_back({r.body, r.size});
                while (!st_.atEnd(pos)) {
                    Rec c = st_.at(pos);
                    if (c.type != rCONTINUE)
                        break;
                    sr.segs.push_back({c.body, c.size});
                    pos = st_.next(c);
                }
                uint16_t cch = sr.u16();
                uint8_t flags = sr.u8();
                Cell& c = ws.rows[fRow].cells[fCol];
                std::string& text = wb_->strings[c.str].text;
                sr.chars(cch, flags & 1, text, scratch_);
                wantString = false;
            }
            break;
        case rDIMENSIONS:
            if (r.size >= 14)
                colHint = std::min<uint32_t>(rd16(r.body + 10), kMaxCols);
            if (r.size >= 14 && ws.rows.empty()) {
                uint32_t rowHint = std::min<uint32_t>(rd32(r.body + 4), kMaxRows);
                // A hint only; bounded by what the remaining bytes could describe.
                size_t possible = (st_.size() - pos) / 10;
                ws.rows.reserve(std::min<size_t>(rowHint, possible));
            }
            break;
        case rINDEX: case rDBCELL:
            break;
        case rDEFCOLWIDTH:
            ws.defaultColWidth = b.u16();
            break;
        case rCOLINFO: {
            b.need(10);
            ColumnInfo ci;
            ci.firstCol = rd16(r.body);
            ci.lastCol = std::min<int>(rd16(r.body + 2), kMaxCols - 1);
            ci.width = rd16(r.body + 4);
            ci.xf = rd16(r.body + 6);
            ci.flags = rd16(r.body + 8);
            ci.hidden = (ci.flags & 1) != 0;
            if (ci.firstCol <= ci.lastCol && ci.firstCol < kMaxCols)
                ws.columns.push_back(ci);
            break;
        }
        case rDEFAULTROWHEIGHT:
            b.need(4);
            ws.defaultRowFlags = rd16(r.body);
            ws.defaultRowHeight = rd16(r.body + 2);
            keep = true;
            break;
        case rROW: {
            b.need(16);
            uint32_t row = rd16(r.body);
            if (row >= ws.rows.size()) {
                charge(row + 1 - ws.rows.size());
                ws.rows.resize(row + 1);
            }
            RowInfo& ri = ws.rows[row].info;
            ri.height = rd16(r.body + 6) & 0x7FFF;
            ri.flags = rd16(r.body + 12);
            ri.xf = rd16(r.body + 14) & 0x0FFF;
            ri.present = true;
            break;
        }
        case rMERGECELLS: {
            uint16_t n = b.u16();
            b.need(size_t(n) * 8);
            for (uint16_t i = 0; i < n; ++i) {
                const uint8_t* p = r.body + 2 + 8 * i;
                CellRange m{rd16(p), rd16(p + 2), rd16(p + 4), rd16(p + 6)};
                if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxCols)
                    ws.merged.push_back(m);
            }
            break;
        }
        case rWINDOW2:
            b.need(2);
            window2Frozen = (rd16(r.body) & 0x0008) != 0;
            keep = true;
            break;
        case rPANE:
            b.need(4);
            paneX = rd16(r.body);
            paneY = rd16(r.body + 2);
            havePane = true;
            break;
        case rHEADER: case rFOOTER: {
            std::string s = r.size == 0 ? std::string() : b.xlString(false);
            (r.type == rHEADER ? ps.header : ps.footer) = std::move(s);
            keep = true;
            break;
        }
        case rLEFTMARGIN: case rRIGHTMARGIN: case rTOPMARGIN: case rBOTTOMMARGIN: {
            b.need(8);
            double v = rdf64(r.body);
            if (!std::isfinite(v) || v < 0 || v > 100)
                v = r.type <= rRIGHTMARGIN ? 0.7 : 0.75;
            double* dst[] = {&ps.leftMargin, &ps.rightMargin, &ps.topMargin, &ps.bottomMargin};
            *dst[r.type - rLEFTMARGIN] = v;
            keep = true;
            break;
        }
        case rHCENTER: ps.centerHorizontally = b.u16() != 0; keep = true; break;
        case rVCENTER: ps.centerVertically = b.u16() != 0; keep = true; break;
        case rPRINTHEADERS: ps.printHeadings = b.u16() != 0; keep = true; break;
        case rPRINTGRIDLINES: ps.printGridlines = b.u16() != 0; keep = true; break;
        case rWSBOOL: ps.fitToPages = (b.u16() & 0x0100) != 0; keep = true; break;
        case rSETUP: {
            b.need(34);
            const uint8_t* p = r.body;
            ps.rawSetup.assign(p, p + 34);
            uint16_t grbit = rd16(p + 10);
            ps.fitWidth = rd16(p + 6);
            ps.fitHeight = rd16(p + 8);
            double hm = rdf64(p + 16), fm = rdf64(p + 24);
            if (std::isfinite(hm) && hm >= 0 && hm <= 100)
                ps.headerMargin = hm;
            if (std::isfinite(fm) && fm >= 0 && fm <= 100)
                ps.footerMargin = fm;
            ps.valid = (grbit & 0x04) == 0;
            if (ps.valid) {
                ps.paperSize = rd16(p);
                ps.zoom = rd16(p + 2);
                ps.portrait = (grbit & 0x02) != 0;
                ps.copies = rd16(p + 32);
            }
            keep = true;
            break;
        }
        case rCONTINUE:
            keep = keptLast;
            break;
        default:
            keep = !isDrawingRecord(r.type);
            break;
        }
        // The cell block starts at DIMENSIONS; without cells the window settings still follow it.
        if (isCellRecord(r.type) || r.type == rDIMENSIONS || r.type == rWINDOW2)
            inCells = true;
        if (!formulaTail)
            fRow = -1;
        if (keep) {
            auto& list = inCells ? ws.after : ws.before;
            list.push_back(RawRecord{r.type, std::vector<uint8_t>(r.body, r.body + r.size)});
        }
        keptLast = keep;
    }
    if (window2Frozen && havePane) {
        ws.frozenCols = std::min(paneX, kMaxCols - 1);
        ws.frozenRows = std::min(paneY, kMaxRows - 1);
    }
}

// Chart, macro and module sheets: the whole substream is kept as it is, its BOF
// first, so a rewrite writes it back unchanged.
void Reader::readRawSheet(Worksheet& ws, size_t pos)
{
    int depth = 0;
    for (;;) {
        Rec r = st_.at(pos);
        pos = st_.next(r);
        if (r.type == rBOF)
            ++depth;
        if (r.type == rEOF && --depth == 0)
            break;
        if (depth > 64)
            fail("substreams nested too deeply");
        ws.before.push_back(RawRecord{r.type, std::vector<uint8_t>(r.body, r.body + r.size)});
    }
}

// Built-in Print_Area names (one per sheet) give each sheet's print area.
void Reader::readPrintAreas()
{
    for (const RawRecord& rec : wb_->globals) {
        if (rec.type != rNAME || rec.body.size() < 16)
            continue;
        const uint8_t* p = rec.body.data();
        uint16_t grbit = rd16(p);
        uint8_t cch = p[3];
        uint16_t cce = rd16(p + 4);
        uint16_t itab = rd16(p + 8);
        if (!(grbit & 0x20) || cch != 1 || itab == 0 || itab > wb_->sheets.size())
            continue;
        uint8_t flags = p[14];
        size_t w = (flags & 1) ? 2 : 1;
        if (rec.body.size() < 15 + w)
            continue;
        uint16_t ch = w == 2 ? rd16(p + 15) : p[15];
        if (ch != 0x06)
            continue;
        size_t f = 15 + w;
        size_t end = std::min(rec.body.size(), f + cce);
        // The first 3-D area of the formula (a union lists several; we keep the first).
        if (f < end && p[f] == 0x29 && f + 3 <= end) // ptgMemFunc wrapping a union
            f += 3;
        if (f + 11 <= end && (p[f] == 0x3B || p[f] == 0x5B || p[f] == 0x7B)) {
            CellRange a;
            a.firstRow = rd16(p + f + 3);
            a.lastRow = rd16(p + f + 5);
            a.firstCol = rd16(p + f + 7) & 0x00FF;
            a.lastCol = rd16(p + f + 9) & 0x00FF;
            if (a.firstRow <= a.lastRow && a.firstCol <= a.lastCol)
                wb_->sheets[itab - 1]->pageSetup.printArea = a;
        }
    }
}

} // namespace

Result<std::unique_ptr<Workbook>> parseWorkbookStream(std::span<const uint8_t> stream)
{
    try {
        Reader r(stream);
        return r.run();
    } catch (const Damaged& d) {
        return makeError(ErrorCode::Damaged);
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::Damaged);
    } catch (const std::length_error&) {
        return makeError(ErrorCode::Damaged);
    }
}

} // namespace gp::xls
