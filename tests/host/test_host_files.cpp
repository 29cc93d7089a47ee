// Workbooks on disk: the lock beside an open workbook, opening, and the
// atomic, encrypted save.
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "common/files.h"
#include "core/host/atomic_save.h"
#include "core/host/lock_file.h"
#include "core/host/spreadsheet_host.h"

using namespace gp::host;
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
        Sheet* s = b->addSheet(QStringLiteral("Clienti"));
        s->range(QStringLiteral("A1")).setValue(QStringLiteral("ID Progressivo"));
        s->range(QStringLiteral("A2")).setValue(1);
        s->range(QStringLiteral("B2")).setValue(QStringLiteral("ZEBRATESTO ROSSI"));
        s->range(QStringLiteral("F2")).setValue(QStringLiteral("00184"));
        s->range(QStringLiteral("C2")).setValue(QDate(2025, 12, 6));
        b->save();
        QVERIFY(!b->modified());
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString& f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(dir_.filePath(f));
        path_ = dir_.filePath(QStringLiteral("Prova.xls"));
    }

    void lockEntries()
    {
        QCOMPARE(lockFilePath(QStringLiteral("/dati/Pratiche.xls")), QStringLiteral("/dati/.~lock.Pratiche.xls#"));
        const LockOwner mario{QStringLiteral("Rossi, Mario; avv."), QStringLiteral("mrossi"),
                              QStringLiteral("STUDIO-PC"), QStringLiteral("06.12.2025 10:15")};
        const QByteArray entry = formatLockEntry(mario, QStringLiteral("c:\\profilo"));
        QCOMPARE(entry, QByteArray("Rossi\\, Mario\\; avv.,mrossi,STUDIO-PC,06.12.2025 10:15,c:\\\\profilo;"));
        QString marker;
        const auto back = parseLockEntry(entry, &marker);
        QVERIFY(back);
        QCOMPARE(back->name, mario.name);
        QCOMPARE(back->since, mario.since);
        QCOMPARE(marker, QStringLiteral("c:\\profilo"));

        const auto lo = parseLockEntry("Mario Rossi,mrossi,STUDIO-PC,06.12.2025 10:15,file:///C:/Users/mrossi;");
        QVERIFY(lo);
        QCOMPARE(lo->host, QStringLiteral("STUDIO-PC"));
        QVERIFY(!parseLockEntry("Mario Rossi,mrossi,STUDIO-PC;"));
        QVERIFY(!parseLockEntry("Mario\\x,mrossi,PC,06.12.2025 10:15,;"));
        QVERIFY(!parseLockEntry(""));

        // The file keeps the time as LibreOffice writes it; the message shows an Italian date.
        QCOMPARE(lockedMessage(QStringLiteral("Pratiche.xls"), *lo),
                 QStringLiteral(
                     "La cartella di lavoro Pratiche.xls è in uso da Mario Rossi (STUDIO-PC) dal 06/12/2025 10:15."));
        LockOwner odd = *lo;
        odd.since = QStringLiteral("ieri sera");
        QVERIFY(lockedMessage(QStringLiteral("Pratiche.xls"), odd).endsWith(QStringLiteral(" dal ieri sera.")));
        LockOwner noName = *lo;
        noName.name.clear();
        QVERIFY(lockedMessage(QStringLiteral("Pratiche.xls"), noName).contains(QStringLiteral("in uso da mrossi (")));
    }

    void lockHeldWhileOpenAndRemovedOnClose()
    {
        const QString lockPath = lockFilePath(path_);
        {
            SpreadsheetHost first;
            Book* b = first.create(path_, QString());
            QVERIFY(QFile::exists(lockPath));
            QString marker;
            const auto owner = parseLockEntry(readFile(lockPath), &marker);
            QVERIFY(owner);
            QCOMPARE(owner->login, currentLockOwner().login);
            QCOMPARE(owner->host, QSysInfo::machineHostName());
            QCOMPARE(marker, QString::fromLatin1(kLockMarker));

            // Another instance (here: another host object of this process) is refused.
            SpreadsheetHost second;
            const QString msg = errorOf([&] { second.create(path_, QString()); });
            QVERIFY2(msg.startsWith(QStringLiteral("La cartella di lavoro Prova.xls è in uso da ")), qPrintable(msg));
            QVERIFY(QFile::exists(lockPath)); // the refusal leaves the holder's lock alone

            first.close(b);
            QVERIFY(!QFile::exists(lockPath));
            QVERIFY(!QFile::exists(processLockPath(path_)));
            Book* again = second.create(path_, QString()); // free again
            QVERIFY(again);
        }
        // The destructor of the host releases too.
        QVERIFY(!QFile::exists(lockPath));
    }

    // Entries that refuse the open and are left as they are: another user's, a
    // damaged one, our login on another machine (whether that program still runs
    // cannot be told from here), ours while an instance of ours holds the process lock.
    void locksOfOthersRefuseTheOpen()
    {
        LockOwner elsewhere = currentLockOwner();
        elsewhere.host += QStringLiteral("-ALTRO");
        const QString inUse = QStringLiteral("La cartella di lavoro Prova.xls è in uso da ");
        const struct {
            const char* what;
            QByteArray entry;
            QString message; // empty: any "in use" message
            bool ourInstanceAlive;
        } cases[] = {
            {"another user", "Mario Rossi,mrossi,STUDIO-PC,06.12.2025 10:15,;",
             inUse + QStringLiteral("Mario Rossi (STUDIO-PC) dal 06/12/2025 10:15."), false},
            {"damaged entry", "rotto", inUse + QStringLiteral("un altro utente."), false},
            {"our login elsewhere", formatLockEntry(elsewhere, QStringLiteral("file:///home/x/.config/libreoffice/4")),
             QString(), false},
            {"our live instance", formatLockEntry(currentLockOwner(), QString::fromLatin1(kLockMarker)), QString(),
             true},
        };
        for (const auto& c : cases) {
            writeFile(lockFilePath(path_), c.entry);
            QLockFile alive(processLockPath(path_));
            QVERIFY(!c.ourInstanceAlive || alive.tryLock(0));
            SpreadsheetHost host;
            const QString msg = errorOf([&] { host.create(path_, QString()); });
            QVERIFY2(c.message.isEmpty() ? msg.startsWith(inUse) : msg == c.message, qPrintable(c.what + (": " + msg)));
            QVERIFY2(readFile(lockFilePath(path_)) == c.entry, c.what);
            QVERIFY(host.workbooks().empty());
            QVERIFY(c.ourInstanceAlive || !QFile::exists(processLockPath(path_)));
        }
    }

    void staleOwnLockIsTakenOver()
    {
        LockOwner me = currentLockOwner();
        me.since = QStringLiteral("01.01.2020 08:00");
        const QByteArray old = formatLockEntry(me, QString::fromLatin1(kLockMarker));
        writeFile(lockFilePath(path_), old);

        // The process lock of the instance that crashed: its process is gone.
        QProcess gone;
        gone.start(QStringLiteral("sleep"), {QStringLiteral("0")});
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

    void missingFileIsReported()
    {
        SpreadsheetHost host;
        QCOMPARE(errorOf([&] { host.open(dir_.filePath(QStringLiteral("Manca.xls")), QStringLiteral("x")); }),
                 QStringLiteral("Impossibile aprire la cartella di lavoro Manca.xls: il file non esiste."));
        QVERIFY(!QFile::exists(lockFilePath(dir_.filePath(QStringLiteral("Manca.xls")))));
    }

    void saveIsEncryptedAndReopens()
    {
        makeWorkbook(QStringLiteral("Segreta1"));
        const QByteArray bytes = readFile(path_);
        QVERIFY(bytes.size() > 512);
        QVERIFY(!containsText(bytes, QStringLiteral("ZEBRATESTO")));
        QVERIFY(!QFile::exists(lockFilePath(path_)));

        SpreadsheetHost host;
        Book* b = host.open(path_, QStringLiteral("Segreta1"));
        QVERIFY(!b->modified());
        QCOMPARE(host.open(path_, QStringLiteral("Segreta1")), b); // the same workbook, not a second lock
        Sheet* s = b->sheet(QStringLiteral("Clienti"));
        QCOMPARE(s->range(QStringLiteral("B2")).value().toString(), QStringLiteral("ZEBRATESTO ROSSI"));
        QCOMPARE(s->range(QStringLiteral("F2")).value().toString(), QStringLiteral("00184"));
        QCOMPARE(s->range(QStringLiteral("A2")).value().toDouble(), 1.0);
        QCOMPARE(s->range(QStringLiteral("C2")).text(), QStringLiteral("06/12/2025"));
        host.close(b);

        const QString wrong = errorOf([&] { host.open(path_, QString()); });
        QVERIFY2(wrong.startsWith(QStringLiteral("Impossibile aprire la cartella di lavoro Prova.xls: la password")),
                 qPrintable(wrong));
        QVERIFY(!QFile::exists(lockFilePath(path_)));
    }

    void saveKeepsTheLastVersionAsBackup()
    {
        makeWorkbook(QString());
        const QByteArray first = readFile(path_);
        QVERIFY(containsText(first, QStringLiteral("ZEBRATESTO"))); // no password: written in clear
        SpreadsheetHost host;
        Book* b = host.open(path_, QString());
        b->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("B3")).setValue(QStringLiteral("SECONDA"));
        QVERIFY(b->modified());
        host.saveModified();
        QVERIFY(!b->modified());
        QCOMPARE(readFile(backupPathFor(path_)), first);
        QVERIFY(containsText(readFile(path_), QStringLiteral("SECONDA")));
        QVERIFY(leftovers(dir_.path()).isEmpty());
    }

    void failedWriteKeepsTheOldFile()
    {
        makeWorkbook(QStringLiteral("Segreta1"));
        const QByteArray before = readFile(path_);
        SpreadsheetHost host;
        Book* b = host.open(path_, QStringLiteral("Segreta1"));
        b->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("B2")).setValue(QStringLiteral("CAMBIATO"));

        // The disk fills up after 1000 bytes.
        host.setWriteSink([](const QString& tmp, const QByteArray& bytes) {
            QFile f(tmp);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return false;
            f.write(bytes.left(1000));
            return false;
        });
        const QString msg = errorOf([&] { b->save(); });
        QVERIFY2(msg.startsWith(QStringLiteral(
                     "Impossibile salvare la cartella di lavoro Prova.xls: disco pieno o non scrivibile")),
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

        // The disk is back: the change reaches the file.
        host.setWriteSink({});
        b->save();
        host.close(b);
        Book* again = host.open(path_, QStringLiteral("Segreta1"));
        QCOMPARE(again->sheet(QStringLiteral("Clienti"))->range(QStringLiteral("B2")).value().toString(),
                 QStringLiteral("CAMBIATO"));
    }

    void practiceWorkbookSavedAndReopened()
    {
        if (!QFile::exists(fixture("Pratiche.xls")))
            QSKIP("fixtures not found beside the checkout (GP_SHARED_DIR)");
        const QString copy = dir_.filePath(QStringLiteral("Pratiche.xls"));
        QVERIFY(QFile::copy(fixture("Pratiche.xls"), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        const QString password = QStringLiteral("Tesm4061");
        {
            SpreadsheetHost host;
            Book* b = host.open(copy, password);
            Sheet* clienti = b->sheet(QStringLiteral("Clienti"));
            QCOMPARE(clienti->range(QStringLiteral("B2")).value().toString(), QStringLiteral("ROSSI MARIO"));
            QCOMPARE(clienti->range(QStringLiteral("F2")).value().toString(), QStringLiteral("40121"));
            QCOMPARE(clienti->walkDown(QStringLiteral("B2")).size(), size_t(24));
            QCOMPARE(clienti->range(QStringLiteral("Y1")).value().toDouble(), 24.0);
            QVERIFY(!b->sheet(QStringLiteral("Codice"))->visible());

            clienti->range(QStringLiteral("B2")).setValue(QStringLiteral("ROSSI MARIO MODIFICATO"));
            b->sheet(QStringLiteral("Pratica"))->range(QStringLiteral("J2")).setValue(QStringLiteral("00123"));
            host.saveModified();
            QVERIFY(!b->modified());
        }
        const QByteArray saved = readFile(copy);
        QVERIFY(!containsText(saved, QStringLiteral("ROSSI MARIO")));
        QVERIFY(!containsText(saved, QStringLiteral("VIA DEI MILLE")));
        QCOMPARE(readFile(backupPathFor(copy)), readFile(fixture("Pratiche.xls")));

        SpreadsheetHost host;
        Book* b = host.open(copy, password);
        Sheet* clienti = b->sheet(QStringLiteral("Clienti"));
        QCOMPARE(clienti->range(QStringLiteral("B2")).value().toString(), QStringLiteral("ROSSI MARIO MODIFICATO"));
        QCOMPARE(clienti->range(QStringLiteral("E2")).value().toString(), QStringLiteral("VIA DEI MILLE 7"));
        QCOMPARE(clienti->walkDown(QStringLiteral("B2")).size(), size_t(24));
        QCOMPARE(b->sheet(QStringLiteral("Pratica"))->range(QStringLiteral("J2")).value().toString(),
                 QStringLiteral("00123"));
        QVERIFY(!b->sheet(QStringLiteral("Codice"))->visible());
        host.close(b);
        QVERIFY(errorOf([&] { host.open(copy, QStringLiteral("sbagliata")); }).contains(QStringLiteral("password")));
    }
};

QTEST_GUILESS_MAIN(TestHostFiles)
#include "test_host_files.moc"
