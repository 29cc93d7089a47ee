// The print backend: page layout and page breaks checked against the PDF
// files it writes (poppler-utils), page ranges, copies, print runs, header
// codes, plain text, and the errors it reports.
#include "core/host/model_access.h"
#include "core/host/spreadsheet_host.h"
#include "core/host/text_measure.h"
#include "core/ui/clock.h"
#include "printing/print_support.h"
#include "support_pdf.h"

#include <QFontMetricsF>
#include <cmath>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;
using namespace gp::printing;

namespace {

// A sheet of `rows` rows (a heading and data rows "RIGA 001"...) in columns A to F.
host::Sheet* makeSheet(host::SpreadsheetHost& h, const QString& dir, int rows)
{
    host::Sheet* s = h.create(dir + QStringLiteral("/t.xls"), QString())->addSheet(QStringLiteral("Elenco"));
    s->cells(1, 1).setValue(QStringLiteral("TITOLO"));
    for (int r = 2; r <= rows; ++r) {
        s->cells(r, 1).setValue(QStringLiteral("RIGA %1").arg(r - 1, 3, 10, QLatin1Char('0')));
        s->cells(r, 2).setValue(QDate(2026, 1, 1).addDays(r));
        s->cells(r, 6).setValue(double(r) * 1.5);
    }
    s->setPrintArea(QStringLiteral("$F$1:$A$%1").arg(rows));
    sheet::PageSetup& ps = s->pageSetup();
    ps.leftMargin = ps.rightMargin = 0.21;
    ps.topMargin = 0.5;
    ps.bottomMargin = 0.21;
    ps.headerMargin = 0.21;
    return s;
}

// A host printing through its own backend, one sheet of `rows` rows, the PDF
// printer answered with `pdf`.
struct Bench {
    QTemporaryDir dir;
    host::SpreadsheetHost h;
    std::shared_ptr<SheetPrinter> printer = std::make_shared<SheetPrinter>();
    host::Sheet* sheet;
    QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    int asked = 0;
    explicit Bench(int rows) : sheet(makeSheet(h, dir.path(), rows))
    {
        h.setPrintBackend(printer);
        answerPdfPath(printer.get(), pdf, &asked);
    }
};

} // namespace

class TestSheetPrinter : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(9, 5, 7))); }
    void cleanup() { ui::Clock::clear(); }

    void pageCountMatchesBreaks_data();
    void pageCountMatchesBreaks();
    void fitToPagesWithoutZoom();
    void columnsWiderThanThePageGoAcross();
    void rowsOfEachPageFromTo();
    void oneRunOneFile();
    void headerCodesAndDate();
    void errorsInItalian();
    void autoFitMeasuresThePrintedText();
    void narrowedColumnsWrapAndRowsGrow();
};

void TestSheetPrinter::pageCountMatchesBreaks_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("portrait");
    QTest::addColumn<int>("pages"); // worked out by hand: rows of 12.75 pt in the body height
    // Portrait body: 841.89 - 0.71 in = 790.77 pt; landscape: 595.28 - 51.12 = 544.16 pt.
    QTest::newRow("10 rows 100% portrait") << 10 << 100 << true << 1;
    QTest::newRow("62 rows 100% portrait") << 62 << 100 << true << 1;
    QTest::newRow("63 rows 100% portrait") << 63 << 100 << true << 2;
    QTest::newRow("150 rows 100% portrait") << 150 << 100 << true << 3;
    QTest::newRow("150 rows 50% portrait") << 150 << 50 << true << 2;
    QTest::newRow("150 rows 200% portrait") << 150 << 200 << true << 5;
    QTest::newRow("150 rows 110% portrait") << 150 << 110 << true << 3;
    QTest::newRow("150 rows 100% landscape") << 150 << 100 << false << 4;
    QTest::newRow("43 rows 100% landscape") << 43 << 100 << false << 2;
}

void TestSheetPrinter::pageCountMatchesBreaks()
{
    SKIP_WITHOUT_POPPLER();
    QFETCH(int, rows);
    QFETCH(int, zoom);
    QFETCH(bool, portrait);
    QFETCH(int, pages);
    Bench b(rows);
    host::Sheet* s = b.sheet;
    const QString& pdf = b.pdf;
    s->pageSetup().zoom = uint16_t(zoom);
    s->pageSetup().portrait = portrait;
    QCOMPARE(s->hPageBreaksCount() + 1, pages);
    s->printOut({0, 0, 1, kPdfPrinter});
    const PdfInfo info = pdfInfo(pdf);
    QCOMPARE(info.pages, pages);
    QCOMPARE(info.sizes.size(), pages);
    for (const QSizeF& size : info.sizes) {
        QCOMPARE(size.width() > size.height(), !portrait);               // landscape pages are landscape
        QVERIFY(qAbs(qMax(size.width(), size.height()) - 841.89) < 1.0); // A4
    }
    // The last row is on the last page, and only there.
    const QString lastRow = QStringLiteral("RIGA %1").arg(rows - 1, 3, 10, QLatin1Char('0'));
    if (rows > 1) {
        QVERIFY(pdfText(pdf, pages, pages).contains(lastRow));
        if (pages > 1)
            QVERIFY(!pdfText(pdf, 1, pages - 1).contains(lastRow));
    }
}

