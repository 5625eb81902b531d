// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Expands the date tokens of an address rule with today's date:
//   %d %m %y    day, month, two-digit year without padding ("5", "3", "02")
//   %0d %0m %0y day and month padded to two digits, four-digit year ("05", "03", "2002")
// The letters count in either case (%D, %0Y), for the download and the editor's preview
// alike, so the preview shows what will be fetched. Every other character is copied
// unchanged; a "%" or "%0" not followed by a token letter is dropped together with the
// character after it.
QString ExpandRule(const QString &rule);
