// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/store/page_store.h"

#include "core/list/entry_name.h"
#include "core/store/page_info.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/hard_link.h"

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

// The copy made earlier today moves aside to the vek-N.htm after the highest one there, so the
// numbers keep the order the copies were made in even where older ones were pruned.
bool keepEarlierCopy(const QString &dated, QString *detail)
{
    const QString copy = Join(dated, PageName);
    if (!QFileInfo::exists(copy))
        return true;
    int highest = 0;
    for (const QString &file : QDir(dated).entryList({QStringLiteral("vek-*.htm")}, QDir::AllEntries | QDir::Hidden | QDir::System))
        highest = std::max(highest, asideNumber(file));
    const QString aside = Join(dated, asideName(highest + 1));
    QFile earlier(copy);
    if (earlier.rename(aside))
        return true;
    *detail = reason(aside, earlier.errorString());
    return false;
}

// Whether the file holds exactly these bytes, read in pieces.
bool holds(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.size() != bytes.size() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 offset = 0;
    for (;;) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n <= 0)
            return n == 0 && offset == bytes.size();
        if (offset + n > bytes.size() || std::memcmp(buffer.constData(), bytes.constData() + offset, size_t(n)) != 0)
            return false;
        offset += n;
    }
}

// Copies in pieces into a file put in place whole, so neither a large page nor a crash half
// way leaves a mixed copy.
bool copyWhole(const QString &from, const QString &to, QString *detail)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *detail = reason(from, source.errorString());
        return false;
    }
    AtomicFile target(to);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0) {
            *detail = reason(from, source.errorString());
            return false;
        }
        if (n == 0)
            break;
        if (QString error; !target.write(buffer.constData(), n, &error)) {
            *detail = reason(to, error);
            return false;
        }
    }
    if (QString error; !target.commit(&error)) {
        *detail = reason(to, error);
        return false;
    }
    // The history shows when each version was stored. Only the time is lost when this fails.
    const QDateTime storedAt = source.fileTime(QFileDevice::FileModificationTime);
    QFile copy(to);
    if (storedAt.isValid() && copy.open(QIODevice::ReadOnly))
        copy.setFileTime(storedAt, QFileDevice::FileModificationTime);
    return true;
}

// The page as a dated copy: a second name of the same file where the file system has them
// (it then shares the page's time too), a copy of its own where not. A page that is a symbolic
// link is copied: a second name of the link would follow whatever it points to later.
bool keepAsCopy(const QString &page, const QString &copy, bool *linked, QString *detail)
{
    *linked = !QFileInfo(page).isSymLink() && hardlink::Make(page, copy);
    return *linked || copyWhole(page, copy, detail);
}

// Whether `info` holds validators for the page at `page`, fetched from `address`: a rule that
// gives another address each day asks for another page, and a page replaced or edited since
// is no longer the one they speak of.
bool hasValidators(const PageInfo &info, const QString &address, const QString &page)
{
    return info.address == address && !(info.etag.isEmpty() && info.lastModified.isEmpty())
           && DescribesFile(info, page);
}

// What is kept of the answer a new page came in. The page it replaces leaves its Content-Type
// behind under its hash, for the history of its dated copy.
PageInfo infoFor(const PageInfo &before, const Received &page, bool samePage)
{
    PageInfo info = before;
    const QByteArray hash = PageHash(page.body);
    if (!samePage && !before.sha256.isEmpty() && before.sha256 != hash && !before.contentType.isEmpty()) {
        info.earlierTypes.removeIf([&before](const auto &earlier) { return earlier.first == before.sha256; });
        info.earlierTypes.append({before.sha256, before.contentType});
    }
    info.earlierTypes.removeIf([&hash](const auto &earlier) { return earlier.first == hash; });
    while (info.earlierTypes.size() > MaxEarlierTypes)
        info.earlierTypes.removeFirst();
    info.address = page.address;
    info.etag = page.etag;
    info.lastModified = page.lastModified;
    info.contentType = page.contentType;
    info.size = page.body.size();
    info.sha256 = hash;
    return info;
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
    return StorePage(dataDir, name, today, Received{.body = body});
}

