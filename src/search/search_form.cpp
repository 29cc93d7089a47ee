#include "search/search_form.h"

#include "cases/case_form.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/item_views.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace gp::search {

using namespace gp::ui;

namespace {
const QString kTitle = QStringLiteral("Gestione Pratica");
constexpr unsigned kPaleOrange = 0xC0E0FF; // &H00C0E0FF
} // namespace

SearchForm::SearchForm(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    // The form's own background; the boxes keep theirs.
    QPalette pal = body()->palette();
    pal.setColor(QPalette::Window, bgr(kPaleOrange));
    body()->setPalette(pal);
    body()->setAutoFillBackground(true);

    auto* label1 = new QLabel(QStringLiteral("Ricerca per Cliente"), body());
    label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(label1, 600, 240, 2295, 375);

    text1_ = new QLineEdit(body());
    text1_->setObjectName(QStringLiteral("Text1"));
    placeTwips(text1_, 3120, 240, 4935, 495);
    onFocusOut(text1_, [this] {
        const QString upper = text1_->text().toUpper();
        if (upper != text1_->text())
            text1_->setText(upper);
    });

    command2_ = new QPushButton(QStringLiteral("&Esegui"), body());
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 8280, 240, 2895, 495);
    setBackColor(command2_, bgr(kWhite));
    connect(command2_, &QPushButton::clicked, this, &SearchForm::execute);

    listView1_ = new QTreeWidget(body());
    listView1_->setObjectName(QStringLiteral("ListView1"));
    listView1_->setRootIsDecorated(false);
    listView1_->setUniformRowHeights(true);
    listView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listView1_->setColumnCount(2);
    listView1_->setHeaderLabels({QStringLiteral("Soggetto"), QStringLiteral("N/Pratica")});
    listView1_->setColumnWidth(0, twips(4000));
    listView1_->setColumnWidth(1, twips(1000));
    placeTwips(listView1_, 600, 960, 10575, 1455);

    // A result opens its case in the case form.
    onItemOpened(listView1_, [this](QTreeWidgetItem* item) { openCase(item); });
    // Enter in the text box searches; Escape closes the window.
    setMainCommand(command2_);
    setEscapeCloses(true);

    setTabOrder(text1_, command2_);
    setTabOrder(command2_, listView1_);
    setClientSizeTwips(11520, 2700);
    text1_->setFocus();
}

SearchOutcome SearchForm::search(const QString& text)
{
    listView1_->clear();
    SearchOutcome outcome;
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
        outcome = searchCases(*book, text);
    });
    if (outcome.result == SearchResult::Found)
        fillList(outcome);
    return outcome;
}

void SearchForm::fillList(const SearchOutcome& outcome)
{
    // The headings are set by every search.
    listView1_->setColumnCount(2);
    listView1_->setHeaderLabels({QStringLiteral("Soggetto"), QStringLiteral("N/Pratica")});
    listView1_->setColumnWidth(0, twips(4000));
    listView1_->setColumnWidth(1, twips(1000));
    QList<QTreeWidgetItem*> items;
    items.reserve(int(outcome.rows.size()));
    for (const ResultRow& r : outcome.rows) {
        auto* item = new QTreeWidgetItem({valueText(r.name), valueText(r.caseNumber)});
        item->setData(1, Qt::UserRole, r.caseNumber);
        items << item;
    }
    listView1_->setUpdatesEnabled(false);
    listView1_->addTopLevelItems(items);
    listView1_->setUpdatesEnabled(true);
}

void SearchForm::execute()
{
    // Leaving the box capitalises its text; the search runs on that text.
    const QString upper = text1_->text().toUpper();
    if (upper != text1_->text())
        text1_->setText(upper);
    const SearchOutcome outcome = search(text1_->text());
    switch (outcome.result) {
    case SearchResult::EmptyText:
        msgBox(this, QStringLiteral("Non è possibile alcuna ricerca se il campo è vuoto"), OkOnly, kTitle);
        return;
    case SearchResult::NoClients:
        msgBox(this, QStringLiteral("Non è possibile alcuna ricerca perchè non esiste un Cliente registrato "), OkOnly,
               kTitle);
        return;
    case SearchResult::NoMatch:
        msgBox(this, QStringLiteral("Nessuna Pratica trovata, riprova"), OkOnly, kTitle);
        text1_->clear();
        text1_->setFocus();
        return;
    case SearchResult::Found: break;
    }
    msgBox(this, QStringLiteral("Ricerca Pratica Conclusa  "), OkOnly, QStringLiteral(" Gestione Pratica"));
    text1_->clear();
    text1_->setFocus();
}

void SearchForm::openCase(QTreeWidgetItem* item)
{
    const auto number = host::toIdentifier(item->data(1, Qt::UserRole));
    if (!number)
        return; // a client without a case file
    ui::Navigator* nav = ctx().navigator;
    auto* caseForm = qobject_cast<cases::Form4*>(nav->show(cases::Form4::kName));
    if (caseForm)
        caseForm->showCase(*number);
}

void SearchForm::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (e->isAccepted() && ctx().navigator && ctx().navigator->form(kName) == this)
        ctx().navigator->unload(kName);
}

} // namespace gp::search
