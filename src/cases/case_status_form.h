// "Stato Pratica": the state of one case at a glance — its number, client,
// opening and closing dates, whether it is open or closed, how many expenses
// it has and their total (the same exact balance as the expense form), and
// its deadline. Read-only; opened by the case form for the case it shows.
#pragma once

#include "core/ui/form_base.h"

class QLabel;
class QPushButton;

namespace gp::cases {

class CaseStatusForm : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("StatoPratica");
    static inline const QString kCaption = QStringLiteral("Stato Pratica");

    explicit CaseStatusForm(ui::AppContext& ctx);

    // Reads case `caseNumber` from the workbook and shows its state.
    void showCase(double caseNumber);

    // The values shown, by field name: "Pratica", "Cliente", "Apertura",
    // "Chiusura", "Stato", "Spese", "Totale", "Dorvessa" (for tests and printing).
    QString shown(const QString& field) const;

private:
    QLabel* addRow(const QString& name, const QString& caption, int top);
    QLabel* caseNumber_;
    QLabel* client_;
    QLabel* opened_;
    QLabel* closed_;
    QLabel* state_;
    QLabel* expenses_;
    QLabel* total_;
    QLabel* deadline_;
    QLabel* note_;
};

} // namespace gp::cases
