// The case form on small workbooks written for the case: case numbers typed
// with blanks or leading zeros, numbers stored as text, the error report of
// archiving and deleting (three boxes, the workbook saved and still usable),
// the no-client branch of "&Assegna  Numero Pratica", a table with a gap, and
// the backup copy of the utilities window.
#include "app/program.h"
#include "cases/register_forms.h"
#include "clients/anagrafe.h"
#include "common/practice.h"
#include "search/register_forms.h"

#include "cases/case_form.h"
#include "cases/utilities_form.h"
#include "common/boxes_seen.h"

#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;
using gp::cases::Form4;

namespace {
// Picks the entry at `index` of the case list as the user would.
void pick(TestPractice& env, int index) { pickEntry(env.control<QComboBox>(gp::cases::Form4::kName, "Combo1"), index); }
const QString kPr = QStringLiteral("Pratica");
const QString kCl = QStringLiteral("Clienti");
const QStringList kAllSheets = {"Clienti", "Pratica", "Storico", "Spese", "Codice", "S"};

// Clients 1 and 2; case 12 stored as a number (M filled), case 7 as the text "007", case 30.
void fillSmall(TestPractice& env)
{
    const std::tuple<QString, int, int, QVariant> cells[] = {
        {kCl, 2, 1, 1.0},  {kCl, 2, 2, "VERDI ANNA"}, {kCl, 3, 1, 2.0},          {kCl, 3, 2, "NERI LUIGI"},
        {kPr, 2, 1, 12.0}, {kPr, 2, 2, 1.0},          {kPr, 2, 13, "RISERVATO"}, {kPr, 3, 1, "007"},
        {kPr, 3, 2, 2.0},  {kPr, 4, 1, 30.0},         {kPr, 4, 2, 2.0},          {"Codice", 1, 10, "AVV. UNO"}};
    for (const auto& [sheet, row, col, value] : cells)
        env.setCell(sheet, row, col, value);
}

// The three boxes of an error report from `first` on: number, description naming `sheet`, source.
void checkErrorReport(const std::vector<SeenBox>& seen, size_t first, const QString& sheet, const QString& source)
{
    QCOMPARE(seen.size(), first + 3);
    QCOMPARE(titlesAndTexts(seen)[int(first)], box("Dorvessa", "errore numero: 1004"));
    QCOMPARE(seen[first].buttons, QStringList({"OK"}));
    QCOMPARE(seen[first + 1].title, QStringLiteral("Dorvessa"));
    QVERIFY(seen[first + 1].text.startsWith(QStringLiteral("descrizione: ")));
    QVERIFY(seen[first + 1].text.contains(sheet));
    QCOMPARE(titlesAndTexts(seen)[int(first + 2)], box("Dorvessa", "sorgente dell'errore: " + source));
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
} // namespace

class TestCasePaths : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;
    QComboBox* combo(const char* n) { return env->control<QComboBox>(cases::Form4::kName, n); }
    QLineEdit* text(const char* n) { return env->control<QLineEdit>(cases::Form4::kName, n); }
    QPushButton* button(const char* n) { return env->control<QPushButton>(cases::Form4::kName, n); }
    std::vector<SeenBox> click(const char* name, std::initializer_list<const char*> answers)
    {
        return answered(answers, [&] { button(name)->click(); });
    }
    const QString kModified = QStringLiteral("Pratica modificata.................................");
    // Types a case number into the list box and confirms it with Enter.
    void enterCase(const QString& number)
    {
        combo("Combo1")->clearEditText();
        QTest::keyClicks(combo("Combo1"), number);
        QTest::keyClick(combo("Combo1"), Qt::Key_Return);
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->fixClock(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
        cases::registerForms(env->ctx);
        search::registerForms(env->ctx);
    }
    void cleanup() { env.reset(); }

    void numericMatchingOfTypedNumbers()
    {
        env->createSmall(kAllSheets);
        fillSmall(*env);
        env->show<cases::Form4>();
        QCOMPARE(combo("Combo1")->count(), 3);
        QCOMPARE(combo("Combo1")->itemText(1), QStringLiteral("  007   "));
        for (const QString& typed : {QStringLiteral(" 12 "), QStringLiteral("012")}) {
            // Typed and confirmed: the case of that number is shown, then stored.
            enterCase(typed);
            QCOMPARE(text("Text9")->text(), QStringLiteral("VERDI ANNA"));
            text("Text5")->setText(QStringLiteral("oggetto ") + typed.trimmed());
            QCOMPARE(click("Command2", {"Sì", "OK"}).at(1).text, kModified);
            QCOMPARE(env->cell(kPr, 2, 10).toString(), QStringLiteral("OGGETTO ") + typed.trimmed());
            QCOMPARE(env->cell(kPr, 2, 1), QVariant(12.0)); // A untouched
            QCOMPARE(env->cell(kPr, 2, 13).toString(), QStringLiteral("RISERVATO"));
        }
        // A case number stored as text is the same number; its fields go back into its row.
        enterCase(QStringLiteral("7"));
        QCOMPARE(text("Text9")->text(), QStringLiteral("NERI LUIGI"));
        click("Command2", {"Sì", "OK"});
        QCOMPARE(env->cell(kPr, 3, 14).toString(), QStringLiteral("*"));
        QCOMPARE(env->cell(kPr, 3, 1).toString(), QStringLiteral("007"));
        QCOMPARE(env->cell(kPr, 3, 2), QVariant(2.0));
        // Picking "  007   " reads row 3.
        env->nav->hide(cases::Form4::kName);
        env->show<cases::Form4>();
        pick(*env, 1);
        QCOMPARE(text("Text9")->text(), QStringLiteral("NERI LUIGI"));
        // A gap after the first case ends the list.
        env->setCell(kPr, 3, 1, QString());
        qobject_cast<cases::Form4*>(env->form(cases::Form4::kName))->rebuildLists(); // as on activation
        QCOMPARE(combo("Combo1")->count(), 1);
        QCOMPARE(combo("Combo1")->itemText(0), QStringLiteral("   12   "));
    }

    void deleteErrorReportsThreeBoxesAndSaves()
    {
        env->createSmall({"Clienti", "Pratica", "Storico", "Codice", "S"}); // no "Spese"
        fillSmall(*env);
        env->book().save();
        env->show<cases::Form4>();
        pick(*env, 2); // case 30
        const auto seen = click("Command3", {"No", "Sì", "OK", "Sì", "OK", "OK", "OK"});
        QCOMPARE(seen[2].text, QStringLiteral("Pratica    30      Eliminata"));
        checkErrorReport(seen, 4, "Spese", "Form4.Elimina");
        // The form stays as it was at the error; what was written is saved.
        QVERIFY(env->form(cases::Form4::kName)->isVisible());
        QVERIFY(!env->book().modified());
        env->reopen();
        QCOMPARE(env->tableLength(kPr), 2);
        QCOMPARE(env->cell(kPr, 2, 1), QVariant(12.0));
        QCOMPARE(env->cell(kPr, 3, 1).toString(), QStringLiteral("007"));
        // The program goes on: the next command works on the open workbook.
        env->nav->hide(cases::Form4::kName);
        env->show<cases::Form4>();
        pick(*env, 0);
        QCOMPARE(click("Command2", {"Sì", "OK"}).at(1).text, kModified);
        QCOMPARE(env->cell(kPr, 2, 14).toString(), QStringLiteral("*"));
    }

    void archiveErrorWithoutArchiveSheet()
    {
        env->createSmall({"Clienti", "Pratica", "Spese", "Codice", "S"}); // no "Storico"
        fillSmall(*env);
        env->show<cases::Form4>();
        pick(*env, 0);
        checkErrorReport(click("Command4", {"Sì", "OK", "OK", "OK"}), 1, "Storico", "Form4.Storicizza");
        QVERIFY(!env->book().modified()); // saved
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("12"));
    }

