// Number-format rendering: a value through an Excel-style format string, in a
// given locale, and the date serials of the 1900 and 1904 systems.
//
// Numbers are rounded in decimal, not in binary: the value is first written
// with the shortest digits that read back as the same double (and at most 15
// significant digits, as spreadsheets keep), then that digit string is rounded
// half away from zero. So 2.675 with "0.00" shows 2,68, as a spreadsheet does,
// although the double is slightly below 2.675.
#include "core/sheet/numfmt.h"
#include "core/sheet/utf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <unordered_map>
#include <utility>

namespace gp::sheet {

// ---------------------------------------------------------------------------
// Locales

Locale Locale::italian()
{
    Locale l;
    l.decimal = U',';
    l.thousands = U'.';
    l.currencySymbol = "€";
    l.monthNames = {"gennaio", "febbraio", "marzo",     "aprile",  "maggio",   "giugno",
                    "luglio",  "agosto",   "settembre", "ottobre", "novembre", "dicembre"};
    l.monthShort = {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"};
    l.dayNames = {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"};
    l.dayShort = {"dom", "lun", "mar", "mer", "gio", "ven", "sab"};
    l.shortDate = "dd/mm/yyyy";
    l.amText = "AM";
    l.pmText = "PM";
    l.trueText = "VERO";
    l.falseText = "FALSO";
    return l;
}

Locale Locale::english()
{
    Locale l;
    l.decimal = U'.';
    l.thousands = U',';
    l.currencySymbol = "$";
    l.monthNames = {"January", "February", "March",     "April",   "May",      "June",
                    "July",    "August",   "September", "October", "November", "December"};
    l.monthShort = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    l.dayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    l.dayShort = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    l.shortDate = "m/d/yyyy";
    l.amText = "AM";
    l.pmText = "PM";
    l.trueText = "TRUE";
    l.falseText = "FALSE";
    return l;
}

namespace {

// Length in bytes of the UTF-8 sequence starting at s[i] (1 for stray bytes).
size_t utf8Len(std::string_view s, size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    return std::min(n, s.size() - i);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view s, size_t i, std::string_view word)
{
    if (s.size() - i < word.size())
        return false;
    for (size_t k = 0; k < word.size(); ++k)
        if (lower(s[i + k]) != lower(word[k]))
            return false;
    return true;
}

// ---------------------------------------------------------------------------
// Decimal digits of a non-negative double: value = 0.d1d2d3... x 10^point.

struct Decimal {
    std::string digits; // no leading zeros; empty for zero
    int point = 0;

    bool isZero() const { return digits.empty(); }

    void trim()
    {
        size_t lead = digits.find_first_not_of('0');
        if (lead == std::string::npos) {
            digits.clear();
            point = 0;
            return;
        }
        digits.erase(0, lead);
        point -= static_cast<int>(lead);
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
    }

    // Keeps `keep` significant digits, rounding half away from zero.
    void roundDigits(int keep)
    {
        if (keep >= static_cast<int>(digits.size()))
            return;
        if (keep < 0) {
            digits.clear();
            point = 0;
            return;
        }
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[i] == '9') {
                digits[i] = '0';
                --i;
            }
            if (i >= 0) {
                ++digits[i];
            } else {
                digits.insert(digits.begin(), '1');
                ++point;
            }
        }
        trim();
    }

    // Rounds to `decimals` digits after the decimal point.
    void roundDecimals(int decimals) { roundDigits(point + decimals); }

    void shift(int powerOfTen)
    {
        if (!isZero())
            point += powerOfTen;
    }

    std::string integerDigits() const
    {
        if (point <= 0 || isZero())
            return {};
        std::string s = digits.substr(0, std::min<size_t>(point, digits.size()));
        s.append(point - s.size(), '0');
        return s;
    }

    std::string fractionDigits(int n) const
    {
        std::string s;
        for (int i = 0; i < n; ++i) {
            const int p = point + i;
            s += (p >= 0 && p < static_cast<int>(digits.size())) ? digits[p] : '0';
        }
        return s;
    }

    static Decimal of(double v)
    {
        Decimal d;
        v = std::fabs(v);
        if (v == 0 || !std::isfinite(v))
            return d;
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
        std::string_view s(buf, res.ptr - buf);
        const size_t e = s.find('e');
        for (size_t i = 0; i < e; ++i)
            if (s[i] != '.')
                d.digits += s[i];
        int exp = 0;
        std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exp);
        d.point = exp + 1;
        d.trim();
        d.roundDigits(15);
        return d;
    }
};

// ---------------------------------------------------------------------------
// Date serials

constexpr int64_t kMsPerDay = 86'400'000;

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

const int64_t kEpoch18991230 = daysFromCivil(1899, 12, 30);
const int64_t kEpoch18991231 = daysFromCivil(1899, 12, 31);
const int64_t kEpoch19040101 = daysFromCivil(1904, 1, 1);

// Whole milliseconds of a serial, the time of day rounded to the nearest ms.
int64_t serialToMs(double serial)
{
    const double days = std::floor(serial);
    const double frac = serial - days;
    return static_cast<int64_t>(days) * kMsPerDay + std::llround(frac * kMsPerDay);
}

// Rounds a non-negative millisecond count to a multiple of `unit` (half up).
int64_t roundMs(int64_t ms, int64_t unit) { return (ms + unit / 2) / unit * unit; }

std::optional<DateTime> msToDateTime(int64_t ms, bool date1904)
{
    if (ms < 0)
        return std::nullopt;
    const int64_t days = ms / kMsPerDay;
    int64_t rest = ms % kMsPerDay;
    if (days >= (date1904 ? 2957004 : 2958466))
        return std::nullopt;
    DateTime dt;
    if (date1904) {
        civilFromDays(kEpoch19040101 + days, dt.year, dt.month, dt.day);
    } else if (days == 60) {
        dt.year = 1900;
        dt.month = 2;
        dt.day = 29;
    } else if (days < 60) {
        civilFromDays(kEpoch18991231 + days, dt.year, dt.month, dt.day);
    } else {
        civilFromDays(kEpoch18991230 + days, dt.year, dt.month, dt.day);
    }
    dt.hour = static_cast<int>(rest / 3'600'000);
    rest %= 3'600'000;
    dt.minute = static_cast<int>(rest / 60'000);
    rest %= 60'000;
    dt.second = static_cast<int>(rest / 1000);
    dt.millisecond = static_cast<int>(rest % 1000);
    return dt;
}

// Day of the week (0 = Sunday) of a day number of the date system. The 1900
// system counts as the spreadsheets do: day 1 (1 January 1900) is a Sunday,
// which keeps every day from 1 March 1900 on right.
int weekdayOf(int64_t days, bool date1904) { return static_cast<int>((days + (date1904 ? 5 : 6)) % 7); }

} // namespace

std::optional<DateTime> serialToDateTime(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 3e6)
        return std::nullopt;
    return msToDateTime(serialToMs(serial), date1904);
}

