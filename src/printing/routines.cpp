// The printing routines other forms call, and the registration.
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "printing/print_support.h"
#include "printing/register_forms.h"
#include "printing/stampa.h"
#include "printing/stampa_spese.h"

namespace gp::printing {

using namespace gp::ui;

bool printClientList(AppContext& ctx, QWidget* parent)
{
    SheetPrinter* sp = sheetPrinter(ctx);
    const bool ok = hostGuard(parent, [&] {
        host::Book* book = ctx.practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file Pratiche.xls non è aperto."));
        host::Sheet* sheet = book->sheet(QStringLiteral("Clienti"));
        const QString first = sheet->range(QStringLiteral("Q1")).address();
        const QString last = sheet->range(QStringLiteral("A1")).end(host::Direction::Down).address();
        sheet->setPrintArea(first + QStringLiteral(":") + last);
        sheet::PageSetup& ps = sheet->pageSetup();
        setCenterHeader(ps,
                        QStringLiteral("Stampa  Elenco Clienti ..............  ")
                            + Clock::now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
        ps.leftMargin = ps.rightMargin = 0.21;
        ps.topMargin = 0.5;
        ps.bottomMargin = ps.headerMargin = ps.footerMargin = 0.21;
        ps.fitWidth = 1;
        ps.fitHeight = 1;
        ps.portrait = false;
        ps.paperSize = 9;
        ps.zoom = 70; // the zoom governs, not the fit
        ps.fitToPages = false;
        ps.valid = true;

        // The 8-point cells belong to the printed copy only.
        RenderOptions options;
        options.fontPoints = 8;
        // Every name and field whole, and every page holds the names: no
        // columns spill onto pages of their own.
        options.fitColumnsToText = true;
        options.fitColumnsToPage = true;
        sp->setRenderOptions(options);
        struct Reset {
            SheetPrinter* sp;
            ~Reset() { sp->clearRenderOptions(); }
        } reset{sp};
        PrintRun run(sp, parent);
        sheet->printOut();
        run.finish();
    });
    if (!ok)
        return false;
    msgBox(parent, QStringLiteral("Stampa  Eseguita"), OkOnly, QStringLiteral("Gestione Anagrafica 2008"));
    return true;
}

void printExpenseResult(AppContext& ctx, QWidget* parent, const QString& balanceText, const QString& subject)
{
    if (!ctx.navigator->isRegistered(StampaSpese::kName)) // printing not registered in this context
        ctx.navigator->registerForm(StampaSpese::kName, [&ctx] { return new StampaSpese(ctx); });
    StampaSpese* form = nullptr;
    hostGuard(parent, [&] { form = qobject_cast<StampaSpese*>(ctx.navigator->show(StampaSpese::kName)); });
    if (form) {
        form->setBalanceText(balanceText);
        form->setSubject(subject);
    }
}

void registerForms(AppContext& ctx)
{
    installPrinting(ctx);
    ctx.navigator->registerForm(Stampa::kName, [&ctx] { return new Stampa(ctx); });
    ctx.navigator->registerForm(StampaSpese::kName, [&ctx] { return new StampaSpese(ctx); });
}

} // namespace gp::printing
