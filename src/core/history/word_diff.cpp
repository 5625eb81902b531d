// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/history/word_diff.h"

#include <dtl/dtl.hpp>
#include <unicode/brkiter.h>
#include <unicode/localpointer.h>
#include <unicode/utext.h>

#include <QHash>

#include <memory>
#include <vector>

namespace history {
namespace {

// Beyond this many words between the common start and end, the diff's time may grow with their
// square, and marks would hardly narrow the change down: the whole line is the change.
constexpr qsizetype MaxWords = 10000;

icu::BreakIterator *wordBreaks()
{
    // Made once: loading the rules and the dictionary takes longer than splitting a page.
    static thread_local const std::unique_ptr<icu::BreakIterator> words = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(
            icu::BreakIterator::createWordInstance(icu::Locale::getJapanese(), status));
        if (U_FAILURE(status))
            made.reset();
        return made;
    }();
    return words.get();
}

// Where the line's words begin, and its end: a blank run and a sign are words of their own.
QList<qsizetype> wordBounds(const QString &line)
{
    QList<qsizetype> bounds;
    icu::BreakIterator *words = wordBreaks();
    UErrorCode status = U_ZERO_ERROR;
    icu::LocalUTextPointer text(
        utext_openUChars(nullptr, reinterpret_cast<const UChar *>(line.constData()), line.size(), &status));
    if (words && U_SUCCESS(status))
        words->setText(text.getAlias(), status);
    if (!words || U_FAILURE(status)) {
        // Without ICU's data, character by character.
        for (qsizetype i = 0; i <= line.size(); ++i)
            bounds.append(i);
        return bounds;
    }
    for (int32_t at = words->first(); at != icu::BreakIterator::DONE; at = words->next())
        bounds.append(at);
    return bounds;
}

qsizetype visibleLength(QStringView text)
{
    qsizetype length = 0;
    for (QChar c : text)
        length += c.isSpace() ? 0 : 1;
    return length;
}

// One line's words and which of them changed.
struct Words {
    explicit Words(const QString &line)
        : text(line)
        , bounds(wordBounds(line))
        , changed(size_t(qMax<qsizetype>(0, bounds.size() - 1)), false)
    {
    }
    qsizetype count() const { return bounds.size() - 1; }
    QStringView word(qsizetype i) const { return QStringView(text).sliced(bounds[i], bounds[i + 1] - bounds[i]); }

    // Changed words as spans; a blank run between two of them joins them.
    QList<Span> spans() const
    {
        QList<Span> spans;
        for (qsizetype i = 0; i < count(); ++i) {
            if (!changed[size_t(i)])
                continue;
            const qsizetype start = bounds[i];
            const qsizetype end = bounds[i + 1];
            if (!spans.isEmpty()) {
                Span &last = spans.last();
                const QStringView between = QStringView(text).sliced(last.start + last.length, start - last.start - last.length);
                if (visibleLength(between) == 0) {
                    last.length = end - last.start;
                    continue;
                }
            }
            spans.append({start, end - start});
        }
        return spans;
    }

    const QString &text;
    QList<qsizetype> bounds;
    std::vector<bool> changed;
};

} // namespace

WordMarks MarkWords(const QString &older, const QString &newer)
{
    Words a(older);
    Words b(newer);
    // Words are compared as numbers, as lines are.
    QHash<QStringView, int> numbers;
    const auto number = [&numbers](QStringView word) {
        auto found = numbers.constFind(word);
        if (found == numbers.constEnd())
            found = numbers.insert(word, int(numbers.size()));
        return *found;
    };
    qsizetype common = 0;
    qsizetype prefix = 0;
    while (prefix < a.count() && prefix < b.count() && a.word(prefix) == b.word(prefix))
        common += visibleLength(a.word(prefix++));
    qsizetype suffix = 0;
    while (suffix < a.count() - prefix && suffix < b.count() - prefix
           && a.word(a.count() - 1 - suffix) == b.word(b.count() - 1 - suffix))
        common += visibleLength(a.word(a.count() - 1 - suffix++));

    const qsizetype aEnd = a.count() - suffix;
    const qsizetype bEnd = b.count() - suffix;
    if ((aEnd - prefix) + (bEnd - prefix) > MaxWords)
        return {};
    std::vector<int> x, y;
    for (qsizetype i = prefix; i < aEnd; ++i)
        x.push_back(number(a.word(i)));
    for (qsizetype i = prefix; i < bEnd; ++i)
        y.push_back(number(b.word(i)));
    dtl::Diff<int> diff(x, y);
    diff.compose();
    for (const auto &[element, info] : diff.getSes().getSequence()) {
        switch (info.type) {
        case dtl::SES_COMMON:
            common += visibleLength(a.word(prefix + info.beforeIdx - 1));
            break;
        case dtl::SES_DELETE:
            a.changed[size_t(prefix + info.beforeIdx - 1)] = true;
            break;
        case dtl::SES_ADD:
            b.changed[size_t(prefix + info.afterIdx - 1)] = true;
            break;
        }
    }
    // Marks help where most of the shorter line stayed; between two different sentences that
    // share a particle or two they are only noise.
    const qsizetype shorter = qMin(visibleLength(older), visibleLength(newer));
    if (common == 0 || common * 2 < shorter)
        return {};
    return {a.spans(), b.spans()};
}

void MarkChangedWords(LineDiff &diff)
{
    for (const SideBySideRow &row : SideBySide(diff)) {
        if (row.left < 0 || row.right < 0 || row.left == row.right)
            continue;
        WordMarks marks = MarkWords(diff.lines.at(row.left).text, diff.lines.at(row.right).text);
        diff.lines[row.left].marks = std::move(marks.older);
        diff.lines[row.right].marks = std::move(marks.newer);
    }
}

} // namespace history
