// The client form's "&Stampa Elenco Clienti" reaches the printing routine of
// the printing subsystem when that subsystem is part of the program.
#pragma once

class QWidget;

namespace gp::ui {
struct AppContext;
}

namespace gp::clients {

// Runs the printing of the client register; false when the program has no
// printing of the register (the caller says the function is not available).
bool printClientRegister(ui::AppContext& ctx, QWidget* parent);

} // namespace gp::clients
