// The case form on the practice's data and on small workbooks: rows and columns
// each command writes, every box shown, typing slips, error reports; then the
// utilities window's backup and restore.
#include "cases/case_status_form.h"
#include "cases/client_info_form.h"
#include "cases/register_forms.h"
#include "clients/anagrafe.h"
#include "clients/assegna.h"
#include "common/practice.h"
#include "deadlines/scadenza_pratica.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"
#include "search/search_form.h"

#include "cases/case_form.h"
#include "cases/utilities_form.h"
#include "common/boxes_seen.h"
#include "common/xls_readback.h"
#include "core/ui/geometry.h"
#include "core/ui/text_rules.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace gp;
using gp::cases::Form4;

namespace {
void pick(TestPractice& env, int index) { pickEntry(env.control<QComboBox>(gp::cases::Form4::kName, "Combo1"), index); }
const QString kPr = QStringLiteral("Pratica");
const QString kSt = QStringLiteral("Storico");
const QString kSp = QStringLiteral("Spese");
const QDate kToday(2026, 3, 14);
const QString kGP = QStringLiteral("Gestione Pratica");
const QString kGPs = QStringLiteral("Gestione Pratiche");
const QString kModified = QStringLiteral("Pratica modificata.................................");

QStringList rowValues(TestPractice& env, const QString& sheet, int row, int cols = 14)
{
    QStringList out;
    for (int c = 1; c <= cols; ++c)
        out << ui::valueText(env.cell(sheet, row, c));
    return out;
}

const QString kCl = QStringLiteral("Clienti");
const QStringList kAllSheets = {"Clienti", "Pratica", "Storico", "Spese", "Codice", "S"};

// Clients 1 and 2; case 12 stored as a number (M filled), case 7 as the text "007", case 30.
void fillSmall(TestPractice& env)
{
    const std::tuple<QString, int, int, QVariant> cells[] = {
        {kCl, 2, 1, 1.0},  {kCl, 2, 2, "VERDI ANNA"}, {kCl, 3, 1, 2.0},          {kCl, 3, 2, "NERI LUIGI"},
        {kPr, 2, 1, 12.0}, {kPr, 2, 2, 1.0},          {kPr, 2, 13, "RISERVATO"}, {kPr, 3, 1, "007"},
        {kPr, 3, 2, 2.0},  {kPr, 4, 1, 30.0},         {kPr, 4, 2, 2.0},          {"Codice", 1, 10, "AVV. UNO"}};
    for (const auto& [sheet, row, col, value] : cells)
        env.setCell(sheet, row, col, value);
}

// The three boxes of an error report from `first` on: number, description naming `sheet`, source.
void checkErrorReport(const std::vector<SeenBox>& seen, size_t first, const QString& sheet, const QString& source)
{
    QCOMPARE(seen.size(), first + 3);
    QCOMPARE(titlesAndTexts(seen)[int(first)], box("Dorvessa", "errore numero: 1004"));
    QCOMPARE(seen[first].buttons, QStringList({"OK"}));
    QCOMPARE(seen[first + 1].title, QStringLiteral("Dorvessa"));
    QVERIFY(seen[first + 1].text.startsWith(QStringLiteral("descrizione: ")) && seen[first + 1].text.contains(sheet));
    QCOMPARE(titlesAndTexts(seen)[int(first + 2)], box("Dorvessa", "sorgente dell'errore: " + source));
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
} // namespace

class TestCaseForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TestPractice> env;

