// The forms of the expenses: "InterSpese" (the expense queries) and "NotaSpese"
// (one expense: booking, changing, deleting).
#pragma once

namespace gp::ui {
struct AppContext;
}

namespace gp::expenses {
void registerForms(gp::ui::AppContext& ctx);
}