double dateTimeToSerial(const DateTime& dt, bool date1904)
{
    const int64_t civil = daysFromCivil(dt.year, dt.month, dt.day);
    int64_t days;
    if (date1904) {
        days = civil - kEpoch19040101;
    } else if (dt.year == 1900 && dt.month == 2 && dt.day == 29) {
        days = 60;
    } else if (civil < daysFromCivil(1900, 3, 1)) {
        days = civil - kEpoch18991231;
    } else {
        days = civil - kEpoch18991230;
    }
    const double secs = dt.hour * 3600.0 + dt.minute * 60.0 + dt.second + dt.millisecond / 1000.0;
    return static_cast<double>(days) + secs / 86400.0;
}

// ---------------------------------------------------------------------------
// Built-in formats and the date test

std::string builtinNumberFormat(uint16_t id)
{
    switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 5: return "$#,##0_);($#,##0)";
    case 6: return "$#,##0_);[Red]($#,##0)";
    case 7: return "$#,##0.00_);($#,##0.00)";
    case 8: return "$#,##0.00_);[Red]($#,##0.00)";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# ?\?/?\?";
    case 14: return "m/d/yy";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "m/d/yy h:mm";
    case 37: return "#,##0_);(#,##0)";
    case 38: return "#,##0_);[Red](#,##0)";
    case 39: return "#,##0.00_);(#,##0.00)";
    case 40: return "#,##0.00_);[Red](#,##0.00)";
    case 41: return "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)";
    case 42: return "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)";
    case 43: return "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)";
    case 44: return "_($* #,##0.00_);_($* (#,##0.00);_($* \"-\"??_);_(@_)";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mm:ss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return {};
    }
}

namespace {

// Splits a format into its sections at ';' outside quotes and brackets.
std::vector<std::string_view> splitSections(std::string_view f)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    bool quoted = false;
    bool bracket = false;
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (quoted) {
            if (c == '"')
                quoted = false;
        } else if (bracket) {
            if (c == ']')
                bracket = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == '[') {
            bracket = true;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (i + 1 < f.size())
                i += utf8Len(f, i + 1);
        } else if (c == ';') {
            out.push_back(f.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(f.substr(start));
    return out;
}

bool isElapsedBracket(std::string_view inner)
{
    if (inner.empty())
        return false;
    const char first = lower(inner[0]);
    if (first != 'h' && first != 'm' && first != 's')
        return false;
    return std::all_of(inner.begin(), inner.end(), [first](char c) { return lower(c) == first; });
}

// True when a section shows a date or time part.
bool sectionIsDate(std::string_view s)
{
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            const size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos)
                return false;
            i = end;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (i + 1 < s.size())
                i += utf8Len(s, i + 1);
        } else if (c == '[') {
            const size_t end = s.find(']', i + 1);
            if (end == std::string_view::npos)
                return false;
            if (isElapsedBracket(s.substr(i + 1, end - i - 1)))
                return true;
            i = end;
        } else if (startsWithNoCase(s, i, "general")) {
            i += 6;
        } else {
            const char l = lower(c);
            if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's')
                return true;
        }
    }
    return false;
}

} // namespace

bool isDateFormatString(std::string_view format) { return sectionIsDate(splitSections(format).front()); }

// ---------------------------------------------------------------------------
// Format sections as tokens

namespace {

enum class Tok {
    Literal, // text as is
    Digit,   // 0 # ?
    Point,   // decimal point
    Comma,   // thousands separator or scaling
    Percent,
    Exponent, // E+ E- (text holds "E+" etc.)
    Slash,    // fraction bar
    General,
    At,
    Date,    // d m y h s runs (text holds the run, lower case; 'n' = minutes)
    AmPm,    // text holds the format's spelling
    Elapsed, // [h] [mm] [ss] (text holds the letters, lower case)
    FracSec, // .0 .00 .000 after seconds (count = digits)
};

struct Token {
    Tok kind;
    std::string text;
    char ch = 0;
    int count = 0;
};

enum class CondOp { None, Lt, Le, Gt, Ge, Eq, Ne };

struct Section {
    std::vector<Token> tokens;
    bool isDate = false;
    bool hasText = false; // an @
    CondOp op = CondOp::None;
    double operand = 0;

