// What keeps the workbooks safe: the encrypted journal of the changes, the
// backup, the temporaries of an interrupted save, the dated copies. A crash is
// a copy of the folder taken while the workbook is open (what a "kill -9" would
// leave), or a child process ended with _exit in the middle of a save.
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
using namespace Qt::StringLiterals;

namespace {

const QString kPassword = u"Tesm4061"_s;

// Everything a reader of the workbook sees, sheet by sheet.
QStringList describe(Book* book)
{
    QStringList out;
    for (const QString& name : book->sheetNames()) {
        Sheet* s = book->sheet(name);
        const auto& ws = ModelAccess::worksheet(*s);
        const auto& ps = ws.pageSetup;
        out << name
                + QString::asprintf(" visible=%d frozen=%d,%d zoom=%d landscape=%d area=%d", int(s->visible()),
                                    ws.frozenRows, ws.frozenCols, int(ps.zoom), int(!ps.portrait),
                                    ps.printArea ? ps.printArea->lastRow : -1);
        for (int r = 0; r <= ws.lastRow(); ++r)
            for (int c = 0; c <= ws.lastCol(); ++c)
                if (!ws.isEmpty(r, c) || ws.cell(r, c).xf != 15)
                    out << u"%1,%2=%3 {%4}"_s.arg(r).arg(c).arg(
                        s->cells(r + 1, c + 1).text(),
                        QString::fromStdString(ModelAccess::workbook(*book).numberFormatOfXf(ws.cell(r, c).xf)));
        for (int c = 0; c < 6; ++c)
            out << u"width %1=%2"_s.arg(c).arg(ws.columnWidth(c));
    }
    return out;
}

// The files a crash at this instant would leave: the workbooks and their journals.
void snapshot(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& n : QDir(from).entryList(QDir::Files | QDir::Hidden))
        if (!n.startsWith(u".~lock"_s))
            QFile::copy(QDir(from).filePath(n), QDir(to).filePath(n));
}

} // namespace

class TestDurability : public QObject {
    Q_OBJECT

private:
    static QString path(const QTemporaryDir& d) { return QDir(d.path()).filePath(u"Pratiche.xls"_s); }
    static QString journal(const QTemporaryDir& d) { return Journal::pathFor(path(d)); }
    static Sheet* clienti(Book* b) { return b->sheet(u"Clienti"_s); }

    // A small saved workbook with two sheets in `dir`; returns its path.
    static QString writeWorkbook(const QTemporaryDir& dir)
    {
        SpreadsheetHost h;
        Book* b = h.create(path(dir), kPassword);
        Sheet* a = b->addSheet(u"Clienti"_s);
        b->addSheet(u"Storico"_s);
        for (int r = 1; r <= 6; ++r) {
            a->cells(r, 1).setValue(double(7 - r));
            a->cells(r, 2).setValue(u"CLIENTE %1"_s.arg(r));
        }
        b->save();
        return path(dir);
    }

    // E1 of "Clienti" in a copy of `file` (a workbook can be open only once).
    QVariant e1Of(const QString& file, const QTemporaryDir& dir)
    {
        const QString copy = QDir(dir.path()).filePath(u"letto.xls"_s);
        QFile::remove(copy);
        QFile::copy(file, copy);
        SpreadsheetHost h;
        return clienti(h.open(copy, kPassword))->cells(1, 5).value();
    }

private slots:
    void everyKindOfChangeComesBackFromTheJournal()
    {
        QTemporaryDir dir, crash;
        SpreadsheetHost h;
        Book* b = h.open(writeWorkbook(dir), kPassword);
        Sheet* s = clienti(b);
        s->cells(1, 3).setValue(u"ROSSI MARIO"_s);
        s->cells(2, 3).setValue(12.5);
        s->cells(3, 3).setValue(QDate(2026, 12, 6));
        s->cells(4, 3).setValue(true);
        s->cells(5, 2).setValue(QString()); // emptied
        s->rows(2, 2).insertEntireRow();
        s->cells(2, 1).setValue(99.0);
        s->rows(4, 4).deleteEntireRow();
        s->range(u"B6:B7"_s).deleteShiftUp();
        s->range(u"A1:C7"_s).sort(1, true, SortHeader::No);
        s->range(u"C:C"_s).setNumberFormat(u"#,##0.00"_s);
        s->range(u"B1"_s).setFontSize(14);
        s->range(u"A2:A3"_s).clearContents();
        s->range(u"D1"_s).clear();
        s->allCells().autoFitColumns();
        s->freezePanes(1, 0);
        s->setPrintArea(u"A1:C5"_s);
        s->pageSetup().zoom = 80;
        s->pageSetup().portrait = false;
        b->sheet(u"Storico"_s)->pasteRow(*s, 1, 3);
        b->addSheet(u"Nuovo"_s)->cells(1, 1).setValue(u"x"_s);
        b->sheet(u"Storico"_s)->setVisible(false);
        h.commitJournals();
        const QStringList expected = describe(b);

        snapshot(dir.path(), crash.path());
        SpreadsheetHost again;
        Book* back = again.open(path(crash), kPassword);
        QVERIFY(back->recoveredChanges() >= 20);
        QVERIFY(back->modified());
        QCOMPARE(describe(back), expected);

        // Folded into the file by a save: the journal goes, nothing is played twice,
        // even when a crash after the save kept the journal (it is of an older version).
        const QByteArray old = readFile(journal(crash));
        back->save();
        QVERIFY(!QFileInfo::exists(journal(crash)));
        again.closeAll();
        writeFile(journal(crash), old);
        SpreadsheetHost third;
        Book* saved = third.open(path(crash), kPassword);
        QCOMPARE(saved->recoveredChanges(), 0);
        QVERIFY(!saved->modified());
        QCOMPARE(describe(saved), expected);
        QVERIFY(!QFileInfo::exists(journal(crash)));
    }

