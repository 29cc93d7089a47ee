#include "core/host/file_identity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <nettle/sha2.h>

namespace gp::host {

namespace {

// SHA-256 through nettle, which uses the processor's SHA instructions where
// there are some: the digest is taken at every open and before every save.
class Sha256 {
public:
    Sha256() { sha256_init(&ctx_); }
    void add(const char* data, qsizetype size)
    {
        sha256_update(&ctx_, static_cast<size_t>(size), reinterpret_cast<const uint8_t*>(data));
    }
    QByteArray result()
    {
        QByteArray out(SHA256_DIGEST_SIZE, Qt::Uninitialized);
        sha256_digest(&ctx_, SHA256_DIGEST_SIZE, reinterpret_cast<uint8_t*>(out.data()));
        return out;
    }

private:
    sha256_ctx ctx_;
};

} // namespace

FileIdentity FileIdentity::of(const QString& path, const QByteArray& bytes)
{
    FileIdentity id;
    id.exists = true;
    id.size = bytes.size();
    id.modified = QFileInfo(path).lastModified();
    Sha256 hash;
    hash.add(bytes.constData(), bytes.size());
    id.digest = hash.result();
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
    Sha256 hash;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qint64 n = f.read(chunk.data(), chunk.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
        hash.add(chunk.constData(), n);
        total += n;
    }
    return total == known.size && hash.result() == known.digest;
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
