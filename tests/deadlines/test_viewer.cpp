// The viewer's lists with a fixed clock, its headings and refresh, and the
// start-up summary of the main menu.
#include "app/main_menu.h"
#include "common/modal.h"
#include "common/practice.h"
#include "core/ui/clock.h"
#include "core/ui/geometry.h"
#include "deadlines/agenda.h"
#include "deadlines/attiva.h"
#include "deadlines/inserisci.h"
#include "deadlines/register_forms.h"
#include "deadlines/startup_summary.h"
#include "deadlines/visualizza.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace gp;
using namespace gp::deadlines;

class TestViewer : public QObject {
    Q_OBJECT
private slots:
    void init() { ui::Clock::setFixed(QDateTime(QDate(2026, 12, 25), QTime(8, 0))); }
    void cleanup() { ui::Clock::clear(); }

    void dueAndExpiredLists();
    void searchListsEverythingAndRefreshesOnActivation();
    void startupSummaryWithAndWithoutAgenda();
};

void TestViewer::dueAndExpiredLists()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    ui::FormBase* editor = openAgendaEditor(*env.nav);
    QVERIFY(editor);

    child<QCheckBox>(editor, "Check4")->setChecked(true);
    auto* viewer = qobject_cast<Visualizza*>(waitActive(*env.nav, Visualizza::kName));
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Eventi in Dorvessa"));
    QCOMPARE(child<QLabel>(viewer, "Label1")->text(), QString());
    auto* list = child<QTreeWidget>(viewer, "ListView1");
    QCOMPARE(list->columnCount(), 6);
    const QStringList heads{"ID", "Dorvessa", "Tipo", "Oggetto", "Nota", "Importo"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(list->headerItem()->text(c), heads[c]);
    for (const auto& [c, width] : {std::pair(0, 500), std::pair(2, 2000), std::pair(5, 1000)})
        QCOMPARE(list->columnWidth(c), ui::twips(width));

    // Due today or later, by date; none in red.
    QCOMPARE(list->topLevelItemCount(), 15);
    QCOMPARE(column(list, 0).mid(0, 4), (QStringList{"5", "1", "16", "8"}));
    QCOMPARE(column(list, 1).mid(0, 2), (QStringList{"28/12/2026", "17/01/2027"}));
    // The date column is at least as designed and wide enough for a whole date: the year is never cut.
    QVERIFY(list->columnWidth(1) >= ui::twips(1000));
    const int margin = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    for (const QString& date : column(list, 1))
        QVERIFY2(list->fontMetrics().horizontalAdvance(date) + margin <= list->columnWidth(1), qPrintable(date));
    QCOMPARE(list->topLevelItem(1)->text(5), QStringLiteral("394,12")); // plain number, no grouping
    QVERIFY(list->topLevelItem(0)->foreground(0).color() != QColor(Qt::red));

    // Back to the editor (its reset), then the expired events, in red.
    env.show(Inserisci::kName);
    child<QCheckBox>(editor, "Check5")->setChecked(true);
    QVERIFY(waitActive(*env.nav, Visualizza::kName));
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Eventi Scaduti"));
    QCOMPARE(column(list, 0), (QStringList{"10", "15", "4", "18", "6"}));
    QCOMPARE(column(list, 1), (QStringList{"01/09/2026", "03/09/2026", "11/09/2026", "21/09/2026", "05/11/2026"}));
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        for (int c = 0; c < 6; ++c)
            QCOMPARE(list->topLevelItem(i)->foreground(c).color(), QColor(Qt::red));

    // The next day the list follows the clock.
    ui::Clock::setFixed(QDateTime(QDate(2026, 12, 29), QTime(8, 0)));
    viewer->refresh();
    QCOMPARE(column(list, 0).last(), QStringLiteral("5"));
}

