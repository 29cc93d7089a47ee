#include "core/host/spreadsheet_host.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <unordered_map>
#include <utility>

#include "core/host/atomic_save.h"
#include "core/host/backup_copies.h"
#include "core/host/file_identity.h"
#include "core/host/format_copy.h"
#include "core/host/journal.h"
#include "core/host/lock_file.h"
#include "core/host/model_access.h"
#include "core/host/text_measure.h"
#include "core/sheet/numfmt.h"
#include "core/xls/cfb.h"
#include "core/xls/crypto.h"
#include "core/xls/xls_file.h"

namespace gp::host {

using sheet::Cell;
using sheet::CellType;
using sheet::kMaxCols;
using sheet::kMaxRows;

namespace {

const sheet::Locale& italian()
{
    static const sheet::Locale locale = sheet::Locale::italian();
    return locale;
}

QString fromStd(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string toStd(const QString& s) { return s.toUtf8().toStdString(); }

// "La password ..." -> "la password ...", to follow "...: ".
QString lowerFirst(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toLower();
    return s;
}

[[noreturn]] void invalidRange()
{
    throw HostError(QStringLiteral("Riferimento a un intervallo di celle non valido."));
}

// Cell (row0, col0), from 0, read in place: the walks over whole registers
// read every row through here. The empty cell past the stored ones.
const Cell kNoCell{};

inline const Cell& storedCell(const sheet::Worksheet& ws, int row0, int col0)
{
    if (row0 < 0 || col0 < 0 || size_t(row0) >= ws.rows.size())
        return kNoCell;
    const std::vector<Cell>& cells = ws.rows[size_t(row0)].cells;
    return size_t(col0) < cells.size() ? cells[size_t(col0)] : kNoCell;
}

bool filled(const sheet::Worksheet& ws, int row0, int col0)
{
    return storedCell(ws, row0, col0).type != CellType::Empty;
}

// End along a column (0-based rows): down == true for Down, else Up.
int endInColumn(const sheet::Worksheet& ws, int row0, int col0, bool down)
{
    const int last = kMaxRows - 1;
    const int stored = static_cast<int>(ws.rows.size());
    if (down) {
        if (row0 >= last)
            return last;
        if (filled(ws, row0, col0) && filled(ws, row0 + 1, col0)) {
            int r = row0 + 1;
            while (r < last && filled(ws, r + 1, col0))
                ++r;
            return r;
        }
        for (int r = row0 + 1; r < stored; ++r)
            if (filled(ws, r, col0))
                return r;
        return last;
    }
    if (row0 <= 0)
        return 0;
    if (filled(ws, row0, col0) && filled(ws, row0 - 1, col0)) {
        int r = row0 - 1;
        while (r > 0 && filled(ws, r - 1, col0))
            --r;
        return r;
    }
    for (int r = std::min(row0 - 1, stored - 1); r >= 0; --r)
        if (filled(ws, r, col0))
            return r;
    return 0;
}

// End along a row (0-based columns): right == true for ToRight, else ToLeft.
int endInRow(const sheet::Worksheet& ws, int row0, int col0, bool right)
{
    const int last = kMaxCols - 1;
    const int stored = row0 < static_cast<int>(ws.rows.size()) ? static_cast<int>(ws.rows[row0].cells.size()) : 0;
    if (right) {
        if (col0 >= last)
            return last;
        if (filled(ws, row0, col0) && filled(ws, row0, col0 + 1)) {
            int c = col0 + 1;
            while (c < last && filled(ws, row0, c + 1))
                ++c;
            return c;
        }
        for (int c = col0 + 1; c < stored; ++c)
            if (filled(ws, row0, c))
                return c;
        return last;
    }
    if (col0 <= 0)
        return 0;
    if (filled(ws, row0, col0) && filled(ws, row0, col0 - 1)) {
        int c = col0 - 1;
        while (c > 0 && filled(ws, row0, c - 1))
            --c;
        return c;
    }
    for (int c = std::min(col0 - 1, stored - 1); c >= 0; --c)
        if (filled(ws, row0, c))
            return c;
    return 0;
}

// Date serials of the workbook's date system (whole days), through the
// engine's one date routine.
double dateToSerial(const QDate& d, bool date1904)
{
    sheet::DateTime dt;
    dt.year = d.year();
    dt.month = d.month();
    dt.day = d.day();
    return sheet::dateTimeToSerial(dt, date1904);
}

QDate serialToDate(double serial, bool date1904)
{
    if (!std::isfinite(serial))
        return {};
    const auto dt = sheet::serialToDateTime(std::floor(serial), date1904);
    // 0/1/1900 and 29/2/1900 are no real days (QDate refuses the second).
    if (!dt || (!date1904 && std::floor(serial) == 0))
        return {};
    return QDate(dt->year, dt->month, dt->day);
}

// Whether written bytes hold an encrypted Workbook stream, as the engine's own
// reader detects it.
bool isEncryptedXls(const std::vector<uint8_t>& bytes)
{
    auto cfb = xls::readCompoundFile(std::span<const uint8_t>(bytes.data(), bytes.size()));
    if (!cfb)
        return false;
    const xls::CfbEntry* wb = xls::findChild(cfb.value().root, u"Workbook");
    if (!wb)
        return false;
    auto scheme = xls::detectEncryption(wb->data);
    return scheme.ok() && scheme.value() != sheet::Encryption::None;
}

} // namespace

// ================================================================ Range

Range::Range(Sheet* sheet, int firstRow, int firstCol, int lastRow, int lastCol)
    : sheet_(sheet), r1_(firstRow), c1_(firstCol), r2_(lastRow), c2_(lastCol)
{
    if (!sheet || firstRow < 1 || firstCol < 1 || lastRow > kMaxRows || lastCol > kMaxCols || firstRow > lastRow
        || firstCol > lastCol)
        invalidRange();
}

QString Range::address() const
{
    if (c1_ == 1 && c2_ == kMaxCols)
        return QStringLiteral("$%1:$%2").arg(r1_).arg(r2_);
    if (r1_ == 1 && r2_ == kMaxRows)
        return QStringLiteral("$%1:$%2").arg(columnLetters(c1_), columnLetters(c2_));
    QString a = QStringLiteral("$%1$%2").arg(columnLetters(c1_)).arg(r1_);
    if (r1_ == r2_ && c1_ == c2_)
        return a;
    return a + QStringLiteral(":$%1$%2").arg(columnLetters(c2_)).arg(r2_);
}

QVariant Range::value() const
{
    if (!sheet_)
        invalidRange();
    return sheet_->value(r1_, c1_);
}

void Range::setValue(const QVariant& v)
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    sheet::Worksheet& ws = sheet_->model();
    sheet::Workbook& wb = sheet_->book()->model();

