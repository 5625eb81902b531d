// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/run/download_run.h"

#include "core/history/reader_change.h"
#include "core/list/entry_name.h"
#include "core/store/page_info.h"
#include "core/run/address_rule.h"
#include "core/run/run_log.h"
#include "core/run/run_texts.h"
#include "core/run/timeout_text.h"
#include "core/store/page_store.h"
#include "platform/clock.h"
#include "platform/inet.h"
#include "platform/vbtimer.h"

#include <QFile>

namespace {

// Addresses shorter than this cannot be a full http address and are skipped silently.
constexpr int MinAddressLength = 8;

QString named(const QString &status, const QString &name)
{
    return status + QLatin1String(" (") + name + QLatin1Char(')');
}


} // namespace

DownloadRun::DownloadRun(RunLog &log, QObject *parent)
    : QObject(parent)
    , m_log(log)
    , m_slots(this)
    , m_timer(new VbTimer(this))
{
    qRegisterMetaType<EntryEnd>();
    m_timer->setObjectName(QStringLiteral("Timer1"));
    connect(m_timer, &VbTimer::Timer, this, &DownloadRun::Timer1_Timer);
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        connect(m_slots.Inet1(n), &Inet::StateChanged, this,
                [this, n](short state) { Inet1_StateChanged(n, state); });
        connect(m_slots.Inet1(n), &Inet::finished, this,
                [this, n](const TransferResult &result) { Inet1_Finished(n, result); });
    }
}

DownloadRun::~DownloadRun()
{
    abandon();
}

bool DownloadRun::Fetches(const EntryTable &entries, int c)
{
    // Rows past EntryCount are not part of the list; with a full table row 101 does not exist.
    return c >= 1 && c <= entries.EntryCount && EntryTable::isValid(c)
           && entries.EntryAddress(c).size() >= MinAddressLength;
}

QList<EntryEnd> DownloadRun::ends() const
{
    // An entry the run never reached (or that was under way at STOP) ended cancelled.
    const auto endOf = [this](int c) {
        return m_ends.value(
            c, EntryEnd{.entry = c, .name = m_entries.EntryName(c), .address = m_entries.EntryAddress(c)});
    };
    if (m_mode == Mode::One)
        return m_one != 0 ? QList<EntryEnd>{endOf(m_one)} : QList<EntryEnd>{};
    QList<EntryEnd> all;
    for (int c = 1; c <= m_entries.EntryCount; ++c) {
        if (Fetches(m_entries, c))
            all << endOf(c);
    }
    return all;
}

void DownloadRun::abandon()
{
    m_timer->setInterval(0);
    m_active = false;
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        m_slots.Inet1(n)->Cancel();
        m_slots.release(n);
    }
}

void DownloadRun::begin(Mode mode, const EntryTable &entries, const QString &dataDir)
{
    m_mode = mode;
    m_entries = entries;
    m_dataDir = dataDir;
    m_one = 0;
    m_ends.clear();
    m_stopped = false;
    m_active = true;
    m_log.append(logline::RunStart());
}

void DownloadRun::start(const EntryTable &entries, const QString &dataDir,
                        const QString &timeoutText)
{
    begin(Mode::Run, entries, dataDir);
    const std::optional<int> typed = run::TimeoutSeconds(timeoutText);
    const int seconds = typed.value_or(run::DefaultTimeoutSeconds);
    if (!typed)
        m_log.append(logline::BadTimeout(timeoutText, seconds));
    m_timeoutMs = qint64(seconds) * 1000;
    RunCursor = 1;
    m_timer->setInterval(TickMs);
}

void DownloadRun::stop()
{
    m_timer->setInterval(0);
    m_active = false;
    m_stopped = true;
    AllCancel();
    m_log.append(logline::RunStop());
}

void DownloadRun::AllCancel()
{
    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        m_slots.Inet1(n)->Cancel();
        free(n, {.ending = Ending::Cancelled});
        emit statusChanged(n, RunText::Idle);
    }
}

