// gp-demo DIR: writes a complete demo practice into DIR through the engine:
// "Pratiche.xls" (clients, cases, archive, expenses, settings, work sheets),
// "Dorvessa.xls" (the deadline agenda) and "Istruzioni.txt".
//
// The content is invented but plausible, and always the same except for the
// dates of the agenda, which are placed around the day the demo is written so
// that it always has past and coming deadlines. The login password is "demo".
#include "core/host/spreadsheet_host.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

using gp::host::Book;
using gp::host::HostError;
using gp::host::Sheet;
using gp::host::SpreadsheetHost;

namespace {

const QString kLoginPassword = QStringLiteral("demo");

std::mt19937 rng(20081029);

int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; }
template <class T> const T& pickOf(const std::vector<T>& v) { return v[size_t(pick(int(v.size())))]; }

QString digits(int n)
{
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar('0' + pick(10));
    return s;
}

// ---- people and places -------------------------------------------------------

struct Town {
    QString name, province, cap, cadastral;
    QString prefix; // telephone prefix
};
const std::vector<Town> kTowns = {
    {"ROMA", "RM", "00184", "H501", "06"},       {"MILANO", "MI", "20121", "F205", "02"},
    {"BOLOGNA", "BO", "40121", "A944", "051"},   {"TORINO", "TO", "10121", "L219", "011"},
    {"NAPOLI", "NA", "80133", "F839", "081"},    {"FIRENZE", "FI", "50122", "D612", "055"},
    {"PADOVA", "PD", "35121", "G224", "049"},    {"VERONA", "VR", "37121", "L781", "045"},
    {"PARMA", "PR", "43121", "G337", "0521"},    {"MODENA", "MO", "41121", "F257", "059"},
    {"BERGAMO", "BG", "24121", "A794", "035"},   {"BRESCIA", "BS", "25121", "B157", "030"},
    {"PERUGIA", "PG", "06121", "G478", "075"},   {"ANCONA", "AN", "60121", "A271", "071"},
    {"L'AQUILA", "AQ", "67100", "A345", "0862"}, {"AOSTA", "AO", "11100", "A326", "0165"},
    {"FORLÌ", "FC", "47121", "D704", "0543"},    {"CANTÙ", "CO", "22063", "B639", "031"},
};

struct Person {
    QString surname, name;
    bool female;
};
const std::vector<Person> kPeople = {
    {"ROSSI", "MARIO", false},      {"BIANCHI", "LUCIA", true},     {"COLOMBO", "GIUSEPPE", false},
    {"RICCI", "FRANCESCO", false},  {"MARINO", "ANNA", true},       {"GRECO", "ANTONIO", false},
    {"BRUNO", "GIOVANNA", true},    {"GALLO", "LUCA", false},       {"CONTI", "CHIARA", true},
    {"DE LUCA", "MARCO", false},    {"MANCINI", "FRANCESCA", true}, {"COSTA", "ALESSANDRO", false},
    {"GIORDANO", "SARA", true},     {"RIZZO", "ANDREA", false},     {"LOMBARDI", "ELENA", true},
    {"MORETTI", "STEFANO", false},  {"BARBIERI", "PAOLA", true},    {"FONTANA", "ROBERTO", false},
    {"SANTORO", "VALENTINA", true}, {"MARIANI", "DAVIDE", false},   {"RINALDI", "SILVIA", true},
    {"CARUSO", "NICOLÒ", false},    {"FERRARA", "ROSA", true},      {"GALLI", "MATTEO", false},
    {"D'ANGELO", "LETIZIA", true},  {"LEONE", "PIETRO", false},     {"LONGO", "MARTINA", true},
    {"GENTILE", "FABIO", false},
};
const std::vector<QString> kCompanies = {
    "EDILIZIA ROSSI S.R.L.",          "CITTÀ NUOVA COSTRUZIONI S.P.A.",
    "TRASPORTI GRECO & FIGLI S.N.C.", "AGRICOLA SAN MARTINO S.S.",
    "FARMACIA CENTRALE DR. CONTI",    "OFFICINA MECCANICA BRUNO S.R.L.",
    "IMMOBILIARE LE QUERCE S.R.L.",   "STUDIO TECNICO GALLO E ASSOCIATI",
    "CONDOMINIO VIA GARIBALDI 12",    "PANIFICIO MORETTI DI MORETTI ELENA",
    "HOTEL BELVEDERE S.A.S.",         "COOPERATIVA SOCIALE L'ARCOBALENO",
};
const std::vector<QString> kStreets = {
    "VIA GARIBALDI", "VIA ROMA",  "CORSO ITALIA", "VIA MAZZINI",         "PIAZZA DELLA REPUBBLICA", "VIA DEI MILLE",
    "VIALE EUROPA",  "VIA VERDI", "VIA CAVOUR",   "VIA DANTE ALIGHIERI", "VIA SAN FRANCESCO",       "LARGO XXV APRILE",
};

