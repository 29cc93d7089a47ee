// Start-up and login of the real program, run in-process on a practice folder.
// The login box is typed into as a new user does: the masked text the box
// starts with is replaced by the first key, whether the box got the focus at
// start-up, by a click or by Tab.
#include "app/form8.h"
#include "app/main_menu.h"
#include "app/program.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/clock.h"
#include "core/ui/form_base.h"
#include "core/ui/navigator.h"
#include "core/ui/text_rules.h"

#include "common/modal.h"
#include "common/practice.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;

class TestLogin : public QObject {
    Q_OBJECT

    static QLineEdit* box(app::Program& program)
    {
        return program.navigator().form(app::Form8::kName)->findChild<QLineEdit*>(QStringLiteral("Text1"));
    }
    static bool loggedIn(app::Program& program)
    {
        ui::FormBase* menu = program.navigator().form(app::MainMenu::kName);
        return menu && menu->isVisible();
    }

private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void loginFormAsDesigned()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("x"));
        ui::Clock::setFixed(QDateTime(QDate(2008, 10, 29), QTime(10, 0)));
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        ui::FormBase* login = program.navigator().form(app::Form8::kName);
        QVERIFY(login);
        QVERIFY(login->isVisible());
        QCOMPARE(login->windowTitle(),
                 QStringLiteral("Gestione Pratiche Versione 4  del 14-10-08- AGGIORNAMENTO del 29-10-08"));
        auto* text1 = login->findChild<QLineEdit*>(QStringLiteral("Text1"));
        QCOMPARE(text1->text(), QStringLiteral("nori"));
        QCOMPARE(text1->echoMode(), QLineEdit::Password);
        QCOMPARE(login->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Benvenuto !    Inserisci la Password"));
        QCOMPARE(login->findChild<QLabel*>(QStringLiteral("Label3"))->text(),
                 QStringLiteral("Questa applicazione sarà migliorata se anche tu ci aiuterai"));
        QVERIFY(QTest::qWaitForWindowActive(login));
        QCOMPARE(login->findChild<QLabel*>(QStringLiteral("Label2"))->text(),
                 QStringLiteral("mercoledì 29  ottobre  2008"));
        ui::Clock::clear();

        // The start-up made the work sheets visible and prepared "Dorvessa".
        host::Book* book = program.context().practice();
        QVERIFY(book);
        for (const char* name : {"Codice", "Foglio1", "S"})
            QVERIFY2(book->sheet(QString::fromLatin1(name))->visible(), name);
        host::Sheet* dorvessa = book->sheet(QStringLiteral("Dorvessa"));
        QCOMPARE(dorvessa->range(QStringLiteral("B1")).value().toString(), QStringLiteral("Dorvessa"));
        QCOMPARE(dorvessa->range(QStringLiteral("D1")).value().toString(), QStringLiteral("Nota"));
        QCOMPARE(dorvessa->scrollArea(), QStringLiteral("$A$2:$E$65536"));

        // The close box does nothing.
        QVERIFY(!login->close());
        QVERIFY(login->isVisible());
        QVERIFY(!program.context().ended);
    }

    void passwordOfTheCellLogsIn_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("typed"); // else Enter alone on the text the box starts with
        QTest::newRow("empty cell, box emptied") << QString() << true;
        QTest::newRow("the design text, untouched") << QStringLiteral("nori") << false;
    }

    void passwordOfTheCellLogsIn()
    {
        QFETCH(QString, password);
        QFETCH(bool, typed);
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), password);
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        QVERIFY(QTest::qWaitForWindowActive(program.navigator().form(app::Form8::kName)));
        ModalAnswerer boxes;
        if (typed)
            typeLogin(program, password);
        else
            QTest::keyClick(box(program), Qt::Key_Return);
        QTRY_VERIFY(loggedIn(program));
        QVERIFY(!program.navigator().form(app::Form8::kName)->isVisible());
        QVERIFY(boxes.seen().empty());
    }

    void firstKeyReplacesTheMaskedText()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        app::Program program;
        QVERIFY(program.start(dir.path()));
        ui::FormBase* login = program.navigator().form(app::Form8::kName);
        QVERIFY(QTest::qWaitForWindowActive(login));
        QLineEdit* text1 = box(program);
        QCOMPARE(text1->text(), QStringLiteral("nori"));
        QTRY_COMPARE(text1->selectionLength(), 4); // selected at start-up
        // Away and back with the mouse: the caret the click places gives way to the selection.
        login->findChild<QPushButton*>(QStringLiteral("Command1"))->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(!text1->hasFocus());
        text1->deselect();
        QTest::mouseClick(text1, Qt::LeftButton, {}, QPoint(5, text1->height() / 2));
        QTRY_COMPARE(text1->selectionLength(), 4);
        ModalAnswerer boxes;
        QTest::keyClicks(text1, QStringLiteral("segreta"));
        QCOMPARE(text1->text(), QStringLiteral("segreta"));
        QTest::keyClick(text1, Qt::Key_Return);
        QTRY_VERIFY(loggedIn(program));
        QVERIFY(boxes.seen().empty());
    }

    void wrongPasswordsThenTheRightOne()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK")).press(QStringLiteral("OK"));
        typeLogin(program, QStringLiteral("Segreta")); // the case counts
        QCOMPARE(boxes.seen().size(), size_t(1));
        QCOMPARE(boxes.seen()[0].text, QStringLiteral("NON E' VALIDA -Riprova!"));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Prova # 1"));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes.seen()[0].buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(!program.navigator().isLoaded(app::MainMenu::kName));
        typeLogin(program, QStringLiteral("segreta ")); // a blank more is a different password too
        QCOMPARE(boxes.seen().size(), size_t(2));
        QCOMPARE(boxes.seen()[1].title, QStringLiteral("Prova # 2"));
        QVERIFY(!program.navigator().isLoaded(app::MainMenu::kName));
        typeLogin(program, QStringLiteral("segreta"));
        QCOMPARE(boxes.seen().size(), size_t(2));
        auto* login = qobject_cast<app::Form8*>(program.navigator().form(app::Form8::kName));
        QCOMPARE(login->loginAttempts(), 3);
        QVERIFY(!login->isVisible());
        ui::FormBase* menu = program.navigator().form(app::MainMenu::kName);
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(menu->windowTitle(), QStringLiteral("Gestione Pratiche"));
        QVERIFY(!program.context().ended);
    }

    void threeWrongEndTheProgramWithoutSaving()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QString path = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QByteArray before = readFile(path);
        {
            app::Program program;
            QVERIFY(startProgram(program, dir.path()));
            QVERIFY(QFile::exists(QDir(dir.path()).filePath(QStringLiteral(".~lock.Pratiche.xls#"))));
            ModalAnswerer boxes;
            boxes.press(QStringLiteral("OK")).press(QStringLiteral("OK")).press(QStringLiteral("OK"));
            typeLogin(program, QStringLiteral("nori")); // the text shown at the start
            typeLogin(program, QStringLiteral("due"));
            QVERIFY(!program.context().ended);
            typeLogin(program, QStringLiteral("tre"));
            QCOMPARE(boxes.seen().size(), size_t(3));
            QCOMPARE(boxes.seen()[0].title, QStringLiteral("Prova # 1"));
            QCOMPARE(boxes.seen()[1].title, QStringLiteral("Prova # 2"));
            QCOMPARE(boxes.seen()[2].title, QStringLiteral("Ultima prova"));
            for (const SeenBox& b : boxes.seen())
                QCOMPARE(b.text, QStringLiteral("NON E' VALIDA -Riprova!"));
            QVERIFY(program.context().ended);
            QVERIFY(program.context().exitCode != 0);
            QVERIFY(program.host().workbooks().empty());
            QVERIFY(!program.navigator().isLoaded(app::MainMenu::kName));
        }
        QCOMPARE(readFile(path), before);
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left,
                 (QStringList{QStringLiteral("Dorvessa.xls"), QStringLiteral("Istruzioni.txt"),
                              QStringLiteral("Pratiche.xls")}));
    }

    void hostFailuresEndTheStart()
    {
        // No workbook at all: the program's own words, and no login.
        {
            QTemporaryDir dir;
            app::Program program;
            ModalAnswerer boxes;
            QVERIFY(!program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen()[0].title, QStringLiteral("Dorvessa"));
            QCOMPARE(boxes.seen()[0].text,
                     QStringLiteral("Impossibile eseguire il programma\nIl file ") + QDir::cleanPath(dir.path())
                         + QStringLiteral("/Pratiche.xls") + QStringLiteral(" non è stato trovato."));
            QCOMPARE(boxes.seen()[0].icon, QMessageBox::NoIcon);
            QVERIFY(program.context().ended);
            QVERIFY(!program.navigator().isLoaded(app::Form8::kName));
        }
        // A damaged file.
        {
            QTemporaryDir dir;
            QVERIFY(writeFile(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")),
                              "questo non è un foglio di lavoro"));
            app::Program program;
            ModalAnswerer boxes;
            QVERIFY(!program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen()[0].icon, QMessageBox::Critical);
            QVERIFY(!boxes.seen()[0].text.isEmpty());
            qInfo() << "damaged file:" << boxes.seen()[0].text;
            QVERIFY(program.context().ended);
        }
        // A workbook without the sheet "S".
        {
            QTemporaryDir dir;
            {
                host::SpreadsheetHost h;
                host::Book* b = h.create(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")),
                                         QStringLiteral("Tesm4061"));
                b->addSheet(QStringLiteral("Codice"));
                b->addSheet(QStringLiteral("Foglio1"));
                b->addSheet(QStringLiteral("Dorvessa"));
                b->save();
            }
            app::Program program;
            ModalAnswerer boxes;
            QVERIFY(!program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(1));
            QVERIFY2(boxes.seen()[0].text.contains(QLatin1String("S")), qPrintable(boxes.seen()[0].text));
            QVERIFY(program.context().ended);
            QVERIFY(program.host().workbooks().empty());
        }
        // A workbook in use by someone else.
        {
            QTemporaryDir dir;
            writeSmallPractice(dir.path(), QStringLiteral("x"));
            host::SpreadsheetHost other;
            other.open(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")), QStringLiteral("Tesm4061"));
            app::Program program;
            ModalAnswerer boxes;
            QVERIFY(!program.start(dir.path()));
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratiche"));
            qInfo() << "in use:" << boxes.seen()[0].text;
            QVERIFY(program.context().ended);
            other.closeAll();
        }
    }

    void undecryptableWorkbookFailsAtOnce()
    {
        // A practice the program cannot decrypt (another password): a test
        // starting the program fails at once, without waiting on the box.
        QTemporaryDir dir;
        {
            host::SpreadsheetHost h;
            host::Book* b = h.create(QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls")),
                                     QStringLiteral("altra password"));
            b->addSheet(QStringLiteral("Codice"));
            b->save();
            h.closeAll();
        }
        app::Program program;
        QEXPECT_FAIL("", "the start-up reports the workbook it cannot decrypt", Continue);
        QVERIFY(!startProgram(program, dir.path()));
        QVERIFY(program.context().ended);
    }

    void applicationFolderRule()
    {
        QTemporaryDir exe, docs;
        const QStringList plain{QStringLiteral("gestione-pratiche")};
        QCOMPARE(app::applicationFolder(plain, exe.path(), docs.path()),
                 QDir(docs.path()).filePath(QStringLiteral("Gestione Pratiche")));
        QVERIFY(writeFile(QDir(exe.path()).filePath(QStringLiteral("Pratiche.xls")), {}));
        QCOMPARE(app::applicationFolder(plain, exe.path(), docs.path()), exe.path());
        QCOMPARE(app::applicationFolder(plain + QStringList{QStringLiteral("--cartella"), docs.path()}, exe.path(),
                                        docs.path()),
                 docs.path());
        QCOMPARE(app::applicationFolder(plain + QStringList{QStringLiteral("--cartella=") + docs.path()}, exe.path(),
                                        docs.path()),
                 docs.path());
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"
