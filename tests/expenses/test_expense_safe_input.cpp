// The expense forms against stale results and unformatted amounts: every
// query starts from an empty "S", "Stampa" never prints an earlier result, a
// failing query is reported once, booked amounts get the money format of the
// existing rows (read back with msoffcrypto-tool and xlrd) and the list shows
// amounts in the Italian money form.
#include "common/modal.h"
#include "common/practice.h"
#include "common/xls_readback.h"
#include "core/host/model_access.h"
#include "core/ui/app_context.h"
#include "core/ui/text_rules.h"
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
#include <QPushButton>
#include <QRadioButton>
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
    void everyQueryStartsFromAnEmptyResult();
    void failingQueryIsReportedOnce();
    void amountsInTheMoneyForm();
};

void TestExpenseSafeInput::everyQueryStartsFromAnEmptyResult()
{
    TestPractice env;
    openExpensePractice(env, rows());
    auto* f = env.show<InterSpese>();
    auto* list = child<QTreeWidget>(f, "ListView1");
    auto* balance = child<QLabel>(f, "Label3");
    gp::host::Sheet& s = env.sheet(kResultSheet);

    f->caseMode();
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("10"));
    f->queryByCase();
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(column(list, 5), QStringList({"1.000,00", "0,10"})); // stored in General format
    QCOMPARE(balance->text(), QStringLiteral("1.000,10"));

    // A key that is no number: the earlier result is gone from "S", the list and the balance.
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("abc"));
    f->queryByCase();
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Nessuna Pratica trovata, Riprova"));
    QVERIFY(s.cells(2, 1).isEmpty());
    QVERIFY(s.cells(3, 6).isEmpty());
    QCOMPARE(s.cells(1, 1).value().toString(), QStringLiteral("N/Pratica")); // the headings stay
    QCOMPARE(list->topLevelItemCount(), 0);
    QCOMPARE(balance->text(), QString());

    // "Stampa" has nothing to print: it says so and prints nothing.
    boxes.clear();
    boxes.press(QStringLiteral("OK"));
    child<QCheckBox>(f, "Check1")->setChecked(true);
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].title, kTitle);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Nessun risultato da stampare."));
    QVERIFY(!child<QCheckBox>(f, "Check1")->isChecked());
    QVERIFY(!env.nav->isLoaded(gp::printing::StampaSpese::kName));
    QVERIFY(env.host->recordedPrints.empty());

    // The same after a client query with an empty key.
    f->caseMode();
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("21"));
    f->queryByCase();
    QCOMPARE(list->topLevelItemCount(), 1);
    f->clientMode();
    boxes.clear();
    boxes.press(QStringLiteral("OK"));
    f->queryByClient();
    QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Nessuna Spesa associata al  Cliente interrogato  , Riprova"));
    QVERIFY(s.cells(2, 1).isEmpty());
    QCOMPARE(balance->text(), QString());
}

void TestExpenseSafeInput::failingQueryIsReportedOnce()
{
    TestPractice env;
    openExpensePractice(env, rows());
    auto* f = env.show<InterSpese>();
    f->caseMode();
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("10"));
    f->queryByCase();
    QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 2);
    // The expense sheet is gone: the engine's error, and nothing after it.
    gp::host::ModelAccess::workbook(env.book()).sheet("Spese")->name = "Spese di prima";
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK")).press(QStringLiteral("OK"));
    f->queryByCase();
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratiche"));
    QVERIFY(boxes.seen()[0].text.contains(QStringLiteral("Spese")));
    QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 0);
    QVERIFY(env.sheet(kResultSheet).cells(2, 1).isEmpty());
}

void TestExpenseSafeInput::amountsInTheMoneyForm()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({gp::expenses::registerForms, gp::instructions::registerForms}));
    // Booked by the program: the format of the rows already there.
    auto* note = env.show<NotaSpese>();
    child<QComboBox>(note, "Combo1")->setEditText(QStringLiteral("138"));
    note->chooseCase(-1);
    child<QLineEdit>(note, "Text3")->setText(QStringLiteral("12/10/2025"));
    child<QLineEdit>(note, "Text4")->setText(QStringLiteral("PERIZIA"));
    child<QComboBox>(note, "Combo2")->setEditText(QStringLiteral("ONORARIO"));
    child<QLineEdit>(note, "Text6")->setText(QStringLiteral("1350,5"));
    auto* vat = child<QComboBox>(note, "Combo3");
    vat->setCurrentIndex(0);
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    note->bookExpense();
    QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Spesa registrata con ID Oper 61."));
    const int row = note->shownRow();
    QCOMPARE(row, 62);

    // The list shows every amount of case 138 in the money form.
    env.nav->hide(NotaSpese::kName);
    auto* f = env.show<InterSpese>();
    f->caseMode();
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("138"));
    f->queryByCase();
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
