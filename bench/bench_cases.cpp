// The case form and the search on a full register: 65,535 cases and 20,000
// clients, built in memory through the engine. Times the case form's
// activation (case list and choice lists), the selection of a case, a store
// (row written, lists rebuilt) and a search for a common name.
#include "cases/case_form.h"
#include "cases/register_forms.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "large_practice.h"
#include "search/register_forms.h"
#include "search/search_form.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace gp;

namespace {

struct Bench {
    QTemporaryDir dir;
    host::SpreadsheetHost host;
    ui::Navigator nav;
    ui::AppContext ctx;
    cases::Form4* form = nullptr;
    search::SearchForm* search = nullptr;

    Bench()
    {
        ctx.host = &host;
        ctx.navigator = &nav;
        ctx.folder = dir.path();
        build();
        cases::registerForms(ctx);
        search::registerForms(ctx);
        form = qobject_cast<cases::Form4*>(nav.load(QStringLiteral("Form4")));
        search = qobject_cast<search::SearchForm*>(nav.load(QStringLiteral("Ricerca")));
        form->rebuildLists();
    }

    void build() { bench::fillLargePractice(host.create(ctx.path(ui::kPracticeFile), QString())); }
};

Bench* gBench = nullptr;
Bench& bench() { return *gBench; }

void BM_CaseFormActivation(benchmark::State& state)
{
    Bench& b = bench();
    for (auto _ : state)
        b.form->rebuildLists();
    state.counters["cases"] = b.form->findChild<QComboBox*>("Combo1")->count();
}
BENCHMARK(BM_CaseFormActivation)->Unit(benchmark::kMillisecond);

void BM_CaseSelection(benchmark::State& state)
{
    Bench& b = bench();
    b.form->rebuildLists();
    auto* combo = b.form->findChild<QComboBox*>("Combo1");
    int index = 40000;
    for (auto _ : state) {
        combo->setCurrentIndex(index); // the current entry changes: its row is read
        index = index == 40000 ? 60000 : 40000;
    }
    benchmark::DoNotOptimize(b.form->findChild<QLineEdit*>("Text9")->text());
}
BENCHMARK(BM_CaseSelection)->Unit(benchmark::kMillisecond);

void BM_CaseStore(benchmark::State& state)
{
    Bench& b = bench();
    auto* combo = b.form->findChild<QComboBox*>("Combo1");
    auto* subject = b.form->findChild<QLineEdit*>("Text5");
    for (auto _ : state) {
        state.PauseTiming();
        b.form->rebuildLists();
        b.form->selectEntry(50000);
        combo->setEditText(QStringLiteral("51001"));
        subject->setText(QStringLiteral("AGGIORNATA"));
        state.ResumeTiming();
        const int row = b.form->storeFields();
        b.form->afterStore();
        benchmark::DoNotOptimize(row);
    }
}
BENCHMARK(BM_CaseStore)->Unit(benchmark::kMillisecond);

void BM_SearchCommonName(benchmark::State& state)
{
    Bench& b = bench();
    search::SearchOutcome out;
    for (auto _ : state)
        out = b.search->search(QStringLiteral("ROSSI"));
    state.counters["clients"] = out.clients;
    state.counters["rows"] = double(out.rows.size());
}
BENCHMARK(BM_SearchCommonName)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ui::setItalianLocale();
    benchmark::Initialize(&argc, argv);
    {
        Bench b; // the workbook is built before any timing; gone before the application
        gBench = &b;
        benchmark::RunSpecifiedBenchmarks();
        gBench = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}
