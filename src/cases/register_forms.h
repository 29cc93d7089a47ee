// The forms of the case files: the case form and the small windows it opens.
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::cases {
void registerForms(gp::ui::AppContext& ctx);
}
