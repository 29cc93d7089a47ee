// Reading a plaintext BIFF8 Workbook stream into the in-memory model.
//
// Every length read from the stream is checked against the bytes that are
// actually there; a broken stream gives ErrorCode::Damaged, never a crash.
// What real writers get slightly wrong is read the way the established readers
// read it, and counted as a repair: a string table announcing more strings than
// it holds gives the strings that are there; a record shorter than its layout
// gives the fields that are present and defaults for the rest; a UTF-16
// character split across two records is joined; an odd formula result record
// costs only that formula's result; a format index past the format table means
// the default cell format. The model is always sound, so a rewrite is clean.
// The cell loop is the hot path of opening a large register: texts go through
// the string pool by index and rows are stored in place, so no cell costs a
// heap allocation of its own.
#include <algorithm>
#include <cmath>
#include <cstdio>

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
        lastPos_ = pos;
        lastType_ = -1;
        if (pos > n_ || n_ - pos < 4)
            fail("record header past the end");
        Rec r;
        r.type = rd16(p_ + pos);
        r.size = rd16(p_ + pos + 2);
        r.pos = pos;
        lastType_ = r.type;
        if (n_ - pos - 4 < r.size)
            fail("record body past the end");
        r.body = p_ + pos + 4;
        return r;
    }
    size_t next(const Rec& r) const { return r.pos + 4 + r.size; }
    // The record last looked at, for the reason of an error.
    size_t lastPos() const { return lastPos_; }
    int lastType() const { return lastType_; }

private:
    const uint8_t* p_;
    size_t n_;
    mutable size_t lastPos_ = 0;
    mutable int lastType_ = -1;
};

// Reads data that may continue into CONTINUE records (SST, STRING): a list of
// body segments. Characters that cross a boundary are preceded, in the next
// segment, by an option byte giving their width. Reading past the last segment
// gives zeros and sets `ranOut`: the caller keeps what was there.
class SegReader {
public:
    struct Seg {
        const uint8_t* p;
        size_t n;
    };
    std::vector<Seg> segs;
    size_t si = 0, off = 0;
    bool ranOut = false;
    size_t joined = 0; // UTF-16 characters found split across two records

