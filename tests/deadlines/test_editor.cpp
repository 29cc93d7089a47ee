// The launcher and the editor driven as the user drives them: the file check,
// the boxes, the editor's modes and reset, the amount rules, inserting,
// modifying and deleting events (read back from the saved file), and the
// saving of both workbooks on each way out. Typing slips and broken agendas:
// a typed date keeps its four-digit year and must exist, a new event goes
// where the lists show it (or is refused with the broken row named), and its
// amount carries the money format, read back with msoffcrypto-tool and xlrd.
#include "app/main_menu.h"
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "common/xls_readback.h"
#include "core/ui/clock.h"
#include "core/ui/text_rules.h"
#include "deadlines/agenda.h"
#include "deadlines/attiva.h"
#include "deadlines/inserisci.h"
#include "deadlines/register_forms.h"
#include "deadlines/visualizza.h"
#include "printing/stampa.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

using namespace gp;
using namespace gp::deadlines;

namespace {
const QString kTitle = QStringLiteral("Gestione Dorvessa");

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

// A printing form standing in for the printing helper's.
class PrintStub : public ui::FormBase {
public:
    explicit PrintStub(ui::AppContext& ctx) : FormBase(ctx, printing::Stampa::kName) {}
};

void check(QWidget* form, const char* name)
{
    auto* box = child<QCheckBox>(form, name);
    QVERIFY(box);
    box->setChecked(true);
}

// Presses the editor's confirm button, answering its boxes in order; the boxes seen.
std::vector<SeenBox> confirm(QWidget* editor, std::initializer_list<const char*> answers)
{
    return answered(answers, [editor] { child<QPushButton>(editor, "Command2")->click(); });
}

int eventCount(const QString& path)
{
    SavedBook saved(path, ui::kDeadlinePassword);
    return int(readEvents(saved.sheet(kDeadlineSheet)).size());
}
} // namespace

class TestEditor : public QObject {
    Q_OBJECT
    std::unique_ptr<TestPractice> bench_;
private slots:
    void init()
    {
        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(9, 30)));
        bench_ = std::make_unique<TestPractice>();
        SKIP_WITHOUT_FIXTURE(bench_->openWith({deadlines::registerForms}));
    }
    void cleanup()
    {
        bench_.reset();
        ui::Clock::clear();
    }

    void missingAgendaGoesBackToMenu();
    void launcherUsesTheOpenAgenda();
    void launcherBoxes();
    void launcherEsciSavesBothWorkbooksAndReturns();
    void editorModesAndActivationReset();
    void editorEsciTwoStepsSavesBothWorkbooks();
    void amountRules();
    void insertFromTheEditor();
    void modifyChosenInViewer();
    void deleteChosenInViewer();
    void vanishedEventIsReported();
    void typedDatesKeepTheirYearAndMustExist();
    void newEventGoesWhereTheListsShowIt();

private:
    Inserisci* openEditor(TestPractice& env);
    Visualizza* searchAndPick(TestPractice& env, Inserisci* editor, double id);
};

Inserisci* TestEditor::openEditor(TestPractice& env) { return qobject_cast<Inserisci*>(openAgendaEditor(*env.nav)); }

// "Cerca Evento" in the current mode, then a double click on the event's line.
Visualizza* TestEditor::searchAndPick(TestPractice& env, Inserisci* editor, double id)
{
    return qobject_cast<Visualizza*>(pickEvent(*env.nav, editor, id));
}

void TestEditor::missingAgendaGoesBackToMenu()
{
    auto& env = *bench_;
    QFile::remove(env.path(ui::kDeadlineFile));
    env.nav->showMainMenu();
    env.nav->hide(app::MainMenu::kName); // as the menu does before opening a form
    bool shown = true;
    QCOMPARE(titlesAndTexts(answered({"OK"}, [&] { shown = env.nav->show(Attiva::kName); })),
             QStringList({box("Dorvessa",
                              "Impossibile eseguire il programma\nIl file "
                                  + QDir::toNativeSeparators(env.path("Dorvessa.xls")) + " non è stato trovato.")}));
    QVERIFY(!shown);
    QVERIFY(!env.ctx.ended);
    QVERIFY(env.nav->form(app::MainMenu::kName)->isVisible());
    QVERIFY(env.ctx.practice()); // the case files stay open, unsaved work kept
}

