// The launcher and the editor driven as the user drives them: modes, boxes,
// amount and date rules, inserting, modifying and deleting events (read back
// from the saved file), and the saving of both workbooks on each way out.
#include "app/main_menu.h"
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "common/xls_readback.h"
#include "core/ui/clock.h"
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
#include <QUrl>

using namespace gp;
using namespace gp::deadlines;

namespace {
const QString kTitle = QStringLiteral("Gestione Dorvessa");
const QString kSubject = QStringLiteral("PRATICA 104 \u2014 COLOMBO SRL");

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

// The event panel: date, type, subject, note, amount.
QStringList fields(QWidget* editor)
{
    return {child<QLineEdit>(editor, "Text1")->text(), child<QComboBox>(editor, "Combo1")->currentText(),
            child<QLineEdit>(editor, "Text2")->text(), child<QPlainTextEdit>(editor, "Text3")->toPlainText(),
            child<QLineEdit>(editor, "Text4")->text()};
}

// Fills the event panel in the order of fields(), the date typed key by key.
void fill(QWidget* editor, const QStringList& f)
{
    auto* date = child<QLineEdit>(editor, "Text1");
    date->clear();
    QTest::keyClicks(date, f[0]);
    child<QComboBox>(editor, "Combo1")->setEditText(f[1]);
    child<QLineEdit>(editor, "Text2")->setText(f[2]);
    child<QPlainTextEdit>(editor, "Text3")->setPlainText(f[3]);
    child<QLineEdit>(editor, "Text4")->setText(f[4]);
}

// A cell's text as saved: sheet "Pratica" of the case files, or the agenda's sheet.
QString savedText(TestPractice& env, const QString& file, int row, int col)
{
    const bool agenda = file == ui::kDeadlineFile;
    SavedBook saved(env.path(file), agenda ? ui::kDeadlinePassword : ui::kPracticePassword);
    return saved.sheet(agenda ? kDeadlineSheet : QStringLiteral("Pratica"))->cells(row, col).text();
}

Inserisci* openEditor(TestPractice& env) { return qobject_cast<Inserisci*>(openAgendaEditor(*env.nav)); }
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
    void launcherUsesTheOpenAgendaAndItsBoxes();
    void editorModesAndActivationReset();
    void eachEsciSavesBothWorkbooks();
    void amountAndDateRulesThenInsert();
    void modifyVanishedAndDeleteChosenInViewer();
    void typedEventsGoWhereTheListsShowThem();
};

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
    QVERIFY(!shown && !env.ctx.ended);
    QVERIFY(env.nav->form(app::MainMenu::kName)->isVisible());
    QVERIFY(env.ctx.practice()); // the case files stay open, unsaved work kept
}

