#include "deadlines/agenda.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/shared_workbook.h"
#include "core/ui/text_rules.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace gp::deadlines {

namespace {
constexpr int kLastSheetRow = 65536;

const QString& heading(int column)
{
    static const QString headings[] = {QStringLiteral("ID"),   QStringLiteral("Dorvessa"),
                                       QStringLiteral("Tipo"), QStringLiteral("Oggetto"),
                                       QStringLiteral("Nota"), QStringLiteral("Importo")};
    return headings[column - 1];
}

// Sort by date, undated events after the dated ones, sheet order among equals.
void sortByDate(std::vector<const Event*>& list)
{
    std::stable_sort(list.begin(), list.end(), [](const Event* a, const Event* b) {
        if (a->date.isValid() != b->date.isValid())
            return a->date.isValid();
        return a->date < b->date;
    });
}
} // namespace

// ----------------------------------------------------------------- the file

bool verifyFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    f.close();
    return true;
}

QString missingAgendaMessage(const ui::AppContext& ctx)
{
    return QStringLiteral("Impossibile eseguire il programma\nIl file ")
        + QDir::toNativeSeparators(ctx.path(ui::kDeadlineFile)) + QStringLiteral(" non è stato trovato.");
}

host::Book* openAgenda(ui::AppContext& ctx)
{
    if (host::Book* open = ctx.deadlines())
        return open;
    if (!ctx.host)
        throw host::HostError(QStringLiteral("Il foglio elettronico non è disponibile."));
    host::Book* previous = ctx.host->activeWorkbook();
    host::Book* book = ui::openSharedWorkbook(ctx, nullptr, ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    if (previous)
        ctx.host->setActiveWorkbook(previous);
    return book;
}

host::Sheet* agendaSheet(ui::AppContext& ctx)
{
    host::Book* book = ctx.deadlines();
    if (!book)
        throw host::HostError(QStringLiteral("Il file %1 non è aperto.").arg(ui::kDeadlineFile));
    return book->sheet(kDeadlineSheet);
}

void prepareDeadlineSheet(host::Sheet* sheet)
{
    host::ScratchChanges scratch(sheet->book()); // the view only: also when consulted read-only
    {
        // Arranged for showing: no change of the workbook.
        host::Book::ViewOnly view(sheet->book());
        sheet->allCells().autoFitColumns();
        sheet->freezePanes(1, 0);
    }
    for (int c = 1; c <= 6; ++c) {
        host::Range cell = sheet->cells(1, c);
        if (cell.value() != QVariant(heading(c)))
            cell.setValue(heading(c));
    }
    sheet->setScrollArea(QStringLiteral("A2:G65536"));
}

// ----------------------------------------------------------------- reading

Event readEvent(host::Sheet* sheet, int row)
{
    Event e;
    e.row = row;
    e.id = sheet->value(row, 1);
    e.number = sheet->identifier(row, 1);
    e.date = sheet->date(row, 2);
    e.texts.reserve(6);
    // A date shows as the lists always showed it: the day, without a time of day.
    for (int c = 1; c <= 6; ++c)
        e.texts << (sheet->isDate(row, c) ? ui::shortDate(sheet->date(row, c)) : ui::cellText(*sheet, row, c));
    e.type = e.texts[2];
    e.subject = e.texts[3];
    e.note = e.texts[4];
    e.amount = sheet->value(row, 6);
    // The amount as every list shows money.
    if (e.amount.typeId() == QMetaType::Double)
        e.texts[5] = ui::moneyText(e.amount.toDouble());
    return e;
}

std::vector<Event> readEvents(host::Sheet* sheet)
{
    std::vector<Event> events;
    const std::vector<int> rows = sheet->walkDown(2, 1);
    events.reserve(rows.size());
    for (int row : rows)
        events.push_back(readEvent(sheet, row));
    return events;
}

bool isExpired(const Event& e, const QDate& today) { return e.date.isValid() && e.date < today; }

bool isWithinWeek(const Event& e, const QDate& today)
{
    return e.date.isValid() && e.date >= today && e.date <= today.addDays(7);
}

std::vector<Event> selectEvents(const std::vector<Event>& events, ListKind kind, const QDate& today)
{
    // The events taken are picked, ordered, and only then copied, once each.
    std::vector<const Event*> picked;
    picked.reserve(events.size());
    for (const Event& e : events) {
        bool take = false;
        switch (kind) {
        case ListKind::All: take = true; break;
        case ListKind::Due: take = !isExpired(e, today); break;
        case ListKind::Expired: take = isExpired(e, today); break;
        case ListKind::Summary: take = isExpired(e, today) || isWithinWeek(e, today); break;
        }
        if (take)
            picked.push_back(&e);
    }
    if (kind != ListKind::All)
        sortByDate(picked);
    std::vector<Event> list;
    list.reserve(picked.size());
    for (const Event* e : picked)
        list.push_back(*e);
    return list;
}

// ----------------------------------------------------------------- writing

int lastFilledRow(host::Sheet* sheet)
{
    const host::Range last = sheet->cells(kLastSheetRow, 1);
    if (!last.isEmpty())
        return kLastSheetRow;
    return last.end(host::Direction::Up).row();
}

double nextId(host::Sheet* sheet)
{
    double highest = 0;
    const int last = lastFilledRow(sheet);
    for (int row = 2; row <= last; ++row) {
        const std::optional<double> id = sheet->identifier(row, 1);
        if (id && *id > highest)
            highest = *id;
    }
    return std::floor(highest) + 1;
}

int findEventRow(host::Sheet* sheet, double id)
{
    const int last = lastFilledRow(sheet);
    for (int row = 2; row <= last; ++row)
        if (sheet->identifier(row, 1) == id)
            return row;
    return 0;
}

void writeEventFields(host::Sheet* sheet, int row, const EventFields& f)
{
    sheet->cells(row, 2).setValue(f.date.isValid() ? QVariant(f.date) : QVariant());
    sheet->cells(row, 3).setValue(f.type);
    sheet->cells(row, 4).setValue(f.subject);
    sheet->cells(row, 5).setValue(f.note);
    host::Range amount = sheet->cells(row, 6);
    if (f.amount) {
        amount.setValue(*f.amount);
        amount.setNumberFormat(ui::kMoneyFormat);
    } else {
        amount.setValue(QVariant());
    }
}

double appendEvent(host::Sheet* sheet, const EventFields& f, int* rowOut)
{
    // Where the lists, which stop at the first empty cell of column A, show it.
    const int row = sheet->nextRecordRow(1, 6);
    const double id = nextId(sheet);
    sheet->cells(row, 1).setValue(id);
    writeEventFields(sheet, row, f);
    if (rowOut)
        *rowOut = row;
    return id;
}

void deleteEventRow(host::Sheet* sheet, int row) { sheet->cells(row, 1).entireRow().deleteEntireRow(); }

// ----------------------------------------------------------------- fields

Amount parseAmount(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    static const QRegularExpression re(QStringLiteral("^[-+]?(\\d{1,3}(\\.\\d{3})+|\\d+)(,\\d+)?$|^[-+]?,\\d+$"));
    if (!re.match(t).hasMatch())
        return {AmountState::Invalid, 0};
    QString plain = t;
    plain.remove(QLatin1Char('.'));
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = plain.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return {AmountState::Invalid, 0};
    return {AmountState::Number, v};
}

QString ctrNumD(double value) { return ui::moneyText(value); }

} // namespace gp::deadlines
