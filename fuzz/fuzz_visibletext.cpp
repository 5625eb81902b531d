// SPDX-License-Identifier: GPL-3.0-or-later
// A page's visible text, its source broken before blocks and the marks of two of its lines,
// over any text a server can send, read both as UTF-16 and as UTF-8.
#include "fuzz_check.h"

#include "core/history/visible_text.h"
#include "core/history/word_diff.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

void checkMarks(const QList<history::Span> &marks, const QString &line)
{
    qsizetype end = 0;
    for (const history::Span &mark : marks) {
        FUZZ_CHECK(mark.length > 0 && mark.start >= end);
        end = mark.start + mark.length;
    }
    FUZZ_CHECK(end <= line.size());
}

void check(const QString &page)
{
    const QString text = history::VisibleText(page);
    // Markup and references only ever shrink into what they stand for.
    FUZZ_CHECK(text.size() <= page.size());
    if (text != page) {
        FUZZ_CHECK(!text.contains(u'\r'));
        for (QStringView line : QStringView(text).split(u'\n'))
            FUZZ_CHECK(!line.endsWith(u' ') && !line.endsWith(u'\t'));
    }
    const QString collapsed = history::CollapsedText(text);
    FUZZ_CHECK(history::CollapsedText(collapsed) == collapsed);

    const QString source = history::BreakBeforeBlocks(page);
    FUZZ_CHECK(QString(source).remove(u'\n') == QString(page).remove(u'\n'));

    const QStringList lines = text.split(u'\n');
    if (lines.size() >= 2) {
        const history::WordMarks marks = history::MarkWords(lines.at(0), lines.at(1));
        checkMarks(marks.older, lines.at(0));
        checkMarks(marks.newer, lines.at(1));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(QString::fromUtf16(reinterpret_cast<const char16_t *>(data), qsizetype(size / 2)));
    check(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
