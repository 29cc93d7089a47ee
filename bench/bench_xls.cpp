// Opening and saving the largest workbook the practice can hold: Clienti
// 20,000 x 17, Pratica 65,535 x 14, Spese 65,535 x 8 (about 1.8 million cells),
// password protected, both as our engine writes it (RC4 CryptoAPI) and as
// LibreOffice writes it (RC4 "Office 97/2000 compatible").
//
// With GP_BENCH_XLS_DIR set, the program only writes the two files there
// (bench_cryptoapi.xls, bench_rc4.xls) for bench/compare_python.sh.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include "core/xls/cfb.h"
#include "core/xls/crypto.h"
#include "core/xls/xls_file.h"

using namespace gp::xls;
using namespace gp::sheet;

namespace {

constexpr const char* kPassword = "Tesm4061";

std::unique_ptr<Workbook> makeWorkbook()
{
    auto wb = newWorkbook();
    uint16_t dateXf = wb->xfWithNumberFormat(15, "dd/mm/yyyy");
    uint16_t moneyXf = wb->xfWithNumberFormat(15, "#,##0.00");
    std::mt19937 rng(20240315);
    const char* surnames[] = {"ROSSI", "BIANCHI", "COLOMBO", "RICCI", "MARINO",   "GRECO", "BRUNO",    "GALLO",
                              "CONTI", "DE LUCA", "MANCINI", "COSTA", "GIORDANO", "RIZZO", "LOMBARDI", "MORETTI"};
    const char* names[] = {"MARIO", "LUCIA", "GIUSEPPE", "ANNA", "FRANCESCO", "NICCOLÒ", "CHIARA", "ANDREA"};
    const char* cities[] = {"ROMA", "MILANO", "FORLÌ", "CEFALÙ", "TORINO", "NAPOLI", "PATERNÒ", "BOLOGNA"};
    const char* kinds[] = {"CIVILE", "PENALE", "LAVORO", "FAMIGLIA", "TRIBUTARIO"};

    auto fill = [&](const std::string& name, int rows, int cols, int salt) {
        Worksheet& ws = wb->addSheet(name);
        ws.rows.reserve(rows);
        for (int c = 0; c < cols; ++c)
            ws.setValue(0, c, Value::makeText("Colonna " + std::to_string(c + 1)));
        for (int r = 1; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                uint32_t x = rng();
                switch ((c + salt) % 7) {
                case 0: ws.setValue(r, c, Value::makeNumber(r + 100)); break; // ids
                case 1:                                                       // names: many distinct
                    ws.setValue(r, c,
                                Value::makeText(std::string(surnames[x % 16]) + " " + names[(x >> 4) % 8] + " "
                                                + std::to_string(x % 5000)));
                    break;
                case 2: ws.setValue(r, c, Value::makeText(cities[x % 8])); break; // repeated
                case 3:                                                           // dates
                    ws.setValue(r, c, Value::makeNumber(40000 + x % 9000));
                    ws.setFormat(r, c, dateXf);
                    break;
                case 4: // amounts with cents
                    ws.setValue(r, c, Value::makeNumber(double(x % 10000000) / 100));
                    ws.setFormat(r, c, moneyXf);
                    break;
                case 5: ws.setValue(r, c, Value::makeText("0" + std::to_string(x % 100000000))); break; // phone-like
                default:
                    if (x % 4 == 0)
                        ws.setValue(r, c, Value::makeText(kinds[x % 5]));
                    else if (x % 4 == 1)
                        ws.setValue(r, c, Value::makeText("Nota " + std::to_string(x % 100000) + ", da verificare"));
                    break; // some empty
                }
            }
        }
    };
    fill("Clienti", 20000, 17, 0);
    fill("Pratica", 65535, 14, 3);
    fill("Spese", 65535, 8, 5);
    return wb;
}

