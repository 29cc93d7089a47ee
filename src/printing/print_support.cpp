#include "printing/print_support.h"

#include "printing/print_queue.h"

#include "core/host/model_access.h"
#include "core/host/text_measure.h"
#include "core/sheet/numfmt.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <map>

namespace gp::printing {

namespace {

QString fromStd(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

const sheet::Locale& italian()
{
    static const sheet::Locale loc = sheet::Locale::italian();
    return loc;
}

constexpr double kA4Width = 595.276; // points
constexpr double kA4Height = 841.890;

// Width of "0" of the default font in pixels at 96 px per inch, as Arial
// measures it: 7 px at 10 pt. Fixed rather than measured, so that the page
// breaks do not depend on the fonts installed.
double digitWidthPx(const sheet::Workbook& wb)
{
    const double pt = wb.fonts.empty() ? 10.0 : wb.fonts.front().heightTwips / 20.0;
    return std::max(1.0, std::round(7.0 * pt / 10.0));
}

double columnPoints(const sheet::Workbook& wb, const sheet::Worksheet& ws, int col)
{
    if (ws.columnHidden(col))
        return 0;
    const double px = std::round(ws.columnWidth(col) / 256.0 * digitWidthPx(wb));
    return px * 0.75;
}

bool rowHidden(const sheet::Worksheet& ws, int row)
{
    return row < int(ws.rows.size()) && ws.rows[row].info.present && (ws.rows[row].info.flags & 0x20);
}

// Height of a row in points; with a font size imposed, rows without a height
// of their own follow that size (as the spreadsheet fits them).
double rowPoints(const sheet::Worksheet& ws, int row, double fontPoints)
{
    const bool stored = row < int(ws.rows.size()) && ws.rows[row].info.present;
    const bool custom = stored && (ws.rows[row].info.flags & 0x40);
    if (fontPoints > 0 && !custom)
        return 0.75 * fontPoints + 5.25;
    const int twips = stored ? ws.rows[row].info.height : ws.defaultRowHeight;
    return twips / 20.0;
}

double trailingLinePoints(const sheet::Worksheet& ws, double fontPoints)
{
    return fontPoints > 0 ? 0.75 * fontPoints + 5.25 : std::max(12.75, ws.defaultRowHeight / 20.0);
}

// The area printed: the print area, or the used part of the sheet; its empty
// rows and columns at the end are not printed.
bool printedArea(const sheet::Worksheet& ws, sheet::CellRange& area)
{
    const int lastRow = ws.lastRow();
    const int lastCol = ws.lastCol();
    if (ws.pageSetup.printArea) {
        area = *ws.pageSetup.printArea;
    } else {
        if (lastRow < 0)
            return false;
        area = {0, lastRow, 0, lastCol};
    }
    if (area.lastRow < area.firstRow)
        std::swap(area.lastRow, area.firstRow);
    if (area.lastCol < area.firstCol)
        std::swap(area.lastCol, area.firstCol);
    // Trim the empty end of the area.
    int usedRow = -1, usedCol = -1;
    const int rEnd = std::min(area.lastRow, lastRow);
    for (int r = area.firstRow; r <= rEnd; ++r)
        for (int c = area.firstCol; c <= std::min(area.lastCol, lastCol); ++c)
            if (!ws.isEmpty(r, c)) {
                usedRow = std::max(usedRow, r);
                usedCol = std::max(usedCol, c);
            }
    if (usedRow < 0)
        return false;
    area.lastRow = usedRow;
    area.lastCol = std::max(usedCol, area.firstCol);
    // Columns keep their widths up to the area's own end when it is narrower
    // than the data (the area decides which columns print).
    return true;
}

QFont cellFont(const sheet::Workbook& wb, uint16_t xf, double scale, double fontPoints)
{
    const sheet::Font* f = nullptr;
    if (xf < wb.formats.size() && wb.formats[xf].fontIndex < wb.fonts.size())
        f = &wb.fonts[wb.formats[xf].fontIndex];
    else if (!wb.fonts.empty())
        f = &wb.fonts.front();
    QFont font(f ? fromStd(f->name) : QStringLiteral("Arial"));
    const double pt = fontPoints > 0 ? fontPoints : (f ? f->heightTwips / 20.0 : 10.0);
    font.setPointSizeF(std::max(1.0, pt * scale));
    if (f) {
        font.setBold(f->bold);
        font.setItalic(f->italic);
        font.setUnderline(f->underline);
        font.setStrikeOut(f->strikeOut);
    }
    return font;
}

// Narrows the widest columns until all of them fit `avail` points: every
// column keeps its width up to a common limit, the limit as high as the page
// allows; the columns cut to it wrap their texts.
void narrowColumns(SheetLayout& L, double avail)
{
    std::vector<double> widths = L.colWidths;
    double total = 0;
    for (double w : widths)
        total += w;
    if (total <= avail)
        return;
    std::sort(widths.begin(), widths.end());
    double rest = avail;
    double limit = 0;
    const size_t n = widths.size();
    for (size_t i = 0; i < n; ++i) {
        if (widths[i] * double(n - i) > rest) {
            limit = rest / double(n - i);
            break;
        }
        rest -= widths[i];
    }
    if (limit <= 0)
        return;
    for (size_t i = 0; i < L.colWidths.size(); ++i)
        if (L.colWidths[i] > limit) {
            L.colWidths[i] = limit;
            L.wrapCols[i] = true;
        }
}

// Lines a text takes in a column of `widthPt` points (its padding left out),
// wrapped at blanks when `wrap` is set; every line break counts.
int textLines(const QString& text, const QFont& font, double widthPt, bool wrap)
{
    if (!wrap)
        return int(text.count(QLatin1Char('\n'))) + 1;
    // Measured a little narrower than printed, so that the printer's own
    // rounding never needs a line more than the row holds.
    QFont px = font;
    px.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * 96.0 / 72.0))));
    const QFontMetricsF fm(px);
    const double width = std::max(1.0, (widthPt - 4) * 96.0 / 72.0 * 0.99);
    const QRectF box = fm.boundingRect(QRectF(0, 0, width, 1e7), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return std::max(1, int(std::ceil(box.height() / fm.lineSpacing() - 0.01)));
}

