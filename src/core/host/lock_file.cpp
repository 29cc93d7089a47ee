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

QString processLockPath(const QString& documentPath)
{
    return lockFilePath(documentPath) + QStringLiteral(".pid");
}

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
        + escapeField(owner.host) + QLatin1Char(',') + escapeField(owner.since) + QLatin1Char(',')
        + escapeField(marker) + QLatin1Char(';');
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

QString lockedMessage(const QString& fileName, const LockOwner& owner)
{
    QString who = owner.name.trimmed().isEmpty() ? owner.login.trimmed() : owner.name.trimmed();
    if (who.isEmpty())
        who = QStringLiteral("un altro utente");
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

} // namespace

WorkbookLock::WorkbookLock(const QString& documentPath)
    : documentPath_(QFileInfo(documentPath).absoluteFilePath()), lockPath_(lockFilePath(documentPath))
{
    const QString fileName = QFileInfo(documentPath_).fileName();
    const LockOwner me = currentLockOwner();

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
            throw HostError(QStringLiteral("Impossibile bloccare la cartella di lavoro %1: la cartella non è scrivibile.")
                                .arg(fileName));
        throw HostError(lockedMessage(fileName, *owner));
    }

    // 2. The shared entry, created exclusively so that two programs cannot both win.
    entry_ = formatLockEntry(me, QString::fromLatin1(kLockMarker));
    if (!createExclusive(lockPath_, entry_)) {
        bool exists = false;
        const QByteArray data = readAll(lockPath_, &exists);
        if (!exists) {
            processLock_->unlock();
            throw HostError(QStringLiteral("Impossibile bloccare la cartella di lavoro %1: la cartella non è scrivibile.")
                                .arg(fileName));
        }
        QString marker;
        std::optional<LockOwner> owner = parseLockEntry(data, &marker);
        const bool staleOwn = owner && owner->login == me.login && owner->host == me.host
            && marker == QString::fromLatin1(kLockMarker);
        // We hold the process lock, so no live instance of ours wrote that entry.
        if (!staleOwn || !QFile::remove(lockPath_) || !createExclusive(lockPath_, entry_)) {
            processLock_->unlock();
            if (!owner)
                throw HostError(QStringLiteral("La cartella di lavoro %1 è in uso da un altro utente.").arg(fileName));
            throw HostError(lockedMessage(fileName, *owner));
        }
    }
    held_ = true;
}

WorkbookLock::~WorkbookLock()
{
    release();
}

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