    const int type = v.isValid() ? v.typeId() : QMetaType::UnknownType;
    if (type == QMetaType::UnknownType || v.isNull() || (type == QMetaType::QString && v.toString().isEmpty())) {
        ws.clearContents({r1_ - 1, r2_ - 1, c1_ - 1, c2_ - 1});
        sheet_->changed(changes::Op::SetValue, r1_, c1_, r2_, c2_, {QVariant(QString())});
        return;
    }

    sheet::Value value;
    const char* dateFormat = nullptr;
    QVariant journaled = v; // what a replay passes to setValue again
    switch (type) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: value = sheet::Value::makeNumber(v.toDouble()); break;
    case QMetaType::Bool: value = sheet::Value::makeBoolean(v.toBool()); break;
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        if (!d.isValid())
            throw HostError(QStringLiteral("Data non valida."));
        value = sheet::Value::makeNumber(dateToSerial(d, wb.date1904));
        dateFormat = "dd/mm/yyyy";
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            throw HostError(QStringLiteral("Data non valida."));
        const QTime t = dt.time();
        value = sheet::Value::makeNumber(dateToSerial(dt.date(), wb.date1904) + t.msecsSinceStartOfDay() / 86400000.0);
        dateFormat = "dd/mm/yyyy hh:mm";
        break;
    }
    default:
        // Texts (and anything else, as its text) are stored exactly as given.
        value = sheet::Value::makeText(toStd(v.toString()));
        journaled = v.toString();
        break;
    }
    if (value.type == CellType::Number && !std::isfinite(value.number))
        throw HostError(QStringLiteral("Valore numerico non valido."));

    for (int r = r1_ - 1; r < r2_; ++r)
        for (int c = c1_ - 1; c < c2_; ++c) {
            ws.setValue(r, c, value);
            if (dateFormat) {
                const uint16_t xf = ws.cell(r, c).xf;
                if (!wb.isDateFormat(xf) || wb.numberFormatOfXf(xf) != dateFormat)
                    ws.setFormat(r, c, wb.xfWithNumberFormat(xf, dateFormat));
            }
        }
    sheet_->changed(changes::Op::SetValue, r1_, c1_, r2_, c2_, {journaled});
}

QString Range::text() const
{
    if (!sheet_)
        invalidRange();
    return sheet_->text(r1_, c1_);
}

bool Range::isEmpty() const
{
    if (!sheet_)
        invalidRange();
    return sheet_->isEmpty(r1_, c1_);
}

std::optional<double> Range::number() const
{
    if (!sheet_)
        invalidRange();
    return sheet_->identifier(r1_, c1_);
}

QDate Range::date() const
{
    if (!sheet_)
        invalidRange();
    return sheet_->date(r1_, c1_);
}

Range Range::offset(int rows, int cols) const { return Range(sheet_, r1_ + rows, c1_ + cols, r2_ + rows, c2_ + cols); }

Range Range::cells(int row, int col) const
{
    const int r = r1_ + row - 1, c = c1_ + col - 1;
    return Range(sheet_, r, c, r, c);
}

Range Range::end(Direction d) const
{
    if (!sheet_)
        invalidRange();
    const sheet::Worksheet& ws = sheet_->model();
    int r = r1_ - 1, c = c1_ - 1;
    switch (d) {
    case Direction::Down: r = endInColumn(ws, r, c, true); break;
    case Direction::Up: r = endInColumn(ws, r, c, false); break;
    case Direction::ToRight: c = endInRow(ws, r, c, true); break;
    case Direction::ToLeft: c = endInRow(ws, r, c, false); break;
    }
    return Range(sheet_, r + 1, c + 1, r + 1, c + 1);
}

Range Range::entireRow() const { return Range(sheet_, r1_, 1, r2_, kMaxCols); }

Range Range::resize(int rows, int cols) const { return Range(sheet_, r1_, c1_, r1_ + rows - 1, c1_ + cols - 1); }

void Range::deleteEntireRow()
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    sheet_->model().deleteRows(r1_ - 1, rowCount());
    sheet_->changed(changes::Op::DeleteRows, r1_, c1_, r2_, c2_);
}

void Range::insertEntireRow()
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    // The rows pushed past the sheet's last row would be lost: refused when they hold anything.
    const sheet::Worksheet& ws = sheet_->model();
    for (int r = std::max(kMaxRows - rowCount(), r1_ - 1); r < int(ws.rows.size()); ++r)
        for (const sheet::Cell& c : ws.rows[size_t(r)].cells)
            if (c.type != sheet::CellType::Empty)
                throw HostError(QStringLiteral("Impossibile inserire righe nel foglio %1: la riga %2 non è vuota e "
                                               "uscirebbe dal foglio.")
                                    .arg(sheet_->name())
                                    .arg(r + 1));
    sheet_->model().insertRows(r1_ - 1, rowCount());
    sheet_->changed(changes::Op::InsertRows, r1_, c1_, r2_, c2_);
}

void Range::deleteShiftUp()
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    if (c1_ == 1 && c2_ == kMaxCols) {
        deleteEntireRow();
        return;
    }
    sheet::Worksheet& ws = sheet_->model();
    ws.dropFormulas(); // as for every move of cells: formulas become their values
    const int n = rowCount();
    const int stored = static_cast<int>(ws.rows.size());
    for (int r = r1_ - 1; r < stored; ++r) {
        auto& dst = ws.rows[r].cells;
        for (int c = c1_ - 1; c < c2_; ++c) {
            const Cell from = r + n < stored ? ws.cell(r + n, c) : Cell{};
            if (c >= static_cast<int>(dst.size())) {
                if (from.type == CellType::Empty && !from.blankFormatted)
                    continue;
                dst.resize(c + 1);
            }
            dst[c] = from;
        }
    }
    sheet_->changed(changes::Op::DeleteShiftUp, r1_, c1_, r2_, c2_);
}

