#include "expenses/expense_query.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/text_rules.h"

#include <QRegularExpression>

namespace gp::expenses {

const QStringList& resultHeadings()
{
    static const QStringList h{QStringLiteral("N/Pratica"),   QStringLiteral("ID Oper"),    QStringLiteral("Data"),
                               QStringLiteral("Descrizione"), QStringLiteral("Tipo Spesa"), QStringLiteral("Importo"),
                               QStringLiteral("IVA/Esente")};
    return h;
}

QueryResult runExpenseQuery(host::Book& practice, int column, double id)
{
    QueryResult result;
    host::Sheet* s = practice.sheet(kResultSheet);
    host::Sheet* spese = practice.sheet(kExpenseSheet);
    s->allCells().clear();
    const QStringList& headings = resultHeadings();
    for (int c = 0; c < headings.size(); ++c)
        s->cells(1, c + 1).setValue(headings[c]);

    int target = 2;
    for (int row : spese->walkDown(2, kColCase)) {
        if (spese->identifier(row, column) != id)
            continue;
        s->copyValues(*spese, row, kColCase, target, 1, 1);
        s->copyValues(*spese, row, kColIdOper, target, 2, 1);
        const host::Range dateCell = spese->cells(row, kColDate);
        const QDate d = dateCell.date();
        // A date that cannot be read stays as it was written rather than vanish.
        s->cells(target, 3).setValue(d.isValid() ? QVariant(d) : dateCell.value());
        s->copyValues(*spese, row, kColDescription, target, kColDescription - 1, kColVat - kColDescription + 1);
        if (s->value(target, kColAmount - 1).typeId() == QMetaType::Double)
            s->cells(target, kColAmount - 1).setNumberFormat(ui::kMoneyFormat);
        const auto cents = amountCents(spese->value(row, kColAmount));
        if (cents) {
            ++result.totals.count;
            result.totals.cents += *cents;
        } else {
            ++result.totals.skipped;
        }
        result.speseRows.push_back(row);
        ++target;
    }
    return result;
}

void clearExpenseResult(host::Book& practice)
{
    host::Sheet* s = practice.sheet(kResultSheet);
    s->rows(2, sheet::kMaxRows).clear();
}

QString clientNameOf(host::Book& practice, double clientNumber)
{
    host::Sheet* clienti = practice.sheet(kClientSheet);
    const int row = clienti->findIdentifier(1, clientNumber, 2);
    if (row == 0)
        return QString();
    return ui::valueText(clienti->value(row, 2));
}

} // namespace gp::expenses