// Grows the rows that hold texts of more than one line to the height of
// their lines.
void growRows(SheetLayout& L, const sheet::Workbook& wb, const sheet::Worksheet& ws, double fontPoints)
{
    std::map<int, double> lineHeights; // per font: points of one line
    for (size_t ri = 0; ri < L.rows.size(); ++ri) {
        const int r = L.rows[ri];
        if (r < 0)
            continue;
        for (size_t ci = 0; ci < L.cols.size(); ++ci) {
            const int c = L.cols[ci];
            if (ws.isEmpty(r, c))
                continue;
            const sheet::Cell& cell = ws.cell(r, c);
            if (cell.type != sheet::CellType::Text)
                continue;
            const sheet::CellFormat* fmt = cell.xf < wb.formats.size() ? &wb.formats[cell.xf] : nullptr;
            const bool wrap = L.wrapCols[ci] || (fmt && fmt->wrap);
            const QString text = fromStd(sheet::cellText(wb, ws, r, c, italian()));
            if (!wrap && !text.contains(QLatin1Char('\n')))
                continue;
            const QFont font = host::printFont(wb, cell.xf, fontPoints);
            const int lines = textLines(text, font, L.colWidths[ci], wrap);
            if (lines <= 1)
                continue;
            const int fontKey = fmt ? int(fmt->fontIndex) : -1;
            auto it = lineHeights.find(fontKey);
            if (it == lineHeights.end()) {
                QFont px = font;
                px.setPixelSize(std::max(1, int(std::lround(font.pointSizeF() * 96.0 / 72.0))));
                it = lineHeights.emplace(fontKey, QFontMetricsF(px).lineSpacing() * 72.0 / 96.0).first;
            }
            L.rowHeights[ri] = std::max(L.rowHeights[ri], lines * it->second + 3);
        }
    }
}

QString printerError(const QString& name)
{
    return QStringLiteral("La stampante \"%1\" non esiste: sceglierne una dall'elenco delle stampanti.").arg(name);
}

} // namespace

// ================================================================ printers

