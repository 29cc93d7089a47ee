#include "clients/client_register.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/picker.h"
#include "core/ui/settings_sheet.h"
#include "core/ui/text_rules.h"

#include <algorithm>
#include <cmath>

namespace gp::clients {

using host::Book;
using host::Sheet;

namespace {
constexpr int kColA = 1, kColB = 2, kColE = 5;
constexpr int kMaxRows = 65536;

bool rowInTable(Sheet& s, int row, int keyColumn, int column)
{
    return !s.isEmpty(row, keyColumn) || !s.isEmpty(row, column);
}
} // namespace

std::vector<ClientEntry> clientNames(Book& practice)
{
    Sheet* s = practice.sheet(kClientSheet);
    std::vector<ClientEntry> out;
    for (int row : s->walkDown(2, kColB))
        out.push_back({ui::valueText(s->value(row, kColB)), row});
    return out;
}

std::vector<ui::PickerEntry> clientPickerEntries(Book& practice)
{
    Sheet* s = practice.sheet(kClientSheet);
    std::vector<ui::PickerEntry> out;
    for (int row : s->walkDown(2, kColB))
        out.push_back({ui::valueText(s->value(row, kColB)), ui::valueText(s->value(row, kColA)), row});
    return out;
}

ClientRecord readClient(Book& practice, int row)
{
    Sheet* s = practice.sheet(kClientSheet);
    ClientRecord r;
    for (int c = 0; c < kFieldCount; ++c)
        r[c] = ui::valueText(s->value(row, c + 1));
    return r;
}

void writeClient(Book& practice, int row, double number, const ClientRecord& fields)
{
    Sheet* s = practice.sheet(kClientSheet);
    s->cells(row, kColA).setValue(number);
    for (int c = 1; c < kFieldCount; ++c)
        s->cells(row, c + 1).setValue(fields[c]);
}

int findClientRow(Book& practice, double number)
{
    return practice.sheet(kClientSheet)->findIdentifier(kColA, number, 2);
}

double highestNumber(Sheet& sheet, int column, int fromRow)
{
    double best = 0;
    const int last = sheet.lastRowInColumn(column);
    for (int r = fromRow; r <= last; ++r)
        if (const auto n = sheet.identifier(r, column))
            best = std::max(best, *n);
    return best;
}

double nextClientNumber(Book& practice)
{
    Sheet* s = practice.sheet(kClientSheet);
    double best = host::toIdentifier(s->range(QStringLiteral("Y1")).value()).value_or(0);
    best = std::max(best, highestNumber(*s, kColA, 2));
    if (Sheet* codice = practice.sheetOrNull(ui::kSettingsSheet))
        best = std::max(best, highestNumber(*codice, kColE, 2));
    return std::floor(best) + 1;
}

double appendClient(Book& practice, const ClientRecord& fields)
{
    Sheet* s = practice.sheet(kClientSheet);
    const double number = nextClientNumber(practice);
    // Below the clients that every lookup by number reaches; the lists of
    // names walk column B, so a numbered row without a name would hide the new
    // client from them.
    const int row = s->nextRecordRow(kColA, kFieldCount);
    const std::vector<int> named = s->walkDown(2, kColB);
    const int firstUnnamed = named.empty() ? 2 : named.back() + 1;
    if (firstUnnamed < row)
        throw host::HostError(QStringLiteral("La riga %1 del foglio %2 non ha il nome del Cliente: correggerla prima "
                                             "di aggiungere.")
                                  .arg(firstUnnamed)
                                  .arg(kClientSheet));
    writeClient(practice, row, number, fields);
    s->range(QStringLiteral("Y1")).setValue(number);
    if (practice.sheetOrNull(ui::kSettingsSheet))
        recordGivenNumber(practice, kColE, number);
    return number;
}

double nextCaseNumber(Book& practice)
{
    double best = highestNumber(*practice.sheet(kCaseSheet), kColA, 2);
    if (Sheet* archive = practice.sheetOrNull(kArchiveSheet))
        best = std::max(best, highestNumber(*archive, kColA, 2));
    if (Sheet* codice = practice.sheetOrNull(ui::kSettingsSheet))
        best = std::max(best, highestNumber(*codice, kColB, 2));
    return std::floor(best) + 1;
}

double appendCase(Book& practice, double clientNumber, int* rowOut)
{
    Sheet* s = practice.sheet(kCaseSheet);
    const double number = nextCaseNumber(practice);
    // Column N is the last of a case.
    const int row = s->nextRecordRow(kColA, 14);
    s->cells(row, kColA).setValue(number);
    s->cells(row, kColB).setValue(clientNumber);
    if (practice.sheetOrNull(ui::kSettingsSheet))
        recordGivenNumber(practice, kColB, number);
    if (rowOut)
        *rowOut = row;
    return number;
}

void recordGivenNumber(Book& practice, int column, double number)
{
    Sheet* s = practice.sheet(ui::kSettingsSheet);
    const int row = std::max(s->lastRowInColumn(column), 1) + 1;
    if (row > kMaxRows)
        throw host::HostError(
            QStringLiteral("Il foglio \"Codice\" è pieno: il numero dato non può essere registrato."));
    s->cells(row, column).setValue(number);
    // Ascending from row 2 (row 1 holds the heading); empty cells go last.
    Sheet* codice = s;
    host::Range(codice, 2, column, row, column).sort(column, true, host::SortHeader::No);
}

int deleteRowsOf(Book& practice, const QString& sheetName, int keyColumn, int column, double number)
{
    Sheet* s = practice.sheet(sheetName);
    std::vector<int> matches;
    for (int r = 2; r <= kMaxRows && rowInTable(*s, r, keyColumn, column); ++r)
        if (s->identifier(r, column) == number)
            matches.push_back(r);
    // From the bottom up, so the rows still to delete keep their numbers.
    for (auto it = matches.rbegin(); it != matches.rend(); ++it)
        s->rows(*it, *it).deleteEntireRow();
    return static_cast<int>(matches.size());
}

} // namespace gp::clients
