// The pickers: the client lists of the client form, of the assignment form and
// of the expense query, and the case list of the case form, driven by typing
// into the real forms. The register used has repeated names, accents, mixed
// case and client numbers unrelated to the rows, so a choice that reached the
// wrong row would show the wrong number.
#include "cases/case_form.h"
#include "common/practice.h"
#include "expenses/inter_spese.h"

#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "common/boxes_seen.h"
#include "core/ui/picker.h"
#include "core/ui/text_rules.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace gp;
using ui::ListPicker;

namespace {
const QString kCl = QStringLiteral("Clienti");
const QString kPr = QStringLiteral("Pratica");

struct Client {
    const char* name;
    double number;
};
// Sheet order; numbers far from the row numbers.
const Client kClients[] = {
    {"ROSSI MARIO", 730},        {"Àrea Servizi srl", 12},      {"BIANCHI LUCIA", 5}, {"ROSSI MARIO", 88},
    {"CITTÀ DI ROMA S.P.A.", 3}, {"zanetti e rossi snc", 1500}, {"ABATE GIULIO", 42},
};
const QStringList kSorted = {"ABATE GIULIO",         "Àrea Servizi srl",     "BIANCHI LUCIA",
                             "CITTÀ DI ROMA S.P.A.", "ROSSI MARIO (n. 730)", "ROSSI MARIO (n. 88)",
                             "zanetti e rossi snc"};

void writeRegister(TestPractice& env)
{
    int row = 2;
    for (const Client& c : kClients) {
        env.setCell(kCl, row, 1, c.number);
        env.setCell(kCl, row++, 2, QString::fromUtf8(c.name));
    }
    env.setCell(kCl, row, 1, QVariant());
    env.setCell(kCl, row, 2, QVariant());
}

QStringList texts(QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// Types into the combo box as the user does; the popup once it shows, else null.
QAbstractItemView* typeInto(QComboBox* combo, const QString& text)
{
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), text);
    QAbstractItemView* popup = ListPicker::of(combo)->completer()->popup();
    return QTest::qWaitFor([&] { return popup->isVisible(); }) ? popup : nullptr;
}

QStringList shownMatches(QComboBox* combo)
{
    QStringList out;
    for (int i : ListPicker::of(combo)->matches())
        out << combo->itemText(i);
    return out;
}

void clickMatch(QAbstractItemView* popup, int i)
{
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(popup->model()->index(i, 0)).center());
}
} // namespace

