// The printer form "Stampa" on the real deadline workbook, the client list
// printing and the printing of the expense query result, with the boxes
// answered by the test and the PDF files read back with poppler-utils.
#include "common/modal.h"
#include "common/practice.h"
#include "core/host/model_access.h"
#include "core/ui/message_box.h"
#include "printing/print_support.h"
#include "printing/register_forms.h"
#include "printing/stampa.h"
#include "printing/stampa_spese.h"
#include "support_pdf.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <memory>

using namespace gp;
using namespace gp::printing;

namespace {

// The printing forms, both workbooks open as the launcher leaves them, and
// the PDF printer answered with pdf().
struct Env : TestPractice {
    SheetPrinter* printer = nullptr;
    int asked = 0;

    bool start()
    {
        fixClock(QDateTime(QDate(2026, 12, 25), QTime(10, 15, 30)));
        registerForms(ctx);
        printer = sheetPrinter(ctx);
        if (!openFixture())
            return false;
        host->open(ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword);
        answerPdfPath(printer, pdf(), &asked);
        return true;
    }
    QString pdf() const { return dir.filePath(QStringLiteral("stampa.pdf")); }
    host::Sheet* agenda() { return ctx.deadlines()->sheet(QStringLiteral("Dorvessa")); }
    const sheet::PageSetup& agendaSetup() { return host::ModelAccess::worksheet(*agenda()).pageSetup; }
    double workCell(const char* address) { return agenda()->range(QString::fromLatin1(address)).value().toDouble(); }
    // Stampa shown, the PDF printer chosen, "Seleziona" pressed.
    void printAgenda()
    {
        nav->show(Stampa::kName);
        control<QComboBox>(Stampa::kName, "Combo1")->setEditText(kPdfPrinter);
        QTest::mouseClick(control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
    }
};

QString pageQuestion(int page, int pages)
{
    return QStringLiteral("Vuoi Procedere alla stampa   ?  Pagine     %1    di    %2").arg(page).arg(pages);
}

const QString kPortraitQuestion = QStringLiteral(
    " Vuoi la Stampa Verticale ?.........................................................");

// A long object and a long note with line breaks in the agenda's first event.
void setLongTexts(host::Sheet* sheet)
{
    sheet->cells(2, 4).setValue(QStringLiteral("PRATICA 149 — RICCI FRANCESCO E FIGLI SOCIETÀ IN NOME COLLETTIVO"));
    sheet->cells(2, 5).setValue(QStringLiteral("DEPOSITARE LA MEMORIA DI REPLICA ENTRO LE DODICI PRESSO LA "
                                               "CANCELLERIA CIVILE DEL TRIBUNALE ORDINARIO\nSECONDA RIGA: AVVISARE "
                                               "IL CLIENTE PER TELEFONO\nTERZA RIGA FINALE"));
}

// The first page holds every heading (no column went to pages across) and the
// words of the long texts: the printout fits the columns to the page and wraps
// them at any zoom (the runs use 110 and 120: a fitting that forgot the zoom
// would overflow there).
void checkWholeColumns(const QString& pdf)
{
    const QString first = pdfText(pdf, 1, 1).simplified();
    QCOMPARE(missingFrom(first, {"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo"}), QString());
    const QString words = QStringLiteral("DEPOSITARE LA MEMORIA DI REPLICA TRIBUNALE ORDINARIO SECONDA RIGA: AVVISARE "
                                         "IL CLIENTE TERZA RIGA FINALE SOCIETÀ IN NOME COLLETTIVO");
    QCOMPARE(missingFrom(first, words.split(u' ')), QString());
}

} // namespace

class TestPrintingForms : public QObject {
    Q_OBJECT
    std::unique_ptr<Env> env_;
private slots:
    void init()
    {
        env_ = std::make_unique<Env>();
        SKIP_WITHOUT_FIXTURE(env_->start());
    }

    void cleanup() { env_.reset(); }

    // The printers, the prompt and the default; "Sì" with the prompt still in the
    // box is a printer that does not exist, "No" on a real one does nothing: the
    // work cells and the page setup stay untouched. Nothing prints.
    void stampaLoadsPrintersAndPrintsNothingUnasked()
    {
        ui::FormBase* form = env_->nav->show(Stampa::kName);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Seleziona Stampante"));
        auto* combo = env_->control<QComboBox>(Stampa::kName, "Combo1");
        QCOMPARE(combo->currentText(), QStringLiteral("Seleziona la stampante"));
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, printerNames());
        QCOMPARE(env_->control<QLabel>(Stampa::kName, "Label1")->text(),
                 QStringLiteral("La stampante predefinita è: \n") + currentPrinter());

