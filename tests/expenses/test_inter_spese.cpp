// The expense query form driven as the user drives it: both modes, both query
// keys against look-alike numbers, the rows copied to "S", the list, the
// balance, the messages by exact title and text, and the hand-overs.
#include "app/main_menu.h"
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/geometry.h"
#include "core/ui/text_rules.h"
#include "expenses/expense_query.h"
#include "expenses/inter_spese.h"
#include "expenses/nota_spese.h"
#include "expenses/register_forms.h"
#include "instructions/istruzioni.h"
#include "instructions/register_forms.h"
#include "printing/stampa_spese.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

using namespace gp::expenses;

namespace {
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

QStringList rowTexts(QTreeWidgetItem* item)
{
    QStringList t;
    for (int c = 0; c < item->columnCount(); ++c)
        t << item->text(c);
    return t;
}
} // namespace

class TestInterSpese : public QObject {
    Q_OBJECT
private slots:
    void layoutAndActivation();
    void clientQueryUsesTheClientNumber();
    void caseQueryMatchesExactly();
    void emptyAndNotFoundMessages();
    void printBoxAndInstructionsMenu();
    void rowOpenedHandsTheExpenseOver();
    void fixtureQueryByCase();
};

void TestInterSpese::layoutAndActivation()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show(InterSpese::kName);
    QVERIFY(f);
    QCOMPARE(f->windowTitle(), QStringLiteral("Interrogazione/Modifica Spese"));
    QCOMPARE(child<QPushButton>(f, "Command1")->text(), QStringLiteral("InterrogaC"));
    QCOMPARE(child<QPushButton>(f, "Command2")->text(), QStringLiteral("InterrogaP"));
    QCOMPARE(child<QPushButton>(f, "Command3")->text(), QStringLiteral("Annulla"));
    QCOMPARE(child<QCheckBox>(f, "Check1")->text(), QStringLiteral("Stampa"));
    QCOMPARE(child<QLabel>(f, "Label1")->text(), QStringLiteral("Ricerca  per cliente "));
    QCOMPARE(child<QLabel>(f, "Label2")->text(), QStringLiteral("Ricerca  per pratica"));
    QCOMPARE(child<QLabel>(f, "Label4")->text(), QStringLiteral("Saldo Scheda................ €"));
    QCOMPARE(child<QAction>(f, "MnIstruzioni")->text(), QStringLiteral("&Istruzioni"));
    QVERIFY(!child<QComboBox>(f, "Combo1")->isEnabled());
    QVERIFY(!child<QComboBox>(f, "Combo2")->isEnabled());
    QVERIFY(!child<QRadioButton>(f, "Option1")->isChecked());
    QVERIFY(!child<QRadioButton>(f, "Option2")->isChecked());
    // Closing it goes back to the main menu.
    QVERIFY(f->close());
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!env.nav->isLoaded(InterSpese::kName));
    QVERIFY(env.nav->isLoaded(gp::app::MainMenu::kName));
    QVERIFY(env.nav->form(gp::app::MainMenu::kName)->isVisible());
}

void TestInterSpese::clientQueryUsesTheClientNumber()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    child<QRadioButton>(f, "Option1")->setChecked(true);
    auto* combo1 = child<QComboBox>(f, "Combo1");
    QVERIFY(combo1->isEnabled());
    QVERIFY(!child<QPushButton>(f, "Command2")->isEnabled());
    QCOMPARE(combo1->count(), 4);
    QCOMPARE(combo1->itemText(0), QStringLiteral("ALFA"));
    // BETA is the second client but has number 10: the key is 10, not the row at position 2 of "Spese".
    combo1->setCurrentIndex(1);
    f->chooseClient(1);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("10"));
    // The balance left out one row.
    QCOMPARE(titlesAndTexts(answered({"OK"}, [f] { f->queryByClient(); })),
             QStringList({box("Gestione Pratica", "Saldo calcolato senza 1 riga: il suo Importo non è un numero.")}));
    // Client 10 has rows 2, 6, 7 of "Spese" (cases 1 and 1 and 1): not client 1, not 21.
    QCOMPARE(f->listedRows(), (std::vector<int>{2, 6, 7}));

    gp::host::Sheet& s = env.sheet(kResultSheet);
    for (int c = 1; c <= 7; ++c)
        QCOMPARE(s.cells(1, c).value().toString(), resultHeadings()[c - 1]);
    QCOMPARE(s.cells(2, 1).value().toDouble(), 1.0);
    QCOMPARE(s.cells(2, 2).value().toDouble(), 1.0);
    QCOMPARE(s.cells(2, 3).date(), QDate(2025, 3, 14));
    QVERIFY(s.cells(2, 3).value().typeId() == QMetaType::Double); // a date value, not a text
    QCOMPARE(s.cells(2, 4).value().toString(), QStringLiteral("CONTRIBUTO UNIFICATO"));
    QCOMPARE(s.cells(2, 7).value().toString(), QStringLiteral("ESENTE"));
    // The expense without "ID Oper" keeps its own row; its text date became a date value.
    QVERIFY(s.cells(3, 2).isEmpty());
    QCOMPARE(s.cells(3, 4).value().toString(), QStringLiteral("SENZA ID"));
    QCOMPARE(s.cells(3, 3).date(), QDate(2025, 4, 3));
    QCOMPARE(s.cells(4, 4).value().toString(), QStringLiteral("DA VERIFICARE"));
    QVERIFY(s.cells(5, 1).isEmpty());

    auto* list = child<QTreeWidget>(f, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 3);
    const QStringList heads{"Pratica", "ID Oper.", "Data ", "Descrizione", "TipoSpesa", "Importo", "IVA/Esente"};
    const int widths[] = {1000, 1000, 1500, 4000, 1000, 1500, 1000};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(list->headerItem()->text(c), heads[c]);
        QCOMPARE(list->columnWidth(c), gp::ui::twips(widths[c]));
    }
    QCOMPARE(rowTexts(list->topLevelItem(0)),
             (QStringList{"1", "1", "14/03/2025", "CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", "12,50", "ESENTE"}));
    QCOMPARE(list->topLevelItem(1)->text(1), QString());
    // 12,50 + 40.000,25, exact, beyond a 16-bit total; the "?" row is left out and counted.
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QStringLiteral("40.012,75"));
    QCOMPARE(child<QLabel>(f, "Label5")->text(), QStringLiteral("Escluse dal saldo: 1"));

    // Client 1 (ALFA): cases 10 and 21 only.
    f->chooseClient(0);
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("1"));
    QCOMPARE(int(answered({}, [f] { f->queryByClient(); }).size()), 0); // no row left out, no box
    QCOMPARE(f->listedRows(), (std::vector<int>{3, 5}));
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QStringLiteral("33,50"));
}

