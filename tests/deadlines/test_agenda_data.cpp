// The agenda's sheet routines: reading the events, the due and expired lists,
// new IDs, writing, and the field rules for dates and amounts.
#include "common/practice.h"
#include "core/host/model_access.h"
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

// What `read` gives for each text of the table, compared all at once, each
// beside its text so that a failure names it.
template <class Read> void readsAs(std::initializer_list<std::pair<const char*, const char*>> table, Read read)
{
    QStringList got, want;
    for (const auto& [text, expected] : table) {
        got << text + QStringLiteral(" -> ") + read(QString::fromUtf8(text));
        want << text + QStringLiteral(" -> ") + expected;
    }
    QCOMPARE(got, want);
}
} // namespace

class TestAgendaData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void fixtureEventsAndTheirLists();
    void scratchSheetHeadingsGapsAndNewIds();
    void writesReadBackFromSavedFile();
    void amountAndDateRules();
};

void TestAgendaData::fixtureEventsAndTheirLists()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    const auto events = readEvents(openAgenda(env.ctx)->sheet(kDeadlineSheet));
    QCOMPARE(int(events.size()), 20);
    QCOMPARE(events.front().row, 2);
    QCOMPARE(events.front().number.value(), 1.0);
    QCOMPARE(events.front().date, QDate(2027, 1, 17));
    QCOMPARE(events.front().texts,
             (QStringList{"1", "17/01/2027", "SCADENZA FISCALE", "PRATICA 149 \u2014 RICCI FRANCESCO",
                          "PORTARE FASCICOLO,\nCHIAMARE IL CLIENTE", "394,12"}));
    // The opening left "Pratiche.xls" the active workbook; opening again gives the same workbook.
    QCOMPARE(env.host->activeWorkbook(), env.ctx.practice());
    QCOMPARE(openAgenda(env.ctx), env.ctx.deadlines());
    QCOMPARE(int(env.host->workbooks().size()), 2);

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

    // Dated today: due, not expired; seven days ahead is within the week, eight is not.
    Event e;
    for (const auto& [days, expired, week] : {std::tuple(-1, true, false), std::tuple(0, false, true),
                                              std::tuple(7, false, true), std::tuple(8, false, false)}) {
        e.date = today.addDays(days);
        QCOMPARE(isExpired(e, today), expired);
        QCOMPARE(isWithinWeek(e, today), week);
    }
}

void TestAgendaData::scratchSheetHeadingsGapsAndNewIds()
{
    ScratchAgenda scratch;
    host::Sheet* s = scratch.sheet;
    QVERIFY(readEvents(s).empty()); // A2 empty: nothing
    const EventFields f{QDate(2026, 1, 1), {}, {}, {}, {}};
    QCOMPARE(appendEvent(s, f), 1.0); // an empty agenda starts at 1
    // Preparing the sheet rewrites the six headings only.
    for (int c = 1; c <= 7; ++c)
        s->cells(1, c).setValue(QStringLiteral("altro"));
    prepareDeadlineSheet(s);
    const QStringList headings{"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo", "altro"};
    for (int c = 1; c <= 7; ++c)
        QCOMPARE(s->cells(1, c).text(), headings[c - 1]);
    QCOMPARE(s->cells(2, 1).value().toDouble(), 1.0);
    QCOMPARE(s->scrollArea(), QStringLiteral("$A$2:$G$65536"));
    QCOMPARE(host::ModelAccess::worksheet(*s).frozenRows, 1);
    for (int r = 2; r <= 5; ++r) {
        s->cells(r, 1).setValue(double(r - 1));
        s->cells(r, 2).setValue(QDate(2026, 1, r));
        s->cells(r, 7).setValue(QStringLiteral("G%1").arg(r));
    }
    s->cells(7, 1).setValue(QStringLiteral("9"));                         // an ID stored as text still counts
    s->cells(5, 2).setValue(QDateTime(QDate(2026, 1, 5), QTime(10, 30))); // with its time: the lists show the day
    s->cells(3, 2).setValue(QStringLiteral("12.10.2026"));                // kept as text, with dots
    const auto events = readEvents(s);
    QCOMPARE(int(events.size()), 4);
    QCOMPARE(events.back().row, 5);
    QCOMPARE(events.back().texts[1], QStringLiteral("05/01/2026"));
    QCOMPARE(events[1].date, QDate(2026, 10, 12));
    for (const Event& e : events) {
        QCOMPARE(e.texts.size(), 6);
        QVERIFY(!e.texts.join('|').contains('G'));
    }
    // IDs are looked for down to the last filled row of column A, past the gap.
    QCOMPARE(lastFilledRow(s), 7);
    QCOMPARE(nextId(s), 10.0);
    QCOMPARE(findEventRow(s, 3), 4);
    QCOMPARE(findEventRow(s, 9), 7);
    QCOMPARE(findEventRow(s, 42), 0);
    // A new one fills the gap, where the lists show it.
    QCOMPARE(appendEvent(s, f), 10.0);
    QCOMPARE(s->cells(6, 1).value().toDouble(), 10.0);
    QCOMPARE(int(readEvents(s).size()), 6);
}

