#include "core/host/text_measure.h"

#include "core/sheet/numfmt.h"
#include "core/sheet/workbook.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace gp::host {

double digitWidthPx(const sheet::Workbook& wb)
{
    const double pt = wb.fonts.empty() ? 10.0 : wb.fonts.front().heightTwips / 20.0;
    return std::max(1.0, std::round(7.0 * pt / 10.0));
}

QFont printFont(const sheet::Workbook& wb, uint16_t xf, double points)
{
    const sheet::Font* f = nullptr;
    if (xf < wb.formats.size() && wb.formats[xf].fontIndex < wb.fonts.size())
        f = &wb.fonts[wb.formats[xf].fontIndex];
    else if (!wb.fonts.empty())
        f = &wb.fonts.front();
    QFont font(f ? QString::fromUtf8(f->name.data(), qsizetype(f->name.size())) : QStringLiteral("Arial"));
    const double pt = points > 0 ? points : (f ? f->heightTwips / 20.0 : 10.0);
    font.setPointSizeF(std::max(1.0, pt));
    if (f) {
        font.setBold(f->bold);
        font.setItalic(f->italic);
        font.setUnderline(f->underline);
        font.setStrikeOut(f->strikeOut);
    }
    return font;
}

TextMeasure::TextMeasure(const QFont& font, double digitPx) : font_(font), digitPx_(digitPx)
{
    gui_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    // Sized in pixels at 96 per inch, whatever the screen's resolution.
    font_.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * 96.0 / 72.0))));
    if (gui_) {
        const QFontMetricsF fm(font_);
        lineHeight_ = fm.lineSpacing();
        for (int c = 0; c < 128; ++c)
            ascii_[c] = fm.horizontalAdvance(QChar(c));
    } else {
        lineHeight_ = font.pointSizeF() * 96.0 / 72.0 * 1.2;
        std::fill(std::begin(ascii_), std::end(ascii_), digitPx);
    }
}

double TextMeasure::quickWidth(const QString& text) const
{
    double widest = 0, line = 0;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\n') {
            widest = std::max(widest, line);
            line = 0;
        } else if (u < 128) {
            line += ascii_[u];
        } else {
            auto it = others_.constFind(u);
            if (it == others_.constEnd())
                it = others_.insert(u, gui_ ? QFontMetricsF(font_).horizontalAdvance(ch) : digitPx_);
            line += *it;
        }
    }
    return std::max(widest, line);
}

double TextMeasure::width(const QString& text) const
{
    double widest = 0;
    qsizetype start = 0;
    const QFontMetricsF fm(font_);
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(start, end - start);
        widest = std::max(widest, gui_ ? fm.horizontalAdvance(line.toString()) : line.size() * digitPx_);
        start = end + 1;
    }
    return widest;
}

double widestTextPx(const sheet::Workbook& wb, const sheet::Worksheet& ws, int col, int firstRow, int lastRow,
                    double points)
{
    static const sheet::Locale locale = sheet::Locale::italian();
    const double digitPx = digitWidthPx(wb);
    std::map<int, TextMeasure> measures; // one per font of the workbook
    auto measureFor = [&](uint16_t xf) -> const TextMeasure& {
        const int font = xf < wb.formats.size() ? int(wb.formats[xf].fontIndex) : -1;
        auto it = measures.find(font);
        if (it == measures.end())
            it = measures.emplace(font, TextMeasure(printFont(wb, xf, points), digitPx)).first;
        return it->second;
    };
    struct Candidate {
        double estimate;
        std::string text;
        uint16_t xf;
    };
    std::vector<Candidate> candidates;
    lastRow = std::min(lastRow, int(ws.rows.size()) - 1);
    for (int r = std::max(0, firstRow); r <= lastRow; ++r) {
        if (ws.isEmpty(r, col))
            continue;
        const uint16_t xf = ws.cell(r, col).xf;
        std::string t = sheet::cellText(wb, ws, r, col, locale);
        const double estimate = measureFor(xf).quickWidth(QString::fromUtf8(t.data(), qsizetype(t.size())));
        candidates.push_back({estimate, std::move(t), xf});
    }
    // Measured exactly only where the estimate leaves a doubt.
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.estimate > b.estimate; });
    double widest = 0;
    for (const Candidate& k : candidates) {
        if (k.estimate <= widest)
            break;
        widest = std::max(widest, measureFor(k.xf).width(QString::fromUtf8(k.text.data(), qsizetype(k.text.size()))));
    }
    return widest;
}

} // namespace gp::host
