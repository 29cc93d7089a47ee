#include "core/host/format_copy.h"

#include "core/xls/le_bytes.h"

#include <algorithm>

namespace gp::host {

namespace {

bool sameFont(const sheet::Font& a, const sheet::Font& b)
{
    return a.name == b.name && a.heightTwips == b.heightTwips && a.bold == b.bold && a.italic == b.italic
        && a.underline == b.underline && a.strikeOut == b.strikeOut && a.colorIndex == b.colorIndex && a.raw == b.raw;
}

bool sameFormat(const sheet::CellFormat& a, const sheet::CellFormat& b)
{
    return a.fontIndex == b.fontIndex && a.numFmtId == b.numFmtId && a.hAlign == b.hAlign && a.vAlign == b.vAlign
        && a.wrap == b.wrap && a.isStyle == b.isStyle && a.raw == b.raw;
}

// The file skips font index 4: model index -> file index.
uint16_t fileFontIndex(uint16_t model) { return model < 4 ? model : static_cast<uint16_t>(model + 1); }

// A cell XF (not a style) built on `f`; `parent` is the style it refers to.
void makeCellFormat(sheet::CellFormat& f, uint16_t parent)
{
    if (f.raw.size() >= 20) {
        const uint16_t flags = xls::rd16(f.raw.data() + 4);
        xls::wr16(f.raw.data() + 4, static_cast<uint16_t>((flags & 0x000B) | (parent << 4))); // fStyle off
        xls::wr16(f.raw.data(), fileFontIndex(f.fontIndex));
        xls::wr16(f.raw.data() + 2, f.numFmtId);
    }
    f.isStyle = false;
}

} // namespace

uint16_t findOrAddFont(sheet::Workbook& wb, const sheet::Font& f)
{
    for (size_t i = 0; i < wb.fonts.size(); ++i)
        if (sameFont(wb.fonts[i], f))
            return static_cast<uint16_t>(i);
    wb.fonts.push_back(f);
    wb.modified = true;
    return static_cast<uint16_t>(wb.fonts.size() - 1);
}

uint16_t findOrAddFormat(sheet::Workbook& wb, const sheet::CellFormat& f)
{
    for (size_t i = 0; i < wb.formats.size(); ++i)
        if (sameFormat(wb.formats[i], f))
            return static_cast<uint16_t>(i);
    wb.formats.push_back(f);
    wb.modified = true;
    return static_cast<uint16_t>(wb.formats.size() - 1);
}

uint16_t FormatCopier::mapFont(uint16_t font)
{
    const sheet::Font f = font < src_.fonts.size() ? src_.fonts[font] : sheet::Font{};
    return findOrAddFont(dst_, f);
}

uint16_t FormatCopier::mapNumberFormat(uint16_t id)
{
    const auto own = src_.numberFormats.find(id);
    const std::string text = src_.numberFormatString(id);
    if (own == src_.numberFormats.end()) {
        // A built-in format: the same id means the same thing unless the target redefines it.
        const auto there = dst_.numberFormats.find(id);
        if (there == dst_.numberFormats.end() || there->second == text)
            return id;
    }
    for (const auto& [fid, str] : dst_.numberFormats)
        if (str == text)
            return fid;
    uint16_t next = 164;
    for (const auto& [fid, str] : dst_.numberFormats)
        next = std::max<uint16_t>(next, static_cast<uint16_t>(fid + 1));
    dst_.numberFormats[next] = text;
    dst_.numberFormatOrder.push_back(next);
    dst_.modified = true;
    return next;
}

uint16_t FormatCopier::map(uint16_t xf)
{
    const auto hit = xfs_.find(xf);
    if (hit != xfs_.end())
        return hit->second;
    uint16_t out = 15;
    if (xf < src_.formats.size()) {
        sheet::CellFormat f = src_.formats[xf];
        f.fontIndex = mapFont(f.fontIndex);
        f.numFmtId = mapNumberFormat(f.numFmtId);
        if (f.isStyle || xf >= 15)
            makeCellFormat(f, 0); // refers to the Normal style of the target
        out = findOrAddFormat(dst_, f);
    }
    xfs_.emplace(xf, out);
    return out;
}

uint16_t xfWithFontHeight(sheet::Workbook& wb, uint16_t xf, uint16_t heightTwips)
{
    if (xf >= wb.formats.size())
        xf = wb.formats.size() > 15 ? 15 : 0;
    if (xf >= wb.formats.size())
        return xf;
    sheet::CellFormat f = wb.formats[xf];
    sheet::Font font = f.fontIndex < wb.fonts.size() ? wb.fonts[f.fontIndex] : sheet::Font{};
    if (font.heightTwips == heightTwips && !f.isStyle)
        return xf;
    font.heightTwips = heightTwips;
    if (font.raw.size() >= 2)
        xls::wr16(font.raw.data(), heightTwips); // FONT starts with the height
    f.fontIndex = findOrAddFont(wb, font);
    const bool wasStyle = f.isStyle;
    makeCellFormat(f, wasStyle ? xf : static_cast<uint16_t>(f.raw.size() >= 20 ? xls::rd16(f.raw.data() + 4) >> 4 : 0));
    if (f.raw.size() >= 20)
        f.raw[9] |= 0x08; // this XF sets its own font
    return findOrAddFormat(wb, f);
}

} // namespace gp::host