void TestViewer::searchListsEverythingAndRefreshesOnActivation()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    // Opened for nothing, it lists nothing.
    openAgenda(env.ctx);
    ui::FormBase* viewer = env.show(Visualizza::kName);
    QVERIFY(viewer);
    auto* list = child<QTreeWidget>(viewer, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 0);
    ui::FormBase* editor = openAgendaEditor(*env.nav);
    QVERIFY(editor);
    child<QCheckBox>(editor, "Check2")->setChecked(true);
    child<QCheckBox>(editor, "Check6")->setChecked(true);
    QVERIFY(waitActive(*env.nav, Visualizza::kName));
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Visualizza")); // caption unchanged
    QCOMPARE(child<QLabel>(viewer, "Label1")->text(), QStringLiteral("Seleziona  la Dorvessa"));
    QCOMPARE(column(list, 0).size(), 20);
    for (int i = 0; i < 20; ++i) // sheet order, expired ones included
        QCOMPARE(column(list, 0)[i], QString::number(i + 1));
    QCOMPARE(list->topLevelItem(3)->foreground(0).color(), QColor(Qt::red)); // event 4 expired
    QVERIFY(!column(list, 4).join(' ').contains(QStringLiteral("colonna G")));

    // A gap ends the list; a change in the sheet shows on the next activation.
    host::Sheet* sheet = agendaSheet(env.ctx);
    sheet->cells(8, 1).setValue(QVariant());
    sheet->cells(2, 4).setValue(QStringLiteral("CAMBIATO"));
    env.show(Attiva::kName);
    env.show(Visualizza::kName);
    QCOMPARE(list->topLevelItemCount(), 6);
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("CAMBIATO"));

    // The close box unloads it; the next opening starts from the design caption.
    viewer->close();
    QVERIFY(QTest::qWaitFor([&] { return !env.nav->form(Visualizza::kName); }, 2000));
}

void TestViewer::startupSummaryWithAndWithoutAgenda()
{
    TestPractice env;
    SKIP_WITHOUT_FIXTURE(env.openWith({deadlines::registerForms}));
    // Without the agenda: no summary, no panel, no box, nothing opened.
    const QString agenda = env.path(ui::kDeadlineFile);
    QVERIFY(QFile::rename(agenda, agenda + QStringLiteral(".via")));
    ModalAnswerer boxes;
    ui::FormBase* menu = env.show(app::MainMenu::kName);
    QVERIFY(!deadlines::startupSummary(env.ctx).available);
    QVERIFY(!startupSummaryPanel(env.ctx, menu->body()));
    QCoreApplication::processEvents();
    QVERIFY(boxes.seen().empty() && !env.ctx.deadlines());
    QVERIFY(QFile::rename(agenda + QStringLiteral(".via"), agenda));

    const StartupSummary s = deadlines::startupSummary(env.ctx);
    QVERIFY(s.available && s.expired == 5 && s.upcoming == 1);
    QCOMPARE(s.text, QStringLiteral("Dorvessa: 5 eventi scaduti, 1 evento nei prossimi sette giorni."));
    QVERIFY(env.ctx.deadlines());                             // opened once for the run
    QCOMPARE(env.host->activeWorkbook(), env.ctx.practice()); // the case files stay active
    QVERIFY(!env.ctx.deadlines()->modified());
    QCOMPARE(summaryText(0, 0),
             QStringLiteral("Dorvessa: nessun evento scaduto, nessun evento nei prossimi sette giorni."));
    QCOMPARE(summaryText(1, 2), QStringLiteral("Dorvessa: 1 evento scaduto, 2 eventi nei prossimi sette giorni."));

    // The main menu's panel and its command.
    QWidget* panel = startupSummaryPanel(env.ctx, menu->body());
    QVERIFY(panel);
    auto* layout = new QVBoxLayout(menu->body());
    layout->addWidget(panel);
    QCOMPARE(child<QLabel>(panel, "LabelScadenze")->text(), s.text);
    child<QPushButton>(panel, "CmdVediScadenze")->click();
    auto* viewer = qobject_cast<Visualizza*>(waitActive(*env.nav, Visualizza::kName));
    QVERIFY(viewer);
    QCOMPARE(viewer->windowTitle(), Visualizza::kSummaryCaption);
    QCOMPARE(column(child<QTreeWidget>(viewer, "ListView1"), 0), (QStringList{"10", "15", "4", "18", "6", "5"}));

    // Back to the menu after an event was added: the text follows.
    appendEvent(agendaSheet(env.ctx), {QDate(2026, 12, 26), {}, {}, {}, {}});
    env.show(app::MainMenu::kName);
    QCOMPARE(child<QLabel>(panel, "LabelScadenze")->text(),
             QStringLiteral("Dorvessa: 5 eventi scaduti, 2 eventi nei prossimi sette giorni."));
}

QTEST_MAIN(TestViewer)
#include "test_viewer.moc"
