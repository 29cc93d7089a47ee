// Workbook stream encryption: published test values, the encrypted fixtures, our CryptoAPI
// writer, malformed FILEPASS records (independent readers open our output in xls_roundtrip_check).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>

#include <nettle/arcfour.h>
#include <nettle/sha1.h>

#include "core/sheet/utf.h"
#include "core/xls/cfb.h"
#include "core/xls/crypto.h"
#include "core/xls/xls_file.h"
#include "xls/support_bytes.h"

using namespace gp::xls;
using namespace gptest;
using gp::sheet::Encryption;
using gp::sheet::utf8ToUtf16;
namespace fs = std::filesystem;

namespace {

Bytes hex(std::string_view s)
{
    Bytes out;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        out.push_back(uint8_t(std::stoi(std::string(s.substr(i, 2)), nullptr, 16)));
    return out;
}

template <size_t N> Bytes vec(const std::array<uint8_t, N>& a) { return {a.begin(), a.end()}; }

// A decrypted stream is sound: nothing to mend, the sheets and first text of the expected dump.
void checkPlaintext(const Bytes& s, const Expected& e)
{
    std::vector<Repair> repairs;
    auto wb = parseWorkbookStream(s, &repairs);
    ASSERT_TRUE(wb.ok()) << wb.error().reason;
    EXPECT_TRUE(repairs.empty());
    std::vector<std::string> names;
    for (const auto& sheet : wb.value()->sheets)
        names.push_back(sheet->name);
    EXPECT_EQ(names, e.sheetNames);
    EXPECT_TRUE(!e.firstText || std::ranges::any_of(wb.value()->strings, [&](auto& t) {
        return t.text == *e.firstText;
    })) << *e.firstText;
}

std::string flipCase(std::string s)
{
    std::ranges::transform(s, s.begin(), [](unsigned char c) { return char(std::isalpha(c) ? c ^ 0x20 : c); });
    return s;
}

Encryption schemeNamed(const std::string& n)
{
    static const std::map<std::string, Encryption> m(
        {std::pair{"none", Encryption::None}, std::pair{"xor", Encryption::Xor}, std::pair{"rc4", Encryption::Rc4},
         std::pair{"rc4-cryptoapi", Encryption::Rc4CryptoApi}});
    return m.at(n);
}

// A plausible workbook stream with a CryptoAPI FILEPASS (or none) after the BOF.
Bytes syntheticStream(const Bytes& filepass, size_t cells)
{
    Bytes s;
    record(s, 0x0809, bofBody(5));
    if (!filepass.empty())
        record(s, 0x002F, filepass);
    record(s, 0x00E1, {0xB0, 0x04});
    record(s, 0x0042, {0xB0, 0x04});
    size_t bs = s.size();
    record(s, 0x0085, Bytes{0, 0, 0, 0, 0, 0, 6, 0} + latin1("Foglio"));
    record(s, 0x00FC, Bytes{1, 0, 0, 0, 1, 0, 0, 0, 11, 0, 0} + latin1("Contratto A"));
    record(s, 0x000A, {});
    put32(s, bs + 4, uint32_t(s.size()));
    record(s, 0x0809, bofBody(0x10));
    for (size_t i = 0; i < cells; ++i) {
        Bytes num(14, 0);
        num[0] = uint8_t(i), num[1] = uint8_t(i >> 8), num[4] = 15;
        double v = double(i) * 1.25;
        std::memcpy(num.data() + 6, &v, 8);
        record(s, 0x0203, num);
    }
    record(s, 0x000A, {});
    return s;
}

Bytes rc4Keystream(const std::array<uint8_t, 16>& key, size_t keyLen)
{
    arcfour_ctx ctx;
    arcfour_set_key(&ctx, keyLen, key.data());
    Bytes zeros(1024, 0), ks(1024);
    arcfour_crypt(&ctx, 1024, ks.data(), zeros.data());
    return ks;
}

} // namespace