void TestEditor::launcherUsesTheOpenAgendaAndItsBoxes()
{
    auto& env = *bench_;
    host::Book* opened = openAgenda(env.ctx); // as the main menu's summary does
    host::Sheet* sheet = opened->sheet(kDeadlineSheet);
    sheet->cells(1, 3).setValue(QStringLiteral("Genere"));
    ui::FormBase* launcher = env.show(Attiva::kName);
    QVERIFY(launcher);
    QCOMPARE(env.ctx.deadlines(), opened);
    QCOMPARE(int(env.host->workbooks().size()), 2);
    QCOMPARE(launcher->windowTitle(), QStringLiteral("Gestione Dorvesse 1.3"));
    QCOMPARE(sheet->cells(1, 3).text(), QStringLiteral("Tipo"));
    QCOMPARE(sheet->cells(1, 7).text(), QString());
    QVERIFY(child<QLineEdit>(launcher, "Text1")->text().startsWith(QStringLiteral("Ore...09:30")));

    env.nav->registerForm(printing::Stampa::kName, [&env] { return new PrintStub(env.ctx); });
    check(launcher, "Check4");
    QVERIFY(env.nav->form(printing::Stampa::kName) && env.nav->form(printing::Stampa::kName)->isVisible());
    QVERIFY(!child<QCheckBox>(launcher, "Check4")->isChecked());

    // The logo opens the maker's page.
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QTest::mouseClick(child<QLabel>(launcher, "Image1"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(recorder.urls, QList<QUrl>{QUrl(kMakerPage)});

    // "Excel" does nothing of its own; "Gestione Dorvessa" clears it.
    check(launcher, "Check3");
    QVERIFY(launcher->isVisible());
    check(launcher, "Check1");
    QVERIFY(!child<QCheckBox>(launcher, "Check3")->isChecked() && !child<QCheckBox>(launcher, "Check1")->isChecked());
    QVERIFY(!launcher->isVisible() && env.nav->form(Inserisci::kName)->isVisible());

    // The close box leaves the agenda as "Esci" does: back to the main menu.
    launcher = env.show(Attiva::kName);
    launcher->close();
    QVERIFY(!launcher->isVisible() && env.nav->form(app::MainMenu::kName)->isVisible());
    QVERIFY(!env.ctx.ended);
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
    auto* check6 = child<QCheckBox>(editor, "Check6");
    QVERIFY(frame1->isVisible() && !frame2->isVisible() && !command2->isVisible());

    using M = Inserisci::Mode;
    for (const auto& [box, title, command, mode] :
         {std::tuple("Check1", "INSERISCI Evento Dorvessa", "Inserisci", M::Insert),
          std::tuple("Check2", "MODIFICA Evento Dorvessa", "Modifica", M::Modify),
          std::tuple("Check3", "ELIMINA  Evento  in Dorvessa", "Elimina", M::Delete)}) {
        check(editor, box);
        if (mode == M::Insert) {
            QCOMPARE(child<QLabel>(editor, "Label1")->text(), QStringLiteral("Dorvessa"));
            QVERIFY(child<QPushButton>(editor, "Command3")->isVisible());
        }
        QVERIFY(!frame1->isVisible() && frame2->isVisible());
        QCOMPARE(frame2->title(), QString::fromUtf8(title));
        QCOMPARE(command2->text(), QString::fromUtf8(command));
        QCOMPARE(editor->mode(), mode);
        QCOMPARE(check6->isVisible(), mode != M::Insert); // "Cerca Evento"
        // The other modes' boxes are cleared; "Elimina" never stays checked.
        for (const char* other : {"Check1", "Check2", "Check3"})
            QVERIFY2(!child<QCheckBox>(editor, other)->isChecked() || (qstrcmp(other, box) == 0 && mode != M::Delete),
                     other);
    }

    // The calendar fills the date field.
    auto* cal = child<QCalendarWidget>(editor, "Calendario");
    cal->setSelectedDate(QDate(2009, 3, 5));
    emit cal->clicked(QDate(2009, 3, 5));
    QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("05/03/2009"));

    // To the viewer and back: the chooser again, boxes cleared, calendar on today.
    env.show(Visualizza::kName);
    env.show(Inserisci::kName);
    QVERIFY(frame1->isVisible() && !frame2->isVisible() && !command2->isVisible() && !check6->isVisible());
    QCOMPARE(child<QLabel>(editor, "Label1")->text(), QString());
    QCOMPARE(cal->selectedDate(), QDate(2026, 12, 25));
    for (const char* name : {"Check1", "Check2", "Check3", "Check4", "Check5"})
        QVERIFY2(!child<QCheckBox>(editor, name)->isChecked(), name);
    QCOMPARE(editor->mode(), Inserisci::Mode::Chooser);
    // The close box leaves it open.
    editor->close();
    QVERIFY(editor->isVisible());
}

// "Esci" of the event panel, of the chooser and of the launcher, each saving both workbooks.
void TestEditor::eachEsciSavesBothWorkbooks()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    env.setCell(QStringLiteral("Pratica"), 3, 12, QStringLiteral("DAL FORM4"));
    agendaSheet(env.ctx)->cells(3, 4).setValue(QStringLiteral("DALL'AGENDA"));
    check(editor, "Check1");
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("01/01/2027"));
    auto* esci = child<QPushButton>(editor, "Command1");

    esci->click(); // from the event panel: back to the chooser
    QVERIFY(child<QGroupBox>(editor, "Frame1")->isVisible() && !child<QGroupBox>(editor, "Frame2")->isVisible());
    QVERIFY(editor->isVisible() && child<QLineEdit>(editor, "Text1")->text().isEmpty());
    QVERIFY(!env.ctx.practice()->modified() && !env.ctx.deadlines()->modified());
    QCOMPARE(savedText(env, ui::kPracticeFile, 3, 12), QStringLiteral("DAL FORM4"));
    QCOMPARE(savedText(env, ui::kDeadlineFile, 3, 4), QStringLiteral("DALL'AGENDA"));

    env.setCell(QStringLiteral("Pratica"), 4, 12, QStringLiteral("ANCORA"));
    esci->click(); // from the chooser: to the launcher
    ui::FormBase* launcher = env.nav->form(Attiva::kName);
    QVERIFY(!editor->isVisible() && launcher->isVisible());
    QCOMPARE(savedText(env, ui::kPracticeFile, 4, 12), QStringLiteral("ANCORA"));

    // From the launcher, with the agenda the active workbook: the program goes on from the main menu.
    env.setCell(QStringLiteral("Pratica"), 2, 12, QStringLiteral("NOTIZIA NUOVA"));
    env.host->setActiveWorkbook(env.ctx.deadlines());
    agendaSheet(env.ctx)->cells(2, 4).setValue(QStringLiteral("OGGETTO CAMBIATO"));
    check(launcher, "Check2");
    QVERIFY(!env.ctx.ended && !child<QCheckBox>(launcher, "Check2")->isChecked());
    QVERIFY(!launcher->isVisible() && env.nav->form(app::MainMenu::kName)->isVisible());
    QCOMPARE(savedText(env, ui::kPracticeFile, 2, 12), QStringLiteral("NOTIZIA NUOVA"));
    QCOMPARE(savedText(env, ui::kDeadlineFile, 2, 4), QStringLiteral("OGGETTO CAMBIATO"));
}

