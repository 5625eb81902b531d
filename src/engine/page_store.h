#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// Where a completed page goes: DataDir/Name/vek.htm, the page it replaces copied first to
// DataDir/Name/yyyymmdd/vek.htm. Paths are joined as text, exactly.
namespace pagestore {

enum class Failure { None, Folder, Copy, Write };

// False for a name that could leave the data folder: empty, ".", "..", or with "/" or "\".
bool IsSafeName(const QString &name);

// The entry's folder: an existing folder whose name differs only in letter case is used.
QString EntryFolder(const QString &dataDir, const QString &name);

// Stores the body whole and atomically. On failure nothing is half written: the old page
// stays as it was, and `detail` names the path and the reason.
Failure StorePage(const QString &dataDir, const QString &name, const QDate &today,
                  const QByteArray &body, QString *detail = nullptr);

} // namespace pagestore
