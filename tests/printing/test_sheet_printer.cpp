// The print backend: page layout and page breaks checked against the PDF
// files it writes (poppler-utils), page ranges, copies, print runs, header
// codes, plain text, and the errors it reports.
#include "common/files.h"
#include "core/host/model_access.h"
#include "core/host/spreadsheet_host.h"
#include "core/host/text_measure.h"
#include "core/ui/clock.h"
#include "printing/print_support.h"
#include "support_pdf.h"

#include <QFile>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <numeric>

using namespace gp;
using namespace gp::printing;

namespace {

// A host printing through its own backend, the PDF printer answered with
// `pdf`, and a sheet of `rows` rows (a heading and data rows "RIGA 001"...) in
// columns A to F.
struct Bench {
    QTemporaryDir dir;
    host::SpreadsheetHost h;
    std::shared_ptr<SheetPrinter> printer = std::make_shared<SheetPrinter>();
    host::Sheet* sheet = h.create(dir.filePath(QStringLiteral("t.xls")), QString())->addSheet(QStringLiteral("Elenco"));
    QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    int asked = 0;
    explicit Bench(int rows)
    {
        h.setPrintBackend(printer);
        answerPdfPath(printer.get(), pdf, &asked);
        sheet->cells(1, 1).setValue(QStringLiteral("TITOLO"));
        for (int r = 2; r <= rows; ++r) {
            sheet->cells(r, 1).setValue(QStringLiteral("RIGA %1").arg(r - 1, 3, 10, QLatin1Char('0')));
            sheet->cells(r, 2).setValue(QDate(2026, 1, 1).addDays(r));
            sheet->cells(r, 6).setValue(double(r) * 1.5);
        }
        sheet->setPrintArea(QStringLiteral("$F$1:$A$%1").arg(rows));
        sheet::PageSetup& ps = sheet->pageSetup();
        ps.leftMargin = ps.rightMargin = ps.bottomMargin = ps.headerMargin = 0.21;
        ps.topMargin = 0.5;
    }
};

} // namespace

