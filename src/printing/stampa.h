// The printer form "Stampa" (caption "Seleziona Stampante"): chooses a printer
// and prints the deadline list, sheet "Dorvessa" of "Dorvessa.xls", page by
// page, with the zoom and orientation the user gives.
#pragma once

#include "core/ui/form_base.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace gp::host {
class Sheet;
}

namespace gp::printing {

class Stampa : public ui::FormBase {
    Q_OBJECT
public:
    explicit Stampa(ui::AppContext& ctx);

    static const QString kName;

public slots:
    // Command1 "Seleziona": the confirmation, then the print run.
    void seleziona();

private:
    // PrintDeadlineList: the print run. Returns when the run ends, whatever the answers.
    void printDeadlineList();
    // The sheet "Dorvessa" of the deadline workbook (opened when it is not yet).
    host::Sheet* deadlineSheet();
    // Asks the zoom until it is a whole number from 10 to 400; nullopt when cancelled.
    std::optional<int> askZoom();

    QComboBox* combo1_;
    QLabel* label1_;
    QPushButton* command1_;
};

} // namespace gp::printing
