// The largest practice workbook the benchmarks of the case form work on:
// "Clienti" with 20,000 clients, "Pratica" with 65,535 cases, the choice lists
// of "Codice" and the other sheets the program looks for, built through the engine.
#pragma once

namespace gp::host {
class Book;
}

namespace gp::bench {

constexpr int kLargeCases = 65535;
constexpr int kLargeClients = 20000;

// Fills `book` (new and empty). With `expenses`, "Spese" gets that many rows too.
void fillLargePractice(host::Book* book, int expenses = 0);

} // namespace gp::bench
