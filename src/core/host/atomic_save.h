// Saving a file so that a failure at any point leaves the previous version
// whole: the new content goes to a temporary file in the same folder, is
// flushed to the disk, and only then renamed over the old file; the old file
// stays beside it as the backup copy. The backup too is made under a temporary
// name and renamed over the previous one, so that one whole backup exists at
// every instant.
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
// then the old file is untouched and no temporary file is left. When the file
// is saved but no backup copy could be made, `backupWarning` (if given)
// receives an Italian message for the user.
void saveFileAtomically(const QString& path, const QByteArray& bytes, const QString& displayName,
                        const FileWriter& writer = {}, QString* backupWarning = nullptr);

// Replaces the file at `path` by `bytes` (temporary file, flushed, renamed,
// folder flushed), without a backup copy; false on failure, `path` untouched.
bool replaceFileDurably(const QString& path, const QByteArray& bytes);

// Removes the temporary files an interrupted save of `path` left in its folder
// (".NAME.XXXXXX.tmp", ".NAME.bak.XXXXXX.tmp"): only those names, only there.
// Returns how many went.
int removeLeftoverTemporaries(const QString& path);

// Test seam: called with the name of each step of a save ("written", "backup
// linked", "backup renamed", "renamed") right after that step.
void setSaveStepHook(std::function<void(const char* step)> hook);

} // namespace gp::host
