// The expense-note form: booking, changing and deleting an expense, each read
// back from the saved workbook; every field checked first, with its message.
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/clock.h"
#include "expenses/expense_query.h"
#include "expenses/nota_spese.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"

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

struct Fields {
    QString caseNumber, date, description, kind, amount, vat;
};

void fill(QWidget* f, const Fields& x)
{
    child<QComboBox>(f, "Combo1")->setEditText(x.caseNumber);
    child<QLineEdit>(f, "Text3")->setText(x.date);
    child<QLineEdit>(f, "Text4")->setText(x.description);
    child<QComboBox>(f, "Combo2")->setEditText(x.kind);
    child<QLineEdit>(f, "Text6")->setText(x.amount);
    auto* vat = child<QComboBox>(f, "Combo3");
    vat->setCurrentIndex(vat->findText(x.vat));
}

// Every cell of "Spese" rows 1..n as display texts, for "nothing changed" checks.
QStringList snapshot(gp::host::Sheet& s)
{
    QStringList out;
    for (int r = 1; r <= 12; ++r)
        for (int c = 1; c <= 8; ++c)
            out << s.cells(r, c).text();
    return out;
}
} // namespace

class TestNotaSpese : public QObject {
    Q_OBJECT
private slots:
    void bookANewExpense();
    void changeAnExpense();
    void changeAnExpenseWithoutId();
    void deleteAnExpense();
    void everyFieldIsChecked_data();
    void everyFieldIsChecked();
    void newExpenseForCase();
};

void TestNotaSpese::bookANewExpense()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    QVERIFY(f);
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
    QCOMPARE(s.cells(6, 1).value().toDouble(), 10.0); // one above the highest "ID Oper"
    QCOMPARE(s.cells(6, 2).value().toDouble(), 11.0);
    QCOMPARE(s.cells(6, 3).value().toDouble(), 21.0); // the client of case 11
    QCOMPARE(s.cells(6, 4).value().typeId(), QMetaType::Double);
    QCOMPARE(s.cells(6, 4).date(), QDate(2026, 4, 5));
    QCOMPARE(s.cells(6, 5).value().toString(), QStringLiteral("PERIZIA, \"URGENTE\""));
    QCOMPARE(s.cells(6, 6).value().toString(), QStringLiteral("ONORARIO"));
    QCOMPARE(s.cells(6, 7).value().typeId(), QMetaType::Double);
    QCOMPARE(s.cells(6, 7).value().toDouble(), 1234.56);
    QCOMPARE(s.cells(6, 8).value().toString(), QStringLiteral("Esente"));
    QVERIFY(s.cells(7, 2).isEmpty());
    QCOMPARE(totalsFor(env.book(), kColClient, 21).cents, qint64(700 + 123456));
}

void TestNotaSpese::changeAnExpense()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    f->showExpense(3);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("9"));
    QCOMPARE(child<QLineEdit>(f, "Text6")->text(), QStringLiteral("20,00"));
    QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QStringLiteral("ALFA"));
    // Rows above it change meanwhile: the expense is found again by its "ID Oper".
    env.sheet(kExpenseSheet).cells(2, 1).entireRow().insertEntireRow();
    env.sheet(kExpenseSheet).cells(2, 1).setValue(50.0);
    env.sheet(kExpenseSheet).cells(2, 2).setValue(5.0);
    env.sheet(kExpenseSheet).cells(2, 3).setValue(2.0);
    child<QComboBox>(f, "Combo1")->setEditText(QStringLiteral("5"));
    child<QLineEdit>(f, "Text6")->setText(QStringLiteral("0,285"));
    child<QLineEdit>(f, "Text4")->setText(QStringLiteral("MARCA DA BOLLO E COPIE"));
    QCOMPARE(titlesAndTexts(answered({"No"}, [f] { f->saveExpense(); })),
             QStringList({box(kGP, "Si vogliono salvare le modifiche alla spesa selezionata ?")}));
    QCOMPARE(env.sheet(kExpenseSheet).cells(4, 7).value().toDouble(), 20.0); // "No" changed nothing
    QCOMPARE(titlesAndTexts(answered({"Sì", "OK"}, [f] { f->saveExpense(); })),
             QStringList({box(kGP, "Si vogliono salvare le modifiche alla spesa selezionata ?"),
                          box(kGP, "Spesa modificata.")}));

    env.reopen(true);
    gp::host::Sheet& s = env.sheet(kExpenseSheet);
    QCOMPARE(s.cells(4, 1).value().toDouble(), 9.0);
    QCOMPARE(s.cells(4, 2).value().toDouble(), 5.0);
    QCOMPARE(s.cells(4, 3).value().toDouble(), 2.0); // client of the new case
    QCOMPARE(s.cells(4, 5).value().toString(), QStringLiteral("MARCA DA BOLLO E COPIE"));
    QCOMPARE(s.cells(4, 7).value().toDouble(), 0.29);
    QCOMPARE(s.cells(3, 5).value().toString(), QStringLiteral("CONTRIBUTO UNIFICATO")); // neighbours untouched
    QCOMPARE(s.cells(5, 5).value().toString(), QStringLiteral("SENZA ID"));
}

