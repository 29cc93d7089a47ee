// Printing through a real print service: a private cupsd (support_cups.h) with
// the cups-pdf queue "Ufficio". Each form's job is read back from the PDF the
// queue writes; then a queue stopped, refusing jobs, removed after it was chosen.
#include "clients/anagrafe.h"
#include "common/modal.h"
#include "common/practice.h"
#include "instructions/istruzioni.h"
#include "printing/print_queue.h"
#include "printing/print_support.h"
#include "printing/stampa.h"
#include "printing/stampa_spese.h"
#include "support_cups.h"
#include "support_pdf.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <memory>

using namespace gp;
using namespace gp::printing;
using instructions::Istruzioni;

namespace {

const QString kQueue = QStringLiteral("Ufficio");

// Every form, both workbooks open as the launcher leaves them; the PDF writer
// is never the target here.
struct Env : TestPractice {
    SheetPrinter* printer = nullptr;

    bool start()
    {
        fixClock(QDateTime(QDate(2026, 12, 25), QTime(10, 15, 30)));
        registerAll();
        printer = sheetPrinter(ctx);
        if (!openFixture())
            return false;
        host->open(ctx.path(ui::kDeadlineFile), ui::kDeadlinePassword);
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
        for (int r = 22; r <= 141; ++r) {
            agenda()->cells(r, 1).setValue(double(r - 1));
            agenda()->cells(r, 2).setValue(QDate(2027, 5, 1).addDays(r));
            agenda()->cells(r, 3).setValue(QStringLiteral("EVENTO %1").arg(r - 1));
        }
    }

    // Stampa on `queue`: confirmed, zoom 100, the orientation, "Sì" to the
    // first `yesPages` page questions, then `last` when given.
    void runStampa(ModalAnswerer& boxes, const QString& queue, bool portrait, int yesPages, const QString& last = {})
    {
        boxes.press(QStringLiteral("Sì")).type(QStringLiteral("100")).press(portrait ? "Sì" : "No");
        for (int p = 0; p < yesPages; ++p)
            boxes.press(QStringLiteral("Sì"));
        if (!last.isEmpty())
            boxes.press(last);
        nav->show(Stampa::kName);
        control<QComboBox>(Stampa::kName, "Combo1")->setEditText(queue);
        click(Stampa::kName, "Command1");
    }

    void click(const QString& form, const char* button)
    {
        QTest::mouseClick(control<QPushButton>(form, button), Qt::LeftButton);
    }
};

} // namespace

