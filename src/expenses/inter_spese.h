// InterSpese: the expense query form (caption "Interrogazione/Modifica Spese").
// Lists the expenses of one client or of one case, copied into the work sheet
// "S", with their balance in euros and cents; a double click (or Enter) on a
// row hands that expense to the expense-note form "NotaSpese".
#pragma once

#include "core/ui/form_base.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
namespace gp::ui {
class ListPicker;
}

namespace gp::expenses {

class InterSpese : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("InterSpese");
    static inline const QString kCaption = QStringLiteral("Interrogazione/Modifica Spese");
    static inline const QString kTitle = QStringLiteral("Gestione Pratica");

    explicit InterSpese(ui::AppContext& ctx);

    // The "Spese" row shown on each list row, in list order.
    const std::vector<int>& listedRows() const { return listedRows_; }

public slots:
    void clientMode();                   // Option1
    void caseMode();                     // Option2
    void chooseClient(int index);        // Combo1 click
    void chooseCase(int index);          // Combo2 click
    void queryByClient();                // Command1 "InterrogaC"
    void queryByCase();                  // Command2 "InterrogaP"
    void clearForm();                    // Command3 "Annulla"
    void showInstructions();             // MnIstruzioni
    void openRow(QTreeWidgetItem* item); // a double click or Enter on a row of ListView1
    // Runs the last query again (after the expense-note form changed "Spese").
    void refreshAfterChange();

protected:
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;

private:
    QString subjectText() const; // the heading of the printed statement
    enum class Query { None, Client, Case };
    void printBoxToggled(bool checked);
    void clearExpenseFields();
    void clearOptions();
    enum class Outcome { Found, NotFound, Failed };
    // Runs a query for `id`. Failed: the error has been shown.
    Outcome runQuery(int column, double id);
    // What every query does first: "S" emptied below its headings, the list
    // and the balance emptied. False when "S" could not be reached (shown).
    bool resetResult();
    void fillList();

    QRadioButton* option1_ = nullptr;
    QRadioButton* option2_ = nullptr;
    QComboBox* combo1_ = nullptr;
    ui::ListPicker* picker_ = nullptr;
    QComboBox* combo2_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    QPushButton* command3_ = nullptr;
    QCheckBox* check1_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label5_ = nullptr; // rows left out of the balance

    std::vector<double> clientIds_; // Combo1 entry i -> client number (column A of "Clienti")
    std::vector<int> caseRows_;     // Combo2 entry i -> its "Spese" row
    std::vector<int> listedRows_;
    Query lastQuery_ = Query::None;
    double lastId_ = 0;
};

} // namespace gp::expenses
