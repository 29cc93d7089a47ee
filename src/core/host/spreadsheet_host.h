// SpreadsheetHost: the one facade through which the forms read and write the
// workbooks. Its vocabulary is the spreadsheet's own: workbooks by file name,
// sheets by name, ranges by A1 reference, Value / Text, Offset, End, whole-row
// delete and copy, clear, sort, page setup and printing.
//
// Rows and columns are counted from 1 here, as in A1 references.
// Every failure throws HostError, whose message is Italian and ready to show.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/host/change_log.h"
#include "core/sheet/workbook.h"

namespace gp::xls {
struct XlsDocument;
}

namespace gp::host {

class HostError : public std::runtime_error {
public:
    explicit HostError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// The user chose not to go on (for instance "Annulla" when a workbook is in
// use): the operation ends without a further message.
class OperationCancelled : public HostError {
public:
    OperationCancelled() : HostError(QString()) {}
};

// Directions of End, with the spreadsheet's own constants.
enum class Direction { Down = -4121, Up = -4162, ToLeft = -4159, ToRight = -4161 };

enum class SortHeader { Guess, Yes, No };

class Sheet;
class Book;
class SpreadsheetHost;
struct LockOwner;
class Journal;

// A block of cells of one sheet. A cheap value; it stays valid while its workbook is open.
class Range {
public:
    Range() = default;
    Range(Sheet* sheet, int firstRow, int firstCol, int lastRow, int lastCol);

    Sheet* sheet() const { return sheet_; }
    int row() const { return r1_; }    // first row
    int column() const { return c1_; } // first column
    int lastRow() const { return r2_; }
    int lastColumn() const { return c2_; }
    int rowCount() const { return r2_ - r1_ + 1; }
    int columnCount() const { return c2_ - c1_ + 1; }
    QString address() const; // "$A$2" or "$A$2:$M$2"

    // Value of the first cell: empty -> empty QString; number -> double (also
    // a date: read it with date() or text()); text -> QString; boolean -> bool;
    // error -> QString ("#N/A").
    QVariant value() const;
    // Writes to every cell of the block. QString stays exactly that text (no
    // conversion to a number or date); int/double -> number; bool -> boolean;
    // QDate / QDateTime -> a date value shown "dd/mm/yyyy" (or with the time);
    // an invalid QVariant or an empty QString empties the cell.
    void setValue(const QVariant& v);
    QString text() const;                 // what the first cell displays (Italian)
    bool isEmpty() const;                 // first cell empty
    std::optional<double> number() const; // see toIdentifier()
    // The first cell as a date: a number (a date serial of the workbook), or a
    // text that parseDate() reads ("12/10/08", "12-10-2008"), dots allowed too
    // ("12.10.2008"); an invalid QDate otherwise.
    QDate date() const;

    Range offset(int rows, int cols) const;
    Range cells(int row, int col) const; // relative: cells(1,1) is the first cell
    Range end(Direction d) const;        // from the first cell
    Range entireRow() const;
    Range resize(int rows, int cols) const;

    void deleteEntireRow(); // the block's rows go; rows below move up
    void insertEntireRow(); // blank rows here; rows move down
    void deleteShiftUp();   // the block's cells go; cells below in its columns move up
    void clearContents();   // values only
    void clear();           // values and formats
    // Sort the block's rows by one column of the sheet (absolute column number).
    void sort(int keyColumn, bool ascending = true, SortHeader header = SortHeader::Guess);
    void setNumberFormat(const QString& format);
    void setFontSize(double points); // display only
    void autoFitColumns();

