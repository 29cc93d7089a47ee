#include "core/ui/item_views.h"

#include <QKeyEvent>
#include <QTreeWidget>

namespace gp::ui {

namespace {
class EnterOpens : public QObject {
public:
    EnterOpens(QTreeWidget* list, std::function<void(QTreeWidgetItem*)> open)
        : QObject(list), list_(list), open_(std::move(open))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == list_ && e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (QTreeWidgetItem* item = list_->currentItem())
                    open_(item);
                return true; // the list's Enter is its own, not the window's
            }
        }
        return false;
    }

private:
    QTreeWidget* list_;
    std::function<void(QTreeWidgetItem*)> open_;
};
} // namespace

void onItemOpened(QTreeWidget* list, std::function<void(QTreeWidgetItem*)> open)
{
    list->installEventFilter(new EnterOpens(list, open));
    QObject::connect(list, &QTreeWidget::itemDoubleClicked, list, [open](QTreeWidgetItem* item, int) {
        if (item)
            open(item);
    });
}

} // namespace gp::ui
