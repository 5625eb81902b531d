#pragma once

#include "core/settings/options.h"

#include <QString>
#include <QStringList>

#include <array>

class EntryTable;

// vek.ini: the list in section DATA, the options in section Option, and the SDATA lists that
// are written but never read back.
namespace settingsfile {

// The settings file in the program's own folder.
QString defaultPath(const QString &programDir);

struct LoadReport {
    // Set when the file exists but could not be read: the path.
    QString unreadable;
    // Entries whose parent could not be found, or is no number, and that were put at the top
    // level. (An nname that is no number reads as 0 and moves nothing.)
    QStringList placedAtTop;
    // Entries whose names lead to one folder: they would overwrite each other's pages.
    QStringList sharedFolders;
};

// Fills entries 1..99 from the file and changes only the options the file has. Values are
// read whole, whatever their length. EntryCount is the last live entry.
LoadReport load(const QString &path, EntryTable &entries, Options &options);

// Compacts and sorts the list, then writes it with the options and the SDATA lists. The
// file is replaced atomically; on failure it is left whole and `error` says why. `followed`
// is an entry number that follows its entry through the moves (0 when it was deleted).
// The file is CP932 as ever unless a value holds a character CP932 has not; then it is
// UTF-8 behind a byte-order mark, and `wroteUtf8` says so.
using SdataLists = std::array<QStringList, 5>;
bool save(const QString &path, EntryTable &entries, const Options &options,
          const SdataLists &sdata, int &followed, QString *error, bool *wroteUtf8 = nullptr);

} // namespace settingsfile
