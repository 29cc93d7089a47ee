// The in-memory workbook: sheets, cells, formats, layout. Plain C++, no Qt.
//
// Texts are UTF-8. Rows and columns are counted from 0 here (the host speaks
// A1 and counts from 1). A workbook holds at most 65,536 rows and 256 columns
// per sheet, as the .xls format does.
//
// Cells are compact: a text cell points into the workbook's string pool, so a
// register of a million cells opens without a million string allocations.
// What the file codec must carry through a rewrite without understanding it
// (records of other programs, formula tokens) is kept as raw records.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gp::sheet {

constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

enum class CellType : uint8_t { Empty, Number, Text, Boolean, Error };

// Error codes as the file stores them (0x07 = #DIV/0! ...).
std::string errorText(uint8_t code);

// A cell value detached from the workbook (what callers read and write).
struct Value {
    CellType type = CellType::Empty;
    double number = 0;    // Number
    std::string text;     // Text
    bool boolean = false; // Boolean
    uint8_t error = 0;    // Error

    static Value makeEmpty() { return {}; }
    static Value makeNumber(double v)
    {
        Value x;
        x.type = CellType::Number;
        x.number = v;
        return x;
    }
    static Value makeText(std::string s)
    {
        Value x;
        x.type = CellType::Text;
        x.text = std::move(s);
        return x;
    }
    static Value makeBoolean(bool b)
    {
        Value x;
        x.type = CellType::Boolean;
        x.boolean = b;
        return x;
    }
    static Value makeError(uint8_t e)
    {
        Value x;
        x.type = CellType::Error;
        x.error = e;
        return x;
    }
    bool isEmpty() const { return type == CellType::Empty; }
    bool operator==(const Value&) const = default;
};

// A record of the file kept as it was: type and body (CONTINUE records that
// followed it are kept as separate RawRecords right after it).
struct RawRecord {
    uint16_t type = 0;
    std::vector<uint8_t> body;
};

// A formula carried through unchanged. The cell's own value is the cached result.
struct Formula {
    std::vector<uint8_t> body;        // FORMULA record body from offset 6 (after rw, col, ixfe)
    std::vector<RawRecord> following; // SHRFMLA / ARRAY / TABLE records that came right after it
    bool stringResult = false;        // cached result is a text (a STRING record is written after)
};

// One entry of the string pool. `runs` and `phonetic` are the raw bytes of the
// rich-text runs (cRun x 4 bytes) and of the phonetic block, kept for a rewrite.
struct SharedString {
    std::string text;
    std::vector<uint8_t> runs;
    std::vector<uint8_t> phonetic;
};

struct Font {
    std::string name = "Arial";
    uint16_t heightTwips = 200; // 200 = 10 pt
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint16_t colorIndex = 0x7FFF;
    std::vector<uint8_t> raw; // FONT body as read (empty for fonts created here)
};

enum class HAlign : uint8_t { General = 0, Left, Center, Right, Fill, Justify, CenterAcross, Distributed };
enum class VAlign : uint8_t { Top = 0, Center, Bottom, Justify, Distributed };

// A cell format (XF record).
struct CellFormat {
    uint16_t fontIndex = 0; // index into Workbook::fonts (already mapped: file index 4 is skipped)
    uint16_t numFmtId = 0;  // number format id (built-in or from Workbook::numberFormats)
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    bool isStyle = false;
    std::vector<uint8_t> raw; // XF body as read (20 bytes), empty for formats created here
};

struct CellRange {
    int firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0; // inclusive, from 0
    bool operator==(const CellRange&) const = default;
};

struct ColumnInfo {
    int firstCol = 0, lastCol = 0; // inclusive
    uint16_t width = 2340;         // in 1/256 of the width of "0"
    uint16_t xf = 15;
    bool hidden = false;
    uint16_t flags = 0; // other COLINFO flags as read
};

struct RowInfo {
    uint16_t height = 255;   // twips
    uint16_t flags = 0x0100; // ROW flags as read (0x20 hidden, 0x40 custom height, 0x80 default XF)
    uint16_t xf = 15;
    bool present = false; // a ROW record exists (or must be written)
};

struct PageSetup {
    std::optional<CellRange> printArea;
    std::string header; // HEADER string with its &L &C &R codes; empty = none
    std::string footer;
    double leftMargin = 0.7, rightMargin = 0.7, topMargin = 0.75, bottomMargin = 0.75; // inches
    double headerMargin = 0.3, footerMargin = 0.3;
    uint16_t paperSize = 9;               // 9 = A4
    uint16_t zoom = 100;                  // percent; used when fitToPages is false
    bool fitToPages = false;              // WSBOOL fit bit
    uint16_t fitWidth = 1, fitHeight = 1; // 0 = automatic
    bool portrait = true;
    bool centerHorizontally = false, centerVertically = false;
    bool printGridlines = false, printHeadings = false;
    uint16_t copies = 1;
    bool valid = true;             // false when the file's SETUP said "not valid" (fNoPls)
    std::vector<uint8_t> rawSetup; // SETUP body as read, for fields not modelled
    bool printAreaChanged = false; // set when the program changes printArea
};

enum class Visibility : uint8_t { Visible = 0, Hidden = 1, VeryHidden = 2 };

// A stored cell. 24 bytes.
struct Cell {
    double number = 0;    // Number
    uint32_t str = 0;     // Text: index into Workbook::strings
    uint32_t formula = 0; // 1-based index into Worksheet::formulas; 0 = a plain value
    uint16_t xf = 15;     // index into Workbook::formats
    CellType type = CellType::Empty;
    uint8_t small = 0;           // Boolean: 0/1; Error: the code
    bool blankFormatted = false; // an empty cell that the file stored (BLANK) for its format
};