// RC4 "Office 97/2000" encryption as LibreOffice writes it (test data only).
std::vector<uint8_t> rc4Workbook(const Workbook& wb)
{
    std::vector<uint8_t> s = writeWorkbookStream(wb, 54);
    uint8_t salt[16], verifier[16];
    std::mt19937 rng(7);
    for (auto& b : salt)
        b = uint8_t(rng());
    for (auto& b : verifier)
        b = uint8_t(rng());
    auto key = [&](uint32_t block) { return rc4StandardKey(kPassword, std::span<const uint8_t, 16>(salt, 16), block); };
    uint8_t vh[32];
    std::memcpy(vh, verifier, 16);
    md5_ctx md;
    md5_init(&md);
    md5_update(&md, 16, verifier);
    md5_digest(&md, 16, vh + 16);
    arcfour_ctx rc;
    auto k0 = key(0);
    arcfour_set_key(&rc, 16, k0.data());
    uint8_t enc[32];
    arcfour_crypt(&rc, 32, enc, vh);
    size_t fp = 4 + size_t(s[2] | (s[3] << 8));
    uint8_t* body = s.data() + fp + 4;
    const uint8_t head[6] = {1, 0, 1, 0, 1, 0};
    std::memcpy(body, head, 6);
    std::memcpy(body + 6, salt, 16);
    std::memcpy(body + 22, enc, 32);
    // Keystream by absolute offset; record headers and a few bodies stay in clear.
    std::vector<uint8_t> mask(s.size(), 0);
    size_t pos = fp + 4 + 54;
    while (pos + 4 <= s.size()) {
        uint16_t type = uint16_t(s[pos] | (s[pos + 1] << 8));
        size_t size = size_t(s[pos + 2] | (s[pos + 3] << 8));
        size_t b = pos + 4, e = b + size;
        bool clear = type == 0x0809 || type == 0x002F || type == 0x0194 || type == 0x0195 || type == 0x00E1
            || type == 0x0196 || type == 0x0138;
        if (type == 0x0085)
            b += 4;
        if (!clear)
            for (size_t i = b; i < e; ++i)
                mask[i] = 1;
        pos = e;
    }
    uint8_t ks[1024];
    for (size_t block = 0; block * 1024 < s.size(); ++block) {
        auto k = key(uint32_t(block));
        arcfour_set_key(&rc, 16, k.data());
        std::memset(ks, 0, sizeof ks);
        arcfour_crypt(&rc, sizeof ks, ks, ks);
        for (size_t i = 0; i < 1024 && block * 1024 + i < s.size(); ++i)
            if (mask[block * 1024 + i])
                s[block * 1024 + i] ^= ks[i];
    }
    CompoundFile cf;
    cf.root.type = 5;
    cf.root.name = u"Root Entry";
    CfbEntry e;
    e.name = u"Workbook";
    e.data = std::move(s);
    cf.root.children.push_back(std::move(e));
    return writeCompoundFile(cf);
}

struct Files {
    std::unique_ptr<Workbook> wb;
    std::vector<uint8_t> cryptoApi, rc4;
};

Files& files()
{
    static Files f = [] {
        Files x;
        x.wb = makeWorkbook();
        XlsDocument doc;
        doc.workbook = makeWorkbook();
        doc.encryption = Encryption::Rc4CryptoApi;
        doc.password = kPassword;
        x.cryptoApi = writeXls(doc).value();
        x.rc4 = rc4Workbook(*doc.workbook);
        return x;
    }();
    return f;
}

void openFile(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    for (auto _ : state) {
        auto doc = readXls(bytes, kPassword);
        if (!doc)
            state.SkipWithError(doc.error().message.c_str());
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}

void decryptOnly(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    for (auto _ : state) {
        auto cf = readCompoundFile(bytes);
        std::vector<uint8_t> stream = findChild(cf->root, u"Workbook")->data;
        auto r = decryptWorkbookStream(stream, kPassword);
        benchmark::DoNotOptimize(r);
        benchmark::DoNotOptimize(stream.data());
    }
}

void BM_OpenCryptoApi(benchmark::State& s) { openFile(s, files().cryptoApi); }
void BM_OpenRc4(benchmark::State& s) { openFile(s, files().rc4); }
void BM_DecryptOnlyCryptoApi(benchmark::State& s) { decryptOnly(s, files().cryptoApi); }
void BM_DecryptOnlyRc4(benchmark::State& s) { decryptOnly(s, files().rc4); }

void BM_SaveCryptoApi(benchmark::State& state)
{
    XlsDocument doc;
    doc.workbook = makeWorkbook();
    doc.encryption = Encryption::Rc4CryptoApi;
    doc.password = kPassword;
    for (auto _ : state) {
        auto bytes = writeXls(doc);
        benchmark::DoNotOptimize(bytes);
    }
}

void BM_ParseOnly(benchmark::State& state)
{
    std::vector<uint8_t> stream = writeWorkbookStream(*files().wb);
    for (auto _ : state) {
        auto wb = parseWorkbookStream(stream);
        benchmark::DoNotOptimize(wb);
    }
}

#define GP_BENCH(fn)                                                                                                   \
    BENCHMARK(fn)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true)
GP_BENCH(BM_DecryptOnlyCryptoApi);
GP_BENCH(BM_OpenCryptoApi);
GP_BENCH(BM_DecryptOnlyRc4);
GP_BENCH(BM_OpenRc4);
GP_BENCH(BM_ParseOnly);
GP_BENCH(BM_SaveCryptoApi);

} // namespace

int main(int argc, char** argv)
{
    if (const char* dir = std::getenv("GP_BENCH_XLS_DIR")) {
        for (auto [name, data] :
             {std::pair{"bench_cryptoapi.xls", &files().cryptoApi}, std::pair{"bench_rc4.xls", &files().rc4}}) {
            std::string path = std::string(dir) + "/" + name;
            std::FILE* f = std::fopen(path.c_str(), "wb");
            if (!f || std::fwrite(data->data(), 1, data->size(), f) != data->size())
                return 1;
            std::fclose(f);
            std::printf("%s (%zu bytes)\n", path.c_str(), data->size());
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
