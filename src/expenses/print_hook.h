// The print box of the expense form reaches the printing of the query result
// of the printing subsystem when that subsystem is part of the program.
#pragma once

class QWidget;

namespace gp::ui {
struct AppContext;
}

namespace gp::expenses {

// Opens the printing of the result in sheet "S"; false when the program has
// no such printing (the caller says the function is not available).
bool printExpenseResult(ui::AppContext& ctx, QWidget* parent);

} // namespace gp::expenses
