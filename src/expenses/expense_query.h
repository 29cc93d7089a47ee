// The expense query: copies the "Spese" rows of one client or one case into
// the work sheet "S" (headings in row 1, one row per expense from row 2) and
// reports which "Spese" rows they came from and their balance.
#pragma once

#include "expenses/balance.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <vector>

namespace gp::host {
class Book;
class Sheet;
} // namespace gp::host

namespace gp::expenses {

inline const QString kExpenseSheet = QStringLiteral("Spese");
inline const QString kResultSheet = QStringLiteral("S");
inline const QString kClientSheet = QStringLiteral("Clienti");
inline const QString kCaseSheet = QStringLiteral("Pratica");

// Row 1 of "S" after an expense query.
const QStringList& resultHeadings();

struct QueryResult {
    std::vector<int> speseRows; // the "Spese" row of every "S" row, in order ("S" row i+2)
    ExpenseTotals totals;       // balance of the copied rows
};

// Clears "S" (values and formats), writes the headings and copies every "Spese"
// row whose `column` (kColCase or kColClient) holds `id` as a number. The whole
// unbroken run of column B below the heading is scanned. Each match gets its own
// row of "S"; a numeric amount there takes the money format. Throws host::HostError when a sheet is missing.
QueryResult runExpenseQuery(host::Book& practice, int column, double id);

// Empties "S" below its headings (row 1 stays as it is).
void clearExpenseResult(host::Book& practice);

// The client number and name of a "Clienti" row found by number: the name, or
// an empty string when no client has that number.
QString clientNameOf(host::Book& practice, double clientNumber);

} // namespace gp::expenses
