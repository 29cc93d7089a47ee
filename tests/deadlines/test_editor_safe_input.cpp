// The deadline editor against typing slips and broken agendas: a typed date
// keeps its four-digit year and must exist, a new event goes where the lists
// show it (or is refused with the broken row named), and its amount carries
// the money format. The saved file is read back with msoffcrypto-tool and xlrd.
#include "common/modal.h"
#include "common/xls_readback.h"
#include "core/ui/app_context.h"
#include "core/ui/clock.h"
#include "deadlines/agenda.h"
#include "deadlines/inserisci.h"
#include "common/practice.h"
#include "deadlines/register_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;
using namespace gp::deadlines;

class TestEditorSafeInput : public QObject {
    Q_OBJECT

    Inserisci* openInsert(TestPractice& env)
    {
        auto* editor = qobject_cast<Inserisci*>(openAgendaEditor(*env.nav));
        if (editor)
            child<QCheckBox>(editor, "Check1")->setChecked(true);
        return editor;
    }
    // Types an event as the user does and presses "Inserisci"; the boxes seen.
    std::vector<SeenBox> insert(Inserisci* editor, const QString& date, const QString& amount)
    {
        auto* text1 = child<QLineEdit>(editor, "Text1");
        text1->clear();
        QTest::keyClicks(text1, date);
        child<QComboBox>(editor, "Combo1")->setEditText(QStringLiteral("UDIENZA"));
        child<QLineEdit>(editor, "Text2")->setText(QStringLiteral("PRATICA 104"));
        child<QLineEdit>(editor, "Text4")->setText(amount);
        ModalAnswerer boxes;
        boxes.press("OK");
        child<QPushButton>(editor, "Command2")->click();
        return boxes.seen();
    }

private slots:
    void init() { ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(9, 30))); }
    void cleanup() { ui::Clock::clear(); }

    void typedDatesKeepTheirYearAndMustExist()
    {
        TestPractice env;
        SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
        Inserisci* editor = openInsert(env);
        QVERIFY(editor);
        auto seen = insert(editor, QStringLiteral("31-02-2027"), QString());
        QCOMPARE(int(seen.size()), 1);
        QCOMPARE(seen[0].title, kAgendaTitle);
        QCOMPARE(seen[0].text, QStringLiteral("La data 31-02-2027 nel campo Dorvessa non è valida."));
        QCOMPARE(int(readEvents(agendaSheet(env.ctx)).size()), 20);

        // All ten characters are taken: the year stays 2027.
        seen = insert(editor, QStringLiteral("12-10-2027"), QString());
        QCOMPARE(seen.at(0).text, QStringLiteral("Evento n. 21 inserito in Dorvessa."));
        const Event e = readEvent(agendaSheet(env.ctx), 22);
        QCOMPARE(e.date, QDate(2027, 10, 12));
    }

    void newEventGoesWhereTheListsShowIt()
    {
        TestPractice env;
        SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
        Inserisci* editor = openInsert(env);
        QVERIFY(editor);
        host::Sheet* sheet = agendaSheet(env.ctx);
        // An event without its number: the lists stop above it; refused.
        sheet->cells(10, 1).setValue(QVariant());
        auto seen = insert(editor, QStringLiteral("05/03/2027"), QStringLiteral("1350,5"));
        QCOMPARE(int(seen.size()), 1);
        QCOMPARE(seen[0].title, QStringLiteral("Gestione Pratiche"));
        QCOMPARE(seen[0].text, QStringLiteral("La riga 10 del foglio Dorvessa non è vuota ma non ha il numero: "
                                              "correggerla prima di aggiungere."));
        QVERIFY(sheet->cells(22, 1).isEmpty());
        QVERIFY(sheet->cells(22, 2).isEmpty());

        // The row emptied: the new event fills it and every list reaches it.
        sheet->rows(10, 10).clear(); // values and formats
        seen = insert(editor, QStringLiteral("05/03/2027"), QStringLiteral("1350,5"));
        QCOMPARE(seen.at(0).text, QStringLiteral("Evento n. 21 inserito in Dorvessa."));
        const std::vector<Event> events = readEvents(sheet);
        QCOMPARE(int(events.size()), 20);
        QCOMPARE(events[8].row, 10);
        QCOMPARE(events[8].number.value(), 21.0);
        QCOMPARE(events[8].texts[5], QStringLiteral("1.350,50")); // as the viewer lists it
        QVERIFY(sheet->cells(22, 1).isEmpty());

        SKIP_WITHOUT_XLRD();
        // The editor saved the workbook after inserting.
        const QString out = readBack(env.path(ui::kDeadlineFile), ui::kDeadlinePassword,
                                     QStringLiteral("print(cell('Dorvessa', 'A10'), cell('Dorvessa', 'F10'), "
                                                    "fmt('Dorvessa', 'F10'), fmt('Dorvessa', 'F2'))\n"));
        QCOMPARE(out, QStringLiteral("21.0 1350.5 #,##0.00 #,##0.00\n"));
    }
};

QTEST_MAIN(TestEditorSafeInput)
#include "test_editor_safe_input.moc"
