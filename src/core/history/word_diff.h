// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/line_diff.h"

// What changed inside a line that another replaced: the words of each that the other lacks.
// Words are ICU's word breaks, which split Japanese by its dictionary, and they are compared
// by the same diff as the lines.
namespace history {

struct WordMarks {
    QList<Span> older;
    QList<Span> newer;
};

// The changed words of two lines, next ones run together (with the blanks between them).
// Nothing when the lines have too little in common for marks to help: the whole line changed.
WordMarks MarkWords(const QString &older, const QString &newer);

// Marks the words of each removed line and the added line beside it (as SideBySide pairs them).
void MarkChangedWords(LineDiff &diff);

} // namespace history
