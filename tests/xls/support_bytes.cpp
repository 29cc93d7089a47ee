#include "xls/support_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/sheet/utf.h"

namespace fs = std::filesystem;

namespace gptest {

uint16_t get16(const Bytes& b, size_t at) { return uint16_t(b.at(at) | (b.at(at + 1) << 8)); }
uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | (uint32_t(get16(b, at + 2)) << 16); }
void put16(Bytes& b, size_t at, uint16_t v) { b.at(at + 1) = uint8_t(v >> 8), b.at(at) = uint8_t(v); }
void put32(Bytes& b, size_t at, uint32_t v) { put16(b, at, uint16_t(v)), put16(b, at + 2, uint16_t(v >> 16)); }
Bytes u16le(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes u32le(uint32_t v) { return u16le(uint16_t(v)) + u16le(uint16_t(v >> 16)); }
Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes latin1(const std::string& s) { return {s.begin(), s.end()}; }
Bytes utf16(const std::u16string& s)
{
    Bytes out;
    for (char16_t c : s)
        out = out + u16le(c);
    return out;
}

Bytes pattern(size_t n, uint32_t seed)
{
    Bytes v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& c : v) {
        x = x * 1103515245u + 12345u;
        c = uint8_t(x >> 16);
    }
    return v;
}

void record(Bytes& s, uint16_t type, const Bytes& body) { s = s + u16le(type) + u16le(uint16_t(body.size())) + body; }

Bytes bofBody(uint16_t type)
{
    return {0x00, 0x06, uint8_t(type), uint8_t(type >> 8), 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 6, 0, 0, 0};
}

Records Records::of(const Bytes& s)
{
    Records r;
    for (size_t pos = 0; pos + 4 <= s.size();) {
        const uint16_t type = get16(s, pos), n = get16(s, pos + 2);
        r.list.push_back({type, Bytes(s.begin() + long(pos) + 4, s.begin() + long(std::min(s.size(), pos + 4 + n)))});
        pos += 4 + n;
    }
    return r;
}

size_t Records::find(uint16_t type, int k) const
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].type == type && k-- == 0)
            return i;
    return list.size();
}

size_t Records::cell(uint16_t type, int row, int col) const
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].type == type && list[i].body.size() >= 4 && get16(list[i].body, 0) == row
            && get16(list[i].body, 2) == col)
            return i;
    return list.size();
}

Bytes Records::bytes() const
{
    Bytes out;
    std::vector<size_t> sheetBofs, boundsheets;
    int depth = 0;
    for (const gp::sheet::RawRecord& r : list) {
        if (r.type == 0x0809 && depth++ == 0 && !out.empty())
            sheetBofs.push_back(out.size());
        if (r.type == 0x000A)
            --depth;
        if (r.type == 0x0085)
            boundsheets.push_back(out.size() + 4);
        record(out, r.type, r.body);
    }
    for (size_t i = 0; i < boundsheets.size() && i < sheetBofs.size(); ++i)
        put32(out, boundsheets[i], uint32_t(sheetBofs[i]));
    return out;
}

Bytes readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& p, const Bytes& bytes)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

gp::xls::CompoundFile oneStream(Bytes data, std::u16string name)
{
    gp::xls::CompoundFile f;
    f.root.name = u"Root Entry";
    f.root.type = 5;
    f.root.children.resize(1); // a stream, the default type
    f.root.children[0].name = std::move(name);
    f.root.children[0].data = std::move(data);
    return f;
}

std::vector<fs::path> fixtureFiles(bool practice)
{
    std::vector<fs::path> out;
    for (const char* sub : {"xls", "practice"}) {
        const fs::path dir = fs::path(GP_SHARED_DIR) / "fixtures" / sub;
        if ((sub[0] == 'p' && !practice) || !fs::is_directory(dir))
            continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().extension() == ".xls" && fs::exists(fs::path(e.path()).replace_extension(".expected.json")))
                out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// The JSON string that starts at the quote s[i]; i ends on the closing quote.
std::string jsonString(const std::string& s, size_t& i)
{
    std::string out;
    for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c != 'u') {
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            continue;
        }
        uint32_t cp = uint32_t(std::stoul(s.substr(i + 1, 4), nullptr, 16));
        i += 4;
        if (cp >= 0xD800 && cp < 0xDC00 && s.compare(i + 1, 2, "\\u") == 0) {
            const uint32_t lo = uint32_t(std::stoul(s.substr(i + 3, 4), nullptr, 16));
            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            i += 6;
        }
        gp::sheet::appendUtf8(out, cp);
    }
    return out;
}

} // namespace

Expected readExpected(const fs::path& workbook)
{
    const Bytes bytes = readBytes(fs::path(workbook).replace_extension(".expected.json"));
    const std::string s(bytes.begin(), bytes.end());
    Expected e;
    auto field = [&](const std::string& key) -> std::optional<std::string> {
        size_t p = s.find("\"" + key + "\": ");
        if (p == std::string::npos || s[p + key.size() + 4] != '"')
            return std::nullopt;
        p += key.size() + 4;
        return jsonString(s, p);
    };
    e.encryption = field("encryption").value_or("");
    e.password = field("password");
    for (size_t p = s.find("\"name\": \""); p != std::string::npos; p = s.find("\"name\": \"", p)) {
        p += 8;
        e.sheetNames.push_back(jsonString(s, p));
    }
    if (size_t t = s.find("\"text\", \""); t != std::string::npos) {
        t += 8;
        e.firstText = jsonString(s, t);
    }
    return e;
}

} // namespace gptest
