// The reads of one cell by row and column: what each kind of cell gives as a
// value, an identifier, a displayed text and a date, the same as its Range,
// past the stored rows and outside the sheet.
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "core/host/model_access.h"

using namespace gp::host;

namespace {

struct Expected {
    const char* name;
    std::function<void(Range)> put;
    QVariant value;
    std::optional<double> identifier;
    QString text;
    bool isDate;
    QDate date;
    QDateTime dateTime;
};

QString show(const std::optional<double>& v) { return v ? QString::number(*v) : QStringLiteral("none"); }

} // namespace

class TestSheetAccess : public QObject {
    Q_OBJECT

private slots:
    void eachKindOfCellReadsAsItsRange()
    {
        QTemporaryDir dir;
        SpreadsheetHost host;
        Sheet* s = host.create(dir.filePath(QStringLiteral("t.xls")), QString())->addSheet(QStringLiteral("Foglio"));
        const QDate serial1234 = QDate(1899, 12, 30).addDays(1234); // a number read as a date serial

        const Expected cases[] = {
            {"number",
             [](Range r) {
                 r.setValue(1234.5);
                 r.setNumberFormat(QStringLiteral("#,##0.00"));
             },
             1234.5,
             1234.5,
             QStringLiteral("1.234,50"),
             false,
             serial1234,
             {}},
            {"text that reads as a number",
             [](Range r) { r.setValue(QStringLiteral("012")); },
             QStringLiteral("012"),
             12.0,
             QStringLiteral("012"),
             false,
             {},
             {}},
            {"Italian decimal text",
             [](Range r) { r.setValue(QStringLiteral(" 12,5\u00a0")); },
             QStringLiteral(" 12,5\u00a0"),
             12.5,
             QStringLiteral(" 12,5\u00a0"),
             false,
             {},
             {}},
            {"name",
             [](Range r) { r.setValue(QStringLiteral("ROSSI 12")); },
             QStringLiteral("ROSSI 12"),
             std::nullopt,
             QStringLiteral("ROSSI 12"),
             false,
             {},
             {}},
            {"name in a text format of its own",
             [](Range r) {
                 r.setValue(QStringLiteral("ROSSI"));
                 r.setNumberFormat(QStringLiteral("@\" SRL\""));
             },
             QStringLiteral("ROSSI"),
             std::nullopt,
             QStringLiteral("ROSSI SRL"),
             false,
             {},
             {}},
            {"date value", [](Range r) { r.setValue(QDate(2025, 12, 6)); }, 45997.0, 45997.0,
             QStringLiteral("06/12/2025"), true, QDate(2025, 12, 6), QDateTime(QDate(2025, 12, 6), QTime(0, 0))},
            {"date and time", [](Range r) { r.setValue(QDateTime(QDate(2025, 12, 6), QTime(10, 30))); }, 45997.4375,
             45997.4375, QStringLiteral("06/12/2025 10:30"), true, QDate(2025, 12, 6),
             QDateTime(QDate(2025, 12, 6), QTime(10, 30))},
            {"serial 60 shown as a date (no real day)",
             [](Range r) {
                 r.setValue(60);
                 r.setNumberFormat(QStringLiteral("dd/mm/yyyy"));
             },
             60.0,
             60.0,
             QStringLiteral("29/02/1900"),
             true,
             {},
             {}},
            {"date text",
             [](Range r) { r.setValue(QStringLiteral("12/10/08")); },
             QStringLiteral("12/10/08"),
             std::nullopt,
             QStringLiteral("12/10/08"),
             false,
             QDate(2008, 10, 12),
             {}},
            {"date text with dashes",
             [](Range r) { r.setValue(QStringLiteral(" 5-3-1999 ")); },
             QStringLiteral(" 5-3-1999 "),
             std::nullopt,
             QStringLiteral(" 5-3-1999 "),
             false,
             QDate(1999, 3, 5),
             {}},
            {"date typed as digits",
             [](Range r) { r.setValue(QStringLiteral("12102008")); },
             QStringLiteral("12102008"),
             12102008.0,
             QStringLiteral("12102008"),
             false,
             QDate(2008, 10, 12),
             {}},
            {"date text with dots",
             [](Range r) { r.setValue(QStringLiteral("12.10.2008")); },
             QStringLiteral("12.10.2008"),
             std::nullopt,
             QStringLiteral("12.10.2008"),
             false,
             QDate(2008, 10, 12),
             {}},
            {"no such day",
             [](Range r) { r.setValue(QStringLiteral("31/02/2008")); },
             QStringLiteral("31/02/2008"),
             std::nullopt,
             QStringLiteral("31/02/2008"),
             false,
             {},
             {}},
            {"boolean", [](Range r) { r.setValue(true); }, true, std::nullopt, QStringLiteral("VERO"), false, {}, {}},
            {"error",
             [](Range r) {
                 ModelAccess::worksheet(*r.sheet())
                     .setValue(r.row() - 1, r.column() - 1, gp::sheet::Value::makeError(0x07));
             },
             QStringLiteral("#DIV/0!"),
             std::nullopt,
             QStringLiteral("#DIV/0!"),
             false,
             {},
             {}},
            {"empty", [](Range) {}, QString(), std::nullopt, QString(), false, {}, {}},
        };

        int row = 2;
        for (const Expected& e : cases) {
            const Range cell = s->cells(row, 3);
            e.put(cell);
            const QString what = QStringLiteral("%1 (row %2)").arg(QLatin1String(e.name)).arg(row);
            const QVariant value = s->value(row, 3);
            QVERIFY2(value == e.value && value.typeId() == e.value.typeId(),
                     qPrintable(what + QStringLiteral(": value %1").arg(value.toString())));
            QVERIFY2(s->identifier(row, 3) == e.identifier,
                     qPrintable(what + QStringLiteral(": identifier %1").arg(show(s->identifier(row, 3)))));
            QVERIFY2(s->text(row, 3) == e.text, qPrintable(what + QStringLiteral(": text ") + s->text(row, 3)));
            QVERIFY2(s->isDate(row, 3) == e.isDate, qPrintable(what + QStringLiteral(": isDate")));
            QVERIFY2(s->date(row, 3) == e.date,
                     qPrintable(what + QStringLiteral(": date ") + s->date(row, 3).toString(Qt::ISODate)));
            QVERIFY2(s->dateTime(row, 3) == e.dateTime,
                     qPrintable(what + QStringLiteral(": time ") + s->dateTime(row, 3).toString(Qt::ISODate)));
            QVERIFY2(s->isEmpty(row, 3) == (QByteArray(e.name) == "empty"),
                     qPrintable(what + QStringLiteral(": isEmpty")));
            // The Range of the cell reads through the same code.
            QCOMPARE(cell.value(), value);
            QCOMPARE(cell.number(), s->identifier(row, 3));
            QCOMPARE(cell.text(), s->text(row, 3));
            QCOMPARE(cell.date(), s->date(row, 3));
            QCOMPARE(cell.isEmpty(), s->isEmpty(row, 3));
            ++row;
        }

        // Past the stored rows every cell is empty, down to the sheet's last row.
        for (int r : {row + 1, 60000, 65536}) {
            QCOMPARE(s->value(r, 3), QVariant(QString()));
            QVERIFY(!s->identifier(r, 3));
            QVERIFY(s->text(r, 3).isEmpty());
            QVERIFY(s->isEmpty(r, 3));
            QVERIFY(!s->isDate(r, 3));
            QVERIFY(!s->date(r, 3).isValid());
        }
        QCOMPARE(s->lastRowInColumn(3), row - 2); // the empty case wrote nothing
        QCOMPARE(s->lastRowInColumn(4), 0);
        s->cells(65536, 4).setValue(1);
        QCOMPARE(s->lastRowInColumn(4), 65536);

        // Outside the sheet: refused, as a Range there would be.
        for (auto [r, c] : {std::pair{0, 1}, {65537, 1}, {1, 0}, {1, 257}}) {
            QVERIFY_THROWS_EXCEPTION(HostError, s->value(r, c));
            QVERIFY_THROWS_EXCEPTION(HostError, s->identifier(r, c));
            QVERIFY_THROWS_EXCEPTION(HostError, s->text(r, c));
            QVERIFY_THROWS_EXCEPTION(HostError, s->date(r, c));
        }
        QVERIFY_THROWS_EXCEPTION(HostError, s->lastRowInColumn(257));
    }
};

QTEST_GUILESS_MAIN(TestSheetAccess)
#include "test_sheet_access.moc"
