#include "clients/assegna.h"

#include "cases/case_form.h"
#include "clients/anagrafe.h"
#include "clients/client_fields.h"
#include "clients/client_register.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace gp::clients {

using namespace gp::ui;

namespace {
const QString kTitle = QStringLiteral("Gestione Pratiche");
const QString kTitleReport = QStringLiteral(" Gestione Pratiche");
constexpr int kRowRole = ListPicker::kDataRole;
constexpr int kNumberRole = Qt::UserRole + 2;
} // namespace

Assegna::Assegna(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);

    auto* outer = new QVBoxLayout(body());
    label1_ = new QLabel(body());
    label1_->setObjectName(QStringLiteral("Label1"));
    QFont f = label1_->font();
    f.setBold(true);
    label1_->setFont(f);
    outer->addWidget(label1_);

    label2_ = new QLabel(QStringLiteral("Cliente"), body());
    label2_->setObjectName(QStringLiteral("Label2"));
    combo1_ = new QComboBox(body());
    combo1_->setObjectName(QStringLiteral("Combo1"));
    // Typing narrows the list of names; a choice selects that client in List1.
    picker_ = new ListPicker(combo1_);
    label2_->setBuddy(combo1_);
    list1_ = new QListWidget(body());
    list1_->setObjectName(QStringLiteral("List1"));
    list1_->setMinimumHeight(twips(3000));
    outer->addWidget(label2_);
    outer->addWidget(combo1_);
    outer->addWidget(list1_, 1);

    label3_ = new QLabel(QStringLiteral("Clienti già registrati"), body());
    label3_->setObjectName(QStringLiteral("Label3"));
    combo2_ = new QComboBox(body());
    combo2_->setObjectName(QStringLiteral("Combo2"));
    label3_->setBuddy(combo2_);
    outer->addWidget(label3_);
    outer->addWidget(combo2_);

    fields_ = new ClientFields(body());
    outer->addWidget(fields_);

    auto* buttons = new QHBoxLayout;
    command1_ = new QPushButton(QStringLiteral("&Conferma"), body());
    command1_->setObjectName(QStringLiteral("Command1"));
    command2_ = new QPushButton(QStringLiteral("&Esci"), body());
    command2_->setObjectName(QStringLiteral("Command2"));
    buttons->addStretch();
    buttons->addWidget(command1_);
    buttons->addWidget(command2_);
    outer->addLayout(buttons);

    // The combo box and the list show the same clients: a choice in one is a
    // choice in the other.
    connect(combo1_, &QComboBox::activated, this, [this](int i) { list1_->setCurrentRow(i); });
    connect(list1_, &QListWidget::itemSelectionChanged, this, [this] {
        const int i = pickedIndex();
        if (combo1_->currentIndex() != i)
            combo1_->setCurrentIndex(i);
    });
    connect(list1_, &QListWidget::itemDoubleClicked, this, [this] { confirm(); });
    connect(command1_, &QPushButton::clicked, this, &Assegna::confirm);
    connect(command2_, &QPushButton::clicked, this, &Assegna::cancel);

    resize(twips(11500), twips(7600));
    centreOnScreen();
}

void Assegna::loadClients()
{
    combo2_->clear();
    list1_->clear();
    std::vector<PickerEntry> entries;
    hostGuard(this, [&] { entries = clientPickerEntries(*ctx().practice()); });
    // The three lists in the same alphabetical order, so that a position in
    // one is the same client in the others.
    picker_->setEntries(entries);
    sortByName(entries);
    const QStringList shown = shownTexts(entries);
    QStringList names;
    for (const PickerEntry& e : entries)
        names << e.name;
    for (QWidget* w : {static_cast<QWidget*>(combo1_), static_cast<QWidget*>(combo2_), static_cast<QWidget*>(list1_)}) {
        w->setUpdatesEnabled(false);
        w->blockSignals(true);
    }
    combo2_->addItems(names);
    list1_->addItems(shown);
    for (int i = 0; i < int(entries.size()); ++i) {
        const double number = host::toIdentifier(entries[size_t(i)].number).value_or(0);
        combo1_->setItemData(i, number, kNumberRole);
        list1_->item(i)->setData(kRowRole, entries[size_t(i)].data);
        list1_->item(i)->setData(kNumberRole, number);
    }
    combo1_->setCurrentIndex(-1);
    combo2_->setCurrentIndex(-1);
    list1_->setCurrentRow(-1);
    for (QWidget* w : {static_cast<QWidget*>(combo1_), static_cast<QWidget*>(combo2_), static_cast<QWidget*>(list1_)}) {
        w->blockSignals(false);
        w->setUpdatesEnabled(true);
    }
}

void Assegna::startNewClient()
{
    mode_ = Mode::NewClient;
    combo1_->setVisible(false);
    label2_->setVisible(false);
    list1_->setVisible(false);
    label3_->setVisible(true);
    combo2_->setVisible(true);
    fields_->setVisible(true);
    label1_->setText(QStringLiteral("Nuovo Cliente: inserire i dati e confermare"));
    command1_->setText(QStringLiteral("&Inserisci Cliente"));
    fields_->clear();
    loadClients();
    hostGuard(this, [&] { fields_->setText(QStringLiteral("Text2"), valueText(nextClientNumber(*ctx().practice()))); });
    ctx().navigator->show(kName);
    fields_->line(QStringLiteral("Text1"))->setFocus();
}

