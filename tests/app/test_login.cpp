// Start-up and login of the real program, run in-process on a practice folder,
// the login box typed into as a new user does.
#include "app/form8.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"

#include "common/boxes_seen.h"
#include "common/practice.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;
using namespace Qt::StringLiterals;

class TestLogin : public QObject {
    Q_OBJECT

    static QLineEdit* passwordBox(app::Program& program)
    {
        return child<QLineEdit>(program.navigator().form(app::Form8::kName), "Text1");
    }
    static bool loggedIn(app::Program& program)
    {
        ui::FormBase* menu = program.navigator().form(app::MainMenu::kName);
        return menu && menu->isVisible();
    }
    // A Pratiche.xls with only the sheets given, encrypted with `password`.
    static void writeBook(const QString& dir, const QString& password, const QStringList& sheets)
    {
        host::SpreadsheetHost h;
        host::Book* b = h.create(QDir(dir).filePath(ui::kPracticeFile), password);
        for (const QString& name : sheets)
            b->addSheet(name);
        b->save();
        h.closeAll();
    }

private slots:
    void initTestCase() { ui::setItalianLocale(); }
    void cleanup() { ui::Clock::clear(); }

    void passwordOfTheCellLogsIn_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("how"); // 0 set in the box, 1 Enter alone on the text it starts with, 2 keys
        QTest::newRow("empty cell, box emptied") << QString() << 0;
        QTest::newRow("the design text, untouched") << u"nori"_s << 1;
        QTest::newRow("keys after a click: the first replaces the masked text") << u"segreta"_s << 2;
    }

    // The login form as designed and the workbook as the start-up prepared it, then the password given each way.
    void passwordOfTheCellLogsIn()
    {
        QFETCH(QString, password);
        QFETCH(int, how);
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), password);
        ui::Clock::setFixed(QDateTime(QDate(2008, 10, 29), QTime(10, 0)));
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        ui::FormBase* login = program.navigator().form(app::Form8::kName);
        QVERIFY(login && login->isVisible());
        QCOMPARE(login->windowTitle(), u"Gestione Pratiche Versione 4  del 14-10-08- AGGIORNAMENTO del 29-10-08"_s);
        QLineEdit* text1 = passwordBox(program);
        QCOMPARE(text1->text(), u"nori"_s);
        QCOMPARE(text1->echoMode(), QLineEdit::Password);
        QVERIFY(QTest::qWaitForWindowActive(login));
        for (const auto& [label, text] : {std::pair{"Label1", u"Benvenuto !    Inserisci la Password"_s},
                                          {"Label2", u"mercoledì 29  ottobre  2008"_s},
                                          {"Label3", u"Questa applicazione sarà migliorata se anche tu ci aiuterai"_s}})
            QCOMPARE(child<QLabel>(login, label)->text(), text);
        // The start-up made the work sheets visible and prepared "Dorvessa".
        host::Book* book = program.context().practice();
        QVERIFY(book);
        for (const char* name : {"Codice", "Foglio1", "S"})
            QVERIFY2(book->sheet(QString::fromLatin1(name))->visible(), name);
        host::Sheet* dorvessa = book->sheet(u"Dorvessa"_s);
        QCOMPARE(dorvessa->range(u"B1"_s).value().toString(), u"Dorvessa"_s);
        QCOMPARE(dorvessa->range(u"D1"_s).value().toString(), u"Nota"_s);
        QCOMPARE(dorvessa->scrollArea(), u"$A$2:$E$65536"_s);
        // The close box does nothing.
        QVERIFY(!login->close());
        QVERIFY(login->isVisible());
        QVERIFY(!program.context().ended);

        ModalAnswerer boxes;
        if (how == 0) {
            typeLogin(program, password);
        } else if (how == 2) {
            QTRY_COMPARE(text1->selectionLength(), 4); // selected at start-up
            // Away and back with the mouse: the caret the click places gives way to the selection.
            child<QPushButton>(login, "Command1")->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(!text1->hasFocus());
            text1->deselect();
            QTest::mouseClick(text1, Qt::LeftButton, {}, QPoint(5, text1->height() / 2));
            QTRY_COMPARE(text1->selectionLength(), 4);
            QTest::keyClicks(text1, password);
            QCOMPARE(text1->text(), password);
        }
        if (how != 0)
            QTest::keyClick(text1, Qt::Key_Return);
        QTRY_VERIFY(loggedIn(program));
        QVERIFY(!login->isVisible());
        QVERIFY(boxes.seen().empty());
    }

    void threeTries_data()
    {
        QTest::addColumn<QStringList>("tries");
        // The case counts, and a blank more is a different password too.
        QTest::newRow("the third is right") << QStringList{u"Segreta"_s, u"segreta "_s, u"segreta"_s};
        // The text shown at the start is no password either.
        QTest::newRow("three wrong") << QStringList{u"nori"_s, u"due"_s, u"tre"_s};
    }

    // Each wrong password is told by its try; the third wrong one ends the
    // program without saving anything.
    void threeTries()
    {
        QFETCH(QStringList, tries);
        const bool right = tries.last() == u"segreta"_s;
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QString path = QDir(dir.path()).filePath(ui::kPracticeFile);
        const QByteArray before = readFile(path);
        {
            app::Program program;
            QVERIFY(startProgram(program, dir.path()));
            QVERIFY(QFile::exists(QDir(dir.path()).filePath(u".~lock.Pratiche.xls#"_s)));
            ModalAnswerer boxes;
            boxes.press(u"OK"_s).press(u"OK"_s).press(u"OK"_s);
            for (const QString& password : tries) {
                QVERIFY(!program.context().ended);
                QVERIFY(!program.navigator().isLoaded(app::MainMenu::kName));
                typeLogin(program, password);
            }
            const QStringList titles = QStringList{u"Prova # 1"_s, u"Prova # 2"_s, u"Ultima prova"_s}.first(right ? 2
                                                                                                                  : 3);
            QStringList expected;
            for (const QString& title : titles)
                expected << box(title, u"NON E' VALIDA -Riprova!"_s);
            QCOMPARE(titlesAndTexts(boxes.seen()), expected);
            for (const SeenBox& b : boxes.seen())
                QVERIFY(b.icon == QMessageBox::Critical && b.buttons == QStringList{u"OK"_s});
            auto* login = qobject_cast<app::Form8*>(program.navigator().form(app::Form8::kName));
            if (right) {
                QCOMPARE(login->loginAttempts(), 3);
                QVERIFY(!login->isVisible());
                QVERIFY(loggedIn(program));
                QCOMPARE(program.navigator().form(app::MainMenu::kName)->windowTitle(), u"Gestione Pratiche"_s);
                QVERIFY(!program.context().ended);
                return;
            }
            QVERIFY(program.context().ended);
            QVERIFY(program.context().exitCode != 0);
            QVERIFY(program.host().workbooks().empty());
            QVERIFY(!program.navigator().isLoaded(app::MainMenu::kName));
        }
        QCOMPARE(readFile(path), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"Dorvessa.xls"_s, u"Istruzioni.txt"_s, u"Pratiche.xls"_s}));
    }

    void hostFailuresEndTheStart_data()
    {
        QTest::addColumn<int>("folder"); // 0 empty, 1 a damaged file, 2 no sheet "S", 3 a workbook in use
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text"); // as it starts, %1 for the folder
        QTest::addColumn<int>("icon");
        QTest::newRow("no workbook")
            << 0 << u"Dorvessa"_s
            << u"Impossibile eseguire il programma\nIl file %1/Pratiche.xls non è stato trovato."_s
            << int(QMessageBox::NoIcon);
        QTest::newRow("damaged file") << 1 << u"Gestione Pratiche"_s
                                      << u"Impossibile aprire la cartella di lavoro Pratiche.xls: il file non è una "
                                         u"cartella di lavoro di Excel 97-2003."_s
                                      << int(QMessageBox::Critical);
        QTest::newRow("no sheet S") << 2 << u"Gestione Pratiche"_s
                                    << u"Il foglio \"S\" non esiste nella cartella di lavoro Pratiche.xls."_s
                                    << int(QMessageBox::Critical);
        QTest::newRow("in use by someone else")
            << 3 << u"Gestione Pratiche"_s << u"La cartella di lavoro Pratiche.xls è in uso da "_s
            << int(QMessageBox::Warning);
    }

    // A start-up that cannot go on says why in one box and ends, before the login.
    void hostFailuresEndTheStart()
    {
        QFETCH(int, folder);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, icon);
        QTemporaryDir dir;
        host::SpreadsheetHost other;
        if (folder == 1)
            QVERIFY(writeFile(QDir(dir.path()).filePath(ui::kPracticeFile), "questo non è un foglio di lavoro"));
        if (folder == 2)
            writeBook(dir.path(), ui::kPracticePassword, {u"Codice"_s, u"Foglio1"_s, u"Dorvessa"_s});
        if (folder == 3) {
            writeSmallPractice(dir.path(), u"x"_s);
            other.open(QDir(dir.path()).filePath(ui::kPracticeFile), ui::kPracticePassword);
        }
        app::Program program;
        ModalAnswerer boxes;
        QVERIFY(!program.start(dir.path()));
        QCOMPARE(boxes.seen().size(), size_t(1));
        const SeenBox& b = boxes.seen()[0];
        QCOMPARE(b.title, title);
        QVERIFY2(QString(b.text).replace(QDir::cleanPath(dir.path()), u"%1"_s).startsWith(text), qPrintable(b.text));
        QCOMPARE(int(b.icon), icon);
        QVERIFY(program.context().ended);
        QVERIFY(program.host().workbooks().empty());
        QVERIFY(!program.navigator().isLoaded(app::Form8::kName));
    }

    void undecryptableWorkbookFailsAtOnce()
    {
        // A practice the program cannot decrypt (another password): a test
        // starting the program fails at once, without waiting on the box.
        QTemporaryDir dir;
        writeBook(dir.path(), u"altra password"_s, {u"Codice"_s});
        app::Program program;
        QEXPECT_FAIL("", "the start-up reports the workbook it cannot decrypt", Continue);
        QVERIFY(!startProgram(program, dir.path()));
        QVERIFY(program.context().ended);
    }

    void applicationFolderRule()
    {
        QTemporaryDir exe, docs;
        const auto folder = [&](const QStringList& args) {
            return app::applicationFolder(QStringList{u"gestione-pratiche"_s} + args, exe.path(), docs.path());
        };
        QCOMPARE(folder({}), QDir(docs.path()).filePath(u"Gestione Pratiche"_s));
        QVERIFY(writeFile(QDir(exe.path()).filePath(ui::kPracticeFile), {}));
        QCOMPARE(folder({}), exe.path());
        QCOMPARE(folder({u"--cartella"_s, docs.path()}), docs.path());
        QCOMPARE(folder({u"--cartella="_s + docs.path()}), docs.path());
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"
