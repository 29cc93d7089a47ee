// The assignment form: a new client (number, row, Y1) and a new case number
// (never one given before, its row, the hand-over); then the client and case
// pickers, typed into, on a register whose numbers are unrelated to the rows.
#include "cases/case_form.h"
#include "cases/case_sheet.h"
#include "common/practice.h"
#include "common/xls_readback.h"
#include "expenses/inter_spese.h"

#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "clients/client_fields.h"
#include "clients/client_register.h"
#include "common/boxes_seen.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace gp;
using gp::clients::Anagrafe;
using gp::clients::Assegna;
using ui::ListPicker;

namespace {
const QString kCl = QStringLiteral("Clienti");
const QString kPr = QStringLiteral("Pratica");
const QString kCo = QStringLiteral("Codice");

struct Client {
    const char* name;
    double number;
};
// Sheet order; numbers far from the row numbers.
const Client kClients[] = {
    {"ROSSI MARIO", 730},        {"Àrea Servizi srl", 12},      {"BIANCHI LUCIA", 5}, {"ROSSI MARIO", 88},
    {"CITTÀ DI ROMA S.P.A.", 3}, {"zanetti e rossi snc", 1500}, {"ABATE GIULIO", 42},
};
const QStringList kSorted = {"ABATE GIULIO",         "Àrea Servizi srl",     "BIANCHI LUCIA",
                             "CITTÀ DI ROMA S.P.A.", "ROSSI MARIO (n. 730)", "ROSSI MARIO (n. 88)",
                             "zanetti e rossi snc"};

void writeRegister(TestPractice& env)
{
    int row = 2;
    for (const Client& c : kClients) {
        env.setCell(kCl, row, 1, c.number);
        env.setCell(kCl, row++, 2, QString::fromUtf8(c.name));
    }
    env.setCell(kCl, row, 1, QVariant());
    env.setCell(kCl, row, 2, QVariant());
}

QStringList texts(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// Types into the combo box as the user does; the popup once it shows, else null.
QAbstractItemView* typeInto(QComboBox* combo, const QString& text)
{
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), text);
    QAbstractItemView* popup = ListPicker::of(combo)->completer()->popup();
    return QTest::qWaitFor([&] { return popup->isVisible(); }) ? popup : nullptr;
}

QStringList shownMatches(QComboBox* combo)
{
    QStringList out;
    for (int i : ListPicker::of(combo)->matches())
        out << combo->itemText(i);
    return out;
}

void clickMatch(QAbstractItemView* popup, int i)
{
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(popup->model()->index(i, 0)).center());
}
} // namespace

