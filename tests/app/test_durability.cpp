// Nothing the program confirmed is lost: each command is on disk when its message appears (the folder is copied
// then, as a crash would leave it), the next start brings it back and says so, every way of ending the program
// saves like "Esci" (real signals go to a child started with --figlio), and no clear text reaches the disk.
#include "app/form8.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "app/termination.h"
#include "cases/case_form.h"
#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "clients/client_fields.h"
#include "core/host/journal.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/clock.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/text_rules.h"
#include "deadlines/attiva.h"
#include "deadlines/scadenza_pratica.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"

#include "common/boxes_seen.h"
#include "common/practice.h"
#include "common/xls_readback.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/prctl.h>

using namespace gp;
using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Gestione Pratiche"_s;
const QString kRecovered = u"Il programma non era stato chiuso correttamente.\n"
                           "Le ultime operazioni confermate sono state recuperate (%1)."_s;

QString in(const QString& dir, const QString& file) { return QDir(dir).filePath(file); }
QString passwordOf(const QString& f) { return f == ui::kDeadlineFile ? ui::kDeadlinePassword : ui::kPracticePassword; }

// Copies the folder's files (not the locks) when a box starting with `text` is
// shown: the disk as a crash at that instant would leave it.
struct CrashCopy : QObject {
    QString from, to, text;
    bool taken = false;
    CrashCopy(QString f, QString t, QString x) : from(std::move(f)), to(std::move(t)), text(std::move(x))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* box = !taken && e->type() == QEvent::Show ? qobject_cast<QMessageBox*>(o) : nullptr;
        if (box && box->text().startsWith(text)) {
            QDir().mkpath(to);
            for (const QString& n : QDir(from).entryList(QDir::Files | QDir::Hidden))
                if (!n.startsWith(u".~lock"_s))
                    QFile::copy(in(from, n), in(to, n));
            taken = true;
        }
        return false;
    }
};

// `f` with `text` typed into its box `box`; null when `f` is.
ui::FormBase* edited(ui::FormBase* f, const char* box, const QString& text)
{
    if (f)
        child<QLineEdit>(f, box)->setText(text);
    return f;
}
void pickDate(QWidget* f, QDate date)
{
    auto* cal = child<QCalendarWidget>(f, "Calendario");
    cal->setSelectedDate(date);
    emit cal->clicked(date);
}

// The agenda's editor in `mode` ("Check2" modify, "Check3" delete) on event `id`, picked in the viewer.
ui::FormBase* editorOnEvent(app::Program& p, const char* mode, double id)
{
    ui::FormBase* editor = openAgendaEditor(p.navigator());
    if (!editor)
        return nullptr;
    child<QCheckBox>(editor, mode)->setChecked(true);
    return pickEvent(p.navigator(), editor, id) ? editor : nullptr;
}

// Picks entry `index` of the case form's list as the user would.
ui::FormBase* caseFormOn(app::Program& p, int index)
{
    ui::FormBase* f = showForm(p.navigator(), cases::Form4::kName);
    if (f)
        pickEntry(child<QComboBox>(f, "Combo1"), index);
    return f;
}

// The client register on BRUNO PAOLO (client 12), chosen in its list.
ui::FormBase* registerOnBruno(app::Program& p)
{
    ui::FormBase* f = showForm(p.navigator(), clients::Anagrafe::kName);
    auto* combo = child<QComboBox>(f, "Combo1");
    const int i = combo ? combo->findText(u"BRUNO PAOLO"_s, Qt::MatchStartsWith) : -1;
    if (i < 0)
        return nullptr;
    emit combo->activated(i);
    return f;
}

// The expense note on the expense of sheet row 3 (ID Oper 2).
ui::FormBase* noteOnSecondExpense(app::Program& p)
{
    auto* f = qobject_cast<expenses::NotaSpese*>(showForm(p.navigator(), expenses::NotaSpese::kName));
    if (f)
        f->showExpense(3);
    return f;
}

