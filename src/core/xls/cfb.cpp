// Compound file reader and writer.
//
// The reader treats every number in the file as hostile: sector numbers are
// checked against the file and the FAT, every chain is walked with a visited
// set, sizes are compared with the file length before anything is allocated,
// and the directory tree is walked iteratively with each entry allowed once.
#include "core/xls/cfb.h"
#include "core/xls/large_buffer.h"
#include "core/xls/le_bytes.h"

#include <algorithm>
#include <cstring>

namespace gp::xls {

namespace {

constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
constexpr uint32_t kDifSect = 0xFFFFFFFC;
constexpr uint32_t kFatSect = 0xFFFFFFFD;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFreeSect = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr size_t kMiniSectorSize = 64;
constexpr uint32_t kMiniCutoff = 4096;
constexpr int kMaxStorageDepth = 64;

// Simple upper-casing of a UTF-16 unit, enough for the names that occur in
// practice (Latin-1, Greek, Cyrillic).
char16_t upper(char16_t c)
{
    if (c >= u'a' && c <= u'z')
        return char16_t(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return char16_t(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return char16_t(c - 32);
    if (c >= 0x430 && c <= 0x44F)
        return char16_t(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return char16_t(c - 80);
    return c;
}

bool sameName(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

// Order of siblings in the directory tree: shorter first, then by upper-cased units.
bool nameLess(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = upper(a[i]), y = upper(b[i]);
        if (x != y)
            return x < y;
    }
    return false;
}

Error damaged(const char* what) { return makeError(ErrorCode::Damaged, what); }

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : f_(bytes) {}

    Result<CompoundFile> run();

private:
    struct DirEntry {
        std::u16string name;
        uint8_t type = 0;
        uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
        std::array<uint8_t, 16> clsid{};
        uint32_t stateBits = 0;
        uint64_t created = 0, modified = 0;
        uint32_t start = kEndOfChain;
        uint64_t size = 0;
    };

    // Copies sector `s` (zero-filled where the file is truncated) into out.
    void appendSector(uint32_t s, std::vector<uint8_t>& out) const
    {
        size_t off = (size_t(s) + 1) * ss_;
        size_t old = out.size();
        out.resize(old + ss_, 0);
        if (off < f_.size()) {
            size_t n = std::min(ss_, f_.size() - off);
            std::memcpy(out.data() + old, f_.data() + off, n);
        }
    }

    bool chain(uint32_t start, std::vector<uint32_t>& out, size_t maxLen) const;
    bool readFatStream(uint32_t start, uint64_t size, std::vector<uint8_t>& out) const;
    bool readMiniStream(uint32_t start, uint64_t size, std::vector<uint8_t>& out) const;
    bool readEntryData(const DirEntry& e, std::vector<uint8_t>& out);
    bool buildChildren(uint32_t top, CfbEntry& parent, int depth);

    std::span<const uint8_t> f_;
    size_t ss_ = 512;
    size_t nSectors_ = 0; // sectors present (the last possibly truncated)
    int version_ = 3;
    uint32_t cutoff_ = kMiniCutoff;
    std::vector<uint32_t> fat_, miniFat_;
    std::vector<uint8_t> mini_; // the mini stream
    std::vector<DirEntry> dir_;
    std::vector<bool> used_; // directory entries already placed in the tree
    uint64_t budget_ = 0;    // bytes of stream data still allowed
};

// Follows a FAT chain from `start`, at most maxLen sectors; false on a bad
// sector number or a cycle.
bool Reader::chain(uint32_t start, std::vector<uint32_t>& out, size_t maxLen) const
{
    out.clear();
    if (start == kEndOfChain)
        return true;
    std::vector<bool> seen(std::min(fat_.size(), nSectors_), false);
    uint32_t s = start;
    while (s != kEndOfChain) {
        if (s >= seen.size() || seen[s] || out.size() >= maxLen)
            return false;
        seen[s] = true;
        out.push_back(s);
        s = fat_[s];
    }
    return true;
}

bool Reader::readFatStream(uint32_t start, uint64_t size, std::vector<uint8_t>& out) const
{
    out.clear();
    if (size > f_.size())
        return false;
    size_t need = size_t((size + ss_ - 1) / ss_);
    if (need == 0)
        return true;
    std::vector<uint32_t> sectors;
    if (!chain(start, sectors, nSectors_) || sectors.size() < need)
        return false;
    out.reserve(need * ss_);
    adviseLargeBuffer(out.data(), out.capacity());
    for (size_t i = 0; i < need; ++i)
        appendSector(sectors[i], out);
    out.resize(size_t(size));
    return true;
}

bool Reader::readMiniStream(uint32_t start, uint64_t size, std::vector<uint8_t>& out) const
{
    out.clear();
    if (size > mini_.size())
        return false;
    size_t need = size_t((size + kMiniSectorSize - 1) / kMiniSectorSize);
    if (need == 0)
        return true;
    size_t nMini = std::min(miniFat_.size(), mini_.size() / kMiniSectorSize);
    std::vector<bool> seen(nMini, false);
    out.reserve(need * kMiniSectorSize);
    uint32_t m = start;
    for (size_t i = 0; i < need; ++i) {
        if (m >= nMini || seen[m])
            return false;
        seen[m] = true;
        const uint8_t* p = mini_.data() + size_t(m) * kMiniSectorSize;
        out.insert(out.end(), p, p + kMiniSectorSize);
        m = miniFat_[m];
    }
    out.resize(size_t(size));
    return true;
}

bool Reader::readEntryData(const DirEntry& e, std::vector<uint8_t>& out)
{
    uint64_t size = e.size;
    if (version_ == 3)
        size &= 0xFFFFFFFFu;
    if (size > budget_)
        return false;
    bool ok = size < cutoff_ ? readMiniStream(e.start, size, out) : readFatStream(e.start, size, out);
    if (ok)
        budget_ -= size;
    return ok;
}

// Adds the sibling tree whose top is `top` to parent.children, in name order.
bool Reader::buildChildren(uint32_t top, CfbEntry& parent, int depth)
{
    if (depth > kMaxStorageDepth)
        return false;
    std::vector<uint32_t> stack;
    uint32_t cur = top;
    // In-order walk; every entry may be met only once in the whole file.
    while (cur != kNoStream || !stack.empty()) {
        while (cur != kNoStream) {
            if (cur >= dir_.size() || used_[cur])
                return false;
            used_[cur] = true;
            stack.push_back(cur);
            cur = dir_[cur].left;
        }
        uint32_t id = stack.back();
        stack.pop_back();
        const DirEntry& d = dir_[id];
        CfbEntry e;
        e.name = d.name;
        e.type = d.type;
        e.clsid = d.clsid;
        e.stateBits = d.stateBits;
        e.created = d.created;
        e.modified = d.modified;
        if (d.type == 2) {
            if (!readEntryData(d, e.data))
                return false;
        } else if (d.type == 1) {
            if (d.child != kNoStream && !buildChildren(d.child, e, depth + 1))
                return false;
        } else {
            return false; // unused or root entry inside the tree
        }
        parent.children.push_back(std::move(e));
        cur = d.right;
    }
    return true;
}

Result<CompoundFile> Reader::run()
{
    if (f_.size() < 512 || std::memcmp(f_.data(), kSignature, 8) != 0)
        return makeError(ErrorCode::NotSpreadsheet);
    const uint8_t* h = f_.data();
    version_ = rd16(h + 0x1A);
    uint16_t shift = rd16(h + 0x1E);
    if (rd16(h + 0x1C) != 0xFFFE || !((version_ == 3 && shift == 9) || (version_ == 4 && shift == 12))
        || rd16(h + 0x20) != 6)
        return damaged("intestazione non valida");
    ss_ = size_t(1) << shift;
    if (f_.size() <= ss_)
        return damaged("file troncato");
    nSectors_ = (f_.size() - ss_ + ss_ - 1) / ss_;
    nSectors_ = std::min<size_t>(nSectors_, kMaxRegSect);
    cutoff_ = rd32(h + 0x38);
    budget_ = uint64_t(f_.size()) * 2 + 4096;

    // DIFAT: header slots, then the DIFAT sector chain.
    uint32_t nFat = rd32(h + 0x2C);
    if (nFat > nSectors_)
        return damaged("tabella FAT non valida");
    std::vector<uint32_t> difat;
    for (int i = 0; i < 109 && difat.size() < nFat; ++i) {
        uint32_t s = rd32(h + 0x4C + 4 * i);
        if (s != kFreeSect)
            difat.push_back(s);
    }
    {
        uint32_t ds = rd32(h + 0x44);
        std::vector<bool> seen(nSectors_, false);
        std::vector<uint8_t> buf;
        const size_t per = ss_ / 4 - 1;
        while (difat.size() < nFat && ds != kEndOfChain && ds != kFreeSect) {
            if (ds >= nSectors_ || seen[ds])
                return damaged("catena DIFAT non valida");
            seen[ds] = true;
            buf.clear();
            appendSector(ds, buf);
            for (size_t i = 0; i < per && difat.size() < nFat; ++i) {
                uint32_t s = rd32(buf.data() + 4 * i);
                if (s != kFreeSect)
                    difat.push_back(s);
            }
            ds = rd32(buf.data() + 4 * per);
        }
    }
    if (difat.size() < nFat)
        return damaged("tabella FAT incompleta");
    fat_.reserve(size_t(nFat) * (ss_ / 4));
    {
        std::vector<uint8_t> buf;
        for (uint32_t s : difat) {
            if (s >= nSectors_)
                return damaged("settore FAT fuori dal file");
            buf.clear();
            appendSector(s, buf);
            for (size_t i = 0; i < ss_ / 4; ++i)
                fat_.push_back(rd32(buf.data() + 4 * i));
        }
    }

    // Directory.
    std::vector<uint32_t> sectors;
    if (!chain(rd32(h + 0x30), sectors, nSectors_) || sectors.empty())
        return damaged("directory non valida");
    {
        std::vector<uint8_t> buf;
        buf.reserve(sectors.size() * ss_);
        for (uint32_t s : sectors)
            appendSector(s, buf);
        size_t n = buf.size() / 128;
        dir_.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* p = buf.data() + i * 128;
            DirEntry& d = dir_[i];
            size_t nameBytes = std::min<size_t>(rd16(p + 0x40), 64);
            for (size_t k = 0; k + 1 < nameBytes; k += 2)
                d.name.push_back(char16_t(rd16(p + k)));
            while (!d.name.empty() && d.name.back() == 0)
                d.name.pop_back();
            d.type = p[0x42];
            d.left = rd32(p + 0x44);
            d.right = rd32(p + 0x48);
            d.child = rd32(p + 0x4C);
            std::memcpy(d.clsid.data(), p + 0x50, 16);
            d.stateBits = rd32(p + 0x60);
            d.created = rd64(p + 0x64);
            d.modified = rd64(p + 0x6C);
            d.start = rd32(p + 0x74);
            d.size = rd64(p + 0x78);
        }
    }
    if (dir_[0].type != 5)
        return damaged("voce radice mancante");
    used_.assign(dir_.size(), false);
    used_[0] = true;

    // MiniFAT and mini stream.
    uint32_t miniFatStart = rd32(h + 0x3C);
    if (miniFatStart != kEndOfChain && miniFatStart != kFreeSect) {
        if (!chain(miniFatStart, sectors, nSectors_))
            return damaged("MiniFAT non valida");
        std::vector<uint8_t> buf;
        for (uint32_t s : sectors)
            appendSector(s, buf);
        miniFat_.resize(buf.size() / 4);
        for (size_t i = 0; i < miniFat_.size(); ++i)
            miniFat_[i] = rd32(buf.data() + 4 * i);
    }
    uint64_t miniSize = dir_[0].size;
    if (version_ == 3)
        miniSize &= 0xFFFFFFFFu;
    if (miniSize > 0 && !readFatStream(dir_[0].start, miniSize, mini_))
        return damaged("mini stream non valido");
    mini_.resize((mini_.size() + kMiniSectorSize - 1) / kMiniSectorSize * kMiniSectorSize, 0);

    CompoundFile out;
    const DirEntry& r = dir_[0];
    out.root.name = r.name.empty() ? u"Root Entry" : r.name;
    out.root.type = 5;
    out.root.clsid = r.clsid;
    out.root.stateBits = r.stateBits;
    out.root.created = r.created;
    out.root.modified = r.modified;
    if (r.child != kNoStream && !buildChildren(r.child, out.root, 0))
        return damaged("albero della directory non valido");
    return out;
}

// ---- writer -------------------------------------------------------------------------------------

struct FlatEntry {
    const CfbEntry* src;
    uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
    uint32_t start = kEndOfChain;
    uint64_t size = 0;
};

class Writer {
public:
    std::vector<uint8_t> run(const CompoundFile& file);

private:
    uint32_t addTree(std::vector<const CfbEntry*>& sorted, size_t lo, size_t hi);
    void addStorage(uint32_t id);

    std::vector<FlatEntry> flat_;
};

// Builds a balanced all-black tree from sorted[lo, hi); returns its top entry id.
uint32_t Writer::addTree(std::vector<const CfbEntry*>& sorted, size_t lo, size_t hi)
{
    if (lo >= hi)
        return kNoStream;
    size_t mid = lo + (hi - lo) / 2;
    uint32_t id = uint32_t(flat_.size());
    flat_.push_back(FlatEntry{sorted[mid]});
    uint32_t l = addTree(sorted, lo, mid);
    uint32_t r = addTree(sorted, mid + 1, hi);
    flat_[id].left = l;
    flat_[id].right = r;
    return id;
}

void Writer::addStorage(uint32_t id)
{
    std::vector<const CfbEntry*> kids;
    for (const CfbEntry& c : flat_[id].src->children)
        kids.push_back(&c);
    std::stable_sort(kids.begin(), kids.end(),
                     [](const CfbEntry* a, const CfbEntry* b) { return nameLess(a->name, b->name); });
    size_t first = flat_.size();
    uint32_t top = addTree(kids, 0, kids.size());
    flat_[id].child = top;
    size_t last = flat_.size();
    for (size_t i = first; i < last; ++i)
        if (flat_[i].src->type == 1)
            addStorage(uint32_t(i));
}

std::vector<uint8_t> Writer::run(const CompoundFile& file)
{
    constexpr size_t ss = 512;
    constexpr size_t perSector = ss / 4;
    flat_.clear();
    flat_.push_back(FlatEntry{&file.root});
    addStorage(0);

    std::vector<uint32_t> fat; // chains of the data sectors, in file order
    auto allocChain = [&fat](size_t n) -> uint32_t {
        if (n == 0)
            return kEndOfChain;
        uint32_t first = uint32_t(fat.size());
        for (size_t i = 0; i < n; ++i)
            fat.push_back(i + 1 < n ? uint32_t(fat.size() + 1) : kEndOfChain);
        return first;
    };

    // Big streams first, then the mini stream, the MiniFAT and the directory.
    std::vector<uint8_t> body; // bytes of all sectors after the header
    auto appendPadded = [&body](const uint8_t* p, size_t n, size_t unit) {
        body.insert(body.end(), p, p + n);
        body.resize(body.size() + (unit - n % unit) % unit, 0);
    };
    std::vector<uint8_t> mini;
    std::vector<uint32_t> miniFat;
    for (FlatEntry& e : flat_) {
        if (e.src->type != 2)
            continue;
        const auto& d = e.src->data;
        e.size = d.size();
        if (d.empty())
            continue;
        if (d.size() >= kMiniCutoff) {
            e.start = allocChain((d.size() + ss - 1) / ss);
            appendPadded(d.data(), d.size(), ss);
        } else {
            size_t n = (d.size() + kMiniSectorSize - 1) / kMiniSectorSize;
            e.start = uint32_t(miniFat.size());
            for (size_t i = 0; i < n; ++i)
                miniFat.push_back(i + 1 < n ? uint32_t(miniFat.size() + 1) : kEndOfChain);
            mini.insert(mini.end(), d.begin(), d.end());
            mini.resize(mini.size() + (kMiniSectorSize - d.size() % kMiniSectorSize) % kMiniSectorSize, 0);
        }
    }
    uint32_t miniFatStart = kEndOfChain, nMiniFatSectors = 0;
    if (!mini.empty()) {
        flat_[0].start = allocChain((mini.size() + ss - 1) / ss);
        flat_[0].size = mini.size();
        appendPadded(mini.data(), mini.size(), ss);
        nMiniFatSectors = uint32_t((miniFat.size() + perSector - 1) / perSector);
        miniFatStart = allocChain(nMiniFatSectors);
        miniFat.resize(size_t(nMiniFatSectors) * perSector, kFreeSect);
        for (uint32_t v : miniFat) {
            uint8_t b[4];
            wr32(b, v);
            body.insert(body.end(), b, b + 4);
        }
    }

    size_t nDir = (flat_.size() + 3) / 4;
    uint32_t dirStart = allocChain(nDir);
    size_t dirOff = body.size();
    body.resize(body.size() + nDir * ss, 0);
    for (size_t i = 0; i < nDir * 4; ++i) {
        uint8_t* p = body.data() + dirOff + i * 128;
        wr32(p + 0x44, kNoStream);
        wr32(p + 0x48, kNoStream);
        wr32(p + 0x4C, kNoStream);
        if (i >= flat_.size())
            continue;
        const FlatEntry& e = flat_[i];
        const CfbEntry& s = *e.src;
        std::u16string_view name = i == 0 && s.name.empty() ? std::u16string_view(u"Root Entry") : s.name;
        size_t len = std::min<size_t>(name.size(), 31);
        for (size_t k = 0; k < len; ++k)
            wr16(p + 2 * k, name[k]);
        wr16(p + 0x40, uint16_t(2 * (len + 1)));
        p[0x42] = i == 0 ? 5 : s.type;
        p[0x43] = 1; // black
        wr32(p + 0x44, e.left);
        wr32(p + 0x48, e.right);
        wr32(p + 0x4C, e.child);
        std::memcpy(p + 0x50, s.clsid.data(), 16);
        wr32(p + 0x60, s.stateBits);
        wr64(p + 0x64, s.created);
        wr64(p + 0x6C, s.modified);
        bool hasData = i == 0 || s.type == 2;
        wr32(p + 0x74, hasData ? e.start : 0);
        wr64(p + 0x78, hasData ? e.size : 0);
    }

    // FAT and DIFAT sizing: nFat * 128 >= sectors + nFat + nDifat.
    size_t used = fat.size();
    size_t nFat = 1, nDifat = 0;
    for (;;) {
        nDifat = nFat <= 109 ? 0 : (nFat - 109 + perSector - 2) / (perSector - 1);
        if (nFat * perSector >= used + nFat + nDifat)
            break;
        ++nFat;
    }
    size_t fatFirst = used, difatFirst = used + nFat;
    for (size_t i = 0; i < nFat; ++i)
        fat.push_back(kFatSect);
    for (size_t i = 0; i < nDifat; ++i)
        fat.push_back(kDifSect);
    fat.resize(nFat * perSector, kFreeSect);
    for (uint32_t v : fat) {
        uint8_t b[4];
        wr32(b, v);
        body.insert(body.end(), b, b + 4);
    }
    for (size_t d = 0; d < nDifat; ++d) {
        size_t off = body.size();
        body.resize(off + ss, 0xFF);
        for (size_t k = 0; k < perSector - 1; ++k) {
            size_t idx = 109 + d * (perSector - 1) + k;
            if (idx < nFat)
                wr32(body.data() + off + 4 * k, uint32_t(fatFirst + idx));
        }
        wr32(body.data() + off + ss - 4, d + 1 < nDifat ? uint32_t(difatFirst + d + 1) : kEndOfChain);
    }

    std::vector<uint8_t> out(ss + body.size(), 0);
    std::memcpy(out.data() + ss, body.data(), body.size());
    uint8_t* h = out.data();
    std::memcpy(h, kSignature, 8);
    wr16(h + 0x18, 0x003E);
    wr16(h + 0x1A, 0x0003);
    wr16(h + 0x1C, 0xFFFE);
    wr16(h + 0x1E, 9);
    wr16(h + 0x20, 6);
    wr32(h + 0x2C, uint32_t(nFat));
    wr32(h + 0x30, dirStart);
    wr32(h + 0x38, kMiniCutoff);
    wr32(h + 0x3C, miniFatStart);
    wr32(h + 0x40, nMiniFatSectors);
    wr32(h + 0x44, nDifat ? uint32_t(difatFirst) : kEndOfChain);
    wr32(h + 0x48, uint32_t(nDifat));
    for (size_t i = 0; i < 109; ++i)
        wr32(h + 0x4C + 4 * i, i < nFat ? uint32_t(fatFirst + i) : kFreeSect);
    return out;
}

} // namespace

Result<CompoundFile> readCompoundFile(std::span<const uint8_t> bytes) { return Reader(bytes).run(); }

std::vector<uint8_t> writeCompoundFile(const CompoundFile& file) { return Writer().run(file); }

const CfbEntry* findChild(const CfbEntry& storage, std::u16string_view name)
{
    for (const CfbEntry& c : storage.children)
        if (sameName(c.name, name))
            return &c;
    return nullptr;
}

CfbEntry* findChild(CfbEntry& storage, std::u16string_view name)
{
    for (CfbEntry& c : storage.children)
        if (sameName(c.name, name))
            return &c;
    return nullptr;
}

} // namespace gp::xls
