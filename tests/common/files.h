// Files and host errors as the host tests look at them.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace gptest {

// The whole file; empty when it cannot be read.
QByteArray readFile(const QString& path);
// Writes the file whole; fails the running test (and returns false) when it cannot.
bool writeFile(const QString& path, const QByteArray& bytes);
// A text as a workbook may hold it: 8-bit (compressed), UTF-8 or UTF-16LE.
bool containsText(const QByteArray& bytes, const QString& text);
// The message of the host error `f` throws; empty when it throws none.
QString errorOf(const std::function<void()>& f);
// The temporary files (*.tmp, hidden ones too) left in a folder.
QStringList leftovers(const QString& dir);

} // namespace gptest
