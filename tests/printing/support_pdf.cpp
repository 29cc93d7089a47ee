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
    const auto pages
        = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption).match(out);
    if (!pages.hasMatch())
        return info;
    info.pages = pages.captured(1).toInt();
    const QRegularExpression size(QStringLiteral("^Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"),
                                  QRegularExpression::MultilineOption);
    for (auto it = size.globalMatch(out); it.hasNext();) {
        const auto s = it.next();
        info.sizes << QSizeF(s.captured(1).toDouble(), s.captured(2).toDouble());
    }
    const QRegularExpression rot(QStringLiteral("^Page\\s+\\d+ rot:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    for (auto it = rot.globalMatch(out); it.hasNext();)
        info.turned << (it.next().captured(1).toInt() % 180 == 90);
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

QString missingFrom(const QString& text, const QStringList& parts)
{
    for (const QString& part : parts)
        if (!text.contains(part))
            return part;
    return QString();
}

QString pageShapes(const QString& path)
{
    const PdfInfo info = pdfInfo(path);
    if (info.pages < 0)
        return QString();
    // Word boxes: most words taller than wide means text running up the page.
    const QString boxes = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                                                 "yMax=\"([\\d.]+)\">([^<]{3,})</word>"));
    QVector<bool> wide;
    QVector<int> up, across;
    for (const QString& line : boxes.split(u'\n')) {
        if (const auto m = page.match(line); m.hasMatch()) {
            wide << (m.captured(1).toDouble() > m.captured(2).toDouble());
            up << 0;
            across << 0;
        } else if (const auto w = word.match(line); w.hasMatch() && !up.isEmpty()) {
            const double width = w.captured(3).toDouble() - w.captured(1).toDouble();
            const double height = w.captured(4).toDouble() - w.captured(2).toDouble();
            ++(height > width ? up : across).last();
        }
    }
    QString shapes;
    for (int i = 0; i < wide.size(); ++i)
        shapes += (wide[i] != (up[i] > across[i])) != info.turned.value(i) ? u'L' : u'P';
    return shapes;
}

void answerPdfPath(gp::printing::SheetPrinter* printer, const QString& path, int* asked)
{
    printer->setPdfPathProvider([path, asked](QWidget*) {
        if (asked)
            ++*asked;
        return path;
    });
}