struct Command {
    enum Check { Holds, Gone, Listed }; // the text anywhere / no longer / a number in the first column
    Command(const char* n, std::vector<const char*> a, QString c, QString f, QString s, QString t, Check k, bool sv,
            const char* g, std::function<ui::FormBase*(app::Program&)> o)
        : name(n), answers(std::move(a)), confirmation(std::move(c)), file(std::move(f)), sheet(std::move(s)),
          text(std::move(t)), check(k), saved(sv), given(g), open(std::move(o))
    {}
    // The buttons pressed on its boxes in order; the start of the message that confirms it; the workbook it changes
    // ("" for Istruzioni.txt), the sheet and text where the change is found; whether the command saves the workbook
    // itself (no journal is left); the button or menu entry that gives it; what opens and fills its form (null: not).
    const char* name;
    std::vector<const char*> answers;
    QString confirmation, file, sheet, text;
    Check check;
    bool saved;
    const char* given;
    std::function<ui::FormBase*(app::Program&)> open;
};

const std::vector<Command>& commands()
{
    using C = Command;
    static const std::vector<Command> all = {
        C("pratica modificata", {"Sì", "OK"}, u"Pratica modificata"_s, ui::kPracticeFile, u"Pratica"_s,
          u"OGGETTO DUREVOLE"_s, C::Holds, false, "Command2",
          [](app::Program& p) { return edited(caseFormOn(p, 4), "Text5", u"oggetto durevole"_s); }),
        C("spesa registrata", {"OK"}, u"Spesa registrata con ID Oper"_s, ui::kPracticeFile, u"Spese"_s,
          u"PERIZIA DUREVOLE"_s, C::Holds, false, "Command1",
          [](app::Program& p) {
              ui::FormBase* f = showForm(p.navigator(), expenses::NotaSpese::kName);
              if (f) {
                  child<QComboBox>(f, "Combo1")->setEditText(u"101"_s);
                  edited(f, "Text3", u"050426"_s);
                  edited(f, "Text4", u"PERIZIA DUREVOLE"_s);
                  child<QComboBox>(f, "Combo2")->setEditText(u"ONORARIO"_s);
                  edited(f, "Text6", u"1.234,56"_s);
                  auto* vat = child<QComboBox>(f, "Combo3");
                  vat->setCurrentIndex(vat->findText(u"Esente"_s));
              }
              return f;
          }),
        C("evento inserito", {"OK"}, u"Evento n. 21 inserito in Dorvessa."_s, ui::kDeadlineFile, u"Dorvessa"_s,
          u"EVENTO DUREVOLE"_s, C::Holds, false, "Command2",
          [](app::Program& p) {
              ui::FormBase* editor = openAgendaEditor(p.navigator());
              if (editor) {
                  child<QCheckBox>(editor, "Check1")->setChecked(true);
                  pickDate(editor, QDate(2027, 6, 30));
                  child<QComboBox>(editor, "Combo1")->setEditText(u"UDIENZA"_s);
                  edited(editor, "Text2", u"EVENTO DUREVOLE"_s);
              }
              return editor;
          }),
        C("istruzioni aggiornate", {"OK"}, u" Aggiornameno Eseguito !"_s, QString(), QString(), u"RIGA DUREVOLE"_s,
          C::Holds, false, "Command1",
          [](app::Program& p) {
              ui::FormBase* f = showForm(p.navigator(), instructions::Istruzioni::kName);
              if (f) {
                  f->findChild<QAction*>(u"MnModifica"_s)->trigger();
                  auto* text = child<QPlainTextEdit>(f, "Text1");
                  text->setPlainText(text->toPlainText() + u"\nRIGA DUREVOLE"_s);
              }
              return f;
          }),
        C("pratica storicizzata", {"Sì", "OK"}, u"Pratica    110      è stata  Storicizzata"_s, ui::kPracticeFile,
          u"Storico"_s, u"110"_s, C::Listed, false, "Command4", [](app::Program& p) { return caseFormOn(p, 4); }),
        C("pratica eliminata", {"No", "Sì", "OK", "No"}, u"Pratica    110      Eliminata"_s, ui::kPracticeFile,
          u"Pratica"_s, u"110"_s, C::Gone, false, "Command3", [](app::Program& p) { return caseFormOn(p, 4); }),
        C("cliente aggiunto", {"Sì", "OK"}, u"Cliente Aggiunto"_s, ui::kPracticeFile, u"Clienti"_s,
          u"CLIENTE DUREVOLE"_s, C::Holds, false, "Command1",
          [](app::Program& p) -> ui::FormBase* {
              ui::FormBase* register_ = showForm(p.navigator(), clients::Anagrafe::kName);
              if (!register_)
                  return nullptr;
              register_->findChild<QAction*>(u"MnAgg"_s)->trigger();
              auto* f = qobject_cast<clients::Assegna*>(waitActive(p.navigator(), clients::Assegna::kName));
              if (f)
                  f->fields()->setText("Text1", u"CLIENTE DUREVOLE"_s);
              return f;
          }),
        C("spesa eliminata", {"Sì", "OK"}, u"Spesa eliminata."_s, ui::kPracticeFile, u"Spese"_s, u"2"_s, C::Gone, false,
          "Command4", noteOnSecondExpense),
        C("cliente eliminato con le pratiche", {"Sì", "OK", "Sì", "OK", "No"},
          u"Pratica  associata al Cliente Eliminata"_s, ui::kPracticeFile, u"Clienti"_s, u"12"_s, C::Gone, false,
          "MnuE", registerOnBruno),
        C("cliente modificato", {"Sì", "OK"}, u"Cliente Modificato"_s, ui::kPracticeFile, u"Clienti"_s,
          u"VIA DUREVOLE 7"_s, C::Holds, false, "mnuM",
          [](app::Program& p) { return edited(registerOnBruno(p), "Text4", u"VIA DUREVOLE 7"_s); }),
        C("spesa modificata", {"Sì", "OK"}, u"Spesa modificata."_s, ui::kPracticeFile, u"Spese"_s,
          u"SPESA CORRETTA DUREVOLE"_s, C::Holds, false, "Command2",
          [](app::Program& p) { return edited(noteOnSecondExpense(p), "Text4", u"SPESA CORRETTA DUREVOLE"_s); }),
        C("evento modificato", {"Sì", "OK"}, u"Evento n. 3 modificato."_s, ui::kDeadlineFile, u"Dorvessa"_s,
          u"EVENTO CORRETTO DUREVOLE"_s, C::Holds, false, "Command2",
          [](app::Program& p) {
              return edited(editorOnEvent(p, "Check2", 3), "Text2", u"EVENTO CORRETTO DUREVOLE"_s);
          }),
        C("evento eliminato", {"Sì", "OK"}, u"Evento n. 5 eliminato."_s, ui::kDeadlineFile, u"Dorvessa"_s, u"5"_s,
          C::Gone, false, "Command2", [](app::Program& p) { return editorOnEvent(p, "Check3", 5); }),
        // Both workbooks are saved by the command itself.
        C("dorvessa della pratica", {"OK"}, u"Dorvessa del 17/03/2031 registrata per la pratica n. 110."_s,
          ui::kPracticeFile, u"Pratica"_s, u"17/03/2031"_s, C::Holds, true, "Command1",
          [](app::Program& p) -> ui::FormBase* {
              ui::FormBase* f = caseFormOn(p, 4); // case 110
              if (!f)
                  return nullptr;
              child<QCheckBox>(f, "Check1")->setChecked(true);
              ui::FormBase* deadline = p.navigator().form(deadlines::ScadenzaPratica::kName);
              if (deadline && deadline->isVisible())
                  pickDate(deadline, QDate(2031, 3, 17));
              return deadline && deadline->isVisible() ? deadline : nullptr;
          }),
        C("numero pratica assegnato", {"Sì", "OK"}, u"Al Cliente BRUNO PAOLO è stata assegnata la Pratica numero 182"_s,
          ui::kPracticeFile, u"Pratica"_s, u"182"_s, C::Listed, false, "Command1",
          [](app::Program& p) -> ui::FormBase* {
              ui::FormBase* cases = showForm(p.navigator(), cases::Form4::kName);
              if (!cases)
                  return nullptr;
              cases->findChild<QAction*>(u"MnAgg"_s)->trigger();
              ui::FormBase* f = waitActive(p.navigator(), clients::Assegna::kName);
              auto* list = child<QListWidget>(f, "List1");
              const auto found = list ? list->findItems(u"BRUNO PAOLO"_s, Qt::MatchStartsWith)
                                      : QList<QListWidgetItem*>();
              if (found.size() != 1)
                  return nullptr;
              list->setCurrentItem(found.first());
              return f;
          }),
    };
    return all;
}

