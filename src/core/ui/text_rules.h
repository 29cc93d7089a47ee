// Rules on texts and text boxes shared by the forms: dates typed by the user,
// centred case numbers, the default text of a cell value, capitals while
// typing, the typing-only length limit, loss of focus, Italian date texts.
#pragma once

#include <QDate>
#include <QString>
#include <QVariant>

#include <functional>

class QLineEdit;
class QTextEdit;
class QPlainTextEdit;
class QWidget;

namespace gp::host {
class Sheet;
}

namespace gp::ui {

// StrToDate: a date typed by the user, rewritten with slashes.
// Every "-" of `data1` becomes "/" (data1 itself is rewritten). A text that then
// contains a "/" is returned as it is ("12/10/08", "1/2/08", "12-10-08" ->
// "12/10/08"); otherwise 6 characters give "dd/mm/yy", 8 give "dd/mm/yyyy", any
// other length is returned as it is. No check that the digits make a date.
QString strToDate(QString& data1);
QString strToDate(const QString& text); // same, without rewriting the argument

// PadC: `s` as text centred in exactly `n` characters (the odd blank goes to
// the right); the first `n` characters when it is not shorter. padC(7, 8) ==
// "   7    ".
QString padC(const QVariant& s, int n);

// The default text form of a value (what a cell value becomes "converted to
// text"): empty -> ""; numbers in the Italian way without grouping and with up
// to 15 significant digits (2024 -> "2024", 12.5 -> "12,5"); texts as they are;
// booleans "Vero"/"Falso"; dates "dd/MM/yyyy" (with " HH:mm:ss" when a time is set).
QString valueText(const QVariant& v);

// The value of cell (row, col) of `sheet` (from 1) converted to text, as the
// forms show a cell in a box or a list: valueText() of the value, and a date
// value (a number shown as a date) as its date, with the time when it has one.
QString cellText(const host::Sheet& sheet, int row, int col);

// The numeric value of a text read from its start up to the first character
// that cannot continue a number, blanks skipped; 0 when there is none.
// "  12  " -> 12, "12abc" -> 12, "abc" -> 0, "1 2" -> 12, "3,5" -> 3 (the old
// numeric read takes "." as the decimal point).
double leadingNumber(const QString& text);

// Capitals while typing: on every change of the box's text (typed or set by
// code) the text becomes upper case (accented letters too) and the caret stays
// where it was.
void installUpperCase(QLineEdit* box);
void installUpperCase(QTextEdit* box);
void installUpperCase(QPlainTextEdit* box);

// The typing-only length limit (MaxLength): the user cannot type the box's
// text beyond `maxLength` characters, and a paste is cut to what fits; text the
// program sets with setText() is never cut, and the user may still shorten an
// over-long text.
void limitTyping(QLineEdit* box, int maxLength);

// Runs `handler` every time `w` loses the keyboard focus.
void onFocusOut(QWidget* w, std::function<void()> handler);

// The date rule of the forms: when the box loses the focus its text becomes strToDate(text).
void installDateRule(QLineEdit* box);

// Dates as the program shows them, in Italian.
QString shortDate(const QDate& d);  // "14/10/2008"
QString longDateIt(const QDate& d); // "martedì 14  ottobre  2008" ("dddd dd  mmmm  yyyy")

// Amounts of money. Every amount cell the program writes gets kMoneyFormat,
// the format of the amounts already in the workbooks; every list and label
// shows an amount in the Italian money form.
inline const QString kMoneyFormat = QStringLiteral("#,##0.00");
QString moneyText(qint64 cents);  // 135050 -> "1.350,50", -50 -> "-0,50" (exact)
QString moneyText(double amount); // rounded to the cent: 12.5 -> "12,50", 1000 -> "1.000,00"
// The Italian locale used for every number and date (set as the default at start-up).
QLocale italian();
// Sets the Italian locale as the default and, once an application object
// exists, installs Qt's own Italian translation (qtbase_it.qm), so that the
// toolkit's dialogs (files, printing, colours) speak Italian too.
void setItalianLocale();
// Installs qtbase_it.qm once; false when the translation cannot be found.
bool installQtItalian();

} // namespace gp::ui