void Range::clearContents()
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    sheet_->model().clearContents({r1_ - 1, r2_ - 1, c1_ - 1, c2_ - 1});
    sheet_->changed(changes::Op::ClearContents, r1_, c1_, r2_, c2_);
}

void Range::clear()
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    sheet::Worksheet& ws = sheet_->model();
    if (r1_ == 1 && r2_ == kMaxRows && c1_ == 1 && c2_ == kMaxCols)
        ws.clearAll();
    else
        ws.clear({r1_ - 1, r2_ - 1, c1_ - 1, c2_ - 1});
    sheet_->changed(changes::Op::Clear, r1_, c1_, r2_, c2_);
}

namespace {

bool boldCell(const sheet::Workbook& wb, const Cell& c)
{
    if (c.xf >= wb.formats.size())
        return false;
    const uint16_t font = wb.formats[c.xf].fontIndex;
    return font < wb.fonts.size() && wb.fonts[font].bold;
}

} // namespace

void Range::sort(int keyColumn, bool ascending, SortHeader header)
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    if (keyColumn < c1_ || keyColumn > c2_)
        throw HostError(QStringLiteral("La colonna di ordinamento %1 è fuori dall'intervallo %2.")
                            .arg(columnLetters(std::max(1, std::min(keyColumn, kMaxCols))), address()));
    sheet::Worksheet& ws = sheet_->model();
    const sheet::Workbook& wb = sheet_->book()->model();
    bool hasHeader = header == SortHeader::Yes;
    if (header == SortHeader::Guess && r2_ > r1_) {
        // The first row is headings when its key is a text over a key that is not
        // one (a number, a date, a boolean), or a bold text over a plain text.
        const Cell& a = ws.cell(r1_ - 1, keyColumn - 1);
        const Cell& b = ws.cell(r1_, keyColumn - 1);
        hasHeader = a.type == CellType::Text && b.type != CellType::Empty
            && (b.type != CellType::Text || (boldCell(wb, a) && !boldCell(wb, b)));
    }
    const int first = r1_ - 1 + (hasHeader ? 1 : 0);
    // Rows past the stored ones are empty: blanks stay last, so they need no sorting.
    const int last = std::min(r2_ - 1, static_cast<int>(ws.rows.size()) - 1);
    if (last > first)
        ws.sortRows({first, last, c1_ - 1, c2_ - 1}, keyColumn - 1, ascending);
    sheet_->changed(changes::Op::Sort, r1_, c1_, r2_, c2_, {keyColumn, ascending, static_cast<int>(header)});
}

namespace {

// Applies `mapXf` to the format of every cell of the block; whole columns and
// whole rows also change the column's / row's format, so that cells filled
// later show it too.
void applyToFormats(Sheet& sheet, int r1, int c1, int r2, int c2, const std::function<uint16_t(uint16_t)>& mapXf)
{
    sheet::Worksheet& ws = ModelAccess::worksheet(sheet);
    const bool wholeCols = r1 == 1 && r2 == kMaxRows;
    const bool wholeRows = c1 == 1 && c2 == kMaxCols;
    const int rEnd = wholeCols ? std::min(r2, static_cast<int>(ws.rows.size())) : r2;
    for (int r = r1 - 1; r < rEnd; ++r) {
        const int stored = r < static_cast<int>(ws.rows.size()) ? static_cast<int>(ws.rows[r].cells.size()) : 0;
        const int cEnd = wholeRows ? std::min(c2, stored) : c2;
        for (int c = c1 - 1; c < cEnd; ++c)
            ws.setFormat(r, c, mapXf(ws.cell(r, c).xf));
    }
    if (wholeCols && !wholeRows) {
        for (int c = c1 - 1; c < c2; ++c) {
            ws.setColumnWidth(c, ws.columnWidth(c)); // makes a COLINFO of this column alone
            for (auto& ci : ws.columns)
                if (ci.firstCol == c && ci.lastCol == c)
                    ci.xf = mapXf(ci.xf);
        }
    }
    if (wholeRows && !wholeCols) {
        if (r2 > static_cast<int>(ws.rows.size()))
            ws.rows.resize(r2);
        for (int r = r1 - 1; r < r2; ++r) {
            auto& info = ws.rows[r].info;
            info.xf = mapXf((info.flags & 0x80) ? info.xf : 15);
            info.flags |= 0x80;
            info.present = true;
        }
    }
    sheet.touch();
}

} // namespace

void Range::setNumberFormat(const QString& format)
{
    if (!sheet_)
        invalidRange();
    sheet_->book()->ensureWritable(sheet_);
    sheet::Workbook& wb = sheet_->book()->model();
    const std::string f = toStd(format);
    applyToFormats(*sheet_, r1_, c1_, r2_, c2_, [&](uint16_t xf) { return wb.xfWithNumberFormat(xf, f); });
    sheet_->changed(changes::Op::NumberFormat, r1_, c1_, r2_, c2_, {format});
}

void Range::setFontSize(double points)
{
    if (!sheet_)
        invalidRange();
    if (!(points >= 1 && points <= 409))
        throw HostError(QStringLiteral("Dimensione del carattere non valida."));
    sheet::Workbook& wb = sheet_->book()->model();
    const auto twips = static_cast<uint16_t>(std::lround(points * 20));
    applyToFormats(*sheet_, r1_, c1_, r2_, c2_, [&](uint16_t xf) { return xfWithFontHeight(wb, xf, twips); });
    sheet_->changed(changes::Op::FontSize, r1_, c1_, r2_, c2_, {points});
}

void Range::autoFitColumns()
{
    if (!sheet_)
        invalidRange();
    sheet::Worksheet& ws = sheet_->model();
    const sheet::Workbook& wb = sheet_->book()->model();
    const int lastCol = std::min(c2_, ws.lastCol() + 1);
    const double digitPx = digitWidthPx(wb);
    for (int c = c1_; c <= lastCol; ++c) {
        const double widest = widestTextPx(wb, ws, c - 1, r1_ - 1, r2_ - 1);
        if (widest <= 0)
            continue;
        // In 1/256 of a digit's width, with the cell's padding (a few pixels
        // each side) and a hair for the printer's own rounding.
        const double px = widest * 1.03 + 7;
        const long width = std::min<long>(255 * 256, std::lround(std::ceil(px / digitPx * 256)));
        ws.setColumnWidth(c - 1, static_cast<uint16_t>(width));
    }
    sheet_->changed(changes::Op::AutoFit, r1_, c1_, r2_, c2_);
}