    QComboBox* combo(const char* n) { return env->control<QComboBox>(cases::Form4::kName, n); }
    QLineEdit* text(const char* n) { return env->control<QLineEdit>(cases::Form4::kName, n); }
    QPlainTextEdit* memo(const char* n) { return env->control<QPlainTextEdit>(cases::Form4::kName, n); }
    QPushButton* button(const char* n) { return env->control<QPushButton>(cases::Form4::kName, n); }
    QAction* menu(const char* n) { return env->form(cases::Form4::kName)->findChild<QAction*>(QString::fromUtf8(n)); }
    std::vector<SeenBox> click(const char* name, std::initializer_list<const char*> answers)
    {
        return answered(answers, [&] { button(name)->click(); });
    }
    // Types over a box's text as the user does, then leaves it with Tab.
    void typeAndLeave(QWidget* box, const QString& typed)
    {
        box->setFocus(Qt::TabFocusReason);
        if (auto* line = qobject_cast<QLineEdit*>(box))
            line->selectAll();
        QTest::keyClicks(box, typed);
        // Tab as the user presses it: the list of matches (if open) closes first.
        if (auto* popup = QApplication::activePopupWidget())
            QTest::keyClick(popup, Qt::Key_Tab);
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }
    // What the named controls show, each a line box, list box or text box.
    QStringList shown(std::initializer_list<const char*> names)
    {
        QStringList out;
        for (const char* n : names) {
            QWidget* w = env->control<QWidget>(cases::Form4::kName, n);
            if (auto* c = qobject_cast<QComboBox*>(w))
                out << c->currentText();
            else if (auto* t = qobject_cast<QPlainTextEdit*>(w))
                out << t->toPlainText();
            else
                out << (w ? qobject_cast<QLineEdit*>(w)->text() : QStringLiteral("(missing)"));
        }
        return out;
    }
    bool visible(const QString& name)
    {
        ui::FormBase* f = env->nav->form(name);
        return f && f->isVisible();
    }
    // Clicks a command that closes the case form; true when the form was released.
    bool clickReleases(const char* name)
    {
        QPointer<ui::FormBase> old = env->form(cases::Form4::kName);
        button(name)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return old.isNull();
    }
    // Types a case number into the list box and confirms it with Enter.
    void enterCase(const QString& number)
    {
        combo("Combo1")->clearEditText();
        QTest::keyClicks(combo("Combo1"), number);
        QTest::keyClick(combo("Combo1"), Qt::Key_Return);
    }
    // A fresh bench on a small Pratiche.xls with the given sheets, filled by fillSmall when `fill`.
    void small(const QStringList& sheets = kAllSheets, bool fill = true)
    {
        env.reset();
        env = std::make_unique<TestPractice>();
        env->fixClock(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
        env->registerAll();
        env->createSmall(sheets);
        if (fill)
            fillSmall(*env);
    }
    QString savedFile()
    {
        env->book().save();
        return env->path(ui::kPracticeFile);
    }
    int listIndexOf(double caseNumber)
    {
        QComboBox* c = combo("Combo1");
        for (int i = 0; i < c->count(); ++i)
            if (ui::leadingNumber(c->itemText(i)) == caseNumber)
                return i;
        return -1;
    }

private slots:
    void init()
    {
        env = std::make_unique<TestPractice>();
        env->fixClock(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
        env->registerAll();
        SKIP_WITHOUT_FIXTURE(env->openFixture());
    }
    void cleanup() { env.reset(); }

    void controlsAsDesigned()
    {
        Form4* f = env->show<cases::Form4>();
        QVERIFY(f);
        QCOMPARE(f->windowTitle(), QStringLiteral("Gestione della Pratica "));
        QCOMPARE((QList<QRect>{combo("Combo1")->geometry(), text("Text9")->geometry(), text("Text10")->geometry(),
                               memo("Text6")->geometry()}),
                 (QList<QRect>{ui::twipsRect(600, 720, 1695, 390), ui::twipsRect(2400, 720, 4575, 390),
                               ui::twipsRect(7320, 3240, 2295, 390), ui::twipsRect(600, 5160, 9135, 1125)}));
        QCOMPARE(env->control<QCheckBox>(cases::Form4::kName, "Check1")->pos(),
                 QPoint(ui::twips(6360), ui::twips(3360)));
        for (const char* locked : {"Text9", "Text3", "Text4", "Text10", "Text8"})
            QVERIFY2(text(locked)->isReadOnly(), locked);
        for (const char* free : {"Text1", "Text2", "Text5"})
            QVERIFY2(!text(free)->isReadOnly(), free);
        QCOMPARE(combo("Combo1")->palette().color(QPalette::Base), ui::bgr(0xFFFFC0));
        QCOMPARE(text("Text3")->palette().color(QPalette::Base), ui::bgr(0xFFFFC0));
        QCOMPARE(text("Text10")->palette().color(QPalette::Base), ui::bgr(0xFFFFFF));
        QCOMPARE(button("Command2")->palette().color(QPalette::Button), ui::bgr(0xC0E0FF));
        QCOMPARE(text("Text1")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QCOMPARE(button("Command4")->toolTip(),
                 QStringLiteral("Permette di spostare la pratica nell'Archivio Storico"));
        QCOMPARE(button("Command7")->toolTip(), QStringLiteral("Pratiche Collegate al Cliente"));
        // The column of commands, top to bottom, all at one left edge and width.
        QStringList captions;
        int lastTop = -1;
        for (const char* n : {"Command7", "Command2", "Command9", "Command10", "Command1", "Command6", "Command5",
                              "Command4", "Command3", "Command8"}) {
            captions << button(n)->text();
            QVERIFY2(button(n)->x() == ui::twips(10200) && button(n)->width() == ui::twips(2055), n);
            QVERIFY2(button(n)->y() > lastTop, n);
            lastTop = button(n)->y();
        }
        QCOMPARE(captions,
                 QStringList({"&Ricerca", "&Inserisci-Aggiorna", "&Altre Inform.", "Stato Pratica", "&Pulisci",
                              "&Fatturazione", "&Nota Spese", "&Storicizza", "E&limina", "&Esci"}));
        QCOMPARE(menu("MnAgg")->text(), QStringLiteral("Assegna  Nu&mero Pratica"));
        QCOMPARE(menu("MUtilità")->text(), QStringLiteral("&Utilità"));
        // Tab order of the first ten fields; a combo box and its edit line are one field.
        QStringList names;
        QWidget* w = combo("Combo1");
        for (int step = 0; names.size() < 10 && step < 100; ++step, w = w->nextInFocusChain()) {
            if (w->focusPolicy() == Qt::NoFocus)
                continue;
            QWidget* named = w;
            while (named && !named->objectName().startsWith(QLatin1String("Text"))
                   && !named->objectName().startsWith(QLatin1String("Combo")))
                named = named->parentWidget();
            const QString n = named ? named->objectName() : QString();
            if (names.isEmpty() || names.back() != n)
                names << n;
        }
        QCOMPARE(names,
                 QStringList(
                     {"Combo1", "Text1", "Text2", "Combo3", "Combo4", "Combo5", "Combo2", "Text5", "Text6", "Text7"}));
        QVERIFY(text("Text8")->text().startsWith(QStringLiteral("Ore...")));
    }

    void activationListsAndSelection()
    {
        env->show<cases::Form4>();
        QComboBox* list = combo("Combo1");
        QCOMPARE(list->count(), env->tableLength(kPr));
        QCOMPARE(list->itemText(0), QStringLiteral("  101   "));
        QCOMPARE(env->control<QLabel>(cases::Form4::kName, "Label14")->text(), QStringLiteral("Oggi....14/03/2026"));
        // The choice lists: Codice J (one entry a number), K, M, L.
        QCOMPARE(combo("Combo3")->itemText(3), QStringLiteral("2024"));
        QCOMPARE(combo("Combo3")->count(), 4);
        // Activated again (coming back from another window): each entry once.
        env->nav->hide(cases::Form4::kName);
        env->show(search::SearchForm::kName);
        env->show<cases::Form4>();
        QCOMPARE(list->count(), env->tableLength(kPr));
        QCOMPARE(combo("Combo3")->count(), 4);
        // Entry p is the case of row p + 2.
        for (int p : {0, 7, list->count() - 1})
            QCOMPARE(ui::leadingNumber(list->itemText(p)), env->cell(kPr, p + 2, 1).toDouble());

        // The selection fills the fields: row 4, case 106 of client 1, D empty, E a date value.
        const auto fields = {"Text4", "Text9", "Text1", "Text2", "Text3", "Combo3", "Text10", "Text6"};
        const QStringList case106 = {"1",          "ROSSI MARIO", "01/05/22",   "",
                                     "27/05/2025", "AVV. ROSSI",  "26/12/2026", "DEPOSITARE MEMORIA\nNOTIFICARE ATTO"};
        pick(*env, 2);
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("106"));
        QCOMPARE(shown(fields), case106);
        // A client number that is not in "Clienti" leaves the name empty.
        env->setCell(kPr, 6, 2, 999.0);
        pick(*env, 4);
        QCOMPARE(shown({"Text4", "Text9", "Text5"}),
                 QStringList({"999", "", "PRATICA N. 110 — RECUPERO CREDITO / RICORSO"}));
        // The hand-overs: showCase chooses by number; the deadline text is shown as given.
        env->show<cases::Form4>()->showCase(104);
        QCOMPARE(combo("Combo1")->currentIndex(), 1);
        QCOMPARE(text("Text4")->text(), QStringLiteral("8"));
        env->show<cases::Form4>()->setDeadlineText(QStringLiteral("01/02/2027"));
        QCOMPARE(text("Text10")->text(), QStringLiteral("01/02/2027"));

        // A number typed and confirmed with Enter loads its case as picking it does.
        button("Command1")->click(); // "&Pulisci"
        QVERIFY(text("Text5")->text().isEmpty());
        enterCase(QStringLiteral("106"));
        QCOMPARE(shown(fields), case106);
        // Typed and left with Tab: case 104 (row 3).
        button("Command1")->click();
        typeAndLeave(combo("Combo1"), QStringLiteral("104"));
        QTRY_COMPARE(text("Text5")->text(), ui::valueText(env->cell(kPr, 3, 10)));
        QCOMPARE(text("Text4")->text(), QStringLiteral("8"));
        // An unknown number: said once, the fields emptied.
        QCOMPARE(titlesAndTexts(answered({"OK"}, [&] { enterCase(QStringLiteral("999")); })),
                 QStringList({box(kGP, "La Pratica 999 non esiste nell'elenco delle Pratiche.")}));
        QCOMPARE(shown({"Text5", "Text4", "Text6"}), QStringList({"", "", ""}));
    }

    void storeWritesTheRow()
    {
        env->show<cases::Form4>();
        pick(*env, 4); // case 110, row 6, column M filled
        const QStringList before = rowValues(*env, kPr, 6);
        const QStringList neighbour = rowValues(*env, kPr, 7);
        text("Text5")->setText(QStringLiteral("nuovo oggetto"));
        QCOMPARE(text("Text5")->text(), QStringLiteral("NUOVO OGGETTO"));
        text("Text2")->setText(QStringLiteral("01/03/26"));
        text("Text10")->clear();
        combo("Combo3")->setEditText(QStringLiteral("Avv. Nuovo"));
        auto seen = click("Command2", {"Sì", "OK"});
        QCOMPARE(titlesAndTexts(seen),
                 QStringList({box(kGP, "Si  vuole Aggiornare la Pratica Selezionata  ?"), box(kGP, kModified)}));
        QCOMPARE(seen[0].buttons, QStringList({"Sì", "No"}));
        QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));

        // A kept, D, F as typed, J, M untouched, N "*" for no deadline; B a number, E today as a date value.
        const QStringList after = rowValues(*env, kPr, 6);
        QCOMPARE((QStringList{after[0], after[3], after[5], after[9], after[12], after[13]}),
                 (QStringList{before[0], "01/03/26", "Avv. Nuovo", "NUOVO OGGETTO", "DATO RISERVATO 5", "*"}));
        QCOMPARE(env->cell(kPr, 6, 2), QVariant(20.0));
        QCOMPARE(env->sheet(kPr).cells(6, 5).date(), kToday);
        QCOMPARE(env->cell(kPr, 6, 5).typeId(), int(QMetaType::Double));
        QCOMPARE(rowValues(*env, kPr, 7), neighbour);

        // The form is empty; the list holds the plain numbers, entry p = row p + 2.
        QComboBox* list = combo("Combo1");
        QCOMPARE(shown({"Combo1", "Text5"}), QStringList({"", ""}));
        QCOMPARE(list->count(), env->tableLength(kPr));
        QCOMPARE(list->itemText(0), QStringLiteral("101"));
        QCOMPARE(combo("Combo3")->count(), 4);
        pick(*env, 4);
        QCOMPARE(shown({"Text5", "Text3"}), QStringList({"NUOVO OGGETTO", "14/03/2026"}));
        // Back to centred entries at the next activation.
        env->nav->hide(cases::Form4::kName);
        env->show<cases::Form4>();
        QCOMPARE(list->itemText(0), QStringLiteral("  101   "));
        pick(*env, 4);
        QCOMPARE(combo("Combo1")->currentText(), QStringLiteral("  110   "));

        // A deadline is written as it is.
        text("Text10")->setText(QStringLiteral("30/06/2026"));
        click("Command2", {"Sì", "OK"});
        QCOMPARE(ui::valueText(env->cell(kPr, 6, 14)), QStringLiteral("30/06/2026"));
        // Case numbers too long to centre lead to their own rows, and are stored there.
        env->setCell(kPr, 2, 1, 123456789.0); // client 9
        env->setCell(kPr, 3, 1, 12345678.0);  // client 8
        qobject_cast<cases::Form4*>(env->form(cases::Form4::kName))->rebuildLists();
        QCOMPARE((QStringList{combo("Combo1")->itemText(0), combo("Combo1")->itemText(1)}),
                 QStringList({"123456789", "12345678"}));
        for (auto [entry, client] : {std::pair{0, "9"}, std::pair{1, "8"}, std::pair{0, "9"}}) {
            pick(*env, entry);
            QCOMPARE(text("Text4")->text(), QString::fromLatin1(client));
        }
        // Stored into its own row too.
        text("Text5")->setText(QStringLiteral("NUMERO LUNGO"));
        click("Command2", {"Sì", "OK"});
        QCOMPARE(ui::valueText(env->cell(kPr, 2, 10)), QStringLiteral("NUMERO LUNGO"));
        QVERIFY(ui::valueText(env->cell(kPr, 3, 10)) != QStringLiteral("NUMERO LUNGO"));
    }

