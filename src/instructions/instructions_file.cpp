#include "instructions/instructions_file.h"

#include "core/host/atomic_save.h"

#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTextLayout>

namespace gp::instructions {

namespace {
// Windows-1252 bytes 0x80..0x9F; the five bytes without a character keep the
// control character of the same number, so they survive a round trip.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

const QByteArray kBom("\xEF\xBB\xBF", 3);
} // namespace

QString decodeWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

std::optional<QByteArray> encodeWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u) {
                found = i;
                break;
            }
        if (found < 0)
            return std::nullopt;
        out += char(0x80 + found);
    }
    return out;
}

LoadedText decodeText(const QByteArray& bytes)
{
    LoadedText loaded;
    QByteArray body = bytes;
    if (body.startsWith(kBom)) {
        loaded.format.bom = true;
        body.remove(0, kBom.size());
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError()) {
        loaded.format.encoding = Encoding::Utf8;
    } else {
        loaded.format.encoding = Encoding::Windows1252;
        loaded.format.bom = false;
        body = bytes;
        text = decodeWindows1252(body);
    }
    if (text.contains(QStringLiteral("\r\n")))
        loaded.format.lineEnd = QStringLiteral("\r\n");
    else if (text.contains(u'\n'))
        loaded.format.lineEnd = QStringLiteral("\n");
    else if (text.contains(u'\r'))
        loaded.format.lineEnd = QStringLiteral("\r");
    else
        loaded.format.lineEnd = QStringLiteral("\r\n");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    loaded.format.finalLineEnd = text.endsWith(u'\n');
    if (text.endsWith(u'\n'))
        text.chop(1);
    loaded.text = text;
    return loaded;
}

QByteArray encodeText(const QString& text, FileFormat& format, bool* switchedToUtf8)
{
    if (switchedToUtf8)
        *switchedToUtf8 = false;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(u'\r', u'\n');
    t.replace(QChar::ParagraphSeparator, u'\n');
    t.replace(QChar::LineSeparator, u'\n');
    // One line end closes the text when the file had one: never one more per save.
    if (format.finalLineEnd)
        t += u'\n';
    t.replace(u'\n', format.lineEnd);
    if (format.encoding == Encoding::Windows1252) {
        if (auto bytes = encodeWindows1252(t))
            return *bytes;
        format.encoding = Encoding::Utf8;
        format.bom = false;
        if (switchedToUtf8)
            *switchedToUtf8 = true;
    }
    QByteArray out = t.toUtf8();
    if (format.bom)
        out.prepend(kBom);
    return out;
}

std::optional<LoadedText> readInstructions(const QString& path, QString* error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = f.errorString();
        return std::nullopt;
    }
    return decodeText(bytes);
}

bool writeInstructions(const QString& path, const QString& text, FileFormat& format, QString* error,
                       bool* switchedToUtf8)
{
    FileFormat next = format;
    const QByteArray bytes = encodeText(text, next, switchedToUtf8);
    // On disk before the form says it is saved: a new file, flushed, renamed
    // over the old one, the folder flushed.
    if (!host::replaceFileDurably(path, bytes)) {
        if (error)
            *error = QStringLiteral("disco pieno o cartella non scrivibile");
        return false;
    }
    format = next;
    return true;
}

QString printHeader()
{
    return QStringLiteral("Istruzioni Progetto Pratica - ") + QStringLiteral("assistenza@gestionepratiche.it");
}

int printText(QPagedPaintDevice& device, const QString& text)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const QRectF page(0, 0, painter.viewport().width(), painter.viewport().height());
    int pages = 1;
    qreal y = 0;

    // Lays out one line of text in `font`, wrapping it to the page width, and
    // paints it; starts a new page when the next line does not fit.
    const auto printLine = [&](const QString& line, const QFont& font) {
        QTextLayout layout(line, font, &device);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        QList<QTextLine> lines;
        for (;;) {
            QTextLine l = layout.createLine();
            if (!l.isValid())
                break;
            l.setLineWidth(page.width());
            lines << l;
        }
        layout.endLayout();
        const qreal lineHeight = QFontMetricsF(font, &device).lineSpacing();
        if (lines.isEmpty()) { // an empty line still takes its height
            if (y + lineHeight > page.height() && y > 0) {
                device.newPage();
                ++pages;
                y = 0;
            }
            y += lineHeight;
            return;
        }
        for (QTextLine& l : lines) {
            if (y + l.height() > page.height() && y > 0) {
                device.newPage();
                ++pages;
                y = 0;
            }
            l.draw(&painter, QPointF(page.left() - l.x(), y - l.y()));
            y += l.height();
        }
    };

    QFont headerFont(QStringLiteral("Calibri"));
    headerFont.setPointSizeF(10);
    printLine(printHeader(), headerFont);
    printLine(QString(), headerFont);
    printLine(QString(), headerFont);

    QFont body(QStringLiteral("Calibri"));
    body.setPointSizeF(8);
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QChar::ParagraphSeparator, u'\n');
    if (!t.isEmpty()) {
        const QStringList lines = t.split(u'\n');
        for (const QString& line : lines)
            printLine(line, body);
    }
    painter.end();
    return pages;
}

} // namespace gp::instructions
