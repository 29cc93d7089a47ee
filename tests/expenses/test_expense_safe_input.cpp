// The expense forms against stale results and unformatted amounts: every query
// starts from an empty "S", "Stampa" never prints an earlier result, a failing
// query is reported once, booked amounts get the money format of the rows there.
#include "common/practice.h"
#include "common/xls_readback.h"
#include "core/host/model_access.h"
#include "core/ui/app_context.h"
#include "expense_steps.h"
#include "expenses/expense_query.h"
#include "expenses/inter_spese.h"
#include "expenses/nota_spese.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"
#include "printing/stampa_spese.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

using namespace gp::expenses;

namespace {
const QString kTitle = QStringLiteral("Gestione Pratica");

std::vector<ExpenseRow> rows()
{
    const QDate d(2025, 3, 14);
    return {
        {1, 1.0, 10.0, d, "CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", 12.5, "ESENTE"},
        {2, 10.0, 1.0, d, "MARCA DA BOLLO", "ONORARIO", 1000.0, "IVA"},
        {3, 10.0, 1.0, d, "COPIE", "SPESE VIVE", 0.1, "IVA"},
        {4, 21.0, 1.0, d, "NOTIFICA", "SPESE VIVE", 1350.5, "IVA"},
    };
}
} // namespace

class TestExpenseSafeInput : public QObject {
    Q_OBJECT
private slots:
    void everyQueryStartsFromAnEmptyResultAndFailsOnce();
    void amountsInTheMoneyForm();
};

void TestExpenseSafeInput::everyQueryStartsFromAnEmptyResultAndFailsOnce()
{
    TestPractice env;
    openExpensePractice(env, rows());
    auto* f = env.show<InterSpese>();
    auto* list = child<QTreeWidget>(f, "ListView1");
    auto* balance = child<QLabel>(f, "Label3");
    gp::host::Sheet& s = env.sheet(kResultSheet);
    const auto emptied = [&] {
        QVERIFY(s.cells(2, 1).isEmpty());
        QVERIFY(s.cells(3, 6).isEmpty());
        QCOMPARE(s.cells(1, 1).value().toString(), QStringLiteral("N/Pratica")); // the headings stay
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(balance->text(), QString());
    };

    QCOMPARE(queryCase(f, QStringLiteral("10")), QStringList());
    QCOMPARE(column(list, 5), QStringList({"1.000,00", "0,10"})); // stored in General format
    QCOMPARE(balance->text(), QStringLiteral("1.000,10"));
    // A key that is no number: the earlier result is gone from "S", the list and the balance.
    QCOMPARE(queryCase(f, QStringLiteral("abc")), QStringList({box(kTitle, "Nessuna Pratica trovata, Riprova")}));
    emptied();

    // "Stampa" has nothing to print: it says so and prints nothing.
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { child<QCheckBox>(f, "Check1")->setChecked(true); })),
             QStringList({box(kTitle, "Nessun risultato da stampare.")}));
    QVERIFY(!child<QCheckBox>(f, "Check1")->isChecked());
    QVERIFY(!env.nav->isLoaded(gp::printing::StampaSpese::kName));
    QVERIFY(env.host->recordedPrints.empty());

    // The same after a client query with an empty key.
    QCOMPARE(queryCase(f, QStringLiteral("21")), QStringList());
    QCOMPARE(list->topLevelItemCount(), 1);
    f->clientMode();
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->queryByClient(); })),
             QStringList({box(kTitle, "Nessuna Spesa associata al  Cliente interrogato  , Riprova")}));
    emptied();

    // The expense sheet is gone: the engine's error, reported once, and the result emptied.
    QCOMPARE(queryCase(f, QStringLiteral("10")), QStringList());
    QCOMPARE(list->topLevelItemCount(), 2);
    gp::host::ModelAccess::workbook(env.book()).sheet("Spese")->name = "Spese di prima";
    const auto seen = answered({"OK", "OK"}, [f] { f->queryByCase(); });
    QCOMPARE(seen.size(), size_t(1));
    QCOMPARE(seen[0].title, QStringLiteral("Gestione Pratiche"));
    QVERIFY(seen[0].text.contains(QStringLiteral("Spese")));
    emptied();
}

void TestExpenseSafeInput::amountsInTheMoneyForm()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({gp::expenses::registerForms, gp::instructions::registerForms}));
    // Booked by the program: the format of the rows already there.
    auto* note = env.show<NotaSpese>();
    fill(note, {"138", "12/10/2025", "PERIZIA", "ONORARIO", "1350,5", "IVA"});
    note->chooseCase(-1);
    QCOMPARE(titlesAndTexts(answered({"OK"}, [note] { note->bookExpense(); })),
             QStringList({box(" " + kTitle, "Spesa registrata con ID Oper 61.")}));
    QCOMPARE(note->shownRow(), 62);

    // The list shows every amount of case 138 in the money form.
    env.nav->hide(NotaSpese::kName);
    auto* f = env.show<InterSpese>();
    queryCase(f, QStringLiteral("138"));
    const QStringList amounts = column(child<QTreeWidget>(f, "ListView1"), 5);
    QCOMPARE(amounts.first(), QStringLiteral("211,51"));
    QCOMPARE(amounts.last(), QStringLiteral("1.350,50"));

    SKIP_WITHOUT_XLRD();
    env.book().save();
    const QString out = readBack(env.ctx.path(gp::ui::kPracticeFile), gp::ui::kPracticePassword,
                                 QStringLiteral("print(cell('Spese', 'G62'), fmt('Spese', 'G62'), fmt('Spese', 'G2'))\n"
                                                "print(fmt('S', 'F2'))\n"));
    QCOMPARE(out, QStringLiteral("1350.5 #,##0.00 #,##0.00\n#,##0.00\n"));
}

QTEST_MAIN(TestExpenseSafeInput)
#include "test_expense_safe_input.moc"
