#include "core/host/file_identity.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gp::host {

FileIdentity FileIdentity::of(const QString& path, const QByteArray& bytes)
{
    FileIdentity id;
    id.exists = true;
    id.size = bytes.size();
    id.modified = QFileInfo(path).lastModified();
    id.digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return id;
}

FileIdentity FileIdentity::current(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return {};
    return of(path, bytes);
}

bool fileUnchangedSince(const QString& path, const FileIdentity& known)
{
    const QFileInfo now(path);
    if (!now.exists())
        return true; // nothing there to overwrite
    if (!known.exists || now.size() != known.size)
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f) || f.error() != QFileDevice::NoError)
        return false;
    return hash.result() == known.digest;
}

QString conflictCopyPath(const QString& path, const QDateTime& when)
{
    const QFileInfo fi(path);
    const QString suffix = fi.suffix().isEmpty() ? QString() : QLatin1Char('.') + fi.suffix();
    const QString stem = fi.completeBaseName() + QStringLiteral(" (copia in conflitto ")
        + when.toString(QStringLiteral("yyyy-MM-dd HH.mm")) + QLatin1Char(')');
    const QDir folder = fi.absoluteDir();
    QString candidate = folder.filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder.filePath(stem + QStringLiteral(" %1").arg(n) + suffix);
    return candidate;
}

} // namespace gp::host