namespace {
QString pdfNameBeside(const QStringList& systemPrinters)
{
    return systemPrinters.contains(kPdfPrinter) ? kPdfFilePrinter : kPdfPrinter;
}
} // namespace

QString pdfPrinterName() { return pdfNameBeside(QPrinterInfo::availablePrinterNames()); }

QStringList printerNames()
{
    QStringList names = QPrinterInfo::availablePrinterNames();
    names << pdfNameBeside(names);
    return names;
}

QString systemDefaultPrinter() { return QPrinterInfo::defaultPrinterName(); }

QString currentPrinter()
{
    const QString name = systemDefaultPrinter();
    return name.isEmpty() ? pdfPrinterName() : name;
}

bool printerExists(const QString& name)
{
    if (name.isEmpty())
        return false;
    const QStringList system = QPrinterInfo::availablePrinterNames();
    return system.contains(name) || name == pdfNameBeside(system);
}

// ================================================================ headers

void setCenterHeader(sheet::PageSetup& setup, const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    setup.header = (QStringLiteral("&C") + escaped).toStdString();
}

QStringList expandHeader(const QString& header, int page, int pages, const QString& sheetName, const QString& fileName)
{
    QStringList parts{QString(), QString(), QString()};
    int section = 1; // text before any section code is centred
    for (qsizetype i = 0; i < header.size(); ++i) {
        const QChar ch = header[i];
        if (ch != QLatin1Char('&') || i + 1 >= header.size()) {
            parts[section] += ch;
            continue;
        }
        const QChar code = header[++i];
        switch (code.toUpper().unicode()) {
        case 'L': section = 0; break;
        case 'C': section = 1; break;
        case 'R': section = 2; break;
        case 'D': parts[section] += ui::Clock::today().toString(QStringLiteral("dd/MM/yyyy")); break;
        case 'T': parts[section] += ui::Clock::time().toString(QStringLiteral("HH:mm")); break;
        case 'P': parts[section] += QString::number(page); break;
        case 'N': parts[section] += QString::number(pages); break;
        case 'A': parts[section] += sheetName; break;
        case 'F': parts[section] += fileName; break;
        case '&': parts[section] += QLatin1Char('&'); break;
        case '"': // &"font,style"
            while (i + 1 < header.size() && header[i + 1] != QLatin1Char('"'))
                ++i;
            ++i;
            break;
        default:
            if (code.isDigit()) // &12: font size
                while (i + 1 < header.size() && header[i + 1].isDigit())
                    ++i;
            break; // &B &I &U &S ...: styles, not printed
        }
    }
    return parts;
}

// ================================================================ layout

