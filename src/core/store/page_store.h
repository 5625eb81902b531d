#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// Where an entry's pages live: DataDir/Name/vek.htm, the page it replaces copied first to
// DataDir/Name/yyyymmdd/vek.htm. Paths are joined as text, exactly.
namespace pagestore {

enum class Failure { None, Folder, Copy, Write };

// The entry's folder: an existing folder whose name differs only in letter case is used,
// otherwise the folder the name gives (which may not exist yet).
QString EntryFolder(const QString &dataDir, const QString &name);
// The entry's page in its folder.
QString PagePath(const QString &dataDir, const QString &name);
// The dated folder of `day` in an entry folder.
QString DatedFolder(const QString &entryFolder, const QDate &day);

// Stores the body whole and atomically. On failure nothing is half written: the old page
// stays as it was, and `detail` names the path and the reason.
Failure StorePage(const QString &dataDir, const QString &name, const QDate &today,
                  const QByteArray &body, QString *detail = nullptr);

// Replaces the page with `bytes` as they are, making the entry's folder when missing; no
// dated copy. False, with the path and the reason in `detail`, when it could not.
bool ReplacePage(const QString &dataDir, const QString &name, const QByteArray &bytes,
                 QString *detail);

// Makes the data folder when missing and proves that files can be made in it. False, with the
// path and the reason in `detail`, when not: no page of a run could then be stored.
bool CheckDataFolder(const QString &dataDir, QString *detail);

} // namespace pagestore
