// The deadline agenda's forms: "Attiva" (launcher), "Inserisci" (editor),
// "Visualizza" (viewer) and "ScadenzaPratica" (the case form's deadline).
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::deadlines {
void registerForms(gp::ui::AppContext& ctx);
}
