// Expense balance: the exact sum, in cents, of the amounts booked in sheet
// "Spese" for one case or one client, and the Italian money format.
//
// Shared by the expense query form and by the case form's status window.
#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <optional>

namespace gp::host {
class Book;
}

namespace gp::expenses {

// Columns of sheet "Spese" (1-based).
enum SpeseColumn {
    kColIdOper = 1,      // A  ID Oper
    kColCase = 2,        // B  N/Pratica
    kColClient = 3,      // C  client number
    kColDate = 4,        // D  Data
    kColDescription = 5, // E  Descrizione
    kColKind = 6,        // F  Tipo Spesa
    kColAmount = 7,      // G  Importo
    kColVat = 8,         // H  IVA/Esente
};

struct ExpenseTotals {
    int count = 0;    // rows of the case/client whose amount was summed
    qint64 cents = 0; // their exact sum in cents
    int skipped = 0;  // rows of the case/client whose amount is not a number (left out)
};

// Sums column G ("Importo") of every "Spese" row whose `column` (2 = case
// number, 3 = client number) holds `id` as a number. Walks column B from row 2
// down to the first empty cell. A missing "Spese" sheet gives zero totals.
ExpenseTotals totalsFor(gp::host::Book& practice, int column, double id);

// An amount cell in cents: a number is rounded to the cent; a text is read in
// the Italian way ("1.234,50", "12,5", "€ 3,00") or with a decimal point
// ("12.50"). An empty cell or a text that is no number gives nullopt.
std::optional<qint64> amountCents(const QVariant& value);
// Same rule for a text typed by the user.
std::optional<qint64> parseAmountText(const QString& text);

// "#,0.00" with Italian separators: 123450 -> "1.234,50", -50 -> "-0,50".
QString formatEuro(qint64 cents);

} // namespace gp::expenses
