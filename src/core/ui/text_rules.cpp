#include "core/ui/text_rules.h"

#include "core/host/spreadsheet_host.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <QValidator>

#include <cmath>

namespace gp::ui {

QString strToDate(QString& data1)
{
    data1.replace(QLatin1Char('-'), QLatin1Char('/'));
    // A text that already has slashes is a date written by hand: it is kept
    // ("1/2/08" must not become "1//2//08").
    if (data1.contains(QLatin1Char('/')))
        return data1;
    if (data1.size() == 6)
        return data1.mid(0, 2) + QLatin1Char('/') + data1.mid(2, 2) + QLatin1Char('/') + data1.mid(4, 2);
    if (data1.size() == 8)
        return data1.mid(0, 2) + QLatin1Char('/') + data1.mid(2, 2) + QLatin1Char('/') + data1.mid(4, 4);
    return data1;
}

QString strToDate(const QString& text)
{
    QString copy = text;
    return strToDate(copy);
}

QString padC(const QVariant& s, int n)
{
    const QString text = valueText(s);
    if (n <= 0)
        return QString();
    if (text.size() >= n)
        return text.left(n);
    const int d = n - int(text.size());
    QString result(d / 2, QLatin1Char(' '));
    result += text;
    result += QString(d / 2 + d % 2, QLatin1Char(' '));
    return result;
}

QLocale italian()
{
    QLocale loc(QLocale::Italian, QLocale::Italy);
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc;
}

QString moneyText(qint64 cents)
{
    const bool negative = cents < 0;
    // magnitude as unsigned so that the smallest qint64 does not overflow
    const quint64 mag = negative ? quint64(0) - quint64(cents) : quint64(cents);
    const QString units = QString::number(mag / 100);
    QString grouped;
    for (qsizetype i = 0; i < units.size(); ++i) {
        if (i > 0 && (units.size() - i) % 3 == 0)
            grouped += u'.';
        grouped += units[i];
    }
    const quint64 rest = mag % 100;
    return (negative ? QStringLiteral("-") : QString()) + grouped + u',' + (rest < 10 ? QStringLiteral("0") : QString())
        + QString::number(rest);
}

QString moneyText(double amount)
{
    if (!std::isfinite(amount) || std::fabs(amount) >= 9e16)
        return QString();
    return moneyText(qint64(std::llround(amount * 100.0)));
}

void setItalianLocale()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    if (QCoreApplication::instance())
        installQtItalian();
}

bool installQtItalian()
{
    static QPointer<QTranslator> installed;
    if (installed)
        return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

QString valueText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QString: return v.toString();
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("Vero") : QStringLiteral("Falso");
    case QMetaType::QDate: return shortDate(v.toDate());
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return shortDate(dt.date());
        return shortDate(dt.date()) + QLatin1Char(' ') + dt.time().toString(QStringLiteral("HH:mm:ss"));
    }
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const double d = v.toDouble();
        if (d == 0)
            return QStringLiteral("0");
        if (std::fabs(d) < 1e15 && d == std::trunc(d))
            return QString::number(static_cast<long long>(d));
        QString s = italian().toString(d, 'g', 15);
        return s;
    }
    default: return v.toString();
    }
}

QString cellText(const host::Sheet& sheet, int row, int col)
{
    const QDateTime when = sheet.dateTime(row, col);
    return when.isValid() ? valueText(when) : valueText(sheet.value(row, col));
}

double leadingNumber(const QString& text)
{
    // Keep the characters that make the number, skipping blanks, up to the
    // first one that cannot continue it.
    QString num;
    enum { Sign, IntPart, Fraction, ExpSign, Exponent } state = Sign;
    bool digits = false;
    for (QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            continue;
        if (state == Sign && (c == QLatin1Char('+') || c == QLatin1Char('-'))) {
            num += c;
            state = IntPart;
        } else if (c.isDigit() && c.unicode() < 128) {
            num += c;
            digits = true;
            if (state == Sign)
                state = IntPart;
            if (state == ExpSign)
                state = Exponent;
        } else if (c == QLatin1Char('.') && (state == Sign || state == IntPart)) {
            num += c;
            state = Fraction;
        } else if ((c == QLatin1Char('e') || c == QLatin1Char('E') || c == QLatin1Char('d') || c == QLatin1Char('D'))
                   && digits && (state == IntPart || state == Fraction)) {
            num += QLatin1Char('e');
            state = ExpSign;
        } else if (state == ExpSign && (c == QLatin1Char('+') || c == QLatin1Char('-'))
                   && num.endsWith(QLatin1Char('e'))) {
            num += c;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    // An exponent without digits is dropped.
    while (!num.isEmpty() && !num.back().isDigit() && num.back() != QLatin1Char('.'))
        num.chop(1);
    bool ok = false;
    const double d = QLocale::c().toDouble(num, &ok);
    return ok ? d : 0;
}

// ---- capitals while typing -------------------------------------------------

void installUpperCase(QLineEdit* box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int caret = box->cursorPosition();
        box->setText(upper);
        box->setCursorPosition(caret);
    });
}

