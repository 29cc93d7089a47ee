// Printing through a real print service: a private cupsd (support_cups.h)
// with the cups-pdf queue "Ufficio". The deadline list, the client register,
// the expense statement and the instructions are printed through their forms
// and read back from the PDF that the queue writes for each job: its page
// count, orientation and text. Then the failures of a queue: stopped,
// refusing jobs, removed after it was chosen; and the PDF writer's name beside
// a queue called "PDF".
#include "app/program.h"
#include "clients/anagrafe.h"
#include "common/modal.h"
#include "common/practice.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "instructions/istruzioni.h"
#include "printing/print_queue.h"
#include "printing/print_support.h"
#include "printing/stampa.h"
#include "printing/stampa_spese.h"
#include "support_cups.h"
#include "support_pdf.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace gp;
using namespace gp::printing;

namespace {

const QString kQueue = QStringLiteral("Ufficio");

// The bench with every form, both workbooks open as the launcher leaves them;
// the PDF writer is never the target here.
struct Env : TestPractice {
    SheetPrinter* printer = nullptr;

    bool start()
    {
        registerAll();
        printer = sheetPrinter(ctx);
        if (!openFixture())
            return false;
        host->open(ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword); // as the launcher does
        // Asking for a file fails the test.
        printer->setPdfPathProvider([](QWidget*) {
            qWarning("the PDF writer was asked for a file");
            return QString();
        });
        return true;
    }
    host::Sheet* agenda() { return ctx.deadlines()->sheet(QStringLiteral("Dorvessa")); }
    // 120 more events under the fixture's 20: several pages.
    void longerAgenda()
    {
        host::Sheet* sheet = agenda();
        for (int r = 22; r <= 141; ++r) {
            sheet->cells(r, 1).setValue(double(r - 1));
            sheet->cells(r, 2).setValue(QDate(2027, 5, 1).addDays(r));
            sheet->cells(r, 3).setValue(QStringLiteral("EVENTO %1").arg(r - 1));
        }
    }
    // The answers to a Stampa run: confirmed, zoom 100, the orientation, then
    // "Sì" to the first `yesPages` page questions.
    static void planStampa(ModalAnswerer& boxes, bool portrait, int yesPages)
    {
        boxes.press(QStringLiteral("Sì"))
            .type(QStringLiteral("100"))
            .press(portrait ? QStringLiteral("Sì") : QStringLiteral("No"));
        for (int p = 0; p < yesPages; ++p)
            boxes.press(QStringLiteral("Sì"));
    }
    // Opens Stampa, chooses `printer` and presses "Seleziona".
    void clickStampa(const QString& queue)
    {
        nav->show(Stampa::kName);
        control<QComboBox>(Stampa::kName, "Combo1")->setEditText(queue);
        QTest::mouseClick(control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
    }
    void runStampa(ModalAnswerer& boxes, const QString& queue, bool portrait, int yesPages)
    {
        planStampa(boxes, portrait, yesPages);
        clickStampa(queue);
    }
};

// Pages of a PDF as they are read. A printer turns a landscape page onto its
// portrait paper: the page is then upright with its text running up the long
// side, or turned by the page's rotation. Either way it reads as landscape.
struct Seen {
    int pages = -1;
    QList<bool> landscape;
};

Seen seenPages(const QString& pdf)
{
    Seen seen;
    const QString info = runTool(
        QStringLiteral("pdfinfo"),
        {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("9999"), pdf});
    const auto pages
        = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption).match(info);
    if (!pages.hasMatch())
        return seen;
    seen.pages = pages.captured(1).toInt();
    QList<bool> turned;
    const QRegularExpression rot(QStringLiteral("^Page\\s+\\d+ rot:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    for (auto it = rot.globalMatch(info); it.hasNext();)
        turned << (it.next().captured(1).toInt() % 180 == 90);

    // Word boxes: most words taller than wide means text running up the page.
    const QString boxes = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                                 "yMax=\"([\\d.]+)\">([^<]{3,})</word>"));
    bool wide = false;
    int up = 0, across = 0;
    const auto close = [&] {
        const int i = int(seen.landscape.size());
        seen.landscape << ((wide != (up > across)) != (i < turned.size() && turned[i]));
    };
    bool open = false;
    for (const QString& line : boxes.split(u'\n')) {
        if (const auto m = page.match(line); m.hasMatch()) {
            if (open)
                close();
            open = true;
            wide = m.captured(1).toDouble() > m.captured(2).toDouble();
            up = across = 0;
        } else if (const auto w = word.match(line); w.hasMatch()) {
            const double width = w.captured(3).toDouble() - w.captured(1).toDouble();
            const double height = w.captured(4).toDouble() - w.captured(2).toDouble();
            ++(height > width ? up : across);
        }
    }
    if (open)
        close();
    return seen;
}

QString onlyJob(const SheetPrinter* printer, const QString& queue)
{
    if (printer->lastJobs().size() != 1 || printer->lastJobs()[0].first != queue)
        return QString();
    return QString::number(printer->lastJobs()[0].second);
}

} // namespace

