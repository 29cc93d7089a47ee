// Every window of the running program, walked as a user meets it on two
// screens side by side, 1366×768 and 1920×1080 (the offscreen platform with a
// screen layout and window frames): each opens inside the screen, centred on
// the window that opened it and off the control that opened it; its
// Alt-letters are unique; Enter and Escape do what the buttons do; a delete
// question defaults to "No"; the toolkit's own dialogs speak Italian.
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
#include <QScreen>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTreeWidget>

#include <map>

using namespace gp;

namespace {

const QRect kSmall(0, 0, 1366, 768);
const QRect kLarge(1366, 0, 1920, 1080);

// The letter after a single "&", lower case; a null QChar when none.
QChar mnemonic(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

// The Alt-letters that clash among the controls of `window` a user can reach
// now (buttons, check and option boxes, labels of a box, frames, the menu
// bar), and among the items of each drop-down menu.
QStringList clashes(QWidget* window)
{
    QStringList found;
    auto check = [&](const QString& scope, const std::vector<QString>& texts) {
        std::map<QChar, QString> seen;
        for (const QString& t : texts) {
            const QChar m = mnemonic(t);
            if (m.isNull())
                continue;
            auto [it, fresh] = seen.emplace(m, t);
            if (!fresh)
                found << QStringLiteral("%1: Alt+%2 in \"%3\" and \"%4\"").arg(scope, m, it->second, t);
        }
    };
    std::vector<QString> texts;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(window))
            texts.push_back(b->text());
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() && l->isVisibleTo(window))
            texts.push_back(l->text());
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        if (g->isVisibleTo(window))
            texts.push_back(g->title());
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->menuWidget()) {
        if (auto* bar = qobject_cast<QMenuBar*>(main->menuWidget())) {
            for (QAction* a : bar->actions()) {
                if (!a->isVisible())
                    continue;
                texts.push_back(a->text());
                if (QMenu* menu = a->menu()) {
                    std::vector<QString> items;
                    for (QAction* item : menu->actions())
                        if (item->isVisible())
                            items.push_back(item->text());
                    check(window->objectName() + QStringLiteral(" menu ") + a->text(), items);
                }
            }
        }
    }
    check(window->objectName(), texts);
    return found;
}

QRect globalRect(QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); }

// A check box is pressed on its square.
void clickBox(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

// A double click as the window system delivers it: press, release, double click, release.
void doubleClick(QWidget* viewport, const QPoint& pos)
{
    QTest::mouseClick(viewport, Qt::LeftButton, {}, pos);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, pos, viewport->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(viewport, &dbl);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, pos);
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void screensAreTheOnesAsked();
    void everyWindowInsideTheScreenCentredOnItsOpener();
    void windowsOpenOffTheirControl();
    void altLettersAreUnique();
    void escapeClosesTheSmallWindows();
    void enterPressesTheFocusedButton();
    void agendaReturnsToTheMenu();
    void searchByEnterAndOpenTheCase();
    void deleteQuestionsDefaultToNo();
    void toolkitDialogsInItalian();

private:
    ui::FormBase* menuOn(const QRect& screen);
    ui::FormBase* showFrom(ui::FormBase* opener, const QString& name);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<app::Program> program_;
    std::unique_ptr<ModalAnswerer> boxes_;
};

void TestWindows::initTestCase() { ui::setItalianLocale(); }

void TestWindows::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir_->path()));
    program_ = std::make_unique<app::Program>();
    QVERIFY(startLoggedIn(*program_, dir_->path()));
    boxes_ = std::make_unique<ModalAnswerer>();
}

void TestWindows::cleanup()
{
    boxes_.reset();
    program_.reset();
    dir_.reset();
}

ui::FormBase* TestWindows::menuOn(const QRect& screen)
{
    ui::FormBase* menu = program_->navigator().showMainMenu();
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
ui::FormBase* TestWindows::showFrom(ui::FormBase* opener, const QString& name)
{
    opener->activateWindow();
    if (!QTest::qWaitForWindowActive(opener))
        return nullptr;
    ui::FormBase* f = program_->navigator().show(name);
    if (f && !QTest::qWaitForWindowExposed(f))
        return nullptr;
    return f;
}

void TestWindows::screensAreTheOnesAsked()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    QCOMPARE(screens.size(), 2);
    QVERIFY(QGuiApplication::screenAt(kSmall.center()));
    QCOMPARE(QGuiApplication::screenAt(kSmall.center())->availableGeometry(), kSmall);
    QCOMPARE(QGuiApplication::screenAt(kLarge.center())->availableGeometry(), kLarge);
}

