#include "deadlines/inserisci.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/input_checks.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/text_rules.h"
#include "deadlines/agenda.h"
#include "deadlines/attiva.h"
#include "deadlines/logo.h"
#include "deadlines/visualizza.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cmath>

namespace gp::deadlines {

using namespace gp::ui;

namespace {
const QString kInsertCaption = QStringLiteral("INSERISCI Evento Dorvessa");
const QString kModifyCaption = QStringLiteral("MODIFICA Evento Dorvessa");
const QString kDeleteCaption = QStringLiteral("ELIMINA  Evento  in Dorvessa");
const QString kDateLabel = QStringLiteral("Dorvessa");

QLabel* label(QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h = 255)
{
    auto* lb = new QLabel(caption, parent);
    lb->setObjectName(QString::fromLatin1(name));
    placeTwips(lb, l, t, w, h);
    return lb;
}

QCheckBox* box(QWidget* parent, const char* name, const QString& caption, int l, int t, int w)
{
    auto* b = new QCheckBox(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    placeTwips(b, l, t, w, 375);
    return b;
}

QString idText(double id) { return valueText(QVariant(id)); }
} // namespace

QString Inserisci::ctrNumD(double value) { return deadlines::ctrNumD(value); }

bool Inserisci::searchChecked() const { return check_[6]->isChecked(); }

Inserisci::Inserisci(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setCloseRefused(true);
    setClientSizeTwips(10200, 6300);
    QWidget* b = body();

    // The chooser.
    frame1_ = new QGroupBox(b);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    placeTwips(frame1_, 120, 120, 5200, 4800);
    check_[1] = box(frame1_, "Check1", QStringLiteral("Inserisci  Evento  Dorvessa"), 360, 360, 4400);
    check_[2] = box(frame1_, "Check2", QStringLiteral("Modifica Dorvessa"), 360, 1200, 4400);
    check_[3] = box(frame1_, "Check3", QStringLiteral("Elimina Dorvessa"), 360, 2040, 4400);
    check_[4] = box(frame1_, "Check4", QStringLiteral("Eventi  Dorvessa"), 360, 2880, 4400);
    check_[5] = box(frame1_, "Check5", QStringLiteral("Eventi Scaduti"), 360, 3720, 4400);

    // The event panel.
    frame2_ = new QGroupBox(b);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    placeTwips(frame2_, 120, 120, 5200, 4800);
    label1_ = label(frame2_, "Label1", QString(), 240, 360, 1400);
    text1_ = new QLineEdit(frame2_);
    text1_->setObjectName(QStringLiteral("Text1"));
    limitTyping(text1_, 10);
    placeTwips(text1_, 1700, 330, 1600, 315);
    label(frame2_, "Label2", QStringLiteral("Tipo Dorvessa"), 240, 840, 1400);
    combo1_ = new QComboBox(frame2_);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo1_, 1700, 810, 3300, 315);
    label(frame2_, "Label3", QStringLiteral("Oggetto"), 240, 1320, 1400);
    text2_ = new QLineEdit(frame2_);
    text2_->setObjectName(QStringLiteral("Text2"));
    placeTwips(text2_, 1700, 1290, 3300, 315);
    label(frame2_, "Label4", QStringLiteral("Nota"), 240, 1800, 1400);
    text3_ = new QPlainTextEdit(frame2_);
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setTabChangesFocus(true);
    placeTwips(text3_, 1700, 1770, 3300, 1300);
    label(frame2_, "Label5", QStringLiteral("Importo"), 240, 3240, 1400);
    text4_ = new QLineEdit(frame2_);
    text4_->setObjectName(QStringLiteral("Text4"));
    text4_->setAlignment(Qt::AlignRight);
    placeTwips(text4_, 1700, 3210, 1600, 315);
    check_[6] = box(frame2_, "Check6", QStringLiteral("Cerca Evento"), 1700, 3840, 2400);

