// The host's spreadsheet vocabulary on workbooks built in memory: references,
// the walk, row operations, sort, values and displayed texts (End at every
// shape of runs and gaps: test_host_edges).
#include <QTemporaryDir>
#include <QtTest>

#include "core/host/model_access.h"

using namespace gp::host;
using namespace Qt::StringLiterals;

namespace {

class FakePrinter : public PrintBackend {
public:
    int breaks = 3;
    QStringList printed;
    int pageBreaks(const Sheet&) override { return breaks; }
    void printOut(const Sheet& sheet, const PrintRequest& r) override
    {
        printed << QStringLiteral("%1 %2-%3 x%4").arg(sheet.name()).arg(r.from).arg(r.to).arg(r.copies);
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

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        host_ = std::make_unique<SpreadsheetHost>();
        book_ = host_->create(dir_.filePath(QStringLiteral("Prova.xls")), QString());
        sheet_ = book_->addSheet(QStringLiteral("Dati"));
    }
    void cleanup()
    {
        host_.reset();
        book_ = nullptr;
        sheet_ = nullptr;
    }

    void a1References_data()
    {
        QTest::addColumn<QString>("ref");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("address");
        QTest::newRow("cell") << "B2" << true << "$B$2";
        QTest::newRow("absolute") << "$b$2" << true << "$B$2";
        QTest::newRow("block") << "A2:M2" << true << "$A$2:$M$2";
        QTest::newRow("reversed") << "M5:A2" << true << "$A$2:$M$5";
        QTest::newRow("row") << "2:2" << true << "$2:$2";
        QTest::newRow("column") << "A:A" << true << "$A:$A";
        QTest::newRow("last cell") << "IV65536" << true << "$IV$65536";
        QTest::newRow("double letters") << "ER1" << true << "$ER$1";
        QTest::newRow("past last row") << "A65537" << false << "";
        QTest::newRow("past last column") << "IW1" << false << "";
        QTest::newRow("row zero") << "A0" << false << "";
        QTest::newRow("lone column") << "A" << false << "";
        QTest::newRow("mixed") << "A1:3" << false << "";
        QTest::newRow("empty") << "" << false << "";
        QTest::newRow("garbage") << "B2x" << false << "";
    }
    void a1References()
    {
        QFETCH(QString, ref);
        QFETCH(bool, ok);
        QFETCH(QString, address);
        if (!ok) {
            QVERIFY_THROWS_EXCEPTION(HostError, sheet_->range(ref));
            return;
        }
        QCOMPARE(sheet_->range(ref).address(), address);
    }

    void columnLettersAndOffsets()
    {
        QCOMPARE(columnLetters(1), QStringLiteral("A"));
        QCOMPARE(columnLetters(26), QStringLiteral("Z"));
        QCOMPARE(columnLetters(27), QStringLiteral("AA"));
        QCOMPARE(columnLetters(148), QStringLiteral("ER"));
        QCOMPARE(columnLetters(256), QStringLiteral("IV"));
        const Range b2 = sheet_->range(QStringLiteral("B2"));
        QCOMPARE(b2.offset(3, 1).address(), QStringLiteral("$C$5"));
        QCOMPARE(b2.cells(1, 1).address(), QStringLiteral("$B$2"));
        QCOMPARE(b2.cells(2, 3).address(), QStringLiteral("$D$3"));
        QCOMPARE(b2.resize(1, 12).address(), QStringLiteral("$B$2:$M$2"));
        QCOMPARE(b2.entireRow().address(), QStringLiteral("$2:$2"));
        QVERIFY_THROWS_EXCEPTION(HostError, b2.offset(-2, 0));
        QVERIFY_THROWS_EXCEPTION(HostError, b2.offset(0, 255));
    }

    void walkDown()
    {
        // A list with a gap: the walk stops at the first empty cell.
        fill(10, {1, 2, 3, 5});
        QCOMPARE(sheet_->walkDown(QStringLiteral("J1")), (std::vector<int>{1, 2, 3}));
        QCOMPARE(sheet_->walkDown(QStringLiteral("J2")), (std::vector<int>{2, 3}));
        QCOMPARE(sheet_->walkDown(QStringLiteral("J5")), (std::vector<int>{5})); // one entry, End goes to 65536
        QCOMPARE(sheet_->walkDown(QStringLiteral("J4")), std::vector<int>{});    // empty start
        QCOMPARE(sheet_->walkDown(4, 10), std::vector<int>{});
        QCOMPARE(sheet_->walkDown(QStringLiteral("K1")), std::vector<int>{});
        // A full column down to the last row.
        sheet_->range(QStringLiteral("L65533:L65536")).setValue(1);
        QCOMPARE(sheet_->walkDown(QStringLiteral("L65535")), (std::vector<int>{65535, 65536}));
        QCOMPARE(sheet_->walkDown(65533, 12), (std::vector<int>{65533, 65534, 65535, 65536}));
        QCOMPARE(sheet_->walkDown(65536, 12), (std::vector<int>{65536}));
    }

