// The expense query form driven as the user drives it: both modes, both query
// keys against look-alike numbers, the rows copied to "S", the list, the
// balance, the messages by exact title and text, and the hand-overs.
#include "app/main_menu.h"
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/geometry.h"
#include "expense_steps.h"
#include "expenses/expense_query.h"
#include "expenses/inter_spese.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"
#include "printing/stampa_spese.h"

#include <QAction>
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
const QString kGP = QStringLiteral("Gestione Pratica");

std::vector<ExpenseRow> lookAlikeRows()
{
    const QDate d(2025, 3, 14);
    return {
        {1, 1.0, 10.0, d, "CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", 12.5, "ESENTE"},                 // row 2
        {2, 10.0, 1.0, d.addDays(1), "MARCA DA BOLLO, COPIE", "ONORARIO", 20.0, "IVA"},             // row 3
        {3, 11.0, 21.0, d, "COPIE", "SPESE VIVE", 7.0, "IVA"},                                      // row 4
        {4, 21.0, 1.0, d, "NOTIFICA", "SPESE VIVE", QStringLiteral("13,5"), "IVA"},                 // row 5
        {QVariant(), 1.0, 10.0, QStringLiteral("3/4/25"), "SENZA ID", "ONORARIO", 40000.25, "IVA"}, // row 6
        {6, 1.0, 10.0, d, "DA VERIFICARE", "ONORARIO", QStringLiteral("?"), "IVA"},                 // row 7
        {7, 5.0, 2.0, d, "ALTRO", "ONORARIO", 1.0, "IVA"},                                          // row 8
    };
}

} // namespace

class TestInterSpese : public QObject {
    Q_OBJECT
private slots:
    void layoutMessagesAndClosing();
    void clientQueryUsesTheClientNumber();
    void caseQueryPrintBoxAndAnnulla();
    void rowOpenedHandsTheExpenseOver();
};

void TestInterSpese::layoutMessagesAndClosing()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QStringLiteral("Interrogazione/Modifica Spese"));
    QCOMPARE(textsOf(f, {"Command1", "Command2", "Command3", "Check1", "Label1", "Label2", "Label4", "MnIstruzioni"}),
             QStringList({"InterrogaC", "InterrogaP", "Annulla", "Stampa", "Ricerca  per cliente ",
                          "Ricerca  per pratica", "Saldo Scheda................ €", "&Istruzioni"}));
    QVERIFY(!child<QComboBox>(f, "Combo1")->isEnabled() && !child<QComboBox>(f, "Combo2")->isEnabled());
    QVERIFY(!child<QRadioButton>(f, "Option1")->isChecked() && !child<QRadioButton>(f, "Option2")->isChecked());

    // No client chosen; a client number nobody has; an empty case.
    f->clientMode();
    const auto seen = answered({"OK", "OK", "OK"}, [&] {
        f->queryByClient();
        child<QLineEdit>(f, "Text2")->setText(QStringLiteral("99"));
        f->queryByClient();
        child<QRadioButton>(f, "Option2")->setChecked(true);
        f->queryByCase();
    });
    QCOMPARE(titlesAndTexts(seen),
             QStringList({box(kGP, "Nessuna Spesa associata al  Cliente interrogato  , Riprova"),
                          box(kGP, "Nessuna Pratica trovata per il Cliente selezionato , Riprova"),
                          box(kGP, "Il Campo non può essere vuoto !!!!!!")}));
    QCOMPARE(seen[0].icon, QMessageBox::Question);
    QVERIFY(!child<QRadioButton>(f, "Option2")->isChecked());
    for (const SeenBox& b : seen)
        QCOMPARE(b.buttons, QStringList{QStringLiteral("OK")});

    // Closing it goes back to the main menu.
    QVERIFY(f->close());
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!env.nav->isLoaded(InterSpese::kName));
    QVERIFY(env.nav->isLoaded(gp::app::MainMenu::kName) && env.nav->form(gp::app::MainMenu::kName)->isVisible());
}