        ModalAnswerer boxes;
        boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
        QTest::mouseClick(env_->control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
        QCOMPARE(int(boxes.seen().size()), 2);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........Seleziona la stampante"));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral(" Stampa Clienti"));
        QVERIFY(boxes.seen()[1].text.contains(QStringLiteral("\"Seleziona la stampante\" non esiste")));
        QCOMPARE(boxes.seen()[1].icon, QMessageBox::Warning);

        boxes.clear();
        boxes.press(QStringLiteral("No"));
        env_->printAgenda();
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........PDF"));
        QVERIFY(env_->agenda()->range(QStringLiteral("AZ1")).isEmpty());
        QVERIFY(!env_->agendaSetup().printArea);
        QVERIFY(env_->nav->isLoaded(Stampa::kName));

        // The zoom cancelled keeps the sheet's; the run goes on to "No" at page 1.
        env_->agenda()->pageSetup().zoom = 80;
        env_->agenda()->pageSetup().fitToPages = false;
        boxes.clear();
        boxes.press(QStringLiteral("Sì")).cancel().press(QStringLiteral("Sì")).press(QStringLiteral("No"));
        env_->printAgenda();
        QCOMPARE(int(boxes.seen().size()), 4);
        QCOMPARE(boxes.seen()[2].text, kPortraitQuestion);
        QCOMPARE(boxes.seen()[3].text, pageQuestion(1, int(env_->workCell("AV1"))));
        QCOMPARE(env_->agendaSetup().zoom, uint16_t(80));
        QVERIFY(!env_->agendaSetup().fitToPages);
        QCOMPARE(env_->workCell("AZ1"), 110.0);
        QCOMPARE(env_->asked, 0); // nothing printed
    }

    void stampaWholeRunPortrait()
    {
        SKIP_WITHOUT_POPPLER();
        host::Sheet* sheet = env_->agenda();
        sheet->range(QStringLiteral("AU1")).setValue(QStringLiteral("vecchio"));
        sheet->range(QStringLiteral("AW1")).setValue(QStringLiteral("CELLA DI LAVORO"));
        setLongTexts(sheet);

        ModalAnswerer boxes;
        boxes
            .press(QStringLiteral("Sì")) // Stampo ?
            .type(QStringLiteral("abc")) // not a number: refused, asked again
            .press(QStringLiteral("OK"))
            .type(QStringLiteral("401")) // out of range: refused
            .press(QStringLiteral("OK"))
            .type(QStringLiteral(" 110 ")) // accepted
            .press(QStringLiteral("Sì"));  // portrait
        for (int p = 0; p < 6; ++p)
            boxes.press(QStringLiteral("Sì")); // every page (the notes' lines make more than one)
        env_->printAgenda();

        const int pages = int(env_->workCell("AV1"));
        QVERIFY(pages >= 1 && pages <= 6);
        const auto& seen = boxes.seen();
        QCOMPARE(int(seen.size()), 7 + pages);
        QCOMPARE(seen[1].text,
                 QStringLiteral("Digita la percentuale di Zoom della Stampa 80-90-100.................."));
        QCOMPARE(seen[1].title, QStringLiteral("Gestione....................."));
        QCOMPARE(seen[1].defaultText, QStringLiteral("110"));
        QCOMPARE(seen[2].text, QStringLiteral("La percentuale di Zoom deve essere un numero intero da 10 a 400."));
        QCOMPARE(seen[6].text, kPortraitQuestion);
        QCOMPARE(seen[6].title, ui::kAppTitle);
        QCOMPARE(seen[7].text, pageQuestion(1, pages));
        QCOMPARE(seen[7].title, QStringLiteral("Stampa Risultato "));
        for (int i : {0, 6, 7}) // "Stampo ?", the orientation, the page: Enter says "Sì"
            QCOMPARE(seen[i].defaultButton, QStringLiteral("Sì"));

        // Work cells, print area A1:F21 (20 events under the headings), page setup.
        QCOMPARE(env_->workCell("AZ1"), 110.0);
        QCOMPARE(env_->workCell("AU1"), double(pages));
        const sheet::PageSetup& ps = env_->agendaSetup();
        QCOMPARE(ps.printArea, std::optional(sheet::CellRange{0, 20, 0, 5}));
        QCOMPARE(QString::fromStdString(ps.header), QStringLiteral("&C Stampa Elenco   ------ del     25/12/2026"));
        QCOMPARE(ps.zoom, uint16_t(110));
        QVERIFY(!ps.fitToPages);
        QVERIFY(ps.portrait);
        QCOMPARE(ps.leftMargin, 0.21);
        QCOMPARE(ps.topMargin, 0.5);
        // The workbook keeps the widths it had: the fitting was the printed copy's.
        QCOMPARE(env_->printer->renderOptions().fitColumnsToPage, false);

        // The complete run unloads the form; the PDF holds every page.
        QTRY_VERIFY(!env_->nav->isLoaded(Stampa::kName));
        QCOMPARE(env_->asked, 1);
        QCOMPARE(pageShapes(env_->pdf()), QString(pages, u'P'));
        const QString text = pdfText(env_->pdf());
        QCOMPARE(missingFrom(text, {"Stampa Elenco ------ del 25/12/2026", "SCADENZA FISCALE", "17/01/2027", "394,12"}),
                 QString());
        QVERIFY(!text.contains(QStringLiteral("colonna G")));       // column G is outside the area
        QVERIFY(!text.contains(QStringLiteral("CELLA DI LAVORO"))); // nor the cells beside the work cells
        checkWholeColumns(env_->pdf());
    }