    // The journal holds committed, whole, authentic records, and no clear text.
    void onlyCommittedAndWholeRecordsCount()
    {
        QTemporaryDir dir, crash, crash2, crash3;
        SpreadsheetHost h;
        Sheet* s = clienti(h.open(writeWorkbook(dir), kPassword));
        s->cells(1, 4).setValue(u"PRIMA"_s);
        h.commitJournals();
        const qint64 afterFirst = QFileInfo(journal(dir)).size();
        s->cells(2, 4).setValue(u"ZANZIBAR SECONDA"_s);
        h.commitJournals();
        s->cells(3, 4).setValue(u"NON CONFERMATA"_s); // never committed
        snapshot(dir.path(), crash.path());
        const QByteArray bytes = readFile(journal(dir));
        QVERIFY(bytes.size() > 100);
        for (const QString& t : {u"PRIMA"_s, u"ZANZIBAR"_s, kPassword, u"Clienti"_s})
            QVERIFY2(!containsText(bytes, t), qPrintable(t));
        QCOMPARE(QFileInfo(journal(dir)).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFileDevice::Permissions());

        // The crash tore the last record: it is dropped, the first stays.
        QFile f(journal(crash));
        QVERIFY(f.resize(QFileInfo(journal(crash)).size() - 5));
        {
            SpreadsheetHost again;
            Sheet* t = clienti(again.open(path(crash), kPassword));
            QCOMPARE(t->book()->recoveredChanges(), 1);
            QCOMPARE(t->text(1, 4) + u'|' + t->text(2, 4) + u'|' + t->text(3, 4), u"PRIMA||"_s);
            // The torn tail is cut: what is recorded now follows the first record.
            QCOMPARE(QFileInfo(journal(crash)).size(), afterFirst);
            t->cells(4, 4).setValue(u"DOPO"_s);
            again.commitJournals();
            snapshot(crash.path(), crash2.path());
        }
        SpreadsheetHost third;
        Book* back = third.open(path(crash2), kPassword);
        QCOMPARE(back->recoveredChanges(), 2);
        QCOMPARE(clienti(back)->cells(4, 4).value(), QVariant(u"DOPO"_s));

        // A record altered on disk is not authentic: it and what follows are dropped.
        snapshot(dir.path(), crash3.path());
        QByteArray altered = bytes;
        altered[afterFirst - 40] = char(altered[afterFirst - 40] ^ 1);
        writeFile(journal(crash3), altered);
        SpreadsheetHost fourth;
        QCOMPARE(fourth.open(path(crash3), kPassword)->recoveredChanges(), 0);
    }

    void viewArrangementsAreNoChangeRealOnesAreSaved()
    {
        QTemporaryDir dir;
        SpreadsheetHost h;
        Book* b = h.open(writeWorkbook(dir), kPassword);
        Sheet* s = b->sheet(u"Storico"_s);
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
        QVERIFY(!QFileInfo::exists(journal(dir)));

        // A real change, saved with a folder where the backup goes: the user is told,
        // the file gets it, the shown sheet keeps its hidden state there.
        QVERIFY(QFile::remove(backupPathFor(path(dir))));
        QVERIFY(QDir().mkpath(backupPathFor(path(dir)) + u"/x"_s));
        clienti(b)->cells(1, 5).setValue(1.0);
        b->save();
        QCOMPARE(b->saveWarnings().size(), 1);
        const QString warning = b->saveWarnings()[0];
        QVERIFY2(warning.startsWith(u"Non è stato possibile conservare la copia di sicurezza Pratiche.xls.bak"_s),
                 qPrintable(warning));
        QVERIFY(!b->modified());
        QVERIFY(leftovers(dir.path()).isEmpty());
        QVERIFY(s->visible());
        h.closeAll();
        SpreadsheetHost again;
        QVERIFY(!again.open(path(dir), kPassword)->sheet(u"Storico"_s)->visible());
    }

