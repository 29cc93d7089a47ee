// Workbook stream encryption: XOR obfuscation, RC4 with MD5 keys and RC4 CryptoAPI.
//
// The RC4 keystream is tied to the absolute position in the stream: block
// b = pos / 1024 uses a fresh cipher keyed with Key(b), and byte pos uses byte
// pos % 1024 of that block's keystream. Bytes left in clear still take their
// keystream positions, so we generate one 1024-byte keystream per block and
// XOR the encrypted ranges with it.
#include "core/xls/crypto.h"
#include "core/sheet/utf.h"
#include "core/xls/le_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/memxor.h>
#include <nettle/sha1.h>

namespace gp::xls {

using sheet::Encryption;
using sheet::utf8ToUtf16; // passwords decode as strictly as every other text

namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kFilepass = 0x002F;
constexpr uint16_t kWriteProtect = 0x0086;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr size_t kBlock = 1024;

// Record bodies that are never encrypted.
bool clearRecord(uint16_t type)
{
    switch (type) {
    case 0x0809: // BOF
    case 0x002F: // FILEPASS
    case 0x0194: // USREXCL
    case 0x0195: // FILELOCK
    case 0x00E1: // INTERFACEHDR
    case 0x0196: // RRDINFO
    case 0x0138: // RRDHEAD
        return true;
    default: return false;
    }
}

struct Filepass {
    Encryption scheme = Encryption::None;
    size_t end = 0; // stream offset just after the FILEPASS record
    // XOR
    uint16_t xorKey = 0, xorVerifier = 0;
    // RC4 kinds
    uint8_t salt[16]{};
    uint8_t encVerifier[16]{};
    uint8_t encHash[20]{};
    uint32_t keyBits = 128;
};

// Finds and parses FILEPASS after the globals BOF (optionally after WRITEPROTECT).
Result<Filepass> parseFilepass(std::span<const uint8_t> s)
{
    Filepass fp;
    if (s.size() < 4 || rd16(s.data()) != kBof)
        return makeError(ErrorCode::Damaged, "manca l'inizio della cartella di lavoro");
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (pos + 4 > s.size())
            return fp;
        uint16_t type = rd16(s.data() + pos), len = rd16(s.data() + pos + 2);
        size_t body = pos + 4;
        if (i > 0 && type == kFilepass) {
            if (body + len > s.size())
                return makeError(ErrorCode::Damaged, "record FILEPASS troncato");
            const uint8_t* p = s.data() + body;
            fp.end = body + len;
            if (len < 2)
                return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
            uint16_t kind = rd16(p);
            if (kind == 0) {
                if (len < 6)
                    return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
                fp.scheme = Encryption::Xor;
                fp.xorKey = rd16(p + 2);
                fp.xorVerifier = rd16(p + 4);
                return fp;
            }
            if (kind != 1)
                return makeError(ErrorCode::UnsupportedEncryption);
            if (len < 6)
                return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
            uint16_t vMajor = rd16(p + 2), vMinor = rd16(p + 4);
            if (vMajor == 1 && vMinor == 1) {
                if (len < 54)
                    return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
                fp.scheme = Encryption::Rc4;
                std::memcpy(fp.salt, p + 6, 16);
                std::memcpy(fp.encVerifier, p + 22, 16);
                std::memcpy(fp.encHash, p + 38, 16);
                return fp;
            }
            if (vMinor != 2 || vMajor < 2 || vMajor > 4)
                return makeError(ErrorCode::UnsupportedEncryption);
            if (len < 14 + 32)
                return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
            uint32_t hs = rd32(p + 10);
            if (hs < 32 || hs > len || size_t(14) + hs + 60 > len)
                return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
            uint32_t flags = rd32(p + 14);
            uint32_t alg = rd32(p + 22), algHash = rd32(p + 26), keyBits = rd32(p + 30);
            if ((flags & 0x20) || !(flags & 0x04))
                return makeError(ErrorCode::UnsupportedEncryption);
            if ((alg != 0 && alg != 0x6801) || (algHash != 0 && algHash != 0x8004))
                return makeError(ErrorCode::UnsupportedEncryption);
            if (keyBits == 0)
                keyBits = 40;
            if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
                return makeError(ErrorCode::UnsupportedEncryption);
            const uint8_t* v = p + 14 + hs;
            if (rd32(v) != 16 || rd32(v + 36) != 20)
                return makeError(ErrorCode::Damaged, "record FILEPASS non valido");
            fp.scheme = Encryption::Rc4CryptoApi;
            fp.keyBits = keyBits;
            std::memcpy(fp.salt, v + 4, 16);
            std::memcpy(fp.encVerifier, v + 20, 16);
            std::memcpy(fp.encHash, v + 40, 20);
            return fp;
        }
        if (i == 0 || (i == 1 && type == kWriteProtect)) {
            pos = body + len;
            continue;
        }
        break;
    }
    return fp;
}

