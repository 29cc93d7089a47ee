// The instructions form "Istruzioni".
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::instructions {
void registerForms(gp::ui::AppContext& ctx);
}
