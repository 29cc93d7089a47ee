#include "clients/anagrafe.h"
#include "clients/assegna.h"

#include "clients/client_fields.h"
#include "clients/client_register.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"
#include "printing/print_support.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace gp::clients {

using namespace gp::ui;

namespace {
const QString kTitle = QStringLiteral("Gestione Pratiche");
const QString kTitleReport = QStringLiteral(" Gestione Pratiche");
const QString kNotInserted = QStringLiteral(
    " ERRORE- Il Cliente deve essere prima inserito nella Maschera -Assegnazione/Pratica/Cliente ....");
constexpr unsigned kClockColour = 0xC0E0FF;
} // namespace

Anagrafe::Anagrafe(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setCloseRefused(true);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Gestione"));
    menu->setObjectName(QStringLiteral("MnCliente"));
    addItem(menu, QStringLiteral("mnuM"), QStringLiteral("Modifica Cliente"), &Anagrafe::modifyClient);
    addItem(menu, QStringLiteral("MnuE"), QStringLiteral("Elimina Cliente"), &Anagrafe::deleteClient);
    addItem(menu, QStringLiteral("MnAgg"), QStringLiteral("&Aggiungi Cliente"), &Anagrafe::addClient);
    addItem(menu, QStringLiteral("mnuP"), QStringLiteral("&Pulisci i campi"), &Anagrafe::clearFields);
    addItem(menu, QStringLiteral("MnStampa"), QStringLiteral("&Stampa Elenco Clienti"), &Anagrafe::printClients);
    addItem(menu, QStringLiteral("MenAltri"), QStringLiteral("Altri &dati"), &Anagrafe::otherData);
    menu->addSeparator();
    addItem(menu, QStringLiteral("mnuEsci"), QStringLiteral("&Esci"), &Anagrafe::leave);

    auto* outer = new QVBoxLayout(body());
    auto* top = new QHBoxLayout;
    label1_ = new QLabel(QStringLiteral("Seleziona Cliente"), body());
    label1_->setObjectName(QStringLiteral("Label1"));
    combo1_ = new QComboBox(body());
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setMinimumWidth(twips(4500));
    // Typing narrows the list; only a choice picks a client.
    picker_ = new ListPicker(combo1_);
    label1_->setBuddy(combo1_);
    clock_ = new QLineEdit(body());
    clock_->setObjectName(QStringLiteral("Text17"));
    clock_->setFocusPolicy(Qt::NoFocus);
    setBackColor(clock_, bgr(kClockColour));
    clock_->setMaximumWidth(twips(1800));
    top->addWidget(label1_);
    top->addWidget(combo1_, 1);
    top->addStretch();
    top->addWidget(clock_);
    outer->addLayout(top);

    fields_ = new ClientFields(body());
    outer->addWidget(fields_);
    outer->addStretch();
    text1_ = fields_->line(QStringLiteral("Text1"));
    text2_ = fields_->line(QStringLiteral("Text2"));
    text1_->setToolTip(QStringLiteral(
        "Occorre Selezionare il Cliente , se non presente bisogna accedere alla Maschera Assegnazione Cliente"));

    connect(combo1_, &QComboBox::activated, this, &Anagrafe::chooseClient);
    startFormClock(this, clock_);
    setNoClientState();
    resize(twips(11500), twips(8200));
    centreOnScreen();
}

QAction* Anagrafe::addItem(QMenu* menu, const QString& name, const QString& caption, void (Anagrafe::*slot)())
{
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    return a;
}

QString Anagrafe::StrToDate(QString& data1) { return strToDate(data1); }

void Anagrafe::setNoClientState()
{
    pickedRow_ = 0;
    combo1_->setEnabled(true);
    setBackColor(text1_, bgr(kLightBlue));
    text1_->setEnabled(false);
}

void Anagrafe::clearClientFields()
{
    fields_->clear();
    combo1_->clear();
    setNoClientState();
    combo1_->setFocus();
}

void Anagrafe::loadClientNames() { picker_->setEntries(clientPickerEntries(*ctx().practice())); }

void Anagrafe::onActivate()
{
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file Pratiche.xls non è aperto."));
        if (book->sheet(kClientSheet)->range(QStringLiteral("B2")).isEmpty()) {
            msgBox(
                this,
                QStringLiteral("Non ci sono Clienti Registrati in Anagrafica , occorre  utilizzare: AGGIUNGI CLIENTE "),
                OkOnly | Information, kTitle);
            if (pickedRow_ == 0)
                combo1_->clear();
            return;
        }
        // A picked client stays on show; otherwise the list is read afresh
        // (emptied first, so each name appears once).
        if (pickedRow_ != 0)
            return;
        combo1_->clear();
        setNoClientState();
        combo1_->setFocus();
        loadClientNames();
    });
}

void Anagrafe::chooseClient(int index)
{
    if (index < 0 || index >= combo1_->count())
        return;
    hostGuard(this, [&] {
        host::Book& book = *ctx().practice();
        const QString name = combo1_->itemData(index, ListPicker::kNameRole).toString();
        int row = combo1_->itemData(index, ListPicker::kDataRole).toInt();
        // The entry leads to its own row; should the register have changed
        // since the list was read, the first row with the name is taken.
        host::Sheet* s = book.sheet(kClientSheet);
        if (row < 2 || valueText(s->value(row, 2)) != name) {
            row = 0;
            for (const ClientEntry& e : clientNames(book))
                if (e.name == name) {
                    row = e.row;
                    break;
                }
        }
        if (row == 0)
            return;
        fields_->setRecord(readClient(book, row));
        pickedRow_ = row;
        combo1_->setCurrentIndex(index);
        text1_->setEnabled(true);
        setBackColor(text1_, QApplication::palette().color(QPalette::Base));
        combo1_->setEnabled(false);
    });
}

