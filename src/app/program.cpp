#include "app/program.h"

#include "app/artwork.h"
#include "app/form8.h"
#include "app/main_menu.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/form_base.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/text_rules.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSessionManager>
#include <QStandardPaths>

// Every subsystem registers its forms (see core/ui/navigator.h).
#include "clients/register_forms.h"
#include "cases/register_forms.h"
#include "search/register_forms.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"
#include "deadlines/register_forms.h"
#include "printing/register_forms.h"

namespace gp::app {

using namespace gp::ui;

Program::Program()
    : host_(std::make_unique<host::SpreadsheetHost>()), navigator_(std::make_unique<Navigator>())
{
    ctx_.host = host_.get();
    ctx_.navigator = navigator_.get();
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
    host::Sheet* sheet = ctx.practice()->sheet(QStringLiteral("Dorvessa"));
    sheet->allCells().autoFitColumns();
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
    sheet->freezePanes(1, 0);
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
    const bool opened = hostGuard(nullptr, [&] {
        host_->open(path, kPracticePassword);
        host::Book* book = ctx_.practice();
        for (const QString& name : {QStringLiteral("Codice"), QStringLiteral("Foglio1"), QStringLiteral("S")})
            book->sheet(name)->setVisible(true);
        prepareDorvessaSheet(ctx_);
    });
    if (!opened) {
        ctx_.endProgram(1);
        return false;
    }
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

int run(int argc, char** argv)
{
    QApplication app(argc, argv);
    setItalianLocale();
    QApplication::setApplicationName(QStringLiteral("Gestione Pratiche"));
    QApplication::setApplicationDisplayName(QStringLiteral("Gestione Pratiche"));
    QApplication::setDesktopFileName(QStringLiteral("gestione-pratiche"));
    QApplication::setWindowIcon(practiceIcon());
    // Forms hide and show one another; the program ends only through its own
    // exits, which save every workbook first.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = applicationFolder(
        QApplication::arguments(), QApplication::applicationDirPath(),
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

    Program program;
    AppContext& ctx = program.context();
    if (!program.start(folder))
        return ctx.exitCode;
    ctx.onEnd = [](int code) { QCoreApplication::exit(code); };

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
    // The desktop session ends: save what changed.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, [&ctx](QSessionManager&) {
        if (!ctx.ended)
            saveModifiedWorkbooks(ctx, nullptr);
    });

    const int code = app.exec();
    if (!ctx.ended) {
        // Left the event loop some other way (a signal from the system): save.
        saveModifiedWorkbooks(ctx, nullptr);
        ctx.endProgram(code);
    }
    return ctx.exitCode;
}

} // namespace gp::app