// Codice fiscale of a person, with its check character.
QString consonants(const QString& s)
{
    QString out;
    for (QChar c : s)
        if (c.isLetter() && !QStringLiteral("AEIOUÀÈÉÌÒÙ").contains(c))
            out += c;
    return out;
}
QString vowels(const QString& s)
{
    QString out;
    for (QChar c : s)
        if (QStringLiteral("AEIOU").contains(c))
            out += c;
    return out;
}
QString threeLetters(const QString& part, bool isName)
{
    QString cons = consonants(part);
    if (isName && cons.size() >= 4)
        return QString(cons[0]) + cons[2] + cons[3];
    QString s = (cons + vowels(part) + QStringLiteral("XXX")).left(3);
    return s;
}
QString taxCode(const Person& p, const QDate& birth, const QString& cadastral)
{
    static const char months[] = "ABCDEHLMPRST";
    QString code = threeLetters(p.surname, false) + threeLetters(p.name, true);
    code += QStringLiteral("%1").arg(birth.year() % 100, 2, 10, QLatin1Char('0'));
    code += QChar(months[birth.month() - 1]);
    code += QStringLiteral("%1").arg(birth.day() + (p.female ? 40 : 0), 2, 10, QLatin1Char('0'));
    code += cadastral;
    static const int odd[] = {1,  0,  5, 7, 9, 13, 15, 17, 19, 21, 2,  4,  18,
                              20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const QChar c = code[i];
        const int v = c.isDigit() ? c.digitValue() : c.unicode() - 'A';
        sum += (i % 2 == 0) ? odd[v] : v;
    }
    code += QChar('A' + sum % 26);
    return code;
}

// Partita IVA: 11 digits, the last one a check digit.
QString vatNumber()
{
    QString s = digits(7) + QStringLiteral("%1").arg(1 + pick(100), 3, 10, QLatin1Char('0'));
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        int d = s[i].digitValue();
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return s + QChar('0' + (10 - sum % 10) % 10);
}

