#include "core/host/lock_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>

#include <chrono>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace gp::host {

QString lockFilePath(const QString& documentPath)
{
    QFileInfo fi(documentPath);
    return fi.absolutePath() + QStringLiteral("/.~lock.") + fi.fileName() + QLatin1Char('#');
}

QString processLockPath(const QString& documentPath) { return lockFilePath(documentPath) + QStringLiteral(".pid"); }

namespace {

QString escapeField(const QString& s)
{
    QString out;
    out.reserve(s.size());
    for (QChar ch : s) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char(',') || ch == QLatin1Char(';'))
            out += QLatin1Char('\\');
        out += ch;
    }
    return out;
}

} // namespace

QByteArray formatLockEntry(const LockOwner& owner, const QString& marker)
{
    QString s = escapeField(owner.name) + QLatin1Char(',') + escapeField(owner.login) + QLatin1Char(',')
        + escapeField(owner.host) + QLatin1Char(',') + escapeField(owner.since) + QLatin1Char(',') + escapeField(marker)
        + QLatin1Char(';');
    return s.toUtf8();
}

std::optional<LockOwner> parseLockEntry(const QByteArray& data, QString* marker)
{
    const QString s = QString::fromUtf8(data);
    QStringList fields;
    QString cur;
    bool done = false;
    for (qsizetype i = 0; i < s.size() && !done; ++i) {
        QChar ch = s[i];
        if (ch == QLatin1Char('\\')) {
            if (i + 1 >= s.size())
                return std::nullopt;
            QChar next = s[i + 1];
            if (next != QLatin1Char('\\') && next != QLatin1Char(',') && next != QLatin1Char(';'))
                return std::nullopt;
            cur += next;
            ++i;
        } else if (ch == QLatin1Char(',') && fields.size() < 4) {
            fields << cur;
            cur.clear();
        } else if (ch == QLatin1Char(';') && fields.size() == 4) {
            fields << cur;
            done = true;
        } else {
            cur += ch;
        }
    }
    if (!done || fields.size() != 5)
        return std::nullopt;
    if (marker)
        *marker = fields[4];
    return LockOwner{fields[0], fields[1], fields[2], fields[3]};
}

LockOwner currentLockOwner()
{
    LockOwner me;
#ifdef Q_OS_UNIX
    if (const passwd* pw = getpwuid(getuid())) {
        me.login = QString::fromLocal8Bit(pw->pw_name);
        if (pw->pw_gecos)
            me.name = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
    }
#endif
    if (me.login.isEmpty())
        me.login = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    me.host = QSysInfo::machineHostName();
    me.since = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
    return me;
}

QString shownLockTime(const QString& since)
{
    // The lock file keeps "DD.MM.YYYY HH:MM"; the user reads dates as 06/12/2026.
    const QString text = since.trimmed();
    const QDateTime t = QDateTime::fromString(text, QStringLiteral("dd.MM.yyyy HH:mm"));
    return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm")) : text;
}

QString holderName(const LockOwner& owner)
{
    QString who = owner.name.trimmed().isEmpty() ? owner.login.trimmed() : owner.name.trimmed();
    if (who.isEmpty())
        who = QStringLiteral("un altro utente");
    return who;
}

QString lockedMessage(const QString& fileName, const LockOwner& owner)
{
    const QString who = holderName(owner);
    QString msg = QStringLiteral("La cartella di lavoro %1 è in uso da %2").arg(fileName, who);
    if (!owner.host.trimmed().isEmpty())
        msg += QStringLiteral(" (%1)").arg(owner.host.trimmed());
    if (!owner.since.trimmed().isEmpty())
        msg += QStringLiteral(" dal %1").arg(shownLockTime(owner.since));
    return msg + QLatin1Char('.');
}

namespace {

QByteArray readAll(const QString& path, bool* exists)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *exists = f.exists();
        return {};
    }
    *exists = true;
    return f.read(4096);
}

bool createExclusive(const QString& path, const QByteArray& entry)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (f.write(entry) != entry.size() || !f.flush()) {
        f.close();
        f.remove();
        return false;
    }
    f.close();
    return true;
}

// The time a refusal states: the entry's date, else when the lock file was written.
QDateTime lockTime(const LockOwner& owner, const QString& lockPath)
{
    const QDateTime t = lockEntryTime(owner);
    return t.isValid() ? t : QFileInfo(lockPath).lastModified();
}

[[noreturn]] void inUse(const QString& fileName, const LockOwner& owner, const QString& lockPath)
{
    throw WorkbookInUse(lockedMessage(fileName, owner), owner, lockTime(owner, lockPath));
}

bool isOfficeProgramName(const QByteArray& name) { return name == "soffice.bin" || name == "soffice"; }

} // namespace

