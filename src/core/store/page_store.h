// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/transfer_result.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QString>

// Where an entry's pages live: DataDir/Name/vek.htm, the page it replaces kept first as
// DataDir/Name/yyyymmdd/vek.htm. A copy made earlier the same day is kept as vek-1.htm,
// vek-2.htm, ... in the dated folder, so no replaced page is ever lost. A dated copy is a hard
// link to the page it keeps where the file system allows one, so a page that did not change
// costs no bytes on disk; elsewhere it is a copy. Paths are joined with one separator, whether
// or not the data folder text ends in one.
namespace pagestore {

enum class Failure { None, Folder, Copy, Write };

// What storing a page did: whether it failed and why (the path and the reason), and whether it
// replaced a page that differs from the new one (the run marks such an entry as changed).
struct Stored {
    Failure failure = Failure::None;
    QString detail{};
    // The page replaced held other bytes; `replaced` holds them.
    bool changed = false;
    // The dated copy that keeps the replaced page; empty when there was none.
    QString replaced{};
    // vek.htm was written; false when the page was the one stored already.
    bool written = false;
    // The dated copy is a hard link, not a copy of its own.
    bool linked = false;
    // Why what is kept beside vek.htm of its answer could not be written; the page is stored
    // all the same, and the next fetch of it is a whole one.
    QString infoError{};
};

// A page as it arrived, with what its server said of it.
struct Received {
    QByteArray body{};
    // A 304 to the validators sent: the page stored already is the page, and nothing is
    // written of the answer.
    bool notModified = false;
    // The address asked for, the answer's ETag, Last-Modified and Content-Type.
    QString address{};
    QByteArray etag{};
    QByteArray lastModified{};
    QByteArray contentType{};
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

// Stores the page whole and atomically, making the data folder and the entry's folder when
// missing. On failure nothing is half written: the old page and every dated copy stay as they
// were. A page that is the one stored already (or a 304) leaves vek.htm untouched, and its
// dated copy is a link to it. The dated copy keeps the time its page was stored. A new page
// never goes into the file it replaces, which a dated copy may share.
Stored StorePage(const QString &dataDir, const QString &name, const QDate &today, const Received &page);
Stored StorePage(const QString &dataDir, const QString &name, const QDate &today, const QByteArray &body);

// What the next request for the entry's page at `address` sends back: the validators its
// stored page came with, only while vek.htm is still that page and was fetched from that
// address; empty otherwise.
Validators ValidatorsFor(const QString &dataDir, const QString &name, const QString &address);

// The Content-Type each stored page of the entry came with, by the page's SHA-256 in hex
// (page_info.h's PageHash); pages stored without one are not listed.
QHash<QByteArray, QByteArray> ServedTypes(const QString &dataDir, const QString &name);

// The entry's stored pages, newest first: its page, then the dated folders from the latest day
// back, in each the copy replaced last (vek.htm) and then those moved aside before it
// (vek-N.htm, highest N first). Only files that exist are listed.
QStringList StoredPages(const QString &dataDir, const QString &name);

// How long dated copies are kept: `days` days (today counts as one) and at most `versions`
// copies per entry; 0 sets no limit of that kind.
struct Retention {
    int days = 0;
    int versions = 0;

    bool isOff() const { return days <= 0 && versions <= 0; }
};

// What pruning did to one entry: how many dated copies it removed, and the first that could not
// be removed with why.
struct Pruned {
    int removed = 0;
    QString error{};
};

// Removes the entry's dated copies that the limits no longer keep, oldest first in the order
// StoredPages lists them; a dated folder left empty goes too. Never vek.htm, never the newest
// dated copy, never anything else in the folder.
Pruned PruneCopies(const QString &dataDir, const QString &name, const QDate &today, const Retention &limit);

// Makes the data folder when missing and proves that files can be made in it. False, with the
// path and the reason in `error`, when not (an empty or relative folder included): no page of
// a run could then be stored.
bool CheckDataFolder(const QString &dataDir, QString *error);

} // namespace pagestore
