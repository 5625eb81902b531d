// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a name may be. The name is also the entry's folder under the data folder, so it must
// stay one folder inside it, and two names that lead to one folder are one name.
namespace entryname {

// Trailing blanks (U+0020 only) removed: the form in which add and change store a name.
QString rtrim(const QString &text);
// Blanks (U+0020 only) removed at both ends, as loading the settings file reads a name. An
// ideographic space typed at either end is part of the name.
QString trimBlanks(const QString &text);

// The marker a deleted entry keeps until the next save: "nl" in any letter case.
bool isDeletedName(const QString &name);

// True when the stored name names one folder inside the data folder: not empty, no "/" or
// "\", not "." or "..".
bool isSafeName(const QString &name);

// True when both names lead to the same entry folder: letter case aside, after the trimming
// that loading does.
bool sameFolder(const QString &a, const QString &b);

// A name as add and change store it: trimmed as loading reads it back, so a stored name never
// turns into another one (or into the deleted marker) at the next LOAD.
QString storedName(const QString &typed);

// Control characters (below U+0020, and U+007F) would break a line of the settings file.
bool hasControlCharacters(const QString &text);

} // namespace entryname
