// The host at the edges of the sheet: End from every start over every shape of
// runs and gaps near the first and last row and column, against a plain model of
// End; row operations on the first and last rows; dates at both systems' ends.
#include <QTemporaryDir>
#include <QtTest>

#include <set>

#include "common/files.h"
#include "core/host/spreadsheet_host.h"
#include "core/sheet/workbook.h"
#include "core/xls/xls_file.h"

using namespace gp::host;
using namespace Qt::StringLiterals;

namespace {

constexpr int kRows = 65536, kCols = 256;

// End as the spreadsheet defines it, on a line of `n` cells where `filled`
// holds: from a filled cell whose neighbour is filled, the last of that run;
// otherwise the next filled cell; the edge when there is none.
int modelEnd(const std::set<int>& filled, int from, int step, int n)
{
    auto has = [&](int i) { return filled.count(i) != 0; };
    const int edge = step > 0 ? n : 1;
    if (from == edge)
        return edge;
    int i = from;
    if (has(i) && has(i + step)) {
        while (i != edge && has(i + step))
            i += step;
        return i;
    }
    for (i = from + step; i != edge; i += step)
        if (has(i))
            return i;
    return edge;
}

// Four cells at each end (runs of one to three cells, gaps of one and two) and
// one in the middle; every subset of them is one shape.
const int kRowSpots[] = {1, 2, 3, 5, 32768, 65532, 65534, 65535, 65536};
const int kColSpots[] = {1, 2, 3, 5, 128, 252, 254, 255, 256};

} // namespace