void Assegna::startCaseAssignment()
{
    mode_ = Mode::CaseAssignment;
    list1_->setVisible(true);
    combo2_->setVisible(false);
    label2_->setVisible(true);
    label3_->setVisible(false);
    label1_->setText(QStringLiteral("Seleziona il Cliente "));
    combo1_->setVisible(true);
    fields_->setVisible(false);
    command1_->setText(QStringLiteral("&Assegna Numero Pratica"));
    loadClients();
    ctx().navigator->show(kName);
    list1_->setFocus();
}

void Assegna::confirm()
{
    if (mode_ == Mode::NewClient)
        addClient();
    else if (mode_ == Mode::CaseAssignment)
        assignCase();
}

void Assegna::addClient()
{
    if (fields_->text(QStringLiteral("Text1")).trimmed().isEmpty()) {
        msgBox(this,
               QStringLiteral(
                   " ERRORE- Il Cliente deve essere prima inserito nella Maschera -Assegnazione/Pratica/Cliente ...."),
               OkOnly, kTitle);
        return;
    }
    if (!fields_->acceptForStore(this, kTitle))
        return;
    if (msgBox(this, QStringLiteral(" Vuoi Inserire questo Cliente ?"), YesNo, kTitle) != Answer::Yes)
        return;
    bool added = false;
    hostGuard(this, [&] {
        host::Book& book = *ctx().practice();
        const double number = appendClient(book, fields_->record());
        fields_->setText(QStringLiteral("Text2"), valueText(number));
        added = true;
    });
    if (!added)
        return;
    fields_->clear();
    msgBox(this, QStringLiteral("Cliente Aggiunto"), OkOnly, kTitleReport);
    // Back to the client form, whose list now holds the new client.
    mode_ = Mode::None;
    hide();
    ctx().navigator->show(Anagrafe::kName);
}

int Assegna::pickedIndex() const
{
    // A client is picked when its entry is selected (the current row alone is
    // not a choice: the list sets it by itself when it takes the focus).
    const QList<QListWidgetItem*> picked = list1_->selectedItems();
    return picked.isEmpty() ? -1 : list1_->row(picked.first());
}

void Assegna::assignCase()
{
    const int index = pickedIndex();
    if (index < 0) {
        msgBox(this, QStringLiteral("Seleziona un Cliente !!"), OkOnly | Information, kTitle);
        return;
    }
    QListWidgetItem* item = list1_->item(index);
    const int row = item->data(kRowRole).toInt();
    double clientNumber = item->data(kNumberRole).toDouble();
    QString name;
    bool ok = hostGuard(this, [&] {
        host::Sheet* s = ctx().practice()->sheet(kClientSheet);
        // The client as the register holds it now.
        name = valueText(s->value(row, 2));
        clientNumber = s->identifier(row, 1).value_or(0);
    });
    if (!ok)
        return;
    if (clientNumber <= 0 || name.isEmpty()) {
        msgBox(this, QStringLiteral("Il Cliente scelto non ha un numero in Anagrafica: nessuna pratica assegnata."),
               OkOnly | Exclamation, kTitle);
        loadClients();
        return;
    }
    if (msgBox(this, QStringLiteral("Si vuole assegnare una nuova Pratica al Cliente ") + name + QStringLiteral(" ?"),
               YesNo, kTitle)
        != Answer::Yes)
        return;
    double caseNumber = 0;
    if (!hostGuard(this, [&] { caseNumber = appendCase(*ctx().practice(), clientNumber); }))
        return;
    lastCase_ = caseNumber;
    msgBox(this,
           QStringLiteral("Al Cliente ") + name + QStringLiteral(" è stata assegnata la Pratica numero ")
               + valueText(caseNumber),
           OkOnly | Information, kTitleReport);
    returnToCaseForm(caseNumber);
}

void Assegna::returnToCaseForm(double caseNumber)
{
    mode_ = Mode::None;
    hide();
    Navigator& nav = *ctx().navigator;
    auto* form = qobject_cast<cases::Form4*>(nav.show(cases::Form4::kName));
    if (form && caseNumber > 0)
        form->showCase(caseNumber);
}

void Assegna::cancel()
{
    const Mode m = mode_;
    mode_ = Mode::None;
    hide();
    Navigator& nav = *ctx().navigator;
    if (m == Mode::NewClient)
        nav.show(Anagrafe::kName);
    else if (m == Mode::CaseAssignment)
        nav.show(cases::Form4::kName);
    else
        nav.showMainMenu();
}

void Assegna::closeEvent(QCloseEvent* e)
{
    // The close box goes back as "&Esci" does.
    e->ignore();
    if (isVisible())
        cancel();
}

} // namespace gp::clients