SheetLayout SheetPrinter::layout(const host::Sheet& sheetRef) const
{
    const sheet::Worksheet& ws = host::ModelAccess::worksheet(sheetRef);
    const sheet::Workbook& wb = host::ModelAccess::workbook(*sheetRef.book());
    const sheet::PageSetup& ps = ws.pageSetup;
    const double fontPoints = options_.fontPoints;

    SheetLayout L;
    L.landscape = !ps.portrait;
    L.pageWidth = L.landscape ? kA4Height : kA4Width;
    L.pageHeight = L.landscape ? kA4Width : kA4Height;

    sheet::CellRange area;
    if (printedArea(ws, area)) {
        for (int r = area.firstRow; r <= area.lastRow; ++r)
            if (!rowHidden(ws, r))
                L.rows.push_back(r);
        for (int c = area.firstCol; c <= area.lastCol; ++c)
            if (!ws.columnHidden(c))
                L.cols.push_back(c);
    }
    L.trailingRows = int(options_.trailingLines.size());
    for (int k = 0; k < L.trailingRows; ++k)
        L.rows.push_back(-(k + 1));
    if (L.cols.empty() && L.trailingRows > 0)
        L.cols.push_back(0);

    const double availW = std::max(10.0, L.pageWidth - (ps.leftMargin + ps.rightMargin) * 72.0);
    const double availH = std::max(10.0, L.pageHeight - (ps.topMargin + ps.bottomMargin) * 72.0);

    // The columns' printed widths; too wide a whole narrowed to the page.
    const double zoomScale = std::clamp<int>(ps.zoom, 10, 400) / 100.0;
    L.colWidths.clear();
    for (int c : L.cols)
        L.colWidths.push_back(columnPoints(wb, ws, c));
    L.wrapCols.assign(L.cols.size(), false);
    if (options_.fitColumnsToText && !L.rows.empty()) {
        const int firstRow = L.rows.front(), lastRow = *std::max_element(L.rows.begin(), L.rows.end());
        for (size_t i = 0; i < L.cols.size(); ++i) {
            const double px = host::widestTextPx(wb, ws, L.cols[i], firstRow, lastRow, fontPoints);
            if (px > 0)
                L.colWidths[i] = (px * 1.03 + 7) * 0.75;
        }
    }
    if (options_.fitColumnsToPage && !L.colWidths.empty())
        narrowColumns(L, availW / (ps.fitToPages ? 1.0 : zoomScale));
    // The rows' heights, grown for texts of more than one line.
    L.rowHeights.clear();
    for (int r : L.rows)
        L.rowHeights.push_back(r >= 0 ? rowPoints(ws, r, fontPoints) : trailingLinePoints(ws, fontPoints));
    growRows(L, wb, ws, fontPoints);

    auto rowH = [&](int i) { return L.rowHeights[size_t(i)]; };
    double contentW = 0, contentH = 0;
    for (double w : L.colWidths)
        contentW += w;
    for (double h : L.rowHeights)
        contentH += h;

    if (ps.fitToPages) {
        double s = 1.0; // fitting only shrinks
        if (ps.fitWidth > 0 && contentW > 0)
            s = std::min(s, availW * ps.fitWidth / contentW);
        if (ps.fitHeight > 0 && contentH > 0)
            s = std::min(s, availH * ps.fitHeight / contentH);
        L.scale = std::max(0.10, s);
        if (L.scale < 1.0) // a hair less, so that rounding never adds a page
            L.scale = std::max(0.10, std::floor(L.scale * 1000.0) / 1000.0);
    } else {
        L.scale = zoomScale;
    }

    auto bands = [](const std::vector<int>& items, auto size, double avail) {
        std::vector<SheetLayout::Band> out;
        double used = 0;
        for (int i = 0; i < int(items.size()); ++i) {
            const double h = size(i);
            if (out.empty() || (used + h > avail + 1e-6 && used > 0)) {
                out.push_back({i, i});
                used = h;
            } else {
                out.back().last = i;
                used += h;
            }
        }
        return out;
    };
    L.rowBands = bands(
        L.rows, [&](int i) { return rowH(i) * L.scale; }, availH);
    L.colBands = bands(
        L.cols, [&](int i) { return L.colWidths[size_t(i)] * L.scale; }, availW);
    return L;
}

int SheetPrinter::pageBreaks(const host::Sheet& sheet) { return layout(sheet).hPageBreaks(); }

// ================================================================ jobs

struct SheetPrinter::Job {
    QString name;
    bool pdf = false;
    QString pdfPath;
    std::unique_ptr<QTemporaryFile> spool; // a system queue's document until it is sent
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QPainter> painter;
    int pages = 0;
};

SheetPrinter::SheetPrinter()
{
    pdfPath_ = [this](QWidget* parent) {
        const QString proposed
            = QDir(pdfFolder_.isEmpty() ? QDir::homePath() : pdfFolder_).filePath(QStringLiteral("Stampa.pdf"));
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Salva la stampa in PDF"), proposed,
                                            QStringLiteral("Documenti PDF (*.pdf)"));
    };
}

SheetPrinter::~SheetPrinter() { finishJobs(true); }

