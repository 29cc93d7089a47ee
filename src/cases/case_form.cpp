#include "cases/case_form.h"

#include "cases/case_status_form.h"
#include "cases/client_info_form.h"
#include "cases/utilities_form.h"
#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/input_checks.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/picker.h"
#include "core/ui/session.h"
#include "core/ui/settings_sheet.h"
#include "core/ui/text_rules.h"
#include "deadlines/scadenza_pratica.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"
#include "search/search_form.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace gp::cases {

using namespace gp::ui;

namespace {

const QString kTitle = QStringLiteral("Gestione Pratica");
const QString kTitles = QStringLiteral("Gestione Pratiche");
constexpr unsigned kPaleCyan = 0xFFFFC0;   // &H00FFFFC0
constexpr unsigned kPaleOrange = 0xC0E0FF; // &H00C0E0FF
// The error number reported for a failure of the spreadsheet engine.
constexpr int kEngineErrorNumber = 1004;

QLabel* addLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    placeTwips(l, left, top, width, 255);
    return l;
}

QLineEdit* addText(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(name);
    placeTwips(t, left, top, width, height);
    return t;
}

QComboBox* addCombo(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->setMaxVisibleItems(20);
    // The size never depends on the entries: a list of 65,535 cases is not measured.
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMinimumContentsLength(1);
    placeTwips(c, left, top, width, height);
    return c;
}

QPixmap logoPixmap(QSize size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(2, 4, size.width() - 4, size.height() - 8);
    p.setPen(QPen(QColor(0x80, 0x60, 0x20), 1.5));
    p.setBrush(QColor(0xF0, 0xD0, 0x80));
    p.drawRoundedRect(r, 3, 3);
    p.setPen(QColor(0x40, 0x30, 0x10));
    QFont f = p.font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("Pratiche"));
    return pm;
}

// Replaces the entries of a combo box in one batch, keeping the text shown.
void replaceEntries(QComboBox* combo, const QStringList& entries)
{
    const QString shown = combo->currentText();
    const QSignalBlocker block(combo);
    combo->setUpdatesEnabled(false);
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(-1);
    combo->setEditText(shown);
    combo->setUpdatesEnabled(true);
}

} // namespace

Form4::Form4(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setCloseRefused(true);
    buildControls();
    setClientSizeTwips(12480, 7680);
}