void TestInterSpese::caseQueryMatchesExactly()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    child<QRadioButton>(f, "Option2")->setChecked(true);
    auto* combo2 = child<QComboBox>(f, "Combo2");
    QVERIFY(combo2->isEnabled());
    QVERIFY(!child<QPushButton>(f, "Command1")->isEnabled());
    QCOMPARE(combo2->count(), 7); // one entry per expense row, in sheet order
    QCOMPARE(combo2->itemText(1), QStringLiteral("10"));

    ModalAnswerer boxes;
    combo2->setEditText(QStringLiteral("1"));
    boxes.press(QStringLiteral("OK"));
    f->queryByCase();
    // Case 1: rows 2, 6, 7 — never 10, 11, 21.
    QCOMPARE(f->listedRows(), (std::vector<int>{2, 6, 7}));
    gp::host::Sheet& s = env.sheet(kResultSheet);
    for (int r = 2; r <= 4; ++r)
        QCOMPARE(s.cells(r, 1).value().toDouble(), 1.0);

    combo2->setEditText(QStringLiteral("21"));
    f->queryByCase();
    QCOMPARE(f->listedRows(), (std::vector<int>{5}));
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QStringLiteral("13,50"));
    QCOMPARE(env.sheet(kResultSheet).cells(2, 6).value().toString(), QStringLiteral("13,5"));
    QVERIFY(env.sheet(kResultSheet).cells(3, 1).isEmpty()); // the earlier, longer result is gone

    // Wildcards are ordinary characters: nothing is a case "*" or "1?".
    for (const QString& key : {QStringLiteral("*"), QStringLiteral("1?"), QStringLiteral("[1]")}) {
        boxes.clear();
        boxes.press(QStringLiteral("OK"));
        child<QLineEdit>(f, "Text1")->setText(QStringLiteral("x"));
        combo2->setEditText(key);
        f->queryByCase();
        QCOMPARE(boxes.seen().size(), size_t(1));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratica"));
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Nessuna Pratica trovata, Riprova"));
        QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 0);
        QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QString());
    }
    // A case chosen from the list names its client.
    combo2->setCurrentIndex(2); // case 11 on row 4, client 21
    f->chooseCase(2);
    QCOMPARE(child<QLineEdit>(f, "Text1")->text(), QStringLiteral("GAMMA"));
    QCOMPARE(child<QLineEdit>(f, "Text2")->text(), QStringLiteral("11"));
}

void TestInterSpese::emptyAndNotFoundMessages()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    f->clientMode();
    // DELTA (client 2) has expenses; a client number nobody has gives the not-found box.
    const auto seen = answered({"OK", "OK", "OK"}, [&] {
        f->queryByClient();
        child<QLineEdit>(f, "Text2")->setText(QStringLiteral("99"));
        f->queryByClient();
        child<QRadioButton>(f, "Option2")->setChecked(true);
        f->queryByCase();
    });
    const QString title = QStringLiteral("Gestione Pratica");
    QCOMPARE(titlesAndTexts(seen),
             QStringList({box(title, "Nessuna Spesa associata al  Cliente interrogato  , Riprova"),
                          box(title, "Nessuna Pratica trovata per il Cliente selezionato , Riprova"),
                          box(title, "Il Campo non può essere vuoto !!!!!!")}));
    QCOMPARE(seen[0].icon, QMessageBox::Question);
    QVERIFY(!child<QRadioButton>(f, "Option2")->isChecked());
    for (const SeenBox& b : seen)
        QCOMPARE(b.buttons, QStringList{QStringLiteral("OK")});
}

