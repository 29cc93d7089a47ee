// The agenda's sheet routines: reading the events, the due and expired lists,
// new IDs, writing, and the field rules for dates and amounts.
#include "common/practice.h"
#include "core/host/model_access.h"
#include "core/ui/clock.h"
#include "core/ui/text_rules.h"
#include "deadlines/agenda.h"
#include "deadlines/register_forms.h"

#include <QTest>

using namespace gp;
using namespace gp::deadlines;

namespace {
// An agenda sheet in a new workbook of a temporary folder.
struct ScratchAgenda {
    QTemporaryDir dir;
    host::SpreadsheetHost host;
    host::Sheet* sheet = nullptr;
    ScratchAgenda() { sheet = host.create(dir.filePath(QStringLiteral("x.xls")), QString())->addSheet(kDeadlineSheet); }
    ~ScratchAgenda() { host.closeAll(); }
};
} // namespace

class TestAgendaData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void readsFixtureEvents();
    void listStopsAtGapAndIgnoresColumnG();
    void dueAndExpiredAroundToday();
    void writesReadBackFromSavedFile();
    void appendGoesBelowLastFilledRowWithNextId();
    void amountRules_data();
    void amountRules();
    void eventDates_data();
    void eventDates();
    void prepareSheetRewritesHeadingsOnly();
};

void TestAgendaData::readsFixtureEvents()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    host::Sheet* sheet = openAgenda(env.ctx)->sheet(kDeadlineSheet);
    const auto events = readEvents(sheet);
    QCOMPARE(int(events.size()), 20);
    const Event& first = events.front();
    QCOMPARE(first.row, 2);
    QCOMPARE(first.number.value(), 1.0);
    QCOMPARE(first.date, QDate(2027, 1, 17));
    QCOMPARE(first.texts,
             (QStringList{"1", "17/01/2027", "SCADENZA FISCALE", "PRATICA 149 \u2014 RICCI FRANCESCO",
                          "PORTARE FASCICOLO,\nCHIAMARE IL CLIENTE", "394,12"}));
    // The opening left "Pratiche.xls" the active workbook.
    QCOMPARE(env.host->activeWorkbook(), env.ctx.practice());
    // Opening again gives the same workbook, not a second one.
    QCOMPARE(openAgenda(env.ctx), env.ctx.deadlines());
    QCOMPARE(int(env.host->workbooks().size()), 2);
}

void TestAgendaData::listStopsAtGapAndIgnoresColumnG()
{
    ScratchAgenda scratch;
    host::Sheet* s = scratch.sheet;
    QVERIFY(readEvents(s).empty()); // A2 empty: nothing
    for (int r = 2; r <= 5; ++r) {
        s->cells(r, 1).setValue(double(r - 1));
        s->cells(r, 2).setValue(QDate(2026, 1, r));
        s->cells(r, 7).setValue(QStringLiteral("G%1").arg(r));
    }
    s->cells(7, 1).setValue(9.0);
    s->cells(5, 2).setValue(
        QDateTime(QDate(2026, 1, 5), QTime(10, 30)));      // a date with its time: the lists show the day
    s->cells(3, 2).setValue(QStringLiteral("12.10.2026")); // a date kept as text, with dots
    const auto events = readEvents(s);
    QCOMPARE(int(events.size()), 4);
    QCOMPARE(events.back().row, 5);
    QCOMPARE(events.back().texts[1], QStringLiteral("05/01/2026"));
    QCOMPARE(events[1].date, QDate(2026, 10, 12));
    for (const Event& e : events) {
        QCOMPARE(e.texts.size(), 6);
        QVERIFY(!e.texts.join('|').contains('G'));
    }
    // New events go below the last filled row of column A, past the gap.
    QCOMPARE(lastFilledRow(s), 7);
    QCOMPARE(nextId(s), 10.0);
    QCOMPARE(findEventRow(s, 9), 7);
    QCOMPARE(findEventRow(s, 42), 0);
}

