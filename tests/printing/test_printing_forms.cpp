// The printer form "Stampa" on the real deadline workbook, the client list
// printing and the printing of the expense query result, with the boxes
// answered by the test and the PDF files read back with poppler-utils.
#include "common/modal.h"
#include "common/practice.h"
#include "core/host/model_access.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "printing/print_support.h"
#include "printing/register_forms.h"
#include "printing/stampa.h"
#include "printing/stampa_spese.h"
#include "support_pdf.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace gp;
using namespace gp::printing;

namespace {

// The bench with the printing forms, both workbooks open as the launcher
// leaves them, and the PDF printer answered with pdf().
struct Env : TestPractice {
    SheetPrinter* printer = nullptr;
    int asked = 0;

    bool start()
    {
        if (qEnvironmentVariableIsSet("GP_KEEP_PRINTS")) { // to look at the pages by hand
            dir.setAutoRemove(false);
            qInfo("prints kept in %s", qPrintable(dir.path()));
        }
        registerForms(ctx);
        printer = sheetPrinter(ctx);
        if (!openFixture())
            return false;
        host->open(ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword); // as the launcher does
        answerPdfPath(printer, pdf(), &asked);
        return true;
    }
    QString pdf() const { return dir.filePath(QStringLiteral("stampa.pdf")); }
    host::Sheet* agenda() { return ctx.deadlines()->sheet(QStringLiteral("Dorvessa")); }
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

const QString kZoomPrompt = QStringLiteral("Digita la percentuale di Zoom della Stampa 80-90-100..................");
const QString kPortraitQuestion = QStringLiteral(
    " Vuoi la Stampa Verticale ?.........................................................");

} // namespace

class TestPrintingForms : public QObject {
    Q_OBJECT
    std::unique_ptr<Env> bench_;
private slots:
    void init()
    {
        ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(10, 15, 30)));
        bench_ = std::make_unique<Env>();
        SKIP_WITHOUT_FIXTURE(bench_->start());
    }
    void cleanup()
    {
        bench_.reset();
        ui::Clock::clear();
    }

    void stampaLoadsPrinters();
    void stampaWholeRunPortrait();
    void stampaNoAtSecondPageLandscape();
    void stampaZoomCancelledKeepsPrevious();
    void stampaWrongPrinterSaysSo();
    void clientListOneLandscapePage();
    void deadlineListEveryColumnAndWholeNotes_data();
    void deadlineListEveryColumnAndWholeNotes();
    void expenseStatementNamesItsClientWholeColumns();
};

void TestPrintingForms::stampaLoadsPrinters()
{
    auto& env = *bench_;
    ui::FormBase* form = env.nav->show(Stampa::kName);
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("Seleziona Stampante"));
    auto* combo = env.control<QComboBox>(Stampa::kName, "Combo1");
    QCOMPARE(combo->currentText(), QStringLiteral("Seleziona la stampante"));
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, printerNames());
    QCOMPARE(env.control<QLabel>(Stampa::kName, "Label1")->text(),
             QStringLiteral("La stampante predefinita è: \n") + currentPrinter());
    QCOMPARE(env.control<QPushButton>(Stampa::kName, "Command1")->text(), QStringLiteral("Seleziona"));

    // "No" to the confirmation: nothing happens, not even the work cells.
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("No"));
    combo->setEditText(kPdfPrinter);
    QTest::mouseClick(env.control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........PDF"));
    QCOMPARE(boxes.seen()[0].title, QStringLiteral(" Stampa Clienti"));
    QVERIFY(env.agenda()->range(QStringLiteral("AZ1")).isEmpty());
    QVERIFY(env.nav->isLoaded(Stampa::kName));
}

