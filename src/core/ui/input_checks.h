// The checks every form makes on its boxes before it stores them: a date box
// holds a real date (or nothing), and no text is longer than a cell can hold.
// Each check names the field in its message and moves the focus to the box.
#pragma once

#include <QString>

class QLineEdit;
class QWidget;

namespace gp::ui {

// The most characters a cell of the workbook file can hold.
constexpr int kCellTextLimit = 32767;

// "La data X nel campo NOME non è valida."
QString invalidDateMessage(const QString& text, const QString& field);
// "Il campo NOME supera i 32.767 caratteri che una cella può contenere: accorciarlo."
QString tooLongMessage(const QString& field);

// A date box ready to be stored: empty (when `allowEmpty`) or a real date, which
// is then written in the box with slashes as the loss of focus would have done
// ("12102008" -> "12/10/2008"). Otherwise the message is shown with `title`,
// the box takes the focus and false is returned.
bool acceptDateBox(QWidget* parent, QLineEdit* box, const QString& field, const QString& title, bool allowEmpty = true);

// False, after the message with `title`, when `text` is longer than a cell
// can hold; `box` (when given) takes the focus.
bool acceptTextLength(QWidget* parent, const QString& text, const QString& field, const QString& title,
                      QWidget* box = nullptr);

} // namespace gp::ui