void DownloadRun::ended(int entry, const Outcome &outcome)
{
    const EntryEnd end{.entry = entry,
                       .name = m_entries.EntryName(entry),
                       .address = m_entries.EntryAddress(entry),
                       .ending = outcome.ending,
                       .reason = outcome.reason,
                       .changed = outcome.changed};
    m_ends.insert(entry, end);
    emit entryEnded(end);
}

void DownloadRun::free(int slot, const Outcome &outcome)
{
    const int entry = m_slots.SlotEntry(slot);
    m_slots.release(slot);
    if (entry != 0)
        ended(entry, outcome);
}

QString DownloadRun::address(int c) const
{
    return m_entries.EntryAddress(c) + ExpandRule(m_entries.EntryRule(c));
}

void DownloadRun::startEntry(int slot, int c, int timeoutMs)
{
    const QString name = m_entries.EntryName(c);
    emit slotStarting(slot);
    m_log.append(logline::EntryStart(name));
    emit statusChanged(slot, named(RunText::Connecting, name));
    Inet *inet = m_slots.Inet1(slot);
    inet->setTimeout(timeoutMs);
    const QString url = address(c);
    // A page stored already is asked for only if it changed since; a name that is no folder
    // name is never looked up as a path.
    const Validators validators =
        entryname::isSafeName(name) ? pagestore::ValidatorsFor(m_dataDir, name, url) : Validators{};
    inet->Execute(url, QStringLiteral("GET"), validators);
    m_slots.occupy(slot, c);
}

void DownloadRun::Timer1_Timer()
{
    if (!m_active || m_mode != Mode::Run || m_timer->Interval() == 0)
        return;

    const int c = RunCursor;
    bool allBusy = false;
    if (Fetches(m_entries, c)) {
        const int n = m_slots.firstFree();
        const QString name = m_entries.EntryName(c);
        if (n == 0) {
            // The cursor waits for a free slot; time-outs below must still run, or ten hung
            // transfers would stop the run for good.
            allBusy = true;
        } else if (!entryname::isSafeName(name)) {
            m_log.append(logline::BadName(name));
            ended(c, {.ending = Ending::BadName});
        } else {
            // The tick's own time-out below gives the transfer up.
            startEntry(n, c, 0);
        }
    }

    if (!allBusy) {
        if (c <= m_entries.EntryCount) {
            emit counterChanged(QStringLiteral("%1/%2").arg(c).arg(m_entries.EntryCount));
            RunCursor = c + 1;
        } else if (m_slots.busyCount() == 0) {
            m_log.append(logline::RunEnd());
            m_timer->setInterval(0);
            m_active = false;
            emit finished();
            return;
        }
    }

    for (int n = ConnectionSlots::First; n <= ConnectionSlots::Last; ++n) {
        if (!m_slots.expired(n, m_timeoutMs))
            continue;
        // Cancelled first: no late answer of it can be stored.
        m_slots.Inet1(n)->Cancel();
        m_log.append(logline::EntryTimedOut(m_entries.EntryName(m_slots.SlotEntry(n))));
        free(n, {.ending = Ending::TimedOut});
    }
}

void DownloadRun::Inet1_StateChanged(int Index, short State)
{
    // A freed slot's late event, or a slot not in use. The single download shows its start
    // until it ends.
    if (!ConnectionSlots::contains(Index) || m_slots.SlotEntry(Index) == 0 || m_mode == Mode::One)
        return;
    const QString name = m_entries.EntryName(m_slots.SlotEntry(Index));

    switch (State) {
    case Inet::icResolvingHost:
        emit statusChanged(Index, named(RunText::Resolving, name));
        return;
    case Inet::icRequesting:
        emit statusChanged(Index, named(RunText::Requesting, name));
        return;
    case Inet::icReceivingResponse:
        emit statusChanged(Index, named(RunText::Receiving, name));
        return;
    default:
        return;
    }
}

