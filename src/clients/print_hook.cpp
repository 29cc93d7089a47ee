#include "clients/print_hook.h"

#include "core/ui/app_context.h"

#include <QWidget>

#if __has_include("printing/print_support.h")
#include "printing/print_support.h"
#define GP_CLIENTS_HAVE_PRINTING 1
#endif

namespace gp::clients {

namespace {
// Calls the printing routine in whichever of its forms it is offered; the
// forms are tried in order and the first that compiles is used.
template <class Ctx, class Parent>
bool callPrintClientList([[maybe_unused]] Ctx& ctx, [[maybe_unused]] Parent* parent)
{
#ifdef GP_CLIENTS_HAVE_PRINTING
    if constexpr (requires { gp::printing::printClientList(ctx, parent); }) {
        gp::printing::printClientList(ctx, parent);
        return true;
    } else if constexpr (requires { gp::printing::printClientList(parent, ctx); }) {
        gp::printing::printClientList(parent, ctx);
        return true;
    } else if constexpr (requires { gp::printing::printClientList(ctx); }) {
        gp::printing::printClientList(ctx);
        return true;
    } else if constexpr (requires { gp::printing::printClientList(*ctx.practice(), parent); }) {
        gp::printing::printClientList(*ctx.practice(), parent);
        return true;
    } else {
        return false;
    }
#else
    return false;
#endif
}
} // namespace

bool printClientRegister(ui::AppContext& ctx, QWidget* parent) { return callPrintClientList(ctx, parent); }

} // namespace gp::clients
