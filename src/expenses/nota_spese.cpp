#include "expenses/nota_spese.h"

#include "cases/case_form.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/input_checks.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "expenses/balance.h"
#include "expenses/expense_query.h"
#include "expenses/inter_spese.h"

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <set>

namespace gp::expenses {

using namespace gp::ui;

namespace {
const QString kNotOpen = QStringLiteral("La cartella di lavoro Pratiche.xls non è aperta.");

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top, int width)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    placeTwips(l, left, top, width, 255);
    return l;
}

QLineEdit* makeText(QWidget* parent, const char* name, int left, int top, int width)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    placeTwips(t, left, top, width, 315);
    return t;
}

void setComboText(QComboBox* c, const QString& text)
{
    const bool blocked = c->blockSignals(true);
    if (c->isEditable()) {
        c->setCurrentIndex(c->findText(text, Qt::MatchFixedString));
        c->setEditText(text);
    } else {
        c->setCurrentIndex(c->findText(text, Qt::MatchFixedString)); // case-insensitive
    }
    c->blockSignals(blocked);
}

// The rows of "Spese" holding the expense `id` (an "ID Oper" read from the sheet).
int findExpenseRow(host::Sheet& spese, const QVariant& id, int hintRow, double hintCase)
{
    const auto number = host::toIdentifier(id);
    const std::vector<int> rows = spese.walkDown(2, kColCase);
    if (number) {
        for (int row : rows)
            if (spese.identifier(row, kColIdOper) == *number)
                return row;
        return 0;
    }
    // An expense without an "ID Oper" is known only by its row: it must still be there.
    if (hintRow >= 2 && std::find(rows.begin(), rows.end(), hintRow) != rows.end() && spese.isEmpty(hintRow, kColIdOper)
        && spese.identifier(hintRow, kColCase) == hintCase)
        return hintRow;
    return 0;
}
} // namespace

