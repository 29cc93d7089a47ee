// Opening a row of a report list: a double click on the row, or Enter on the
// current row, opens it; a single click only selects it.
#pragma once

#include <functional>

class QTreeWidget;
class QTreeWidgetItem;

namespace gp::ui {

void onItemOpened(QTreeWidget* list, std::function<void(QTreeWidgetItem*)> open);

} // namespace gp::ui