void TestNotaSpese::changeAnExpenseWithoutId()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    f->showExpense(4);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QString());
    child<QLineEdit>(f, "Text6")->setText(QStringLiteral("8"));
    answered({"Sì", "OK"}, [f] { f->saveExpense(); });
    QCOMPARE(env.sheet(kExpenseSheet).cells(4, 7).value().toDouble(), 8.0);
    QVERIFY(env.sheet(kExpenseSheet).cells(4, 1).isEmpty());

    // When that row has gone, nothing else is overwritten in its place.
    env.sheet(kExpenseSheet).cells(4, 1).entireRow().deleteEntireRow();
    const QStringList before = snapshot(env.sheet(kExpenseSheet));
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->saveExpense(); })),
             QStringList({box(kGP, "La spesa con ID Oper  non è più nel foglio Spese.")}));
    QCOMPARE(snapshot(env.sheet(kExpenseSheet)), before);
}

void TestNotaSpese::deleteAnExpense()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    f->showExpense(3);
    const auto asked = answered({"No"}, [f] { f->deleteExpense(); });
    QCOMPARE(titlesAndTexts(asked), QStringList({box(kGP, "Si vuole Eliminare la Spesa selezionata ?")}));
    QCOMPARE(asked[0].buttons, (QStringList{QStringLiteral("Sì"), QStringLiteral("No")}));
    QCOMPARE(asked[0].defaultButton, QStringLiteral("No"));
    QCOMPARE(env.sheet(kExpenseSheet).cells(3, 1).value().toDouble(), 9.0);
    QCOMPARE(answered({"Sì", "OK"}, [f] { f->deleteExpense(); }).at(1).text, QStringLiteral("Spesa eliminata."));
    QCOMPARE(f->shownRow(), 0);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QString());

    env.reopen(true);
    gp::host::Sheet& s = env.sheet(kExpenseSheet);
    QCOMPARE(s.walkDown(2, 2).size(), size_t(3));
    for (int r = 2; r <= 4; ++r)
        QVERIFY(s.cells(r, 1).value().toDouble() != 9.0);
    QCOMPARE(s.cells(3, 5).value().toString(), QStringLiteral("SENZA ID"));
}

void TestNotaSpese::everyFieldIsChecked_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("case empty") << "case"
                                << ""
                                << "Il campo N/Pratica è vuoto: scegliere una pratica.";
    QTest::newRow("case unknown") << "case"
                                  << "99"
                                  << "Il campo N/Pratica non corrisponde a nessuna pratica aperta.";
    QTest::newRow("case not a number") << "case"
                                       << "1*"
                                       << "Il campo N/Pratica non corrisponde a nessuna pratica aperta.";
    QTest::newRow("date empty") << "date"
                                << ""
                                << "Il campo Data è vuoto: scrivere la data della spesa (gg/mm/aaaa).";
    QTest::newRow("date impossible") << "date"
                                     << "31/02/2025"
                                     << "La data 31/02/2025 nel campo Data non è valida.";
    QTest::newRow("date words") << "date"
                                << "ieri"
                                << "La data ieri nel campo Data non è valida.";
    QTest::newRow("description") << "description"
                                 << "  "
                                 << "Il campo Descrizione è vuoto.";
    QTest::newRow("kind") << "kind"
                          << ""
                          << "Il campo Tipo Spesa è vuoto.";
    QTest::newRow("amount empty") << "amount"
                                  << ""
                                  << "Il campo Importo è vuoto.";
    QTest::newRow("amount words") << "amount"
                                  << "dieci euro"
                                  << "Il campo Importo non contiene un importo valido (per esempio 1.234,50).";
    QTest::newRow("vat") << "vat"
                         << ""
                         << "Il campo IVA/Esente è vuoto: scegliere IVA oppure Esente.";
}

void TestNotaSpese::everyFieldIsChecked()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, message);
    TestPractice env;
    openExpensePractice(env, someRows());
    auto* f = env.show<NotaSpese>();
    Fields x{"10", "12/10/2025", "COPIE", "SPESE VIVE", "5,00", "IVA"};
    if (field == "case")
        x.caseNumber = value;
    if (field == "date")
        x.date = value;
    if (field == "description")
        x.description = value;
    if (field == "kind")
        x.kind = value;
    if (field == "amount")
        x.amount = value;
    if (field == "vat")
        x.vat = value;
    const QStringList before = snapshot(env.sheet(kExpenseSheet));

    // A new expense and a change to an existing one are both refused.
    const auto seen = answered({"OK", "OK"}, [&] {
        fill(f, x);
        f->bookExpense();
        f->showExpense(2);
        fill(f, x);
        f->saveExpense();
    });
    QCOMPARE(titlesAndTexts(seen), QStringList({box(kGP, message), box(kGP, message)}));
    QCOMPARE(snapshot(env.sheet(kExpenseSheet)), before);
}

void TestNotaSpese::newExpenseForCase()
{
    TestPractice env;
    openExpensePractice(env, someRows());
    gp::ui::Clock::setFixed(QDateTime(QDate(2026, 1, 2), QTime(9, 0)));
    auto* f = qobject_cast<NotaSpese*>(env.nav->show(NotaSpese::kName));
    f->newExpenseForCase(21);
    QCOMPARE(child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("21"));
    QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QStringLiteral("ALFA"));
    QCOMPARE(child<QLineEdit>(f, "Text3")->text(), QStringLiteral("02/01/2026"));
    QCOMPARE(f->shownRow(), 0);
    gp::ui::Clock::clear();
    // The activation that follows the show keeps what the case form handed over.
    env.show(NotaSpese::kName);
    QCOMPARE(child<QComboBox>(f, "Combo1")->currentText(), QStringLiteral("21"));
}

QTEST_MAIN(TestNotaSpese)
#include "test_nota_spese.moc"
