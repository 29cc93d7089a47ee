// Leaving the program from the main menu: every workbook with changes is
// saved; a failed save is reported and the program goes on.
#include "app/main_menu.h"
#include "app/program.h"
#include "core/host/spreadsheet_host.h"
#include "core/ui/navigator.h"
#include "core/ui/session.h"
#include "core/ui/text_rules.h"

#include "common/modal.h"
#include "common/practice.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace gp;

namespace {
QVariant readCell(const QString& path, const QString& password, const QString& sheet, const QString& a1)
{
    return SavedBook(path, password).sheet(sheet)->range(a1).value();
}
} // namespace

class TestExit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ui::setItalianLocale(); }

    void exitSavesBothWorkbooks()
    {
        QTemporaryDir dir;
        SKIP_WITHOUT_FIXTURE(copyPracticeFixture(dir.path()));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QString deadlines = QDir(dir.path()).filePath(QStringLiteral("Dorvessa.xls"));
        {
            app::Program program;
            QVERIFY(startProgram(program, dir.path()));
            ui::FormBase* menu = logIn(program, QStringLiteral("segreta"));
            QVERIFY(menu);
            // The case-file workbook changes, then the deadline workbook is
            // opened (it becomes the active one) and changes too.
            program.context().practice()->sheet(QStringLiteral("Foglio1"))->range(QStringLiteral("A1")).setValue(
                QStringLiteral("modificato"));
            host::Book* agenda = program.host().open(deadlines, QStringLiteral("Tesm4061QRB"));
            QCOMPARE(program.host().activeWorkbook(), agenda);
            agenda->sheet(QStringLiteral("Dorvessa"))->range(QStringLiteral("C2")).setValue(QStringLiteral("UDIENZA"));

            ModalAnswerer boxes;
            QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
            QVERIFY(boxes.seen().empty());
            QVERIFY(program.context().ended);
            QCOMPARE(program.context().exitCode, 0);
            QVERIFY(program.host().workbooks().empty());
        }
        QCOMPARE(readCell(practice, QStringLiteral("Tesm4061"), QStringLiteral("Foglio1"), QStringLiteral("A1")),
                 QVariant(QStringLiteral("modificato")));
        QCOMPARE(readCell(deadlines, QStringLiteral("Tesm4061QRB"), QStringLiteral("Dorvessa"), QStringLiteral("C2")),
                 QVariant(QStringLiteral("UDIENZA")));
    }

    void failedSaveKeepsTheProgramRunning()
    {
        QTemporaryDir dir;
        writeSmallPractice(dir.path(), QStringLiteral("pw"));
        const QString practice = QDir(dir.path()).filePath(QStringLiteral("Pratiche.xls"));
        const QByteArray before = readFile(practice);
        app::Program program;
        QVERIFY(startProgram(program, dir.path()));
        ui::FormBase* menu = logIn(program, QStringLiteral("pw"));
        QVERIFY(menu);
        program.context().practice()->sheet(QStringLiteral("S"))->range(QStringLiteral("A1")).setValue(1.0);
        // The disk is full: nothing can be written.
        program.host().setWriteSink([](const QString&, const QByteArray&) { return false; });

        ModalAnswerer boxes;
        boxes.press(QStringLiteral("OK"));
        QTest::mouseClick(menu->findChild<QPushButton*>(QStringLiteral("CmdEsci")), Qt::LeftButton);
        QCOMPARE(boxes.seen().size(), size_t(1));
        QCOMPARE(boxes.seen()[0].title, QStringLiteral("Gestione Pratiche"));
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Critical);
        QVERIFY2(boxes.seen()[0].text.startsWith(QStringLiteral("Il file Pratiche.xls non è stato salvato.\n")),
                 qPrintable(boxes.seen()[0].text));
        QVERIFY(!program.context().ended);
        QVERIFY(menu->isVisible());
        QVERIFY(program.context().practice()->modified());
        QCOMPARE(readFile(practice), before);

        // The close box of the menu tries again; with the disk back it leaves.
        program.host().setWriteSink({});
        QVERIFY(!menu->close());
        QVERIFY(program.context().ended);
        QCOMPARE(readCell(practice, QStringLiteral("Tesm4061"), QStringLiteral("S"), QStringLiteral("A1")),
                 QVariant(1.0));
    }
};

QTEST_MAIN(TestExit)
#include "test_exit.moc"
