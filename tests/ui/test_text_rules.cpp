// The shared text rules of the forms (typed dates, number texts, capitals, the
// typing-only limit, twips, colours, Italian dates, the clock) and where a window
// opens: centred on its opener, inside the screen, beside the control it would cover.
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "core/ui/text_rules.h"
#include "core/ui/window_placement.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace gp::ui;
using namespace Qt::StringLiterals;

class TestTextRules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setItalianLocale(); }

    void strToDate()
    {
        const char* const cases[][4] = {
            // what, typed, the result, the argument after the call
            {"six digits", "121008", "12/10/08", "121008"},
            {"eight digits", "12102008", "12/10/2008", "12102008"},
            {"dashes", "12-10-08", "12/10/08", "12/10/08"},
            {"dashes four-digit year", "12-10-2008", "12/10/2008", "12/10/2008"},
            {"already slashed", "12/10/08", "12/10/08", "12/10/08"},
            {"four characters", "1210", "1210", "1210"},
            {"seven characters", "1210200", "1210200", "1210200"},
            {"empty", "", "", ""},
            // The mend: slashes not in third place are kept as typed, not doubled.
            {"one-digit day and month, four-digit year", "1/2/2008", "1/2/2008", "1/2/2008"},
            {"one-digit day, two-digit year", "1/2/08", "1/2/08", "1/2/08"},
            {"dashes, one-digit day", "1-12-08", "1/12/08", "1/12/08"},
            {"letters of six", "abcdef", "ab/cd/ef", "abcdef"},
        };
        for (const auto& [what, typed, result, rewritten] : cases) {
            QString arg = QString::fromLatin1(typed);
            QVERIFY2(gp::ui::strToDate(arg) == QLatin1String(result) && arg == QLatin1String(rewritten), what);
            QVERIFY2(gp::ui::strToDate(QString::fromLatin1(typed)) == QLatin1String(result), what);
        }
    }

    // Centred numbers, the text of cell values, the number a text starts with.
    void numberTexts()
    {
        QCOMPARE(gp::ui::padC(7, 8), u"   7    "_s);
        QCOMPARE(gp::ui::padC(12, 8), u"   12   "_s);
        QCOMPARE(gp::ui::padC(101.0, 8), u"  101   "_s);
        QCOMPARE(gp::ui::padC(u"12345678"_s, 8), u"12345678"_s);
        QCOMPARE(gp::ui::padC(u"123456789"_s, 8), u"12345678"_s);
        QCOMPARE(gp::ui::padC(QString(), 3), u"   "_s);
        QCOMPARE(gp::ui::padC(12.5, 8), u"  12,5  "_s);

        QCOMPARE(gp::ui::valueText(QVariant()), QString());
        QCOMPARE(gp::ui::valueText(QString()), QString());
        QCOMPARE(gp::ui::valueText(2024.0), u"2024"_s);
        QCOMPARE(gp::ui::valueText(-3.0), u"-3"_s);
        QCOMPARE(gp::ui::valueText(1234567.25), u"1234567,25"_s);
        QCOMPARE(gp::ui::valueText(0.1 + 0.2), u"0,3"_s);
        QCOMPARE(gp::ui::valueText(u" 007 "_s), u" 007 "_s);
        QCOMPARE(gp::ui::valueText(true), u"Vero"_s);
        QCOMPARE(gp::ui::valueText(QDate(2008, 10, 14)), u"14/10/2008"_s);
        const std::pair<const char*, double> leading[] = {{"   12   ", 12}, {"12abc", 12}, {"abc", 0},
                                                          {"", 0},          {"1 2", 12},   {"3.5x", 3.5},
                                                          {"3,5", 3},       {"-7", -7},    {"2e", 2}};
        for (auto [text, number] : leading)
            QCOMPARE(gp::ui::leadingNumber(QString::fromLatin1(text)), number);
    }

    void capitalsTypingLimitAndDateRule()
    {
        QLineEdit box;
        installUpperCase(&box);
        box.show();
        box.setFocus();
        QTest::keyClicks(&box, u"rossi"_s);
        QCOMPARE(box.text(), u"ROSSI"_s);
        QCOMPARE(box.cursorPosition(), 5);
        // Typing in the middle keeps the caret where the user is.
        box.setCursorPosition(2);
        QTest::sendKeyEvent(QTest::Click, &box, Qt::Key_Agrave, u"à"_s, Qt::NoModifier);
        QCOMPARE(box.text(), u"ROÀSSI"_s);
        QCOMPARE(box.cursorPosition(), 3);
        // Text set by the program follows the rule too.
        box.setText(u"città"_s);
        QCOMPARE(box.text(), u"CITTÀ"_s);

        QPlainTextEdit notes;
        installUpperCase(&notes);
        notes.show();
        notes.setFocus();
        QTest::keyClicks(&notes, u"nota"_s);
        QCOMPARE(notes.toPlainText(), u"NOTA"_s);
        QCOMPARE(notes.textCursor().position(), 4);

        // The typing-only limit.
        QLineEdit limited;
        limitTyping(&limited, 8);
        limited.show();
        limited.setFocus();
        QTest::keyClicks(&limited, u"1234567890"_s);
        QCOMPARE(limited.text(), u"12345678"_s);
        QCoreApplication::processEvents(); // the last key press has been handled
        // The program's text is never cut.
        limited.setText(u"12/10/2008"_s);
        QCOMPARE(limited.text(), u"12/10/2008"_s);
        limited.setFocus();
        limited.end(false);
        // The user cannot make it longer, but may shorten it.
        QTest::keyClicks(&limited, u"9"_s);
        QCOMPARE(limited.text(), u"12/10/2008"_s);
        QTest::keyClick(&limited, Qt::Key_Backspace);
        QCOMPARE(limited.text(), u"12/10/200"_s);
        QTest::keyClick(&limited, Qt::Key_Backspace);
        QTest::keyClick(&limited, Qt::Key_Backspace);
        QTest::keyClicks(&limited, u"12"_s);
        QCOMPARE(limited.text(), u"12/10/21"_s); // the second digit would pass the limit

        // Dates are mended when the box loses the focus.
        QWidget w;
        auto* date = new QLineEdit(&w);
        auto* other = new QLineEdit(&w);
        other->move(0, 40);
        installDateRule(date);
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        date->setFocus();
        QTest::keyClicks(date, u"121008"_s);
        QCOMPARE(date->text(), u"121008"_s);
        other->setFocus();
        QCOMPARE(date->text(), u"12/10/08"_s);
    }

    void twipsColoursAndItalianDates()
    {
        QCOMPARE(twips(1440), 96);
        QCOMPARE(twips(15), 1);
        QCOMPARE(twipsRect(150, 300, 1500, 375), QRect(10, 20, 100, 25));
        QCOMPARE(bgr(0xFFC0C0), QColor(0xC0, 0xC0, 0xFF)); // light blue
        QCOMPARE(bgr(kLightYellow), QColor(0xFF, 0xFF, 0xC0));
        QCOMPARE(bgr(0x0000FF), QColor(Qt::red));
        QCOMPARE(longDateIt(QDate(2008, 10, 14)), u"martedì 14  ottobre  2008"_s);
        QCOMPARE(longDateIt(QDate(2026, 3, 1)), u"domenica 01  marzo  2026"_s);
        QCOMPARE(shortDate(QDate(2026, 3, 1)), u"01/03/2026"_s);
    }

    void clockIsSettable()
    {
        const QDateTime when(QDate(2008, 10, 29), QTime(9, 5, 7));
        Clock::setFixed(when);
        QCOMPARE(Clock::today(), QDate(2008, 10, 29));
        QCOMPARE(Clock::now(), when);
        QLineEdit box;
        QObject owner;
        QTimer* timer = startFormClock(&owner, &box);
        QCOMPARE(box.text(), u"Ore...09:05:07"_s);
        QVERIFY(box.isReadOnly());
        QCOMPARE(timer->interval(), 1000);
        Clock::setFixed(when.addSecs(61));
        QTRY_COMPARE_WITH_TIMEOUT(box.text(), u"Ore...09:06:08"_s, 3000);
        Clock::clear();
        QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 5);
    }

    void placement()
    {
        const QRect laptop(0, 0, 1366, 738); // 1366×768 less a 30-pixel panel
        const QRect monitor(1366, 0, 1920, 1080), none;
        const struct {
            const char* what;
            QSize frame;
            QRect opener, control, area;
            QPoint expected;
        } cases[] = {
            {"centred on the opener", {400, 300}, {100, 100, 800, 500}, none, laptop, {300, 200}},
            {"no opener: centred on the area", {400, 300}, none, none, laptop, {483, 219}},
            {"second screen", {600, 400}, {1966, 300, 800, 600}, none, monitor, {2066, 400}},
            {"opener at the right edge: kept inside", {600, 400}, {1000, 100, 366, 300}, none, laptop, {766, 50}},
            {"opener at the top left: kept inside", {700, 500}, {-50, -20, 200, 100}, none, laptop, {0, 0}},
            {"taller than the area: at its top", {500, 900}, {300, 100, 600, 400}, none, laptop, {350, 0}},
            {"control not covered: centred", {400, 200}, {100, 100, 800, 500}, {800, 120, 90, 30}, laptop, {300, 250}},
            // A check box low at the left of the opener: above it is nearer than to its right.
            {"covered: beside it, the least", {620, 380}, {343, 160, 680, 420}, {375, 416, 293, 25}, laptop, {373, 28}},
            // The same box high in the window: the window goes below it.
            {"near the top: below", {620, 380}, {343, 160, 680, 420}, {375, 200, 293, 25}, laptop, {373, 233}},
            // A control in the middle of a wide window: above or below, whichever is nearer.
            {"in the middle: below", {300, 100}, {0, 0, 1366, 700}, {600, 330, 166, 30}, laptop, {533, 368}},
            {"at the bottom of the area: above",
             {300, 100},
             {0, 600, 1366, 138},
             {600, 660, 166, 30},
             laptop,
             {533, 552}},
            // No room beside it anywhere: the window stays centred, inside the area.
            {"no room: centred", {1366, 738}, {0, 0, 1366, 738}, {600, 300, 100, 30}, laptop, {0, 0}},
        };
        for (const auto& c : cases) {
            const QPoint at = placedFramePosition(c.frame, c.opener, c.control, c.area);
            QVERIFY2(at == c.expected,
                     qPrintable(u"%1: at %2,%3"_s.arg(QLatin1String(c.what)).arg(at.x()).arg(at.y())));
            const QRect placed(at, c.frame);
            if (c.frame.width() <= c.area.width() && c.frame.height() <= c.area.height())
                QVERIFY2(c.area.contains(placed), c.what);
            if (!c.control.isEmpty() && c.expected != placedFramePosition(c.frame, c.opener, QRect(), c.area))
                QVERIFY2(!placed.intersects(c.control), c.what);
        }
    }
};

QTEST_MAIN(TestTextRules)
#include "test_text_rules.moc"
