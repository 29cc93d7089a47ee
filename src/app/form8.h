// Form8: the login window. It is built by the start-up after the case-file
// workbook has been opened and prepared; it asks the password kept in
// Codice!ER1 and gives three tries.
#pragma once

#include "core/ui/form_base.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace gp::app {

class Form8 : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral(
        "Gestione Pratiche Versione 4  del 14-10-08- AGGIORNAMENTO del 29-10-08");

    static inline const QString kName = QStringLiteral("Form8");

    explicit Form8(ui::AppContext& ctx);

    int loginAttempts() const { return loginAttempts_; }

    // VerifyFile: true when the file can be opened for reading.
    static bool verifyFile(const QString& fileName);

protected:
    void onActivate() override;

private:
    void command1Click();

    QLabel* picture1_;
    QLabel* label1_;
    QLineEdit* text1_;
    QPushButton* command1_;
    QLabel* label2_;
    QLabel* label3_;
    int loginAttempts_ = 0;
};

} // namespace gp::app
