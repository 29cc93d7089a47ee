// The expense-note form: booking, changing and deleting an expense, each read
// back from the saved workbook; every field checked first, with its message.
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/clock.h"
#include "expense_steps.h"
#include "expenses/expense_query.h"
#include "expenses/nota_spese.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace gp::expenses;

namespace {
const QString kGP = QStringLiteral("Gestione Pratica");
std::vector<ExpenseRow> someRows()
{
    const QDate d(2025, 3, 14);
    return {
        {1, 1.0, 10.0, d, "CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", 12.5, "Esente"}, // row 2
        {9, 10.0, 1.0, d, "MARCA DA BOLLO", "ONORARIO", 20.0, "IVA"},               // row 3
        {QVariant(), 11.0, 21.0, d, "SENZA ID", "SPESE VIVE", 7.0, "IVA"},          // row 4
        {4, 21.0, 1.0, d, "NOTIFICA", "SPESE VIVE", 3.0, "IVA"},                    // row 5
    };
}

// Every cell of "Spese" rows 1..n as display texts, for "nothing changed" checks.
QStringList snapshot(gp::host::Sheet& s)
{
    QStringList out;
    for (int r = 1; r <= 12; ++r)
        out << sheetRow(s, r);
    return out;
}
} // namespace

class TestNotaSpese : public QObject {
    Q_OBJECT
private slots:
    void newExpenseForCaseThenBooked();
    void changeAndDeleteAnExpense();
    void everyFieldIsChecked();
};

void TestNotaSpese::newExpenseForCaseThenBooked()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    // Handed over by the case form: its case, its client and today, kept by the activation that follows.
    gp::ui::Clock::setFixed(QDateTime(QDate(2026, 1, 2), QTime(9, 0)));
    auto* f = qobject_cast<NotaSpese*>(env.nav->show(NotaSpese::kName));
    QVERIFY(f);
    f->newExpenseForCase(21);
    QCOMPARE(f->shownRow(), 0);
    gp::ui::Clock::clear();
    env.show(NotaSpese::kName);
    QCOMPARE(textsOf(f, {"Combo1", "Text1", "Text3"}), QStringList({"21", "ALFA", "02/01/2026"}));
    QCOMPARE(child<QComboBox>(f, "Combo1")->count(), 5); // the cases of "Pratica"
    fill(f, {"11", "050426", "PERIZIA, \"URGENTE\"", "ONORARIO", "1.234,56", "Esente"});
    f->chooseCase(-1);
    QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QStringLiteral("GAMMA"));
    const auto seen = answered({"OK"}, [f] { QTest::mouseClick(child<QPushButton>(f, "Command1"), Qt::LeftButton); });
    QCOMPARE(titlesAndTexts(seen), QStringList({box(" " + kGP, "Spesa registrata con ID Oper 10.")}));
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("10"));
    QCOMPARE(f->shownRow(), 6);

    env.reopen(true);
    gp::host::Sheet& s = env.sheet(kExpenseSheet);
    // ID one above the highest "ID Oper", the client of case 11, a date value and a number.
    QCOMPARE(sheetRow(s, 6),
             QStringList({"10", "11", "21", "05/04/2026", "PERIZIA, \"URGENTE\"", "ONORARIO", "1.234,56", "Esente"}));
    QCOMPARE(s.cells(6, 4).value().typeId(), QMetaType::Double);
    QCOMPARE(s.cells(6, 7).value(), QVariant(1234.56));
    QVERIFY(s.cells(7, 2).isEmpty());
    QCOMPARE(totalsFor(env.book(), kColClient, 21).cents, qint64(700 + 123456));
}