// ================================================================ Sheet

Sheet::Sheet(Book* book, sheet::Worksheet* model) : book_(book), model_(model) {}

QString Sheet::name() const { return fromStd(model_->name); }

bool Sheet::visible() const { return model_->visibility == sheet::Visibility::Visible; }

void Sheet::setVisible(bool visible)
{
    const auto v = visible ? sheet::Visibility::Visible : sheet::Visibility::Hidden;
    fileVisibility_.reset(); // a choice of the user's: the file gets it
    if (model_->visibility != v) {
        model_->visibility = v;
        changed(changes::Op::Visible, 1, 1, 1, 1, {visible});
    }
}

void Sheet::showForWork()
{
    if (!fileVisibility_)
        fileVisibility_ = model_->visibility;
    model_->visibility = sheet::Visibility::Visible;
}

Range Sheet::range(const QString& a1)
{
    int r1, c1, r2, c2;
    if (!parseA1(a1, r1, c1, r2, c2))
        throw HostError(QStringLiteral("Riferimento di cella non valido: \"%1\".").arg(a1));
    return Range(this, r1, c1, r2, c2);
}

Range Sheet::cells(int row, int col) { return Range(this, row, col, row, col); }

Range Sheet::rows(int firstRow, int lastRow) { return Range(this, firstRow, 1, lastRow, kMaxCols); }

Range Sheet::allCells() { return Range(this, 1, 1, kMaxRows, kMaxCols); }

const Cell& Sheet::cellAt(int row, int col) const
{
    if (row < 1 || row > kMaxRows || col < 1 || col > kMaxCols)
        invalidRange();
    return storedCell(*model_, row - 1, col - 1);
}

QVariant Sheet::value(int row, int col) const
{
    const Cell& c = cellAt(row, col);
    switch (c.type) {
    case CellType::Empty: return QString();
    case CellType::Number: return c.number;
    case CellType::Text: return fromStd(book_->model().string(c.str));
    case CellType::Boolean: return c.small != 0;
    case CellType::Error: return fromStd(sheet::errorText(c.small));
    }
    return QString();
}

std::optional<double> Sheet::identifier(int row, int col) const
{
    const Cell& c = cellAt(row, col);
    if (c.type == CellType::Number)
        return std::isfinite(c.number) ? std::optional<double>(c.number) : std::nullopt;
    if (c.type == CellType::Text)
        return toIdentifier(fromStd(book_->model().string(c.str)));
    return std::nullopt;
}

QString Sheet::text(int row, int col) const
{
    const Cell& c = cellAt(row, col);
    if (c.type == CellType::Empty)
        return QString();
    const sheet::Workbook& wb = book_->model();
    if (c.type == CellType::Text && c.xf < wb.formats.size()) {
        // A text in the General or the text format ("@", 49) shows as it is:
        // the names of a register are read without going through a format.
        const uint16_t id = wb.formats[c.xf].numFmtId;
        if ((id == 0 || id == 49) && !wb.numberFormats.contains(id))
            return fromStd(wb.string(c.str));
    }
    return fromStd(sheet::cellText(wb, *model_, row - 1, col - 1, italian()));
}

bool Sheet::isEmpty(int row, int col) const { return cellAt(row, col).type == CellType::Empty; }

bool Sheet::isDate(int row, int col) const
{
    const Cell& c = cellAt(row, col);
    return c.type == CellType::Number && book_->model().isDateFormat(c.xf);
}

QDate Sheet::date(int row, int col) const
{
    const Cell& c = cellAt(row, col);
    if (c.type == CellType::Number)
        return serialToDate(c.number, book_->model().date1904);
    // A date kept as text in the sheet may also be written with dots ("12.10.2008").
    if (c.type == CellType::Text)
        return parseDate(fromStd(book_->model().string(c.str)).replace(QLatin1Char('.'), QLatin1Char('/')));
    return {};
}

QDateTime Sheet::dateTime(int row, int col) const
{
    if (!isDate(row, col))
        return {};
    const double serial = cellAt(row, col).number;
    const bool date1904 = book_->model().date1904;
    if (!serialToDate(serial, date1904).isValid()) // no real day
        return {};
    const auto dt = sheet::serialToDateTime(serial, date1904);
    if (!dt)
        return {};
    return QDateTime(QDate(dt->year, dt->month, dt->day), QTime(dt->hour, dt->minute, dt->second));
}

int Sheet::lastRowInColumn(int col) const
{
    if (col < 1 || col > kMaxCols)
        invalidRange();
    return model_->lastRowInColumn(col - 1) + 1;
}

std::vector<int> Sheet::walkDown(const QString& startA1)
{
    const Range start = range(startA1);
    return walkDown(start.row(), start.column());
}

std::vector<int> Sheet::walkDown(int startRow, int column) const
{
    if (startRow < 1 || startRow > kMaxRows || column < 1 || column > kMaxCols)
        invalidRange();
    // Down to where End goes, stopping at the first empty cell: that is the
    // unbroken run that starts here (nothing when the start is empty).
    std::vector<int> rows;
    for (int r = startRow - 1; r < kMaxRows && filled(*model_, r, column - 1); ++r)
        rows.push_back(r + 1);
    return rows;
}

void Sheet::copyValues(const Sheet& from, int fromRow, int fromCol, int row, int col, int count)
{
    if (from.book_ != book_)
        throw HostError(QStringLiteral("I valori si copiano solo tra fogli della stessa cartella di lavoro."));
    if (count <= 0)
        return;
    if (fromRow < 1 || fromRow > kMaxRows || row < 1 || row > kMaxRows || fromCol < 1 || col < 1
        || fromCol + count - 1 > kMaxCols || col + count - 1 > kMaxCols)
        invalidRange();
    const sheet::Worksheet& src = from.model();
    sheet::Worksheet& ws = *model_;
    for (int i = 0; i < count; ++i) {
        const Cell& s = src.cell(fromRow - 1, fromCol - 1 + i);
        if (s.type == CellType::Empty) {
            ws.setValue(row - 1, col - 1 + i, sheet::Value::makeEmpty());
            continue;
        }
        // Same workbook: a text keeps its entry in the shared strings.
        Cell& d = ws.cellRef(row - 1, col - 1 + i);
        d.formula = 0;
        d.type = s.type;
        d.number = s.type == CellType::Number ? s.number : 0;
        d.small = s.small;
        d.str = s.type == CellType::Text ? s.str : 0;
    }
    touch();
}

