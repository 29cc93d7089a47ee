// Compound file container: fixtures, round trips, layout rules and damaged input.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/xls/cfb.h"
#include "xls/support_bytes.h"

using namespace gp::xls;
using namespace gptest;

namespace {

void expectSameTree(const CfbEntry& a, const CfbEntry& b, const std::string& path = "")
{
    std::string here = path + "/" + std::string(a.name.begin(), a.name.end());
    ASSERT_TRUE(a.name == b.name) << here;
    EXPECT_EQ(std::tie(a.type, a.clsid, a.stateBits, a.created, a.modified),
              std::tie(b.type, b.clsid, b.stateBits, b.created, b.modified))
        << here;
    EXPECT_TRUE(a.data == b.data) << here << " sizes " << a.data.size() << " / " << b.data.size();
    ASSERT_EQ(a.children.size(), b.children.size()) << here;
    for (size_t i = 0; i < a.children.size(); ++i)
        expectSameTree(a.children[i], b.children[i], here);
}

// A file of one stream: its layout (stream sectors, directory, FAT) is predictable.
Bytes singleStreamFile(size_t size) { return writeCompoundFile(oneStream(pattern(size, 7))); }

// The Workbook stream read back from a file (empty, and a failure, when there is none).
Bytes readBack(const Bytes& file)
{
    auto r = readCompoundFile(file);
    const CfbEntry* wb = r.ok() ? findChild(r->root, u"Workbook") : nullptr;
    EXPECT_NE(wb, nullptr) << (r.ok() ? "no Workbook stream" : r.error().message);
    return wb ? wb->data : Bytes{};
}

// Fields of a file changed at once, and whether the file must still be read.
struct Patch {
    const char* what;
    std::vector<std::pair<size_t, uint32_t>> fields;
    bool ok = false;
};

void expectPatches(const Bytes& good, const std::vector<Patch>& patches)
{
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.what);
        Bytes f = good;
        for (auto [at, v] : p.fields)
            put32(f, at, v);
        auto r = readCompoundFile(f);
        ASSERT_EQ(r.ok(), p.ok) << (r.ok() ? "" : r.error().message);
        EXPECT_TRUE(r.ok() || r.error().code == ErrorCode::Damaged);
    }
}

} // namespace

TEST(Cfb, EveryFixtureHasItsWorkbookStreamAndSurvivesRewrite)
{
    auto files = fixtureFiles();
    if (files.empty())
        GTEST_SKIP() << "fixtures not found under " << GP_SHARED_DIR;
    for (const auto& p : files) {
        SCOPED_TRACE(p.filename().string());
        auto cf = readCompoundFile(readBytes(p));
        ASSERT_TRUE(cf.ok()) << cf.error().message;
        EXPECT_EQ(cf->root.type, 5);
        const CfbEntry* wb = findChild(cf->root, u"WORKBOOK");
        ASSERT_NE(wb, nullptr);
        ASSERT_GE(wb->data.size(), 20u);
        EXPECT_EQ(get16(wb->data, 0), 0x0809);
        EXPECT_EQ(get16(wb->data, 4), 0x0600);                                                 // BIFF8
        EXPECT_TRUE(p.filename() != "poi_xor-encryption-abc.xls" || wb->data.size() == 1620u); // in the mini stream
        auto written = writeCompoundFile(cf.value());
        EXPECT_EQ(written.size() % 512, 0u);
        auto again = readCompoundFile(written);
        ASSERT_TRUE(again.ok()) << again.error().message;
        expectSameTree(cf->root, again->root);
    }
}

