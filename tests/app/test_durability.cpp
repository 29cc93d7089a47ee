// Nothing the program confirmed is lost: each command is on disk when its
// message appears, a start after a crash brings it back (and says so once,
// before the login), the system's ways of ending the program save like "Esci",
// and no clear text of the workbooks reaches the disk on the way. Leaving by
// the main menu's "Esci" saves every workbook with changes; a failed save is
// reported and the program goes on.
//
// A crash "the instant the message appears" is the folder copied when the box
// is shown (what a kill -9 then would leave behind); a real SIGKILL and SIGTERM
// are sent to a child process running the program (this test started with
// --figlio). The workbooks are read back with msoffcrypto-tool + xlrd.
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
#include "deadlines/inserisci.h"
#include "deadlines/scadenza_pratica.h"
#include "deadlines/visualizza.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"

#include "common/modal.h"
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
#include <QTreeWidget>

#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/prctl.h>

using namespace gp;

namespace {

const QString kRecovered = QStringLiteral("Il programma non era stato chiuso correttamente.\n"
                                          "Le ultime operazioni confermate sono state recuperate (%1).");

// Copies the folder's files (not the locks) when a box whose text starts with
// `text` is shown: the disk as a crash at that instant would leave it.
class CrashCopy : public QObject {
public:
    CrashCopy(QString from, QString to, QString text)
        : from_(std::move(from)), to_(std::move(to)), text_(std::move(text))
    {
        qApp->installEventFilter(this);
    }
    ~CrashCopy() override { qApp->removeEventFilter(this); }
    bool taken() const { return taken_; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!taken_ && e->type() == QEvent::Show)
            if (auto* box = qobject_cast<QMessageBox*>(o); box && box->text().startsWith(text_)) {
                QDir().mkpath(to_);
                for (const QString& n : QDir(from_).entryList(QDir::Files | QDir::Hidden))
                    if (!n.startsWith(QStringLiteral(".~lock")))
                        QFile::copy(QDir(from_).filePath(n), QDir(to_).filePath(n));
                taken_ = true;
            }
        return false;
    }

private:
    QString from_, to_, text_;
    bool taken_ = false;
};

// The agenda's editor in `mode` ("Check2" modify, "Check3" delete) with the
// event `id` chosen by a double click in the viewer's list, as the user does.
ui::FormBase* editorOnEvent(app::Program& p, const char* mode, double id)
{
    ui::FormBase* editor = openAgendaEditor(p.navigator());
    if (!editor)
        return nullptr;
    child<QCheckBox>(editor, mode)->setChecked(true);
    return pickEvent(p.navigator(), editor, id) ? editor : nullptr;
}

struct Command {
    std::function<void(app::Program&, ModalAnswerer&)> run;
    QString confirmation;   // the start of the message that confirms it
    QString file, password; // the workbook it changes ("" for Istruzioni.txt)
    QString sheet, text;    // where the change must be found
    bool gone = false;      // the text must no longer be in the sheet's first column
    bool numbered = false;  // the text is a number that must be in the sheet's first column
    bool saved = false;     // the command saves the workbook itself: no journal is left
};

// Picks entry `index` of the case form's list as the user would.
ui::FormBase* caseFormOn(app::Program& p, int index)
{
    ui::FormBase* f = showForm(p.navigator(), cases::Form4::kName);
    if (f)
        pickEntry(child<QComboBox>(f, "Combo1"), index);
    return f;
}

bool filesHold(const QString& folder, const QString& text, QStringList* where)
{
    const QByteArray latin = text.toLatin1();
    const QByteArray utf8 = text.toUtf8();
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    bool found = false;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = f.readAll();
        if (bytes.contains(latin) || bytes.contains(utf8) || bytes.contains(utf16)) {
            *where << path + QStringLiteral(": ") + text;
            found = true;
        }
    }
    return found;
}

