#include "clients/register_forms.h"

#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "core/ui/app_context.h"
#include "core/ui/navigator.h"

void gp::clients::registerForms(gp::ui::AppContext& ctx)
{
    ctx.navigator->registerForm(Anagrafe::kName, [&ctx] { return new Anagrafe(ctx); });
    ctx.navigator->registerForm(Assegna::kName, [&ctx] { return new Assegna(ctx); });
}
