// The "in use" mark of an open workbook.
//
// Two files beside the workbook:
//  - ".~lock.NAME#": the entry other office programs read and write
//    ("name,login,host,DD.MM.YYYY HH:MM,url;"), so that a person opening the
//    workbook elsewhere is told who holds it;
//  - ".~lock.NAME#.pid": a process lock of our own (QLockFile) that tells a
//    live instance of this program from an entry left behind by a crash, which
//    the five fields alone cannot do for the same user on the same machine.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

#include "core/host/spreadsheet_host.h"

class QLockFile;

namespace gp::host {

// What we write in field 5 of our entries, to know them again after a crash.
inline constexpr const char* kLockMarker = "gestione-pratiche";

QString lockFilePath(const QString& documentPath);    // ".../.~lock.Pratiche.xls#"
QString processLockPath(const QString& documentPath); // ".../.~lock.Pratiche.xls#.pid"

// One entry: fields escaped ("\" before "\", "," and ";"), no newline.
QByteArray formatLockEntry(const LockOwner& owner, const QString& marker);
// Parses an entry; nullopt when it is not one (fewer than five fields, a stray "\").
// `marker` receives field 5.
std::optional<LockOwner> parseLockEntry(const QByteArray& data, QString* marker = nullptr);

// The user running this program: full name when the system knows it, login,
// host name, and the current local time as "DD.MM.YYYY HH:MM".
LockOwner currentLockOwner();

// The time of a lock entry as the user reads it: "06.12.2025 10:15" -> "06/12/2025 10:15";
// a text in another form is shown as it is.
QString shownLockTime(const QString& since);
// "La cartella di lavoro Pratiche.xls è in uso da Mario Rossi (STUDIO-PC) dal 06/12/2025 10:15."
QString lockedMessage(const QString& fileName, const LockOwner& owner);
// The holder as the messages name it: full name, else login, else "un altro utente".
QString holderName(const LockOwner& owner);

// The workbook is held by someone else. The message is lockedMessage(); the
// caller may offer to consult it read-only or to take the lock over.
class WorkbookInUse : public HostError {
public:
    WorkbookInUse(const QString& message, const LockOwner& owner, const QDateTime& since)
        : HostError(message), owner_(owner), since_(since)
    {}
    const LockOwner& owner() const { return owner_; }
    // When the lock was taken: the entry's own date, else the lock file's time.
    const QDateTime& since() const { return since_; }

private:
    LockOwner owner_;
    QDateTime since_;
};

// The entry's date ("06.12.2026 09:15") as a time; invalid when it does not read.
QDateTime lockEntryTime(const LockOwner& owner);

// Who holds the lock of `documentPath` now; nullopt when there is no readable entry.
std::optional<LockOwner> readLockHolder(const QString& documentPath);

// True when a process of the user `uid` named "soffice.bin" or "soffice" runs
// on this machine (looked up in `procRoot`, normally /proc).
bool officeProcessRunning(unsigned uid, const QString& procRoot = QStringLiteral("/proc"));

// The lock of one workbook, held from construction to release() or destruction.
class WorkbookLock {
public:
    // Takes the lock; throws WorkbookInUse naming the holder when someone else
    // has it (HostError for other failures). Left-overs are taken over without
    // asking: an entry of ours (same login and host, our marker) whose process
    // lock is free (a crash of this program), and an entry of another office
    // program of the same login and host when no such program of this user
    // runs here. `takeOver` removes whatever lock is there first: the user
    // was told who held it and chose to open anyway.
    explicit WorkbookLock(const QString& documentPath, bool takeOver = false);
    ~WorkbookLock();
    WorkbookLock(const WorkbookLock&) = delete;
    WorkbookLock& operator=(const WorkbookLock&) = delete;

    void release(); // removes our entry (only if it is still ours) and frees the process lock
    const QString& lockPath() const { return lockPath_; }
    bool held() const { return held_; }

private:
    QString documentPath_, lockPath_;
    QByteArray entry_;
    std::unique_ptr<QLockFile> processLock_;
    bool held_ = false;
};

} // namespace gp::host
