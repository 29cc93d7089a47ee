#include "cases/case_status_form.h"

#include "cases/case_sheet.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "expenses/balance.h"

#include <QLabel>
#include <QPushButton>

namespace gp::cases {

using namespace gp::ui;

CaseStatusForm::CaseStatusForm(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    int top = 240;
    caseNumber_ = addRow(QStringLiteral("Pratica"), QStringLiteral("N° Pratica"), top);
    client_ = addRow(QStringLiteral("Cliente"), QStringLiteral("Intestatario/Cliente"), top += 420);
    opened_ = addRow(QStringLiteral("Apertura"), QStringLiteral("Apertura"), top += 420);
    closed_ = addRow(QStringLiteral("Chiusura"), QStringLiteral("Chiusura"), top += 420);
    state_ = addRow(QStringLiteral("Stato"), QStringLiteral("Stato"), top += 420);
    expenses_ = addRow(QStringLiteral("Spese"), QStringLiteral("Numero Spese"), top += 420);
    total_ = addRow(QStringLiteral("Totale"), QStringLiteral("Totale Spese"), top += 420);
    deadline_ = addRow(QStringLiteral("Dorvessa"), QStringLiteral("Dorvessa"), top += 420);
    note_ = new QLabel(body());
    note_->setObjectName(QStringLiteral("LabelNota"));
    note_->setWordWrap(true);
    placeTwips(note_, 240, top += 480, 6600, 495);
    auto* close = new QPushButton(QStringLiteral("&Chiudi"), body());
    close->setObjectName(QStringLiteral("Command1"));
    placeTwips(close, 4800, top += 600, 2055, 435);
    connect(close, &QPushButton::clicked, this, [this] { this->ctx().navigator->unload(kName); });
    setEscapeCommand(close);
    setClientSizeTwips(7080, top + 600);
}

QLabel* CaseStatusForm::addRow(const QString& name, const QString& caption, int top)
{
    auto* label = new QLabel(caption, body());
    label->setObjectName(QStringLiteral("Label") + name);
    placeTwips(label, 240, top, 2055, 375);
    auto* value = new QLabel(body());
    value->setObjectName(name);
    value->setFrameShape(QFrame::StyledPanel);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setBackColor(value, bgr(0xFFFFC0));
    placeTwips(value, 2400, top, 4455, 375);
    return value;
}

QString CaseStatusForm::shown(const QString& field) const
{
    if (auto* l = findChild<QLabel*>(field))
        return l->text();
    return QString();
}

void CaseStatusForm::showCase(double caseNumber)
{
    for (QLabel* l : {caseNumber_, client_, opened_, closed_, state_, expenses_, total_, deadline_, note_})
        l->clear();
    caseNumber_->setText(valueText(caseNumber));
    hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
        host::Sheet* pratica = book->sheet(kCaseSheet);
        const int row = findCaseRow(*pratica, caseNumber);
        if (!row) {
            note_->setText(
                QStringLiteral("La Pratica %1 non esiste nell'elenco delle Pratiche.").arg(valueText(caseNumber)));
            return;
        }
        const CaseFields f = readCase(*pratica, row);
        const QString name = clientName(*book->sheet(kClientSheet), leadingNumber(f.clientNumber));
        client_->setText(name.isEmpty() ? f.clientNumber : f.clientNumber + QStringLiteral(" - ") + name);
        opened_->setText(f.opened);
        closed_->setText(f.closed);
        state_->setText(f.closed.trimmed().isEmpty() ? QStringLiteral("Aperta") : QStringLiteral("Chiusa"));
        const expenses::ExpenseTotals totals = expenses::totalsFor(*book, 2, caseNumber);
        expenses_->setText(QString::number(totals.count));
        total_->setText(QStringLiteral("€ ") + expenses::formatEuro(totals.cents));
        if (totals.skipped > 0)
            note_->setText(
                QStringLiteral("%1 spese senza un importo valido non sono comprese nel totale.").arg(totals.skipped));
        const QString deadline = f.deadline.trimmed();
        deadline_->setText(deadline.isEmpty() || deadline == QStringLiteral("*") ? QStringLiteral("Nessuna")
                                                                                 : deadline);
    });
}

} // namespace gp::cases
