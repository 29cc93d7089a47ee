// The case-file sheet "Pratica" and its neighbours as the case form uses them.
//
// Layout of "Pratica" (row 1 headings, records from row 2, the first empty cell
// of column A ends the table): A case number, B client number, C opening date,
// D closing date, E date of last update, F assignee, G sector, H area,
// I position or archive, J subject, K obligations, L news and notes, M kept as
// it is, N deadline ("*" when none). "Storico" has the same columns.
//
// Every function throws host::HostError when a sheet is missing or the engine
// fails; the forms decide how to report it.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace gp::host {
class Book;
class Sheet;
} // namespace gp::host

namespace gp::cases {

inline const QString kCaseSheet = QStringLiteral("Pratica");
inline const QString kArchiveSheet = QStringLiteral("Storico");
inline const QString kClientSheet = QStringLiteral("Clienti");
inline const QString kExpenseSheet = QStringLiteral("Spese");

// Columns of "Pratica" (1-based).
enum CaseColumn : int {
    ColCase = 1,
    ColClient,
    ColOpened,
    ColClosed,
    ColUpdated,
    ColAssignee,
    ColSector,
    ColArea,
    ColPosition,
    ColSubject,
    ColObligations,
    ColNotes,
    ColReserved,
    ColDeadline
};

// The rows of the case table: from row 2 down to the first empty cell of column A.
std::vector<int> caseRows(host::Sheet& pratica);

// The case numbers of the table in sheet order, as the case list shows them:
// centred in 8 characters (PadC) or, when `centred` is false, as plain text.
// A number longer than 7 characters is never cut: it is shown whole.
QStringList caseListEntries(host::Sheet& pratica, bool centred);
QString caseListEntry(const QVariant& caseNumber, bool centred);

// The first row of the case table whose case number equals `caseNumber`
// (compared as numbers, so "012" and 12 are the same case); 0 when none.
int findCaseRow(host::Sheet& pratica, double caseNumber);

// The fields of a case as the form shows them, every one converted to text.
struct CaseFields {
    QString clientNumber, opened, closed, updated, assignee, sector, area, position, subject, obligations, notes,
        deadline;
};
CaseFields readCase(host::Sheet& pratica, int row);

// The name of client `clientNumber`: walks column A of "Clienti" from A1 down to
// the first empty cell; with two equal numbers the lower row wins. Empty when
// no client has that number.
QString clientName(host::Sheet& clienti, double clientNumber);
// The row of client `clientNumber` in "Clienti" (the lower one when repeated); 0 when none.
int clientRow(host::Sheet& clienti, double clientNumber);

// Writes the form's fields into `row` of "Pratica": B the client number (as a
// number when it is one), C, D, F to L the texts as typed, E `today` as a date
// value, N the deadline or "*" when it is empty. Columns A and M are not touched.
void writeCase(host::Sheet& pratica, int row, const CaseFields& fields, const QDate& today);

// The first free row of column A of `sheet` below its last filled cell (row 2
// when column A is empty); HostError when the sheet is full.
int firstFreeRow(host::Sheet& sheet);

// Copies the whole row `row` of "Pratica" to the first free row of "Storico";
// returns the row written.
int archiveRow(host::Book& practice, int row);

// Deletes every row of "Spese" whose column B holds `caseNumber`, down to the
// last filled cell of column B (gaps included); the other rows keep their order.
// Returns how many rows were deleted.
int deleteCaseExpenses(host::Sheet& spese, double caseNumber);

} // namespace gp::cases
