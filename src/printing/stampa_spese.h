// The printing form of the expense query result, "StampaSpese": the user picks
// a printer and prints the work sheet "S" (headings and rows, columns A to G)
// with the balance below the rows.
#pragma once

#include "core/ui/form_base.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace gp::printing {

class StampaSpese : public ui::FormBase {
    Q_OBJECT
public:
    explicit StampaSpese(ui::AppContext& ctx);
    static const QString kName;

    QString balanceText() const { return balance_; }
    // Whose expenses they are ("Cliente ROSSI MARIO n. 88", "Pratica n. 12
    // - Cliente ROSSI MARIO"), printed in the heading of every page.
    void setSubject(const QString& subject) { subject_ = subject.trimmed(); }
    QString subject() const { return subject_; }

public slots:
    // The balance as the expense form shows it ("1.234,50"); printed as
    // "Saldo Scheda................ € " followed by it.
    void setBalanceText(const QString& text);
    // Command1 "Stampa": prints on the printer of Combo1, then the form goes.
    bool stampa();

private:
    QComboBox* combo1_;
    QLabel* label1_;
    QLabel* label2_;
    QPushButton* command1_;
    QPushButton* command2_;
    QString balance_;
    QString subject_;
};

} // namespace gp::printing
