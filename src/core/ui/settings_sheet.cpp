#include "core/ui/settings_sheet.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/text_rules.h"

#include <QComboBox>

#include <algorithm>

namespace gp::ui {

namespace {

host::Sheet* settingsSheet(AppContext& ctx)
{
    host::Book* book = ctx.practice();
    if (!book)
        throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(kPracticeFile));
    return book->sheet(kSettingsSheet);
}

int columnNumber(const QString& letters)
{
    int r1, c1, r2, c2;
    if (!host::parseA1(letters + QStringLiteral("1"), r1, c1, r2, c2))
        throw host::HostError(QStringLiteral("Colonna non valida: %1").arg(letters));
    return c1;
}

// The rows of the block from `firstRow` of `col` down to where End(Down) goes,
// as the release operations walk it: gaps inside the block are walked through.
// The walk never goes past the column's last filled cell.
std::pair<int, int> releaseBlock(host::Sheet* sheet, int firstRow, int col)
{
    const int endRow = sheet->cells(firstRow, col).end(host::Direction::Down).row();
    const int lastFilled = sheet->cells(sheet::kMaxRows, col).end(host::Direction::Up).row();
    return {firstRow, std::min(endRow, std::max(lastFilled, firstRow))};
}

bool matches(const host::Range& cell, double number)
{
    return !cell.isEmpty() && host::sameIdentifier(cell.value(), number);
}

int releaseFirst(AppContext& ctx, const QString& numberText, const QString& column, bool shiftUp)
{
    host::Sheet* sheet = settingsSheet(ctx);
    const int col = columnNumber(column);
    const double number = leadingNumber(numberText);
    const auto [first, last] = releaseBlock(sheet, 2, col);
    int freed = 0;
    for (int r = first; r <= last; ++r) {
        host::Range cell = sheet->cells(r, col);
        if (!matches(cell, number))
            continue;
        if (shiftUp)
            cell.deleteShiftUp(); // the cells below move up by one
        else
            cell.clearContents();
        freed = 1;
        break;
    }
    sheet->range(column + QStringLiteral("2:") + column + QStringLiteral("1000"))
        .sort(col, true, host::SortHeader::Guess);
    return freed;
}

} // namespace

QString loginPassword(AppContext& ctx) { return settingsSheet(ctx)->range(QStringLiteral("ER1")).text(); }

QStringList choiceList(AppContext& ctx, const QString& column)
{
    host::Sheet* sheet = settingsSheet(ctx);
    const int col = columnNumber(column);
    QStringList items;
    for (int row : sheet->walkDown(1, col))
        items << valueText(sheet->value(row, col));
    return items;
}

void loadList(AppContext& ctx, const QString& column, QComboBox* combo) { combo->addItems(choiceList(ctx, column)); }

int releaseClientNumberE(AppContext& ctx, const QString& numberText)
{
    return releaseFirst(ctx, numberText, QStringLiteral("E"), false);
}

int releaseClientNumberB(AppContext& ctx, const QString& numberText)
{
    return releaseFirst(ctx, numberText, QStringLiteral("B"), true);
}

int releaseCaseNumber(AppContext& ctx, const QString& numberText)
{
    host::Sheet* sheet = settingsSheet(ctx);
    const int col = 2;
    const double number = leadingNumber(numberText);
    const auto [first, last] = releaseBlock(sheet, 2, col);
    int freed = 0;
    for (int r = first; r <= last; ++r) {
        host::Range cell = sheet->cells(r, col);
        if (matches(cell, number)) {
            cell.clearContents();
            ++freed;
        }
    }
    return freed;
}

} // namespace gp::ui
