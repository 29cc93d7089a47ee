#include "core/host/atomic_save.h"

#include <sys/stat.h>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>

#include "core/host/spreadsheet_host.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace gp::host {

QString backupPathFor(const QString& path) { return path + QStringLiteral(".bak"); }

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

std::function<void(const char*)>& stepHook()
{
    static std::function<void(const char*)> hook;
    return hook;
}

void step(const char* name)
{
    if (stepHook())
        stepHook()(name);
}

// A unique free name in `folder` of the form ".BASE.XXXXXX.tmp".
QString reserveTemporary(const QString& folder, const QString& base)
{
    QTemporaryFile tmp(folder + QStringLiteral("/.") + base + QStringLiteral(".XXXXXX.tmp"));
    tmp.setAutoRemove(false);
    if (!tmp.open())
        return {};
    const QString name = tmp.fileName();
    tmp.close();
    return name;
}

// The previous version becomes the backup: a second name for the same file
// when the file system allows it (no space needed), else a copy; made under a
// temporary name and renamed over the old backup, which stays whole until then.
bool keepBackup(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    const QFileInfo fi(path);
    const QString bak = backupPathFor(path);
    const QString tmp = reserveTemporary(fi.absolutePath(), QFileInfo(bak).fileName());
    if (tmp.isEmpty())
        return false;
    bool made = false;
#ifdef Q_OS_UNIX
    QFile::remove(tmp); // link() wants a free name
    made = ::link(QFile::encodeName(path).constData(), QFile::encodeName(tmp).constData()) == 0;
#endif
    if (!made) {
        QFile in(path);
        made = in.open(QIODevice::ReadOnly);
        if (made) {
            const QByteArray content = in.readAll();
            made = in.error() == QFileDevice::NoError && writeFileDurably(tmp, content);
        }
    }
    step("backup linked");
    if (!made || std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(bak).constData()) != 0) {
        QFile::remove(tmp);
        qWarning() << "Impossibile conservare la copia di sicurezza" << bak;
        return false;
    }
    step("backup renamed");
    return true;
}

[[noreturn]] void fail(const QString& displayName, const QString& why)
{
    throw HostError(QStringLiteral("Impossibile salvare la cartella di lavoro %1: %2. "
                                   "Il file precedente non è stato modificato.")
                        .arg(displayName, why));
}

} // namespace

void setSaveStepHook(std::function<void(const char* step)> hook) { stepHook() = std::move(hook); }

void saveFileAtomically(const QString& path, const QByteArray& bytes, const QString& displayName,
                        const FileWriter& writer, QString* backupWarning)
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

    step("written");
    if (!keepBackup(path) && backupWarning)
        *backupWarning = QStringLiteral("Non è stato possibile conservare la copia di sicurezza %1 "
                                        "(disco pieno o non scrivibile): la cartella di lavoro %2 è stata salvata "
                                        "senza copia della versione precedente.")
                             .arg(QFileInfo(backupPathFor(path)).fileName(), displayName);

    if (std::rename(QFile::encodeName(tmpPath).constData(), QFile::encodeName(target.absoluteFilePath()).constData())
        != 0) {
        QFile::remove(tmpPath);
        fail(displayName, QStringLiteral("il file non può essere sostituito"));
    }
    step("renamed");
    syncFolder(folder);
}

bool replaceFileDurably(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const QString tmp = reserveTemporary(target.absolutePath(), target.fileName());
    if (tmp.isEmpty())
        return false;
    if (target.exists())
        QFile::setPermissions(tmp, QFile::permissions(path));
    else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(tmp).constData(), 0666 & ~mask);
    }
    if (!writeFileDurably(tmp, bytes)
        || std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(target.absoluteFilePath()).constData())
            != 0) {
        QFile::remove(tmp);
        return false;
    }
    syncFolder(target.absolutePath());
    return true;
}

int removeLeftoverTemporaries(const QString& path)
{
    const QFileInfo fi(path);
    const QRegularExpression ours(
        QStringLiteral("^\\.%1(\\.bak)?\\.[A-Za-z0-9]{6}\\.tmp$").arg(QRegularExpression::escape(fi.fileName())));
    QDir folder(fi.absolutePath());
    int removed = 0;
    const QStringList names = folder.entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names)
        if (ours.match(name).hasMatch() && folder.remove(name))
            ++removed;
    return removed;
}

} // namespace gp::host
