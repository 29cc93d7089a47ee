// What keeps the workbooks safe between saves and across crashes: the
// encrypted journal of the changes, the backup copy made under a temporary
// name, the temporary files of an interrupted save, and the dated copies.
//
// A crash is simulated by copying the folder's files while the program still
// has the workbook open (what a "kill -9" at that instant would leave), or by
// a child process ended with _exit in the middle of a save.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

#include "common/files.h"
#include "core/host/atomic_save.h"
#include "core/host/backup_copies.h"
#include "core/host/journal.h"
#include "core/host/model_access.h"
#include "core/host/spreadsheet_host.h"

using namespace gp::host;
using namespace gptest;

namespace {

const QString kPassword = QStringLiteral("Tesm4061");

// Everything a reader of the workbook sees, sheet by sheet.
QStringList describe(Book* book)
{
    QStringList out;
    for (const QString& name : book->sheetNames()) {
        Sheet* s = book->sheet(name);
        const auto& ws = ModelAccess::worksheet(*s);
        const auto& ps = ws.pageSetup;
        out << QStringLiteral("[%1] visible=%2 frozen=%3,%4 zoom=%5 landscape=%6 area=%7")
                   .arg(name)
                   .arg(s->visible())
                   .arg(ws.frozenRows)
                   .arg(ws.frozenCols)
                   .arg(ps.zoom)
                   .arg(!ps.portrait)
                   .arg(ps.printArea ? ps.printArea->lastRow : -1);
        for (int r = 0; r <= ws.lastRow(); ++r)
            for (int c = 0; c <= ws.lastCol(); ++c)
                if (!ws.isEmpty(r, c) || ws.cell(r, c).xf != 15)
                    out << QStringLiteral("%1,%2=%3 {%4}")
                               .arg(r)
                               .arg(c)
                               .arg(s->cells(r + 1, c + 1).text(),
                                    QString::fromStdString(
                                        ModelAccess::workbook(*book).numberFormatOfXf(ws.cell(r, c).xf)));
        for (int c = 0; c < 6; ++c)
            out << QStringLiteral("width %1=%2").arg(c).arg(ws.columnWidth(c));
    }
    return out;
}

// The files a crash at this instant would leave: the workbooks and their journals.
void snapshot(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& n : QDir(from).entryList(QDir::Files | QDir::Hidden))
        if (!n.startsWith(QStringLiteral(".~lock")))
            QFile::copy(QDir(from).filePath(n), QDir(to).filePath(n));
}

} // namespace

class TestDurability : public QObject {
    Q_OBJECT

private:
    QString path(const QTemporaryDir& d) const { return QDir(d.path()).filePath(QStringLiteral("Pratiche.xls")); }

    // A small saved workbook with two sheets.
    void writeWorkbook(const QString& file)
    {
        SpreadsheetHost h;
        Book* b = h.create(file, kPassword);
        Sheet* a = b->addSheet(QStringLiteral("Clienti"));
        b->addSheet(QStringLiteral("Storico"));
        for (int r = 1; r <= 6; ++r) {
            a->cells(r, 1).setValue(double(7 - r));
            a->cells(r, 2).setValue(QStringLiteral("CLIENTE %1").arg(r));
        }
        b->save();
    }