TEST(Cfb, TreeWithStoragesRoundTripsSortedAsTheFormatRequires)
{
    CompoundFile f = oneStream({}, u"empty");
    f.root.children.clear();
    f.root.clsid = {0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    f.root.modified = 0x01D9000011112222ull;
    // Children given out of order: the reader returns them in tree (in-order) order.
    const std::vector<std::u16string> names({u"Workbook", u"\u0005SummaryInformation", u"b", u"A", u"zz", u"Ab", u"aC",
                                             u"\u0005DocumentSummaryInformation", u"Лист", u"лиса", u"C", u"Book"});
    uint32_t seed = 1;
    for (const auto& n : names)
        f.root.children.push_back(oneStream(pattern(seed * 700, seed), n).root.children[0]), ++seed;
    CfbEntry storage = oneStream(pattern(20, 3), u"Ole").root;
    storage.name = u"MBD0001";
    storage.type = 1;
    storage.clsid[0] = 0xAB;
    storage.stateBits = 5;
    storage.created = 123456789;
    storage.children.push_back(oneStream(pattern(5000, 4), u"CONTENTS").root.children[0]);
    storage.children.push_back(oneStream({}, u"empty").root.children[0]);
    CfbEntry inner = oneStream(pattern(4095, 9), u"x").root;
    inner.name = u"deeper";
    inner.type = 1;
    storage.children.push_back(inner);
    f.root.children.push_back(storage);

    auto back = readCompoundFile(writeCompoundFile(f));
    ASSERT_TRUE(back.ok()) << back.error().message;

    // The order the format asks for: shorter names first, then by upper-cased UTF-16 units.
    auto key = [](const CfbEntry& e) {
        std::u16string k = e.name;
        for (char16_t& c : k)
            c = (c >= u'a' && c <= u'z') || (c >= 0x430 && c <= 0x44F) ? char16_t(c - 32) : c;
        return std::pair(k.size(), k);
    };
    auto sorted = [&](CfbEntry e, auto& self) -> CfbEntry {
        std::ranges::stable_sort(e.children, {}, key);
        for (auto& c : e.children)
            c = self(c, self);
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
    EXPECT_NE(get32(small, 0x3C), 0xFFFFFFFEu);
    EXPECT_EQ(get32(small, 0x40), 1u);
    auto big = singleStreamFile(4096);
    EXPECT_EQ(get32(big, 0x3C), 0xFFFFFFFEu);
    EXPECT_EQ(get32(big, 0x40), 0u);
    // 4096 bytes = 8 sectors, 1 directory sector, 1 FAT sector, plus the header.
    EXPECT_EQ(big.size(), 11u * 512);
    for (size_t n : {size_t(0), size_t(1), size_t(64), size_t(4095), size_t(4096), size_t(4097)}) {
        EXPECT_TRUE(readBack(singleStreamFile(n)) == pattern(n, 7)) << n;
    }
}

TEST(Cfb, LargeStreamNeedsDifatSectors)
{
    const size_t n = 7 * 1024 * 1024 + 12345; // more than 109 FAT sectors
    auto file = singleStreamFile(n);
    uint32_t nFat = get32(file, 0x2C), nDifat = get32(file, 0x48);
    EXPECT_GT(nFat, 109u);
    EXPECT_EQ(nDifat, (nFat - 109 + 126) / 127);
    size_t sectors = file.size() / 512 - 1;
    EXPECT_GE(nFat * 128, sectors);       // the FAT covers every sector
    EXPECT_LT((nFat - 1) * 128, sectors); // and is the smallest that does
    EXPECT_TRUE(readBack(file) == pattern(n, 7));
}

// Every chain bound, one step on each side (the last real sector or mini sector accepted, one
// past it refused), and the other ways a header, a chain or the directory can be broken.
TEST(Cfb, EveryChainBoundIsExactAndDamageIsRefused)
{
    // 5000-byte stream: sectors 0-9 stream, 10 directory, 11 FAT; the file ends there.
    const auto good = singleStreamFile(5000);
    ASSERT_EQ(good.size(), 13u * 512);
    const size_t dir = 11 * 512, fat = 12 * 512, size = dir + 128 + 0x78;
    const uint32_t end = 0xFFFFFFFE;
    expectPatches(good,
                  {
                      {"unchanged", {}, true},
                      // The stream one sector longer, its chain going on into sector 11 (the
                      // last one) or sector 12 (one past the end of the file).
                      {"chain into the last sector", {{size, 5512}, {fat + 4 * 9, 11}, {fat + 4 * 11, end}}, true},
                      {"chain past the end", {{size, 5512}, {fat + 4 * 9, 12}, {fat + 4 * 12, end}}},
                      // A size that needs exactly the sectors of the chain, and one byte more.
                      {"size of the whole chain", {{size, 10 * 512}}, true},
                      {"one byte more", {{size, 10 * 512 + 1}}},
                      {"more than the chain holds", {{size, 9000}}},
                      {"huge size", {{size, 0xFFFFFFF0u}}},
                      // The FAT sector, the first DIFAT sector and the directory one past the end.
                      {"FAT sector past the end", {{0x4C, 12}}},
                      {"unused second FAT sector past the end", {{0x2C, 2}, {0x50, 12}}},
                      {"unused second FAT sector in the file", {{0x2C, 2}, {0x50, 11}}, true},
                      {"DIFAT sector past the end", {{0x2C, 2}, {0x44, 12}, {0x48, 1}}},
                      {"more FAT sectors than sectors", {{0x2C, 13}}},
                      {"absurd FAT count", {{0x2C, 0x7FFFFFFF}}},
                      {"directory past the end", {{0x30, 12}}},
                      {"chain leaves the file", {{fat + 4 * 3, 0x00ABCDEF}}},
                      {"chain loops back", {{fat + 4 * 9, 2}}},
                      {"directory chain on itself", {{fat + 4 * 10, 10}}},
                      {"stream is its own left sibling", {{dir + 128 + 0x44, 1}}},
                      {"v3 with 4096-byte sectors", {{0x1C, 0x000CFFFE}}},
                  });

    // A 1000-byte stream lives in 16 mini sectors (0-15) of a 1024-byte mini
    // stream: its chain may end in mini sector 15, never go on to 16.
    const auto small = singleStreamFile(1000);
    auto at = [&](uint32_t sector) { return (size_t(sector) + 1) * 512; };
    const size_t miniFat = at(get32(small, 0x3C));
    const size_t smallSize = at(get32(small, 0x30)) + 128 + 0x78;
    ASSERT_EQ(get32(small, smallSize), 1000u);
    ASSERT_EQ(get32(small, miniFat + 4 * 15), end);
    expectPatches(small,
                  {
                      {"exactly the 16 mini sectors", {{smallSize, 1024}}, true},
                      {"mini chain past the end", {{miniFat + 4 * 14, 16}, {miniFat + 4 * 16, end}}},
                      {"more than the mini stream holds",
                       {{smallSize, 1024 + 64}, {miniFat + 4 * 15, 16}, {miniFat + 4 * 16, end}}},
                  });

    EXPECT_EQ(readCompoundFile(Bytes(good.begin(), good.begin() + 100)).error().code, ErrorCode::NotSpreadsheet);
    EXPECT_EQ(readCompoundFile(Bytes(4096, 'x')).error().code, ErrorCode::NotSpreadsheet);
    // The unused tail of the last (FAT) sector may be missing.
    EXPECT_TRUE(readBack(Bytes(good.begin(), good.end() - 200)) == pattern(5000, 7));

    // Every 37th truncation point and a byte flip at every 8th offset of a real fixture: no crash.
    auto fixture = readBytes(std::filesystem::path(GP_SHARED_DIR) / "fixtures/xls/poi_xor-encryption-abc.xls");
    if (fixture.empty())
        fixture = singleStreamFile(1620);
    auto refusedCleanly = [](const auto& r) {
        return r.ok() || r.error().code == ErrorCode::Damaged || r.error().code == ErrorCode::NotSpreadsheet;
    };
    for (size_t n = 0; n < fixture.size(); n += 37)
        EXPECT_TRUE(refusedCleanly(readCompoundFile(std::span<const uint8_t>(fixture.data(), n)))) << n;
    for (size_t i = 0; i < fixture.size(); i += 8) {
        auto m = fixture;
        m[i] ^= 0xA5;
        EXPECT_TRUE(refusedCleanly(readCompoundFile(m))) << i;
    }
}

TEST(Cfb, Version4FileIsRead)
{
    // A hand-built v4 file: 4096-byte sectors, one 5000-byte stream in sectors 0-1,
    // directory in sector 2, FAT in sector 3.
    const size_t ss = 4096;
    Bytes f = Bytes{0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1} + Bytes(ss * 5 - 8, 0);
    // Version 4, sector shift 12, one FAT sector (3), the directory in 2, no mini FAT or DIFAT.
    using F = std::pair<size_t, uint32_t>;
    for (auto [at, v] : {F{0x18, 0x0004003E}, F{0x1C, 0x000CFFFE}, F{0x20, 6}, F{0x2C, 1}, F{0x30, 2}, F{0x38, 4096},
                         F{0x3C, 0xFFFFFFFE}, F{0x44, 0xFFFFFFFE}, F{0x4C, 3}})
        put32(f, at, v);
    for (int i = 1; i < 109; ++i)
        put32(f, 0x4C + 4 * i, 0xFFFFFFFF);
    auto data = pattern(5000, 11);
    std::copy(data.begin(), data.end(), f.begin() + ss);
    for (size_t i = 0; i < ss / 128; ++i) {
        const size_t o = 3 * ss + i * 128;
        put32(f, o + 0x44, 0xFFFFFFFF), put32(f, o + 0x48, 0xFFFFFFFF), put32(f, o + 0x4C, 0xFFFFFFFF);
    }
    auto entry = [&](size_t idx, std::u16string name, uint8_t type, uint32_t child, uint32_t start, uint32_t size) {
        const size_t o = 3 * ss + idx * 128;
        for (size_t k = 0; k < name.size(); ++k)
            f[o + 2 * k] = uint8_t(name[k]);
        f[o + 0x40] = uint8_t(2 * (name.size() + 1));
        f[o + 0x42] = type;
        f[o + 0x43] = 1;
        put32(f, o + 0x4C, child);
        put32(f, o + 0x74, start);
        put32(f, o + 0x78, size);
    };
    entry(0, u"Root Entry", 5, 1, 0xFFFFFFFE, 0);
    entry(1, u"Workbook", 2, 0xFFFFFFFF, 0, 5000);
    for (size_t i = 0; i < ss / 4; ++i)
        put32(f, 4 * ss + 4 * i, i == 0 ? 1u : i == 3 ? 0xFFFFFFFDu : i < 3 ? 0xFFFFFFFEu : 0xFFFFFFFFu);
    EXPECT_TRUE(readBack(f) == data);
}
