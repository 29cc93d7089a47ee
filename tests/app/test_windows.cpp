// Every window of the running program on two screens side by side: inside the screen, centred on its opener, off
// its control, with unique Alt-letters; Enter and Escape do what the buttons do; the toolkit's dialogs speak Italian.
#include "app/main_menu.h"
#include "app/program.h"
#include "cases/case_form.h"
#include "cases/case_status_form.h"
#include "cases/client_info_form.h"
#include "cases/utilities_form.h"
#include "clients/assegna.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"
#include "deadlines/attiva.h"
#include "deadlines/inserisci.h"
#include "deadlines/visualizza.h"
#include "expenses/nota_spese.h"
#include "instructions/istruzioni.h"
#include "search/search_form.h"

#include "common/modal.h"
#include "common/practice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeWidget>

#include <map>

using namespace gp;
using namespace Qt::StringLiterals;

namespace {

const QRect kSmall(0, 0, 1366, 768);
const QRect kLarge(1366, 0, 1920, 1080);

// The letter after a single "&", lower case; a null QChar when none.
QChar mnemonic(const QString& text)
{
    static const QRegularExpression single(u"(?:^|[^&])(?:&&)*&([^&])"_s);
    const QRegularExpressionMatch m = single.match(text);
    return m.hasMatch() ? m.captured(1).at(0).toLower() : QChar();
}

// The Alt-letters that clash among the visible controls of `window` (its menu bar
// too), and among the items of each drop-down menu.
QStringList clashes(QWidget* window)
{
    QStringList found;
    const auto check = [&](const QString& scope, const QStringList& texts) {
        std::map<QChar, QString> seen;
        for (const QString& t : texts)
            if (const QChar m = mnemonic(t); !m.isNull())
                if (auto [it, fresh] = seen.emplace(m, t); !fresh)
                    found << u"%1: Alt+%2 in \"%3\" and \"%4\""_s.arg(scope, m, it->second, t);
    };
    QStringList texts;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(w);
        if (!w->isVisibleTo(window) || (label && !label->buddy()))
            continue;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        else if (label)
            texts << label->text();
    }
    auto* main = qobject_cast<QMainWindow*>(window);
    if (auto* bar = main ? qobject_cast<QMenuBar*>(main->menuWidget()) : nullptr) {
        for (QAction* a : bar->actions()) {
            if (!a->isVisible())
                continue;
            texts << a->text();
            QStringList items;
            for (QAction* item : a->menu() ? a->menu()->actions() : QList<QAction*>())
                if (item->isVisible())
                    items << item->text();
            check(window->objectName() + u" menu "_s + a->text(), items);
        }
    }
    check(window->objectName(), texts);
    return found;
}