QString shortDateText(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yy")); }
QString longDateText(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }
QDate randomDate(const QDate& from, const QDate& to) { return from.addDays(pick(int(from.daysTo(to)) + 1)); }

// ---- the workbooks -------------------------------------------------------------

void headings(Sheet* s, const QStringList& titles)
{
    for (int c = 0; c < titles.size(); ++c)
        s->cells(1, c + 1).setValue(titles[c]);
}

void setDate(Sheet* s, int row, int col, const QDate& d)
{
    s->cells(row, col).setValue(d);
    s->cells(row, col).setNumberFormat(QStringLiteral("dd/mm/yyyy"));
}

void setAmount(Sheet* s, int row, int col, double amount)
{
    s->cells(row, col).setValue(amount);
    s->cells(row, col).setNumberFormat(QStringLiteral("#,##0.00"));
}

struct Client {
    int id;
    QString name;
};
struct Case {
    int number;
    int client;
    QString subject;
    QDate deadline; // invalid when the case has no deadline
};

const QStringList kAssignees = {"AVV. ROSSI", "AVV. VERDI", "DOTT.SSA NERI", "AVV. BIANCHI", "PRATICANTE"};
const QStringList kAreas = {"CONTENZIOSO", "CONSULENZA", "STRAGIUDIZIALE", "DOMICILIAZIONE"};
const QStringList kSectors = {"CIVILE", "PENALE", "TRIBUTARIO", "LAVORO", "AMMINISTRATIVO", "FAMIGLIA"};
const QStringList kPositions = {"ARMADIO A", "ARMADIO B", "SCAFFALE 3", "ARCHIVIO 2019", "STUDIO AVV. ROSSI"};

const std::vector<QString> kSubjects = {
    "RECUPERO CREDITO NEI CONFRONTI DI %1",
    "RICORSO AVVERSO AVVISO DI ACCERTAMENTO",
    "SEPARAZIONE CONSENSUALE",
    "IMPUGNAZIONE LICENZIAMENTO",
    "SFRATTO PER MOROSITÀ",
    "RISARCIMENTO DANNI DA SINISTRO STRADALE",
    "CONTRATTO DI LOCAZIONE COMMERCIALE",
    "SUCCESSIONE EREDITARIA",
    "DECRETO INGIUNTIVO FORNITURE NON PAGATE",
    "OPPOSIZIONE A CARTELLA ESATTORIALE",
    "VERTENZA CONDOMINIALE INFILTRAZIONI",
    "COSTITUZIONE DI PARTE CIVILE",
    "REVISIONE CONTRATTI DI FORNITURA",
    "RICORSO AL TAR CONTRO DINIEGO PERMESSO",
};
const std::vector<QString> kDuties = {
    "DEPOSITARE MEMORIA ENTRO IL TERMINE\nNOTIFICARE ATTO ALLA CONTROPARTE",
    "RICHIEDERE DOCUMENTAZIONE AL CLIENTE",
    "PREPARARE ATTO DI CITAZIONE\nISCRIVERE A RUOLO",
    "VERIFICARE PAGAMENTO CONTRIBUTO UNIFICATO",
    "FISSARE APPUNTAMENTO CON IL CONSULENTE TECNICO",
    "DEPOSITARE NOTA SPESE",
};
const std::vector<QString> kNews = {
    "ATTESA RISPOSTA CONTROPARTE",
    "UDIENZA RINVIATA D'UFFICIO",
    "IN TRATTATIVA PER ACCORDO BONARIO",
    "CLIENTE HA CONSEGNATO I DOCUMENTI",
    "SENTENZA FAVOREVOLE IN PRIMO GRADO",
    "IN ATTESA DI NOMINA DEL CTU",
    "",
};

void writePractice(SpreadsheetHost& host, const QString& dir, const QDate& today, std::vector<Case>& casesOut,
                   std::vector<Client>& clientsOut)
{
    Book* book = host.create(QDir(dir).filePath(QStringLiteral("Pratiche.xls")), QStringLiteral("Tesm4061"));
    Sheet* clienti = book->addSheet(QStringLiteral("Clienti"));
    Sheet* pratica = book->addSheet(QStringLiteral("Pratica"));
    Sheet* storico = book->addSheet(QStringLiteral("Storico"));
    Sheet* spese = book->addSheet(QStringLiteral("Spese"));
    Sheet* codice = book->addSheet(QStringLiteral("Codice"));
    Sheet* dorvessa = book->addSheet(QStringLiteral("Dorvessa"));
    Sheet* s = book->addSheet(QStringLiteral("S"));
    Sheet* foglio1 = book->addSheet(QStringLiteral("Foglio1"));

    // Clients.
    headings(clienti,
             {"ID Progressivo", "Ragione Sociale/Cognome-Nome", "Codice", "Data 00 00 00", "Indirizzo", "C.A.P.",
              "Località", "(PR)", "Telefono", "Fax", "Cellullare", "E-Mail", "Codice Fiscale", "Partita IVA",
              "Referente/Legale Rappresentante", "Annotazioni", "Note"});
    const int clientCount = 40;
    std::vector<QString> names;
    size_t company = 0;
    for (int i = 0; i < clientCount; ++i) {
        const int row = i + 2, id = i + 1;
        const Town& town = pickOf(kTowns);
        const bool isCompany = (i % 3 == 2) && company < kCompanies.size();
        QString name;
        const Person& p = kPeople[size_t(i) % kPeople.size()];
        if (isCompany) {
            name = kCompanies[company++];
        } else {
            name = p.surname + QLatin1Char(' ') + p.name;
            // Two clients with the same name, as happens.
            if (i == 30)
                name = QStringLiteral("ROSSI MARIO");
        }
        names.push_back(name);
        clienti->cells(row, 1).setValue(double(id));
        clienti->cells(row, 2).setValue(name);
        clienti->cells(row, 3).setValue(QStringLiteral("C%1").arg(id, 3, 10, QLatin1Char('0')));
        clienti->cells(row, 4).setValue(shortDateText(randomDate(QDate(2005, 1, 1), today.addMonths(-2))));
        clienti->cells(row, 5).setValue(pickOf(kStreets) + QLatin1Char(' ') + QString::number(1 + pick(120)));
        clienti->cells(row, 6).setValue(town.cap);
        clienti->cells(row, 7).setValue(town.name);
        clienti->cells(row, 8).setValue(town.province);
        clienti->cells(row, 9).setValue(town.prefix + QLatin1Char(' ') + digits(10 - int(town.prefix.size())));
        if (isCompany || chance(0.2))
            clienti->cells(row, 10).setValue(town.prefix + QLatin1Char(' ') + digits(10 - int(town.prefix.size())));
        clienti->cells(row, 11).setValue(QStringLiteral("3") + QString::number(20 + pick(80)) + digits(7));
        QString mail = name.toLower();
        mail.replace(QRegularExpression(QStringLiteral("[^a-z]+")), QStringLiteral("."));
        mail = mail.left(24);
        while (mail.endsWith(QLatin1Char('.')))
            mail.chop(1);
        clienti->cells(row, 12).setValue(mail
                                         + (isCompany ? QStringLiteral("@pec.it") : QStringLiteral("@esempio.it")));
        if (isCompany) {
            const QString vat = vatNumber();
            clienti->cells(row, 13).setValue(vat);
            clienti->cells(row, 14).setValue(vat);
            const Person& rep = pickOf(kPeople);
            clienti->cells(row, 15).setValue(QStringLiteral("SIG. ") + rep.surname + QLatin1Char(' ') + rep.name);
        } else {
            const QDate birth = randomDate(QDate(1945, 1, 1), QDate(1995, 12, 31));
            clienti->cells(row, 13).setValue(taxCode(p, birth, town.cadastral));
            if (chance(0.25))
                clienti->cells(row, 14).setValue(vatNumber());
        }
        if (chance(0.3))
            clienti->cells(row, 16).setValue(pickOf(std::vector<QString>{
                "CLIENTE STORICO, PAGA A 30 GIORNI", "PREFERISCE ESSERE CONTATTATO VIA E-MAIL",
                "INVIARE COPIA DEGLI ATTI ANCHE AL COMMERCIALISTA", "CHIEDERE SEMPRE DELLA SEGRETERIA"}));
        if (chance(0.15))
            clienti->cells(row, 17).setValue(QStringLiteral("PRIVACY FIRMATA IL ")
                                             + shortDateText(randomDate(QDate(2018, 5, 25), today)));
        clientsOut.push_back({id, name});
    }
    clienti->range(QStringLiteral("Y1")).setValue(double(clientCount));

    // Cases: numbers from 101 upwards with a few gaps (cases deleted over the years).
    const QStringList caseHeadings = {"N. Pratica",   "ID Cliente", "Apertura",  "Chiusura",  "Ultimo Aggiorn.",
                                      "Assegnatario", "Settore",    "Area",      "Posizione", "Oggetto",
                                      "Adempimenti",  "Notizie",    "Riservato", "Dorvessa"};
    headings(pratica, caseHeadings);
    headings(storico, caseHeadings);
    std::vector<int> givenNumbers;
    int number = 100;
    for (int i = 0; i < 80; ++i) {
        number += chance(0.2) ? 2 + pick(2) : 1;
        const int row = i + 2;
        // The last four clients have no case yet.
        const int client = 1 + pick(clientCount - 4);
        QString subject = kSubjects[size_t(pick(int(kSubjects.size())))];
        if (subject.contains(QLatin1String("%1")))
            subject = subject.arg(names[size_t(pick(clientCount))]);
        const QDate opened = randomDate(QDate(2016, 1, 1), today.addMonths(-1));
        pratica->cells(row, 1).setValue(double(number));
        pratica->cells(row, 2).setValue(double(client));
        pratica->cells(row, 3).setValue(shortDateText(opened));
        if (chance(0.12))
            pratica->cells(row, 4).setValue(longDateText(randomDate(opened, today)));
        setDate(pratica, row, 5, randomDate(std::max(opened, today.addMonths(-8)), today));
        pratica->cells(row, 6).setValue(kAssignees[pick(int(kAssignees.size()))]);
        pratica->cells(row, 7).setValue(kSectors[pick(int(kSectors.size()))]);
        pratica->cells(row, 8).setValue(kAreas[pick(int(kAreas.size()))]);
        pratica->cells(row, 9).setValue(kPositions[pick(int(kPositions.size()))]);
        pratica->cells(row, 10).setValue(subject);
        pratica->cells(row, 11).setValue(pickOf(kDuties));
        const QString news = pickOf(kNews);
        if (!news.isEmpty())
            pratica->cells(row, 12).setValue(news);
        if (chance(0.1))
            pratica->cells(row, 13).setValue(QStringLiteral("COMPENSO CONCORDATO A FORFAIT"));
        QDate deadline;
        if (i % 3 == 0) {
            deadline = today.addDays(-40 + pick(160));
            pratica->cells(row, 14).setValue(longDateText(deadline));
        } else {
            pratica->cells(row, 14).setValue(QStringLiteral("*"));
        }
        casesOut.push_back({number, client, subject, deadline});
        givenNumbers.push_back(number);
    }

    // Archived cases: older numbers, closed.
    for (int i = 0; i < 6; ++i) {
        const int row = i + 2, archived = 40 + i * 9, client = 1 + pick(clientCount);
        const QDate opened = randomDate(QDate(2010, 1, 1), QDate(2014, 12, 31));
        storico->cells(row, 1).setValue(double(archived));
        storico->cells(row, 2).setValue(double(client));
        storico->cells(row, 3).setValue(shortDateText(opened));
        storico->cells(row, 4).setValue(longDateText(opened.addDays(200 + pick(900))));
        setDate(storico, row, 5, opened.addDays(200 + pick(900)));
        storico->cells(row, 6).setValue(kAssignees[pick(int(kAssignees.size()))]);
        storico->cells(row, 7).setValue(kSectors[pick(int(kSectors.size()))]);
        storico->cells(row, 8).setValue(kAreas[pick(int(kAreas.size()))]);
        storico->cells(row, 9).setValue(QStringLiteral("ARCHIVIO 2019"));
        storico->cells(row, 10).setValue(kSubjects[size_t(1 + pick(int(kSubjects.size()) - 1))]);
        storico->cells(row, 12).setValue(QStringLiteral("PRATICA CONCLUSA"));
        storico->cells(row, 14).setValue(QStringLiteral("*"));
    }

    // Expenses of the cases.
    headings(spese,
             {"ID Oper", "N/Pratica", "N/Cliente", "Data", "Descrizione", "Tipo Spesa", "Importo", "IVA/Esente"});
    struct Kind {
        const char* description;
        const char* type;
        double low, high;
        const char* vat;
    };
    const std::vector<Kind> kinds = {
        {"CONTRIBUTO UNIFICATO", "ANTICIPAZIONE", 43, 1686, "ESENTE"},
        {"MARCA DA BOLLO", "ANTICIPAZIONE", 16, 16, "ESENTE"},
        {"DIRITTI DI COPIA", "SPESE VIVE", 11.8, 96, "ESENTE"},
        {"NOTIFICA UFFICIALE GIUDIZIARIO", "SPESE VIVE", 12.5, 38.9, "ESENTE"},
        {"ONORARIO FASE DI STUDIO", "ONORARIO", 350, 1800, "IVA"},
        {"ONORARIO FASE INTRODUTTIVA", "ONORARIO", 300, 1500, "IVA"},
        {"CONSULENZA STRAGIUDIZIALE", "ONORARIO", 150, 900, "IVA"},
        {"TRASFERTA E PARCHEGGIO", "SPESE VIVE", 8, 120, "ESENTE"},
        {"RACCOMANDATA A/R", "SPESE VIVE", 6.85, 6.85, "ESENTE"},
    };
    for (int i = 0; i < 200; ++i) {
        const int row = i + 2;
        const Case& c = casesOut[size_t(pick(int(casesOut.size())))];
        const Kind& k = kinds[size_t(pick(int(kinds.size())))];
        const double amount = std::round((k.low + (k.high - k.low) * std::uniform_real_distribution<double>(0, 1)(rng))
                                         * 100)
            / 100;
        spese->cells(row, 1).setValue(double(i + 1));
        spese->cells(row, 2).setValue(double(c.number));
        spese->cells(row, 3).setValue(double(c.client));
        setDate(spese, row, 4, randomDate(today.addYears(-3), today));
        spese->cells(row, 5).setValue(QString::fromUtf8(k.description));
        spese->cells(row, 6).setValue(QString::fromUtf8(k.type));
        setAmount(spese, row, 7, amount);
        spese->cells(row, 8).setValue(QString::fromUtf8(k.vat));
    }

    // Settings: numbers given out, the four choice lists, the login password.
    codice->range(QStringLiteral("B1")).setValue(QStringLiteral("Numeri dati"));
    codice->range(QStringLiteral("E1")).setValue(QStringLiteral("Clienti dati"));
    for (size_t i = 0; i < givenNumbers.size(); ++i)
        codice->cells(int(i) + 2, 2).setValue(double(givenNumbers[i]));
    for (int i = 0; i < clientCount; ++i)
        codice->cells(i + 2, 5).setValue(double(i + 1));
    const std::pair<int, QStringList> lists[] = {{10, kAssignees}, {11, kAreas}, {12, kSectors}, {13, kPositions}};
    for (const auto& [col, items] : lists)
        for (int i = 0; i < items.size(); ++i)
            codice->cells(i + 1, col).setValue(items[i]);
    codice->range(QStringLiteral("ER1")).setValue(kLoginPassword);

    headings(dorvessa, {"ID", "Dorvessa", "Oggetto", "Nota"});

    for (Sheet* sheet : {clienti, pratica, storico, spese})
        sheet->allCells().autoFitColumns();
    for (Sheet* sheet : {codice, s, foglio1})
        sheet->setVisible(false);
    book->save();
}

void writeAgenda(SpreadsheetHost& host, const QString& dir, const QDate& today, const std::vector<Case>& cases,
                 const std::vector<Client>& clients)
{
    Book* book = host.create(QDir(dir).filePath(QStringLiteral("Dorvessa.xls")), QStringLiteral("Tesm4061QRB"));
    Sheet* sheet = book->addSheet(QStringLiteral("Dorvessa"));
    headings(sheet, {"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo"});
    const std::vector<QString> types = {"UDIENZA", "SCADENZA FISCALE", "TERMINE PROCESSUALE", "APPUNTAMENTO",
                                        "DEPOSITO ATTI"};
    const std::vector<QString> notes = {
        "PORTARE FASCICOLO,\nCHIAMARE IL CLIENTE IL GIORNO PRIMA",
        "VERIFICARE NOTIFICA",
        "PAGAMENTO F24",
        "TRIBUNALE, AULA 3, ORE 9:30",
        "PREPARARE COPIA DEGLI ATTI PER IL COLLEGA",
        "",
    };
    std::map<int, QString> clientNames;
    for (const Client& c : clients)
        clientNames[c.id] = c.name;

    // The deadlines of the cases first, then other events around today.
    int row = 2;
    for (const Case& c : cases) {
        if (!c.deadline.isValid() || row > 41)
            continue;
        sheet->cells(row, 1).setValue(double(row - 1));
        setDate(sheet, row, 2, c.deadline);
        sheet->cells(row, 3).setValue(pickOf(types));
        sheet->cells(row, 4).setValue(QStringLiteral("PRATICA %1 — %2").arg(c.number).arg(clientNames[c.client]));
        const QString note = pickOf(notes);
        if (!note.isEmpty())
            sheet->cells(row, 5).setValue(note);
        if (chance(0.4))
            setAmount(sheet, row, 6, std::round(std::uniform_real_distribution<double>(50, 2500)(rng) * 100) / 100);
        ++row;
    }
    const std::vector<QString> others = {"VERSAMENTO IVA TRIMESTRALE", "RINNOVO POLIZZA RC PROFESSIONALE",
                                         "CORSO DI AGGIORNAMENTO ORDINE", "SCADENZA AFFITTO STUDIO",
                                         "RIUNIONE DI STUDIO"};
    while (row <= 41) {
        sheet->cells(row, 1).setValue(double(row - 1));
        setDate(sheet, row, 2, today.addDays(-60 + pick(200)));
        sheet->cells(row, 3).setValue(QStringLiteral("SCADENZA FISCALE"));
        sheet->cells(row, 4).setValue(pickOf(others));
        if (chance(0.5))
            setAmount(sheet, row, 6, std::round(std::uniform_real_distribution<double>(80, 4000)(rng) * 100) / 100);
        ++row;
    }
    sheet->allCells().autoFitColumns();
    book->save();
}

const char* const kInstructions = R"(GESTIONE PRATICHE - ISTRUZIONI PER L'USO

Il programma tiene l'archivio dello studio: i clienti, le pratiche aperte per
ciascun cliente, le spese di ogni pratica e l'agenda delle scadenze (Dorvessa).
Tutti i dati stanno in due cartelle di lavoro protette da password nella
cartella del programma: "Pratiche.xls" e "Dorvessa.xls". Non modificarle
mentre il programma è aperto.

1. ACCESSO
   All'avvio si apre la finestra "Benvenuto !". Scrivere la password e premere
   "Conferma la Password". Sono concessi tre tentativi: al terzo errore il
   programma si chiude senza modificare nulla.

2. MENU PRINCIPALE
   Dal menu si aprono le pratiche, l'anagrafica dei clienti, la nota spese,
   l'agenda delle scadenze e queste istruzioni. "Esci" salva tutti i dati
   modificati e chiude il programma; se il salvataggio non riesce, il
   programma lo segnala e resta aperto, così nulla va perso.

3. ANAGRAFICA CLIENTI
   Scegliere il cliente nell'elenco per vederne i dati. Per un nuovo cliente
   svuotare i campi, compilarli e confermare l'inserimento: il numero del
   cliente viene assegnato dal programma. Nomi, indirizzi e codici fiscali
   vengono scritti in maiuscolo mentre si digita.

4. PRATICHE
   Scegliere il numero della pratica: compaiono i suoi dati e il nome del
   cliente. Modificare i campi e premere "Inserisci-Aggiorna"; la data
   dell'ultimo aggiornamento è scritta dal programma. "Storicizza" copia la
   pratica nell'archivio storico, "Elimina" la toglie dall'elenco.
   Le date si possono scrivere senza barre: 121008 diventa 12/10/08 e
   12102008 diventa 12/10/2008 appena si passa al campo successivo; anche
   12-10-08 diventa 12/10/08.

5. RICERCA
   Dalla pratica, "Ricerca" trova le pratiche dei clienti il cui nome
   contiene il testo scritto, per esempio ROSSI oppure BIANCHI.

6. NOTA SPESE
   Elenca le spese di un cliente o di una pratica, con il totale. Gli importi
   si scrivono con la virgola: 1.234,50.

7. SCADENZE (DORVESSA)
   "Gestione Dorvessa" apre il calendario: scegliere il giorno, il tipo di
   scadenza, l'oggetto e una nota, poi registrare. "Eventi Scaduti" mostra le
   scadenze già passate, "Cerca Evento" quelle di un giorno. "Stampe" stampa
   l'agenda sulla stampante scelta o in un file PDF.

8. COPIE DI SICUREZZA
   A ogni salvataggio il programma conserva la versione precedente di ogni
   cartella di lavoro. Copiare comunque ogni settimana la cartella dei dati
   su un disco esterno.

Per qualsiasi dubbio rivolgersi alla segreteria dello studio.
)";