    bool matches(double v) const
    {
        switch (op) {
        case CondOp::None: return true;
        case CondOp::Lt: return v < operand;
        case CondOp::Le: return v <= operand;
        case CondOp::Gt: return v > operand;
        case CondOp::Ge: return v >= operand;
        case CondOp::Eq: return v == operand;
        case CondOp::Ne: return v != operand;
        }
        return true;
    }
    bool isTextOnly() const
    {
        if (!hasText || isDate)
            return false;
        for (const auto& t : tokens)
            if (t.kind != Tok::Literal && t.kind != Tok::At)
                return false;
        return true;
    }
    // A condition that only negative numbers meet: the section shows them without a sign.
    bool conditionIsNegative() const { return (op == CondOp::Lt && operand <= 0) || (op == CondOp::Le && operand < 0); }
};

void addLiteral(std::vector<Token>& toks, std::string_view text)
{
    if (!toks.empty() && toks.back().kind == Tok::Literal)
        toks.back().text += text;
    else
        toks.push_back({Tok::Literal, std::string(text)});
}

bool parseCondition(std::string_view inner, Section& sec)
{
    // Two-character operators first, so that "<=" is not read as "<".
    static constexpr std::pair<std::string_view, CondOp> kOps[] = {
        {"<=", CondOp::Le}, {">=", CondOp::Ge}, {"<>", CondOp::Ne},
        {"<", CondOp::Lt},  {">", CondOp::Gt},  {"=", CondOp::Eq},
    };
    const auto* found = std::find_if(std::begin(kOps), std::end(kOps),
                                     [&](const auto& o) { return inner.substr(0, o.first.size()) == o.first; });
    if (found == std::end(kOps))
        return false;
    const CondOp op = found->second;
    const size_t i = found->first.size();
    std::string num(inner.substr(i));
    std::replace(num.begin(), num.end(), ',', '.');
    char* end = nullptr;
    const double v = std::strtod(num.c_str(), &end);
    if (end == num.c_str())
        return false;
    sec.op = op;
    sec.operand = v;
    return true;
}

Section parseSection(std::string_view s)
{
    Section sec;
    sec.isDate = sectionIsDate(s);
    auto& toks = sec.tokens;
    bool seenSeconds = false;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        const char l = lower(c);
        if (c == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos)
                end = s.size();
            addLiteral(toks, s.substr(i + 1, end - i - 1));
            i = end + 1;
        } else if (c == '\\') {
            if (i + 1 < s.size()) {
                const size_t n = utf8Len(s, i + 1);
                addLiteral(toks, s.substr(i + 1, n));
                i += 1 + n;
            } else {
                ++i;
            }
        } else if (c == '_') {
            addLiteral(toks, " ");
            i += 1 + (i + 1 < s.size() ? utf8Len(s, i + 1) : 0);
        } else if (c == '*') {
            // Fill to the column width: a text rendering has no width to fill.
            i += 1 + (i + 1 < s.size() ? utf8Len(s, i + 1) : 0);
        } else if (c == '[') {
            size_t end = s.find(']', i + 1);
            if (end == std::string_view::npos)
                end = s.size();
            const std::string_view inner = s.substr(i + 1, end - i - 1);
            if (!inner.empty() && inner[0] == '$') {
                // [$€-410]: currency text before the '-', then the locale id.
                const size_t dash = inner.find('-');
                addLiteral(toks, inner.substr(1, dash == std::string_view::npos ? std::string_view::npos : dash - 1));
            } else if (isElapsedBracket(inner)) {
                std::string t;
                for (char x : inner)
                    t += lower(x);
                toks.push_back({Tok::Elapsed, t});
                if (t[0] == 's')
                    seenSeconds = true;
            } else {
                parseCondition(inner, sec); // colours and other tags are ignored
            }
            i = end + 1;
        } else if (startsWithNoCase(s, i, "general")) {
            toks.push_back({Tok::General, {}});
            i += 7;
        } else if (c == '@') {
            toks.push_back({Tok::At, {}});
            sec.hasText = true;
            ++i;
        } else if (sec.isDate && startsWithNoCase(s, i, "am/pm")) {
            toks.push_back({Tok::AmPm, std::string(s.substr(i, 5))});
            i += 5;
        } else if (sec.isDate && startsWithNoCase(s, i, "a/p")) {
            toks.push_back({Tok::AmPm, std::string(s.substr(i, 3))});
            i += 3;
        } else if (sec.isDate && (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's')) {
            size_t j = i;
            while (j < s.size() && lower(s[j]) == l)
                ++j;
            toks.push_back({Tok::Date, std::string(j - i, l)});
            if (l == 's')
                seenSeconds = true;
            i = j;
        } else if (sec.isDate && c == '.' && seenSeconds && i + 1 < s.size() && s[i + 1] == '0') {
            size_t j = i + 1;
            while (j < s.size() && s[j] == '0')
                ++j;
            Token t{Tok::FracSec, {}};
            t.count = static_cast<int>(std::min<size_t>(j - i - 1, 3));
            toks.push_back(t);
            i = j;
        } else if (!sec.isDate && (c == '0' || c == '#' || c == '?')) {
            Token t{Tok::Digit, {}};
            t.ch = c;
            toks.push_back(t);
            ++i;
        } else if (!sec.isDate && c == '.') {
            toks.push_back({Tok::Point, {}});
            ++i;
        } else if (!sec.isDate && c == ',') {
            toks.push_back({Tok::Comma, {}});
            ++i;
        } else if (!sec.isDate && c == '%') {
            toks.push_back({Tok::Percent, {}});
            ++i;
        } else if (!sec.isDate && l == 'e' && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            toks.push_back({Tok::Exponent, std::string(s.substr(i, 2))});
            i += 2;
        } else if (!sec.isDate && c == '/') {
            toks.push_back({Tok::Slash, {}});
            ++i;
        } else {
            const size_t n = utf8Len(s, i);
            addLiteral(toks, s.substr(i, n));
            i += n;
        }
    }

    if (sec.isDate) {
        // "m" and "mm" next to hours or seconds are minutes ('n').
        for (size_t k = 0; k < toks.size(); ++k) {
            Token& t = toks[k];
            if (t.kind != Tok::Date || t.text[0] != 'm' || t.text.size() > 2)
                continue;
            bool minutes = false;
            for (size_t p = k; p-- > 0;) {
                if (toks[p].kind == Tok::Date || toks[p].kind == Tok::Elapsed) {
                    minutes = toks[p].text[0] == 'h';
                    break;
                }
            }
            for (size_t n = k + 1; !minutes && n < toks.size(); ++n) {
                if (toks[n].kind == Tok::Date || toks[n].kind == Tok::Elapsed) {
                    minutes = toks[n].text[0] == 's';
                    break;
                }
            }
            if (minutes)
                t.text.assign(t.text.size(), 'n');
        }
    }
    return sec;
}

