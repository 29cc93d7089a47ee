// The displayed text of a cell: a value rendered through its number format,
// in a given locale (Italian in the program), and the date serials of the
// two date systems.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/sheet/workbook.h"

namespace gp::sheet {

struct Locale {
    char32_t decimal = U',';
    char32_t thousands = U'.';
    std::string currencySymbol = "€";
    std::vector<std::string> monthNames;  // 12, "gennaio" ...
    std::vector<std::string> monthShort;  // 12, "gen" ...
    std::vector<std::string> dayNames;    // 7 from Sunday, "domenica" ...
    std::vector<std::string> dayShort;    // 7 from Sunday, "dom" ...
    std::string shortDate = "dd/mm/yyyy"; // what built-in id 14 shows
    std::string amText = "AM", pmText = "PM";
    std::string trueText = "VERO", falseText = "FALSO";

    static Locale italian();
    static Locale english(); // "." decimal, "," thousands, m/d/yyyy, TRUE/FALSE
};

struct DateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    int millisecond = 0;
};

// Serial number of the workbook's date system -> civil date and time.
// nullopt for a negative serial or one past 9999-12-31; in the 1900 system
// serial 60 is the day that never was (shown as 29/02/1900 by spreadsheets).
std::optional<DateTime> serialToDateTime(double serial, bool date1904);
double dateTimeToSerial(const DateTime& dt, bool date1904);

// Renders a value through a format string (sections ; colours [Red] conditions
// [<0] locale tags [$-410] [$€-410], literals "..." \x _x *x, 0 # ? , . % E+,
// d m y h s AM/PM [h] [mm] [ss] .0, @, General).
std::string formatValue(const Value& v, std::string_view format, bool date1904, const Locale& locale);

// The text a cell displays: its value through the number format of its XF.
std::string cellText(const Workbook& wb, const Worksheet& ws, int row, int col, const Locale& locale);

// "General" rendering of a number: up to 10 significant digits, scientific
// when very large or small, decimal separator of the locale, no thousands.
std::string formatGeneral(double v, const Locale& locale);

} // namespace gp::sheet