class TestCupsPrinting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { cups_.stop(); }
    void init();
    void cleanup()
    {
        bench_.reset();
        ui::Clock::clear();
    }

    void deadlineListPortrait();
    void deadlineListLandscapeRangeAndCopies();
    void clientRegister();
    void expenseStatement();
    void instructions();
    void stoppedQueue();
    void queueRemovedAfterChoice();
    void pdfWriterBesideQueueCalledPdf();

private:
    // The PDF of the one job the last run sent to `queue`, waited for.
    QString arrived(const SheetPrinter* printer, const QString& queue = kQueue)
    {
        const QString id = onlyJob(printer, queue);
        return id.isEmpty() ? QString() : cups_.waitForJob(id.toInt());
    }
    CupsFixture cups_;
    std::unique_ptr<Env> bench_;
};

void TestCupsPrinting::initTestCase()
{
    const QString why = CupsFixture::unavailableReason();
    if (!why.isEmpty())
        QSKIP(qPrintable(why));
    if (!havePoppler())
        QSKIP("poppler-utils (pdfinfo, pdftotext) are not installed");
    QString error;
    QVERIFY2(cups_.start(&error), qPrintable(error));
}

void TestCupsPrinting::init()
{
    ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(10, 15, 30)));
    QVERIFY2(cups_.readyQueue(kQueue), qPrintable(cups_.lastError()));
    bench_ = std::make_unique<Env>();
    SKIP_WITHOUT_FIXTURE(bench_->start());
}

// The queues are listed, the service's default first; the deadline list reaches it.
void TestCupsPrinting::deadlineListPortrait()
{
    auto& env = *bench_;
    QCOMPARE(printerNames(), (QStringList{kQueue, kPdfPrinter}));
    QCOMPARE(currentPrinter(), kQueue);
    env.nav->show(Stampa::kName);
    QCOMPARE(env.control<QComboBox>(Stampa::kName, "Combo1")->count(), 2);
    QCOMPARE(env.control<QComboBox>(Stampa::kName, "Combo1")->itemText(0), kQueue);
    QCOMPARE(env.control<QLabel>(Stampa::kName, "Label1")->text(),
             QStringLiteral("La stampante predefinita è: \nUfficio"));
    const QueueState state = queueState(kQueue);
    QVERIFY(state.reachable && state.found && state.accepting && !state.stopped);
    QVERIFY(!queueState(QStringLiteral("Nessuna")).found);
    ModalAnswerer boxes;
    env.runStampa(boxes, kQueue, true, 1);
    QCOMPARE(int(boxes.seen().size()), 4);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........Ufficio"));
    for (const SeenBox& b : boxes.seen())
        QVERIFY2(!b.unplanned, qPrintable(b.text));
    QTRY_VERIFY(!env.nav->isLoaded(Stampa::kName));

    const QString pdf = arrived(env.printer);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    const Seen seen = seenPages(pdf);
    QCOMPARE(seen.pages, 1);
    QCOMPARE(seen.landscape, QList<bool>{false});
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Stampa Elenco ------ del 25/12/2026")), qPrintable(text.left(300)));
    QVERIFY2(text.contains(QStringLiteral("1 17/01/2027 SCADENZA")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("394,12")));
}

