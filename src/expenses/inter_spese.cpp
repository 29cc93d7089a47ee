#include "expenses/inter_spese.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/item_views.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"
#include "expenses/balance.h"
#include "expenses/expense_query.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"
#include "printing/print_support.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <cmath>
#include <limits>
#include <memory>

namespace gp::expenses {

using namespace gp::ui;

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

void uncheck(QRadioButton* b)
{
    const bool blocked = b->blockSignals(true);
    b->setAutoExclusive(false);
    b->setChecked(false);
    b->setAutoExclusive(true);
    b->blockSignals(blocked);
}

void emptyCombo(QComboBox* c)
{
    const bool blocked = c->blockSignals(true);
    c->clear();
    c->setEditText(QString());
    c->blockSignals(blocked);
}

// A row of the result list: its texts come from the copied result rows.
class ResultItem : public QTreeWidgetItem {
public:
    ResultItem(std::shared_ptr<const host::CellBlock> block, int row) : block_(std::move(block)), row_(row)
    {
        // Something stored in the last column, so that the item counts all of them.
        if (block_->columnCount() > 0)
            setTextAlignment(block_->columnCount() - 1, Qt::AlignLeft | Qt::AlignVCenter);
    }
    QVariant data(int column, int role) const override
    {
        if ((role == Qt::DisplayRole || role == Qt::EditRole) && column >= 0 && column < block_->columnCount())
            return block_->text(row_, column);
        return QTreeWidgetItem::data(column, role);
    }

private:
    std::shared_ptr<const host::CellBlock> block_;
    int row_;
};

// Fills a combo box in one batch.
void fillCombo(QComboBox* c, const QStringList& items)
{
    const bool blocked = c->blockSignals(true);
    c->setUpdatesEnabled(false);
    c->addItems(items);
    c->setCurrentIndex(-1);
    c->setEditText(QString());
    c->setUpdatesEnabled(true);
    c->blockSignals(blocked);
}
} // namespace

