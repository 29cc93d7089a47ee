#include "core/sheet/workbook.h"

#include <algorithm>
#include <cctype>

namespace gp::sheet {

namespace {

const Cell kEmptyCell{};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Lower-cases ASCII and the Latin-1 letters of UTF-8 text, for case-insensitive ordering.
std::string foldCase(std::string_view s)
{
    std::string out(s);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c < 0x80) {
            out[i] = static_cast<char>(std::tolower(c));
        } else if (c == 0xC3 && i + 1 < out.size()) {
            unsigned char d = static_cast<unsigned char>(out[i + 1]);
            if (d >= 0x80 && d <= 0x9E && d != 0x97) // À..Þ except ×
                out[i + 1] = static_cast<char>(d + 0x20);
            ++i;
        }
    }
    return out;
}

} // namespace

std::string errorText(uint8_t code)
{
    switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#N/A";
    }
}

// ---------------------------------------------------------------- Worksheet

const Cell& Worksheet::cell(int row, int col) const
{
    if (row < 0 || col < 0 || row >= static_cast<int>(rows.size()))
        return kEmptyCell;
    const auto& cells = rows[row].cells;
    if (col >= static_cast<int>(cells.size()))
        return kEmptyCell;
    return cells[col];
}

Cell& Worksheet::cellRef(int row, int col)
{
    row = std::clamp(row, 0, kMaxRows - 1);
    col = std::clamp(col, 0, kMaxCols - 1);
    if (row >= static_cast<int>(rows.size()))
        rows.resize(row + 1);
    auto& cells = rows[row].cells;
    if (col >= static_cast<int>(cells.size())) {
        // Newly reached cells take the row's or the column's format, as a spreadsheet does.
        uint16_t xf = 15;
        if (rows[row].info.flags & 0x80)
            xf = rows[row].info.xf;
        size_t old = cells.size();
        cells.resize(col + 1);
        for (size_t c = old; c < cells.size(); ++c) {
            cells[c].xf = xf;
            for (const auto& ci : columns)
                if (static_cast<int>(c) >= ci.firstCol && static_cast<int>(c) <= ci.lastCol
                    && !(rows[row].info.flags & 0x80))
                    cells[c].xf = ci.xf;
        }
    }
    return cells[col];
}

Value Worksheet::value(int row, int col) const
{
    const Cell& c = cell(row, col);
    switch (c.type) {
    case CellType::Empty: return Value::makeEmpty();
    case CellType::Number: return Value::makeNumber(c.number);
    case CellType::Text: return Value::makeText(owner_ ? owner_->string(c.str) : std::string());
    case CellType::Boolean: return Value::makeBoolean(c.small != 0);
    case CellType::Error: return Value::makeError(c.small);
    }
    return {};
}

void Worksheet::setValue(int row, int col, const Value& v)
{
    if (v.isEmpty() && cell(row, col).type == CellType::Empty && cell(row, col).formula == 0)
        return; // nothing stored, nothing to clear
    Cell& c = cellRef(row, col);
    c.formula = 0;
    c.type = v.type;
    c.number = 0;
    c.small = 0;
    c.str = 0;
    switch (v.type) {
    case CellType::Empty: break;
    case CellType::Number: c.number = v.number; break;
    case CellType::Text: c.str = owner_ ? owner_->intern(v.text) : 0; break;
    case CellType::Boolean: c.small = v.boolean ? 1 : 0; break;
    case CellType::Error: c.small = v.error; break;
    }
    if (owner_)
        owner_->modified = true;
}

void Worksheet::setFormat(int row, int col, uint16_t xf)
{
    Cell& c = cellRef(row, col);
    c.xf = xf;
    if (c.type == CellType::Empty)
        c.blankFormatted = true;
    if (owner_)
        owner_->modified = true;
}

int Worksheet::lastRow() const
{
    for (int r = static_cast<int>(rows.size()) - 1; r >= 0; --r)
        for (const Cell& c : rows[r].cells)
            if (c.type != CellType::Empty)
                return r;
    return -1;
}

int Worksheet::lastCol() const
{
    int last = -1;
    for (const Row& row : rows)
        for (int c = static_cast<int>(row.cells.size()) - 1; c > last; --c)
            if (row.cells[c].type != CellType::Empty) {
                last = c;
                break;
            }
    return last;
}

int Worksheet::lastRowInColumn(int col) const
{
    for (int r = static_cast<int>(rows.size()) - 1; r >= 0; --r)
        if (cell(r, col).type != CellType::Empty)
            return r;
    return -1;
}

