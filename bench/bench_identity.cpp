// The check made before every save of a workbook: is the file still the one
// this program read or last wrote? It reads the file and digests it. Measured
// on files of the sizes a practice's workbook has (the largest one, 65,535
// cases and expenses and 20,000 clients, is some tens of megabytes).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <random>

#include "core/host/file_identity.h"

using namespace gp::host;

namespace {

QByteArray someBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 rng(42);
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

void BM_IdentityOfBytes(benchmark::State& state)
{
    const QByteArray bytes = someBytes(state.range(0) << 20);
    for (auto _ : state) {
        FileIdentity id = FileIdentity::of(QStringLiteral("/nonexistent"), bytes);
        benchmark::DoNotOptimize(id.digest);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

void BM_UnchangedCheckBeforeSave(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Pratiche.xls"));
    const QByteArray bytes = someBytes(state.range(0) << 20);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        state.SkipWithError("cannot write the file");
        return;
    }
    f.close();
    const FileIdentity known = FileIdentity::of(path, bytes);
    for (auto _ : state) {
        const bool same = fileUnchangedSince(path, known);
        if (!same)
            state.SkipWithError("the file reads as changed");
        benchmark::DoNotOptimize(same);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}

} // namespace

BENCHMARK(BM_IdentityOfBytes)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnchangedCheckBeforeSave)->Arg(4)->Arg(32)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