    // E1 of "Clienti" in a copy of `file` (a workbook can be open only once).
    QVariant e1Of(const QString& file, const QTemporaryDir& dir)
    {
        const QString copy = QDir(dir.path()).filePath(QStringLiteral("letto.xls"));
        QFile::remove(copy);
        QFile::copy(file, copy);
        SpreadsheetHost h;
        return h.open(copy, kPassword)->sheet(QStringLiteral("Clienti"))->cells(1, 5).value();
    }

private slots:
    void everyKindOfChangeComesBackFromTheJournal()
    {
        QTemporaryDir dir, crash;
        writeWorkbook(path(dir));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        Sheet* s = b->sheet(QStringLiteral("Clienti"));
        s->cells(1, 3).setValue(QStringLiteral("ROSSI MARIO"));
        s->cells(2, 3).setValue(12.5);
        s->cells(3, 3).setValue(QDate(2026, 12, 6));
        s->cells(4, 3).setValue(true);
        s->cells(5, 2).setValue(QString()); // emptied
        s->rows(2, 2).insertEntireRow();
        s->cells(2, 1).setValue(99.0);
        s->rows(4, 4).deleteEntireRow();
        s->range(QStringLiteral("B6:B7")).deleteShiftUp();
        s->range(QStringLiteral("A1:C7")).sort(1, true, SortHeader::No);
        s->range(QStringLiteral("C:C")).setNumberFormat(QStringLiteral("#,##0.00"));
        s->range(QStringLiteral("B1")).setFontSize(14);
        s->range(QStringLiteral("A2:A3")).clearContents();
        s->range(QStringLiteral("D1")).clear();
        s->allCells().autoFitColumns();
        s->freezePanes(1, 0);
        s->setPrintArea(QStringLiteral("A1:C5"));
        s->pageSetup().zoom = 80;
        s->pageSetup().portrait = false;
        b->sheet(QStringLiteral("Storico"))->pasteRow(*s, 1, 3);
        b->addSheet(QStringLiteral("Nuovo"))->cells(1, 1).setValue(QStringLiteral("x"));
        b->sheet(QStringLiteral("Storico"))->setVisible(false);
        h.commitJournals();
        const QStringList expected = describe(b);

        snapshot(dir.path(), crash.path());
        SpreadsheetHost again;
        Book* back = again.open(path(crash), kPassword);
        QVERIFY(back->recoveredChanges() >= 20);
        QVERIFY(back->modified());
        QCOMPARE(describe(back), expected);

        // Folded into the file by a save: the journal goes, nothing is played twice.
        back->save();
        QVERIFY(!QFileInfo::exists(Journal::pathFor(path(crash))));
        again.closeAll();
        SpreadsheetHost third;
        Book* saved = third.open(path(crash), kPassword);
        QCOMPARE(saved->recoveredChanges(), 0);
        QVERIFY(!saved->modified());
        QCOMPARE(describe(saved), expected);
    }

    void onlyCommittedAndWholeRecordsCount()
    {
        QTemporaryDir dir, crash, crash2;
        writeWorkbook(path(dir));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        Sheet* s = b->sheet(QStringLiteral("Clienti"));
        s->cells(1, 4).setValue(QStringLiteral("PRIMA"));
        h.commitJournals();
        const qint64 afterFirst = QFileInfo(Journal::pathFor(path(dir))).size();
        s->cells(2, 4).setValue(QStringLiteral("SECONDA"));
        h.commitJournals();
        s->cells(3, 4).setValue(QStringLiteral("NON CONFERMATA")); // never committed
        snapshot(dir.path(), crash.path());

        // The crash tore the last record: it is dropped, the first stays.
        const QString journal = Journal::pathFor(path(crash));
        QFile f(journal);
        QVERIFY(f.resize(QFileInfo(journal).size() - 5));
        {
            SpreadsheetHost again;
            Book* back = again.open(path(crash), kPassword);
            QCOMPARE(back->recoveredChanges(), 1);
            Sheet* t = back->sheet(QStringLiteral("Clienti"));
            QCOMPARE(t->cells(1, 4).value(), QVariant(QStringLiteral("PRIMA")));
            QVERIFY(t->cells(2, 4).isEmpty());
            QVERIFY(t->cells(3, 4).isEmpty());
            // The torn tail is cut: what is recorded now follows the first record.
            QCOMPARE(QFileInfo(journal).size(), afterFirst);
            t->cells(4, 4).setValue(QStringLiteral("DOPO"));
            again.commitJournals();
            snapshot(crash.path(), crash2.path());
        }
        SpreadsheetHost third;
        Book* back = third.open(path(crash2), kPassword);
        QCOMPARE(back->recoveredChanges(), 2);
        QCOMPARE(back->sheet(QStringLiteral("Clienti"))->cells(4, 4).value(), QVariant(QStringLiteral("DOPO")));

        // A record altered on disk is not authentic: it and what follows are dropped.
        QTemporaryDir crash3;
        snapshot(dir.path(), crash3.path());
        QByteArray bytes = readFile(Journal::pathFor(path(crash3)));
        bytes[afterFirst - 40] = char(bytes[afterFirst - 40] ^ 1);
        writeFile(Journal::pathFor(path(crash3)), bytes);
        SpreadsheetHost fourth;
        QCOMPARE(fourth.open(path(crash3), kPassword)->recoveredChanges(), 0);
    }

    void journalOfAnotherVersionIsNotPlayed()
    {
        // The crash came after the save had replaced the file but before the
        // journal was removed: its records are already in the file.
        QTemporaryDir dir;
        writeWorkbook(path(dir));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        b->sheet(QStringLiteral("Clienti"))->rows(1, 1).insertEntireRow();
        h.commitJournals();
        const QByteArray journal = readFile(Journal::pathFor(path(dir)));
        b->save();
        QVERIFY(!QFileInfo::exists(Journal::pathFor(path(dir))));
        h.closeAll();
        writeFile(Journal::pathFor(path(dir)), journal);

        SpreadsheetHost again;
        Book* back = again.open(path(dir), kPassword);
        QCOMPARE(back->recoveredChanges(), 0);
        QVERIFY(back->sheet(QStringLiteral("Clienti"))->cells(1, 1).isEmpty()); // one inserted row, not two
        QCOMPARE(back->sheet(QStringLiteral("Clienti"))->cells(2, 1).value(), QVariant(6.0));
        QVERIFY(!QFileInfo::exists(Journal::pathFor(path(dir))));
    }

