#pragma once

#include <QString>

namespace history {

// What a reader sees of a page: its HTML laid out by Qt's own HTML reader as plain text, with
// scripts and styles left out. Text that is no HTML stays as it is.
QString VisibleText(const QString &page);

} // namespace history