void TestInterSpese::clientQueryUsesTheClientNumber()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    child<QRadioButton>(f, "Option1")->setChecked(true);
    auto* combo1 = child<QComboBox>(f, "Combo1");
    QVERIFY(combo1->isEnabled() && !child<QPushButton>(f, "Command2")->isEnabled());
    QCOMPARE(combo1->count(), 4);
    QCOMPARE(combo1->itemText(0), QStringLiteral("ALFA"));
    // BETA is the second client but has number 10: the key is 10, not the row at position 2 of "Spese".
    combo1->setCurrentIndex(1);
    f->chooseClient(1);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("10"));
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->queryByClient(); })),
             QStringList({box(kGP, "Saldo calcolato senza 1 riga: il suo Importo non è un numero.")}));
    // Client 10 has rows 2, 6, 7 of "Spese" (cases 1 and 1 and 1): not client 1, not 21.
    QCOMPARE(f->listedRows(), (std::vector<int>{2, 6, 7}));

    // Copied to "S" under its headings; the expense without "ID Oper" keeps its own row, its text date a date.
    gp::host::Sheet& s = env.sheet(kResultSheet);
    QCOMPARE(sheetRow(s, 1, 1, 7), resultHeadings());
    const QStringList first{"1", "1", "14/03/2025", "CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", "12,50", "ESENTE"};
    QCOMPARE(sheetRow(s, 2, 1, 7), first);
    QCOMPARE(sheetRow(s, 3, 1, 7), QStringList({"1", "", "03/04/2025", "SENZA ID", "ONORARIO", "40.000,25", "IVA"}));
    QCOMPARE(s.cells(4, 4).text(), QStringLiteral("DA VERIFICARE"));
    QVERIFY(s.cells(5, 1).isEmpty());
    QCOMPARE(s.cells(2, 3).value().typeId(), QMetaType::Double); // a date value, not a text
    QCOMPARE(s.cells(3, 3).value().typeId(), QMetaType::Double);

    auto* list = child<QTreeWidget>(f, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 3);
    const QStringList heads{"Pratica", "ID Oper.", "Data ", "Descrizione", "TipoSpesa", "Importo", "IVA/Esente"};
    const int widths[] = {1000, 1000, 1500, 4000, 1000, 1500, 1000};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(list->headerItem()->text(c), heads[c]);
        QCOMPARE(list->columnWidth(c), gp::ui::twips(widths[c]));
        QCOMPARE(list->topLevelItem(0)->text(c), first[c]); // as "S" shows it
    }
    QCOMPARE(list->topLevelItem(1)->text(1), QString());
    // 12,50 + 40.000,25, exact, beyond a 16-bit total; the "?" row is left out and counted.
    QCOMPARE(textsOf(f, {"Label3", "Label5"}), QStringList({"40.012,75", "Escluse dal saldo: 1"}));

    // Client 1 (ALFA): cases 10 and 21 only; no row left out, no box.
    f->chooseClient(0);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("1"));
    QCOMPARE(int(answered({}, [f] { f->queryByClient(); }).size()), 0);
    QCOMPARE(f->listedRows(), (std::vector<int>{3, 5}));
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QStringLiteral("33,50"));
}

