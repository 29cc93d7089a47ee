// The reads of one cell by row and column: what each kind of cell gives as a
// value, an identifier, a displayed text and a date, the same as its Range,
// past the stored rows and outside the sheet.
#include <QTemporaryDir>
#include <QtTest>

#include "core/host/model_access.h"

using namespace gp::host;
using namespace Qt::StringLiterals;

namespace {

struct Expected {
    const char* name;
    QVariant input; // written as it is; invalid: nothing written
    const char* format;
    QVariant value;
    std::optional<double> identifier;
    QString text;
    bool isDate;
    QDate date;
    QDateTime dateTime;
};

QString show(const std::optional<double>& v) { return v ? QString::number(*v) : u"none"_s; }

} // namespace

class TestSheetAccess : public QObject {
    Q_OBJECT

private slots:
    void eachKindOfCellReadsAsItsRange()
    {
        QTemporaryDir dir;
        SpreadsheetHost host;
        Sheet* s = host.create(dir.filePath(u"t.xls"_s), QString())->addSheet(u"Foglio"_s);

        const QDate day(2025, 12, 6);
        const QDateTime at1030(day, QTime(10, 30));
        const std::nullopt_t no = std::nullopt;
        // Date texts: with dashes, typed as digits, with dots.
        const Expected cases[] = {
            {"number", 1234.5, "#,##0.00", 1234.5, 1234.5, u"1.234,50"_s, false, QDate(1903, 5, 18), {}}, // serial 1234
            {"text that reads as a number", u"012"_s, "", u"012"_s, 12.0, u"012"_s, false, {}, {}},
            {"Italian decimal text", u" 12,5\u00a0"_s, "", u" 12,5\u00a0"_s, 12.5, u" 12,5\u00a0"_s, false, {}, {}},
            {"name", u"ROSSI 12"_s, "", u"ROSSI 12"_s, no, u"ROSSI 12"_s, false, {}, {}},
            {"name, text format", u"ROSSI"_s, "@\" SRL\"", u"ROSSI"_s, no, u"ROSSI SRL"_s, false, {}, {}},
            {"date value", day, "", 45997.0, 45997.0, u"06/12/2025"_s, true, day, day.startOfDay()},
            {"date and time", at1030, "", 45997.4375, 45997.4375, u"06/12/2025 10:30"_s, true, day, at1030},
            {"serial 60 as a date (no real day)", 60, "dd/mm/yyyy", 60.0, 60.0, u"29/02/1900"_s, true, {}, {}},
            {"date text", u"12/10/08"_s, "", u"12/10/08"_s, no, u"12/10/08"_s, false, QDate(2008, 10, 12), {}},
            {"dashes", u" 5-3-1999 "_s, "", u" 5-3-1999 "_s, no, u" 5-3-1999 "_s, false, QDate(1999, 3, 5), {}},
            {"digits", u"12102008"_s, "", u"12102008"_s, 12102008.0, u"12102008"_s, false, QDate(2008, 10, 12), {}},
            {"dots", u"12.10.2008"_s, "", u"12.10.2008"_s, no, u"12.10.2008"_s, false, QDate(2008, 10, 12), {}},
            {"no such day", u"31/02/2008"_s, "", u"31/02/2008"_s, no, u"31/02/2008"_s, false, {}, {}},
            {"whole number", 42, "", 42.0, 42.0, u"42"_s, false, QDate(1900, 2, 11), {}},
            {"fraction", 0.5, "", 0.5, 0.5, u"0,5"_s, false, {}, {}},
            {"exponent as text", u"1e3"_s, "", u"1e3"_s, 1000.0, u"1e3"_s, false, {}, {}},
            {"boolean", true, "", true, no, u"VERO"_s, false, {}, {}},
            {"error", {}, "", u"#DIV/0!"_s, no, u"#DIV/0!"_s, false, {}, {}}, // written in the model below
            {"empty", {}, "", QString(), no, QString(), false, {}, {}},
        };

        int row = 2;
        for (const Expected& e : cases) {
            Range cell = s->cells(row, 3);
            if (e.input.isValid())
                cell.setValue(e.input);
            if (*e.format)
                cell.setNumberFormat(QString::fromUtf8(e.format));
            if (QByteArray(e.name) == "error")
                ModelAccess::worksheet(*s).setValue(row - 1, 2, gp::sheet::Value::makeError(0x07));
            const QString what = u"%1 (row %2)"_s.arg(QLatin1String(e.name)).arg(row);
            const QVariant value = s->value(row, 3);
            QVERIFY2(value == e.value && value.typeId() == e.value.typeId(),
                     qPrintable(what + u": value %1"_s.arg(value.toString())));
            QVERIFY2(s->identifier(row, 3) == e.identifier,
                     qPrintable(what + u": identifier %1"_s.arg(show(s->identifier(row, 3)))));
            QVERIFY2(s->text(row, 3) == e.text, qPrintable(what + u": text "_s + s->text(row, 3)));
            QVERIFY2(s->isDate(row, 3) == e.isDate, qPrintable(what + u": isDate"_s));
            QVERIFY2(s->date(row, 3) == e.date,
                     qPrintable(what + u": date "_s + s->date(row, 3).toString(Qt::ISODate)));
            QVERIFY2(s->dateTime(row, 3) == e.dateTime,
                     qPrintable(what + u": time "_s + s->dateTime(row, 3).toString(Qt::ISODate)));
            QVERIFY2(s->isEmpty(row, 3) == (QByteArray(e.name) == "empty"), qPrintable(what + u": isEmpty"_s));
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
            QVERIFY2(!s->identifier(r, 3) && s->text(r, 3).isEmpty() && s->isEmpty(r, 3) && !s->isDate(r, 3)
                         && !s->date(r, 3).isValid(),
                     qPrintable(QString::number(r)));
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