QVariant readCell(const QString& path, const QString& password, const QString& sheet, const QString& a1)
{
    return SavedBook(path, password).sheet(sheet)->range(a1).value();
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
        QTest::newRow("pratica modificata") << 0;
        QTest::newRow("spesa registrata") << 1;
        QTest::newRow("evento inserito") << 2;
        QTest::newRow("istruzioni aggiornate") << 3;
        QTest::newRow("pratica storicizzata") << 4;
        QTest::newRow("pratica eliminata") << 5;
        QTest::newRow("cliente aggiunto") << 6;
        QTest::newRow("spesa eliminata") << 7;
        QTest::newRow("cliente eliminato con le pratiche") << 8;
        QTest::newRow("cliente modificato") << 9;
        QTest::newRow("spesa modificata") << 10;
        QTest::newRow("evento modificato") << 11;
        QTest::newRow("evento eliminato") << 12;
        QTest::newRow("dorvessa della pratica") << 13;
        QTest::newRow("numero pratica assegnato") << 14;
    }

    void confirmedCommandSurvivesACrash()
    {
        QFETCH(int, which);
        const std::vector<Command> commands = {
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = caseFormOn(p, 4);
                 QVERIFY(f);
                 child<QLineEdit>(f, "Text5")->setText(QStringLiteral("oggetto durevole"));
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command2")->click();
             },
             QStringLiteral("Pratica modificata"), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Pratica"), QStringLiteral("OGGETTO DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = showForm(p.navigator(), expenses::NotaSpese::kName);
                 QVERIFY(f);
                 child<QComboBox>(f, "Combo1")->setEditText(QStringLiteral("101"));
                 child<QLineEdit>(f, "Text3")->setText(QStringLiteral("050426"));
                 child<QLineEdit>(f, "Text4")->setText(QStringLiteral("PERIZIA DUREVOLE"));
                 child<QComboBox>(f, "Combo2")->setEditText(QStringLiteral("ONORARIO"));
                 child<QLineEdit>(f, "Text6")->setText(QStringLiteral("1.234,56"));
                 auto* vat = child<QComboBox>(f, "Combo3");
                 vat->setCurrentIndex(vat->findText(QStringLiteral("Esente")));
                 boxes.press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command1")->click();
             },
             QStringLiteral("Spesa registrata con ID Oper"), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Spese"), QStringLiteral("PERIZIA DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* editor = openAgendaEditor(p.navigator());
                 QVERIFY(editor);
                 child<QCheckBox>(editor, "Check1")->setChecked(true);
                 auto* cal = child<QCalendarWidget>(editor, "Calendario");
                 cal->setSelectedDate(QDate(2027, 6, 30));
                 emit cal->clicked(QDate(2027, 6, 30));
                 child<QComboBox>(editor, "Combo1")->setEditText(QStringLiteral("UDIENZA"));
                 child<QLineEdit>(editor, "Text2")->setText(QStringLiteral("EVENTO DUREVOLE"));
                 boxes.press(QStringLiteral("OK"));
                 child<QPushButton>(editor, "Command2")->click();
             },
             QStringLiteral("Evento n. 21 inserito in Dorvessa."), QStringLiteral("Dorvessa.xls"),
             ui::kDeadlinePassword, QStringLiteral("Dorvessa"), QStringLiteral("EVENTO DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = showForm(p.navigator(), instructions::Istruzioni::kName);
                 QVERIFY(f);
                 f->findChild<QAction*>(QStringLiteral("MnModifica"))->trigger();
                 auto* text = child<QPlainTextEdit>(f, "Text1");
                 text->setPlainText(text->toPlainText() + QStringLiteral("\nRIGA DUREVOLE"));
                 boxes.press(QStringLiteral("OK"));
                 QTest::mouseClick(child<QPushButton>(f, "Command1"), Qt::LeftButton);
             },
             QStringLiteral(" Aggiornameno Eseguito !"), QString(), QString(), QString(),
             QStringLiteral("RIGA DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = caseFormOn(p, 4); // case 110
                 QVERIFY(f);
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command4")->click();
             },
             QStringLiteral("Pratica    110      è stata  Storicizzata"), QStringLiteral("Pratiche.xls"),
             ui::kPracticePassword, QStringLiteral("Storico"), QStringLiteral("110"), false, true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = caseFormOn(p, 4);
                 QVERIFY(f);
                 boxes.press(QStringLiteral("No")).press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 boxes.press(QStringLiteral("No"));
                 child<QPushButton>(f, "Command3")->click();
             },
             QStringLiteral("Pratica    110      Eliminata"), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Pratica"), QStringLiteral("110"), true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* register_ = showForm(p.navigator(), clients::Anagrafe::kName);
                 QVERIFY(register_);
                 register_->findChild<QAction*>(QStringLiteral("MnAgg"))->trigger();
                 QVERIFY(QTest::qWaitFor(
                     [&] {
                         ui::FormBase* f = p.navigator().form(clients::Assegna::kName);
                         return f && f->isVisible();
                     },
                     3000));
                 auto* f = qobject_cast<clients::Assegna*>(p.navigator().form(clients::Assegna::kName));
                 QVERIFY(f);
                 f->fields()->setText("Text1", QStringLiteral("CLIENTE DUREVOLE"));
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command1")->click();
             },
             QStringLiteral("Cliente Aggiunto"), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Clienti"), QStringLiteral("CLIENTE DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 auto* f = qobject_cast<expenses::NotaSpese*>(showForm(p.navigator(), expenses::NotaSpese::kName));
                 QVERIFY(f);
                 f->showExpense(3); // ID Oper 2
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 f->deleteExpense();
             },
             QStringLiteral("Spesa eliminata."), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Spese"), QStringLiteral("2"), true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = showForm(p.navigator(), clients::Anagrafe::kName);
                 QVERIFY(f);
                 auto* combo = child<QComboBox>(f, "Combo1");
                 const int i = combo->findText(QStringLiteral("BRUNO PAOLO"), Qt::MatchStartsWith);
                 QVERIFY(i >= 0);
                 emit combo->activated(i); // client 12
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK")).press(QStringLiteral("Sì"));
                 boxes.press(QStringLiteral("OK")).press(QStringLiteral("No"));
                 f->findChild<QAction*>(QStringLiteral("MnuE"))->trigger();
             },
             QStringLiteral("Pratica  associata al Cliente Eliminata"), QStringLiteral("Pratiche.xls"),
             ui::kPracticePassword, QStringLiteral("Clienti"), QStringLiteral("12"), true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = showForm(p.navigator(), clients::Anagrafe::kName);
                 QVERIFY(f);
                 auto* combo = child<QComboBox>(f, "Combo1");
                 const int i = combo->findText(QStringLiteral("BRUNO PAOLO"), Qt::MatchStartsWith);
                 QVERIFY(i >= 0);
                 emit combo->activated(i); // client 12
                 child<QLineEdit>(f, "Text4")->setText(QStringLiteral("VIA DUREVOLE 7"));
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 f->findChild<QAction*>(QStringLiteral("mnuM"))->trigger();
             },
             QStringLiteral("Cliente Modificato"), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Clienti"), QStringLiteral("VIA DUREVOLE 7")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 auto* f = qobject_cast<expenses::NotaSpese*>(showForm(p.navigator(), expenses::NotaSpese::kName));
                 QVERIFY(f);
                 f->showExpense(3); // ID Oper 2
                 child<QLineEdit>(f, "Text4")->setText(QStringLiteral("SPESA CORRETTA DUREVOLE"));
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command2")->click();
             },
             QStringLiteral("Spesa modificata."), QStringLiteral("Pratiche.xls"), ui::kPracticePassword,
             QStringLiteral("Spese"), QStringLiteral("SPESA CORRETTA DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* editor = editorOnEvent(p, "Check2", 3);
                 QVERIFY(editor);
                 child<QLineEdit>(editor, "Text2")->setText(QStringLiteral("EVENTO CORRETTO DUREVOLE"));
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(editor, "Command2")->click();
             },
             QStringLiteral("Evento n. 3 modificato."), QStringLiteral("Dorvessa.xls"), ui::kDeadlinePassword,
             QStringLiteral("Dorvessa"), QStringLiteral("EVENTO CORRETTO DUREVOLE")},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* editor = editorOnEvent(p, "Check3", 5);
                 QVERIFY(editor);
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(editor, "Command2")->click();
             },
             QStringLiteral("Evento n. 5 eliminato."), QStringLiteral("Dorvessa.xls"), ui::kDeadlinePassword,
             QStringLiteral("Dorvessa"), QStringLiteral("5"), true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* f = caseFormOn(p, 4); // case 110
                 QVERIFY(f);
                 child<QCheckBox>(f, "Check1")->setChecked(true);
                 ui::FormBase* deadline = p.navigator().form(deadlines::ScadenzaPratica::kName);
                 QVERIFY(deadline && deadline->isVisible());
                 auto* cal = child<QCalendarWidget>(deadline, "Calendario");
                 cal->setSelectedDate(QDate(2031, 3, 17));
                 emit cal->clicked(QDate(2031, 3, 17));
                 boxes.press(QStringLiteral("OK"));
                 child<QPushButton>(deadline, "Command1")->click();
             },
             // Both workbooks are saved by the command itself.
             QStringLiteral("Dorvessa del 17/03/2031 registrata per la pratica n. 110."),
             QStringLiteral("Pratiche.xls"), ui::kPracticePassword, QStringLiteral("Pratica"),
             QStringLiteral("17/03/2031"), false, false, true},
            {[](app::Program& p, ModalAnswerer& boxes) {
                 ui::FormBase* cases = showForm(p.navigator(), cases::Form4::kName);
                 QVERIFY(cases);
                 cases->findChild<QAction*>(QStringLiteral("MnAgg"))->trigger();
                 ui::FormBase* f = waitActive(p.navigator(), clients::Assegna::kName);
                 QVERIFY(f);
                 auto* list = child<QListWidget>(f, "List1");
                 const QList<QListWidgetItem*> found = list->findItems(QStringLiteral("BRUNO PAOLO"),
                                                                       Qt::MatchStartsWith);
                 QVERIFY(found.size() == 1);
                 list->setCurrentItem(found.first());
                 boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
                 child<QPushButton>(f, "Command1")->click();
             },
             QStringLiteral("Al Cliente BRUNO PAOLO è stata assegnata la Pratica numero 182"),
             QStringLiteral("Pratiche.xls"), ui::kPracticePassword, QStringLiteral("Pratica"), QStringLiteral("182"),
             false, true},
        };
        const Command& command = commands[which];

        QTemporaryDir dir, crashed;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            CrashCopy crash(dir.path(), crashed.path(), command.confirmation);
            ModalAnswerer boxes;
            command.run(program, boxes);
            QVERIFY(boxes.waitForBoxes(1));
            QVERIFY2(crash.taken(), qPrintable(command.confirmation));
            // The program is dropped here without any way out: only the copy counts.
        }
        // The change is in the journal, or in the workbook itself when the
        // command saves it (the agenda's commands do).
        const bool journaled = !command.file.isEmpty()
            && QFileInfo::exists(host::Journal::pathFor(QDir(crashed.path()).filePath(command.file)));
        QCOMPARE(journaled, command.file == QStringLiteral("Pratiche.xls") && !command.saved);

        if (command.file.isEmpty()) {
            // The instructions are a plain file, replaced whole before the message.
            QVERIFY(readFile(QDir(crashed.path()).filePath(QStringLiteral("Istruzioni.txt")))
                        .contains(command.text.toLatin1()));
            return;
        }
        // The next start brings the command back and says so, before the login.
        {
            app::Program again;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("OK"));
            QVERIFY(again.start(crashed.path()));
            QCOMPARE(int(boxes.seen().size()), journaled ? 1 : 0);
            if (journaled) {
                QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratiche"));
                QCOMPARE(boxes.seen()[0].text, kRecovered.arg(command.file));
            }
            QVERIFY(again.navigator().form(app::Form8::kName)->isVisible());
            // Folded into the workbook at once: no journal left, nothing to save.
            QVERIFY(!QFileInfo::exists(host::Journal::pathFor(QDir(crashed.path()).filePath(command.file))));
            QVERIFY(!again.context().practice()->modified());
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        }
        const QJsonObject book = readSheets(QDir(crashed.path()).filePath(command.file), command.password);
        if (command.gone)
            QVERIFY2(!firstColumnHolds(book, command.sheet, command.text.toDouble()), qPrintable(command.text));
        else if (command.numbered)
            QVERIFY2(firstColumnHolds(book, command.sheet, command.text.toDouble()), qPrintable(command.text));
        else
            QVERIFY2(sheetHolds(book, command.sheet, command.text), qPrintable(command.text));
        // A third start has nothing to recover.
        app::Program third;
        ModalAnswerer none;
        QVERIFY(third.start(crashed.path()));
        QVERIFY(none.seen().empty());
    }

    void failedCommitIsToldNotConfirmed()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        app::Program program;
        QVERIFY(startLoggedIn(program, dir.path()));
        // Nothing can be written where the journal goes.
        QVERIFY(QDir().mkpath(host::Journal::pathFor(program.context().practice()->path()) + QStringLiteral("/x")));
        ui::FormBase* f = caseFormOn(program, 4);
        QVERIFY(f);
        child<QLineEdit>(f, "Text5")->setText(QStringLiteral("non registrato"));
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
        child<QPushButton>(f, "Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 2);
        QCOMPARE(boxes.seen()[1].title, QStringLiteral("Gestione Pratiche"));
        QCOMPARE(boxes.seen()[1].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen()[1].text,
                 QStringLiteral("Impossibile registrare su disco le ultime modifiche di Pratiche.xls: il disco non è "
                                "scrivibile. Le modifiche sono ancora in memoria: liberare spazio e uscire con "
                                "\"Esci\" per salvarle."));
        // "Pratica modificata" was not shown; the change is still there to be saved.
        QVERIFY(program.context().practice()->modified());
        QVERIFY(QDir().rmpath(host::Journal::pathFor(program.context().practice()->path()) + QStringLiteral("/x")));
        QVERIFY(ui::commitChanges(nullptr)); // the disk is back: the records pending go now
        QVERIFY(QFileInfo(host::Journal::pathFor(program.context().practice()->path())).isFile());
    }

    void sessionWithoutChangesWritesNothing()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        const QByteArray practice = readFile(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")));
        const QByteArray agenda = readFile(QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls")));
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            // The forms that show the sheets, and the agenda's workbook opened.
            QVERIFY(showForm(program.navigator(), cases::Form4::kName));
            program.navigator().hide(cases::Form4::kName);
            ui::FormBase* launcher = showForm(program.navigator(), deadlines::Attiva::kName);
            QVERIFY(launcher);
            QVERIFY(program.context().deadlines());
            QVERIFY(!program.context().practice()->modified());
            QVERIFY(!program.context().deadlines()->modified());
            QVERIFY(program.context().practice()->sheet(QStringLiteral("Codice"))->visible()); // shown for work
            ModalAnswerer boxes;
            QVERIFY(ui::saveAndQuit(program.context(), nullptr));
            QVERIFY(boxes.seen().empty());
        }
        QCOMPARE(readFile(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"))), practice);
        QCOMPARE(readFile(QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls"))), agenda);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);

        // With a change, the file is written, and the sheets the program showed
        // for its work stay hidden in it.
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            program.context().practice()->sheet(QStringLiteral("Clienti"))->cells(2, 17).setValue(QStringLiteral("X"));
            QVERIFY(ui::saveAndQuit(program.context(), nullptr));
        }
        const QJsonObject book = readSheets(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")),
                                            ui::kPracticePassword);
        const QJsonObject visible = book[QStringLiteral("visible")].toObject();
        for (const char* hidden : {"Codice", "S", "Foglio1"})
            QVERIFY2(!visible[QString::fromLatin1(hidden)].toBool(), hidden);
        QVERIFY(visible[QStringLiteral("Clienti")].toBool());
    }

    void noClearTextOnDisk()
    {
        // A session with changes in both workbooks, left by a crash and
        // recovered: the folder and the temporary folder hold no client name and
        // no password in clear.
        QTemporaryDir dir, tmp;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
        {
            app::Program program;
            QVERIFY(startLoggedIn(program, dir.path()));
            host::Book* practice = program.context().practice();
            practice->sheet(QStringLiteral("Clienti"))->cells(30, 2).setValue(QStringLiteral("ZANZIBAR MARIA"));
            practice->save(); // a save: backup and dated copy
            practice->sheet(QStringLiteral("Clienti"))->cells(31, 2).setValue(QStringLiteral("ZANZIBAR LUIGI"));
            host::Book* agenda = program.host().open(program.context().path(ui::kDeadlineFile), ui::kDeadlinePassword);
            agenda->sheet(QStringLiteral("Dorvessa"))->cells(40, 3).setValue(QStringLiteral("ZANZIBAR UDIENZA"));
            ui::commitChanges(nullptr);
            QVERIFY(QFileInfo::exists(host::Journal::pathFor(practice->path())));
            QVERIFY(QFileInfo::exists(host::Journal::pathFor(agenda->path())));
            QStringList where;
            for (const QString& t : {QStringLiteral("ZANZIBAR"), QStringLiteral("ROSSI MARIO"),
                                     QStringLiteral("segreta"), ui::kPracticePassword, ui::kDeadlinePassword})
                filesHold(dir.path(), t, &where), filesHold(tmp.path(), t, &where);
            QVERIFY2(where.isEmpty(), qPrintable(where.join('\n')));
        }
        {
            app::Program again;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("OK"));
            QVERIFY(again.start(dir.path()));
            QCOMPARE(int(boxes.seen().size()), 1);
            QCOMPARE(boxes.seen()[0].text, kRecovered.arg(QStringLiteral("Pratiche.xls, Dorvessa.xls")));
            QCOMPARE(again.context().practice()->sheet(QStringLiteral("Clienti"))->cells(31, 2).value(),
                     QVariant(QStringLiteral("ZANZIBAR LUIGI")));
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        }
        qputenv("TMPDIR", oldTmp);
        QStringList where;
        for (const QString& t : {QStringLiteral("ZANZIBAR"), QStringLiteral("segreta"), ui::kPracticePassword})
            filesHold(dir.path(), t, &where), filesHold(tmp.path(), t, &where);
        QVERIFY2(where.isEmpty(), qPrintable(where.join('\n')));
        QVERIFY(sheetHolds(readSheets(QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls")), ui::kDeadlinePassword),
                           QStringLiteral("Dorvessa"), QStringLiteral("ZANZIBAR UDIENZA")));
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

    // A real child process running the program with one change confirmed: a
    // kill -9 loses nothing (the next start recovers it and says so), the
    // system's other ways of ending it save like "Esci" and leave no lock.
    void signalsToTheRunningProgram()
    {
        QFETCH(int, signal);
        QFETCH(bool, boxOpen);
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        QProcess childProcess;
        QStringList args = {QStringLiteral("--figlio"), dir.path()};
        if (boxOpen)
            args << QStringLiteral("messaggio");
        childProcess.start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(childProcess.waitForStarted());
        QByteArray said;
        QVERIFY(QTest::qWaitFor(
            [&] {
                said += childProcess.readAllStandardOutput();
                return said.contains("pronto");
            },
            30000));
        QVERIFY2(said.contains("non dumpable: 1"), said.constData()); // no core with the data in clear
        ::kill(pid_t(childProcess.processId()), signal);
        QVERIFY(childProcess.waitForFinished(30000));
        if (signal == SIGKILL) {
            QCOMPARE(childProcess.exitStatus(), QProcess::CrashExit);
            app::Program again;
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("OK"));
            QVERIFY(again.start(dir.path())); // the dead process's lock is taken over
            QCOMPARE(int(boxes.seen().size()), 1);
            QCOMPARE(boxes.seen()[0].text, kRecovered.arg(QStringLiteral("Pratiche.xls")));
            QVERIFY(ui::saveAndQuit(again.context(), nullptr));
        } else {
            QCOMPARE(childProcess.exitStatus(), QProcess::NormalExit);
            QCOMPARE(childProcess.exitCode(), 0);
            const QStringList left = QDir(dir.path())
                                         .entryList({QStringLiteral(".~lock*"), QStringLiteral(".*.journal")},
                                                    QDir::Files | QDir::Hidden);
            QVERIFY2(left.isEmpty(), qPrintable(left.join(',')));
        }
        QVERIFY(sheetHolds(readSheets(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")), ui::kPracticePassword),
                           QStringLiteral("Codice"), QStringLiteral("DA NON PERDERE")));
    }

    void sessionEndSavesAndEnds()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        QApplication::setQuitOnLastWindowClosed(false);
        app::Program program;
        QVERIFY(startLoggedIn(program, dir.path()));
        program.context()
            .practice()
            ->sheet(QStringLiteral("Foglio1"))
            ->cells(1, 1)
            .setValue(QStringLiteral("FINE SESSIONE"));
        app::connectSessionEnd(*qApp, program.context());
        // The session manager is not used by the program's answer; the signal
        // carries one only as the desktop's handle.
        alignas(QSessionManager) unsigned char storage[sizeof(QSessionManager)] = {};
        emit qApp->commitDataRequest(*reinterpret_cast<QSessionManager*>(storage));
        QVERIFY(program.context().ended);
        QCOMPARE(program.context().exitCode, 0);
        QVERIFY(program.host().workbooks().empty());
        QVERIFY(QDir(dir.path()).entryList({QStringLiteral(".~lock*")}, QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(readCell(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")), ui::kPracticePassword,
                          QStringLiteral("Foglio1"), QStringLiteral("A1")),
                 QVariant(QStringLiteral("FINE SESSIONE")));
    }

    void exitSavesBothWorkbooks()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString deadlines = QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls"));
        {
            app::Program program;
            QVERIFY(startProgram(program, dir.path()));
            ui::FormBase* menu = logIn(program, QStringLiteral("segreta"));
            QVERIFY(menu);
            // The case-file workbook changes, then the deadline workbook is
            // opened (it becomes the active one) and changes too.
            program.context()
                .practice()
                ->sheet(QStringLiteral("Foglio1"))
                ->range(QStringLiteral("A1"))
                .setValue(QStringLiteral("modificato"));
            host::Book* agenda = program.host().open(deadlines, QStringLiteral("Tesm4061QRB"));
            QCOMPARE(program.host().activeWorkbook(), agenda);
            agenda->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("C2")).setValue(QStringLiteral("UDIENZA"));

            ModalAnswerer boxes;
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QVERIFY(boxes.seen().empty());
            QVERIFY(program.context().ended);
            QCOMPARE(program.context().exitCode, 0);
            QVERIFY(program.host().workbooks().empty());
        }
        QCOMPARE(readCell(practice, QStringLiteral("Tesm4061"), QStringLiteral("Foglio1"), QStringLiteral("A1")),
                 QVariant(QStringLiteral("modificato")));
        QCOMPARE(readCell(deadlines, QStringLiteral("Tesm4061QRB"), QStringLiteral("Dorvessa"), QStringLiteral("C2")),
                 QVariant(QStringLiteral("UDIENZA")));
    }

    void failedSaveKeepsTheProgramRunning()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QByteArray before = readFile(practice);
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        ui::FormBase* menu = logIn(program, QStringLiteral("pw"));
        QVERIFY(menu);
        program.context().practice()->sheet(QStringLiteral("S"))->range(QStringLiteral("A1")).setValue(1.0);
        // The disk is full: nothing can be written.
        program.host().setWriteSink([](const QString&, const QByteArray&) { return false; });

        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), size_t(1));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratiche"));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Critical);
        QVERIFY2(boxes.seen()[0].text.startsWith(QStringLiteral("Il file Pratiche.xls non è stato salvato.\n")),
                 qPrintable(boxes.seen()[0].text));
        QVERIFY(!program.context().ended);
        QVERIFY(menu->isVisible());
        QVERIFY(program.context().practice()->modified());
        QCOMPARE(readFile(practice), before);

        // The close box of the menu tries again; with the disk back it leaves.
        program.host().setWriteSink({});
        QVERIFY(!menu->close());
        QVERIFY(program.context().ended);
        QCOMPARE(readCell(practice, QStringLiteral("Tesm4061"), QStringLiteral("S"), QStringLiteral("A1")),
                 QVariant(1.0));
    }
};

// The child process: the program on `folder`, one change confirmed (on disk as
// before any message), then the event loop with every way out wired.
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
    program.context()
        .practice()
        ->sheet(QStringLiteral("Codice"))
        ->cells(1, 40)
        .setValue(QStringLiteral("DA NON PERDERE"));
    ui::commitChanges(nullptr);
    std::printf("non dumpable: %d\n", ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 ? 1 : 0);
    if (argc > 3 && qstrcmp(argv[3], "messaggio") == 0) {
        // A box waits for an answer when the signal comes.
        QTimer::singleShot(0, [] {
            std::fputs("pronto\n", stdout);
            std::fflush(stdout);
            ui::msgBox(nullptr, QStringLiteral("In attesa"), ui::OkOnly);
        });
    } else {
        std::fputs("pronto\n", stdout);
        std::fflush(stdout);
    }
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