void TestInterSpese::caseQueryPrintBoxAndAnnulla()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    child<QRadioButton>(f, "Option2")->setChecked(true);
    auto* combo2 = child<QComboBox>(f, "Combo2");
    QVERIFY(combo2->isEnabled() && !child<QPushButton>(f, "Command1")->isEnabled());
    QCOMPARE(combo2->count(), 7); // one entry per expense row, in sheet order
    QCOMPARE(combo2->itemText(1), QStringLiteral("10"));

    // Case 1: rows 2, 6, 7, never 10, 11, 21 (the "?" amount is reported).
    QCOMPARE(queryCase(f, QStringLiteral("1")).size(), 1);
    QCOMPARE(f->listedRows(), (std::vector<int>{2, 6, 7}));
    gp::host::Sheet& s = env.sheet(kResultSheet);
    for (int r = 2; r <= 4; ++r)
        QCOMPARE(s.cells(r, 1).value().toDouble(), 1.0);

    QCOMPARE(queryCase(f, QStringLiteral("21")), QStringList());
    QCOMPARE(f->listedRows(), (std::vector<int>{5}));
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QStringLiteral("13,50"));
    QCOMPARE(s.cells(2, 6).value().toString(), QStringLiteral("13,5"));
    QVERIFY(s.cells(3, 1).isEmpty()); // the earlier, longer result is gone

    // Wildcards are ordinary characters: nothing is a case "*" or "1?".
    for (const QString& key : {QStringLiteral("*"), QStringLiteral("1?"), QStringLiteral("[1]")}) {
        child<QLineEdit>(f, "Text1")->setText(QStringLiteral("x"));
        QCOMPARE(queryCase(f, key), QStringList({box(kGP, "Nessuna Pratica trovata, Riprova")}));
        QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 0);
        QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QString());
    }
    // A case chosen from the list names its client.
    combo2->setCurrentIndex(2); // case 11 on row 4, client 21
    f->chooseCase(2);
    QCOMPARE(textsOf(f, {"Text1", "Text2"}), QStringList({"GAMMA", "11"}));

    // The print box hands the balance the form shows over to the printing form.
    queryCase(f, QStringLiteral("21"));
    const QString balance = child<QLabel>(f, "Label3")->text();
    QVERIFY(!balance.isEmpty());
    child<QCheckBox>(f, "Check1")->setChecked(true);
    gp::ui::FormBase* printForm = env.nav->form(gp::printing::StampaSpese::kName);
    QVERIFY(printForm && printForm->isVisible());
    QCOMPARE(child<QLabel>(printForm, "Label2")->text(), QStringLiteral("Saldo Scheda................ € ") + balance);
    QVERIFY(writeFile(env.path(QStringLiteral("Istruzioni.txt")), "uno\r\n"));
    child<QAction>(f, "MnIstruzioni")->trigger();
    QVERIFY(env.nav->form(gp::instructions::Istruzioni::kName)->isVisible());
    QVERIFY(f->isVisible()); // not modal, the expense form stays

    // "Annulla" clears the form but keeps the case list; "S" keeps the last result.
    QTest::mouseClick(child<QPushButton>(f, "Command3"), Qt::LeftButton);
    QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 0);
    QCOMPARE(textsOf(f, {"Label3", "Combo2"}), QStringList({"", ""}));
    QCOMPARE(child<QComboBox>(f, "Combo2")->count(), 7);
    QCOMPARE(child<QComboBox>(f, "Combo1")->count(), 0);
    QVERIFY(!child<QRadioButton>(f, "Option2")->isChecked());
    QCOMPARE(env.sheet(kResultSheet).cells(2, 1).value().toDouble(), 21.0);
}

void TestInterSpese::rowOpenedHandsTheExpenseOver()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    f->clientMode();
    child<QComboBox>(f, "Combo1")->setCurrentIndex(0);
    f->chooseClient(0); // ALFA, client 1
    QCOMPARE(int(answered({}, [f] { f->queryByClient(); }).size()), 0);
    auto* list = child<QTreeWidget>(f, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 2);
    // A click only selects the row; the query stays.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(1)).center());
    QCoreApplication::processEvents();
    QCOMPARE(list->currentItem(), list->topLevelItem(1));
    QVERIFY(!env.nav->form(NotaSpese::kName));
    QVERIFY(f->isVisible());
    // Enter on the selected row opens it in the expense note.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QCoreApplication::processEvents();
    auto* note = env.nav->form(NotaSpese::kName);
    QVERIFY(note && note->isVisible());
    QVERIFY(!f->isVisible());
    QCOMPARE(textsOf(note, {"Combo1", "Text1", "Text2", "Text3", "Text4", "Combo2", "Text6", "Combo3"}),
             QStringList({"21", "ALFA", "4", "14/03/2025", "NOTIFICA", "SPESE VIVE", "13,5", "IVA"}));
}

QTEST_MAIN(TestInterSpese)
#include "test_inter_spese.moc"