void TestEditor::amountAndDateRulesThenInsert()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    auto* text4 = child<QLineEdit>(editor, "Text4");
    auto leave = [&] {
        child<QLineEdit>(editor, "Text2")->setFocus();
        QApplication::processEvents();
    };
    text4->setFocus();
    QTest::keyClicks(text4, QStringLiteral("12.5"));
    QCOMPARE(text4->text(), QStringLiteral("12,5")); // the full stop typed becomes a comma
    leave();
    QCOMPARE(text4->text(), QStringLiteral("12,50"));
    // On leaving: formatted; optional, so empty stays empty; no number stays as typed, marked.
    for (const auto& [typed, shown, marked] : {std::tuple("1234,5", "1.234,50", false), std::tuple("", "", false),
                                               std::tuple("dieci euro", "dieci euro", true)}) {
        text4->setFocus();
        text4->setText(QString::fromUtf8(typed));
        leave();
        QCOMPARE(text4->text(), QString::fromUtf8(shown));
        QCOMPARE(!text4->toolTip().isEmpty(), marked);
    }

    // The confirm button names the field and writes nothing.
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("10/01/2027"));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle,
                              "Il campo \"Importo\" non contiene un numero valido.\n"
                              "Scrivere l'importo come 1.234,50 o lasciare il campo vuoto.")}));
    // An empty date is asked for; a typed one that is no date is named.
    for (const QString& bad : {QString(), QStringLiteral("31/02/2027"), QStringLiteral("domani")}) {
        child<QLineEdit>(editor, "Text1")->setText(bad);
        text4->setText(QStringLiteral("10,00"));
        QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
                 QStringList({box(kTitle,
                                  bad.isEmpty()
                                      ? QStringLiteral("Il campo \"Dorvessa\" non contiene una data valida.\n"
                                                       "Scrivere la data come gg/mm/aaaa o sceglierla nel calendario.")
                                      : QStringLiteral("La data %1 nel campo Dorvessa non è valida.").arg(bad))}));
    }
    QCOMPARE(lastFilledRow(agendaSheet(env.ctx)), 21);

    fill(editor, {"30/06/2027", "UDIENZA", kSubject, "prima riga,\nseconda", "1.500,25"});
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})), QStringList({box(kTitle, "Evento n. 21 inserito in Dorvessa.")}));
    QVERIFY(child<QLineEdit>(editor, "Text2")->text().isEmpty()); // ready for the next one
    // Already on disk: the editor saves after writing.
    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    QCOMPARE(readEvent(s, 22).texts,
             QStringList({"21", "30/06/2027", "UDIENZA", kSubject, "prima riga,\nseconda", "1.500,25"}));
    QCOMPARE(s->cells(22, 2).value().typeId(), int(QMetaType::Double)); // a date value
    QCOMPARE(s->cells(22, 6).value(), QVariant(1500.25));

    // Modify with no event chosen in the viewer.
    check(editor, "Check2");
    child<QLineEdit>(editor, "Text1")->setText(QStringLiteral("10/01/2027"));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle,
                              "Nessun evento scelto.\nSpuntare \"Cerca Evento\" e fare "
                              "doppio clic sull'evento nell'elenco.")}));
}