void TestSheetPrinter::fitToPagesWithoutZoom()
{
    SKIP_WITHOUT_POPPLER();
    Bench b(150);
    host::Sheet* s = b.sheet;
    s->pageSetup().fitToPages = true;
    s->pageSetup().fitWidth = 1;
    s->pageSetup().fitHeight = 1;
    QCOMPARE(s->hPageBreaksCount(), 0);
    QVERIFY(b.printer->layout(*s).scale < 0.45);
    // Fit only shrinks: a short list stays at full size.
    QTemporaryDir dir2;
    host::SpreadsheetHost h2;
    host::Sheet* small = makeSheet(h2, dir2.path(), 5);
    small->pageSetup().fitToPages = true;
    QCOMPARE(b.printer->layout(*small).scale, 1.0);
    // Two pages tall: two pages.
    s->pageSetup().fitHeight = 2;
    QCOMPARE(s->hPageBreaksCount(), 1);
    s->printOut({0, 0, 1, kPdfPrinter});
    QCOMPARE(pdfInfo(b.pdf).pages, 2);
}

void TestSheetPrinter::columnsWiderThanThePageGoAcross()
{
    SKIP_WITHOUT_POPPLER();
    Bench b(100);
    host::Sheet* s = b.sheet;
    // Column C hidden; D and E about 410 pt wide each: A, B, D fill the first
    // page across (565 pt of body), E and F go to the next one.
    host::ModelAccess::worksheet(*s).columns.push_back({2, 2, 2340, 15, true, 0});
    host::ModelAccess::worksheet(*s).setColumnWidth(3, 20000);
    host::ModelAccess::worksheet(*s).setColumnWidth(4, 20000);
    for (int r = 2; r <= 100; ++r)
        s->cells(r, 3).setValue(QStringLiteral("NASCOSTA"));
    const SheetLayout layout = b.printer->layout(*s);
    QCOMPARE(int(layout.colBands.size()), 2);
    QCOMPARE(s->hPageBreaksCount(), 1); // the horizontal breaks only
    s->printOut({0, 0, 1, kPdfPrinter});
    QCOMPARE(pdfInfo(b.pdf).pages, 4); // (1 break + 1) pages down, times 2 across
    const QString all = pdfText(b.pdf);
    QVERIFY(all.contains(QStringLiteral("RIGA 001")));
    QVERIFY(!all.contains(QStringLiteral("NASCOSTA")));
    // Down first: page 2 continues the rows, page 3 is the right part of page 1.
    QVERIFY(pdfText(b.pdf, 2, 2).contains(QStringLiteral("RIGA 099")));
    const QString third = pdfText(b.pdf, 3, 3);
    QVERIFY(!third.contains(QStringLiteral("RIGA")));
    QVERIFY(third.contains(QStringLiteral("4,5"))); // F3 = 4.5
    QVERIFY(!pdfText(b.pdf, 1, 1).contains(QStringLiteral("4,5")));
}

void TestSheetPrinter::rowsOfEachPageFromTo()
{
    SKIP_WITHOUT_POPPLER();
    Bench b(150); // 62 rows a page: 1-62, 63-124, 125-150
    host::Sheet* s = b.sheet;
    s->printOut({2, 2, 2, kPdfPrinter}); // page 2, two copies
    QCOMPARE(pdfInfo(b.pdf).pages, 2);
    for (int page = 1; page <= 2; ++page) {
        const QString text = pdfText(b.pdf, page, page);
        QVERIFY2(text.contains(QStringLiteral("RIGA 062")), qPrintable(text.left(200))); // sheet row 63
        QVERIFY(text.contains(QStringLiteral("RIGA 123")));                              // sheet row 124
        QVERIFY(!text.contains(QStringLiteral("RIGA 061")));
        QVERIFY(!text.contains(QStringLiteral("RIGA 124")));
        QVERIFY(!text.contains(QStringLiteral("TITOLO")));
    }
    // To past the end stops at the last page.
    const QString tail = b.dir.filePath(QStringLiteral("tail.pdf"));
    answerPdfPath(b.printer.get(), tail);
    s->printOut({3, 9, 1, kPdfPrinter});
    QCOMPARE(pdfInfo(tail).pages, 1);
    QVERIFY(pdfText(tail).contains(QStringLiteral("RIGA 149")));
}

