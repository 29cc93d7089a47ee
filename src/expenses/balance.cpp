#include "expenses/balance.h"

#include "core/host/spreadsheet_host.h"
#include "core/ui/text_rules.h"

#include <cmath>

namespace gp::expenses {

namespace {

constexpr int kMaxIntegerDigits = 15; // keeps cents far inside qint64

bool allDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// "1.234.567" -> "1234567" when every group after the first has three digits.
std::optional<QString> ungroup(const QString& s)
{
    const QStringList groups = s.split(u'.');
    if (groups.size() == 1)
        return allDigits(s) ? std::optional<QString>(s) : std::nullopt;
    if (groups.front().isEmpty() || groups.front().size() > 3 || !allDigits(groups.front()))
        return std::nullopt;
    QString out = groups.front();
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3 || !allDigits(groups[i]))
            return std::nullopt;
        out += groups[i];
    }
    return out;
}

// Integer digits and fraction digits -> cents, rounding half away from zero.
std::optional<qint64> toCents(const QString& intDigits, const QString& fracDigits, bool negative)
{
    QString ip = intDigits;
    while (ip.size() > 1 && ip.front() == u'0')
        ip.remove(0, 1);
    if (ip.size() > kMaxIntegerDigits)
        return std::nullopt;
    qint64 cents = 0;
    for (QChar c : ip)
        cents = cents * 10 + (c.unicode() - u'0');
    cents *= 100;
    const QString frac = fracDigits;
    if (frac.size() >= 1)
        cents += 10 * (frac[0].unicode() - u'0');
    if (frac.size() >= 2)
        cents += frac[1].unicode() - u'0';
    if (frac.size() >= 3 && frac[2] >= u'5')
        cents += 1;
    return negative ? -cents : cents;
}

} // namespace

std::optional<qint64> parseAmountText(const QString& text)
{
    QString s;
    s.reserve(text.size());
    for (QChar c : text) {
        if (c.isSpace() || c == QChar(0x20AC) /* euro sign */ || c == QChar(0x00A0))
            continue;
        s += c;
    }
    if (s.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (s.front() == u'-' || s.front() == u'+') {
        negative = s.front() == u'-';
        s.remove(0, 1);
    }
    if (s.isEmpty())
        return std::nullopt;

    QString intPart, fracPart;
    const qsizetype comma = s.indexOf(u',');
    if (comma >= 0) {
        // Italian: comma for decimals, dots only as thousands groups.
        if (s.indexOf(u',', comma + 1) >= 0)
            return std::nullopt;
        fracPart = s.mid(comma + 1);
        const QString head = s.left(comma);
        if (!fracPart.isEmpty() && !allDigits(fracPart))
            return std::nullopt;
        if (head.isEmpty()) {
            if (fracPart.isEmpty())
                return std::nullopt;
            intPart = QStringLiteral("0");
        } else {
            const auto ug = ungroup(head);
            if (!ug)
                return std::nullopt;
            intPart = *ug;
        }
    } else {
        const qsizetype dots = s.count(u'.');
        if (dots == 0) {
            if (!allDigits(s))
                return std::nullopt;
            intPart = s;
        } else if (dots == 1 && s.size() - s.indexOf(u'.') - 1 != 3) {
            // one dot not followed by a group of three digits: a decimal point
            const qsizetype dot = s.indexOf(u'.');
            intPart = s.left(dot);
            fracPart = s.mid(dot + 1);
            if (intPart.isEmpty())
                intPart = QStringLiteral("0");
            if (!allDigits(intPart) || (!fracPart.isEmpty() && !allDigits(fracPart)))
                return std::nullopt;
        } else {
            const auto ug = ungroup(s); // "1.234" is one thousand two hundred thirty-four
            if (!ug)
                return std::nullopt;
            intPart = *ug;
        }
    }
    return toCents(intPart, fracPart, negative);
}

std::optional<qint64> amountCents(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong: {
        const double d = value.toDouble();
        if (!std::isfinite(d) || std::fabs(d) >= 1e15)
            return std::nullopt;
        // Through six decimals so that 0.285 (stored as 0.28499999...) gives 29 cents,
        // as the cell shows it.
        return parseAmountText(QString::number(d, 'f', 6));
    }
    case QMetaType::QString: return parseAmountText(value.toString());
    default: return std::nullopt;
    }
}

ExpenseTotals totalsFor(host::Book& practice, int column, double id)
{
    ExpenseTotals t;
    host::Sheet* spese = practice.sheetOrNull(QStringLiteral("Spese"));
    if (!spese)
        return t;
    for (int row : spese->walkDown(2, kColCase)) {
        if (spese->identifier(row, column) != id)
            continue;
        const auto cents = amountCents(spese->value(row, kColAmount));
        if (cents) {
            ++t.count;
            t.cents += *cents;
        } else {
            ++t.skipped;
        }
    }
    return t;
}

QString formatEuro(qint64 cents) { return ui::moneyText(cents); }

} // namespace gp::expenses
