#include "large_practice.h"

#include "core/host/spreadsheet_host.h"

#include <QDate>
#include <QStringList>

namespace gp::bench {

void fillLargePractice(host::Book* b, int expenses)
{
    host::Sheet* clienti = b->addSheet("Clienti");
    host::Sheet* pratica = b->addSheet("Pratica");
    b->addSheet("Storico");
    host::Sheet* spese = b->addSheet("Spese");
    host::Sheet* codice = b->addSheet("Codice");
    b->addSheet("S");
    const QStringList surnames = {"ROSSI", "BIANCHI", "VERDI", "ESPOSITO", "COLOMBO",
                                  "RICCI", "MARINO",  "GRECO", "BRUNO",    "GALLO"};
    const QStringList names = {"MARIO", "LUCIA", "ANNA", "PAOLO", "ELENA", "LUCA", "SARA", "GIORGIO"};
    clienti->cells(1, 1).setValue(QStringLiteral("ID Progressivo"));
    clienti->cells(1, 2).setValue(QStringLiteral("Ragione Sociale/Cognome-Nome"));
    for (int i = 1; i <= kLargeClients; ++i) {
        clienti->cells(i + 1, 1).setValue(double(i));
        clienti->cells(i + 1, 2).setValue(surnames[i % surnames.size()] + QLatin1Char(' ')
                                          + names[(i / 10) % names.size()] + QLatin1Char(' ') + QString::number(i));
        clienti->cells(i + 1, 6).setValue(QStringLiteral("VIA ROMA %1").arg(i));
    }
    pratica->cells(1, 1).setValue(QStringLiteral("N. Pratica"));
    for (int i = 1; i <= kLargeCases; ++i) {
        const int r = i + 1;
        pratica->cells(r, 1).setValue(double(1000 + i));
        pratica->cells(r, 2).setValue(double((i * 7) % kLargeClients + 1));
        pratica->cells(r, 3).setValue(QStringLiteral("01/02/20"));
        pratica->cells(r, 5).setValue(QDate(2025, 1, 1).addDays(i % 365));
        pratica->cells(r, 6).setValue(QStringLiteral("AVV. ROSSI"));
        pratica->cells(r, 10).setValue(QStringLiteral("PRATICA %1 RECUPERO CREDITO").arg(1000 + i));
        pratica->cells(r, 11).setValue(QStringLiteral("DEPOSITARE MEMORIA\nNOTIFICARE ATTO"));
        pratica->cells(r, 14).setValue(QStringLiteral("*"));
    }
    if (expenses > 0)
        spese->cells(1, 1).setValue(QStringLiteral("ID Oper"));
    for (int i = 1; i <= expenses; ++i) {
        const int r = i + 1;
        spese->cells(r, 1).setValue(double(i));
        spese->cells(r, 2).setValue(double(1000 + (i % kLargeCases) + 1));
        spese->cells(r, 3).setValue(QDate(2025, 1, 1).addDays(i % 365));
        spese->cells(r, 4).setValue(QStringLiteral("NOTIFICA ATTO %1").arg(i));
        spese->cells(r, 5).setValue(12.5 + i % 100);
    }
    for (int i = 1; i <= 40; ++i)
        for (int col : {10, 11, 12, 13})
            codice->cells(i, col).setValue(QStringLiteral("VOCE %1").arg(i));
}

} // namespace gp::bench