void TestWindows::everyWindowInsideTheScreenCentredOnItsOpener()
{
    ui::Navigator& nav = program_->navigator();
    QStringList names = nav.registeredForms();
    names.removeAll(app::MainMenu::kName);
    names.sort();
    for (const QRect& screen : {kSmall, kLarge}) {
        for (const QString& name : names) {
            ui::FormBase* menu = menuOn(screen);
            QVERIFY(menu);
            ui::FormBase* f = showFrom(menu, name);
            QVERIFY2(f, qPrintable(name));
            const QRect frame = f->frameGeometry();
            QVERIFY2(frame.width() > f->width(), "the offscreen windows have frames");
            QVERIFY2(screen.contains(frame),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 on %6x%7")
                                    .arg(name)
                                    .arg(frame.x())
                                    .arg(frame.y())
                                    .arg(frame.width())
                                    .arg(frame.height())
                                    .arg(screen.width())
                                    .arg(screen.height())));
            const QPoint offset = frame.center() - menu->frameGeometry().center();
            QVERIFY2(
                offset.manhattanLength() <= 2,
                qPrintable(
                    QStringLiteral("%1 is %2,%3 off the menu's centre").arg(name).arg(offset.x()).arg(offset.y())));
            nav.unload(name);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
}

void TestWindows::windowsOpenOffTheirControl()
{
    ui::Navigator& nav = program_->navigator();
    for (const QRect& screen : {kSmall, kLarge}) {
        ui::FormBase* menu = menuOn(screen);
        QVERIFY(menu);
        QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdPratiche")), Qt::LeftButton);
        auto* cases = nav.formAs<cases::Form4>(cases::Form4::kName);
        QVERIFY(cases && QTest::qWaitForWindowActive(cases));

        // "Ricerca" opens the search beside the case form, off the button.
        auto* search = cases->findChild<QPushButton*>(QStringLiteral("Command7"));
        QTest::mouseClick(search, Qt::LeftButton);
        ui::FormBase* searchForm = nav.form(search::SearchForm::kName);
        QVERIFY(searchForm && QTest::qWaitForWindowExposed(searchForm));
        QVERIFY(screen.contains(searchForm->frameGeometry()));
        QVERIFY(!searchForm->frameGeometry().intersects(globalRect(search)));
        QVERIFY(!searchForm->frameGeometry().intersects(
            globalRect(cases->findChild<QComboBox*>(QStringLiteral("Combo1")))));
        nav.unload(search::SearchForm::kName);

        // The case status, off "Stato Pratica".
        cases->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(cases));
        cases->findChild<QComboBox*>(QStringLiteral("Combo1"))->setCurrentIndex(0);
        auto* status = cases->findChild<QPushButton*>(QStringLiteral("Command10"));
        QTest::mouseClick(status, Qt::LeftButton);
        ui::FormBase* statusForm = nav.form(cases::CaseStatusForm::kName);
        QVERIFY(statusForm && QTest::qWaitForWindowExposed(statusForm));
        QVERIFY(screen.contains(statusForm->frameGeometry()));
        QVERIFY(!statusForm->frameGeometry().intersects(globalRect(status)));
        nav.unload(cases::CaseStatusForm::kName);
        cases->commandExit();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // The agenda's event list, off "Eventi Scaduti".
        menu = menuOn(screen);
        QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdScadenze")), Qt::LeftButton);
        ui::FormBase* launcher = nav.form(deadlines::Attiva::kName);
        QVERIFY(launcher && QTest::qWaitForWindowActive(launcher));
        QVERIFY(screen.contains(launcher->frameGeometry()));
        clickBox(launcher->findChild<QCheckBox*>(QStringLiteral("Check1")));
        ui::FormBase* editor = nav.form(deadlines::Inserisci::kName);
        QVERIFY(editor && QTest::qWaitForWindowActive(editor));
        QVERIFY(screen.contains(editor->frameGeometry()));
        auto* expired = editor->findChild<QCheckBox*>(QStringLiteral("Check5"));
        clickBox(expired);
        ui::FormBase* viewer = nav.form(deadlines::Visualizza::kName);
        QVERIFY(viewer && QTest::qWaitForWindowExposed(viewer));
        QVERIFY(screen.contains(viewer->frameGeometry()));
        QVERIFY(!viewer->frameGeometry().intersects(globalRect(expired)));
        nav.unload(deadlines::Visualizza::kName);
        nav.unload(deadlines::Inserisci::kName);
        nav.unload(deadlines::Attiva::kName);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void TestWindows::altLettersAreUnique()
{
    ui::Navigator& nav = program_->navigator();
    QStringList problems;
    QStringList names = nav.registeredForms();
    names.sort();
    for (const QString& name : names) {
        ui::FormBase* f = nav.load(name);
        QVERIFY2(f, qPrintable(name));
        problems << clashes(f);
    }
    // The windows with two faces, in each of them.
    auto* assegna = nav.formAs<clients::Assegna>(clients::Assegna::kName);
    QVERIFY(assegna);
    assegna->startNewClient();
    problems << clashes(assegna);
    assegna->startCaseAssignment();
    problems << clashes(assegna);
    auto* editor = nav.form(deadlines::Inserisci::kName);
    showFrom(menuOn(kSmall), deadlines::Inserisci::kName);
    editor->findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
    problems << clashes(editor);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    // The walk does see letters: the case form has some.
    QVERIFY(
        !mnemonic(nav.form(cases::Form4::kName)->findChild<QPushButton*>(QStringLiteral("Command8"))->text()).isNull());
}

void TestWindows::escapeClosesTheSmallWindows()
{
    ui::Navigator& nav = program_->navigator();
    ui::FormBase* menu = menuOn(kSmall);
    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdPratiche")), Qt::LeftButton);
    auto* cases = nav.formAs<cases::Form4>(cases::Form4::kName);
    QVERIFY(cases && QTest::qWaitForWindowActive(cases));
    cases->showCase(1);
    for (const QString& form : {search::SearchForm::kName, cases::ClientInfoForm::kName, cases::CaseStatusForm::kName,
                                cases::UtilitiesForm::kName, instructions::Istruzioni::kName}) {
        ui::FormBase* f = showFrom(cases, form);
        QVERIFY2(f, qPrintable(form));
        QVERIFY(QTest::qWaitForWindowActive(f));
        QWidget* target = f->focusWidget() ? f->focusWidget() : f;
        QTest::keyClick(target, Qt::Key_Escape);
        QTRY_VERIFY2(!nav.form(form) || !nav.form(form)->isVisible(), qPrintable(form));
        QVERIFY(cases->isVisible());
    }
    // The expense note leaves as its "Esci" does: back to the case form.
    cases->commandExpenseNote();
    ui::FormBase* note = nav.form(expenses::NotaSpese::kName);
    QVERIFY(note && QTest::qWaitForWindowActive(note));
    QTest::keyClick(note->focusWidget() ? note->focusWidget() : note, Qt::Key_Escape);
    QTRY_VERIFY(!note->isVisible());
    QTRY_VERIFY(nav.form(cases::Form4::kName) && nav.form(cases::Form4::kName)->isVisible());

    // The event list.
    ui::FormBase* viewer = showFrom(nav.form(cases::Form4::kName), deadlines::Visualizza::kName);
    QVERIFY(viewer);
    QTest::keyClick(viewer->focusWidget() ? viewer->focusWidget() : viewer, Qt::Key_Escape);
    QTRY_VERIFY(!nav.form(deadlines::Visualizza::kName) || !nav.form(deadlines::Visualizza::kName)->isVisible());
    // The big windows stay.
    ui::FormBase* caseForm = nav.form(cases::Form4::kName);
    QTest::keyClick(caseForm, Qt::Key_Escape);
    QVERIFY(caseForm->isVisible());
}

void TestWindows::enterPressesTheFocusedButton()
{
    ui::Navigator& nav = program_->navigator();
    ui::FormBase* menu = menuOn(kSmall);
    // A button of the menu.
    auto* cmd = menu->findChild<QPushButton*>(QStringLiteral("CmdPratiche"));
    cmd->setFocus();
    QTest::keyClick(cmd, Qt::Key_Return);
    auto* cases = nav.formAs<cases::Form4>(cases::Form4::kName);
    QVERIFY(cases && QTest::qWaitForWindowActive(cases));
    // "&Pulisci" by Enter empties the fields of the case shown.
    cases->showCase(
        host::toIdentifier(program_->context().practice()->sheet(QStringLiteral("Pratica"))->cells(2, 1).value())
            .value());
    auto* client = cases->findChild<QLineEdit*>(QStringLiteral("Text9"));
    QVERIFY(!client->text().isEmpty());
    auto* clear = cases->findChild<QPushButton*>(QStringLiteral("Command1"));
    clear->setFocus();
    QTest::keyClick(clear, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(client->text().isEmpty());
    QVERIFY(cases->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText().isEmpty());
    // Enter in a text box of a form without a main command does nothing.
    auto* opened = cases->findChild<QLineEdit*>(QStringLiteral("Text1"));
    opened->setFocus();
    QTest::keyClick(opened, Qt::Key_Return);
    QVERIFY(cases->isVisible());
    QVERIFY(boxes_->seen().empty());
}

void TestWindows::agendaReturnsToTheMenu()
{
    ui::Navigator& nav = program_->navigator();
    ui::FormBase* menu = menuOn(kSmall);
    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdScadenze")), Qt::LeftButton);
    ui::FormBase* launcher = nav.form(deadlines::Attiva::kName);
    QVERIFY(launcher && QTest::qWaitForWindowActive(launcher));
    // A change in each workbook; "Esci" (Enter on the focused box) saves both.
    program_->context()
        .practice()
        ->sheet(QStringLiteral("Foglio1"))
        ->range(QStringLiteral("A1"))
        .setValue(QStringLiteral("dal menu"));
    program_->context()
        .deadlines()
        ->sheet(QStringLiteral("Dorvessa"))
        ->range(QStringLiteral("G1"))
        .setValue(QStringLiteral("agenda"));
    auto* esci = launcher->findChild<QCheckBox*>(QStringLiteral("Check2"));
    esci->setFocus();
    QTest::keyClick(esci, Qt::Key_Return);
    QVERIFY(!program_->context().ended);
    QVERIFY(!launcher->isVisible());
    QVERIFY(!esci->isChecked());
    QVERIFY(menu->isVisible());
    QVERIFY(!program_->context().practice()->modified());
    QVERIFY(!program_->context().deadlines()->modified());
    QVERIFY(boxes_->seen().empty());

    // Back in the agenda, its close box does the same.
    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdScadenze")), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowActive(launcher));
    QVERIFY(!menu->isVisible());
    program_->context()
        .deadlines()
        ->sheet(QStringLiteral("Dorvessa"))
        ->range(QStringLiteral("G1"))
        .setValue(QStringLiteral("ancora"));
    launcher->close();
    QVERIFY(!launcher->isVisible());
    QVERIFY(menu->isVisible());
    QVERIFY(!program_->context().deadlines()->modified());
    QVERIFY(!program_->context().ended);
}

void TestWindows::searchByEnterAndOpenTheCase()
{
    ui::Navigator& nav = program_->navigator();
    ui::FormBase* menu = menuOn(kSmall);
    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdPratiche")), Qt::LeftButton);
    auto* cases = nav.formAs<cases::Form4>(cases::Form4::kName);
    QVERIFY(cases && QTest::qWaitForWindowActive(cases));
    QTest::mouseClick(cases->findChild<QPushButton*>(QStringLiteral("Command7")), Qt::LeftButton);
    ui::FormBase* search = nav.form(search::SearchForm::kName);
    QVERIFY(search && QTest::qWaitForWindowActive(search));

    auto* text = search->findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* list = search->findChild<QTreeWidget*>(QStringLiteral("ListView1"));
    text->setFocus();
    boxes_->press(QStringLiteral("OK"));
    QTest::keyClicks(text, QStringLiteral("a"));
    QTest::keyClick(text, Qt::Key_Return);
    QVERIFY(boxes_->waitForBoxes(1));
    QCOMPARE(boxes_->seen()[0].text, QStringLiteral("Ricerca Pratica Conclusa  "));
    QVERIFY(list->topLevelItemCount() > 1);

    // A double click on a result shows its case in the case form.
    QTreeWidgetItem* item = list->topLevelItem(1);
    const QString number = item->text(1);
    const QString name = item->text(0);
    const QRect r = list->visualItemRect(item);
    doubleClick(list->viewport(), r.center());
    QTRY_COMPARE(cases->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText().trimmed(), number);
    QCOMPARE(cases->findChild<QLineEdit*>(QStringLiteral("Text9"))->text(), name);
    QTRY_VERIFY(cases->isActiveWindow());

    // Enter on the current result does the same.
    cases->commandClear();
    search->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(search));
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(cases->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText().trimmed(),
                 list->topLevelItem(0)->text(1));
    QCOMPARE(boxes_->seen().size(), size_t(1));
}

void TestWindows::deleteQuestionsDefaultToNo()
{
    ui::Navigator& nav = program_->navigator();
    ui::FormBase* menu = menuOn(kSmall);
    QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdPratiche")), Qt::LeftButton);
    auto* cases = nav.formAs<cases::Form4>(cases::Form4::kName);
    QVERIFY(cases && QTest::qWaitForWindowActive(cases));
    host::Sheet* pratica = program_->context().practice()->sheet(QStringLiteral("Pratica"));
    const QVariant first = pratica->cells(2, 1).value();
    cases->showCase(host::toIdentifier(first).value());

    // "Elimina": the first question (archive first?) answered No, then Enter
    // on the delete question keeps the case.
    boxes_->press(QStringLiteral("No")).pressEnter();
    cases->findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    QCOMPARE(boxes_->seen().size(), size_t(2));
    QCOMPARE(boxes_->seen()[1].text, QStringLiteral("Si vuole eliminare la Pratica selezionata ?"));
    QCOMPARE(boxes_->seen()[1].defaultButton, QStringLiteral("No"));
    QCOMPARE(pratica->cells(2, 1).value(), first);

    // The expense note: Alt+E is "Esci", and Enter on the delete question keeps the expense.
    cases->commandExit();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    auto* note = qobject_cast<expenses::NotaSpese*>(showFrom(menuOn(kSmall), expenses::NotaSpese::kName));
    QVERIFY(note);
    host::Sheet* spese = program_->context().practice()->sheet(QStringLiteral("Spese"));
    const QVariant firstId = spese->cells(2, 1).value();
    note->showExpense(2);
    boxes_->clear();
    boxes_->pressEnter();
    note->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QCOMPARE(boxes_->seen().size(), size_t(1));
    QCOMPARE(boxes_->seen()[0].text, QStringLiteral("Si vuole Eliminare la Spesa selezionata ?"));
    QCOMPARE(boxes_->seen()[0].defaultButton, QStringLiteral("No"));
    QCOMPARE(spese->cells(2, 1).value(), firstId);
    QCOMPARE(mnemonic(note->findChild<QPushButton*>(QStringLiteral("Command3"))->text()), QLatin1Char('e'));
}

void TestWindows::toolkitDialogsInItalian()
{
    QFileDialog dialog(nullptr, QStringLiteral("Apri"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(buttons);
    QStringList texts;
    for (QAbstractButton* b : buttons->buttons())
        texts << b->text().remove(QLatin1Char('&'));
    QVERIFY2(texts.contains(QStringLiteral("Apri")) && texts.contains(QStringLiteral("Annulla")),
             qPrintable(texts.join(QLatin1Char(','))));
    auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    QVERIFY(lookIn);
    QVERIFY2(!lookIn->text().contains(QStringLiteral("Look in")), qPrintable(lookIn->text()));
}

// The two screens of an office: a laptop's and a desktop monitor's, with
// window frames, set before the application starts.
int main(int argc, char** argv)
{
    QTemporaryFile layout(QDir::tempPath() + QStringLiteral("/gp-screens-XXXXXX.json"));
    if (!layout.open())
        return 1;
    layout.write(R"({"windowFrameMargins": true, "screens": [
        {"name": "portatile", "x": 0, "y": 0, "width": 1366, "height": 768},
        {"name": "monitor", "x": 1366, "y": 0, "width": 1920, "height": 1080}]})");
    layout.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + layout.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_windows.moc"