void TestEditor::modifyVanishedAndDeleteChosenInViewer()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check2");
    auto* viewer = qobject_cast<Visualizza*>(pickEvent(*env.nav, editor, 3));
    QVERIFY(viewer);
    // Every event in sheet order while "Cerca Evento" is checked.
    QCOMPARE(int(viewer->shown().size()), 20);
    QCOMPARE(viewer->shown()[3].number.value(), 4.0);

    // The editor is in modify mode with the event's fields, despite its reset.
    QCOMPARE(editor->mode(), Inserisci::Mode::Modify);
    QCOMPARE(child<QGroupBox>(editor, "Frame2")->title(), QStringLiteral("MODIFICA Evento Dorvessa"));
    QStringList f = fields(editor);
    QCOMPARE(
        f,
        QStringList({"09/02/2027", "SCADENZA FISCALE", kSubject, "PORTARE FASCICOLO,\nCHIAMARE IL CLIENTE", "503,55"}));
    QCOMPARE(editor->loadedEventId().value(), 3.0);

    f[0] = QStringLiteral("15/02/2027");
    f[4] = QStringLiteral("600,10");
    fill(editor, f);
    const auto seen = confirm(editor, {"Sì", "OK"});
    QCOMPARE(
        titlesAndTexts(seen),
        QStringList({box(kTitle, "Modificare l'evento n. 3 in Dorvessa?"), box(kTitle, "Evento n. 3 modificato.")}));
    QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));
    SavedBook modified(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    f.prepend(QStringLiteral("3"));
    QCOMPARE(readEvent(modified.sheet(kDeadlineSheet), 4).texts, f);
    QCOMPARE(modified.sheet(kDeadlineSheet)->cells(4, 6).value().toDouble(), 600.1);
    QCOMPARE(int(readEvents(modified.sheet(kDeadlineSheet)).size()), 20);

    // Answering No changes nothing.
    child<QLineEdit>(editor, "Text4")->setText(QStringLiteral("1,00"));
    QCOMPARE(int(confirm(editor, {"No"}).size()), 1);
    QCOMPARE(agendaSheet(env.ctx)->cells(4, 6).value().toDouble(), 600.1);

    // Event 4 chosen, then gone meanwhile: reported, nothing guessed, nothing saved.
    child<QCheckBox>(editor, "Check6")->setChecked(false); // to tick "Cerca Evento" again
    QVERIFY(pickEvent(*env.nav, editor, 4));
    host::Sheet* sheet = agendaSheet(env.ctx);
    deleteEventRow(sheet, findEventRow(sheet, 4));
    QCOMPARE(titlesAndTexts(confirm(editor, {"OK"})),
             QStringList({box(kTitle, "L'evento n. 4 non è più presente in Dorvessa.\nNulla è stato modificato.")}));
    QCOMPARE(readEvent(sheet, 5).texts.mid(0, 2), QStringList({"5", "28/12/2026"}));
    QCOMPARE(
        int(readEvents(SavedBook(env.path(ui::kDeadlineFile), ui::kDeadlinePassword).sheet(kDeadlineSheet)).size()),
        20);

    // Event 5 deleted: saved with the rest of the sheet (without event 4 now), the rows below moved up.
    check(editor, "Check3");
    child<QCheckBox>(editor, "Check6")->setChecked(false);
    QVERIFY(pickEvent(*env.nav, editor, 5));
    QCOMPARE(editor->mode(), Inserisci::Mode::Delete);
    QCOMPARE(child<QLineEdit>(editor, "Text1")->text(), QStringLiteral("28/12/2026"));
    const auto deleted = confirm(editor, {"Sì", "OK"});
    QCOMPARE(defaultButtons(deleted), QStringList({"No", "OK"}));
    QCOMPARE(titlesAndTexts(deleted),
             QStringList({box(kTitle,
                              QStringLiteral("Eliminare l'evento n. 5 del 28/12/2026 da Dorvessa?\n"
                                             "PRATICA 106 \u2014 ROSSI MARIO")),
                          box(kTitle, "Evento n. 5 eliminato.")}));
    QVERIFY(!editor->loadedEventId());

    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    QCOMPARE(int(readEvents(s).size()), 18);
    QCOMPARE(findEventRow(s, 5), 0);
    QCOMPARE(readEvent(s, 5).texts.mid(0, 2), QStringList({"6", "05/11/2026"}));
}

