// Assegna: the client-assignment form ("Maschera -Assegnazione/Pratica/Cliente").
//
// Two uses:
// - startNewClient() (the client form's "&Aggiungi Cliente"): the client combo,
//   the label over it and the client list are hidden; the user types a new
//   client into the seventeen boxes and confirms; the client gets the next
//   number and the first free row of "Clienti"; the form returns to the client
//   form.
// - startCaseAssignment() (the case form's "&Assegna  Numero Pratica"): the
//   client list is shown ("Seleziona il Cliente "); the user picks a client and
//   confirms; a new case row is appended to "Pratica" with a number never given
//   before; the form says which number and returns to the case form, which
//   shows that case (slot showCase(double) of "Form4").
#pragma once

#include "core/ui/form_base.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
namespace gp::ui {
class ListPicker;
}

namespace gp::clients {

class ClientFields;

class Assegna : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Assegna");
    static inline const QString kCaption = QStringLiteral("Maschera -Assegnazione/Pratica/Cliente");

    enum class Mode { None, NewClient, CaseAssignment };

    explicit Assegna(ui::AppContext& ctx);

    Mode mode() const { return mode_; }
    ClientFields* fields() const { return fields_; }
    // The case number given by the last assignment (0 when none).
    double lastCaseNumber() const { return lastCase_; }

public slots:
    void startNewClient();
    void startCaseAssignment();
    // Command1: adds the typed client, or assigns a case to the picked client.
    void confirm();
    // Command2: back to the form that opened this one, nothing written.
    void cancel();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void addClient();
    void assignCase();
    void loadClients();
    int pickedIndex() const;
    void returnToCaseForm(double caseNumber);

    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QComboBox* combo1_ = nullptr;
    ui::ListPicker* picker_ = nullptr;
    QComboBox* combo2_ = nullptr;
    QListWidget* list1_ = nullptr;
    ClientFields* fields_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    Mode mode_ = Mode::None;
    double lastCase_ = 0;
};

} // namespace gp::clients