TEST(Crypto, PublishedTestValues)
{
    auto salt = hex("68a75dab8dff01c4fa376368e65efc5f");
    std::span<const uint8_t, 16> s16(salt.data(), 16);
    EXPECT_EQ(vec(rc4StandardKey("password", s16, 0)), hex("010d00296bacb9188139831c71e8df5a"));
    EXPECT_EQ(vec(rc4StandardKey("password", s16, 1)), hex("a93b979d460795cfa68a8bbda5843359"));

    auto salt2 = hex("e2f5f90214a23a31c490916e2015da52");
    EXPECT_EQ(vec(cryptoApiKey("freedom", salt2, 0, 128)), hex("a1e805aa316455246c98c5ef453dad8f"));
    EXPECT_EQ(vec(cryptoApiKey("freedom", salt2, 1, 128)), hex("bbf2029360b710e192441b4a60b161d9"));
    EXPECT_EQ(vec(cryptoApiKey("freedom", salt2, 0, 40)), hex("a1e805aa310000000000000000000000"));

    EXPECT_EQ(xorKey("abc"), 0x514A);
    EXPECT_EQ(xorVerifier("abc"), 0xCC1A);
    EXPECT_EQ(vec(xorArray("abc")), hex("95999475DA577857DA7465A87A2F2577"));
    EXPECT_EQ(xorKey("VelvetSweatshop"), 0xB359);
    EXPECT_EQ(xorVerifier("VelvetSweatshop"), 0x9A0A);
}