void Worksheet::dropFormulas()
{
    if (formulas.empty())
        return;
    for (Row& row : rows)
        for (Cell& c : row.cells)
            c.formula = 0;
    formulas.clear();
}

void Worksheet::deleteRows(int firstRow, int count)
{
    if (firstRow < 0 || count <= 0)
        return;
    dropFormulas();
    if (firstRow < static_cast<int>(rows.size())) {
        int end = std::min<int>(rows.size(), firstRow + count);
        rows.erase(rows.begin() + firstRow, rows.begin() + end);
    }
    // Merged ranges below move up; those touching the deleted rows are dropped.
    std::vector<CellRange> kept;
    for (CellRange m : merged) {
        if (m.lastRow < firstRow) {
            kept.push_back(m);
        } else if (m.firstRow >= firstRow + count) {
            m.firstRow -= count;
            m.lastRow -= count;
            kept.push_back(m);
        }
    }
    merged = std::move(kept);
    if (owner_)
        owner_->modified = true;
}

void Worksheet::insertRows(int firstRow, int count)
{
    if (firstRow < 0 || count <= 0 || firstRow >= kMaxRows)
        return;
    dropFormulas();
    if (firstRow < static_cast<int>(rows.size())) {
        rows.insert(rows.begin() + firstRow, count, Row{});
        if (static_cast<int>(rows.size()) > kMaxRows)
            rows.resize(kMaxRows);
    }
    for (CellRange& m : merged)
        if (m.firstRow >= firstRow) {
            m.firstRow += count;
            m.lastRow += count;
        }
    if (owner_)
        owner_->modified = true;
}

void Worksheet::copyRow(int fromRow, int toRow)
{
    if (fromRow < 0 || toRow < 0 || toRow >= kMaxRows || fromRow == toRow)
        return;
    dropFormulas();
    Row copy = fromRow < static_cast<int>(rows.size()) ? rows[fromRow] : Row{};
    if (toRow >= static_cast<int>(rows.size()))
        rows.resize(toRow + 1);
    rows[toRow] = std::move(copy);
    if (owner_)
        owner_->modified = true;
}

void Worksheet::clearContents(const CellRange& r)
{
    for (int row = std::max(0, r.firstRow); row <= r.lastRow && row < static_cast<int>(rows.size()); ++row) {
        auto& cells = rows[row].cells;
        for (int col = std::max(0, r.firstCol); col <= r.lastCol && col < static_cast<int>(cells.size()); ++col) {
            Cell& c = cells[col];
            c.type = CellType::Empty;
            c.formula = 0;
            c.number = 0;
            c.small = 0;
            c.blankFormatted = c.xf != 15;
        }
    }
    if (owner_)
        owner_->modified = true;
}

void Worksheet::clear(const CellRange& r)
{
    for (int row = std::max(0, r.firstRow); row <= r.lastRow && row < static_cast<int>(rows.size()); ++row) {
        auto& cells = rows[row].cells;
        for (int col = std::max(0, r.firstCol); col <= r.lastCol && col < static_cast<int>(cells.size()); ++col)
            cells[col] = Cell{};
    }
    if (owner_)
        owner_->modified = true;
}

void Worksheet::clearAll()
{
    rows.clear();
    formulas.clear();
    merged.clear();
    if (owner_)
        owner_->modified = true;
}

uint16_t Worksheet::columnWidth(int col) const
{
    for (const auto& ci : columns)
        if (col >= ci.firstCol && col <= ci.lastCol)
            return ci.width;
    return static_cast<uint16_t>(std::min(65535, defaultColWidth * 256 + 183)); // digit width plus padding
}

bool Worksheet::columnHidden(int col) const
{
    for (const auto& ci : columns)
        if (col >= ci.firstCol && col <= ci.lastCol)
            return ci.hidden;
    return false;
}