// ---------------------------------------------------------------------------
// Rendering numbers

struct Out {
    const Locale& loc;
    std::string s;
};

// Text of each integer placeholder, digits aligned from the right; the
// leftmost placeholder takes the digits that do not fit.
std::vector<std::string> placeIntegerDigits(const std::vector<char>& holders, const std::string& digits)
{
    const size_t k = holders.size();
    std::vector<std::string> out(k);
    const size_t n = digits.size();
    for (size_t j = 0; j < k; ++j) { // j counted from the right
        const size_t idx = k - 1 - j;
        if (j < n)
            out[idx] = std::string(1, digits[n - 1 - j]);
        else if (holders[idx] == '0')
            out[idx] = "0";
        else if (holders[idx] == '?')
            out[idx] = " ";
    }
    if (k > 0 && n > k)
        out[0] = digits.substr(0, n - k + 1);
    return out;
}

// Emits the integer placeholders' texts with grouping, placing literals
// between them. `grouping` inserts the locale's separator every 3 digits.
struct IntegerWriter {
    std::vector<std::string> parts;
    size_t total = 0; // digit characters to write
    size_t written = 0;
    size_t next = 0; // next part to write
    bool grouping = false;

    void init(std::vector<std::string> p, bool group)
    {
        parts = std::move(p);
        grouping = group;
        for (const auto& s : parts)
            for (char c : s)
                total += (c >= '0' && c <= '9');
    }
    void writeNext(std::string& out, const Locale& loc)
    {
        if (next >= parts.size())
            return;
        for (char c : parts[next]) {
            out += c;
            if (c >= '0' && c <= '9') {
                ++written;
                const size_t left = total - written;
                if (grouping && left > 0 && left % 3 == 0)
                    appendUtf8(out, loc.thousands);
            }
        }
        ++next;
    }
};

// Text of each decimal placeholder: trailing zeros vanish under '#' and
// become blanks under '?'.
std::vector<std::string> fractionParts(const std::vector<char>& holders, const std::string& digits)
{
    std::vector<std::string> parts(holders.size());
    bool significant = false;
    for (size_t i = holders.size(); i-- > 0;) {
        const char d = digits[i];
        if (!significant && d == '0' && holders[i] != '0') {
            parts[i] = holders[i] == '?' ? " " : "";
        } else {
            significant = true;
            parts[i] = std::string(1, d);
        }
    }
    return parts;
}

std::string renderGeneral(double v, const Locale& loc);