// Windows-1252 with CRLF line ends, as the instructions file has always been kept.
QByteArray windows1252(const QString& text)
{
    QByteArray out;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\n')
            out += "\r\n";
        else if (u < 0x80 || (u >= 0xA0 && u < 0x100))
            out += char(u);
        else if (u == 0x20AC)
            out += char(0x80);
        else if (u == 0x2014)
            out += char(0x97);
        else if (u == 0x2019)
            out += char(0x92);
        else
            out += '?';
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr,
                     "uso: gp-demo CARTELLA\n"
                     "Scrive nella CARTELLA un archivio dimostrativo (Pratiche.xls, Dorvessa.xls,\n"
                     "Istruzioni.txt). Password di accesso: %s\n",
                     qPrintable(kLoginPassword));
        return 2;
    }
    const QString dir = QDir(args[1]).absolutePath();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "gp-demo: impossibile creare la cartella %s\n", qPrintable(dir));
        return 1;
    }
    for (const char* name : {"Pratiche.xls", "Dorvessa.xls"}) {
        if (QFileInfo::exists(QDir(dir).filePath(QString::fromLatin1(name)))) {
            std::fprintf(stderr, "gp-demo: %s esiste già in %s: non viene sovrascritto\n", name, qPrintable(dir));
            return 1;
        }
    }
    const QDate today = QDate::currentDate();
    try {
        SpreadsheetHost host;
        std::vector<Case> cases;
        std::vector<Client> clients;
        writePractice(host, dir, today, cases, clients);
        writeAgenda(host, dir, today, cases, clients);
        host.closeAll();
    } catch (const HostError& e) {
        std::fprintf(stderr, "gp-demo: %s\n", qPrintable(e.message()));
        return 1;
    }
    QFile text(QDir(dir).filePath(QStringLiteral("Istruzioni.txt")));
    if (!text.open(QIODevice::WriteOnly) || text.write(windows1252(QString::fromUtf8(kInstructions))) < 0) {
        std::fprintf(stderr, "gp-demo: impossibile scrivere Istruzioni.txt\n");
        return 1;
    }
    text.close();
    std::printf("Archivio dimostrativo scritto in %s (password di accesso: %s)\n", qPrintable(dir),
                qPrintable(kLoginPassword));
    return 0;
}
