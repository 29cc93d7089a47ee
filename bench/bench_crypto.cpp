// Decrypting a ~20 MB Workbook stream: password check, one key per 1024-byte
// block and RC4 over every byte. The baseline the open time is compared with.
#include <benchmark/benchmark.h>

#include <cstring>
#include <stdexcept>

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include "core/xls/crypto.h"

using namespace gp::xls;

namespace {

constexpr std::string_view kPassword = "Studio-Rossi 2024";
constexpr size_t kTarget = 20 * 1024 * 1024;

void put16(std::vector<uint8_t>& s, uint16_t v) { s.push_back(uint8_t(v)), s.push_back(uint8_t(v >> 8)); }

void record(std::vector<uint8_t>& s, uint16_t type, const uint8_t* body, size_t n)
{
    put16(s, type);
    put16(s, uint16_t(n));
    s.insert(s.end(), body, body + n);
}

// A plausible workbook: globals with FILEPASS, a large SST and a sheet of
// LABELSST and NUMBER cells, about kTarget bytes in all.
std::vector<uint8_t> plainStream(const std::vector<uint8_t>& filepass)
{
    std::vector<uint8_t> s;
    s.reserve(kTarget + 65536);
    const uint8_t bof5[16] = {0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 6, 0, 0, 0};
    const uint8_t bof10[16] = {0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 6, 0, 0, 0};
    record(s, 0x0809, bof5, 16);
    record(s, 0x002F, filepass.data(), filepass.size());
    const uint8_t codepage[2] = {0xB0, 0x04};
    record(s, 0x0042, codepage, 2);
    size_t bs = s.size();
    const uint8_t sheet[14] = {0, 0, 0, 0, 0, 0, 6, 0, 'F', 'o', 'g', 'l', 'i', 'o'};
    record(s, 0x0085, sheet, 14);
    // SST: 8224-byte records of short strings (CONTINUE after the first).
    std::vector<uint8_t> body;
    for (int r = 0; r < 200; ++r) {
        body.assign(8224, 0);
        for (size_t i = 0; i < body.size(); ++i)
            body[i] = uint8_t('a' + (i * 7 + r) % 26);
        record(s, r == 0 ? 0x00FC : 0x003C, body.data(), body.size());
    }
    record(s, 0x000A, nullptr, 0);
    uint32_t off = uint32_t(s.size());
    std::memcpy(s.data() + bs + 4, &off, 4);
    record(s, 0x0809, bof10, 16);
    uint8_t cell[14] = {};
    for (uint32_t i = 0; s.size() + 64 < kTarget; ++i) {
        cell[0] = uint8_t(i >> 4), cell[1] = uint8_t(i >> 12), cell[2] = uint8_t(i & 15);
        double v = i * 0.5;
        std::memcpy(cell + 6, &v, 8);
        if (i % 3 == 0)
            record(s, 0x00FD, cell, 10); // LABELSST
        else
            record(s, 0x0203, cell, 14); // NUMBER
    }
    record(s, 0x000A, nullptr, 0);
    return s;
}

// RC4 1.1 FILEPASS for the password (the writer only makes CryptoAPI ones).
std::vector<uint8_t> rc4StandardFilepass(std::string_view password)
{
    std::vector<uint8_t> b = {1, 0, 1, 0, 1, 0};
    uint8_t salt[16], verifier[32];
    for (int i = 0; i < 16; ++i)
        salt[i] = uint8_t(i * 37 + 11), verifier[i] = uint8_t(i * 91 + 3);
    md5_ctx ctx;
    md5_init(&ctx);
    md5_update(&ctx, 16, verifier);
    md5_digest(&ctx, 16, verifier + 16);
    auto key = rc4StandardKey(password, std::span<const uint8_t, 16>(salt, 16), 0);
    arcfour_ctx rc4;
    arcfour_set_key(&rc4, 16, key.data());
    uint8_t enc[32];
    arcfour_crypt(&rc4, 32, enc, verifier);
    b.insert(b.end(), salt, salt + 16);
    b.insert(b.end(), enc, enc + 32);
    return b;
}

std::vector<uint8_t> encryptedStream(bool cryptoApi)
{
    if (cryptoApi) {
        CryptoApiKey key;
        auto s = plainStream(makeCryptoApiFilepass(kPassword, key));
        encryptWorkbookStream(s, key);
        return s;
    }
    auto s = plainStream(rc4StandardFilepass(kPassword));
    // RC4 is its own inverse: "decrypting" the plaintext encrypts it.
    if (!decryptWorkbookStream(s, kPassword).ok())
        throw std::runtime_error("RC4 1.1 set-up failed");
    return s;
}

void decryptBench(benchmark::State& state, bool cryptoApi)
{
    const auto cipher = encryptedStream(cryptoApi);
    std::vector<uint8_t> work;
    for (auto _ : state) {
        state.PauseTiming();
        work = cipher;
        state.ResumeTiming();
        auto r = decryptWorkbookStream(work, kPassword);
        if (!r.ok())
            state.SkipWithError("decryption failed");
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(cipher.size()));
}

void BM_DecryptRc4Standard20MB(benchmark::State& state) { decryptBench(state, false); }
void BM_DecryptCryptoApi20MB(benchmark::State& state) { decryptBench(state, true); }

// Raw RC4 over the same number of bytes, one key: the lower bound.
void BM_RawRc4_20MB(benchmark::State& state)
{
    std::vector<uint8_t> buf(kTarget, 0x5A);
    uint8_t key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (auto _ : state) {
        arcfour_ctx rc4;
        arcfour_set_key(&rc4, 16, key);
        arcfour_crypt(&rc4, buf.size(), buf.data(), buf.data());
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buf.size()));
}

} // namespace

BENCHMARK(BM_DecryptRc4Standard20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecryptCryptoApi20MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRc4_20MB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