// A typed date keeps its four-digit year and must exist; a new event goes where
// the lists show it, or is refused with the broken row named.
void TestEditor::typedEventsGoWhereTheListsShowThem()
{
    auto& env = *bench_;
    Inserisci* editor = openEditor(env);
    QVERIFY(editor);
    check(editor, "Check1");
    host::Sheet* sheet = agendaSheet(env.ctx);
    const auto typeEvent = [editor](const char* date) {
        fill(editor, {date, "UDIENZA", "PRATICA 104", "", "1350,5"});
        return titlesAndTexts(confirm(editor, {"OK"}));
    };
    QCOMPARE(typeEvent("31-02-2027"),
             QStringList({box(kTitle, "La data 31-02-2027 nel campo Dorvessa non è valida.")}));
    // An event without its number: the lists stop above it.
    sheet->cells(10, 1).setValue(QVariant());
    QCOMPARE(typeEvent("12-10-2027"),
             QStringList({box("Gestione Pratiche",
                              "La riga 10 del foglio Dorvessa non è vuota ma non ha il numero: "
                              "correggerla prima di aggiungere.")}));
    QVERIFY(sheet->cells(22, 1).isEmpty() && sheet->cells(22, 2).isEmpty());

    // The row emptied (values and formats): the new event fills it and every list reaches it.
    sheet->rows(10, 10).clear();
    QCOMPARE(typeEvent("12-10-2027"), QStringList({box(kTitle, "Evento n. 21 inserito in Dorvessa.")}));
    const std::vector<Event> events = readEvents(sheet);
    QCOMPARE(int(events.size()), 20);
    QCOMPARE(events[8].row, 10);
    // All ten characters taken: the year stays 2027; the amount as the viewer lists it.
    QCOMPARE(events[8].texts, QStringList({"21", "12/10/2027", "UDIENZA", "PRATICA 104", "", "1.350,50"}));
    QVERIFY(sheet->cells(22, 1).isEmpty());

    SKIP_WITHOUT_XLRD();
    const QString out = readBack(env.path(ui::kDeadlineFile), ui::kDeadlinePassword,
                                 QStringLiteral("print(cell('Dorvessa', 'A10'), cell('Dorvessa', 'F10'), "
                                                "fmt('Dorvessa', 'F10'), fmt('Dorvessa', 'F2'))\n"));
    QCOMPARE(out, QStringLiteral("21.0 1350.5 #,##0.00 #,##0.00\n"));
}

QTEST_MAIN(TestEditor)
#include "test_editor.moc"
