// NotaSpese: the expense-note form (caption "Nota Spese"). Shows one expense of
// sheet "Spese", books a new one, saves changes to the one shown (found again by
// its "ID Oper") and deletes it after a confirmation.
//
// Controls: Combo1 case number (the cases of "Pratica"), Text1 client, Text2
// "ID Oper", Text3 date (typed, or picked on the calendar MonthView1), Text4
// description, Combo2 kind of expense, Text6 amount (Italian decimal comma),
// Combo3 "IVA"/"Esente"; Command1 "&Registra Nuova", Command2 "&Salva
// Modifiche", Command4 "E&limina", Command5 "&Pulisci", Command3 "&Esci".
#pragma once

#include "core/ui/form_base.h"

#include <QDate>
#include <QVariant>

#include <optional>

class QCalendarWidget;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace gp::host {
class Book;
}

namespace gp::expenses {

class NotaSpese : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("NotaSpese");
    static inline const QString kCaption = QStringLiteral("Nota Spese");
    static inline const QString kTitle = QStringLiteral("Gestione Pratica");

    explicit NotaSpese(ui::AppContext& ctx);

    // The "Spese" row shown (0 when the form holds a new expense).
    int shownRow() const { return shownRow_; }

public slots:
    // Shows the expense on row `sheetRow` of "Spese" (handed over by the expense form).
    void showExpense(int sheetRow);
    // Prepares a new expense for the case (from the case form's "&Nota Spese").
    void newExpenseForCase(double caseNumber);
    // Shows or hides the case list Combo1 (the case form hands over its own list's visibility).
    void setCaseListVisible(bool visible);

    void bookExpense();         // Command1: a new row of "Spese"
    void saveExpense();         // Command2: changes to the expense shown
    void deleteExpense();       // Command4: after a confirmation
    void clearFields();         // Command5
    void leave();               // Command3: back to the form that opened this one
    void chooseCase(int index); // Combo1 click: the client of the case into Text1

protected:
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;

private:
    struct Entry {
        double caseNumber = 0;
        double clientNumber = 0;
        QDate date;
        QString description, kind, vat;
        double amount = 0;
    };
    // Checks every field; shows the message naming the first wrong one.
    std::optional<Entry> checkedEntry(host::Book& book);
    void loadCases();
    void loadKinds();
    void showClientOfCase();
    void setVat(const QString& text);
    void notifyExpenseForm();
    host::Book& practice();

    QComboBox* combo1_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QComboBox* combo2_ = nullptr;
    QLineEdit* text6_ = nullptr;
    QComboBox* combo3_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command4_ = nullptr;

    int shownRow_ = 0;
    QVariant shownId_;      // "ID Oper" of the expense shown, as read
    double shownCase_ = 0;  // its case number
    QString returnTo_;      // the form to show on leaving
    double returnCase_ = 0; // the case to show again when returning to the case form
};

} // namespace gp::expenses