// A number section without exponent or fraction bar.
void renderPlain(const Section& sec, double a, Out& out)
{
    const auto& toks = sec.tokens;
    // Locate the parts of the number.
    size_t pointIdx = toks.size();
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind == Tok::Point) {
            pointIdx = i;
            break;
        }
    std::vector<char> intHolders, fracHolders;
    size_t lastDigit = toks.size();
    for (size_t i = 0; i < toks.size(); ++i)
        if (toks[i].kind == Tok::Digit) {
            (i < pointIdx ? intHolders : fracHolders).push_back(toks[i].ch);
            lastDigit = i;
        }
    // Commas: between integer placeholders = grouping; right after the last
    // placeholder = divide by 1000 each.
    bool grouping = false;
    int scale = 0, percent = 0;
    std::vector<bool> commaShown(toks.size(), false);
    bool seenIntDigit = false;
    for (size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].kind == Tok::Digit && i < pointIdx)
            seenIntDigit = true;
        if (toks[i].kind == Tok::Percent)
            ++percent;
        if (toks[i].kind != Tok::Comma)
            continue;
        bool digitAfterInInt = false;
        for (size_t j = i + 1; j < pointIdx && j < toks.size(); ++j)
            if (toks[j].kind == Tok::Digit)
                digitAfterInInt = true;
        if (seenIntDigit && digitAfterInInt && i < pointIdx) {
            grouping = true;
        } else if (lastDigit != toks.size() && i > lastDigit) {
            bool adjacent = true;
            for (size_t j = lastDigit + 1; j < i; ++j)
                if (toks[j].kind != Tok::Comma)
                    adjacent = false;
            if (adjacent)
                ++scale;
            else
                commaShown[i] = true;
        } else if (!seenIntDigit) {
            commaShown[i] = true;
        }
    }

    Decimal d = Decimal::of(a);
    d.shift(2 * percent - 3 * scale);
    d.roundDecimals(static_cast<int>(fracHolders.size()));

    IntegerWriter iw;
    iw.init(placeIntegerDigits(intHolders, d.integerDigits()), grouping);
    const auto fracParts = fractionParts(fracHolders, d.fractionDigits(static_cast<int>(fracHolders.size())));
    size_t fracIdx = 0;
    bool intStray = intHolders.empty(); // digits with no integer placeholder go before the point
    for (size_t i = 0; i < toks.size(); ++i) {
        const Token& t = toks[i];
        switch (t.kind) {
        case Tok::Literal: out.s += t.text; break;
        case Tok::Digit:
            if (i < pointIdx)
                iw.writeNext(out.s, out.loc);
            else
                out.s += fracParts[fracIdx++];
            break;
        case Tok::Point:
            if (i == pointIdx) {
                if (intStray) {
                    iw.init({d.integerDigits()}, grouping);
                    iw.writeNext(out.s, out.loc);
                    intStray = false;
                }
                appendUtf8(out.s, out.loc.decimal);
            } else {
                out.s += '.';
            }
            break;
        case Tok::Comma:
            if (commaShown[i])
                out.s += ',';
            break;
        case Tok::Percent: out.s += '%'; break;
        case Tok::Exponent: out.s += t.text; break;
        case Tok::Slash: out.s += '/'; break;
        case Tok::General: out.s += renderGeneral(a, out.loc); break;
        default: break;
        }
    }
}

void renderScientific(const Section& sec, double a, Out& out)
{
    const auto& toks = sec.tokens;
    size_t expIdx = 0;
    while (toks[expIdx].kind != Tok::Exponent)
        ++expIdx;
    size_t pointIdx = expIdx;
    for (size_t i = 0; i < expIdx; ++i)
        if (toks[i].kind == Tok::Point) {
            pointIdx = i;
            break;
        }
    std::vector<char> intHolders, fracHolders, expHolders;
    int percent = 0;
    for (size_t i = 0; i < toks.size(); ++i) {
        if (toks[i].kind == Tok::Percent)
            ++percent;
        if (toks[i].kind != Tok::Digit)
            continue;
        if (i < pointIdx)
            intHolders.push_back(toks[i].ch);
        else if (i < expIdx)
            fracHolders.push_back(toks[i].ch);
        else
            expHolders.push_back(toks[i].ch);
    }
    const int nFrac = static_cast<int>(fracHolders.size());
    const int group = std::max<int>(1, static_cast<int>(intHolders.size()));

    Decimal d = Decimal::of(a);
    d.shift(2 * percent);
    int exponent = 0;
    Decimal m = d;
    if (!d.isZero()) {
        auto pick = [&](int e10) {
            int e = e10 >= 0 ? e10 / group * group : -((-e10 + group - 1) / group) * group;
            if (intHolders.empty())
                e = e10 + 1;
            return e;
        };
        exponent = pick(d.point - 1);
        m = d;
        m.shift(-exponent);
        m.roundDecimals(nFrac);
        // Rounding may carry into one more integer digit (9.99 -> 10.0).
        const int e2 = pick(exponent + m.point - 1);
        if (e2 != exponent) {
            m.shift(exponent - e2);
            exponent = e2;
            m.roundDecimals(nFrac);
        }
    }

    IntegerWriter iw;
    iw.init(placeIntegerDigits(intHolders, m.integerDigits()), false);
    const auto fracParts = fractionParts(fracHolders, m.fractionDigits(nFrac));
    std::string expDigits = std::to_string(std::abs(exponent));
    IntegerWriter ew;
    ew.init(placeIntegerDigits(expHolders, expDigits), false);
    int fracIdx = 0;
    for (size_t i = 0; i < toks.size(); ++i) {
        const Token& t = toks[i];
        switch (t.kind) {
        case Tok::Literal: out.s += t.text; break;
        case Tok::Digit:
            if (i < pointIdx) {
                iw.writeNext(out.s, out.loc);
            } else if (i < expIdx) {
                out.s += fracParts[fracIdx];
                ++fracIdx;
            } else {
                ew.writeNext(out.s, out.loc);
            }
            break;
        case Tok::Point:
            if (i == pointIdx)
                appendUtf8(out.s, out.loc.decimal);
            else
                out.s += '.';
            break;
        case Tok::Exponent:
            out.s += t.text[0];
            if (exponent < 0)
                out.s += '-';
            else if (t.text[1] == '+')
                out.s += '+';
            break;
        case Tok::Percent: out.s += '%'; break;
        case Tok::Slash: out.s += '/'; break;
        default: break;
        }
    }
}

