// Reading the PDF files the tests print, with Debian's poppler-utils.
#pragma once

#include <QSizeF>
#include <QString>
#include <QVector>

namespace gp::printing {
class SheetPrinter;
}

bool havePoppler();
// The standard output of `program`; empty when it fails.
QString runTool(const QString& program, const QStringList& args);
#define SKIP_WITHOUT_POPPLER()                                                                                         \
    do {                                                                                                               \
        if (!havePoppler())                                                                                            \
            QSKIP("poppler-utils (pdfinfo, pdftotext) are not installed");                                             \
    } while (0)

struct PdfInfo {
    int pages = -1;        // -1: pdfinfo failed
    QVector<QSizeF> sizes; // page sizes in points, one per page
    QVector<bool> turned;  // the page's rotation is a quarter turn
};
PdfInfo pdfInfo(const QString& path);
// Text of pages first..last (0 = all) in reading layout, blanks collapsed to one.
QString pdfText(const QString& path, int first = 0, int last = 0);
// The first of `parts` that `text` lacks; empty when it holds them all.
QString missingFrom(const QString& text, const QStringList& parts);
// One letter a page as it reads: 'P' upright, 'L' landscape; empty when the
// file cannot be read. A printer may put a landscape page on portrait paper
// with its text running up the long side, or turn it by the page's rotation:
// it reads as landscape either way.
QString pageShapes(const QString& path);

// Makes `printer` write its PDF runs to `path` and counts how often it asked.
void answerPdfPath(gp::printing::SheetPrinter* printer, const QString& path, int* asked = nullptr);
