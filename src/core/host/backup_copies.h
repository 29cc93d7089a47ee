// Dated copies of the workbooks: the first save of each day also keeps the
// saved file (encrypted, as saved) in the folder "Copie" beside it, as
// "Pratiche 2026-12-06.xls"; the last 30 copies of each workbook are kept.
// With every command on disk at once, the backup beside the file is only one
// save old: these copies are what lets an office go back to yesterday.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

namespace gp::host {

inline constexpr int kKeptDatedCopies = 30;

// The clock the copies are dated by (the program sets its own; default: the system's).
void setCopyClock(std::function<QDateTime()> now);

QString copiesFolderFor(const QString& workbookPath);                 // ".../Copie"
QString datedCopyPath(const QString& workbookPath, const QDate& day); // ".../Copie/Pratiche 2026-12-06.xls"

// After a save of `workbookPath` whose file holds `bytes`: the first save of
// the day writes the dated copy, and copies beyond the last 30 go. Returns an
// Italian warning for the user when the copy could not be written, else "".
QString keepDatedCopy(const QString& workbookPath, const QByteArray& bytes);

// A copy the user can go back to: dated copies, newest first, then the backup.
struct SavedCopy {
    QString path;
    QDateTime when; // the day of a dated copy; the time the backup was written
    bool backup = false;
};
std::vector<SavedCopy> savedCopies(const QString& workbookPath);

// Keeps the workbook's file as it is now as one more dated copy (named with
// the time too when the day's copy exists). The copy's path, "" on failure.
QString keepCurrentAsCopy(const QString& workbookPath);

} // namespace gp::host