NotaSpese::NotaSpese(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    QWidget* b = body();

    makeLabel(b, "Label1", QStringLiteral("N/Pratica"), 240, 240, 1400);
    combo1_ = new QComboBox(b);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo1_, 1800, 200, 1500, 315);
    makeLabel(b, "Label2", QStringLiteral("Cliente"), 3600, 240, 900);
    text1_ = makeText(b, "Text1", 4500, 200, 4200);
    text1_->setReadOnly(true);

    makeLabel(b, "Label3", QStringLiteral("ID Oper"), 240, 720, 1400);
    text2_ = makeText(b, "Text2", 1800, 680, 1500);
    text2_->setReadOnly(true);
    makeLabel(b, "Label4", QStringLiteral("Data"), 3600, 720, 900);
    text3_ = makeText(b, "Text3", 4500, 680, 1500);
    limitTyping(text3_, 10);
    installDateRule(text3_);
    auto* pick = new QPushButton(QStringLiteral("..."), b);
    pick->setObjectName(QStringLiteral("Command6"));
    pick->setToolTip(QStringLiteral("Scegli la data sul calendario"));
    placeTwips(pick, 6060, 680, 400, 315);

    makeLabel(b, "Label5", QStringLiteral("Descrizione"), 240, 1200, 1400);
    text4_ = makeText(b, "Text4", 1800, 1160, 6900);
    makeLabel(b, "Label6", QStringLiteral("Tipo Spesa"), 240, 1680, 1400);
    combo2_ = new QComboBox(b);
    combo2_->setObjectName(QStringLiteral("Combo2"));
    combo2_->setEditable(true);
    combo2_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo2_, 1800, 1640, 3000, 315);

    makeLabel(b, "Label7", QStringLiteral("Importo €"), 240, 2160, 1400);
    text6_ = makeText(b, "Text6", 1800, 2120, 1500);
    text6_->setAlignment(Qt::AlignRight);
    makeLabel(b, "Label8", QStringLiteral("IVA/Esente"), 3600, 2160, 900);
    combo3_ = new QComboBox(b);
    combo3_->setObjectName(QStringLiteral("Combo3"));
    combo3_->addItems({QStringLiteral("IVA"), QStringLiteral("Esente")});
    combo3_->setCurrentIndex(-1);
    placeTwips(combo3_, 4500, 2120, 1500, 315);

    command1_ = new QPushButton(QStringLiteral("&Registra Nuova"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 240, 2760, 1650, 420);
    command2_ = new QPushButton(QStringLiteral("&Salva Modifiche"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 2010, 2760, 1650, 420);
    command4_ = new QPushButton(QStringLiteral("E&limina"), b);
    command4_->setObjectName(QStringLiteral("Command4"));
    placeTwips(command4_, 3780, 2760, 1650, 420);
    auto* command5 = new QPushButton(QStringLiteral("&Pulisci"), b);
    command5->setObjectName(QStringLiteral("Command5"));
    placeTwips(command5, 5550, 2760, 1500, 420);
    auto* command3 = new QPushButton(QStringLiteral("&Esci"), b);
    command3->setObjectName(QStringLiteral("Command3"));
    placeTwips(command3, 7170, 2760, 1500, 420);

    calendar_ = new QCalendarWidget(b);
    calendar_->setObjectName(QStringLiteral("MonthView1"));
    calendar_->setGridVisible(true);
    calendar_->setLocale(italian());
    placeTwips(calendar_, 4500, 1000, 4200, 2900);
    calendar_->hide();

    setClientSizeTwips(9000, 3480);

    connect(pick, &QPushButton::clicked, this, [this] {
        const QDate d = host::parseDate(text3_->text());
        calendar_->setSelectedDate(d.isValid() ? d : Clock::today());
        calendar_->setVisible(!calendar_->isVisible());
        calendar_->raise();
    });
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate d) {
        text3_->setText(shortDate(d));
        calendar_->hide();
    });
    connect(combo1_, &QComboBox::activated, this, &NotaSpese::chooseCase);
    connect(command1_, &QPushButton::clicked, this, &NotaSpese::bookExpense);
    connect(command2_, &QPushButton::clicked, this, &NotaSpese::saveExpense);
    connect(command4_, &QPushButton::clicked, this, &NotaSpese::deleteExpense);
    connect(command5, &QPushButton::clicked, this, &NotaSpese::clearFields);
    connect(command3, &QPushButton::clicked, this, &NotaSpese::leave);
    setEscapeCommand(command3);

    hostGuard(this, [&] {
        loadCases();
        loadKinds();
    });
}

host::Book& NotaSpese::practice()
{
    host::Book* book = ctx().practice();
    if (!book)
        throw host::HostError(kNotOpen);
    return *book;
}

void NotaSpese::onActivate()
{
    // The lists follow the sheets; the fields keep what they show.
    hostGuard(this, [&] {
        loadCases();
        loadKinds();
    });
}

void NotaSpese::loadCases()
{
    const QString text = combo1_->currentText();
    QStringList cases;
    host::Sheet* pratica = practice().sheet(kCaseSheet);
    for (int row : pratica->walkDown(2, 1))
        cases << valueText(pratica->value(row, 1));
    const bool blocked = combo1_->blockSignals(true);
    combo1_->setUpdatesEnabled(false);
    combo1_->clear();
    combo1_->addItems(cases);
    combo1_->setUpdatesEnabled(true);
    combo1_->blockSignals(blocked);
    setComboText(combo1_, text);
}

void NotaSpese::loadKinds()
{
    const QString text = combo2_->currentText();
    std::set<QString> kinds{QStringLiteral("ANTICIPAZIONE"), QStringLiteral("ONORARIO"), QStringLiteral("SPESE VIVE")};
    host::Sheet* spese = practice().sheet(kExpenseSheet);
    for (int row : spese->walkDown(2, kColCase)) {
        const QString k = valueText(spese->value(row, kColKind)).trimmed();
        if (!k.isEmpty())
            kinds.insert(k);
    }
    QStringList list;
    for (const QString& k : kinds)
        list << k;
    const bool blocked = combo2_->blockSignals(true);
    combo2_->clear();
    combo2_->addItems(list);
    combo2_->blockSignals(blocked);
    setComboText(combo2_, text);
}