    void assignWithoutClients()
    {
        env->createSmall(kAllSheets);
        app::registerAllForms(env->ctx);
        env->setCell(kPr, 2, 1, 5.0);
        env->show<cases::Form4>();
        pick(*env, 0);
        ModalAnswerer boxes;
        boxes.press("OK").press("OK");
        env->form(cases::Form4::kName)->findChild<QAction*>("MnAgg")->trigger();
        // The client form opens instead, and says that there are no clients.
        QVERIFY(boxes.waitForBoxes(2));
        QCOMPARE(titlesAndTexts(boxes.seen()),
                 QStringList({box("Gestione Pratiche",
                                  "Operazione Annullata , non puoi  assegnare una pratica senza aver registrato prima "
                                  "un Cliente  nella Gestione Anagrafica ...."),
                              box("Gestione Pratiche",
                                  "Non ci sono Clienti Registrati in Anagrafica , occorre  "
                                  "utilizzare: AGGIUNGI CLIENTE ")}));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Information);
        QVERIFY(env->nav->form(clients::Anagrafe::kName)->isVisible());
        QVERIFY(!env->form(cases::Form4::kName)->isVisible());
        // Nothing written, the form not emptied.
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("5"));
        QCOMPARE(env->tableLength(kPr), 1);
    }

    void backupAndRestore()
    {
        SKIP_WITHOUT_FIXTURE(env->openFixture());
        env->setCell(kCl, 2, 17, QStringLiteral("MODIFICA NON SALVATA"));
        QTemporaryDir target;
        auto* form = qobject_cast<cases::UtilitiesForm*>(env->show(cases::UtilitiesForm::kName));
        QVERIFY(form);
        QStringList written;
        QCOMPARE(answered({"OK"}, [&] { written = form->backupTo(target.path()); }).at(0).title,
                 QStringLiteral("Gestione Pratiche"));
        QCOMPARE(written.size(), 2);
        QCOMPARE(QFileInfo(written[0]).fileName(), QStringLiteral("Pratiche 2026-03-14.xls"));
        QCOMPARE(QFileInfo(written[1]).fileName(), QStringLiteral("Dorvessa 2026-03-14.xls"));
        // The changes were saved first, so the copy is the workbook as it is now.
        QVERIFY(!env->book().modified());
        QCOMPARE(digest(written[0]), digest(env->ctx.path("Pratiche.xls")));
        QCOMPARE(digest(written[1]), digest(env->ctx.path("Dorvessa.xls")));
        // A second copy the same day never overwrites the first.
        answered({"OK"}, [&] { written = form->backupTo(target.path()); });
        QCOMPARE(written.size(), 2);
        QCOMPARE(QFileInfo(written[0]).fileName(), QStringLiteral("Pratiche 2026-03-14 09.30.05.xls"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 4);
        // A folder that does not exist.
        QCOMPARE(answered({"OK"}, [&] { written = form->backupTo(target.path() + "/manca"); }).at(0).icon,
                 QMessageBox::Critical);
        QVERIFY(written.isEmpty());

        QCOMPARE(form->findChild<QPushButton*>("Command4")->text(), QStringLiteral("&Ripristina"));
        // The backup saved first, the first save of the day: its dated copy stays the day's.
        env->setCell(kCl, 2, 17, QStringLiteral("DOPO"));
        answered({"OK"}, [&] { form->saveNow(); }); // "Archivi salvati."
        const QString bakTime
            = QFileInfo(env->ctx.path("Pratiche.xls.bak")).lastModified().toString("dd/MM/yyyy HH:mm");
        QCOMPARE(
            form->copyLabels(),
            QStringList({"Pratiche.xls - copia del 14/03/2026", "Pratiche.xls - copia di sicurezza del " + bakTime}));

        // "No": nothing happens.
        bool restored = true;
        auto seen = answered({"No"}, [&] { restored = form->restoreCopy(0); });
        QVERIFY(!restored);
        QCOMPARE(seen.at(0).text,
                 QStringLiteral("Ripristinare Pratiche.xls dalla copia del 14/03/2026?\n"
                                "La versione attuale sarà conservata come copia nella cartella Copie."));
        QCOMPARE(seen.at(0).buttons, QStringList({"Sì", "No"}));
        QCOMPARE(env->cell(kCl, 2, 17), QVariant(QStringLiteral("DOPO")));

        seen = answered({"Sì", "OK"}, [&] { restored = form->restoreCopy(0); });
        QVERIFY(restored);
        QCOMPARE(seen.at(1).text, QStringLiteral("Pratiche.xls ripristinato dalla copia del 14/03/2026."));
        QCOMPARE(env->cell(kCl, 2, 17), QVariant(QStringLiteral("MODIFICA NON SALVATA"))); // reopened from the copy
        QVERIFY(!env->book().modified());
        // The version replaced is one more dated copy.
        SavedBook kept(env->ctx.path("Copie/Pratiche 2026-03-14 09.30.05.xls"), QStringLiteral("Tesm4061"));
        QVERIFY(kept.book);
        QCOMPARE(kept.sheet(kCl)->cells(2, 17).value(), QVariant(QStringLiteral("DOPO")));
        QCOMPARE(form->copyLabels().first(), QStringLiteral("Pratiche.xls - copia del 14/03/2026 09:30"));
    }
};

QTEST_MAIN(TestCasePaths)
#include "test_case_paths.moc"