QStringList Sheet::rowTexts(int row, int firstCol, int lastCol) const
{
    if (row < 1 || row > kMaxRows || firstCol < 1 || lastCol > kMaxCols || firstCol > lastCol)
        invalidRange();
    const sheet::Workbook& wb = book_->model();
    QStringList out;
    out.reserve(lastCol - firstCol + 1);
    for (int c = firstCol; c <= lastCol; ++c)
        out << (filled(*model_, row - 1, c - 1) ? fromStd(sheet::cellText(wb, *model_, row - 1, c - 1, italian()))
                                                : QString());
    return out;
}

CellBlock::CellBlock(const Sheet& sheet, const std::vector<int>& rows, int firstCol, int lastCol)
{
    if (firstCol < 1 || lastCol > kMaxCols || firstCol > lastCol)
        invalidRange();
    const sheet::Workbook& wb = sheet.book()->model();
    const sheet::Worksheet& ws = sheet.model();
    columns_ = lastCol - firstCol + 1;
    date1904_ = wb.date1904;
    cells_.reserve(rows.size() * size_t(columns_));
    std::unordered_map<uint16_t, uint16_t> formatOfXf;
    for (int row : rows) {
        if (row < 1 || row > kMaxRows)
            invalidRange();
        for (int c = firstCol; c <= lastCol; ++c) {
            const Cell& cell = ws.cell(row - 1, c - 1);
            Entry e;
            e.type = cell.type;
            e.number = cell.number;
            e.small = cell.small;
            if (cell.type == CellType::Text) {
                e.text = uint32_t(texts_.size());
                texts_.push_back(wb.string(cell.str));
            }
            if (cell.type != CellType::Empty) {
                auto it = formatOfXf.find(cell.xf);
                if (it == formatOfXf.end()) {
                    // The built-in short dates (14, 22) follow the locale.
                    std::string f = wb.numberFormatOfXf(cell.xf);
                    const uint16_t id = cell.xf < wb.formats.size() ? wb.formats[cell.xf].numFmtId : 0;
                    if (id == 14)
                        f = italian().shortDate;
                    else if (id == 22)
                        f = italian().shortDate + " hh:mm";
                    it = formatOfXf.emplace(cell.xf, uint16_t(formats_.size())).first;
                    formats_.push_back(std::move(f));
                }
                e.format = it->second;
            }
            cells_.push_back(e);
        }
    }
}

QString CellBlock::text(int row, int col) const
{
    if (row < 0 || col < 0 || col >= columns_ || row >= rowCount())
        return QString();
    const Entry& e = cells_[size_t(row) * size_t(columns_) + size_t(col)];
    sheet::Value v;
    switch (e.type) {
    case CellType::Empty: return QString();
    case CellType::Number: v = sheet::Value::makeNumber(e.number); break;
    case CellType::Text: v = sheet::Value::makeText(texts_[e.text]); break;
    case CellType::Boolean: v = sheet::Value::makeBoolean(e.small != 0); break;
    case CellType::Error: v = sheet::Value::makeError(e.small); break;
    }
    return fromStd(sheet::formatValue(v, formats_[e.format], date1904_, italian()));
}

int Sheet::findIdentifier(int column, double id, int startRow) { return identifierRow(column, id, startRow, false); }

int Sheet::findLastIdentifier(int column, double id, int startRow) { return identifierRow(column, id, startRow, true); }

constexpr size_t kPrefetchRows = 16;

int Sheet::identifierRow(int column, double id, int startRow, bool last) const
{
    if (startRow < 1 || startRow > kMaxRows || column < 1 || column > kMaxCols)
        invalidRange();
    const sheet::Workbook& wb = book_->model();
    // The stored rows read in place: past them, or past a row too short to
    // reach the column, the column is empty and the walk ends.
    const std::vector<sheet::Row>& rows = model_->rows;
    const size_t col0 = size_t(column - 1);
    int found = 0;
    const size_t end = rows.size();
    for (size_t r = size_t(startRow - 1); r < end; ++r) {
        // Each row's cells are a block of their own: the walk waits on memory,
        // so the cell a few rows down is asked for before it is needed.
        if (r + kPrefetchRows < end) {
            const std::vector<Cell>& ahead = rows[r + kPrefetchRows].cells;
            if (col0 < ahead.size())
                __builtin_prefetch(&ahead[col0]);
        }
        const std::vector<Cell>& cells = rows[r].cells;
        if (col0 >= cells.size())
            break;
        const Cell& c = cells[col0];
        if (c.type == CellType::Number ? c.number == id
                                       : c.type == CellType::Text && sameIdentifier(fromStd(wb.string(c.str)), id)) {
            found = int(r) + 1;
            if (!last)
                break;
        } else if (c.type == CellType::Empty) {
            break;
        }
    }
    return found;
}

int Sheet::nextRecordRow(int keyColumn, int lastColumn, int startRow)
{
    if (startRow < 1 || startRow > kMaxRows || keyColumn < 1 || keyColumn > kMaxCols || lastColumn < 1
        || lastColumn > kMaxCols)
        invalidRange();
    int r = startRow - 1; // from 0
    while (r < kMaxRows && filled(*model_, r, keyColumn - 1))
        ++r;
    if (r >= kMaxRows)
        throw HostError(QStringLiteral("Il foglio %1 è pieno: non c'è una riga libera.").arg(name()));
    for (int c = 0; c < lastColumn; ++c)
        if (filled(*model_, r, c))
            throw HostError(QStringLiteral("La riga %1 del foglio %2 non è vuota ma non ha il numero: correggerla "
                                           "prima di aggiungere.")
                                .arg(r + 1)
                                .arg(name()));
    return r + 1;
}