void Worksheet::setColumnWidth(int col, uint16_t width)
{
    for (size_t i = 0; i < columns.size(); ++i) {
        ColumnInfo ci = columns[i];
        if (col < ci.firstCol || col > ci.lastCol)
            continue;
        if (ci.firstCol == ci.lastCol) {
            columns[i].width = width;
        } else {
            // Split the range so that only this column changes.
            std::vector<ColumnInfo> parts;
            if (ci.firstCol < col) {
                ColumnInfo a = ci;
                a.lastCol = col - 1;
                parts.push_back(a);
            }
            ColumnInfo m = ci;
            m.firstCol = m.lastCol = col;
            m.width = width;
            parts.push_back(m);
            if (col < ci.lastCol) {
                ColumnInfo b = ci;
                b.firstCol = col + 1;
                parts.push_back(b);
            }
            columns.erase(columns.begin() + i);
            columns.insert(columns.begin() + i, parts.begin(), parts.end());
        }
        if (owner_)
            owner_->modified = true;
        return;
    }
    ColumnInfo ci;
    ci.firstCol = ci.lastCol = col;
    ci.width = width;
    ci.flags = 0x02;
    auto pos = std::find_if(columns.begin(), columns.end(), [&](const ColumnInfo& x) { return x.firstCol > col; });
    columns.insert(pos, ci);
    if (owner_)
        owner_->modified = true;
}

void Worksheet::sortRows(const CellRange& r, int keyCol, bool ascending)
{
    int first = std::max(0, r.firstRow);
    int last = std::min(r.lastRow, kMaxRows - 1);
    if (last <= first)
        return;
    dropFormulas();
    if (last >= static_cast<int>(rows.size()))
        rows.resize(last + 1);

    struct Key {
        int rank; // 0 number, 1 text, 2 boolean, 3 error, 4 blank
        double number;
        std::string text;
        int index;
    };
    std::vector<Key> keys;
    keys.reserve(last - first + 1);
    for (int row = first; row <= last; ++row) {
        const Cell& c = cell(row, keyCol);
        Key k{4, 0, {}, row - first};
        switch (c.type) {
        case CellType::Number:
            k.rank = 0;
            k.number = c.number;
            break;
        case CellType::Text:
            k.rank = 1;
            k.text = foldCase(owner_ ? owner_->string(c.str) : std::string());
            break;
        case CellType::Boolean:
            k.rank = 2;
            k.number = c.small;
            break;
        case CellType::Error: k.rank = 3; break;
        case CellType::Empty: break;
        }
        keys.push_back(std::move(k));
    }
    std::stable_sort(keys.begin(), keys.end(), [ascending](const Key& a, const Key& b) {
        // Blanks stay last whatever the order.
        if ((a.rank == 4) != (b.rank == 4))
            return b.rank == 4;
        if (a.rank == 4)
            return false;
        int cmp;
        if (a.rank != b.rank)
            cmp = a.rank < b.rank ? -1 : 1;
        else if (a.rank == 1)
            cmp = a.text.compare(b.text);
        else
            cmp = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
        return ascending ? cmp < 0 : cmp > 0;
    });

    // Move the cells of the sorted columns only.
    int c0 = std::max(0, r.firstCol), c1 = std::min(r.lastCol, kMaxCols - 1);
    std::vector<std::vector<Cell>> block(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        const Row& src = rows[first + keys[i].index];
        block[i].resize(c1 - c0 + 1);
        for (int col = c0; col <= c1; ++col)
            block[i][col - c0] = col < static_cast<int>(src.cells.size()) ? src.cells[col] : Cell{};
    }
    for (size_t i = 0; i < keys.size(); ++i) {
        Row& dst = rows[first + i];
        bool any = false;
        for (const Cell& c : block[i])
            any = any || c.type != CellType::Empty || c.xf != 15;
        if (!any && static_cast<int>(dst.cells.size()) <= c0)
            continue;
        if (static_cast<int>(dst.cells.size()) <= c1)
            dst.cells.resize(c1 + 1);
        for (int col = c0; col <= c1; ++col)
            dst.cells[col] = block[i][col - c0];
    }
    if (owner_)
        owner_->modified = true;
}

// ---------------------------------------------------------------- Workbook

Workbook::Workbook() = default;

Worksheet* Workbook::sheet(std::string_view name)
{
    int i = sheetIndex(name);
    return i < 0 ? nullptr : sheets[i].get();
}

const Worksheet* Workbook::sheet(std::string_view name) const
{
    int i = sheetIndex(name);
    return i < 0 ? nullptr : sheets[i].get();
}

int Workbook::sheetIndex(std::string_view name) const
{
    for (size_t i = 0; i < sheets.size(); ++i)
        if (sheets[i]->name == name)
            return static_cast<int>(i);
    for (size_t i = 0; i < sheets.size(); ++i)
        if (equalsNoCase(sheets[i]->name, name))
            return static_cast<int>(i);
    return -1;
}

Worksheet& Workbook::addSheet(const std::string& name)
{
    auto ws = std::make_unique<Worksheet>(this);
    ws->name = name;
    sheets.push_back(std::move(ws));
    modified = true;
    return *sheets.back();
}

