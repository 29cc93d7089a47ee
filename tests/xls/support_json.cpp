#include "xls/support_json.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace gptest {

namespace {

struct Parser {
    const std::string& s;
    size_t i = 0;

    [[noreturn]] void bad(const char* what) { throw std::runtime_error(std::string("JSON: ") + what + " at " + std::to_string(i)); }
    void ws()
    {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\n' || s[i] == '\r' || s[i] == '\t'))
            ++i;
    }
    bool lit(const char* w)
    {
        size_t n = std::char_traits<char>::length(w);
        if (s.compare(i, n, w) == 0) {
            i += n;
            return true;
        }
        return false;
    }
    void putUtf8(std::string& out, uint32_t cp)
    {
        if (cp < 0x80) out.push_back(char(cp));
        else if (cp < 0x800) { out.push_back(char(0xC0 | (cp >> 6))); out.push_back(char(0x80 | (cp & 0x3F))); }
        else if (cp < 0x10000) { out.push_back(char(0xE0 | (cp >> 12))); out.push_back(char(0x80 | ((cp >> 6) & 0x3F))); out.push_back(char(0x80 | (cp & 0x3F))); }
        else { out.push_back(char(0xF0 | (cp >> 18))); out.push_back(char(0x80 | ((cp >> 12) & 0x3F))); out.push_back(char(0x80 | ((cp >> 6) & 0x3F))); out.push_back(char(0x80 | (cp & 0x3F))); }
    }
    uint32_t hex4()
    {
        if (i + 4 > s.size())
            bad("short \\u escape");
        uint32_t v = uint32_t(std::stoul(s.substr(i, 4), nullptr, 16));
        i += 4;
        return v;
    }
    std::string string()
    {
        if (s[i] != '"')
            bad("expected a string");
        ++i;
        std::string out;
        while (i < s.size() && s[i] != '"') {
            char c = s[i++];
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (i >= s.size())
                bad("bad escape");
            char e = s[i++];
            switch (e) {
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case 'r': out.push_back('\r'); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'u': {
                uint32_t cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF && s.compare(i, 2, "\\u") == 0) {
                    i += 2;
                    uint32_t lo = hex4();
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                }
                putUtf8(out, cp);
                break;
            }
            default: out.push_back(e); break;
            }
        }
        if (i >= s.size())
            bad("unterminated string");
        ++i;
        return out;
    }
    Json value()
    {
        ws();
        if (i >= s.size())
            bad("unexpected end");
        Json j;
        char c = s[i];
        if (c == '{') {
            j.kind = Json::Object;
            ++i;
            ws();
            if (s[i] == '}') { ++i; return j; }
            for (;;) {
                ws();
                std::string k = string();
                ws();
                if (s[i++] != ':')
                    bad("expected ':'");
                j.obj[k] = value();
                ws();
                if (s[i] == ',') { ++i; continue; }
                if (s[i] == '}') { ++i; break; }
                bad("expected ',' or '}'");
            }
        } else if (c == '[') {
            j.kind = Json::Array;
            ++i;
            ws();
            if (s[i] == ']') { ++i; return j; }
            for (;;) {
                j.arr.push_back(value());
                ws();
                if (s[i] == ',') { ++i; continue; }
                if (s[i] == ']') { ++i; break; }
                bad("expected ',' or ']'");
            }
        } else if (c == '"') {
            j.kind = Json::String;
            j.str = string();
        } else if (lit("null")) {
        } else if (lit("true")) {
            j.kind = Json::Bool;
            j.b = true;
        } else if (lit("false")) {
            j.kind = Json::Bool;
        } else if (lit("NaN")) {
            j.kind = Json::Number;
            j.num = std::nan("");
        } else {
            j.kind = Json::Number;
            char* end = nullptr;
            j.num = std::strtod(s.c_str() + i, &end);
            if (end == s.c_str() + i)
                bad("bad value");
            i = size_t(end - s.c_str());
        }
        return j;
    }
};