// Fractions such as "# ?/?" or "?/8": whole part, numerator, bar, denominator.
bool renderFraction(const Section& sec, double a, Out& out)
{
    const auto& toks = sec.tokens;
    size_t slash = 0;
    while (slash < toks.size() && toks[slash].kind != Tok::Slash)
        ++slash;
    if (slash == toks.size() || slash == 0 || toks[slash - 1].kind != Tok::Digit)
        return false;
    // Numerator: the placeholders right before the bar.
    size_t numStart = slash;
    while (numStart > 0 && toks[numStart - 1].kind == Tok::Digit)
        --numStart;
    // Denominator: placeholders, or a fixed number written as literal digits.
    size_t denEnd = slash + 1;
    int fixedDen = 0;
    std::string denAfter; // literal text after a fixed denominator
    std::vector<char> denHolders;
    while (denEnd < toks.size() && toks[denEnd].kind == Tok::Digit)
        denHolders.push_back(toks[denEnd++].ch);
    if (denHolders.empty()) {
        if (denEnd < toks.size() && toks[denEnd].kind == Tok::Literal) {
            const std::string& lit = toks[denEnd].text;
            size_t k = 0;
            while (k < lit.size() && lit[k] >= '0' && lit[k] <= '9')
                ++k;
            if (k == 0)
                return false;
            fixedDen = std::atoi(lit.substr(0, k).c_str());
            denAfter = lit.substr(k);
            ++denEnd;
        } else {
            return false;
        }
    }
    std::vector<char> intHolders, numHolders(numStart < slash ? slash - numStart : 0);
    size_t lastIntDigit = toks.size();
    for (size_t i = 0; i < numStart; ++i)
        if (toks[i].kind == Tok::Digit) {
            intHolders.push_back(toks[i].ch);
            lastIntDigit = i;
        }
    for (size_t i = numStart; i < slash; ++i)
        numHolders[i - numStart] = toks[i].ch;
    int percent = 0;
    for (const auto& t : toks)
        percent += t.kind == Tok::Percent;
    if (percent)
        a *= std::pow(100.0, percent);

    if (a >= 1e15) { // beyond the digits a double holds: no fraction to show
        out.s += formatGeneral(a, out.loc);
        return true;
    }
    double whole = intHolders.empty() ? 0 : std::floor(a);
    const double frac = a - whole;
    long long num = 0, den = 1;
    if (fixedDen > 0) {
        den = fixedDen;
        num = std::llround(frac * den);
    } else {
        long long maxDen = 1;
        for (size_t i = 0; i < denHolders.size() && i < 6; ++i)
            maxDen *= 10;
        maxDen -= 1;
        double best = 2;
        for (long long q = 1; q <= maxDen; ++q) {
            const long long p = std::llround(frac * q);
            const double err = std::fabs(frac - static_cast<double>(p) / q);
            if (err < best - 1e-12) {
                best = err;
                num = p;
                den = q;
            }
        }
    }
    if (!intHolders.empty() && num == den && fixedDen == 0) {
        whole += 1;
        num = 0;
    } else if (!intHolders.empty() && num >= den && fixedDen > 0) {
        whole += static_cast<double>(num / den);
        num %= den;
    }

    std::string wholeDigits;
    if (whole >= 1) {
        Decimal w = Decimal::of(whole);
        wholeDigits = w.integerDigits();
    }
    const bool showFraction = num != 0 || intHolders.empty();
    if (!showFraction && wholeDigits.empty())
        wholeDigits = "0";
    // The whole part's placeholders: '#' with a zero whole part prints nothing.
    IntegerWriter iw;
    iw.init(placeIntegerDigits(intHolders, wholeDigits), false);
    if (whole < 1 && showFraction) {
        for (auto& p : iw.parts)
            if (p == "0")
                p = std::string(1, ' ');
        for (size_t i = 0; i < iw.parts.size(); ++i)
            if (intHolders[i] == '#')
                iw.parts[i].clear();
    }
    auto pad = [](std::string digits, const std::vector<char>& holders, bool left) {
        std::string s = digits;
        size_t width = holders.size();
        while (s.size() < width) {
            const char h = holders[width - s.size() - 1 < holders.size() ? width - s.size() - 1 : 0];
            const std::string fill = h == '0' ? "0" : h == '?' ? " " : "";
            if (fill.empty())
                break;
            s = left ? fill + s : s + fill;
        }
        return s;
    };
    const std::string numText = pad(std::to_string(num), numHolders, true);
    const std::string denText = fixedDen > 0 ? std::to_string(den) : pad(std::to_string(den), denHolders, false);

    for (size_t i = 0; i < toks.size(); ++i) {
        const Token& t = toks[i];
        if (i == numStart) {
            if (showFraction)
                out.s += numText + "/" + denText + denAfter;
            else
                out.s += std::string(numText.size() + 1 + denText.size(), ' ');
            i = denEnd - 1;
            continue;
        }
        switch (t.kind) {
        case Tok::Literal:
            // The blank between whole part and fraction goes with the fraction.
            if (i > lastIntDigit && i < numStart && lastIntDigit != toks.size() && whole < 1 && showFraction
                && intHolders.back() == '#')
                break;
            out.s += t.text;
            break;
        case Tok::Digit: iw.writeNext(out.s, out.loc); break;
        case Tok::Percent: out.s += '%'; break;
        case Tok::Point: appendUtf8(out.s, out.loc.decimal); break;
        default: break;
        }
    }
    return true;
}

std::string renderGeneral(double v, const Locale& loc) { return formatGeneral(v, loc); }

// ---------------------------------------------------------------------------
// Rendering dates and times

