#include "instructions/istruzioni.h"

#include "core/ui/app_context.h"
#include "core/ui/geometry.h"
#include "core/ui/message_box.h"
#include "core/ui/navigator.h"
#include "printing/print_queue.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextDocument>

namespace gp::instructions {

using namespace gp::ui;

Istruzioni::Istruzioni(AppContext& ctx) : FormBase(ctx, kName)
{
    setWindowTitle(kCaption);
    QWidget* b = body();

    auto* edit = menuBar()->addAction(QStringLiteral("&Modifica"));
    edit->setObjectName(QStringLiteral("MnModifica"));
    connect(edit, &QAction::triggered, this, &Istruzioni::startEditing);

    text1_ = new QPlainTextEdit(b);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    placeTwips(text1_, 120, 120, 9600, 6000);

    command2_ = new QPushButton(QStringLiteral("Stampa"), b);
    command2_->setObjectName(QStringLiteral("Command2"));
    placeTwips(command2_, 120, 6240, 1800, 420);
    command1_ = new QPushButton(QStringLiteral("Aggiorna/Salva"), b);
    command1_->setObjectName(QStringLiteral("Command1"));
    placeTwips(command1_, 2040, 6240, 1800, 420);
    command1_->hide();

    setClientSizeTwips(9840, 6780);

    connect(command2_, &QPushButton::clicked, this, &Istruzioni::print);
    connect(command1_, &QPushButton::clicked, this, &Istruzioni::save);
    setEscapeCloses(true);

    pdfChooser_ = [this](QWidget* parent) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Stampa delle istruzioni in un file PDF"),
                                            QDir(this->ctx().folder).filePath(QStringLiteral("Istruzioni.pdf")),
                                            QStringLiteral("Documenti PDF (*.pdf)"));
    };
}

QString Istruzioni::filePath() const { return ctx().path(kInstructionsFile); }

void Istruzioni::onActivate()
{
    // Text being edited and not yet saved is kept; otherwise the file is read again.
    if (command1_->isVisible() && text1_->document()->isModified())
        return;
    command1_->hide();
    reload();
}

void Istruzioni::reload()
{
    text1_->clear();
    const auto loaded = readInstructions(filePath());
    if (!loaded) {
        msgBox(this, QStringLiteral(" Il file  Istruzioni.txt è mancante !"), OkOnly,
               QStringLiteral("Gestione Pratica"));
        hide();
        return;
    }
    format_ = loaded->format;
    text1_->setPlainText(loaded->text);
    text1_->document()->setModified(false);
}

void Istruzioni::startEditing()
{
    command1_->show();
    text1_->setFocus();
}

void Istruzioni::print()
{
    msgBox(this, QStringLiteral("Vuoi  procedere alla Stampa "), OkOnly | Information,
           QStringLiteral("Gestione Pratiche"));
    // The text of the box at this moment, unsaved changes included.
    const QString text = text1_->document()->toRawText();

    QPrinterInfo info;
    if (useSystemPrinters_) {
        info = QPrinterInfo::defaultPrinter();
        if (info.isNull() && !QPrinterInfo::availablePrinterNames().isEmpty())
            info = QPrinterInfo::printerInfo(QPrinterInfo::availablePrinterNames().first());
    }
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QTemporaryFile> spool;
    if (!info.isNull()) {
        // Drawn into a private PDF document and handed to the queue as one job,
        // so that a queue that cannot print is reported, naming it and why.
        const QString queue = info.printerName();
        try {
            printing::checkQueue(queue);
        } catch (const host::HostError& e) {
            msgBox(this, e.message(), OkOnly | Critical, QStringLiteral("Gestione Pratiche"));
            return;
        }
        spool = std::make_unique<QTemporaryFile>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("gestione-pratiche-XXXXXX.pdf")));
        if (!spool->open()) {
            msgBox(this, QStringLiteral("Stampa non riuscita: %1").arg(spool->errorString()), OkOnly | Critical,
                   QStringLiteral("Gestione Pratiche"));
            return;
        }
        spool->close();
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPageSize(info.defaultPageSize());
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(spool->fileName());
    } else {
        const QString file = pdfChooser_ ? pdfChooser_(this) : QString();
        if (file.isEmpty())
            return;
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
    }
    printer->setDocName(QStringLiteral("Istruzioni"));
    if (printText(*printer, text) == 0) {
        msgBox(this, QStringLiteral("Stampa non riuscita: la stampante non è disponibile."), OkOnly | Critical,
               QStringLiteral("Gestione Pratiche"));
        return;
    }
    if (spool) {
        printer.reset(); // the document is complete
        try {
            printing::submitPdf(info.printerName(), spool->fileName(), QStringLiteral("Istruzioni"));
        } catch (const host::HostError& e) {
            msgBox(this, e.message(), OkOnly | Critical, QStringLiteral("Gestione Pratiche"));
        }
    }
}

void Istruzioni::save()
{
    // The text lies beside the case-file workbook and has no lock of its own:
    // while someone else holds that workbook this program only consults.
    if (!hostGuard(this, [&] {
            if (host::Book* practice = ctx().practice())
                practice->ensureWritable();
        }))
        return;
    QString error;
    bool switched = false;
    if (!writeInstructions(filePath(), text1_->document()->toRawText(), format_, &error, &switched)) {
        msgBox(this, error, OkOnly);
        return;
    }
    text1_->document()->setModified(false);
    msgBox(this, QStringLiteral(" Aggiornameno Eseguito !"), OkOnly, QStringLiteral("Gestione Pratica"));
    if (switched)
        msgBox(this,
               QStringLiteral("Il testo contiene caratteri che la codifica Windows-1252 non può contenere: "
                              "il file Istruzioni.txt è stato salvato in UTF-8."),
               OkOnly | Information, QStringLiteral("Gestione Pratica"));
}

void Istruzioni::closeEvent(QCloseEvent* e)
{
    FormBase::closeEvent(e);
    if (e->isAccepted())
        ctx().navigator->unload(kName);
}

} // namespace gp::instructions