void TestSheetPrinter::oneRunOneFile()
{
    SKIP_WITHOUT_POPPLER();
    Bench b(150);
    host::Sheet* s = b.sheet;
    {
        PrintRun run(b.printer.get());
        s->printOut({1, 1, 1, kPdfPrinter});
        s->pageSetup().portrait = false; // the orientation may change from one call to the next
        s->printOut({1, 1, 1, kPdfPrinter});
        s->pageSetup().portrait = true;
        s->printOut({3, 3, 1, kPdfPrinter});
        QVERIFY(!QFile::exists(b.pdf) || QFile(b.pdf).size() == 0 || b.printer->inRun());
        run.finish();
    }
    QCOMPARE(b.asked, 1);
    QCOMPARE(b.printer->lastPdfFile(), b.pdf);
    const PdfInfo info = pdfInfo(b.pdf);
    QCOMPARE(info.pages, 3);
    QVERIFY(info.sizes[0].width() < info.sizes[0].height());
    QVERIFY(info.sizes[1].width() > info.sizes[1].height());
    QVERIFY(pdfText(b.pdf, 3, 3).contains(QStringLiteral("RIGA 149")));
    // A new run asks again.
    s->printOut({1, 1, 1, kPdfPrinter});
    QCOMPARE(b.asked, 2);
    QCOMPARE(pdfInfo(b.pdf).pages, 1);
}

void TestSheetPrinter::headerCodesAndDate()
{
    const QStringList parts = expandHeader(QStringLiteral("&LSx &A&C&\"Arial,Grassetto\"&12Pag. &P di &N && &D&R&F &T"),
                                           2, 5, QStringLiteral("Elenco"), QStringLiteral("t.xls"));
    QCOMPARE(parts,
             (QStringList{QStringLiteral("Sx Elenco"), QStringLiteral("Pag. 2 di 5 & 25/12/2026"),
                          QStringLiteral("t.xls 09:05")}));
    QCOMPARE(expandHeader(QStringLiteral("solo testo"), 1, 1, QString(), QString())[1], QStringLiteral("solo testo"));
    sheet::PageSetup ps;
    setCenterHeader(ps, QStringLiteral("A & B"));
    QCOMPARE(QString::fromStdString(ps.header), QStringLiteral("&CA && B"));
    QCOMPARE(expandHeader(QString::fromStdString(ps.header), 1, 1, {}, {})[1], QStringLiteral("A & B"));

    SKIP_WITHOUT_POPPLER();
    Bench b(100);
    host::Sheet* s = b.sheet;
    s->pageSetup().header = "&CElenco del &D pagina &P di &N";
    s->printOut({0, 0, 1, kPdfPrinter});
    QVERIFY(pdfText(b.pdf, 1, 1).contains(QStringLiteral("Elenco del 25/12/2026 pagina 1 di 2")));
    QVERIFY(pdfText(b.pdf, 2, 2).contains(QStringLiteral("Elenco del 25/12/2026 pagina 2 di 2")));
}

void TestSheetPrinter::errorsInItalian()
{
    QTemporaryDir dir;
    host::SpreadsheetHost h;
    auto printer = std::make_shared<SheetPrinter>();
    h.setPrintBackend(printer);
    host::Sheet* s = makeSheet(h, dir.path(), 20);
    auto failure = [&](const host::PrintRequest& r) -> QString {
        try {
            s->printOut(r);
        } catch (const host::HostError& e) {
            return e.message();
        }
        return QString();
    };
    QVERIFY(failure({0, 0, 1, QStringLiteral("Seleziona la stampante")}).contains(QStringLiteral("non esiste")));
    QVERIFY(!printerExists(QStringLiteral("Seleziona la stampante")));
    QVERIFY(printerExists(kPdfPrinter));
    QCOMPARE(printerNames().last(), kPdfPrinter);

    answerPdfPath(printer.get(), dir.filePath(QStringLiteral("manca/cartella/x.pdf")));
    QVERIFY(failure({0, 0, 1, kPdfPrinter}).startsWith(QStringLiteral("Impossibile scrivere il file PDF")));
    answerPdfPath(printer.get(), QString()); // the user closed the file dialog
    QVERIFY(failure({0, 0, 1, kPdfPrinter}).startsWith(QStringLiteral("Stampa annullata")));
    answerPdfPath(printer.get(), dir.filePath(QStringLiteral("ok.pdf")));
    QVERIFY(failure({4, 4, 1, kPdfPrinter}).contains(QStringLiteral("La pagina 4 non esiste")));
    QVERIFY(!printer->inRun()); // a failure leaves no run open
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ok.pdf"))));

    host::Sheet* empty = h.workbooks().front()->addSheet(QStringLiteral("Vuoto"));
    QCOMPARE(empty->hPageBreaksCount(), 0);
    try {
        empty->printOut({0, 0, 1, kPdfPrinter});
        QFAIL("an empty sheet printed");
    } catch (const host::HostError& e) {
        QVERIFY(e.message().contains(QStringLiteral("non contiene nulla da stampare")));
    }
}

