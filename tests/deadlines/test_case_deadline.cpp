// The case form's deadline: the date into column N of the case in
// "Pratiche.xls", into the case form's Text10, and an event of type "Pratica"
// into "Dorvessa.xls" — each workbook reached by name.
#include "cases/case_form.h"
#include "cases/register_forms.h"
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/clock.h"
#include "deadlines/agenda.h"
#include "deadlines/register_forms.h"
#include "deadlines/scadenza_pratica.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace gp;
using namespace gp::deadlines;

namespace {
const QString kTitle = QStringLiteral("Gestione Pratica");

ui::FormBase* startCase(TestPractice& env, double number, const QString& subject)
{
    auto* form = qobject_cast<ScadenzaPratica*>(env.nav->load(ScadenzaPratica::kName));
    if (form)
        form->startForCase(number, subject);
    return form;
}

void pick(ui::FormBase* form, const QDate& d)
{
    auto* cal = child<QCalendarWidget>(form, "Calendario");
    cal->setSelectedDate(d);
    emit cal->clicked(d);
}
// "Registra" (Command1), its one box answered with OK; the boxes seen.
std::vector<SeenBox> save(ui::FormBase* form)
{
    return answered({"OK"}, [form] { child<QPushButton>(form, "Command1")->click(); });
}
} // namespace

class TestCaseDeadline : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(8, 0))); }
    void cleanup() { ui::Clock::clear(); }

    void writesColumnNTheCaseFormAndTheEvent();
    void unknownCaseOrMissingAgendaWritesNothing();
};

// Opened from the case form while the agenda is the active workbook: all three written and saved.
void TestCaseDeadline::writesColumnNTheCaseFormAndTheEvent()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    cases::registerForms(env.ctx);
    auto* form4 = qobject_cast<cases::Form4*>(env.show(cases::Form4::kName));
    QVERIFY(form4);
    env.host->setActiveWorkbook(openAgenda(env.ctx));
    form4->showCase(106);
    child<QCheckBox>(form4, "Check1")->setChecked(true);
    ui::FormBase* form = env.nav->form(ScadenzaPratica::kName);
    QVERIFY(form && form->isVisible());
    const QString subject = child<QLineEdit>(form, "Text2")->text();
    QVERIFY2(subject.startsWith(QStringLiteral("PRATICA 106 \u2014 ")), qPrintable(subject));
    pick(form, QDate(2027, 1, 15));
    QCOMPARE(child<QLineEdit>(form, "Text1")->text(), QStringLiteral("15/01/2027"));
    child<QPlainTextEdit>(form, "Text3")->setPlainText(QStringLiteral("DEPOSITO MEMORIA"));

    QCOMPARE(titlesAndTexts(save(form)),
             QStringList({box(kTitle, "Dorvessa del 15/01/2027 registrata per la pratica n. 106.")}));
    QCOMPARE(child<QLineEdit>(form4, "Text10")->text(), QStringLiteral("15/01/2027"));
    QVERIFY(QTest::qWaitFor([&] { return !env.nav->form(ScadenzaPratica::kName); }, 2000));

    SavedBook practice(env.path(ui::kPracticeFile), ui::kPracticePassword);
    host::Sheet* cases = practice.sheet(QStringLiteral("Pratica"));
    QCOMPARE(cases->findIdentifier(1, 106), 4);
    QCOMPARE(cases->cells(4, 14).text(), QStringLiteral("15/01/2027"));
    QCOMPARE(cases->cells(3, 14).text(), QStringLiteral("*")); // the neighbour untouched

    SavedBook agenda(env.path(ui::kDeadlineFile), ui::kDeadlinePassword);
    host::Sheet* s = agenda.sheet(kDeadlineSheet);
    QCOMPARE(readEvent(s, 22).texts, (QStringList{"21", "15/01/2027", "Pratica", subject, "DEPOSITO MEMORIA", ""}));
    QCOMPARE(s->cells(22, 2).value().typeId(), int(QMetaType::Double)); // a date value
}

// A missing date, a missing agenda (moved away, then back) and an unknown case: nothing written.
void TestCaseDeadline::unknownCaseOrMissingAgendaWritesNothing()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    const QString agenda = env.path(ui::kDeadlineFile);
    QVERIFY(QFile::rename(agenda, agenda + QStringLiteral(".via")));
    ui::FormBase* form = startCase(env, 999, QString());
    QVERIFY(form);
    QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("PRATICA 999"));
    QCOMPARE(titlesAndTexts(save(form)),
             QStringList({box(kTitle,
                              "Il campo \"Dorvessa\" non contiene una data valida.\n"
                              "Scrivere la data come gg/mm/aaaa o sceglierla nel calendario.")}));
    pick(form, QDate(2027, 1, 15));
    QCOMPARE(titlesAndTexts(save(form)),
             QStringList({box(kTitle,
                              "Il file " + QDir::toNativeSeparators(agenda)
                                  + " non è stato trovato.\nLa Dorvessa non è stata registrata.")}));
    QVERIFY(QFile::rename(agenda + QStringLiteral(".via"), agenda));
    QCOMPARE(titlesAndTexts(save(form)),
             QStringList({box(kTitle,
                              "La pratica n. 999 non è presente nel foglio Pratica.\n"
                              "La Dorvessa non è stata registrata.")}));
    QVERIFY(form->isVisible());
    QCOMPARE(lastFilledRow(agendaSheet(env.ctx)), 21);
    QVERIFY(!env.ctx.practice()->modified());
}

QTEST_MAIN(TestCaseDeadline)
#include "test_case_deadline.moc"
