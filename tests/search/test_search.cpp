// The search of case files by client: the wildcard match, the rows written to
// "S" (every case of a matching client, a client without cases once, the
// headings of "Clienti" and "S" left alone), the list of the form and its
// messages, on a copy of the practice's data and on small workbooks.
#include "cases/case_sheet.h"
#include "common/modal.h"
#include "common/practice.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/app_context.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "search/case_search.h"
#include "search/like_pattern.h"
#include "search/register_forms.h"
#include "search/search_form.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace gp;
using gp::search::LikePattern;
using gp::search::SearchResult;

namespace {
const QString kS = QStringLiteral("S");

// The bench with the search form registered, and the rows of its work sheet.
struct Env : TestPractice {
    Env() { search::registerForms(ctx); }
    host::Book& openSmall() { return createSmall({QStringLiteral("Clienti"), QStringLiteral("Pratica"), kS}); }
    QStringList sRow(int row)
    {
        QStringList out;
        for (int c = 1; c <= 3; ++c)
            out << ui::valueText(sheet(kS).cells(row, c).value());
        return out;
    }
    int sRows() { return tableLength(kS); }
};

void addClient(host::Book& b, int row, double id, const QString& name)
{
    b.sheet("Clienti")->cells(row, 1).setValue(id);
    b.sheet("Clienti")->cells(row, 2).setValue(name);
}
void addCase(host::Book& b, int row, double number, double client)
{
    b.sheet("Pratica")->cells(row, 1).setValue(number);
    b.sheet("Pratica")->cells(row, 2).setValue(client);
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void wildcards_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("match");
        QTest::newRow("star inside") << "*ROSSI*"
                                     << "ROSSI MARIO" << true << true;
        QTest::newRow("capitals count") << "*rossi*"
                                        << "ROSSI MARIO" << true << false;
        QTest::newRow("one character") << "R?SSI*"
                                       << "ROSSI" << true << true;
        QTest::newRow("question needs one") << "ROSSI?"
                                            << "ROSSI" << true << false;
        QTest::newRow("digit") << "*#*"
                               << "STUDIO 3" << true << true;
        QTest::newRow("no digit") << "*#*"
                                  << "STUDIO" << true << false;
        QTest::newRow("class range") << "[A-C]*"
                                     << "BIANCHI" << true << true;
        QTest::newRow("class negated") << "[!A-C]*"
                                       << "BIANCHI" << true << false;
        QTest::newRow("dash at the end") << "*[X-]*"
                                         << "DE-LUCA" << true << true;
        QTest::newRow("empty class") << "A[]B"
                                     << "AB" << true << true;
        QTest::newRow("accented") << "*CITTÀ*"
                                  << "CITTÀ DI ROMA" << true << true;
        QTest::newRow("backtracking") << "*AB*AB"
                                      << "XABYABAB" << true << true;
        QTest::newRow("unclosed bracket") << "[MARIO"
                                          << "X [MARIO Y" << false << true;
        QTest::newRow("backwards range") << "[Z-A]"
                                         << "A [Z-A] B" << false << true;
    }
    void wildcards()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(bool, match);
        const LikePattern p(pattern);
        QCOMPARE(p.isValid(), valid);
        QCOMPARE(p.matches(text), match);
    }
    void invalidTypedTextIsPlain()
    {
        const auto p = search::containsPattern(QStringLiteral("[ROSSI"));
        QVERIFY(!p.isValid());
        QVERIFY(p.matches(QStringLiteral("STUDIO [ROSSI]")));
        QVERIFY(!p.matches(QStringLiteral("ROSSI")));
    }

    void everyCaseOfEveryMatchingClient()
    {
        Env env;
        SKIP_WITHOUT_FIXTURE(env.openFixture());
        // Two clients are called ROSSI MARIO: number 1 with five cases, number 24 with none.
        const auto out = search::searchCases(env.book(), QStringLiteral("ROSSI"));
        QCOMPARE(out.result, SearchResult::Found);
        QCOMPARE(out.clients, 2);
        QCOMPARE(env.sRow(1), QStringList({"Soggetto", "N/Cliente", "N/Pratica"}));
        QCOMPARE(env.sRows(), 6);
        QStringList expectedCases;
        host::Sheet* pratica = env.book().sheet("Pratica");
        for (int r : pratica->walkDown(2, 1))
            if (host::sameIdentifier(pratica->cells(r, 2).value(), 1))
                expectedCases << ui::valueText(pratica->cells(r, 1).value());
        QCOMPARE(expectedCases.size(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(env.sRow(i + 2), QStringList({"ROSSI MARIO", "1", expectedCases[i]}));
        QCOMPARE(env.sRow(7), QStringList({"ROSSI MARIO", "24", ""}));

        // The heading of "Clienti" is not a client.
        QCOMPARE(search::searchCases(env.book(), QStringLiteral("Ragione")).result, SearchResult::NoMatch);
        QCOMPARE(env.sRow(1), QStringList({"Soggetto", "N/Cliente", "N/Pratica"}));
        QCOMPARE(env.sRows(), 0);

        // "*" lists every client: every case once, plus the clients without cases.
        const auto all = search::searchCases(env.book(), QStringLiteral("*"));
        QCOMPARE(all.clients, 24);
        int withoutCases = 0;
        host::Sheet* clienti = env.book().sheet("Clienti");
        for (int r : clienti->walkDown(2, 1)) {
            bool has = false;
            for (int c : pratica->walkDown(2, 1))
                has = has
                    || host::sameIdentifier(pratica->cells(c, 2).value(), clienti->cells(r, 1).value().toDouble());
            withoutCases += has ? 0 : 1;
        }
        QCOMPARE(withoutCases, 7);
        QCOMPARE(env.sRows(), int(env.book().sheet("Pratica")->walkDown(2, 1).size()) + withoutCases);
    }

    void smallWorkbookCases()
    {
        Env env;
        host::Book& b = env.openSmall();
        QCOMPARE(search::searchCases(b, QStringLiteral("X")).result, SearchResult::NoClients);
        addClient(b, 2, 1, QStringLiteral("ALFA [1] SRL"));
        addClient(b, 3, 2, QStringLiteral("BETA SPA"));
        addClient(b, 4, 3, QStringLiteral("ALFA BIS"));
        addCase(b, 2, 10, 3);
        addCase(b, 3, 11, 1);
        b.sheet("Pratica")->cells(4, 1).setValue(12.0);
        b.sheet("Pratica")->cells(4, 2).setValue(QStringLiteral("3")); // client number stored as text
        // An unclosed bracket is plain text.
        auto out = search::searchCases(b, QStringLiteral("[1"));
        QCOMPARE(out.result, SearchResult::Found);
        QCOMPARE(env.sRows(), 1);
        QCOMPARE(env.sRow(2), QStringList({"ALFA [1] SRL", "1", "11"}));
        // Order of "Clienti", then of "Pratica"; the old result is gone.
        out = search::searchCases(b, QStringLiteral("ALFA"));
        QCOMPARE(env.sRows(), 3);
        QCOMPARE(env.sRow(2), QStringList({"ALFA [1] SRL", "1", "11"}));
        QCOMPARE(env.sRow(3), QStringList({"ALFA BIS", "3", "10"}));
        QCOMPARE(env.sRow(4), QStringList({"ALFA BIS", "3", "12"}));
        QCOMPARE(search::searchCases(b, QString()).result, SearchResult::EmptyText);
        // Without a sheet "S" the result is still returned.
        Env bare;
        host::Book& nb = *bare.host->create(bare.ctx.path(ui::kPracticeFile), QString());
        nb.addSheet("Clienti");
        nb.addSheet("Pratica");
        addClient(nb, 2, 1, QStringLiteral("GAMMA"));
        const auto noSheet = search::searchCases(nb, QStringLiteral("GAMMA"));
        QCOMPARE(noSheet.result, SearchResult::Found);
        QVERIFY(!noSheet.sheetWritten);
        QCOMPARE(int(noSheet.rows.size()), 1);
    }

    void formMessagesAndList()
    {
        Env env;
        SKIP_WITHOUT_FIXTURE(env.openFixture());
        auto* form = qobject_cast<search::SearchForm*>(env.nav->show(search::SearchForm::kName));
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Ricerca"));
        auto* text1 = form->findChild<QLineEdit*>("Text1");
        auto* run = form->findChild<QPushButton*>("Command2");
        auto* list = form->findChild<QTreeWidget*>("ListView1");
        QCOMPARE(run->text(), QStringLiteral("&Esegui"));

        ModalAnswerer boxes;
        boxes.press("OK");
        run->click();
        QCOMPARE(boxes.seen().at(0).title, QStringLiteral("Gestione Pratica"));
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Non è possibile alcuna ricerca se il campo è vuoto"));

        boxes.clear();
        boxes.press("OK");
        text1->setText(QStringLiteral("zzzz"));
        run->click();
        QCOMPARE(boxes.seen().at(0).title, QStringLiteral("Gestione Pratica"));
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Nessuna Pratica trovata, riprova"));
        QCOMPARE(text1->text(), QString());

        // Lower case typed: capitalised, then found.
        boxes.clear();
        boxes.press("OK");
        text1->setText(QStringLiteral("rossi"));
        run->click();
        QCOMPARE(boxes.seen().at(0).title, QStringLiteral(" Gestione Pratica"));
        QCOMPARE(boxes.seen().at(0).text, QStringLiteral("Ricerca Pratica Conclusa  "));
        QCOMPARE(list->topLevelItemCount(), 6);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Soggetto"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("N/Pratica"));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("ROSSI MARIO"));
        QCOMPARE(list->topLevelItem(5)->text(1), QString());
        QCOMPARE(text1->text(), QString());

        // Closing releases the form; the next opening starts empty.
        QPointer<ui::FormBase> old = form;
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());
        auto* again = env.nav->show(search::SearchForm::kName);
        QCOMPARE(again->findChild<QTreeWidget*>("ListView1")->topLevelItemCount(), 0);
    }

    void noClientMessage()
    {
        Env env;
        env.openSmall();
        auto* form = qobject_cast<search::SearchForm*>(env.nav->show(search::SearchForm::kName));
        ModalAnswerer boxes;
        boxes.press("OK");
        form->findChild<QLineEdit*>("Text1")->setText(QStringLiteral("A"));
        form->findChild<QPushButton*>("Command2")->click();
        QCOMPARE(boxes.seen().at(0).title, QStringLiteral("Gestione Pratica"));
        QCOMPARE(boxes.seen().at(0).text,
                 QStringLiteral("Non è possibile alcuna ricerca perchè non esiste un Cliente registrato "));
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
