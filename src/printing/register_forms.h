// The printing subsystem: the printer form "Stampa" (deadline list), the
// expense-result printing form "StampaSpese", and the program's print backend.
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::printing {
// Registers the forms and installs the print backend on the host.
void registerForms(gp::ui::AppContext& ctx);
} // namespace gp::printing