namespace {
template <class Edit> void upperCaseDocument(Edit* box)
{
    auto busy = std::make_shared<bool>(false);
    QObject::connect(box, &Edit::textChanged, box, [box, busy] {
        if (*busy)
            return;
        const QString text = box->toPlainText();
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        *busy = true;
        const int caret = box->textCursor().position();
        box->setPlainText(upper);
        QTextCursor c = box->textCursor();
        c.setPosition(std::min<int>(caret, int(upper.size())));
        box->setTextCursor(c);
        *busy = false;
    });
}
} // namespace

void installUpperCase(QTextEdit* box) { upperCaseDocument(box); }
void installUpperCase(QPlainTextEdit* box) { upperCaseDocument(box); }

// ---- typing-only length limit ---------------------------------------------

namespace {
// Refuses an edit by the user that makes the text longer than the limit. It
// tells the user's edits from the program's setText() by the events that carry
// them (keys, input method, drops, the context menu's paste, middle-click paste).
class TypingLimit : public QValidator {
public:
    TypingLimit(QLineEdit* box, int maxLength) : QValidator(box), box_(box), max_(maxLength)
    {
        lastLength_ = int(box->text().size());
        QObject::connect(box, &QLineEdit::textChanged, this, [this](const QString& t) { lastLength_ = int(t.size()); });
        box->installEventFilter(this);
    }

    State validate(QString& input, int& pos) const override
    {
        if (!userEdit_ || input.size() <= max_ || input.size() <= lastLength_)
            return Acceptable;
        // What the user typed or pasted ends at the caret: of it, only what
        // fits stays (a key typed into a full box changes nothing).
        const int allowed = std::max(max_, lastLength_);
        const int excess = std::min(int(input.size()) - allowed, pos);
        if (excess <= 0)
            return Invalid;
        input.remove(pos - excess, excess);
        pos -= excess;
        return input.size() <= allowed ? Acceptable : Invalid;
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::ContextMenu:
        case QEvent::MouseButtonRelease:
            // The edit this event carries is the user's; the flag drops as soon
            // as the event has been handled.
            userEdit_ = true;
            QTimer::singleShot(0, this, [this] { userEdit_ = false; });
            break;
        default: break;
        }
        return false;
    }

private:
    QPointer<QLineEdit> box_;
    int max_;
    int lastLength_ = 0;
    bool userEdit_ = false;
};
} // namespace

void limitTyping(QLineEdit* box, int maxLength)
{
    box->setMaxLength(32767);
    box->setValidator(new TypingLimit(box, maxLength));
}

// ---- loss of focus ---------------------------------------------------------

namespace {
class FocusOutFilter : public QObject {
public:
    FocusOutFilter(QObject* parent, std::function<void()> f) : QObject(parent), f_(std::move(f)) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::FocusOut)
            f_();
        return false;
    }

private:
    std::function<void()> f_;
};
} // namespace

void onFocusOut(QWidget* w, std::function<void()> handler)
{
    w->installEventFilter(new FocusOutFilter(w, std::move(handler)));
}

void installDateRule(QLineEdit* box)
{
    onFocusOut(box, [box] {
        const QString text = box->text();
        const QString date = strToDate(text);
        if (date != text)
            box->setText(date);
    });
}

// ---- dates ------------------------------------------------------------------

QString shortDate(const QDate& d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

QString longDateIt(const QDate& d)
{
    const QLocale it(QLocale::Italian, QLocale::Italy);
    return it.dayName(d.dayOfWeek(), QLocale::LongFormat) + QLatin1Char(' ') + d.toString(QStringLiteral("dd"))
        + QStringLiteral("  ") + it.monthName(d.month(), QLocale::LongFormat) + QStringLiteral("  ")
        + d.toString(QStringLiteral("yyyy"));
}

} // namespace gp::ui