void TestPrintingForms::stampaWholeRunPortrait()
{
    SKIP_WITHOUT_POPPLER();
    auto& env = *bench_;
    host::Sheet* sheet = env.agenda();
    sheet->range(QStringLiteral("AU1")).setValue(QStringLiteral("vecchio"));
    sheet->range(QStringLiteral("AW1")).setValue(QStringLiteral("CELLA DI LAVORO"));

    ModalAnswerer boxes;
    boxes
        .press(QStringLiteral("Sì")) // Stampo ?
        .type(QStringLiteral("abc")) // not a number: refused, asked again
        .press(QStringLiteral("OK"))
        .type(QStringLiteral("401")) // out of range: refused
        .press(QStringLiteral("OK"))
        .type(QStringLiteral(" 100 ")) // accepted
        .press(QStringLiteral("Sì"));  // portrait
    for (int p = 0; p < 4; ++p)
        boxes.press(QStringLiteral("Sì")); // every page (the notes' lines make more than one)
    env.printAgenda();

    const int pages = int(sheet->range(QStringLiteral("AV1")).value().toDouble());
    QVERIFY(pages >= 1 && pages <= 4);
    const auto& seen = boxes.seen();
    QCOMPARE(int(seen.size()), 7 + pages);
    QCOMPARE(seen[1].kind, QStringLiteral("input"));
    QCOMPARE(seen[1].text, kZoomPrompt);
    QCOMPARE(seen[1].title, QStringLiteral("Gestione....................."));
    QCOMPARE(seen[1].defaultText, QStringLiteral("110"));
    QCOMPARE(seen[2].text, QStringLiteral("La percentuale di Zoom deve essere un numero intero da 10 a 400."));
    QCOMPARE(seen[3].kind, QStringLiteral("input"));
    QCOMPARE(seen[5].kind, QStringLiteral("input"));
    QCOMPARE(seen[6].text, kPortraitQuestion);
    QCOMPARE(seen[6].title, ui::kAppTitle);
    QCOMPARE(seen[7].text, pageQuestion(1, pages));
    QCOMPARE(seen[7].title, QStringLiteral("Stampa Risultato "));
    for (const SeenBox& b : seen)
        QVERIFY(!b.unplanned);

    // Work cells, print area A1:F21 (20 events under the headings), page setup.
    QCOMPARE(sheet->range(QStringLiteral("AZ1")).value().toDouble(), 110.0);
    QCOMPARE(sheet->range(QStringLiteral("AU1")).value().toDouble(), double(pages));
    const sheet::PageSetup& ps = host::ModelAccess::worksheet(*sheet).pageSetup;
    QVERIFY(ps.printArea);
    QCOMPARE(*ps.printArea, (sheet::CellRange{0, 20, 0, 5}));
    QCOMPARE(QString::fromStdString(ps.header), QStringLiteral("&C Stampa Elenco   ------ del     25/12/2026"));
    QCOMPARE(ps.zoom, uint16_t(100));
    QVERIFY(!ps.fitToPages);
    QVERIFY(ps.portrait);
    QCOMPARE(ps.leftMargin, 0.21);
    QCOMPARE(ps.topMargin, 0.5);

    // The complete run unloads the form; the PDF holds every page.
    QTRY_VERIFY(!env.nav->isLoaded(Stampa::kName));
    QCOMPARE(env.asked, 1);
    const PdfInfo info = pdfInfo(env.pdf());
    QCOMPARE(info.pages, pages);
    QVERIFY(info.sizes[0].width() < info.sizes[0].height());
    const QString text = pdfText(env.pdf());
    QVERIFY2(text.contains(QStringLiteral("Stampa Elenco ------ del 25/12/2026")), qPrintable(text.left(300)));
    QVERIFY(text.contains(QStringLiteral("SCADENZA FISCALE")));
    QVERIFY(text.contains(QStringLiteral("17/01/2027")));
    QVERIFY(text.contains(QStringLiteral("394,12")));
    QVERIFY(!text.contains(QStringLiteral("colonna G")));       // column G is outside the area
    QVERIFY(!text.contains(QStringLiteral("CELLA DI LAVORO"))); // nor the cells beside the work cells
}

