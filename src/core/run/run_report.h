// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/run/run_summary.h"

#include <QString>
#include <QStringList>

#include <optional>

// What a run says happened, in the same words whichever face ran it: the end box of the
// progress window, the last lines of --run-all and the desktop's notification.
namespace runreport {

// A failed entry's reason as its log line gave it, or what its ending means.
QString FailureReason(const EntryEnd &end);

// "変化あり N 件、失敗 M 件"; empty when neither happened.
QString EndCounts(const RunSummary &summary);

// "変化あり: name, name" and "失敗: name (reason), ...", only the lines that have names.
QStringList SummaryLines(const RunSummary &summary);

// The desktop notification of a run.
struct Notice {
    QString summary;
    QString body;
    // The first entry whose page changed, whose history the notification's action opens; empty
    // when none changed (nor is an action offered).
    QString firstChanged;
};
// Nothing when no page changed and no entry failed.
std::optional<Notice> NoticeFor(const RunSummary &summary);

} // namespace runreport
