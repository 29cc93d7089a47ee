// The client form on a copy of the practice's data: the choice by name, modify,
// the delete cascade, which box has which input rule, and every box shown.
#include "common/practice.h"

#include "clients/anagrafe.h"
#include "clients/client_fields.h"
#include "common/boxes_seen.h"
#include "common/xls_readback.h"
#include "core/ui/clock.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

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

    void formControlsAndLeaving()
    {
        QVERIFY(openForm());
        QCOMPARE(form->objectName(), clients::Anagrafe::kName);
        QCOMPARE(form->windowTitle(), QStringLiteral("Anagrafica "));
        QStringList captions;
        for (const char* n : {"mnuM", "MnuE", "MnAgg", "mnuP", "MenAltri", "mnuEsci", "MnStampa"})
            captions << (item(n) ? item(n)->text() : QStringLiteral("(missing)"));
        QCOMPARE(captions,
                 QStringList({"Modifica Cliente", "Elimina Cliente", "&Aggiungi Cliente", "&Pulisci i campi",
                              "Altri &dati", "&Esci", "&Stampa Elenco Clienti"}));
        QVERIFY(box("Text2")->isReadOnly());
        // The clock writes "Ore..." and the time.
        ui::Clock::setFixed(QDateTime(QDate(2026, 3, 4), QTime(9, 5, 7)));
        QTRY_COMPARE(box("Text17")->text(), ui::clockText(QTime(9, 5, 7)));
        QVERIFY(box("Text17")->text().startsWith(QStringLiteral("Ore...")));
        QVERIFY(!form->close() && form->isVisible());
        QCOMPARE(titlesAndTexts(answered({"OK"}, [this] { item("MenAltri")->trigger(); })),
                 QStringList({::box("Gestione Pratica", " Funzione ancora in Progettazione ")}));
        // The list: alphabetical, the two ROSSI MARIO told apart by their numbers.
        QCOMPARE(combo->count(), 24);
        QCOMPARE(combo->itemText(0), QStringLiteral("BARBIERI NICOLA"));
        QCOMPARE(combo->itemText(indexOfName("ROSSI MARIO", 0)), QStringLiteral("ROSSI MARIO (n. 1)"));
        QCOMPARE(combo->itemText(indexOfName("ROSSI MARIO", 1)), QStringLiteral("ROSSI MARIO (n. 24)"));
        QCOMPARE(indexOfName("ROSSI MARIO", 1), indexOfName("ROSSI MARIO", 0) + 1);
        QVERIFY(combo->isEnabled() && !box("Text1")->isEnabled()); // no client picked

        pick("ROSSI MARIO", 1);
        QCOMPARE(box("Text2")->text(), QStringLiteral("24"));
        QCOMPARE(box("Text1")->text(), QStringLiteral("ROSSI MARIO"));
        QVERIFY(!combo->isEnabled() && box("Text1")->isEnabled()); // a client picked

        item("mnuP")->trigger();
        QCOMPARE(box("Text2")->text(), QString());
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->count(), 24);
        pick("ROSSI MARIO", 0);
        QCOMPARE(box("Text2")->text(), QStringLiteral("1"));
        // Texts with leading zeros come back as typed.
        item("mnuP")->trigger();
        pick("BIANCHI LUCIA");
        QCOMPARE((QStringList{box("Text5")->text(), box("Text11")->text(), box("Text18")->text(),
                              form->findChild<QPlainTextEdit*>("Text12")->toPlainText()}),
                 QStringList({"00184", "09623574309", "17/04/08", "NOTE, CON VIRGOLE; E \"VIRGOLETTE\""}));
        // "&Esci", a client picked, unloads the form for the main menu.
        item("mnuEsci")->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env->nav->isLoaded(clients::Anagrafe::kName) && env->nav->form(env->nav->mainMenuName())->isVisible());
        // A new instance starts afresh with the full list.
        QVERIFY(openForm());
        QCOMPARE(combo->count(), 24);
        QVERIFY(combo->isEnabled());
    }

    void gapInNamesAndEmptyRegister()
    {
        env->setCell(kCl, 5, 2, QVariant()); // a gap in column B at row 5
        auto* f = env->show<Anagrafe>();
        auto* c = f->findChild<QComboBox*>("Combo1");
        QCOMPARE(c->count(), 3);
        QCOMPARE((QStringList{c->itemText(0), c->itemText(1), c->itemText(2)}),
                 QStringList({"BIANCHI LUCIA", "CITTÀ DI ROMA S.P.A.", "ROSSI MARIO"}));
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
        env->setCell(kCl, 8, 1, QStringLiteral("7")); // RUSSO ANNA MARIA, number 7 as text
        QVERIFY(openForm());
        // Nothing picked: the error, nothing written.
        checkBox(modify({"OK"}).at(0), "Gestione Pratiche",
                 " ERRORE- Il Cliente deve essere prima inserito nella Maschera -Assegnazione/Pratica/Cliente ....");
        checkBox(erase({"OK"}).at(0), "Gestione Pratiche", "Seleziona un Cliente !!", QMessageBox::Information);

        pick("BIANCHI LUCIA");
        const QStringList values = QStringLiteral("2|BIANCHI LUCIA SRL|C9|01/02/2003|VIA ROMA 1|00100|ROMA|RM|06 123||"
                                                  "333 1|a@b.it|BNCLCU80A01H501Z|01234567890|DOTT. VERDI|"
                                                  "RIGA UNO\nRIGA DUE|ALTRE")
                                       .split(QLatin1Char('|'));
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
        QVERIFY(combo->isEnabled() && !box("Text1")->isEnabled()); // no client picked
        QCOMPARE(box("Text2")->text(), QString());
        // The second of two equal names writes its own row.
        pick("ROSSI MARIO", 1);
        box("Text6")->setText("PARMA");
        modify({"Sì", "OK"});
        QCOMPARE(env->cell(kCl, 25, 7).toString(), QStringLiteral("PARMA"));
        QCOMPARE(env->cell(kCl, 2, 7).toString(), QStringLiteral("BOLOGNA"));
        // A number stored as text matches, and is written back as a number.
        pick("RUSSO ANNA MARIA");
        QCOMPARE(box("Text2")->text(), QStringLiteral("7"));
        box("Text4")->setText("PIAZZA GRANDE 1");
        modify({"Sì", "OK"});
        QCOMPARE(env->cell(kCl, 8, 5).toString(), QStringLiteral("PIAZZA GRANDE 1"));
        QCOMPARE(env->cell(kCl, 8, 1), QVariant(7.0));
        // A client deleted behind the form: modify and delete find nothing and change nothing.
        pick("GRECO ELENA"); // number 11, row 12
        env->sheet(kCl).rows(12, 12).deleteEntireRow();
        const QString before = env->cell(kCl, 12, 2).toString();
        auto gone = modify({"Sì", "OK"});
        QCOMPARE(gone.size(), size_t(2));
        checkBox(gone[1], "Gestione Pratiche",
                 "Il Cliente n. 11 non è presente in Anagrafica: nessuna modifica è stata registrata.",
                 QMessageBox::Warning);
        QCOMPARE(env->cell(kCl, 12, 2).toString(), before);
        QCOMPARE(env->tableLength(kCl, 1), 23);

        // Delete: the same client is not found; nothing else is asked or deleted.
        pick("GRECO ELENA");
        const int cases = env->tableLength(kPr, 1);
        gone = erase({"Sì", "OK"});
        QCOMPARE(gone.size(), size_t(2));
        checkBox(gone[1], "Gestione Pratiche",
                 "Il Cliente n. 11 non è presente in Anagrafica: non è stato eliminato nulla.", QMessageBox::Warning);
        QCOMPARE(env->tableLength(kCl, 1), 23);
        QCOMPARE(env->tableLength(kPr, 1), cases);
    }

    // Each row answers the delete questions differently; every question seen defaults to No.
    void deleteCascade_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<bool>("noCases"); // "Pratica" empty: left before the expenses are asked
        QTest::newRow("yes to all") << QStringList({"Sì", "OK", "Sì", "OK", "Sì"}) << false;
        QTest::newRow("no to cases") << QStringList({"Sì", "OK", "No"}) << false;
        QTest::newRow("no to expenses") << QStringList({"Sì", "OK", "Sì", "OK", "No"}) << false;
        QTest::newRow("no cases at all") << QStringList({"Sì", "OK", "Sì"}) << true;
    }
    void deleteCascade()
    {
        QFETCH(QStringList, answers);
        QFETCH(bool, noCases);
        const double client = 12;
        // An expense of the client without "ID Oper", on the first row: the sheet is not empty for all that.
        env->setCell(kSp, 2, 1, QVariant());
        env->setCell(kSp, 2, 3, client);
        env->setCell(kPr, 5, 2, QStringLiteral("12")); // a number stored as text still matches
        if (noCases)
            env->setCell(kPr, 2, 1, QVariant());
        QVERIFY(openForm());
        const int cases = env->tableLength(kPr, 1), expenses = env->tableLength(kSp, 3);
        const int ownCases = env->countRows(kPr, 1, 2, client), ownExpenses = env->countRows(kSp, 3, 3, client);
        QVERIFY(ownExpenses >= 3 && (ownCases >= 3) != noCases);
        pick("BRUNO PAOLO");
        QCOMPARE(box("Text2")->text(), QStringLiteral("12"));
        ModalAnswerer boxes;
        for (const QString& a : answers)
            boxes.press(a);
        item(QStringLiteral("MnuE"))->trigger();
        const auto& seen = boxes.seen();
        const QString t = QStringLiteral("Gestione Pratiche");
        const QStringList all = {::box(t, "Si vuole Eliminare il Cliente Selezionato ?"),
                                 ::box(" " + t, "Cliente    BRUNO PAOLO      Eliminato"),
                                 ::box(t, "Si vuole eliminare le Pratiche   associate al Cliente  ?"),
                                 ::box(" " + t, "Pratica  associata al Cliente Eliminata"),
                                 ::box(t, "Si vuole Eliminare le Spese  Associate al Cliente  ?")};
        QCOMPARE(titlesAndTexts(seen), all.mid(0, answers.size()));
        QCOMPARE(defaultButtons(seen), QStringList({"No", "OK", "No", "OK", "No"}).mid(0, answers.size()));
        for (size_t i = 0; i < seen.size(); ++i)
            QCOMPARE(seen[i].icon, i == 1 ? QMessageBox::Information : QMessageBox::NoIcon);
        if (seen.size() == 5)
            QCOMPARE(seen[4].buttons, QStringList({"Sì", "No"}));

        const bool casesGone = answers.size() > 2 && answers[2] == QStringLiteral("Sì");
        const bool expensesGone = answers.size() > 4 && answers[4] == QStringLiteral("Sì");
        QCOMPARE(env->tableLength(kCl, 1), 23);
        QCOMPARE(env->sheet(kCl).findIdentifier(1, client), 0);
        QCOMPARE(env->countRows(kPr, 1, 2, client), casesGone ? 0 : ownCases);
        QCOMPARE(env->tableLength(kPr, 1), cases - (casesGone ? ownCases : 0));
        QCOMPARE(env->countRows(kSp, 3, 3, client), expensesGone ? 0 : ownExpenses);
        QCOMPARE(env->tableLength(kSp, 3), expenses - (expensesGone ? ownExpenses : 0));
        // The other clients and cases keep their rows, in order.
        QCOMPARE(env->cell(kCl, 13, 2).toString(), QStringLiteral("GALLO CATERINA"));
        if (!noCases)
            QCOMPARE(env->cell(kPr, 2, 1), QVariant(101.0));
        // Stopped by a No or by no cases, the form is left for the main menu, emptied.
        if (expensesGone)
            return;
        QVERIFY(!form->isVisible() && env->nav->form(env->nav->mainMenuName())->isVisible());
        QCOMPARE(combo->count(), 0);
        QCOMPARE(box("Text1")->text(), QString());
    }

    // The rules themselves (capitals, the date rule, typing limits) are tested on
    // plain boxes in the text-rule tests; here, which box of the form has which.
    void inputRules()
    {
        env->setCell(kCl, 3, 4, QStringLiteral("17/04/2008")); // ten characters
        QVERIFY(openForm());
        pick("BIANCHI LUCIA");
        QCOMPARE(box("Text18")->text(), QStringLiteral("17/04/2008")); // the program's text is never cut
        const auto paste = [](QLineEdit* line, const QString& clip) {
            QApplication::clipboard()->setText(clip);
            QTest::keyClick(line, Qt::Key_V, Qt::ControlModifier);
        };
        // A paste is cut to the box's limit (C.A.P., 5), also into a shortened box.
        QLineEdit* cap = box("Text5");
        cap->clear();
        paste(cap, QStringLiteral("001234567"));
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        cap->setCursorPosition(1);
        QTest::keyClick(cap, Qt::Key_Delete);
        paste(cap, QStringLiteral("001234567"));
        QCOMPARE(cap->text(), QStringLiteral("00123"));
        // The date box takes ten characters: a pasted date keeps its year.
        QLineEdit* date = box("Text18");
        date->clear();
        paste(date, QStringLiteral("12/10/2008 ore 9"));
        QCOMPARE(date->text(), QStringLiteral("12/10/2008"));
        // It has the date rule on leaving.
        date->clear();
        QTest::keyClicks(date, "25-12-08");
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(date, &out);
        QCOMPARE(date->text(), QStringLiteral("25/12/08"));

        // Capitals on the name and the town (also through an input method), not on the e-mail.
        box("Text1")->clear();
        QTest::keyClicks(box("Text1"), "rossi");
        box("Text6")->clear();
        box("Text6")->insert(QStringLiteral("forlì"));
        box("Text16")->clear();
        QTest::keyClicks(box("Text16"), "studio@Esempio.it");
        QCOMPARE(QStringList({box("Text1")->text(), box("Text6")->text(), box("Text16")->text()}),
                 QStringList({"ROSSI", "FORLÌ", "studio@Esempio.it"}));

        // Typing limits; then modify: the typed, limited values go to the sheet.
        const struct {
            const char* box;
            int max;
        } limits[] = {{"Text5", 5}, {"Text7", 2}, {"Text10", 16}, {"Text11", 11}, {"Text18", 10}};
        for (const auto& l : limits) {
            box(l.box)->clear();
            QTest::keyClicks(box(l.box), "1234567890123456789");
            QCOMPARE(int(box(l.box)->text().size()), l.max);
        }
        date->setText(QStringLiteral("17/04/2008"));
        modify({"Sì", "OK"});
        QCOMPARE(QStringList({env->cell(kCl, 3, 2).toString(), env->cell(kCl, 3, 6).toString(),
                              env->cell(kCl, 3, 7).toString(), env->cell(kCl, 3, 8).toString()}),
                 QStringList({"ROSSI", "12345", "FORLÌ", "12"}));
    }

    void emptyNameOrNoSuchDayIsRefused()
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
        form->fields()->setText(QStringLiteral("Text1"), QStringLiteral("BIANCHI LUCIA"));

        QLineEdit* date = box("Text18");
        date->clear();
        QTest::keyClicks(date, QStringLiteral("31-02-2024"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(date, &out);
        QCOMPARE(date->text(), QStringLiteral("31/02/2024"));
        const QString before = env->cell(kCl, 3, 4).toString();
        QCOMPARE(titlesAndTexts(modify({"OK"})),
                 QStringList({::box("Gestione Pratiche", "La data 31/02/2024 nel campo Data non è valida.")}));
        QCOMPARE(env->cell(kCl, 3, 4).toString(), before);
        // Stored without leaving the box: rewritten all the same, the year kept.
        date->clear();
        QTest::keyClicks(date, QStringLiteral("12102008"));
        QCOMPARE(date->text(), QStringLiteral("12102008"));
        QCOMPARE(modify({"Sì", "OK"}).at(1).text, QStringLiteral("Cliente Modificato"));

        SKIP_WITHOUT_XLRD();
        QCOMPARE(saveAndRead(QStringLiteral("print(cell('Clienti', 'B3'), cell('Clienti', 'B25'), "
                                            "repr(cell('Clienti', 'D3')))\n")),
                 QStringLiteral("BIANCHI LUCIA ROSSI MARIO '12/10/2008'\n"));
    }
};

QTEST_MAIN(TestAnagrafe)
#include "test_anagrafe.moc"
