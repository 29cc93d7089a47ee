// The client form driven in-process on a copy of the practice's data: the
// choice by name, the two states, modify, the delete cascade, the input rules
// and every message box by title and text. Then typing slips and broken
// registers: an empty name is refused, the date keeps its year and must
// exist, new clients go where the lists show them (or are refused with the
// broken row named, never over the headings), and a paste is cut to the box's
// limit. What reached the file is read back with msoffcrypto-tool and xlrd.
#include "common/practice.h"

#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "clients/client_fields.h"
#include "clients/client_register.h"
#include "common/boxes_seen.h"
#include "common/xls_readback.h"
#include "core/ui/clock.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "printing/print_support.h"

using namespace gp;
using gp::clients::Anagrafe;

namespace {
const QString kCl = QStringLiteral("Clienti");
const QString kPr = QStringLiteral("Pratica");
const QString kSp = QStringLiteral("Spese");

void checkBox(const SeenBox& b, const QString& title, const QString& text, QMessageBox::Icon icon = QMessageBox::NoIcon)
{
    QCOMPARE(b.title, title);
    QCOMPARE(b.text, text);
    QCOMPARE(b.icon, icon);
}
} // namespace

class TestAnagrafe : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;
    Anagrafe* form = nullptr;
    QComboBox* combo = nullptr;

    QLineEdit* box(const QString& name) { return form->findChild<QLineEdit*>(name); }
    QAction* item(const QString& name) { return form->findChild<QAction*>(name); }
    bool openForm()
    {
        form = env->show<Anagrafe>();
        combo = form ? form->findChild<QComboBox*>(QStringLiteral("Combo1")) : nullptr;
        return form && combo;
    }
    // The position of the nth entry of `name` (the list is alphabetical;
    // equal names keep the register's order).
    int indexOfName(const QString& name, int nth = 0)
    {
        for (int i = 0; i < combo->count(); ++i)
            if (combo->itemData(i, ui::ListPicker::kNameRole).toString() == name && nth-- == 0)
                return i;
        return -1;
    }
    void pick(const QString& name, int nth = 0)
    {
        const int i = indexOfName(name, nth);
        QVERIFY2(i >= 0, qPrintable(name));
        emit combo->activated(i);
    }
    // "&Aggiungi Cliente" with `name` typed in the assignment form; the boxes seen.
    std::vector<SeenBox> addClient(const QString& name)
    {
        clients::Assegna* f = nullptr;
        if (openForm()) {
            item(QStringLiteral("MnAgg"))->trigger();
            f = env->nav->formAs<clients::Assegna>(clients::Assegna::kName);
        }
        if (!QTest::qWaitFor([f] { return f && f->isVisible(); }, 2000)) {
            QTest::qFail("the assignment form did not open", __FILE__, __LINE__);
            return {};
        }
        f->fields()->setText(QStringLiteral("Text1"), name);
        return answered({"Sì", "OK"}, [f] { f->findChild<QPushButton*>(QStringLiteral("Command1"))->click(); });
    }
    std::vector<SeenBox> modify(std::initializer_list<const char*> answers)
    {
        return answered(answers, [this] { item(QStringLiteral("mnuM"))->trigger(); });
    }
    std::vector<SeenBox> erase(std::initializer_list<const char*> answers)
    {
        return answered(answers, [this] { item(QStringLiteral("MnuE"))->trigger(); });
    }
    QString saveAndRead(const QString& code)
    {
        env->book().save();
        return readBack(env->ctx.path(ui::kPracticeFile), ui::kPracticePassword, code);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
    }
    void cleanup()
    {
        env.reset();
        form = nullptr;
        combo = nullptr;
        ui::Clock::clear();
    }

    void formAndControls()
    {
        QVERIFY(openForm());
        QCOMPARE(form->objectName(), clients::Anagrafe::kName);
        QCOMPARE(form->windowTitle(), QStringLiteral("Anagrafica "));
        const QStringList items = {"mnuM", "MnuE", "MnAgg", "mnuP", "MenAltri", "mnuEsci", "MnStampa"};
        const QStringList captions = {"Modifica Cliente",      "Elimina Cliente", "&Aggiungi Cliente",
                                      "&Pulisci i campi",      "Altri &dati",     "&Esci",
                                      "&Stampa Elenco Clienti"};
        for (int i = 0; i < items.size(); ++i) {
            QVERIFY2(item(items[i]), qPrintable(items[i]));
            QCOMPARE(item(items[i])->text(), captions[i]);
        }
        for (const char* b : clients::kFieldBoxes)
            QVERIFY2(form->findChild<QWidget*>(QString::fromLatin1(b)), b);
        QVERIFY(box("Text2")->isReadOnly());
        // The clock writes "Ore..." and the time.
        ui::Clock::setFixed(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)));
        QTRY_COMPARE(box("Text17")->text(), ui::clockText(QTime(9, 5, 7)));
        QVERIFY(box("Text17")->text().startsWith(QStringLiteral("Ore...")));
        // The close box is refused.
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        // "&Altri dati".
        ModalAnswerer boxes;
        boxes.press("OK");
        item("MenAltri")->trigger();
        QCOMPARE(boxes.seen().size(), size_t(1));
        checkBox(boxes.seen()[0], "Gestione Pratica", " Funzione ancora in Progettazione ");
    }

    void duplicateNamesEachShowTheirOwnRow()
    {
        QVERIFY(openForm());
        QCOMPARE(combo->count(), 24);
        // Alphabetical; the two ROSSI MARIO told apart by their numbers.
        QCOMPARE(combo->itemText(0), QStringLiteral("BARBIERI NICOLA"));
        QCOMPARE(combo->itemText(indexOfName("ROSSI MARIO", 0)), QStringLiteral("ROSSI MARIO (n. 1)"));
        QCOMPARE(combo->itemText(indexOfName("ROSSI MARIO", 1)), QStringLiteral("ROSSI MARIO (n. 24)"));
        QCOMPARE(indexOfName("ROSSI MARIO", 1), indexOfName("ROSSI MARIO", 0) + 1);
        QVERIFY(combo->isEnabled());
        QVERIFY(!box("Text1")->isEnabled());

        pick("ROSSI MARIO", 1);
        QCOMPARE(box("Text2")->text(), QStringLiteral("24"));
        QCOMPARE(box("Text1")->text(), QStringLiteral("ROSSI MARIO"));
        QVERIFY(!combo->isEnabled());
        QVERIFY(box("Text1")->isEnabled());

        item("mnuP")->trigger();
        QCOMPARE(box("Text2")->text(), QString());
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->count(), 24);
        pick("ROSSI MARIO", 0);
        QCOMPARE(box("Text2")->text(), QStringLiteral("1"));
        // Texts with leading zeros come back as typed.
        item("mnuP")->trigger();
        pick("BIANCHI LUCIA");
        QCOMPARE(box("Text5")->text(), QStringLiteral("00184"));
        QCOMPARE(box("Text11")->text(), QStringLiteral("09623574309"));
        QCOMPARE(box("Text18")->text(), QStringLiteral("17/04/08"));
        QCOMPARE(form->findChild<QPlainTextEdit*>("Text12")->toPlainText(),
                 QStringLiteral("NOTE, CON VIRGOLE; E \"VIRGOLETTE\""));
    }

    void gapInNamesAndEmptyRegister()
    {
        env->setCell(kCl, 5, 2, QVariant()); // a gap in column B at row 5
        auto* f = env->show<Anagrafe>();
        auto* c = f->findChild<QComboBox*>("Combo1");
        QCOMPARE(c->count(), 3);
        QCOMPARE(c->itemText(0), QStringLiteral("BIANCHI LUCIA"));
        QCOMPARE(c->itemText(1), QStringLiteral("CITTÀ DI ROMA S.P.A."));
        QCOMPARE(c->itemText(2), QStringLiteral("ROSSI MARIO"));
        env->nav->hide(clients::Anagrafe::kName);
        env->show(env->nav->mainMenuName());

        // No client at all: the message, and an empty list.
        env->setCell(kCl, 2, 2, QVariant());
        ModalAnswerer boxes;
        boxes.press("OK");
        env->show(clients::Anagrafe::kName);
        QVERIFY(boxes.waitForBoxes(1));
        checkBox(boxes.seen()[0], "Gestione Pratiche",
                 "Non ci sono Clienti Registrati in Anagrafica , occorre  utilizzare: AGGIUNGI CLIENTE ",
                 QMessageBox::Information);
        QCOMPARE(c->count(), 0);
    }

    void modifyWritesAllColumnsAndRenames()
    {
        QVERIFY(openForm());
        // Nothing picked: the error, nothing written.
        checkBox(modify({"OK"}).at(0), "Gestione Pratiche",
                 " ERRORE- Il Cliente deve essere prima inserito nella Maschera -Assegnazione/Pratica/Cliente ....");

        pick("BIANCHI LUCIA");
        const QStringList values = {"2",
                                    "BIANCHI LUCIA SRL",
                                    "C9",
                                    "01/02/2003",
                                    "VIA ROMA 1",
                                    "00100",
                                    "ROMA",
                                    "RM",
                                    "06 123",
                                    "",
                                    "333 1",
                                    "a@b.it",
                                    "BNCLCU80A01H501Z",
                                    "01234567890",
                                    "DOTT. VERDI",
                                    "RIGA UNO\nRIGA DUE",
                                    "ALTRE"};
        auto* fields = form->fields();
        for (int c = 1; c < clients::kFieldCount; ++c)
            fields->setText(QString::fromLatin1(clients::kFieldBoxes[c]), values[c]);
        // A No leaves the row as it was.
        checkBox(modify({"No"}).at(0), "Gestione Pratiche", "Si vuole modificare il Cliente Selezionato ?");
        QCOMPARE(env->cell(kCl, 3, 2).toString(), QStringLiteral("BIANCHI LUCIA"));

        const auto seen = modify({"Sì", "OK"});
        QCOMPARE(seen.size(), size_t(2));
        QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));
        checkBox(seen[1], "Gestione Pratiche", "Cliente Modificato", QMessageBox::Information);
        QCOMPARE(env->cell(kCl, 3, 1), QVariant(2.0));
        for (int c = 1; c < clients::kFieldCount; ++c)
            QCOMPARE(env->cell(kCl, 3, c + 1).toString(), values[c]);
        QVERIFY(env->sheet(kCl).cells(3, 10).isEmpty()); // the empty fax box empties J
        // The other rows are untouched; the list shows the new name; back to no client picked.
        QCOMPARE(env->cell(kCl, 2, 2).toString(), QStringLiteral("ROSSI MARIO"));
        QCOMPARE(env->cell(kCl, 4, 1), QVariant(3.0));
        QVERIFY(indexOfName("BIANCHI LUCIA SRL") >= 0);
        QCOMPARE(indexOfName("BIANCHI LUCIA"), -1);
        QCOMPARE(combo->count(), 24);
        QVERIFY(combo->isEnabled());
        QVERIFY(!box("Text1")->isEnabled());
        QCOMPARE(box("Text2")->text(), QString());
    }

    void modifyTheSecondOfTwoEqualNames()
    {
        QVERIFY(openForm());
        pick("ROSSI MARIO", 1);
        box("Text6")->setText("PARMA");
        modify({"Sì", "OK"});
        QCOMPARE(env->cell(kCl, 25, 7).toString(), QStringLiteral("PARMA"));
        QCOMPARE(env->cell(kCl, 2, 7).toString(), QStringLiteral("BOLOGNA"));
    }

    void modifyOrDeleteAClientNoLongerThere()
    {
        QVERIFY(openForm());
        pick("GRECO ELENA"); // number 11, row 12
        env->sheet(kCl).rows(12, 12).deleteEntireRow();
        const QString before = env->cell(kCl, 12, 2).toString();
        auto seen = modify({"Sì", "OK"});
        QCOMPARE(seen.size(), size_t(2));
        checkBox(seen[1], "Gestione Pratiche",
                 "Il Cliente n. 11 non è presente in Anagrafica: nessuna modifica è stata registrata.",
                 QMessageBox::Warning);
        QCOMPARE(env->cell(kCl, 12, 2).toString(), before);
        QCOMPARE(env->tableLength(kCl, 1), 23);

        // Delete: the same client is not found; nothing else is asked or deleted.
        pick("GRECO ELENA");
        const int cases = env->tableLength(kPr, 1);
        seen = erase({"Sì", "OK"});
        QCOMPARE(seen.size(), size_t(2));
        checkBox(seen[1], "Gestione Pratiche",
                 "Il Cliente n. 11 non è presente in Anagrafica: non è stato eliminato nulla.", QMessageBox::Warning);
        QCOMPARE(env->tableLength(kCl, 1), 23);
        QCOMPARE(env->tableLength(kPr, 1), cases);
    }

    void deleteCascadeYesEverywhere()
    {
        QVERIFY(openForm());
        const double client = 12;
        // An expense of the client without "ID Oper", on the first row: the
        // sheet is not empty for all that.
        env->setCell(kSp, 2, 1, QVariant());
        env->setCell(kSp, 2, 3, client);
        // A number stored as text still matches.
        env->setCell(kPr, 5, 2, QStringLiteral("12"));
        const int cases = env->tableLength(kPr, 1), expenses = env->tableLength(kSp, 3);
        const int ownCases = env->countRows(kPr, 1, 2, client), ownExpenses = env->countRows(kSp, 3, 3, client);
        QVERIFY(ownCases >= 3);
        QVERIFY(ownExpenses >= 3);

        // No client picked.
        checkBox(erase({"OK"}).at(0), "Gestione Pratiche", "Seleziona un Cliente !!", QMessageBox::Information);

        pick("BRUNO PAOLO");
        QCOMPARE(box("Text2")->text(), QStringLiteral("12"));
        const auto seen = erase({"Sì", "OK", "Sì", "OK", "Sì"});
        QCOMPARE(seen.size(), size_t(5));
        QCOMPARE(defaultButtons(seen), QStringList({"No", "OK", "No", "OK", "No"})); // every deletion defaults to No
        checkBox(seen[0], "Gestione Pratiche", "Si vuole Eliminare il Cliente Selezionato ?");
        checkBox(seen[1], " Gestione Pratiche", "Cliente    BRUNO PAOLO      Eliminato", QMessageBox::Information);
        checkBox(seen[2], "Gestione Pratiche", "Si vuole eliminare le Pratiche   associate al Cliente  ?");
        checkBox(seen[3], " Gestione Pratiche", "Pratica  associata al Cliente Eliminata");
        checkBox(seen[4], "Gestione Pratiche", "Si vuole Eliminare le Spese  Associate al Cliente  ?");
        QCOMPARE(seen[4].buttons, QStringList({"Sì", "No"}));

        QCOMPARE(env->tableLength(kCl, 1), 23);
        QCOMPARE(env->sheet(kCl).findIdentifier(1, client), 0);
        QCOMPARE(env->countRows(kPr, 1, 2, client), 0);
        QCOMPARE(env->tableLength(kPr, 1), cases - ownCases);
        QCOMPARE(env->countRows(kSp, 3, 3, client), 0);
        QCOMPARE(env->tableLength(kSp, 3), expenses - ownExpenses);
        // The other clients keep their rows, in order.
        QCOMPARE(env->cell(kCl, 13, 2).toString(), QStringLiteral("GALLO CATERINA"));
        QCOMPARE(env->cell(kPr, 2, 1), QVariant(101.0));
    }

    void deleteCascadeNoKeepsTheRest_data()
    {
        QTest::addColumn<int>("stopAt"); // 0: No to the cases; 1: No to the expenses
        QTest::newRow("no to cases") << 0;
        QTest::newRow("no to expenses") << 1;
    }
    void deleteCascadeNoKeepsTheRest()
    {
        QFETCH(int, stopAt);
        QVERIFY(openForm());
        const double client = 5;
        const int ownCases = env->countRows(kPr, 1, 2, client), ownExpenses = env->countRows(kSp, 3, 3, client);
        QVERIFY(ownCases > 0 && ownExpenses > 0);
        pick("ESPOSITO GENNARO");
        const auto seen = stopAt == 0 ? erase({"Sì", "OK", "No"}) : erase({"Sì", "OK", "Sì", "OK", "No"});
        QCOMPARE(seen.size(), size_t(stopAt == 0 ? 3 : 5));
        QCOMPARE(env->sheet(kCl).findIdentifier(1, client), 0);
        QCOMPARE(env->countRows(kPr, 1, 2, client), stopAt == 0 ? ownCases : 0);
        QCOMPARE(env->countRows(kSp, 3, 3, client), ownExpenses);
        // The form is left for the main menu, emptied.
        QVERIFY(!form->isVisible());
        QVERIFY(env->nav->form(env->nav->mainMenuName()) && env->nav->form(env->nav->mainMenuName())->isVisible());
        QCOMPARE(combo->count(), 0);
        QCOMPARE(box("Text1")->text(), QString());
    }

    void deleteWithNoCasesLeavesBeforeTheExpenses()
    {
        QVERIFY(openForm());
        env->setCell(kPr, 2, 1, QVariant()); // "Pratica" empty: A2 empty
        pick("ESPOSITO GENNARO");
        QCOMPARE(erase({"Sì", "OK", "Sì"}).size(), size_t(3));
        QVERIFY(env->countRows(kSp, 3, 3, 5) > 0);
        QVERIFY(!form->isVisible());
    }

    void numbersStoredAsTextMatch()
    {
        env->setCell(kCl, 8, 1, QStringLiteral("7")); // RUSSO ANNA MARIA, number 7 as text
        auto* f = env->show<Anagrafe>();
        form = f;
        combo = f->findChild<QComboBox*>("Combo1");
        pick("RUSSO ANNA MARIA");
        QCOMPARE(box("Text2")->text(), QStringLiteral("7"));
        box("Text4")->setText("PIAZZA GRANDE 1");
        modify({"Sì", "OK"});
        QCOMPARE(env->cell(kCl, 8, 5).toString(), QStringLiteral("PIAZZA GRANDE 1"));
        QCOMPARE(env->cell(kCl, 8, 1), QVariant(7.0)); // written back as a number
    }

    void capitalsWhileTyping()
    {
        QVERIFY(openForm());
        pick("BIANCHI LUCIA");
        QLineEdit* name = box("Text1");
        name->clear();
        QTest::keyClicks(name, "rossi");
        QCOMPARE(name->text(), QStringLiteral("ROSSI"));
        QCOMPARE(name->cursorPosition(), 5);
        name->setCursorPosition(2);
        QTest::keyClicks(name, "x");
        QCOMPARE(name->text(), QStringLiteral("ROXSSI"));
        QCOMPARE(name->cursorPosition(), 3);
        // Boxes without the rule keep the case as typed.
        QLineEdit* mail = box("Text16");
        mail->clear();
        QTest::keyClicks(mail, "studio@Esempio.it");
        QCOMPARE(mail->text(), QStringLiteral("studio@Esempio.it"));
        QLineEdit* town = box("Text6");
        town->clear();
        town->insert(QStringLiteral("forlì")); // typed through an input method

        QCOMPARE(town->text(), QStringLiteral("FORLÌ"));
    }

    void dateBoxAndLengthLimits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("six digits") << "251208"
                                    << "25/12/08";
        QTest::newRow("eight digits") << "25122008"
                                      << "25/12/2008";
        QTest::newRow("dashes") << "25-12-08"
                                << "25/12/08";
        QTest::newRow("dashes, four-digit year") << "5-1-2008"
                                                 << "5/1/2008";
        QTest::newRow("seven characters") << "2512208"
                                          << "2512208";
        QTest::newRow("one-digit day and month") << "1/2/2008"
                                                 << "1/2/2008";
        QTest::newRow("empty") << ""
                               << "";
    }
    void dateBoxAndLengthLimits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QVERIFY(openForm());
        pick("BIANCHI LUCIA");
        QLineEdit* date = box("Text18");
        date->clear();
        QTest::keyClicks(date, typed);
        QCOMPARE(date->text(), typed);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(date, &out);
        QCOMPARE(date->text(), expected);
        // StrToDate also rewrites its argument.
        QString arg = typed;
        QCOMPARE(Anagrafe::StrToDate(arg), expected);
        QVERIFY(!arg.contains('-'));
    }

    void typingLimitsDoNotCutTheProgramsText()
    {
        env->setCell(kCl, 3, 4, QStringLiteral("17/04/2008")); // ten characters
        form = env->show<Anagrafe>();
        combo = form->findChild<QComboBox*>("Combo1");
        pick("BIANCHI LUCIA");
        QCOMPARE(box("Text18")->text(), QStringLiteral("17/04/2008"));
        const struct {
            const char* box;
            int max;
        } limits[] = {{"Text5", 5}, {"Text7", 2}, {"Text10", 16}, {"Text11", 11}, {"Text18", 10}};
        for (const auto& l : limits) {
            QLineEdit* e = box(l.box);
            e->clear();
            QTest::keyClicks(e, "1234567890123456789");
            QCOMPARE(int(e->text().size()), l.max);
        }
        // Modify after the cut: the typed, limited values go to the sheet (with a real date).
        box("Text18")->setText(QStringLiteral("17/04/2008"));
        ModalAnswerer boxes;
        boxes.press("Sì").press("OK");
        item("mnuM")->trigger();
        QCOMPARE(env->cell(kCl, 3, 6).toString(), QStringLiteral("12345"));
        QCOMPARE(env->cell(kCl, 3, 8).toString(), QStringLiteral("12"));
    }

    void leaveAndPrint()
    {
        QVERIFY(openForm());
        {
            // The printing of the register is reached: the sheet is printed
            // (to a PDF file here, when the system has no printer) and the
            // printing routine reports it.
            if (printing::currentPrinter() == printing::kPdfPrinter) {
                const QString pdf = env->ctx.folder + QStringLiteral("/clienti.pdf");
                printing::installPrinting(env->ctx)->setPdfPathProvider([pdf](QWidget*) { return pdf; });
                ModalAnswerer boxes;
                boxes.press("OK");
                item("MnStampa")->trigger();
                QVERIFY(boxes.waitForBoxes(1));
                QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Anagrafica 2008"));
                QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));
                QVERIFY(QFileInfo(pdf).size() > 0);
            }
        }
        pick("BIANCHI LUCIA");
        item("mnuEsci")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env->nav->isLoaded(clients::Anagrafe::kName));
        QVERIFY(env->nav->form(env->nav->mainMenuName())->isVisible());
        // A new instance starts afresh with the full list.
        form = env->show<Anagrafe>();
        combo = form->findChild<QComboBox*>("Combo1");
        QCOMPARE(combo->count(), 24);
        QVERIFY(combo->isEnabled());
    }

    void emptyNameIsRefused()
    {
        QVERIFY(openForm());
        pick(QStringLiteral("BIANCHI LUCIA")); // row 3
        // Blanks only are no name either.
        for (const QString& name : {QString(), QStringLiteral("   ")}) {
            form->fields()->setText(QStringLiteral("Text1"), name);
            QCOMPARE(titlesAndTexts(modify({"OK"})),
                     QStringList({::box("Gestione Pratiche", "Il nome del Cliente non può essere vuoto.")}));
        }
        QCOMPARE(env->tableLength(kCl, 2), 24);

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(cell('Clienti', 'B3'), cell('Clienti', 'B25'))\n")),
                 QStringLiteral("BIANCHI LUCIA ROSSI MARIO\n"));
    }

    void clientDateKeepsItsYearAndMustExist()
    {
        QVERIFY(openForm());
        pick(QStringLiteral("BIANCHI LUCIA"));
        QLineEdit* date = form->fields()->line(QStringLiteral("Text18"));
        date->clear();
        QTest::keyClicks(date, QStringLiteral("31-02-2024"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(date, &out);
        QCOMPARE(date->text(), QStringLiteral("31/02/2024"));
        const QString before = env->cell(kCl, 3, 4).toString();
        QCOMPARE(titlesAndTexts(modify({"OK"})),
                 QStringList({::box("Gestione Pratiche", "La data 31/02/2024 nel campo Data non è valida.")}));
        QCOMPARE(env->cell(kCl, 3, 4).toString(), before);

        date->clear();
        QTest::keyClicks(date, QStringLiteral("12102008"));
        QCOMPARE(date->text(), QStringLiteral("12102008"));
        // Stored without leaving the box: rewritten all the same.
        QCOMPARE(modify({"Sì", "OK"}).at(1).text, QStringLiteral("Cliente Modificato"));

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(repr(cell('Clienti', 'D3')))\n")), QStringLiteral("'12/10/2008'\n"));
    }

    void newClientNeverOverTheHeadings()
    {
        env->setCell(kCl, 1, 1, QVariant()); // "ID Progressivo" gone
        QCOMPARE(addClient(QStringLiteral("NUOVO")).at(1).text, QStringLiteral("Cliente Aggiunto"));
        QCOMPARE(env->cell(kCl, 26, 2).toString(), QStringLiteral("NUOVO"));
        QCOMPARE(env->cell(kCl, 26, 1), QVariant(25.0));
        QCOMPARE(env->cell(kCl, 1, 2).toString(), QStringLiteral("Ragione Sociale/Cognome-Nome"));
        // Where the list shows it.
        QCOMPARE(clients::clientNames(env->book()).back().name, QStringLiteral("NUOVO"));

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(cell('Clienti', 'B1'), cell('Clienti', 'A26'), "
                                            "cell('Clienti', 'B26'))\n")),
                 QStringLiteral("Ragione Sociale/Cognome-Nome 25.0 NUOVO\n"));
    }

    void newClientRefusedBelowABrokenRow()
    {
        // A row with a name but no number: the clients after it are out of reach.
        env->setCell(kCl, 10, 1, QVariant());
        auto seen = addClient(QStringLiteral("NUOVO"));
        QCOMPARE(int(seen.size()), 2);
        QCOMPARE(titlesAndTexts(seen)[1],
                 ::box("Gestione Pratiche",
                       "La riga 10 del foglio Clienti non è vuota ma "
                       "non ha il numero: correggerla prima di aggiungere."));
        QCOMPARE(env->cell(kCl, 1, 25), QVariant(24.0)); // Y1 untouched
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
        QCOMPARE(env->tableLength(kCl, 2), 24); // the names as they were

        // A numbered row without a name ends the lists of names: refused too.
        env->setCell(kCl, 10, 1, 9.0);
        env->setCell(kCl, 12, 2, QVariant());
        QCOMPARE(addClient(QStringLiteral("NUOVO")).at(1).text,
                 QStringLiteral("La riga 12 del foglio Clienti non ha il nome del Cliente: "
                                "correggerla prima di aggiungere."));
        QVERIFY(env->sheet(kCl).cells(26, 1).isEmpty());
    }

    void pasteIsCutToTheLimit()
    {
        QVERIFY(openForm());
        pick(QStringLiteral("BIANCHI LUCIA"));
        QLineEdit* cap = form->fields()->line(QStringLiteral("Text5")); // C.A.P., 5 characters
        cap->clear();
        QApplication::clipboard()->setText(QStringLiteral("001234567"));
        QTest::keyClick(cap, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        // A full box takes no more keys; a shortened one takes what fits.
        QTest::keyClicks(cap, QStringLiteral("9"));
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        cap->setCursorPosition(1);
        QTest::keyClick(cap, Qt::Key_Delete);
        QTest::keyClick(cap, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        // Text the program puts in (in an event of its own) is never cut.
        QCoreApplication::processEvents();
        cap->setText(QStringLiteral("1234567"));
        QCOMPARE(cap->text(), QStringLiteral("1234567"));
        // The date box takes ten characters: a pasted date keeps its year.
        QLineEdit* date = form->fields()->line(QStringLiteral("Text18"));
        date->clear();
        QApplication::clipboard()->setText(QStringLiteral("12/10/2008 ore 9"));
        QTest::keyClick(date, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(date->text(), QStringLiteral("12/10/2008"));
    }
};

QTEST_MAIN(TestAnagrafe)
#include "test_anagrafe.moc"
