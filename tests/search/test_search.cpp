// The search of case files by client: the wildcard match, the rows written to
// "S" (headings left alone), the form's list and messages.
#include "common/boxes_seen.h"
#include "common/practice.h"
#include "core/ui/text_rules.h"
#include "search/case_search.h"
#include "search/like_pattern.h"
#include "search/register_forms.h"
#include "search/search_form.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
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

// Columns A and B of a row: a client's number and name, or a case's number and client.
void setAB(host::Book& b, const char* sheet, int row, const QVariant& a, const QVariant& bValue)
{
    b.sheet(QString::fromLatin1(sheet))->cells(row, 1).setValue(a);
    b.sheet(QString::fromLatin1(sheet))->cells(row, 2).setValue(bValue);
}
// Types `text` into the search form and runs the search; the boxes seen.
std::vector<SeenBox> runSearch(QWidget* form, const QString& text)
{
    child<QLineEdit>(form, "Text1")->setText(text);
    return answered({"OK"}, [form] { child<QPushButton>(form, "Command2")->click(); });
}
} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void wildcards()
    {
        const struct {
            const char *pattern, *text;
            bool valid, match;
        } rows[] = {
            {"*ROSSI*", "ROSSI MARIO", true, true},   {"*rossi*", "ROSSI MARIO", true, false}, // capitals count
            {"R?SSI*", "ROSSI", true, true},          {"ROSSI?", "ROSSI", true, false},        // ? needs one
            {"*#*", "STUDIO 3", true, true},          {"*#*", "STUDIO", true, false},
            {"[A-C]*", "BIANCHI", true, true},        {"[!A-C]*", "BIANCHI", true, false},
            {"*[X-]*", "DE-LUCA", true, true},        {"A[]B", "AB", true, true},
            {"*CITTÀ*", "CITTÀ DI ROMA", true, true}, {"*AB*AB", "XABYABAB", true, true},  // backtracking
            {"[MARIO", "X [MARIO Y", false, true},    {"[Z-A]", "A [Z-A] B", false, true}, // invalid: plain text
        };
        for (const auto& r : rows) {
            const LikePattern p(QString::fromUtf8(r.pattern));
            QVERIFY2(p.isValid() == r.valid, r.pattern);
            QVERIFY2(p.matches(QString::fromUtf8(r.text)) == r.match, r.pattern);
        }
        // A typed text that is no valid pattern is searched as plain text.
        const auto typed = search::containsPattern(QStringLiteral("[ROSSI"));
        QVERIFY(!typed.isValid());
        QVERIFY(typed.matches(QStringLiteral("STUDIO [ROSSI]")));
        QVERIFY(!typed.matches(QStringLiteral("ROSSI")));
    }

    void everyCaseOfEveryMatchingClient()
    {
        Env env;
        SKIP_WITHOUT_FIXTURE(env.openFixture());
        const QStringList headings = {"Soggetto", "N/Cliente", "N/Pratica"};
        // Two clients are called ROSSI MARIO: number 1 with five cases, number 24 with none.
        const auto out = search::searchCases(env.book(), QStringLiteral("ROSSI"));
        QCOMPARE(out.result, SearchResult::Found);
        QCOMPARE(out.clients, 2);
        QCOMPARE(env.sRow(1), headings);
        QCOMPARE(env.sRows(), 6);
        int next = 2;
        for (int r : env.sheet("Pratica").walkDown(2, 1))
            if (host::sameIdentifier(env.cell("Pratica", r, 2), 1))
                QCOMPARE(env.sRow(next++), QStringList({"ROSSI MARIO", "1", ui::valueText(env.cell("Pratica", r, 1))}));
        QCOMPARE(next, 7);
        QCOMPARE(env.sRow(7), QStringList({"ROSSI MARIO", "24", ""}));

        // The heading of "Clienti" is not a client.
        QCOMPARE(search::searchCases(env.book(), QStringLiteral("Ragione")).result, SearchResult::NoMatch);
        QCOMPARE(env.sRow(1), headings);
        QCOMPARE(env.sRows(), 0);

        // "*": every case once, plus the seven clients of the fixture without cases, once each.
        QCOMPARE(search::searchCases(env.book(), QStringLiteral("*")).clients, 24);
        QCOMPARE(env.sRows(), env.tableLength("Pratica") + 7);
    }

    void smallWorkbookCases()
    {
        Env env;
        host::Book& b = env.openSmall();
        QCOMPARE(search::searchCases(b, QStringLiteral("X")).result, SearchResult::NoClients);
        setAB(b, "Clienti", 2, 1.0, QStringLiteral("ALFA [1] SRL"));
        setAB(b, "Clienti", 3, 2.0, QStringLiteral("BETA SPA"));
        setAB(b, "Clienti", 4, 3.0, QStringLiteral("ALFA BIS"));
        setAB(b, "Pratica", 2, 10.0, 3.0);
        setAB(b, "Pratica", 3, 11.0, 1.0);
        setAB(b, "Pratica", 4, 12.0, QStringLiteral("3")); // client number stored as text
        // An unclosed bracket is plain text.
        QCOMPARE(search::searchCases(b, QStringLiteral("[1")).result, SearchResult::Found);
        QCOMPARE(env.sRows(), 1);
        QCOMPARE(env.sRow(2), QStringList({"ALFA [1] SRL", "1", "11"}));
        // Order of "Clienti", then of "Pratica"; the old result is gone.
        search::searchCases(b, QStringLiteral("ALFA"));
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
        setAB(nb, "Clienti", 2, 1.0, QStringLiteral("GAMMA"));
        const auto noSheet = search::searchCases(nb, QStringLiteral("GAMMA"));
        QCOMPARE(noSheet.result, SearchResult::Found);
        QVERIFY(!noSheet.sheetWritten);
        QCOMPARE(int(noSheet.rows.size()), 1);
    }

    void formMessagesAndList()
    {
        Env env;
        SKIP_WITHOUT_FIXTURE(env.openFixture());
        auto* form = env.show(search::SearchForm::kName);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("Ricerca"));
        auto* list = child<QTreeWidget>(form, "ListView1");
        QCOMPARE(child<QPushButton>(form, "Command2")->text(), QStringLiteral("&Esegui"));
        QCOMPARE(titlesAndTexts(runSearch(form, QString())),
                 QStringList({box("Gestione Pratica", "Non è possibile alcuna ricerca se il campo è vuoto")}));
        QCOMPARE(titlesAndTexts(runSearch(form, QStringLiteral("zzzz"))),
                 QStringList({box("Gestione Pratica", "Nessuna Pratica trovata, riprova")}));
        QCOMPARE(child<QLineEdit>(form, "Text1")->text(), QString());
        // Lower case typed: capitalised, then found.
        QCOMPARE(titlesAndTexts(runSearch(form, QStringLiteral("rossi"))),
                 QStringList({box(" Gestione Pratica", "Ricerca Pratica Conclusa  ")}));
        QCOMPARE(list->topLevelItemCount(), 6);
        QCOMPARE(list->headerItem()->text(0), QStringLiteral("Soggetto"));
        QCOMPARE(list->headerItem()->text(1), QStringLiteral("N/Pratica"));
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("ROSSI MARIO"));
        QCOMPARE(list->topLevelItem(5)->text(1), QString());
        QCOMPARE(child<QLineEdit>(form, "Text1")->text(), QString());

        // Closing releases the form; the next opening starts empty.
        QPointer<ui::FormBase> old = form;
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(old.isNull());
        QCOMPARE(child<QTreeWidget>(env.show(search::SearchForm::kName), "ListView1")->topLevelItemCount(), 0);

        // A register without clients.
        Env small;
        small.openSmall();
        QCOMPARE(titlesAndTexts(runSearch(small.show(search::SearchForm::kName), QStringLiteral("A"))),
                 QStringList({box("Gestione Pratica",
                                  "Non è possibile alcuna ricerca perchè non esiste un Cliente registrato ")}));
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