// Each file under the folders (the hidden ones too) that holds one of the texts in any encoding, with the text.
QString clearTexts(const QStringList& folders, const QStringList& texts)
{
    QStringList where;
    for (const QString& folder : folders)
        for (QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
             it.hasNext();)
            for (const QString path = it.next(); const QString& text : texts)
                if (gptest::containsText(readFile(path), text))
                    where << path + u": "_s + text;
    return where.join('\n');
}

QVariant readCell(const QString& path, const QString& sheet, const QString& a1)
{
    return SavedBook(path, passwordOf(QFileInfo(path).fileName())).sheet(sheet)->range(a1).value();
}

// Starts the program on `folder`, pressing OK on what it says; the texts said.
QStringList restart(app::Program& program, const QString& folder)
{
    ModalAnswerer boxes;
    boxes.press(u"OK"_s);
    if (!program.start(folder))
        QTest::qFail("the program did not start", __FILE__, __LINE__);
    return titlesAndTexts(boxes.seen());
}

} // namespace

class TestDurabilityApp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ui::setItalianLocale();
        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    }

    void confirmedCommandSurvivesACrash_data()
    {
        QTest::addColumn<int>("which");
        for (size_t i = 0; i < commands().size(); ++i)
            QTest::newRow(commands()[i].name) << int(i);
    }

    void confirmedCommandSurvivesACrash()
    {
        QFETCH(int, which);
        const Command& command = commands()[size_t(which)];
        QTemporaryDir dir, crashed;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            CrashCopy crash(dir.path(), crashed.path(), command.confirmation);
            ModalAnswerer boxes;
            for (const char* answer : command.answers)
                boxes.press(QString::fromUtf8(answer));
            ui::FormBase* form = command.open(program);
            QVERIFY(form);
            if (auto* button = child<QPushButton>(form, command.given))
                button->click();
            else
                form->findChild<QAction*>(QString::fromLatin1(command.given))->trigger();
            QVERIFY(boxes.waitForBoxes(1));
            QVERIFY2(crash.taken, qPrintable(command.confirmation));
            // The program is dropped here without any way out: only the copy counts.
        }
        // The change is in the journal, or in the workbook when the command saves it.
        const QString file = in(crashed.path(), command.file);
        const bool journaled = !command.file.isEmpty() && QFileInfo::exists(host::Journal::pathFor(file));
        QCOMPARE(journaled, command.file == ui::kPracticeFile && !command.saved);
        if (command.file.isEmpty()) { // the instructions: a plain file, replaced whole before the message
            QVERIFY(readFile(in(crashed.path(), u"Istruzioni.txt"_s)).contains(command.text.toLatin1()));
            return;
        }
        // The next start brings the command back and says so, before the login.
        {
            app::Program again;
            QCOMPARE(restart(again, crashed.path()),
                     journaled ? QStringList{box(kTitle, kRecovered.arg(command.file))} : QStringList());
            QVERIFY(again.navigator().form(app::Form8::kName)->isVisible());
            // Folded into the workbook at once: no journal left, nothing to save.
            QVERIFY(!QFileInfo::exists(host::Journal::pathFor(file)));
            QVERIFY(!again.context().practice()->modified());
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        }
        const QJsonObject book = readSheets(file, passwordOf(command.file));
        const bool found = command.check == Command::Holds
            ? sheetHolds(book, command.sheet, command.text)
            : firstColumnHolds(book, command.sheet, command.text.toDouble());
        QVERIFY2(found == (command.check != Command::Gone), qPrintable(command.text));
        // A third start has nothing to recover.
        app::Program third;
        QCOMPARE(restart(third, crashed.path()), QStringList());
    }

    void failedCommitIsToldNotConfirmed()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        app::Program program;
        QVERIFY(startLoggedIn(program, dir.path()));
        // Nothing can be written where the journal goes.
        const QString journal = host::Journal::pathFor(program.context().practice()->path());
        QVERIFY(QDir().mkpath(journal + u"/x"_s));
        ui::FormBase* f = edited(caseFormOn(program, 4), "Text5", u"non registrato"_s);
        QVERIFY(f);
        const auto seen = answered({"Sì", "OK"}, [&] { child<QPushButton>(f, "Command2")->click(); });
        QCOMPARE(seen.size(), size_t(2));
        QCOMPARE(seen[1].icon, QMessageBox::Critical);
        QCOMPARE(box(seen[1].title, seen[1].text),
                 box(kTitle,
                     u"Impossibile registrare su disco le ultime modifiche di Pratiche.xls: il disco non è "
                     "scrivibile. Le modifiche sono ancora in memoria: liberare spazio e uscire con "
                     "\"Esci\" per salvarle."_s));
        // "Pratica modificata" was not shown; the change is still there to be saved.
        QVERIFY(program.context().practice()->modified());
        QVERIFY(QDir().rmpath(journal + u"/x"_s));
        QVERIFY(ui::commitChanges(nullptr)); // the disk is back: the records pending go now
        QVERIFY(QFileInfo(journal).isFile());
    }

    void noClearTextOnDisk()
    {
        // Changes in both workbooks, a crash, a recovery: no name or password in clear on disk.
        QTemporaryDir dir, tmp;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            host::Book* practice = program.context().practice();
            practice->sheet(u"Clienti"_s)->cells(30, 2).setValue(u"ZANZIBAR MARIA"_s);
            practice->save(); // a save: backup and dated copy
            practice->sheet(u"Clienti"_s)->cells(31, 2).setValue(u"ZANZIBAR LUIGI"_s);
            host::Book* agenda = program.host().open(program.context().path(ui::kDeadlineFile), ui::kDeadlinePassword);
            agenda->sheet(u"Dorvessa"_s)->cells(40, 3).setValue(u"ZANZIBAR UDIENZA"_s);
            ui::commitChanges(nullptr);
            QVERIFY(QFileInfo::exists(host::Journal::pathFor(practice->path())));
            QVERIFY(QFileInfo::exists(host::Journal::pathFor(agenda->path())));
            QCOMPARE(clearTexts(
                         {dir.path(), tmp.path()},
                         {u"ZANZIBAR"_s, u"ROSSI MARIO"_s, u"segreta"_s, ui::kPracticePassword, ui::kDeadlinePassword}),
                     QString());
        }
        {
            app::Program again;
            QCOMPARE(restart(again, dir.path()),
                     QStringList{box(kTitle, kRecovered.arg(u"Pratiche.xls, Dorvessa.xls"_s))});
            QCOMPARE(again.context().practice()->sheet(u"Clienti"_s)->cells(31, 2).value(),
                     QVariant(u"ZANZIBAR LUIGI"_s));
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        }
        qputenv("TMPDIR", oldTmp);
        QCOMPARE(clearTexts({dir.path(), tmp.path()}, {u"ZANZIBAR"_s, u"segreta"_s, ui::kPracticePassword}), QString());
        QVERIFY(sheetHolds(readSheets(in(dir.path(), ui::kDeadlineFile), ui::kDeadlinePassword), u"Dorvessa"_s,
                           u"ZANZIBAR UDIENZA"_s));
    }

    void signalsToTheRunningProgram_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("boxOpen"); // a form waits on a message box meanwhile
        QTest::newRow("SIGKILL") << int(SIGKILL) << false;
        QTest::newRow("SIGTERM") << int(SIGTERM) << false;
        QTest::newRow("SIGHUP") << int(SIGHUP) << false;
        QTest::newRow("SIGINT") << int(SIGINT) << false;
        QTest::newRow("SIGTERM con un messaggio aperto") << int(SIGTERM) << true;
    }

    // A real child process with one change confirmed: a kill -9 loses nothing (the next start
    // recovers it), the other signals save like "Esci" and leave no lock.
    void signalsToTheRunningProgram()
    {
        QFETCH(int, signal);
        QFETCH(bool, boxOpen);
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        QProcess childProcess;
        QStringList args = {u"--figlio"_s, dir.path()};
        if (boxOpen)
            args << u"messaggio"_s;
        childProcess.start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(childProcess.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += childProcess.readAllStandardOutput()).contains("pronto"), 30000);
        QVERIFY2(said.contains("non dumpable: 1"), said.constData()); // no core with the data in clear
        ::kill(pid_t(childProcess.processId()), signal);
        QVERIFY(childProcess.waitForFinished(30000));
        if (signal == SIGKILL) {
            QCOMPARE(childProcess.exitStatus(), QProcess::CrashExit);
            app::Program again; // the dead process's lock is taken over
            QCOMPARE(restart(again, dir.path()), QStringList{box(kTitle, kRecovered.arg(ui::kPracticeFile))});
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        } else {
            QCOMPARE(childProcess.exitStatus(), QProcess::NormalExit);
            QCOMPARE(childProcess.exitCode(), 0);
            QCOMPARE(QDir(dir.path()).entryList({u".~lock*"_s, u".*.journal"_s}, QDir::Files | QDir::Hidden),
                     QStringList());
        }
        QVERIFY(sheetHolds(readSheets(in(dir.path(), ui::kPracticeFile), ui::kPracticePassword), u"Codice"_s,
                           u"DA NON PERDERE"_s));
    }

    void waysOutSaveBothWorkbooks_data()
    {
        QTest::addColumn<int>("way"); // 0 "Esci", 1 the desktop session's end, 2 a full disk first, 3 "Esci" unchanged
        QTest::newRow("Esci") << 0;
        QTest::newRow("fine della sessione del desktop") << 1;
        // The failure is told, the program goes on, and the menu's close box tries again.
        QTest::newRow("Esci con il disco pieno, poi la chiusura a disco libero") << 2;
        // The sheets the program shows for its work are no change: nothing is written.
        QTest::newRow("Esci senza modifiche") << 3;
    }

    void waysOutSaveBothWorkbooks()
    {
        QFETCH(int, way);
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        QApplication::setQuitOnLastWindowClosed(false);
        const QString practice = in(dir.path(), ui::kPracticeFile), deadlines = in(dir.path(), ui::kDeadlineFile);
        const QByteArray before = readFile(practice), deadlinesBefore = readFile(deadlines);
        const auto entries = [&] {
            return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList entriesBefore = entries();
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            ui::FormBase* menu = program.navigator().form(app::MainMenu::kName);
            if (way == 3) { // the forms that show the sheets, and the agenda's launcher
                QVERIFY(showForm(program.navigator(), cases::Form4::kName));
                QVERIFY(showForm(program.navigator(), deadlines::Attiva::kName));
                program.navigator().showMainMenu();
            }
            QVERIFY(program.context().practice()->sheet(u"Codice"_s)->visible()); // shown for work
            // The practice changes, then the agenda is opened (the active workbook now) and changes.
            if (way != 3)
                program.context().practice()->sheet(u"Foglio1"_s)->range(u"A1"_s).setValue(u"modificato"_s);
            host::Book* agenda = program.host().open(deadlines, ui::kDeadlinePassword);
            QCOMPARE(program.host().activeWorkbook(), agenda);
            if (way != 3)
                agenda->sheet(u"Dorvessa"_s)->range(u"C2"_s).setValue(u"UDIENZA"_s);
            QCOMPARE(program.context().practice()->modified(), way != 3);
            if (way == 2) {
                program.host().setWriteSink([](const QString&, const QByteArray&) { return false; });
                const auto seen = answered(
                    {"OK", "OK"}, [&] { QTest::mouseClick(child<QPushButton>(menu, "CmdEsci"), Qt::LeftButton); });
                QCOMPARE(seen.size(), size_t(2)); // one for each workbook
                for (size_t i = 0; i < seen.size(); ++i) {
                    const QString file = i == 0 ? ui::kPracticeFile : ui::kDeadlineFile;
                    QCOMPARE(seen[i].title, kTitle);
                    QCOMPARE(seen[i].icon, QMessageBox::Critical);
                    QVERIFY2(seen[i].text.startsWith(u"Il file %1 non è stato salvato.\n"_s.arg(file)),
                             qPrintable(seen[i].text));
                }
                QVERIFY(!program.context().ended);
                QVERIFY(menu->isVisible());
                QVERIFY(program.context().practice()->modified());
                QCOMPARE(readFile(practice), before);
                program.host().setWriteSink({});
            }
            ModalAnswerer boxes;
            if (way == 1) {
                app::connectSessionEnd(*qApp, program.context());
                // The program's answer never touches the manager the signal carries.
                alignas(QSessionManager) unsigned char storage[sizeof(QSessionManager)] = {};
                emit qApp->commitDataRequest(*reinterpret_cast<QSessionManager*>(storage));
            } else if (way == 2) {
                QVERIFY(!menu->close());
            } else {
                QTest::mouseClick(child<QPushButton>(menu, "CmdEsci"), Qt::LeftButton);
            }
            QVERIFY(boxes.seen().empty());
            QVERIFY(program.context().ended);
            QCOMPARE(program.context().exitCode, 0);
            QVERIFY(program.host().workbooks().empty());
            QCOMPARE(QDir(dir.path()).entryList({u".~lock*"_s}, QDir::Files | QDir::Hidden), QStringList());
        }
        if (way == 3) {
            QCOMPARE(readFile(practice), before);
            QCOMPARE(readFile(deadlines), deadlinesBefore);
            QCOMPARE(entries(), entriesBefore);
            return;
        }
        QCOMPARE(readCell(practice, u"Foglio1"_s, u"A1"_s), QVariant(u"modificato"_s));
        QCOMPARE(readCell(deadlines, u"Dorvessa"_s, u"C2"_s), QVariant(u"UDIENZA"_s));
        // The sheets the program showed for its work are hidden again in the file.
        const QJsonObject visible = readSheets(practice, ui::kPracticePassword)[u"visible"_s].toObject();
        for (const char* hidden : {"Codice", "S", "Foglio1"})
            QVERIFY2(!visible[QString::fromLatin1(hidden)].toBool(), hidden);
        QVERIFY(visible[u"Clienti"_s].toBool());
    }
};

// The child: the program on `folder`, one change confirmed, the event loop with every way out wired.
static int runChild(int argc, char** argv)
{
    app::protectProcessMemory();
    QApplication app(argc, argv);
    ui::setItalianLocale();
    app::Program program;
    app::installTerminationHandlers(program.context());
    if (!program.start(QString::fromLocal8Bit(argv[2])))
        return 3;
    // A data sheet (the query result sheets are scratch work and not journaled).
    program.context().practice()->sheet(u"Codice"_s)->cells(1, 40).setValue(u"DA NON PERDERE"_s);
    ui::commitChanges(nullptr);
    std::printf("non dumpable: %d\n", ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 1 : 0);
    // Ready once the event loop runs; with "messaggio", a box then waits for an answer when the signal comes.
    QTimer::singleShot(0, [box = argc > 3 && qstrcmp(argv[3], "messaggio") == 0] {
        std::fputs("pronto\n", stdout);
        std::fflush(stdout);
        if (box)
            ui::msgBox(nullptr, u"In attesa"_s, ui::OkOnly);
    });
    return app::exec(app, program);
}

int main(int argc, char** argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--figlio") == 0)
        return runChild(argc, argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestDurabilityApp test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_durability.moc"