void TestEditor::launcherUsesTheOpenAgenda()
{
    auto& env = *bench_;
    host::Book* opened = openAgenda(env.ctx); // as the main menu's summary does
    opened->sheet(kDeadlineSheet)->cells(1, 3).setValue(QStringLiteral("Genere"));
    ui::FormBase* launcher = env.show(Attiva::kName);
    QVERIFY(launcher);
    QCOMPARE(env.ctx.deadlines(), opened);
    QCOMPARE(int(env.host->workbooks().size()), 2);
    QCOMPARE(launcher->windowTitle(), QStringLiteral("Gestione Dorvesse 1.3"));
    QCOMPARE(opened->sheet(kDeadlineSheet)->cells(1, 3).text(), QStringLiteral("Tipo"));
    QCOMPARE(opened->sheet(kDeadlineSheet)->cells(1, 7).text(), QString());
    QVERIFY(child<QLineEdit>(launcher, "Text1")->text().startsWith(QStringLiteral("Ore...09:30")));
    // The close box leaves the agenda as "Esci" does: back to the main menu.
    launcher->close();
    QVERIFY(!launcher->isVisible());
    QVERIFY(env.nav->form(app::MainMenu::kName)->isVisible());
    QVERIFY(!env.ctx.ended);
}

void TestEditor::launcherBoxes()
{
    auto& env = *bench_;
    ui::FormBase* launcher = env.show(Attiva::kName);
    QVERIFY(launcher);
    auto* check4 = child<QCheckBox>(launcher, "Check4");

    env.nav->registerForm(printing::Stampa::kName, [&env] { return new PrintStub(env.ctx); });
    check4->setChecked(true);
    QVERIFY(env.nav->form(printing::Stampa::kName) && env.nav->form(printing::Stampa::kName)->isVisible());
    QVERIFY(!check4->isChecked());

    // "Excel" does nothing of its own; "Gestione Dorvessa" clears it.
    check(launcher, "Check3");
    QVERIFY(launcher->isVisible());
    check(launcher, "Check1");
    QVERIFY(!child<QCheckBox>(launcher, "Check3")->isChecked());
    QVERIFY(!child<QCheckBox>(launcher, "Check1")->isChecked());
    QVERIFY(!launcher->isVisible());
    QVERIFY(env.nav->form(Inserisci::kName)->isVisible());

    // The logo opens the maker's page.
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QTest::mouseClick(child<QLabel>(launcher, "Image1"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(recorder.urls.size(), 1);
    QCOMPARE(recorder.urls[0].toString(), kMakerPage);
}

void TestEditor::launcherEsciSavesBothWorkbooksAndReturns()
{
    auto& env = *bench_;
    ui::FormBase* launcher = env.show(Attiva::kName);
    QVERIFY(launcher);
    // Changes in both workbooks; the agenda is the active one.
    env.ctx.practice()->sheet(QStringLiteral("Pratica"))->cells(2, 12).setValue(QStringLiteral("NOTIZIA NUOVA"));
    env.host->setActiveWorkbook(env.ctx.deadlines());
    agendaSheet(env.ctx)->cells(2, 4).setValue(QStringLiteral("OGGETTO CAMBIATO"));
    check(launcher, "Check2");
    // The program goes on from the main menu, where the agenda was opened.
    QVERIFY(!env.ctx.ended);
    QVERIFY(!launcher->isVisible());
    QVERIFY(!child<QCheckBox>(launcher, "Check2")->isChecked());
    QVERIFY(env.nav->form(app::MainMenu::kName)->isVisible());
    SavedBook practice(env.path(ui::kPracticeFile), ui::kPracticePassword);
    QCOMPARE(practice.sheet(QStringLiteral("Pratica"))->cells(2, 12).text(), QStringLiteral("NOTIZIA NUOVA"));
    SavedBook agenda(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    QCOMPARE(agenda.sheet(kDeadlineSheet)->cells(2, 4).text(), QStringLiteral("OGGETTO CAMBIATO"));
}

void TestEditor::editorModesAndActivationReset()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    QCOMPARE(editor->windowTitle(), QStringLiteral("Gestione Dorvessa 1.3"));
    auto* frame1 = child<QGroupBox>(editor, "Frame1");
    auto* frame2 = child<QGroupBox>(editor, "Frame2");
    auto* command2 = child<QPushButton>(editor, "Command2");
    auto* label1 = child<QLabel>(editor, "Label1");
    auto* check6 = child<QCheckBox>(editor, "Check6");
    QVERIFY(frame1->isVisible() && !frame2->isVisible() && !command2->isVisible());

    check(editor, "Check1");
    QVERIFY(!frame1->isVisible() && frame2->isVisible());
    QCOMPARE(frame2->title(), QStringLiteral("INSERISCI Evento Dorvessa"));
    QCOMPARE(command2->text(), QStringLiteral("Inserisci"));
    QCOMPARE(label1->text(), QStringLiteral("Dorvessa"));
    QVERIFY(!check6->isVisible());
    QVERIFY(child<QPushButton>(editor, "Command3")->isVisible());

    check(editor, "Check2");
    QCOMPARE(frame2->title(), QStringLiteral("MODIFICA Evento Dorvessa"));
    QCOMPARE(command2->text(), QStringLiteral("Modifica"));
    QVERIFY(check6->isVisible());
    QVERIFY(!child<QCheckBox>(editor, "Check1")->isChecked());
    QCOMPARE(editor->mode(), Inserisci::Mode::Modify);

    check(editor, "Check3");
    QCOMPARE(frame2->title(), QStringLiteral("ELIMINA  Evento  in Dorvessa"));
    QCOMPARE(command2->text(), QStringLiteral("Elimina"));
    QVERIFY(!child<QCheckBox>(editor, "Check3")->isChecked()); // never stays checked
    QVERIFY(!child<QCheckBox>(editor, "Check2")->isChecked());
    QCOMPARE(editor->mode(), Inserisci::Mode::Delete);

    // The calendar fills the date field.
    auto* cal = child<QCalendarWidget>(editor, "Calendario");
    cal->setSelectedDate(QDate(2009, 3, 5));
    emit cal->clicked(QDate(2009, 3, 5));
    QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("05/03/2009"));

    // To the viewer and back: the chooser again, boxes cleared, calendar on today.
    env.show(Visualizza::kName);
    env.show(Inserisci::kName);
    QVERIFY(frame1->isVisible() && !frame2->isVisible());
    QVERIFY(!command2->isVisible() && !check6->isVisible());
    QCOMPARE(label1->text(), QString());
    QCOMPARE(cal->selectedDate(), QDate(2026, 12, 25));
    for (const char* name : {"Check1", "Check2", "Check3", "Check4", "Check5"})
        QVERIFY2(!child<QCheckBox>(editor, name)->isChecked(), name);
    QCOMPARE(editor->mode(), Inserisci::Mode::Chooser);
    // The close box leaves it open.
    editor->close();
    QVERIFY(editor->isVisible());
}

void TestEditor::editorEsciTwoStepsSavesBothWorkbooks()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    env.ctx.practice()->sheet(QStringLiteral("Pratica"))->cells(3, 12).setValue(QStringLiteral("DAL FORM4"));
    agendaSheet(env.ctx)->cells(3, 4).setValue(QStringLiteral("DALL'AGENDA"));
    check(editor, "Check1");
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("01/01/2027"));
    auto* esci = child<QPushButton>(editor, "Command1");

    esci->click(); // from the event panel: back to the chooser, both saved
    QVERIFY(child<QGroupBox>(editor, "Frame1")->isVisible());
    QVERIFY(!child<QGroupBox>(editor, "Frame2")->isVisible());
    QVERIFY(child<QLineEdit>(editor, "Text1")->text().isEmpty());
    QVERIFY(editor->isVisible());
    QVERIFY(!env.ctx.practice()->modified() && !env.ctx.deadlines()->modified());
    {
        SavedBook practice(env.path(ui::kPracticeFile), ui::kPracticePassword);
        QCOMPARE(practice.sheet(QStringLiteral("Pratica"))->cells(3, 12).text(), QStringLiteral("DAL FORM4"));
        SavedBook agenda(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
        QCOMPARE(agenda.sheet(kDeadlineSheet)->cells(3, 4).text(), QStringLiteral("DALL'AGENDA"));
    }

    env.ctx.practice()->sheet(QStringLiteral("Pratica"))->cells(4, 12).setValue(QStringLiteral("ANCORA"));
    esci->click(); // from the chooser: to the launcher, saved again
    QVERIFY(!editor->isVisible());
    QVERIFY(env.nav->form(Attiva::kName)->isVisible());
    SavedBook practice(env.path(ui::kPracticeFile), ui::kPracticePassword);
    QCOMPARE(practice.sheet(QStringLiteral("Pratica"))->cells(4, 12).text(), QStringLiteral("ANCORA"));
}

