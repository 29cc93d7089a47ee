#include "cases/case_sheet.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/text_rules.h"

namespace gp::cases {

using host::Sheet;

std::vector<int> caseRows(Sheet& pratica) { return pratica.walkDown(2, ColCase); }

QStringList caseListEntries(Sheet& pratica, bool centred)
{
    QStringList entries;
    const std::vector<int> rows = caseRows(pratica);
    entries.reserve(int(rows.size()));
    for (int r : rows)
        entries << caseListEntry(pratica.value(r, ColCase), centred);
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
    auto at = [&](int col) { return ui::cellText(pratica, row, col); };
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
    // Column A from A1 down to its first empty cell: the lower row wins.
    return clienti.findLastIdentifier(1, clientNumber, 1);
}

QString clientName(Sheet& clienti, double clientNumber)
{
    const int row = clientRow(clienti, clientNumber);
    return row ? ui::valueText(clienti.value(row, 2)) : QString();
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
    const int last = sheet.lastRowInColumn(ColCase); // 0 when the column is empty
    const int row = last < 2 ? 2 : last + 1;
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
    int deleted = 0;
    // From the bottom up, so that the rows that move up are never skipped.
    for (int r = spese.lastRowInColumn(2); r >= 2; --r) {
        if (spese.identifier(r, 2) == caseNumber) {
            spese.cells(r, 1).entireRow().deleteEntireRow();
            ++deleted;
        }
    }
    return deleted;
}

} // namespace gp::cases
