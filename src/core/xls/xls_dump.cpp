#include "core/xls/xls_dump.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/sheet/numfmt.h"

namespace gp::xls {

using namespace gp::sheet;

namespace {

void jsonString(std::string& out, const std::string& s)
{
    out.push_back('"');
    for (unsigned char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out.push_back(char(c));
            }
        }
    }
    out.push_back('"');
}

const char* encryptionName(Encryption e)
{
    switch (e) {
    case Encryption::None: return "none";
    case Encryption::Xor: return "xor";
    case Encryption::Rc4: return "rc4";
    case Encryption::Rc4CryptoApi: return "rc4-cryptoapi";
    }
    return "none";
}

} // namespace

std::optional<std::string> dumpNumberFormat(const Workbook& wb, uint16_t id)
{
    auto it = wb.numberFormats.find(id);
    if (it != wb.numberFormats.end())
        return it->second;
    std::string builtin = gp::sheet::builtinNumberFormat(id);
    if (!builtin.empty())
        return builtin;
    return std::nullopt;
}

bool dumpIsDateFormat(const Workbook& wb, uint16_t id)
{
    auto it = wb.numberFormats.find(id);
    if (it == wb.numberFormats.end())
        return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58)
            || (id >= 71 && id <= 81);
    const std::string& f = it->second;
    std::string s;
    bool quoted = false, skipNext = false;
    for (char c : f) {
        if (skipNext) {
            skipNext = false;
            continue;
        }
        if (quoted) {
            if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') {
            quoted = true;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            skipNext = true;
            continue;
        }
        if (std::string_view("$-+/(): ").find(c) != std::string_view::npos
            || std::isspace(static_cast<unsigned char>(c)))
            continue;
        s.push_back(c);
    }
    // Bracketed parts go.
    std::string t;
    bool inBracket = false;
    for (char c : s) {
        if (inBracket) {
            if (c == ']')
                inBracket = false;
            continue;
        }
        if (c == '[') {
            inBracket = true;
            continue;
        }
        t.push_back(c);
    }
    if (t == "0.00E+00" || t == "##0.0E+0" || t == "General" || t == "GENERAL" || t == "general" || t == "@")
        return false;
    int dates = 0, nums = 0;
    for (char c : t) {
        if (std::string_view("ymdhsYMDHS").find(c) != std::string_view::npos)
            ++dates;
        else if (c == '0' || c == '#' || c == '?')
            ++nums;
    }
    return dates > nums;
}

std::optional<std::string> dumpIsoDate(double serial, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0)
        return std::nullopt;
    if (serial == 0)
        return std::string("00:00:00");
    double days = std::floor(serial);
    if (days >= 3e6)
        return std::nullopt;
    int64_t xldays = int64_t(days);
    long seconds = std::lrint((serial - days) * 86400.0); // ties to even, as the reference reader rounds
    int h = 0, mi = 0, s = 0;
    if (seconds >= 86400) {
        ++xldays;
    } else {
        s = int(seconds % 60);
        mi = int((seconds / 60) % 60);
        h = int(seconds / 3600);
    }
    if (xldays >= (date1904 ? 2957004 : 2958466))
        return std::nullopt;
    char buf[40];
    if (xldays == 0) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
        return std::string(buf);
    }
    if (xldays < 61 && !date1904)
        return std::nullopt;
    // The civil day through the engine's one date routine (whole days: the
    // time was rounded above, as the reference reader rounds it).
    auto day = serialToDateTime(double(xldays), date1904);
    if (!day)
        return std::nullopt;
    const int y = day->year, m = day->month, d = day->day;
    if (h == 0 && mi == 0 && s == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", y, m, d, h, mi, s);
    return std::string(buf);
}