void TestEditor::amountRules()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    auto* text4 = child<QLineEdit>(editor, "Text4");
    auto* text2 = child<QLineEdit>(editor, "Text2");
    auto leave = [&] {
        text2->setFocus();
        QApplication::processEvents();
    };

    text4->setFocus();
    QTest::keyClicks(text4, QStringLiteral("12.5"));
    QCOMPARE(text4->text(), QStringLiteral("12,5")); // the full stop typed becomes a comma
    leave();
    QCOMPARE(text4->text(), QStringLiteral("12,50"));

    text4->setFocus();
    text4->setText(QStringLiteral("1234,5"));
    leave();
    QCOMPARE(text4->text(), QStringLiteral("1.234,50"));

    text4->setFocus();
    text4->clear();
    leave();
    QCOMPARE(text4->text(), QString()); // optional: stays empty, not marked
    QVERIFY(text4->toolTip().isEmpty());

    text4->setFocus();
    text4->setText(QStringLiteral("dieci euro"));
    leave();
    QCOMPARE(text4->text(), QStringLiteral("dieci euro")); // unchanged, marked
    QVERIFY(!text4->toolTip().isEmpty());

    // The confirm button names the field and writes nothing.
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("10/01/2027"));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle,
                              "Il campo \"Importo\" non contiene un numero valido.\n"
                              "Scrivere l'importo come 1.234,50 o lasciare il campo vuoto.")}));
    QCOMPARE(int(readEvents(agendaSheet(env.ctx)).size()), 20);
    QVERIFY(!env.ctx.deadlines()->sheet(kDeadlineSheet)->cells(22, 1).value().toDouble());

    // Every date check names the field; nothing is written.
    const QString dateMessage = QStringLiteral("Il campo \"Dorvessa\" non contiene una data valida.\n"
                                               "Scrivere la data come gg/mm/aaaa o sceglierla nel calendario.");
    for (const QString& bad : {QString(), QStringLiteral("31/02/2027"), QStringLiteral("domani")}) {
        child<QLineEdit>(editor, "Text1")->setText(bad);
        child<QLineEdit>(editor, "Text4")->setText(QStringLiteral("10,00"));
        // An empty date is asked for; a typed one that is no date is named.
        QCOMPARE(
            titlesAndTexts(confirm(editor, {"OK"})),
            QStringList({box(kTitle,
                             bad.isEmpty() ? dateMessage
                                           : QStringLiteral("La data %1 nel campo Dorvessa non è valida.").arg(bad))}));
    }
    QCOMPARE(lastFilledRow(agendaSheet(env.ctx)), 21);

    // Modify with no event chosen in the viewer.
    check(editor, "Check2");
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("10/01/2027"));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle,
                              "Nessun evento scelto.\nSpuntare \"Cerca Evento\" e fare "
                              "doppio clic sull'evento nell'elenco.")}));
}

