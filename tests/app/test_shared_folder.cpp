// The program on a folder shared with other people: a workbook someone else
// holds is consulted read-only through the real forms, its lock can be taken
// over after a second question, and a file changed behind the program's back
// is never overwritten.
#include "app/main_menu.h"
#include "app/program.h"
#include "cases/case_form.h"
#include "cases/utilities_form.h"
#include "clients/anagrafe.h"
#include "core/host/lock_file.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/clock.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "instructions/istruzioni.h"
#include "search/search_form.h"

#include "common/boxes_seen.h"
#include "common/practice.h"
#include "common/xls_readback.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace gp;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kTheirLock("Mario Rossi,mrossi,STUDIO-PC,06.12.2026 09:15,;");
const QString kTitle = u"Gestione Pratiche"_s;
const QString kRefusal = u"Pratiche.xls è aperta in sola lettura: nessuna modifica è possibile."_s;

// The boxes `act` shows, answered with `answers`, are as many as the answers
// and the last is the refusal of a workbook open read-only.
void expectRefused(std::initializer_list<const char*> answers, const std::function<void()>& act)
{
    const std::vector<SeenBox> seen = answered(answers, act);
    QVERIFY2(seen.size() == answers.size(), qPrintable(titlesAndTexts(seen).join(u" | "_s)));
    QCOMPARE(box(seen.back().title, seen.back().text), box(kTitle, kRefusal));
    QCOMPARE(seen.back().icon, QMessageBox::Critical);
}

// The choice the start-up offers for a workbook held by Mario Rossi, and the menu's notice of it.
QString inUse(const QString& file)
{
    return box(kTitle,
               u"La cartella di lavoro %1 è in uso da Mario Rossi (STUDIO-PC) dal 06/12/2026 09:15."_s.arg(file));
}
QString notice(const QString& file) { return u"Sola lettura: %1 è in uso da Mario Rossi (STUDIO-PC)"_s.arg(file); }

void click(QWidget* f, const char* button) { QTest::mouseClick(child<QPushButton>(f, button), Qt::LeftButton); }
void setA1(app::Program& p, const QVariant& v)
{
    p.context().practice()->sheet(u"Foglio1"_s)->range(u"A1"_s).setValue(v);
}
QVariant savedA1(const QString& path)
{
    return SavedBook(path, ui::kPracticePassword).sheet(u"Foglio1"_s)->range(u"A1"_s).value();
}
QString practiceIn(const QTemporaryDir& dir) { return QDir(dir.path()).filePath(ui::kPracticeFile); }

} // namespace

class TestSharedFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ui::setItalianLocale(); }
    void cleanup() { ui::Clock::clear(); }

    void readOnlyWorkbook_data()
    {
        QTest::addColumn<QString>("held");
        QTest::newRow("Pratiche.xls, consulted through the forms") << ui::kPracticeFile;
        QTest::newRow("Dorvessa.xls, on its own") << ui::kDeadlineFile;
    }

    // A held workbook is opened read-only at the user's choice (asked at the start for the practice, at the login
    // for the agenda), said so on the menu, and never written; the other one is handled on its own.
    void readOnlyWorkbook()
    {
        QFETCH(QString, held);
        const bool practiceHeld = held == ui::kPracticeFile;
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
        const QString path = QDir(dir.path()).filePath(held);
        const QString lock = host::lockFilePath(path);
        QVERIFY(writeFile(lock, kTheirLock));
        const QByteArray before = readFile(path);
        const QString instructionsFile = QDir(dir.path()).filePath(u"Istruzioni.txt"_s);
        const QByteArray instructions = readFile(instructionsFile);
        {
            app::Program program;
            ui::Navigator& nav = program.navigator();
            ui::FormBase* menu = nullptr;
            const auto seen = answered({"Sola lettura"}, [&] {
                QVERIFY(program.start(dir.path()));
                menu = logIn(program, u"segreta"_s);
            });
            QTRY_VERIFY(menu && menu->isVisible());
            QCOMPARE(titlesAndTexts(seen), QStringList{inUse(held)});
            QCOMPARE(seen[0].buttons, (QStringList{u"Sola lettura"_s, u"Apri comunque"_s, u"Annulla"_s}));
            auto* label = child<QLabel>(menu, "LabelSolaLettura");
            QVERIFY(label);
            QTRY_COMPARE(label->text(), notice(held));
            QVERIFY(label->isVisible());
            QVERIFY(label->styleSheet().contains(u"color: #c00000"_s));
            QVERIFY(program.context().deadlines());
            QCOMPARE(program.context().practice()->readOnly(), practiceHeld);
            QCOMPARE(program.context().deadlines()->readOnly(), !practiceHeld);
            if (!practiceHeld) {
                setA1(program, u"modificato"_s); // the practice is free: changed and saved
            } else {
                // The client register: shown; changing or deleting a client is
                // refused (no "Eliminato", no cascade questions).
                ui::FormBase* clients = showForm(nav, clients::Anagrafe::kName);
                QVERIFY(clients);
                auto* clientList = child<QComboBox>(clients, "Combo1");
                QTRY_VERIFY(clientList->count() > 1);
                pickEntry(clientList, 1);
                QVERIFY(!child<QLineEdit>(clients, "Text2")->text().isEmpty());
                for (const char* action : {"mnuM", "MnuE"})
                    expectRefused({"Sì", "OK"},
                                  [&] { clients->findChild<QAction*>(QString::fromLatin1(action))->trigger(); });
                nav.hide(clients::Anagrafe::kName);

                // The case form: a case is shown; storing, archiving and deleting are refused.
                ui::FormBase* cases = showForm(nav, cases::Form4::kName);
                QVERIFY(cases);
                auto* caseList = child<QComboBox>(cases, "Combo1");
                QTRY_VERIFY(caseList->count() > 4);
                pickEntry(caseList, 4);
                QVERIFY(!child<QLineEdit>(cases, "Text5")->text().isEmpty());
                expectRefused({"Sì", "OK"}, [&] { click(cases, "Command2"); });
                for (const char* command : {"Command4", "Command3"})
                    expectRefused({"OK"}, [&] { click(cases, command); });

                // The search writes only its work sheet: it works.
                ui::FormBase* search = showForm(nav, search::SearchForm::kName);
                QVERIFY(search);
                child<QLineEdit>(search, "Text1")->setText(u"ROSSI"_s);
                const auto searched = answered({"OK"}, [&] { click(search, "Command2"); });
                QTRY_VERIFY(child<QTreeWidget>(search, "ListView1")->topLevelItemCount() > 0);
                QCOMPARE(titlesAndTexts(searched),
                         QStringList{box(u" Gestione Pratica"_s, u"Ricerca Pratica Conclusa  "_s)});
                nav.hide(search::SearchForm::kName);
                nav.hide(cases::Form4::kName);

                // The instructions: shown, but not saved beside a workbook someone else holds.
                ui::FormBase* help = showForm(nav, instructions::Istruzioni::kName);
                QVERIFY(help);
                help->findChild<QAction*>(u"MnModifica"_s)->trigger();
                expectRefused({"OK"}, [&] { click(help, "Command1"); });
                nav.hide(instructions::Istruzioni::kName);

                // "Salva Ora" does not claim a save it did not make.
                ui::FormBase* utilities = showForm(nav, cases::UtilitiesForm::kName);
                QVERIFY(utilities);
                expectRefused({"OK"}, [&] { click(utilities, "Command1"); });
                nav.unload(cases::UtilitiesForm::kName);
            }
            // Leaving: nothing of the held workbook is written.
            nav.showMainMenu();
            QCOMPARE(titlesAndTexts(answered({}, [&] { click(menu, "CmdEsci"); })), QStringList());
            QVERIFY(program.context().ended);
        }
        QCOMPARE(readFile(path), before);
        QCOMPARE(readFile(lock), kTheirLock);
        QCOMPARE(readFile(instructionsFile), instructions);
        QCOMPARE(QDir(dir.path()).entryList({u"*conflitto*"_s}), QStringList());
        if (!practiceHeld) {
            QVERIFY(!QFile::exists(host::lockFilePath(practiceIn(dir))));
            QCOMPARE(savedA1(practiceIn(dir)), QVariant(u"modificato"_s));
        }
    }

    void openAnywayAsksAgainWithTheLocksAge()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), u"pw"_s);
        const QString lock = host::lockFilePath(practiceIn(dir));
        QVERIFY(writeFile(lock, kTheirLock));
        {
            // No at the second question goes back to the choice; Annulla ends the program.
            app::Program program;
            const auto seen = answered({"Apri comunque", "No", "Annulla"},
                                       [&] { QVERIFY(!program.start(dir.path())); });
            QCOMPARE(seen.size(), size_t(3));
            QCOMPARE(box(seen[1].title, seen[1].text),
                     box(kTitle,
                         u"Il blocco è del 06/12/2026 09:15. Se Mario Rossi sta ancora lavorando, "
                         u"le modifiche di uno dei due andranno perse. Aprire comunque?"_s));
            QCOMPARE(seen[1].buttons, (QStringList{u"Sì"_s, u"No"_s}));
            QCOMPARE(seen[1].defaultButton, u"No"_s);
            QCOMPARE(seen[2].buttons, seen[0].buttons);
            QVERIFY(program.context().ended);
            QCOMPARE(program.context().exitCode, 1);
        }
        QCOMPARE(readFile(lock), kTheirLock);
        {
            // Sì takes the lock over: the workbook is ours to change.
            app::Program program;
            const auto seen = answered({"Apri comunque", "Sì"}, [&] { QVERIFY(program.start(dir.path())); });
            QCOMPARE(seen.size(), size_t(2));
            QVERIFY(!program.context().practice()->readOnly());
            ui::FormBase* menu = logIn(program, u"pw"_s);
            QTRY_VERIFY(menu && menu->isVisible());
            QVERIFY(!child<QLabel>(menu, "LabelSolaLettura")->isVisible());
            setA1(program, 2.0);
            click(menu, "CmdEsci");
            QVERIFY(program.context().ended);
        }
        QVERIFY(!QFile::exists(lock));
        QCOMPARE(savedA1(practiceIn(dir)), QVariant(2.0));
    }

    void changedFileGetsAConflictCopyAtExit()
    {
        QTemporaryDir dir, elsewhere;
        writeSmallPractice(dir.path(), u"pw"_s);
        const QString practice = practiceIn(dir);
        // Someone else's version of the workbook, written on another PC.
        writeSmallPractice(elsewhere.path(), u"pw"_s);
        {
            host::SpreadsheetHost h;
            h.open(practiceIn(elsewhere), ui::kPracticePassword)
                ->sheet(u"Foglio1"_s)
                ->range(u"A1"_s)
                .setValue(u"LORO"_s);
            h.saveModified();
        }
        const QByteArray theirs = readFile(practiceIn(elsewhere));

        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30)));
        const QString copy = QDir(dir.path()).filePath(u"Pratiche (copia in conflitto 2026-12-06 09.15).xls"_s);
        {
            app::Program program;
            QVERIFY(startProgram(program, dir.path()));
            ui::FormBase* menu = logIn(program, u"pw"_s);
            QVERIFY(menu);
            setA1(program, u"NOSTRO"_s);
            QVERIFY(writeFile(practice, theirs)); // behind the program's back
            const auto seen = answered({"OK"}, [&] { click(menu, "CmdEsci"); });
            QCOMPARE(titlesAndTexts(seen),
                     QStringList{
                         box(kTitle,
                             u"Il file Pratiche.xls è stato modificato da un altro utente o programma dopo che "
                             u"questo programma lo ha letto: non è stato sovrascritto.\n"
                             u"Le modifiche fatte qui sono salvate in \"Pratiche (copia in conflitto "
                             u"2026-12-06 09.15).xls\", nella stessa cartella, fino alla chiusura del programma."_s)});
            QCOMPARE(seen[0].icon, QMessageBox::Warning);
            QVERIFY(program.context().ended);
        }
        QCOMPARE(readFile(practice), theirs);
        QVERIFY(QFile::exists(copy));
        SKIP_WITHOUT_XLRD();
        QCOMPARE(readBack(copy, ui::kPracticePassword, u"print(cell('Foglio1', 'A1'))"_s).trimmed(), u"NOSTRO"_s);
    }
};

QTEST_MAIN(TestSharedFolder)
#include "test_shared_folder.moc"