// Calls f(begin, end) for every encrypted byte range after `start`.
template <class F> void forEachEncryptedRange(std::span<const uint8_t> s, size_t start, F&& f)
{
    size_t pos = start;
    while (pos + 4 <= s.size()) {
        uint16_t type = rd16(s.data() + pos);
        size_t len = rd16(s.data() + pos + 2);
        size_t body = pos + 4;
        size_t end = std::min(body + len, s.size());
        if (!clearRecord(type)) {
            size_t from = type == kBoundSheet ? std::min(body + 4, end) : body;
            if (from < end)
                f(from, end, len);
        }
        pos = body + len;
    }
}

// ---- RC4 keys -----------------------------------------------------------------------------------

struct Rc4Key {
    uint8_t bytes[16];
    size_t size;
};

// Per-password state from which the key of each block is derived cheaply.
struct KeyDeriver {
    bool cryptoApi = false;
    uint8_t base[20]{}; // T1 (5 bytes) for the MD5 scheme, H0 for CryptoAPI
    uint32_t keyBits = 128;

    Rc4Key key(uint32_t block) const
    {
        Rc4Key k{};
        uint8_t b[4];
        wr32(b, block);
        if (!cryptoApi) {
            md5_ctx ctx;
            md5_init(&ctx);
            md5_update(&ctx, 5, base);
            md5_update(&ctx, 4, b);
            md5_digest(&ctx, 16, k.bytes);
            k.size = 16;
        } else {
            uint8_t d[20];
            sha1_ctx ctx;
            sha1_init(&ctx);
            sha1_update(&ctx, 20, base);
            sha1_update(&ctx, 4, b);
            sha1_digest(&ctx, 20, d);
            size_t n = keyBits / 8;
            std::memcpy(k.bytes, d, std::min<size_t>(n, 16));
            // A 40-bit key is used as 16 bytes, zero padded; other sizes as they are.
            k.size = keyBits == 40 ? 16 : n;
        }
        return k;
    }
};

std::vector<uint8_t> utf16le(std::string_view password)
{
    std::u16string u = utf8ToUtf16(password);
    std::vector<uint8_t> out(u.size() * 2);
    for (size_t i = 0; i < u.size(); ++i)
        wr16(out.data() + 2 * i, u[i]);
    return out;
}

KeyDeriver md5Deriver(std::string_view password, const uint8_t* salt)
{
    std::vector<uint8_t> pw = utf16le(password);
    uint8_t h0[16];
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, pw.size(), pw.data());
    md5_digest(&ctx, 16, h0);
    uint8_t unit[21];
    std::memcpy(unit, h0, 5);
    std::memcpy(unit + 5, salt, 16);
    md5_init(&ctx);
    for (int i = 0; i < 16; ++i)
        md5_update(&ctx, 21, unit);
    uint8_t h1[16];
    md5_digest(&ctx, 16, h1);
    KeyDeriver d;
    std::memcpy(d.base, h1, 5);
    return d;
}

KeyDeriver sha1Deriver(std::string_view password, const uint8_t* salt, size_t saltSize, uint32_t keyBits)
{
    std::vector<uint8_t> pw = utf16le(password);
    KeyDeriver d;
    d.cryptoApi = true;
    d.keyBits = keyBits;
    sha1_ctx ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, saltSize, salt);
    sha1_update(&ctx, pw.size(), pw.data());
    sha1_digest(&ctx, 20, d.base);
    return d;
}

// Checks the encrypted verifier and its hash with Key(0).
bool verifyRc4(const KeyDeriver& d, const Filepass& fp)
{
    Rc4Key k = d.key(0);
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, k.size, k.bytes);
    uint8_t verifier[16], hash[20], expect[20];
    size_t hashSize = d.cryptoApi ? 20 : 16;
    arcfour_crypt(&rc4, 16, verifier, fp.encVerifier);
    arcfour_crypt(&rc4, hashSize, hash, fp.encHash);
    if (d.cryptoApi) {
        sha1_ctx ctx;
        sha1_init(&ctx);
        sha1_update(&ctx, 16, verifier);
        sha1_digest(&ctx, 20, expect);
    } else {
        md5_ctx ctx;
        md5_init(&ctx);
        md5_update(&ctx, 16, verifier);
        md5_digest(&ctx, 16, expect);
    }
    return std::memcmp(hash, expect, hashSize) == 0;
}