void TestInterSpese::printBoxAndInstructionsMenu()
{
    TestPractice env;
    openExpensePractice(env, lookAlikeRows());
    auto* f = env.show<InterSpese>();
    // The print box hands the balance the form shows over to the printing form.
    f->caseMode();
    child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("21"));
    f->queryByCase();
    const QString balance = child<QLabel>(f, "Label3")->text();
    QVERIFY(!balance.isEmpty());
    child<QCheckBox>(f, "Check1")->setChecked(true);
    gp::ui::FormBase* printForm = env.nav->form(gp::printing::StampaSpese::kName);
    QVERIFY(printForm && printForm->isVisible());
    QCOMPARE(child<QLabel>(printForm, "Label2")->text(), QStringLiteral("Saldo Scheda................ € ") + balance);
    QVERIFY(writeFile(env.path(QStringLiteral("Istruzioni.txt")), "uno\r\n"));
    child<QAction>(f, "MnIstruzioni")->trigger();
    QVERIFY(env.nav->isLoaded(gp::instructions::Istruzioni::kName));
    QVERIFY(env.nav->form(gp::instructions::Istruzioni::kName)->isVisible());
    QVERIFY(f->isVisible()); // not modal, the expense form stays

    // "Annulla" clears the form; "S" keeps the last result.
    QTest::mouseClick(child<QPushButton>(f, "Command3"), Qt::LeftButton);
    QCOMPARE(child<QTreeWidget>(f, "ListView1")->topLevelItemCount(), 0);
    QCOMPARE(child<QLabel>(f, "Label3")->text(), QString());
    QCOMPARE(child<QComboBox>(f, "Combo2")->currentText(), QString());
    QCOMPARE(child<QComboBox>(f, "Combo2")->count(), 7); // the case list stays
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
    ModalAnswerer boxes; // none expected
    child<QComboBox>(f, "Combo1")->setCurrentIndex(0);
    f->chooseClient(0); // ALFA, client 1
    f->queryByClient();
    QCOMPARE(boxes.seen().size(), size_t(0));
    auto* list = child<QTreeWidget>(f, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 2);
    const QRect r = list->visualItemRect(list->topLevelItem(1));
    // A click only selects the row; the query stays.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
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
    QCOMPARE(child<QComboBox>(note, "Combo1")->currentText(), QStringLiteral("21"));
    QCOMPARE(child<QLineEdit>(note, "Text1")->text(), QStringLiteral("ALFA"));
    QCOMPARE(child<QLineEdit>(note, "Text2")->text(), QStringLiteral("4"));
    QCOMPARE(child<QLineEdit>(note, "Text3")->text(), QStringLiteral("14/03/2025"));
    QCOMPARE(child<QLineEdit>(note, "Text4")->text(), QStringLiteral("NOTIFICA"));
    QCOMPARE(child<QComboBox>(note, "Combo2")->currentText(), QStringLiteral("SPESE VIVE"));
    QCOMPARE(child<QLineEdit>(note, "Text6")->text(), QStringLiteral("13,5"));
    QCOMPARE(child<QComboBox>(note, "Combo3")->currentText(), QStringLiteral("IVA"));
}

void TestInterSpese::fixtureQueryByCase()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({gp::expenses::registerForms, gp::instructions::registerForms}));
    auto* f = env.show<InterSpese>();
    f->caseMode();
    auto* combo2 = child<QComboBox>(f, "Combo2");
    QVERIFY(combo2->count() >= 59);
    // Every case of the list gives exactly its own expenses and their exact balance.
    gp::host::Sheet& spese = env.sheet(kExpenseSheet);
    ModalAnswerer boxes;
    for (const double n : {138.0, 164.0, 106.0}) {
        combo2->setEditText(gp::ui::valueText(n));
        f->queryByCase();
        std::vector<int> expected;
        qint64 cents = 0;
        for (int row : spese.walkDown(2, 2))
            if (spese.cells(row, 2).value().toDouble() == n) {
                expected.push_back(row);
                cents += amountCents(spese.cells(row, 7).value()).value();
            }
        QVERIFY(!expected.empty());
        QCOMPARE(f->listedRows(), expected);
        QCOMPARE(child<QLabel>(f, "Label3")->text(), formatEuro(cents));
    }
    QCOMPARE(boxes.seen().size(), size_t(0));
}

QTEST_MAIN(TestInterSpese)
#include "test_inter_spese.moc"
