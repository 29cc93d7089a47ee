// "Altre Informazioni": the full record of the client of the case shown in the
// case form, read-only — each heading of sheet "Clienti" beside its value.
#pragma once

#include "core/ui/form_base.h"

class QLabel;
class QTreeWidget;

namespace gp::cases {

class ClientInfoForm : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("AltreInform");
    static inline const QString kCaption = QStringLiteral("Altre Informazioni sul Cliente");

    explicit ClientInfoForm(ui::AppContext& ctx);

    // Shows the record of client `clientNumber`: the headings of row 1 (from
    // column A to the first empty heading) with the client's values.
    void showClient(double clientNumber);

private:
    QLabel* title_;
    QTreeWidget* list_;
};

} // namespace gp::cases
