// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/download_run.h"

#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "core/run/timeout_text.h"
#include "platform/clock.h"
#include "platform/inet.h"

void DownloadRun::fetchOne(const EntryTable &entries, int n, const QString &dataDir,
                           const QString &timeoutText)
{
    begin(Mode::One, entries, dataDir);
    m_one = n;
    // The counter tells of this entry, not of the last run.
    emit counterChanged(QStringLiteral("1/1"));
    // The tick stays still: the transfer's own limit gives it up, as a failure.
    startEntry(1, n, run::TimeoutSeconds(timeoutText).value_or(run::DefaultTimeoutSeconds) * 1000);
}

void DownloadRun::endOne(const TransferResult &result)
{
    const int n = m_slots.SlotEntry(1);
    const QString name = m_entries.EntryName(n);
    Outcome outcome;
    if (!result.ok()) {
        outcome = transferFailed(name, result, RetryAfterMs(result, vclock::now()));
    } else if (address(n).compare(m_slots.Inet1(1)->URL(), Qt::CaseInsensitive) != 0) {
        // The address is built a second time and must be the one that was fetched: a day
        // that began meanwhile would store another day's page.
        outcome = {.ending = Ending::Failed};
    } else {
        // Stored as the full run stores it: the bytes as received, the page it replaces kept
        // in the dated folder.
        outcome = storePage(n, result, m_slots.Inet1(1)->URL());
    }
    m_active = false;
    if (outcome.ending == Ending::Stored)
        emit statusChanged(1, RunText::Idle);
    free(1, outcome);
    if (outcome.ending != Ending::Stored) {
        m_log.append(logline::RunFailed());
        emit oneFailed();
    }
    m_log.append(logline::RunEnd());
    emit finished();
}