std::string jsonNumber(double v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string sci(buf, res.ptr);
    // Digits and exponent of the shortest representation.
    bool neg = sci[0] == '-';
    size_t start = neg ? 1 : 0;
    size_t e = sci.find('e');
    std::string digits;
    for (size_t i = start; i < e; ++i)
        if (sci[i] != '.')
            digits.push_back(sci[i]);
    int exp = std::stoi(sci.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string out = neg ? "-" : "";
    if (exp >= -4 && exp < 16) {
        if (exp >= 0) {
            std::string ip = digits.substr(0, std::min<size_t>(digits.size(), exp + 1));
            while (int(ip.size()) < exp + 1)
                ip.push_back('0');
            std::string fp = digits.size() > size_t(exp + 1) ? digits.substr(exp + 1) : "0";
            out += ip + "." + fp;
        } else {
            out += "0." + std::string(size_t(-exp - 1), '0') + digits;
        }
    } else {
        out += digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        char eb[16];
        std::snprintf(eb, sizeof eb, "e%c%02d", exp < 0 ? '-' : '+', std::abs(exp));
        out += eb;
    }
    return out;
}

std::string dumpJson(const XlsDocument& doc, const std::string& fileName)
{
    const Workbook& wb = *doc.workbook;
    std::string o;
    o += "{\n \"file\": ";
    jsonString(o, fileName);
    o += ",\n \"encryption\": \"";
    o += encryptionName(doc.encryption);
    o += "\",\n \"biff_version\": 80,\n \"codepage\": " + std::to_string(wb.codepage);
    o += ",\n \"datemode\": " + std::to_string(wb.date1904 ? 1 : 0) + ",\n \"repairs\": [";
    for (size_t i = 0; i < doc.repairs.size(); ++i) {
        o += i ? ",\n  {\"what\": " : "\n  {\"what\": ";
        jsonString(o, doc.repairs[i].what);
        o += ", \"count\": " + std::to_string(doc.repairs[i].count) + "}";
    }
    o += doc.repairs.empty() ? "],\n \"sheets\": [" : "\n ],\n \"sheets\": [";
    bool firstSheet = true;
    for (const auto& wsp : wb.sheets) {
        const Worksheet& ws = *wsp;
        if (ws.kind != 0)
            continue;
        o += firstSheet ? "\n" : ",\n";
        firstSheet = false;
        o += "  {\n   \"name\": ";
        jsonString(o, ws.name);
        const char* vis = ws.visibility == Visibility::Visible ? "visible"
            : ws.visibility == Visibility::Hidden              ? "hidden"
                                                               : "very hidden";
        o += ",\n   \"visibility\": \"";
        o += vis;
        o += "\",\n   \"nrows\": " + std::to_string(ws.lastRow() + 1)
            + ",\n   \"ncols\": " + std::to_string(ws.lastCol() + 1) + ",\n   \"merged\": [";
        for (size_t i = 0; i < ws.merged.size(); ++i) {
            const CellRange& m = ws.merged[i];
            o += (i ? ", [" : "[") + std::to_string(m.firstRow) + ", " + std::to_string(m.lastRow + 1) + ", "
                + std::to_string(m.firstCol) + ", " + std::to_string(m.lastCol + 1) + "]";
        }
        o += "],\n   \"colinfo\": [";
        for (size_t i = 0; i < ws.columns.size(); ++i) {
            const ColumnInfo& c = ws.columns[i];
            o += (i ? ", [" : "[") + std::to_string(c.firstCol) + ", " + std::to_string(c.lastCol) + ", "
                + std::to_string(c.width) + ", " + (c.hidden ? "true" : "false") + "]";
        }
        o += "],\n   \"cells\": [";
        bool firstCell = true;
        for (size_t r = 0; r < ws.rows.size(); ++r) {
            const auto& cells = ws.rows[r].cells;
            for (size_t c = 0; c < cells.size(); ++c) {
                const Cell& cell = cells[c];
                if (cell.type == CellType::Empty)
                    continue;
                o += firstCell ? "\n    [" : ",\n    [";
                firstCell = false;
                o += std::to_string(r) + ", " + std::to_string(c) + ", ";
                switch (cell.type) {
                case CellType::Text:
                    o += "\"text\", ";
                    jsonString(o, cell.str < wb.strings.size() ? wb.strings[cell.str].text : std::string());
                    break;
                case CellType::Boolean: o += cell.small ? "\"boolean\", true" : "\"boolean\", false"; break;
                case CellType::Error:
                    o += "\"error\", ";
                    jsonString(o, errorText(cell.small));
                    break;
                case CellType::Number: {
                    uint16_t id = cell.xf < wb.formats.size() ? wb.formats[cell.xf].numFmtId : 0;
                    auto fmt = dumpNumberFormat(wb, id);
                    std::string fmtJson;
                    if (fmt)
                        jsonString(fmtJson, *fmt);
                    else
                        fmtJson = "null";
                    if (dumpIsDateFormat(wb, id)) {
                        auto iso = dumpIsoDate(cell.number, wb.date1904);
                        o += "\"date\", ";
                        if (iso)
                            jsonString(o, *iso);
                        else
                            o += "null";
                        o += ", " + jsonNumber(cell.number) + ", " + fmtJson;
                    } else {
                        o += "\"number\", " + jsonNumber(cell.number) + ", " + fmtJson;
                    }
                    break;
                }
                case CellType::Empty: break;
                }
                o += "]";
            }
        }
        o += firstCell ? "]\n  }" : "\n   ]\n  }";
    }
    o += firstSheet ? "]\n}\n" : "\n ]\n}\n";
    return o;
}

} // namespace gp::xls
