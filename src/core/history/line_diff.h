// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What changed between two texts, line by line (Myers' O(NP) diff of the dtl library).
namespace history {

enum class LineKind { Same, Removed, Added };

// A part of a line: `length` UTF-16 units from `start`.
struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const Span &, const Span &) = default;
};

struct DiffLine {
    LineKind kind = LineKind::Same;
    // 1-based line numbers in the older and the newer text; 0 where the line is not there.
    int oldNumber = 0;
    int newNumber = 0;
    QString text;
    // What changed inside a removed line and the added line beside it (MarkChangedWords).
    QList<Span> marks = {};
};

struct LineDiff {
    // Every line of both texts in reading order; within a change the removed lines come first.
    QList<DiffLine> lines;
    int added = 0;
    int removed = 0;
};

// A text's lines, whatever its line ends (LF, CR LF or CR).
QStringList SplitLines(const QString &text);

LineDiff DiffLines(const QStringList &older, const QStringList &newer);

// One row of the side-by-side view: indexes into LineDiff::lines, -1 for a blank side. A
// removed line sits beside the added line of the same place in its change.
struct SideBySideRow {
    qsizetype left = -1;
    qsizetype right = -1;
};
QList<SideBySideRow> SideBySide(const LineDiff &diff);

} // namespace history
