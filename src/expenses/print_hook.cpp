#include "expenses/print_hook.h"

#include "core/ui/app_context.h"

#include <QWidget>

#if __has_include("printing/print_support.h")
#include "printing/print_support.h"
#define GP_EXPENSES_HAVE_PRINTING 1
#endif

namespace gp::expenses {

namespace {
// The printing routine is called in whichever of its accepted forms it offers.
template <class Ctx, class Parent>
bool callPrintExpenseResult([[maybe_unused]] Ctx& ctx, [[maybe_unused]] Parent* parent)
{
#ifdef GP_EXPENSES_HAVE_PRINTING
    if constexpr (requires { gp::printing::printExpenseResult(ctx, parent); }) {
        gp::printing::printExpenseResult(ctx, parent);
        return true;
    } else if constexpr (requires { gp::printing::printExpenseResult(parent, ctx); }) {
        gp::printing::printExpenseResult(parent, ctx);
        return true;
    } else if constexpr (requires { gp::printing::printExpenseResult(ctx); }) {
        gp::printing::printExpenseResult(ctx);
        return true;
    } else if constexpr (requires { gp::printing::printExpenseResult(*ctx.practice(), parent); }) {
        if (!ctx.practice())
            return false;
        gp::printing::printExpenseResult(*ctx.practice(), parent);
        return true;
    } else {
        return false;
    }
#else
    return false;
#endif
}
} // namespace

bool printExpenseResult(ui::AppContext& ctx, QWidget* parent) { return callPrintExpenseResult(ctx, parent); }

} // namespace gp::expenses
