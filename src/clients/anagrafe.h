// Anagrafe: the client form (caption "Anagrafica "). The user picks a client by
// name, sees its seventeen fields, modifies it, deletes it with its cases and
// expenses, empties the fields or leaves; "&Aggiungi Cliente" hands over to the
// client-assignment form, where new clients are typed.
//
// States: no client picked (Combo1 enabled, Text1 disabled on light blue,
// fields empty) and client picked (Combo1 disabled, fields filled, Text1
// editable, so that editing it and modifying renames the client).
#pragma once

#include "core/ui/form_base.h"

class QAction;
class QMenu;
class QComboBox;
class QLabel;
class QLineEdit;
namespace gp::ui {
class ListPicker;
}

namespace gp::clients {

class ClientFields;

class Anagrafe : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Anagrafe");
    static inline const QString kCaption = QStringLiteral("Anagrafica ");

    explicit Anagrafe(ui::AppContext& ctx);

    ClientFields* fields() const { return fields_; }
    // The row of "Clienti" of the picked client; 0 when none is picked.
    int pickedRow() const { return pickedRow_; }

    // StrToDate, as the date box uses it.
    static QString StrToDate(QString& data1);

public slots:
    // The menu commands, also reachable by code.
    void modifyClient(); // "Modifica Cliente"
    void deleteClient(); // "Elimina Cliente"
    void addClient();    // "&Aggiungi Cliente"
    void clearFields();  // "&Pulisci i campi"
    void otherData();    // "&Altri dati"
    void printClients(); // "&Stampa Elenco Clienti"
    void leave();        // "&Esci"
    // The choice of the entry `index` of Combo1.
    void chooseClient(int index);

protected:
    void onActivate() override;

private:
    void clearClientFields();
    void loadClientNames();
    void setNoClientState();
    void leaveToMainMenu();
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, void (Anagrafe::*slot)());

    QLabel* label1_ = nullptr;
    QComboBox* combo1_ = nullptr;
    ui::ListPicker* picker_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QLineEdit* clock_ = nullptr;
    ClientFields* fields_ = nullptr;
    int pickedRow_ = 0;
};

} // namespace gp::clients
