// "ScadenzaPratica": the deadline of one case file, opened by the case form's
// deadline box. The chosen date goes into the case's column N of sheet
// "Pratica" in "Pratiche.xls" (as the date text the case form shows), into the
// case form's Text10 at once (slot setDeadlineText of "Form4"), and an event of
// type "Pratica" is appended to sheet "Dorvessa" of "Dorvessa.xls".
#pragma once

#include "core/ui/form_base.h"

#include <optional>

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace gp::deadlines {

class ScadenzaPratica : public ui::FormBase {
    Q_OBJECT
public:
    static inline const QString kName = QStringLiteral("ScadenzaPratica");
    static inline const QString kCaption = QStringLiteral("Dorvessa della Pratica");
    static inline const QString kTitle = QStringLiteral("Gestione Pratica");
    static inline const QString kEventType = QStringLiteral("Pratica");

    explicit ScadenzaPratica(ui::AppContext& ctx);

    std::optional<double> caseNumber() const { return caseNumber_; }

public slots:
    // Prepares the form for the case and shows it.
    void startForCase(double caseNumber, QString subject);
    // "Conferma": writes the deadline; true when it was written.
    bool confirm();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    std::optional<double> caseNumber_;
    QLabel* label1_;
    QCalendarWidget* calendario_;
    QLineEdit* text1_;
    QLineEdit* text2_;
    QPlainTextEdit* text3_;
    QPushButton* command1_;
    QPushButton* command2_;
};

} // namespace gp::deadlines