    void journalHoldsNoClearText()
    {
        QTemporaryDir dir;
        writeWorkbook(path(dir));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        b->sheet(QStringLiteral("Clienti"))->cells(9, 2).setValue(QStringLiteral("ZANZIBAR TESTIMONE"));
        b->sheet(QStringLiteral("Clienti"))->cells(9, 3).setValue(QStringLiteral("segreta"));
        h.commitJournals();
        const QByteArray journal = readFile(Journal::pathFor(path(dir)));
        QVERIFY(journal.size() > 100);
        for (const QString& t :
             {QStringLiteral("ZANZIBAR"), QStringLiteral("segreta"), kPassword, QStringLiteral("Clienti")})
            QVERIFY2(!containsText(journal, t), qPrintable(t));
        QCOMPARE(QFileInfo(Journal::pathFor(path(dir))).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFileDevice::Permissions());
    }

    void viewArrangementsAreNoChange()
    {
        QTemporaryDir dir;
        writeWorkbook(path(dir));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        Sheet* s = b->sheet(QStringLiteral("Storico"));
        s->setVisible(false);
        b->save();
        {
            Book::ViewOnly view(b);
            s->allCells().autoFitColumns();
            s->freezePanes(1, 0);
        }
        s->showForWork();
        QVERIFY(s->visible());
        QVERIFY(!b->modified());
        h.commitJournals();
        QVERIFY(!QFileInfo::exists(Journal::pathFor(path(dir))));

        // A real change: the file gets it, the shown sheet keeps its hidden state there.
        b->sheet(QStringLiteral("Clienti"))->cells(1, 5).setValue(1.0);
        b->save();
        QVERIFY(s->visible());
        h.closeAll();
        SpreadsheetHost again;
        QVERIFY(!again.open(path(dir), kPassword)->sheet(QStringLiteral("Storico"))->visible());
    }

