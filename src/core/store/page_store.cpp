// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/store/page_store.h"

#include "core/list/entry_name.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace pagestore {
namespace {

const QString PageName = QStringLiteral("vek.htm");

QString reason(const QString &path, const QString &error)
{
    return error.isEmpty() ? path : path + QLatin1String(": ") + error;
}

bool ensureFolder(const QString &path, QString *detail)
{
    if (QFileInfo(path).isDir() || QDir().mkpath(path))
        return true;
    *detail = path;
    return false;
}

QString asideName(int n)
{
    return QStringLiteral("vek-%1.htm").arg(n);
}

// N of a name vek-N.htm, 0 for any other name.
int asideNumber(const QString &fileName)
{
    static const QString head = QStringLiteral("vek-");
    static const QString tail = QStringLiteral(".htm");
    if (!fileName.startsWith(head) || !fileName.endsWith(tail))
        return 0;
    bool ok = false;
    const int n = fileName.mid(head.size(), fileName.size() - head.size() - tail.size()).toInt(&ok);
    return ok && n >= 1 && asideName(n) == fileName ? n : 0;
}

// The folders in the data folder whose name is `name`, letter case aside.
QStringList foldersAnswering(const QString &dataDir, const QString &name)
{
    QStringList found;
    const QStringList folders =
        QDir(dataDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &folder : folders) {
        if (folder.compare(name, Qt::CaseInsensitive) == 0)
            found << folder;
    }
    return found;
}

// The copy made earlier today moves aside to the next free vek-N.htm before it is replaced.
bool keepEarlierCopy(const QString &dated, QString *detail)
{
    const QString copy = Join(dated, PageName);
    if (!QFileInfo::exists(copy))
        return true;
    for (int n = 1;; ++n) {
        const QString aside = Join(dated, asideName(n));
        if (QFileInfo::exists(aside))
            continue;
        QFile earlier(copy);
        if (earlier.rename(aside))
            return true;
        *detail = reason(aside, earlier.errorString());
        return false;
    }
}

// Copies in pieces into a file put in place whole, so neither a large page nor a crash half
// way leaves a mixed copy. `differs` tells whether the copy holds other bytes than `other`.
bool copyWhole(const QString &from, const QString &to, const QByteArray &other, bool *differs,
               QString *detail)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *detail = reason(from, source.errorString());
        return false;
    }
    AtomicFile target(to);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 offset = 0;
    bool same = true;
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0) {
            *detail = reason(from, source.errorString());
            return false;
        }
        if (n == 0)
            break;
        same = same && offset + n <= other.size()
               && std::memcmp(buffer.constData(), other.constData() + offset, size_t(n)) == 0;
        offset += n;
        if (QString error; !target.write(buffer.constData(), n, &error)) {
            *detail = reason(to, error);
            return false;
        }
    }
    if (QString error; !target.commit(&error)) {
        *detail = reason(to, error);
        return false;
    }
    *differs = !same || offset != other.size();
    // The history shows when each version was stored. Only the time is lost when this fails.
    const QDateTime storedAt = source.fileTime(QFileDevice::FileModificationTime);
    QFile copy(to);
    if (storedAt.isValid() && copy.open(QIODevice::ReadOnly))
        copy.setFileTime(storedAt, QFileDevice::FileModificationTime);
    return true;
}

} // namespace

bool IsUsableDataFolder(const QString &dataDir)
{
    return !dataDir.isEmpty() && QDir::isAbsolutePath(dataDir);
}

QString Join(const QString &folder, const QString &name)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + name;
}

QString EntryFolder(const QString &dataDir, const QString &name)
{
    const QString exact = Join(dataDir, name);
    if (QFileInfo(exact).isDir())
        return exact;
    const QStringList folders = foldersAnswering(dataDir, name);
    return folders.isEmpty() ? exact : Join(dataDir, folders.constFirst());
}