// The row of the client shown: the picked row while its column A still holds
// the number of Text2, else the first row with that number; 0 when none.
static int rowOfShownClient(host::Book& book, int pickedRow, const QString& numberText)
{
    const auto number = host::toIdentifier(numberText);
    if (!number)
        return 0;
    if (pickedRow >= 2 && book.sheet(kClientSheet)->identifier(pickedRow, 1) == *number)
        return pickedRow;
    return findClientRow(book, *number);
}

void Anagrafe::modifyClient()
{
    combo1_->setEnabled(true);
    // A text typed to narrow the list is not a client.
    if (combo1_->currentText().isEmpty() || pickedRow_ == 0) {
        msgBox(this, kNotInserted, OkOnly, kTitle);
        return;
    }
    // An empty name would end every list of clients at this row.
    if (text1_->text().trimmed().isEmpty()) {
        msgBox(this, QStringLiteral("Il nome del Cliente non può essere vuoto."), OkOnly | Exclamation, kTitle);
        text1_->setFocus();
        return;
    }
    if (!fields_->acceptForStore(this, kTitle))
        return;
    if (msgBox(this, QStringLiteral("Si vuole modificare il Cliente Selezionato ?"), YesNo, kTitle) != Answer::Yes)
        return;
    hostGuard(this, [&] {
        host::Book& book = *ctx().practice();
        const int row = rowOfShownClient(book, pickedRow_, text2_->text());
        if (row == 0) {
            msgBox(this,
                   QStringLiteral("Il Cliente n. %1 non è presente in Anagrafica: nessuna modifica è stata registrata.")
                       .arg(text2_->text().trimmed()),
                   OkOnly | Exclamation, kTitle);
            return;
        }
        writeClient(book, row, *host::toIdentifier(text2_->text()), fields_->record());
        msgBox(this, QStringLiteral("Cliente Modificato"), OkOnly | Information, kTitle);
        clearClientFields();
        loadClientNames();
        setBackColor(text1_, bgr(kLightBlue));
        text1_->setEnabled(false);
    });
}

void Anagrafe::leaveToMainMenu()
{
    combo1_->clear();
    clearClientFields();
    hide();
    ctx().navigator->showMainMenu();
}

void Anagrafe::deleteClient()
{
    if (text1_->text().isEmpty()) {
        msgBox(this, QStringLiteral("Seleziona un Cliente !!"), OkOnly | Information, kTitle);
        return;
    }
    if (msgBox(this, QStringLiteral("Si vuole Eliminare il Cliente Selezionato ?"), YesNo | DefaultButton2, kTitle)
        != Answer::Yes)
        return;
    hostGuard(this, [&] {
        host::Book& book = *ctx().practice();
        const int row = rowOfShownClient(book, pickedRow_, text2_->text());
        if (row == 0) {
            msgBox(this,
                   QStringLiteral("Il Cliente n. %1 non è presente in Anagrafica: non è stato eliminato nulla.")
                       .arg(text2_->text().trimmed()),
                   OkOnly | Exclamation, kTitle);
            return;
        }
        const double number = *host::toIdentifier(text2_->text());
        host::Sheet* clients = book.sheet(kClientSheet);
        const QString name = valueText(clients->value(row, 2));
        clients->rows(row, row).deleteEntireRow();
        pickedRow_ = 0;
        msgBox(this, QStringLiteral("Cliente    ") + name + QStringLiteral("      Eliminato"), OkOnly | Information,
               kTitleReport);

        if (msgBox(this, QStringLiteral("Si vuole eliminare le Pratiche   associate al Cliente  ?"),
                   YesNo | DefaultButton2, kTitle)
            != Answer::Yes) {
            leaveToMainMenu();
            return;
        }
        if (book.sheet(kCaseSheet)->range(QStringLiteral("A2")).isEmpty()) {
            leaveToMainMenu();
            return;
        }
        deleteRowsOf(book, kCaseSheet, 1, 2, number);
        msgBox(this, QStringLiteral("Pratica  associata al Cliente Eliminata"), OkOnly, kTitleReport);

        if (msgBox(this, QStringLiteral("Si vuole Eliminare le Spese  Associate al Cliente  ?"), YesNo | DefaultButton2,
                   kTitle)
            != Answer::Yes) {
            leaveToMainMenu();
            return;
        }
        // "Spese" is empty when its client-number column is: "ID Oper" may be
        // missing on a real expense.
        if (book.sheet(kExpenseSheet)->range(QStringLiteral("C2")).isEmpty()) {
            leaveToMainMenu();
            return;
        }
        deleteRowsOf(book, kExpenseSheet, 1, 3, number);
    });
}

void Anagrafe::addClient()
{
    clearClientFields();
    hide();
    Navigator& nav = *ctx().navigator;
    if (auto* form = qobject_cast<Assegna*>(nav.load(Assegna::kName)))
        form->startNewClient();
}

void Anagrafe::clearFields()
{
    clearClientFields();
    hostGuard(this, [&] { loadClientNames(); });
}

void Anagrafe::otherData()
{
    msgBox(this, QStringLiteral(" Funzione ancora in Progettazione "), OkOnly, QStringLiteral("Gestione Pratica"));
}

void Anagrafe::printClients()
{
    hostGuard(this, [&] { printing::printClientList(ctx(), this); });
}

void Anagrafe::leave()
{
    clearClientFields();
    hide();
    ctx().navigator->unload(kName);
    ctx().navigator->showMainMenu();
}

} // namespace gp::clients
