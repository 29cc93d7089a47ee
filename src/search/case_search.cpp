#include "search/case_search.h"

#include "core/host/spreadsheet_host.h"
#include "search/like_pattern.h"

#include <QHash>

namespace gp::search {

using host::Sheet;

namespace {

struct Match {
    int row;                      // row of "Clienti"
    std::optional<double> client; // its number
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
    if (!clienti || clienti->isEmpty(2, 1)) {
        out.result = SearchResult::NoClients;
        return out;
    }

    // The clients whose name matches, in sheet order; the heading row is not a client.
    // Each register is read in one pass down column A to its first empty cell.
    const LikePattern pattern = containsPattern(text);
    std::vector<Match> matches;
    for (int r = 2; r <= sheet::kMaxRows && !clienti->isEmpty(r, 1); ++r)
        if (pattern.matches(clienti->text(r, 2)))
            matches.push_back({r, clienti->identifier(r, 1)});
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
        for (int r = 2; r <= sheet::kMaxRows && !pratica->isEmpty(r, 1); ++r) {
            const auto client = pratica->identifier(r, 2);
            if (!client)
                continue;
            auto it = casesOf.find(*client);
            if (it != casesOf.end())
                it->push_back(r);
        }
    }

    for (const Match& m : matches) {
        const QVariant name = clienti->value(m.row, 2);
        const QVariant client = clienti->value(m.row, 1);
        const std::vector<int>* rows = m.client ? &casesOf[*m.client] : nullptr;
        if (!rows || rows->empty()) {
            out.rows.push_back({name, client, QString()});
            continue;
        }
        for (int r : *rows)
            out.rows.push_back({name, client, pratica->value(r, 1)});
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