void Sheet::pasteRow(const Sheet& from, int fromRow, int toRow)
{
    if (fromRow < 1 || fromRow > kMaxRows || toRow < 1 || toRow > kMaxRows)
        invalidRange();
    book_->ensureWritable(this);
    sheet::Worksheet& dst = *model_;
    const sheet::Worksheet& src = from.model();
    const QVariantList args = {from.book() == book_ ? QString() : from.book()->fileName(), from.name(), fromRow, toRow};
    if (&dst == &src) {
        dst.copyRow(fromRow - 1, toRow - 1);
        changed(changes::Op::PasteRow, 1, 1, 1, 1, args);
        return;
    }
    sheet::Workbook& dwb = book_->model();
    const sheet::Workbook& swb = from.book()->model();
    const bool sameBook = &dwb == &swb;

    sheet::Row copy = fromRow - 1 < static_cast<int>(src.rows.size()) ? src.rows[fromRow - 1] : sheet::Row{};
    FormatCopier formats(dwb, swb);
    for (Cell& c : copy.cells) {
        c.formula = 0; // a formula of another sheet arrives as its value
        if (!sameBook) {
            if (c.type == CellType::Text)
                c.str = dwb.intern(swb.string(c.str));
            c.xf = formats.map(c.xf);
        }
    }
    if (!sameBook && (copy.info.flags & 0x80))
        copy.info.xf = formats.map(copy.info.xf);
    if (toRow > static_cast<int>(dst.rows.size()))
        dst.rows.resize(toRow);
    dst.rows[toRow - 1] = std::move(copy);
    changed(changes::Op::PasteRow, 1, 1, 1, 1, args);
}

void Sheet::freezePanes(int rows, int cols)
{
    rows = std::clamp(rows, 0, kMaxRows - 1);
    cols = std::clamp(cols, 0, kMaxCols - 1);
    if (model_->frozenRows == rows && model_->frozenCols == cols)
        return;
    model_->frozenRows = rows;
    model_->frozenCols = cols;
    changed(changes::Op::FreezePanes, 1, 1, 1, 1, {rows, cols});
}

void Sheet::setScrollArea(const QString& a1)
{
    if (a1.trimmed().isEmpty()) {
        model_->scrollArea.reset();
        return;
    }
    const Range r = range(a1);
    model_->scrollArea = sheet::CellRange{r.row() - 1, r.lastRow() - 1, r.column() - 1, r.lastColumn() - 1};
}

QString Sheet::scrollArea() const
{
    if (!model_->scrollArea)
        return {};
    const auto& a = *model_->scrollArea;
    return Range(const_cast<Sheet*>(this), a.firstRow + 1, a.firstCol + 1, a.lastRow + 1, a.lastCol + 1).address();
}

sheet::PageSetup& Sheet::pageSetup()
{
    // Handed out to be changed: the workbook is saved again either way, and the
    // journal gets the whole setup at its next commit.
    touch();
    if (!book_->replaying_ && book_->viewOnly_ == 0)
        pageSetupHandedOut_ = true;
    return model_->pageSetup;
}

void Sheet::setPrintArea(const QString& a1)
{
    if (a1.trimmed().isEmpty()) {
        model_->pageSetup.printArea.reset();
    } else {
        const Range r = range(a1);
        model_->pageSetup.printArea = sheet::CellRange{r.row() - 1, r.lastRow() - 1, r.column() - 1,
                                                       r.lastColumn() - 1};
    }
    model_->pageSetup.printAreaChanged = true;
    changed(changes::Op::PrintArea, 1, 1, 1, 1, {a1});
}

void Sheet::touch() { book_->model().modified = true; }

void Sheet::changed(changes::Op op, int r1, int c1, int r2, int c2, const QVariantList& args)
{
    touch();
    // The program's scratch sheets (query results) are rebuilt by every query
    // and hold nothing confirmed: they are not journaled.
    if (book_->journal_ && !book_->replaying_ && book_->viewOnly_ == 0 && !book_->isWorkSheet(name()))
        book_->record(changes::encode(op, name(), r1, c1, r2, c2, args));
}

int Sheet::hPageBreaksCount()
{
    if (PrintBackend* backend = book_->host()->printBackend())
        return backend->pageBreaks(*this);
    return 0;
}

void Sheet::printOut(const PrintRequest& request)
{
    SpreadsheetHost* host = book_->host();
    if (PrintBackend* backend = host->printBackend())
        backend->printOut(*this, request);
    else
        host->recordedPrints.push_back({name(), request});
}

// ================================================================ Book

struct Book::Lock {
    std::unique_ptr<WorkbookLock> lock;
};

// Sharing the folder with others: read-only consultation, and what the file
// was when last read or written.
struct Book::Sharing {
    std::optional<LockOwner> holder; // set: read-only, held by this one
    QStringList workSheets;
    int scratchDepth = 0;
    QString savePath;      // the workbook's file, or its conflict copy
    FileIdentity identity; // of savePath as last read or written
    QString conflictNotice;
};

Book::Book(SpreadsheetHost* host, QString path, std::unique_ptr<xls::XlsDocument> doc)
    : host_(host), path_(std::move(path)), doc_(std::move(doc)), sharing_(std::make_unique<Sharing>())
{
    sharing_->savePath = path_;
}

Book::~Book() = default;

QString Book::fileName() const { return QFileInfo(path_).fileName(); }

QString Book::path() const { return path_; }

sheet::Workbook& Book::model() const { return *doc_->workbook; }

Sheet* Book::sheetOrNull(const QString& name)
{
    sheet::Worksheet* ws = model().sheet(toStd(name));
    if (!ws)
        return nullptr;
    for (const auto& s : sheets_)
        if (&s->model() == ws)
            return s.get();
    sheets_.push_back(std::make_unique<Sheet>(this, ws));
    return sheets_.back().get();
}

Sheet* Book::sheet(const QString& name)
{
    if (Sheet* s = sheetOrNull(name))
        return s;
    throw HostError(QStringLiteral("Il foglio \"%1\" non esiste nella cartella di lavoro %2.").arg(name, fileName()));
}

QStringList Book::sheetNames() const
{
    QStringList names;
    for (const auto& ws : model().sheets)
        names << fromStd(ws->name);
    return names;
}

Sheet* Book::addSheet(const QString& name)
{
    ensureWritable();
    if (model().sheet(toStd(name)))
        throw HostError(
            QStringLiteral("Il foglio \"%1\" esiste già nella cartella di lavoro %2.").arg(name, fileName()));
    static const QRegularExpression bad(QStringLiteral("[\\[\\]:*?/\\\\]"));
    if (name.trimmed().isEmpty() || name.size() > 31 || name.contains(bad))
        throw HostError(QStringLiteral("Nome di foglio non valido: \"%1\".").arg(name));
    model().addSheet(toStd(name));
    model().modified = true;
    if (journal_ && !replaying_ && viewOnly_ == 0)
        record(changes::encode(changes::Op::AddSheet, name, 1, 1, 1, 1));
    return sheetOrNull(name);
}

