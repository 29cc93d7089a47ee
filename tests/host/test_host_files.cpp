// Workbooks on disk: the lock beside an open workbook, opening, and the
// atomic, encrypted save.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "common/files.h"
#include "core/host/atomic_save.h"
#include "core/host/lock_file.h"
#include "core/host/spreadsheet_host.h"

using namespace gp::host;
using namespace Qt::StringLiterals;
using namespace gptest;

class TestHostFiles : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString path_;

    QString fixture(const char* name)
    {
        return QStringLiteral(GP_SHARED_DIR "/fixtures/practice/") + QString::fromLatin1(name);
    }

    // A fresh encrypted workbook saved at path_.
    void makeWorkbook(const QString& password)
    {
        SpreadsheetHost host;
        Book* b = host.create(path_, password);
        Sheet* s = b->addSheet(u"Clienti"_s);
        s->range(u"A1"_s).setValue(u"ID Progressivo"_s);
        s->range(u"A2"_s).setValue(1);
        s->range(u"B2"_s).setValue(u"ZEBRATESTO ROSSI"_s);
        s->range(u"F2"_s).setValue(u"00184"_s);
        s->range(u"C2"_s).setValue(QDate(2025, 12, 6));
        b->save();
        QVERIFY(!b->modified());
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString& f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir_.filePath(f));
        path_ = dir_.filePath(u"Prova.xls"_s);
    }

    void lockEntries()
    {
        QCOMPARE(lockFilePath(u"/dati/Pratiche.xls"_s), u"/dati/.~lock.Pratiche.xls#"_s);
        const LockOwner mario{u"Rossi, Mario; avv."_s, u"mrossi"_s, u"STUDIO-PC"_s, u"06.12.2025 10:15"_s};
        const QByteArray entry = formatLockEntry(mario, u"c:\\profilo"_s);
        QCOMPARE(entry, QByteArray("Rossi\\, Mario\\; avv.,mrossi,STUDIO-PC,06.12.2025 10:15,c:\\\\profilo;"));
        QString marker;
        const auto back = parseLockEntry(entry, &marker);
        QVERIFY(back);
        QCOMPARE(back->name, mario.name);
        QCOMPARE(back->since, mario.since);
        QCOMPARE(marker, u"c:\\profilo"_s);

        const auto lo = parseLockEntry("Mario Rossi,mrossi,STUDIO-PC,06.12.2025 10:15,file:///C:/Users/mrossi;");
        QVERIFY(lo);
        QCOMPARE(lo->host, u"STUDIO-PC"_s);
        for (const char* bad : {"Mario Rossi,mrossi,STUDIO-PC;", "Mario\\x,mrossi,PC,06.12.2025 10:15,;", ""})
            QVERIFY2(!parseLockEntry(bad), bad);

        // The whole message, with the time as an Italian date: test_host_sharing.
        LockOwner odd = *lo;
        odd.since = u"ieri sera"_s;
        QVERIFY(lockedMessage(u"Pratiche.xls"_s, odd).endsWith(u" dal ieri sera."_s));
        LockOwner noName = *lo;
        noName.name.clear();
        QVERIFY(lockedMessage(u"Pratiche.xls"_s, noName).contains(u"in uso da mrossi ("_s));
    }

    void lockHeldWhileOpenAndRemovedOnClose()
    {
        const QString lockPath = lockFilePath(path_);
        {
            SpreadsheetHost first;
            Book* b = first.create(path_, QString());
            QVERIFY(QFile::exists(lockPath));
            QString marker;
            const QByteArray entry = readFile(lockPath);
            const auto owner = parseLockEntry(entry, &marker);
            QVERIFY(owner);
            QCOMPARE(owner->login, currentLockOwner().login);
            QCOMPARE(owner->host, QSysInfo::machineHostName());
            QCOMPARE(marker, QString::fromLatin1(kLockMarker));

            // Another instance (here: another host object of this process) is refused.
            SpreadsheetHost second;
            const QString msg = errorOf([&] { second.create(path_, QString()); });
            QVERIFY2(msg.startsWith(u"La cartella di lavoro Prova.xls è in uso da "_s), qPrintable(msg));
            QCOMPARE(readFile(lockPath), entry); // the refusal leaves the holder's lock alone
            QVERIFY(second.workbooks().empty());

            first.close(b);
            QVERIFY(!QFile::exists(lockPath));
            QVERIFY(!QFile::exists(processLockPath(path_)));
            Book* mine = second.create(path_, QString()); // free again
            mine->addSheet(u"Clienti"_s)->cells(1, 1).setValue(u"ZEBRATESTO"_s);
            mine->save();
            QVERIFY(containsText(readFile(path_), u"ZEBRATESTO"_s)); // no password: written in clear
        }
        // The destructor of the host releases too.
        QVERIFY(!QFile::exists(lockPath));
    }

    // Entries that refuse the open and are left as they are: a damaged one, our
    // login on another machine (whether that program still runs cannot be told
    // from here). Another user's: test_host_sharing; ours, held: the test above.
    void locksOfOthersRefuseTheOpen()
    {
        LockOwner elsewhere = currentLockOwner();
        elsewhere.host += u"-ALTRO"_s;
        const QString inUse = u"La cartella di lavoro Prova.xls è in uso da "_s;
        const std::pair<QByteArray, QString> cases[] = {
            {"rotto", inUse + u"un altro utente."_s},
            {formatLockEntry(elsewhere, u"file:///home/x/.config/libreoffice/4"_s), QString()}, // any "in use"
        };
        for (const auto& [entry, message] : cases) {
            writeFile(lockFilePath(path_), entry);
            SpreadsheetHost host;
            const QString msg = errorOf([&] { host.create(path_, QString()); });
            QVERIFY2(message.isEmpty() ? msg.startsWith(inUse) : msg == message, qPrintable(msg));
            QCOMPARE(readFile(lockFilePath(path_)), entry);
            QVERIFY(host.workbooks().empty());
            QVERIFY(!QFile::exists(processLockPath(path_)));
        }
    }

    void staleOwnLockIsTakenOver()
    {
        LockOwner me = currentLockOwner();
        me.since = u"01.01.2020 08:00"_s;
        const QByteArray old = formatLockEntry(me, QString::fromLatin1(kLockMarker));
        writeFile(lockFilePath(path_), old);

        // The process lock of the instance that crashed: its process is gone.
        QProcess gone;
        gone.start(u"sleep"_s, {u"0"_s});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        writeFile(processLockPath(path_),
                  QByteArray::number(deadPid) + "\nsleep\n" + QSysInfo::machineHostName().toUtf8() + "\n");

        SpreadsheetHost host;
        Book* b = host.create(path_, QString());
        QVERIFY(b);
        const QByteArray now = readFile(lockFilePath(path_));
        QVERIFY(now != old);
        QCOMPARE(parseLockEntry(now)->login, me.login);
        host.close(b);
        QVERIFY(!QFile::exists(lockFilePath(path_)));
    }

    // Encrypted on disk, refused with a wrong password or no file, read back
    // whole; a failed write leaves the old file, the change reaches it later.
    void saveIsEncryptedReopensAndSurvivesAFailedWrite()
    {
        makeWorkbook(u"Segreta1"_s);
        const QByteArray before = readFile(path_);
        QVERIFY(before.size() > 512);
        QVERIFY(!containsText(before, u"ZEBRATESTO"_s));
        QVERIFY(!QFile::exists(lockFilePath(path_)));
        SpreadsheetHost host;
        const QString wrong = errorOf([&] { host.open(path_, QString()); });
        QVERIFY2(wrong.startsWith(u"Impossibile aprire la cartella di lavoro Prova.xls: la password"_s),
                 qPrintable(wrong));
        QVERIFY(!QFile::exists(lockFilePath(path_)));
        QCOMPARE(errorOf([&] { host.open(dir_.filePath(u"Manca.xls"_s), u"x"_s); }),
                 u"Impossibile aprire la cartella di lavoro Manca.xls: il file non esiste."_s);
        QVERIFY(!QFile::exists(lockFilePath(dir_.filePath(u"Manca.xls"_s))));

        Book* b = host.open(path_, u"Segreta1"_s);
        QVERIFY(!b->modified());
        QCOMPARE(host.open(path_, u"Segreta1"_s), b); // the same workbook, not a second lock
        Sheet* s = b->sheet(u"Clienti"_s);
        QCOMPARE(s->range(u"B2"_s).value().toString(), u"ZEBRATESTO ROSSI"_s);
        QCOMPARE(s->range(u"F2"_s).value().toString(), u"00184"_s);
        QCOMPARE(s->range(u"A2"_s).value().toDouble(), 1.0);
        QCOMPARE(s->range(u"C2"_s).text(), u"06/12/2025"_s);
        s->range(u"B2"_s).setValue(u"CAMBIATO"_s);

        // The disk fills up after 1000 bytes.
        host.setWriteSink([](const QString& tmp, const QByteArray& bytes) {
            QFile f(tmp);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return false;
            f.write(bytes.left(1000));
            return false;
        });
        const QString msg = errorOf([&] { b->save(); });
        QVERIFY2(msg.startsWith(u"Impossibile salvare la cartella di lavoro Prova.xls: disco pieno o non scrivibile"_s),
                 qPrintable(msg));
        QCOMPARE(readFile(path_), before);
        QVERIFY(b->modified());
        QVERIFY(leftovers(dir_.path()).isEmpty());

        // A writer that claims success but wrote short, and one that throws.
        host.setWriteSink([](const QString& tmp, const QByteArray& bytes) {
            QFile f(tmp);
            return f.open(QIODevice::WriteOnly) && f.write(bytes.left(10)) == 10;
        });
        QVERIFY(!errorOf([&] { host.saveModified(); }).isEmpty());
        host.setWriteSink([](const QString&, const QByteArray&) -> bool { throw std::runtime_error("I/O"); });
        QVERIFY(!errorOf([&] { b->save(); }).isEmpty());
        QCOMPARE(readFile(path_), before);
        QVERIFY(leftovers(dir_.path()).isEmpty());

        // The disk is back: the change reaches the file, the last version is the backup.
        host.setWriteSink({});
        b->save();
        QVERIFY(!b->modified());
        QCOMPARE(readFile(backupPathFor(path_)), before);
        QVERIFY(leftovers(dir_.path()).isEmpty());
        host.close(b);
        QCOMPARE(host.open(path_, u"Segreta1"_s)->sheet(u"Clienti"_s)->text(2, 2), u"CAMBIATO"_s);
    }

    void practiceWorkbookSavedAndReopened()
    {
        if (!QFile::exists(fixture("Pratiche.xls")))
            QSKIP("fixtures not found beside the checkout (GP_SHARED_DIR)");
        const QString copy = dir_.filePath(u"Pratiche.xls"_s);
        QVERIFY(QFile::copy(fixture("Pratiche.xls"), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        const QString password = u"Tesm4061"_s;
        {
            SpreadsheetHost host;
            Book* b = host.open(copy, password);
            Sheet* clienti = b->sheet(u"Clienti"_s);
            QCOMPARE(clienti->range(u"B2"_s).value().toString(), u"ROSSI MARIO"_s);
            QCOMPARE(clienti->range(u"F2"_s).value().toString(), u"40121"_s);
            QCOMPARE(clienti->range(u"Y1"_s).value().toDouble(), 24.0);

            clienti->range(u"B2"_s).setValue(u"ROSSI MARIO MODIFICATO"_s);
            b->sheet(u"Pratica"_s)->range(u"J2"_s).setValue(u"00123"_s);
            host.saveModified();
            QVERIFY(!b->modified());
        }
        const QByteArray saved = readFile(copy);
        QVERIFY(!containsText(saved, u"ROSSI MARIO"_s));
        QVERIFY(!containsText(saved, u"VIA DEI MILLE"_s));
        QCOMPARE(readFile(backupPathFor(copy)), readFile(fixture("Pratiche.xls")));

        SpreadsheetHost host;
        Book* b = host.open(copy, password);
        Sheet* clienti = b->sheet(u"Clienti"_s);
        QCOMPARE(clienti->range(u"B2"_s).value().toString(), u"ROSSI MARIO MODIFICATO"_s);
        QCOMPARE(clienti->range(u"E2"_s).value().toString(), u"VIA DEI MILLE 7"_s);
        QCOMPARE(clienti->walkDown(u"B2"_s).size(), size_t(24));
        QCOMPARE(b->sheet(u"Pratica"_s)->range(u"J2"_s).value().toString(), u"00123"_s);
        QVERIFY(!b->sheet(u"Codice"_s)->visible());
        host.close(b);
        QVERIFY(errorOf([&] { host.open(copy, u"sbagliata"_s); }).contains(u"password"_s));
    }
};

QTEST_GUILESS_MAIN(TestHostFiles)
#include "test_host_files.moc"
