#include "app/program.h"

#include "app/artwork.h"
#include "app/form8.h"
#include "app/main_menu.h"
#include "app/termination.h"
#include "core/host/journal.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/shared_workbook.h"
#include "core/ui/text_rules.h"
#include "gp_version.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSessionManager>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <string_view>

// Every subsystem registers its forms (see core/ui/navigator.h).
#include "cases/register_forms.h"
#include "clients/register_forms.h"
#include "deadlines/register_forms.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"
#include "printing/register_forms.h"
#include "search/register_forms.h"

namespace gp::app {

using namespace gp::ui;

Program::Program() : host_(std::make_unique<host::SpreadsheetHost>()), navigator_(std::make_unique<Navigator>())
{
    ctx_.host = host_.get();
    ctx_.navigator = navigator_.get();
    host_->setClock([] { return Clock::now(); }); // names conflict copies
}

Program::~Program()
{
    // Forms first (they refer to the host), then the workbooks and their locks.
    navigator_.reset();
    ctx_.navigator = nullptr;
    host_->closeAll();
}

void registerAllForms(AppContext& ctx)
{
    Navigator& nav = *ctx.navigator;
    nav.registerForm(Form8::kName, [&ctx] { return new Form8(ctx); });
    nav.registerForm(MainMenu::kName, [&ctx] { return new MainMenu(ctx); });
    nav.setMainMenuName(MainMenu::kName);
    gp::clients::registerForms(ctx);
    gp::cases::registerForms(ctx);
    gp::search::registerForms(ctx);
    gp::expenses::registerForms(ctx);
    gp::instructions::registerForms(ctx);
    gp::deadlines::registerForms(ctx);
    gp::printing::registerForms(ctx);
}

void prepareDorvessaSheet(AppContext& ctx)
{
    // Preparing the view: allowed in memory on a workbook open read-only too.
    host::ScratchChanges scratch(ctx.practice());
    host::Sheet* sheet = ctx.practice()->sheet(QStringLiteral("Dorvessa"));
    {
        // Arranged for showing: no change of the workbook.
        host::Book::ViewOnly view(sheet->book());
        sheet->allCells().autoFitColumns();
        sheet->freezePanes(1, 0);
    }
    const QString headings[] = {QStringLiteral("ID"), QStringLiteral("Dorvessa"), QStringLiteral("Oggetto"),
                                QStringLiteral("Nota")};
    for (int c = 0; c < 4; ++c) {
        host::Range cell = sheet->cells(1, c + 1);
        // Headings already in place are left alone, so an untouched workbook
        // has nothing to save.
        if (cell.value() != QVariant(headings[c]))
            cell.setValue(headings[c]);
    }
    sheet->setScrollArea(QStringLiteral("A2:E65536"));
}

void recoverInterruptedSession(AppContext& ctx)
{
    // The agenda's workbook is opened later, by its own forms; a journal left
    // beside it is played now, so that the one message covers both.
    host::Book* agenda = nullptr;
    if (!ctx.deadlines() && QFileInfo::exists(host::Journal::pathFor(ctx.path(kDeadlineFile)))) {
        host::Book* active = ctx.host->activeWorkbook();
        try {
            agenda = ctx.host->open(ctx.path(kDeadlineFile), kDeadlinePassword);
        } catch (const host::HostError& e) {
            qWarning() << e.message(); // its forms will say why when they open it
        }
        ctx.host->setActiveWorkbook(active);
    }
    QStringList recovered;
    for (host::Book* book : ctx.host->workbooks())
        if (book->recoveredChanges() > 0)
            recovered << book->fileName();
    if (!recovered.isEmpty()) {
        // Folded into the workbooks at once: the journals go.
        saveModifiedWorkbooks(ctx, nullptr);
        msgBox(nullptr,
               QStringLiteral("Il programma non era stato chiuso correttamente.\n"
                              "Le ultime operazioni confermate sono state recuperate (%1).")
                   .arg(recovered.join(QStringLiteral(", "))),
               OkOnly | Information, QStringLiteral("Gestione Pratiche"));
    }
    if (agenda)
        agenda->close();
}

bool Program::start(const QString& folder)
{
    ctx_.folder = QDir::cleanPath(folder);
    registerAllForms(ctx_);

    const QString path = ctx_.path(kPracticeFile);
    if (!Form8::verifyFile(path)) {
        msgBox(nullptr,
               QStringLiteral("Impossibile eseguire il programma\nIl file ") + QDir::toNativeSeparators(path)
                   + QStringLiteral(" non è stato trovato."),
               OkOnly, kAppTitle);
        ctx_.endProgram(1);
        return false;
    }
    ctx_.preparePractice = [this] {
        host::Book* book = ctx_.practice();
        // The results of the search and of the expense queries: scratch work,
        // also while the workbook is only consulted.
        book->setWorkSheets({QStringLiteral("S"), QStringLiteral("Foglio1")});
        for (const QString& name : {QStringLiteral("Codice"), QStringLiteral("Foglio1"), QStringLiteral("S")})
            book->sheet(name)->showForWork();
        prepareDorvessaSheet(ctx_);
    };
    const bool opened = hostGuard(nullptr, [&] {
        openSharedWorkbook(ctx_, nullptr, path, kPracticePassword);
        ctx_.preparePractice();
    });
    if (!opened) {
        ctx_.endProgram(1);
        return false;
    }
    recoverInterruptedSession(ctx_);
    FormBase::resetActivation();
    navigator_->show(Form8::kName);
    return true;
}

QString applicationFolder(const QStringList& arguments, const QString& exeDir, const QString& documentsDir)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QStringLiteral("--cartella") && i + 1 < arguments.size())
            return QDir(arguments[i + 1]).absolutePath();
        if (a.startsWith(QStringLiteral("--cartella=")))
            return QDir(a.mid(int(qstrlen("--cartella=")))).absolutePath();
    }
    if (QFileInfo::exists(QDir(exeDir).filePath(kPracticeFile)))
        return exeDir;
    return QDir(documentsDir).filePath(QStringLiteral("Gestione Pratiche"));
}