void TestAgendaData::dueAndExpiredAroundToday()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    const auto events = readEvents(openAgenda(env.ctx)->sheet(kDeadlineSheet));
    const QDate today(2026, 12, 25);
    auto ids = [](const std::vector<Event>& list) {
        QList<int> out;
        for (const Event& e : list)
            out << int(*e.number);
        return out;
    };
    QCOMPARE(ids(selectEvents(events, ListKind::Expired, today)), (QList<int>{10, 15, 4, 18, 6}));
    const auto due = selectEvents(events, ListKind::Due, today);
    QCOMPARE(int(due.size()), 15);
    QCOMPARE(ids(due).mid(0, 3), (QList<int>{5, 1, 16}));
    for (size_t i = 1; i < due.size(); ++i)
        QVERIFY(due[i - 1].date <= due[i].date);
    QCOMPARE(ids(selectEvents(events, ListKind::Summary, today)), (QList<int>{10, 15, 4, 18, 6, 5}));
    QCOMPARE(ids(selectEvents(events, ListKind::All, today)).mid(0, 4), (QList<int>{1, 2, 3, 4}));

    // An event dated today is due, not expired; seven days ahead is within the week, eight is not.
    Event e;
    e.date = today;
    QVERIFY(!isExpired(e, today));
    QVERIFY(isWithinWeek(e, today));
    e.date = today.addDays(7);
    QVERIFY(isWithinWeek(e, today));
    e.date = today.addDays(8);
    QVERIFY(!isWithinWeek(e, today));
    e.date = today.addDays(-1);
    QVERIFY(isExpired(e, today));
}

void TestAgendaData::writesReadBackFromSavedFile()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    host::Sheet* sheet = openAgenda(env.ctx)->sheet(kDeadlineSheet);
    EventFields f;
    f.date = QDate(2027, 5, 3);
    f.type = QStringLiteral("UDIENZA");
    f.subject = QStringLiteral("PRATICA 106 \u2014 ROSSI MARIO");
    f.note = QStringLiteral("riga uno\nriga due");
    f.amount = 1234.5;
    int row = 0;
    QCOMPARE(appendEvent(sheet, f, &row), 21.0);
    QCOMPARE(row, 22);
    // Modify event 3 (no amount any more) and delete event 2.
    EventFields g;
    g.date = QDate(2027, 2, 10);
    g.type = QStringLiteral("TERMINE");
    g.subject = QStringLiteral("nuovo oggetto");
    writeEventFields(sheet, findEventRow(sheet, 3), g);
    deleteEventRow(sheet, findEventRow(sheet, 2));
    env.ctx.deadlines()->save();

    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    const auto events = readEvents(s);
    QCOMPARE(int(events.size()), 20);
    QCOMPARE(findEventRow(s, 2), 0);
    const Event modified = readEvent(s, findEventRow(s, 3));
    QCOMPARE(modified.row, 3); // moved up by the deletion
    QCOMPARE(modified.date, QDate(2027, 2, 10));
    QCOMPARE(modified.type, QStringLiteral("TERMINE"));
    QVERIFY(modified.texts[5].isEmpty());
    const Event added = events.back();
    QCOMPARE(added.number.value(), 21.0);
    QCOMPARE(s->cells(added.row, 2).value().typeId(), int(QMetaType::Double)); // a date value
    QCOMPARE(added.date, QDate(2027, 5, 3));
    QCOMPARE(added.texts[1], QStringLiteral("03/05/2027"));
    QCOMPARE(s->cells(added.row, 2).text(), QStringLiteral("03/05/2027"));
    QCOMPARE(added.amount.toDouble(), 1234.5);
    QCOMPARE(s->cells(added.row, 6).text(), QStringLiteral("1.234,50"));
    QCOMPARE(added.note, QStringLiteral("riga uno\nriga due"));
}