    command2_ = new QPushButton(QStringLiteral("Inserisci"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 120, 5160, 1600, 495);
    command3_ = new QPushButton(QStringLiteral("Annulla"), b);
    command3_->setObjectName(QStringLiteral("Command3"));
    placeTwips(command3_, 1920, 5160, 1600, 495);
    command1_ = new QPushButton(QStringLiteral("Esci"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 3720, 5160, 1600, 495);

    label6_ = label(b, "Label6", QStringLiteral("Seleziona Data"), 5600, 120, 3000);
    calendario_ = new QCalendarWidget(b);
    calendario_->setObjectName(QStringLiteral("Calendario"));
    calendario_->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calendario_->setFirstDayOfWeek(Qt::Monday);
    calendario_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    placeTwips(calendario_, 5600, 420, 4400, 3600);
    image1_ = new Logo(b, 64);
    placeTwips(image1_, 8900, 4300, 1000, 1000);

    connect(check_[1], &QCheckBox::toggled, this, &Inserisci::check1Toggled);
    connect(check_[2], &QCheckBox::toggled, this, &Inserisci::check2Toggled);
    connect(check_[3], &QCheckBox::toggled, this, &Inserisci::check3Toggled);
    connect(check_[4], &QCheckBox::toggled, this, &Inserisci::check4Toggled);
    connect(check_[5], &QCheckBox::toggled, this, &Inserisci::check5Toggled);
    connect(check_[6], &QCheckBox::toggled, this, &Inserisci::check6Toggled);
    connect(calendario_, &QCalendarWidget::clicked, this, &Inserisci::calendarClicked);
    connect(command1_, &QPushButton::clicked, this, &Inserisci::command1Clicked);
    connect(command2_, &QPushButton::clicked, this, &Inserisci::command2Clicked);
    connect(command3_, &QPushButton::clicked, this, &Inserisci::clearFields);
    text4_->installEventFilter(this);
    onFocusOut(text4_, [this] { text4Left(); });

    // The state of a fresh activation, so the window never shows both panels.
    frame2_->hide();
    command2_->hide();
    command3_->hide();
    check_[6]->hide();
    calendario_->setSelectedDate(Clock::today());
}

// ----------------------------------------------------------------- activation

void Inserisci::onActivate()
{
    label1_->setText(QString());
    calendario_->setSelectedDate(Clock::today());
    frame2_->hide();
    frame1_->show();
    for (int i = 1; i <= 5; ++i)
        check_[i]->setChecked(false);
    command3_->hide();
    command2_->hide();
    check_[6]->hide(); // its value stays as it was
    mode_ = Mode::Chooser;
    applyHandOver();
}

void Inserisci::takeEvent(const Event& event)
{
    if (!event.number)
        return;
    HandOver h;
    h.mode = mode_ == Mode::Delete ? Mode::Delete : Mode::Modify;
    h.id = *event.number;
    h.texts = event.texts;
    h.note = event.note;
    h.date = event.date;
    h.amount = event.amount;
    pending_ = h;
    // When the editor is the active window already, nothing else will apply it.
    if (isVisible() && FormBase::lastActivated() == this)
        applyHandOver();
}

void Inserisci::applyHandOver()
{
    if (!pending_)
        return;
    const HandOver h = *pending_;
    pending_.reset();
    check_[h.mode == Mode::Delete ? 3 : 2]->setChecked(true);
    text1_->setText(h.date.isValid() ? shortDate(h.date) : h.texts.value(1));
    combo1_->setEditText(h.texts.value(2));
    text2_->setText(h.texts.value(3));
    text3_->setPlainText(h.note);
    if (h.amount.typeId() == QMetaType::Double)
        text4_->setText(ctrNumD(h.amount.toDouble()));
    else
        text4_->setText(h.texts.value(5));
    markAmount(false);
    loadedId_ = h.id;
}

// ----------------------------------------------------------------- modes

void Inserisci::enterMode(Mode m)
{
    mode_ = m;
    frame1_->hide();
    frame2_->show();
    command3_->show();
    command2_->show();
    switch (m) {
    case Mode::Insert:
        frame2_->setTitle(kInsertCaption);
        command2_->setText(QStringLiteral("Inserisci"));
        label1_->setText(kDateLabel);
        check_[6]->hide();
        text1_->setFocus();
        break;
    case Mode::Modify:
        frame2_->setTitle(kModifyCaption);
        command2_->setText(QStringLiteral("Modifica"));
        check_[6]->show();
        break;
    case Mode::Delete:
        frame2_->setTitle(kDeleteCaption);
        command2_->setText(QStringLiteral("Elimina"));
        label1_->setText(kDateLabel);
        check_[6]->show();
        text1_->setFocus();
        break;
    case Mode::Chooser: break;
    }
}

void Inserisci::check1Toggled(bool checked)
{
    if (!checked)
        return;
    for (int i : {2, 3, 4, 5})
        check_[i]->setChecked(false);
    enterMode(Mode::Insert);
}

void Inserisci::check2Toggled(bool checked)
{
    if (!checked)
        return;
    for (int i : {1, 3, 4, 5})
        check_[i]->setChecked(false);
    enterMode(Mode::Modify);
}

void Inserisci::check3Toggled(bool checked)
{
    if (checked) {
        for (int i : {2, 1, 4, 5})
            check_[i]->setChecked(false);
        enterMode(Mode::Delete);
    }
    check_[3]->setChecked(false); // the delete box never stays checked
}

void Inserisci::showViewer(int listKind, const QString& caption)
{
    auto* viewer = qobject_cast<Visualizza*>(ctx().navigator->load(Visualizza::kName));
    if (!viewer)
        return;
    if (caption.isNull())
        viewer->refresh(); // "Cerca Evento": the caption and the prompt stay
    else
        viewer->openList(static_cast<Visualizza::List>(listKind), caption, QString());
    ctx().navigator->show(Visualizza::kName);
}

void Inserisci::check4Toggled(bool checked)
{
    if (!checked)
        return;
    for (int i : {2, 3, 1, 5})
        check_[i]->setChecked(false);
    showViewer(int(Visualizza::List::Due), QStringLiteral("Eventi in Dorvessa"));
}

void Inserisci::check5Toggled(bool checked)
{
    if (!checked)
        return;
    for (int i : {2, 1, 4, 3})
        check_[i]->setChecked(false);
    showViewer(int(Visualizza::List::Expired), QStringLiteral("Eventi Scaduti"));
}

void Inserisci::check6Toggled(bool checked)
{
    if (!checked)
        return;
    // The caption stays; with the box checked the viewer lists every event.
    showViewer(0, QString());
    check_[1]->setChecked(false);
}

// ----------------------------------------------------------------- fields

void Inserisci::calendarClicked() { text1_->setText(shortDate(calendario_->selectedDate())); }

void Inserisci::clearFields()
{
    text1_->clear();
    combo1_->setEditText(QString());
    text2_->clear();
    text3_->clear();
    text4_->clear();
    markAmount(false);
    loadedId_.reset();
}

bool Inserisci::eventFilter(QObject* watched, QEvent* e)
{
    // A full stop typed into the amount becomes a comma: the decimal separator
    // typed is always ",".
    if (watched == text4_ && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->text() == QStringLiteral(".")) {
            text4_->insert(QStringLiteral(","));
            return true;
        }
    }
    return FormBase::eventFilter(watched, e);
}

void Inserisci::text4Left()
{
    const Amount a = parseAmount(text4_->text());
    switch (a.state) {
    case AmountState::Empty: markAmount(false); break; // the amount is optional
    case AmountState::Number:
        text4_->setText(ctrNumD(a.value));
        markAmount(false);
        break;
    case AmountState::Invalid: markAmount(true); break; // the text stays as typed
    }
}

void Inserisci::markAmount(bool invalid)
{
    amountInvalid_ = invalid;
    if (invalid) {
        setBackColor(text4_, bgr(0xC0C0FF));
        text4_->setToolTip(QStringLiteral("L'importo non è un numero"));
    } else {
        text4_->setPalette(QPalette());
        text4_->setAutoFillBackground(false);
        text4_->setToolTip(QString());
    }
}

// ----------------------------------------------------------------- buttons

void Inserisci::command1Clicked()
{
    if (!frame1_->isHidden()) {
        hide();
        ctx().navigator->show(Attiva::kName);
        for (int i = 1; i <= 6; ++i)
            check_[i]->setChecked(false);
        saveActiveWorkbook(ctx(), this);
    } else if (!frame2_->isHidden()) {
        frame1_->show();
        frame2_->hide();
        for (int i = 1; i <= 6; ++i)
            check_[i]->setChecked(false);
        mode_ = Mode::Chooser;
        saveActiveWorkbook(ctx(), this);
    }
    text1_->clear();
}

void Inserisci::command2Clicked()
{
    switch (mode_) {
    case Mode::Insert: insertEvent(); break;
    case Mode::Modify: modifyEvent(); break;
    case Mode::Delete: deleteEvent(); break;
    case Mode::Chooser: break;
    }
}

bool Inserisci::readFields(EventFields& out)
{
    const QDate date = host::parseDate(text1_->text());
    if (!date.isValid()) {
        const QString typed = text1_->text().trimmed();
        msgBox(this,
               typed.isEmpty() ? QStringLiteral("Il campo \"Dorvessa\" non contiene una data valida.\nScrivere la "
                                                "data come gg/mm/aaaa o sceglierla nel calendario.")
                               : invalidDateMessage(typed, QStringLiteral("Dorvessa")),
               OkOnly | Exclamation, kAgendaTitle);
        text1_->setFocus();
        return false;
    }
    if (!acceptTextLength(this, text3_->toPlainText(), QStringLiteral("Nota"), kAgendaTitle, text3_))
        return false;
    const Amount amount = parseAmount(text4_->text());
    if (amount.state == AmountState::Invalid) {
        markAmount(true);
        msgBox(this,
               QStringLiteral("Il campo \"Importo\" non contiene un numero valido.\nScrivere l'importo come "
                              "1.234,50 o lasciare il campo vuoto."),
               OkOnly | Exclamation, kAgendaTitle);
        text4_->setFocus();
        return false;
    }
    out.date = date;
    out.type = combo1_->currentText();
    out.subject = text2_->text();
    out.note = text3_->toPlainText();
    if (amount.state == AmountState::Number)
        out.amount = std::round(amount.value * 100.0) / 100.0;
    return true;
}

void Inserisci::insertEvent()
{
    EventFields f;
    if (!readFields(f))
        return;
    double id = 0;
    if (!hostGuard(this, [&] { id = appendEvent(openAgenda(ctx())->sheet(kDeadlineSheet), f); }))
        return;
    saveActiveWorkbook(ctx(), this);
    msgBox(this, QStringLiteral("Evento n. %1 inserito in Dorvessa.").arg(idText(id)), OkOnly | Information,
           kAgendaTitle);
    clearFields();
    text1_->setFocus();
}

namespace {
const QString kNoEventChosen = QStringLiteral(
    "Nessun evento scelto.\nSpuntare \"Cerca Evento\" e fare doppio clic sull'evento nell'elenco.");
}

void Inserisci::modifyEvent()
{
    if (!loadedId_) {
        msgBox(this, kNoEventChosen, OkOnly | Exclamation, kAgendaTitle);
        return;
    }
    EventFields f;
    if (!readFields(f))
        return;
    const double id = *loadedId_;
    hostGuard(this, [&] {
        host::Sheet* sheet = openAgenda(ctx())->sheet(kDeadlineSheet);
        const int row = findEventRow(sheet, id);
        if (row == 0) {
            loadedId_.reset();
            msgBox(this,
                   QStringLiteral("L'evento n. %1 non è più presente in Dorvessa.\nNulla è stato modificato.")
                       .arg(idText(id)),
                   OkOnly | Exclamation, kAgendaTitle);
            return;
        }
        if (msgBox(this, QStringLiteral("Modificare l'evento n. %1 in Dorvessa?").arg(idText(id)), YesNo | Question,
                   kAgendaTitle)
            != Answer::Yes)
            return;
        writeEventFields(sheet, row, f);
        saveActiveWorkbook(ctx(), this);
        msgBox(this, QStringLiteral("Evento n. %1 modificato.").arg(idText(id)), OkOnly | Information, kAgendaTitle);
    });
}

void Inserisci::deleteEvent()
{
    if (!loadedId_) {
        msgBox(this, kNoEventChosen, OkOnly | Exclamation, kAgendaTitle);
        return;
    }
    const double id = *loadedId_;
    hostGuard(this, [&] {
        host::Sheet* sheet = openAgenda(ctx())->sheet(kDeadlineSheet);
        const int row = findEventRow(sheet, id);
        if (row == 0) {
            loadedId_.reset();
            msgBox(this,
                   QStringLiteral("L'evento n. %1 non è più presente in Dorvessa.\nNulla è stato eliminato.")
                       .arg(idText(id)),
                   OkOnly | Exclamation, kAgendaTitle);
            return;
        }
        const Event e = readEvent(sheet, row);
        if (msgBox(this,
                   QStringLiteral("Eliminare l'evento n. %1 del %2 da Dorvessa?\n%3")
                       .arg(idText(id), e.texts[1], e.subject),
                   YesNo | Question | DefaultButton2, kAgendaTitle)
            != Answer::Yes)
            return;
        deleteEventRow(sheet, row);
        saveActiveWorkbook(ctx(), this);
        msgBox(this, QStringLiteral("Evento n. %1 eliminato.").arg(idText(id)), OkOnly | Information, kAgendaTitle);
        clearFields();
    });
}

} // namespace gp::deadlines