    bool operator==(const Range&) const = default;

private:
    Sheet* sheet_ = nullptr;
    int r1_ = 1, c1_ = 1, r2_ = 1, c2_ = 1;
};

struct PrintRequest {
    int from = 0, to = 0; // pages, 1-based; 0 = all
    int copies = 1;
    QString printer; // empty = the current printer
};

// Printing is done by a backend that a later layer provides; without one the
// host only records the calls (for tests and for programs without printing).
class PrintBackend {
public:
    virtual ~PrintBackend() = default;
    virtual int pageBreaks(const Sheet& sheet) = 0;                       // HPageBreaks.Count
    virtual void printOut(const Sheet& sheet, const PrintRequest& r) = 0; // throws HostError
};

// The values of some rows of a sheet, copied at once, whose displayed texts
// are made only when asked: a long list shows a few rows at a time. The
// copy holds everything it needs (texts, number formats), so later changes
// of the sheet or the workbook never reach it.
class CellBlock {
public:
    CellBlock() = default;
    CellBlock(const Sheet& sheet, const std::vector<int>& rows, int firstCol, int lastCol);
    int rowCount() const { return columns_ ? int(cells_.size() / size_t(columns_)) : 0; }
    int columnCount() const { return columns_; }
    // The text of column `col` (0-based from firstCol) of row `row` (0-based,
    // in the order given), as Range::text() gave it when the block was made.
    QString text(int row, int col) const;

private:
    struct Entry {
        double number = 0;
        uint32_t text = 0;   // index into texts_
        uint16_t format = 0; // index into formats_
        sheet::CellType type{};
        uint8_t small = 0;
    };
    int columns_ = 0;
    bool date1904_ = false;
    std::vector<Entry> cells_;
    std::vector<std::string> texts_;
    std::vector<std::string> formats_;
};

class Sheet {
public:
    Sheet(Book* book, sheet::Worksheet* model);

    Book* book() const { return book_; }
    QString name() const;

    bool visible() const;
    void setVisible(bool visible); // Visible = True / False (hidden)
    // The program shows the sheet for its own work: visible from now on, while
    // the file keeps the visibility it had there (the workbook is not changed).
    void showForWork();

    Range range(const QString& a1); // "B2", "A2:M2", "2:2", "A:A"; HostError when not valid
    Range cells(int row, int col);
    Range rows(int firstRow, int lastRow);
    Range allCells();

    // One cell read by row and column (from 1, as cells() counts), without a
    // Range: what the loops over thousands of rows use. Each gives what the
    // Range of that cell gives (the Range reads through them). A cell past the
    // stored ones is empty; a row or column outside the sheet is HostError.
    QVariant value(int row, int col) const;                   // as Range::value()
    std::optional<double> identifier(int row, int col) const; // toIdentifier() of the value
    QString text(int row, int col) const;                     // as Range::text(): what the cell displays (Italian)
    bool isEmpty(int row, int col) const;
    // A date value: a number shown through a date format.
    bool isDate(int row, int col) const;
    QDate date(int row, int col) const; // as Range::date()
    // A date value with its time of day; invalid when the cell holds none.
    QDateTime dateTime(int row, int col) const;
    // The last row of `col` that holds a value; 0 when the column is empty.
    int lastRowInColumn(int col) const;

    // The recurring walk: from `start` down to where End(Down) goes, stopping at
    // the first empty cell. Returns the rows of the non-empty cells, in order.
    std::vector<int> walkDown(const QString& startA1);
    std::vector<int> walkDown(int startRow, int column) const;

    // First row (from startRow down, up to the first empty cell of `column`) whose
    // value in `column` equals `id` as a number; 0 when none.
    int findIdentifier(int column, double id, int startRow = 2);
    // The same walk to the first empty cell, where the lowest matching row wins.
    int findLastIdentifier(int column, double id, int startRow = 2);

    // Where a new record of a table goes: the first row after the unbroken run
    // of `keyColumn` that starts at `startRow`, the row every list of the
    // program reaches. That row must be empty from column A to `lastColumn`:
    // otherwise HostError says which row of which sheet is broken, and nothing
    // may be written. HostError also when the sheet has no row left.
    int nextRecordRow(int keyColumn, int lastColumn, int startRow = 2);

    // Copies a whole row (values, formats) of any open sheet over row `toRow` of this one.
    void pasteRow(const Sheet& from, int fromRow, int toRow);
    // Copies the values of `count` cells of row `fromRow` of `from` (another
    // sheet of the same workbook), from column `fromCol`, into row `row` of
    // this one from column `col`: each as setValue() would write it (this
    // sheet's formats kept, a formula as its last result), without going
    // through texts. The bulk copy of the result sheets.
    void copyValues(const Sheet& from, int fromRow, int fromCol, int row, int col, int count);
    // The displayed texts (Text) of cells `firstCol`..`lastCol` of `row`.
    QStringList rowTexts(int row, int firstCol, int lastCol) const;

    void freezePanes(int rows, int cols);  // keep `rows` rows / `cols` columns in view
    void setScrollArea(const QString& a1); // kept in memory only
    QString scrollArea() const;

