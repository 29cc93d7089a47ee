#include "core/host/atomic_save.h"

#include <sys/stat.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>

#include "core/host/spreadsheet_host.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace gp::host {

QString backupPathFor(const QString& path)
{
    return path + QStringLiteral(".bak");
}

bool writeFileDurably(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (f.write(bytes) != bytes.size() || !f.flush())
        return false;
#ifdef Q_OS_UNIX
    if (::fsync(f.handle()) != 0)
        return false;
#endif
    f.close();
    return f.error() == QFileDevice::NoError;
}

namespace {

void syncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// The previous version becomes the backup: a second name for the same file
// when the file system allows it (no space needed), else a copy.
void keepBackup(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    const QString bak = backupPathFor(path);
    QFile::remove(bak);
#ifdef Q_OS_UNIX
    if (::link(QFile::encodeName(path).constData(), QFile::encodeName(bak).constData()) == 0)
        return;
#endif
    if (!QFile::copy(path, bak)) {
        QFile::remove(bak);
        qWarning() << "Impossibile conservare la copia di sicurezza" << bak;
    }
}

[[noreturn]] void fail(const QString& displayName, const QString& why)
{
    throw HostError(QStringLiteral("Impossibile salvare la cartella di lavoro %1: %2. "
                                   "Il file precedente non è stato modificato.")
                        .arg(displayName, why));
}

} // namespace

void saveFileAtomically(const QString& path, const QByteArray& bytes, const QString& displayName,
                        const FileWriter& writer)
{
    const QFileInfo target(path);
    const QString folder = target.absolutePath();

    // Reserve a unique name in the same folder (a rename across folders is not atomic).
    QString tmpPath;
    {
        QTemporaryFile tmp(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX.tmp"));
        tmp.setAutoRemove(false);
        if (!tmp.open())
            fail(displayName, QStringLiteral("la cartella non è scrivibile"));
        tmpPath = tmp.fileName();
        tmp.close();
    }
    if (target.exists()) {
        QFile::setPermissions(tmpPath, QFile::permissions(path));
    } else {
        // A new file gets the permissions any program of the user would give it
        // (a temporary file is private to its owner).
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(tmpPath).constData(), 0666 & ~mask);
    }

    bool written = false;
    try {
        written = writer ? writer(tmpPath, bytes) : writeFileDurably(tmpPath, bytes);
        if (written && QFileInfo(tmpPath).size() != bytes.size())
            written = false;
    } catch (...) {
        written = false;
    }
    if (!written) {
        QFile::remove(tmpPath);
        fail(displayName, QStringLiteral("disco pieno o non scrivibile"));
    }

    keepBackup(path);

    if (std::rename(QFile::encodeName(tmpPath).constData(), QFile::encodeName(target.absoluteFilePath()).constData())
        != 0) {
        QFile::remove(tmpPath);
        fail(displayName, QStringLiteral("il file non può essere sostituito"));
    }
    syncFolder(folder);
}

} // namespace gp::host
