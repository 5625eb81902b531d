// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/history/line_diff.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Whether a reader sees a page change: the text the history shows of each version, its
// whitespace run together, with the lines the entry says to ignore left out. A page whose only
// change is in a script, a style, a comment, an attribute or its blanks is stored all the same,
// but it has not changed for its reader.
namespace history {

// The entry's lines to ignore as typed: a regular expression found anywhere in a line, with
// \d, \w and \s reading Japanese (full-width digits, kana, ideographic space) as such.
QRegularExpression IgnoreExpression(const QString &pattern);
// Why the pattern is no regular expression, with the place; empty when it is one.
QString IgnoreError(const QString &pattern);
// A line of the visible text that the expression finds; nothing is ignored by an empty or
// invalid expression.
bool IsIgnored(const QRegularExpression &ignore, const QString &line);

// Marks the lines of a diff of visible texts that the expression finds.
void MarkIgnored(LineDiff &diff, const QRegularExpression &ignore);

// Whether a page stored over another shows its reader something else: the pages read as the
// history reads them (their charset, then their visible text), the ignored lines left out, the
// whitespace run together. Equal bytes never do; a page that is no text changes with its bytes.
// The types are the Content-Type each page's server sent with it; empty when unknown.
bool ReaderSeesChange(const QByteArray &older, const QByteArray &olderType, const QByteArray &newer,
                      const QByteArray &newerType, const QRegularExpression &ignore);

} // namespace history