    sheet::PageSetup& pageSetup();        // changes mark the workbook modified via touch()
    void setPrintArea(const QString& a1); // PrintArea; empty = none (HostError when not valid)
    void touch();                         // marks the workbook modified
    int hPageBreaksCount();               // through the print backend
    void printOut(const PrintRequest& request = {});

private:
    friend class Range;
    friend class Book;
    friend class CellBlock;
    friend class ModelAccess; // core/host/model_access.h
    sheet::Worksheet& model() const { return *model_; }
    const sheet::Cell& cellAt(int row, int col) const; // HostError outside the sheet
    int identifierRow(int column, double id, int startRow, bool last) const;
    // A change made: recorded for the journal, and the workbook marked modified.
    void changed(changes::Op op, int r1, int c1, int r2, int c2, const QVariantList& args = {});
    Book* book_;
    sheet::Worksheet* model_;
    bool pageSetupHandedOut_ = false;
    std::optional<sheet::Visibility> fileVisibility_; // set by showForWork()
};

class Book {
public:
    ~Book();
    QString fileName() const; // "Pratiche.xls"
    QString path() const;     // full path
    SpreadsheetHost* host() const { return host_; }

    Sheet* sheet(const QString& name); // HostError when the sheet is missing
    Sheet* sheetOrNull(const QString& name);
    QStringList sheetNames() const;
    Sheet* addSheet(const QString& name);

    bool modified() const;
    void save();  // atomic, encrypted as it was opened; HostError on failure
    void close(); // without saving; releases the lock; the Book is gone after it

    // Consultation of a workbook someone else holds: every change of its data
    // is refused with HostError "Pratiche.xls è aperta in sola lettura:
    // nessuna modifica è possibile." before anything changes; save() writes
    // nothing; closing leaves the holder's lock alone. Display settings
    // (visibility, panes, widths, page setup) still change in memory.
    bool readOnly() const;
    const LockOwner* holder() const; // who holds it; nullptr unless read-only
    // Throws the refusal above when read-only. With `sheet`, a work sheet of
    // the workbook or a change inside ScratchChanges is allowed.
    void ensureWritable(const Sheet* sheet = nullptr) const;
    // Sheets that hold the program's own scratch work (query results): they
    // may change in memory even when the workbook is read-only.
    void setWorkSheets(const QStringList& names);

    // Where saves go: the workbook's own file, or its conflict copy from the
    // first save that found the file changed by someone else since this
    // program read or last wrote it (that file is never overwritten).
    QString savePath() const;
    // After a save that started a conflict copy: the message that names both
    // files (empty otherwise); taking it clears it.
    QString takeConflictNotice();

    // Durability between saves: every change is recorded, and commitJournal()
    // puts the records not yet on disk in the encrypted journal beside the
    // file (core/host/journal.h). HostError when the disk refuses them.
    void commitJournal();
    // Changes found in the journal of a session that ended without saving and
    // replayed when the workbook was opened (0: none).
    int recoveredChanges() const { return recovered_; }
    // What the last save() could not do besides saving (backup copy, dated copy), in Italian.
    const QStringList& saveWarnings() const { return saveWarnings_; }

    // While alive, the program arranges the workbook for showing it (column
    // widths, frozen panes): no change of the workbook, nothing to save.
    class ViewOnly {
    public:
        explicit ViewOnly(Book* book);
        ~ViewOnly();
        ViewOnly(const ViewOnly&) = delete;
        ViewOnly& operator=(const ViewOnly&) = delete;

    private:
        Book* book_;
        bool wasModified_;
    };

private:
    friend class SpreadsheetHost;
    friend class Sheet;
    friend class Range;
    friend class CellBlock;
    friend class ScratchChanges;
    friend class ModelAccess; // core/host/model_access.h
    sheet::Workbook& model() const;
    Book(SpreadsheetHost* host, QString path, std::unique_ptr<xls::XlsDocument> doc);
    QString saveTarget();                        // checks the file before any write
    bool isWorkSheet(const QString& name) const; // one of setWorkSheets()
    void record(const QByteArray& change);
    void startJournal(const QByteArray& fileDigest);
    SpreadsheetHost* host_;
    QString path_;
    std::unique_ptr<xls::XlsDocument> doc_;
    std::vector<std::unique_ptr<Sheet>> sheets_;
    struct Lock;
    std::unique_ptr<Lock> lock_;
    std::unique_ptr<Journal> journal_;
    int recovered_ = 0;
    bool replaying_ = false;
    int viewOnly_ = 0;
    QStringList saveWarnings_;
    struct Sharing;
    std::unique_ptr<Sharing> sharing_;
};

// While one lives, cells of `book` may change in memory even when it is
// read-only: preparing a sheet for display, the work cells of a print.
class ScratchChanges {
public:
    explicit ScratchChanges(Book* book);
    ~ScratchChanges();
    ScratchChanges(const ScratchChanges&) = delete;
    ScratchChanges& operator=(const ScratchChanges&) = delete;

private:
    Book* book_;
};

// Who holds a workbook's lock (as written in the lock file).
struct LockOwner {
    QString name, login, host, since;
};

class SpreadsheetHost : public QObject {
    Q_OBJECT
public:
    explicit SpreadsheetHost(QObject* parent = nullptr);
    ~SpreadsheetHost() override;

