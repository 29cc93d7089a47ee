#include "core/host/backup_copies.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include "core/host/atomic_save.h"

namespace gp::host {

namespace {

std::function<QDateTime()>& copyClock()
{
    static std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    return now;
}

// "Pratiche 2026-12-06.xls", "Pratiche 2026-12-06 10.15.00.xls": the date and the rest.
QRegularExpression copyPattern(const QString& workbookPath)
{
    const QFileInfo fi(workbookPath);
    return QRegularExpression(
        QStringLiteral("^%1 (\\d{4}-\\d{2}-\\d{2})( \\d{2}\\.\\d{2}\\.\\d{2})?\\.%2$")
            .arg(QRegularExpression::escape(fi.completeBaseName()), QRegularExpression::escape(fi.suffix())),
        QRegularExpression::CaseInsensitiveOption);
}

// The dated copies of a workbook, oldest first (by the date and time in their names).
QStringList copyNames(const QString& workbookPath)
{
    const QDir folder(copiesFolderFor(workbookPath));
    const QRegularExpression re = copyPattern(workbookPath);
    std::vector<std::pair<QString, QString>> found; // (sort key, name)
    for (const QString& n : folder.entryList(QDir::Files, QDir::Name)) {
        const auto m = re.match(n);
        if (m.hasMatch())
            found.emplace_back(m.captured(1) + (m.captured(2).isEmpty() ? QStringLiteral(" 00.00.00") : m.captured(2)),
                               n);
    }
    std::stable_sort(found.begin(), found.end());
    QStringList names;
    for (const auto& f : found)
        names << f.second;
    return names;
}

void prune(const QString& workbookPath)
{
    QStringList names = copyNames(workbookPath);
    QDir folder(copiesFolderFor(workbookPath));
    while (names.size() > kKeptDatedCopies)
        folder.remove(names.takeFirst());
}

bool writeCopy(const QString& target, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    removeLeftoverTemporaries(target);
    return replaceFileDurably(target, bytes);
}

} // namespace

void setCopyClock(std::function<QDateTime()> now) { copyClock() = std::move(now); }

QString copiesFolderFor(const QString& workbookPath)
{
    return QFileInfo(workbookPath).absoluteDir().filePath(QStringLiteral("Copie"));
}

QString datedCopyPath(const QString& workbookPath, const QDate& day)
{
    const QFileInfo fi(workbookPath);
    return QDir(copiesFolderFor(workbookPath))
        .filePath(QStringLiteral("%1 %2.%3")
                      .arg(fi.completeBaseName(), day.toString(QStringLiteral("yyyy-MM-dd")), fi.suffix()));
}

QString keepDatedCopy(const QString& workbookPath, const QByteArray& bytes)
{
    const QString target = datedCopyPath(workbookPath, copyClock()().date());
    if (QFileInfo::exists(target))
        return {}; // not the first save of the day
    if (!writeCopy(target, bytes)) {
        qWarning() << "Impossibile scrivere la copia del giorno" << target;
        return QStringLiteral("Non è stato possibile scrivere la copia del giorno %1 nella cartella Copie.")
            .arg(QFileInfo(target).fileName());
    }
    prune(workbookPath);
    return {};
}

std::vector<SavedCopy> savedCopies(const QString& workbookPath)
{
    std::vector<SavedCopy> out;
    const QDir folder(copiesFolderFor(workbookPath));
    const QRegularExpression re = copyPattern(workbookPath);
    QStringList names = copyNames(workbookPath);
    std::reverse(names.begin(), names.end());
    for (const QString& n : names) {
        const auto m = re.match(n);
        QDateTime when(QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
        if (!m.captured(2).isEmpty())
            when.setTime(QTime::fromString(m.captured(2).trimmed(), QStringLiteral("HH.mm.ss")));
        out.push_back({folder.filePath(n), when, false});
    }
    const QFileInfo bak(backupPathFor(workbookPath));
    if (bak.exists())
        out.push_back({bak.absoluteFilePath(), bak.lastModified(), true});
    return out;
}

QString keepCurrentAsCopy(const QString& workbookPath)
{
    QFile in(workbookPath);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return {};
    const QDateTime now = copyClock()();
    QString target = datedCopyPath(workbookPath, now.date());
    if (QFileInfo::exists(target)) {
        const QFileInfo fi(workbookPath);
        target = QDir(copiesFolderFor(workbookPath))
                     .filePath(QStringLiteral("%1 %2.%3")
                                   .arg(fi.completeBaseName(), now.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")),
                                        fi.suffix()));
    }
    if (QFileInfo::exists(target) || !writeCopy(target, bytes))
        return {};
    prune(workbookPath);
    return target;
}

} // namespace gp::host