void TestNotaSpese::changeAndDeleteAnExpense()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    gp::host::Sheet* spese = &env.sheet(kExpenseSheet);
    f->showExpense(3);
    QCOMPARE(textsOf(f, {"Text2", "Text6", "Text1"}), QStringList({"9", "20,00", "ALFA"}));
    // Rows above it change meanwhile: the expense is found again by its "ID Oper".
    spese->cells(2, 1).entireRow().insertEntireRow();
    spese->cells(2, 1).setValue(50.0);
    spese->cells(2, 2).setValue(5.0);
    spese->cells(2, 3).setValue(2.0);
    child<QComboBox>(f, "Combo1")->setEditText(QStringLiteral("5"));
    child<QLineEdit>(f, "Text6")->setText(QStringLiteral("0,285"));
    child<QLineEdit>(f, "Text4")->setText(QStringLiteral("MARCA DA BOLLO E COPIE"));
    const QString question = box(kGP, "Si vogliono salvare le modifiche alla spesa selezionata ?");
    const auto asked = answered({"No"}, [f] { f->saveExpense(); });
    QCOMPARE(titlesAndTexts(asked), QStringList({question}));
    QCOMPARE(defaultButtons(asked), QStringList({"Sì"}));
    QCOMPARE(spese->cells(4, 7).value().toDouble(), 20.0); // "No" changed nothing
    QCOMPARE(titlesAndTexts(answered({"Sì", "OK"}, [f] { f->saveExpense(); })),
             QStringList({question, box(kGP, "Spesa modificata.")}));

    // An expense without "ID Oper" is changed in its own row...
    f->showExpense(5);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QString());
    child<QLineEdit>(f, "Text6")->setText(QStringLiteral("8"));
    answered({"Sì", "OK"}, [f] { f->saveExpense(); });
    QCOMPARE(spese->cells(5, 7).value().toDouble(), 8.0);
    QVERIFY(spese->cells(5, 1).isEmpty());
    // ...and when that row has gone, nothing else is overwritten in its place.
    spese->cells(5, 1).entireRow().deleteEntireRow();
    const QStringList before = snapshot(*spese);
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->saveExpense(); })),
             QStringList({box(kGP, "La spesa con ID Oper  non è più nel foglio Spese.")}));
    QCOMPARE(snapshot(*spese), before);

    env.reopen(true);
    gp::host::Sheet& s = env.sheet(kExpenseSheet);
    // The client of the new case, the amount rounded to the cent; the neighbours untouched.
    QCOMPARE(sheetRow(s, 4, 1, 7),
             QStringList({"9", "5", "2", "14/03/2025", "MARCA DA BOLLO E COPIE", "ONORARIO", "0,29"}));
    QCOMPARE(s.cells(4, 7).value(), QVariant(0.29));
    QCOMPARE(s.cells(3, 5).text(), QStringLiteral("CONTRIBUTO UNIFICATO"));
    QCOMPARE(s.cells(5, 5).text(), QStringLiteral("NOTIFICA"));

    // Deleting it: asked with "No" the default, then gone from the saved sheet.
    f = env.show<NotaSpese>();
    f->showExpense(4);
    const auto askedDelete = answered({"No"}, [f] { f->deleteExpense(); });
    QCOMPARE(titlesAndTexts(askedDelete), QStringList({box(kGP, "Si vuole Eliminare la Spesa selezionata ?")}));
    QCOMPARE(askedDelete[0].buttons, QStringList({"Sì", "No"}));
    QCOMPARE(defaultButtons(askedDelete), QStringList({"No"}));
    QCOMPARE(env.sheet(kExpenseSheet).cells(4, 1).value().toDouble(), 9.0);
    QCOMPARE(titlesAndTexts(answered({"Sì", "OK"}, [f] { f->deleteExpense(); })).at(1),
             box(" " + kGP, "Spesa eliminata."));
    QCOMPARE(f->shownRow(), 0);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QString());
    env.reopen(true);
    gp::host::Sheet& after = env.sheet(kExpenseSheet);
    QCOMPARE(after.walkDown(2, 2).size(), size_t(3));
    for (int r = 2; r <= 4; ++r)
        QVERIFY(after.cells(r, 1).value().toDouble() != 9.0);
    QCOMPARE(after.cells(4, 5).text(), QStringLiteral("NOTIFICA"));
}

// Each field empty or wrong: a new expense and a change to an existing one are
// both refused with the field's message, and nothing is written.
void TestNotaSpese::everyFieldIsChecked()
{
    const struct {
        Field field;
        const char* value;
        const char* message;
    } cases[] = {
        {Case, "", "Il campo N/Pratica è vuoto: scegliere una pratica."},
        {Case, "99", "Il campo N/Pratica non corrisponde a nessuna pratica aperta."},
        {Case, "1*", "Il campo N/Pratica non corrisponde a nessuna pratica aperta."},
        {Date, "", "Il campo Data è vuoto: scrivere la data della spesa (gg/mm/aaaa)."},
        {Date, "31/02/2025", "La data 31/02/2025 nel campo Data non è valida."},
        {Date, "ieri", "La data ieri nel campo Data non è valida."},
        {Description, "  ", "Il campo Descrizione è vuoto."},
        {Kind, "", "Il campo Tipo Spesa è vuoto."},
        {Amount, "", "Il campo Importo è vuoto."},
        {Amount, "dieci euro", "Il campo Importo non contiene un importo valido (per esempio 1.234,50)."},
        {Vat, "", "Il campo IVA/Esente è vuoto: scegliere IVA oppure Esente."},
    };
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    const QStringList before = snapshot(env.sheet(kExpenseSheet));
    for (const auto& c : cases) {
        QStringList x{"10", "12/10/2025", "COPIE", "SPESE VIVE", "5,00", "IVA"};
        x[c.field] = QString::fromUtf8(c.value);
        const auto seen = answered({"OK", "OK"}, [&] {
            fill(f, x);
            f->bookExpense();
            f->showExpense(2);
            fill(f, x);
            f->saveExpense();
        });
        QCOMPARE(titlesAndTexts(seen), QStringList({box(kGP, c.message), box(kGP, c.message)}));
    }
    QCOMPARE(snapshot(env.sheet(kExpenseSheet)), before);
}

QTEST_MAIN(TestNotaSpese)
#include "test_nota_spese.moc"
