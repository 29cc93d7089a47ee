#include "deadlines/visualizza.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/item_views.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "deadlines/inserisci.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace gp::deadlines {

using namespace gp::ui;

namespace {
const int kColumnTwips[6] = {500, 1000, 2000, 2000, 2000, 1000};
}

Visualizza::Visualizza(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kDesignCaption);
    setClientSizeTwips(9400, 5200);

    auto* layout = new QVBoxLayout(body());
    label1_ = new QLabel(kPrompt, body());
    label1_->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(label1_);
    listView1_ = new QTreeWidget(body());
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setRootIsDecorated(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setColumnCount(0);
    listView1_->header()->setStretchLastSection(false);
    layout->addWidget(listView1_, 1);

    onItemOpened(listView1_, [this](QTreeWidgetItem* item) { itemDoubleClicked(item); });
    setEscapeCloses(true);
}

void Visualizza::openList(List list, const QString& caption, const QString& prompt)
{
    list_ = list;
    setWindowTitle(caption);
    label1_->setText(prompt);
    refresh();
}

void Visualizza::onActivate() { refresh(); }

bool Visualizza::editorSearchChecked() const
{
    auto* editor = ctx().navigator ? ctx().navigator->formAs<Inserisci>(Inserisci::kName) : nullptr;
    return editor && editor->searchChecked();
}

void Visualizza::refresh()
{
    listView1_->clear();
    shown_.clear();

    const bool all = list_ != List::Summary && editorSearchChecked();
    if (!all && list_ == List::None)
        return; // nothing asked for: the list stays empty

    hostGuard(this, [&] {
        host::Sheet* sheet = agendaSheet(ctx());

        QStringList headers;
        for (int c = 1; c <= 6; ++c)
            headers << sheet->cells(1, c).text();
        listView1_->setColumnCount(6);
        listView1_->setHeaderLabels(headers);
        for (int c = 0; c < 6; ++c)
            listView1_->setColumnWidth(c, twips(kColumnTwips[c]));
        // The date column holds a whole date in the list's font, year included.
        const int dateWidth = listView1_->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000"))
            + 2 * listView1_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, listView1_) + 12;
        if (listView1_->columnWidth(1) < dateWidth)
            listView1_->setColumnWidth(1, dateWidth);

        const std::vector<Event> events = readEvents(sheet);
        ListKind kind = ListKind::All;
        if (!all) {
            switch (list_) {
            case List::Due: kind = ListKind::Due; break;
            case List::Expired: kind = ListKind::Expired; break;
            case List::Summary: kind = ListKind::Summary; break;
            case List::None: break;
            }
        }
        const QDate today = Clock::today();
        shown_ = selectEvents(events, kind, today);

        QList<QTreeWidgetItem*> items;
        items.reserve(qsizetype(shown_.size()));
        const QBrush red(Qt::red);
        for (size_t i = 0; i < shown_.size(); ++i) {
            const Event& e = shown_[i];
            auto* item = new QTreeWidgetItem(e.texts);
            item->setData(0, Qt::UserRole, int(i));
            if (isExpired(e, today))
                for (int c = 0; c < 6; ++c)
                    item->setForeground(c, red);
            items << item;
        }
        listView1_->setUpdatesEnabled(false);
        listView1_->addTopLevelItems(items);
        listView1_->setUpdatesEnabled(true);
    });
}

void Visualizza::itemDoubleClicked(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int index = item->data(0, Qt::UserRole).toInt();
    if (index < 0 || size_t(index) >= shown_.size())
        return;
    auto* editor = ctx().navigator->formAs<Inserisci>(Inserisci::kName);
    if (!editor)
        return; // the agenda's editor is not open: the list only shows
    const Event& e = shown_[size_t(index)];
    if (!e.number) {
        msgBox(this,
               QStringLiteral("L'evento scelto non ha un numero nella colonna \"ID\": non può essere "
                              "modificato né eliminato dal programma."),
               OkOnly | Exclamation, kAgendaTitle);
        return;
    }
    editor->takeEvent(e);
    ctx().navigator->show(Inserisci::kName);
}

void Visualizza::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (e->isAccepted() && ctx().navigator)
        ctx().navigator->unload(objectName());
}

} // namespace gp::deadlines
