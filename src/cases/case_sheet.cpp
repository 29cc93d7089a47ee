#include "cases/case_sheet.h"

#include "core/host/spreadsheet_host.h"
#include "core/sheet/numfmt.h"
#include "core/ui/text_rules.h"

namespace gp::cases {

using host::Range;
using host::Sheet;
using sheet::Cell;
using sheet::CellType;

namespace {

QString poolText(const Sheet& s, const Cell& c)
{
    return QString::fromStdString(s.book()->model().string(c.str));
}

// The identifier a stored cell holds (a number, or a text that reads as one).
bool cellIsIdentifier(const Sheet& s, const Cell& c, double id)
{
    if (c.type == CellType::Number)
        return c.number == id;
    if (c.type == CellType::Text)
        return host::sameIdentifier(poolText(s, c), id);
    return false;
}

} // namespace

QString cellText(const Range& cell)
{
    const Sheet& s = *cell.sheet();
    const Cell& c = s.model().cell(cell.row() - 1, cell.column() - 1);
    if (c.type == CellType::Number && s.book()->model().isDateFormat(c.xf)) {
        const auto dt = sheet::serialToDateTime(c.number, s.book()->model().date1904);
        if (dt) {
            const QDateTime when(QDate(dt->year, dt->month, dt->day), QTime(dt->hour, dt->minute, dt->second));
            return ui::valueText(when);
        }
    }
    return ui::valueText(cell.value());
}

std::vector<int> caseRows(Sheet& pratica) { return pratica.walkDown(2, ColCase); }

QStringList caseListEntries(Sheet& pratica, bool centred)
{
    QStringList entries;
    const std::vector<int> rows = caseRows(pratica);
    entries.reserve(int(rows.size()));
    for (int r : rows)
        entries << caseListEntry(pratica.cells(r, ColCase).value(), centred);
    return entries;
}

QString caseListEntry(const QVariant& caseNumber, bool centred)
{
    const QString plain = ui::valueText(caseNumber);
    // A number too long to be centred is shown whole: a cut one would be another case.
    return centred && plain.size() < 8 ? ui::padC(caseNumber, 8) : plain;
}

int findCaseRow(Sheet& pratica, double caseNumber) { return pratica.findIdentifier(ColCase, caseNumber, 2); }

CaseFields readCase(Sheet& pratica, int row)
{
    auto at = [&](int col) { return cellText(pratica.cells(row, col)); };
    CaseFields f;
    f.clientNumber = at(ColClient);
    f.updated = at(ColUpdated);
    f.opened = at(ColOpened);
    f.closed = at(ColClosed);
    f.assignee = at(ColAssignee);
    f.sector = at(ColSector);
    f.area = at(ColArea);
    f.position = at(ColPosition);
    f.subject = at(ColSubject);
    f.obligations = at(ColObligations);
    f.notes = at(ColNotes);
    f.deadline = at(ColDeadline);
    return f;
}

int clientRow(Sheet& clienti, double clientNumber)
{
    const sheet::Worksheet& ws = clienti.model();
    int found = 0;
    for (int r = 0; r < sheet::kMaxRows; ++r) {
        const Cell& c = ws.cell(r, 0);
        if (c.type == CellType::Empty)
            break;
        if (cellIsIdentifier(clienti, c, clientNumber))
            found = r + 1; // the walk goes on: the lower row wins
    }
    return found;
}

QString clientName(Sheet& clienti, double clientNumber)
{
    const int row = clientRow(clienti, clientNumber);
    return row ? ui::valueText(clienti.cells(row, 2).value()) : QString();
}

void writeCase(Sheet& pratica, int row, const CaseFields& f, const QDate& today)
{
    auto put = [&](int col, const QVariant& v) { pratica.cells(row, col).setValue(v); };
    // The client number is an identifier: kept a number so that every lookup finds it.
    if (const auto id = host::toIdentifier(f.clientNumber))
        put(ColClient, *id);
    else
        put(ColClient, f.clientNumber);
    put(ColOpened, f.opened);
    put(ColClosed, f.closed);
    put(ColUpdated, today);
    put(ColAssignee, f.assignee);
    put(ColSector, f.sector);
    put(ColArea, f.area);
    put(ColPosition, f.position);
    put(ColSubject, f.subject);
    put(ColObligations, f.obligations);
    put(ColNotes, f.notes);
    put(ColDeadline, f.deadline.isEmpty() ? QStringLiteral("*") : f.deadline);
}

int firstFreeRow(Sheet& sheet)
{
    const int last = sheet.model().lastRowInColumn(0); // from 0; -1 when the column is empty
    const int row = last < 1 ? 2 : last + 2;
    if (row > sheet::kMaxRows)
        throw host::HostError(QStringLiteral("Il foglio %1 è pieno: non c'è una riga libera.").arg(sheet.name()));
    return row;
}

int archiveRow(host::Book& practice, int row)
{
    Sheet* pratica = practice.sheet(kCaseSheet);
    Sheet* storico = practice.sheet(kArchiveSheet);
    const int target = firstFreeRow(*storico);
    storico->pasteRow(*pratica, row, target);
    return target;
}

int deleteCaseExpenses(Sheet& spese, double caseNumber)
{
    const sheet::Worksheet& ws = spese.model();
    const int last = ws.lastRowInColumn(1); // from 0
    int deleted = 0;
    // From the bottom up, so that the rows that move up are never skipped.
    for (int r = last; r >= 1; --r) {
        if (cellIsIdentifier(spese, ws.cell(r, 1), caseNumber)) {
            spese.cells(r + 1, 1).entireRow().deleteEntireRow();
            ++deleted;
        }
    }
    return deleted;
}

} // namespace gp::cases