void TestCupsPrinting::deadlineListLandscapeRangeAndCopies()
{
    auto& env = *bench_;
    env.longerAgenda();
    host::Sheet* sheet = env.agenda();

    // Landscape, every page in one run: one job with all of them.
    ModalAnswerer boxes;
    env.runStampa(boxes, kQueue, false, 20);
    // The page count the form worked with (its printout fits the columns to the page).
    const int pages = int(sheet->range(QStringLiteral("AV1")).value().toDouble());
    QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
    QCOMPARE(int(boxes.seen().size()), 3 + pages);
    boxes.clear();
    QTRY_VERIFY(!env.nav->isLoaded(Stampa::kName));
    QString pdf = arrived(env.printer);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    Seen seen = seenPages(pdf);
    QCOMPARE(seen.pages, pages);
    QCOMPARE(seen.landscape, QList<bool>(pages, true));
    QVERIFY(pdfText(pdf, 1, 1).contains(QStringLiteral("Stampa Elenco ------ del 25/12/2026")));
    QVERIFY(pdfText(pdf, 1, 1).contains(QStringLiteral("17/01/2027")));
    QVERIFY(pdfText(pdf, pages, pages).contains(QStringLiteral("EVENTO 140")));

    // Pages 2 to 3 in two copies, collated, as the sheet's PrintOut gives them.
    {
        PrintRun run(env.printer);
        sheet->printOut({2, 3, 2, kQueue});
        run.finish();
    }
    pdf = arrived(env.printer);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    seen = seenPages(pdf);
    QCOMPARE(seen.pages, 4);
    QCOMPARE(seen.landscape, QList<bool>(4, true));
    const QString second = pdfText(pdf, 1, 1), third = pdfText(pdf, 2, 2);
    QVERIFY(!second.contains(QStringLiteral("17/01/2027"))); // page 1 is not in the range
    QVERIFY(second != third);
    QCOMPARE(pdfText(pdf, 3, 3), second);
    QCOMPARE(pdfText(pdf, 4, 4), third);
}

void TestCupsPrinting::clientRegister()
{
    auto& env = *bench_;
    host::Sheet* clients = env.ctx.practice()->sheet(QStringLiteral("Clienti"));
    ui::FormBase* form = env.nav->show(clients::Anagrafe::kName);
    QVERIFY(form);
    auto* print = form->findChild<QAction*>(QStringLiteral("MnStampa"));
    QVERIFY(print);
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    print->trigger();
    QVERIFY(boxes.waitForBoxes(1));
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));
    QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Anagrafica 2008"));

    const QString pdf = arrived(env.printer);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    const Seen seen = seenPages(pdf);
    QCOMPARE(seen.pages, 1);
    QCOMPARE(seen.landscape, QList<bool>{true});
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Stampa Elenco Clienti .............. 25/12/2026 10:15:30")),
             qPrintable(text.left(300)));
    QVERIFY(text.contains(clients->range(QStringLiteral("B2")).text()));
    QVERIFY(text.contains(clients->range(QStringLiteral("B25")).text()));
}

// A queue that refuses jobs says so and the form stays; accepting again, the
// same form prints the statement with its balance.
void TestCupsPrinting::expenseStatement()
{
    auto& env = *bench_;
    host::Sheet* s = env.ctx.practice()->sheet(QStringLiteral("S"));
    const QStringList headings{"Pratica", "ID Oper", "Data", "Descrizione", "Tipo Spesa", "Importo", "IVA/Esente"};
    for (int c = 0; c < 7; ++c)
        s->cells(1, c + 1).setValue(headings[c]);
    for (int r = 2; r <= 4; ++r) {
        s->cells(r, 1).setValue(101.0);
        s->cells(r, 2).setValue(double(r));
        s->cells(r, 3).setValue(QDate(2026, 3, r));
        s->cells(r, 4).setValue(QStringLiteral("SPESA DI PROVA %1").arg(r));
        s->cells(r, 6).setValue(QStringLiteral("12,50"));
    }
    QVERIFY2(cups_.rejectQueue(kQueue, QStringLiteral("In manutenzione")), qPrintable(cups_.lastError()));
    const int jobs = cups_.newestJob();
    printExpenseResult(env.ctx, nullptr, QStringLiteral("37,50"));
    auto* combo = env.control<QComboBox>(StampaSpese::kName, "Combo1");
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), kQueue); // the default printer is proposed
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(StampaSpese::kName, "Command1"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].text,
             QStringLiteral("La stampante \"Ufficio\" non accetta stampe (In manutenzione). "
                            "Non è stato stampato nulla."));
    QVERIFY(env.nav->isLoaded(StampaSpese::kName)); // stays for another printer
    QCOMPARE(env.printer->renderOptions().trailingLines.size(), 0);
    QCOMPARE(cups_.newestJob(), jobs);

    QVERIFY2(cups_.readyQueue(kQueue), qPrintable(cups_.lastError()));
    boxes.clear();
    boxes.press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(StampaSpese::kName, "Command1"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));
    QTRY_VERIFY(!env.nav->isLoaded(StampaSpese::kName));

    const QString pdf = arrived(env.printer);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    const Seen seen = seenPages(pdf);
    QCOMPARE(seen.pages, 1);
    QCOMPARE(seen.landscape, QList<bool>{false});
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("SPESA DI PROVA 4")));
    QVERIFY(text.contains(QStringLiteral("Saldo Scheda................ € 37,50")));
    QVERIFY(text.contains(QStringLiteral("Interrogazione Spese del 25/12/2026 - Pagina 1 di 1")));
}