SheetPrinter::Job& SheetPrinter::jobFor(const QString& requested)
{
    const QString name = requested.isEmpty() ? currentPrinter() : requested;
    for (auto& j : jobs_)
        if (j->name == name)
            return *j;

    auto job = std::make_unique<Job>();
    job->name = name;
    const QStringList system = QPrinterInfo::availablePrinterNames();
    if (!system.contains(name) && name == pdfNameBeside(system)) {
        job->pdf = true;
        if (runPdfPath_.isEmpty()) {
            QString path = pdfPath_ ? pdfPath_(dialogParent_) : QString();
            if (path.trimmed().isEmpty())
                throw host::HostError(QStringLiteral("Stampa annullata: non è stato indicato il file PDF."));
            if (QFileInfo(path).suffix().isEmpty())
                path += QStringLiteral(".pdf");
            runPdfPath_ = path;
        }
        job->pdfPath = runPdfPath_;
        const QFileInfo info(job->pdfPath);
        const bool writable = info.exists()
            ? (info.isFile() && info.isWritable())
            : QFileInfo(info.absolutePath()).isDir() && QFileInfo(info.absolutePath()).isWritable();
        if (!writable)
            throw host::HostError(
                QStringLiteral("Impossibile scrivere il file PDF \"%1\".").arg(QDir::toNativeSeparators(job->pdfPath)));
        job->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        job->printer->setOutputFormat(QPrinter::PdfFormat);
        job->printer->setOutputFileName(job->pdfPath);
        job->printer->setCreator(QStringLiteral("Gestione Pratiche"));
    } else {
        if (!system.contains(name))
            throw host::HostError(printerError(name));
        checkQueue(name); // a stopped or refusing queue fails before anything is drawn
        // The pages go into a private PDF document, sent to the queue as one
        // job when the run ends.
        job->spool = std::make_unique<QTemporaryFile>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("gestione-pratiche-XXXXXX.pdf")));
        if (!job->spool->open())
            throw host::HostError(QStringLiteral("Impossibile preparare la stampa per la stampante \"%1\" (%2).")
                                      .arg(name, job->spool->errorString()));
        job->spool->close();
        job->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        job->printer->setOutputFormat(QPrinter::PdfFormat);
        job->printer->setOutputFileName(job->spool->fileName());
        job->printer->setCreator(QStringLiteral("Gestione Pratiche"));
    }
    job->printer->setFullPage(true);
    job->printer->setDocName(QStringLiteral("Gestione Pratiche"));
    jobs_.push_back(std::move(job));
    return *jobs_.back();
}