void NotaSpese::setVat(const QString& text)
{
    const int i = combo3_->findText(text.trimmed(), Qt::MatchFixedString);
    combo3_->setCurrentIndex(i);
}

void NotaSpese::showClientOfCase()
{
    text1_->clear();
    const auto caseNumber = host::toIdentifier(combo1_->currentText());
    if (!caseNumber)
        return;
    host::Book& book = practice();
    host::Sheet* pratica = book.sheet(kCaseSheet);
    const int row = pratica->findIdentifier(1, *caseNumber, 2);
    if (row == 0)
        return;
    const QVariant client = pratica->value(row, 2);
    const auto clientId = host::toIdentifier(client);
    const QString name = clientId ? clientNameOf(book, *clientId) : QString();
    text1_->setText(name.isEmpty() ? valueText(client) : name);
}

void NotaSpese::chooseCase(int)
{
    hostGuard(this, [&] { showClientOfCase(); });
}

void NotaSpese::clearFields()
{
    for (QLineEdit* t : {text1_, text2_, text3_, text4_, text6_})
        t->clear();
    setComboText(combo1_, QString());
    setComboText(combo2_, QString());
    combo3_->setCurrentIndex(-1);
    calendar_->hide();
    shownRow_ = 0;
    shownId_ = QVariant();
    shownCase_ = 0;
}

void NotaSpese::showExpense(int sheetRow)
{
    returnTo_ = InterSpese::kName;
    returnCase_ = 0;
    clearFields();
    hostGuard(this, [&] {
        host::Book& book = practice();
        host::Sheet* spese = book.sheet(kExpenseSheet);
        if (sheetRow < 2 || spese->isEmpty(sheetRow, kColCase))
            return;
        const QVariant caseValue = spese->value(sheetRow, kColCase);
        setComboText(combo1_, valueText(caseValue));
        const QVariant client = spese->value(sheetRow, kColClient);
        const auto clientId = host::toIdentifier(client);
        const QString name = clientId ? clientNameOf(book, *clientId) : QString();
        text1_->setText(name.isEmpty() ? valueText(client) : name);
        shownId_ = spese->value(sheetRow, kColIdOper);
        text2_->setText(valueText(shownId_));
        const host::Range dateCell = spese->cells(sheetRow, kColDate);
        const QDate d = dateCell.date();
        text3_->setText(d.isValid() ? shortDate(d) : valueText(dateCell.value()));
        text4_->setText(valueText(spese->value(sheetRow, kColDescription)));
        setComboText(combo2_, valueText(spese->value(sheetRow, kColKind)));
        const QVariant amount = spese->value(sheetRow, kColAmount);
        const auto cents = amount.typeId() == QMetaType::Double ? amountCents(amount) : std::nullopt;
        text6_->setText(cents ? formatEuro(*cents) : valueText(amount));
        setVat(valueText(spese->value(sheetRow, kColVat)));
        shownRow_ = sheetRow;
        shownCase_ = host::toIdentifier(caseValue).value_or(0);
    });
}

void NotaSpese::newExpenseForCase(double caseNumber)
{
    clearFields();
    returnTo_ = cases::Form4::kName;
    returnCase_ = caseNumber;
    setComboText(combo1_, valueText(caseNumber));
    text3_->setText(shortDate(Clock::today()));
    hostGuard(this, [&] { showClientOfCase(); });
    text4_->setFocus();
}

void NotaSpese::setCaseListVisible(bool visible) { combo1_->setVisible(visible); }