// Auto-fit measures each text in its font: wide letters need a wider column
// than as many narrow ones, a line break counts its longest line.
void TestSheetPrinter::autoFitMeasuresThePrintedText()
{
    QTemporaryDir dir;
    host::SpreadsheetHost h;
    host::Sheet* s = h.create(dir.filePath(QStringLiteral("t.xls")), QString())->addSheet(QStringLiteral("Elenco"));
    s->cells(1, 1).setValue(QStringLiteral("WWWWWWWWWWWWWWWWWWWW"));
    s->cells(1, 2).setValue(QStringLiteral("iiiiiiiiiiiiiiiiiiii"));
    s->cells(1, 3).setValue(QStringLiteral("BREVE\nUNA RIGA BEN PIÙ LUNGA DELLA PRIMA"));
    s->cells(1, 4).setValue(QStringLiteral("UNA RIGA BEN PIÙ LUNGA DELLA PRIMA"));
    s->range(QStringLiteral("A1:D1")).autoFitColumns();
    const sheet::Worksheet& ws = host::ModelAccess::worksheet(*s);
    QVERIFY2(ws.columnWidth(0) > 2 * ws.columnWidth(1),
             qPrintable(QStringLiteral("%1 %2").arg(ws.columnWidth(0)).arg(ws.columnWidth(1))));
    QCOMPARE(ws.columnWidth(2), ws.columnWidth(3));
    // The width fits the text as the page prints it: column D holds its
    // text with room to spare, but not with room for twice the text.
    SheetPrinter printer;
    s->setPrintArea(QStringLiteral("A1:D1"));
    const SheetLayout L = printer.layout(*s);
    const QFont font = host::printFont(host::ModelAccess::workbook(*h.activeWorkbook()), ws.cell(0, 3).xf);
    QFont px = font;
    px.setPixelSize(int(std::lround(font.pointSizeF() * 96.0 / 72.0)));
    const double textPt = QFontMetricsF(px).horizontalAdvance(QStringLiteral("UNA RIGA BEN PIÙ LUNGA DELLA PRIMA"))
        * 0.75;
    QVERIFY(L.colWidths[3] > textPt + 4);
    QVERIFY(L.colWidths[3] < 1.3 * textPt);
}

// Columns wider than the page: the narrow ones keep their widths, the widest
// is narrowed to what is left and wraps; the rows grow for their lines.
void TestSheetPrinter::narrowedColumnsWrapAndRowsGrow()
{
    QTemporaryDir dir;
    host::SpreadsheetHost h;
    host::Sheet* s = makeSheet(h, dir.path(), 4);
    host::ModelAccess::worksheet(*s).setColumnWidth(0, 10 * 256);
    host::ModelAccess::worksheet(*s).setColumnWidth(1, 12 * 256);
    host::ModelAccess::worksheet(*s).setColumnWidth(5, 200 * 256); // far wider than A4
    s->cells(2, 6).setValue(QString(QStringLiteral("PAROLA ")).repeated(60));
    s->cells(3, 3).setValue(QStringLiteral("PRIMA\nSECONDA\nTERZA"));
    SheetPrinter printer;
    const SheetLayout plain = printer.layout(*s);
    QVERIFY(plain.colBands.size() > 1); // as the sheet is, F goes to pages across
    RenderOptions options;
    options.fitColumnsToPage = true;
    printer.setRenderOptions(options);
    const SheetLayout L = printer.layout(*s);
    QCOMPARE(int(L.colBands.size()), 1);
    QCOMPARE(L.colWidths[0], plain.colWidths[0]);
    QCOMPARE(L.colWidths[1], plain.colWidths[1]);
    QVERIFY(L.wrapCols[5] && !L.wrapCols[0]);
    double total = 0;
    for (double w : L.colWidths)
        total += w;
    const double avail = (L.pageWidth - 0.42 * 72) / L.scale;
    QVERIFY(total <= avail + 0.01 && total > avail - 1);
    // The long text wraps onto several lines; three lines make a taller row.
    const double oneLine = plain.rowHeights[3];
    QVERIFY(L.rowHeights[1] > 3 * oneLine);
    QVERIFY(L.rowHeights[2] > 2.5 * oneLine); // line breaks count with or without fitting
    QCOMPARE(plain.rowHeights[2], L.rowHeights[2]);
    QCOMPARE(plain.rowHeights[1], oneLine);
    QCOMPARE(L.rowHeights[3], oneLine);
}

QTEST_MAIN(TestSheetPrinter)
#include "test_sheet_printer.moc"
