// The main menu: the first window after the login. It opens the case form, the
// client form, the expense form, the deadline agenda and the instructions, and
// leaves the program saving every workbook with changes.
//
// Opening a form hides the menu; the forms come back to it with
// ctx.navigator->showMainMenu(). The close box leaves the program like "Esci".
#pragma once

#include "core/ui/form_base.h"

class QLabel;
class QPushButton;

namespace gp::app {

class MainMenu : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("MenuPrincipale");
    static inline const QString kTitle = QStringLiteral("Gestione Pratiche");

    explicit MainMenu(ui::AppContext& ctx);

    // Hides the menu and opens a form by name; the menu comes back when the form
    // could not be opened.
    bool openForm(const QString& formName);
    // "Esci": saves every workbook with changes and ends the program.
    void exitProgram();

protected:
    void onActivate() override;
    void closeEvent(QCloseEvent* e) override;

private:
    QPushButton* addCommand(const QString& objectName, const QString& caption, const QString& hint,
                            const QString& formName);
    QLabel* date_;
    QLabel* readOnly_; // red: the workbooks consulted read-only and who holds them
};

} // namespace gp::app
