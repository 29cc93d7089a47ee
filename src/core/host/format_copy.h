// Cell formats carried from one workbook to another, and font-size variants of
// a format. XF, font and number-format indexes belong to one workbook: a row
// pasted into another one gets equivalent entries in the target's tables.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "core/sheet/workbook.h"

namespace gp::host {

class FormatCopier {
public:
    FormatCopier(sheet::Workbook& target, const sheet::Workbook& source) : dst_(target), src_(source) {}
    // The target's XF equal to the source's `xf` (added when it has none).
    uint16_t map(uint16_t xf);

private:
    uint16_t mapFont(uint16_t font);
    uint16_t mapNumberFormat(uint16_t id);
    sheet::Workbook& dst_;
    const sheet::Workbook& src_;
    std::unordered_map<uint16_t, uint16_t> xfs_;
};

// An XF like `xf` whose font has the given height (found or added).
uint16_t xfWithFontHeight(sheet::Workbook& wb, uint16_t xf, uint16_t heightTwips);

// Index of an XF equal to `f` (added when missing).
uint16_t findOrAddFormat(sheet::Workbook& wb, const sheet::CellFormat& f);
uint16_t findOrAddFont(sheet::Workbook& wb, const sheet::Font& f);

} // namespace gp::host