    void stampaNoAtSecondPageLandscape()
    {
        SKIP_WITHOUT_POPPLER();
        host::Sheet* sheet = env_->agenda();
        setLongTexts(sheet);
        for (int r = 22; r <= 141; ++r) { // 120 more events: several pages
            sheet->cells(r, 1).setValue(double(r - 1));
            sheet->cells(r, 2).setValue(QDate(2027, 5, 1).addDays(r));
            sheet->cells(r, 3).setValue(QStringLiteral("EVENTO %1").arg(r - 1));
        }
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("Sì")).type(QStringLiteral("120")).press(QStringLiteral("No")); // landscape
        boxes.press(QStringLiteral("Sì")).press(QStringLiteral("No"));                             // page 1, not page 2
        env_->printAgenda();

        const int pages = int(env_->workCell("AV1")); // as the form counted them
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QCOMPARE(int(boxes.seen().size()), 5);
        QCOMPARE(boxes.seen()[3].text, pageQuestion(1, pages));
        QCOMPARE(boxes.seen()[4].text, pageQuestion(2, pages));
        const sheet::PageSetup& ps = env_->agendaSetup();
        QCOMPARE(QString::fromStdString(ps.header), QStringLiteral("&C Stampa Elenco ------ del     25/12/2026"));
        QVERIFY(!ps.portrait);
        QCOMPARE(ps.zoom, uint16_t(120));
        QCOMPARE(*ps.printArea, (sheet::CellRange{0, 140, 0, 5}));
        QCOMPARE(env_->workCell("AU1"), 2.0);
        QVERIFY(env_->nav->isLoaded(Stampa::kName)); // stays for another try

        // Only page 1 was printed, landscape, with the first rows and not the last.
        QCOMPARE(pageShapes(env_->pdf()), QStringLiteral("L"));
        const QString text = pdfText(env_->pdf());
        QVERIFY(text.contains(QStringLiteral("SCADENZA FISCALE")));
        QVERIFY(!text.contains(QStringLiteral("EVENTO 140")));
        checkWholeColumns(env_->pdf());

        // The whole list printed in one run: one file with every page.
        boxes.clear();
        boxes.press(QStringLiteral("Sì")).type(QStringLiteral("120")).press(QStringLiteral("No"));
        for (int p = 1; p <= pages; ++p)
            boxes.press(QStringLiteral("Sì"));
        env_->printAgenda();
        QCOMPARE(int(boxes.seen().size()), 3 + pages);
        QCOMPARE(pageShapes(env_->pdf()), QString(pages, u'L'));
        QVERIFY(pdfText(env_->pdf(), pages, pages).contains(QStringLiteral("EVENTO 140")));
        QCOMPARE(env_->asked, 2); // once per run
        QTRY_VERIFY(!env_->nav->isLoaded(Stampa::kName));
    }

