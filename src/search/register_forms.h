// The search form of the case files.
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::search {
void registerForms(gp::ui::AppContext& ctx);
}
