// What a workbook file was when this program last read or wrote it, so that a
// save never writes over a version someone else put there in the meantime (a
// spreadsheet on another PC, a copy restored from a backup, a sync client).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace gp::host {

struct FileIdentity {
    bool exists = false; // false: there was no file (a workbook not saved yet)
    qint64 size = 0;
    QDateTime modified; // as the file system told it
    QByteArray digest;  // SHA-256 of the bytes

    // The file at `path` that holds `bytes`, just read or written.
    static FileIdentity of(const QString& path, const QByteArray& bytes);
    // Whatever is at `path` now (exists == false when there is no readable file).
    static FileIdentity current(const QString& path);
};

// True when writing `path` overwrites nothing but what `known` describes: the
// file holds the same bytes (size and digest; a new modification time with
// the same bytes is no change), or there is no file at all. A file that
// cannot be read counts as changed.
bool fileUnchangedSince(const QString& path, const FileIdentity& known);

// "Pratiche.xls" at 06/12/2026 09:15 -> "Pratiche (copia in conflitto 2026-12-06 09.15).xls"
// beside it; " 2", " 3"... are added before ".xls" when that name is taken.
QString conflictCopyPath(const QString& path, const QDateTime& when);

} // namespace gp::host
