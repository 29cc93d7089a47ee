// Compound file container: fixtures, round trips, layout rules and damaged input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/xls/cfb.h"

using namespace gp::xls;
namespace fs = std::filesystem;

namespace {

const fs::path kFixtures = fs::path(GP_SHARED_DIR) / "fixtures" / "xls";

std::vector<uint8_t> readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> fixtureFiles()
{
    std::vector<fs::path> out;
    if (fs::is_directory(kFixtures))
        for (const auto& e : fs::directory_iterator(kFixtures))
            if (e.path().extension() == ".xls") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

uint32_t rd32(const std::vector<uint8_t>& b, size_t off)
{
    return uint32_t(b[off]) | (uint32_t(b[off + 1]) << 8) | (uint32_t(b[off + 2]) << 16) | (uint32_t(b[off + 3]) << 24);
}
void wr32(std::vector<uint8_t>& b, size_t off, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> pattern(size_t n, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& c : v) {
        x = x * 1103515245u + 12345u;
        c = uint8_t(x >> 16);
    }
    return v;
}

CfbEntry stream(std::u16string name, std::vector<uint8_t> data)
{
    CfbEntry e;
    e.name = std::move(name);
    e.type = 2;
    e.data = std::move(data);
    return e;
}

void expectSameTree(const CfbEntry& a, const CfbEntry& b, const std::string& path = "")
{
    std::string here = path + "/" + std::string(a.name.begin(), a.name.end());
    ASSERT_TRUE(a.name == b.name) << here;
    EXPECT_EQ(a.type, b.type) << here;
    EXPECT_EQ(a.clsid, b.clsid) << here;
    EXPECT_EQ(a.stateBits, b.stateBits) << here;
    EXPECT_EQ(a.created, b.created) << here;
    EXPECT_EQ(a.modified, b.modified) << here;
    EXPECT_TRUE(a.data == b.data) << here << " sizes " << a.data.size() << " / " << b.data.size();
    ASSERT_EQ(a.children.size(), b.children.size()) << here;
    for (size_t i = 0; i < a.children.size(); ++i) expectSameTree(a.children[i], b.children[i], here);
}

// Single stream file: the layout is then fully predictable (stream sectors,
// directory, FAT).
std::vector<uint8_t> singleStreamFile(size_t size)
{
    CompoundFile f;
    f.root.name = u"Root Entry";
    f.root.type = 5;
    f.root.children.push_back(stream(u"Workbook", pattern(size, 7)));
    return writeCompoundFile(f);
}

} // namespace

TEST(Cfb, EveryFixtureHasItsWorkbookStream)
{
    auto files = fixtureFiles();
    if (files.empty()) GTEST_SKIP() << "fixtures not found in " << kFixtures;
    for (const auto& p : files) {
        SCOPED_TRACE(p.filename().string());
        auto bytes = readAll(p);
        auto cf = readCompoundFile(bytes);
        ASSERT_TRUE(cf.ok()) << cf.error().message;
        EXPECT_EQ(cf->root.type, 5);
        const CfbEntry* wb = findChild(cf->root, u"WORKBOOK");
        ASSERT_NE(wb, nullptr);
        ASSERT_GE(wb->data.size(), 20u);
        EXPECT_EQ(wb->data[0], 0x09);
        EXPECT_EQ(wb->data[1], 0x08);
        EXPECT_EQ(wb->data[4] | (wb->data[5] << 8), 0x0600); // BIFF8
        if (p.filename() == "poi_xor-encryption-abc.xls") {
            EXPECT_EQ(wb->data.size(), 1620u); // in the mini stream
        }
    }
}

TEST(Cfb, FixturesSurviveRewrite)
{
    auto files = fixtureFiles();
    if (files.empty()) GTEST_SKIP() << "fixtures not found";
    for (const auto& p : files) {
        SCOPED_TRACE(p.filename().string());
        auto a = readCompoundFile(readAll(p));
        ASSERT_TRUE(a.ok());
        auto written = writeCompoundFile(a.value());
        EXPECT_EQ(written.size() % 512, 0u);
        auto b = readCompoundFile(written);
        ASSERT_TRUE(b.ok()) << b.error().message;
        expectSameTree(a->root, b->root);
    }
}

TEST(Cfb, TreeWithStoragesRoundTripsSortedAsTheFormatRequires)
{
    CompoundFile f;
    f.root.name = u"Root Entry";
    f.root.type = 5;
    f.root.clsid = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    f.root.modified = 0x01D9000011112222ull;
    // Children given out of order: the reader returns them in tree (in-order) order.
    const std::vector<std::u16string> names = {u"Workbook", u"\x05SummaryInformation", u"b", u"A", u"zz", u"Ab",
                                               u"aC", u"\x05" u"DocumentSummaryInformation", u"Лист", u"лиса",
                                               u"C", u"Book"};
    uint32_t seed = 1;
    for (const auto& n : names) f.root.children.push_back(stream(n, pattern(seed * 700, seed))), ++seed;
    CfbEntry storage;
    storage.name = u"MBD0001";
    storage.type = 1;
    storage.clsid[0] = 0xAB;
    storage.stateBits = 5;
    storage.created = 123456789;
    storage.children.push_back(stream(u"Ole", pattern(20, 3)));
    storage.children.push_back(stream(u"CONTENTS", pattern(5000, 4)));
    storage.children.push_back(stream(u"empty", {}));
    CfbEntry inner;
    inner.name = u"deeper";
    inner.type = 1;
    inner.children.push_back(stream(u"x", pattern(4095, 9)));
    storage.children.push_back(inner);
    f.root.children.push_back(storage);

    auto back = readCompoundFile(writeCompoundFile(f));
    ASSERT_TRUE(back.ok()) << back.error().message;

    auto sorted = [](CfbEntry e, auto& self) -> CfbEntry {
        std::stable_sort(e.children.begin(), e.children.end(), [](const CfbEntry& a, const CfbEntry& b) {
            if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
            for (size_t i = 0; i < a.name.size(); ++i) {
                auto up = [](char16_t c) -> char16_t {
                    if (c >= u'a' && c <= u'z') return c - 32;
                    if (c >= 0x430 && c <= 0x44F) return c - 32;
                    return c;
                };
                if (up(a.name[i]) != up(b.name[i])) return up(a.name[i]) < up(b.name[i]);
            }
            return false;
        });
        for (auto& c : e.children) c = self(c, self);
        return e;
    };
    expectSameTree(sorted(f.root, sorted), back->root);
    // Spot checks of the order itself.
    ASSERT_GE(back->root.children.size(), 3u);
    EXPECT_TRUE(back->root.children[0].name == u"A");
    EXPECT_TRUE(back->root.children[1].name == u"b");
    EXPECT_TRUE(back->root.children[2].name == u"C");
    ASSERT_NE(findChild(back->root, u"лИСТ"), nullptr);
    ASSERT_NE(findChild(back->root, u"mbd0001"), nullptr);
    EXPECT_EQ(findChild(back->root, u"Workbook2"), nullptr);
}

TEST(Cfb, MiniStreamCutoffIs4096)
{
    // 4095 bytes go to the mini stream (MiniFAT present), 4096 bytes to normal sectors.
    auto small = singleStreamFile(4095);
    EXPECT_NE(rd32(small, 0x3C), 0xFFFFFFFEu);
    EXPECT_EQ(rd32(small, 0x40), 1u);
    auto big = singleStreamFile(4096);
    EXPECT_EQ(rd32(big, 0x3C), 0xFFFFFFFEu);
    EXPECT_EQ(rd32(big, 0x40), 0u);
    // 4096 bytes = 8 sectors, 1 directory sector, 1 FAT sector, plus the header.
    EXPECT_EQ(big.size(), 11u * 512);
    for (size_t n : {size_t(0), size_t(1), size_t(64), size_t(4095), size_t(4096), size_t(4097)}) {
        auto back = readCompoundFile(singleStreamFile(n));
        ASSERT_TRUE(back.ok()) << n;
        const CfbEntry* wb = findChild(back->root, u"Workbook");
        ASSERT_NE(wb, nullptr);
        EXPECT_TRUE(wb->data == pattern(n, 7)) << n;
    }
}

TEST(Cfb, LargeStreamNeedsDifatSectors)
{
    const size_t n = 7 * 1024 * 1024 + 12345; // more than 109 FAT sectors
    auto file = singleStreamFile(n);
    uint32_t nFat = rd32(file, 0x2C), nDifat = rd32(file, 0x48);
    EXPECT_GT(nFat, 109u);
    EXPECT_EQ(nDifat, (nFat - 109 + 126) / 127);
    size_t sectors = file.size() / 512 - 1;
    EXPECT_GE(nFat * 128, sectors);        // the FAT covers every sector
    EXPECT_LT((nFat - 1) * 128, sectors);  // and is the smallest that does
    auto back = readCompoundFile(file);
    ASSERT_TRUE(back.ok()) << back.error().message;
    const CfbEntry* wb = findChild(back->root, u"workbook");
    ASSERT_NE(wb, nullptr);
    EXPECT_TRUE(wb->data == pattern(n, 7));
}

TEST(Cfb, DamagedInputIsRefusedWithoutCrashing)
{
    // Layout of a 5000-byte single stream file: sectors 0-9 stream, 10 directory, 11 FAT.
    const auto good = singleStreamFile(5000);
    ASSERT_EQ(good.size(), 13u * 512);
    const size_t dir = 11 * 512, fat = 12 * 512;
    ASSERT_TRUE(readCompoundFile(good).ok());

    EXPECT_EQ(readCompoundFile(std::vector<uint8_t>(good.begin(), good.begin() + 100)).error().code,
              ErrorCode::NotSpreadsheet);
    std::vector<uint8_t> notOle(4096, 'x');
    EXPECT_EQ(readCompoundFile(notOle).error().code, ErrorCode::NotSpreadsheet);

    auto cyclic = good;
    wr32(cyclic, fat + 4 * 9, 2); // last stream sector points back into the chain
    EXPECT_EQ(readCompoundFile(cyclic).error().code, ErrorCode::Damaged);

    auto selfLoop = good;
    wr32(selfLoop, fat + 4 * 10, 10); // directory chain loops on itself
    EXPECT_EQ(readCompoundFile(selfLoop).error().code, ErrorCode::Damaged);

    auto treeCycle = good;
    wr32(treeCycle, dir + 128 + 0x44, 1); // the stream is its own left sibling
    EXPECT_EQ(readCompoundFile(treeCycle).error().code, ErrorCode::Damaged);

    auto huge = good;
    wr32(huge, dir + 128 + 0x78, 0xFFFFFFF0u);
    EXPECT_EQ(readCompoundFile(huge).error().code, ErrorCode::Damaged);

    auto shortChain = good;
    wr32(shortChain, dir + 128 + 0x78, 9000); // more than the 10-sector chain holds
    EXPECT_EQ(readCompoundFile(shortChain).error().code, ErrorCode::Damaged);

    auto manyFat = good;
    wr32(manyFat, 0x2C, 0x7FFFFFFF);
    EXPECT_EQ(readCompoundFile(manyFat).error().code, ErrorCode::Damaged);

    auto badSector = good;
    wr32(badSector, fat + 4 * 3, 0x00ABCDEF); // chain leaves the file
    EXPECT_EQ(readCompoundFile(badSector).error().code, ErrorCode::Damaged);

    auto badVersion = good;
    badVersion[0x1E] = 12; // v3 with 4096-byte sectors
    EXPECT_EQ(readCompoundFile(badVersion).error().code, ErrorCode::Damaged);

    // The unused tail of the last (FAT) sector may be missing.
    auto truncatedTail = std::vector<uint8_t>(good.begin(), good.end() - 200);
    auto t = readCompoundFile(truncatedTail);
    ASSERT_TRUE(t.ok());
    EXPECT_TRUE(findChild(t->root, u"Workbook")->data == pattern(5000, 7));

    // Every truncation point and a byte flip at every 8th offset of a real fixture: no crash.
    auto fixture = readAll(kFixtures / "poi_xor-encryption-abc.xls");
    if (fixture.empty()) fixture = singleStreamFile(1620);
    for (size_t n = 0; n < fixture.size(); n += 37) {
        auto r = readCompoundFile(std::span<const uint8_t>(fixture.data(), n));
        if (!r.ok()) {
            EXPECT_TRUE(r.error().code == ErrorCode::Damaged || r.error().code == ErrorCode::NotSpreadsheet);
        }
    }
    for (size_t i = 0; i < fixture.size(); i += 8) {
        auto m = fixture;
        m[i] ^= 0xA5;
        auto r = readCompoundFile(m);
        if (!r.ok()) {
            EXPECT_TRUE(r.error().code == ErrorCode::Damaged || r.error().code == ErrorCode::NotSpreadsheet);
        }
    }
}

TEST(Cfb, Version4FileIsRead)
{
    // A hand-built v4 file: 4096-byte sectors, one 5000-byte stream in sectors 0-1,
    // directory in sector 2, FAT in sector 3.
    const size_t ss = 4096;
    std::vector<uint8_t> f(ss * 5, 0);
    const uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(sig, sig + 8, f.begin());
    f[0x18] = 0x3E;
    f[0x1A] = 4;
    f[0x1C] = 0xFE;
    f[0x1D] = 0xFF;
    f[0x1E] = 12;
    f[0x20] = 6;
    wr32(f, 0x2C, 1);
    wr32(f, 0x30, 2);
    wr32(f, 0x38, 4096);
    wr32(f, 0x3C, 0xFFFFFFFE);
    wr32(f, 0x44, 0xFFFFFFFE);
    wr32(f, 0x4C, 3);
    for (int i = 1; i < 109; ++i) wr32(f, 0x4C + 4 * i, 0xFFFFFFFF);
    auto data = pattern(5000, 11);
    std::copy(data.begin(), data.end(), f.begin() + ss);
    auto entry = [&](size_t idx, std::u16string name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
        size_t o = 3 * ss + idx * 128;
        for (size_t k = 0; k < name.size(); ++k) f[o + 2 * k] = uint8_t(name[k]);
        f[o + 0x40] = uint8_t(2 * (name.size() + 1));
        f[o + 0x42] = type;
        f[o + 0x43] = 1;
        wr32(f, o + 0x44, 0xFFFFFFFF);
        wr32(f, o + 0x48, 0xFFFFFFFF);
        wr32(f, o + 0x4C, child);
        wr32(f, o + 0x74, start);
        wr32(f, o + 0x78, size);
    };
    entry(0, u"Root Entry", 5, 1, 0xFFFFFFFE, 0);
    entry(1, u"Workbook", 2, 0xFFFFFFFF, 0, 5000);
    for (size_t i = 2; i < ss / 128; ++i) {
        size_t o = 3 * ss + i * 128;
        wr32(f, o + 0x44, 0xFFFFFFFF), wr32(f, o + 0x48, 0xFFFFFFFF), wr32(f, o + 0x4C, 0xFFFFFFFF);
    }
    const size_t fatOff = 4 * ss;
    for (size_t i = 0; i < ss / 4; ++i) wr32(f, fatOff + 4 * i, 0xFFFFFFFF);
    wr32(f, fatOff + 0, 1);
    wr32(f, fatOff + 4, 0xFFFFFFFE);
    wr32(f, fatOff + 8, 0xFFFFFFFE);
    wr32(f, fatOff + 12, 0xFFFFFFFD);
    auto r = readCompoundFile(f);
    ASSERT_TRUE(r.ok()) << r.error().message;
    const CfbEntry* wb = findChild(r->root, u"Workbook");
    ASSERT_NE(wb, nullptr);
    EXPECT_TRUE(wb->data == data);
}

// Every bound of the container's chains, one step on each side: the last real
// sector (or mini sector) is accepted, one past it is refused.
TEST(Cfb, EveryChainBoundIsExact)
{
    // 5000-byte stream: sectors 0-9 stream, 10 directory, 11 FAT; the file ends there.
    const auto good = singleStreamFile(5000);
    ASSERT_EQ(good.size(), 13u * 512);
    const size_t dir = 11 * 512, fat = 12 * 512, sizeField = dir + 128 + 0x78;
    const uint32_t end = 0xFFFFFFFE;

    // The stream one sector longer, its chain going on into sector 11 (the last
    // one) or sector 12 (one past the end of the file).
    auto lastSector = good;
    wr32(lastSector, sizeField, 5000 + 512);
    wr32(lastSector, fat + 4 * 9, 11);
    wr32(lastSector, fat + 4 * 11, end);
    auto ok = readCompoundFile(lastSector);
    ASSERT_TRUE(ok.ok()) << ok.error().message;
    EXPECT_EQ(findChild(ok->root, u"Workbook")->data.size(), 5512u);
    auto pastEnd = good;
    wr32(pastEnd, sizeField, 5000 + 512);
    wr32(pastEnd, fat + 4 * 9, 12);
    wr32(pastEnd, fat + 4 * 12, end);
    EXPECT_EQ(readCompoundFile(pastEnd).error().code, ErrorCode::Damaged);

    // A size that needs exactly the sectors of the chain, and one byte more.
    auto exact = good;
    wr32(exact, sizeField, 10 * 512);
    ASSERT_TRUE(readCompoundFile(exact).ok());
    auto oneMore = good;
    wr32(oneMore, sizeField, 10 * 512 + 1);
    EXPECT_EQ(readCompoundFile(oneMore).error().code, ErrorCode::Damaged);

    // The FAT sector and the first DIFAT sector one past the end.
    auto fatPast = good;
    wr32(fatPast, 0x4C, 12);
    EXPECT_EQ(readCompoundFile(fatPast).error().code, ErrorCode::Damaged);
    auto difatPast = good;
    wr32(difatPast, 0x2C, 2); // two FAT sectors: the second listed by a DIFAT sector
    wr32(difatPast, 0x44, 12);
    wr32(difatPast, 0x48, 1);
    EXPECT_EQ(readCompoundFile(difatPast).error().code, ErrorCode::Damaged);
    // More FAT sectors than the file has sectors.
    auto fatCount = good;
    wr32(fatCount, 0x2C, 13);
    EXPECT_EQ(readCompoundFile(fatCount).error().code, ErrorCode::Damaged);

    // The directory chain: its sector is the last-but-one; one past the end is refused.
    auto dirPast = good;
    wr32(dirPast, 0x30, 12);
    EXPECT_EQ(readCompoundFile(dirPast).error().code, ErrorCode::Damaged);

    // A 1000-byte stream lives in 16 mini sectors (0-15) of a 1024-byte mini
    // stream: its chain may end in mini sector 15, never go on to 16.
    const auto small = singleStreamFile(1000);
    auto at = [&](uint32_t sector) { return (size_t(sector) + 1) * 512; };
    const size_t miniFat = at(rd32(small, 0x3C));
    const size_t smallSize = at(rd32(small, 0x30)) + 128 + 0x78;
    ASSERT_EQ(rd32(small, smallSize), 1000u);
    ASSERT_EQ(rd32(small, miniFat + 4 * 15), end);
    auto miniLast = small;
    wr32(miniLast, smallSize, 1024); // exactly the 16 mini sectors
    ASSERT_TRUE(readCompoundFile(miniLast).ok());
    auto miniPast = small; // 0-14, then 16 instead of 15
    wr32(miniPast, miniFat + 4 * 14, 16);
    wr32(miniPast, miniFat + 4 * 16, end);
    EXPECT_EQ(readCompoundFile(miniPast).error().code, ErrorCode::Damaged);
    auto miniLonger = small; // more than the mini stream holds
    wr32(miniLonger, smallSize, 1024 + 64);
    wr32(miniLonger, miniFat + 4 * 15, 16);
    wr32(miniLonger, miniFat + 4 * 16, end);
    EXPECT_EQ(readCompoundFile(miniLonger).error().code, ErrorCode::Damaged);
}