    void commandsWithoutACase()
    {
        env->show<cases::Form4>();
        const int cases = env->tableLength(kPr), archived = env->tableLength(kSt);
        const struct {
            const char* button;
            const QString& title;
            const char* text;
        } rows[] = {
            {"Command2", kGP, "Bisogna selezionare la pratica......."},
            {"Command4", kGP, "Bisogna Selezionare la Pratica......."},
            {"Command3", kGP, "Bisogna Selezionare  la   Pratica......."},
            {"Command6", kGP, " Funzione ancora in Progettazione "},
            {"Command10", kGPs, " Per Interrogare lo Stato, occorre che il Campo Pratica sia compilato"},
        };
        for (const auto& r : rows) {
            const auto seen = click(r.button, {"OK"});
            QCOMPARE(titlesAndTexts(seen), QStringList({box(r.title, QString::fromUtf8(r.text))}));
            if (QLatin1String(r.button) == QLatin1String("Command3"))
                QCOMPARE(seen.at(0).icon, QMessageBox::Information);
        }
        auto* check = env->control<QCheckBox>(cases::Form4::kName, "Check1");
        QCOMPARE(titlesAndTexts(answered({"OK"}, [&] { check->setChecked(true); })),
                 QStringList({box(kGPs, " Occorre selezionare una Pratica ")}));
        QVERIFY(!check->isChecked());
        QCOMPARE(env->tableLength(kPr), cases);
        QCOMPARE(env->tableLength(kSt), archived);
    }

