// The host's spreadsheet vocabulary on workbooks built in memory: references,
// the walk, row operations, sort, values and displayed texts (End at every
// shape of runs and gaps: test_host_edges).
#include <QTemporaryDir>
#include <QtTest>

#include "common/files.h"
#include "core/host/model_access.h"

using namespace gp::host;
using namespace Qt::StringLiterals;

namespace {

class FakePrinter : public PrintBackend {
public:
    QStringList printed;
    int pageBreaks(const Sheet&) override { return 3; }
    void printOut(const Sheet& sheet, const PrintRequest& r) override
    {
        printed << u"%1 %2-%3 x%4"_s.arg(sheet.name()).arg(r.from).arg(r.to).arg(r.copies);
    }
};

} // namespace

class TestHost : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    std::unique_ptr<SpreadsheetHost> host_;
    Book* book_ = nullptr;
    Sheet* sheet_ = nullptr;

    // Fills column `col` at the given rows with numbers equal to the row.
    void fill(int col, std::initializer_list<int> rows)
    {
        for (int r : rows)
            sheet_->cells(r, col).setValue(r);
    }
    QVariant v(const QString& a1) { return sheet_->range(a1).value(); }
    // The texts column `col` shows from row `from` to row `to`, joined by '|'.
    QString column(int col, int from, int to)
    {
        QStringList out;
        for (int r = from; r <= to; ++r)
            out << sheet_->text(r, col);
        return out.join(u'|');
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        host_ = std::make_unique<SpreadsheetHost>();
        book_ = host_->create(dir_.filePath(u"Prova.xls"_s), QString());
        sheet_ = book_->addSheet(u"Dati"_s);
    }
    void cleanup() { host_.reset(); }

    void a1References_data()
    {
        QTest::addColumn<QString>("ref");
        QTest::addColumn<QString>("address");
        QTest::newRow("cell") << u"B2"_s << u"$B$2"_s;
        QTest::newRow("absolute") << u"$b$2"_s << u"$B$2"_s;
        QTest::newRow("block") << u"A2:M2"_s << u"$A$2:$M$2"_s;
        QTest::newRow("reversed") << u"M5:A2"_s << u"$A$2:$M$5"_s;
        QTest::newRow("row") << u"2:2"_s << u"$2:$2"_s;
        QTest::newRow("column") << u"A:A"_s << u"$A:$A"_s;
        QTest::newRow("last cell") << u"IV65536"_s << u"$IV$65536"_s;
        QTest::newRow("double letters") << u"ER1"_s << u"$ER$1"_s;
        QTest::newRow("past last row") << u"A65537"_s << u""_s;
        QTest::newRow("past last column") << u"IW1"_s << u""_s;
        QTest::newRow("row zero") << u"A0"_s << u""_s;
        QTest::newRow("lone column") << u"A"_s << u""_s;
        QTest::newRow("mixed") << u"A1:3"_s << u""_s;
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("garbage") << u"B2x"_s << u""_s;
    }
    void a1References()
    {
        QFETCH(QString, ref);
        QFETCH(QString, address); // empty: refused
        if (address.isEmpty())
            QVERIFY_THROWS_EXCEPTION(HostError, sheet_->range(ref));
        else
            QCOMPARE(sheet_->range(ref).address(), address);
    }

    void columnLettersAndOffsets()
    {
        for (auto [n, letters] : {std::pair{1, "A"}, {26, "Z"}, {27, "AA"}, {148, "ER"}, {256, "IV"}})
            QCOMPARE(columnLetters(n), QString::fromLatin1(letters));
        const Range b2 = sheet_->range(u"B2"_s);
        QCOMPARE(QStringList({b2.offset(3, 1).address(), b2.cells(1, 1).address(), b2.cells(2, 3).address(),
                              b2.resize(1, 12).address(), b2.entireRow().address()}),
                 QStringList({u"$C$5"_s, u"$B$2"_s, u"$D$3"_s, u"$B$2:$M$2"_s, u"$2:$2"_s}));
        QVERIFY_THROWS_EXCEPTION(HostError, b2.offset(-2, 0));
        QVERIFY_THROWS_EXCEPTION(HostError, b2.offset(0, 255));
    }

    void walkDownAndFindIdentifier()
    {
        // A list with a gap: the walk stops at the first empty cell.
        fill(10, {1, 2, 3, 5});
        QCOMPARE(sheet_->walkDown(u"J1"_s), (std::vector<int>{1, 2, 3}));
        QCOMPARE(sheet_->walkDown(u"J2"_s), (std::vector<int>{2, 3}));
        QCOMPARE(sheet_->walkDown(u"J5"_s), (std::vector<int>{5})); // one entry, End goes to 65536
        QCOMPARE(sheet_->walkDown(u"J4"_s), std::vector<int>{});    // empty start
        QCOMPARE(sheet_->walkDown(4, 10), std::vector<int>{});
        QCOMPARE(sheet_->walkDown(u"K1"_s), std::vector<int>{});
        // A full column down to the last row.
        sheet_->range(u"L65533:L65536"_s).setValue(1);
        QCOMPARE(sheet_->walkDown(u"L65535"_s), (std::vector<int>{65535, 65536}));
        QCOMPARE(sheet_->walkDown(65533, 12), (std::vector<int>{65533, 65534, 65535, 65536}));
        QCOMPARE(sheet_->walkDown(65536, 12), (std::vector<int>{65536}));

        // Finding an identifier walks the same way and matches numbers stored as text.
        const QVariantList ids{QString(), 101, u"012"_s, u" 7 "_s, 12, QString(), 99}; // 99 after the gap
        for (int r = 2; r <= ids.size(); ++r)
            sheet_->cells(r, 1).setValue(ids[r - 1]);
        QCOMPARE(sheet_->findIdentifier(1, 12), 3);
        QCOMPARE(sheet_->findIdentifier(1, 7), 4);
        QCOMPARE(sheet_->findIdentifier(1, 101), 2);
        QCOMPARE(sheet_->findIdentifier(1, 99), 0);
        QCOMPARE(sheet_->findIdentifier(1, 12, 4), 5);
        QCOMPARE(sheet_->findLastIdentifier(1, 12), 5); // the lower row wins
        QCOMPARE(sheet_->findLastIdentifier(1, 101), 2);
        QCOMPARE(sheet_->findLastIdentifier(1, 99), 0);
        // A run longer than the walk reads ahead, ended by a row that does not reach the column.
        for (int r = 2; r <= 40; ++r)
            sheet_->cells(r, 3).setValue(r % 5);
        sheet_->cells(42, 3).setValue(9);
        QCOMPARE(sheet_->findIdentifier(3, 4), 4);
        QCOMPARE(sheet_->findLastIdentifier(3, 4), 39);
        QCOMPARE(sheet_->findLastIdentifier(3, 9), 0);
    }

    void identifierRule()
    {
        const std::pair<QVariant, std::optional<double>> cases[] = {
            {12.0, 12.0},      {7, 7.0},          {u"012"_s, 12.0},
            {u" 12 "_s, 12.0}, {u"12,0"_s, 12.0}, // Italian decimal
            {u"dodici"_s, {}}, {u"12 bis"_s, {}}, {QString(), {}},
            {QVariant(), {}},  {true, {}},
        };
        for (const auto& [value, number] : cases) {
            QVERIFY2(toIdentifier(value) == number, qPrintable(value.toString()));
            QVERIFY(!number || (sameIdentifier(value, *number) && !sameIdentifier(value, *number + 1)));
        }
    }

    void emptyingClearingAndFormats()
    {
        // Empty cells read as empty text; an empty text empties the cell.
        QCOMPARE(v(u"Z99"_s), QVariant(QString()));
        QVERIFY(sheet_->range(u"Z99"_s).isEmpty());
        sheet_->range(u"A4"_s).setValue(42);
        sheet_->range(u"A4"_s).setValue(QString());
        QVERIFY(sheet_->range(u"A4"_s).isEmpty());
        sheet_->range(u"C1:D2"_s).setValue(u"x"_s); // a block takes the value in every cell
        QCOMPARE(column(3, 1, 2) + column(4, 1, 2), u"x|xx|x"_s);
        // Clear contents keeps the format, clear removes it.
        Range a = sheet_->range(u"A1"_s);
        a.setValue(1234.5);
        a.setNumberFormat(u"#,##0.00"_s);
        a.clearContents();
        QVERIFY(a.isEmpty());
        a.setValue(1234.5);
        QCOMPARE(a.text(), u"1.234,50"_s);
        a.clear();
        QVERIFY(a.isEmpty());
        a.setValue(1234.5);
        QCOMPARE(a.text(), u"1234,5"_s);
        sheet_->allCells().clear(); // on every cell of the sheet
        QVERIFY(sheet_->range(u"A1"_s).isEmpty());
        QVERIFY(sheet_->range(u"C1"_s).isEmpty());
        // A whole column's format applies to values written later.
        sheet_->range(u"D:D"_s).setNumberFormat(u"#,##0.00"_s);
        sheet_->range(u"D7"_s).setValue(2);
        QCOMPARE(sheet_->range(u"D7"_s).text(), u"2,00"_s);
        QCOMPARE(sheet_->range(u"E7"_s).text(), QString());
    }

    void rowDeleteInsertCopyPasteWithinAndBetweenWorkbooks()
    {
        for (int r = 1; r <= 5; ++r) {
            sheet_->cells(r, 1).setValue(r);
            sheet_->cells(r, 2).setValue(u"riga %1"_s.arg(r));
        }
        sheet_->range(u"A2:M2"_s).deleteEntireRow();
        QCOMPARE(column(1, 1, 5), u"1|3|4|5|"_s);
        QCOMPARE(column(2, 1, 5), u"riga 1|riga 3|riga 4|riga 5|"_s);
        sheet_->rows(2, 3).insertEntireRow();
        QCOMPARE(column(1, 1, 6), u"1|||3|4|5"_s);
        sheet_->pasteRow(*sheet_, 1, 3);
        QCOMPARE(column(1, 1, 6), u"1||1|3|4|5"_s);
        QCOMPARE(column(2, 3, 4), u"riga 1|riga 3"_s);
        // Another sheet of the same workbook.
        Sheet* other = book_->addSheet(u"Storico"_s);
        other->pasteRow(*sheet_, 4, 2);
        QCOMPARE(other->text(2, 1) + other->text(2, 2), u"3riga 3"_s);
        QVERIFY(book_->modified());
        // From another workbook, whose string indexes mean other texts here.
        Book* book2 = host_->create(dir_.filePath(u"Altro.xls"_s), QString());
        Sheet* src = book2->addSheet(u"Origine"_s);
        src->range(u"Z1"_s).setValue(u"solo nell'origine 1"_s);
        src->range(u"Z2"_s).setValue(u"solo nell'origine 2"_s);
        src->range(u"A3"_s).setValue(u"Verdi Anna"_s);
        src->range(u"B3"_s).setValue(QDate(2026, 1, 15));
        src->range(u"C3"_s).setValue(99.5);
        src->range(u"C3"_s).setNumberFormat(u"#,##0.00 \"€\""_s);
        other->pasteRow(*src, 3, 3);
        host_->close(book2); // the target must not depend on the source any more
        QCOMPARE(QStringList({other->text(2, 2), other->text(3, 1), other->text(3, 2), other->text(3, 3)}),
                 QStringList({u"riga 3"_s, u"Verdi Anna"_s, u"15/01/2026"_s, u"99,50 €"_s}));

        // Delete with shift up moves only its own column.
        fill(3, {2, 3, 4, 5});
        sheet_->range(u"D3"_s).setValue(u"fermo"_s);
        sheet_->range(u"C3"_s).deleteShiftUp();
        QCOMPARE(column(3, 2, 5), u"2|4|5|"_s);
        QCOMPARE(v(u"D3"_s).toString(), u"fermo"_s);
    }

    void sortNumbersBeforeTextsBlanksLast()
    {
        // A heading, then mixed keys with a blank among them; column B follows its row.
        const QVariantList keys{u"Numero"_s, 30, u"beta"_s, QString(), 4, u"Alfa"_s, 100};
        for (int i = 0; i < keys.size(); ++i) {
            sheet_->cells(i + 1, 1).setValue(keys[i]);
            sheet_->cells(i + 1, 2).setValue(i + 1);
        }
        sheet_->range(u"A1:B7"_s).sort(1, true, SortHeader::Guess);
        QCOMPARE(column(1, 1, 7), u"Numero|4|30|100|Alfa|beta|"_s);
        QCOMPARE(column(2, 1, 7), u"1|5|2|7|6|3|4"_s);
        sheet_->range(u"A2:B7"_s).sort(1, false, SortHeader::No); // descending: blanks still last
        QCOMPARE(column(1, 1, 7), u"Numero|beta|Alfa|100|30|4|"_s);

        // Released client numbers: the emptied cell goes to the end, every number is sorted.
        fill(5, {2, 3});
        sheet_->range(u"E2"_s).setValue(9);
        sheet_->range(u"E3"_s).clearContents();
        sheet_->range(u"E4"_s).setValue(1);
        sheet_->range(u"E2:E1000"_s).sort(5, true, SortHeader::Guess);
        QCOMPARE(column(5, 2, 4), u"1|9|"_s);
        // Texts over texts: no heading either.
        sheet_->range(u"F1"_s).setValue(u"zeta"_s);
        sheet_->range(u"F2"_s).setValue(u"alfa"_s);
        sheet_->range(u"F1:F2"_s).sort(6);
        QCOMPARE(column(6, 1, 2), u"alfa|zeta"_s);
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->range(u"F1:F2"_s).sort(7));
    }

    void sheetsAndWorkbooksByName()
    {
        QCOMPARE(book_->sheet(u"Dati"_s), sheet_);
        QCOMPARE(book_->sheet(u"dati"_s), sheet_);
        QVERIFY(book_->sheetOrNull(u"Clienti"_s) == nullptr);
        QCOMPARE(gptest::errorOf([&] { book_->sheet(u"Clienti"_s); }),
                 u"Il foglio \"Clienti\" non esiste nella cartella di lavoro Prova.xls."_s);
        QVERIFY_THROWS_EXCEPTION(HostError, book_->addSheet(u"Dati"_s));
        QCOMPARE(book_->sheetNames(), QStringList{u"Dati"_s});
        sheet_->setVisible(false);
        QVERIFY(!sheet_->visible());
        QCOMPARE(ModelAccess::worksheet(*sheet_).visibility, gp::sheet::Visibility::Hidden);
        sheet_->setVisible(true);
        QVERIFY(sheet_->visible());

        QCOMPARE(host_->activeWorkbook(), book_);
        QCOMPARE(host_->workbook(u"prova.xls"_s), book_);
        QVERIFY(host_->workbook(u"Dorvessa.xls"_s) == nullptr);
        Book* second = host_->create(dir_.filePath(u"Dorvessa.xls"_s), QString());
        QCOMPARE(host_->activeWorkbook(), second);
        QCOMPARE(host_->workbooks().size(), size_t(2));
        host_->close(second);
        QCOMPARE(host_->activeWorkbook(), book_);
        QVERIFY_THROWS_EXCEPTION(HostError, host_->create(dir_.filePath(u"Prova.xls"_s), QString()));
    }

    void printingPageSetupAndFonts()
    {
        QCOMPARE(sheet_->hPageBreaksCount(), 0);
        sheet_->printOut({2, 3, 1, QString()});
        QCOMPARE(host_->recordedPrints.size(), size_t(1));
        QCOMPARE(host_->recordedPrints[0].sheet, u"Dati"_s);
        QCOMPARE(host_->recordedPrints[0].request.from, 2);

        auto printer = std::make_shared<FakePrinter>();
        host_->setPrintBackend(printer);
        QCOMPARE(sheet_->hPageBreaksCount(), 3);
        sheet_->printOut({1, 4, 2, QString()});
        QCOMPARE(printer->printed, QStringList{u"Dati 1-4 x2"_s});
        QCOMPARE(host_->recordedPrints.size(), size_t(1));

        ModelAccess::workbook(*book_).modified = false;
        sheet_->pageSetup().portrait = false;
        QVERIFY(book_->modified());
        sheet_->setPrintArea(u"A1:G40"_s);
        QVERIFY(ModelAccess::worksheet(*sheet_).pageSetup.printAreaChanged);
        QCOMPARE(ModelAccess::worksheet(*sheet_).pageSetup.printArea->lastRow, 39);
        sheet_->setScrollArea(u"A1:M200"_s);
        QCOMPARE(sheet_->scrollArea(), u"$A$1:$M$200"_s);
        sheet_->setScrollArea(QString());
        QVERIFY(sheet_->scrollArea().isEmpty());
        sheet_->freezePanes(1, 0);
        QCOMPARE(ModelAccess::worksheet(*sheet_).frozenRows, 1);

        sheet_->range(u"A1"_s).setValue(u"un testo piuttosto lungo"_s);
        sheet_->range(u"A1"_s).setNumberFormat(u"@"_s);
        sheet_->range(u"A1:A2"_s).setFontSize(14);
        const auto& wb = ModelAccess::workbook(*book_);
        const uint16_t xf = ModelAccess::worksheet(*sheet_).cell(0, 0).xf;
        QCOMPARE(wb.fonts[wb.formats[xf].fontIndex].heightTwips, uint16_t(280));
        QCOMPARE(wb.numberFormatOfXf(xf), std::string("@")); // the number format stays
        const uint16_t before = ModelAccess::worksheet(*sheet_).columnWidth(0);
        sheet_->range(u"A:A"_s).autoFitColumns();
        QVERIFY(ModelAccess::worksheet(*sheet_).columnWidth(0) > before);
    }
};

QTEST_GUILESS_MAIN(TestHost)
#include "test_host.moc"