bool sameNumber(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

std::map<int, std::pair<double, bool>> columns(const Json& colinfo)
{
    std::map<int, std::pair<double, bool>> m;
    for (const Json& e : colinfo.arr)
        for (int c = int(e[0].num); c <= std::min(int(e[1].num), 255); ++c)
            m[c] = {e[2].num, e[3].b};
    return m;
}

std::string show(const Json& j)
{
    switch (j.kind) {
    case Json::Null: return "null";
    case Json::Bool: return j.b ? "true" : "false";
    case Json::Number: { std::ostringstream o; o.precision(17); o << j.num; return o.str(); }
    case Json::String: return "\"" + j.str + "\"";
    case Json::Array: {
        std::string s = "[";
        for (size_t i = 0; i < j.arr.size(); ++i)
            s += (i ? ", " : "") + show(j.arr[i]);
        return s + "]";
    }
    case Json::Object: return "{...}";
    }
    return "?";
}

bool sameScalar(const Json& a, const Json& b)
{
    if (a.kind != b.kind)
        return false;
    switch (a.kind) {
    case Json::Null: return true;
    case Json::Bool: return a.b == b.b;
    case Json::Number: return sameNumber(a.num, b.num);
    case Json::String: return a.str == b.str;
    default: return false;
    }
}

} // namespace

const Json& Json::operator[](const std::string& key) const
{
    static const Json null;
    auto it = obj.find(key);
    return it == obj.end() ? null : it->second;
}

Json parseJson(const std::string& text)
{
    Parser p{text};
    Json j = p.value();
    p.ws();
    if (p.i != text.size())
        p.bad("trailing data");
    return j;
}

std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream o;
    o << f.rdbuf();
    return o.str();
}

Json parseJsonFile(const std::string& path) { return parseJson(readFile(path)); }

std::vector<std::string> compareDumps(const Json& expected, const Json& actual)
{
    std::vector<std::string> errs;
    if (!sameScalar(expected["datemode"], actual["datemode"]))
        errs.push_back("datemode differs");
    const auto& es = expected["sheets"].arr;
    const auto& as = actual["sheets"].arr;
    std::vector<std::string> en, an;
    for (const Json& s : es) en.push_back(s["name"].str);
    for (const Json& s : as) an.push_back(s["name"].str);
    if (en != an) {
        errs.push_back("sheet names differ");
        return errs;
    }
    for (size_t k = 0; k < es.size(); ++k) {
        const Json& x = es[k];
        const Json& y = as[k];
        std::string where = x["name"].str + ": ";
        if (x["visibility"].str != y["visibility"].str)
            errs.push_back(where + "visibility " + x["visibility"].str + " != " + y["visibility"].str);
        std::set<std::tuple<int, int, int, int>> mx, my;
        for (const Json& m : x["merged"].arr) mx.insert({int(m[0].num), int(m[1].num), int(m[2].num), int(m[3].num)});
        for (const Json& m : y["merged"].arr) my.insert({int(m[0].num), int(m[1].num), int(m[2].num), int(m[3].num)});
        if (mx != my)
            errs.push_back(where + "merged ranges differ");
        if (columns(x["colinfo"]) != columns(y["colinfo"]))
            errs.push_back(where + "column info differs");
        std::map<std::pair<int, int>, const Json*> cx, cy;
        for (const Json& c : x["cells"].arr) cx[{int(c[0].num), int(c[1].num)}] = &c;
        for (const Json& c : y["cells"].arr) cy[{int(c[0].num), int(c[1].num)}] = &c;
        for (const auto& [key, c] : cx) {
            auto it = cy.find(key);
            if (it == cy.end()) {
                errs.push_back(where + "missing cell " + show(*c));
                continue;
            }
            const Json& d = *it->second;
            bool ok = c->arr.size() == d.arr.size();
            for (size_t i = 2; ok && i < c->arr.size(); ++i)
                ok = sameScalar((*c)[i], d[i]);
            if (!ok)
                errs.push_back(where + show(*c) + " != " + show(d));
        }
        for (const auto& [key, c] : cy)
            if (!cx.count(key))
                errs.push_back(where + "extra cell " + show(*c));
    }
    return errs;
}

} // namespace gptest