void rc4Transform(std::vector<uint8_t>& stream, size_t start, const KeyDeriver& d)
{
    uint8_t zeros[kBlock]{};
    uint8_t ks[kBlock];
    uint64_t current = ~uint64_t(0);
    uint8_t* data = stream.data();
    forEachEncryptedRange(stream, start, [&](size_t a, size_t b, size_t) {
        while (a < b) {
            uint64_t block = a / kBlock;
            if (block != current) {
                Rc4Key k = d.key(uint32_t(block));
                arcfour_ctx rc4;
                arcfour_set_key(&rc4, k.size, k.bytes);
                arcfour_crypt(&rc4, kBlock, ks, zeros);
                current = block;
            }
            size_t off = a % kBlock;
            size_t n = std::min(b - a, kBlock - off);
            memxor(data + a, ks + off, n);
            a += n;
        }
    });
}

// ---- XOR obfuscation ----------------------------------------------------------------------------

constexpr uint8_t kPad[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80, 0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};
constexpr uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C, 0x0E10, 0xF1CE, 0x313E,
                                       0x1872, 0xE139, 0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7, 0x9DCF, 0x2BBF,
    0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4, 0x1BA8, 0x3750, 0x6EA0, 0xDD40,
    0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45, 0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A,
    0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC, 0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0,
    0xB861, 0x60E3, 0xC1C6, 0x93AD, 0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10,
    0xAA51, 0x4483, 0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373, 0x06E6, 0x0DCC,
    0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};

// The password as the bytes the XOR scheme uses: per UTF-16 unit its low
// byte, or the high byte when the low one is zero; at most 15 bytes.
std::vector<uint8_t> xorPasswordBytes(std::string_view password)
{
    std::vector<uint8_t> out;
    for (char16_t c : utf8ToUtf16(password)) {
        if (out.size() == 15)
            break;
        uint8_t lo = uint8_t(c & 0xFF);
        out.push_back(lo ? lo : uint8_t(c >> 8));
    }
    return out;
}

uint16_t xorKeyOf(const std::vector<uint8_t>& pw)
{
    if (pw.empty())
        return 0;
    uint16_t k = kInitialCode[pw.size() - 1];
    int e = 104;
    for (size_t i = pw.size(); i-- > 0;) {
        uint8_t c = pw[i];
        for (int r = 0; r < 7; ++r) {
            if (c & 0x40)
                k ^= kXorMatrix[e];
            c = uint8_t(c << 1);
            --e;
        }
    }
    return k;
}

uint16_t xorVerifierOf(const std::vector<uint8_t>& pw)
{
    uint16_t v = 0;
    for (size_t i = pw.size() + 1; i-- > 0;) {
        uint8_t c = i == 0 ? uint8_t(pw.size()) : pw[i - 1];
        v = uint16_t((((v >> 14) & 1) | ((v << 1) & 0x7FFF)) ^ c);
    }
    return uint16_t(v ^ 0xCE4B);
}

std::array<uint8_t, 16> xorArrayOf(const std::vector<uint8_t>& pw)
{
    std::array<uint8_t, 16> a{};
    uint16_t k = xorKeyOf(pw);
    uint8_t hi = uint8_t(k >> 8), lo = uint8_t(k & 0xFF);
    for (size_t j = 0; j < 16; ++j) {
        uint8_t src = j < pw.size() ? pw[j] : kPad[j - pw.size()];
        uint8_t x = uint8_t(src ^ ((j & 1) ? hi : lo));
        a[j] = uint8_t((x >> 1) | (x << 7));
    }
    return a;
}

void xorDecrypt(std::vector<uint8_t>& stream, size_t start, const std::array<uint8_t, 16>& a)
{
    uint8_t* data = stream.data();
    forEachEncryptedRange(stream, start, [&](size_t from, size_t to, size_t len) {
        for (size_t p = from; p < to; ++p) {
            uint8_t x = uint8_t(data[p] ^ a[(p + len) & 15]);
            data[p] = uint8_t((x >> 5) | (x << 3));
        }
    });
}

