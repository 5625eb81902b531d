// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace hardlink {

// Makes `link` a second name of the file `existing`, the same bytes on disk. False, with the
// system's reason, where the file system has no such links (FAT, exFAT, many network shares)
// or refuses this one (another device, too many links, a name already there).
bool Make(const QString &existing, const QString &link, QString *error = nullptr);

} // namespace hardlink
