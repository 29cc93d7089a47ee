// The other windows at full size: 20,000 clients, 65,535 cases, 40,000
// expenses of one client and 20,000 deadline events, built through the engine.
// Times the client form's activation, one keystroke in its picker, the expense
// query of that client, the event list, and the start of the program up to
// its login window (the whole process, on the same workbook saved encrypted).
#include "clients/anagrafe.h"
#include "clients/register_forms.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/navigator.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"
#include "deadlines/agenda.h"
#include "deadlines/visualizza.h"
#include "expenses/expense_query.h"
#include "expenses/inter_spese.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace gp;

namespace {

constexpr int kCases = 65535;
constexpr int kClients = 20000;
constexpr int kExpenses = 40000; // all of client 7
constexpr int kEvents = 20000;

const QStringList kSurnames = {"ROSSI", "BIANCHI", "VERDI", "ESPOSITO", "COLOMBO", "RICCI",   "MARINO",
                               "GRECO", "BRUNO",   "GALLO", "DE LUCA",  "CONTI",   "MANCINI", "FONTANA"};
const QStringList kNames = {"MARIO", "LUCIA", "ANNA", "PAOLO", "ELENA", "LUCA", "SARA", "GIORGIO", "NICCOLÒ"};

struct Bench {
    QTemporaryDir dir;
    host::SpreadsheetHost host;
    ui::Navigator nav;
    ui::AppContext ctx;

    Bench()
    {
        ctx.host = &host;
        ctx.navigator = &nav;
        ctx.folder = dir.path();
        buildPractice();
        buildAgenda();
        clients::registerForms(ctx);
        nav.registerForm(expenses::InterSpese::kName, [this] { return new expenses::InterSpese(ctx); });
        nav.registerForm(deadlines::Visualizza::kName, [this] { return new deadlines::Visualizza(ctx); });
    }

