#include "files.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include "core/host/spreadsheet_host.h"

namespace gptest {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    const bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    if (!ok)
        QTest::qFail(qPrintable(QStringLiteral("cannot write %1").arg(path)), __FILE__, __LINE__);
    return ok;
}

bool containsText(const QByteArray& bytes, const QString& text)
{
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes.contains(text.toLatin1()) || bytes.contains(text.toUtf8()) || bytes.contains(utf16);
}

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const gp::host::HostError& e) {
        return e.message();
    }
    return {};
}

QStringList leftovers(const QString& dir)
{
    return QDir(dir).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden);
}

} // namespace gptest
