#pragma once

#include <QString>

namespace hardlink {

// Makes `link` a second name of the file `existing`, the same bytes on disk. False, with the
// system's reason, where the file system has no such links (FAT, exFAT, many network shares)
// or refuses this one (another device, too many links, a name already there).
bool Make(const QString &existing, const QString &link, QString *error = nullptr);

// Whether two paths name one file on disk (the same device and inode). False when either
// cannot be looked up.
bool SameFile(const QString &a, const QString &b);

} // namespace hardlink