class TestHostEdges : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<SpreadsheetHost> host_;
    Book* book_ = nullptr;
    Sheet* sheet_ = nullptr;

    // The texts shown at the given (row, column) cells, joined by '|'.
    QString texts(std::initializer_list<std::pair<int, int>> cells)
    {
        QStringList out;
        for (auto [r, c] : cells)
            out << sheet_->text(r, c);
        return out.join(u'|');
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        host_ = std::make_unique<SpreadsheetHost>();
        book_ = host_->create(dir_.filePath(u"Bordi.xls"_s), QString());
        sheet_ = book_->addSheet(u"Dati"_s);
    }
    void cleanup() { host_.reset(); }

    // End in the four directions from every start near the edges, over every
    // shape of runs and gaps, against the model; along a column (rows) and along
    // a row (columns), another line always holding more cells than this one.
    void endAtEveryGapShape()
    {
        const int rowStarts[] = {1, 2, 3, 4, 5, 6, 32767, 32768, 32769, 65531, 65532, 65533, 65534, 65535, 65536};
        const int colStarts[] = {1, 2, 3, 4, 5, 6, 127, 128, 129, 251, 252, 253, 254, 255, 256};
        for (bool down : {true, false}) {
            const int* spots = down ? kRowSpots : kColSpots;
            const int n = down ? kRows : kCols;
            auto at = [&](int i) { return down ? sheet_->cells(i, 3) : sheet_->cells(7, i); };
            sheet_->cells(40000, 5).setValue(1); // the stored rows are not the column's
            sheet_->cells(9, 200).setValue(1);   // a longer row below
            for (int mask = 0; mask < (1 << std::size(kRowSpots)); ++mask) {
                std::set<int> filled;
                sheet_->range(QString::fromLatin1(down ? "C:C" : "7:7")).clearContents();
                for (size_t k = 0; k < std::size(kRowSpots); ++k)
                    if (mask & (1 << k)) {
                        filled.insert(spots[k]);
                        at(spots[k]).setValue(spots[k]);
                    }
                for (int from : down ? rowStarts : colStarts) {
                    const Range start = at(from);
                    const Range fwd = start.end(down ? Direction::Down : Direction::ToRight);
                    const Range back = start.end(down ? Direction::Up : Direction::ToLeft);
                    const int got[] = {down ? fwd.row() : fwd.column(), down ? back.row() : back.column()};
                    const int want[] = {modelEnd(filled, from, 1, n), modelEnd(filled, from, -1, n)};
                    if (got[0] != want[0] || got[1] != want[1] || (down ? fwd.column() != 3 : fwd.row() != 7))
                        QFAIL(qPrintable(
                            QString::asprintf("%s shape %d from %d: forward %d (want %d), back %d (want %d)",
                                              down ? "column" : "row", mask, from, got[0], want[0], got[1], want[1])));
                }
            }
        }
    }

    void rowOperationsOnTheFirstAndLastRows()
    {
        sheet_->cells(1, 1).setValue(u"prima"_s);
        sheet_->cells(2, 1).setValue(u"seconda"_s);
        sheet_->cells(65535, 1).setValue(u"penultima"_s);
        sheet_->cells(kRows, 1).setValue(u"ultima"_s);
        sheet_->cells(kRows, 256).setValue(42);

        // Deleting the first row: everything moves up one, the last row is empty.
        sheet_->rows(1, 1).deleteEntireRow();
        QCOMPARE(texts({{1, 1}, {65534, 1}, {65535, 1}, {65535, 256}, {kRows, 1}, {kRows, 256}}),
                 u"seconda|penultima|ultima|42||"_s);
        // Inserting at the first row: everything moves down one again.
        sheet_->rows(1, 1).insertEntireRow();
        QCOMPARE(texts({{1, 1}, {2, 1}, {kRows, 1}, {kRows, 256}}), u"|seconda|ultima|42"_s);
        // Deleting the last row, then the last two at once: the rows above stay.
        sheet_->rows(kRows, kRows).deleteEntireRow();
        QCOMPARE(texts({{65535, 1}, {kRows, 1}}), u"penultima|"_s);
        sheet_->cells(kRows, 1).setValue(u"di nuovo"_s);
        sheet_->rows(65535, kRows).deleteEntireRow();
        QCOMPARE(texts({{2, 1}, {65535, 1}, {kRows, 1}}), u"seconda||"_s);
        QCOMPARE(sheet_->range(u"A65536"_s).end(Direction::Up).row(), 2);
        // Inserting at the last row of an empty tail, copying to and from it.
        sheet_->rows(kRows, kRows).insertEntireRow();
        QVERIFY(sheet_->cells(kRows, 1).isEmpty());
        sheet_->pasteRow(*sheet_, 2, kRows);
        QCOMPARE(sheet_->text(kRows, 1), u"seconda"_s);
        sheet_->pasteRow(*sheet_, kRows, 1);
        QCOMPARE(sheet_->text(1, 1), u"seconda"_s);
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->pasteRow(*sheet_, kRows + 1, 1));
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->pasteRow(*sheet_, 1, 0));
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->rows(0, 1));
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->rows(kRows, kRows + 1));

        // Delete with shift up at the last rows: nothing comes from below the sheet.
        for (int r = 65534; r <= kRows; ++r)
            sheet_->cells(r, 2).setValue(r);
        sheet_->range(u"B65535"_s).deleteShiftUp();
        QCOMPARE(texts({{65534, 2}, {65535, 2}, {kRows, 2}}), u"65534|65536|"_s);
        sheet_->range(u"B65536"_s).deleteShiftUp();
        QCOMPARE(sheet_->text(65535, 2), u"65536"_s);
    }

    // Rows pushed past the last row would vanish: the insert is refused and
    // nothing moves; an empty tail still lets rows in.
    void insertThatWouldPushDataOffTheSheetIsRefused()
    {
        sheet_->cells(2, 1).setValue(u"seconda"_s);
        sheet_->cells(65535, 3).setValue(u"penultima"_s);
        sheet_->cells(kRows, 2).setValue(u"ultima"_s);
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->rows(2, 2).insertEntireRow());
        QCOMPARE(texts({{2, 1}, {kRows, 2}}), u"seconda|ultima"_s);
        sheet_->cells(kRows, 2).setValue(QVariant());
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->rows(2, 3).insertEntireRow()); // two rows: 65535 would go
        sheet_->rows(2, 2).insertEntireRow();                                      // one row: it fits
        QCOMPARE(texts({{3, 1}, {kRows, 3}}), u"seconda|penultima"_s);
    }

    // Date serials through the host at the ends of both date systems: the first
    // days, the day that never was, and 31/12/9999.
    void datesAtTheEndsOfBothDateSystems()
    {
        struct Case {
            double serial;
            bool date1904;
            QDate date; // invalid = no date
        };
        const Case cases[] = {
            {0, false, QDate()}, // 0/1/1900
            {1, false, QDate(1900, 1, 1)},
            {59, false, QDate(1900, 2, 28)},
            {60, false, QDate()}, // 29/2/1900, which never was
            {61, false, QDate(1900, 3, 1)},
            {61.99, false, QDate(1900, 3, 1)}, // the time of day does not move the date
            {45366, false, QDate(2024, 3, 15)},
            {2958465, false, QDate(9999, 12, 31)},
            {2958466, false, QDate()},
            {-1, false, QDate()},
            {0, true, QDate(1904, 1, 1)},
            {1, true, QDate(1904, 1, 2)},
            {43904, true, QDate(2024, 3, 15)},
            {2957003, true, QDate(9999, 12, 31)},
            {2957004, true, QDate()},
        };
        // A workbook in the 1904 date system, written by the engine and opened.
        const QString path1904 = dir_.filePath(u"Mac.xls"_s);
        {
            gp::xls::XlsDocument doc;
            doc.workbook = gp::sheet::newWorkbook();
            doc.workbook->date1904 = true;
            doc.workbook->addSheet("Dati");
            auto bytes = gp::xls::writeXls(doc);
            QVERIFY(bytes.ok());
            gptest::writeFile(path1904,
                              QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size())));
        }
        Sheet* sheet1904 = host_->open(path1904, QString())->sheet(u"Dati"_s);
        for (const Case& c : cases) {
            Range cell = (c.date1904 ? sheet1904 : sheet_)->cells(3, 3);
            cell.setValue(c.serial);
            const QString what = u"serial %1, 1904: %2: "_s.arg(c.serial).arg(c.date1904);
            QCOMPARE(what + cell.date().toString(Qt::ISODate), what + c.date.toString(Qt::ISODate));
            // A date written reads back as the same serial.
            if (c.date.isValid()) {
                cell.setValue(c.date);
                QCOMPARE(cell.value().toDouble(), std::floor(c.serial));
            }
        }
    }
};

QTEST_MAIN(TestHostEdges)
#include "test_host_edges.moc"
