// The client register on the sheets of "Pratiche.xls": reading and writing a
// client's seventeen fields, the list of names, the numbers given to new
// clients and new cases, and the rows a deleted client leaves in "Pratica" and
// "Spese".
//
// Every function throws host::HostError when a sheet is missing; the forms call
// them inside ui::hostGuard.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace gp::host {
class Book;
class Sheet;
} // namespace gp::host

namespace gp::ui {
struct PickerEntry;
}

namespace gp::clients {

inline const QString kClientSheet = QStringLiteral("Clienti");
inline const QString kCaseSheet = QStringLiteral("Pratica");
inline const QString kArchiveSheet = QStringLiteral("Storico");
inline const QString kExpenseSheet = QStringLiteral("Spese");

// The seventeen fields of a client, in the order of the columns A to Q.
constexpr int kFieldCount = 17;
using ClientRecord = std::array<QString, kFieldCount>;

// The box that shows each column, A to Q.
inline const std::array<const char*, kFieldCount> kFieldBoxes = {
    "Text2", "Text1",  "Text14", "Text18", "Text4",  "Text5", "Text6",  "Text7", "Text8",
    "Text9", "Text15", "Text16", "Text10", "Text11", "Text3", "Text12", "Text13"};

// One entry of the name list: the name (column B) and the row it came from.
struct ClientEntry {
    QString name;
    int row = 0;
};

// The names from B2 down to the first empty cell, in sheet order.
std::vector<ClientEntry> clientNames(host::Book& practice);

// The entries of the client pickers: every name of clientNames() with its
// client number (column A) and its row as data.
std::vector<ui::PickerEntry> clientPickerEntries(host::Book& practice);

// The fields of a row of "Clienti", each as its cell's default text.
ClientRecord readClient(host::Book& practice, int row);

// Writes the row: column A the client number (a number), B to Q the texts as
// typed (an empty text empties the cell).
void writeClient(host::Book& practice, int row, double number, const ClientRecord& fields);

// The first row (from row 2, down to the first empty cell of column A) whose
// column A holds `number`; 0 when none.
int findClientRow(host::Book& practice, double number);

// The largest number of `column` from `fromRow` to its last filled row (texts
// that read as numbers count; other texts are ignored); 0 when there is none.
double highestNumber(host::Sheet& sheet, int column, int fromRow);

// The number the next client gets: one above the largest of Y1 of "Clienti",
// the numbers in its column A and the client numbers recorded in column E of
// "Codice", so that no number in use or once given comes back.
double nextClientNumber(host::Book& practice);

// Appends a new client: its number is nextClientNumber(), its row the first
// row after the unbroken run of column A (from row 2), which must be empty
// across A to Q and reached by the run of names in column B, else HostError
// names the broken row and nothing is written; Y1 receives the number, which is
// also recorded in column E of "Codice" (kept ascending). Returns the number.
double appendClient(host::Book& practice, const ClientRecord& fields);

// The number of a new case: one above the largest of the case numbers of
// "Pratica" and "Storico" (column A) and of the numbers recorded in column B of
// "Codice", so that a number once given, even of a deleted case, never returns.
double nextCaseNumber(host::Book& practice);

// Appends a case for the client: the first row after the unbroken run of
// column A of "Pratica" (empty across A to N, else HostError), with the new case number in A and `clientNumber` in B;
// the number is recorded in column B of "Codice", kept ascending. Returns the
// new case number; `rowOut` receives the row written.
double appendCase(host::Book& practice, double clientNumber, int* rowOut = nullptr);

// Records `number` in `column` of "Codice" (from row 2), then sorts that column
// ascending so the list stays in order.
void recordGivenNumber(host::Book& practice, int column, double number);

// Deletes every row of `sheetName` whose `column` holds `number`. The rows
// examined run from row 2 while the key column or the compared column holds a
// value. Returns how many rows were deleted.
int deleteRowsOf(host::Book& practice, const QString& sheetName, int keyColumn, int column, double number);

} // namespace gp::clients
