// The agenda's launcher "Attiva" (caption "Gestione Dorvesse 1.3").
//
// Before it is built, prepareAgenda() checks "Dorvessa.xls", opens it once for
// the run (or takes the workbook already open) and prepares sheet "Dorvessa";
// when the file is missing the user is told and goes back to the main menu, so
// the case files' unsaved work is not lost. Its four boxes act as buttons:
// "Gestione Dorvessa" opens the editor, "Stampe" the printing form, "Excel"
// does nothing, "Esci" saves both workbooks and goes back to the main menu
// (the agenda is opened from there; the program ends from the menu). The
// close box does the same as "Esci". The navigator places it on the menu.
#pragma once

#include "core/ui/form_base.h"

class QCheckBox;
class QLineEdit;

namespace gp::deadlines {

class Logo;

class Attiva : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("Attiva");
    static inline const QString kCaption = QStringLiteral("Gestione Dorvesse 1.3");

    explicit Attiva(ui::AppContext& ctx);

    // The launcher's load: file check, opening, PrepareDeadlineSheet. On a
    // missing file it shows the two-line message and returns false; a failure
    // of the engine is reported and false is returned.
    static bool prepareAgenda(ui::AppContext& ctx, QWidget* parent);

    // "Esci": saves both workbooks, closes the agenda's other windows, hides
    // the launcher and shows the main menu. False (the agenda stays) when a
    // save failed.
    bool leaveAgenda();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void check1Toggled(bool checked); // "Gestione Dorvessa"
    void check2Toggled(bool checked); // "Esci"
    void check4Toggled(bool checked); // "Stampe"
    void openPrinting();

    QCheckBox* check1_;
    QCheckBox* check2_;
    QCheckBox* check3_;
    QCheckBox* check4_;
    QLineEdit* text1_;
    Logo* image1_;
};

} // namespace gp::deadlines
