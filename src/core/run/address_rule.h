#pragma once

#include <QString>

// How the letters after "%" are compared: the download compares without case, the editor's
// live preview compares exactly, so the preview may show less than the download fetches.
enum class RuleCompare { IgnoreCase, Exact };

// Expands the date tokens of an address rule with today's date:
//   %d %m %y    day, month, two-digit year without padding ("5", "3", "02")
//   %0d %0m %0y day and month padded to two digits, four-digit year ("05", "03", "2002")
// Every other character is copied unchanged; a "%" or "%0" not followed by a token letter
// is dropped together with the character after it.
QString ExpandRule(const QString &rule, RuleCompare compare);
