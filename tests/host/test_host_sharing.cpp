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
using namespace Qt::StringLiterals;
using namespace gptest;

namespace {

const QString kPassword = u"Tesm4061"_s;
const QByteArray kTheirLock("Mario Rossi,mrossi,STUDIO-PC,06.12.2026 09:15,;");

} // namespace

class TestHostSharing : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path_;

    // An encrypted workbook at `path` (path_ if empty): "Clienti" with A2 = `value`, and a work sheet "S".
    void makeWorkbook(const QString& value, const QString& path = QString())
    {
        SpreadsheetHost host;
        Book* b = host.create(path.isEmpty() ? path_ : path, kPassword);
        b->addSheet(u"Clienti"_s)->range(u"A2"_s).setValue(value);
        b->addSheet(u"S"_s);
        b->save();
    }

    // Row `row` of column A of "Clienti" in the workbook at `path`, opened read-only.
    static QString readA(const QString& path, int row = 2)
    {
        SpreadsheetHost host;
        return host.open(path, kPassword, SpreadsheetHost::OpenMode::ReadOnly)->sheet(u"Clienti"_s)->text(row, 1);
    }

    // Whether the lock entry beside path_ is ours: our login, our marker.
    bool lockIsOurs()
    {
        QString marker;
        const auto entry = parseLockEntry(readFile(lockFilePath(path_)), &marker);
        return entry && entry->login == currentLockOwner().login && marker == QString::fromLatin1(kLockMarker);
    }

    // The refusal of an open, when it is refused because someone holds the workbook.
    std::optional<WorkbookInUse> refusal(SpreadsheetHost& host)
    {
        try {
            host.open(path_, kPassword);
        } catch (const WorkbookInUse& e) {
            return e;
        }
        return std::nullopt;
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString& f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir_.filePath(f));
        path_ = dir_.filePath(u"Pratiche.xls"_s);
    }

    // Held by someone else: the refusal names the holder and since when; the
    // workbook can be consulted read-only, or opened anyway taking the lock over.
    void heldWorkbookReadOnlyOrTakenOver()
    {
        makeWorkbook(u"ROSSI"_s);
        writeFile(lockFilePath(path_), "Mario Rossi,mrossi,STUDIO-PC,ieri,;"); // no readable date
        SpreadsheetHost host;
        auto held = refusal(host);
        QVERIFY(held);
        QCOMPARE(held->since(), QFileInfo(lockFilePath(path_)).lastModified()); // the lock file's own time
        writeFile(lockFilePath(path_), kTheirLock);
        held = refusal(host);
        QVERIFY(held);
        QCOMPARE(held->message(),
                 u"La cartella di lavoro Pratiche.xls è in uso da Mario Rossi (STUDIO-PC) dal 06/12/2026 09:15."_s);
        QCOMPARE(held->owner().login, u"mrossi"_s);
        QCOMPARE(held->since(), QDateTime(QDate(2026, 12, 6), QTime(9, 15)));
        QVERIFY(host.workbooks().empty());

        const QByteArray before = readFile(path_);
        {
            Book* b = host.open(path_, kPassword, SpreadsheetHost::OpenMode::ReadOnly);
            QVERIFY(b->readOnly());
            QVERIFY(b->holder());
            QCOMPARE(b->holder()->name, u"Mario Rossi"_s);
            QCOMPARE(b->holder()->host, u"STUDIO-PC"_s);
            b->setWorkSheets({u"S"_s});
            Sheet* s = b->sheet(u"Clienti"_s);
            QCOMPARE(s->range(u"A2"_s).value().toString(), u"ROSSI"_s);

            const QString refused = u"Pratiche.xls è aperta in sola lettura: nessuna modifica è possibile."_s;
            const std::vector<std::pair<const char*, std::function<void()>>> changes = {
                {"setValue", [&] { s->range(u"A2"_s).setValue(u"X"_s); }},
                {"clearContents", [&] { s->range(u"A2"_s).clearContents(); }},
                {"clear", [&] { s->allCells().clear(); }},
                {"deleteEntireRow", [&] { s->range(u"A2"_s).entireRow().deleteEntireRow(); }},
                {"insertEntireRow", [&] { s->range(u"A2"_s).entireRow().insertEntireRow(); }},
                {"deleteShiftUp", [&] { s->range(u"A1:A2"_s).deleteShiftUp(); }},
                {"sort", [&] { s->range(u"A1:A3"_s).sort(1); }},
                {"setNumberFormat", [&] { s->range(u"A2"_s).setNumberFormat(u"0.00"_s); }},
                {"pasteRow", [&] { s->pasteRow(*s, 2, 3); }},
                {"addSheet", [&] { b->addSheet(u"Nuovo"_s); }},
            };
            for (const auto& [what, change] : changes)
                QVERIFY2(errorOf(change) == refused, what);
            QCOMPARE(s->range(u"A2"_s).value().toString(), u"ROSSI"_s);
            QVERIFY(s->range(u"A3"_s).isEmpty());
            QVERIFY(!b->sheetOrNull(u"Nuovo"_s));
            QVERIFY(!b->modified());

            // Scratch work and display settings stay possible, in memory only.
            b->sheet(u"S"_s)->range(u"A1"_s).setValue(u"risultato"_s);
            {
                ScratchChanges scratch(b);
                s->range(u"Z1"_s).setValue(1.0);
            }
            QCOMPARE(errorOf([&] { s->range(u"Z1"_s).setValue(2.0); }), refused);
            s->freezePanes(1, 0);
            s->setVisible(false);
            b->save();
            host.saveModified();
            host.closeAll();
        }
        QCOMPARE(readFile(path_), before);
        QCOMPARE(readFile(lockFilePath(path_)), kTheirLock);
        QVERIFY(!QFile::exists(processLockPath(path_)));
        QVERIFY(!QFile::exists(path_ + u".bak"_s));

        Book* b = host.open(path_, kPassword, SpreadsheetHost::OpenMode::TakeOverLock);
        QVERIFY(!b->readOnly());
        QVERIFY(lockIsOurs());
        b->sheet(u"Clienti"_s)->range(u"A2"_s).setValue(u"VERDI"_s);
        b->save();
        host.close(b);
        QVERIFY(!QFile::exists(lockFilePath(path_)));
        QCOMPARE(readA(path_), u"VERDI"_s);
    }

    void officeLockOfThisUserAndHost()
    {
        // The entry another office program of ours leaves (field 5: its profile).
        const QByteArray entry = formatLockEntry(currentLockOwner(), u"file:///home/x/.config/libreoffice/4"_s);
        makeWorkbook(u"ROSSI"_s);

        // That program still runs here: the workbook is in use.
        QTemporaryDir bin;
        const QString office = bin.filePath(u"soffice.bin"_s);
        QVERIFY(QFile::copy(u"/bin/sleep"_s, office));
        QProcess running;
        running.start(office, {u"60"_s});
        QVERIFY(running.waitForStarted());
        QVERIFY(officeProcessRunning(::getuid()));
        QVERIFY(!officeProcessRunning(::getuid() + 4242));
        writeFile(lockFilePath(path_), entry);
        {
            SpreadsheetHost host;
            QVERIFY(errorOf([&] { host.open(path_, kPassword); }).contains(u"è in uso da"_s));
            QCOMPARE(readFile(lockFilePath(path_)), entry);
        }
        running.kill();
        QVERIFY(running.waitForFinished());

        // No longer running: the entry is a left-over, taken over without a word.
        QVERIFY(!officeProcessRunning(::getuid()));
        SpreadsheetHost host;
        Book* b = host.open(path_, kPassword);
        QVERIFY(!b->readOnly());
        QVERIFY(lockIsOurs());
        host.close(b);
        QVERIFY(!QFile::exists(lockFilePath(path_)));

        // Another user's entry on this host is never a left-over of ours.
        LockOwner other = currentLockOwner();
        other.login += u"_altro"_s;
        const QByteArray theirs = formatLockEntry(other, u"file:///home/y/.config/libreoffice/4"_s);
        writeFile(lockFilePath(path_), theirs);
        QVERIFY(errorOf([&] { host.open(path_, kPassword); }).contains(u"è in uso da"_s));
        QCOMPARE(readFile(lockFilePath(path_)), theirs);
    }

    void changedFileGetsAConflictCopy()
    {
        makeWorkbook(u"ROSSI"_s);
        SpreadsheetHost host;
        QDateTime clock(QDate(2026, 12, 6), QTime(9, 15, 42));
        host.setClock([&] { return clock; });
        Book* b = host.open(path_, kPassword);
        Sheet* s = b->sheet(u"Clienti"_s);

        // Saved again with the same bytes but a new time: no change of content.
        const QByteArray original = readFile(path_);
        QFile::remove(path_);
        writeFile(path_, original);
        s->range(u"A2"_s).setValue(u"NOSTRO"_s);
        b->save();
        QCOMPARE(b->savePath(), path_);
        QVERIFY(b->takeConflictNotice().isEmpty());

        // Someone else replaces the file (a copy made elsewhere, here with the engine).
        makeWorkbook(u"LORO"_s, dir_.filePath(u"altrove.xls"_s));
        const QByteArray theirs = readFile(dir_.filePath(u"altrove.xls"_s));
        writeFile(path_, theirs);

        s->range(u"A3"_s).setValue(u"ANCORA"_s);
        b->save();
        const QString copy = dir_.filePath(u"Pratiche (copia in conflitto 2026-12-06 09.15).xls"_s);
        QCOMPARE(b->savePath(), copy);
        QCOMPARE(readFile(path_), theirs);
        QCOMPARE(b->takeConflictNotice(),
                 u"Il file Pratiche.xls è stato modificato da un altro utente o programma dopo che questo programma lo "
                 u"ha letto: non è stato sovrascritto.\nLe modifiche fatte qui sono salvate in \"Pratiche (copia in "
                 u"conflitto 2026-12-06 09.15).xls\", nella stessa cartella, fino alla chiusura del programma."_s);
        QVERIFY(b->takeConflictNotice().isEmpty());
        QVERIFY(!readFile(copy).contains("NOSTRO")); // encrypted like the original
        QCOMPARE(readA(copy), u"NOSTRO"_s);

        // Later saves go to the same copy; the other's file stays as it is.
        clock = clock.addSecs(3600);
        s->range(u"A4"_s).setValue(u"TERZO"_s);
        b->save();
        QCOMPARE(b->savePath(), copy);
        QVERIFY(b->takeConflictNotice().isEmpty());
        QCOMPARE(readFile(path_), theirs);
        QCOMPARE(readA(copy, 4), u"TERZO"_s);
        host.closeAll();
        QVERIFY(!QFile::exists(lockFilePath(path_)));
    }

    void newWorkbookConflictNamesAndVanishedFile()
    {
        SpreadsheetHost host;
        host.setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 15)); });
        // A workbook not saved yet, and a file of that name appears meanwhile.
        Book* b = host.create(path_, kPassword);
        b->addSheet(u"Clienti"_s)->range(u"A2"_s).setValue(u"NUOVO"_s);
        writeFile(path_, "di qualcun altro");
        b->save();
        QCOMPARE(readFile(path_), QByteArray("di qualcun altro"));
        QVERIFY(QFile::exists(dir_.filePath(u"Pratiche (copia in conflitto 2026-12-06 09.15).xls"_s)));
        host.closeAll();
        // That name is taken: the next copy of the same minute gets a number.
        for (const char* n : {" 2", " 3"}) {
            const QString next = conflictCopyPath(path_, QDateTime(QDate(2026, 12, 6), QTime(9, 15)));
            QCOMPARE(next,
                     dir_.filePath(u"Pratiche (copia in conflitto 2026-12-06 09.15)%1.xls"_s.arg(QLatin1String(n))));
            writeFile(next, "occupato");
        }

        // A file removed behind our back: nothing to overwrite, the save goes to its name.
        QFile::remove(path_);
        makeWorkbook(u"ROSSI"_s);
        Book* again = host.open(path_, kPassword);
        QFile::remove(path_);
        again->sheet(u"Clienti"_s)->range(u"A2"_s).setValue(u"RITORNO"_s);
        again->save();
        QCOMPARE(again->savePath(), path_);
        host.closeAll();
        QCOMPARE(readA(path_), u"RITORNO"_s);
    }
};

QTEST_GUILESS_MAIN(TestHostSharing)
#include "test_host_sharing.moc"