InterSpese::InterSpese(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    QWidget* b = body();

    auto* menu = menuBar()->addAction(QStringLiteral("&Istruzioni"));
    menu->setObjectName(QStringLiteral("MnIstruzioni"));
    connect(menu, &QAction::triggered, this, &InterSpese::showInstructions);

    option1_ = new QRadioButton(b);
    option1_->setObjectName(QStringLiteral("Option1"));
    placeTwips(option1_, 240, 240, 255, 255);
    placeTwips(makeLabel(b, "Label1", QStringLiteral("Ricerca  per cliente ")), 600, 240, 2000, 255);
    option2_ = new QRadioButton(b);
    option2_->setObjectName(QStringLiteral("Option2"));
    placeTwips(option2_, 240, 720, 255, 255);
    placeTwips(makeLabel(b, "Label2", QStringLiteral("Ricerca  per pratica")), 600, 720, 2000, 255);

    combo1_ = new QComboBox(b);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    // Typing narrows the list of names; only a choice picks a client.
    picker_ = new ListPicker(combo1_);
    placeTwips(combo1_, 2760, 200, 4000, 315);
    combo2_ = new QComboBox(b);
    combo2_->setObjectName(QStringLiteral("Combo2"));
    combo2_->setEditable(true);
    combo2_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo2_, 2760, 680, 1500, 315);

    text1_ = new QLineEdit(b);
    text1_->setObjectName(QStringLiteral("Text1"));
    placeTwips(text1_, 4440, 680, 4000, 315);
    text2_ = new QLineEdit(b);
    text2_->setObjectName(QStringLiteral("Text2"));
    placeTwips(text2_, 6960, 200, 1480, 315);

    command1_ = new QPushButton(QStringLiteral("InterrogaC"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 8760, 200, 1300, 375);
    command2_ = new QPushButton(QStringLiteral("InterrogaP"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 8760, 680, 1300, 375);
    command3_ = new QPushButton(QStringLiteral("Annulla"), b);
    command3_->setObjectName(QStringLiteral("Command3"));
    placeTwips(command3_, 10200, 200, 1200, 375);
    check1_ = new QCheckBox(QStringLiteral("Stampa"), b);
    check1_->setObjectName(QStringLiteral("Check1"));
    placeTwips(check1_, 10200, 720, 1200, 315);

    list_ = new QTreeWidget(b);
    list_->setObjectName(QStringLiteral("ListView1"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setColumnCount(0);
    list_->setHeaderHidden(true);
    list_->header()->setMinimumSectionSize(twips(300));
    placeTwips(list_, 240, 1320, 11400, 4800);

    placeTwips(makeLabel(b, "Label4", QStringLiteral("Saldo Scheda................ €")), 5400, 6360, 3000, 315);
    label3_ = makeLabel(b, "Label3", QString());
    label3_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label3_->setFrameShape(QFrame::Panel);
    label3_->setFrameShadow(QFrame::Sunken);
    placeTwips(label3_, 8520, 6330, 1800, 345);
    label5_ = makeLabel(b, "Label5", QString());
    placeTwips(label5_, 240, 6360, 5000, 315);

    setClientSizeTwips(11880, 6960);

    connect(option1_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            clientMode();
    });
    connect(option2_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            caseMode();
    });
    connect(combo1_, &QComboBox::activated, this, &InterSpese::chooseClient);
    connect(combo2_, &QComboBox::activated, this, &InterSpese::chooseCase);
    connect(command1_, &QPushButton::clicked, this, &InterSpese::queryByClient);
    connect(command2_, &QPushButton::clicked, this, &InterSpese::queryByCase);
    connect(command3_, &QPushButton::clicked, this, &InterSpese::clearForm);
    connect(check1_, &QCheckBox::toggled, this, &InterSpese::printBoxToggled);
    // A double click or Enter opens the row in the expense note; a click only selects it.
    onItemOpened(list_, [this](QTreeWidgetItem* item) { openRow(item); });
}

void InterSpese::onActivate()
{
    emptyCombo(combo1_);
    emptyCombo(combo2_);
    clientIds_.clear();
    caseRows_.clear();
    {
        const bool blocked = check1_->blockSignals(true);
        check1_->setChecked(false);
        check1_->blockSignals(blocked);
    }
    combo1_->setEnabled(false);
    combo2_->setEnabled(false);
    clearOptions();
    text1_->clear();
    text2_->clear();
}

void InterSpese::clearOptions()
{
    uncheck(option1_);
    uncheck(option2_);
}

void InterSpese::clientMode()
{
    list_->clear();
    listedRows_.clear();
    label3_->clear();
    label5_->clear();
    command2_->setEnabled(false);
    command1_->setEnabled(true);
    text2_->clear();
    text1_->clear();
    combo2_->setEditText(QString());
    combo1_->setEnabled(true);
    combo2_->setEnabled(false);
    // The list is built afresh, so that its entries stay paired with the client numbers.
    emptyCombo(combo1_);
    clientIds_.clear();
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("La cartella di lavoro Pratiche.xls non è aperta."));
        host::Sheet* clienti = book->sheet(kClientSheet);
        std::vector<PickerEntry> entries;
        for (int row : clienti->walkDown(2, 2)) {
            const QVariant number = clienti->value(row, 1);
            const auto id = host::toIdentifier(number);
            entries.push_back({valueText(clienti->value(row, 2)), valueText(number),
                               id ? *id : std::numeric_limits<double>::quiet_NaN()});
        }
        picker_->setEntries(std::move(entries));
        clientIds_.reserve(size_t(combo1_->count()));
        for (int i = 0; i < combo1_->count(); ++i)
            clientIds_.push_back(combo1_->itemData(i, ListPicker::kDataRole).toDouble());
    });
}

void InterSpese::caseMode()
{
    list_->clear();
    listedRows_.clear();
    label3_->clear();
    label5_->clear();
    emptyCombo(combo1_);
    emptyCombo(combo2_);
    clientIds_.clear();
    caseRows_.clear();
    command1_->setEnabled(false);
    command2_->setEnabled(true);
    text2_->clear();
    combo2_->setEnabled(true);
    combo1_->setEnabled(false);
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("La cartella di lavoro Pratiche.xls non è aperta."));
        host::Sheet* spese = book->sheet(kExpenseSheet);
        QStringList cases;
        for (int row : spese->walkDown(2, kColCase)) {
            cases << valueText(spese->value(row, kColCase));
            caseRows_.push_back(row);
        }
        fillCombo(combo2_, cases);
    });
}

void InterSpese::chooseClient(int index)
{
    text1_->clear();
    if (combo1_->currentText().isEmpty())
        return;
    if (index < 0 || index >= int(clientIds_.size()) || std::isnan(clientIds_[size_t(index)])) {
        text2_->clear();
        return;
    }
    text2_->setText(valueText(clientIds_[size_t(index)]));
}

