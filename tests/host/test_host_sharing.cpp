// A workbook folder shared with other people: consulting a workbook someone
// else holds, taking over a lock left behind, and never writing over a file
// someone else changed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

#include "common/files.h"
#include "core/host/file_identity.h"
#include "core/host/lock_file.h"
#include "core/host/spreadsheet_host.h"

using namespace gp::host;
using namespace gptest;

namespace {

const QString kPassword = QStringLiteral("Tesm4061");
const QByteArray kTheirLock("Mario Rossi,mrossi,STUDIO-PC,06.12.2026 09:15,;");

} // namespace

class TestHostSharing : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path_;

    // An encrypted workbook at path_: "Clienti" with A2 = `value`, and a work sheet "S".
    void makeWorkbook(const QString& value)
    {
        SpreadsheetHost host;
        Book* b = host.create(path_, kPassword);
        b->addSheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).setValue(value);
        b->addSheet(QStringLiteral("S"));
        b->save();
    }

    QString readA2(const QString& path)
    {
        SpreadsheetHost host;
        Book* b = host.open(path, kPassword, SpreadsheetHost::OpenMode::ReadOnly);
        return b->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).value().toString();
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString& f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir_.filePath(f));
        path_ = dir_.filePath(QStringLiteral("Pratiche.xls"));
    }

    void heldWorkbookNamesItsHolderAndAge()
    {
        makeWorkbook(QStringLiteral("ROSSI"));
        writeFile(lockFilePath(path_), kTheirLock);
        SpreadsheetHost host;
        try {
            host.open(path_, kPassword);
            QFAIL("opened a workbook someone else holds");
        } catch (const WorkbookInUse& e) {
            QCOMPARE(e.message(),
                     QStringLiteral("La cartella di lavoro Pratiche.xls è in uso da Mario Rossi "
                                    "(STUDIO-PC) dal 06/12/2026 09:15."));
            QCOMPARE(e.owner().login, QStringLiteral("mrossi"));
            QCOMPARE(e.since(), QDateTime(QDate(2026, 12, 6), QTime(9, 15)));
        }
        // An entry without a readable date: the lock file's own time.
        writeFile(lockFilePath(path_), "Mario Rossi,mrossi,STUDIO-PC,ieri,;");
        try {
            host.open(path_, kPassword);
            QFAIL("opened a workbook someone else holds");
        } catch (const WorkbookInUse& e) {
            QCOMPARE(e.since(), QFileInfo(lockFilePath(path_)).lastModified());
        }
        QVERIFY(host.workbooks().empty());
    }

    void readOnlyRefusesEveryChangeAndWritesNothing()
    {
        makeWorkbook(QStringLiteral("ROSSI"));
        writeFile(lockFilePath(path_), kTheirLock);
        const QByteArray before = readFile(path_);
        {
            SpreadsheetHost host;
            Book* b = host.open(path_, kPassword, SpreadsheetHost::OpenMode::ReadOnly);
            QVERIFY(b->readOnly());
            QVERIFY(b->holder());
            QCOMPARE(b->holder()->name, QStringLiteral("Mario Rossi"));
            QCOMPARE(b->holder()->host, QStringLiteral("STUDIO-PC"));
            b->setWorkSheets({QStringLiteral("S")});
            Sheet* s = b->sheet(QStringLiteral("Clienti"));
            QCOMPARE(s->range(QStringLiteral("A2")).value().toString(), QStringLiteral("ROSSI"));

            const QString refusal = QStringLiteral(
                "Pratiche.xls è aperta in sola lettura: nessuna modifica è possibile.");
            const std::vector<std::pair<const char*, std::function<void()>>> changes = {
                {"setValue", [&] { s->range(QStringLiteral("A2")).setValue(QStringLiteral("X")); }},
                {"clearContents", [&] { s->range(QStringLiteral("A2")).clearContents(); }},
                {"clear", [&] { s->allCells().clear(); }},
                {"deleteEntireRow", [&] { s->range(QStringLiteral("A2")).entireRow().deleteEntireRow(); }},
                {"insertEntireRow", [&] { s->range(QStringLiteral("A2")).entireRow().insertEntireRow(); }},
                {"deleteShiftUp", [&] { s->range(QStringLiteral("A1:A2")).deleteShiftUp(); }},
                {"sort", [&] { s->range(QStringLiteral("A1:A3")).sort(1); }},
                {"setNumberFormat", [&] { s->range(QStringLiteral("A2")).setNumberFormat(QStringLiteral("0.00")); }},
                {"pasteRow", [&] { s->pasteRow(*s, 2, 3); }},
                {"addSheet", [&] { b->addSheet(QStringLiteral("Nuovo")); }},
            };
            for (const auto& [what, change] : changes)
                QVERIFY2(errorOf(change) == refusal, what);
            QCOMPARE(s->range(QStringLiteral("A2")).value().toString(), QStringLiteral("ROSSI"));
            QVERIFY(s->range(QStringLiteral("A3")).isEmpty());
            QVERIFY(!b->sheetOrNull(QStringLiteral("Nuovo")));
            QVERIFY(!b->modified());

            // Scratch work and display settings stay possible, in memory only.
            b->sheet(QStringLiteral("S"))->range(QStringLiteral("A1")).setValue(QStringLiteral("risultato"));
            {
                ScratchChanges scratch(b);
                s->range(QStringLiteral("Z1")).setValue(1.0);
            }
            QCOMPARE(errorOf([&] { s->range(QStringLiteral("Z1")).setValue(2.0); }), refusal);
            s->freezePanes(1, 0);
            s->setVisible(false);
            b->save();
            host.saveModified();
        }
        QCOMPARE(readFile(path_), before);
        QCOMPARE(readFile(lockFilePath(path_)), kTheirLock);
        QVERIFY(!QFile::exists(processLockPath(path_)));
        QVERIFY(!QFile::exists(path_ + QStringLiteral(".bak")));
    }

    void openAnywayTakesTheLockOver()
    {
        makeWorkbook(QStringLiteral("ROSSI"));
        writeFile(lockFilePath(path_), kTheirLock);
        SpreadsheetHost host;
        Book* b = host.open(path_, kPassword, SpreadsheetHost::OpenMode::TakeOverLock);
        QVERIFY(!b->readOnly());
        QString marker;
        const auto entry = parseLockEntry(readFile(lockFilePath(path_)), &marker);
        QVERIFY(entry);
        QCOMPARE(entry->login, currentLockOwner().login);
        QCOMPARE(marker, QString::fromLatin1(kLockMarker));
        b->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).setValue(QStringLiteral("VERDI"));
        b->save();
        host.close(b);
        QVERIFY(!QFile::exists(lockFilePath(path_)));
        QCOMPARE(readA2(path_), QStringLiteral("VERDI"));
    }

    void officeLockOfThisUserAndHost()
    {
        // The entry another office program of ours leaves (field 5: its profile).
        const QByteArray entry = formatLockEntry(currentLockOwner(),
                                                 QStringLiteral("file:///home/x/.config/libreoffice/4"));
        makeWorkbook(QStringLiteral("ROSSI"));

        // That program still runs here: the workbook is in use.
        QTemporaryDir bin;
        const QString office = bin.filePath(QStringLiteral("soffice.bin"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), office));
        QProcess running;
        running.start(office, {QStringLiteral("60")});
        QVERIFY(running.waitForStarted());
        QVERIFY(officeProcessRunning(::getuid()));
        QVERIFY(!officeProcessRunning(::getuid() + 4242));
        writeFile(lockFilePath(path_), entry);
        {
            SpreadsheetHost host;
            QVERIFY(errorOf([&] { host.open(path_, kPassword); }).contains(QStringLiteral("è in uso da")));
            QCOMPARE(readFile(lockFilePath(path_)), entry);
        }
        running.kill();
        QVERIFY(running.waitForFinished());

        // No longer running: the entry is a left-over, taken over without a word.
        QVERIFY(!officeProcessRunning(::getuid()));
        SpreadsheetHost host;
        Book* b = host.open(path_, kPassword);
        QVERIFY(!b->readOnly());
        QString marker;
        QVERIFY(parseLockEntry(readFile(lockFilePath(path_)), &marker));
        QCOMPARE(marker, QString::fromLatin1(kLockMarker));
        host.close(b);
        QVERIFY(!QFile::exists(lockFilePath(path_)));

        // Another user's entry on this host is never a left-over of ours.
        LockOwner other = currentLockOwner();
        other.login += QStringLiteral("_altro");
        const QByteArray theirs = formatLockEntry(other, QStringLiteral("file:///home/y/.config/libreoffice/4"));
        writeFile(lockFilePath(path_), theirs);
        QVERIFY(errorOf([&] { host.open(path_, kPassword); }).contains(QStringLiteral("è in uso da")));
        QCOMPARE(readFile(lockFilePath(path_)), theirs);
    }

    void changedFileGetsAConflictCopy()
    {
        makeWorkbook(QStringLiteral("ROSSI"));
        SpreadsheetHost host;
        QDateTime clock(QDate(2026, 12, 6), QTime(9, 15, 42));
        host.setClock([&] { return clock; });
        Book* b = host.open(path_, kPassword);
        Sheet* s = b->sheet(QStringLiteral("Clienti"));

        // Saved again with the same bytes but a new time: no change of content.
        const QByteArray original = readFile(path_);
        QFile::remove(path_);
        writeFile(path_, original);
        s->range(QStringLiteral("A2")).setValue(QStringLiteral("NOSTRO"));
        b->save();
        QCOMPARE(b->savePath(), path_);
        QVERIFY(b->takeConflictNotice().isEmpty());

        // Someone else replaces the file (a copy made elsewhere, here with the engine).
        const QString elsewhere = dir_.filePath(QStringLiteral("altrove.xls"));
        {
            SpreadsheetHost other;
            Book* o = other.create(elsewhere, kPassword);
            o->addSheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).setValue(QStringLiteral("LORO"));
            o->save();
        }
        const QByteArray theirs = readFile(elsewhere);
        writeFile(path_, theirs);

        s->range(QStringLiteral("A3")).setValue(QStringLiteral("ANCORA"));
        b->save();
        const QString copy = dir_.filePath(QStringLiteral("Pratiche (copia in conflitto 2026-12-06 09.15).xls"));
        QCOMPARE(b->savePath(), copy);
        QCOMPARE(readFile(path_), theirs);
        QCOMPARE(
            b->takeConflictNotice(),
            QStringLiteral("Il file Pratiche.xls è stato modificato da un altro utente o programma dopo che questo "
                           "programma lo ha letto: non è stato sovrascritto.\n"
                           "Le modifiche fatte qui sono salvate in \"Pratiche (copia in conflitto 2026-12-06 "
                           "09.15).xls\", nella stessa cartella, fino alla chiusura del programma."));
        QVERIFY(b->takeConflictNotice().isEmpty());
        QVERIFY(!readFile(copy).contains("NOSTRO")); // encrypted like the original
        QCOMPARE(readA2(copy), QStringLiteral("NOSTRO"));

        // Later saves go to the same copy; the other's file stays as it is.
        clock = clock.addSecs(3600);
        s->range(QStringLiteral("A4")).setValue(QStringLiteral("TERZO"));
        b->save();
        QCOMPARE(b->savePath(), copy);
        QVERIFY(b->takeConflictNotice().isEmpty());
        QCOMPARE(readFile(path_), theirs);
        {
            SpreadsheetHost check;
            Book* c = check.open(copy, kPassword, SpreadsheetHost::OpenMode::ReadOnly);
            QCOMPARE(c->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("A4")).value().toString(),
                     QStringLiteral("TERZO"));
        }
        host.closeAll();
        QVERIFY(!QFile::exists(lockFilePath(path_)));
    }

    void newWorkbookAndVanishedFile()
    {
        SpreadsheetHost host;
        host.setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 15)); });
        // A workbook not saved yet, and a file of that name appears meanwhile.
        Book* b = host.create(path_, kPassword);
        b->addSheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).setValue(QStringLiteral("NUOVO"));
        writeFile(path_, "di qualcun altro");
        b->save();
        QCOMPARE(readFile(path_), QByteArray("di qualcun altro"));
        QVERIFY(QFile::exists(dir_.filePath(QStringLiteral("Pratiche (copia in conflitto 2026-12-06 09.15).xls"))));
        host.closeAll();

        // A file removed behind our back: nothing to overwrite, the save goes to its name.
        QFile::remove(path_);
        makeWorkbook(QStringLiteral("ROSSI"));
        Book* again = host.open(path_, kPassword);
        QFile::remove(path_);
        again->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("A2")).setValue(QStringLiteral("RITORNO"));
        again->save();
        QCOMPARE(again->savePath(), path_);
        host.closeAll();
        QCOMPARE(readA2(path_), QStringLiteral("RITORNO"));
    }

    void conflictCopyNames()
    {
        const QDateTime when(QDate(2026, 1, 2), QTime(3, 4));
        const QString first = conflictCopyPath(path_, when);
        QCOMPARE(first, dir_.filePath(QStringLiteral("Pratiche (copia in conflitto 2026-01-02 03.04).xls")));
        writeFile(first, "occupato");
        const QString second = conflictCopyPath(path_, when);
        QCOMPARE(second, dir_.filePath(QStringLiteral("Pratiche (copia in conflitto 2026-01-02 03.04) 2.xls")));
        writeFile(second, "occupato");
        QCOMPARE(conflictCopyPath(path_, when),
                 dir_.filePath(QStringLiteral("Pratiche (copia in conflitto 2026-01-02 03.04) 3.xls")));
    }
};

QTEST_GUILESS_MAIN(TestHostSharing)
#include "test_host_sharing.moc"