// A password is decoded as strictly as any text: an overlong or surrogate form
// of a letter is not that letter, so it never derives the same key.
TEST(Crypto, PasswordsRejectOverlongAndSurrogateForms)
{
    EXPECT_TRUE(utf8ToUtf16("Pàss€\xF0\x9F\x98\x80") == u"Pàss€\U0001F600");
    EXPECT_TRUE(utf8ToUtf16("\xC3\xA0\xE2\x82\xAC") == u"à€");         // the shortest forms pass
    EXPECT_TRUE(utf8ToUtf16("a\xFFz") == u"a\uFFFDz");                 // not UTF-8
    EXPECT_TRUE(utf8ToUtf16("ab\xC3") == u"ab\uFFFD");                 // cut short
    EXPECT_TRUE(utf8ToUtf16("\xC1\x81") == u"\uFFFD\uFFFD");           // 'A' in two bytes
    EXPECT_TRUE(utf8ToUtf16("\xE0\x81\x81") == u"\uFFFD\uFFFD\uFFFD"); // 'A' in three bytes
    EXPECT_TRUE(utf8ToUtf16("\xF0\x80\x81\x81") == u"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_TRUE(utf8ToUtf16("\xED\xA0\x80") == u"\uFFFD\uFFFD\uFFFD");           // a surrogate
    EXPECT_TRUE(utf8ToUtf16("\xF4\x90\x80\x80") == u"\uFFFD\uFFFD\uFFFD\uFFFD"); // past U+10FFFF
    const Bytes salt = hex("68a75dab8dff01c4fa376368e65efc5f");
    EXPECT_NE(vec(rc4StandardKey("\xC1\x81", std::span<const uint8_t, 16>(salt.data(), 16), 0)),
              vec(rc4StandardKey("A", std::span<const uint8_t, 16>(salt.data(), 16), 0)));
    EXPECT_NE(vec(cryptoApiKey("x\xC1\x81", salt, 0, 128)), vec(cryptoApiKey("xA", salt, 0, 128)));
    EXPECT_NE(xorKey("\xC1\x81"), xorKey("A"));
}

// Each reference workbook: a wrong password is refused and leaves the stream as it was; the
// right one (any, for the default password or a file in clear) gives a sound stream.
TEST(Crypto, EncryptedFixturesOpenOnlyWithTheirPassword)
{
    int seen = 0;
    for (const fs::path& p : fixtureFiles(true)) {
        const Expected e = readExpected(p);
        SCOPED_TRACE(p.filename().string());
        const auto file = readBytes(p);
        auto cf = readCompoundFile(file);
        ASSERT_TRUE(cf.ok());
        const CfbEntry* wb = findChild(cf->root, u"Workbook");
        ASSERT_NE(wb, nullptr);
        auto scheme = detectEncryption(wb->data);
        ASSERT_TRUE(scheme.ok()) << scheme.error().message;
        EXPECT_EQ(*scheme, schemeNamed(e.encryption));
        seen += e.password.has_value();
        const std::string pw = e.password.value_or("");
        const bool isDefault = pw == kDefaultPassword, anyOpens = isDefault || !e.password;
        bool right = true; // the first one tried
        for (const std::string& tried : {pw, std::string("wrong password"), flipCase(pw), std::string(), "x" + pw}) {
            if (!std::exchange(right, false) && tried == pw)
                continue;
            SCOPED_TRACE("with '" + tried + "'");
            auto copy = wb->data;
            auto r = decryptWorkbookStream(copy, tried);
            auto doc = readXls(file, tried);
            ASSERT_EQ(r.ok(), tried == pw || anyOpens);
            ASSERT_EQ(doc.ok(), r.ok());
            if (!r.ok()) {
                EXPECT_EQ(r.error().code, ErrorCode::WrongPassword);
                EXPECT_EQ(doc.error().code, ErrorCode::WrongPassword);
                EXPECT_TRUE(copy == wb->data) << "stream changed by a failed attempt";
                continue;
            }
            EXPECT_EQ(r->scheme, schemeNamed(e.encryption));
            EXPECT_EQ(r->usedDefaultPassword, isDefault);
            EXPECT_EQ(doc->defaultPassword, isDefault);
            EXPECT_EQ(doc->workbook->encryption, schemeNamed(e.encryption));
            EXPECT_EQ(copy == wb->data, !e.password);
            if (e.password) {
                EXPECT_EQ(doc->password, isDefault ? std::string(kDefaultPassword) : tried);
            }
            checkPlaintext(copy, e);
        }
        if (*scheme == Encryption::Xor) { // only 15 password bytes count
            auto longer = wb->data;
            EXPECT_EQ(decryptWorkbookStream(longer, pw + "X").ok(), pw.size() >= 15);
        }
    }
    if (seen == 0)
        GTEST_SKIP() << "no encrypted fixtures under " << GP_SHARED_DIR;
    EXPECT_EQ(seen, 8);
}

TEST(Crypto, CryptoApiWriterRoundTrip)
{
    const std::string pw = "Società 2024!";
    CryptoApiKey key;
    auto fp = makeCryptoApiFilepass(pw, key);
    ASSERT_EQ(fp.size(), kCryptoApiFilepassSize);
    EXPECT_EQ(Bytes(fp.begin(), fp.begin() + 14), (Bytes{1, 0, 4, 0, 2, 0, 0x0C, 0, 0, 0, 0x7E, 0, 0, 0}));
    // Key bits, salt size, verifier hash size.
    EXPECT_EQ(std::tuple(get32(fp, 30), get32(fp, 140), get32(fp, 176)), std::tuple(128u, 16u, 20u));

    const auto plain = syntheticStream(fp, 1500); // ~27 KB, many 1024-byte blocks
    auto enc = plain;
    encryptWorkbookStream(enc, key);
    ASSERT_EQ(enc.size(), plain.size());
    auto det = detectEncryption(enc);
    ASSERT_TRUE(det.ok());
    EXPECT_EQ(*det, Encryption::Rc4CryptoApi);

    // Independent keystream check: every byte is either clear or plain ^ Key(p/1024) keystream at p%1024.
    Bytes salt(fp.begin() + 144, fp.begin() + 160);
    std::map<size_t, Bytes> ks;
    size_t encrypted = 0, clear = 0;
    for (size_t pos = 0; pos + 4 <= plain.size();) {
        uint16_t type = get16(plain, pos), len = get16(plain, pos + 2);
        EXPECT_EQ(get32(enc, pos), get32(plain, pos)) << "header at " << pos;
        bool clearBody = type == 0x0809 || type == 0x002F || type == 0x00E1;
        for (size_t k = 0; k < len; ++k) {
            size_t p = pos + 4 + k;
            if (clearBody || (type == 0x0085 && k < 4)) {
                EXPECT_EQ(enc[p], plain[p]) << p;
                ++clear;
                continue;
            }
            if (!ks.count(p / 1024))
                ks[p / 1024] = rc4Keystream(cryptoApiKey(pw, salt, uint32_t(p / 1024), 128), 16);
            ASSERT_EQ(enc[p], plain[p] ^ ks[p / 1024][p % 1024]) << p;
            ++encrypted;
        }
        pos += 4 + len;
    }
    EXPECT_GT(encrypted, 15000u);
    EXPECT_GT(clear, 200u);

    auto dec = enc;
    auto r = decryptWorkbookStream(dec, pw);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r->usedDefaultPassword);
    EXPECT_TRUE(dec == plain);

    auto noFilepass = syntheticStream({}, 3);
    EXPECT_THROW(encryptWorkbookStream(noFilepass, key), std::invalid_argument);
}

