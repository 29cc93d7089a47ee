// A1 references, column letters and the identifier rule.
#include <QLocale>
#include <QMetaType>
#include <QRegularExpression>

#include <cmath>

#include "core/host/spreadsheet_host.h"

namespace gp::host {

QString columnLetters(int col)
{
    QString s;
    while (col > 0) {
        int rem = (col - 1) % 26;
        s.prepend(QChar('A' + rem));
        col = (col - 1) / 26;
    }
    return s;
}

namespace {

// One side of a reference: "$B$2", "B2", "B", "2" (the dollars are optional).
struct Part {
    int row = 0, col = 0; // 0 = absent
};

bool parsePart(QStringView s, Part& p)
{
    qsizetype i = 0;
    if (i < s.size() && s[i] == QLatin1Char('$'))
        ++i;
    int col = 0;
    qsizetype letters = 0;
    while (i < s.size() && s[i].isLetter() && s[i].unicode() < 128) {
        col = col * 26 + (s[i].toUpper().unicode() - 'A' + 1);
        ++letters;
        ++i;
        if (letters > 3)
            return false;
    }
    if (i < s.size() && s[i] == QLatin1Char('$')) {
        if (letters == 0)
            return false;
        ++i;
    }
    long long row = 0;
    qsizetype digits = 0;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        row = row * 10 + (s[i].unicode() - '0');
        ++digits;
        ++i;
        if (digits > 6)
            return false;
    }
    if (i != s.size() || (letters == 0 && digits == 0))
        return false;
    if (letters > 0 && (col < 1 || col > sheet::kMaxCols))
        return false;
    if (digits > 0 && (row < 1 || row > sheet::kMaxRows))
        return false;
    p.col = letters > 0 ? col : 0;
    p.row = digits > 0 ? static_cast<int>(row) : 0;
    return true;
}

} // namespace

bool parseA1(const QString& ref, int& r1, int& c1, int& r2, int& c2)
{
    const QString t = ref.trimmed();
    if (t.isEmpty())
        return false;
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    Part a, b;
    if (colon < 0) {
        if (!parsePart(t, a) || a.row == 0 || a.col == 0)
            return false; // a lone "A" or "2" is not a reference
        b = a;
    } else {
        if (!parsePart(QStringView(t).left(colon), a) || !parsePart(QStringView(t).mid(colon + 1), b))
            return false;
        const bool aCell = a.row && a.col, bCell = b.row && b.col;
        const bool aRow = a.row && !a.col, bRow = b.row && !b.col;
        const bool aCol = !a.row && a.col, bCol = !b.row && b.col;
        if (!((aCell && bCell) || (aRow && bRow) || (aCol && bCol)))
            return false;
    }
    // Whole rows ("2:2") span every column; whole columns ("A:A") every row.
    const int ra = a.row ? a.row : 1, rb = b.row ? b.row : sheet::kMaxRows;
    const int ca = a.col ? a.col : 1, cb = b.col ? b.col : sheet::kMaxCols;
    r1 = std::min(ra, rb);
    r2 = std::max(ra, rb);
    c1 = std::min(ca, cb);
    c2 = std::max(ca, cb);
    return true;
}

std::optional<double> toIdentifier(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort: {
        double d = v.toDouble();
        if (!std::isfinite(d))
            return std::nullopt;
        return d;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: return toIdentifier(v.toString());
    default: return std::nullopt;
    }
}

std::optional<double> toIdentifier(const QString& text)
{
    QString s = text;
    // Ordinary and non-breaking blanks around the number are ignored.
    s.replace(QChar(0x00A0), QLatin1Char(' '));
    s = s.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    bool ok = false;
    double d = QLocale(QLocale::Italian, QLocale::Italy).toDouble(s, &ok);
    if (!ok)
        d = QLocale::c().toDouble(s, &ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

QDate parseDate(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d{1,2})[/-](\\d{1,2})[/-](\\d{2}|\\d{4})$|^(\\d{2})(\\d{2})(\\d{2}|\\d{4})$"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const int first = m.capturedStart(1) >= 0 ? 1 : 4; // separated, or digits only
    const QString y = m.captured(first + 2);
    int year = y.toInt();
    if (y.size() == 2)
        year += year < 30 ? 2000 : 1900;
    return QDate(year, m.captured(first + 1).toInt(), m.captured(first).toInt());
}

bool sameIdentifier(const QVariant& cellValue, double id)
{
    const auto v = toIdentifier(cellValue);
    return v && *v == id;
}

} // namespace gp::host