void Form4::buildControls()
{
    QWidget* b = body();

    // ---- menus: commands of the menu bar itself
    QMenuBar* bar = menuBar();
    auto addMenu = [&](const QString& name, const QString& caption, void (Form4::*slot)()) {
        QAction* a = bar->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    addMenu(QStringLiteral("MnAgg"), QStringLiteral("Assegna  Nu&mero Pratica"), &Form4::menuAssignCase);
    addMenu(QStringLiteral("MnDorvessa"), QStringLiteral("Assegna &Dorvessa"), &Form4::menuMarkDeadline);
    addMenu(QStringLiteral("MnCliente"), QStringLiteral("Nuovo &Cliente"), &Form4::menuNewClient);
    addMenu(QStringLiteral("MnIstruzioni"), QStringLiteral("Is&truzioni"), &Form4::menuInstructions);
    addMenu(QStringLiteral("MUtilità"), QStringLiteral("&Utilità"), &Form4::menuUtilities);

    // ---- first row: case, client, last update
    addLabel(b, QStringLiteral("Label1"), QStringLiteral("N° Pratica"), 600, 465, 1695);
    combo1_ = addCombo(b, QStringLiteral("Combo1"), 600, 720, 1695, 390);
    setBackColor(combo1_, bgr(kPaleCyan));
    setBackColor(combo1_->lineEdit(), bgr(kPaleCyan));
    // Typing a number narrows the list to the cases whose number contains it.
    new ListPicker(combo1_);
    addLabel(b, QStringLiteral("Label13"), QStringLiteral("Intestatario/Cliente"), 2400, 465, 4575);
    text9_ = addText(b, QStringLiteral("Text9"), 2400, 720, 4575, 390);
    text9_->setReadOnly(true);
    setBackColor(text9_, bgr(kPaleCyan));
    addLabel(b, QStringLiteral("Label5"), QStringLiteral("Ultimo Aggiorn."), 7200, 465, 2415);
    text3_ = addText(b, QStringLiteral("Text3"), 7200, 720, 2415, 390);
    text3_->setReadOnly(true);
    text3_->setAlignment(Qt::AlignCenter);
    limitTyping(text3_, 10);
    setBackColor(text3_, bgr(kPaleCyan));

    // ---- second row: dates and assignee
    addLabel(b, QStringLiteral("Label3"), QStringLiteral("Apertura 00 00 00"), 600, 1305, 2295);
    text1_ = addText(b, QStringLiteral("Text1"), 600, 1560, 2295, 390);
    text1_->setAlignment(Qt::AlignCenter);
    limitTyping(text1_, 10);
    addLabel(b, QStringLiteral("Label15"), QStringLiteral("Chiusura 00 00 00"), 3120, 1305, 2295);
    text2_ = addText(b, QStringLiteral("Text2"), 3120, 1560, 2295, 390);
    text2_->setAlignment(Qt::AlignCenter);
    limitTyping(text2_, 10);
    addLabel(b, QStringLiteral("Label6"), QStringLiteral("Assegnatario"), 5640, 1305, 3975);
    combo3_ = addCombo(b, QStringLiteral("Combo3"), 5640, 1560, 3975, 390);

    // ---- third row: sector and area
    addLabel(b, QStringLiteral("Label8"), QStringLiteral("Settore"), 600, 2145, 4935);
    combo4_ = addCombo(b, QStringLiteral("Combo4"), 600, 2400, 4935, 390);
    addLabel(b, QStringLiteral("Label10"), QStringLiteral("Area di indirizzo"), 5640, 2145, 3975);
    combo5_ = addCombo(b, QStringLiteral("Combo5"), 5640, 2400, 3975, 390);

    // ---- fourth row: client number, position, deadline
    addLabel(b, QStringLiteral("Label9"), QStringLiteral("ID -Cliente"), 600, 2985, 1935);
    text4_ = addText(b, QStringLiteral("Text4"), 600, 3240, 1935, 390);
    text4_->setReadOnly(true);
    text4_->setAlignment(Qt::AlignCenter);
    addLabel(b, QStringLiteral("Label4"), QStringLiteral("Posizione/Archivio"), 2760, 2985, 2775);
    combo2_ = addCombo(b, QStringLiteral("Combo2"), 2760, 3240, 2775, 390);
    addLabel(b, QStringLiteral("Label2"), QStringLiteral("Dorvessa"), 6360, 2985, 900);
    check1_ = new QCheckBox(b);
    check1_->setObjectName(QStringLiteral("Check1"));
    placeTwips(check1_, 6360, 3360, 300, 255);
    connect(check1_, &QCheckBox::toggled, this, &Form4::onDeadlineBox);
    text10_ = addText(b, QStringLiteral("Text10"), 7320, 3240, 2295, 390);
    text10_->setReadOnly(true);
    text10_->setAlignment(Qt::AlignCenter);
    limitTyping(text10_, 10);
    setBackColor(text10_, bgr(kWhite));

    // ---- the texts
    addLabel(b, QStringLiteral("Label7"), QStringLiteral("Oggetto"), 600, 3825, 9135);
    text5_ = addText(b, QStringLiteral("Text5"), 600, 4080, 9135, 765);
    installUpperCase(text5_);
    addLabel(b, QStringLiteral("Label11"), QStringLiteral("Adempimenti"), 600, 4905, 9135);
    text6_ = new QPlainTextEdit(b);
    text6_->setObjectName(QStringLiteral("Text6"));
    text6_->setTabChangesFocus(true);
    placeTwips(text6_, 600, 5160, 9135, 1125);
    installUpperCase(text6_);
    addLabel(b, QStringLiteral("Label12"), QStringLiteral("Notizie "), 600, 6465, 9135);
    text7_ = new QPlainTextEdit(b);
    text7_->setObjectName(QStringLiteral("Text7"));
    text7_->setTabChangesFocus(true);
    placeTwips(text7_, 600, 6720, 9135, 765);
    installUpperCase(text7_);

    installDateRule(text1_);
    installDateRule(text2_);
    installDateRule(text3_);

    // ---- the column of commands at the right edge
    struct Cmd {
        const char* name;
        const char* caption;
        void (Form4::*slot)();
        bool orange;
        const char* tip;
    };
    const Cmd cmds[] = {
        {"Command7", "&Ricerca", &Form4::commandSearch, false, "Pratiche Collegate al Cliente"},
        {"Command2", "&Inserisci-Aggiorna", &Form4::commandStore, true, nullptr},
        {"Command9", "&Altre Inform.", &Form4::commandMoreInfo, false, nullptr},
        {"Command10", "Stato Pratica", &Form4::commandStatus, false, nullptr},
        {"Command1", "&Pulisci", &Form4::commandClear, true, nullptr},
        {"Command6", "&Fatturazione", &Form4::commandInvoicing, false, nullptr},
        {"Command5", "&Nota Spese", &Form4::commandExpenseNote, false, nullptr},
        {"Command4", "&Storicizza", &Form4::commandArchive, false,
         "Permette di spostare la pratica nell'Archivio Storico"},
        {"Command3", "E&limina", &Form4::commandDelete, false, nullptr},
        {"Command8", "&Esci", &Form4::commandExit, true, nullptr},
    };
    QList<QPushButton*> buttons;
    int top = 720;
    for (const Cmd& c : cmds) {
        auto* button = new QPushButton(QString::fromUtf8(c.caption), b);
        button->setObjectName(QString::fromUtf8(c.name));
        placeTwips(button, 10200, top, 2055, 495);
        if (c.orange)
            setBackColor(button, bgr(kPaleOrange));
        if (c.tip)
            button->setToolTip(QString::fromUtf8(c.tip));
        connect(button, &QPushButton::clicked, this, c.slot);
        buttons << button;
        top += 555;
    }

    label14_ = addLabel(b, QStringLiteral("Label14"), QString(), 10200, 6360, 2055);
    text8_ = addText(b, QStringLiteral("Text8"), 10200, 6630, 2055, 390);
    text8_->setReadOnly(true);
    text8_->setFocusPolicy(Qt::NoFocus);
    setBackColor(text8_, palette().color(QPalette::Button));
    timer1_ = startFormClock(this, text8_);

    auto* picture = new QLabel(b);
    picture->setObjectName(QStringLiteral("Picture1"));
    placeTwips(picture, 10200, 120, 2055, 540);
    picture->setPixmap(logoPixmap(picture->size()));

    // ---- the case list
    connect(combo1_, &QComboBox::currentIndexChanged, this, &Form4::onListChanged);
    connect(combo1_, &QComboBox::activated, this, &Form4::onListActivated);
    // A number typed in the list: Enter, or leaving the box, shows that case.
    connect(combo1_->lineEdit(), &QLineEdit::returnPressed, this, [this] { onCaseTyped(true); });
    combo1_->installEventFilter(this);

    // ---- tab order: the editable fields first, then the rest
    QList<QWidget*> order = {combo1_, text1_, text2_, combo3_, combo4_, combo5_, combo2_, text5_,
                             text6_,  text7_, text9_, text3_,  text4_,  check1_, text10_};
    for (QPushButton* button : buttons)
        order << button;
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

// ---------------------------------------------------------------- sheets

host::Book* Form4::practice()
{
    host::Book* book = ctx().practice();
    if (!book)
        throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
    return book;
}

host::Sheet* Form4::sheet(const QString& name) { return practice()->sheet(name); }

// ---------------------------------------------------------------- activation and list

void Form4::onActivate()
{
    hostGuard(this, [&] { rebuildLists(); });
    if (pendingCase_) {
        const double n = *pendingCase_;
        pendingCase_.reset();
        hostGuard(this, [&] { selectCase(n); });
    }
}

void Form4::rebuildLists()
{
    label14_->setText(QStringLiteral("Oggi....") + shortDate(Clock::today()));
    // The texts shown in the boxes stay as they are while their lists are rebuilt.
    const QString shown = combo1_->currentText();
    {
        const QSignalBlocker block(combo1_);
        combo1_->clear();
    }
    comboB();
    {
        const QSignalBlocker block(combo1_);
        combo1_->setCurrentIndex(-1);
        combo1_->setEditText(shown);
    }
    // The choice lists, in the order J, K, M, L, each in one batch.
    replaceEntries(combo3_, choiceList(ctx(), QStringLiteral("J")));
    replaceEntries(combo5_, choiceList(ctx(), QStringLiteral("K")));
    replaceEntries(combo2_, choiceList(ctx(), QStringLiteral("M")));
    replaceEntries(combo4_, choiceList(ctx(), QStringLiteral("L")));
}

void Form4::comboB()
{
    const QStringList entries = caseListEntries(*sheet(kCaseSheet), true);
    if (combo1_->count() == 0) {
        setListEntries(entries);
        return;
    }
    // Only adds, after what the list already holds.
    const QSignalBlocker block(combo1_);
    combo1_->setUpdatesEnabled(false);
    combo1_->addItems(entries);
    combo1_->setUpdatesEnabled(true);
}

void Form4::setListEntries(const QStringList& entries)
{
    const QSignalBlocker block(combo1_);
    combo1_->setUpdatesEnabled(false);
    combo1_->clear();
    combo1_->addItems(entries);
    combo1_->setCurrentIndex(-1);
    combo1_->setUpdatesEnabled(true);
}

void Form4::onListChanged(int index)
{
    if (index < 0)
        return;
    changeHandled_ = index;
    // A pick by the user is followed at once by activated(); a change made by
    // code is not, and the mark goes with the next turn of the event loop.
    QTimer::singleShot(0, this, [this] { changeHandled_ = -1; });
    hostGuard(this, [&] { selectEntry(index); });
}

void Form4::onListActivated(int index)
{
    if (index == changeHandled_) {
        changeHandled_ = -1;
        return;
    }
    // The same entry picked again: its row is read again.
    hostGuard(this, [&] { selectEntry(index); });
}

void Form4::selectEntry(int index)
{
    text9_->clear();
    if (index < 0 || index >= combo1_->count())
        return;
    const QString entry = combo1_->itemText(index);
    if (combo1_->currentText().isEmpty() && entry.isEmpty())
        return;
    host::Sheet* pratica = sheet(kCaseSheet);
    int row = index + 2;
    // The list mirrors the table, so the entry is the case of its own row;
    // should the table have changed since the list was built, the case is
    // looked up by its number instead.
    if (caseListEntry(pratica->value(row, ColCase), false) != entry.trimmed())
        row = findCaseRow(*pratica, leadingNumber(entry));
    if (row == 0)
        return;
    setCaseFields(readCase(*pratica, row));
    const QVariant stored = pratica->value(row, ColCase);
    loadedRow_ = row;
    loadedNumber_ = host::toIdentifier(stored).value_or(leadingNumber(valueText(stored)));
    if (!text4_->text().trimmed().isEmpty())
        text9_->setText(clientName(*sheet(kClientSheet), leadingNumber(text4_->text())));
}

void Form4::setCaseFields(const CaseFields& f)
{
    text4_->setText(f.clientNumber);
    text3_->setText(f.updated);
    text1_->setText(f.opened);
    text2_->setText(f.closed);
    combo3_->setEditText(f.assignee);
    combo4_->setEditText(f.sector);
    combo5_->setEditText(f.area);
    combo2_->setEditText(f.position);
    text5_->setText(f.subject);
    text6_->setPlainText(f.obligations);
    text7_->setPlainText(f.notes);
    text10_->setText(f.deadline);
}

CaseFields Form4::caseFields() const
{
    CaseFields f;
    f.clientNumber = text4_->text();
    f.opened = text1_->text();
    f.closed = text2_->text();
    f.updated = text3_->text();
    f.assignee = combo3_->currentText();
    f.sector = combo4_->currentText();
    f.area = combo5_->currentText();
    f.position = combo2_->currentText();
    f.subject = text5_->text();
    f.obligations = text6_->toPlainText();
    f.notes = text7_->toPlainText();
    f.deadline = text10_->text();
    return f;
}

void Form4::clearCaseFields()
{
    for (QComboBox* c : {combo1_, combo2_, combo3_, combo4_, combo5_}) {
        const QSignalBlocker block(c);
        c->setCurrentIndex(-1);
        c->clearEditText();
    }
    for (QLineEdit* t : {text1_, text2_, text3_, text4_, text5_, text8_, text9_, text10_})
        t->clear();
    text6_->clear();
    text7_->clear();
    loadedRow_ = 0;
}

std::optional<double> Form4::currentCaseNumber() const
{
    const QString text = combo1_->currentText();
    if (text.trimmed().isEmpty())
        return std::nullopt;
    return leadingNumber(text);
}

void Form4::selectCase(double caseNumber)
{
    auto position = [&]() -> int {
        for (int i = 0; i < combo1_->count(); ++i)
            if (leadingNumber(combo1_->itemText(i)) == caseNumber)
                return i;
        return -1;
    };
    int index = position();
    if (index < 0) {
        // A case added since the list was built (a new case number).
        combo1_->clear();
        comboB();
        index = position();
    }
    if (index < 0) {
        clearCaseFields();
        const QSignalBlocker block(combo1_);
        combo1_->setEditText(padC(caseNumber, 8));
        return;
    }
    {
        const QSignalBlocker block(combo1_);
        combo1_->setCurrentIndex(index);
    }
    selectEntry(index);
}

void Form4::showCase(double caseNumber)
{
    // The activation that may follow the showing of the form rebuilds the
    // lists; it chooses the case again.
    if (!isActiveWindow())
        pendingCase_ = caseNumber;
    hostGuard(this, [&] { selectCase(caseNumber); });
}

void Form4::setDeadlineText(const QString& text) { text10_->setText(text); }

void Form4::closeEvent(QCloseEvent* e)
{
    if (closeRefused()) {
        combo1_->clear();
        ctx().navigator->hide(instructions::Istruzioni::kName);
    }
    FormBase::closeEvent(e);
}

void Form4::hideEvent(QHideEvent* e)
{
    if (!e->spontaneous())
        pendingCase_.reset();
    FormBase::hideEvent(e);
}

// ---------------------------------------------------------------- shared bits

FormBase* Form4::openForm(const QString& name) { return ctx().navigator->show(name); }

void Form4::sayCaseNotFound()
{
    msgBox(this,
           QStringLiteral("La Pratica %1 non esiste nell'elenco delle Pratiche: nessuna operazione eseguita.")
               .arg(combo1_->currentText().trimmed()),
           OkOnly | Exclamation, kTitle);
}

void Form4::leaveToMainMenu()
{
    hide();
    ctx().navigator->showMainMenu();
}

bool Form4::refuseWhenReadOnly()
{
    // Said plainly before any question, rather than through the three boxes
    // of the command's error handler.
    return hostGuard(this, [&] { practice()->ensureWritable(); });
}

void Form4::reportCommandError(int number, const QString& description, const QString& source)
{
    msgBox(this, QStringLiteral("errore numero: ") + QString::number(number), OkOnly, kAppTitle);
    msgBox(this, QStringLiteral("descrizione: ") + description, OkOnly, kAppTitle);
    msgBox(this, QStringLiteral("sorgente dell'errore: ") + source, OkOnly, kAppTitle);
    // What the command had written is saved; the workbooks stay open and the
    // program goes on.
    saveActiveWorkbook(ctx(), this);
}

// ---------------------------------------------------------------- store

int Form4::storeFields()
{
    const auto number = currentCaseNumber();
    if (!number)
        return 0;
    host::Sheet* pratica = sheet(kCaseSheet);
    // The row the fields were read from, while it still holds that case.
    int row = 0;
    if (loadedRow_ && *number == loadedNumber_ && pratica->identifier(loadedRow_, ColCase) == *number)
        row = loadedRow_;
    else
        row = findCaseRow(*pratica, *number);
    if (row)
        writeCase(*pratica, row, caseFields(), Clock::today());
    return row;
}

bool Form4::acceptFields()
{
    if (!acceptDateBox(this, text1_, QStringLiteral("Apertura"), kTitle)
        || !acceptDateBox(this, text2_, QStringLiteral("Chiusura"), kTitle))
        return false;
    const struct {
        QString text;
        const char* field;
        QWidget* box;
    } texts[] = {
        {text5_->text(), "Oggetto", text5_},
        {text6_->toPlainText(), "Adempimenti", text6_},
        {text7_->toPlainText(), "Notizie", text7_},
        {combo3_->currentText(), "Assegnatario", combo3_},
        {combo4_->currentText(), "Settore", combo4_},
        {combo5_->currentText(), "Area di indirizzo", combo5_},
        {combo2_->currentText(), "Posizione/Archivio", combo2_},
    };
    for (const auto& t : texts)
        if (!acceptTextLength(this, t.text, QString::fromUtf8(t.field), kTitle, t.box))
            return false;
    return true;
}

void Form4::onCaseTyped(bool enterPressed)
{
    const QString typed = combo1_->currentText().trimmed();
    if (typed.isEmpty())
        return;
    const double number = leadingNumber(typed);
    // The case already shown stays as it is, with whatever the user changed.
    if (loadedRow_ && number == loadedNumber_)
        return;
    // Leaving the box again says nothing new about the same unknown number.
    if (!enterPressed && typed == unknownTyped_)
        return;
    int index = -1;
    for (int i = 0; i < combo1_->count() && index < 0; ++i)
        if (leadingNumber(combo1_->itemText(i)) == number)
            index = i;
    if (index < 0) {
        unknownTyped_ = typed;
        for (QComboBox* c : {combo2_, combo3_, combo4_, combo5_}) {
            const QSignalBlocker block(c);
            c->setCurrentIndex(-1);
            c->clearEditText();
        }
        for (QLineEdit* t : {text1_, text2_, text3_, text4_, text5_, text9_, text10_})
            t->clear();
        text6_->clear();
        text7_->clear();
        loadedRow_ = 0;
        msgBox(this, QStringLiteral("La Pratica %1 non esiste nell'elenco delle Pratiche.").arg(typed),
               OkOnly | Exclamation, kTitle);
        return;
    }
    unknownTyped_.clear();
    {
        const QSignalBlocker block(combo1_);
        combo1_->setCurrentIndex(index);
    }
    hostGuard(this, [&] { selectEntry(index); });
}

bool Form4::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == combo1_ && event->type() == QEvent::FocusOut) {
        // Leaving the box for another control of the form; not a message box
        // taking the focus, nor the list's own popup.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
            || reason == Qt::ShortcutFocusReason)
            QTimer::singleShot(0, this, [this] { onCaseTyped(false); });
    }
    return FormBase::eventFilter(watched, event);
}