class TestAssegna : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;

    Assegna* assegna() { return env->nav->formAs<Assegna>(clients::Assegna::kName); }
    template <class T> T* on(Assegna* f, const char* name) { return f->findChild<T*>(QString::fromLatin1(name)); }
    // Which of the named controls are visible, as "1" and "0".
    QString visible(Assegna* f, std::initializer_list<const char*> names)
    {
        QString out;
        for (const char* n : names)
            out += on<QWidget>(f, n)->isVisible() ? QLatin1Char('1') : QLatin1Char('0');
        return out;
    }
    // Chooses in the (alphabetical) client list the client of a sheet row.
    void chooseRow(Assegna* f, int sheetRow)
    {
        QListWidget* list = on<QListWidget>(f, "List1");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->data(Qt::UserRole).toInt() == sheetRow)
                return list->setCurrentRow(i);
        QFAIL("no such client row in the list");
    }
    // Opens the client form and its "&Aggiungi Cliente".
    Assegna* openForNewClient()
    {
        env->show(clients::Anagrafe::kName);
        env->nav->form(clients::Anagrafe::kName)->findChild<QAction*>("MnAgg")->trigger();
        if (!QTest::qWaitFor([this] { return assegna() && assegna()->isVisible(); }, 2000))
            QTest::qFail("the form Assegna did not open", __FILE__, __LINE__);
        return assegna();
    }
    // "Conferma" (Command1) with its boxes answered in order; the boxes seen.
    std::vector<SeenBox> confirm(Assegna* f, std::initializer_list<const char*> answers)
    {
        return answered(answers, [&] { on<QPushButton>(f, "Command1")->click(); });
    }
    // "&Aggiungi Cliente" with `name` typed and confirmed; the boxes seen.
    std::vector<SeenBox> newClient(const QString& name)
    {
        Assegna* f = openForNewClient();
        f->fields()->setText("Text1", name);
        return confirm(f, {"Sì", "OK"});
    }
    double addClient(const QString& name) // Y1 after it
    {
        newClient(name);
        return env->cell(kCl, 1, 25).toDouble();
    }
    // Columns A and B of a row: a client's number and name, or a case's number and client.
    QVariantList ab(const QString& sheet, int row) { return {env->cell(sheet, row, 1), env->cell(sheet, row, 2)}; }
    QList<double> column(const QString& sheet, int col)
    {
        QList<double> out;
        for (int r : env->sheet(sheet).walkDown(2, col))
            out << env->cell(sheet, r, col).toDouble();
        return out;
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
    }
    void cleanup() { env.reset(); }

    void newClientIsAppendedWithTheNextNumber()
    {
        // "Annulla" goes back to the client form, nothing written.
        Assegna* f = openForNewClient();
        f->fields()->setText("Text1", "NON SCRITTO");
        on<QPushButton>(f, "Command2")->click();
        QVERIFY(!f->isVisible() && env->nav->form(clients::Anagrafe::kName)->isVisible());
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
        QCOMPARE(env->cell(kCl, 1, 25), QVariant(24.0));

        f = openForNewClient();
        QVERIFY(f && f->isVisible() && !env->nav->form(clients::Anagrafe::kName)->isVisible());
        QCOMPARE(f->windowTitle(), QStringLiteral("Maschera -Assegnazione/Pratica/Cliente"));
        QCOMPARE(visible(f, {"Combo1", "Label2", "List1"}), QStringLiteral("000"));
        QCOMPARE(f->fields()->text("Text2"), QStringLiteral("25"));

        // No name typed: the error, nothing written.
        QCOMPARE(titlesAndTexts(confirm(f, {"OK"})),
                 QStringList({box("Gestione Pratiche",
                                  " ERRORE- Il Cliente deve essere prima inserito nella "
                                  "Maschera -Assegnazione/Pratica/Cliente ....")}));

        // The fields are the client form's own (their input rules are tested there).
        for (auto [name, value] :
             {std::pair{"Text1", "VERDI ANNA"}, {"Text5", "00010"}, {"Text11", "01234567890"}, {"Text18", "01/02/26"}})
            f->fields()->setText(name, value);

        QCOMPARE(titlesAndTexts(confirm(f, {"No"})),
                 QStringList({box("Gestione Pratiche", " Vuoi Inserire questo Cliente ?")}));
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());

        const auto seen = confirm(f, {"Sì", "OK"});
        QCOMPARE(titlesAndTexts(seen),
                 QStringList({box("Gestione Pratiche", " Vuoi Inserire questo Cliente ?"),
                              box(" Gestione Pratiche", "Cliente Aggiunto")}));
        QCOMPARE(seen[1].icon, QMessageBox::NoIcon);
        QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));
        // Row 26, columns A, B, D, F and N; Y1 and the numbers given of "Codice".
        QCOMPARE(env->cell(kCl, 26, 1), QVariant(25.0));
        for (auto [col, value] : {std::pair{2, "VERDI ANNA"}, {4, "01/02/26"}, {6, "00010"}, {14, "01234567890"}})
            QCOMPARE(env->cell(kCl, 26, col).toString(), QString::fromLatin1(value));
        QCOMPARE(env->cell(kCl, 1, 25), QVariant(25.0));
        QCOMPARE(column(kCo, 5).last(), 25.0);
        // Back to the client form, whose list holds the new client.
        QVERIFY(!f->isVisible());
        auto* anagrafe = env->nav->formAs<Anagrafe>(clients::Anagrafe::kName);
        QVERIFY(anagrafe->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return ui::FormBase::lastActivated() == anagrafe; }, 2000));
        auto* combo = anagrafe->findChild<QComboBox*>("Combo1");
        QCOMPARE(combo->count(), 25);
        QCOMPARE(combo->itemText(24), QStringLiteral("VERDI ANNA"));
    }

    void numberAfterDeletionBadY1AndGap()
    {
        // The last client deleted: the next number is still Y1 + 1.
        env->sheet(kCl).rows(25, 25).deleteEntireRow();
        QCOMPARE(addClient("PRIMO"), 25.0);
        QCOMPARE(env->cell(kCl, 25, 1), QVariant(25.0));
        // Y1 behind the register, or not a number: the highest number in use wins.
        env->setCell(kCl, 1, 25, 3.0);
        QCOMPARE(addClient("SECONDO"), 26.0);
        env->setCell(kCl, 1, 25, QStringLiteral("abc"));
        QCOMPARE(addClient("TERZO"), 27.0);
        QCOMPARE(env->cell(kCl, 27, 1), QVariant(27.0));
        // A gap in column A is filled first, with the next number.
        env->sheet(kCl).rows(10, 10).clearContents();
        QCOMPARE(addClient("NEL BUCO"), 28.0);
        QCOMPARE(ab(kCl, 10), (QVariantList{28.0, QStringLiteral("NEL BUCO")}));
        QVERIFY(env->sheet(kCl).cells(28, 1).isEmpty());
        QCOMPARE(column(kCo, 5).mid(23), QList<double>({24, 25, 26, 27, 28}));
    }

    void newClientNeverOverTheHeadingsNorBelowABrokenRow()
    {
        // A row with a name but no number: the clients after it are out of reach.
        env->setCell(kCl, 10, 1, QVariant());
        QCOMPARE(titlesAndTexts(newClient("NUOVO")),
                 QStringList({box("Gestione Pratiche", " Vuoi Inserire questo Cliente ?"),
                              box("Gestione Pratiche",
                                  "La riga 10 del foglio Clienti non è vuota ma non ha il numero: "
                                  "correggerla prima di aggiungere.")}));
        QCOMPARE(env->cell(kCl, 1, 25), QVariant(24.0)); // Y1 untouched
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
        QCOMPARE(env->tableLength(kCl, 2), 24); // the names as they were
        // A numbered row without a name ends the lists of names: refused too.
        env->setCell(kCl, 10, 1, 9.0);
        const QVariant name12 = env->cell(kCl, 12, 2);
        env->setCell(kCl, 12, 2, QVariant());
        QCOMPARE(newClient("NUOVO").at(1).text,
                 QStringLiteral("La riga 12 del foglio Clienti non ha il nome del "
                                "Cliente: correggerla prima di aggiungere."));
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());

        // Mended, and the heading of A1 gone: added after the last client, never over the headings.
        env->setCell(kCl, 12, 2, name12);
        env->setCell(kCl, 1, 1, QVariant());
        QCOMPARE(newClient("NUOVO").at(1).text, QStringLiteral("Cliente Aggiunto"));
        QCOMPARE(ab(kCl, 26), (QVariantList{25.0, QStringLiteral("NUOVO")}));
        QCOMPARE(env->cell(kCl, 1, 2).toString(), QStringLiteral("Ragione Sociale/Cognome-Nome"));
        QCOMPARE(clients::clientNames(env->book()).back().name, QStringLiteral("NUOVO")); // where the list shows it
        SKIP_WITHOUT_XLRD();
        env->book().save();
        QCOMPARE(
            readBack(env->path(ui::kPracticeFile), ui::kPracticePassword,
                     QStringLiteral("print(cell('Clienti', 'B1'), cell('Clienti', 'A26'), cell('Clienti', 'B26'))\n")),
            QStringLiteral("Ragione Sociale/Cognome-Nome 25.0 NUOVO\n"));
    }

    void caseNumberIsNeverGivenTwice()
    {
        const int lastCaseRow = 41; // 40 cases from row 2, the highest 181
        QCOMPARE(env->cell(kPr, lastCaseRow, 1), QVariant(181.0));
        // From the case form's "Assegna  Nu&mero Pratica": the case form gives way.
        ui::FormBase* caseForm = env->show(cases::Form4::kName);
        caseForm->findChild<QAction*>("MnAgg")->trigger();
        Assegna* f = assegna();
        QTRY_VERIFY(f && f->isVisible());
        QCOMPARE(f->mode(), Assegna::Mode::CaseAssignment);
        QVERIFY(!caseForm->isVisible());
        QCOMPARE(visible(f, {"List1", "Label2", "Combo2", "Label3"}), QStringLiteral("1100"));
        QCOMPARE(on<QLabel>(f, "Label1")->text(), QStringLiteral("Seleziona il Cliente "));

        QCOMPARE(titlesAndTexts(confirm(f, {"OK"})),
                 QStringList({box("Gestione Pratiche", "Seleziona un Cliente !!")}));

        // The second "ROSSI MARIO" is client 24, of row 25.
        QListWidget* list = on<QListWidget>(f, "List1");
        QCOMPARE(list->count(), 24);
        chooseRow(f, 25);
        QCOMPARE(on<QComboBox>(f, "Combo1")->currentIndex(), list->currentRow());
        QCOMPARE(list->currentItem()->text(), QStringLiteral("ROSSI MARIO (n. 24)"));
        const auto seen = confirm(f, {"Sì", "OK"});
        QCOMPARE(
            titlesAndTexts(seen),
            QStringList({box("Gestione Pratiche", "Si vuole assegnare una nuova Pratica al Cliente ROSSI MARIO ?"),
                         box(" Gestione Pratiche", "Al Cliente ROSSI MARIO è stata assegnata la Pratica numero 182")}));
        QCOMPARE(ab(kPr, lastCaseRow + 1), (QVariantList{182.0, 24.0}));
        QVERIFY(env->sheet(kPr).cells(lastCaseRow + 2, 1).isEmpty());
        const QList<double> given = column(kCo, 2);
        QCOMPARE(given.last(), 182.0);
        QVERIFY(std::is_sorted(given.begin(), given.end()));
        // Back to the case form, which shows the new case: its number and its client.
        QVERIFY(!f->isVisible() && caseForm->isVisible());
        QVERIFY(QTest::qWaitFor([&] { return ui::FormBase::lastActivated() == caseForm; }, 2000));
        QTRY_COMPARE(ui::leadingNumber(child<QComboBox>(caseForm, "Combo1")->currentText()), 182.0);
        QTRY_COMPARE(child<QLineEdit>(caseForm, "Text4")->text(), QStringLiteral("24"));

        // The highest case deleted from "Pratica": its number is not given again.
        env->sheet(kPr).rows(lastCaseRow + 1, lastCaseRow + 1).deleteEntireRow();
        env->nav->hide(cases::Form4::kName);
        f->startCaseAssignment();
        chooseRow(f, 2); // client 1
        confirm(f, {"Sì", "OK"});
        QCOMPARE(ab(kPr, lastCaseRow + 1), (QVariantList{183.0, 1.0}));
        // The close box goes back to the case form as "&Esci" does, nothing written.
        f->startCaseAssignment();
        f->close();
        QVERIFY(!f->isVisible() && env->nav->form(cases::Form4::kName)->isVisible());
        QCOMPARE(env->tableLength(kPr, 1), 41);
    }

    void archivedAndGappedCases()
    {
        // An archived case above every other, and a gap in column A of "Pratica".
        env->setCell("Storico", 4, 1, 900.0);
        env->setCell(kPr, 20, 1, QVariant());
        auto* f = qobject_cast<Assegna*>(env->nav->load(clients::Assegna::kName));
        f->startCaseAssignment();
        chooseRow(f, 4); // client 3
        // The case below the gap would never be listed: refused, the broken row named.
        QCOMPARE(answered({"Sì", "OK"}, [f] { f->confirm(); }).at(1).text,
                 QStringLiteral("La riga 20 del foglio Pratica non è vuota ma non ha il "
                                "numero: correggerla prima di aggiungere."));
        QVERIFY(env->sheet(kPr).cells(42, 1).isEmpty() && env->sheet(kPr).cells(20, 1).isEmpty());
        // The gap emptied: the new case fills it.
        env->sheet(kPr).rows(20, 20).clearContents();
        f->startCaseAssignment();
        chooseRow(f, 4);
        answered({"Sì", "OK"}, [f] { f->confirm(); });
        QCOMPARE(f->lastCaseNumber(), 901.0);
        QCOMPARE(ab(kPr, 20), (QVariantList{901.0, 3.0}));
        QVERIFY(env->sheet(kPr).cells(42, 1).isEmpty());
        QCOMPARE(column(kCo, 2).last(), 901.0);
        // The case list reaches it, and so does another reader of the file.
        QVERIFY(cases::caseListEntries(env->sheet(kPr), false).contains(QStringLiteral("901")));
        SKIP_WITHOUT_XLRD();
        env->book().save();
        QCOMPARE(readBack(env->path(ui::kPracticeFile), ui::kPracticePassword,
                          QStringLiteral("print(cell('Pratica', 'A20'), cell('Pratica', 'B20'), "
                                         "repr(cell('Pratica', 'A42')))\n")),
                 QStringLiteral("901.0 3.0 ''\n"));
    }

    void foldingAndOrder()
    {
        QCOMPARE(ui::foldForMatch(u"CITTÀ Perché àèéìòù Ç"), QStringLiteral("citta perche aeeiou c"));
        std::vector<ui::PickerEntry> entries;
        for (const Client& c : kClients)
            entries.push_back({QString::fromUtf8(c.name), QString::number(c.number), c.number});
        ui::sortByName(entries);
        QCOMPARE(ui::shownTexts(entries), kSorted);
        // Equal names keep their sheet order, so each keeps its own data.
        QCOMPARE(entries[4].data.toDouble(), 730.0);
        QCOMPARE(entries[5].data.toDouble(), 88.0);
    }

    void clientFormFiltersAndPicksTheRowChosen()
    {
        writeRegister(*env);
        auto* form = env->show<clients::Anagrafe>();
        auto* combo = child<QComboBox>(form, "Combo1");
        QCOMPARE(texts(combo), kSorted);

        // Typing narrows the list and picks nothing: the list stays open to a choice.
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("Rossi"));
        QVERIFY(popup);
        QCOMPARE(shownMatches(combo),
                 QStringList({"ROSSI MARIO (n. 730)", "ROSSI MARIO (n. 88)", "zanetti e rossi snc"}));
        QCOMPARE(popup->model()->rowCount(), 3);
        QCOMPARE(form->pickedRow(), 0);
        QVERIFY(combo->isEnabled());
        QVERIFY(child<QLineEdit>(form, "Text2")->text().isEmpty());

        // The second ROSSI MARIO of the popup is the one of row 5, client 88.
        clickMatch(popup, 1);
        QTRY_COMPARE(form->pickedRow(), 5);
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("88"));
        QCOMPARE(child<QLineEdit>(form, "Text1")->text(), QStringLiteral("ROSSI MARIO"));
        QVERIFY(!combo->isEnabled());

        // Accents and case do not matter; one letter alone picks nothing.
        form->clearFields();
        QVERIFY(typeInto(combo, QStringLiteral("citta")));
        QCOMPARE(shownMatches(combo), QStringList({"CITTÀ DI ROMA S.P.A."}));
        combo->lineEdit()->clear();
        QVERIFY(typeInto(combo, QStringLiteral("b")));
        QCOMPARE(shownMatches(combo), QStringList({"ABATE GIULIO", "BIANCHI LUCIA"}));
        QCOMPARE(form->pickedRow(), 0);
        QVERIFY(combo->isEnabled());
        // A text typed but not chosen is no client to modify.
        const auto seen = answered({"OK"}, [form] { form->modifyClient(); });
        QCOMPARE(seen.size(), size_t(1));
        QVERIFY(seen[0].text.startsWith(QStringLiteral(" ERRORE- Il Cliente deve essere prima inserito")));
    }

    void assignmentChooserGivesTheCaseToTheClientChosen()
    {
        writeRegister(*env);
        auto* form = qobject_cast<clients::Assegna*>(env->nav->load(clients::Assegna::kName));
        QVERIFY(form);
        form->startCaseAssignment();
        QTRY_VERIFY(form->isVisible());
        auto* combo = child<QComboBox>(form, "Combo1");
        auto* list = child<QListWidget>(form, "List1");
        QCOMPARE(texts(combo), kSorted);
        QCOMPARE(list->item(5)->text(), QStringLiteral("ROSSI MARIO (n. 88)"));

        QAbstractItemView* popup = typeInto(combo, QStringLiteral("MARIO"));
        QVERIFY(popup);
        clickMatch(popup, 0);
        QTRY_COMPARE(list->currentRow(), 4);
        QVERIFY(list->item(4)->isSelected());

        const int lastCase = env->tableLength(kPr, 1) + 1;
        const auto seen = answered({"Sì", "OK"}, [form] { child<QPushButton>(form, "Command1")->click(); });
        QCOMPARE(seen.size(), size_t(2));
        QCOMPARE(seen[0].text, QStringLiteral("Si vuole assegnare una nuova Pratica al Cliente ROSSI MARIO ?"));
        QCOMPARE(env->cell(kPr, lastCase + 1, 2), QVariant(730.0));
    }

    void expenseQueryTakesTheNumberOfTheClientChosen()
    {
        writeRegister(*env);
        QWidget* form = env->show(expenses::InterSpese::kName);
        child<QRadioButton>(form, "Option1")->setChecked(true);
        auto* combo = child<QComboBox>(form, "Combo1");
        QCOMPARE(texts(combo), kSorted);
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("rossi m"));
        QVERIFY(popup);
        QCOMPARE(popup->model()->rowCount(), 2);
        clickMatch(popup, 1);
        QTRY_COMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("88"));
        QCOMPARE(combo->currentIndex(), 5);
    }

    void caseListFiltersOnTheTypedNumber()
    {
        writeRegister(*env);
        QWidget* form = env->show(cases::Form4::kName);
        auto* combo = child<QComboBox>(form, "Combo1");
        QVERIFY(combo->count() > 20);
        const QStringList expected = texts(combo).filter(QStringLiteral("12"));
        QVERIFY(!expected.isEmpty());
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("12"));
        QVERIFY(popup);
        QCOMPARE(shownMatches(combo), expected);
        // The last match leads to its own row of "Pratica".
        clickMatch(popup, int(expected.size()) - 1);
        const int index = ListPicker::of(combo)->matches().back();
        QTRY_COMPARE(combo->currentIndex(), index);
        QCOMPARE(child<QLineEdit>(form, "Text4")->text(), ui::valueText(env->cell(kPr, index + 2, 2)));
    }
};

QTEST_MAIN(TestAssegna)
#include "test_assegna.moc"
