#include "cases/register_forms.h"

#include "cases/case_form.h"
#include "cases/case_status_form.h"
#include "cases/client_info_form.h"
#include "cases/utilities_form.h"
#include "core/ui/app_context.h"
#include "core/ui/navigator.h"

void gp::cases::registerForms(ui::AppContext& ctx)
{
    ui::Navigator& nav = *ctx.navigator;
    nav.registerForm(Form4::kName, [&ctx] { return new Form4(ctx); });
    nav.registerForm(CaseStatusForm::kName, [&ctx] { return new CaseStatusForm(ctx); });
    nav.registerForm(ClientInfoForm::kName, [&ctx] { return new ClientInfoForm(ctx); });
    nav.registerForm(UtilitiesForm::kName, [&ctx] { return new UtilitiesForm(ctx); });
}