    void clientListOneLandscapePage()
    {
        SKIP_WITHOUT_POPPLER();
        if (!systemDefaultPrinter().isEmpty())
            QSKIP("this system has a default printer: the client list would go to it");
        host::Sheet* clients = env_->ctx.practice()->sheet(QStringLiteral("Clienti"));
        const auto formats = [&] {
            std::vector<uint16_t> xfs;
            for (int r = 0; r < 25; ++r)
                for (int c = 0; c < 17; ++c)
                    xfs.push_back(host::ModelAccess::worksheet(*clients).cell(r, c).xf);
            return xfs;
        };
        const std::vector<uint16_t> before = formats();
        const size_t fonts = host::ModelAccess::workbook(*env_->ctx.practice()).fonts.size();

        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        QVERIFY(printClientList(env_->ctx, nullptr));
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Anagrafica 2008"));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::NoIcon);

        const sheet::PageSetup& ps = host::ModelAccess::worksheet(*clients).pageSetup;
        QCOMPARE(*ps.printArea, (sheet::CellRange{0, 24, 0, 16})); // A1:Q25
        QCOMPARE(ps.zoom, uint16_t(70));
        QVERIFY(!ps.portrait);
        QCOMPARE(QString::fromStdString(ps.header),
                 QStringLiteral("&CStampa  Elenco Clienti ..............  25/12/2026 10:15:30"));
        // The 8 points were the printed copy's: the workbook's formats are as they were.
        QCOMPARE(formats(), before);
        QCOMPARE(host::ModelAccess::workbook(*env_->ctx.practice()).fonts.size(), fonts);
        QCOMPARE(env_->printer->renderOptions().fontPoints, 0.0);

        const PdfInfo info = pdfInfo(env_->pdf());
        QCOMPARE(info.pages, 1);
        QVERIFY(qAbs(info.sizes[0].width() - 841.89) < 1.0); // A4 across
        QCOMPARE(missingFrom(pdfText(env_->pdf()),
                             {"Stampa Elenco Clienti .............. 25/12/2026 10:15:30", clients->cells(2, 2).text(),
                              clients->cells(25, 2).text()}),
                 QString());
    }

    // The statement says when it was printed and, once told, whose expenses they
    // are; long descriptions and the dates print whole, the balance below; an
    // empty result prints nothing.
    void expenseStatementNamesItsClientWholeColumns()
    {
        SKIP_WITHOUT_POPPLER();
        host::Sheet* s = env_->ctx.practice()->sheet(QStringLiteral("S"));
        const QStringList headings{"N/Pratica",  "ID Oper", "Data",      "Descrizione",
                                   "Tipo Spesa", "Importo", "IVA/Esente"};
        for (int c = 0; c < 7; ++c)
            s->cells(1, c + 1).setValue(headings[c]);
        const QString longText = QStringLiteral("NOTIFICA DELL'ATTO DI CITAZIONE A MEZZO UFFICIALE GIUDIZIARIO "
                                                "PRESSO LA CORTE D'APPELLO DI ROMA");
        for (int r = 2; r <= 4; ++r) {
            s->cells(r, 1).setValue(101.0);
            s->cells(r, 2).setValue(double(r));
            s->cells(r, 3).setValue(QDate(2026, 11, 20 + r));
            s->cells(r, 4).setValue(r == 3 ? longText : QStringLiteral("MARCA DA BOLLO"));
            s->cells(r, 5).setValue(QStringLiteral("ANTICIPAZIONE"));
            s->cells(r, 6).setValue(1350.5);
            s->cells(r, 7).setValue(QStringLiteral("ESENTE"));
        }
        ModalAnswerer boxes;
        // The one box the printing shows; the text printed, simplified.
        const auto print = [&](const QString& subject, const QString& balance) {
            printExpenseResult(env_->ctx, nullptr, balance);
            auto* form = qobject_cast<StampaSpese*>(env_->nav->form(StampaSpese::kName));
            if (!form || !form->isVisible())
                return QStringLiteral("the form is not shown");
            if (!subject.isEmpty())
                form->setSubject(subject);
            form->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentText(kPdfPrinter);
            boxes.clear();
            boxes.press(QStringLiteral("OK"));
            QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
            return boxes.seen().size() == 1 ? boxes.seen()[0].text : QStringLiteral("not one box");
        };
        QCOMPARE(print(QString(), QStringLiteral("37,50")), QStringLiteral("Stampa  Eseguita"));
        QTRY_VERIFY(!env_->nav->isLoaded(StampaSpese::kName));
        QCOMPARE(pdfInfo(env_->pdf()).pages, 1);
        QCOMPARE(missingFrom(
                     pdfText(env_->pdf()).simplified(),
                     {"Interrogazione Spese del 25/12/2026 - Pagina 1 di 1", "Saldo Scheda................ € 37,50"}),
                 QString());

        QCOMPARE(print(QStringLiteral("Cliente ROSSI MARIO n. 24"), QStringLiteral("4.051,50")),
                 QStringLiteral("Stampa  Eseguita"));
        const QStringList expected{"Interrogazione Spese del 25/12/2026 - Cliente ROSSI MARIO n. 24 - Pagina 1 di 1",
                                   "22/11/2026", "24/11/2026", "Saldo Scheda................ € 4.051,50"};
        QCOMPARE(missingFrom(pdfText(env_->pdf()).simplified(), expected + headings + longText.split(u' ')), QString());

        // An empty result says so and prints nothing.
        s->allCells().clear();
        QVERIFY(print(QString(), QStringLiteral("0")).startsWith(QStringLiteral("Nessun risultato da stampare")));
        QCOMPARE(env_->asked, 2);
    }
};

QTEST_MAIN(TestPrintingForms)
#include "test_printing_forms.moc"