struct Row {
    RowInfo info;
    std::vector<Cell> cells; // indexed by column; may be shorter than kMaxCols
};

class Workbook;

class Worksheet {
public:
    std::string name;
    Visibility visibility = Visibility::Visible;
    uint8_t kind = 0; // BOUNDSHEET dt: 0 worksheet, 1 macro, 2 chart, 6 VBA module

    std::vector<Row> rows; // indexed by row; may be shorter than kMaxRows
    std::vector<Formula> formulas;
    std::vector<CellRange> merged;
    std::vector<ColumnInfo> columns;
    uint16_t defaultColWidth = 8;    // DEFCOLWIDTH, in characters
    uint16_t defaultRowHeight = 255; // twips
    uint16_t defaultRowFlags = 0;
    int frozenRows = 0, frozenCols = 0;  // panes kept in view (0 = none)
    std::optional<CellRange> scrollArea; // kept in memory only (the file format has no place for it)
    PageSetup pageSetup;

    // Records of the sheet's substream that the model does not own, in file order,
    // split where the cell block stood: `before` precedes the rows and cells,
    // `after` follows them. Nested substreams (charts) are not kept.
    std::vector<RawRecord> before, after;

    explicit Worksheet(Workbook* owner = nullptr) : owner_(owner) {}

    Workbook* workbook() const { return owner_; }

    // Cell access (row, col from 0). Reading outside the stored area gives an empty cell.
    const Cell& cell(int row, int col) const;
    Cell& cellRef(int row, int col);                 // grows the storage as needed
    Value value(int row, int col) const;             // the cell's value (text resolved)
    void setValue(int row, int col, const Value& v); // drops a formula; keeps the format
    void setFormat(int row, int col, uint16_t xf);
    bool isEmpty(int row, int col) const { return cell(row, col).type == CellType::Empty; }

    // Extent of the stored non-empty cells: last row / column holding a value, -1 when none.
    int lastRow() const;
    int lastCol() const;
    int lastRowInColumn(int col) const;

    // Whole-row operations. Formulas on the sheet become their cached values
    // whenever rows move (references are not adjusted).
    void deleteRows(int firstRow, int count); // rows below move up
    void insertRows(int firstRow, int count); // rows at and below move down
    void copyRow(int fromRow, int toRow);     // values, formats and row info
    void clearContents(const CellRange& r);   // values only
    void clear(const CellRange& r);           // values and formats
    void clearAll();                          // every cell, value and format

    // Column widths (1/256 of a character) and hidden columns.
    uint16_t columnWidth(int col) const;
    bool columnHidden(int col) const;
    void setColumnWidth(int col, uint16_t width);

    // Turns every formula of the sheet into its cached value.
    void dropFormulas();

    // Sort rows firstRow..lastRow (inclusive) of columns firstCol..lastCol by one key
    // column: numbers before texts before booleans before errors; blanks last in
    // either order. Texts compare without regard to letter case. Stable.
    void sortRows(const CellRange& r, int keyCol, bool ascending);

private:
    Workbook* owner_ = nullptr;
};

enum class Encryption : uint8_t { None, Xor, Rc4, Rc4CryptoApi };

class Workbook {
public:
    Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    std::vector<std::unique_ptr<Worksheet>> sheets;
    bool date1904 = false;
    uint16_t codepage = 1200;
    int activeSheet = 0;

    std::vector<Font> fonts;                                 // model indexes (file index 4 skipped on read)
    std::unordered_map<uint16_t, std::string> numberFormats; // FORMAT records: id -> format string
    std::vector<uint16_t> numberFormatOrder;                 // ids in the order of the file's records
    std::vector<CellFormat> formats;                         // XF records; index = XF index
    std::vector<SharedString> strings;                       // the string pool

    // Globals records the model does not own, in file order. Where the model's
    // own records stood, the list holds markers (see Marker below).
    std::vector<RawRecord> globals;
    enum Marker : uint16_t {
        FormattingBlock = 0xFFF0, // FONT, FORMAT and XF records are written here
        SheetsBlock = 0xFFF1,     // BOUNDSHEET8 records
        StringsBlock = 0xFFF2,    // SST and EXTSST
    };

    // How the file was protected when read (saved again by the host).
    Encryption encryption = Encryption::None;

    Worksheet* sheet(std::string_view name); // exact name, else case-insensitive; nullptr if none
    const Worksheet* sheet(std::string_view name) const;
    int sheetIndex(std::string_view name) const; // -1 if none
    Worksheet& addSheet(const std::string& name);

    // String pool: returns the index of a text (interning new ones).
    uint32_t intern(std::string_view text);
    const std::string& string(uint32_t index) const { return strings[index].text; }

    // Formats: number-format string of an XF (built-in ids give their standard
    // string), and an XF index for a given number format (created when missing).
    std::string numberFormatOfXf(uint16_t xf) const;
    std::string numberFormatString(uint16_t id) const;
    uint16_t xfWithNumberFormat(uint16_t baseXf, const std::string& format);
    bool isDateFormat(uint16_t xf) const;

    // Set by every change the host makes; cleared after a save.
    bool modified = false;

private:
    std::unordered_map<std::string, uint32_t> internIndex_;
    bool internBuilt_ = false;
    size_t internIndexedCount_ = 0;
};

// A new workbook as the writer expects it: the four default fonts, the 16
// standard XFs (0-14 style, 15 default cell), the Normal style, no sheets.
std::unique_ptr<Workbook> newWorkbook();

// Standard format string of a built-in number-format id ("" when unknown).
std::string builtinNumberFormat(uint16_t id);

// True when a number-format string shows a date or a time.
bool isDateFormatString(std::string_view format);

} // namespace gp::sheet
