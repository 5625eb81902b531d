#pragma once

#include <QString>

// What makes a text usable as an entry's name: the name is also the entry's folder under the
// data folder, so it must stay one folder inside it.
namespace entryname {

// The original's RTrim: trailing blanks (U+0020 only) removed.
QString rtrim(const QString &text);

// True when the name, as it will be stored (rtrim), names one folder inside the data folder:
// not empty, no "/" or "\", not "." or "..".
bool isFolderName(const QString &name);

} // namespace entryname