void TestPrintingForms::stampaNoAtSecondPageLandscape()
{
    SKIP_WITHOUT_POPPLER();
    auto& env = *bench_;
    host::Sheet* sheet = env.agenda();
    // 120 more events: several pages.
    for (int r = 22; r <= 141; ++r) {
        sheet->cells(r, 1).setValue(double(r - 1));
        sheet->cells(r, 2).setValue(QDate(2027, 5, 1).addDays(r));
        sheet->cells(r, 3).setValue(QStringLiteral("EVENTO %1").arg(r - 1));
    }
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("Sì")).type(QStringLiteral("100")).press(QStringLiteral("No")); // landscape
    boxes.press(QStringLiteral("Sì")).press(QStringLiteral("No"));                             // page 1, not page 2
    env.printAgenda();

    const int pages = int(sheet->range(QStringLiteral("AV1")).value().toDouble()); // as the form counted them
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    const auto& seen = boxes.seen();
    QCOMPARE(int(seen.size()), 5);
    QCOMPARE(seen[3].text, pageQuestion(1, pages));
    QCOMPARE(seen[4].text, pageQuestion(2, pages));
    QCOMPARE(QString::fromStdString(host::ModelAccess::worksheet(*sheet).pageSetup.header),
             QStringLiteral("&C Stampa Elenco ------ del     25/12/2026"));
    QVERIFY(!host::ModelAccess::worksheet(*sheet).pageSetup.portrait);
    QCOMPARE(*host::ModelAccess::worksheet(*sheet).pageSetup.printArea, (sheet::CellRange{0, 140, 0, 5}));
    QCOMPARE(sheet->range(QStringLiteral("AU1")).value().toDouble(), 2.0);
    QCOMPARE(sheet->range(QStringLiteral("AV1")).value().toDouble(), double(pages));
    QVERIFY(env.nav->isLoaded(Stampa::kName)); // stays for another try

    // Only page 1 was printed, landscape, with the first rows and not the last.
    const PdfInfo info = pdfInfo(env.pdf());
    QCOMPARE(info.pages, 1);
    QVERIFY(info.sizes[0].width() > info.sizes[0].height());
    const QString text = pdfText(env.pdf());
    QVERIFY(text.contains(QStringLiteral("SCADENZA FISCALE")));
    QVERIFY(!text.contains(QStringLiteral("EVENTO 140")));

    // The whole list printed in one run: one file with every page.
    boxes.clear();
    boxes.press(QStringLiteral("Sì")).type(QStringLiteral("100")).press(QStringLiteral("No"));
    for (int p = 1; p <= pages; ++p)
        boxes.press(QStringLiteral("Sì"));
    env.printAgenda();
    QCOMPARE(int(boxes.seen().size()), 3 + pages);
    QCOMPARE(pdfInfo(env.pdf()).pages, pages);
    QVERIFY(pdfText(env.pdf(), pages, pages).contains(QStringLiteral("EVENTO 140")));
    QCOMPARE(env.asked, 2); // once per run
    QTRY_VERIFY(!env.nav->isLoaded(Stampa::kName));
}

void TestPrintingForms::stampaZoomCancelledKeepsPrevious()
{
    auto& env = *bench_;
    host::Sheet* sheet = env.agenda();
    sheet->pageSetup().zoom = 80;
    sheet->pageSetup().fitToPages = false;
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("Sì")).cancel().press(QStringLiteral("Sì")).press(QStringLiteral("No"));
    env.printAgenda();
    QCOMPARE(int(boxes.seen().size()), 4);
    QCOMPARE(boxes.seen()[2].text, kPortraitQuestion); // the run goes on
    QCOMPARE(boxes.seen()[3].text, pageQuestion(1, int(sheet->range(QStringLiteral("AV1")).value().toDouble())));
    QCOMPARE(host::ModelAccess::worksheet(*sheet).pageSetup.zoom, uint16_t(80));
    QVERIFY(!host::ModelAccess::worksheet(*sheet).pageSetup.fitToPages);
    QCOMPARE(sheet->range(QStringLiteral("AZ1")).value().toDouble(), 110.0);
    QCOMPARE(env.asked, 0); // nothing printed
}

