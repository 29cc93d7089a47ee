// The bench every form test starts from: a temporary application folder, the
// real spreadsheet host and navigator, and the context the forms receive, with
// the program's Italian locale. The destructor unloads every form, closes every
// workbook without saving and forgets which form was active, so one test never
// sees another's windows. The helpers below it serve the tests that run the
// whole program (gp::app::Program) as well.
//
//   TestPractice p;
//   if (!p.openFixture())
//       QSKIP("the practice fixture (GP_SHARED_DIR/fixtures/practice) is absent");
//   gp::clients::registerForms(p.ctx);
//   auto* form = p.show<gp::clients::Anagrafe>();   // shown and activated
#pragma once

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "files.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <initializer_list>
#include <memory>
#include <vector>

class QComboBox;
class QTreeWidget;
namespace gp::app {
class Program;
}

#define SKIP_WITHOUT_FIXTURE(ok)                                                                                       \
    if (!(ok))                                                                                                         \
    QSKIP("the practice fixture (GP_SHARED_DIR/fixtures/practice) is absent")

// A stand-in for the main menu, under its name, so that leaving a form has
// somewhere to go.
class MenuStub : public gp::ui::FormBase {
    Q_OBJECT
public:
    explicit MenuStub(gp::ui::AppContext& context);
};

struct TestPractice {
    QTemporaryDir dir;
    std::unique_ptr<gp::host::SpreadsheetHost> host;
    std::unique_ptr<gp::ui::Navigator> nav;
    gp::ui::AppContext ctx;
    bool clockFixed = false;

    TestPractice();
    ~TestPractice();
    TestPractice(const TestPractice&) = delete;
    TestPractice& operator=(const TestPractice&) = delete;

    // Copies the shared practice fixture (Pratiche.xls, Dorvessa.xls,
    // Istruzioni.txt) into the folder; false when the fixture is absent.
    bool copyFixture();
    // copyFixture(), then opens Pratiche.xls with its password.
    bool openFixture();
    // The stand-in main menu and the forms of each registering function given,
    // then openFixture().
    bool openWith(std::initializer_list<void (*)(gp::ui::AppContext&)> registers);
    // A new Pratiche.xls (saved once, left open) with the given sheets, each
    // with the program's headings in row 1; the test fills it.
    gp::host::Book& createSmall(const QStringList& sheets);
    // Fixes the clock the forms read until the bench goes.
    void fixClock(const QDateTime& now);
    // Registers MenuStub as the main menu.
    void registerMenuStub();
    // Registers every form of the program.
    void registerAll();
    // Closes Pratiche.xls (after saving it when `save`, with every form
    // unloaded) and opens it again from the disk.
    void reopen(bool save = false);

    QString path(const QString& fileName) const { return ctx.path(fileName); }
    gp::host::Book& book() { return *ctx.practice(); }
    gp::host::Sheet& sheet(const QString& name) { return *book().sheet(name); }
    QVariant cell(const QString& sheetName, int row, int col) { return sheet(sheetName).cells(row, col).value(); }
    void setCell(const QString& sheetName, int row, int col, const QVariant& v)
    {
        sheet(sheetName).cells(row, col).setValue(v);
    }
    // Filled rows from row 2 down to the first empty cell of `column`.
    int tableLength(const QString& sheetName, int column = 1);
    // Rows from 2 (down to the first empty cell of `walkColumn`) whose `column` equals `id`.
    int countRows(const QString& sheetName, int walkColumn, int column, double id);

    // Shows a form and waits until its activation has run. A form that is not
    // activated within two seconds fails the running test.
    gp::ui::FormBase* show(const QString& name);
    template <class F> F* show() { return qobject_cast<F*>(show(F::kName)); }
    gp::ui::FormBase* form(const QString& name) { return nav->form(name); }
    // A control of a loaded form, by its designer name; null when either is missing.
    template <class T> T* control(const QString& formName, const char* name)
    {
        gp::ui::FormBase* f = nav->form(formName);
        return f ? f->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    }
};

// A control by its designer name; null when `form` is null or has none.
template <class T> T* child(QWidget* form, const char* name)
{
    return form ? form->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

// Shows a form and waits until its activation ran; one never activated fails the test.
gp::ui::FormBase* showForm(gp::ui::Navigator& nav, const QString& name);
// Processes events until the form `name` is the one last activated; null when it never is.
gp::ui::FormBase* waitActive(gp::ui::Navigator& nav, const QString& name, int timeoutMs = 3000);
// Picks the entry at `index` of a list box as the user would (the choice and its event).
void pickEntry(QComboBox* combo, int index);
// The texts of column `col` of a list view, top to bottom.
QStringList column(QTreeWidget* list, int col);

// Expense rows: each value written to its column, A to H, when valid.
struct ExpenseRow {
    QVariant id, caseNumber, client, date, description, kind, amount, vat;
};
// A new Pratiche.xls for the expense forms, which it registers with the menu
// stub and the instructions: clients 1 "ALFA", 10 "BETA", 21 "GAMMA", 2 "DELTA"
// (in that sheet order); cases 1 (client 10), 10 (client 1), 11 (client 21),
// 21 (client 1), 5 (client 2); and the expense rows given, from row 2.
void openExpensePractice(TestPractice& env, const std::vector<ExpenseRow>& rows);

// The agenda's editor opened from its launcher ("Inserisci o Modifica"), active; null when it is not.
gp::ui::FormBase* openAgendaEditor(gp::ui::Navigator& nav);
// "Cerca Evento" in the editor's current mode, then a double click on the line
// of event `id` in the list; the list's form once the editor is active again,
// else null.
gp::ui::FormBase* pickEvent(gp::ui::Navigator& nav, gp::ui::FormBase* editor, double id);

// Copies the practice fixture (Pratiche.xls, Dorvessa.xls, Istruzioni.txt) into
// `dir`; false when the shared fixtures are absent (the caller skips).
bool copyPracticeFixture(const QString& dir);
QString practiceFixtureDir();
using gptest::readFile;
using gptest::writeFile;

// A fresh host reading a saved workbook, to check what reached the disk. It
// reads a copy, since the program under test still holds the file's lock.
struct SavedBook {
    QTemporaryDir copyDir;
    gp::host::SpreadsheetHost host;
    gp::host::Book* book = nullptr;
    SavedBook(const QString& path, const QString& password);
    ~SavedBook() { host.closeAll(); }
    gp::host::Sheet* sheet(const QString& name) { return book->sheet(name); }
};

// The whole program. writeSmallPractice writes a minimal practice through the
// engine: Pratiche.xls with the sheets the start-up needs, Codice!ER1 =
// `password` (left empty when `password` is empty), and Dorvessa.xls.
void writeSmallPractice(const QString& dir, const QString& password);
// Starts the program on `folder`. A start-up that reports anything (a workbook
// that cannot be found, read or decrypted) fails the running test at once, its
// box closed, instead of leaving the test waiting on the box. True when the
// program started without a word.
bool startProgram(gp::app::Program& program, const QString& folder);
// Types `text` into the login form's password box and presses its button.
void typeLogin(gp::app::Program& program, const QString& text);
// typeLogin(), then the main menu when it is there.
gp::ui::FormBase* logIn(gp::app::Program& program, const QString& password);
// startProgram(), then the login with the fixture's password; true when the
// main menu is there.
bool startLoggedIn(gp::app::Program& program, const QString& folder);