void TestAgendaData::appendGoesBelowLastFilledRowWithNextId()
{
    ScratchAgenda scratch;
    host::Sheet* s = scratch.sheet;
    EventFields f;
    f.date = QDate(2026, 1, 1);
    QCOMPARE(appendEvent(s, f), 1.0); // an empty agenda starts at 1
    QCOMPARE(s->cells(2, 1).value().toDouble(), 1.0);
    s->cells(3, 1).setValue(QStringLiteral("41")); // an ID stored as text still counts
    QCOMPARE(appendEvent(s, f), 42.0);
    QCOMPARE(s->cells(4, 1).value().toDouble(), 42.0);
    QCOMPARE(findEventRow(s, 41), 3);
}

void TestAgendaData::amountRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << "" << int(AmountState::Empty) << 0.0 << "";
    QTest::newRow("blanks") << "   " << int(AmountState::Empty) << 0.0 << "";
    QTest::newRow("comma decimals") << "1234,5" << int(AmountState::Number) << 1234.5 << "1.234,50";
    QTest::newRow("grouped") << "1.234,50" << int(AmountState::Number) << 1234.5 << "1.234,50";
    QTest::newRow("whole") << "12" << int(AmountState::Number) << 12.0 << "12,00";
    QTest::newRow("millions") << "1.234.567,891" << int(AmountState::Number) << 1234567.891 << "1.234.567,89";
    QTest::newRow("negative") << "-3,2" << int(AmountState::Number) << -3.2 << "-3,20";
    QTest::newRow("dot as decimal") << "12.5" << int(AmountState::Invalid) << 0.0 << "";
    QTest::newRow("letters") << "abc" << int(AmountState::Invalid) << 0.0 << "";
    QTest::newRow("trailing text") << "12 euro" << int(AmountState::Invalid) << 0.0 << "";
    QTest::newRow("two commas") << "1,2,3" << int(AmountState::Invalid) << 0.0 << "";
}

void TestAgendaData::amountRules()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    QFETCH(double, value);
    QFETCH(QString, shown);
    const Amount a = parseAmount(text);
    QCOMPARE(int(a.state), state);
    if (a.state == AmountState::Number) {
        QVERIFY(qFuzzyCompare(a.value, value));
        QCOMPARE(ctrNumD(a.value), shown);
    }
}

void TestAgendaData::eventDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("short date") << "05/03/2009" << QDate(2009, 3, 5);
    QTest::newRow("two-digit year") << "5/3/09" << QDate(2009, 3, 5);
    QTest::newRow("dashes") << "05-03-2009" << QDate(2009, 3, 5);
    QTest::newRow("six digits") << "050309" << QDate(2009, 3, 5);
    QTest::newRow("eight digits") << "05032009" << QDate(2009, 3, 5);
    QTest::newRow("no such day") << "31/02/2027" << QDate();
    QTest::newRow("text") << "domani" << QDate();
    QTest::newRow("empty") << "" << QDate();
}

void TestAgendaData::eventDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(host::parseDate(text), date);
}

void TestAgendaData::prepareSheetRewritesHeadingsOnly()
{
    ScratchAgenda scratch;
    host::Sheet* s = scratch.sheet;
    for (int c = 1; c <= 7; ++c)
        s->cells(1, c).setValue(QStringLiteral("altro"));
    s->cells(2, 1).setValue(1.0);
    prepareDeadlineSheet(s);
    QStringList row1;
    for (int c = 1; c <= 7; ++c)
        row1 << s->cells(1, c).text();
    QCOMPARE(row1, (QStringList{"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo", "altro"}));
    QCOMPARE(s->cells(2, 1).value().toDouble(), 1.0);
    QCOMPARE(s->scrollArea(), QStringLiteral("$A$2:$G$65536"));
    QCOMPARE(host::ModelAccess::worksheet(*s).frozenRows, 1);
}

QTEST_MAIN(TestAgendaData)
#include "test_agenda_data.moc"
