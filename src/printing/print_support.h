// Printing: sheets laid out on A4 pages by the program itself, sent to one of
// the system's printers or to a PDF file, and the printing routines the forms
// call (the client register, the expense query result).
//
// Printers are named as the system names them (CUPS); besides them there is
// always the program's PDF writer, which asks once per print run where to save
// the file and puts every page of the run into that one file. The writer is
// called "PDF", or "File PDF" when a queue of the system is itself called "PDF"
// (pdfPrinterName()), so that the two never share a name. The file name comes
// from a settable provider (a file dialog by default); a test that reaches a
// print sets it with sheetPrinter(ctx)->setPdfPathProvider(...), or the dialog
// opens.
//
// A run on a queue of the system is drawn into a private PDF document and
// handed to the queue as one job when the run ends (print_queue.h): the queue
// is checked when the run first prints on it and again when the job is sent,
// and a run that fails or is dropped sends nothing.
//
// A print run groups the printOut calls of one user action (the page-by-page
// questions of the deadline list print one page per call): while a run is open
// the job of each printer stays open, so a run on "PDF" gives one file. Open a
// run with PrintRun; a printOut outside any run is a run of its own.
//
// Page layout, as a spreadsheet prints by default:
//  - the print area (or the used part of the sheet) from its top-left cell,
//    without grid lines, at the page setup's zoom, or scaled to the
//    fit-to-pages request when fitToPages is set (fit only ever shrinks);
//  - column widths are in 1/256 of the width of "0" of the workbook's default
//    font, measured as Arial measures it (7 px at 10 pt, 96 px per inch) plus
//    5 px of cell padding; row heights are the rows' own (twips); hidden rows
//    and columns are skipped;
//  - the body lies inside the four margins; the header is written at the
//    header margin from the top edge and is not scaled by the zoom;
//  - a text with line breaks prints all its lines, and a text that wraps
//    (its format says so, or its column was narrowed to fit the page) takes
//    the lines it needs: its row grows to hold them;
//  - rows that do not fit go to the next page down; columns that do not fit
//    on the width go to further pages across. Pages are numbered down, then
//    across (all the row bands of the first column band first). HPageBreaks
//    counts the horizontal breaks only (row bands - 1), as the spreadsheet
//    does, so pages across multiply the page count without changing it; a
//    single column wider than the page is clipped at the right margin.
#pragma once

#include "core/host/spreadsheet_host.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QPrinter;
class QPainter;

namespace gp::ui {
struct AppContext;
}

namespace gp::printing {

// The usual name of the printer that writes PDF files.
inline const QString kPdfPrinter = QStringLiteral("PDF");
// Its name when a printer of the system is already called "PDF".
inline const QString kPdfFilePrinter = QStringLiteral("File PDF");

// ---------------------------------------------------------------- printers

// The name of the PDF writer now: "PDF", or "File PDF" beside a system "PDF".
QString pdfPrinterName();
// The system's printers in the system's order, then the PDF writer.
QStringList printerNames();
// The system's default printer; empty when the system has none.
QString systemDefaultPrinter();
// The current printer: the system's default one, or the PDF writer when there is none.
QString currentPrinter();
// True for the PDF writer's name and for the name of a printer of the system.
bool printerExists(const QString& name);

// ---------------------------------------------------------------- layout

// Options of one printing that are not part of the sheet (they change the
// printed copy only, never the workbook).
struct RenderOptions {
    double fontPoints = 0;     // > 0: every cell printed in this size (row heights follow it)
    QStringList trailingLines; // lines printed below the last row (a total, a balance)
    // Every column on the width of one page: when the columns are wider than
    // the page, the widest are narrowed (as little as needed, the narrow ones
    // keep their widths) and their texts wrap inside them.
    bool fitColumnsToPage = false;
    // Every column as wide as the widest text it prints (measured in the
    // printed font), whatever width the sheet gives it.
    bool fitColumnsToText = false;
};

// Where the cells of a sheet fall on the pages (lengths in points of the
// printed page, i.e. already scaled).
struct SheetLayout {
    struct Band {
        int first = 0, last = 0;
    }; // rows or columns, 0-based, inclusive
    bool landscape = false;
    double pageWidth = 0, pageHeight = 0; // points
    double scale = 1;                     // 1 = 100 %
    std::vector<Band> rowBands;           // one per page down
    std::vector<Band> colBands;           // one per page across
    std::vector<int> rows, cols;          // visible rows / columns of the area, in order
    int trailingRows = 0;                 // trailing lines, laid out as rows after the area
    // Unscaled points, parallel to rows and cols: the widths the columns
    // print with, and the heights of the rows, grown where a text takes
    // more than one line (line breaks, wrapped texts).
    std::vector<double> rowHeights, colWidths;
    std::vector<bool> wrapCols; // columns whose texts wrap
    int pageCount() const { return int(rowBands.size() * colBands.size()); }
    int hPageBreaks() const { return rowBands.empty() ? 0 : int(rowBands.size()) - 1; }
};

// ---------------------------------------------------------------- backend

class SheetPrinter : public host::PrintBackend {
public:
    SheetPrinter();
    ~SheetPrinter() override;