void Form4::afterStore()
{
    clearCaseFields();
    combo1_->clear();
    // The plain numbers; the centred ones return at the next activation.
    setListEntries(caseListEntries(*sheet(kCaseSheet), false));
    clearCaseFields();
    replaceEntries(combo3_, choiceList(ctx(), QStringLiteral("J")));
    replaceEntries(combo5_, choiceList(ctx(), QStringLiteral("K")));
    replaceEntries(combo2_, choiceList(ctx(), QStringLiteral("M")));
    replaceEntries(combo4_, choiceList(ctx(), QStringLiteral("L")));
}

void Form4::commandStore()
{
    const auto number = currentCaseNumber();
    if (!number) {
        msgBox(this, QStringLiteral("Bisogna selezionare la pratica......."), OkOnly, kTitle);
        return;
    }
    // The fields shown belong to one case: they are never written into
    // another one unnoticed.
    if (!loadedRow_) {
        msgBox(this, QStringLiteral("Scegliere la Pratica dall'elenco prima di registrarla."), OkOnly | Exclamation,
               kTitle);
        return;
    }
    if (*number != loadedNumber_
        && msgBox(this,
                  QStringLiteral("I dati mostrati sono della Pratica %1: registrarli nella Pratica %2 ?")
                      .arg(valueText(loadedNumber_), valueText(*number)),
                  YesNo | Question | DefaultButton2, kTitle)
            != Answer::Yes)
        return;
    if (!acceptFields())
        return;
    if (msgBox(this, QStringLiteral("Si  vuole Aggiornare la Pratica Selezionata  ?"), YesNo, kTitle) != Answer::Yes)
        return;
    int row = 0;
    if (!hostGuard(this, [&] { row = storeFields(); }))
        return;
    if (!row) {
        sayCaseNotFound();
        return;
    }
    msgBox(this, QStringLiteral("Pratica modificata................................."), OkOnly, kTitle);
    hostGuard(this, [&] { afterStore(); });
}