    void archiveCopiesWholeRowTwice()
    {
        env->show<cases::Form4>();
        const int firstFree = env->tableLength(kSt) + 2;
        // A number that is not in column A: said, nothing archived, the form stays.
        combo("Combo1")->setEditText(QStringLiteral("4242"));
        QCOMPARE(click("Command4", {"Sì", "OK"}).at(1).text,
                 QStringLiteral("La Pratica 4242 non esiste nell'elenco delle Pratiche: nessuna operazione eseguita."));
        QCOMPARE(env->tableLength(kSt), firstFree - 2);
        QVERIFY(env->form(cases::Form4::kName)->isVisible());

        pick(*env, 4); // case 110, M filled
        const QStringList source = rowValues(*env, kPr, 6);
        const auto seen = click("Command4", {"Sì", "OK"});
        QCOMPARE(titlesAndTexts(seen),
                 QStringList({box(kGP, "Si vuole storicizzare la pratica selezionata ?"),
                              box(" " + kGP, "Pratica    110      è stata  Storicizzata , ora si può eliminarla")}));
        QCOMPARE(seen[1].icon, QMessageBox::Information);
        QCOMPARE(defaultButtons(seen), QStringList({"Sì", "OK"}));
        QCOMPARE(rowValues(*env, kSt, firstFree), source);
        QCOMPARE(rowValues(*env, kPr, 6), source); // the case stays in "Pratica"
        QVERIFY(!env->form(cases::Form4::kName)->isVisible());

        env->show<cases::Form4>();
        pick(*env, 4);
        click("Command4", {"Sì", "OK"});
        QCOMPARE(rowValues(*env, kSt, firstFree + 1), source);
        QCOMPARE(env->tableLength(kSt), firstFree);
    }

