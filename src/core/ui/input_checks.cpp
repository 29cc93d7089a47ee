#include "core/ui/input_checks.h"

#include "core/host/spreadsheet_host.h"

#include "core/ui/message_box.h"
#include "core/ui/text_rules.h"

#include <QLineEdit>

namespace gp::ui {

QString invalidDateMessage(const QString& text, const QString& field)
{
    return QStringLiteral("La data %1 nel campo %2 non è valida.").arg(text, field);
}

QString tooLongMessage(const QString& field)
{
    return QStringLiteral("Il campo %1 supera i 32.767 caratteri che una cella può contenere: accorciarlo.").arg(field);
}

bool acceptDateBox(QWidget* parent, QLineEdit* box, const QString& field, const QString& title, bool allowEmpty)
{
    const QString text = box->text().trimmed();
    if (text.isEmpty() && allowEmpty)
        return true;
    if (!host::parseDate(text).isValid()) {
        msgBox(parent, invalidDateMessage(text, field), OkOnly | Exclamation, title);
        box->setFocus();
        return false;
    }
    const QString slashed = strToDate(text);
    if (slashed != box->text())
        box->setText(slashed);
    return true;
}

bool acceptTextLength(QWidget* parent, const QString& text, const QString& field, const QString& title, QWidget* box)
{
    if (text.size() <= kCellTextLimit)
        return true;
    msgBox(parent, tooLongMessage(field), OkOnly | Exclamation, title);
    if (box)
        box->setFocus();
    return false;
}

} // namespace gp::ui