// ---------------------------------------------------------------- archive and delete

void Form4::commandArchive()
{
    const auto number = currentCaseNumber();
    if (!number) {
        msgBox(this, QStringLiteral("Bisogna Selezionare la Pratica......."), OkOnly, kTitle);
        return;
    }
    if (!refuseWhenReadOnly())
        return;
    try {
        if (msgBox(this, QStringLiteral("Si vuole storicizzare la pratica selezionata ?"), YesNo, kTitle)
            != Answer::Yes)
            return;
        host::Book* book = practice();
        host::Sheet* pratica = book->sheet(kCaseSheet);
        const int row = findCaseRow(*pratica, *number);
        if (!row) {
            sayCaseNotFound();
            return;
        }
        const QString stored = valueText(pratica->value(row, ColCase));
        archiveRow(*book, row);
        msgBox(this,
               QStringLiteral("Pratica    ") + stored + QStringLiteral("     ")
                   + QStringLiteral(" è stata  Storicizzata , ora si può eliminarla"),
               OkOnly | Information, QStringLiteral(" Gestione Pratica"));
        combo1_->clear();
        clearCaseFields();
        leaveToMainMenu();
    } catch (const host::HostError& e) {
        reportCommandError(kEngineErrorNumber, e.message(), QStringLiteral("Form4.Storicizza"));
    }
}