    void deleteWithOrWithoutTheExpenses()
    {
        env->show<cases::Form4>();
        const int cases = env->tableLength(kPr);
        const int expenses = env->tableLength(kSp, 2);
        const int own = env->countRows(kSp, 2, 2, 138);
        QCOMPARE(own, 3);
        const int others164 = env->countRows(kSp, 2, 2, 164);
        const int row = listIndexOf(138) + 2;
        const QStringList next = rowValues(*env, kPr, row + 1);
        pick(*env, row - 2);
        // Its state and its client's record first.
        button("Command10")->click();
        auto* status = env->nav->form(cases::CaseStatusForm::kName);
        QVERIFY(status);
        auto label = [&](const char* n) { return status->findChild<QLabel*>(QString::fromLatin1(n))->text(); };
        QCOMPARE(label("Pratica"), QStringLiteral("138"));
        QCOMPARE(label("Stato"), QStringLiteral("Aperta")); // no closing date in D
        QCOMPARE(label("Spese"), QStringLiteral("3"));
        QCOMPARE(label("Totale"), QStringLiteral("€ 1.026,76")); // 211,51 + 16,16 + 799,09
        QVERIFY(label("Cliente").startsWith(QStringLiteral("5 - ESPOSITO GENNARO")));

        button("Command9")->click();
        auto* info = env->nav->form(cases::ClientInfoForm::kName);
        QVERIFY(info);
        auto* list = info->findChild<QTreeWidget*>("ListView1");
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 17); // headings A to Q of "Clienti"
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("Ragione Sociale/Cognome-Nome"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("ESPOSITO GENNARO"));
        // Deleted with its expenses.
        const auto seen = click("Command3", {"No", "Sì", "OK", "Sì"});
        QCOMPARE(titlesAndTexts(seen),
                 QStringList({box(kGPs, " Vuoi Storicizzare la Pratica Prima di Eliminarla ?"),
                              box(kGP, "Si vuole eliminare la Pratica selezionata ?"),
                              box(" " + kGP, "Pratica    138      Eliminata"),
                              box(kGPs, "Si vuole Eliminare le Spese Associate alla Pratica   ?")}));
        QCOMPARE(defaultButtons(seen), QStringList({"Sì", "No", "OK", "No"})); // deleting defaults to No
        QCOMPARE(env->tableLength(kPr), cases - 1);
        QCOMPARE(rowValues(*env, kPr, row), next); // the rows below moved up
        QCOMPARE(env->countRows(kSp, 2, 2, 138), 0);
        QCOMPARE(env->tableLength(kSp, 2), expenses - own);
        QCOMPARE(env->countRows(kSp, 2, 2, 164), others164);
        QVERIFY(!env->form(cases::Form4::kName)->isVisible());
        // The next activation no longer offers the case.
        env->show<cases::Form4>();
        QCOMPARE(listIndexOf(138), -1);

