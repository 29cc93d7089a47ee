#include "support_pdf.h"

#include "printing/print_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

bool havePoppler()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()
        && !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

PdfInfo pdfInfo(const QString& path)
{
    PdfInfo info;
    const QString out = runTool(
        QStringLiteral("pdfinfo"),
        {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("9999"), path});
    if (out.isEmpty())
        return info;
    const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    const auto m = pages.match(out);
    if (m.hasMatch())
        info.pages = m.captured(1).toInt();
    const QRegularExpression size(QStringLiteral("^Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                  QRegularExpression::MultilineOption);
    for (auto it = size.globalMatch(out); it.hasNext();) {
        const auto s = it.next();
        info.sizes << QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble());
    }
    return info;
}

QString pdfText(const QString& path, int first, int last)
{
    QStringList args{QStringLiteral("-layout")};
    if (first > 0)
        args << QStringLiteral("-f") << QString::number(first);
    if (last > 0)
        args << QStringLiteral("-l") << QString::number(last);
    args << path << QStringLiteral("-");
    QString text = runTool(QStringLiteral("pdftotext"), args);
    text.replace(QRegularExpression(QStringLiteral("[ \\t]+")), QStringLiteral(" "));
    return text;
}

void answerPdfPath(gp::printing::SheetPrinter* printer, const QString& path, int* asked)
{
    printer->setPdfPathProvider([path, asked](QWidget*) {
        if (asked)
            ++*asked;
        return path;
    });
}