void randomBytes(uint8_t* out, size_t n)
{
    size_t got = 0;
    while (got < n) {
        ssize_t r = getrandom(out + got, n - got, 0);
        if (r > 0) {
            got += size_t(r);
        } else if (r < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    if (got == n)
        return;
    int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    while (fd >= 0 && got < n) {
        ssize_t r = ::read(fd, out + got, n - got);
        if (r <= 0 && errno != EINTR)
            break;
        if (r > 0)
            got += size_t(r);
    }
    if (fd >= 0)
        ::close(fd);
    if (got != n)
        throw std::runtime_error("no random source available");
}

} // namespace

// ---- public -------------------------------------------------------------------------------------

std::array<uint8_t, 16> rc4StandardKey(std::string_view password, std::span<const uint8_t, 16> salt, uint32_t block)
{
    Rc4Key k = md5Deriver(password, salt.data()).key(block);
    std::array<uint8_t, 16> out{};
    std::memcpy(out.data(), k.bytes, 16);
    return out;
}

std::array<uint8_t, 16> cryptoApiKey(std::string_view password, std::span<const uint8_t> salt, uint32_t block,
                                     uint32_t keyBits)
{
    Rc4Key k = sha1Deriver(password, salt.data(), salt.size(), keyBits).key(block);
    std::array<uint8_t, 16> out{};
    std::memcpy(out.data(), k.bytes, std::min<size_t>(k.size, 16));
    return out;
}

uint16_t xorKey(std::string_view password) { return xorKeyOf(xorPasswordBytes(password)); }
uint16_t xorVerifier(std::string_view password) { return xorVerifierOf(xorPasswordBytes(password)); }
std::array<uint8_t, 16> xorArray(std::string_view password) { return xorArrayOf(xorPasswordBytes(password)); }

Result<Encryption> detectEncryption(std::span<const uint8_t> stream)
{
    Result<Filepass> fp = parseFilepass(stream);
    if (!fp)
        return fp.error();
    return fp->scheme;
}

Result<DecryptOutcome> decryptWorkbookStream(std::vector<uint8_t>& stream, std::string_view password)
{
    Result<Filepass> parsed = parseFilepass(stream);
    if (!parsed)
        return parsed.error();
    const Filepass& fp = parsed.value();
    DecryptOutcome out;
    out.scheme = fp.scheme;
    if (fp.scheme == Encryption::None)
        return out;

    const std::string_view candidates[2] = {kDefaultPassword, password};
    for (int i = 0; i < 2; ++i) {
        std::string_view pw = candidates[i];
        if (fp.scheme == Encryption::Xor) {
            std::vector<uint8_t> bytes = xorPasswordBytes(pw);
            if (bytes.empty() || xorVerifierOf(bytes) != fp.xorVerifier)
                continue;
            xorDecrypt(stream, fp.end, xorArrayOf(bytes));
        } else {
            KeyDeriver d = fp.scheme == Encryption::Rc4 ? md5Deriver(pw, fp.salt)
                                                        : sha1Deriver(pw, fp.salt, 16, fp.keyBits);
            if (!verifyRc4(d, fp))
                continue;
            rc4Transform(stream, fp.end, d);
        }
        out.usedDefaultPassword = i == 0;
        return out;
    }
    return makeError(ErrorCode::WrongPassword);
}

std::vector<uint8_t> makeCryptoApiFilepass(std::string_view password, CryptoApiKey& key)
{
    static const char16_t kProvider[] = u"Microsoft Enhanced Cryptographic Provider v1.0";
    std::vector<uint8_t> b(kCryptoApiFilepassSize, 0);
    uint8_t* p = b.data();
    wr16(p + 0, 1);
    wr16(p + 2, 4);
    wr16(p + 4, 2);
    wr32(p + 6, 0x0C);
    wr32(p + 10, 0x7E);
    wr32(p + 14, 0x0C);
    wr32(p + 18, 0);
    wr32(p + 22, 0x6801);
    wr32(p + 26, 0x8004);
    wr32(p + 30, 128);
    wr32(p + 34, 1);
    for (size_t i = 0; kProvider[i]; ++i)
        wr16(p + 46 + 2 * i, kProvider[i]); // NUL already zero
    uint8_t* v = p + 14 + 0x7E;
    wr32(v, 16);
    uint8_t salt[16], verifier[36];
    randomBytes(salt, 16);
    randomBytes(verifier, 16);
    std::memcpy(v + 4, salt, 16);

    KeyDeriver d = sha1Deriver(password, salt, 16, 128);
    std::memcpy(key.h0.data(), d.base, 20);
    sha1_ctx ctx;
    sha1_init(&ctx);
    sha1_update(&ctx, 16, verifier);
    sha1_digest(&ctx, 20, verifier + 16);
    Rc4Key k = d.key(0);
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, k.size, k.bytes);
    uint8_t enc[36];
    arcfour_crypt(&rc4, 36, enc, verifier);
    std::memcpy(v + 20, enc, 16);
    wr32(v + 36, 20);
    std::memcpy(v + 40, enc + 16, 20);
    return b;
}

void encryptWorkbookStream(std::vector<uint8_t>& stream, const CryptoApiKey& key)
{
    Result<Filepass> fp = parseFilepass(stream);
    if (!fp || fp->scheme != Encryption::Rc4CryptoApi || fp->keyBits != 128)
        throw std::invalid_argument("encryptWorkbookStream: no CryptoAPI FILEPASS after the BOF");
    KeyDeriver d;
    d.cryptoApi = true;
    d.keyBits = 128;
    std::memcpy(d.base, key.h0.data(), 20);
    rc4Transform(stream, fp->end, d);
}

} // namespace gp::xls
