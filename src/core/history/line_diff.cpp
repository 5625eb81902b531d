// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/line_diff.h"

#include <dtl/dtl.hpp>

#include <QHash>
#include <QRegularExpression>

#include <vector>

namespace history {

QStringList SplitLines(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(lineEnd);
    // A final line end ends the last line; it does not begin another.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

LineDiff DiffLines(const QStringList &older, const QStringList &newer)
{
    // Lines are compared as numbers: equal lines get one number, so the diff compares ints.
    QHash<QString, int> numbers;
    const auto numbered = [&numbers](const QStringList &lines) {
        std::vector<int> sequence;
        sequence.reserve(size_t(lines.size()));
        for (const QString &line : lines) {
            auto found = numbers.constFind(line);
            if (found == numbers.constEnd())
                found = numbers.insert(line, int(numbers.size()));
            sequence.push_back(*found);
        }
        return sequence;
    };
    numbers.reserve(older.size() + newer.size());
    const std::vector<int> a = numbered(older);
    const std::vector<int> b = numbered(newer);

    dtl::Diff<int> diff(a, b, true);
    diff.compose();
    LineDiff result;
    const auto ses = diff.getSes().getSequence();
    result.lines.reserve(qsizetype(ses.size()));
    for (const auto &[element, info] : ses) {
        DiffLine line;
        switch (info.type) {
        case dtl::SES_COMMON:
            line = {LineKind::Same, int(info.beforeIdx), int(info.afterIdx), older.at(info.beforeIdx - 1)};
            break;
        case dtl::SES_DELETE:
            line = {LineKind::Removed, int(info.beforeIdx), 0, older.at(info.beforeIdx - 1)};
            ++result.removed;
            break;
        case dtl::SES_ADD:
            line = {LineKind::Added, 0, int(info.afterIdx), newer.at(info.afterIdx - 1)};
            ++result.added;
            break;
        }
        result.lines.append(line);
    }
    return result;
}

QList<SideBySideRow> SideBySide(const LineDiff &diff)
{
    QList<SideBySideRow> rows;
    rows.reserve(diff.lines.size());
    qsizetype i = 0;
    while (i < diff.lines.size()) {
        if (diff.lines.at(i).kind == LineKind::Same) {
            rows.append({i, i});
            ++i;
            continue;
        }
        // One change: its removed lines, then its added lines.
        QList<qsizetype> removed, added;
        for (; i < diff.lines.size() && diff.lines.at(i).kind != LineKind::Same; ++i)
            (diff.lines.at(i).kind == LineKind::Removed ? removed : added).append(i);
        for (qsizetype k = 0; k < qMax(removed.size(), added.size()); ++k)
            rows.append({removed.value(k, -1), added.value(k, -1)});
    }
    return rows;
}

} // namespace history