    size_t remainingInSeg() const { return si < segs.size() ? segs[si].n - off : 0; }
    // Moves to the next segment that holds a byte; false at the end of the data.
    bool nextSeg()
    {
        while (si < segs.size() && off >= segs[si].n) {
            ++si;
            off = 0;
        }
        return si < segs.size();
    }
    bool atEnd() { return remainingInSeg() == 0 && !nextSeg(); }
    void bytes(uint8_t* dst, size_t n)
    {
        while (n > 0) {
            if (remainingInSeg() == 0 && !nextSeg()) {
                ranOut = true;
                if (dst)
                    std::memset(dst, 0, n);
                return;
            }
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
    // `cch` characters, starting with width `high`; appends UTF-8 to out. Every
    // new segment met inside the characters starts with an option byte. A
    // UTF-16 character whose two bytes lie in two records is joined: its first
    // byte ends one record, the option byte and its second byte begin the next.
    void chars(size_t cch, bool high, std::string& out, std::vector<uint16_t>& scratch)
    {
        if (cch == 0)
            return;
        // Fast path: the whole string lies in the current segment.
        size_t w = high ? 2 : 1;
        if (si < segs.size() && remainingInSeg() >= cch * w) {
            const uint8_t* p = segs[si].p + off;
            if (high)
                appendUtf16Bytes(out, p, cch);
            else
                appendLatin1(out, p, cch);
            off += cch * w;
            return;
        }
        scratch.clear();
        while (cch > 0) {
            if (remainingInSeg() == 0) {
                if (!nextSeg()) {
                    ranOut = true;
                    break;
                }
                high = (segs[si].p[off] & 1) != 0;
                ++off;
                continue;
            }
            w = high ? 2 : 1;
            size_t avail = remainingInSeg() / w;
            if (avail == 0) {
                // One byte left for a two-byte character.
                uint16_t lo = segs[si].p[off++];
                if (!nextSeg() || (++off, remainingInSeg() == 0)) {
                    ranOut = true;
                    break;
                }
                high = (segs[si].p[off - 1] & 1) != 0;
                scratch.push_back(uint16_t(lo | (segs[si].p[off++] << 8)));
                ++joined;
                --cch;
                continue;
            }
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

// Bounded reader over one record body. Reading past its end gives zeros and
// sets `cut` (the caller decides whether what was there is enough).
struct Body {
    const uint8_t* p;
    size_t n;
    size_t off = 0;
    bool cut = false;
    bool has(size_t k)
    {
        if (n < off || n - off < k) {
            cut = true;
            off = n;
            return false;
        }
        return true;
    }
    uint8_t u8() { return has(1) ? p[off++] : 0; }
    uint16_t u16()
    {
        if (!has(2))
            return 0;
        uint16_t v = rd16(p + off);
        off += 2;
        return v;
    }
    uint32_t u32()
    {
        if (!has(4))
            return 0;
        uint32_t v = rd32(p + off);
        off += 4;
        return v;
    }
    void skip(size_t k)
    {
        if (has(k))
            off += k;
    }
    // Characters (count known, flags byte read by the caller): as many whole
    // characters as the record holds.
    std::string chars(size_t cch, uint8_t flags)
    {
        size_t w = (flags & 1) ? 2 : 1;
        size_t avail = off <= n ? (n - off) / w : 0;
        if (avail < cch) {
            cut = true;
            cch = avail;
        }
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
        skip(runs * 4);
        skip(ext);
        return s;
    }
};

bool isCellRecord(uint16_t t)
{
    switch (t) {
    case rLABELSST:
    case rLABEL:
    case rRSTRING:
    case rNUMBER:
    case rRK:
    case rMULRK:
    case rBLANK:
    case rMULBLANK:
    case rBOOLERR:
    case rFORMULA:
    case rROW: return true;
    default: return false;
    }
}

bool isDrawingRecord(uint16_t t)
{
    return t == rMSODRAWING || t == rOBJ || t == rTXO || t == rNOTE || t == rMSODRAWINGSELECTION;
}

// Names of the records whose fields the reader uses, for the list of repairs.
const char* recordName(uint16_t t)
{
    switch (t) {
    case rBOUNDSHEET: return "BOUNDSHEET";
    case rFONT: return "FONT";
    case rFORMAT: return "FORMAT";
    case rXF: return "XF";
    case rSST: return "SST";
    case rDATEMODE: return "DATEMODE";
    case rCODEPAGE: return "CODEPAGE";
    case rWINDOW1: return "WINDOW1";
    case rLABELSST: return "LABELSST";
    case rLABEL: return "LABEL";
    case rRSTRING: return "RSTRING";
    case rNUMBER: return "NUMBER";
    case rRK: return "RK";
    case rMULRK: return "MULRK";
    case rBLANK: return "BLANK";
    case rMULBLANK: return "MULBLANK";
    case rBOOLERR: return "BOOLERR";
    case rFORMULA: return "FORMULA";
    case rSTRING: return "STRING";
    case rDEFCOLWIDTH: return "DEFCOLWIDTH";
    case rCOLINFO: return "COLINFO";
    case rDEFAULTROWHEIGHT: return "DEFAULTROWHEIGHT";
    case rROW: return "ROW";
    case rMERGECELLS: return "MERGECELLS";
    case rWINDOW2: return "WINDOW2";
    case rPANE: return "PANE";
    case rHEADER: return "HEADER";
    case rFOOTER: return "FOOTER";
    case rLEFTMARGIN: return "LEFTMARGIN";
    case rRIGHTMARGIN: return "RIGHTMARGIN";
    case rTOPMARGIN: return "TOPMARGIN";
    case rBOTTOMMARGIN: return "BOTTOMMARGIN";
    case rHCENTER: return "HCENTER";
    case rVCENTER: return "VCENTER";
    case rPRINTHEADERS: return "PRINTHEADERS";
    case rPRINTGRIDLINES: return "PRINTGRIDLINES";
    case rWSBOOL: return "WSBOOL";
    case rSETUP: return "SETUP";
    default: return "record";
    }
}

// Full layouts with the values a record gets when a writer left fields out:
// those the writer of this program puts in a new workbook.
const uint8_t kXfDefaults[20] = {0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20};
const uint8_t kFontDefaults[14] = {0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0};
const uint8_t kWindow1Defaults[18] = {0, 0, 0, 0, 0, 0x40, 0, 0x20, 0x38, 0, 0, 0, 0, 0, 1, 0, 0x58, 0x02};
const uint8_t kRowDefaults[16] = {0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0x01, 0x0F, 0};
const uint8_t kColInfoDefaults[12] = {0, 0, 0, 0, 0x24, 0x09, 0x0F, 0, 0, 0, 0, 0};
const uint8_t kDefaultRowHeightDefaults[4] = {0, 0, 0xFF, 0};
const uint8_t kWindow2Defaults[18] = {0xB6, 0x04, 0, 0, 0, 0, 64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const uint8_t kPaneDefaults[10] = {};
const uint8_t kSetupDefaults[34] = {9,    0,    100,  0,    1,    0,    1,    0,    1,    0,    0x02, 0,
                                    0x58, 0x02, 0x58, 0x02, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xD3, 0x3F,
                                    0x33, 0x33, 0x33, 0x33, 0x33, 0x33, 0xD3, 0x3F, 1,    0};

class Reader {
public:
    Reader(std::span<const uint8_t> s, std::vector<Repair>* repairs)
        : st_(s), budget_(std::max<size_t>(size_t(1) << 22, s.size() * 64)), repairs_(repairs)
    {}

    std::unique_ptr<Workbook> run();
    const Stream& stream() const { return st_; }

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
    std::vector<Repair>* repairs_;
    uint8_t padded_[64]; // a short record's body completed with defaults

    void readGlobals();
    void readSst(size_t& pos, const Rec& first);
    void readSheet(Worksheet& ws, size_t pos);
    void readRawSheet(Worksheet& ws, size_t pos);
    void readPrintAreas();
    void fixFormatIndexes();
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
    void repair(const std::string& what, size_t n = 1)
    {
        if (!repairs_ || n == 0)
            return;
        for (Repair& r : *repairs_)
            if (r.what == what) {
                r.count += n;
                return;
            }
        repairs_->push_back(Repair{what, n});
    }
    void shortRecord(uint16_t type) { repair(std::string("short ") + recordName(type) + " record read with defaults"); }
    // The body of `r` with at least `full` bytes: a shorter record is completed
    // from `defaults` (the fields it has are kept) and counted.
    const uint8_t* fit(const Rec& r, size_t full, const uint8_t* defaults)
    {
        if (r.size >= full)
            return r.body;
        std::memcpy(padded_, defaults, full);
        std::memcpy(padded_, r.body, r.size);
        shortRecord(r.type);
        return padded_;
    }
    static RawRecord raw(const Rec& r, const uint8_t* body, size_t n)
    {
        return RawRecord{r.type, std::vector<uint8_t>(body, body + n)};
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
    fixFormatIndexes();
    if (wb_->activeSheet < 0 || size_t(wb_->activeSheet) >= wb_->sheets.size())
        wb_->activeSheet = 0;
    wb_->modified = false;
    return std::move(wb_);
}

// Cells, rows and columns may only refer to formats that exist: one past the
// table gets the default cell format, which shows numbers as General.
void Reader::fixFormatIndexes()
{
    auto& formats = wb_->formats;
    const size_t nxf = formats.size();
    size_t general = SIZE_MAX; // decided when first needed
    auto fallback = [&]() -> uint16_t {
        if (general == SIZE_MAX) {
            if (nxf > 15 && !formats[15].isStyle && formats[15].numFmtId == 0) {
                general = 15;
            } else if (nxf < 65535) {
                general = nxf;
                formats.push_back(CellFormat{}); // General, the first font, no style
            } else {
                general = 15;
            }
        }
        return uint16_t(general);
    };
    // Places that hold no value of their own (a row without a ROW record, a cell
    // not stored) only need an index that exists.
    const uint16_t filler = uint16_t(nxf > 15 ? 15 : 0);
    size_t cells = 0, rows = 0, columns = 0;
    for (auto& ws : wb_->sheets) {
        for (auto& row : ws->rows) {
            if (row.info.xf >= nxf) {
                bool real = row.info.present && (row.info.flags & 0x80);
                rows += real;
                row.info.xf = real ? fallback() : filler;
            }
            for (auto& c : row.cells)
                if (c.xf >= nxf) {
                    bool real = c.type != CellType::Empty || c.blankFormatted;
                    cells += real;
                    c.xf = real ? fallback() : filler;
                }
        }
        for (auto& ci : ws->columns)
            if (ci.xf >= nxf) {
                ++columns;
                ci.xf = fallback();
            }
    }
    repair("cell format index past the format table: default format used", cells);
    repair("row format index past the format table: default format used", rows);
    repair("column format index past the format table: default format used", columns);
}

void Reader::readGlobals()
{
    Workbook& wb = *wb_;
    Rec bof = st_.at(0);
    if (bof.type != rBOF || bof.size < 4)
        fail("no BOF record at the start");
    uint16_t version = rd16(bof.body);
    if (version != 0x0600) {
        Error e = makeError(version < 0x0600 ? ErrorCode::OldFormat : ErrorCode::Damaged);
        char buf[64];
        std::snprintf(buf, sizeof buf, "BIFF version 0x%04X in the first BOF record", version);
        e.reason = buf;
        throw e;
    }
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
        const uint8_t* kept = r.body; // the body kept: a short one is completed first
        size_t keptSize = r.size;
        switch (r.type) {
        case rEOF: return;
        case rBOF: fail("substream inside the workbook globals");
        case rFILEPASS:
        case rEXTSST:
        case rINDEX: break;
        case rBOUNDSHEET: {
            if (!haveSheets) {
                wb.globals.push_back(RawRecord{Workbook::SheetsBlock, {}});
                haveSheets = true;
            }
            if (r.size < 4)
                fail("sheet entry without the offset of its sheet");
            uint32_t off = b.u32();
            uint8_t state = b.u8();
            uint8_t dt = b.u8();
            auto ws = std::make_unique<Worksheet>(&wb);
            ws->name = b.xlString(true);
            if (b.cut)
                shortRecord(r.type);
            if (ws->name.empty()) // a sheet needs a name: the one a new sheet gets
                ws->name = "Foglio" + std::to_string(wb.sheets.size() + 1);
            ws->visibility = Visibility(std::min<int>(state & 3, 2));
            ws->kind = dt;
            wb.sheets.push_back(std::move(ws));
            sheetPos_.push_back({off});
            if (wb.sheets.size() > 65535)
                fail("too many sheets");
            break;
        }
        case rFONT:
        case rFORMAT:
        case rXF: {
            if (!haveFormatting) {
                wb.globals.push_back(RawRecord{Workbook::FormattingBlock, {}});
                haveFormatting = true;
            }
            if (r.type == rFONT) {
                Font f;
                const uint8_t* p = fit(r, 14, kFontDefaults);
                f.heightTwips = rd16(p);
                uint16_t grbit = rd16(p + 2);
                f.colorIndex = rd16(p + 4);
                f.bold = rd16(p + 6) >= 700;
                f.underline = p[10] != 0;
                f.italic = grbit & 0x02;
                f.strikeOut = grbit & 0x08;
                bool whole = r.size >= 14;
                if (whole) {
                    b.off = 14;
                    std::string name = b.xlString(true);
                    whole = !b.cut && !name.empty();
                    if (b.cut)
                        shortRecord(r.type);
                    if (!name.empty())
                        f.name = std::move(name);
                }
                // A complete record is written back as it was; a short one anew.
                if (whole)
                    f.raw.assign(r.body, r.body + r.size);
                wb.fonts.push_back(std::move(f));
            } else if (r.type == rFORMAT) {
                if (r.size < 2) {
                    shortRecord(r.type);
                    break;
                }
                uint16_t id = b.u16();
                std::string s = b.xlString(false);
                if (b.cut)
                    shortRecord(r.type);
                if (wb.numberFormats.find(id) == wb.numberFormats.end())
                    wb.numberFormatOrder.push_back(id);
                wb.numberFormats[id] = std::move(s);
            } else {
                const uint8_t* p = fit(r, 20, kXfDefaults);
                CellFormat f;
                uint16_t ifnt = rd16(p);
                f.fontIndex = ifnt >= 5 ? uint16_t(ifnt - 1) : ifnt;
                f.numFmtId = rd16(p + 2);
                f.isStyle = (rd16(p + 4) & 0x0004) != 0;
                uint8_t al = p[6];
                f.hAlign = HAlign(al & 7);
                f.wrap = (al & 0x08) != 0;
                uint8_t va = (al >> 4) & 7;
                f.vAlign = va <= 4 ? VAlign(va) : VAlign::Bottom;
                f.raw.assign(p, p + 20);
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
        case rCONTINUE: keep = keptLast; break;
        case rDATEMODE: {
            static const uint8_t defaults[2] = {0, 0};
            kept = fit(r, keptSize = std::max<size_t>(r.size, 2), defaults);
            wb.date1904 = rd16(kept) == 1;
            keep = true;
            break;
        }
        case rCODEPAGE: {
            static const uint8_t defaults[2] = {0xB0, 0x04}; // 1200, UTF-16
            kept = fit(r, keptSize = std::max<size_t>(r.size, 2), defaults);
            wb.codepage = rd16(kept);
            keep = true;
            break;
        }
        case rWINDOW1:
            kept = fit(r, keptSize = std::max<size_t>(r.size, 18), kWindow1Defaults);
            wb.activeSheet = rd16(kept + 10);
            keep = true;
            break;
        default: keep = true; break;
        }
        if (keep)
            wb.globals.push_back(RawRecord{r.type, std::vector<uint8_t>(kept, kept + keptSize)});
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
    if (first.size < 8)
        shortRecord(rSST);
    sr.u32(); // cstTotal
    uint32_t unique = sr.u32();
    auto& pool = wb_->strings;
    // Each string needs at least 3 bytes: never reserve more than the data can hold.
    pool.reserve(std::min<size_t>(unique, total / 3));
    uint32_t i = 0;
    for (; i < unique && !sr.atEnd(); ++i) {
        uint16_t cch = sr.u16();
        uint8_t flags = sr.u8();
        uint16_t runs = (flags & 0x08) ? sr.u16() : 0;
        uint32_t ext = (flags & 0x04) ? sr.u32() : 0;
        SharedString s;
        s.text.reserve(std::min<size_t>(cch, total));
        sr.chars(cch, flags & 1, s.text, scratch_);
        if (runs && !sr.ranOut) {
            s.runs.resize(size_t(runs) * 4);
            sr.bytes(s.runs.data(), s.runs.size());
        }
        if (ext && !sr.ranOut) {
            // Kept only when it is all there.
            if (ext <= total) {
                s.phonetic.resize(ext);
                sr.bytes(s.phonetic.data(), ext);
            } else {
                sr.ranOut = true;
            }
        }
        if (sr.ranOut) {
            // The table ends inside this string: its text as far as it goes.
            s.runs.clear();
            s.phonetic.clear();
            pool.push_back(std::move(s));
            repair("string cut short at the end of the string table");
            ++i;
            break;
        }
        pool.push_back(std::move(s));
    }
    if (i < unique)
        repair("string table announces " + std::to_string(unique) + " strings and holds " + std::to_string(i));
    if (sr.joined)
        repair("UTF-16 character split across records joined", sr.joined);
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
        const uint8_t* kept = r.body; // the body kept: a short one is completed first
        size_t keptSize = r.size;
        bool formulaTail = false;
        switch (r.type) {
        case rLABELSST:
        case rNUMBER:
        case rRK:
        case rBOOLERR:
        case rBLANK: {
            // A cell needs its position; without its format index it gets the
            // default one, without its value it stays an empty formatted cell.
            if (r.size < 4) {
                repair(std::string("short ") + recordName(r.type) + " record without its cell position skipped");
                break;
            }
            const size_t full = r.type == rNUMBER ? 14 : r.type == rBOOLERR ? 8 : r.type == rBLANK ? 6 : 10;
            if (r.type == rLABELSST && r.size >= full && rd32(r.body + 6) >= wb_->strings.size())
                fail("text cell refers to a missing string");
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = r.size >= 6 ? rd16(r.body + 4) : uint16_t(15);
            c.formula = 0;
            if (r.size < full) {
                shortRecord(r.type);
                c.type = CellType::Empty;
                c.blankFormatted = true;
                break;
            }
            switch (r.type) {
            case rLABELSST:
                c.type = CellType::Text;
                c.str = rd32(r.body + 6);
                break;
            case rNUMBER:
                c.type = CellType::Number;
                c.number = rdf64(r.body + 6);
                break;
            case rRK:
                c.type = CellType::Number;
                c.number = rkValue(rd32(r.body + 6));
                break;
            case rBOOLERR:
                c.type = r.body[7] ? CellType::Error : CellType::Boolean;
                c.small = r.body[7] ? r.body[6] : (r.body[6] ? 1 : 0);
                break;
            default:
                c.type = CellType::Empty;
                c.blankFormatted = true;
                break;
            }
            break;
        }
        case rLABEL:
        case rRSTRING: {
            if (r.size < 4) {
                repair(std::string("short ") + recordName(r.type) + " record without its cell position skipped");
                break;
            }
            b.off = 6;
            std::string s = b.xlString(false);
            if (b.cut)
                shortRecord(r.type);
            Cell& c = put(ws, rd16(r.body), rd16(r.body + 2), colHint);
            c.xf = r.size >= 6 ? rd16(r.body + 4) : uint16_t(15);
            c.formula = 0;
            c.type = CellType::Text;
            c.str = addString(std::move(s));
            break;
        }
        case rMULRK:
        case rMULBLANK: {
            // rw, colFirst, n entries (ixfe + RK, or ixfe alone), colLast.
            if (r.size < 6) {
                repair(std::string("short ") + recordName(r.type) + " record without its cells skipped");
                break;
            }
            const size_t w = r.type == rMULRK ? 6 : 2;
            uint32_t row = rd16(r.body), col = rd16(r.body + 2);
            // Whole entries only; a short record loses no entry that is all there.
            size_t n = r.type == rMULRK ? (r.size - 4) / 6 : (r.size - 6) / 2;
            if (r.type == rMULRK ? (r.size - 4) % 6 != 2 : (r.size - 6) % 2 != 0)
                shortRecord(r.type);
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* p = r.body + 4 + w * i;
                Cell& c = put(ws, row, uint32_t(col + i), colHint);
                c.xf = rd16(p);
                c.formula = 0;
                if (r.type == rMULRK) {
                    c.type = CellType::Number;
                    c.number = rkValue(rd32(p + 2));
                } else {
                    c.type = CellType::Empty;
                    c.blankFormatted = true;
                }
            }
            break;
        }
        case rFORMULA: {
            wantString = false;
            if (r.size < 4) {
                repair("short FORMULA record without its cell position skipped");
                break;
            }
            uint32_t row = rd16(r.body), col = rd16(r.body + 2);
            Cell& c = put(ws, row, col, colHint);
            c.xf = r.size >= 6 ? rd16(r.body + 4) : uint16_t(15);
            c.formula = 0;
            if (r.size < 14) {
                // Not even the cached result: an empty formatted cell.
                shortRecord(r.type);
                c.type = CellType::Empty;
                c.blankFormatted = true;
                break;
            }
            const uint8_t* v = r.body + 6;
            bool textResult = false, oddKind = false;
            if (v[6] == 0xFF && v[7] == 0xFF) {
                switch (v[0]) {
                case 0:
                    c.type = CellType::Text;
                    c.str = addString({});
                    textResult = true;
                    break;
                case 1:
                    c.type = CellType::Boolean;
                    c.small = v[2] ? 1 : 0;
                    break;
                case 2:
                    c.type = CellType::Error;
                    c.small = v[2];
                    break;
                case 3:
                    c.type = CellType::Text;
                    c.str = addString({});
                    break;
                default:
                    repair("formula result of an unknown kind read as empty text");
                    c.type = CellType::Text;
                    c.str = addString({});
                    oddKind = true;
                    break;
                }
            } else {
                c.type = CellType::Number;
                c.number = rdf64(v);
            }
            // The formula itself is kept only when its tokens are all there;
            // otherwise the cell keeps its last result as a plain value.
            if (r.size >= 22 && size_t(rd16(r.body + 20)) + 22 <= r.size) {
                Formula f;
                f.body.assign(r.body + 6, r.body + r.size);
                f.stringResult = textResult;
                if (oddKind)
                    f.body[0] = 3; // saved as what it was read as: an empty text
                ws.formulas.push_back(std::move(f));
                c.formula = uint32_t(ws.formulas.size());
            } else {
                repair("formula cut short kept as its last result");
            }
            fRow = int(row);
            fCol = int(col);
            wantString = textResult;
            formulaTail = true;
            break;
        }
        case rSHRFMLA:
        case rARRAY:
        case rTABLE:
            if (fRow >= 0) {
                Cell& c = ws.rows[fRow].cells[fCol];
                if (c.formula)
                    ws.formulas[c.formula - 1].following.push_back(
                        RawRecord{r.type, std::vector<uint8_t>(r.body, r.body + r.size)});
                formulaTail = true;
            }
            break;
        case rSTRING: {
            // The text result of the formula just before; its characters may
            // go on in CONTINUE records, which are read (or skipped) with it.
            SegReader sr;
            sr.segs.push_back({r.body, r.size});
            while (!st_.atEnd(pos)) {
                Rec c = st_.at(pos);
                if (c.type != rCONTINUE)
                    break;
                sr.segs.push_back({c.body, c.size});
                pos = st_.next(c);
            }
            Cell* c = fRow >= 0 && wantString ? &ws.rows[fRow].cells[fCol] : nullptr;
            if (!c || c->type != CellType::Text) {
                repair("formula result record without a formula waiting for it skipped");
                break;
            }
            uint16_t cch = sr.u16();
            uint8_t flags = sr.u8();
            std::string& text = wb_->strings[c->str].text;
            sr.chars(cch, flags & 1, text, scratch_);
            if (sr.ranOut)
                repair("formula text result cut short");
            if (sr.joined)
                repair("UTF-16 character split across records joined", sr.joined);
            wantString = false;
            break;
        }
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
        case rINDEX:
        case rDBCELL: break;
        case rDEFCOLWIDTH:
            if (r.size < 2)
                shortRecord(r.type);
            ws.defaultColWidth = r.size >= 2 ? b.u16() : uint16_t(8);
            break;
        case rCOLINFO: {
            if (r.size < 4) {
                repair("short COLINFO record without its columns skipped");
                break;
            }
            const uint8_t* p = fit(r, 10, kColInfoDefaults);
            ColumnInfo ci;
            ci.firstCol = rd16(p);
            ci.lastCol = std::min<int>(rd16(p + 2), kMaxCols - 1);
            ci.width = rd16(p + 4);
            ci.xf = rd16(p + 6);
            ci.flags = rd16(p + 8);
            ci.hidden = (ci.flags & 1) != 0;
            if (ci.firstCol <= ci.lastCol && ci.firstCol < kMaxCols)
                ws.columns.push_back(ci);
            break;
        }
        case rDEFAULTROWHEIGHT: {
            const uint8_t* p = fit(r, 4, kDefaultRowHeightDefaults);
            ws.defaultRowFlags = rd16(p);
            ws.defaultRowHeight = rd16(p + 2);
            keep = true;
            break;
        }
        case rROW: {
            if (r.size < 2) {
                repair("short ROW record without its row number skipped");
                break;
            }
            const uint8_t* p = fit(r, 16, kRowDefaults);
            uint32_t row = rd16(p);
            if (row >= ws.rows.size()) {
                charge(row + 1 - ws.rows.size());
                ws.rows.resize(row + 1);
            }
            RowInfo& ri = ws.rows[row].info;
            ri.height = rd16(p + 6) & 0x7FFF;
            ri.flags = rd16(p + 12);
            ri.xf = rd16(p + 14) & 0x0FFF;
            ri.present = true;
            break;
        }
        case rMERGECELLS: {
            size_t n = b.u16();
            if (b.cut || (r.size - 2) / 8 < n) {
                shortRecord(r.type);
                n = r.size >= 2 ? (r.size - 2) / 8 : 0;
            }
            for (size_t i = 0; i < n; ++i) {
                const uint8_t* p = r.body + 2 + 8 * i;
                CellRange m{rd16(p), rd16(p + 2), rd16(p + 4), rd16(p + 6)};
                if (m.firstRow <= m.lastRow && m.firstCol <= m.lastCol && m.lastCol < kMaxCols)
                    ws.merged.push_back(m);
            }
            break;
        }
        case rWINDOW2:
            kept = fit(r, keptSize = std::max<size_t>(r.size, 18), kWindow2Defaults);
            window2Frozen = (rd16(kept) & 0x0008) != 0;
            keep = true;
            break;
        case rPANE: {
            const uint8_t* p = fit(r, 4, kPaneDefaults);
            paneX = rd16(p);
            paneY = rd16(p + 2);
            havePane = true;
            break;
        }
        case rHEADER:
        case rFOOTER: {
            std::string s = r.size == 0 ? std::string() : b.xlString(false);
            if (b.cut)
                shortRecord(r.type);
            (r.type == rHEADER ? ps.header : ps.footer) = std::move(s);
            keep = true;
            break;
        }
        case rLEFTMARGIN:
        case rRIGHTMARGIN:
        case rTOPMARGIN:
        case rBOTTOMMARGIN: {
            double v = -1;
            if (r.size >= 8)
                v = rdf64(r.body);
            else
                shortRecord(r.type);
            if (!std::isfinite(v) || v < 0 || v > 100)
                v = r.type <= rRIGHTMARGIN ? 0.7 : 0.75;
            double* dst[] = {&ps.leftMargin, &ps.rightMargin, &ps.topMargin, &ps.bottomMargin};
            *dst[r.type - rLEFTMARGIN] = v;
            keep = true;
            break;
        }
        case rHCENTER:
        case rVCENTER:
        case rPRINTHEADERS:
        case rPRINTGRIDLINES:
        case rWSBOOL: {
            static const uint8_t off[2] = {0, 0}, wsbool[2] = {0xC1, 0x04};
            kept = fit(r, keptSize = std::max<size_t>(r.size, 2), r.type == rWSBOOL ? wsbool : off);
            const bool on = rd16(kept) != 0;
            switch (r.type) {
            case rHCENTER: ps.centerHorizontally = on; break;
            case rVCENTER: ps.centerVertically = on; break;
            case rPRINTHEADERS: ps.printHeadings = on; break;
            case rPRINTGRIDLINES: ps.printGridlines = on; break;
            default: ps.fitToPages = (rd16(kept) & 0x0100) != 0; break;
            }
            keep = true;
            break;
        }
        case rSETUP: {
            const uint8_t* p = fit(r, 34, kSetupDefaults);
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
        case rCONTINUE: keep = keptLast; break;
        default: keep = !isDrawingRecord(r.type); break;
        }
        // The cell block starts at DIMENSIONS; without cells the window settings still follow it.
        if (isCellRecord(r.type) || r.type == rDIMENSIONS || r.type == rWINDOW2)
            inCells = true;
        if (!formulaTail) {
            if (wantString)
                repair("text result of a formula missing: empty text");
            fRow = -1;
            wantString = false;
        }
        if (keep) {
            auto& list = inCells ? ws.after : ws.before;
            list.push_back(RawRecord{r.type, std::vector<uint8_t>(kept, kept + keptSize)});
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

Result<std::unique_ptr<Workbook>> parseWorkbookStream(std::span<const uint8_t> stream, std::vector<Repair>* repairs)
{
    Reader r(stream, repairs);
    // The message stays the one the user sees; the reason names the record.
    auto damaged = [&r](const char* what) {
        Error e = makeError(ErrorCode::Damaged);
        char where[80];
        if (r.stream().lastType() >= 0)
            std::snprintf(where, sizeof where, " (record 0x%04X at offset %zu)", unsigned(r.stream().lastType()),
                          r.stream().lastPos());
        else
            std::snprintf(where, sizeof where, " (at offset %zu)", r.stream().lastPos());
        e.reason = std::string(what) + where;
        return e;
    };
    try {
        return r.run();
    } catch (const Damaged& d) {
        return damaged(d.what);
    } catch (const Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return damaged("not enough memory for what the file describes");
    } catch (const std::length_error&) {
        return damaged("not enough memory for what the file describes");
    }
}

} // namespace gp::xls