void TestPrintingForms::stampaWrongPrinterSaysSo()
{
    auto& env = *bench_;
    env.nav->show(Stampa::kName);
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 2);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........Seleziona la stampante"));
    QVERIFY(boxes.seen()[1].text.contains(QStringLiteral("\"Seleziona la stampante\" non esiste")));
    QCOMPARE(boxes.seen()[1].icon, QMessageBox::Warning);
    // Nothing was changed and nothing printed.
    QVERIFY(env.agenda()->range(QStringLiteral("AZ1")).isEmpty());
    QVERIFY(!host::ModelAccess::worksheet(*env.agenda()).pageSetup.printArea);
    QCOMPARE(env.asked, 0);
    QVERIFY(env.nav->isLoaded(Stampa::kName));
}

void TestPrintingForms::clientListOneLandscapePage()
{
    SKIP_WITHOUT_POPPLER();
    auto& env = *bench_;
    if (!systemDefaultPrinter().isEmpty())
        QSKIP("this system has a default printer: the client list would go to it");
    host::Sheet* clients = env.ctx.practice()->sheet(QStringLiteral("Clienti"));
    std::vector<uint16_t> xfs;
    for (int r = 0; r < 25; ++r)
        for (int c = 0; c < 17; ++c)
            xfs.push_back(host::ModelAccess::worksheet(*clients).cell(r, c).xf);
    const size_t fonts = host::ModelAccess::workbook(*env.ctx.practice()).fonts.size();

    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    QVERIFY(printClientList(env.ctx, nullptr));
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
    std::vector<uint16_t> after;
    for (int r = 0; r < 25; ++r)
        for (int c = 0; c < 17; ++c)
            after.push_back(host::ModelAccess::worksheet(*clients).cell(r, c).xf);
    QCOMPARE(after, xfs);
    QCOMPARE(host::ModelAccess::workbook(*env.ctx.practice()).fonts.size(), fonts);
    QCOMPARE(env.printer->renderOptions().fontPoints, 0.0);

    const PdfInfo info = pdfInfo(env.pdf());
    QCOMPARE(info.pages, 1);
    QVERIFY(info.sizes[0].width() > info.sizes[0].height());
    QVERIFY(qAbs(info.sizes[0].width() - 841.89) < 1.0);
    const QString text = pdfText(env.pdf());
    QVERIFY(text.contains(QStringLiteral("Stampa Elenco Clienti .............. 25/12/2026 10:15:30")));
    const QString lastClient = clients->range(QStringLiteral("B25")).text();
    QVERIFY2(text.contains(lastClient), qPrintable(lastClient));
    QVERIFY(text.contains(clients->range(QStringLiteral("B2")).text()));
}

void TestPrintingForms::deadlineListEveryColumnAndWholeNotes_data()
{
    QTest::addColumn<bool>("portrait");
    QTest::newRow("A4 verticale") << true;
    QTest::newRow("A4 orizzontale") << false;
}

// At the zoom proposed (110) every column is on the first page, and a long
// note with line breaks prints every line and every word.
void TestPrintingForms::deadlineListEveryColumnAndWholeNotes()
{
    SKIP_WITHOUT_POPPLER();
    QFETCH(bool, portrait);
    auto& env = *bench_;
    host::Sheet* sheet = env.agenda();
    const QString note = QStringLiteral("DEPOSITARE LA MEMORIA DI REPLICA ENTRO LE DODICI PRESSO LA CANCELLERIA "
                                        "CIVILE DEL TRIBUNALE ORDINARIO\nSECONDA RIGA: AVVISARE IL CLIENTE "
                                        "PER TELEFONO\nTERZA RIGA FINALE");
    sheet->cells(2, 4).setValue(QStringLiteral("PRATICA 149 — RICCI FRANCESCO E FIGLI SOCIETÀ IN NOME COLLETTIVO"));
    sheet->cells(2, 5).setValue(note);
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("Sì"))
        .type(QStringLiteral("110"))
        .press(portrait ? QStringLiteral("Sì") : QStringLiteral("No"));
    for (int p = 0; p < 6; ++p)
        boxes.press(QStringLiteral("Sì"));
    env.printAgenda();
    const int pages = int(sheet->range(QStringLiteral("AV1")).value().toDouble());
    QCOMPARE(int(boxes.seen().size()), 3 + pages);
    QCOMPARE(pdfInfo(env.pdf()).pages, pages);
    QCOMPARE(pdfInfo(env.pdf()).sizes[0].width() < pdfInfo(env.pdf()).sizes[0].height(), portrait);

    // The first page holds every heading: no column went to pages across.
    const QString first = pdfText(env.pdf(), 1, 1);
    for (const char* heading : {"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo"})
        QVERIFY2(first.contains(QString::fromUtf8(heading)), heading);
    QVERIFY(first.contains(QStringLiteral("394,12")));
    // Every word of the long note and of the long object, in order.
    const QString all = pdfText(env.pdf()).simplified();
    for (const QString& words :
         {QStringLiteral("DEPOSITARE LA MEMORIA DI REPLICA"), QStringLiteral("TRIBUNALE ORDINARIO"),
          QStringLiteral("SECONDA RIGA: AVVISARE IL CLIENTE"), QStringLiteral("TERZA RIGA FINALE"),
          QStringLiteral("SOCIETÀ IN NOME COLLETTIVO")})
        for (const QString& w : words.split(QLatin1Char(' ')))
            QVERIFY2(all.contains(w), qPrintable(w));
    // The workbook keeps the widths it had: the fitting is the printed copy's.
    QCOMPARE(env.printer->renderOptions().fitColumnsToPage, false);
}

