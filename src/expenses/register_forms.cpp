#include "expenses/register_forms.h"

#include "core/ui/app_context.h"
#include "core/ui/navigator.h"
#include "expenses/inter_spese.h"
#include "expenses/nota_spese.h"

void gp::expenses::registerForms(ui::AppContext& ctx)
{
    ctx.navigator->registerForm(InterSpese::kName, [&ctx] { return new InterSpese(ctx); });
    ctx.navigator->registerForm(NotaSpese::kName, [&ctx] { return new NotaSpese(ctx); });
}