void SheetPrinter::startPage(Job& job, bool landscape)
{
    const QPageLayout pageLayout(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                 QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    if (!job.painter) {
        job.printer->setPageLayout(pageLayout);
        auto painter = std::make_unique<QPainter>();
        if (!painter->begin(job.printer.get())) {
            if (job.pdf)
                throw host::HostError(QStringLiteral("Impossibile scrivere il file PDF \"%1\".")
                                          .arg(QDir::toNativeSeparators(job.pdfPath)));
            throw host::HostError(QStringLiteral("La stampante \"%1\" non accetta la stampa.").arg(job.name));
        }
        job.painter = std::move(painter);
    } else {
        job.printer->setPageLayout(pageLayout);
        if (!job.printer->newPage())
            throw host::HostError(QStringLiteral("La stampante \"%1\" non accetta una nuova pagina.").arg(job.name));
    }
    ++job.pages;
}

void SheetPrinter::finishJobs(bool quietly)
{
    QStringList failures;
    lastJobs_.clear();
    for (auto& j : jobs_) {
        if (j->painter && !j->painter->end()) {
            failures << (j->pdf
                             ? QStringLiteral("Impossibile completare il file PDF \"%1\".")
                                   .arg(QDir::toNativeSeparators(j->pdfPath))
                             : QStringLiteral("La stampa sulla stampante \"%1\" non è stata completata.").arg(j->name));
            continue;
        }
        if (j->pdf && j->pages > 0)
            lastPdf_ = j->pdfPath;
        // A dropped run sends nothing; a finished one sends the whole document.
        if (j->spool && j->pages > 0 && !quietly) {
            try {
                lastJobs_.append({j->name, submitPdf(j->name, j->spool->fileName(), j->printer->docName())});
            } catch (const host::HostError& e) {
                failures << e.message();
            }
        }
    }
    jobs_.clear();
    runPdfPath_.clear();
    if (!failures.isEmpty() && !quietly)
        throw host::HostError(failures.join(QLatin1Char('\n')));
}

void SheetPrinter::beginRun()
{
    if (runDepth_++ == 0) {
        runPdfPath_.clear();
        lastPdf_.clear();
    }
}

void SheetPrinter::endRun()
{
    if (runDepth_ > 0 && --runDepth_ == 0)
        finishJobs(false);
}

void SheetPrinter::abortRun()
{
    if (runDepth_ > 0 && --runDepth_ == 0)
        finishJobs(true);
}

PrintRun::PrintRun(SheetPrinter* printer, QWidget* dialogParent) : printer_(printer)
{
    printer_->setDialogParent(dialogParent);
    printer_->beginRun();
}

PrintRun::~PrintRun()
{
    if (open_)
        printer_->abortRun();
}

void PrintRun::finish()
{
    if (!open_)
        return;
    open_ = false;
    printer_->endRun();
}

// ================================================================ painting

namespace {

struct PagePainter {
    QPainter& p;
    double k; // device units per point

    QRectF rect(double x, double y, double w, double h) const { return QRectF(x * k, y * k, w * k, h * k); }
};

int alignmentFor(const sheet::CellFormat* fmt, sheet::CellType type)
{
    int h = Qt::AlignLeft;
    switch (fmt ? fmt->hAlign : sheet::HAlign::General) {
    case sheet::HAlign::General:
        h = type == sheet::CellType::Number                                        ? Qt::AlignRight
            : (type == sheet::CellType::Boolean || type == sheet::CellType::Error) ? Qt::AlignHCenter
                                                                                   : Qt::AlignLeft;
        break;
    case sheet::HAlign::Right: h = Qt::AlignRight; break;
    case sheet::HAlign::Center:
    case sheet::HAlign::CenterAcross:
    case sheet::HAlign::Distributed: h = Qt::AlignHCenter; break;
    default: h = Qt::AlignLeft; break;
    }
    int v = Qt::AlignBottom;
    switch (fmt ? fmt->vAlign : sheet::VAlign::Bottom) {
    case sheet::VAlign::Top: v = Qt::AlignTop; break;
    case sheet::VAlign::Center: v = Qt::AlignVCenter; break;
    default: v = Qt::AlignBottom; break;
    }
    return h | v;
}

void drawHeader(const PagePainter& pp, const sheet::PageSetup& ps, double pageW, const QStringList& parts)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(10);
    pp.p.setFont(font);
    const double left = ps.leftMargin * 72.0, right = ps.rightMargin * 72.0, top = ps.headerMargin * 72.0;
    const QRectF r = pp.rect(left, top, pageW - left - right, 40);
    const int flags[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    for (int i = 0; i < 3; ++i)
        if (!parts[i].isEmpty())
            pp.p.drawText(r, flags[i] | Qt::AlignTop | Qt::TextDontClip, parts[i]);
}

} // namespace

void SheetPrinter::printOut(const host::Sheet& sheetRef, const host::PrintRequest& request)
{
    const SheetLayout L = layout(sheetRef);
    const sheet::Worksheet& ws = host::ModelAccess::worksheet(sheetRef);
    const sheet::Workbook& wb = host::ModelAccess::workbook(*sheetRef.book());
    const sheet::PageSetup& ps = ws.pageSetup;
    const int pages = L.pageCount();
    if (pages == 0 || L.rows.empty())
        throw host::HostError(QStringLiteral("Il foglio \"%1\" non contiene nulla da stampare.").arg(sheetRef.name()));
    const int from = request.from > 0 ? request.from : 1;
    const int to = request.to > 0 ? std::min(request.to, pages) : pages;
    if (from > pages || from > to)
        throw host::HostError(QStringLiteral("La pagina %1 non esiste: il foglio \"%2\" si stampa in %3 pagine.")
                                  .arg(from)
                                  .arg(sheetRef.name())
                                  .arg(pages));
    const int copies = std::max(1, request.copies);

    beginRun();
    try {
        Job& job = jobFor(request.printer);
        const QString fileName = sheetRef.book()->fileName();
        for (int copy = 0; copy < copies; ++copy) {
            for (int page = from; page <= to; ++page) {
                startPage(job, L.landscape);
                QPainter& p = *job.painter;
                const PagePainter pp{p, job.printer->resolution() / 72.0};
                p.setPen(Qt::black);
                drawHeader(pp, ps, L.pageWidth,
                           expandHeader(fromStd(ps.header), page, pages, sheetRef.name(), fileName));

                // Pages run down, then across.
                const int down = int(L.rowBands.size());
                const SheetLayout::Band rb = L.rowBands[(page - 1) % down];
                const SheetLayout::Band cb = L.colBands[(page - 1) / down];
                const double x0 = ps.leftMargin * 72.0;
                const double right = L.pageWidth - ps.rightMargin * 72.0;
                const double bottom = L.pageHeight - ps.bottomMargin * 72.0;
                std::vector<double> colX, colW;
                double x = x0;
                for (int ci = cb.first; ci <= cb.last; ++ci) {
                    const double w = L.colWidths[size_t(ci)] * L.scale;
                    colX.push_back(x);
                    colW.push_back(w);
                    x += w;
                }
                double y = ps.topMargin * 72.0;
                p.save();
                p.setClipRect(pp.rect(x0, y, right - x0, bottom - y));
                for (int ri = rb.first; ri <= rb.last; ++ri) {
                    const int r = L.rows[ri];
                    const double h = L.rowHeights[size_t(ri)] * L.scale;
                    const bool grown = r >= 0
                        && L.rowHeights[size_t(ri)] > rowPoints(ws, r, options_.fontPoints) + 0.01;
                    if (r < 0) { // a trailing line: across the whole band
                        p.setFont(cellFont(wb, 15, L.scale, options_.fontPoints));
                        p.drawText(pp.rect(x0 + 2 * L.scale, y, right - x0, h), Qt::AlignLeft | Qt::AlignBottom,
                                   options_.trailingLines[-r - 1]);
                        y += h;
                        continue;
                    }
                    for (int i = 0; i < int(colX.size()); ++i) {
                        const int c = L.cols[cb.first + i];
                        if (ws.isEmpty(r, c))
                            continue;
                        const sheet::Cell& cell = ws.cell(r, c);
                        const sheet::CellFormat* fmt = cell.xf < wb.formats.size() ? &wb.formats[cell.xf] : nullptr;
                        QString text = fromStd(sheet::cellText(wb, ws, r, c, italian()));
                        if (text.isEmpty())
                            continue;
                        // Every line of a text with line breaks prints; a
                        // narrowed column wraps its texts.
                        const bool wrap = (fmt && fmt->wrap) || L.wrapCols[size_t(cb.first + i)]
                            || text.contains(QLatin1Char('\n'));
                        int align = alignmentFor(fmt, cell.type);
                        if (grown) // a row grown for several lines reads from its top
                            align = (align & ~Qt::AlignVertical_Mask) | Qt::AlignTop;
                        p.setFont(cellFont(wb, cell.xf, L.scale, options_.fontPoints));
                        // A left-aligned text runs on over the empty cells to its right.
                        double w = colW[i];
                        if (!wrap && cell.type == sheet::CellType::Text && (align & Qt::AlignLeft)) {
                            const double need = QFontMetricsF(p.font(), job.printer.get()).horizontalAdvance(text)
                                    / pp.k
                                + 4 * L.scale;
                            for (int j = i + 1; j < int(colX.size()) && w < need && ws.isEmpty(r, L.cols[cb.first + j]);
                                 ++j)
                                w += colW[j];
                        }
                        const double pad = 2 * L.scale;
                        p.save();
                        p.setClipRect(pp.rect(colX[i], y, w, h), Qt::IntersectClip);
                        p.drawText(pp.rect(colX[i] + pad, y, w - 2 * pad, h),
                                   align | (wrap ? Qt::TextWordWrap : Qt::TextSingleLine), text);
                        p.restore();
                    }
                    y += h;
                }
                p.restore();
            }
        }
    } catch (...) {
        abortRun();
        throw;
    }
    endRun();
}

// ================================================================ installation

SheetPrinter* installPrinting(ui::AppContext& ctx)
{
    if (auto* existing = dynamic_cast<SheetPrinter*>(ctx.host->printBackend()))
        return existing;
    auto printer = std::make_shared<SheetPrinter>();
    printer->setPdfFolder(ctx.folder);
    ctx.host->setPrintBackend(printer);
    return printer.get();
}

SheetPrinter* sheetPrinter(ui::AppContext& ctx) { return installPrinting(ctx); }

} // namespace gp::printing