void Form4::commandDelete()
{
    const auto number = currentCaseNumber();
    if (!number) {
        msgBox(this, QStringLiteral("Bisogna Selezionare  la   Pratica......."), OkOnly | Information, kTitle);
        return;
    }
    if (!refuseWhenReadOnly())
        return;
    if (msgBox(this, QStringLiteral(" Vuoi Storicizzare la Pratica Prima di Eliminarla ?"), YesNo, kTitles)
        == Answer::Yes)
        return;
    try {
        if (msgBox(this, QStringLiteral("Si vuole eliminare la Pratica selezionata ?"), YesNo | DefaultButton2, kTitle)
            != Answer::Yes)
            return;
        host::Book* book = practice();
        host::Sheet* pratica = book->sheet(kCaseSheet);
        const int row = findCaseRow(*pratica, *number);
        if (!row) {
            sayCaseNotFound();
            return;
        }
        const QString stored = valueText(pratica->value(row, ColCase));
        pratica->cells(row, ColCase).entireRow().deleteEntireRow();
        msgBox(this, QStringLiteral("Pratica    ") + stored + QStringLiteral("     ") + QStringLiteral(" Eliminata"),
               OkOnly | Information, QStringLiteral(" Gestione Pratica"));
        if (msgBox(this, QStringLiteral("Si vuole Eliminare le Spese Associate alla Pratica   ?"),
                   YesNo | DefaultButton2, kTitles)
            == Answer::Yes)
            deleteCaseExpenses(*book->sheet(kExpenseSheet), *number);
        combo1_->clear();
        clearCaseFields();
        leaveToMainMenu();
    } catch (const host::HostError& e) {
        reportCommandError(kEngineErrorNumber, e.message(), QStringLiteral("Form4.Elimina"));
    }
}