TEST(Crypto, ShorterCryptoApiKeys)
{
    // 40-bit keys are padded to 16 bytes; other sizes are used at their length.
    for (uint32_t bits : {40u, 56u, 64u}) {
        SCOPED_TRACE(bits);
        CryptoApiKey unused;
        auto fp = makeCryptoApiFilepass("x", unused);
        put32(fp, 30, bits == 40 ? 0 : bits); // 0 stands for 40
        Bytes salt(fp.begin() + 144, fp.begin() + 160);
        size_t keyLen = bits == 40 ? 16 : bits / 8;
        auto key0 = cryptoApiKey("pw", salt, 0, bits);
        Bytes verifier(36, 0x5A);
        sha1_ctx ctx;
        sha1_init(&ctx);
        sha1_update(&ctx, 16, verifier.data());
        sha1_digest(&ctx, 20, verifier.data() + 16);
        arcfour_ctx rc4;
        arcfour_set_key(&rc4, keyLen, key0.data());
        arcfour_crypt(&rc4, 16, fp.data() + 160, verifier.data());
        arcfour_crypt(&rc4, 20, fp.data() + 180, verifier.data() + 16);

        const auto plain = syntheticStream(fp, 100);
        auto enc = plain;
        ASSERT_TRUE(decryptWorkbookStream(enc, "pw").ok()); // the transform is its own inverse
        size_t p = plain.size() - 4 - 3;                    // inside the last NUMBER body
        auto ks = rc4Keystream(cryptoApiKey("pw", salt, uint32_t(p / 1024), bits), keyLen);
        EXPECT_EQ(enc[p], plain[p] ^ ks[p % 1024]);
        auto bad = enc;
        EXPECT_EQ(decryptWorkbookStream(bad, "PW").error().code, ErrorCode::WrongPassword);
        ASSERT_TRUE(decryptWorkbookStream(enc, "pw").ok());
        EXPECT_TRUE(enc == plain);
    }
}

TEST(Crypto, MalformedOrUnknownFilepass)
{
    auto streamWith = [](Bytes body, bool writeProtect = false) {
        Bytes s;
        record(s, 0x0809, bofBody(5));
        if (writeProtect)
            record(s, 0x0086, {});
        record(s, 0x002F, body);
        record(s, 0x000A, {});
        return s;
    };
    CryptoApiKey k;
    const auto good = makeCryptoApiFilepass("a", k);
    auto patched = [&](size_t off, uint32_t v) {
        auto b = good;
        put32(b, off, v);
        return streamWith(b);
    };
    Bytes cutShort = streamWith(good);
    cutShort.resize(100); // FILEPASS runs past the end of the stream
    struct C {
        const char* what;
        Bytes stream;
    };
    const std::vector<C> damaged({C{"empty FILEPASS", streamWith({})}, C{"XOR too short", streamWith({0, 0, 1, 2})},
                                  C{"RC4 too short", streamWith({1, 0, 1, 0, 1, 0, 9, 9, 9})},
                                  C{"CryptoAPI cut", streamWith(Bytes(good.begin(), good.begin() + 150))},
                                  C{"header size too big", patched(10, 0x1000)},
                                  C{"header size too small", patched(10, 4)}, C{"salt size", patched(140, 32)},
                                  C{"not a BOF", Bytes{0x3C, 0, 0, 0}}, C{"empty stream", {}},
                                  C{"FILEPASS beyond the stream", cutShort}});
    const std::vector<C> unsupported({C{"AES flag", patched(14, 0x24)}, C{"no CryptoAPI flag", patched(14, 0x08)},
                                      C{"AES algorithm", patched(22, 0x660E)}, C{"key size", patched(30, 129)},
                                      C{"version 5.2", patched(2, 0x00020005)},
                                      C{"type 2", streamWith({2, 0, 1, 0, 1, 0})}});
    for (auto [cases, code] :
         {std::pair{&damaged, ErrorCode::Damaged}, std::pair{&unsupported, ErrorCode::UnsupportedEncryption}})
        for (const auto& [what, stream] : *cases) {
            SCOPED_TRACE(what);
            auto d = detectEncryption(stream);
            ASSERT_FALSE(d.ok());
            EXPECT_EQ(d.error().code, code);
            auto copy = stream;
            auto r = decryptWorkbookStream(copy, "a");
            ASSERT_FALSE(r.ok());
            EXPECT_EQ(r.error().code, code);
        }
    // A valid one for contrast; WRITEPROTECT may precede FILEPASS.
    Bytes s = streamWith(good, true);
    ASSERT_TRUE(detectEncryption(s).ok());
    EXPECT_EQ(*detectEncryption(s), Encryption::Rc4CryptoApi);
    EXPECT_TRUE(decryptWorkbookStream(s, "a").ok());
}