    void backupSurvivesASaveKilledAtEveryStep()
    {
        const char* steps[] = {"written", "backup linked", "backup renamed", "renamed"};
        for (const char* step : steps) {
            QTemporaryDir dir;
            writeWorkbook(path(dir));
            {
                SpreadsheetHost h; // a first save: the backup exists
                Book* b = h.open(path(dir), kPassword);
                b->sheet(QStringLiteral("Clienti"))->cells(1, 5).setValue(QStringLiteral("VERSIONE 2"));
                b->save();
            }
            const QByteArray before = readFile(path(dir));
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                setSaveStepHook([step](const char* now) {
                    if (qstrcmp(now, step) == 0)
                        ::_exit(9); // the process dies right after this step
                });
                SpreadsheetHost h;
                Book* b = h.open(path(dir), kPassword);
                b->sheet(QStringLiteral("Clienti"))->cells(1, 5).setValue(QStringLiteral("VERSIONE 3"));
                b->save();
                ::_exit(0);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 9, step);

            // One whole backup, and a whole workbook, whatever the step.
            const QString bak = backupPathFor(path(dir));
            QVERIFY2(QFileInfo::exists(bak), step);
            QFile::remove(QDir(dir.path()).filePath(QStringLiteral(".~lock.Pratiche.xls#")));
            QFile::remove(QDir(dir.path()).filePath(QStringLiteral(".~lock.Pratiche.xls#.pid")));
            // Until the new backup is renamed into place, the previous one stays.
            const bool renamed = qstrcmp(step, "backup renamed") == 0 || qstrcmp(step, "renamed") == 0;
            QCOMPARE(e1Of(bak, dir), QVariant(renamed ? QStringLiteral("VERSIONE 2") : QString()));
            if (qstrcmp(step, "renamed") != 0)
                QCOMPARE(readFile(path(dir)), before);
            // The next start removes what the interrupted save left.
            QStringList temps
                = QDir(dir.path()).entryList({QStringLiteral(".Pratiche.xls*.tmp")}, QDir::Files | QDir::Hidden);
            if (qstrcmp(step, "renamed") != 0)
                QVERIFY2(!temps.isEmpty(), step);
            SpreadsheetHost next;
            next.open(path(dir), kPassword);
            temps = leftovers(dir.path());
            QVERIFY2(temps.isEmpty(), qPrintable(temps.join(',')));
        }
    }

    void onlyOurOwnTemporariesAreRemoved()
    {
        QTemporaryDir dir;
        writeWorkbook(path(dir));
        const QStringList ours = {QStringLiteral(".Pratiche.xls.aB3dE9.tmp"),
                                  QStringLiteral(".Pratiche.xls.bak.x1Y2z3.tmp")};
        const QStringList others = {QStringLiteral(".Dorvessa.xls.aB3dE9.tmp"),
                                    QStringLiteral("Pratiche.xls.aB3dE9.tmp"),
                                    QStringLiteral(".Pratiche.xls.lungo12345.tmp"), QStringLiteral("nota.tmp")};
        for (const QString& n : ours + others) {
            QFile f(QDir(dir.path()).filePath(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        SpreadsheetHost h;
        h.open(path(dir), kPassword);
        for (const QString& n : ours)
            QVERIFY2(!QFileInfo::exists(QDir(dir.path()).filePath(n)), qPrintable(n));
        for (const QString& n : others)
            QVERIFY2(QFileInfo::exists(QDir(dir.path()).filePath(n)), qPrintable(n));
    }

    void userIsToldWhenNoBackupCanBeMade()
    {
        QTemporaryDir dir;
        writeWorkbook(path(dir));
        // Something that is not a file stands where the backup goes.
        QVERIFY(QDir().mkpath(backupPathFor(path(dir)) + QStringLiteral("/x")));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        b->sheet(QStringLiteral("Clienti"))->cells(1, 5).setValue(1.0);
        b->save();
        QCOMPARE(b->saveWarnings().size(), 1);
        QVERIFY2(
            b->saveWarnings()[0].startsWith(QStringLiteral("Non è stato possibile conservare la copia di sicurezza "
                                                           "Pratiche.xls.bak")),
            qPrintable(b->saveWarnings()[0]));
        QVERIFY(!b->modified());
        QVERIFY(leftovers(dir.path()).isEmpty());
    }

    void datedCopiesOnePerDayThirtyKept()
    {
        QTemporaryDir dir;
        QDateTime now(QDate(2026, 10, 31), QTime(9, 0));
        setCopyClock([&now] { return now; });
        writeWorkbook(path(dir));
        now = QDateTime(QDate(2026, 11, 1), QTime(9, 0));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        Sheet* s = b->sheet(QStringLiteral("Clienti"));
        const QDir copies(copiesFolderFor(path(dir)));
        // Two saves on one day: one copy, holding the first.
        s->cells(1, 5).setValue(QStringLiteral("GIORNO 0 MATTINA"));
        b->save();
        s->cells(1, 5).setValue(QStringLiteral("GIORNO 0 SERA"));
        now = now.addSecs(8 * 3600);
        b->save();
        QCOMPARE(copies.entryList(QDir::Files, QDir::Name),
                 QStringList({QStringLiteral("Pratiche 2026-10-31.xls"), QStringLiteral("Pratiche 2026-11-01.xls")}));
        QCOMPARE(e1Of(copies.filePath(QStringLiteral("Pratiche 2026-11-01.xls")), dir),
                 QVariant(QStringLiteral("GIORNO 0 MATTINA")));
        QCOMPARE(readFile(copies.filePath(QStringLiteral("Pratiche 2026-11-01.xls"))).left(8),
                 readFile(path(dir)).left(8)); // an encrypted workbook as saved
        // Thirty more days of saves: the oldest ones go, thirty stay.
        for (int day = 1; day <= 30; ++day) {
            now = QDateTime(QDate(2026, 11, 1).addDays(day), QTime(10, 0));
            s->cells(1, 5).setValue(QStringLiteral("GIORNO %1").arg(day));
            b->save();
        }
        const QStringList kept = copies.entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 30);
        QCOMPARE(kept.first(), QStringLiteral("Pratiche 2026-11-02.xls"));
        QCOMPARE(kept.last(), QStringLiteral("Pratiche 2026-12-01.xls"));
        h.closeAll();

        QCOMPARE(e1Of(copies.filePath(QStringLiteral("Pratiche 2026-11-15.xls")), dir),
                 QVariant(QStringLiteral("GIORNO 14")));
        const auto offered = savedCopies(path(dir));
        QCOMPARE(int(offered.size()), 31); // thirty copies and the backup
        QCOMPARE(offered.front().when.date(), QDate(2026, 12, 1));
        QVERIFY(offered.back().backup);
        setCopyClock([] { return QDateTime::currentDateTime(); });
    }
};

QTEST_MAIN(TestDurability)
#include "test_durability.moc"
