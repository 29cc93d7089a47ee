// The client register's forms: "Anagrafe" (the client form) and "Assegna" (the
// client-assignment form, slots startNewClient() and startCaseAssignment()).
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::clients {
void registerForms(gp::ui::AppContext& ctx);
}