    void buildPractice()
    {
        host::Book* b = host.create(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
        host::Sheet* clienti = b->addSheet("Clienti");
        host::Sheet* pratica = b->addSheet("Pratica");
        b->addSheet("Storico");
        host::Sheet* spese = b->addSheet("Spese");
        host::Sheet* codice = b->addSheet("Codice");
        b->addSheet("Foglio1");
        b->addSheet("S");
        host::Sheet* dorvessa = b->addSheet("Dorvessa");
        clienti->cells(1, 1).setValue(QStringLiteral("ID Progressivo"));
        clienti->cells(1, 2).setValue(QStringLiteral("Ragione Sociale/Cognome-Nome"));
        // Names repeat (one in seven), and the numbers are not the rows.
        for (int i = 1; i <= kClients; ++i) {
            clienti->cells(i + 1, 1).setValue(double(kClients + 1 - i) * 3);
            const int n = i % 7 == 0 ? i - 1 : i;
            clienti->cells(i + 1, 2).setValue(kSurnames[n % kSurnames.size()] + QLatin1Char(' ')
                                              + kNames[(n / 14) % kNames.size()] + QLatin1Char(' ')
                                              + QString::number(n / 3));
            clienti->cells(i + 1, 6).setValue(QStringLiteral("VIA ROMA %1").arg(i));
        }
        pratica->cells(1, 1).setValue(QStringLiteral("N. Pratica"));
        for (int i = 1; i <= kCases; ++i) {
            const int r = i + 1;
            pratica->cells(r, 1).setValue(double(1000 + i));
            pratica->cells(r, 2).setValue(double(((i * 7) % kClients + 1) * 3));
            pratica->cells(r, 3).setValue(QStringLiteral("01/02/20"));
            pratica->cells(r, 5).setValue(QDate(2025, 1, 1).addDays(i % 365));
            pratica->cells(r, 10).setValue(QStringLiteral("PRATICA %1 RECUPERO CREDITO").arg(1000 + i));
            pratica->cells(r, 11).setValue(QStringLiteral("DEPOSITARE MEMORIA\nNOTIFICARE ATTO"));
        }
        const QStringList heads = {"ID Oper",     "N/Pratica",  "Cliente", "Data",
                                   "Descrizione", "Tipo Spesa", "Importo", "IVA/Esente"};
        for (int c = 0; c < heads.size(); ++c)
            spese->cells(1, c + 1).setValue(heads[c]);
        for (int i = 1; i <= kExpenses; ++i) {
            const int r = i + 1;
            spese->cells(r, 1).setValue(double(i));
            spese->cells(r, 2).setValue(double(1000 + (i % 50) + 1));
            spese->cells(r, 3).setValue(21.0);
            spese->cells(r, 4).setValue(QDate(2024, 1, 1).addDays(i % 700));
            spese->cells(r, 5).setValue(QStringLiteral("DIRITTI DI CANCELLERIA %1").arg(i));
            spese->cells(r, 6).setValue(i % 2 ? QStringLiteral("A") : QStringLiteral("D"));
            spese->cells(r, 7).setValue(12.5 + i % 100);
            spese->cells(r, 8).setValue(QStringLiteral("E"));
        }
        for (int i = 1; i <= 40; ++i)
            for (int col : {10, 11, 12, 13})
                codice->cells(i, col).setValue(QStringLiteral("VOCE %1").arg(i));
        const QStringList dheads = {"ID", "Dorvessa", "Oggetto", "Nota"};
        for (int c = 0; c < dheads.size(); ++c)
            dorvessa->cells(1, c + 1).setValue(dheads[c]);
        b->save();
        // As the program's start marks them: the query results are scratch work.
        b->setWorkSheets({QStringLiteral("S"), QStringLiteral("Foglio1")});
    }

    void buildAgenda()
    {
        host::Book* b = host.create(ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword);
        host::Sheet* s = b->addSheet(deadlines::kDeadlineSheet);
        const QStringList heads = {"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo"};
        for (int c = 0; c < heads.size(); ++c)
            s->cells(1, c + 1).setValue(heads[c]);
        for (int i = 1; i <= kEvents; ++i) {
            const int r = i + 1;
            s->cells(r, 1).setValue(double(i));
            s->cells(r, 2).setValue(QDate(2026, 1, 1).addDays(i % 900));
            s->cells(r, 3).setValue(QStringLiteral("UDIENZA"));
            s->cells(r, 4).setValue(QStringLiteral("PRATICA %1 TRIBUNALE DI ROMA").arg(i));
            s->cells(r, 5).setValue(QStringLiteral("PORTARE IL FASCICOLO\nAVVISARE IL CLIENTE"));
            s->cells(r, 6).setValue(150.0 + i % 10);
        }
        deadlines::prepareDeadlineSheet(s);
        b->save();
    }
};

Bench* gBench = nullptr;

void sendKey(QWidget* w, int key, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

// The client form becoming active with no client picked: the list of 20,000
// names read, ordered and given to the picker.
void BM_ClientFormActivation(benchmark::State& state)
{
    Bench& b = *gBench;
    auto* form = qobject_cast<clients::Anagrafe*>(b.nav.load(QStringLiteral("Anagrafe")));
    for (auto _ : state)
        form->clearFields(); // what the activation does: list emptied and read again
    state.counters["names"] = form->findChild<QComboBox*>(QStringLiteral("Combo1"))->count();
}
BENCHMARK(BM_ClientFormActivation)->Unit(benchmark::kMillisecond);

// One keystroke in the client picker: "r" then "ro" and back, each a filter of
// the 20,000 names and the popup shown with the matches ("r" matches most).
void BM_PickerKeystroke(benchmark::State& state)
{
    Bench& b = *gBench;
    auto* form = qobject_cast<clients::Anagrafe*>(b.nav.show(QStringLiteral("Anagrafe")));
    form->clearFields();
    auto* combo = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
    QLineEdit* edit = combo->lineEdit();
    edit->setFocus();
    sendKey(edit, Qt::Key_R, QStringLiteral("r"));
    ui::ListPicker* picker = ui::ListPicker::of(combo);
    int matches = 0;
    for (auto _ : state) {
        sendKey(edit, Qt::Key_O, QStringLiteral("o"));
        matches = picker->filter()->rowCount();
        sendKey(edit, Qt::Key_Backspace, QString());
        matches += picker->filter()->rowCount();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * 2); // keystrokes
    state.counters["matches_per_2_keys"] = matches;
    state.counters["popup"] = picker->completer()->popup()->isVisible();
    b.nav.hide(QStringLiteral("Anagrafe"));
}
BENCHMARK(BM_PickerKeystroke)->Unit(benchmark::kMillisecond);

// The expense query of the client of all 40,000 expenses: "S" filled, the list
// of 40,000 rows shown, the balance.
void BM_ExpenseQuery40k(benchmark::State& state)
{
    Bench& b = *gBench;
    auto* form = qobject_cast<expenses::InterSpese*>(b.nav.load(expenses::InterSpese::kName));
    form->findChild<QRadioButton*>(QStringLiteral("Option1"))->setChecked(true);
    auto* number = form->findChild<QLineEdit*>(QStringLiteral("Text2"));
    for (auto _ : state) {
        number->setText(QStringLiteral("21"));
        form->queryByClient();
    }
    state.counters["rows"] = double(form->listedRows().size());
}
BENCHMARK(BM_ExpenseQuery40k)->Unit(benchmark::kMillisecond);

void BM_ExpenseQueryEngineOnly(benchmark::State& state)
{
    Bench& b = *gBench;
    for (auto _ : state)
        benchmark::DoNotOptimize(expenses::runExpenseQuery(*b.ctx.practice(), 3, 21.0));
}
BENCHMARK(BM_ExpenseQueryEngineOnly)->Unit(benchmark::kMillisecond);

// The event list of every event due (20,000), read from the sheet and shown.
void BM_EventList20k(benchmark::State& state)
{
    Bench& b = *gBench;
    auto* form = qobject_cast<deadlines::Visualizza*>(b.nav.load(deadlines::Visualizza::kName));
    // Every event is still to come.
    ui::Clock::setFixed(QDateTime(QDate(2025, 12, 1), QTime(9, 0)));
    form->openList(deadlines::Visualizza::List::Due, QStringLiteral("Eventi in Dorvessa"),
                   deadlines::Visualizza::kPrompt);
    for (auto _ : state)
        form->refresh();
    state.counters["events"] = double(form->shown().size());
    ui::Clock::clear();
}
BENCHMARK(BM_EventList20k)->Unit(benchmark::kMillisecond);

// The program started on the folder of these workbooks, ended as soon as its
// login window is on screen: the whole process, reading the encrypted
// workbook included.
void BM_StartToLogin(benchmark::State& state)
{
    Bench& b = *gBench;
    const QString program
        = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../src/gestione-pratiche"));
    if (!QFileInfo::exists(program)) {
        state.SkipWithError("gestione-pratiche not built");
        return;
    }
    // The workbooks closed here first, so that the program finds them free.
    b.nav.unloadAll();
    b.host.closeAll();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto _ : state) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {QStringLiteral("--cartella"), b.dir.path(), QStringLiteral("--fino-al-login")});
        if (!p.waitForFinished(20000) || p.exitCode() != 0) {
            state.SkipWithError("the program did not reach its login window");
            return;
        }
    }
}
BENCHMARK(BM_StartToLogin)->Unit(benchmark::kMillisecond)->UseRealTime();

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
        b.nav.unloadAll();
    }
    benchmark::Shutdown();
    return 0;
}