void TestEditor::insertFromTheEditor()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    auto* cal = child<QCalendarWidget>(editor, "Calendario");
    cal->setSelectedDate(QDate(2027, 6, 30));
    emit cal->clicked(QDate(2027, 6, 30));
    child<QComboBox>(editor, "Combo1")->setEditText(QStringLiteral("UDIENZA"));
    child<QLineEdit>(editor, "Text2")->setText(QStringLiteral("PRATICA 104 \u2014 COLOMBO SRL"));
    child<QPlainTextEdit>(editor, "Text3")->setPlainText(QStringLiteral("prima riga,\nseconda"));
    child<QLineEdit>(editor, "Text4")->setText(QStringLiteral("1.500,25"));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})), QStringList({box(kTitle, "Evento n. 21 inserito in Dorvessa.")}));
    QVERIFY(child<QLineEdit>(editor, "Text2")->text().isEmpty()); // ready for the next one

    // Already on disk (the editor saves after writing).
    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    const Event e = readEvent(s, 22);
    QCOMPARE(e.number.value(), 21.0);
    QCOMPARE(s->cells(22, 2).value().typeId(), int(QMetaType::Double));
    QCOMPARE(e.date, QDate(2027, 6, 30));
    QCOMPARE(e.type, QStringLiteral("UDIENZA"));
    QCOMPARE(e.subject, QStringLiteral("PRATICA 104 \u2014 COLOMBO SRL"));
    QCOMPARE(e.note, QStringLiteral("prima riga,\nseconda"));
    QCOMPARE(s->cells(22, 6).value().toDouble(), 1500.25);
}