class TestCupsPrinting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString why = CupsFixture::unavailableReason();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        SKIP_WITHOUT_POPPLER();
        QString error;
        QVERIFY2(cups_.start(&error), qPrintable(error));
    }

    void cleanupTestCase() { cups_.stop(); }

    void init()
    {
        QVERIFY2(cups_.readyQueue(kQueue), qPrintable(cups_.lastError()));
        env_ = std::make_unique<Env>();
        SKIP_WITHOUT_FIXTURE(env_->start());
    }

    void cleanup() { env_.reset(); }

    void deadlineListLandscapeRangeAndCopies()
    {
        env_->longerAgenda();
        host::Sheet* sheet = env_->agenda();

        // Landscape, every page in one run: one job with all of them, as many as
        // the form counted.
        ModalAnswerer boxes;
        env_->runStampa(boxes, kQueue, false, 20);
        const int pages = int(sheet->range(QStringLiteral("AV1")).value().toDouble());
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        QCOMPARE(int(boxes.seen().size()), 3 + pages);
        boxes.clear();
        QTRY_VERIFY(!env_->nav->isLoaded(Stampa::kName));
        QString pdf = arrived(env_->printer);
        QCOMPARE(pageShapes(pdf), QString(pages, u'L'));
        QCOMPARE(missingFrom(pdfText(pdf, 1, 1), {"Stampa Elenco ------ del 25/12/2026", "17/01/2027"}), QString());
        QVERIFY(pdfText(pdf, pages, pages).contains(QStringLiteral("EVENTO 140")));

        // Pages 2 to 3 in two copies, collated, as the sheet's PrintOut gives them.
        PrintRun run(env_->printer);
        sheet->printOut({2, 3, 2, kQueue});
        run.finish();
        pdf = arrived(env_->printer);
        QCOMPARE(pageShapes(pdf), QStringLiteral("LLLL"));
        const QString second = pdfText(pdf, 1, 1), third = pdfText(pdf, 2, 2);
        QVERIFY(!second.contains(QStringLiteral("17/01/2027"))); // page 1 is not in the range
        QVERIFY(second != third);
        QCOMPARE(pdfText(pdf, 3, 3), second);
        QCOMPARE(pdfText(pdf, 4, 4), third);
    }

    void clientRegister()
    {
        ui::FormBase* form = env_->nav->show(clients::Anagrafe::kName);
        auto* print = form ? form->findChild<QAction*>(QStringLiteral("MnStampa")) : nullptr;
        QVERIFY(print);
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        print->trigger();
        QVERIFY(boxes.waitForBoxes(1));
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampa  Eseguita"));

        const QString pdf = arrived(env_->printer);
        QCOMPARE(pageShapes(pdf), QStringLiteral("L"));
        // The register's rows: TestPrintingForms::clientListOneLandscapePage.
        QVERIFY(pdfText(pdf).contains(QStringLiteral("Stampa Elenco Clienti .............. 25/12/2026 10:15:30")));
    }

    // A queue that refuses jobs says so and the form stays; accepting again, the
    // same form prints the statement with its balance.
    void expenseStatement()
    {
        host::Sheet* s = env_->ctx.practice()->sheet(QStringLiteral("S"));
        for (int r = 1; r <= 4; ++r) { // the headings' row and three expenses
            s->cells(r, 1).setValue(r == 1 ? QVariant(QStringLiteral("Pratica")) : QVariant(101.0));
            s->cells(r, 4).setValue(QStringLiteral("SPESA DI PROVA %1").arg(r));
            s->cells(r, 6).setValue(QStringLiteral("12,50"));
        }
        QVERIFY2(cups_.rejectQueue(kQueue, QStringLiteral("In manutenzione")), qPrintable(cups_.lastError()));
        const int jobs = cups_.newestJob();
        printExpenseResult(env_->ctx, nullptr, QStringLiteral("37,50"));
        auto* combo = env_->control<QComboBox>(StampaSpese::kName, "Combo1");
        QVERIFY(combo);
        QCOMPARE(combo->currentText(), kQueue); // the default printer is proposed
        ModalAnswerer boxes;
        const auto print = [&] {
            boxes.clear();
            boxes.press(QStringLiteral("OK"));
            env_->click(StampaSpese::kName, "Command1");
            return boxes.seen().size() == 1 ? boxes.seen()[0].text : QString();
        };
        QCOMPARE(print(),
                 QStringLiteral("La stampante \"Ufficio\" non accetta stampe (In manutenzione). "
                                "Non è stato stampato nulla."));
        QVERIFY(env_->nav->isLoaded(StampaSpese::kName)); // stays for another printer
        QCOMPARE(env_->printer->renderOptions().trailingLines.size(), 0);
        QCOMPARE(cups_.newestJob(), jobs);

        QVERIFY2(cups_.readyQueue(kQueue), qPrintable(cups_.lastError()));
        QCOMPARE(print(), QStringLiteral("Stampa  Eseguita"));
        QTRY_VERIFY(!env_->nav->isLoaded(StampaSpese::kName));
        const QString pdf = arrived(env_->printer);
        QCOMPARE(pageShapes(pdf), QStringLiteral("P"));
        QCOMPARE(missingFrom(pdfText(pdf),
                             {"SPESA DI PROVA 4", "Saldo Scheda................ € 37,50",
                              "Interrogazione Spese del 25/12/2026 - Pagina 1 di 1"}),
                 QString());
    }

    void instructions()
    {
        QVERIFY(env_->nav->show(Istruzioni::kName));
        const int before = cups_.newestJob();
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        env_->click(Istruzioni::kName, "Command2");
        QCOMPARE(int(boxes.seen().size()), 1); // the question, and no failure after it
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Vuoi  procedere alla Stampa "));

        // The form does not say which job it sent: the service's newest one.
        QTRY_VERIFY(cups_.newestJob() > before);
        const QString pdf = cups_.waitForJob(cups_.newestJob());
        const QString shapes = pageShapes(pdf);
        QVERIFY2(!shapes.isEmpty() && !shapes.contains(u'L'), qPrintable(shapes));
        const QString text = pdfText(pdf).simplified();
        QVERIFY2(text.contains(QStringLiteral("Istruzioni Progetto Pratica")), qPrintable(text.left(300)));
        // The first words of the file's first non-empty line are printed.
        const QString file = QString::fromLatin1(gptest::readFile(env_->ctx.path(QStringLiteral("Istruzioni.txt"))));
        const QString firstLine = file.trimmed().section(u'\n', 0, 0).simplified();
        QVERIFY2(!firstLine.isEmpty() && text.contains(firstLine.section(u' ', 0, 2)), qPrintable(firstLine));
    }

    // Each form says the queue is stopped, and nothing reaches it.
    void stoppedQueue()
    {
        env_->longerAgenda();
        QVERIFY2(cups_.stopQueue(kQueue, QStringLiteral("Toner esaurito")), qPrintable(cups_.lastError()));
        const int jobs = cups_.newestJob();
        const QString expected = QStringLiteral(
            "La stampante \"Ufficio\" è ferma (Toner esaurito). Non è stato stampato nulla.");

        // The deadline list: the failure comes at the first page; the run ends,
        // the form stays, the work cells say which page was being offered.
        ModalAnswerer boxes;
        env_->runStampa(boxes, kQueue, true, 1, QStringLiteral("OK"));
        QCOMPARE(int(boxes.seen().size()), 5); // no further page question
        QCOMPARE(boxes.seen()[4].text, expected);
        QCOMPARE(boxes.seen()[4].icon, QMessageBox::Critical);
        QVERIFY(env_->nav->isLoaded(Stampa::kName));
        QCOMPARE(env_->agenda()->range(QStringLiteral("AU1")).value().toDouble(), 1.0);
        QVERIFY(env_->agenda()->range(QStringLiteral("AV1")).value().toDouble() > 1.0); // the longer agenda's pages
        QVERIFY(env_->printer->lastJobs().isEmpty());

        // The client register: no "Stampa  Eseguita".
        boxes.clear();
        boxes.press(QStringLiteral("OK"));
        QVERIFY(!printClientList(env_->ctx, nullptr));
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].text, expected);

        // The instructions.
        env_->nav->show(Istruzioni::kName);
        boxes.clear();
        boxes.press(QStringLiteral("OK")).press(QStringLiteral("OK"));
        env_->click(Istruzioni::kName, "Command2");
        QCOMPARE(int(boxes.seen().size()), 2);
        QCOMPARE(boxes.seen()[1].text, expected);
        QCOMPARE(cups_.newestJob(), jobs);

        // Stopped without a text of the administrator: the state reasons, in words.
        QVERIFY2(cups_.readyQueue(kQueue) && cups_.stopQueue(kQueue, QString()), qPrintable(cups_.lastError()));
        QCOMPARE(gptest::errorOf([] { checkQueue(kQueue); }),
                 QStringLiteral("La stampante \"Ufficio\" è ferma (sospesa dall'amministratore). "
                                "Non è stato stampato nulla."));
    }

    void queueRemovedAfterChoice()
    {
        const QString other = QStringLiteral("Ufficio2");
        QVERIFY2(cups_.addQueue(other), qPrintable(cups_.lastError()));
        const int jobs = cups_.newestJob();

        // Chosen in the form, removed before "Seleziona": nothing changes.
        env_->nav->show(Stampa::kName);
        auto* combo = env_->control<QComboBox>(Stampa::kName, "Combo1");
        QVERIFY(combo->findText(other) >= 0);
        combo->setCurrentIndex(combo->findText(other));
        QVERIFY2(cups_.removeQueue(other), qPrintable(cups_.lastError()));
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("Sì")).press(QStringLiteral("OK"));
        env_->click(Stampa::kName, "Command1");
        QCOMPARE(int(boxes.seen().size()), 2);
        QVERIFY2(boxes.seen()[1].text.contains(QStringLiteral("\"Ufficio2\"")), qPrintable(boxes.seen()[1].text));
        QVERIFY(env_->agenda()->range(QStringLiteral("AZ1")).isEmpty());

        // Removed while a run is open on it (the page questions of the deadline
        // list): the run's end reports it and sends nothing.
        QVERIFY2(cups_.addQueue(other), qPrintable(cups_.lastError()));
        PrintRun run(env_->printer);
        env_->agenda()->printOut({1, 1, 1, other});
        QVERIFY2(cups_.removeQueue(other), qPrintable(cups_.lastError()));
        QCOMPARE(gptest::errorOf([&] { run.finish(); }),
                 QStringLiteral("La stampante \"Ufficio2\" non è più installata nel sistema: sceglierne un'altra "
                                "dall'elenco delle stampanti. Non è stato stampato nulla."));
        QVERIFY(env_->printer->lastJobs().isEmpty());
        QCOMPARE(cups_.newestJob(), jobs);
    }

    // The service's queues, the PDF writer last; beside a queue called "PDF" the
    // writer is "File PDF", and each prints where its name says.
    // (The form lists printerNames() and shows currentPrinter(): TestPrintingForms.)
    void queuesAndPdfWriter()
    {
        QCOMPARE(printerNames(), (QStringList{kQueue, kPdfPrinter}));
        QCOMPARE(currentPrinter(), kQueue);
        const QueueState state = queueState(kQueue);
        QVERIFY(state.reachable && state.found && state.accepting && !state.stopped);
        QVERIFY(!queueState(QStringLiteral("Nessuna")).found);

        QVERIFY2(cups_.addQueue(kPdfPrinter), qPrintable(cups_.lastError()));
        const auto drop = qScopeGuard([this] { cups_.removeQueue(kPdfPrinter); });
        QCOMPARE(pdfPrinterName(), kPdfFilePrinter);
        QCOMPARE(printerNames(), (QStringList{kPdfPrinter, kQueue, QStringLiteral("File PDF")}));
        QVERIFY(printerExists(QStringLiteral("File PDF")));

        // "File PDF" writes the file the user names; the message shows that name.
        const QString file = env_->dir.filePath(QStringLiteral("scadenze.pdf"));
        answerPdfPath(env_->printer, file);
        ModalAnswerer boxes;
        env_->runStampa(boxes, kPdfFilePrinter, true, 1);
        QCOMPARE(int(boxes.seen().size()), 4);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........File PDF"));
        QCOMPARE(pdfInfo(file).pages, 1);
        QVERIFY(env_->printer->lastJobs().isEmpty());

        // "PDF" is the system's queue: the deadline list reaches it, portrait.
        boxes.clear();
        env_->runStampa(boxes, kPdfPrinter, true, 1);
        QCOMPARE(int(boxes.seen().size()), 4);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Stampo ?  dalla Stampante ........PDF"));
        QTRY_VERIFY(!env_->nav->isLoaded(Stampa::kName));
        const QString pdf = arrived(env_->printer, kPdfPrinter);
        QCOMPARE(pageShapes(pdf), QStringLiteral("P"));
        QCOMPARE(missingFrom(pdfText(pdf), {"Stampa Elenco ------ del 25/12/2026", "1 17/01/2027 SCADENZA", "394,12"}),
                 QString());
    }

private:
    // The PDF of the one job the last run sent to `queue`, waited for; empty
    // when there is no such job or it did not arrive.
    QString arrived(const SheetPrinter* printer, const QString& queue = kQueue)
    {
        const auto& jobs = printer->lastJobs();
        return jobs.size() == 1 && jobs[0].first == queue ? cups_.waitForJob(jobs[0].second) : QString();
    }
    CupsFixture cups_;
    std::unique_ptr<Env> env_;
};

QTEST_MAIN(TestCupsPrinting)
#include "test_cups_printing.moc"