std::string pad2(int v)
{
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::string pick(const std::vector<std::string>& names, int idx, const std::string& fallback)
{
    return idx >= 0 && idx < static_cast<int>(names.size()) ? names[idx] : fallback;
}

std::string renderDate(const Section& sec, double v, bool date1904, const Locale& loc)
{
    const auto& toks = sec.tokens;
    int fracDigits = 0;
    bool ampm = false, elapsed = false;
    for (const auto& t : toks) {
        if (t.kind == Tok::FracSec)
            fracDigits = std::max(fracDigits, t.count);
        if (t.kind == Tok::AmPm)
            ampm = true;
        if (t.kind == Tok::Elapsed)
            elapsed = true;
    }
    if (!std::isfinite(v) || std::fabs(v) >= 3e6 || (v < 0 && !elapsed))
        return "#####";
    const bool negative = v < 0;
    int64_t unit = 1000;
    for (int i = 0; i < fracDigits; ++i)
        unit /= 10;
    const int64_t ms = roundMs(serialToMs(std::fabs(v)), unit);
    const auto dtOpt = msToDateTime(ms, date1904);
    if (!dtOpt)
        return "#####";
    const DateTime& dt = *dtOpt;
    const int64_t days = ms / kMsPerDay;

    std::string out = negative ? "-" : "";
    for (const auto& t : toks) {
        switch (t.kind) {
        case Tok::Literal: out += t.text; break;
        case Tok::Date: {
            const size_t n = t.text.size();
            switch (t.text[0]) {
            case 'd':
                if (n == 1)
                    out += std::to_string(dt.day);
                else if (n == 2)
                    out += pad2(dt.day);
                else if (n == 3)
                    out += pick(loc.dayShort, weekdayOf(days, date1904), "");
                else
                    out += pick(loc.dayNames, weekdayOf(days, date1904), "");
                break;
            case 'm':
                if (n == 1)
                    out += std::to_string(dt.month);
                else if (n == 2)
                    out += pad2(dt.month);
                else if (n == 3)
                    out += pick(loc.monthShort, dt.month - 1, "");
                else if (n == 5) {
                    const std::string name = pick(loc.monthNames, dt.month - 1, "");
                    if (!name.empty())
                        out += name.substr(0, utf8Len(name, 0));
                } else
                    out += pick(loc.monthNames, dt.month - 1, "");
                break;
            case 'y':
                if (n <= 2)
                    out += pad2(dt.year % 100);
                else
                    out += std::to_string(dt.year);
                break;
            case 'h': {
                int h = dt.hour;
                if (ampm) {
                    h %= 12;
                    if (h == 0)
                        h = 12;
                }
                out += n == 1 ? std::to_string(h) : pad2(h);
                break;
            }
            case 'n': out += n == 1 ? std::to_string(dt.minute) : pad2(dt.minute); break;
            case 's': out += n == 1 ? std::to_string(dt.second) : pad2(dt.second); break;
            default: break;
            }
            break;
        }
        case Tok::Elapsed: {
            int64_t total = ms / 1000;
            if (t.text[0] == 'h')
                total /= 3600;
            else if (t.text[0] == 'm')
                total /= 60;
            std::string s = std::to_string(total);
            while (s.size() < t.text.size())
                s.insert(s.begin(), '0');
            out += s;
            break;
        }
        case Tok::FracSec: {
            appendUtf8(out, loc.decimal);
            std::string s = std::to_string(dt.millisecond + 1000).substr(1); // three digits
            out += s.substr(0, t.count);
            break;
        }
        case Tok::AmPm: {
            const bool pm = dt.hour >= 12;
            if (t.text.size() == 3) { // A/P
                const char c = pm ? t.text[2] : t.text[0];
                out += c;
            } else {
                std::string s = pm ? loc.pmText : loc.amText;
                if (t.text[0] == 'a' || t.text[0] == 'p')
                    for (char& c : s)
                        c = lower(c);
                out += s;
            }
            break;
        }
        case Tok::General: out += formatGeneral(v, loc); break;
        case Tok::Point: out += '.'; break;
        default: break;
        }
    }
    return out;
}

std::string renderText(const Section& sec, const std::string& text)
{
    std::string out;
    for (const auto& t : sec.tokens) {
        if (t.kind == Tok::Literal)
            out += t.text;
        else if (t.kind == Tok::At)
            out += text;
    }
    return out;
}

// Renders the magnitude `a` through a number (or date) section.
std::string renderNumberSection(const Section& sec, double signedValue, double a, bool date1904, const Locale& loc)
{
    if (sec.isDate)
        return renderDate(sec, signedValue, date1904, loc);
    bool hasDigits = false, hasExp = false, hasGeneral = false;
    for (const auto& t : sec.tokens) {
        hasDigits |= t.kind == Tok::Digit;
        hasExp |= t.kind == Tok::Exponent;
        hasGeneral |= t.kind == Tok::General;
    }
    if (sec.hasText && !hasDigits && !hasGeneral)
        return formatGeneral(a, loc); // a text format shows numbers as they are
    Out out{loc, {}};
    if (hasExp && hasDigits)
        renderScientific(sec, a, out);
    else if (!hasDigits || !renderFraction(sec, a, out))
        renderPlain(sec, a, out);
    return out.s;
}

// Parsed sections of a format string; a grid shows few distinct formats, so
// the parses are kept (per thread) instead of repeated for every cell.
const std::vector<Section>& parsedFormat(std::string_view format)
{
    thread_local std::unordered_map<std::string, std::vector<Section>> cache;
    auto it = cache.find(std::string(format));
    if (it != cache.end())
        return it->second;
    if (cache.size() >= 512)
        cache.clear();
    std::vector<Section> secs;
    for (auto p : splitSections(format))
        secs.push_back(parseSection(p));
    return cache.emplace(std::string(format), std::move(secs)).first->second;
}

bool allZeroDigits(const std::string& s)
{
    bool anyDigit = false;
    for (char c : s) {
        if (c >= '1' && c <= '9')
            return false;
        anyDigit |= c == '0';
    }
    return anyDigit;
}

std::string formatNumber(double v, std::string_view format, bool date1904, const Locale& loc)
{
    if (!std::isfinite(v))
        return "#NUM!";
    const std::vector<Section>& secs = parsedFormat(format);
    // A fourth section is for texts only, and so is a last section that shows
    // nothing but the text ("dd/mm/yyyy;@").
    size_t numeric = std::min<size_t>(secs.size(), 3);
    if (secs.size() > 1 && secs.size() <= 3 && secs.back().isTextOnly())
        numeric = secs.size() - 1;
    const bool conditional = secs[0].op != CondOp::None || (numeric > 1 && secs[1].op != CondOp::None);

    size_t idx = 0;
    bool showMinus = v < 0;
    if (conditional) {
        if (secs[0].op != CondOp::None && secs[0].matches(v)) {
            idx = 0;
        } else if (numeric > 1 && secs[1].op != CondOp::None && secs[1].matches(v)) {
            idx = 1;
        } else if (numeric > 2) {
            idx = 2;
        } else if (numeric > 1 && secs[1].op == CondOp::None) {
            idx = 1;
        } else {
            idx = 0;
        }
        const Section& s = secs[idx];
        if (s.op != CondOp::None)
            showMinus = v < 0 && !s.conditionIsNegative();
    } else if (numeric >= 2) {
        if (v < 0) {
            idx = 1;
            showMinus = false;
        } else if (v == 0 && numeric >= 3) {
            idx = 2;
        }
    }
    const Section& sec = secs[idx];
    std::string body = renderNumberSection(sec, v, std::fabs(v), date1904, loc);
    if (sec.isDate)
        return body;
    // No minus for a number that shows as zero ("-0,00" would mislead).
    if (showMinus && !allZeroDigits(body))
        body.insert(0, "-");
    return body;
}

} // namespace