        pick(*env, 0);                                      // case 101, four expenses
        QCOMPARE(int(click("Command3", {"Sì"}).size()), 1); // archive first: nothing happens
        QCOMPARE(env->tableLength(kPr), cases - 1);
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("101"));
        // "No" to the expenses keeps them.
        click("Command3", {"No", "Sì", "OK", "No"});
        QCOMPARE(env->tableLength(kPr), cases - 2);
        QCOMPARE(env->countRows(kSp, 2, 2, 101), 4);
    }

    void otherCommandsAndHandOvers()
    {
        env->show<cases::Form4>();
        pick(*env, 0);
        // "&Assegna Dorvessa" marks the deadline box, still locked.
        menu("MnDorvessa")->trigger();
        QCOMPARE(text("Text10")->palette().color(QPalette::Base), ui::bgr(0xC0FFFF));
        QVERIFY(text("Text10")->isReadOnly());
        // "&Pulisci" empties every text, the lists stay.
        button("Command1")->click();
        QCOMPARE(shown({"Combo1", "Text4", "Text6"}), QStringList({"", "", ""}));
        QCOMPARE(combo("Combo1")->count(), env->tableLength(kPr));
        pick(*env, 0);
        // The deadline box opens the case's deadline form and stays ticked.
        auto* check = env->control<QCheckBox>(cases::Form4::kName, "Check1");
        check->setChecked(true);
        QVERIFY(visible(deadlines::ScadenzaPratica::kName));
        QVERIFY(check->isChecked());
        env->nav->hide(deadlines::ScadenzaPratica::kName);
        // "&Istruzioni" opens beside the case form.
        menu("MnIstruzioni")->trigger();
        QVERIFY(visible(instructions::Istruzioni::kName) && visible(cases::Form4::kName));
        // "&Nuovo Cliente": the client form, the case form hidden.
        menu("MnCliente")->trigger();
        QVERIFY(visible(clients::Anagrafe::kName) && !visible(cases::Form4::kName));
        env->nav->hide(clients::Anagrafe::kName);
        // "&Assegna  Numero Pratica": the form emptied and hidden, the assignment form shown.
        env->show<cases::Form4>();
        pick(*env, 0);
        menu("MnAgg")->trigger();
        QVERIFY(visible(clients::Assegna::kName) && !visible(cases::Form4::kName));
        QCOMPARE(combo("Combo1")->currentText(), QString());
        env->nav->hide(clients::Assegna::kName);
        // "&Nota Spese": the case form is released; the note form holds a new expense of the case.
        env->show<cases::Form4>();
        pick(*env, 0);
        QVERIFY(clickReleases("Command5"));
        QVERIFY(visible(expenses::NotaSpese::kName));
        auto* noteCases = env->control<QComboBox>(expenses::NotaSpese::kName, "Combo1");
        QCOMPARE(noteCases->currentText().trimmed(), QStringLiteral("101"));
        QVERIFY(noteCases->isVisible());
        // "&Esci" releases the form too.
        env->show<cases::Form4>();
        QVERIFY(clickReleases("Command8"));
    }

    void storeGoesOnlyWhereAsked()
    {
        env->show<cases::Form4>();
        const QStringList row3 = rowValues(*env, kPr, 3), row4 = rowValues(*env, kPr, 4);

        // Nothing loaded: a typed number alone is not stored.
        combo("Combo1")->setEditText(QStringLiteral("104"));
        QCOMPARE(titlesAndTexts(click("Command2", {"OK"})),
                 QStringList({box(kGP, "Scegliere la Pratica dall'elenco prima di registrarla.")}));
        QCOMPARE(rowValues(*env, kPr, 3), row3);

        // Case 106 shown, 104 typed over it without confirming: asked, No writes nothing.
        pick(*env, 2);
        combo("Combo1")->setEditText(QStringLiteral("104"));
        const auto seen = click("Command2", {"No"});
        QCOMPARE(titlesAndTexts(seen),
                 QStringList({box(kGP, "I dati mostrati sono della Pratica 106: registrarli nella Pratica 104 ?")}));
        QCOMPARE(seen[0].buttons, QStringList({"Sì", "No"}));
        QCOMPARE(seen[0].defaultButton, QStringLiteral("No")); // storing into another case
        QCOMPARE(rowValues(*env, kPr, 3), row3);
        QCOMPARE(rowValues(*env, kPr, 4), row4);

        // Yes: the fields shown go into 104, 106 stays as it was.
        const auto yes = click("Command2", {"Sì", "Sì", "OK"});
        QCOMPARE(int(yes.size()), 3);
        QCOMPARE(yes[2].text, kModified);
        QCOMPARE(rowValues(*env, kPr, 4), row4);

        pick(*env, 0); // case 101, row 2
        const QStringList before = rowValues(*env, kPr, 2);
        const auto refused = [&](const QString& message) {
            QCOMPARE(titlesAndTexts(click("Command2", {"OK"})), QStringList({box(kGP, message)}));
            QCOMPARE(rowValues(*env, kPr, 2), before);
        };
        // "No" changes nothing, the typed fields stay.
        text("Text5")->setText(QStringLiteral("X"));
        click("Command2", {"No"});
        QCOMPARE(rowValues(*env, kPr, 2), before);
        QCOMPARE(text("Text5")->text(), QStringLiteral("X"));
        // A typed four-digit year is never cut; a day that does not exist is refused, naming the field.
        typeAndLeave(text("Text1"), QStringLiteral("12-10-2008"));
        QCOMPARE(text("Text1")->text(), QStringLiteral("12/10/2008"));
        typeAndLeave(text("Text2"), QStringLiteral("31022024"));
        QCOMPARE(text("Text2")->text(), QStringLiteral("31/02/2024"));
        refused(QStringLiteral("La data 31/02/2024 nel campo Chiusura non è valida."));
        text("Text2")->setText(QStringLiteral("12/13/08"));
        refused(QStringLiteral("La data 12/13/08 nel campo Chiusura non è valida."));
        text("Text2")->clear(); // the empty closing date stays allowed
        // A text longer than a cell holds.
        memo("Text6")->setPlainText(QString(32768, QLatin1Char('A')));
        refused(QStringLiteral("Il campo Adempimenti supera i 32.767 caratteri che una cella può contenere: "
                               "accorciarlo."));
        memo("Text6")->setPlainText(QString(32767, QLatin1Char('A')));
        // A number that is not in column A, confirmed as the target: nothing written, no "modificata".
        combo("Combo1")->setEditText(QStringLiteral("  9999 "));
        const int rows = env->tableLength(kPr);
        const auto missing = click("Command2", {"Sì", "Sì", "OK"});
        QCOMPARE(int(missing.size()), 3);
        QCOMPARE(titlesAndTexts(missing)[2],
                 box(kGP, "La Pratica 9999 non esiste nell'elenco delle Pratiche: nessuna operazione eseguita."));
        QCOMPARE(env->tableLength(kPr), rows);
        QCOMPARE(rowValues(*env, kPr, 2), before);
        QCOMPARE(text("Text5")->text(), QStringLiteral("X"));

        // One-digit day and month with a two-digit year; then stored, the text at the limit whole.
        pick(*env, 0);
        typeAndLeave(text("Text1"), QStringLiteral("1-2-08"));
        QCOMPARE(text("Text1")->text(), QStringLiteral("1/2/08"));
        text("Text1")->setText(QStringLiteral("12-10-2008"));
        text("Text2")->clear();
        memo("Text6")->setPlainText(QString(32767, QLatin1Char('A')));
        QCOMPARE(click("Command2", {"Sì", "OK"}).at(1).text, kModified);
        QCOMPARE(ui::valueText(env->cell(kPr, 2, 11)).size(), 32767);

        SKIP_WITHOUT_XLRD();
        QCOMPARE(readBack(savedFile(), ui::kPracticePassword,
                          QStringLiteral("print(cell('Pratica', 'A3'), cell('Pratica', 'B3'))\n"
                                         "print(cell('Pratica', 'J3') == cell('Pratica', 'J4'))\n"
                                         "print(cell('Pratica', 'A4'), cell('Pratica', 'B4'))\n"
                                         "print(repr(cell('Pratica', 'C2')), repr(cell('Pratica', 'D2')), "
                                         "len(cell('Pratica', 'K2')))\n")),
                 QStringLiteral("104.0 1.0\nTrue\n106.0 1.0\n'12/10/2008' '' 32767\n"));
    }

    void numericMatchingOfTypedNumbers()
    {
        small();
        env->show<cases::Form4>();
        QCOMPARE(combo("Combo1")->count(), 3);
        QCOMPARE(combo("Combo1")->itemText(1), QStringLiteral("  007   "));
        for (const QString& typed : {QStringLiteral(" 12 "), QStringLiteral("012")}) {
            // Typed and confirmed: the case of that number is shown, then stored.
            enterCase(typed);
            QCOMPARE(text("Text9")->text(), QStringLiteral("VERDI ANNA"));
            text("Text5")->setText(QStringLiteral("oggetto ") + typed.trimmed());
            QCOMPARE(click("Command2", {"Sì", "OK"}).at(1).text, kModified);
            QCOMPARE(env->cell(kPr, 2, 10).toString(), QStringLiteral("OGGETTO ") + typed.trimmed());
            QCOMPARE(env->cell(kPr, 2, 1), QVariant(12.0)); // A untouched
            QCOMPARE(env->cell(kPr, 2, 13).toString(), QStringLiteral("RISERVATO"));
        }
        // A case number stored as text is the same number; its fields go back into its row.
        enterCase(QStringLiteral("7"));
        QCOMPARE(text("Text9")->text(), QStringLiteral("NERI LUIGI"));
        click("Command2", {"Sì", "OK"});
        QCOMPARE(env->cell(kPr, 3, 14).toString(), QStringLiteral("*"));
        QCOMPARE(env->cell(kPr, 3, 1).toString(), QStringLiteral("007"));
        QCOMPARE(env->cell(kPr, 3, 2), QVariant(2.0));
        // Picking "  007   " reads row 3.
        env->nav->hide(cases::Form4::kName);
        env->show<cases::Form4>();
        pick(*env, 1);
        QCOMPARE(text("Text9")->text(), QStringLiteral("NERI LUIGI"));
        // A gap after the first case ends the list.
        env->setCell(kPr, 3, 1, QString());
        qobject_cast<cases::Form4*>(env->form(cases::Form4::kName))->rebuildLists(); // as on activation
        QCOMPARE(combo("Combo1")->count(), 1);
        QCOMPARE(combo("Combo1")->itemText(0), QStringLiteral("   12   "));
    }

    void deleteErrorReportsThreeBoxesAndSaves()
    {
        small({"Clienti", "Pratica", "Storico", "Codice", "S"}); // no "Spese"
        env->book().save();
        env->show<cases::Form4>();
        pick(*env, 2); // case 30
        const auto seen = click("Command3", {"No", "Sì", "OK", "Sì", "OK", "OK", "OK"});
        QCOMPARE(seen[2].text, QStringLiteral("Pratica    30      Eliminata"));
        checkErrorReport(seen, 4, "Spese", "Form4.Elimina");
        // The form stays as it was at the error; what was written is saved.
        QVERIFY(visible(cases::Form4::kName) && !env->book().modified());
        env->reopen();
        QCOMPARE(env->tableLength(kPr), 2);
        QCOMPARE(env->cell(kPr, 2, 1), QVariant(12.0));
        QCOMPARE(env->cell(kPr, 3, 1).toString(), QStringLiteral("007"));
        // The program goes on: the next command works on the open workbook.
        env->nav->hide(cases::Form4::kName);
        env->show<cases::Form4>();
        pick(*env, 0);
        QCOMPARE(click("Command2", {"Sì", "OK"}).at(1).text, kModified);
        QCOMPARE(env->cell(kPr, 2, 14).toString(), QStringLiteral("*"));
    }

    void archiveErrorWithoutArchiveSheet()
    {
        small({"Clienti", "Pratica", "Spese", "Codice", "S"}); // no "Storico"
        env->show<cases::Form4>();
        pick(*env, 0);
        checkErrorReport(click("Command4", {"Sì", "OK", "OK", "OK"}), 1, "Storico", "Form4.Storicizza");
        QVERIFY(!env->book().modified()); // saved
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("12"));
    }

    void assignWithoutClients()
    {
        small(kAllSheets, false);
        env->setCell(kPr, 2, 1, 5.0);
        env->show<cases::Form4>();
        pick(*env, 0);
        ModalAnswerer boxes;
        boxes.press("OK").press("OK");
        menu("MnAgg")->trigger();
        // The client form opens instead, and says that there are no clients.
        QVERIFY(boxes.waitForBoxes(2));
        QCOMPARE(titlesAndTexts(boxes.seen()),
                 QStringList({box("Gestione Pratiche",
                                  "Operazione Annullata , non puoi  assegnare una pratica senza aver registrato prima "
                                  "un Cliente  nella Gestione Anagrafica ...."),
                              box("Gestione Pratiche",
                                  "Non ci sono Clienti Registrati in Anagrafica , occorre  "
                                  "utilizzare: AGGIUNGI CLIENTE ")}));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Information);
        QVERIFY(visible(clients::Anagrafe::kName) && !visible(cases::Form4::kName));
        // Nothing written, the form not emptied.
        QCOMPARE(combo("Combo1")->currentText().trimmed(), QStringLiteral("5"));
        QCOMPARE(env->tableLength(kPr), 1);
    }

    void backupAndRestore()
    {
        env->setCell(kCl, 2, 17, QStringLiteral("MODIFICA NON SALVATA"));
        QTemporaryDir target;
        auto* form = qobject_cast<cases::UtilitiesForm*>(env->show(cases::UtilitiesForm::kName));
        QVERIFY(form);
        QStringList written;
        QCOMPARE(answered({"OK"}, [&] { written = form->backupTo(target.path()); }).at(0).title,
                 QStringLiteral("Gestione Pratiche"));
        QCOMPARE(written.size(), 2);
        QCOMPARE(QFileInfo(written[0]).fileName(), QStringLiteral("Pratiche 2026-03-14.xls"));
        QCOMPARE(QFileInfo(written[1]).fileName(), QStringLiteral("Dorvessa 2026-03-14.xls"));
        // The changes were saved first, so the copy is the workbook as it is now.
        QVERIFY(!env->book().modified());
        QCOMPARE(digest(written[0]), digest(env->ctx.path("Pratiche.xls")));
        QCOMPARE(digest(written[1]), digest(env->ctx.path("Dorvessa.xls")));
        // A second copy the same day never overwrites the first.
        answered({"OK"}, [&] { written = form->backupTo(target.path()); });
        QCOMPARE(written.size(), 2);
        QCOMPARE(QFileInfo(written[0]).fileName(), QStringLiteral("Pratiche 2026-03-14 09.30.05.xls"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 4);
        QCOMPARE(answered({"OK"}, [&] { written = form->backupTo(target.path() + "/manca"); }).at(0).icon,
                 QMessageBox::Critical);
        QVERIFY(written.isEmpty());

        QCOMPARE(form->findChild<QPushButton*>("Command4")->text(), QStringLiteral("&Ripristina"));
        // The backup saved first, the first save of the day: its dated copy stays the day's.
        env->setCell(kCl, 2, 17, QStringLiteral("DOPO"));
        answered({"OK"}, [&] { form->saveNow(); }); // "Archivi salvati."
        const QString bakTime
            = QFileInfo(env->ctx.path("Pratiche.xls.bak")).lastModified().toString("dd/MM/yyyy HH:mm");
        QCOMPARE(
            form->copyLabels(),
            QStringList({"Pratiche.xls - copia del 14/03/2026", "Pratiche.xls - copia di sicurezza del " + bakTime}));

        bool restored = true;
        auto seen = answered({"No"}, [&] { restored = form->restoreCopy(0); });
        QVERIFY(!restored);
        QCOMPARE(seen.at(0).text,
                 QStringLiteral("Ripristinare Pratiche.xls dalla copia del 14/03/2026?\n"
                                "La versione attuale sarà conservata come copia nella cartella Copie."));
        QCOMPARE(seen.at(0).buttons, QStringList({"Sì", "No"}));
        QCOMPARE(env->cell(kCl, 2, 17), QVariant(QStringLiteral("DOPO")));

        seen = answered({"Sì", "OK"}, [&] { restored = form->restoreCopy(0); });
        QVERIFY(restored);
        QCOMPARE(seen.at(1).text, QStringLiteral("Pratiche.xls ripristinato dalla copia del 14/03/2026."));
        QCOMPARE(env->cell(kCl, 2, 17), QVariant(QStringLiteral("MODIFICA NON SALVATA"))); // reopened from the copy
        QVERIFY(!env->book().modified());
        // The version replaced is one more dated copy.
        SavedBook kept(env->ctx.path("Copie/Pratiche 2026-03-14 09.30.05.xls"), QStringLiteral("Tesm4061"));
        QVERIFY(kept.book);
        QCOMPARE(kept.sheet(kCl)->cells(2, 17).value(), QVariant(QStringLiteral("DOPO")));
        QCOMPARE(form->copyLabels().first(), QStringLiteral("Pratiche.xls - copia del 14/03/2026 09:30"));
    }
};

QTEST_MAIN(TestCaseForm)
#include "test_case_form.moc"