std::optional<NotaSpese::Entry> NotaSpese::checkedEntry(host::Book& book)
{
    const auto refuse = [this](const QString& text, QWidget* field) {
        msgBox(this, text, OkOnly | Exclamation, kTitle);
        field->setFocus();
        return std::nullopt;
    };
    Entry e;
    const QString caseText = combo1_->currentText().trimmed();
    if (caseText.isEmpty())
        return refuse(QStringLiteral("Il campo N/Pratica è vuoto: scegliere una pratica."), combo1_);
    const auto caseNumber = host::toIdentifier(caseText);
    host::Sheet* pratica = book.sheet(kCaseSheet);
    const int caseRow = caseNumber ? pratica->findIdentifier(1, *caseNumber, 2) : 0;
    if (caseRow == 0) {
        // An expense already booked keeps its case even when that case is no longer open.
        if (!(caseNumber && shownRow_ != 0 && *caseNumber == shownCase_))
            return refuse(QStringLiteral("Il campo N/Pratica non corrisponde a nessuna pratica aperta."), combo1_);
        const auto client = book.sheet(kExpenseSheet)->identifier(shownRow_, kColClient);
        if (!client)
            return refuse(QStringLiteral("La pratica del campo N/Pratica non ha un Cliente associato."), combo1_);
        e.clientNumber = *client;
    } else {
        const auto client = pratica->identifier(caseRow, 2);
        if (!client)
            return refuse(QStringLiteral("La pratica del campo N/Pratica non ha un Cliente associato."), combo1_);
        e.clientNumber = *client;
    }
    e.caseNumber = *caseNumber;

    const QString dateText = text3_->text().trimmed();
    if (dateText.isEmpty())
        return refuse(QStringLiteral("Il campo Data è vuoto: scrivere la data della spesa (gg/mm/aaaa)."), text3_);
    e.date = host::parseDate(dateText);
    if (!e.date.isValid())
        return refuse(invalidDateMessage(dateText, QStringLiteral("Data")), text3_);

    e.description = text4_->text().trimmed();
    if (e.description.isEmpty())
        return refuse(QStringLiteral("Il campo Descrizione è vuoto."), text4_);
    e.kind = combo2_->currentText().trimmed();
    if (e.kind.isEmpty())
        return refuse(QStringLiteral("Il campo Tipo Spesa è vuoto."), combo2_);

    const QString amountText = text6_->text().trimmed();
    if (amountText.isEmpty())
        return refuse(QStringLiteral("Il campo Importo è vuoto."), text6_);
    const auto cents = parseAmountText(amountText);
    if (!cents)
        return refuse(QStringLiteral("Il campo Importo non contiene un importo valido (per esempio 1.234,50)."),
                      text6_);
    e.amount = double(*cents) / 100.0;

    e.vat = combo3_->currentText();
    if (combo3_->currentIndex() < 0 || e.vat.isEmpty())
        return refuse(QStringLiteral("Il campo IVA/Esente è vuoto: scegliere IVA oppure Esente."), combo3_);
    return e;
}

void NotaSpese::bookExpense()
{
    hostGuard(this, [&] {
        host::Book& book = practice();
        const auto e = checkedEntry(book);
        if (!e)
            return;
        host::Sheet* spese = book.sheet(kExpenseSheet);
        const std::vector<int> rows = spese->walkDown(2, kColCase);
        double highest = 0;
        for (int row : spese->walkDown(2, kColIdOper))
            highest = std::max(highest, spese->identifier(row, kColIdOper).value_or(0));
        for (int row : rows)
            highest = std::max(highest, spese->identifier(row, kColIdOper).value_or(0));
        const double id = std::floor(highest) + 1;
        const int target = rows.empty() ? 2 : rows.back() + 1;
        spese->cells(target, kColIdOper).setValue(id);
        spese->cells(target, kColCase).setValue(e->caseNumber);
        spese->cells(target, kColClient).setValue(e->clientNumber);
        spese->cells(target, kColDate).setValue(e->date);
        spese->cells(target, kColDescription).setValue(e->description);
        spese->cells(target, kColKind).setValue(e->kind);
        spese->cells(target, kColAmount).setValue(e->amount);
        spese->cells(target, kColAmount).setNumberFormat(kMoneyFormat);
        spese->cells(target, kColVat).setValue(e->vat);
        shownRow_ = target;
        shownId_ = id;
        shownCase_ = e->caseNumber;
        text2_->setText(valueText(id));
        text3_->setText(shortDate(e->date));
        text6_->setText(formatEuro(qint64(std::llround(e->amount * 100))));
        msgBox(this, QStringLiteral("Spesa registrata con ID Oper %1.").arg(valueText(id)), OkOnly | Information,
               QStringLiteral(" Gestione Pratica"));
        notifyExpenseForm();
    });
}

