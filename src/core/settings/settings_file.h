// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/settings/options.h"
#include "platform/indexed_array.h"

#include <QString>
#include <QStringList>

class EntryTable;

// vek.ini: the list in section DATA, the options in section Option, and the SDATA lists that
// are written but never read back.
namespace settingsfile {

// The settings file in the data home.
QString defaultPath(const QString &dataHome);

struct LoadReport {
    // Set when the file exists but could not be read: the path.
    QString unreadable;
    // Entries whose parent could not be found, or is no number, and that were put at the top
    // level. (An nname that is no number reads as 0 and moves nothing.)
    QStringList placedAtTop;
    // Entries whose names lead to one folder: they would overwrite each other's pages.
    QStringList sharedFolders;
};

// Fills entries 1..99 from the file and changes only the options the file has, but for
// 「サーバーごとに間隔を空ける」, which is on only with hostpace=1. Values are read whole, whatever
// their length. EntryCount is the last live entry.
LoadReport load(const QString &path, EntryTable &entries, Options &options);

using SdataLists = IndexedArray<QStringList, 0, 4>;

// What a save did. The list is compacted and sorted in memory whether or not the file could
// be written.
struct Saved {
    // The file was replaced; otherwise it is left whole and `error` says why.
    bool written = false;
    QString error{};
    // The entry number the selection has after the moves (0 when it was deleted).
    int selected = 0;
    // A value held a character CP932 has not, so the file is UTF-8 behind a byte-order mark.
    bool utf8 = false;
};

// Compacts and sorts the list, then writes it with the options and the SDATA lists, replacing
// the file atomically. `selected` is an entry number that follows its entry through the moves.
// The file is CP932 as ever unless a value holds a character CP932 has not.
Saved save(const QString &path, EntryTable &entries, const Options &options,
           const SdataLists &sdata, int selected);

} // namespace settingsfile