bool Book::modified() const { return model().modified; }

bool Book::readOnly() const { return sharing_->holder.has_value(); }

const LockOwner* Book::holder() const { return sharing_->holder ? &*sharing_->holder : nullptr; }

void Book::ensureWritable(const Sheet* sheet) const
{
    if (!readOnly())
        return;
    if (sheet && (sharing_->scratchDepth > 0 || sharing_->workSheets.contains(sheet->name(), Qt::CaseInsensitive)))
        return;
    throw HostError(QStringLiteral("%1 è aperta in sola lettura: nessuna modifica è possibile.").arg(fileName()));
}

void Book::setWorkSheets(const QStringList& names) { sharing_->workSheets = names; }

bool Book::isWorkSheet(const QString& name) const { return sharing_->workSheets.contains(name, Qt::CaseInsensitive); }

QString Book::savePath() const { return sharing_->savePath; }

QString Book::takeConflictNotice() { return std::exchange(sharing_->conflictNotice, QString()); }

QString Book::saveTarget()
{
    Sharing& s = *sharing_;
    if (fileUnchangedSince(s.savePath, s.identity))
        return s.savePath;
    // Someone else's version is there: it stays, ours goes beside it.
    const QString copy = conflictCopyPath(path_, host_->now());
    s.conflictNotice = QStringLiteral("Il file %1 è stato modificato da un altro utente o programma dopo che questo "
                                      "programma lo ha letto: non è stato sovrascritto.\n"
                                      "Le modifiche fatte qui sono salvate in \"%2\", nella stessa cartella, "
                                      "fino alla chiusura del programma.")
                           .arg(QFileInfo(s.savePath).fileName(), QFileInfo(copy).fileName());
    s.savePath = copy;
    s.identity = FileIdentity{};
    return copy;
}

ScratchChanges::ScratchChanges(Book* book) : book_(book)
{
    if (book_)
        ++book_->sharing_->scratchDepth;
}

ScratchChanges::~ScratchChanges()
{
    if (book_)
        --book_->sharing_->scratchDepth;
}

void Book::save()
{
    // A consultation copy is never written: its only changes are scratch work.
    if (readOnly())
        return;
    // The sheets shown for the program's own work are written as the file had them.
    std::vector<std::pair<sheet::Worksheet*, sheet::Visibility>> shown;
    for (const auto& s : sheets_)
        if (s->fileVisibility_) {
            shown.emplace_back(&s->model(), s->model().visibility);
            s->model().visibility = *s->fileVisibility_;
        }
    auto written = xls::writeXls(*doc_);
    for (const auto& [ws, visibility] : shown)
        ws->visibility = visibility;
    if (!written)
        throw HostError(QStringLiteral("Impossibile salvare la cartella di lavoro %1: %2.")
                            .arg(fileName(), lowerFirst(fromStd(written.error().message))));
    const std::vector<uint8_t>& bytes = written.value();
    // A workbook with a password never reaches the disk in clear.
    const bool mustEncrypt = doc_->encryption != sheet::Encryption::None
        || model().encryption != sheet::Encryption::None || !doc_->password.empty();
    if (mustEncrypt && !isEncryptedXls(bytes))
        throw HostError(QStringLiteral("Impossibile salvare la cartella di lavoro %1: il contenuto non risulta cifrato "
                                       "con la password della cartella di lavoro.")
                            .arg(fileName()));
    const QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    saveWarnings_.clear();
    QString backupWarning;
    const QString target = saveTarget();
    saveFileAtomically(target, data, QFileInfo(target).fileName(), host_->writeSink(), &backupWarning);
    sharing_->identity = FileIdentity::of(target, data);
    model().modified = false;
    if (!backupWarning.isEmpty())
        saveWarnings_ << backupWarning;

    // The journal's records are in the file now.
    if (!journal_)
        journal_ = std::make_unique<Journal>(path_, doc_->password);
    journal_->clear();
    journal_->setBase(sharing_->identity.digest);
    for (const auto& s : sheets_)
        s->pageSetupHandedOut_ = false;

    const QString copyWarning = keepDatedCopy(path_, data);
    if (!copyWarning.isEmpty())
        saveWarnings_ << copyWarning;
}

void Book::record(const QByteArray& change)
{
    journal_->append(change);
    host_->scheduleCommit();
}

void Book::commitJournal()
{
    if (!journal_)
        return;
    for (const auto& s : sheets_)
        if (s->pageSetupHandedOut_) {
            s->pageSetupHandedOut_ = false;
            record(changes::encode(changes::Op::PageSetup, s->name(), 1, 1, 1, 1,
                                   changes::pageSetupImage(s->model().pageSetup)));
        }
    journal_->commit();
}

void Book::startJournal(const QByteArray& digest)
{
    journal_ = std::make_unique<Journal>(path_, doc_->password);
    const Journal::Recovery found = journal_->recover(digest);
    journal_->setBase(digest);
    if (found.found != Journal::Found::Records)
        return;
    replaying_ = true;
    for (const QByteArray& change : found.records) {
        try {
            changes::apply(*this, change);
        } catch (const HostError& e) {
            qWarning() << "Modifica registrata non applicabile a" << fileName() << ":" << e.message();
            break;
        }
        ++recovered_;
    }
    replaying_ = false;
    if (recovered_ > 0)
        model().modified = true;
}

Book::ViewOnly::ViewOnly(Book* book) : book_(book), wasModified_(book->modified()) { ++book_->viewOnly_; }

Book::ViewOnly::~ViewOnly()
{
    --book_->viewOnly_;
    book_->model().modified = wasModified_;
}

void Book::close() { host_->close(this); }

// ================================================================ SpreadsheetHost

namespace {
std::vector<SpreadsheetHost*>& liveHosts()
{
    static std::vector<SpreadsheetHost*> hosts;
    return hosts;
}
} // namespace

SpreadsheetHost::SpreadsheetHost(QObject* parent) : QObject(parent) { liveHosts().push_back(this); }

SpreadsheetHost::~SpreadsheetHost()
{
    closeAll();
    std::erase(liveHosts(), this);
}