void NotaSpese::saveExpense()
{
    hostGuard(this, [&] {
        if (shownRow_ == 0) {
            msgBox(this, QStringLiteral("Nessuna spesa da modificare: scegliere una spesa nell'elenco delle spese."),
                   OkOnly | Information, kTitle);
            return;
        }
        host::Book& book = practice();
        host::Sheet* spese = book.sheet(kExpenseSheet);
        const int row = findExpenseRow(*spese, shownId_, shownRow_, shownCase_);
        if (row == 0) {
            msgBox(this, QStringLiteral("La spesa con ID Oper %1 non è più nel foglio Spese.").arg(valueText(shownId_)),
                   OkOnly | Exclamation, kTitle);
            return;
        }
        shownRow_ = row;
        const auto e = checkedEntry(book);
        if (!e)
            return;
        if (msgBox(this, QStringLiteral("Si vogliono salvare le modifiche alla spesa selezionata ?"), YesNo | Question,
                   kTitle)
            != Answer::Yes)
            return;
        spese->cells(row, kColCase).setValue(e->caseNumber);
        spese->cells(row, kColClient).setValue(e->clientNumber);
        spese->cells(row, kColDate).setValue(e->date);
        spese->cells(row, kColDescription).setValue(e->description);
        spese->cells(row, kColKind).setValue(e->kind);
        spese->cells(row, kColAmount).setValue(e->amount);
        spese->cells(row, kColAmount).setNumberFormat(kMoneyFormat);
        spese->cells(row, kColVat).setValue(e->vat);
        shownCase_ = e->caseNumber;
        msgBox(this, QStringLiteral("Spesa modificata."), OkOnly | Information, kTitle);
        notifyExpenseForm();
    });
}

void NotaSpese::deleteExpense()
{
    hostGuard(this, [&] {
        if (shownRow_ == 0) {
            msgBox(this, QStringLiteral("Nessuna spesa da eliminare: scegliere una spesa nell'elenco delle spese."),
                   OkOnly | Information, kTitle);
            return;
        }
        host::Sheet* spese = practice().sheet(kExpenseSheet);
        const int row = findExpenseRow(*spese, shownId_, shownRow_, shownCase_);
        if (row == 0) {
            msgBox(this, QStringLiteral("La spesa con ID Oper %1 non è più nel foglio Spese.").arg(valueText(shownId_)),
                   OkOnly | Exclamation, kTitle);
            return;
        }
        if (msgBox(this, QStringLiteral("Si vuole Eliminare la Spesa selezionata ?"), YesNo | Question | DefaultButton2,
                   kTitle)
            != Answer::Yes)
            return;
        spese->cells(row, 1).entireRow().deleteEntireRow();
        clearFields();
        msgBox(this, QStringLiteral("Spesa eliminata."), OkOnly | Information, QStringLiteral(" Gestione Pratica"));
        notifyExpenseForm();
    });
}

void NotaSpese::notifyExpenseForm()
{
    if (auto* f = ctx().navigator->formAs<InterSpese>(InterSpese::kName))
        f->refreshAfterChange();
}

void NotaSpese::leave()
{
    calendar_->hide();
    hide();
    Navigator* nav = ctx().navigator;
    if (!returnTo_.isEmpty() && nav->isRegistered(returnTo_)) {
        FormBase* f = nav->show(returnTo_);
        if (auto* caseForm = qobject_cast<cases::Form4*>(f); caseForm && returnCase_ > 0)
            caseForm->showCase(returnCase_);
        return;
    }
    nav->showMainMenu();
}

void NotaSpese::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (e->isAccepted())
        leave();
}

} // namespace gp::expenses