    void findIdentifierMatchesNumbersStoredAsText()
    {
        sheet_->range(QStringLiteral("A2")).setValue(101);
        sheet_->range(QStringLiteral("A3")).setValue(QStringLiteral("012"));
        sheet_->range(QStringLiteral("A4")).setValue(QStringLiteral(" 7 "));
        sheet_->range(QStringLiteral("A5")).setValue(12);
        sheet_->range(QStringLiteral("A7")).setValue(99); // after the gap
        QCOMPARE(sheet_->findIdentifier(1, 12), 3);
        QCOMPARE(sheet_->findIdentifier(1, 7), 4);
        QCOMPARE(sheet_->findIdentifier(1, 101), 2);
        QCOMPARE(sheet_->findIdentifier(1, 99), 0);
        QCOMPARE(sheet_->findIdentifier(1, 12, 4), 5);
    }

    void identifierRule_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("number");
        QTest::newRow("double") << QVariant(12.0) << true << 12.0;
        QTest::newRow("int") << QVariant(7) << true << 7.0;
        QTest::newRow("leading zero") << QVariant(QStringLiteral("012")) << true << 12.0;
        QTest::newRow("blanks") << QVariant(QStringLiteral(" 12 ")) << true << 12.0;
        QTest::newRow("italian decimal") << QVariant(QStringLiteral("12,0")) << true << 12.0;
        QTest::newRow("word") << QVariant(QStringLiteral("dodici")) << false << 0.0;
        QTest::newRow("number then word") << QVariant(QStringLiteral("12 bis")) << false << 0.0;
        QTest::newRow("empty text") << QVariant(QString()) << false << 0.0;
        QTest::newRow("invalid") << QVariant() << false << 0.0;
        QTest::newRow("boolean") << QVariant(true) << false << 0.0;
    }
    void identifierRule()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, isNumber);
        QFETCH(double, number);
        const auto id = toIdentifier(value);
        QCOMPARE(id.has_value(), isNumber);
        if (isNumber) {
            QCOMPARE(*id, number);
            QVERIFY(sameIdentifier(value, number));
            QVERIFY(!sameIdentifier(value, number + 1));
        }
    }

    // What a value written becomes: its kind, what is read back, the text shown
    // (Italian separators and dates) and the date it stands for, if any.
    void valuesKeepTheirKindAndShowItalianTexts_data()
    {
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QString>("format"); // empty: none set
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");
        const QString none;
        QTest::newRow("postal code") << QVariant(u"00184"_s) << none << QVariant(u"00184"_s) << u"00184"_s << QDate();
        QTest::newRow("date as text") << QVariant(u"12/10/08"_s) << none << QVariant(u"12/10/08"_s) << u"12/10/08"_s
                                      << QDate(2008, 10, 12);
        QTest::newRow("no such day") << QVariant(u"31/02/2008"_s) << none << QVariant(u"31/02/2008"_s)
                                     << u"31/02/2008"_s << QDate();
        QTest::newRow("exponent as text") << QVariant(u"1e3"_s) << none << QVariant(u"1e3"_s) << u"1e3"_s << QDate();
        QTest::newRow("number") << QVariant(42) << none << QVariant(42.0) << u"42"_s << QDate(1900, 2, 11);
        QTest::newRow("fraction") << QVariant(0.5) << none << QVariant(0.5) << u"0,5"_s << QDate();
        QTest::newRow("amount") << QVariant(1234.5) << u"#,##0.00"_s << QVariant(1234.5) << u"1.234,50"_s
                                << QDate(1903, 5, 18);
        QTest::newRow("date") << QVariant(QDate(2025, 12, 6)) << none << QVariant(45997.0) << u"06/12/2025"_s
                              << QDate(2025, 12, 6);
        QTest::newRow("boolean") << QVariant(true) << none << QVariant(true) << u"VERO"_s << QDate();
    }
    void valuesKeepTheirKindAndShowItalianTexts()
    {
        QFETCH(QVariant, input);
        QFETCH(QString, format);
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        Range cell = sheet_->range(u"B2"_s);
        cell.setValue(input);
        if (!format.isEmpty())
            cell.setNumberFormat(format);
        QCOMPARE(cell.value().typeId(), value.typeId());
        QCOMPARE(cell.value(), value);
        QCOMPARE(cell.text(), text);
        QCOMPARE(cell.date(), date);
    }

    void emptyCellsAndBlocks()
    {
        // Empty cells read as empty text; an empty text empties the cell.
        QCOMPARE(v(QStringLiteral("Z99")).typeId(), int(QMetaType::QString));
        QVERIFY(v(QStringLiteral("Z99")).toString().isEmpty());
        QVERIFY(sheet_->range(QStringLiteral("Z99")).isEmpty());
        sheet_->range(QStringLiteral("A4")).setValue(42);
        sheet_->range(QStringLiteral("A4")).setValue(QString());
        QVERIFY(sheet_->range(QStringLiteral("A4")).isEmpty());
        // A block takes the value in every cell.
        sheet_->range(QStringLiteral("C1:D2")).setValue(QStringLiteral("x"));
        QCOMPARE(v(QStringLiteral("D2")).toString(), QStringLiteral("x"));
    }

    void clearContentsKeepsFormatsClearRemovesThem()
    {
        Range a = sheet_->range(QStringLiteral("A1"));
        a.setValue(1234.5);
        a.setNumberFormat(QStringLiteral("#,##0.00"));
        a.clearContents();
        QVERIFY(a.isEmpty());
        a.setValue(1234.5);
        QCOMPARE(a.text(), QStringLiteral("1.234,50"));
        a.clear();
        QVERIFY(a.isEmpty());
        a.setValue(1234.5);
        QCOMPARE(a.text(), QStringLiteral("1234,5"));
        // Clear on every cell of the sheet empties it.
        sheet_->range(QStringLiteral("C3")).setValue(QStringLiteral("x"));
        sheet_->allCells().clear();
        QVERIFY(sheet_->range(QStringLiteral("A1")).isEmpty());
        QVERIFY(sheet_->range(QStringLiteral("C3")).isEmpty());
    }

    void wholeColumnNumberFormatAppliesToLaterValues()
    {
        sheet_->range(QStringLiteral("D:D")).setNumberFormat(QStringLiteral("#,##0.00"));
        sheet_->range(QStringLiteral("D7")).setValue(2);
        QCOMPARE(sheet_->range(QStringLiteral("D7")).text(), QStringLiteral("2,00"));
        QCOMPARE(sheet_->range(QStringLiteral("E7")).text(), QString());
    }

    void rowDeleteInsertCopyPaste()
    {
        for (int r = 1; r <= 5; ++r) {
            sheet_->cells(r, 1).setValue(r);
            sheet_->cells(r, 2).setValue(QStringLiteral("riga %1").arg(r));
        }
        sheet_->range(QStringLiteral("A2:M2")).deleteEntireRow();
        QCOMPARE(v(QStringLiteral("A2")).toDouble(), 3.0);
        QCOMPARE(v(QStringLiteral("B4")).toString(), QStringLiteral("riga 5"));
        QVERIFY(sheet_->range(QStringLiteral("A5")).isEmpty());

        sheet_->rows(2, 3).insertEntireRow();
        QVERIFY(sheet_->range(QStringLiteral("A2")).isEmpty());
        QCOMPARE(v(QStringLiteral("A4")).toDouble(), 3.0);

        sheet_->pasteRow(*sheet_, 1, 3);
        QCOMPARE(v(QStringLiteral("B3")).toString(), QStringLiteral("riga 1"));
        QCOMPARE(v(QStringLiteral("A4")).toDouble(), 3.0);

        // Another sheet of the same workbook.
        Sheet* other = book_->addSheet(QStringLiteral("Storico"));
        other->pasteRow(*sheet_, 4, 2);
        QCOMPARE(other->range(QStringLiteral("A2")).value().toDouble(), 3.0);
        QCOMPARE(other->range(QStringLiteral("B2")).value().toString(), QStringLiteral("riga 3"));
        QVERIFY(book_->modified());
    }

    void deleteShiftUpMovesOnlyItsColumn()
    {
        fill(2, {2, 3, 4, 5});
        sheet_->range(QStringLiteral("C3")).setValue(QStringLiteral("fermo"));
        sheet_->range(QStringLiteral("B3")).deleteShiftUp();
        QCOMPARE(v(QStringLiteral("B3")).toDouble(), 4.0);
        QCOMPARE(v(QStringLiteral("B4")).toDouble(), 5.0);
        QVERIFY(sheet_->range(QStringLiteral("B5")).isEmpty());
        QCOMPARE(v(QStringLiteral("C3")).toString(), QStringLiteral("fermo"));
    }

    void pasteRowBetweenWorkbooks()
    {
        Book* other = host_->create(dir_.filePath(QStringLiteral("Altro.xls")), QString());
        Sheet* src = other->addSheet(QStringLiteral("Origine"));
        // Different string pools: the indexes of the source mean other texts in the target.
        sheet_->range(QStringLiteral("A1")).setValue(QStringLiteral("già nel bersaglio"));
        src->range(QStringLiteral("Z1")).setValue(QStringLiteral("solo nell'origine 1"));
        src->range(QStringLiteral("Z2")).setValue(QStringLiteral("solo nell'origine 2"));
        src->range(QStringLiteral("A3")).setValue(QStringLiteral("Verdi Anna"));
        src->range(QStringLiteral("B3")).setValue(QDate(2026, 1, 15));
        src->range(QStringLiteral("C3")).setValue(99.5);
        src->range(QStringLiteral("C3")).setNumberFormat(QStringLiteral("#,##0.00 \"€\""));

        sheet_->pasteRow(*src, 3, 2);
        host_->close(other); // the target must not depend on the source any more
        QCOMPARE(v(QStringLiteral("A2")).toString(), QStringLiteral("Verdi Anna"));
        QCOMPARE(v(QStringLiteral("A1")).toString(), QStringLiteral("già nel bersaglio"));
        QCOMPARE(sheet_->range(QStringLiteral("B2")).text(), QStringLiteral("15/01/2026"));
        QCOMPARE(sheet_->range(QStringLiteral("C2")).text(), QStringLiteral("99,50 €"));
    }

    void sortNumbersBeforeTextsBlanksLast()
    {
        // A heading, then mixed keys with a blank among them.
        const QVariantList keys{QStringLiteral("Numero"), 30, QStringLiteral("beta"), QString(), 4,
                                QStringLiteral("Alfa"),   100};
        for (int i = 0; i < keys.size(); ++i) {
            sheet_->cells(i + 1, 1).setValue(keys[i]);
            sheet_->cells(i + 1, 2).setValue(i + 1); // follows its row
        }
        sheet_->range(QStringLiteral("A1:B7")).sort(1, true, SortHeader::Guess);
        QCOMPARE(v(QStringLiteral("A1")).toString(), QStringLiteral("Numero"));
        QCOMPARE(v(QStringLiteral("A2")).toDouble(), 4.0);
        QCOMPARE(v(QStringLiteral("A3")).toDouble(), 30.0);
        QCOMPARE(v(QStringLiteral("A4")).toDouble(), 100.0);
        QCOMPARE(v(QStringLiteral("A5")).toString(), QStringLiteral("Alfa"));
        QCOMPARE(v(QStringLiteral("A6")).toString(), QStringLiteral("beta"));
        QVERIFY(sheet_->range(QStringLiteral("A7")).isEmpty());
        QCOMPARE(v(QStringLiteral("B2")).toDouble(), 5.0);
        QCOMPARE(v(QStringLiteral("B7")).toDouble(), 4.0);

        // Descending: blanks still last.
        sheet_->range(QStringLiteral("A2:B7")).sort(1, false, SortHeader::No);
        QCOMPARE(v(QStringLiteral("A2")).toString(), QStringLiteral("beta"));
        QCOMPARE(v(QStringLiteral("A4")).toDouble(), 100.0);
        QVERIFY(sheet_->range(QStringLiteral("A7")).isEmpty());
    }

    void sortGuessesNoHeaderOverNumbers()
    {
        // Released client numbers: the emptied cell goes to the end, every number is sorted.
        fill(5, {2, 3});
        sheet_->range(QStringLiteral("E2")).setValue(9);
        sheet_->range(QStringLiteral("E3")).clearContents();
        sheet_->range(QStringLiteral("E4")).setValue(1);
        sheet_->range(QStringLiteral("E2:E1000")).sort(5, true, SortHeader::Guess);
        QCOMPARE(v(QStringLiteral("E2")).toDouble(), 1.0);
        QCOMPARE(v(QStringLiteral("E3")).toDouble(), 9.0);
        QVERIFY(sheet_->range(QStringLiteral("E4")).isEmpty());
        // Texts over texts: no heading either.
        sheet_->range(QStringLiteral("F1")).setValue(QStringLiteral("zeta"));
        sheet_->range(QStringLiteral("F2")).setValue(QStringLiteral("alfa"));
        sheet_->range(QStringLiteral("F1:F2")).sort(6);
        QCOMPARE(v(QStringLiteral("F1")).toString(), QStringLiteral("alfa"));
        QVERIFY_THROWS_EXCEPTION(HostError, sheet_->range(QStringLiteral("F1:F2")).sort(7));
    }

    void sheetsByName()
    {
        QCOMPARE(book_->sheet(QStringLiteral("Dati")), sheet_);
        QCOMPARE(book_->sheet(QStringLiteral("dati")), sheet_);
        QVERIFY(book_->sheetOrNull(QStringLiteral("Clienti")) == nullptr);
        try {
            book_->sheet(QStringLiteral("Clienti"));
            QFAIL("no error for a missing sheet");
        } catch (const HostError& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("Il foglio \"Clienti\" non esiste nella cartella di lavoro Prova.xls."));
        }
        QVERIFY_THROWS_EXCEPTION(HostError, book_->addSheet(QStringLiteral("Dati")));
        QCOMPARE(book_->sheetNames(), QStringList{QStringLiteral("Dati")});
        sheet_->setVisible(false);
        QVERIFY(!sheet_->visible());
        QCOMPARE(ModelAccess::worksheet(*sheet_).visibility, gp::sheet::Visibility::Hidden);
        sheet_->setVisible(true);
        QVERIFY(sheet_->visible());
    }

    void workbooksOfTheHost()
    {
        QCOMPARE(host_->activeWorkbook(), book_);
        QCOMPARE(host_->workbook(QStringLiteral("prova.xls")), book_);
        QVERIFY(host_->workbook(QStringLiteral("Dorvessa.xls")) == nullptr);
        Book* second = host_->create(dir_.filePath(QStringLiteral("Dorvessa.xls")), QString());
        QCOMPARE(host_->activeWorkbook(), second);
        QCOMPARE(host_->workbooks().size(), size_t(2));
        host_->close(second);
        QCOMPARE(host_->activeWorkbook(), book_);
        QVERIFY_THROWS_EXCEPTION(HostError, host_->create(dir_.filePath(QStringLiteral("Prova.xls")), QString()));
    }

    void printingGoesToTheBackendOrIsRecorded()
    {
        QCOMPARE(sheet_->hPageBreaksCount(), 0);
        sheet_->printOut({2, 3, 1, QString()});
        QCOMPARE(host_->recordedPrints.size(), size_t(1));
        QCOMPARE(host_->recordedPrints[0].sheet, QStringLiteral("Dati"));
        QCOMPARE(host_->recordedPrints[0].request.from, 2);

        auto printer = std::make_shared<FakePrinter>();
        host_->setPrintBackend(printer);
        QCOMPARE(sheet_->hPageBreaksCount(), 3);
        sheet_->printOut({1, 4, 2, QString()});
        QCOMPARE(printer->printed, QStringList{QStringLiteral("Dati 1-4 x2")});
        QCOMPARE(host_->recordedPrints.size(), size_t(1));
    }

    void pageSetupAndPanes()
    {
        ModelAccess::workbook(*book_).modified = false;
        sheet_->pageSetup().portrait = false;
        QVERIFY(book_->modified());
        sheet_->setPrintArea(QStringLiteral("A1:G40"));
        QVERIFY(ModelAccess::worksheet(*sheet_).pageSetup.printAreaChanged);
        QCOMPARE(ModelAccess::worksheet(*sheet_).pageSetup.printArea->lastRow, 39);
        sheet_->setScrollArea(QStringLiteral("A1:M200"));
        QCOMPARE(sheet_->scrollArea(), QStringLiteral("$A$1:$M$200"));
        sheet_->setScrollArea(QString());
        QVERIFY(sheet_->scrollArea().isEmpty());
        sheet_->freezePanes(1, 0);
        QCOMPARE(ModelAccess::worksheet(*sheet_).frozenRows, 1);
    }

    void fontSizeAndAutoFit()
    {
        sheet_->range(QStringLiteral("A1")).setValue(QStringLiteral("un testo piuttosto lungo"));
        sheet_->range(QStringLiteral("A1")).setNumberFormat(QStringLiteral("@"));
        sheet_->range(QStringLiteral("A1:A2")).setFontSize(14);
        const auto& wb = ModelAccess::workbook(*book_);
        const uint16_t xf = ModelAccess::worksheet(*sheet_).cell(0, 0).xf;
        QCOMPARE(wb.fonts[wb.formats[xf].fontIndex].heightTwips, uint16_t(280));
        QCOMPARE(wb.numberFormatOfXf(xf), std::string("@")); // the number format stays
        const uint16_t before = ModelAccess::worksheet(*sheet_).columnWidth(0);
        sheet_->range(QStringLiteral("A:A")).autoFitColumns();
        QVERIFY(ModelAccess::worksheet(*sheet_).columnWidth(0) > before);
    }
};

QTEST_GUILESS_MAIN(TestHost)
#include "test_host.moc"
