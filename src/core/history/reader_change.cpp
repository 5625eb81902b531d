// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/reader_change.h"

#include "core/history/page_decoding.h"
#include "core/history/visible_text.h"

namespace history {

QRegularExpression IgnoreExpression(const QString &pattern)
{
    return QRegularExpression(pattern, QRegularExpression::UseUnicodePropertiesOption);
}

QString IgnoreError(const QString &pattern)
{
    const QRegularExpression expression = IgnoreExpression(pattern);
    if (expression.isValid())
        return {};
    // The offset counts UTF-16 units; a person counts characters from 1.
    const qsizetype at = expression.patternErrorOffset();
    const qsizetype characters = at < 0 ? 0 : QStringView(pattern).left(at).toUcs4().size();
    return QStringLiteral("%1 (%2)").arg(expression.errorString()).arg(characters + 1);
}

bool IsIgnored(const QRegularExpression &ignore, const QString &line)
{
    return !ignore.pattern().isEmpty() && ignore.isValid() && ignore.match(line).hasMatch();
}

void MarkIgnored(LineDiff &diff, const QRegularExpression &ignore)
{
    for (DiffLine &line : diff.lines)
        line.ignored = IsIgnored(ignore, line.text);
}

namespace {

QString visibleKept(const QString &text, const QRegularExpression &ignore)
{
    const QString visible = VisibleText(text);
    if (ignore.pattern().isEmpty() || !ignore.isValid())
        return CollapsedText(visible);
    QStringList kept = SplitLines(visible);
    kept.removeIf([&ignore](const QString &line) { return IsIgnored(ignore, line); });
    return CollapsedText(kept.join(u'\n'));
}

} // namespace

bool ReaderSeesChange(const QByteArray &older, const QByteArray &olderType, const QByteArray &newer,
                      const QByteArray &newerType, const QRegularExpression &ignore)
{
    if (older == newer)
        return false;
    const PageText a = DecodePage(older, olderType);
    const PageText b = DecodePage(newer, newerType);
    // A page that is no text, or one that stopped or began being text, changed with its bytes.
    if (a.binary || b.binary)
        return true;
    return visibleKept(a.text, ignore) != visibleKept(b.text, ignore);
}

} // namespace history
