// The case form against typing slips, on a copy of the practice's data: a case
// number typed and confirmed loads that case, a store never lands in another
// case unasked, the dates keep their four-digit years and refuse days that do
// not exist, long case numbers lead to their own rows, an over-long text is
// refused. What reached the file is read back with msoffcrypto-tool and xlrd.
#include "cases/register_forms.h"
#include "common/practice.h"
#include "search/register_forms.h"

#include "cases/case_form.h"
#include "common/modal.h"
#include "common/xls_readback.h"
#include "core/ui/text_rules.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;

namespace {
// Picks the entry at `index` of the case list as the user would.
void pick(TestPractice& env, int index) { pickEntry(env.control<QComboBox>(gp::cases::Form4::kName, "Combo1"), index); }
const QString kPr = QStringLiteral("Pratica");
const QString kTitle = QStringLiteral("Gestione Pratica");

QStringList rowValues(TestPractice& env, int row)
{
    QStringList out;
    for (int c = 1; c <= 14; ++c)
        out << ui::valueText(env.cell(kPr, row, c));
    return out;
}
} // namespace

class TestCaseSafeInput : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;

    QComboBox* combo(const char* n) { return env->control<QComboBox>(cases::Form4::kName, n); }
    QLineEdit* text(const char* n) { return env->control<QLineEdit>(cases::Form4::kName, n); }
    QPlainTextEdit* memo(const char* n) { return env->control<QPlainTextEdit>(cases::Form4::kName, n); }
    QPushButton* button(const char* n) { return env->control<QPushButton>(cases::Form4::kName, n); }

    // Types into a box as the user does, then leaves it with Tab.
    void typeAndLeave(QWidget* box, const QString& typed)
    {
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(box, typed);
        // Tab as the user presses it: the list of matches (if open) closes first.
        if (auto* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Tab);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    QString savedFile()
    {
        env->book().save();
        return env->dir.path() + QStringLiteral("/Pratiche.xls");
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->fixClock(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
        env->show<cases::Form4>();
    }
    void cleanup() { env.reset(); }

    void typedNumberLoadsTheCase()
    {
        // What picking case 106 (row 4) shows.
        pick(*env, 2);
        const QStringList picked = {text("Text4")->text(), text("Text5")->text(), memo("Text6")->toPlainText(),
                                    text("Text9")->text(), text("Text1")->text()};
        QCOMPARE(picked[0], QStringLiteral("1"));
        button("Command1")->click(); // "&Pulisci"
        QVERIFY(text("Text5")->text().isEmpty());

        // Typed and confirmed with Enter: the same case.
        QTest::keyClicks(combo("Combo1"), QStringLiteral("106"));
        QTest::keyClick(combo("Combo1"), Qt::Key_Return);
        QCOMPARE((QStringList{text("Text4")->text(), text("Text5")->text(), memo("Text6")->toPlainText(),
                              text("Text9")->text(), text("Text1")->text()}),
                 picked);

        // Typed and left with Tab: case 104 (row 3).
        button("Command1")->click();
        typeAndLeave(combo("Combo1"), QStringLiteral("104"));
        QTRY_COMPARE(text("Text5")->text(), ui::valueText(env->cell(kPr, 3, 10)));
        QCOMPARE(text("Text4")->text(), QStringLiteral("8"));

        // An unknown number: said once, the fields emptied.
        combo("Combo1")->clearEditText();
        ModalAnswerer boxes;
        boxes.press("OK");
        QTest::keyClicks(combo("Combo1"), QStringLiteral("999"));
        QTest::keyClick(combo("Combo1"), Qt::Key_Return);
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("La Pratica 999 non esiste nell'elenco delle Pratiche."));
        QVERIFY(text("Text5")->text().isEmpty());
        QVERIFY(text("Text4")->text().isEmpty());
        QVERIFY(memo("Text6")->toPlainText().isEmpty());
    }

    void storeGoesOnlyIntoTheCaseShown()
    {
        const QStringList row3 = rowValues(*env, 3), row4 = rowValues(*env, 4);

        // Nothing loaded: a typed number alone is not stored.
        combo("Combo1")->setEditText(QStringLiteral("104"));
        ModalAnswerer boxes;
        boxes.press("OK");
        button("Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Scegliere la Pratica dall'elenco prima di registrarla."));
        QCOMPARE(rowValues(*env, 3), row3);

        // Case 106 shown, 104 typed over it without confirming: asked, No writes nothing.
        pick(*env, 2);
        combo("Combo1")->setEditText(QStringLiteral("104"));
        boxes.clear();
        boxes.press("No");
        button("Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text,
                 QStringLiteral("I dati mostrati sono della Pratica 106: registrarli nella Pratica 104 ?"));
        QCOMPARE(boxes.seen()[0].buttons, QStringList({"Sì", "No"}));
        QCOMPARE(rowValues(*env, 3), row3);
        QCOMPARE(rowValues(*env, 4), row4);

        // Yes: the fields shown go into 104, 106 stays as it was.
        boxes.clear();
        boxes.press("Sì").press("Sì").press("OK");
        button("Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 3);
        QCOMPARE(boxes.seen()[2].text, QStringLiteral("Pratica modificata................................."));
        QCOMPARE(rowValues(*env, 4), row4);

        SKIP_WITHOUT_XLRD();
        const QString out = readBack(savedFile(), ui::kPracticePassword,
                                     QStringLiteral("print(cell('Pratica', 'A3'), cell('Pratica', 'B3'))\n"
                                                    "print(cell('Pratica', 'J3') == cell('Pratica', 'J4'))\n"
                                                    "print(cell('Pratica', 'A4'), cell('Pratica', 'B4'))\n"));
        QCOMPARE(out, QStringLiteral("104.0 1.0\nTrue\n106.0 1.0\n"));
    }

    void datesKeepTheirYearAndMustExist()
    {
        pick(*env, 0); // case 101, row 2
        // A typed four-digit year is never cut, in any of the forms.
        text("Text1")->selectAll();
        typeAndLeave(text("Text1"), QStringLiteral("12-10-2008"));
        QCOMPARE(text("Text1")->text(), QStringLiteral("12/10/2008"));
        text("Text2")->selectAll();
        typeAndLeave(text("Text2"), QStringLiteral("31022024"));
        QCOMPARE(text("Text2")->text(), QStringLiteral("31/02/2024"));

        // No such day: refused at store, naming the field, nothing written.
        const QStringList before = rowValues(*env, 2);
        ModalAnswerer boxes;
        boxes.press("OK");
        button("Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("La data 31/02/2024 nel campo Chiusura non è valida."));
        QCOMPARE(rowValues(*env, 2), before);

        text("Text2")->setText(QStringLiteral("12/13/08"));
        boxes.clear();
        boxes.press("OK");
        button("Command2")->click();
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("La data 12/13/08 nel campo Chiusura non è valida."));
        QCOMPARE(rowValues(*env, 2), before);

        // One-digit day and month with a two-digit year; the empty closing date stays allowed.
        text("Text1")->selectAll();
        typeAndLeave(text("Text1"), QStringLiteral("1-2-08"));
        QCOMPARE(text("Text1")->text(), QStringLiteral("1/2/08"));
        text("Text1")->setText(QStringLiteral("12-10-2008"));
        text("Text2")->clear();
        boxes.clear();
        boxes.press("Sì").press("OK");
        button("Command2")->click();
        QCOMPARE(boxes.seen().at(1).text, QStringLiteral("Pratica modificata................................."));

        SKIP_WITHOUT_XLRD();
        const QString out = readBack(savedFile(), ui::kPracticePassword,
                                     QStringLiteral("print(repr(cell('Pratica', 'C2')), repr(cell('Pratica', 'D2')))\n"));
        QCOMPARE(out, QStringLiteral("'12/10/2008' ''\n"));
    }

    void longCaseNumbersLeadToTheirOwnRows()
    {
        env->setCell(kPr, 2, 1, 123456789.0); // client 9
        env->setCell(kPr, 3, 1, 12345678.0);  // client 8
        qobject_cast<cases::Form4*>(env->form(cases::Form4::kName))->rebuildLists();
        QCOMPARE(combo("Combo1")->itemText(0), QStringLiteral("123456789"));
        QCOMPARE(combo("Combo1")->itemText(1), QStringLiteral("12345678"));
        pick(*env, 0);
        QCOMPARE(text("Text4")->text(), QStringLiteral("9"));
        pick(*env, 1);
        QCOMPARE(text("Text4")->text(), QStringLiteral("8"));
        pick(*env, 0);
        QCOMPARE(text("Text4")->text(), QStringLiteral("9"));
        // Stored into its own row too.
        text("Text5")->setText(QStringLiteral("NUMERO LUNGO"));
        ModalAnswerer boxes;
        boxes.press("Sì").press("OK");
        button("Command2")->click();
        QCOMPARE(ui::valueText(env->cell(kPr, 2, 10)), QStringLiteral("NUMERO LUNGO"));
        QVERIFY(ui::valueText(env->cell(kPr, 3, 10)) != QStringLiteral("NUMERO LUNGO"));
    }

    void overLongTextIsRefused()
    {
        pick(*env, 0);
        const QStringList before = rowValues(*env, 2);
        memo("Text6")->setPlainText(QString(32768, QLatin1Char('A')));
        ModalAnswerer boxes;
        boxes.press("OK");
        button("Command2")->click();
        QCOMPARE(int(boxes.seen().size()), 1);
        QCOMPARE(boxes.seen()[0].title, kTitle);
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("Il campo Adempimenti supera i 32.767 caratteri che una cella "
                                                      "può contenere: accorciarlo."));
        QCOMPARE(rowValues(*env, 2), before);
        // At the limit it is stored whole.
        memo("Text6")->setPlainText(QString(32767, QLatin1Char('A')));
        boxes.clear();
        boxes.press("Sì").press("OK");
        button("Command2")->click();
        QCOMPARE(ui::valueText(env->cell(kPr, 2, 11)).size(), 32767);
    }
};

QTEST_MAIN(TestCaseSafeInput)
#include "test_case_safe_input.moc"
