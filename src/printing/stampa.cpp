#include "printing/stampa.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "core/ui/shared_workbook.h"
#include "printing/print_support.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace gp::printing {

using namespace gp::ui;

const QString Stampa::kName = QStringLiteral("Stampa");

namespace {
const QString kSheetName = QStringLiteral("Dorvessa");
const QString kZoomTitle = QStringLiteral("Gestione.....................");
} // namespace

Stampa::Stampa(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(QStringLiteral("Seleziona Stampante"));
    setClientSizeTwips(4920, 2520);
    QWidget* b = body();

    combo1_ = new QComboBox(b);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->setEditable(true);
    combo1_->setInsertPolicy(QComboBox::NoInsert);
    placeTwips(combo1_, 240, 240, 4440, 315);

    label1_ = new QLabel(QStringLiteral("Label1"), b);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setWordWrap(true);
    placeTwips(label1_, 240, 720, 4440, 720);

    command1_ = new QPushButton(QStringLiteral("Seleziona"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 1680, 1680, 1575, 495);
    connect(command1_, &QPushButton::clicked, this, &Stampa::seleziona);

    // Load: the printers in the system's order, the prompt, the default printer.
    combo1_->setUpdatesEnabled(false);
    combo1_->clear();
    combo1_->addItems(printerNames());
    combo1_->setUpdatesEnabled(true);
    combo1_->setCurrentIndex(-1);
    combo1_->setEditText(QStringLiteral("Seleziona la stampante"));
    // With no default printer in the system the PDF printer is the current one.
    label1_->setText(QStringLiteral("La stampante predefinita è: ") + QStringLiteral("\n") + currentPrinter());
    centreOnScreen();
}

void Stampa::seleziona()
{
    const QString printer = combo1_->currentText();
    if (msgBox(this, QStringLiteral("Stampo ?  dalla Stampante ........") + printer, YesNo,
               QStringLiteral(" Stampa Clienti"))
        != Answer::Yes)
        return;
    // A name that is no printer prints nothing: say so before anything changes.
    if (!printerExists(printer)) {
        msgBox(
            this,
            QStringLiteral("La stampante \"%1\" non esiste: sceglierne una dall'elenco delle stampanti.").arg(printer),
            OkOnly | Exclamation, QStringLiteral("Seleziona Stampante"));
        return;
    }
    printDeadlineList();
}

host::Sheet* Stampa::deadlineSheet()
{
    host::Book* book = ctx().deadlines();
    if (!book) {
        // Normally the launcher has opened it; the active workbook stays as it was.
        host::Book* active = ctx().host->activeWorkbook();
        book = openSharedWorkbook(ctx(), this, ctx().path(kDeadlineFile), kDeadlinePassword);
        if (active)
            ctx().host->setActiveWorkbook(active);
    }
    return book->sheet(kSheetName);
}

std::optional<int> Stampa::askZoom()
{
    for (;;) {
        const auto answer = inputBox(
            this, QStringLiteral("Digita la percentuale di Zoom della Stampa 80-90-100.................."), kZoomTitle,
            QStringLiteral("110"));
        if (!answer)
            return std::nullopt;
        bool ok = false;
        const int zoom = answer->trimmed().toInt(&ok);
        if (ok && zoom >= 10 && zoom <= 400)
            return zoom;
        msgBox(this, QStringLiteral("La percentuale di Zoom deve essere un numero intero da 10 a 400."),
               OkOnly | Exclamation, kZoomTitle);
    }
}

void Stampa::printDeadlineList()
{
    host::Sheet* sheet = nullptr;
    if (!hostGuard(this, [&] {
            sheet = deadlineSheet();
            // The print's work cells: a print is a consultation, also of a read-only agenda.
            host::ScratchChanges scratch(sheet->book());
            sheet->range(QStringLiteral("AZ1")).setValue(110.0);
            sheet->range(QStringLiteral("AU1")).clearContents();
            sheet->range(QStringLiteral("AV1")).clearContents();
        }))
        return;

    // Cancelling keeps the zoom the sheet already has.
    const std::optional<int> zoom = askZoom();
    const bool portrait
        = msgBox(this,
                 QStringLiteral(" Vuoi la Stampa Verticale ?........................................................."),
                 YesNo)
        == Answer::Yes;

    SheetPrinter* printer = sheetPrinter(ctx());
    // Every column as wide as its texts, all on the page width at any zoom:
    // long objects and notes wrap.
    RenderOptions options;
    options.fitColumnsToText = true;
    options.fitColumnsToPage = true;
    printer->setRenderOptions(options);
    struct Reset {
        SheetPrinter* sp;
        ~Reset() { sp->clearRenderOptions(); }
    } reset{printer};

    int pages = 0;
    if (!hostGuard(this, [&] {
            const QString first = sheet->range(QStringLiteral("F1")).address();
            const QString last = sheet->range(QStringLiteral("A1")).end(host::Direction::Down).address();
            sheet->setPrintArea(first + QStringLiteral(":") + last);
            sheet::PageSetup& ps = sheet->pageSetup();
            const QString today = Clock::today().toString(QStringLiteral("dd/MM/yyyy"));
            setCenterHeader(ps,
                            (portrait ? QStringLiteral(" Stampa Elenco   ") : QStringLiteral(" Stampa Elenco "))
                                + QStringLiteral("------") + QStringLiteral(" del     ") + today);
            ps.leftMargin = 0.21;
            ps.rightMargin = 0.21;
            ps.topMargin = 0.5;
            ps.bottomMargin = 0.21;
            ps.headerMargin = 0.21;
            ps.footerMargin = 0.21;
            ps.fitWidth = 1;
            ps.fitHeight = 1;
            ps.portrait = portrait;
            ps.paperSize = 9;
            if (zoom) { // a zoom given last governs the scale
                ps.zoom = uint16_t(*zoom);
                ps.fitToPages = false;
            }
            ps.valid = true;
            pages = sheet->hPageBreaksCount() + 1;
        }))
        return;

    PrintRun run(printer, this);
    for (int page = 1; page <= pages; ++page) {
        QString question;
        if (!hostGuard(this, [&] {
                host::ScratchChanges scratch(sheet->book());
                sheet->range(QStringLiteral("AU1")).setValue(double(page));
                sheet->range(QStringLiteral("AV1")).setValue(double(pages));
                question = QStringLiteral("Vuoi Procedere alla stampa   ? ") + QStringLiteral(" Pagine     ")
                    + sheet->range(QStringLiteral("AU1")).text() + QStringLiteral("    di    ")
                    + sheet->range(QStringLiteral("AV1")).text();
            }))
            return;
        if (msgBox(this, question, YesNo, QStringLiteral("Stampa Risultato ")) != Answer::Yes) {
            // The pages already printed are finished (the PDF holds them).
            hostGuard(this, [&] { run.finish(); });
            return;
        }
        host::PrintRequest request;
        request.from = page;
        request.to = page;
        request.copies = 1;
        request.printer = combo1_->currentText();
        if (!hostGuard(this, [&] { sheet->printOut(request); }))
            return; // the run is dropped; the form stays for another try
    }
    if (!hostGuard(this, [&] { run.finish(); }))
        return;
    // A complete run: the form goes, the next opening loads it afresh.
    ctx().navigator->unload(kName);
}

} // namespace gp::printing