    // Opens the workbook with its password and locks it; it becomes the active
    // workbook. An already open workbook (same path) is returned as it is.
    // Held by someone else: WorkbookInUse (core/host/lock_file.h) with Normal;
    // ReadOnly opens it without the lock for consultation; TakeOverLock
    // removes the holder's lock and takes it.
    enum class OpenMode { Normal, ReadOnly, TakeOverLock };
    Book* open(const QString& path, const QString& password, OpenMode mode = OpenMode::Normal);
    // Creates a new workbook in memory, saved to `path` (with `password`, may be empty) on save().
    // It is locked like an opened one; HostError when that path is already open.
    Book* create(const QString& path, const QString& password);

    Book* workbook(const QString& fileName) const; // by file name, nullptr when not open
    Book* activeWorkbook() const { return active_; }
    void setActiveWorkbook(Book* book) { active_ = book; }
    std::vector<Book*> workbooks() const;

    void saveModified(); // saves every open workbook with changes (all are tried; HostError lists the failures)
    // Puts the recorded changes of every open workbook on disk (Book::commitJournal);
    // all are tried; HostError lists the failures.
    void commitJournals();
    // commitJournals() of every host of the process; the messages of the failures.
    // Called before any message is shown, so that what it confirms is on disk.
    static QStringList commitAllJournals();
    void close(Book* book); // closes without saving
    void closeAll();

    void setPrintBackend(std::shared_ptr<PrintBackend> backend) { printBackend_ = std::move(backend); }
    PrintBackend* printBackend() const { return printBackend_.get(); }
    // Calls recorded when no backend is set.
    struct RecordedPrint {
        QString sheet;
        PrintRequest request;
    };
    std::vector<RecordedPrint> recordedPrints;

    // Test seam: every save writes through this sink when set; it may throw or
    // stop after N bytes to simulate a full disk.
    using WriteSink = std::function<bool(const QString& tmpPath, const QByteArray& bytes)>;
    void setWriteSink(WriteSink sink) { writeSink_ = std::move(sink); }
    const WriteSink& writeSink() const { return writeSink_; }

    // The time that names conflict copies (the program's clock; the system's by default).
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    QDateTime now() const { return now_ ? now_() : QDateTime::currentDateTime(); }
signals:
    // A commit made after a command without a message failed (the Italian message).
    void journalFailed(const QString& message);

private:
    friend class Book;
    void scheduleCommit();
    bool commitQueued_ = false;
    std::vector<std::unique_ptr<Book>> books_;
    Book* active_ = nullptr;
    std::shared_ptr<PrintBackend> printBackend_;
    WriteSink writeSink_;
    std::function<QDateTime()> now_;
};

// Identifier rule: a client or case number read from a cell or a box. A number
// is itself; a text is read as a number when, trimmed, it is one ("012", " 12 ",
// "12,0" in Italian); otherwise nullopt.
std::optional<double> toIdentifier(const QVariant& v);
std::optional<double> toIdentifier(const QString& text);
bool sameIdentifier(const QVariant& cellValue, double id);

// A date as the user types it, or as a sheet holds it as text: day, month and
// year separated by "/" or "-" ("12/10/08", "5-3-2009"), or six or eight
// digits ("121008", "12102008"); blanks around it are ignored. Two-digit years
// 00-29 are 2000-2029, the others 1930-1999. An invalid QDate when it is not one.
QDate parseDate(const QString& text);

// Parses an A1 reference ("B2", "$B$2", "A2:M2", "2:2", "A:A") into a 1-based
// block; false when not valid.
bool parseA1(const QString& ref, int& r1, int& c1, int& r2, int& c2);
QString columnLetters(int col); // 1 -> "A", 27 -> "AA"

} // namespace gp::host
