// The workbook model behind a Sheet or a Book, for the code that lays sheets
// out as they print (fonts, cell formats, column widths, page setup): the
// print backend, and tests that check formats. Everything else reads and
// writes cells through Sheet and Range.
#pragma once

#include "core/host/spreadsheet_host.h"

namespace gp::host {

class ModelAccess {
public:
    static sheet::Worksheet& worksheet(const Sheet& sheet) { return sheet.model(); }
    static sheet::Workbook& workbook(const Book& book) { return book.model(); }
};

} // namespace gp::host