class TestPickers : public QObject {
    Q_OBJECT
    std::unique_ptr<TestPractice> env;

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
        writeRegister(*env);
    }
    void cleanup() { env.reset(); }

    void foldingAndOrder()
    {
        QCOMPARE(ui::foldForMatch(u"CITTÀ Perché àèéìòù Ç"), QStringLiteral("citta perche aeeiou c"));
        std::vector<ui::PickerEntry> entries;
        for (const Client& c : kClients)
            entries.push_back({QString::fromUtf8(c.name), QString::number(c.number), c.number});
        ui::sortByName(entries);
        QCOMPARE(ui::shownTexts(entries), kSorted);
        // Equal names keep their sheet order, so each keeps its own data.
        QCOMPARE(entries[4].data.toDouble(), 730.0);
        QCOMPARE(entries[5].data.toDouble(), 88.0);
    }

    void clientFormFiltersAndPicksTheRowChosen()
    {
        auto* form = env->show<clients::Anagrafe>();
        auto* combo = child<QComboBox>(form, "Combo1");
        QCOMPARE(texts(combo), kSorted);

        // Typing narrows the list and picks nothing: the list stays open to a choice.
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("Rossi"));
        QVERIFY(popup);
        QCOMPARE(shownMatches(combo),
                 QStringList({"ROSSI MARIO (n. 730)", "ROSSI MARIO (n. 88)", "zanetti e rossi snc"}));
        QCOMPARE(popup->model()->rowCount(), 3);
        QCOMPARE(form->pickedRow(), 0);
        QVERIFY(combo->isEnabled());
        QVERIFY(child<QLineEdit>(form, "Text2")->text().isEmpty());

        // The second ROSSI MARIO of the popup is the one of row 5, client 88.
        clickMatch(popup, 1);
        QTRY_COMPARE(form->pickedRow(), 5);
        QCOMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("88"));
        QCOMPARE(child<QLineEdit>(form, "Text1")->text(), QStringLiteral("ROSSI MARIO"));
        QVERIFY(!combo->isEnabled());

        // Accents and case do not matter; one letter alone picks nothing.
        form->clearFields();
        QVERIFY(typeInto(combo, QStringLiteral("citta")));
        QCOMPARE(shownMatches(combo), QStringList({"CITTÀ DI ROMA S.P.A."}));
        combo->lineEdit()->clear();
        QVERIFY(typeInto(combo, QStringLiteral("b")));
        QCOMPARE(shownMatches(combo), QStringList({"ABATE GIULIO", "BIANCHI LUCIA"}));
        QCOMPARE(form->pickedRow(), 0);
        QVERIFY(combo->isEnabled());
        // A text typed but not chosen is no client to modify.
        const auto seen = answered({"OK"}, [form] { form->modifyClient(); });
        QCOMPARE(seen.size(), size_t(1));
        QVERIFY(seen[0].text.startsWith(QStringLiteral(" ERRORE- Il Cliente deve essere prima inserito")));
    }

    void assignmentChooserGivesTheCaseToTheClientChosen()
    {
        auto* form = qobject_cast<clients::Assegna*>(env->nav->load(clients::Assegna::kName));
        QVERIFY(form);
        form->startCaseAssignment();
        QTRY_VERIFY(form->isVisible());
        auto* combo = child<QComboBox>(form, "Combo1");
        auto* list = child<QListWidget>(form, "List1");
        QCOMPARE(texts(combo), kSorted);
        QCOMPARE(list->item(5)->text(), QStringLiteral("ROSSI MARIO (n. 88)"));

        QAbstractItemView* popup = typeInto(combo, QStringLiteral("MARIO"));
        QVERIFY(popup);
        clickMatch(popup, 0);
        QTRY_COMPARE(list->currentRow(), 4);
        QVERIFY(list->item(4)->isSelected());

        const int lastCase = env->tableLength(kPr, 1) + 1;
        const auto seen = answered({"Sì", "OK"}, [form] { child<QPushButton>(form, "Command1")->click(); });
        QCOMPARE(seen.size(), size_t(2));
        QCOMPARE(seen[0].text, QStringLiteral("Si vuole assegnare una nuova Pratica al Cliente ROSSI MARIO ?"));
        QCOMPARE(env->cell(kPr, lastCase + 1, 2), QVariant(730.0));
    }

    void expenseQueryTakesTheNumberOfTheClientChosen()
    {
        QWidget* form = env->show(expenses::InterSpese::kName);
        child<QRadioButton>(form, "Option1")->setChecked(true);
        auto* combo = child<QComboBox>(form, "Combo1");
        QCOMPARE(texts(combo), kSorted);
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("rossi m"));
        QVERIFY(popup);
        QCOMPARE(popup->model()->rowCount(), 2);
        clickMatch(popup, 1);
        QTRY_COMPARE(child<QLineEdit>(form, "Text2")->text(), QStringLiteral("88"));
        QCOMPARE(combo->currentIndex(), 5);
    }

    void caseListFiltersOnTheTypedNumber()
    {
        QWidget* form = env->show(cases::Form4::kName);
        auto* combo = child<QComboBox>(form, "Combo1");
        QVERIFY(combo->count() > 20);
        const QStringList expected = texts(combo).filter(QStringLiteral("12"));
        QVERIFY(!expected.isEmpty());
        QAbstractItemView* popup = typeInto(combo, QStringLiteral("12"));
        QVERIFY(popup);
        QCOMPARE(shownMatches(combo), expected);
        // The last match leads to its own row of "Pratica".
        clickMatch(popup, int(expected.size()) - 1);
        const int index = ListPicker::of(combo)->matches().back();
        QTRY_COMPARE(combo->currentIndex(), index);
        QCOMPARE(child<QLineEdit>(form, "Text4")->text(), ui::valueText(env->cell(kPr, index + 2, 2)));
    }
};

QTEST_MAIN(TestPickers)
#include "test_pickers.moc"