QDateTime lockEntryTime(const LockOwner& owner)
{
    return QDateTime::fromString(owner.since.trimmed(), QStringLiteral("dd.MM.yyyy HH:mm"));
}

std::optional<LockOwner> readLockHolder(const QString& documentPath)
{
    bool exists = false;
    const QByteArray data = readAll(lockFilePath(documentPath), &exists);
    return exists ? parseLockEntry(data) : std::nullopt;
}

bool officeProcessRunning(unsigned uid, const QString& procRoot)
{
    const QDir proc(procRoot);
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : entries) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString dir = proc.filePath(pid);
        if (QFileInfo(dir).ownerId() != uid)
            continue;
        QFile comm(dir + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && isOfficeProgramName(comm.readAll().trimmed()))
            return true;
        // The name the program was started with (the short name may be changed or cut).
        QFile cmdline(dir + QStringLiteral("/cmdline"));
        if (cmdline.open(QIODevice::ReadOnly)) {
            const QByteArray argv0 = cmdline.read(4096).split('\0').value(0);
            if (isOfficeProgramName(argv0.mid(argv0.lastIndexOf('/') + 1)))
                return true;
        }
    }
    return false;
}

WorkbookLock::WorkbookLock(const QString& documentPath, bool takeOver)
    : documentPath_(QFileInfo(documentPath).absoluteFilePath()), lockPath_(lockFilePath(documentPath))
{
    const QString fileName = QFileInfo(documentPath_).fileName();
    const LockOwner me = currentLockOwner();

    if (takeOver) {
        // The holder's marks go; a program of ours still running elsewhere
        // keeps working on its own copy (its next save finds the file changed).
        QFile::remove(processLockPath(documentPath_));
        QFile::remove(lockPath_);
    }

    // 1. Our process lock: held by a live instance of this program (in this
    //    process or another) means the workbook is in use. QLockFile removes
    //    it by itself when the process that wrote it is gone; a live holder is
    //    never taken as stale because of its age.
    processLock_ = std::make_unique<QLockFile>(processLockPath(documentPath_));
    processLock_->setStaleLockTime(std::chrono::hours(24 * 365 * 10));
    if (!processLock_->tryLock(0)) {
        bool exists = false;
        const QByteArray data = readAll(lockPath_, &exists);
        std::optional<LockOwner> owner = exists ? parseLockEntry(data) : std::nullopt;
        if (!owner) {
            qint64 pid = 0;
            QString host, app;
            owner = LockOwner{};
            if (processLock_->getLockInfo(&pid, &host, &app))
                owner->host = host;
            owner->name = QStringLiteral("un'altra istanza del programma");
        }
        if (processLock_->error() == QLockFile::PermissionError && !exists)
            throw HostError(
                QStringLiteral("Impossibile bloccare la cartella di lavoro %1: la cartella non è scrivibile.")
                    .arg(fileName));
        inUse(fileName, *owner, lockPath_);
    }

    // 2. The shared entry, created exclusively so that two programs cannot both win.
    entry_ = formatLockEntry(me, QString::fromLatin1(kLockMarker));
    if (!createExclusive(lockPath_, entry_)) {
        bool exists = false;
        const QByteArray data = readAll(lockPath_, &exists);
        if (!exists) {
            processLock_->unlock();
            throw HostError(
                QStringLiteral("Impossibile bloccare la cartella di lavoro %1: la cartella non è scrivibile.")
                    .arg(fileName));
        }
        QString marker;
        std::optional<LockOwner> owner = parseLockEntry(data, &marker);
        const bool mine = owner && owner->login == me.login && owner->host == me.host;
        const bool ours = marker == QString::fromLatin1(kLockMarker);
        // We hold the process lock, so no live instance of ours wrote an entry
        // with our marker; an entry of another office program of ours is left
        // over when no such program of this user runs on this machine.
        const bool stale = mine && (ours || !officeProcessRunning(static_cast<unsigned>(::getuid())));
        if (!stale || !QFile::remove(lockPath_) || !createExclusive(lockPath_, entry_)) {
            processLock_->unlock();
            if (!owner)
                throw WorkbookInUse(
                    QStringLiteral("La cartella di lavoro %1 è in uso da un altro utente.").arg(fileName), LockOwner{},
                    QFileInfo(lockPath_).lastModified());
            inUse(fileName, *owner, lockPath_);
        }
    }
    held_ = true;
}

WorkbookLock::~WorkbookLock() { release(); }

void WorkbookLock::release()
{
    if (!held_)
        return;
    held_ = false;
    // Remove the entry only while it is still ours: someone may have replaced it.
    bool exists = false;
    if (readAll(lockPath_, &exists) == entry_ && exists)
        QFile::remove(lockPath_);
    processLock_->unlock();
}

} // namespace gp::host