    void backupSurvivesASaveKilledAtEveryStep()
    {
        const char* steps[] = {"written", "backup linked", "backup renamed", "renamed"};
        for (const char* step : steps) {
            QTemporaryDir dir;
            {
                SpreadsheetHost h; // a first save: the backup exists
                Book* b = h.open(writeWorkbook(dir), kPassword);
                clienti(b)->cells(1, 5).setValue(u"VERSIONE 2"_s);
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
                clienti(b)->cells(1, 5).setValue(u"VERSIONE 3"_s);
                b->save();
                ::_exit(0);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 9, step);

            // One whole backup, and a whole workbook, whatever the step.
            const QString bak = backupPathFor(path(dir));
            QVERIFY2(QFileInfo::exists(bak), step);
            for (const char* lock : {".~lock.Pratiche.xls#", ".~lock.Pratiche.xls#.pid"})
                QFile::remove(QDir(dir.path()).filePath(QString::fromLatin1(lock)));
            // Until the new backup is renamed into place, the previous one stays.
            const bool renamed = qstrcmp(step, "backup renamed") == 0 || qstrcmp(step, "renamed") == 0;
            QCOMPARE(e1Of(bak, dir), QVariant(renamed ? u"VERSIONE 2"_s : QString()));
            // Before the last step the workbook is the old one and temporaries are left.
            if (qstrcmp(step, "renamed") != 0) {
                QCOMPARE(readFile(path(dir)), before);
                QVERIFY2(!QDir(dir.path()).entryList({u".Pratiche.xls*.tmp"_s}, QDir::Files | QDir::Hidden).isEmpty(),
                         step);
            }
            // The next start removes them, and only temporaries of ours: names like
            // them, of another file, are kept.
            QStringList others = {u".Dorvessa.xls.aB3dE9.tmp"_s, u"Pratiche.xls.aB3dE9.tmp"_s,
                                  u".Pratiche.xls.lungo12345.tmp"_s, u"nota.tmp"_s};
            for (const QString& n :
                 others + QStringList{u".Pratiche.xls.aB3dE9.tmp"_s, u".Pratiche.xls.bak.x1Y2z3.tmp"_s})
                QVERIFY(writeFile(QDir(dir.path()).filePath(n), QByteArray()));
            SpreadsheetHost next;
            next.open(path(dir), kPassword);
            QStringList left = leftovers(dir.path());
            left.sort();
            others.sort();
            QCOMPARE(left, others);
        }
    }

    void datedCopiesOnePerDayThirtyKept()
    {
        QTemporaryDir dir;
        QDateTime now(QDate(2026, 10, 31), QTime(9, 0));
        setCopyClock([&now] { return now; });
        writeWorkbook(dir);
        now = QDateTime(QDate(2026, 11, 1), QTime(9, 0));
        SpreadsheetHost h;
        Book* b = h.open(path(dir), kPassword);
        Sheet* s = clienti(b);
        const QDir copies(copiesFolderFor(path(dir)));
        // Two saves on one day: one copy, holding the first.
        s->cells(1, 5).setValue(u"GIORNO 0 MATTINA"_s);
        b->save();
        s->cells(1, 5).setValue(u"GIORNO 0 SERA"_s);
        now = now.addSecs(8 * 3600);
        b->save();
        QCOMPARE(copies.entryList(QDir::Files, QDir::Name),
                 QStringList({u"Pratiche 2026-10-31.xls"_s, u"Pratiche 2026-11-01.xls"_s}));
        QCOMPARE(e1Of(copies.filePath(u"Pratiche 2026-11-01.xls"_s), dir), QVariant(u"GIORNO 0 MATTINA"_s));
        QCOMPARE(readFile(copies.filePath(u"Pratiche 2026-11-01.xls"_s)).left(8),
                 readFile(path(dir)).left(8)); // an encrypted workbook as saved
        // Thirty more days of saves: the oldest ones go, thirty stay.
        for (int day = 1; day <= 30; ++day) {
            now = QDateTime(QDate(2026, 11, 1).addDays(day), QTime(10, 0));
            s->cells(1, 5).setValue(u"GIORNO %1"_s.arg(day));
            b->save();
        }
        const QStringList kept = copies.entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 30);
        QCOMPARE(kept.first(), u"Pratiche 2026-11-02.xls"_s);
        QCOMPARE(kept.last(), u"Pratiche 2026-12-01.xls"_s);
        h.closeAll();

        QCOMPARE(e1Of(copies.filePath(u"Pratiche 2026-11-15.xls"_s), dir), QVariant(u"GIORNO 14"_s));
        const auto offered = savedCopies(path(dir));
        QCOMPARE(int(offered.size()), 31); // thirty copies and the backup
        QCOMPARE(offered.front().when.date(), QDate(2026, 12, 1));
        QVERIFY(offered.back().backup);
        setCopyClock([] { return QDateTime::currentDateTime(); });
    }
};

QTEST_MAIN(TestDurability)
#include "test_durability.moc"
