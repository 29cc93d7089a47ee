// The search of case files by client: the clients whose name matches the
// typed text (with its wildcards), each with every one of its case files.
//
// The result is written to the work sheet "S" (row 1 "Soggetto", "N/Cliente",
// "N/Pratica"; one row per case file of a matching client, in the order of
// "Clienti" and then of "Pratica"; a client without case files once, with an
// empty case number) and returned, so the form lists it even when "S" cannot
// be written.
#pragma once

#include <QString>
#include <QVariant>

#include <vector>

namespace gp::host {
class Book;
class Sheet;
} // namespace gp::host

namespace gp::search {

inline const QString kWorkSheet = QStringLiteral("S");

enum class SearchResult {
    EmptyText, // nothing typed
    NoClients, // "Clienti" holds no client (A2 empty)
    NoMatch,   // no client name matched
    Found,
};

struct ResultRow {
    QVariant name;       // column B of "Clienti", as stored
    QVariant client;     // column A of "Clienti", as stored
    QVariant caseNumber; // column A of "Pratica", as stored; empty QString when none
};

struct SearchOutcome {
    SearchResult result = SearchResult::EmptyText;
    int clients = 0;             // matching clients
    std::vector<ResultRow> rows; // what was written to "S" from row 2
    bool sheetWritten = true;    // false when "S" could not be written
};

// Empties "S" and writes its headings, then searches "Clienti" for `text`
// (taken as typed: the caller capitalises it). Cases are indexed by client once
// per search. Failures of single steps are passed over, as far as the rest can
// still go on.
SearchOutcome searchCases(host::Book& practice, const QString& text);

} // namespace gp::search
