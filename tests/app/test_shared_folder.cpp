// The program on a folder shared with other people: a workbook someone else
// holds is consulted read-only through the real forms, its lock can be taken
// over after a second question, a left-over lock of an office program of the
// same user is taken over quietly, and a file changed behind the program's
// back is never overwritten.
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

#include "common/modal.h"
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

#include <unistd.h>

using namespace gp;

namespace {

const QByteArray kTheirLock("Mario Rossi,mrossi,STUDIO-PC,06.12.2026 09:15,;");
const QString kTitle = QStringLiteral("Gestione Pratiche");
const QString kRefusal = QStringLiteral("Pratiche.xls è aperta in sola lettura: nessuna modifica è possibile.");

void expectRefusal(const SeenBox& box, const QString& text = kRefusal)
{
    QCOMPARE(box.title, kTitle);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, QMessageBox::Critical);
}

QStringList texts(const std::vector<SeenBox>& boxes)
{
    QStringList out;
    for (const SeenBox& b : boxes)
        out << b.text;
    return out;
}

} // namespace

class TestSharedFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ui::setItalianLocale(); }
    void cleanup() { ui::Clock::clear(); }

    void readOnlyConsultationThroughTheForms()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString lock = host::lockFilePath(practice);
        QVERIFY(writeFile(lock, kTheirLock));
        const QByteArray before = readFile(practice);
        const QByteArray instructions = readFile(QDir(dir.path()).filePath(QStringLiteral("Istruzioni.txt")));
        {
            app::Program program;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("Sola lettura"));
            QVERIFY(program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(1));
            const SeenBox& choice = boxes.seen()[0];
            QCOMPARE(choice.title, kTitle);
            QCOMPARE(choice.text,
                     QStringLiteral("La cartella di lavoro Pratiche.xls è in uso da Mario Rossi "
                                    "(STUDIO-PC) dal 06/12/2026 09:15."));
            QCOMPARE(choice.buttons,
                     QStringList(
                         {QStringLiteral("Sola lettura"), QStringLiteral("Apri comunque"), QStringLiteral("Annulla")}));
            QVERIFY(program.context().practice()->readOnly());

            ui::FormBase* menu = logIn(program, QStringLiteral("segreta"));
            QVERIFY(menu);
            QTRY_VERIFY(menu->isVisible());
            auto* notice = menu->findChild<QLabel*>(QStringLiteral("LabelSolaLettura"));
            QVERIFY(notice);
            QTRY_COMPARE(notice->text(),
                         QStringLiteral("Sola lettura: Pratiche.xls è in uso da Mario Rossi (STUDIO-PC)"));
            QVERIFY(notice->isVisible());
            QVERIFY(notice->styleSheet().contains(QStringLiteral("color: #c00000")));
            // The agenda is free: it is handled on its own, writable.
            QVERIFY(program.context().deadlines());
            QVERIFY(!program.context().deadlines()->readOnly());

            // The client register: shown; changing or deleting a client is refused.
            ui::FormBase* clients = showForm(program.navigator(), clients::Anagrafe::kName);
            QVERIFY(clients);
            auto* clientList = clients->findChild<QComboBox*>(QStringLiteral("Combo1"));
            QTRY_VERIFY(clientList->count() > 1);
            pickEntry(clientList, 1);
            QVERIFY(!clients->findChild<QLineEdit*>(QStringLiteral("Text2"))->text().isEmpty());
            boxes.clear();
            boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
            clients->findChild<QAction*>(QStringLiteral("mnuM"))->trigger();
            QVERIFY2(boxes.waitForBoxes(2), qPrintable(texts(boxes.seen()).join(" | ")));
            expectRefusal(boxes.seen()[1]);
            boxes.clear();
            boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
            clients->findChild<QAction*>(QStringLiteral("MnuE"))->trigger();
            QVERIFY2(boxes.waitForBoxes(2), qPrintable(texts(boxes.seen()).join(" | ")));
            expectRefusal(boxes.seen()[1]);
            QCOMPARE(boxes.seen().size(), size_t(2)); // no "Eliminato", no cascade questions
            program.navigator().hide(clients::Anagrafe::kName);

            // The case form: a case is shown; storing, archiving and deleting are refused.
            ui::FormBase* cases = showForm(program.navigator(), cases::Form4::kName);
            QVERIFY(cases);
            auto* caseList = cases->findChild<QComboBox*>(QStringLiteral("Combo1"));
            QTRY_VERIFY(caseList->count() > 4);
            pickEntry(caseList, 4);
            QVERIFY(!cases->findChild<QLineEdit*>(QStringLiteral("Text5"))->text().isEmpty());
            boxes.clear();
            boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
            cases->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
            QVERIFY2(boxes.waitForBoxes(2), qPrintable(texts(boxes.seen()).join(" | ")));
            expectRefusal(boxes.seen()[1]);
            for (const char* command : {"Command4", "Command3"}) {
                boxes.clear();
                boxes.press(QStringLiteral("OK"));
                cases->findChild<QPushButton*>(QString::fromLatin1(command))->click();
                QVERIFY2(boxes.waitForBoxes(1), command);
                QCOMPARE(boxes.seen().size(), size_t(1));
                expectRefusal(boxes.seen()[0]);
            }

            // The search writes only its work sheet: it works.
            boxes.clear();
            boxes.press(QStringLiteral("OK"));
            ui::FormBase* search = showForm(program.navigator(), search::SearchForm::kName);
            QVERIFY(search);
            search->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("ROSSI"));
            search->findChild<QPushButton*>(QStringLiteral("Command2"))->click();
            QTRY_VERIFY(search->findChild<QTreeWidget*>(QStringLiteral("ListView1"))->topLevelItemCount() > 0);
            QCOMPARE(texts(boxes.seen()), QStringList({QStringLiteral("Ricerca Pratica Conclusa  ")}));
            program.navigator().hide(search::SearchForm::kName);
            program.navigator().hide(cases::Form4::kName);

            // The instructions: shown, but not saved beside a workbook someone else holds.
            ui::FormBase* help = showForm(program.navigator(), instructions::Istruzioni::kName);
            QVERIFY(help);
            help->findChild<QAction*>(QStringLiteral("MnModifica"))->trigger();
            boxes.clear();
            boxes.press(QStringLiteral("OK"));
            QTest::mouseClick(help->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
            QVERIFY(boxes.waitForBoxes(1));
            QCOMPARE(boxes.seen().size(), size_t(1));
            expectRefusal(boxes.seen()[0]);
            program.navigator().hide(instructions::Istruzioni::kName);

            // "Salva Ora" does not claim a save it did not make.
            ui::FormBase* utilities = showForm(program.navigator(), cases::UtilitiesForm::kName);
            QVERIFY(utilities);
            boxes.clear();
            boxes.press(QStringLiteral("OK"));
            utilities->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
            QVERIFY(boxes.waitForBoxes(1));
            QCOMPARE(boxes.seen().size(), size_t(1));
            expectRefusal(boxes.seen()[0]);
            program.navigator().unload(cases::UtilitiesForm::kName);

            // Leaving: nothing of the practice workbook is written.
            boxes.clear();
            program.navigator().showMainMenu();
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QVERIFY(program.context().ended);
            QVERIFY2(boxes.seen().empty(), qPrintable(texts(boxes.seen()).join(" | ")));
        }
        QCOMPARE(readFile(practice), before);
        QCOMPARE(readFile(lock), kTheirLock);
        QVERIFY(!QFile::exists(practice + QStringLiteral(".bak")));
        QVERIFY(!QFile::exists(host::processLockPath(practice)));
        QCOMPARE(readFile(QDir(dir.path()).filePath(QStringLiteral("Istruzioni.txt"))), instructions);
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*conflitto*")}), QStringList());
    }

    void agendaReadOnlyOnItsOwn()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString agenda = QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls"));
        QVERIFY(writeFile(host::lockFilePath(agenda), kTheirLock));
        const QByteArray agendaBefore = readFile(agenda);
        {
            app::Program program;
            ModalAnswerer boxes;
            QVERIFY(program.start(dir.path()));
            QVERIFY(boxes.seen().empty());
            boxes.press(QStringLiteral("Sola lettura"));
            ui::FormBase* menu = logIn(program, QStringLiteral("pw"));
            QVERIFY(menu);
            QTRY_VERIFY(menu->isVisible());
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen()[0].text,
                     QStringLiteral("La cartella di lavoro Dorvessa.xls è in uso da Mario Rossi "
                                    "(STUDIO-PC) dal 06/12/2026 09:15."));
            QTRY_COMPARE(menu->findChild<QLabel*>(QStringLiteral("LabelSolaLettura"))->text(),
                         QStringLiteral("Sola lettura: Dorvessa.xls è in uso da Mario Rossi (STUDIO-PC)"));
            QVERIFY(program.context().deadlines()->readOnly());
            QVERIFY(!program.context().practice()->readOnly());

            // The practice workbook changes and is saved; the agenda refuses and stays as it was.
            program.context()
                .practice()
                ->sheet(QStringLiteral("Foglio1"))
                ->range(QStringLiteral("A1"))
                .setValue(QStringLiteral("modificato"));
            QVERIFY_THROWS_EXCEPTION(host::HostError,
                                     program.context()
                                         .deadlines()
                                         ->sheet(QStringLiteral("Dorvessa"))
                                         ->range(QStringLiteral("A2"))
                                         .setValue(1.0));
            boxes.clear();
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QVERIFY(program.context().ended);
            QVERIFY(boxes.seen().empty());
        }
        QCOMPARE(readFile(agenda), agendaBefore);
        QCOMPARE(readFile(host::lockFilePath(agenda)), kTheirLock);
        QVERIFY(!QFile::exists(host::lockFilePath(practice)));
        host::SpreadsheetHost h;
        QCOMPARE(h.open(practice, QStringLiteral("Tesm4061"))
                     ->sheet(QStringLiteral("Foglio1"))
                     ->range(QStringLiteral("A1"))
                     .value(),
                 QVariant(QStringLiteral("modificato")));
    }

    void openAnywayAsksAgainWithTheLocksAge()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString lock = host::lockFilePath(practice);
        QVERIFY(writeFile(lock, kTheirLock));
        const QString question = QStringLiteral(
            "Il blocco è del 06/12/2026 09:15. Se Mario Rossi sta ancora lavorando, "
            "le modifiche di uno dei due andranno perse. Aprire comunque?");
        {
            // No at the second question goes back to the choice; Annulla ends the program.
            app::Program program;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("Apri comunque")).press(QStringLiteral("No")).press(QStringLiteral("Annulla"));
            QVERIFY(!program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(3));
            QCOMPARE(boxes.seen()[1].title, kTitle);
            QCOMPARE(boxes.seen()[1].text, question);
            QCOMPARE(boxes.seen()[1].buttons, QStringList({QStringLiteral("Sì"), QStringLiteral("No")}));
            QCOMPARE(boxes.seen()[1].defaultButton, QStringLiteral("No"));
            QCOMPARE(boxes.seen()[2].buttons.size(), 3);
            QVERIFY(program.context().ended);
            QCOMPARE(program.context().exitCode, 1);
        }
        QCOMPARE(readFile(lock), kTheirLock);

        {
            // Sì takes the lock over: the workbook is ours to change.
            app::Program program;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("Apri comunque")).press(QStringLiteral("Sì"));
            QVERIFY(program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(2));
            QVERIFY(!program.context().practice()->readOnly());
            QString marker;
            const auto entry = host::parseLockEntry(readFile(lock), &marker);
            QVERIFY(entry);
            QCOMPARE(entry->login, host::currentLockOwner().login);
            QCOMPARE(marker, QString::fromLatin1(host::kLockMarker));
            ui::FormBase* menu = logIn(program, QStringLiteral("pw"));
            QVERIFY(menu);
            QTRY_VERIFY(menu->isVisible());
            QVERIFY(!menu->findChild<QLabel*>(QStringLiteral("LabelSolaLettura"))->isVisible());
            program.context().practice()->sheet(QStringLiteral("Foglio1"))->range(QStringLiteral("A1")).setValue(2.0);
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QVERIFY(program.context().ended);
        }
        QVERIFY(!QFile::exists(lock));
        host::SpreadsheetHost h;
        QCOMPARE(h.open(practice, QStringLiteral("Tesm4061"))
                     ->sheet(QStringLiteral("Foglio1"))
                     ->range(QStringLiteral("A1"))
                     .value(),
                 QVariant(2.0));
    }

    void leftOverOfficeLockIsTakenOverQuietly()
    {
        // An entry of this user and host written by another office program
        // that no longer runs (no such process of this user here).
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString lock = host::lockFilePath(practice);
        if (host::officeProcessRunning(::getuid()))
            QSKIP("an office program of this user is running here");
        QVERIFY(writeFile(
            lock,
            host::formatLockEntry(host::currentLockOwner(), QStringLiteral("file:///home/x/.config/libreoffice/4"))));
        app::Program program;
        ModalAnswerer boxes;
        QVERIFY(program.start(dir.path()));
        QVERIFY(boxes.seen().empty());
        QVERIFY(!program.context().practice()->readOnly());
        QString marker;
        QVERIFY(host::parseLockEntry(readFile(lock), &marker));
        QCOMPARE(marker, QString::fromLatin1(host::kLockMarker));
        program.context().endProgram(0);
        QVERIFY(!QFile::exists(lock));
    }

    void changedFileGetsAConflictCopyAtExit()
    {
        QTemporaryDir dir, elsewhere;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        // Someone else's version of the workbook, written on another PC.
        writeSmallPractice(elsewhere.path(), QStringLiteral("pw"));
        const QString theirPath = QDir(elsewhere.path()).filePath(QStringLiteral("Pratiche.xls"));
        {
            host::SpreadsheetHost h;
            h.open(theirPath, QStringLiteral("Tesm4061"))
                ->sheet(QStringLiteral("Foglio1"))
                ->range(QStringLiteral("A1"))
                .setValue(QStringLiteral("LORO"));
            h.saveModified();
        }
        const QByteArray theirs = readFile(theirPath);

        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(9, 15, 30)));
        const QString copy
            = QDir(dir.path()).filePath(QStringLiteral("Pratiche (copia in conflitto 2026-12-06 09.15).xls"));
        {
            app::Program program;
            QVERIFY(program.start(dir.path()));
            ui::FormBase* menu = logIn(program, QStringLiteral("pw"));
            QVERIFY(menu);
            program.context()
                .practice()
                ->sheet(QStringLiteral("Foglio1"))
                ->range(QStringLiteral("A1"))
                .setValue(QStringLiteral("NOSTRO"));
            QVERIFY(writeFile(practice, theirs)); // behind the program's back

            ModalAnswerer boxes;
            boxes.press(QStringLiteral("OK"));
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen()[0].title, kTitle);
            QCOMPARE(boxes.seen()[0].icon, QMessageBox::Warning);
            QCOMPARE(
                boxes.seen()[0].text,
                QStringLiteral("Il file Pratiche.xls è stato modificato da un altro utente o programma dopo che "
                               "questo programma lo ha letto: non è stato sovrascritto.\n"
                               "Le modifiche fatte qui sono salvate in \"Pratiche (copia in conflitto "
                               "2026-12-06 09.15).xls\", nella stessa cartella, fino alla chiusura del programma."));
            QVERIFY(program.context().ended);
        }
        QCOMPARE(readFile(practice), theirs);
        QVERIFY(QFile::exists(copy));
        QVERIFY(!readFile(copy).contains("NOSTRO"));
        SKIP_WITHOUT_XLRD();
        QCOMPARE(readBack(practice, ui::kPracticePassword, QStringLiteral("print(cell('Foglio1', 'A1'))")).trimmed(),
                 QStringLiteral("LORO"));
        QCOMPARE(readBack(copy, ui::kPracticePassword, QStringLiteral("print(cell('Foglio1', 'A1'))")).trimmed(),
                 QStringLiteral("NOSTRO"));
    }
};

QTEST_MAIN(TestSharedFolder)
#include "test_shared_folder.moc"
