#include "practice.h"

#include "app/form8.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "common/modal.h"
#include "core/ui/clock.h"
#include "core/ui/text_rules.h"
#include "deadlines/attiva.h"
#include "deadlines/inserisci.h"
#include "deadlines/visualizza.h"
#include "expenses/register_forms.h"
#include "instructions/register_forms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace gp;

MenuStub::MenuStub(ui::AppContext& context) : FormBase(context, app::MainMenu::kName) {}

TestPractice::TestPractice() : host(std::make_unique<host::SpreadsheetHost>()), nav(std::make_unique<ui::Navigator>())
{
    ui::setItalianLocale();
    ctx.host = host.get();
    ctx.navigator = nav.get();
    ctx.folder = dir.path();
    ui::FormBase::resetActivation();
}

TestPractice::~TestPractice()
{
    nav->unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    nav.reset();
    ctx.navigator = nullptr;
    host->closeAll();
    ui::FormBase::resetActivation();
    if (clockFixed)
        ui::Clock::clear();
}

void TestPractice::fixClock(const QDateTime& now)
{
    ui::Clock::setFixed(now);
    clockFixed = true;
}

bool TestPractice::copyFixture() { return dir.isValid() && copyPracticeFixture(dir.path()); }

bool TestPractice::openFixture()
{
    if (!copyFixture())
        return false;
    host->open(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
    ui::FormBase::resetActivation();
    return true;
}

bool TestPractice::openWith(std::initializer_list<void (*)(ui::AppContext&)> registers)
{
    registerMenuStub();
    for (auto registerForms : registers)
        registerForms(ctx);
    return openFixture();
}

host::Book& TestPractice::createSmall(const QStringList& sheets)
{
    host::Book* b = host->create(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
    for (const QString& name : sheets) {
        host::Sheet* s = b->sheetOrNull(name) ? b->sheetOrNull(name) : b->addSheet(name);
        QStringList headings;
        if (name == QStringLiteral("Clienti"))
            headings = {"ID Progressivo", "Ragione Sociale/Cognome-Nome"};
        else if (name == QStringLiteral("Pratica") || name == QStringLiteral("Storico"))
            headings = {"N. Pratica",   "ID Cliente", "Apertura",  "Chiusura",  "Ultimo Aggiorn.",
                        "Assegnatario", "Settore",    "Area",      "Posizione", "Oggetto",
                        "Adempimenti",  "Notizie",    "Riservato", "Dorvessa"};
        else if (name == QStringLiteral("Spese"))
            headings = {"ID Oper",     "N/Pratica",  "N/Cliente", "Data",
                        "Descrizione", "Tipo Spesa", "Importo",   "IVA/Esente"};
        for (int c = 0; c < headings.size(); ++c)
            s->cells(1, c + 1).setValue(headings[c]);
    }
    b->save();
    ui::FormBase::resetActivation();
    return *b;
}

void TestPractice::registerMenuStub()
{
    nav->registerForm(app::MainMenu::kName, [this] { return new MenuStub(ctx); });
    nav->setMainMenuName(app::MainMenu::kName);
}

void TestPractice::registerAll() { app::registerAllForms(ctx); }

void TestPractice::reopen(bool save)
{
    if (save) {
        book().save();
        nav->unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    host->close(ctx.practice());
    host->open(ctx.path(ui::kPracticeFile), ui::kPracticePassword);
}

int TestPractice::tableLength(const QString& sheetName, int column)
{
    return int(sheet(sheetName).walkDown(2, column).size());
}

int TestPractice::countRows(const QString& sheetName, int walkColumn, int column, double id)
{
    int n = 0;
    host::Sheet& s = sheet(sheetName);
    for (int r : s.walkDown(2, walkColumn))
        if (host::sameIdentifier(s.cells(r, column).value(), id))
            ++n;
    return n;
}

ui::FormBase* TestPractice::show(const QString& name) { return showForm(*nav, name); }

ui::FormBase* showForm(ui::Navigator& nav, const QString& name)
{
    ui::FormBase* f = nav.show(name);
    if (f && !QTest::qWaitFor([f] { return ui::FormBase::lastActivated() == f; }, 2000))
        QTest::qFail(qPrintable(QStringLiteral("the form %1 was shown but never activated").arg(name)), __FILE__,
                     __LINE__);
    return f;
}

ui::FormBase* waitActive(ui::Navigator& nav, const QString& name, int timeoutMs)
{
    const auto active = [&] {
        ui::FormBase* f = ui::FormBase::lastActivated();
        return f && f == nav.form(name);
    };
    return QTest::qWaitFor(active, timeoutMs) ? nav.form(name) : nullptr;
}

void openExpensePractice(TestPractice& env, const std::vector<ExpenseRow>& rows)
{
    env.registerMenuStub();
    expenses::registerForms(env.ctx);
    instructions::registerForms(env.ctx);
    host::Book& b = env.createSmall(
        {QStringLiteral("Clienti"), QStringLiteral("Pratica"), QStringLiteral("Spese"), QStringLiteral("S")});
    const std::pair<double, const char*> clients[] = {{1, "ALFA"}, {10, "BETA"}, {21, "GAMMA"}, {2, "DELTA"}};
    int r = 2;
    for (const auto& [n, name] : clients) {
        b.sheet(QStringLiteral("Clienti"))->cells(r, 1).setValue(n);
        b.sheet(QStringLiteral("Clienti"))->cells(r++, 2).setValue(QString::fromUtf8(name));
    }
    const std::pair<double, double> cases[] = {{1, 10}, {10, 1}, {11, 21}, {21, 1}, {5, 2}};
    r = 2;
    for (const auto& [c, client] : cases) {
        b.sheet(QStringLiteral("Pratica"))->cells(r, 1).setValue(c);
        b.sheet(QStringLiteral("Pratica"))->cells(r++, 2).setValue(client);
    }
    r = 2;
    for (const ExpenseRow& e : rows) {
        const QVariant values[] = {e.id, e.caseNumber, e.client, e.date, e.description, e.kind, e.amount, e.vat};
        for (int c = 0; c < 8; ++c)
            if (values[c].isValid())
                b.sheet(QStringLiteral("Spese"))->cells(r, c + 1).setValue(values[c]);
        ++r;
    }
}

ui::FormBase* openAgendaEditor(ui::Navigator& nav)
{
    auto* launch = child<QCheckBox>(showForm(nav, deadlines::Attiva::kName), "Check1");
    if (!launch)
        return nullptr;
    launch->setChecked(true);
    return waitActive(nav, deadlines::Inserisci::kName);
}

ui::FormBase* pickEvent(ui::Navigator& nav, ui::FormBase* editor, double id)
{
    auto* search = child<QCheckBox>(editor, "Check6");
    if (!search)
        return nullptr;
    search->setChecked(true);
    ui::FormBase* viewer = waitActive(nav, deadlines::Visualizza::kName);
    auto* list = child<QTreeWidget>(viewer, "ListView1");
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == ui::valueText(QVariant(id))) {
            emit list->itemDoubleClicked(list->topLevelItem(i), 0);
            return waitActive(nav, deadlines::Inserisci::kName) ? viewer : nullptr;
        }
    return nullptr;
}

void pickEntry(QComboBox* combo, int index)
{
    QVERIFY(combo);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QStringList column(QTreeWidget* list, int col)
{
    QStringList out;
    for (int i = 0; list && i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(col);
    return out;
}

QString practiceFixtureDir() { return QStringLiteral(GP_SHARED_DIR "/fixtures/practice"); }

bool copyPracticeFixture(const QString& dir)
{
    const QDir src(practiceFixtureDir());
    if (!src.exists(QStringLiteral("Pratiche.xls")))
        return false;
    for (const QString& name :
         {QStringLiteral("Pratiche.xls"), QStringLiteral("Dorvessa.xls"), QStringLiteral("Istruzioni.txt")}) {
        const QString to = QDir(dir).filePath(name);
        QFile::remove(to);
        if (!QFile::copy(src.filePath(name), to))
            return false;
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}

SavedBook::SavedBook(const QString& path, const QString& password)
{
    const QString copy = copyDir.filePath(QFileInfo(path).fileName());
    QFile::copy(path, copy);
    book = host.open(copy, password);
}

void writeSmallPractice(const QString& dir, const QString& password)
{
    host::SpreadsheetHost h;
    host::Book* book = h.create(QDir(dir).filePath(ui::kPracticeFile), ui::kPracticePassword);
    for (const char* name : {"Clienti", "Pratica", "Storico", "Spese", "Codice", "Dorvessa", "S", "Foglio1"})
        if (!book->sheetOrNull(QString::fromLatin1(name)))
            book->addSheet(QString::fromLatin1(name));
    host::Sheet* codice = book->sheet(QStringLiteral("Codice"));
    if (!password.isEmpty())
        codice->range(QStringLiteral("ER1")).setValue(password);
    for (const char* name : {"Codice", "S", "Foglio1"})
        book->sheet(QString::fromLatin1(name))->setVisible(false);
    book->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("A1")).setValue(QStringLiteral("ID"));
    book->save();

    host::Book* deadlines = h.create(QDir(dir).filePath(ui::kDeadlineFile), ui::kDeadlinePassword);
    if (!deadlines->sheetOrNull(QStringLiteral("Dorvessa")))
        deadlines->addSheet(QStringLiteral("Dorvessa"));
    deadlines->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("A1")).setValue(QStringLiteral("ID"));
    deadlines->save();
    h.closeAll();
}

bool startProgram(app::Program& program, const QString& folder)
{
    ModalAnswerer boxes;
    const bool started = program.start(folder);
    if (!boxes.seen().empty()) {
        const QString said = boxes.seen().front().text;
        QTest::qFail(qPrintable(QStringLiteral("the start-up reported: ") + said), __FILE__, __LINE__);
        return false;
    }
    return started;
}

void typeLogin(app::Program& program, const QString& text)
{
    ui::FormBase* login = program.navigator().form(app::Form8::kName);
    QVERIFY(login);
    auto* box = login->findChild<QLineEdit*>(QStringLiteral("Text1"));
    auto* button = login->findChild<QPushButton*>(QStringLiteral("Command1"));
    QVERIFY(box && button);
    box->setText(text);
    QTest::mouseClick(button, Qt::LeftButton);
}

bool startLoggedIn(app::Program& program, const QString& folder)
{
    if (!startProgram(program, folder))
        return false;
    typeLogin(program, QStringLiteral("segreta"));
    return program.navigator().form(app::MainMenu::kName) != nullptr;
}

ui::FormBase* logIn(app::Program& program, const QString& password)
{
    typeLogin(program, password);
    return program.navigator().form(app::MainMenu::kName);
}