void DownloadRun::Inet1_Finished(int Index, const TransferResult &result)
{
    // The answer of a slot freed by time-out or STOP is never stored.
    if (!ConnectionSlots::contains(Index) || m_slots.SlotEntry(Index) == 0)
        return;
    if (m_mode == Mode::One) {
        endOne(result);
        return;
    }
    const int entry = m_slots.SlotEntry(Index);
    const QString name = m_entries.EntryName(entry);
    if (!result.ok()) {
        // The status line keeps its last state, as a timed-out slot's does.
        free(Index, transferFailed(name, result));
        return;
    }
    const Outcome outcome = storePage(entry, result, m_slots.Inet1(Index)->URL());
    if (outcome.ending == Ending::Stored)
        m_log.append(logline::EntryEnd(name));
    emit statusChanged(Index, RunText::Idle);
    free(Index, outcome);
}

DownloadRun::Outcome DownloadRun::transferFailed(const QString &name, const TransferResult &result)
{
    m_log.append(logline::EntryFailed(name, result.error));
    const bool timedOut = result.failure == TransferResult::Failure::TimedOut;
    return {timedOut ? Ending::TimedOut : Ending::Failed, result.error};
}

DownloadRun::Outcome DownloadRun::storePage(int entry, const TransferResult &result, const QString &url)
{
    const QString name = m_entries.EntryName(entry);
    if (!entryname::isSafeName(name)) {
        // Such an entry is never started; a name changed meanwhile still must not become a path.
        m_log.append(logline::BadName(name));
        return {.ending = Ending::BadName};
    }
    const pagestore::Received page{.body = result.body,
                                   .notModified = result.notModified(),
                                   .address = url,
                                   .etag = result.headers.value("ETag").value_or(QByteArray()),
                                   .lastModified = result.headers.value("Last-Modified").value_or(QByteArray()),
                                   .contentType = result.headers.value("Content-Type").value_or(QByteArray())};
    const pagestore::Stored stored = pagestore::StorePage(m_dataDir, name, vclock::now().date(), page);
    switch (stored.failure) {
    case pagestore::Failure::None: {
        if (result.cut)
            m_log.append(logline::PageCut(name, Inet::MaxBody));
        if (!stored.written)
            m_log.append(logline::PageUnchanged(name, result.notModified() ? result.statusText() : QString()));
        if (!stored.infoError.isEmpty())
            m_log.append(logline::InfoFailed(name, stored.infoError));
        const bool changed = stored.changed && readerSeesChange(entry, stored.replaced, result);
        if (changed)
            emit pageChanged(name);
        return {.ending = Ending::Stored, .changed = changed};
    }
    case pagestore::Failure::Folder:
        m_log.append(logline::FolderFailed(name, stored.detail));
        break;
    case pagestore::Failure::Copy:
        m_log.append(logline::CopyFailed(name, stored.detail));
        break;
    case pagestore::Failure::Write:
        m_log.append(logline::WriteFailed(name, stored.detail));
        break;
    }
    return {Ending::Failed, stored.detail};
}

bool DownloadRun::readerSeesChange(int entry, const QString &replaced, const TransferResult &result) const
{
    QFile copy(replaced);
    // A page larger than any answer, or one that cannot be read, differs as its bytes do.
    if (copy.size() > Inet::MaxBody || !copy.open(QIODevice::ReadOnly))
        return true;
    const QByteArray older = copy.readAll();
    const QByteArray type = result.headers.value("Content-Type").value_or(QByteArray());
    // Each page is read by the charset its own server named; one kept without its answer's
    // came from the same address, and is read by the new one's.
    const QByteArray olderType = pagestore::ServedTypes(m_dataDir, m_entries.EntryName(entry))
                                     .value(pagestore::PageHash(older), type);
    return history::ReaderSeesChange(older, olderType, result.body, type,
                                     history::IgnoreExpression(m_entries.EntryIgnore(entry)));
}