void InterSpese::chooseCase(int index)
{
    if (combo2_->currentText().isEmpty())
        return;
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            return;
        host::Sheet* spese = book->sheet(kExpenseSheet);
        int row = 0;
        if (index >= 0 && index < int(caseRows_.size()))
            row = caseRows_[size_t(index)];
        if (row == 0) {
            const auto id = host::toIdentifier(combo2_->currentText());
            if (id)
                row = spese->findIdentifier(kColCase, *id, 2);
        }
        if (row == 0)
            return;
        const QVariant client = spese->value(row, kColClient);
        text1_->setText(valueText(client));
        text2_->clear();
        const auto clientId = host::toIdentifier(client);
        if (!clientId)
            return;
        const QString name = clientNameOf(*book, *clientId);
        if (!name.isEmpty()) {
            text1_->setText(name);
            text2_->setText(combo2_->currentText());
        }
    });
}

bool InterSpese::resetResult()
{
    list_->clear();
    listedRows_.clear();
    label3_->clear();
    label5_->clear();
    return hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("La cartella di lavoro Pratiche.xls non è aperta."));
        clearExpenseResult(*book);
    });
}

InterSpese::Outcome InterSpese::runQuery(int column, double id)
{
    label3_->clear();
    label5_->clear();
    listedRows_.clear();
    QueryResult result;
    const bool ok = hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("La cartella di lavoro Pratiche.xls non è aperta."));
        result = runExpenseQuery(*book, column, id);
    });
    if (!ok)
        return Outcome::Failed;
    if (result.speseRows.empty())
        return Outcome::NotFound;
    listedRows_ = result.speseRows;
    fillList();
    label3_->setText(formatEuro(result.totals.cents));
    if (result.totals.skipped > 0) {
        const int n = result.totals.skipped;
        label5_->setText(QStringLiteral("Escluse dal saldo: %1").arg(n));
        msgBox(this,
               n == 1 ? QStringLiteral("Saldo calcolato senza 1 riga: il suo Importo non è un numero.")
                      : QStringLiteral("Saldo calcolato senza %1 righe: il loro Importo non è un numero.").arg(n),
               OkOnly | Information, kTitle);
    }
    return Outcome::Found;
}

void InterSpese::fillList()
{
    list_->clear();
    list_->setColumnCount(7);
    list_->setHeaderLabels({QStringLiteral("Pratica"), QStringLiteral("ID Oper."), QStringLiteral("Data "),
                            QStringLiteral("Descrizione"), QStringLiteral("TipoSpesa"), QStringLiteral("Importo"),
                            QStringLiteral("IVA/Esente")});
    list_->setHeaderHidden(false);
    list_->header()->setStretchLastSection(false);
    const int widths[] = {1000, 1000, 1500, 4000, 1000, 1500, 1000};
    for (int c = 0; c < 7; ++c)
        list_->header()->resizeSection(c, twips(widths[c]));
    hostGuard(this, [&] {
        host::Sheet* s = ctx().practice()->sheet(kResultSheet);
        QList<QTreeWidgetItem*> items;
        const std::vector<int> rows = s->walkDown(2, 1);
        // The rows' values copied now; their texts made as the rows come into view.
        const auto block = std::make_shared<const host::CellBlock>(*s, rows, 1, 7);
        items.reserve(qsizetype(rows.size()));
        for (int i = 0; i < int(rows.size()); ++i) {
            auto* item = new ResultItem(block, i);
            item->setTextAlignment(5, Qt::AlignRight | Qt::AlignVCenter);
            items << item;
        }
        list_->setUpdatesEnabled(false);
        list_->addTopLevelItems(items);
        list_->setUpdatesEnabled(true);
    });
}

void InterSpese::queryByClient()
{
    if (!resetResult())
        return;
    const QString key = text2_->text().trimmed();
    if (key.isEmpty()) {
        msgBox(this, QStringLiteral("Nessuna Spesa associata al  Cliente interrogato  , Riprova"), OkOnly | Question,
               kTitle);
        return;
    }
    const auto id = host::toIdentifier(key);
    lastQuery_ = Query::Client;
    lastId_ = id ? *id : std::numeric_limits<double>::quiet_NaN();
    const Outcome outcome = id ? runQuery(kColClient, *id) : Outcome::NotFound;
    if (outcome == Outcome::Failed) {
        list_->clear();
        listedRows_.clear();
        return;
    }
    if (outcome == Outcome::NotFound) {
        list_->clear();
        listedRows_.clear();
        msgBox(this, QStringLiteral("Nessuna Pratica trovata per il Cliente selezionato , Riprova"), OkOnly, kTitle);
        combo1_->setFocus();
    }
}

