// A JSON dump of a workbook's content, laid out like the reference dumps the
// team compares against (values as an independent .xls reader sees them: its
// number-format strings and its rule for telling dates from numbers).
// Used by xlstool and by the tests; the program's own display rules are elsewhere.
#pragma once

#include <optional>
#include <string>

#include "core/xls/xls_file.h"

namespace gp::xls {

// Number-format string of a format id as the reference reader names it
// (the file's FORMAT record when there is one); nullopt for an unknown id.
std::optional<std::string> dumpNumberFormat(const sheet::Workbook& wb, uint16_t id);

// Whether a number with this format id is a date for the reference reader.
bool dumpIsDateFormat(const sheet::Workbook& wb, uint16_t id);

// ISO text of a date serial ("YYYY-MM-DD", "YYYY-MM-DDTHH:MM:SS" or "HH:MM:SS");
// nullopt when the serial is not a valid date in that date system.
std::optional<std::string> dumpIsoDate(double serial, bool date1904);

// Shortest text that reads back as the same double, written as Python writes floats.
std::string jsonNumber(double v);

// The whole dump. `fileName` fills the "file" field; "repairs" lists what the
// reader had to mend, as {"what": ..., "count": ...} objects (empty for a sound file).
std::string dumpJson(const XlsDocument& doc, const std::string& fileName);

} // namespace gp::xls
