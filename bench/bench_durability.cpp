// What keeping every confirmed command on disk costs, on the largest workbook
// (Clienti 20,000 rows, Pratica 65,535, Spese 65,535), password protected and
// opened from its file as the program does:
//  - BM_CaseStoreDurable: a store of the case form followed by the commit the
//    program makes before its message (the change appended to the encrypted
//    journal and flushed to the disk);
//  - BM_CaseStoreInMemory: the same store without the commit, for comparison;
//  - BM_CommitOneChange: the commit alone, after one changed cell;
//  - BM_SaveWholeWorkbook: the other way of making a command durable, saving
//    the whole workbook (atomic, encrypted, flushed) after it.
#include "cases/case_form.h"
#include "cases/register_forms.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "large_practice.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace gp;

namespace {

constexpr int kExpenses = 65535;

struct Bench {
    QTemporaryDir dir;
    host::SpreadsheetHost host;
    ui::Navigator nav;
    ui::AppContext ctx;
    cases::Form4* form = nullptr;

    Bench()
    {
        // A folder on the same disk as the build (not a memory file system), so
        // that the flushes cost what they cost the practice.
        ctx.host = &host;
        ctx.navigator = &nav;
        ctx.folder = dir.path();
        build();
        host.open(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
        cases::registerForms(ctx);
        form = qobject_cast<cases::Form4*>(nav.load(QStringLiteral("Form4")));
        form->rebuildLists();
    }

    void build()
    {
        host::SpreadsheetHost maker;
        host::Book* b = maker.create(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
        bench::fillLargePractice(b, kExpenses);
        b->save();
    }

    void prepareStore()
    {
        form->rebuildLists();
        form->selectEntry(50000);
        form->findChild<QComboBox*>("Combo1")->setEditText(QStringLiteral("51001"));
        form->findChild<QLineEdit*>("Text5")->setText(QStringLiteral("AGGIORNATA"));
    }
};

Bench* gBench = nullptr;

void BM_CaseStoreDurable(benchmark::State& state)
{
    Bench& b = *gBench;
    for (auto _ : state) {
        state.PauseTiming();
        b.prepareStore();
        state.ResumeTiming();
        const int row = b.form->storeFields();
        b.form->afterStore();
        b.host.commitJournals(); // what the program does before "Pratica modificata"
        benchmark::DoNotOptimize(row);
    }
}
// One store per run, 41 runs: the median is what a user sees.
BENCHMARK(BM_CaseStoreDurable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(41)
    ->ReportAggregatesOnly(true);

void BM_CaseStoreInMemory(benchmark::State& state)
{
    Bench& b = *gBench;
    for (auto _ : state) {
        state.PauseTiming();
        b.prepareStore();
        state.ResumeTiming();
        const int row = b.form->storeFields();
        b.form->afterStore();
        benchmark::DoNotOptimize(row);
        state.PauseTiming();
        b.host.commitJournals(); // kept out of the timing
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CaseStoreInMemory)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(41)
    ->ReportAggregatesOnly(true);

// The durability alone: one cell changed, its record encrypted, appended and flushed.
void BM_CommitOneChange(benchmark::State& state)
{
    Bench& b = *gBench;
    host::Sheet* pratica = b.ctx.practice()->sheet(QStringLiteral("Pratica"));
    int n = 0;
    for (auto _ : state) {
        pratica->cells(3, 10).setValue(QStringLiteral("MODIFICA %1").arg(++n));
        b.host.commitJournals();
    }
}
BENCHMARK(BM_CommitOneChange)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(41)
    ->ReportAggregatesOnly(true);

void BM_SaveWholeWorkbook(benchmark::State& state)
{
    Bench& b = *gBench;
    host::Book* book = b.ctx.practice();
    for (auto _ : state) {
        book->sheet(QStringLiteral("Pratica"))->cells(2, 10).setValue(QStringLiteral("SALVATA"));
        book->save();
    }
}
BENCHMARK(BM_SaveWholeWorkbook)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::setItalianLocale();
    benchmark::Initialize(&argc, argv);
    {
        Bench b;
        gBench = &b;
        benchmark::RunSpecifiedBenchmarks();
        gBench = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
