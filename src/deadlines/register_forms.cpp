#include "deadlines/register_forms.h"

#include "core/ui/app_context.h"
#include "core/ui/navigator.h"
#include "deadlines/attiva.h"
#include "deadlines/inserisci.h"
#include "deadlines/scadenza_pratica.h"
#include "deadlines/visualizza.h"

namespace gp::deadlines {

void registerForms(ui::AppContext& ctx)
{
    ui::Navigator& nav = *ctx.navigator;
    // The launcher's load: without its workbook it is not built, and the user
    // is back at the main menu (nothing of the session is lost).
    nav.registerForm(Attiva::kName, [&ctx]() -> ui::FormBase* {
        if (!Attiva::prepareAgenda(ctx, nullptr)) {
            if (!ctx.navigator->mainMenuName().isEmpty())
                ctx.navigator->showMainMenu();
            return nullptr;
        }
        return new Attiva(ctx);
    });
    nav.registerForm(Inserisci::kName, [&ctx] { return new Inserisci(ctx); });
    nav.registerForm(Visualizza::kName, [&ctx] { return new Visualizza(ctx); });
    nav.registerForm(ScadenzaPratica::kName, [&ctx] { return new ScadenzaPratica(ctx); });
}

} // namespace gp::deadlines
