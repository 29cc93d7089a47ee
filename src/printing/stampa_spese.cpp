#include "printing/stampa_spese.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "printing/print_support.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace gp::printing {

using namespace gp::ui;

const QString StampaSpese::kName = QStringLiteral("StampaSpese");

namespace {
const QString kTitle = QStringLiteral("Gestione Pratica");
}

StampaSpese::StampaSpese(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(QStringLiteral("Stampa Risultato Spese"));
    setClientSizeTwips(4920, 2880);
    QWidget* b = body();

    combo1_ = new QComboBox(b);
    combo1_->setObjectName(QStringLiteral("Combo1"));
    combo1_->addItems(printerNames());
    combo1_->setCurrentText(currentPrinter());
    placeTwips(combo1_, 240, 240, 4440, 315);

    label1_ = new QLabel(QStringLiteral("La stampante predefinita è: ") + QStringLiteral("\n") + currentPrinter(), b);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setWordWrap(true);
    placeTwips(label1_, 240, 660, 4440, 600);

    label2_ = new QLabel(b);
    label2_->setObjectName(QStringLiteral("Label2"));
    placeTwips(label2_, 240, 1320, 4440, 315);

    command1_ = new QPushButton(QStringLiteral("Stampa"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 720, 1920, 1575, 495);
    connect(command1_, &QPushButton::clicked, this, &StampaSpese::stampa);

    command2_ = new QPushButton(QStringLiteral("Annulla"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 2640, 1920, 1575, 495);
    connect(command2_, &QPushButton::clicked, this, [this] { this->ctx().navigator->unload(kName); });
    centreOnScreen();
}

void StampaSpese::setBalanceText(const QString& text)
{
    balance_ = text.trimmed();
    label2_->setText(QStringLiteral("Saldo Scheda................ € ") + balance_);
}

bool StampaSpese::stampa()
{
    const QString printerName = combo1_->currentText();
    bool empty = false;
    const bool ok = hostGuard(this, [&] {
        host::Book* book = ctx().practice();
        if (!book)
            throw host::HostError(QStringLiteral("Il file Pratiche.xls non è aperto."));
        host::Sheet* sheet = book->sheet(QStringLiteral("S"));
        if (sheet->range(QStringLiteral("A1")).isEmpty()) {
            empty = true;
            return;
        }
        const QString last = sheet->range(QStringLiteral("A1")).end(host::Direction::Down).address();
        sheet->setPrintArea(QStringLiteral("$G$1:") + last);
        sheet::PageSetup& ps = sheet->pageSetup();
        // The centre header: whose expenses, the date of the print, the page
        // codes "&P di &N" (the texts' own "&" doubled).
        QString title = QStringLiteral("Interrogazione Spese del ")
            + Clock::today().toString(QStringLiteral("dd/MM/yyyy"));
        if (!subject_.isEmpty())
            title += QStringLiteral("  -  ") + subject_;
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        ps.header = "&C" + title.toStdString() + "  -  Pagina &P di &N";
        ps.leftMargin = ps.rightMargin = 0.5;
        ps.topMargin = 0.75;
        ps.bottomMargin = 0.5;
        ps.headerMargin = ps.footerMargin = 0.3;
        ps.portrait = true;
        ps.paperSize = 9;
        ps.fitToPages = true; // as wide as one page, as many pages down as needed
        ps.fitWidth = 1;
        ps.fitHeight = 0;
        ps.valid = true;

        SheetPrinter* sp = sheetPrinter(ctx());
        RenderOptions options;
        options.trailingLines = {QString(), QStringLiteral("Saldo Scheda................ € ") + balance_};
        // Every date, description and amount whole: the columns as wide as
        // their printed texts, narrowed to the page (wrapping) if need be.
        options.fitColumnsToText = true;
        options.fitColumnsToPage = true;
        sp->setRenderOptions(options);
        struct Reset {
            SheetPrinter* sp;
            ~Reset() { sp->clearRenderOptions(); }
        } reset{sp};
        PrintRun run(sp, this);
        host::PrintRequest request;
        request.printer = printerName;
        sheet->printOut(request);
        run.finish();
    });
    if (!ok)
        return false;
    if (empty) {
        msgBox(this, QStringLiteral("Nessun risultato da stampare: eseguire prima una ricerca."), OkOnly | Exclamation,
               kTitle);
        return false;
    }
    msgBox(this, QStringLiteral("Stampa  Eseguita"), OkOnly, kTitle);
    ctx().navigator->unload(kName);
    return true;
}

} // namespace gp::printing