void TestCupsPrinting::instructions()
{
    auto& env = *bench_;
    ui::FormBase* form = env.nav->show(instructions::Istruzioni::kName);
    QVERIFY(form);
    const int before = cups_.newestJob();
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(instructions::Istruzioni::kName, "Command2"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 1); // "Vuoi  procedere alla Stampa ", and no failure after it
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Vuoi  procedere alla Stampa "));

    // The form does not say which job it sent: the service's newest one.
    QTRY_VERIFY(cups_.newestJob() > before);
    const QString pdf = cups_.waitForJob(cups_.newestJob());
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    const Seen seen = seenPages(pdf);
    QVERIFY(seen.pages >= 1);
    QVERIFY(!seen.landscape.contains(true));
    const QString text = pdfText(pdf).simplified();
    QVERIFY2(text.contains(QStringLiteral("Istruzioni Progetto Pratica")), qPrintable(text.left(300)));
    QFile file(env.ctx.path(QStringLiteral("Istruzioni.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    // The first words of the file's first non-empty line are printed.
    QString first;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!(first = QString::fromLatin1(line).simplified()).isEmpty())
            break;
    QVERIFY(text.contains(first.section(u' ', 0, 2)));
}

void TestCupsPrinting::stoppedQueue()
{
    auto& env = *bench_;
    env.longerAgenda();
    QVERIFY2(cups_.stopQueue(kQueue, QStringLiteral("Toner esaurito")), qPrintable(cups_.lastError()));
    const int jobs = cups_.newestJob();
    const QString expected = QStringLiteral(
        "La stampante \"Ufficio\" è ferma (Toner esaurito). Non è stato stampato nulla.");

    // The deadline list: the failure comes at the first page; the run ends,
    // the form stays, the work cells say which page was being offered.
    ModalAnswerer boxes;
    Env::planStampa(boxes, true, 1);
    boxes.press(QStringLiteral("OK"));
    env.clickStampa(kQueue);
    QCOMPARE(boxes.seen()[4].text, expected);
    QCOMPARE(boxes.seen()[4].icon, QMessageBox::Critical);
    QCOMPARE(int(boxes.seen().size()), 5); // no further page question
    QVERIFY(env.nav->isLoaded(Stampa::kName));
    host::Sheet* sheet = env.agenda();
    QCOMPARE(sheet->range(QStringLiteral("AZ1")).value().toDouble(), 110.0);
    QCOMPARE(sheet->range(QStringLiteral("AU1")).value().toDouble(), 1.0);
    QVERIFY(sheet->range(QStringLiteral("AV1")).value().toDouble() > 1.0); // the longer agenda's pages
    QVERIFY(env.printer->lastJobs().isEmpty());

    // The client register: no "Stampa  Eseguita".
    boxes.clear();
    boxes.press(QStringLiteral("OK"));
    QVERIFY(!printClientList(env.ctx, nullptr));
    QCOMPARE(int(boxes.seen().size()), 1);
    QCOMPARE(boxes.seen()[0].text, expected);

    // The instructions.
    env.nav->show(instructions::Istruzioni::kName);
    boxes.clear();
    boxes.press(QStringLiteral("OK")).press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(instructions::Istruzioni::kName, "Command2"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 2);
    QCOMPARE(boxes.seen()[1].text, expected);

    QCOMPARE(cups_.newestJob(), jobs); // nothing reached the queue

    // Stopped without a text of the administrator: the state reasons, in words.
    QVERIFY2(cups_.readyQueue(kQueue) && cups_.stopQueue(kQueue, QString()), qPrintable(cups_.lastError()));
    QString message;
    try {
        checkQueue(kQueue);
    } catch (const host::HostError& e) {
        message = e.message();
    }
    QCOMPARE(message,
             QStringLiteral("La stampante \"Ufficio\" è ferma (sospesa dall'amministratore). "
                            "Non è stato stampato nulla."));
}

void TestCupsPrinting::queueRemovedAfterChoice()
{
    auto& env = *bench_;
    const QString other = QStringLiteral("Ufficio2");
    QVERIFY2(cups_.addQueue(other), qPrintable(cups_.lastError()));
    const int jobs = cups_.newestJob();

    // Chosen in the form, removed before "Seleziona": nothing changes.
    env.nav->show(Stampa::kName);
    auto* combo = env.control<QComboBox>(Stampa::kName, "Combo1");
    QVERIFY(combo->findText(other) >= 0);
    combo->setCurrentIndex(combo->findText(other));
    QVERIFY2(cups_.removeQueue(other), qPrintable(cups_.lastError()));
    ModalAnswerer boxes;
    boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
    QTest::mouseClick(env.control<QPushButton>(Stampa::kName, "Command1"), Qt::LeftButton);
    QCOMPARE(int(boxes.seen().size()), 2);
    QVERIFY2(boxes.seen()[1].text.contains(QStringLiteral("\"Ufficio2\"")), qPrintable(boxes.seen()[1].text));
    QVERIFY(env.agenda()->range(QStringLiteral("AZ1")).isEmpty());

    // Removed while a run is open on it (the page questions of the deadline
    // list): the run's end reports it and sends nothing.
    QVERIFY2(cups_.addQueue(other), qPrintable(cups_.lastError()));
    host::Sheet* sheet = env.agenda();
    QString error;
    {
        PrintRun run(env.printer);
        sheet->printOut({1, 1, 1, other});
        QVERIFY2(cups_.removeQueue(other), qPrintable(cups_.lastError()));
        try {
            run.finish();
        } catch (const host::HostError& e) {
            error = e.message();
        }
    }
    QCOMPARE(error,
             QStringLiteral("La stampante \"Ufficio2\" non è più installata nel sistema: sceglierne un'altra "
                            "dall'elenco delle stampanti. Non è stato stampato nulla."));
    QVERIFY(env.printer->lastJobs().isEmpty());
    QCOMPARE(cups_.newestJob(), jobs);
}

void TestCupsPrinting::pdfWriterBesideQueueCalledPdf()
{
    auto& env = *bench_;
    QVERIFY2(cups_.addQueue(kPdfPrinter), qPrintable(cups_.lastError()));
    struct Drop {
        CupsFixture& cups;
        ~Drop() { cups.removeQueue(kPdfPrinter); }
    } drop{cups_};
    QCOMPARE(pdfPrinterName(), kPdfFilePrinter);
    const QStringList names = printerNames();
    QCOMPARE(names.size(), 3);
    QVERIFY(names.contains(kPdfPrinter));
    QCOMPARE(names.last(), QStringLiteral("File PDF"));
    QVERIFY(printerExists(QStringLiteral("File PDF")));

    // "File PDF" writes the file the user names; the message shows that name.
    const QString file = env.dir.filePath(QStringLiteral("scadenze.pdf"));
    answerPdfPath(env.printer, file);
    ModalAnswerer boxes;
    env.runStampa(boxes, kPdfFilePrinter, true, 1);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........File PDF"));
    QCOMPARE(int(boxes.seen().size()), 4);
    QCOMPARE(pdfInfo(file).pages, 1);
    QVERIFY(env.printer->lastJobs().isEmpty());

    // "PDF" is the system's queue.
    boxes.clear();
    env.runStampa(boxes, kPdfPrinter, true, 1);
    QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........PDF"));
    const QString pdf = arrived(env.printer, kPdfPrinter);
    QVERIFY2(!pdf.isEmpty(), "the job did not arrive");
    QVERIFY(pdfText(pdf).contains(QStringLiteral("17/01/2027")));
}

QTEST_MAIN(TestCupsPrinting)
#include "test_cups_printing.moc"
