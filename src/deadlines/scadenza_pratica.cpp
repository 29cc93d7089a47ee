#include "deadlines/scadenza_pratica.h"

#include "cases/case_form.h"
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

#include <QCalendarWidget>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace gp::deadlines {

using namespace gp::ui;

namespace {
constexpr int kDeadlineColumn = 14; // column N of "Pratica"

QLabel* label(QWidget* parent, const char* name, const QString& caption, int l, int t, int w)
{
    auto* lb = new QLabel(caption, parent);
    lb->setObjectName(QString::fromLatin1(name));
    placeTwips(lb, l, t, w, 255);
    return lb;
}

QString caseText(double n) { return valueText(QVariant(n)); }
} // namespace

ScadenzaPratica::ScadenzaPratica(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    setClientSizeTwips(9600, 4500);
    QWidget* b = body();

    label1_ = label(b, "Label1", QString(), 120, 120, 4600);
    label(b, "Label2", QStringLiteral("Dorvessa"), 120, 600, 1200);
    text1_ = new QLineEdit(b);
    text1_->setObjectName(QStringLiteral("Text1"));
    limitTyping(text1_, 10);
    placeTwips(text1_, 1400, 570, 1600, 315);
    label(b, "Label3", QStringLiteral("Oggetto"), 120, 1080, 1200);
    text2_ = new QLineEdit(b);
    text2_->setObjectName(QStringLiteral("Text2"));
    placeTwips(text2_, 1400, 1050, 3300, 315);
    label(b, "Label4", QStringLiteral("Nota"), 120, 1560, 1200);
    text3_ = new QPlainTextEdit(b);
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setTabChangesFocus(true);
    placeTwips(text3_, 1400, 1530, 3300, 1400);

    command1_ = new QPushButton(QStringLiteral("Conferma"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 1400, 3360, 1500, 495);
    command2_ = new QPushButton(QStringLiteral("Annulla"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 3200, 3360, 1500, 495);

    label(b, "Label5", QStringLiteral("Seleziona Data"), 5000, 120, 3000);
    calendario_ = new QCalendarWidget(b);
    calendario_->setObjectName(QStringLiteral("Calendario"));
    calendario_->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    calendario_->setFirstDayOfWeek(Qt::Monday);
    calendario_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    placeTwips(calendario_, 5000, 420, 4400, 3600);

    connect(calendario_, &QCalendarWidget::clicked, this,
            [this] { text1_->setText(shortDate(calendario_->selectedDate())); });
    connect(command1_, &QPushButton::clicked, this, [this] {
        if (confirm())
            close();
    });
    connect(command2_, &QPushButton::clicked, this, &QWidget::close);
}

void ScadenzaPratica::startForCase(double caseNumber, QString subject)
{
    caseNumber_ = caseNumber;
    label1_->setText(QStringLiteral("Pratica n. %1").arg(caseText(caseNumber)));
    const QString trimmed = subject.trimmed();
    text2_->setText(trimmed.isEmpty() ? QStringLiteral("PRATICA %1").arg(caseText(caseNumber))
                                      : QStringLiteral("PRATICA %1 \u2014 %2").arg(caseText(caseNumber), trimmed));
    text1_->clear();
    text3_->clear();
    calendario_->setSelectedDate(Clock::today());
    show();
    raise();
    activateWindow();
    text1_->setFocus();
}

bool ScadenzaPratica::confirm()
{
    if (!caseNumber_) {
        msgBox(this, QStringLiteral(" Occorre selezionare una Pratica "), OkOnly | Information,
               QStringLiteral("Gestione Pratiche"));
        return false;
    }
    const double number = *caseNumber_;
    const QDate date = host::parseDate(text1_->text());
    if (!date.isValid()) {
        const QString typed = text1_->text().trimmed();
        msgBox(this,
               typed.isEmpty() ? QStringLiteral("Il campo \"Dorvessa\" non contiene una data valida.\nScrivere la "
                                                "data come gg/mm/aaaa o sceglierla nel calendario.")
                               : invalidDateMessage(typed, QStringLiteral("Dorvessa")),
               OkOnly | Exclamation, kTitle);
        text1_->setFocus();
        return false;
    }
    if (!acceptTextLength(this, text3_->toPlainText(), QStringLiteral("Nota"), kTitle, text3_))
        return false;
    if (!ctx().deadlines() && !verifyFile(ctx().path(kDeadlineFile))) {
        msgBox(this,
               QStringLiteral("Il file ") + QDir::toNativeSeparators(ctx().path(kDeadlineFile))
                   + QStringLiteral(" non è stato trovato.\nLa Dorvessa non è stata registrata."),
               OkOnly | Exclamation, kTitle);
        return false;
    }

    bool written = false;
    hostGuard(this, [&] {
        // Each workbook by name: the case sheet of "Pratiche.xls", the agenda of "Dorvessa.xls".
        host::Book* practice = ctx().practice();
        if (!practice)
            throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
        host::Sheet* cases = practice->sheet(QStringLiteral("Pratica"));
        host::Sheet* agenda = openAgenda(ctx())->sheet(kDeadlineSheet);
        const int row = cases->findIdentifier(1, number);
        if (row == 0) {
            msgBox(this,
                   QStringLiteral("La pratica n. %1 non è presente nel foglio Pratica.\nLa Dorvessa non è stata "
                                  "registrata.")
                       .arg(caseText(number)),
                   OkOnly | Exclamation, kTitle);
            return;
        }
        EventFields f;
        f.date = date;
        f.type = kEventType;
        f.subject = text2_->text();
        f.note = text3_->toPlainText();
        appendEvent(agenda, f);
        cases->cells(row, kDeadlineColumn).setValue(shortDate(date));
        written = true;
    });
    if (!written)
        return false;

    // The case form shows the deadline at once, so a later store keeps it.
    if (auto* form4 = ctx().navigator ? ctx().navigator->formAs<cases::Form4>(cases::Form4::kName) : nullptr)
        form4->setDeadlineText(shortDate(date));

    saveActiveWorkbook(ctx(), this);
    msgBox(this,
           QStringLiteral("Dorvessa del %1 registrata per la pratica n. %2.").arg(shortDate(date), caseText(number)),
           OkOnly | Information, kTitle);
    return true;
}

void ScadenzaPratica::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (e->isAccepted() && ctx().navigator)
        ctx().navigator->unload(objectName());
}

} // namespace gp::deadlines