namespace {

const char kHelp[] = "Uso: gestione-pratiche [--cartella CARTELLA]\n"
                     "\n"
                     "Gestione Pratiche: clienti, pratiche, spese e scadenze dello studio, nelle cartelle di\n"
                     "lavoro Pratiche.xls e Dorvessa.xls e nel testo Istruzioni.txt di una cartella.\n"
                     "\n"
                     "Opzioni:\n"
                     "  --cartella CARTELLA  usa i file della CARTELLA indicata\n"
                     "  --help               mostra questo aiuto ed esce\n"
                     "  --version            mostra la versione ed esce\n"
                     "\n"
                     "Senza --cartella il programma usa la propria cartella quando vi trova Pratiche.xls,\n"
                     "altrimenti la cartella \"Gestione Pratiche\" nei Documenti dell'utente.\n";

} // namespace

int answerWithoutDisplay(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--version") {
            std::fputs("gestione-pratiche " GP_VERSION "\n", stdout);
            return 0;
        }
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--cartella")
            ++i; // its value is a folder, whatever its name
    }
    return -1;
}

int run(int argc, char** argv)
{
    // --version and --help need no display: answered before the application exists.
    if (const int answered = answerWithoutDisplay(argc, argv); answered >= 0)
        return answered;
    QApplication app(argc, argv);
    setItalianLocale();
    QApplication::setApplicationName(QStringLiteral("Gestione Pratiche"));
    // No display name: the window system would append it to every title. The
    // desktop file name ties the windows to the program's menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("gestione-pratiche"));
    QApplication::setWindowIcon(practiceIcon());
    // Forms hide and show one another; the program ends only through its own
    // exits, which save every workbook first.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = applicationFolder(QApplication::arguments(), QApplication::applicationDirPath(),
                                             QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

    Program program;
    AppContext& ctx = program.context();
    installTerminationHandlers(ctx);
    if (!program.start(folder))
        return ctx.exitCode;
    // "--fino-al-login": starts as always and ends as soon as the login window
    // is on screen, nothing saved: the time of a start, measured whole.
    if (QApplication::arguments().contains(QStringLiteral("--fino-al-login"))) {
        QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        app.exec();
        ctx.endProgram(0);
        return 0;
    }
    return exec(app, program);
}

int exec(QApplication& app, Program& program)
{
    AppContext& ctx = program.context();
    ctx.onEnd = [](int code) { QCoreApplication::exit(code); };
    // A commit after a command without a message failed: the user is told.
    QObject::connect(ctx.host, &host::SpreadsheetHost::journalFailed, &app,
                     [](const QString&) { commitChanges(nullptr); });

    // No window left on screen (a secondary window closed while the others
    // were hidden): the main menu comes back rather than a hidden process.
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, [&ctx] {
        if (ctx.ended)
            return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                return;
        FormBase* login = ctx.navigator->form(Form8::kName);
        if (login && !ctx.navigator->form(ctx.navigator->mainMenuName()))
            login->show(); // still at the login
        else
            ctx.navigator->showMainMenu();
    });
    // The desktop session ends: as "Esci".
    connectSessionEnd(app, ctx);

    const int code = app.exec();
    if (!ctx.ended) {
        // Left the event loop some other way (a signal from the system): save.
        saveModifiedWorkbooks(ctx, nullptr);
        ctx.endProgram(code);
    }
    return ctx.exitCode;
}

} // namespace gp::app
