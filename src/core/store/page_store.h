// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// Where an entry's pages live: DataDir/Name/vek.htm, the page it replaces copied first to
// DataDir/Name/yyyymmdd/vek.htm. A copy made earlier the same day is kept as vek-1.htm,
// vek-2.htm, ... in the dated folder, so no replaced page is ever lost. Paths are joined with
// one separator, whether or not the data folder text ends in one.
namespace pagestore {

enum class Failure { None, Folder, Copy, Write };

// What storing a page did: whether it failed and why (the path and the reason), and whether it
// replaced a page that differs from the new one (the run marks such an entry as changed).
struct Stored {
    Failure failure = Failure::None;
    QString detail{};
    bool changed = false;
};

// Why an entry's folder could not follow its new name: another folder answers to that name
// already (detail: that folder), or the rename failed (the path and the reason).
struct Moved {
    enum class Failure { None, Taken, Rename };
    Failure failure = Failure::None;
    QString detail{};
    bool ok() const { return failure == Failure::None; }
};

// The entry's folder: an existing folder whose name differs only in letter case is used,
// otherwise the folder the name gives (which may not exist yet).
QString EntryFolder(const QString &dataDir, const QString &name);
// The entry's page in its folder.
QString PagePath(const QString &dataDir, const QString &name);
// The dated folder of `day` in an entry folder.
QString DatedFolder(const QString &entryFolder, const QDate &day);

// Renames the folder of the entry `oldName` (as EntryFolder finds it) to `newName` in one step,
// with its page, its dated copies and whatever else it holds. Nothing happens while the entry
// has no folder. Refused with nothing moved when another folder answers to the new name, letter
// case aside; a change of letter case alone renames the folder itself.
Moved MoveEntryFolder(const QString &dataDir, const QString &oldName, const QString &newName);

// A data folder pages may be stored under: given, and absolute. An empty or relative one would
// put pages at "/" or wherever the program happened to be started.
bool IsUsableDataFolder(const QString &dataDir);

// A path inside a folder, with one separator between them.
QString Join(const QString &folder, const QString &name);

// Stores the body whole and atomically, making the data folder and the entry's folder when
// missing. On failure nothing is half written: the old page and every dated copy stay as they
// were. The dated copy keeps the time its page was stored.
Stored StorePage(const QString &dataDir, const QString &name, const QDate &today, const QByteArray &body);

// The entry's stored pages, newest first: its page, then the dated folders from the latest day
// back, in each the copy replaced last (vek.htm) and then those moved aside before it
// (vek-N.htm, highest N first). Only files that exist are listed.
QStringList StoredPages(const QString &dataDir, const QString &name);

// Makes the data folder when missing and proves that files can be made in it. False, with the
// path and the reason in `error`, when not (an empty or relative folder included): no page of
// a run could then be stored.
bool CheckDataFolder(const QString &dataDir, QString *error);

} // namespace pagestore