    int pageBreaks(const host::Sheet& sheet) override;
    // Prints pages From..To (all when 0) `copies` times, collated, on the
    // printer named by the request ("" = currentPrinter()). HostError with an
    // Italian message when the printer does not exist or cannot take a job,
    // the PDF file cannot be written, the page range is outside the document
    // or the user gives no PDF file name.
    void printOut(const host::Sheet& sheet, const host::PrintRequest& request) override;

    SheetLayout layout(const host::Sheet& sheet) const;

    // Options for the next pageBreaks/printOut calls, until cleared.
    void setRenderOptions(const RenderOptions& options) { options_ = options; }
    void clearRenderOptions() { options_ = {}; }
    const RenderOptions& renderOptions() const { return options_; }

    // Print runs (see the top of this file). endRun() finishes the jobs
    // (the PDF file is complete after it) and throws HostError when a job
    // cannot be finished; abortRun() drops them quietly.
    void beginRun();
    void endRun();
    void abortRun();
    bool inRun() const { return runDepth_ > 0; }

    // Where a PDF is saved: asked once per run. The default asks with a file
    // dialog over the dialog parent; an empty answer cancels the printing.
    using PdfPathProvider = std::function<QString(QWidget* parent)>;
    void setPdfPathProvider(PdfPathProvider provider) { pdfPath_ = std::move(provider); }
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    // Folder proposed by the default file dialog.
    void setPdfFolder(const QString& folder) { pdfFolder_ = folder; }
    // The PDF file of the last run that printed on the PDF writer (empty if none).
    QString lastPdfFile() const { return lastPdf_; }
    // The jobs the last run handed to queues of the system (queue, job number).
    const QList<QPair<QString, int>>& lastJobs() const { return lastJobs_; }

private:
    struct Job;
    Job& jobFor(const QString& printer);
    void startPage(Job& job, bool landscape);
    void finishJobs(bool quietly);

    RenderOptions options_;
    PdfPathProvider pdfPath_;
    QPointer<QWidget> dialogParent_; // forms come and go
    QString pdfFolder_;
    QString lastPdf_;
    QList<QPair<QString, int>> lastJobs_;
    QString runPdfPath_;
    int runDepth_ = 0;
    std::vector<std::unique_ptr<Job>> jobs_;
};

// Opens a print run on the program's printer for its lifetime (dialogs of the
// run, the PDF file name, open over `dialogParent`); finish()
// ends it and reports failures by throwing HostError; the destructor
// ends it quietly when finish() was not called (after an error).
class PrintRun {
public:
    explicit PrintRun(SheetPrinter* printer, QWidget* dialogParent = nullptr);
    ~PrintRun();
    void finish();
    PrintRun(const PrintRun&) = delete;
    PrintRun& operator=(const PrintRun&) = delete;

private:
    SheetPrinter* printer_;
    bool open_ = true;
};

// Installs a SheetPrinter as the host's print backend (once; the same one
// afterwards) and returns it. The start-up calls it through registerForms.
SheetPrinter* installPrinting(ui::AppContext& ctx);
// The program's SheetPrinter (installed on demand).
SheetPrinter* sheetPrinter(ui::AppContext& ctx);

// The centre header of a page setup: the text is stored with the header
// codes of the format ("&C", "&" doubled).
void setCenterHeader(sheet::PageSetup& setup, const QString& text);
// A header string with its codes expanded for one page: &D date, &T time,
// &P page, &N pages, &A sheet, &F file, && "&"; the left, centre and right
// parts (&L &C &R) are returned in that order. Font codes are dropped.
QStringList expandHeader(const QString& header, int page, int pages, const QString& sheetName, const QString& fileName);

// ---------------------------------------------------------------- routines

// The client register on one landscape A4 page at 70 %, cells in 8 point
// (the printed copy only), on the current printer; "Stampa  Eseguita" after.
// Failures are reported to the user here. Returns true when printed.
bool printClientList(ui::AppContext& ctx, QWidget* parent);

// Opens the printing form of the expense query result (form "StampaSpese",
// not modal): a printer list and "Stampa", which prints sheet "S" of the
// case-file workbook (columns A to G, headings and rows) with the balance
// line below, `balanceText` (the balance the expense form shows), and in the
// heading `subject`, whose expenses they are ("Cliente NOME n. 12").
void printExpenseResult(ui::AppContext& ctx, QWidget* parent, const QString& balanceText,
                        const QString& subject = QString());

} // namespace gp::printing