namespace {

// One spelling per file, so that the same workbook is never opened twice:
// links resolved, also for a file that does not exist yet (create).
QString normalPath(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(fi.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return QDir::cleanPath(fi.absoluteFilePath());
    return QDir(folder).filePath(fi.fileName());
}

QString openError(const QString& fileName, const xls::Error& e)
{
    return QStringLiteral("Impossibile aprire la cartella di lavoro %1: %2.")
        .arg(fileName, lowerFirst(fromStd(e.message)));
}

} // namespace

Book* SpreadsheetHost::open(const QString& path, const QString& password, OpenMode mode)
{
    const QString full = normalPath(path);
    for (const auto& b : books_)
        if (b->path() == full) {
            active_ = b.get();
            return b.get();
        }
    const QString fileName = QFileInfo(full).fileName();
    if (!QFileInfo(full).isFile())
        throw HostError(openError(fileName, xls::makeError(xls::ErrorCode::FileMissing)));

    // Read-only: no lock of ours, the holder's stays as it is.
    std::unique_ptr<WorkbookLock> lock;
    if (mode != OpenMode::ReadOnly)
        lock = std::make_unique<WorkbookLock>(full, mode == OpenMode::TakeOverLock); // throws when someone else has it

    QFile file(full);
    if (!file.open(QIODevice::ReadOnly))
        throw HostError(openError(fileName, xls::makeError(xls::ErrorCode::FileUnreadable)));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw HostError(openError(fileName, xls::makeError(xls::ErrorCode::FileUnreadable)));
    file.close();

    const std::string pw = toStd(password);
    auto read = xls::readXls(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size())),
        pw);
    if (!read)
        throw HostError(openError(fileName, read.error()));
    auto doc = std::make_unique<xls::XlsDocument>(std::move(read.value()));
    if (doc->encryption != sheet::Encryption::None && doc->password.empty() && !doc->defaultPassword)
        doc->password = pw;
    doc->workbook->modified = false;

    std::unique_ptr<Book> book(new Book(this, full, std::move(doc)));
    book->lock_ = std::make_unique<Book::Lock>(Book::Lock{std::move(lock)});
    book->sharing_->identity = FileIdentity::of(full, data);
    if (mode == OpenMode::ReadOnly) {
        // The journal beside it is the holder's: neither replayed nor written here.
        book->sharing_->holder = readLockHolder(full).value_or(LockOwner{});
    } else {
        // Ours now: what an interrupted save left goes, and what the journal kept comes back.
        removeLeftoverTemporaries(full);
        book->startJournal(book->sharing_->identity.digest); // the same SHA-256 of the bytes read
    }
    books_.push_back(std::move(book));
    active_ = books_.back().get();
    return active_;
}

Book* SpreadsheetHost::create(const QString& path, const QString& password)
{
    const QString full = normalPath(path);
    for (const auto& b : books_)
        if (b->path() == full)
            throw HostError(QStringLiteral("La cartella di lavoro %1 è già aperta.").arg(b->fileName()));
    auto lock = std::make_unique<WorkbookLock>(full);

    auto doc = std::make_unique<xls::XlsDocument>();
    doc->workbook = sheet::newWorkbook();
    doc->container.root.type = 5;
    doc->container.root.name = u"Root Entry";
    doc->password = toStd(password);
    if (!password.isEmpty()) {
        doc->encryption = sheet::Encryption::Rc4CryptoApi;
        doc->workbook->encryption = sheet::Encryption::Rc4CryptoApi;
    }
    doc->workbook->modified = true;

    std::unique_ptr<Book> book(new Book(this, full, std::move(doc)));
    book->lock_ = std::make_unique<Book::Lock>(Book::Lock{std::move(lock)});
    // A file already there is replaced on purpose; one that appears or changes
    // before the save is someone else's.
    book->sharing_->identity = FileIdentity::current(full);
    books_.push_back(std::move(book));
    active_ = books_.back().get();
    return active_;
}

Book* SpreadsheetHost::workbook(const QString& fileName) const
{
    for (const auto& b : books_)
        if (b->fileName().compare(fileName, Qt::CaseInsensitive) == 0)
            return b.get();
    return nullptr;
}

std::vector<Book*> SpreadsheetHost::workbooks() const
{
    std::vector<Book*> out;
    for (const auto& b : books_)
        out.push_back(b.get());
    return out;
}

void SpreadsheetHost::saveModified()
{
    // Every workbook gets its chance even when an earlier one fails.
    QStringList errors;
    for (const auto& b : books_) {
        if (!b->modified())
            continue;
        try {
            b->save();
        } catch (const HostError& e) {
            errors << e.message();
        }
    }
    if (!errors.isEmpty())
        throw HostError(errors.join(QLatin1Char('\n')));
}

void SpreadsheetHost::commitJournals()
{
    QStringList errors;
    for (const auto& b : books_) {
        try {
            b->commitJournal();
        } catch (const HostError& e) {
            errors << e.message();
        }
    }
    if (!errors.isEmpty())
        throw HostError(errors.join(QLatin1Char('\n')));
}

QStringList SpreadsheetHost::commitAllJournals()
{
    QStringList errors;
    for (SpreadsheetHost* host : liveHosts()) {
        try {
            host->commitJournals();
        } catch (const HostError& e) {
            errors << e.message();
        }
    }
    return errors;
}

void SpreadsheetHost::scheduleCommit()
{
    // After the command that made the change: also commands without a message
    // are on disk as soon as the program is idle again.
    if (commitQueued_)
        return;
    commitQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            commitQueued_ = false;
            try {
                commitJournals();
            } catch (const HostError& e) {
                emit journalFailed(e.message());
            }
        },
        Qt::QueuedConnection);
}

void SpreadsheetHost::close(Book* book)
{
    auto it = std::find_if(books_.begin(), books_.end(), [&](const auto& b) { return b.get() == book; });
    if (it == books_.end())
        return;
    std::unique_ptr<Book> gone = std::move(*it);
    books_.erase(it);
    if (active_ == book)
        active_ = books_.empty() ? nullptr : books_.back().get();
    // Closed without saving: what was recorded stays in the journal for the next start.
    try {
        gone->commitJournal();
    } catch (const HostError& e) {
        qWarning() << e.message();
    }
    gone.reset(); // releases the lock
}

void SpreadsheetHost::closeAll()
{
    while (!books_.empty())
        close(books_.back().get());
}

} // namespace gp::host
