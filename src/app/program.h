// The start-up of the program, as a library so that tests run the real
// program in-process:
//
//   gp::app::Program program;               // host, navigator, context
//   if (program.start(folder)) {            // opens Pratiche.xls, shows Form8
//       auto* login = program.navigator().form(Form8::kName); ...
//   }
//   program.context().ended / exitCode      // after the program "ended"
//
// gp::app::run() is main(): QApplication, Italian locale, the folder rule,
// Program::start, the event loop.
#pragma once

#include "core/ui/app_context.h"

#include <QString>
#include <QStringList>

#include <memory>

class QApplication;

namespace gp::host {
class SpreadsheetHost;
}
namespace gp::ui {
class Navigator;
}

namespace gp::app {

class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ui::AppContext& context() { return ctx_; }
    host::SpreadsheetHost& host() { return *host_; }
    ui::Navigator& navigator() { return *navigator_; }

    // The load of the login form: checks that "Pratiche.xls" can be read,
    // opens it with its password, makes the sheets "Codice", "Foglio1" and "S"
    // visible, prepares the sheet "Dorvessa", registers every form and shows
    // Form8 centred. On a failure it shows the message, ends the program
    // (context().ended) and returns false.
    bool start(const QString& folder);

private:
    std::unique_ptr<host::SpreadsheetHost> host_;
    std::unique_ptr<ui::Navigator> navigator_;
    ui::AppContext ctx_;
};

// Registers the program's own forms and those of every subsystem present.
void registerAllForms(ui::AppContext& ctx);

// After the workbooks were opened: when changes of a session that ended without
// saving came back from the journals (Pratiche.xls, and Dorvessa.xls when its
// journal is there), they are saved and the user is told once.
void recoverInterruptedSession(ui::AppContext& ctx);

// PrepareDorvessaSheet: headings of sheet "Dorvessa" of the case-file workbook,
// its scroll area and the frozen heading row.
void prepareDorvessaSheet(ui::AppContext& ctx);

// The application folder: `--cartella DIR` (or --cartella=DIR) when given; else
// `exeDir` when it holds "Pratiche.xls"; else "Gestione Pratiche" in the
// documents folder.
QString applicationFolder(const QStringList& arguments, const QString& exeDir, const QString& documentsDir);

// --version and --help: prints the answer (Italian) and returns 0; -1 when
// the command line asks for neither and the program is to start.
int answerWithoutDisplay(int argc, char** argv);

// main(): returns the process exit code.
int run(int argc, char** argv);

// The event loop of a started program, with every way out wired (the signals
// and the session end of app/termination.h, a failed commit told); returns the
// exit code. run() ends with it; a test's child process runs it too.
int exec(QApplication& app, Program& program);

} // namespace gp::app
