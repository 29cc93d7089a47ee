// Displayed text of cells: number formats in both locales, date serials of both date systems.
#include <gtest/gtest.h>

#include <cmath>

#include "core/sheet/numfmt.h"
#include "core/sheet/workbook.h"

using namespace gp::sheet;

namespace {

struct Case {
    const char* format;
    double value;
    const char* expected;
    bool date1904 = false;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << '"' << c.format << "\" " << c.value << (c.date1904 ? " 1904" : "");
}

std::string it(double v, const char* fmt, bool date1904 = false)
{
    return formatValue(Value::makeNumber(v), fmt, date1904, Locale::italian());
}

std::string en(double v, const char* fmt) { return formatValue(Value::makeNumber(v), fmt, false, Locale::english()); }

class ItalianNumbers : public ::testing::TestWithParam<Case> {};

TEST_P(ItalianNumbers, RendersLikeTheSpreadsheet)
{
    const Case& c = GetParam();
    EXPECT_EQ(it(c.value, c.format, c.date1904), c.expected) << "format " << c.format << " value " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    GeneralFixedAndGrouped, ItalianNumbers,
    ::testing::Values(Case{"General", 0, "0"}, Case{"General", 1234.5, "1234,5"}, Case{"General", -17.25, "-17,25"},
                      Case{"General", 12345678901.0, "12345678901"}, Case{"General", 1.0 / 3, "0,3333333333"},
                      Case{"General", 2.0 / 3, "0,6666666667"}, Case{"General", 0.1 + 0.2, "0,3"},
                      Case{"General", 0.0001, "0,0001"}, Case{"General", 0.00001, "1E-05"},
                      Case{"General", 1.5e-07, "1,5E-07"}, Case{"General", 123456789012.0, "1,23456789E+11"},
                      Case{"General", -1e15, "-1E+15"}, Case{"GENERAL", 42, "42"}, Case{"", 2.5, "2,5"},
                      Case{"0", 2.5, "3"}, Case{"0", -2.5, "-3"}, Case{"0", 0.4, "0"},
                      Case{"0.00", 2.675, "2,68"}, // the double is just below 2.675
                      Case{"0.00", 1.005, "1,01"}, Case{"0.00", -1.005, "-1,01"},
                      Case{"0.00", -0.001, "0,00"}, // no minus on a number that shows as zero
                      Case{"0.000", 1e-10, "0,000"}, Case{"#,##0.00", 1234.5, "1.234,50"},
                      Case{"#,##0.00", 1234567.891, "1.234.567,89"}, Case{"#,##0.00", -1234.5, "-1.234,50"},
                      Case{"#,##0.00", 0.5, "0,50"}, Case{"#,##0.00", 999.995, "1.000,00"},
                      Case{"#,##0.00", 123456789012.0, "123.456.789.012,00"}, Case{"#,0.00", 1234.5, "1.234,50"},
                      Case{"#,0.00", -9876543.21, "-9.876.543,21"}, Case{"#,##0", 0, "0"},
                      Case{"#,##0", 999999.5, "1.000.000"}, Case{"#,##0", 100, "100"}, Case{"#,###", 0, ""},
                      Case{"#,##0,", 1234567, "1.235"}, // trailing comma divides by 1000
                      Case{"0.0,,\" Mln\"", 2500000, "2,5 Mln"}, Case{"#.##", 0.5, ",5"}, Case{"0.0#", 1.5, "1,5"},
                      Case{"0.0#", 1.256, "1,26"}, Case{"0.??", 1.5, "1,5 "}, Case{"000-000", 12345, "012-345"},
                      Case{"00000", 42, "00042"}, Case{"[$-409]#,##0.00", -17.25, "-17,25"},
                      Case{"[$-409]0", 12345678901.0, "12345678901"}));

INSTANTIATE_TEST_SUITE_P(
    PercentScientificAndFractions, ItalianNumbers,
    ::testing::Values(Case{"0%", 0.22, "22%"}, Case{"[$-409]0%", 0.22, "22%"},
                      Case{"0.00%", 0.0131262936342279, "1,31%"}, Case{"0.00%", 1.0752134400647022e-05, "0,00%"},
                      Case{"0.00%", -0.125, "-12,50%"},
                      Case{"0.00%", 0.00005, "0,01%"}, // rounding after scaling by 100
                      Case{"0.00E+00", 1.5e-07, "1,50E-07"}, Case{"[$-409]0.00E+00", 1.5e-07, "1,50E-07"},
                      Case{"0.00E+00", 12345, "1,23E+04"}, Case{"0.00E+00", -12345, "-1,23E+04"},
                      Case{"0.00E+00", 9.999, "1,00E+01"}, // rounding carries into the exponent
                      Case{"0.00E+00", 0, "0,00E+00"}, Case{"0.00E-00", 12345, "1,23E04"},
                      Case{"##0.0E+0", 12345, "12,3E+3"}, Case{"##0.0E+0", 0.00012345, "123,5E-6"},
                      Case{"# ?/?", 1.5, "1 1/2"}, Case{"# ?/?", -1.5, "-1 1/2"}, Case{"# ?/?", 0.75, "3/4"},
                      Case{"# ?/?", 2.99, "3    "}, // fraction rounds up into the whole part
                      Case{"# ?\?/?\?", 3.14159, "3 14/99"}, Case{"# ?/8", 1.3, "1 2/8"}, Case{"?/?", 1.5, "3/2"},
                      Case{"# ?/?", 1e20, "1E+20"}));

INSTANTIATE_TEST_SUITE_P(
    LiteralsAndSections, ItalianNumbers,
    ::testing::Values(
        Case{"#,##0.00\\ [$€-410]", 1234.5, "1.234,50 €"}, Case{"#,##0.00\\ [$€-410]", -1234.5, "-1.234,50 €"},
        Case{"\"€ \"#,##0.00", -5, "-€ 5,00"}, Case{"\"€ \"#,##0.00", 1234.5, "€ 1.234,50"},
        Case{"[$€-410]\\ #,##0.00;[Red]\\-[$€-410]\\ #,##0.00", -1234.5, "-€ 1.234,50"},
        Case{"#,##0.00 €;-#,##0.00 €", -134270, "-134.270,00 €"},
        Case{"#,##0.00 €;-#,##0.00 €", 1509927.84, "1.509.927,84 €"},
        Case{"#,##0.00 €;-#,##0.00 €", -90708.5575, "-90.708,56 €"}, Case{"$#,##0_);($#,##0)", 1234, "$1.234 "},
        Case{"$#,##0_);($#,##0)", -1234, "($1.234)"},
        Case{"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)", 1234.5, " $1.234,50 "},
        Case{"_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)", -1234.5, " $(1.234,50)"},
        Case{"0\" pz\"", 3, "3 pz"}, Case{"\"N. \"0", 7, "N. 7"},
        Case{"0\\h", 7, "7h"}, // escaped letters are not date codes
        Case{"**0", 3, "3"}, Case{"0.00;;", -3, ""}, Case{"0.00;;", 0, ""}, Case{"\"abc\"", 3, "abc"},
        Case{"0;(0);\"zero\"", 3, "3"}, Case{"0;(0);\"zero\"", -3, "(3)"}, Case{"0;(0);\"zero\"", 0, "zero"},
        Case{"0.00;[Red]0.00", -1.5, "1,50"}, Case{"[Red]0.00", -1.5, "-1,50"},
        Case{"0.00;-0.00", -0.001, "-0,00"}, // the negative section is written as the user wants
        Case{"[>=100]\"tanti\";0", 150, "tanti"}, Case{"[>=100]\"tanti\";0", 5, "5"},
        Case{"[>=100]\"tanti\";0", -5, "-5"}, Case{"[<0]\"neg \"0;0", -5, "neg 5"},
        Case{"[<=10]\"basso\";0", 10, "basso"}, Case{"[<=10]\"basso\";0", 11, "11"}, Case{"[>10]\"alto\";0", 10, "10"},
        Case{"[=0]\"zero\";0", 0, "zero"}, Case{"[=0]\"zero\";0", 4, "4"}, Case{"[<>5]0;\"cinque\"", 5, "cinque"},
        Case{"[<>5]0;\"cinque\"", 6, "6"}, Case{"[Blue][>100]0;[Red][<-100]0;0.0", -150, "150"},
        Case{"[Blue][>100]0;[Red][<-100]0;0.0", 50, "50,0"}, Case{"@", 12.5, "12,5"},
        Case{"0;@", -5, "-5"}, // a text-only last section takes no numbers
        Case{"[$-410]dd/mm/yyyy;@", 45366, "15/03/2024"}, Case{"[$-410]dd/mm/yyyy;@", -1, "#####"},
        Case{"\"Tot. \"General", 1234.5, "Tot. 1234,5"}));

INSTANTIATE_TEST_SUITE_P(
    DatesOfBothSystems, ItalianNumbers,
    ::testing::Values(
        // The fixtures' own formats.
        Case{"[$-409]dd/mm/yyyy", 45351, "29/02/2024"},
        Case{"[$-409]dd/mm/yyyy\\ hh:mm", 45366.395833333336, "15/03/2024 09:30"},
        Case{"dd/mm/yyyy\\ hh:mm", 45366.395833333336, "15/03/2024 09:30"},
        Case{"[$-409]yyyy\\-mm\\-dd", 18429, "1950-06-15"}, Case{"[$-409]d\\ mmmm\\ yyyy", 73050, "31 dicembre 2099"},
        Case{"[$-409]hh:mm:ss", 0.75, "18:00:00"}, Case{"mmm-yy", 39173, "apr-07"}, Case{"MM/DD/YY", 39173, "04/01/07"},
        Case{"m/d/yy", 45366, "15/03/2024"}, // built-in 14 is the locale's short date
        Case{"d-mmm-yy", 45366, "15-mar-24"}, Case{"dddd d mmmm yyyy", 45366, "venerdì 15 marzo 2024"},
        Case{"ddd dd mmm", 45369, "lun 18 mar"}, Case{"ddd", 45368, "dom"}, Case{"mmmmm", 45292, "g"},
        Case{"mmmm", 45505, "agosto"}, Case{"d/m/y", 45292, "1/1/24"}, Case{"yyy", 45292, "2024"},
        // Months and minutes.
        Case{"h:m", 0.5 + 5.0 / 1440, "12:5"}, Case{"mm:ss", 0.5 + 5.0 / 1440 + 7.0 / 86400, "05:07"},
        Case{"[h]:mm", 1.25, "30:00"}, Case{"yyyy-mm", 45366, "2024-03"},
        // Times, rounding and carry.
        Case{"h:mm AM/PM", 0.75, "6:00 PM"}, Case{"h:mm AM/PM", 0, "12:00 AM"}, Case{"hh:mm am/pm", 0.5, "12:00 pm"},
        Case{"h A/P", 0.25, "6 A"},
        Case{"hh:mm", (9 * 3600 + 29 * 60 + 40) / 86400.0, "09:29"}, // minutes are not rounded
        Case{"h:mm", (9 * 3600 + 29 * 60 + 59.6) / 86400.0, "9:30"}, // seconds are
        Case{"hh:mm:ss", 0.99999999, "00:00:00"}, Case{"dd/mm/yyyy hh:mm:ss", 45366.99999999, "16/03/2024 00:00:00"},
        Case{"hh:mm:ss.000", 0.99999999, "23:59:59,999"}, Case{"mm:ss.0", 1.5 / 86400, "00:01,5"},
        Case{"mm:ss.00", 1.256 / 86400, "00:01,26"}, Case{"[h]:mm:ss", 1.5, "36:00:00"},
        Case{"[h]:mm:ss", -0.25, "-6:00:00"}, Case{"[mm]:ss", 0.5, "720:00"}, Case{"[ss]", 1.0 / 24, "3600"},
        Case{"[hh]", 0.125, "03"},
        // Around the day that never was.
        Case{"yyyy-mm-dd", 1, "1900-01-01"}, Case{"yyyy-mm-dd", 59, "1900-02-28"}, Case{"yyyy-mm-dd", 60, "1900-02-29"},
        Case{"yyyy-mm-dd", 61, "1900-03-01"}, Case{"dddd", 61, "giovedì"},
        Case{"yyyy-mm-dd", 59.99999999, "1900-02-29"}, Case{"dd/mm/yyyy", -1, "#####"},
        Case{"dd/mm/yyyy", 2958466, "#####"}, Case{"dd/mm/yyyy", 2958465, "31/12/9999"},
        Case{"yyyy-mm-dd", 0, "1904-01-01", true}, Case{"dddd dd/mm/yyyy", 1, "sabato 02/01/1904", true},
        Case{"dd/mm/yyyy hh:mm", 43904.395833333336, "15/03/2024 09:30", true},
        Case{"dd/mm/yyyy", 2957003, "31/12/9999", true}, Case{"dd/mm/yyyy", 2957004, "#####", true}));

TEST(NumberFormat, EnglishLocale)
{
    for (const Case& c :
         {Case{"#,##0.00", 1234.5, "1,234.50"}, Case{"#,0.00", 1234.5, "1,234.50"}, Case{"General", 1234.5, "1234.5"},
          Case{"0.00E+00", 1.5e-07, "1.50E-07"}, Case{"0.00%", 0.0131262936342279, "1.31%"},
          Case{"#,##0.00\\ [$€-410]", 1234.5, "1,234.50 €"}, Case{"m/d/yy", 45366, "3/15/2024"},
          Case{"dddd, mmmm d, yyyy", 45366, "Friday, March 15, 2024"}, Case{"ddd d mmm", 45366, "Fri 15 Mar"},
          Case{"h:mm:ss AM/PM", 0.75, "6:00:00 PM"}, Case{"mm:ss.0", 1.5 / 86400, "00:01.5"}})
        EXPECT_EQ(en(c.value, c.format), c.expected) << c.format;
    EXPECT_EQ(formatValue(Value::makeBoolean(true), "General", false, Locale::english()), "TRUE");
}

TEST(NumberFormat, TextBooleansAndErrors)
{
    struct V {
        Value value;
        const char* format;
        const char* expected;
    };
    const Value abc = Value::makeText("abc");
    for (const V& v :
         {V{abc, "0.00", "abc"}, V{abc, "0;-0", "abc"}, V{abc, "@", "abc"}, V{abc, "0;-0;0;\"T: \"@", "T: abc"},
          V{abc, "0;-0;0;[Red]\"fisso\"", "fisso"}, V{abc, "\"<\"@\">\"", "<abc>"},
          V{abc, "[$-410]dd/mm/yyyy;@", "abc"}, V{abc, "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)", " abc "},
          V{Value::makeText("3;4"), "General", "3;4"}, V{Value::makeBoolean(true), "0.00", "VERO"},
          V{Value::makeBoolean(false), "General", "FALSO"}, V{Value::makeError(0x07), "General", "#DIV/0!"},
          V{Value::makeError(0x2A), "0.00", "#N/A"}, V{Value::makeEmpty(), "0.00", ""},
          V{Value::makeNumber(std::nan("")), "0.00", "#NUM!"}})
        EXPECT_EQ(formatValue(v.value, v.format, false, Locale::italian()), v.expected) << v.format;
}

// Both ways, around the day that never was (60 in the 1900 system) and at the ends of both systems.
TEST(DateSerial, BothSystemsBothWays)
{
    struct S {
        double serial;
        bool date1904;
        int y, m, d;
    };
    for (const S& s :
         {S{1, false, 1900, 1, 1}, S{31, false, 1900, 1, 31}, S{59, false, 1900, 2, 28}, S{60, false, 1900, 2, 29},
          S{61, false, 1900, 3, 1}, S{45351, false, 2024, 2, 29}, S{45366, false, 2024, 3, 15},
          S{2958465, false, 9999, 12, 31}, S{0, true, 1904, 1, 1}, S{1, true, 1904, 1, 2}, S{59, true, 1904, 2, 29},
          S{45366 - 1462, true, 2024, 3, 15}, S{2957003, true, 9999, 12, 31}}) {
        auto dt = serialToDateTime(s.serial, s.date1904);
        ASSERT_TRUE(dt) << s.serial;
        EXPECT_EQ(dt->year * 10000 + dt->month * 100 + dt->day, s.y * 10000 + s.m * 100 + s.d) << s.serial;
        EXPECT_DOUBLE_EQ(dateTimeToSerial(*dt, s.date1904), s.serial);
    }
    EXPECT_FALSE(serialToDateTime(-1, false));
    EXPECT_FALSE(serialToDateTime(-0.001, false));
    EXPECT_FALSE(serialToDateTime(2958466, false));
    EXPECT_FALSE(serialToDateTime(2957004, true));
}

TEST(DateSerial, TimeOfDay)
{
    // The date and time of a serial of the 1900 system as one number, YYYYMMDDhhmmssmmm.
    auto stamp = [](double serial) {
        auto d = serialToDateTime(serial, false);
        const long long date = d ? (d->year * 100LL + d->month) * 100 + d->day : -1;
        return d ? ((date * 100 + d->hour) * 100 + d->minute) * 100000 + d->second * 1000 + d->millisecond : -1;
    };
    EXPECT_EQ(stamp(45366.395833333336), 20240315093000000);
    EXPECT_EQ(stamp(0.99999999) % 1000000000, 235959999); // rounded to the millisecond only: still the same day
    EXPECT_EQ(stamp(59.999999999999), 19000229000000000); // less than half a millisecond before midnight: the next day
    EXPECT_NEAR(dateTimeToSerial(DateTime{2024, 3, 15, 9, 30, 0, 0}, false), 45366.395833333336, 1e-9);
    EXPECT_EQ(stamp(dateTimeToSerial(DateTime{2024, 3, 15, 23, 59, 59, 500}, false)), 20240315235959500);
}

TEST(FormatClassification, DateFormats)
{
    for (const char* f : {"dd/mm/yyyy", "[$-409]dd/mm/yyyy", "yyyy\\-mm\\-dd", "[$-409]dd/mm/yyyy\\ hh:mm", "[h]:mm:ss",
                          "[h]", "[mm]", "h:mm AM/PM", "mmm-yy", "MM/DD/YY", "[$-409]hh:mm:ss",
                          "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy", "dd/mm/yyyy;@", "[Red]yyyy"})
        EXPECT_TRUE(isDateFormatString(f)) << f;
    for (const char* f :
         {"General", "GENERAL", "0.00E+00", "##0.0E+0", "#,##0.00\\ [$€-410]", "\"€ \"#,##0.00", "0.00%", "[Red]0",
          "\"days\" 0", "0\\d", "0_d", "0*s", "@", "#,##0.00 €;-#,##0.00 €", "0;[Red]dd", "[$-409]General", ""})
        EXPECT_FALSE(isDateFormatString(f)) << f;
}

TEST(FormatClassification, BuiltinFormats)
{
    struct B {
        uint16_t id;
        const char* format; // empty: no built-in format of that id
    };
    for (auto [id, format] : {B{0, "General"}, B{4, "#,##0.00"}, B{14, "m/d/yy"}, B{22, "m/d/yy h:mm"},
                              B{44, "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)"}, B{47, "mm:ss.0"},
                              B{49, "@"}, B{23, ""}, B{30, ""}, B{36, ""}, B{50, ""}, B{163, ""}, B{164, ""}})
        EXPECT_EQ(builtinNumberFormat(id), format) << id;
    // Every built-in date id is classified as a date by its string.
    for (uint16_t id = 0; id <= 49; ++id) {
        const std::string f = builtinNumberFormat(id);
        if (f.empty())
            continue;
        const bool date = (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
        EXPECT_EQ(isDateFormatString(f), date) << id << " " << f;
    }
}

TEST(CellText, UsesTheCellsFormat)
{
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Foglio1");
    const Locale l = Locale::italian();

    ws.setValue(0, 0, Value::makeNumber(1234.5));
    ws.setFormat(0, 0, wb->xfWithNumberFormat(15, "#,##0.00\\ [$€-410]"));
    ws.setValue(0, 1, Value::makeNumber(45366.395833333336));
    ws.setFormat(0, 1, wb->xfWithNumberFormat(15, "dd/mm/yyyy\\ hh:mm"));
    ws.setValue(0, 2, Value::makeNumber(1234.5)); // default XF: General
    ws.setValue(0, 3, Value::makeText("Pratica"));
    ws.setValue(0, 4, Value::makeBoolean(true));
    ws.setValue(0, 5, Value::makeError(0x07));

    for (int c = 0; const char* text : {"1.234,50 €", "15/03/2024 09:30", "1234,5", "Pratica", "VERO", "#DIV/0!"})
        EXPECT_EQ(cellText(*wb, ws, 0, c++, l), text);
    EXPECT_EQ(cellText(*wb, ws, 5, 5, l), "");
    EXPECT_EQ(cellText(*wb, ws, 70000, 300, l), "");
}

TEST(CellText, BuiltinShortDateFollowsLocaleAndDateSystem)
{
    auto wb = newWorkbook();
    Worksheet& ws = wb->addSheet("Foglio1");
    CellFormat f = wb->formats.at(15);
    f.numFmtId = 14;
    f.raw.clear();
    wb->formats.push_back(f);
    const auto xf = static_cast<uint16_t>(wb->formats.size() - 1);
    // Even a file that wrote its own string for id 14 shows the locale's short date.
    wb->numberFormats[14] = "M/D/YY";

    ws.setValue(2, 1, Value::makeNumber(45366));
    ws.setFormat(2, 1, xf);
    EXPECT_EQ(cellText(*wb, ws, 2, 1, Locale::italian()), "15/03/2024");
    EXPECT_EQ(cellText(*wb, ws, 2, 1, Locale::english()), "3/15/2024");
    wb->date1904 = true;
    EXPECT_EQ(cellText(*wb, ws, 2, 1, Locale::italian()), "16/03/2028");
}

} // namespace