uint32_t Workbook::intern(std::string_view text)
{
    if (!internBuilt_ || internIndex_.size() > strings.size()) {
        internIndex_.clear();
        internIndex_.reserve(strings.size() * 2 + 16);
        for (size_t i = 0; i < strings.size(); ++i)
            if (strings[i].runs.empty() && strings[i].phonetic.empty())
                internIndex_.emplace(strings[i].text, static_cast<uint32_t>(i));
        internBuilt_ = true;
    } else {
        // Strings appended directly by a reader since the index was built.
        for (size_t i = internIndexedCount_; i < strings.size(); ++i)
            if (strings[i].runs.empty() && strings[i].phonetic.empty())
                internIndex_.emplace(strings[i].text, static_cast<uint32_t>(i));
    }
    internIndexedCount_ = strings.size();
    auto it = internIndex_.find(std::string(text));
    if (it != internIndex_.end())
        return it->second;
    strings.push_back(SharedString{std::string(text), {}, {}});
    uint32_t index = static_cast<uint32_t>(strings.size() - 1);
    internIndex_.emplace(strings.back().text, index);
    internIndexedCount_ = strings.size();
    return index;
}

std::string Workbook::numberFormatOfXf(uint16_t xf) const
{
    if (xf >= formats.size())
        return "General";
    return numberFormatString(formats[xf].numFmtId);
}

std::string Workbook::numberFormatString(uint16_t id) const
{
    auto it = numberFormats.find(id);
    if (it != numberFormats.end())
        return it->second;
    std::string s = builtinNumberFormat(id);
    return s.empty() ? std::string("General") : s;
}

bool Workbook::isDateFormat(uint16_t xf) const
{
    if (xf >= formats.size())
        return false;
    uint16_t id = formats[xf].numFmtId;
    if (numberFormats.find(id) == numberFormats.end()) {
        if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58))
            return true;
    }
    return isDateFormatString(numberFormatString(id));
}

uint16_t Workbook::xfWithNumberFormat(uint16_t baseXf, const std::string& format)
{
    // Find or create the format id.
    uint16_t id = 0;
    bool found = false;
    for (const auto& [fid, str] : numberFormats)
        if (str == format) {
            id = fid;
            found = true;
            break;
        }
    if (!found) {
        for (uint16_t b = 0; b < 164 && !found; ++b)
            if (numberFormats.find(b) == numberFormats.end() && !builtinNumberFormat(b).empty()
                && builtinNumberFormat(b) == format && b != 14) {
                id = b;
                found = true;
            }
    }
    if (!found) {
        id = 164;
        for (const auto& [fid, str] : numberFormats)
            id = std::max<uint16_t>(id, fid + 1);
        numberFormats[id] = format;
        numberFormatOrder.push_back(id);
    }
    if (baseXf >= formats.size())
        baseXf = formats.size() > 15 ? 15 : 0;
    if (baseXf < formats.size() && formats[baseXf].numFmtId == id)
        return baseXf;
    // Reuse a cell XF that differs from the base only by its number format.
    for (size_t i = 16; i < formats.size(); ++i) {
        const CellFormat& f = formats[i];
        if (f.numFmtId == id && !f.isStyle && formats.size() > baseXf && f.fontIndex == formats[baseXf].fontIndex
            && f.hAlign == formats[baseXf].hAlign && f.vAlign == formats[baseXf].vAlign
            && f.wrap == formats[baseXf].wrap)
            return static_cast<uint16_t>(i);
    }
    CellFormat f = baseXf < formats.size() ? formats[baseXf] : CellFormat{};
    f.numFmtId = id;
    f.isStyle = false;
    if (f.raw.size() >= 20) {
        f.raw[2] = static_cast<uint8_t>(id & 0xFF);
        f.raw[3] = static_cast<uint8_t>(id >> 8);
        f.raw[9] |= 0x04; // this XF sets its own number format
    }
    formats.push_back(std::move(f));
    modified = true;
    return static_cast<uint16_t>(formats.size() - 1);
}

std::unique_ptr<Workbook> newWorkbook()
{
    auto wb = std::make_unique<Workbook>();
    for (int i = 0; i < 4; ++i)
        wb->fonts.push_back(Font{});
    for (int i = 0; i < 15; ++i) {
        CellFormat style;
        style.isStyle = true;
        wb->formats.push_back(style);
    }
    wb->formats.push_back(CellFormat{}); // 15: the default cell format
    wb->modified = true;
    return wb;
}

} // namespace gp::sheet
