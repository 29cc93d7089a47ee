// The deadline agenda's data: sheet "Dorvessa" of "Dorvessa.xls".
//
// Row 1 holds the headings, events run from row 2 down, one a row:
//   A "ID" (a number), B "Dorvessa" (the deadline, a date value), C "Tipo",
//   D "Oggetto", E "Nota", F "Importo" (a number), G spare.
// Lists stop at the first row whose column A is empty; a new event goes into
// that row, which must be empty from A to F.
//
// These routines never look at which workbook is active: they work on the
// agenda workbook reached by name. Host failures throw host::HostError.
#pragma once

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

namespace gp::ui {
struct AppContext;
}

namespace gp::deadlines {

inline const QString kDeadlineSheet = QStringLiteral("Dorvessa");
// Title of the agenda's own message boxes.
inline const QString kAgendaTitle = QStringLiteral("Gestione Dorvessa");
// The page the logo of the agenda's forms opens.
inline const QString kMakerPage = QStringLiteral("https://gestionepratiche.it/informazioni");

// ----------------------------------------------------------------- the file

// VerifyFile: true when the file can be opened for reading.
bool verifyFile(const QString& path);
// "Impossibile eseguire il programma" + line break + "Il file <folder>\Dorvessa.xls non è stato trovato."
QString missingAgendaMessage(const ui::AppContext& ctx);
// The agenda workbook: the open one, or "Dorvessa.xls" opened now with its
// password. The workbook that was active stays active, so nothing else is
// redirected. Throws HostError when it cannot be opened.
host::Book* openAgenda(ui::AppContext& ctx);
// Sheet "Dorvessa" of the open agenda workbook; HostError when the workbook is
// not open or has no such sheet.
host::Sheet* agendaSheet(ui::AppContext& ctx);

// PrepareDeadlineSheet: headings "ID", "Dorvessa", "Tipo", "Oggetto", "Nota",
// "Importo" in A1:F1 (G1 untouched; headings already in place are not
// rewritten), scroll area "A2:G65536", row 1 frozen.
void prepareDeadlineSheet(host::Sheet* sheet);

// ----------------------------------------------------------------- reading

struct Event {
    int row = 0;                  // sheet row
    QVariant id;                  // column A as stored
    std::optional<double> number; // the ID as a number, when it is one
    QDate date;                   // column B read as a date (invalid when it is none)
    QStringList texts;            // columns A..F converted to text, as the viewer shows them (F as money)
    QString type, subject, note;
    QVariant amount; // column F as stored
};

Event readEvent(host::Sheet* sheet, int row);
// Every event from row 2 down to the first empty cell of column A, in sheet order.
std::vector<Event> readEvents(host::Sheet* sheet);

enum class ListKind {
    All,     // every event, in sheet order
    Due,     // date today or later, by date (events without a date last)
    Expired, // date before today, by date
    Summary, // expired and those of the next seven days, by date
};
std::vector<Event> selectEvents(const std::vector<Event>& events, ListKind kind, const QDate& today);
bool isExpired(const Event& e, const QDate& today);
// Today up to seven days ahead, both included.
bool isWithinWeek(const Event& e, const QDate& today);

// ----------------------------------------------------------------- writing

struct EventFields {
    QDate date;
    QString type, subject, note;
    std::optional<double> amount; // none: the cell stays empty
};

// Last row of column A holding a value (1 when there are no events).
int lastFilledRow(host::Sheet* sheet);
// One above the highest numeric ID of column A (1 for an empty agenda).
double nextId(host::Sheet* sheet);
// Row of the event with this ID, searching every row down to the last filled
// one; 0 when it is not there.
int findEventRow(host::Sheet* sheet, double id);

// Writes B..F of `row`.
void writeEventFields(host::Sheet* sheet, int row, const EventFields& f);
// Appends after the unbroken run of column A with a new ID; returns the ID.
// HostError when that row is not empty (nothing is written).
double appendEvent(host::Sheet* sheet, const EventFields& f, int* rowOut = nullptr);
// Deletes the event's whole row (rows below move up).
void deleteEventRow(host::Sheet* sheet, int row);

// ----------------------------------------------------------------- fields

enum class AmountState { Empty, Number, Invalid };
struct Amount {
    AmountState state = AmountState::Empty;
    double value = 0;
};
// An amount under Italian separators: "1.234,50", "1234,5", "12", "-3,20".
Amount parseAmount(const QString& text);
// CtrNumD: the number formatted "#,0.00" with Italian separators ("1.234,50");
// empty for a value that cannot be formatted.
QString ctrNumD(double value);

} // namespace gp::deadlines