// ---------------------------------------------------------------- other commands

void Form4::commandClear() { clearCaseFields(); }

void Form4::commandExit()
{
    combo1_->clear();
    Navigator* nav = ctx().navigator;
    nav->hide(search::SearchForm::kName);
    nav->hide(instructions::Istruzioni::kName);
    nav->unload(CaseStatusForm::kName);
    nav->unload(ClientInfoForm::kName);
    nav->unload(kName);
    nav->showMainMenu();
}

void Form4::commandSearch() { openForm(search::SearchForm::kName); }

void Form4::commandExpenseNote()
{
    const auto number = currentCaseNumber();
    // The note's list takes the visibility of the case list (never hidden by this form).
    const bool listVisible = !combo1_->isHidden();
    clearCaseFields();
    Navigator* nav = ctx().navigator;
    nav->unload(kName);
    auto* note = qobject_cast<expenses::NotaSpese*>(nav->show(expenses::NotaSpese::kName));
    if (!note)
        return;
    note->setCaseListVisible(listVisible);
    if (number)
        note->newExpenseForCase(*number);
}

void Form4::commandInvoicing()
{
    msgBox(this, QStringLiteral(" Funzione ancora in Progettazione "), OkOnly | Information, kTitle);
}

void Form4::commandMoreInfo()
{
    if (text4_->text().trimmed().isEmpty()) {
        msgBox(this, QStringLiteral(" Per le Altre Informazioni, occorre che il Campo Pratica sia compilato"), OkOnly,
               kTitles);
        return;
    }
    if (auto* info = qobject_cast<ClientInfoForm*>(openForm(ClientInfoForm::kName)))
        info->showClient(leadingNumber(text4_->text()));
}