Moved MoveEntryFolder(const QString &dataDir, const QString &oldName, const QString &newName)
{
    Moved moved;
    // No folder was ever made for a name that is no folder inside a usable data folder.
    if (!IsUsableDataFolder(dataDir) || !entryname::isSafeName(oldName))
        return moved;
    const QString from = EntryFolder(dataDir, oldName);
    if (!QFileInfo(from).isDir())
        return moved;
    const QString to = Join(dataDir, newName);
    if (!entryname::isSafeName(newName)) {
        moved.failure = Moved::Failure::Rename;
        moved.detail = to;
        return moved;
    }
    const QString fromName = QFileInfo(from).fileName();
    if (fromName == newName)
        return moved;
    // The folder itself answers to a name that differs only in letter case.
    for (const QString &folder : foldersAnswering(dataDir, newName)) {
        if (folder != fromName) {
            moved.failure = Moved::Failure::Taken;
            moved.detail = Join(dataDir, folder);
            return moved;
        }
    }
    // One rename(2), which also changes letter case alone on a file system that ignores case.
    // QFile::rename would not tell why a folder did not move.
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(from).toStdString(), QFile::encodeName(to).toStdString(), error);
    if (error) {
        moved.failure = Moved::Failure::Rename;
        moved.detail = reason(from + QStringLiteral(" → ") + to, QString::fromLocal8Bit(error.message()));
    }
    return moved;
}

QString PagePath(const QString &dataDir, const QString &name)
{
    return Join(EntryFolder(dataDir, name), PageName);
}

QString DatedFolder(const QString &entryFolder, const QDate &day)
{
    return Join(entryFolder, vclock::Format(day, QStringLiteral("yyyymmdd")));
}

Stored StorePage(const QString &dataDir, const QString &name, const QDate &today, const QByteArray &body)
{
    Stored stored;
    const auto failed = [&stored](Failure failure) {
        stored.failure = failure;
        return stored;
    };
    if (!IsUsableDataFolder(dataDir)) {
        stored.detail = dataDir;
        return failed(Failure::Folder);
    }
    const QString folder = EntryFolder(dataDir, name);
    if (!ensureFolder(folder, &stored.detail))
        return failed(Failure::Folder);

    const QString page = Join(folder, PageName);
    // The new page is written out before the dated copy is made, so a page that cannot be
    // written (a full disk) leaves the earlier dated copy as it was.
    AtomicFile file(page);
    if (QString error; !file.write(body, &error)) {
        stored.detail = reason(page, error);
        return failed(Failure::Write);
    }
    if (QFileInfo::exists(page)) {
        const QString dated = DatedFolder(folder, today);
        if (!ensureFolder(dated, &stored.detail))
            return failed(Failure::Folder);
        // Without its dated copy the old page is not given up.
        if (!keepEarlierCopy(dated, &stored.detail)
            || !copyWhole(page, Join(dated, PageName), body, &stored.changed, &stored.detail))
            return failed(Failure::Copy);
    }
    if (QString error; !file.commit(&error)) {
        stored.detail = reason(page, error);
        return failed(Failure::Write);
    }
    return stored;
}

QStringList StoredPages(const QString &dataDir, const QString &name)
{
    QStringList pages;
    const QString folder = EntryFolder(dataDir, name);
    const auto addFile = [&pages](const QString &path) {
        if (QFileInfo(path).isFile())
            pages << path;
    };
    addFile(Join(folder, PageName));
    const QStringList days = QDir(folder).entryList({QStringLiteral("????????")},
                                                    QDir::Dirs | QDir::NoDotAndDotDot,
                                                    QDir::Name | QDir::Reversed);
    for (const QString &day : days) {
        if (!QDate::fromString(day, QStringLiteral("yyyyMMdd")).isValid())
            continue;
        const QString dated = Join(folder, day);
        addFile(Join(dated, PageName));
        QList<int> aside;
        for (const QString &file : QDir(dated).entryList({QStringLiteral("vek-*.htm")}, QDir::Files)) {
            if (const int n = asideNumber(file))
                aside << n;
        }
        std::sort(aside.rbegin(), aside.rend());
        for (const int n : aside)
            pages << Join(dated, asideName(n));
    }
    return pages;
}

bool CheckDataFolder(const QString &dataDir, QString *error)
{
    if (!IsUsableDataFolder(dataDir) || (!QFileInfo(dataDir).isDir() && !QDir().mkpath(dataDir))) {
        if (error)
            *error = dataDir;
        return false;
    }
    // Permission bits do not bind root, nor tell a read-only mount: a real file does.
    QTemporaryFile probe(dataDir + QLatin1String("/.vekanto-XXXXXX"));
    if (!probe.open()) {
        if (error)
            *error = reason(dataDir, probe.errorString());
        return false;
    }
    return true;
}

} // namespace pagestore