std::string formatGeneral(double v, const Locale& locale)
{
    if (!std::isfinite(v))
        return "#NUM!";
    Decimal d = Decimal::of(v);
    if (d.isZero())
        return "0";
    std::string out = v < 0 ? "-" : "";
    const int e10 = d.point - 1;
    const bool integral = d.point >= static_cast<int>(d.digits.size());
    if (integral && e10 < 11) {
        out += d.integerDigits();
        return out;
    }
    if (e10 >= 11 || e10 < -4) {
        d.roundDigits(10);
        const int e = d.point - 1;
        out += d.digits[0];
        if (d.digits.size() > 1) {
            appendUtf8(out, locale.decimal);
            out += d.digits.substr(1);
        }
        out += e < 0 ? "E-" : "E+";
        const std::string es = std::to_string(std::abs(e));
        out += es.size() < 2 ? "0" + es : es;
        return out;
    }
    d.roundDigits(10);
    const std::string ip = d.integerDigits();
    out += ip.empty() ? "0" : ip;
    const int nFrac = static_cast<int>(d.digits.size()) - d.point;
    if (nFrac > 0) {
        appendUtf8(out, locale.decimal);
        out += d.fractionDigits(nFrac);
    }
    return out;
}

std::string formatValue(const Value& v, std::string_view format, bool date1904, const Locale& locale)
{
    switch (v.type) {
    case CellType::Empty: return {};
    case CellType::Boolean: return v.boolean ? locale.trueText : locale.falseText;
    case CellType::Error: return errorText(v.error);
    case CellType::Text: {
        const auto& secs = parsedFormat(format);
        if (secs.size() >= 4)
            return renderText(secs[3], v.text);
        for (const auto& s : secs)
            if (s.hasText)
                return renderText(s, v.text);
        return v.text;
    }
    case CellType::Number: break;
    }
    std::string_view f = format;
    std::string local;
    // The built-in short date (id 14) follows the user's locale.
    if (f == "m/d/yy") {
        local = locale.shortDate;
        f = local;
    } else if (f == "m/d/yy h:mm") {
        local = locale.shortDate + " hh:mm";
        f = local;
    }
    if (f.empty())
        f = "General";
    return formatNumber(v.number, f, date1904, locale);
}

std::string cellText(const Workbook& wb, const Worksheet& ws, int row, int col, const Locale& locale)
{
    const Value v = ws.value(row, col);
    if (v.isEmpty())
        return {};
    const uint16_t xf = ws.cell(row, col).xf;
    if (v.type == CellType::Number && xf < wb.formats.size()) {
        // Built-in 14 and 22 show the user's short date whatever string a file gave them.
        const uint16_t id = wb.formats[xf].numFmtId;
        if (id == 14)
            return formatNumber(v.number, locale.shortDate, wb.date1904, locale);
        if (id == 22)
            return formatNumber(v.number, locale.shortDate + " hh:mm", wb.date1904, locale);
    }
    return formatValue(v, wb.numberFormatOfXf(xf), wb.date1904, locale);
}

} // namespace gp::sheet