QRect globalRect(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// A check box is pressed on its square.
void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }
void click(QWidget* f, const char* button) { QTest::mouseClick(child<QPushButton>(f, button), Qt::LeftButton); }
void escape(QWidget* f) { QTest::keyClick(f->focusWidget() ? f->focusWidget() : f, Qt::Key_Escape); }
// Enter on `w` with the focus, as the main keyboard gives it (Return) or the keypad.
void enter(QWidget* w, bool keypad = false)
{
    w->setFocus();
    QTest::keyClick(w, keypad ? Qt::Key_Enter : Qt::Key_Return, keypad ? Qt::KeypadModifier : Qt::NoModifier);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT

    // Each test's program, logged in on a copy of the practice, and the answerer of its boxes.
    struct Bench {
        QTemporaryDir dir;
        app::Program program;
        ModalAnswerer boxes;
    };
    std::unique_ptr<Bench> bench_;

    ui::Navigator& nav() { return bench_->program.navigator(); }
    ui::AppContext& ctx() { return bench_->program.context(); }
    ModalAnswerer& boxes() { return bench_->boxes; }
    host::Sheet* sheet(const QString& name) { return ctx().practice()->sheet(name); }

    ui::FormBase* menuOn(const QRect& screen)
    {
        ui::FormBase* menu = nav().showMainMenu();
        menu->move(screen.center() - QPoint(menu->frameGeometry().width() / 2, menu->frameGeometry().height() / 2));
        menu->activateWindow();
        if (!QTest::qWaitForWindowActive(menu))
            return nullptr;
        // No control of the menu opens what the test shows by name.
        if (QWidget* focus = menu->focusWidget())
            focus->clearFocus();
        return menu;
    }

    // Shows `name` as a command of `opener` would: the opener is the active window.
    ui::FormBase* showFrom(ui::FormBase* opener, const QString& name)
    {
        opener->activateWindow();
        if (!QTest::qWaitForWindowActive(opener))
            return nullptr;
        ui::FormBase* f = nav().show(name);
        return f && QTest::qWaitForWindowExposed(f) ? f : nullptr;
    }

    // The case form opened by the menu's "Pratiche" on `screen`, active; null when it is not.
    cases::Form4* casesOn(const QRect& screen)
    {
        ui::FormBase* menu = menuOn(screen);
        if (!menu)
            return nullptr;
        click(menu, "CmdPratiche");
        auto* cases = nav().formAs<cases::Form4>(cases::Form4::kName);
        return cases && QTest::qWaitForWindowActive(cases) ? cases : nullptr;
    }

private slots:
    void initTestCase()
    {
        ui::setItalianLocale();
        QCOMPARE(QGuiApplication::screens().size(), 2);
        for (const QRect& screen : {kSmall, kLarge}) {
            QVERIFY(QGuiApplication::screenAt(screen.center()));
            QCOMPARE(QGuiApplication::screenAt(screen.center())->availableGeometry(), screen);
        }
    }

    void init()
    {
        bench_ = std::make_unique<Bench>();
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(bench_->dir.path()));
        QVERIFY(startLoggedIn(bench_->program, bench_->dir.path()));
    }
    void cleanup() { bench_.reset(); }

    // Each window on each screen, shown from the main menu: inside the screen
    // and centred on the menu; the ones a control opens, off that control; and
    // the Alt-letters of every window (the menu's too) collected on the way.
    void everyWindowOnEachScreen()
    {
        QStringList names = nav().registeredForms();
        names.removeAll(app::MainMenu::kName);
        names.sort();
        QStringList problems;
        for (const QRect& screen : {kSmall, kLarge}) {
            for (const QString& name : names) {
                ui::FormBase* menu = menuOn(screen);
                QVERIFY(menu);
                problems << clashes(menu);
                ui::FormBase* f = showFrom(menu, name);
                QVERIFY2(f, qPrintable(name));
                problems << clashes(f);
                const QRect frame = f->frameGeometry();
                QVERIFY2(frame.width() > f->width(), "the offscreen windows have frames");
                QString where;
                QDebug(&where) << name << frame << "on" << screen << "menu" << menu->frameGeometry();
                QVERIFY2(screen.contains(frame), qPrintable(where));
                QVERIFY2((frame.center() - menu->frameGeometry().center()).manhattanLength() <= 2, qPrintable(where));
                nav().unload(name);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
            // `name`, opened by `control`, is shown inside the screen and off the control.
            const auto opensOff = [&](const QString& name, QWidget* control) {
                if (auto* box = qobject_cast<QCheckBox*>(control))
                    clickBox(box);
                else
                    QTest::mouseClick(control, Qt::LeftButton);
                ui::FormBase* f = nav().form(name);
                if (!f || !QTest::qWaitForWindowExposed(f) || !screen.contains(f->frameGeometry())
                    || f->frameGeometry().intersects(globalRect(control)))
                    QTest::qFail(qPrintable(name + u": outside or on its control"_s), __FILE__, __LINE__);
                return f;
            };
            cases::Form4* cases = casesOn(screen);
            QVERIFY(cases);
            // "Ricerca" opens the search beside the case form, off the button and the list.
            ui::FormBase* searchForm = opensOff(search::SearchForm::kName, child<QPushButton>(cases, "Command7"));
            QVERIFY(searchForm);
            QVERIFY(!searchForm->frameGeometry().intersects(globalRect(child<QComboBox>(cases, "Combo1"))));
            nav().unload(search::SearchForm::kName);
            // The case status, off "Stato Pratica".
            cases->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(cases));
            child<QComboBox>(cases, "Combo1")->setCurrentIndex(0);
            QVERIFY(opensOff(cases::CaseStatusForm::kName, child<QPushButton>(cases, "Command10")));
            nav().unload(cases::CaseStatusForm::kName);
            cases->commandExit();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

            // The agenda's event list, off "Eventi Scaduti".
            click(menuOn(screen), "CmdScadenze");
            ui::FormBase* launcher = nav().form(deadlines::Attiva::kName);
            QVERIFY(launcher && QTest::qWaitForWindowActive(launcher));
            clickBox(child<QCheckBox>(launcher, "Check1"));
            ui::FormBase* editor = nav().form(deadlines::Inserisci::kName);
            QVERIFY(editor && QTest::qWaitForWindowActive(editor));
            QVERIFY(opensOff(deadlines::Visualizza::kName, child<QCheckBox>(editor, "Check5")));
            for (const QString& name :
                 {deadlines::Visualizza::kName, deadlines::Inserisci::kName, deadlines::Attiva::kName})
                nav().unload(name);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        // The windows with two faces, in each of them.
        auto* assegna = qobject_cast<clients::Assegna*>(showFrom(menuOn(kSmall), clients::Assegna::kName));
        QVERIFY(assegna);
        assegna->startNewClient();
        problems << clashes(assegna);
        assegna->startCaseAssignment();
        problems << clashes(assegna);
        ui::FormBase* editor = showFrom(menuOn(kSmall), deadlines::Inserisci::kName);
        QVERIFY(editor);
        child<QCheckBox>(editor, "Check1")->setChecked(true);
        problems << clashes(editor);
        problems.removeDuplicates();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        // The walk does see letters: the case form has some.
        QVERIFY(!mnemonic(child<QPushButton>(nav().load(cases::Form4::kName), "Command8")->text()).isNull());
    }

    // Escape closes the small windows, not the big ones; Enter on a delete question is "No".
    void escapeClosesTheSmallWindowsAndDeleteQuestionsDefaultToNo()
    {
        cases::Form4* cases = casesOn(kSmall);
        QVERIFY(cases);
        const QVariant first = sheet(u"Pratica"_s)->cells(2, 1).value();
        cases->showCase(host::toIdentifier(first).value());
        // "Elimina": the first question (archive first?) answered No, then Enter on the delete question.
        boxes().press(u"No"_s).pressEnter();
        child<QPushButton>(cases, "Command3")->click();
        QCOMPARE(boxes().seen().size(), size_t(2));
        QCOMPARE(boxes().seen()[1].text, u"Si vuole eliminare la Pratica selezionata ?"_s);
        QCOMPARE(boxes().seen()[1].defaultButton, u"No"_s);
        QCOMPARE(sheet(u"Pratica"_s)->cells(2, 1).value(), first);

        for (const QString& form :
             {search::SearchForm::kName, cases::ClientInfoForm::kName, cases::CaseStatusForm::kName,
              cases::UtilitiesForm::kName, instructions::Istruzioni::kName, deadlines::Visualizza::kName}) {
            ui::FormBase* f = showFrom(cases, form);
            QVERIFY2(f && QTest::qWaitForWindowActive(f), qPrintable(form));
            escape(f);
            QTRY_VERIFY2(!nav().form(form) || !nav().form(form)->isVisible(), qPrintable(form));
            QVERIFY(cases->isVisible());
        }
        // The expense note leaves as its "Esci" does: back to the case form.
        cases->commandExpenseNote();
        auto* note = nav().formAs<expenses::NotaSpese>(expenses::NotaSpese::kName);
        QVERIFY(note && QTest::qWaitForWindowActive(note));
        escape(note);
        QTRY_VERIFY(!note->isVisible());
        QTRY_VERIFY((cases = nav().formAs<cases::Form4>(cases::Form4::kName)) && cases->isVisible());
        // The big windows stay.
        QTest::keyClick(cases, Qt::Key_Escape);
        QVERIFY(cases->isVisible());
        // In the note again: Alt+E is "Esci", and Enter on the delete question keeps the expense.
        cases->commandExpenseNote();
        note = nav().formAs<expenses::NotaSpese>(expenses::NotaSpese::kName);
        QVERIFY(note && QTest::qWaitForWindowActive(note));
        QCOMPARE(mnemonic(child<QPushButton>(note, "Command3")->text()), QLatin1Char('e'));
        const QVariant firstId = sheet(u"Spese"_s)->cells(2, 1).value();
        note->showExpense(2);
        boxes().clear();
        boxes().pressEnter();
        child<QPushButton>(note, "Command4")->click();
        QCOMPARE(boxes().seen().size(), size_t(1));
        QCOMPARE(boxes().seen()[0].text, u"Si vuole Eliminare la Spesa selezionata ?"_s);
        QCOMPARE(boxes().seen()[0].defaultButton, u"No"_s);
        QCOMPARE(sheet(u"Spese"_s)->cells(2, 1).value(), firstId);
    }

    void enterPressesTheFocusedButtonAndSearches()
    {
        // A button of the menu.
        enter(child<QPushButton>(menuOn(kSmall), "CmdPratiche"));
        auto* cases = nav().formAs<cases::Form4>(cases::Form4::kName);
        QVERIFY(cases && QTest::qWaitForWindowActive(cases));
        // "&Pulisci" by Enter empties the fields of the case shown.
        cases->showCase(host::toIdentifier(sheet(u"Pratica"_s)->cells(2, 1).value()).value());
        auto* client = child<QLineEdit>(cases, "Text9");
        auto* number = child<QComboBox>(cases, "Combo1");
        QVERIFY(!client->text().isEmpty());
        enter(child<QPushButton>(cases, "Command1"), true);
        QVERIFY(client->text().isEmpty());
        QVERIFY(number->currentText().isEmpty());
        // Enter in a text box of a form without a main command does nothing.
        enter(child<QLineEdit>(cases, "Text1"));
        QVERIFY(cases->isVisible());
        QVERIFY(boxes().seen().empty());

        // Enter in the search's text searches.
        click(cases, "Command7");
        ui::FormBase* search = nav().form(search::SearchForm::kName);
        QVERIFY(search && QTest::qWaitForWindowActive(search));
        auto* text = child<QLineEdit>(search, "Text1");
        auto* list = child<QTreeWidget>(search, "ListView1");
        text->setFocus();
        boxes().press(u"OK"_s);
        QTest::keyClicks(text, u"a"_s);
        QTest::keyClick(text, Qt::Key_Return);
        QVERIFY(boxes().waitForBoxes(1));
        QCOMPARE(boxes().seen()[0].text, u"Ricerca Pratica Conclusa  "_s);
        QVERIFY(list->topLevelItemCount() > 1);
        // A double click on a result shows its case in the case form.
        // As the window system delivers it: press, release, double click, release.
        QTreeWidgetItem* item = list->topLevelItem(1);
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &dbl);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_COMPARE(number->currentText().trimmed(), item->text(1));
        QCOMPARE(client->text(), item->text(0));
        QTRY_VERIFY(cases->isActiveWindow());
        // Enter on the current result does the same.
        cases->commandClear();
        search->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(search));
        list->setCurrentItem(list->topLevelItem(0));
        enter(list);
        QTRY_COMPARE(number->currentText().trimmed(), list->topLevelItem(0)->text(1));
        QCOMPARE(boxes().seen().size(), size_t(1));
    }

    // The agenda's "Esci" (Enter on the focused box), then its close box: each saves and goes back to the menu.
    void agendaReturnsToTheMenu()
    {
        ui::FormBase* menu = menuOn(kSmall);
        for (const bool closeBox : {false, true}) {
            click(menu, "CmdScadenze");
            ui::FormBase* launcher = nav().form(deadlines::Attiva::kName);
            QVERIFY(launcher && QTest::qWaitForWindowActive(launcher));
            QVERIFY(!menu->isVisible());
            const QString value = closeBox ? u"ancora"_s : u"dal menu"_s;
            sheet(u"Foglio1"_s)->range(u"A1"_s).setValue(value);
            ctx().deadlines()->sheet(u"Dorvessa"_s)->range(u"G1"_s).setValue(value);
            auto* esci = child<QCheckBox>(launcher, "Check2");
            if (closeBox) {
                launcher->close();
            } else {
                enter(esci);
            }
            QVERIFY(!launcher->isVisible());
            QVERIFY(!esci->isChecked());
            QVERIFY(menu->isVisible());
            QVERIFY(!ctx().practice()->modified());
            QVERIFY(!ctx().deadlines()->modified());
        }
        QVERIFY(boxes().seen().empty());
        QVERIFY(!ctx().ended);
    }

    void toolkitDialogsInItalian()
    {
        QFileDialog dialog(nullptr, u"Apri"_s);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QStringList texts;
        for (QAbstractButton* b : buttons->buttons())
            texts << b->text().remove(QLatin1Char('&'));
        QVERIFY2(texts.contains(u"Apri"_s) && texts.contains(u"Annulla"_s), qPrintable(texts.join(QLatin1Char(','))));
        auto* lookIn = child<QLabel>(&dialog, "lookInLabel");
        QVERIFY(lookIn);
        QVERIFY2(!lookIn->text().contains(u"Look in"_s), qPrintable(lookIn->text()));
    }
};

// A laptop's screen and a desktop monitor beside it, with window frames, set before the application starts.
int main(int argc, char** argv)
{
    QTemporaryFile layout(QDir::tempPath() + u"/gp-screens-XXXXXX.json"_s);
    if (!layout.open()
        || layout.write(R"({"windowFrameMargins": true, "screens": [
        {"name": "portatile", "x": 0, "y": 0, "width": 1366, "height": 768},
        {"name": "monitor", "x": 1366, "y": 0, "width": 1920, "height": 1080}]})")
            < 0
        || !layout.flush())
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + layout.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_windows.moc"