// The statement says when it was printed and, once told, whose expenses they
// are; long descriptions and the dates print whole, the balance below; an
// empty result prints nothing.
void TestPrintingForms::expenseStatementNamesItsClientWholeColumns()
{
    SKIP_WITHOUT_POPPLER();
    auto& env = *bench_;
    host::Sheet* s = env.ctx.practice()->sheet(QStringLiteral("S"));
    const QStringList headings{"N/Pratica", "ID Oper", "Data", "Descrizione", "Tipo Spesa", "Importo", "IVA/Esente"};
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
    const auto print = [&](const QString& subject, const QString& balance) {
        printExpenseResult(env.ctx, nullptr, balance);
        auto* form = qobject_cast<StampaSpese*>(env.nav->form(StampaSpese::kName));
        QVERIFY(form && form->isVisible());
        if (!subject.isEmpty())
            form->setSubject(subject);
        form->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentText(kPdfPrinter);
        boxes.clear();
        boxes.press(QStringLiteral("OK"));
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(int(boxes.seen().size()), 1);
    };
    print(QString(), QStringLiteral("37,50"));
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));
    QTRY_VERIFY(!env.nav->isLoaded(StampaSpese::kName));
    QCOMPARE(pdfInfo(env.pdf()).pages, 1);
    QVERIFY(pdfText(env.pdf()).simplified().contains(
        QStringLiteral("Interrogazione Spese del 25/12/2026 - Pagina 1 di 1")));
    QVERIFY(pdfText(env.pdf()).simplified().contains(QStringLiteral("Saldo Scheda................ € 37,50")));

    print(QStringLiteral("Cliente ROSSI MARIO n. 24"), QStringLiteral("4.051,50"));
    const QString text = pdfText(env.pdf()).simplified();
    QVERIFY2(text.contains(
                 QStringLiteral("Interrogazione Spese del 25/12/2026 - Cliente ROSSI MARIO n. 24 - Pagina 1 di 1")),
             qPrintable(text.left(200)));
    for (const QString& h : headings)
        QVERIFY2(text.contains(h), qPrintable(h));
    for (const QString& w : longText.split(QLatin1Char(' ')))
        QVERIFY2(text.contains(w), qPrintable(w));
    QVERIFY(text.contains(QStringLiteral("22/11/2026")));
    QVERIFY(text.contains(QStringLiteral("24/11/2026")));
    QVERIFY(text.contains(QStringLiteral("Saldo Scheda................ € 4.051,50")));

    // An empty result says so and prints nothing.
    s->allCells().clear();
    print(QString(), QStringLiteral("0"));
    QVERIFY(boxes.seen()[0].text.startsWith(QStringLiteral("Nessun risultato da stampare")));
    QCOMPARE(env.asked, 2);
}

QTEST_MAIN(TestPrintingForms)
#include "test_printing_forms.moc"
