// Saving a file so that a failure at any point leaves the previous version
// whole: the new content goes to a temporary file in the same folder, is
// flushed to the disk, and only then renamed over the old file; the old file
// stays beside it as the backup copy.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace gp::host {

// The backup copy kept beside a saved file: "Pratiche.xls" -> "Pratiche.xls.bak".
QString backupPathFor(const QString& path);

// Writes `bytes` to `path` and flushes them to the disk; false on any failure.
bool writeFileDurably(const QString& path, const QByteArray& bytes);

using FileWriter = std::function<bool(const QString& tmpPath, const QByteArray& bytes)>;

// Replaces the file at `path` by `bytes` as told above, writing through
// `writer` (writeFileDurably when empty). Throws HostError with an Italian
// message naming `displayName` when the new content cannot be put in place;
// then the old file is untouched and no temporary file is left.
void saveFileAtomically(const QString& path, const QByteArray& bytes, const QString& displayName,
                        const FileWriter& writer = {});

} // namespace gp::host