class TestSheetPrinter : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(9, 5, 7))); }
    void cleanup() { ui::Clock::clear(); }

    void pageCountMatchesBreaks_data()
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

    void pageCountMatchesBreaks()
    {
        SKIP_WITHOUT_POPPLER();
        QFETCH(int, rows);
        QFETCH(int, zoom);
        QFETCH(bool, portrait);
        QFETCH(int, pages);
        Bench b(rows);
        b.sheet->pageSetup().zoom = uint16_t(zoom);
        b.sheet->pageSetup().portrait = portrait;
        QCOMPARE(b.sheet->hPageBreaksCount() + 1, pages);
        b.sheet->printOut({0, 0, 1, kPdfPrinter});
        QCOMPARE(pageShapes(b.pdf), QString(pages, portrait ? u'P' : u'L'));
        for (const QSizeF& size : pdfInfo(b.pdf).sizes) // A4
            QVERIFY(qAbs(qMax(size.width(), size.height()) - 841.89) < 1.0);
        // The last row is on the last page, and only there.
        const QString lastRow = QStringLiteral("RIGA %1").arg(rows - 1, 3, 10, QLatin1Char('0'));
        QVERIFY(pdfText(b.pdf, pages, pages).contains(lastRow));
        if (pages > 1)
            QVERIFY(!pdfText(b.pdf, 1, pages - 1).contains(lastRow));
    }

    void fitToPagesWithoutZoom()
    {
        SKIP_WITHOUT_POPPLER();
        Bench b(150);
        host::Sheet* s = b.sheet;
        s->pageSetup().fitToPages = true;
        s->pageSetup().fitWidth = s->pageSetup().fitHeight = 1;
        QCOMPARE(s->hPageBreaksCount(), 0);
        QVERIFY(b.printer->layout(*s).scale < 0.45);
        // Fit only shrinks: a short list stays at full size.
        Bench small(5);
        small.sheet->pageSetup().fitToPages = true;
        QCOMPARE(b.printer->layout(*small.sheet).scale, 1.0);
        // Two pages tall: two pages.
        s->pageSetup().fitHeight = 2;
        QCOMPARE(s->hPageBreaksCount(), 1);
        s->printOut({0, 0, 1, kPdfPrinter});
        QCOMPARE(pdfInfo(b.pdf).pages, 2);
    }

    void columnsWiderThanThePageGoAcross()
    {
        SKIP_WITHOUT_POPPLER();
        Bench b(100);
        host::Sheet* s = b.sheet;
        // Column C hidden; D and E about 410 pt wide each: A, B, D fill the first
        // page across (565 pt of body), E and F go to the next one.
        sheet::Worksheet& ws = host::ModelAccess::worksheet(*s);
        ws.columns.push_back({2, 2, 2340, 15, true, 0});
        ws.setColumnWidth(3, 20000);
        ws.setColumnWidth(4, 20000);
        for (int r = 2; r <= 100; ++r)
            s->cells(r, 3).setValue(QStringLiteral("NASCOSTA"));
        QCOMPARE(int(b.printer->layout(*s).colBands.size()), 2);
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

    // One file for a run of calls, each run asking for its file; pages from-to
    // and copies.
    void runsPageRangesAndCopies()
    {
        SKIP_WITHOUT_POPPLER();
        Bench b(150); // 62 rows a page: 1-62, 63-124, 125-150
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
        QCOMPARE(pageShapes(b.pdf), QStringLiteral("PLP"));
        QVERIFY(pdfText(b.pdf, 3, 3).contains(QStringLiteral("RIGA 149")));

        // A call outside a run is a run of its own: page 2 in two copies.
        s->printOut({2, 2, 2, kPdfPrinter});
        QCOMPARE(b.asked, 2);
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
        s->printOut({3, 9, 1, kPdfPrinter});
        QCOMPARE(pdfInfo(b.pdf).pages, 1);
        QVERIFY(pdfText(b.pdf).contains(QStringLiteral("RIGA 149")));
    }

    void headerCodesAndDate()
    {
        QCOMPARE(expandHeader("&LSx &A&C&\"Arial,Grassetto\"&12Pag. &P di &N && &D&R&F &T", 2, 5, "Elenco", "t.xls"),
                 (QStringList{"Sx Elenco", "Pag. 2 di 5 & 25/12/2026", "t.xls 09:05"}));
        QCOMPARE(expandHeader("solo testo", 1, 1, {}, {})[1], QStringLiteral("solo testo"));
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

    void errorsInItalian()
    {
        Bench b(20);
        const auto failure = [&](const host::PrintRequest& r) {
            return gptest::errorOf([&] { b.sheet->printOut(r); });
        };
        QVERIFY(failure({0, 0, 1, QStringLiteral("Seleziona la stampante")}).contains(QStringLiteral("non esiste")));
        QVERIFY(!printerExists(QStringLiteral("Seleziona la stampante")));
        QVERIFY(printerExists(kPdfPrinter));
        QCOMPARE(printerNames().last(), kPdfPrinter);

        answerPdfPath(b.printer.get(), b.dir.filePath(QStringLiteral("manca/cartella/x.pdf")));
        QVERIFY(failure({0, 0, 1, kPdfPrinter}).startsWith(QStringLiteral("Impossibile scrivere il file PDF")));
        answerPdfPath(b.printer.get(), QString()); // the user closed the file dialog
        QVERIFY(failure({0, 0, 1, kPdfPrinter}).startsWith(QStringLiteral("Stampa annullata")));
        answerPdfPath(b.printer.get(), b.pdf);
        QVERIFY(failure({4, 4, 1, kPdfPrinter}).contains(QStringLiteral("La pagina 4 non esiste")));
        QVERIFY(!b.printer->inRun()); // a failure leaves no run open
        QVERIFY(!QFile::exists(b.pdf));

        host::Sheet* empty = b.h.workbooks().front()->addSheet(QStringLiteral("Vuoto"));
        QCOMPARE(empty->hPageBreaksCount(), 0);
        QVERIFY(gptest::errorOf([&] {
                    empty->printOut({0, 0, 1, kPdfPrinter});
                }).contains(QStringLiteral("non contiene nulla da stampare")));
    }

    // Auto-fit measures each text in its font: wide letters need a wider column
    // than as many narrow ones, a line break counts its longest line.
    void autoFitMeasuresThePrintedText()
    {
        Bench b(1);
        host::Sheet* s = b.sheet;
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
        s->setPrintArea(QStringLiteral("A1:D1"));
        const SheetLayout L = b.printer->layout(*s);
        const QFont font = host::printFont(host::ModelAccess::workbook(*b.h.activeWorkbook()), ws.cell(0, 3).xf);
        QFont px = font;
        px.setPixelSize(int(std::lround(font.pointSizeF() * 96.0 / 72.0)));
        const double textPt = QFontMetricsF(px).horizontalAdvance(QStringLiteral("UNA RIGA BEN PIÙ LUNGA DELLA PRIMA"))
            * 0.75;
        QVERIFY(L.colWidths[3] > textPt + 4);
        QVERIFY(L.colWidths[3] < 1.3 * textPt);
    }

    // Columns wider than the page: the narrow ones keep their widths, the widest
    // is narrowed to what is left and wraps; the rows grow for their lines.
    void narrowedColumnsWrapAndRowsGrow()
    {
        Bench b(4);
        host::Sheet* s = b.sheet;
        sheet::Worksheet& ws = host::ModelAccess::worksheet(*s);
        ws.setColumnWidth(0, 10 * 256);
        ws.setColumnWidth(1, 12 * 256);
        ws.setColumnWidth(5, 200 * 256); // far wider than A4
        s->cells(2, 6).setValue(QString(QStringLiteral("PAROLA ")).repeated(60));
        s->cells(3, 3).setValue(QStringLiteral("PRIMA\nSECONDA\nTERZA"));
        const SheetLayout plain = b.printer->layout(*s);
        QVERIFY(plain.colBands.size() > 1); // as the sheet is, F goes to pages across
        RenderOptions options;
        options.fitColumnsToPage = true;
        b.printer->setRenderOptions(options);
        const SheetLayout L = b.printer->layout(*s);
        QCOMPARE(int(L.colBands.size()), 1);
        QCOMPARE(L.colWidths[0], plain.colWidths[0]);
        QCOMPARE(L.colWidths[1], plain.colWidths[1]);
        QVERIFY(L.wrapCols[5] && !L.wrapCols[0]);
        const double total = std::accumulate(L.colWidths.begin(), L.colWidths.end(), 0.0);
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
};

QTEST_MAIN(TestSheetPrinter)
#include "test_sheet_printer.moc"
