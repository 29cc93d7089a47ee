// The width of texts as they print: each cell's own font (name, size, bold,
// italic) measured with the font's metrics, in pixels at 96 per inch, the unit
// in which column widths are counted (a column of width w, in 1/256 of a digit,
// is w / 256 * digitWidthPx pixels wide).
#pragma once

#include <QFont>
#include <QHash>
#include <QString>

#include <cstdint>

namespace gp::sheet {
class Workbook;
class Worksheet;
} // namespace gp::sheet

namespace gp::host {

// Width of "0" of the workbook's default font in pixels at 96 per inch, as a
// spreadsheet counts it: 7 px at 10 pt, in proportion for other sizes.
double digitWidthPx(const sheet::Workbook& wb);

// The font of the format `xf` at `points` (the cell's own size when 0), as
// the printed page uses it.
QFont printFont(const sheet::Workbook& wb, uint16_t xf, double points = 0);

// Measures texts in one font. Without a GUI application (command-line tools)
// a width is the number of characters times the digit width.
class TextMeasure {
public:
    TextMeasure(const QFont& font, double digitPx);
    // Pixels at 96 per inch of the widest line of `text`.
    double width(const QString& text) const;
    // An upper estimate of width(): the sum of the advances of the characters
    // (the pairs a font draws closer are not counted closer); cheap enough to
    // rank thousands of texts, so that only the widest are measured exactly.
    double quickWidth(const QString& text) const;
    // Height in pixels at 96 per inch of one line.
    double lineHeight() const { return lineHeight_; }

private:
    QFont font_;
    double digitPx_;
    double lineHeight_ = 0;
    bool gui_ = false;
    double ascii_[128] = {};
    mutable QHash<char16_t, double> others_;
};

// The width in pixels at 96 per inch of the widest text that column `col`
// (0-based) prints in rows `firstRow`..`lastRow` (0-based), each in its
// cell's font (at `points` when > 0); 0 when the column is empty there.
double widestTextPx(const sheet::Workbook& wb, const sheet::Worksheet& ws, int col, int firstRow, int lastRow,
                    double points = 0);

} // namespace gp::host