void TestEditor::modifyChosenInViewer()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check2");
    Visualizza* viewer = searchAndPick(env, editor, 3);
    QVERIFY(viewer);
    // Every event in sheet order while "Cerca Evento" is checked.
    QCOMPARE(int(viewer->shown().size()), 20);
    QCOMPARE(viewer->shown()[3].number.value(), 4.0);

    // The editor is in modify mode with the event's fields, despite its reset.
    QCOMPARE(editor->mode(), Inserisci::Mode::Modify);
    QCOMPARE(child<QGroupBox>(editor, "Frame2")->title(), QStringLiteral("MODIFICA Evento Dorvessa"));
    QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("09/02/2027"));
    QCOMPARE(child<QComboBox>(editor, "Combo1")->currentText(), QStringLiteral("SCADENZA FISCALE"));
    QCOMPARE(child<QLineEdit>(editor, "Text2")->text(), QStringLiteral("PRATICA 104 \u2014 COLOMBO SRL"));
    QCOMPARE(child<QPlainTextEdit>(editor, "Text3")->toPlainText(),
             QStringLiteral("PORTARE FASCICOLO,\nCHIAMARE IL CLIENTE"));
    QCOMPARE(child<QLineEdit>(editor, "Text4")->text(), QStringLiteral("503,55"));
    QCOMPARE(editor->loadedEventId().value(), 3.0);

    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("15/02/2027"));
    child<QLineEdit>(editor, "Text4")->setText(QStringLiteral("600,10"));
    const auto seen = confirm(editor, {"Sì", "OK"});
    QCOMPARE(
        titlesAndTexts(seen),
        QStringList({box(kTitle, "Modificare l'evento n. 3 in Dorvessa?"), box(kTitle, "Evento n. 3 modificato.")}));
    QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));

    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    const Event e = readEvent(s, 4);
    QCOMPARE(e.number.value(), 3.0);
    QCOMPARE(e.date, QDate(2027, 2, 15));
    QCOMPARE(s->cells(4, 6).value().toDouble(), 600.1);
    QCOMPARE(e.subject, QStringLiteral("PRATICA 104 \u2014 COLOMBO SRL"));
    QCOMPARE(int(readEvents(s).size()), 20);

    // Answering No changes nothing.
    child<QLineEdit>(editor, "Text4")->setText(QStringLiteral("1,00"));
    QCOMPARE(int(confirm(editor, {"No"}).size()), 1);
    QCOMPARE(agendaSheet(env.ctx)->cells(4, 6).value().toDouble(), 600.1);
}

void TestEditor::deleteChosenInViewer()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check3");
    QVERIFY(searchAndPick(env, editor, 5));
    QCOMPARE(editor->mode(), Inserisci::Mode::Delete);
    QCOMPARE(child<QPushButton>(editor, "Command2")->text(), QStringLiteral("Elimina"));
    QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("28/12/2026"));

    const auto seen = confirm(editor, {"Sì", "OK"});
    QCOMPARE(defaultButtons(seen), QStringList({"No", "OK"}));
    QCOMPARE(titlesAndTexts(seen),
             QStringList({box(kTitle,
                              QStringLiteral("Eliminare l'evento n. 5 del 28/12/2026 da Dorvessa?\n"
                                             "PRATICA 106 \u2014 ROSSI MARIO")),
                          box(kTitle, "Evento n. 5 eliminato.")}));
    QVERIFY(!editor->loadedEventId());

    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    QCOMPARE(int(readEvents(s).size()), 19);
    QCOMPARE(findEventRow(s, 5), 0);
    QCOMPARE(readEvent(s, 6).number.value(), 6.0); // the rows below moved up
    QCOMPARE(readEvent(s, 6).date, QDate(2026, 11, 5));
}