Stored StorePage(const QString &dataDir, const QString &name, const QDate &today, const Received &page)
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

    const QString path = Join(folder, PageName);
    const PageInfo info = ReadPageInfo(folder);
    const bool exists = QFileInfo::exists(path);
    // A 304 speaks of the page its validators were sent for: it must still be there.
    if (page.notModified && !hasValidators(info, page.address, path)) {
        stored.detail = reason(path, QStringLiteral("304 の応答に当たるページがありません"));
        return failed(Failure::Write);
    }
    const bool same = page.notModified || (exists && holds(path, page.body));
    // The new page is written out before the dated copy is made, so a page that cannot be
    // written (a full disk) leaves the earlier dated copy as it was.
    AtomicFile file(path);
    if (QString error; !same && !file.write(page.body, &error)) {
        stored.detail = reason(path, error);
        return failed(Failure::Write);
    }
    if (exists) {
        const QString dated = DatedFolder(folder, today);
        if (!ensureFolder(dated, &stored.detail))
            return failed(Failure::Folder);
        // Without its dated copy the old page is not given up.
        const QString copy = Join(dated, PageName);
        if (!keepEarlierCopy(dated, &stored.detail) || !keepAsCopy(path, copy, &stored.linked, &stored.detail))
            return failed(Failure::Copy);
        stored.replaced = copy;
        stored.changed = !same;
    }
    if (QString error; !same && !file.commit(&error)) {
        stored.detail = reason(path, error);
        return failed(Failure::Write);
    }
    stored.written = !same;
    // A 304 keeps what is kept as it was, byte for byte; a page that came with nothing worth
    // keeping starts no file.
    if (!page.notModified) {
        const PageInfo next = infoFor(info, page, same);
        const bool worthKeeping = !next.etag.isEmpty() || !next.lastModified.isEmpty()
                                  || !next.contentType.isEmpty() || !next.earlierTypes.isEmpty()
                                  || QFileInfo::exists(PageInfoPath(folder));
        if (next != info && worthKeeping)
            WritePageInfo(folder, next, &stored.infoError);
    }
    return stored;
}

Validators ValidatorsFor(const QString &dataDir, const QString &name, const QString &address)
{
    if (!IsUsableDataFolder(dataDir))
        return {};
    const QString folder = EntryFolder(dataDir, name);
    const PageInfo info = ReadPageInfo(folder);
    if (!hasValidators(info, address, Join(folder, PageName)))
        return {};
    return {.etag = info.etag, .lastModified = info.lastModified};
}

QHash<QByteArray, QByteArray> ServedTypes(const QString &dataDir, const QString &name)
{
    const PageInfo info = ReadPageInfo(EntryFolder(dataDir, name));
    QHash<QByteArray, QByteArray> types;
    for (const auto &[hash, type] : info.earlierTypes)
        types.insert(hash, type);
    if (!info.sha256.isEmpty() && !info.contentType.isEmpty())
        types.insert(info.sha256, info.contentType);
    return types;
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

Pruned PruneCopies(const QString &dataDir, const QString &name, const QDate &today, const Retention &limit)
{
    Pruned pruned;
    if (limit.isOff() || !IsUsableDataFolder(dataDir))
        return pruned;
    const QString folder = EntryFolder(dataDir, name);
    QStringList copies = StoredPages(dataDir, name);
    copies.removeOne(Join(folder, PageName));
    // The newest copy stays whatever the limits say: it is the page before the latest.
    for (qsizetype i = 1; i < copies.size(); ++i) {
        const QFileInfo copy(copies.at(i));
        const QDate day = QDate::fromString(copy.dir().dirName(), QStringLiteral("yyyyMMdd"));
        const bool tooMany = limit.versions > 0 && i >= limit.versions;
        const bool tooOld = limit.days > 0 && day.daysTo(today) >= limit.days;
        if (!tooMany && !tooOld)
            continue;
        QFile file(copy.filePath());
        if (file.remove()) {
            ++pruned.removed;
            // Only an empty folder can be removed.
            QDir(folder).rmdir(copy.dir().dirName());
        } else if (pruned.error.isEmpty()) {
            pruned.error = reason(copy.filePath(), file.errorString());
        }
    }
    return pruned;
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