void TestAgendaData::writesReadBackFromSavedFile()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    host::Sheet* sheet = openAgenda(env.ctx)->sheet(kDeadlineSheet);
    const EventFields f{QDate(2027, 5, 3), "UDIENZA", "PRATICA 106 \u2014 ROSSI MARIO", "riga uno\nriga due", 1234.5};
    int row = 0;
    QCOMPARE(appendEvent(sheet, f, &row), 21.0);
    QCOMPARE(row, 22);
    // Modify event 3 (no amount any more) and delete event 2.
    writeEventFields(sheet, findEventRow(sheet, 3), {QDate(2027, 2, 10), "TERMINE", "nuovo oggetto", {}, {}});
    deleteEventRow(sheet, findEventRow(sheet, 2));
    env.ctx.deadlines()->save();

    SavedBook saved(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = saved.sheet(kDeadlineSheet);
    const auto events = readEvents(s);
    QCOMPARE(int(events.size()), 20);
    QCOMPARE(findEventRow(s, 2), 0);
    QCOMPARE(findEventRow(s, 3), 3); // moved up by the deletion
    QCOMPARE(readEvent(s, 3).texts, (QStringList{"3", "10/02/2027", "TERMINE", "nuovo oggetto", "", ""}));
    const Event added = events.back();
    QCOMPARE(added.texts, (QStringList{"21", "03/05/2027", "UDIENZA", f.subject, f.note, "1.234,50"}));
    QCOMPARE(s->cells(added.row, 2).value().typeId(), int(QMetaType::Double)); // a date value
    QCOMPARE(s->cells(added.row, 2).text(), QStringLiteral("03/05/2027"));
    QCOMPARE(s->cells(added.row, 6).value(), QVariant(1234.5));
    QCOMPARE(s->cells(added.row, 6).text(), QStringLiteral("1.234,50"));
}

void TestAgendaData::amountAndDateRules()
{
    readsAs({{"", "empty"},
             {"   ", "empty"},
             {"1234,5", "1234.5 shown 1.234,50"},
             {"1.234,50", "1234.5 shown 1.234,50"},
             {"12", "12 shown 12,00"},
             {"1.234.567,891", "1234567.891 shown 1.234.567,89"},
             {"-3,2", "-3.2 shown -3,20"},
             {"12.5", "invalid"},
             {"abc", "invalid"},
             {"12 euro", "invalid"},
             {"1,2,3", "invalid"}},
            [](const QString& text) {
                const Amount a = parseAmount(text);
                if (a.state != AmountState::Number)
                    return QString(a.state == AmountState::Empty ? "empty" : "invalid");
                return QString::number(a.value, 'g', 12) + QStringLiteral(" shown ") + ctrNumD(a.value);
            });
    readsAs({{"05/03/2009", "2009-03-05"},
             {"5/3/09", "2009-03-05"},
             {"05-03-2009", "2009-03-05"},
             {"050309", "2009-03-05"},
             {"05032009", "2009-03-05"},
             {"31/02/2027", ""},
             {"domani", ""},
             {"", ""}},
            [](const QString& text) { return host::parseDate(text).toString(Qt::ISODate); });
}

QTEST_MAIN(TestAgendaData)
#include "test_agenda_data.moc"