void TestEditor::vanishedEventIsReported()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check2");
    QVERIFY(searchAndPick(env, editor, 4));
    host::Sheet* sheet = agendaSheet(env.ctx);
    deleteEventRow(sheet, findEventRow(sheet, 4)); // gone meanwhile
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle, "L'evento n. 4 non è più presente in Dorvessa.\nNulla è stato modificato.")}));
    // Nothing guessed: the event now in row 5 is untouched.
    QCOMPARE(readEvent(sheet, 5).number.value(), 5.0);
    QCOMPARE(readEvent(sheet, 5).date, QDate(2026, 12, 28));
    QCOMPARE(eventCount(env.path(ui::kDeadlineFile)), 20); // nothing saved either
}

// Types an event as the user does, date and amount, and presses "Inserisci"; the boxes seen.
static std::vector<SeenBox> typeEvent(Inserisci* editor, const QString& date, const QString& amount)
{
    auto* text1 = child<QLineEdit>(editor, "Text1");
    text1->clear();
    QTest::keyClicks(text1, date);
    child<QComboBox>(editor, "Combo1")->setEditText(QStringLiteral("UDIENZA"));
    child<QLineEdit>(editor, "Text2")->setText(QStringLiteral("PRATICA 104"));
    child<QLineEdit>(editor, "Text4")->setText(amount);
    return confirm(editor, {"OK"});
}

void TestEditor::typedDatesKeepTheirYearAndMustExist()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    QCOMPARE(titlesAndTexts(typeEvent(editor, QStringLiteral("31-02-2027"), QString())),
             QStringList({box(kTitle, "La data 31-02-2027 nel campo Dorvessa non è valida.")}));
    QCOMPARE(int(readEvents(agendaSheet(env.ctx)).size()), 20);

    // All ten characters are taken: the year stays 2027.
    QCOMPARE(typeEvent(editor, QStringLiteral("12-10-2027"), QString()).at(0).text,
             QStringLiteral("Evento n. 21 inserito in Dorvessa."));
    QCOMPARE(readEvent(agendaSheet(env.ctx), 22).date, QDate(2027, 10, 12));
}

void TestEditor::newEventGoesWhereTheListsShowIt()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    host::Sheet* sheet = agendaSheet(env.ctx);
    // An event without its number: the lists stop above it; refused.
    sheet->cells(10, 1).setValue(QVariant());
    QCOMPARE(titlesAndTexts(typeEvent(editor, QStringLiteral("05/03/2027"), QStringLiteral("1350,5"))),
             QStringList({box("Gestione Pratiche",
                              "La riga 10 del foglio Dorvessa non è vuota ma non ha il numero: "
                              "correggerla prima di aggiungere.")}));
    QVERIFY(sheet->cells(22, 1).isEmpty());
    QVERIFY(sheet->cells(22, 2).isEmpty());

    // The row emptied: the new event fills it and every list reaches it.
    sheet->rows(10, 10).clear(); // values and formats
    QCOMPARE(typeEvent(editor, QStringLiteral("05/03/2027"), QStringLiteral("1350,5")).at(0).text,
             QStringLiteral("Evento n. 21 inserito in Dorvessa."));
    const std::vector<Event> events = readEvents(sheet);
    QCOMPARE(int(events.size()), 20);
    QCOMPARE(events[8].row, 10);
    QCOMPARE(events[8].number.value(), 21.0);
    QCOMPARE(events[8].texts[5], QStringLiteral("1.350,50")); // as the viewer lists it
    QVERIFY(sheet->cells(22, 1).isEmpty());

    SKIP_WITHOUT_XLRD();
    // The editor saved the workbook after inserting.
    const QString out = readBack(env.path(ui::kDeadlineFile), ui::kDeadlinePassword,
                                 QStringLiteral("print(cell('Dorvessa', 'A10'), cell('Dorvessa', 'F10'), "
                                                "fmt('Dorvessa', 'F10'), fmt('Dorvessa', 'F2'))\n"));
    QCOMPARE(out, QStringLiteral("21.0 1350.5 #,##0.00 #,##0.00\n"));
}

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
