#include "search/case_search.h"

#include "core/host/spreadsheet_host.h"
#include "search/like_pattern.h"

#include <QHash>

namespace gp::search {

using host::Sheet;
using sheet::Cell;
using sheet::CellType;

namespace {

QVariant storedValue(const Sheet& s, const Cell& c)
{
    switch (c.type) {
    case CellType::Number: return c.number;
    case CellType::Text: return QString::fromStdString(s.book()->model().string(c.str));
    case CellType::Boolean: return c.small != 0;
    case CellType::Error: return QString::fromStdString(sheet::errorText(c.small));
    case CellType::Empty: break;
    }
    return QString();
}

std::optional<double> storedIdentifier(const Sheet& s, const Cell& c)
{
    if (c.type == CellType::Number)
        return c.number;
    if (c.type == CellType::Text)
        return host::toIdentifier(QString::fromStdString(s.book()->model().string(c.str)));
    return std::nullopt;
}

struct Match {
    int row;                       // row of "Clienti"
    std::optional<double> client;  // its number
};

} // namespace

SearchOutcome searchCases(host::Book& practice, const QString& text)
{
    SearchOutcome out;

    // The work sheet is emptied and headed first, whatever follows.
    Sheet* work = practice.sheetOrNull(kWorkSheet);
    try {
        if (!work)
            throw host::HostError(QStringLiteral("Il foglio S non esiste."));
        work->allCells().clear();
        work->range(QStringLiteral("A1")).setValue(QStringLiteral("Soggetto"));
        work->range(QStringLiteral("B1")).setValue(QStringLiteral("N/Cliente"));
        work->range(QStringLiteral("C1")).setValue(QStringLiteral("N/Pratica"));
    } catch (const host::HostError&) {
        out.sheetWritten = false;
    }

    if (text.isEmpty()) {
        out.result = SearchResult::EmptyText;
        return out;
    }
    Sheet* clienti = practice.sheetOrNull(QStringLiteral("Clienti"));
    if (!clienti || clienti->model().isEmpty(1, 0)) {
        out.result = SearchResult::NoClients;
        return out;
    }

    // The clients whose name matches, in sheet order; the heading row is not a client.
    const LikePattern pattern = containsPattern(text);
    const sheet::Worksheet& cws = clienti->model();
    std::vector<Match> matches;
    for (int r = 1; r < sheet::kMaxRows; ++r) {
        const Cell& id = cws.cell(r, 0);
        if (id.type == CellType::Empty)
            break;
        const Cell& name = cws.cell(r, 1);
        QString shown;
        if (name.type == CellType::Text)
            shown = QString::fromStdString(practice.model().string(name.str));
        else if (name.type != CellType::Empty)
            shown = clienti->cells(r + 1, 2).text();
        if (pattern.matches(shown))
            matches.push_back({r, storedIdentifier(*clienti, id)});
    }
    out.clients = int(matches.size());
    if (matches.empty()) {
        out.result = SearchResult::NoMatch;
        return out;
    }

    // The cases of the matching clients, indexed once: client number -> rows of "Pratica".
    QHash<double, std::vector<int>> casesOf;
    for (const Match& m : matches)
        if (m.client)
            casesOf.insert(*m.client, {});
    const Sheet* pratica = practice.sheetOrNull(QStringLiteral("Pratica"));
    if (pratica) {
        const sheet::Worksheet& pws = pratica->model();
        for (int r = 1; r < sheet::kMaxRows; ++r) {
            if (pws.cell(r, 0).type == CellType::Empty)
                break;
            const auto client = storedIdentifier(*pratica, pws.cell(r, 1));
            if (!client)
                continue;
            auto it = casesOf.find(*client);
            if (it != casesOf.end())
                it->push_back(r);
        }
    }

    for (const Match& m : matches) {
        const QVariant name = storedValue(*clienti, cws.cell(m.row, 1));
        const QVariant client = storedValue(*clienti, cws.cell(m.row, 0));
        const std::vector<int>* rows = m.client ? &casesOf[*m.client] : nullptr;
        if (!rows || rows->empty()) {
            out.rows.push_back({name, client, QString()});
            continue;
        }
        for (int r : *rows)
            out.rows.push_back({name, client, storedValue(*pratica, pratica->model().cell(r, 0))});
    }

    if (work && out.sheetWritten) {
        try {
            int row = 2;
            for (const ResultRow& rr : out.rows) {
                if (row > sheet::kMaxRows)
                    break;
                work->cells(row, 1).setValue(rr.name);
                work->cells(row, 2).setValue(rr.client);
                work->cells(row, 3).setValue(rr.caseNumber);
                ++row;
            }
        } catch (const host::HostError&) {
            out.sheetWritten = false;
        }
    }
    out.result = SearchResult::Found;
    return out;
}

} // namespace gp::search
