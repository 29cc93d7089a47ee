#include "instructions/register_forms.h"

#include "core/ui/app_context.h"
#include "core/ui/navigator.h"
#include "instructions/istruzioni.h"

void gp::instructions::registerForms(ui::AppContext& ctx)
{
    ctx.navigator->registerForm(Istruzioni::kName, [&ctx] { return new Istruzioni(ctx); });
}
