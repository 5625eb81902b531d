// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/run_report.h"

#include "core/run/run_texts.h"

namespace runreport {
namespace {

// A notification has room for a few names; the rest are counted.
constexpr qsizetype NoticeNames = 5;

QStringList names(const QList<EntryEnd> &ends)
{
    QStringList list;
    for (const EntryEnd &end : ends)
        list << end.name;
    return list;
}

QStringList failures(const QList<EntryEnd> &ends)
{
    QStringList list;
    for (const EntryEnd &end : ends)
        list << RunText::FailedEntry.arg(end.name, FailureReason(end));
    return list;
}

QString firstFew(const QStringList &items)
{
    QString text = items.mid(0, NoticeNames).join(RunText::NoticeNamesJoin);
    if (items.size() > NoticeNames)
        text += RunText::NoticeMore.arg(items.size() - NoticeNames);
    return text;
}

} // namespace

QString FailureReason(const EntryEnd &end)
{
    if (!end.reason.isEmpty())
        return end.reason;
    switch (end.ending) {
    case Ending::TimedOut:
        return RunText::TimedOutReason;
    case Ending::BadName:
        return RunText::BadNameReason;
    case Ending::Failed:
        return RunText::FailedReason;
    case Ending::Stored:
    case Ending::Cancelled:
        break;
    }
    return {};
}

QString EndCounts(const RunSummary &summary)
{
    const qsizetype changed = summary.changed().size();
    const qsizetype failed = summary.failed().size();
    if (changed == 0 && failed == 0)
        return {};
    return RunText::EndCounts.arg(changed).arg(failed);
}

QStringList SummaryLines(const RunSummary &summary)
{
    QStringList lines;
    if (const QStringList changed = names(summary.changed()); !changed.isEmpty())
        lines << RunText::ChangedLine.arg(changed.join(RunText::NamesJoin));
    if (const QStringList failed = failures(summary.failed()); !failed.isEmpty())
        lines << RunText::FailedLine.arg(failed.join(RunText::NamesJoin));
    return lines;
}

std::optional<Notice> NoticeFor(const RunSummary &summary)
{
    const QStringList changed = names(summary.changed());
    const QStringList failed = failures(summary.failed());
    if (changed.isEmpty() && failed.isEmpty())
        return std::nullopt;
    Notice notice;
    notice.summary = changed.isEmpty() ? RunText::NoticeFailed.arg(failed.size())
                                       : RunText::NoticeChanged.arg(changed.size());
    QStringList body;
    if (!changed.isEmpty())
        body << firstFew(changed);
    if (!failed.isEmpty())
        body << RunText::FailedLine.arg(firstFew(failed));
    notice.body = body.join(u'\n');
    notice.firstChanged = changed.value(0);
    return notice;
}

} // namespace runreport