void InterSpese::queryByCase()
{
    if (!resetResult())
        return;
    const QString key = combo2_->currentText().trimmed();
    if (key.isEmpty()) {
        msgBox(this, QStringLiteral("Il Campo non può essere vuoto !!!!!!"), OkOnly, kTitle);
        uncheck(option2_);
        return;
    }
    // The key is a case number: "*", "?" and the like are no pattern, only text.
    const auto id = host::toIdentifier(key);
    lastQuery_ = Query::Case;
    lastId_ = id ? *id : std::numeric_limits<double>::quiet_NaN();
    const Outcome outcome = id ? runQuery(kColCase, *id) : Outcome::NotFound;
    if (outcome == Outcome::Failed) {
        list_->clear();
        listedRows_.clear();
        return;
    }
    if (outcome == Outcome::NotFound) {
        list_->clear();
        listedRows_.clear();
        msgBox(this, QStringLiteral("Nessuna Pratica trovata, Riprova"), OkOnly, kTitle);
        text1_->clear();
        text1_->setFocus();
    }
}

void InterSpese::refreshAfterChange()
{
    if (lastQuery_ == Query::None || std::isnan(lastId_))
        return;
    list_->clear();
    if (runQuery(lastQuery_ == Query::Client ? kColClient : kColCase, lastId_) != Outcome::Found) {
        list_->clear();
        listedRows_.clear();
    }
}

void InterSpese::clearExpenseFields()
{
    {
        const bool blocked = check1_->blockSignals(true);
        check1_->setChecked(false);
        check1_->blockSignals(blocked);
    }
    label3_->clear();
    label5_->clear();
    list_->clear();
    listedRows_.clear();
    // Every control with a text gets an empty one.
    for (QLineEdit* e : body()->findChildren<QLineEdit*>()) {
        if (e->parentWidget() && qobject_cast<QComboBox*>(e->parentWidget()))
            continue;
        e->clear();
    }
    for (QComboBox* c : body()->findChildren<QComboBox*>()) {
        const bool blocked = c->blockSignals(true);
        c->setCurrentIndex(-1);
        c->setEditText(QString());
        c->blockSignals(blocked);
    }
}

void InterSpese::clearForm()
{
    clearExpenseFields();
    emptyCombo(combo1_);
    clientIds_.clear();
    clearOptions();
    list_->clear();
    listedRows_.clear();
    lastQuery_ = Query::None;
}

void InterSpese::printBoxToggled(bool checked)
{
    if (!checked)
        return;
    // Only the result of this form's own query is printed: never what an
    // earlier query or another form left in "S".
    if (listedRows_.empty()) {
        msgBox(this, QStringLiteral("Nessun risultato da stampare."), OkOnly | Information, kTitle);
        const QSignalBlocker block(check1_);
        check1_->setChecked(false);
        return;
    }
    hostGuard(this, [&] { printing::printExpenseResult(ctx(), this, label3_->text(), subjectText()); });
}

QString InterSpese::subjectText() const
{
    // Whose expenses are listed: the client picked (by name and number), or the case with its client.
    if (option1_->isChecked() && !text2_->text().trimmed().isEmpty()) {
        QString name = combo1_->currentText().trimmed();
        // A repeated name shows its number in the list already.
        const qsizetype mark = name.lastIndexOf(QStringLiteral(" (n. "));
        if (mark > 0)
            name.truncate(mark);
        return QStringLiteral("Cliente ") + name + QStringLiteral(" n. ") + text2_->text().trimmed();
    }
    if (option2_->isChecked() && !combo2_->currentText().trimmed().isEmpty()) {
        QString s = QStringLiteral("Pratica n. ") + combo2_->currentText().trimmed();
        if (!text1_->text().trimmed().isEmpty())
            s += QStringLiteral("  -  Cliente ") + text1_->text().trimmed();
        return s;
    }
    return QString();
}

void InterSpese::showInstructions() { ctx().navigator->show(instructions::Istruzioni::kName); }

void InterSpese::openRow(QTreeWidgetItem* item)
{
    Navigator* nav = ctx().navigator;
    const int index = item ? list_->indexOfTopLevelItem(item) : -1;
    // The query makes room for the note, which opens where the query was.
    hide();
    auto* note = qobject_cast<NotaSpese*>(nav->show(NotaSpese::kName));
    if (note && index >= 0 && index < int(listedRows_.size()))
        note->showExpense(listedRows_[size_t(index)]);
}

void InterSpese::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (!e->isAccepted())
        return;
    list_->clear();
    listedRows_.clear();
    Navigator* nav = ctx().navigator;
    nav->unload(kName);
    nav->showMainMenu();
}

} // namespace gp::expenses