void Form4::commandStatus()
{
    const auto number = currentCaseNumber();
    if (!number) {
        msgBox(this, QStringLiteral(" Per Interrogare lo Stato, occorre che il Campo Pratica sia compilato"), OkOnly,
               kTitles);
        return;
    }
    if (auto* status = qobject_cast<CaseStatusForm*>(openForm(CaseStatusForm::kName)))
        status->showCase(*number);
}

void Form4::onDeadlineBox(bool checked)
{
    if (!checked)
        return; // unticking does nothing
    if (!currentCaseNumber()) {
        msgBox(this, QStringLiteral(" Occorre selezionare una Pratica "), OkOnly | Information, kTitles);
        check1_->setChecked(false);
        return;
    }
    const double number = *currentCaseNumber();
    const QString subject = text5_->text();
    if (auto* f = qobject_cast<deadlines::ScadenzaPratica*>(ctx().navigator->show(deadlines::ScadenzaPratica::kName)))
        f->startForCase(number, subject);
}

void Form4::menuAssignCase()
{
    QVariant firstClient;
    if (!hostGuard(this, [&] { firstClient = sheet(kClientSheet)->range(QStringLiteral("B2")).value(); }))
        return;
    if (valueText(firstClient).isEmpty()) {
        msgBox(this,
               QStringLiteral("Operazione Annullata , non puoi  assegnare una pratica senza aver registrato prima un "
                              "Cliente  nella Gestione Anagrafica ...."),
               OkOnly | Information, kTitles);
        hide();
        ctx().navigator->show(clients::Anagrafe::kName);
        return;
    }
    combo1_->clear();
    clearCaseFields();
    hide();
    if (auto* f = qobject_cast<clients::Assegna*>(ctx().navigator->show(clients::Assegna::kName)))
        f->startCaseAssignment();
}

void Form4::menuMarkDeadline()
{
    text10_->setEnabled(true);
    setBackColor(text10_, bgr(kLightYellow));
}

void Form4::menuNewClient()
{
    if (!openForm(clients::Anagrafe::kName))
        return;
    hide();
}

void Form4::menuInstructions() { openForm(instructions::Istruzioni::kName); }

void Form4::menuUtilities() { openForm(UtilitiesForm::kName); }

} // namespace gp::cases
