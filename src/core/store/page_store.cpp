#include "core/store/page_store.h"

#include "platform/atomic_file.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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

// The copy made earlier today moves aside to the next free vek-N.htm before it is replaced.
bool keepEarlierCopy(const QString &dated, QString *detail)
{
    const QString copy = Join(dated, PageName);
    if (!QFileInfo::exists(copy))
        return true;
    for (int n = 1;; ++n) {
        const QString aside = Join(dated, QStringLiteral("vek-%1.htm").arg(n));
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
        if (!target.write(buffer.constData(), n)) {
            *detail = reason(to, target.errorString());
            return false;
        }
    }
    if (!target.commit()) {
        *detail = reason(to, target.errorString());
        return false;
    }
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
    const QStringList folders =
        QDir(dataDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &folder : folders) {
        if (folder.compare(name, Qt::CaseInsensitive) == 0)
            return Join(dataDir, folder);
    }
    return exact;
}

QString PagePath(const QString &dataDir, const QString &name)
{
    return Join(EntryFolder(dataDir, name), PageName);
}

QString DatedFolder(const QString &entryFolder, const QDate &day)
{
    return Join(entryFolder, vclock::Format(day, QStringLiteral("yyyymmdd")));
}

Failure StorePage(const QString &dataDir, const QString &name, const QDate &today,
                  const QByteArray &body, QString *detail)
{
    QString ignored;
    if (!detail)
        detail = &ignored;
    if (!IsUsableDataFolder(dataDir)) {
        *detail = dataDir;
        return Failure::Folder;
    }
    const QString folder = EntryFolder(dataDir, name);
    if (!ensureFolder(folder, detail))
        return Failure::Folder;

    const QString page = Join(folder, PageName);
    // The new page is written out before the dated copy is made, so a page that cannot be
    // written (a full disk) leaves the earlier dated copy as it was.
    AtomicFile file(page);
    if (!file.write(body)) {
        *detail = reason(page, file.errorString());
        return Failure::Write;
    }
    if (QFileInfo::exists(page)) {
        const QString dated = DatedFolder(folder, today);
        if (!ensureFolder(dated, detail))
            return Failure::Folder;
        // Without its dated copy the old page is not given up.
        if (!keepEarlierCopy(dated, detail) || !copyWhole(page, Join(dated, PageName), detail))
            return Failure::Copy;
    }
    if (!file.commit()) {
        *detail = reason(page, file.errorString());
        return Failure::Write;
    }
    return Failure::None;
}

bool CheckDataFolder(const QString &dataDir, QString *detail)
{
    if (!IsUsableDataFolder(dataDir) || (!QFileInfo(dataDir).isDir() && !QDir().mkpath(dataDir))) {
        *detail = dataDir;
        return false;
    }
    // Permission bits do not bind root, nor tell a read-only mount: a real file does.
    QTemporaryFile probe(dataDir + QLatin1String("/.vekanto-XXXXXX"));
    if (!probe.open()) {
        *detail = reason(dataDir, probe.errorString());
        return false;
    }
    return true;
}

} // namespace pagestore
