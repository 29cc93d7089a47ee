#include "search/register_forms.h"

#include "core/ui/app_context.h"
#include "core/ui/navigator.h"
#include "search/search_form.h"

void gp::search::registerForms(ui::AppContext& ctx)
{
    ctx.navigator->registerForm(SearchForm::kName, [&ctx] { return new SearchForm(ctx); });
}
